#include "MivoNewGamePhase.h"

#include "MivoMainMenuPhase.h"
#include "MivoPracticePhase.h"
#include "MivoQuestPhase.h"
#include "MivoScreen.h"
#include "MivoSkillPhase.h"
#include "MivoUserData.h"
#include "WeUIMain.h"

namespace
{

const char* const kWindow = "NewGameWindow";

// A player with a quest difficulty goes to the map; a new one is asked first, over this window.
void OpenQuest()
{
    userData.gameMode = MivoModeQuest;
    const MivoUser* user = userData.CurrentUser();
    if (user && user->quest.difficulty != 0)
    {
        userData.runningQuestDifficulty = user->quest.difficulty;
        phaseStack.Request(&questPhase, WePhaseCommand::Switch);
        return;
    }
    MivoDimWindow(kWindow);
    phaseStack.Request(&questDiffPhase, WePhaseCommand::Push);
}

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
    case kQuestId:
        OpenQuest();
        break;
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
