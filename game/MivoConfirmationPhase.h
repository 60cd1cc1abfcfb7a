// The modal question every screen asks through Show: a Yes/No or OK dialog pushed over the
// screen, answered by its buttons or Escape, reporting the answer to a plain function.
#pragma once

#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>

class MivoConfirmationPhase : public WeAbstractPhase
{
public:
    using Callback = void (*)(bool yes);

    static constexpr int32_t kYesId = 30;
    static constexpr int32_t kNoId = 31;
    static constexpr int32_t kOkId = 32;

    // Asks the question of textKey in the layout "Confirmation" + layoutSuffix; callback (may be
    // null) hears true for Yes, false for No, OK and Escape. A question asked while another is
    // still unanswered replaces it in place: one dialog, the latest question, the latest callback.
    // The detail, already in the player's language, follows the text.
    void Show(const WeString& layoutSuffix, const WeString& textKey, Callback callback, bool okOnly,
              const WeString& detail = WeString());

    void Enter() override;
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape answers No. While the dialog is up, no key or button click of the frame reaches
    // the screens beneath it.
    void HandleInput() override;

    bool IsOpen() const { return open != 0; }
    // A widget of the layout: "Confirmation" + suffix + part.
    static WeString WidgetName(const WeString& layoutSuffix, const char* part);

    WeString textKey;
    WeString detail;
    Callback callback = nullptr;
    uint8_t open = 0;
    WeString layoutSuffix;
    uint8_t okOnly = 0;

private:
    void Answer(bool yes);

    bool pushQueued = false; // Show queued the push and Enter has not run yet
    bool answered = false;   // the pop is queued: the dialog no longer takes answers
    WeString shownSuffix;    // of the window on the screen, which a later Show may have changed
    WeString focusBefore;    // the widget that had the keyboard before the dialog took it
};

extern MivoConfirmationPhase confirmationPhase;
