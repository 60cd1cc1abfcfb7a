// Menu screens as the player sees them: the shipped layouts, styles and textures over the menu
// background, drawn by the UI on the OpenGL back end at 400 x 300 (half the design size) and
// compared with stored reference images. The textures come from the built package
// (bin/Packages.dat), so the whole build must have run.
//
// The references are tests/game/reference/<screen>.bmp. To make them again (after a deliberate
// change to a screen's look), run the tests once with WE_UPDATE_REFERENCE=1 in the environment,
// look at the new images, and commit them.
#include "../core/TempFolder.h"
#include "../render/GlFrameFixture.h"
#include "MivoCreditsPhase.h"
#include "MivoHighScorePhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoOptionsPhase.h"
#include "MivoPracticePhase.h"
#include "MivoQuestPhase.h"
#include "MivoUserData.h"
#include "MivoUsersPhase.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"
#include "WeTimer.h"
#include "WeUIMain.h"

namespace
{

// The game's frame: its phases, then the UI, which the device's frame draws after them.
class MenuScreenApplication : public WeApplication
{
public:
    const char* GetName() override { return "MenuScreenApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { phaseStack.Render(); }
};

class MainMenuScreen : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        timer.deltaTime = 0.1f;
        StartGl(400, 300);
        if (HasFatalFailure())
            return;
        engine.settings.uiSourceWidth = 800; // the shipped design size
        engine.settings.uiSourceHeight = 600;
        if (localization.GetLanguageName().IsEmpty())
            localization.LoadAll();
        userData.SetFolder(players / "");
        ASSERT_TRUE(userData.CreateUser("Ana"));
        uiMain.SetPainter(nullptr);
        uiMain.Init();
        uiMain.cursorVisible = false;
        uiMain.LoadComponents("MenuOverlay");
    }
    // The screen over the menu background, shot once its fades and layout have settled, against
    // the reference of that name.
    void ExpectScreenMatches(WeAbstractPhase* screenPhase, const char* referenceName)
    {
        reference = std::filesystem::path(__FILE__).parent_path() / "reference" / referenceName;
        phaseStack.Request(&menuPhase, WePhaseCommand::Push);
        phaseStack.Request(screenPhase, WePhaseCommand::Push);
        for (int32_t i = 0; i < 30; ++i)
        {
            uiMain.ProcessEvents();
            phaseStack.Update();
            uiMain.Update();
        }
        MenuScreenApplication screen;
        ExpectMatchesReference(Shoot(screen), 200);
    }
    void TearDown() override
    {
        phaseStack.LeaveAll();
        uiMain.Shutdown();
        userData.FreeAll();
        GlFrameFixture::TearDown();
    }

    TempFolder players;
};

} // namespace

TEST_F(MainMenuScreen, TheMainMenuOverTheBackdropWithThePlayersNameMatchesTheReferenceImage)
{
    ExpectScreenMatches(&mainMenuPhase, "main_menu.bmp");
}

TEST_F(MainMenuScreen, TheUsersListWithTheCurrentPlayerSelectedMatchesTheReferenceImage)
{
    ASSERT_TRUE(userData.CreateUser("Bo"));
    ASSERT_TRUE(userData.SaveUsers()); // the screen reads the profiles from users.dat
    ExpectScreenMatches(&usersPhase, "users.bmp");
}

TEST_F(MainMenuScreen, TheOptionsMatchTheReferenceImage)
{
    optionsPhase.openedFromMainMenu = true;
    ExpectScreenMatches(&optionsPhase, "options.bmp");
}

TEST_F(MainMenuScreen, TheLocalQuestScoresMatchTheReferenceImage)
{
    for (const MivoScore& score : {MivoScore{"Ana", 900, 12, 1, 1}, MivoScore{"Bo", 700, 8, 1, 1}})
        ASSERT_TRUE(userData.scores.InsertGameScore(score));
    ASSERT_TRUE(userData.SaveScores());
    ExpectScreenMatches(&highScorePhase, "high_scores.bmp");
}

TEST_F(MainMenuScreen, ThePracticeListOfFinishedMapsMatchesTheReferenceImage)
{
    for (int32_t index : {0, 1, 2})
        userData.CurrentUser()->mapsPlayed[index] = 1;
    ExpectScreenMatches(&practicePhase, "practice.bmp");
}

TEST_F(MainMenuScreen, TheQuestDifficultyMatchesTheReferenceImage)
{
    ExpectScreenMatches(&questDiffPhase, "quest_difficulty.bmp");
}

TEST_F(MainMenuScreen, TheQuestMapBeforeAndAfterTheFirstRegionMatchesTheReferenceImages)
{
    ExpectScreenMatches(&questPhase, "quest_map.bmp");
    phaseStack.LeaveAll();
    userData.ChooseRegion(6);
    ExpectScreenMatches(&questPhase, "quest_region.bmp");
}

// Off for now: under LeakSanitizer this program's exit crashes the leak tracer in about half the
// runs (the test itself passes); the clipping is covered by the recording painter's credits test.
TEST_F(MainMenuScreen, TheCreditsRisingInsideTheirPanelMatchTheReferenceImage)
{
    ExpectScreenMatches(&creditsPhase, "credits.bmp");
}
