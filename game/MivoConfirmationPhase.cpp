#include "MivoConfirmationPhase.h"

#include "MivoScreen.h"
#include "WeLocalization.h"
#include "WeUIMain.h"

WeString MivoConfirmationPhase::WidgetName(const WeString& suffix, const char* part)
{
    return "Confirmation" + suffix + part;
}

void MivoConfirmationPhase::Show(const WeString& suffix, const WeString& key, Callback answer, bool single,
                                 const WeString& shownDetail)
{
    const bool replaceInPlace = open && !answered;
    if (open)
        Leave();
    textKey = key;
    detail = shownDetail;
    callback = answer;
    layoutSuffix = suffix;
    okOnly = single ? 1 : 0;
    if (replaceInPlace)
        Enter();
    else if (!pushQueued)
    {
        // An answered dialog's pop is queued already: it runs first, then this push.
        pushQueued = true;
        phaseStack.Request(this, WePhaseCommand::Push);
    }
}

void MivoConfirmationPhase::Enter()
{
    pushQueued = false;
    answered = false;
    shownSuffix = layoutSuffix;
    uiMain.LoadComponents("Confirmation" + layoutSuffix);
    if (WeUIComponent* text = MivoFindWidget(WidgetName(layoutSuffix, "Text")))
        text->text = localization.Translate(textKey) + detail;
    const WeString ok = WidgetName(layoutSuffix, "OkButton");
    const WeString yes = WidgetName(layoutSuffix, "YesButton");
    const WeString no = WidgetName(layoutSuffix, "NoButton");
    MivoSetClickId(ok, kOkId);
    MivoSetClickId(yes, kYesId);
    MivoSetClickId(no, kNoId);
    MivoSetWidgetShown(ok, okOnly != 0);
    MivoSetWidgetShown(yes, okOnly == 0);
    MivoSetWidgetShown(no, okOnly == 0);
    const WeString window = WidgetName(layoutSuffix, "Window");
    // Typing goes to the dialog, not to an edit box left focused beneath it.
    focusBefore = uiMain.focused ? uiMain.focused->name : WeString();
    uiMain.SetModalComponent(window);
    uiMain.SetFocus(window);
    uiMain.ShowComponent(window);
    open = 1;
}

void MivoConfirmationPhase::Leave()
{
    WeUIComponent* window = MivoFindWidget(WidgetName(shownSuffix, "Window"));
    // The screen beneath is usable again while the dialog fades out.
    if (window && uiMain.modal == window)
        uiMain.ClearModalComponent();
    // A click on one of its buttons moved the keyboard to that button: it goes back all the same.
    if (window && window->Contains(uiMain.focused))
        uiMain.SetFocus(MivoFindWidget(focusBefore) ? focusBefore : uiMain.root->name);
    uiMain.CloseComponent(WidgetName(shownSuffix, "Window"));
    open = 0;
}

void MivoConfirmationPhase::Answer(bool yes)
{
    answered = true;
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    MivoPlaySelectionSound();
    if (callback)
        callback(yes);
}

bool MivoConfirmationPhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id != kYesId && event->id != kNoId && event->id != kOkId)
        return false;
    // A second click in the same frame finds the dialog answered: it must not pop the screen
    // beneath nor call back twice.
    if (open && !answered)
        Answer(event->id == kYesId);
    return true;
}

void MivoConfirmationPhase::HandleInput()
{
    if (!open || answered)
        return;
    // The pop goes first, as for the buttons, so commands the callback queues run after it.
    if (MivoEscapeClicked())
        Answer(false);
    MivoTakeAllClicks();
}
