#include "MivoMainMenuPhase.h"

#include "MivoConfirmationPhase.h"
#include "MivoCreditsPhase.h"
#include "MivoHighScorePhase.h"
#include "MivoNewGamePhase.h"
#include "MivoOptionsPhase.h"
#include "MivoScreen.h"
#include "MivoUsersPhase.h"
#include "WeAppWindow.h"
#include "WeEngine.h"
#include "WeUIMain.h"

namespace
{

const char* const kWindow = "MainMenuWindow";

void AskExit()
{
    confirmationPhase.Show("1", "UI: Exit Game", MivoMainMenuPhase::OnExitAnswer, false);
}

} // namespace

void MivoMainMenuPhase::Enter()
{
    uiMain.LoadComponents("MainMenu");
    MivoSetClickId("MainMenuUsersButton", kUsersId);
    MivoSetClickId("MainMenuOptionsButton", kOptionsId);
    MivoSetClickId("MainMenuNewGameButton", kNewGameId);
    MivoSetClickId("MainMenuExitButton", kExitId);
    MivoSetClickId("MainMenuHighScoreButton", kHighScoreId);
    MivoSetClickId("MainMenuCreditsButton", kCreditsId);
    uiMain.ShowComponent(kWindow);
}

void MivoMainMenuPhase::Leave()
{
    uiMain.CloseComponent(kWindow);
}

bool MivoMainMenuPhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id < kUsersId || event->id > kCreditsId)
        return false;
    MivoPlaySelectionSound();
    switch (event->id)
    {
    case kUsersId:
        phaseStack.Request(&usersPhase, WePhaseCommand::Switch);
        break;
    case kExitId:
        AskExit();
        break;
    case kCreditsId:
        phaseStack.Request(&creditsPhase, WePhaseCommand::Switch);
        break;
    case kOptionsId:
        optionsPhase.openedFromMainMenu = true;
        phaseStack.Request(&optionsPhase, WePhaseCommand::Switch);
        break;
    case kNewGameId:
        phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
        break;
    case kHighScoreId:
        phaseStack.Request(&highScorePhase, WePhaseCommand::Switch);
        break;
    }
    return true;
}

void MivoMainMenuPhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    AskExit();
}

void MivoMainMenuPhase::OnExitAnswer(bool yes)
{
    if (yes && engine.window)
        engine.window->alive = false;
}
