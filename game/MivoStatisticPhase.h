// The screens at the end of a level and of a game. The statistic screen follows every level: the
// result of a won level (layout "Statistic") or the lose screen (layout "Lose"), and the decision
// where the game goes next. The end-game screen closes a finished quest or skill game, and a
// skill game whose lives are spent: the final score, booked once in the local tables and the
// upload queue, a win or game-over message and a fact.
#pragma once

#include "WePhaseStack.h"
#include "WeUIStyle.h"

#include <cstdint>

// What both result screens share: Escape is their one button.
class MivoResultPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kOkId = 10;

    void HandleInput() override;
};

class MivoStatisticPhase : public MivoResultPhase
{
public:
    static constexpr int32_t kFactEvery = 6; // a fact at every sixth level

    // A level left through the pause menu shows nothing and goes on at once; a lost level shows
    // the lose screen, a won one its result (and books the level score of a quest or skill level
    // that is not a bonus level).
    void Enter() override;
    void Leave() override;
    // OK: on to the next level, the mode's screen, or the end-game screen when the game is over
    // (complete, or its lives spent).
    bool OnUIEvent(WeUIEvent* event) override;

    // "Fact" + k + ":Headline" and ":Text" in the two labels of a screen, and one of its three
    // avatars (prefix + "01" to "03") chosen at random shown, the others hidden.
    static void ShowFact(const char* prefix, int32_t k);

    uint8_t left = 0;       // the level was left through the pause menu
    uint8_t lost = 0;       // the level ended without being finished
    uint8_t bonusLevel = 0; // set by the play screen: the level was a bonus level

private:
    void ShowLoseScreen();
    void ShowWonScreen();
    // Where the game goes from here; the pop of this screen is queued already.
    void GoOn();
    // A quest city's next map follows at once after a won map of the city (not a teleport) that
    // was not its last.
    bool CityRunGoesOn() const;
};

class MivoEndGamePhase : public MivoResultPhase
{
public:
    void Enter() override;
    void Leave() override;
    // The win labels pulse between their base colour and white.
    void Update() override;
    bool OnUIEvent(WeUIEvent* event) override;

    // The labels' colour at `seconds`: each of red, green and blue goes from the base (at the
    // trough) to 1 (at the crest) `speed` times a second; alpha stays the base's.
    static WeColor PulseColour(const WeColor& base, float speed, double seconds);

private:
    // The win text of the mode, or the game-over title and text when the lives were spent.
    static void ShowEnding(int32_t mode);
};

extern MivoStatisticPhase statisticPhase;
extern MivoEndGamePhase endGamePhase;
