#include "MivoNewGamePhase.h"

#include "MivoMainMenuPhase.h"
#include "MivoPracticePhase.h"
#include "MivoScreen.h"
#include "MivoSkillPhase.h"
#include "MivoUserData.h"
#include "WeUIMain.h"

namespace
{

const char* const kWindow = "NewGameWindow";

} // namespace

void MivoNewGamePhase::Enter()
{
    uiMain.LoadComponents("NewGame");
    MivoSetClickId("NewGamePracticeButton", kPracticeId);
    MivoSetClickId("NewGameSkillButton", kSkillId);
    MivoSetClickId("NewGameQuestButton", kQuestId);
    MivoSetClickId("NewGameBackButton", kBackId);
    uiMain.ShowComponent(kWindow);
}

void MivoNewGamePhase::Leave()
{
    uiMain.CloseComponent(kWindow);
}

void MivoNewGamePhase::Uncovered(WeAbstractPhase*)
{
    MivoUndimWindow(kWindow);
}

bool MivoNewGamePhase::OnUIEvent(WeUIEvent* event)
{
    if (event->id < kBackId || event->id > kQuestId)
        return false;
    MivoPlaySelectionSound();
    switch (event->id)
    {
    case kBackId:
        phaseStack.Request(&mainMenuPhase, WePhaseCommand::Switch);
        break;
    case kSkillId:
        userData.gameMode = MivoModeSkill;
        userData.runningQuestDifficulty = 0;
        phaseStack.Request(&skillPhase, WePhaseCommand::Switch);
        break;
    case kPracticeId:
        userData.gameMode = MivoModePractice;
        userData.runningQuestDifficulty = 0;
        phaseStack.Request(&practicePhase, WePhaseCommand::Switch);
        break;
    default:
        break; // the quest screens are not part of the program yet
    }
    return true;
}

void MivoNewGamePhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent back = MivoMadeEvent(kBackId);
    OnUIEvent(&back);
}
