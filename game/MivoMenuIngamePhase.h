// The pause menu, pushed over a running level: back to the level, the controls, restarting the
// level or leaving it after a question.
#pragma once

#include "WePhaseStack.h"

#include <cstdint>

class MivoMenuIngamePhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kContinueId = 10;
    static constexpr int32_t kOptionsId = 11;
    static constexpr int32_t kExitId = 12;
    static constexpr int32_t kRestartId = 13;
    static constexpr int32_t kControlsId = 14;

    void Enter() override;
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    void HandleInput() override;

    // The answer to the leave question: yes leaves without a life lost and shows no result.
    static void OnLeaveAnswered(bool yes);

    bool open = false;
};

extern MivoMenuIngamePhase menuIngamePhase;
