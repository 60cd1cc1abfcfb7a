#include "MivoMenuIngamePhase.h"

#include "MivoConfirmationPhase.h"
#include "MivoOptionsPhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeUIMain.h"

namespace
{

const char* const kWindow = "MenuIngameWindow";

} // namespace

void MivoMenuIngamePhase::Enter()
{
    uiMain.LoadComponents("MenuIngame");
    uiMain.ShowComponent(kWindow);
    MivoSetClickId("MenuIngameContinue", kContinueId);
    MivoSetClickId("MenuIngameExit", kExitId);
    MivoSetClickId("MenuIngameControls", kControlsId);
    MivoSetClickId("MenuIngameOptions", kOptionsId);
    // Restarting is the running level's own question: the button leads nowhere yet.
    MivoDimWindow("MenuIngameRestart");
    open = true;
}

void MivoMenuIngamePhase::Leave()
{
    open = false;
    uiMain.CloseComponent(kWindow);
}

bool MivoMenuIngamePhase::OnUIEvent(WeUIEvent* event)
{
    switch (event->id)
    {
    case kContinueId:
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
        return true;
    case kOptionsId:
        optionsPhase.openedFromMainMenu = false;
        phaseStack.Request(&optionsPhase, WePhaseCommand::Switch);
        return true;
    case kExitId:
        confirmationPhase.Show("1", "UI: Are you sure", &MivoMenuIngamePhase::OnLeaveAnswered, false);
        return true;
    case kControlsId:
        confirmationPhase.Show("XLarge", "UI: ControlsMenu", nullptr, true);
        return true;
    default:
        return false;
    }
}

void MivoMenuIngamePhase::HandleInput()
{
    if (MivoEscapeClicked())
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
}

void MivoMenuIngamePhase::OnLeaveAnswered(bool yes)
{
    MivoPlaySelectionSound();
    if (!yes)
        return;
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    // Leaving costs no life.
    userData.BeginLevel(true);
}
