// The credits screen: the translated credits text, one label a line, scrolls up from below the
// screen and returns to the main menu when it has passed, on Back or on Escape.
#pragma once

#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>

class WeUIComponent;

class MivoCreditsPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kBackId = 30;
    static constexpr int32_t kLineHeight = 30; // design pixels from one line to the next
    static constexpr float kStartY = 1.0f;     // the text starts just below its window
    static constexpr float kEndY = -1.8f;      // and has passed the top at this fraction

    void Enter() override;
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    void HandleInput() override;
    void Update() override;

    // A label per line of text ("Label1" on) in "CreditsTextWindow"; a line's text is shown
    // exactly as written. Returns the number of lines.
    static int32_t CreateLines(const WeString& text);
    // Headings are the first line and every line after an empty one.
    static const char* LineStyle(bool heading);
    // The text window's layout hook: its lines are drawn (and hit) only inside its parent, the
    // panel, within the panel's frame margins.
    static void ClipToPanel(WeUIComponent* textWindow);

private:
    void ReturnToMainMenu();

    bool returning = false; // the switch to the main menu is queued
};

extern MivoCreditsPhase creditsPhase;
