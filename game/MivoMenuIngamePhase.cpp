#include "MivoMenuIngamePhase.h"

#include "MivoConfirmationPhase.h"
#include "MivoOptionsPhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoStatisticPhase.h"
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
    // A level restarts only while it is played.
    if (playGamePhase.playing)
        MivoSetClickId("MenuIngameRestart", kRestartId);
    else
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
    case kRestartId:
        playGamePhase.ConfirmLeave();
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
    statisticPhase.bonusLevel = userData.bonusIndex != -1;
    // Leaving costs no life.
    userData.BeginLevel(true);
    playGamePhase.ShowStatistic();
}
