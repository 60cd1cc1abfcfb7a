#include "MivoSkillPhase.h"

#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeUIMain.h"

namespace
{

const char* const kWindow = "SkillWindow";

} // namespace

void MivoSkillPhase::Enter()
{
    uiMain.LoadComponents("Skill");
    MivoSetClickId("SkillPlayButton", kPlayId);
    MivoSetClickId("SkillBackButton", kBackId);
    MivoSetClickId("SkillQuitButton", kQuitId);
    if (const MivoUser* user = userData.CurrentUser())
    {
        WeString level;
        level.AppendInt(user->skill.level + 1);
        level += " / ";
        level.AppendInt(kMivoLadderLength);
        MivoSetWidgetText("SkillLevel", level);
        MivoSetWidgetNumber("SkillPoints", MivoScoreSum({user->skill.score, userData.levelScore}));
        MivoSetWidgetNumber("SkillLives", user->skill.lives);
    }
    uiMain.ShowComponent(kWindow);
}

void MivoSkillPhase::Leave()
{
    userData.SaveUsers();
    uiMain.CloseComponent(kWindow);
}

bool MivoSkillPhase::OnUIEvent(WeUIEvent* event)
{
    switch (event->id)
    {
    case kPlayId:
        MivoPlaySelectionSound();
        userData.CheckSkillBonusLevel();
        PlayNextLevel();
        // The level takes the menu background's place.
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
        phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
        return true;
    case kBackId:
        MivoPlaySelectionSound();
        phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
        return true;
    case kQuitId:
        confirmationPhase.Show("Large", "UI: Are you sure Skill", OnQuitAnswer, false);
        return true;
    default:
        return false;
    }
}

void MivoSkillPhase::PlayNextLevel()
{
    playGamePhase.returnPhase = &skillPhase;
    gameApp.mapToPlay = userData.SkillMapId();
    gameApp.questPlace = -1;
}

void MivoSkillPhase::HandleInput()
{
    if (!MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent back = MivoMadeEvent(kBackId);
    OnUIEvent(&back);
}

void MivoSkillPhase::OnQuitAnswer(bool yes)
{
    MivoPlaySelectionSound();
    if (!yes)
        return;
    if (MivoUser* user = userData.CurrentUser())
        MivoUserData::ResetSkillProgress(user->skill);
    phaseStack.Request(&newGamePhase, WePhaseCommand::Switch);
}
