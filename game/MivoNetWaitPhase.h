// The small modal window over a screen while a request of the score client runs: polls the
// client each frame, pops itself when the request is done, and turns into an error message when
// it fails or takes longer than 30 seconds. The screen beneath reads `outcome` when uncovered.
#pragma once

#include "WePhaseStack.h"

#include <cstdint>

class MivoNetWaitPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kCancelId = 22578;
    static constexpr int32_t kDoneId = 551155;
    static constexpr float kTimeLimit = 30.0f;

    enum class Outcome
    {
        Waiting,
        Done,
        Failed,
        TimedOut,
        Cancelled,
    };

    void Enter() override;
    void Leave() override;
    void Update() override;
    // Cancel, OK and the done event end the request and pop; every other event is swallowed.
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape is the window's button.
    void HandleInput() override;

    uint8_t waiting = 0;
    float elapsed = 0.0f;
    Outcome outcome = Outcome::Waiting;

private:
    // Shows "UI: NET Error" with an "UI: Ok" button; the request has ended.
    void ShowError(Outcome why);

    bool popQueued = false;
};

extern MivoNetWaitPhase netWaitPhase;
