// The practice screen: the maps the current player has finished at least once, one of which is
// played on its own; the level's results lead back here.
#pragma once

#include "WePhaseStack.h"

#include <cstdint>
#include <vector>

class MivoPracticePhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kBackId = 10;
    static constexpr int32_t kPlayId = 11;
    // An event id of kPlayMap + a map id plays that map.
    static constexpr int32_t kPlayMap = 100;

    void Enter() override;
    void Leave() override;
    // Play without a chosen map is not handled.
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape plays the selection sound and is Back.
    void HandleInput() override;

    std::vector<int32_t> mapIds; // the map of each row of the list
};

extern MivoPracticePhase practicePhase;
