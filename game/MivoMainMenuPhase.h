// The main menu: users, options, a new game, the high scores, the credits, and the exit
// question.
#pragma once

#include "WePhaseStack.h"

#include <cstdint>

class MivoMainMenuPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kUsersId = 14;
    static constexpr int32_t kOptionsId = 15;
    static constexpr int32_t kNewGameId = 16;
    static constexpr int32_t kExitId = 17;
    static constexpr int32_t kHighScoreId = 18;
    static constexpr int32_t kCreditsId = 19;

    void Enter() override;
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape asks the exit question, as the Exit button does.
    void HandleInput() override;

    // Yes ends the program after the current frame; No changes nothing.
    static void OnExitAnswer(bool yes);
};

extern MivoMainMenuPhase mainMenuPhase;
