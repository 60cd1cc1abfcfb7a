// The screen on which the player chooses the game mode: practice, the skill ladder or the quest.
// It sets the mode (and the quest difficulty) in the user data store and hands over to the mode's
// own screen.
#pragma once

#include "WePhaseStack.h"

#include <cstdint>

class MivoNewGamePhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kBackId = 11;
    static constexpr int32_t kPracticeId = 12;
    static constexpr int32_t kSkillId = 13;
    static constexpr int32_t kQuestId = 14;

    void Enter() override;
    void Leave() override;
    // The quest difficulty screen above was closed: the window is usable again.
    void Uncovered(WeAbstractPhase* popped) override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape plays the selection sound and is Back, which plays it again.
    void HandleInput() override;
};

extern MivoNewGamePhase newGamePhase;
