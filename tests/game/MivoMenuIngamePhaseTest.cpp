#include "MenuFixture.h"

#include "MivoConfirmationPhase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoMenuPhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoSkillPhase.h"
#include "MivoUserData.h"

#include <algorithm>

namespace
{

class PauseMenu : public MenuFixture
{
protected:
    void TearDown() override
    {
        MenuFixture::TearDown();
        userData.FreeAll();
        userData.gameMode = MivoModeNone;
        userData.levelRunning = false;
    }
    // The pause menu over a level, faded in.
    void OpenPauseMenu()
    {
        phaseStack.Request(&level, WePhaseCommand::Push);
        phaseStack.Request(&menuIngamePhase, WePhaseCommand::Push);
        Step();
        ASSERT_EQ(Top(), &menuIngamePhase);
        for (int32_t i = 0; i < 100 && !MivoFindWidget("MenuIngameWindow")->IsSettled(); ++i)
            Step();
    }
    bool LevelHeardEscape() const { return std::count(level.log.begin(), level.log.end(), "Escape") > 0; }
    // The question behind a button of the pause menu, asked.
    void AskFromPauseMenu(const char* button)
    {
        OpenPauseMenu();
        Click(button);
        Steps(2);
    }
    // The dialog's answer as its buttons give it.
    static void Answer(int32_t id)
    {
        WeUIEvent answer;
        answer.id = id;
        EXPECT_TRUE(phaseStack.OnUIEvent(&answer));
        Step();
    }

    RecordingPhase level;
};

} // namespace

TEST_F(PauseMenu, EnteringGivesTheButtonsTheirIdsAndDimsWhatCannotBeReachedYet)
{
    OpenPauseMenu();
    EXPECT_TRUE(menuIngamePhase.open);
    EXPECT_EQ(MivoFindWidget("MenuIngameContinue")->onMouseUp.id, MivoMenuIngamePhase::kContinueId);
    EXPECT_EQ(MivoFindWidget("MenuIngameExit")->onMouseUp.id, MivoMenuIngamePhase::kExitId);
    EXPECT_EQ(MivoFindWidget("MenuIngameControls")->onMouseUp.id, MivoMenuIngamePhase::kControlsId);
    EXPECT_EQ(MivoFindWidget("MenuIngameOptions")->onMouseUp.id, MivoMenuIngamePhase::kOptionsId);
    const WeUIComponent* restart = MivoFindWidget("MenuIngameRestart");
    EXPECT_FALSE(restart->enabled);
    EXPECT_FLOAT_EQ(restart->colour.a, 0.5f);
    EXPECT_EQ(restart->onMouseUp.id, 0);
    EXPECT_TRUE(MivoFindWidget("MenuIngameWindow")->visible);
}

TEST_F(PauseMenu, ContinueReturnsToTheLevelAndClosesTheMenu)
{
    OpenPauseMenu();
    Click("MenuIngameContinue");
    Step();
    Step();
    EXPECT_EQ(Top(), &level);
    EXPECT_FALSE(menuIngamePhase.open);
    const WeUIComponent* window = MivoFindWidget("MenuIngameWindow");
    EXPECT_TRUE(window == nullptr || window->deleteWhenHidden);
}

TEST_F(PauseMenu, EscapeReturnsToTheLevelAndIsTakenFromIt)
{
    OpenPauseMenu();
    PressKey(1);
    Step();
    EXPECT_FALSE(LevelHeardEscape()) << "the level must not see the same Escape";
    Step();
    EXPECT_EQ(Top(), &level);
    EXPECT_EQ(Depth(), 1);
}

TEST_F(PauseMenu, TheControlsAreAnOkOnlyDialogThatEscapeClosesAlone)
{
    AskFromPauseMenu("MenuIngameControls");
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_EQ(confirmationPhase.layoutSuffix, "XLarge");
    EXPECT_EQ(confirmationPhase.textKey, "UI: ControlsMenu");
    EXPECT_EQ(confirmationPhase.okOnly, 1);
    EXPECT_EQ(confirmationPhase.callback, nullptr);
    EXPECT_FLOAT_EQ(MivoFindWidget("ConfirmationXLargeOkButton")->colour.a, 1.0f);
    for (const char* hidden : {"ConfirmationXLargeYesButton", "ConfirmationXLargeNoButton"})
    {
        EXPECT_FALSE(MivoFindWidget(hidden)->enabled) << hidden;
        EXPECT_FLOAT_EQ(MivoFindWidget(hidden)->colour.a, 0.0f) << hidden;
    }

    PressKey(1);
    Step();
    Step();
    EXPECT_EQ(Top(), &menuIngamePhase) << "the Escape closed the dialog only";
    EXPECT_FALSE(LevelHeardEscape());
    EXPECT_TRUE(menuIngamePhase.open);
}

TEST_F(PauseMenu, LeavingTheLevelAnsweredNoKeepsThePauseMenuAndTheLevel)
{
    AskFromPauseMenu("MenuIngameExit");
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_EQ(confirmationPhase.layoutSuffix, "1");
    EXPECT_EQ(confirmationPhase.textKey, "UI: Are you sure");
    EXPECT_EQ(confirmationPhase.okOnly, 0);

    Answer(MivoConfirmationPhase::kNoId);
    EXPECT_EQ(Top(), &menuIngamePhase);
    EXPECT_FALSE(userData.levelRunning) << "nothing booked";
}

TEST_F(PauseMenu, LeavingTheLevelAnsweredYesReturnsToTheSkillScreenWithoutLosingALife)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    userData.gameMode = MivoModeSkill;
    const int32_t lives = userData.CurrentUser()->skill.lives;
    AskFromPauseMenu("MenuIngameExit");
    ASSERT_EQ(Top(), &confirmationPhase);

    Answer(MivoConfirmationPhase::kYesId);
    Steps(3);
    EXPECT_EQ(Top(), &skillPhase) << "no result screen: straight back to the ladder";
    EXPECT_EQ(phaseStack.GetPhases().First(), &menuPhase) << "over the menu background, in the level's place";
    EXPECT_EQ(Depth(), 2);
    EXPECT_TRUE(userData.noLifeLost);
    EXPECT_EQ(userData.CurrentUser()->skill.lives, lives);
}

TEST_F(PauseMenu, RestartAsksTheLevelsOwnQuestionWhileTheLevelIsPlayed)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    userData.gameMode = MivoModeSkill;
    playGamePhase.playing = true;
    AskFromPauseMenu("MenuIngameRestart");
    playGamePhase.playing = false;
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_EQ(confirmationPhase.textKey, "UI: Are you sure lose life");
    EXPECT_EQ(confirmationPhase.layoutSuffix, "Medium");
    Answer(MivoConfirmationPhase::kNoId);
    EXPECT_EQ(Top(), &menuIngamePhase);
}
