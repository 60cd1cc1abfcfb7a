// The screen of the skill mode: a ladder of 300 levels played in order with a stock of lives. It
// shows the player's level, points and lives, and starts the ladder's next level or deals a new
// ladder after a question.
#pragma once

#include "WePhaseStack.h"

#include <cstdint>

class MivoSkillPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kPlayId = 11;
    static constexpr int32_t kBackId = 12;
    static constexpr int32_t kQuitId = 13;

    // "SkillLevel" (level + 1 " / 300"), "SkillPoints" and "SkillLives" of the current player.
    void Enter() override;
    // Saves users.dat.
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape plays the selection sound and is Back.
    void HandleInput() override;

    // The answer to the quit question: yes starts the skill game anew and returns to the
    // new-game screen.
    static void OnQuitAnswer(bool yes);
    // Chooses the ladder's level (or the bonus level due) for the play screen, which returns here.
    static void PlayNextLevel();
};

extern MivoSkillPhase skillPhase;
