// The play phase's loading states, the display, the tutorials and the pause overlay, on the
// recording painter with the shipped layouts and levels; the background map is left out.
#include "MivoPlayGamePhase.h"
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "MivoStatisticPhase.h"
#include "MivoUserData.h"
#include "PlayFixture.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeTimer.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

using Phase = MivoPlayGamePhase;

TEST(PlayRules, TheBackgroundWorldFollowsTheQuestPlace)
{
    struct Case
    {
        int32_t place, bonusIndex, random, world;
    };
    const Case cases[] = {
        {-1, -1, 0, 1},   {-1, -1, 32767, 15}, {-1, 3, 16384, 8},  // outside a quest: random
        {4012, -1, 0, 5}, {0, -1, 0, 1},       {14002, -1, 0, 15}, // the place's region
        {14, 0, 0, 1},    {13, 2, 0, 15},      {1, 0, 0, 3},       // bonus levels: place + 2 wrapped
    };
    for (const Case& c : cases)
        EXPECT_EQ(Phase::WorldNumber(c.place, c.bonusIndex, c.random), c.world) << c.place << " " << c.random;
}

TEST(PlayRules, TheTimeLimitFollowsTheModeAndTheQuestDifficulty)
{
    struct Case
    {
        int32_t mode, difficulty;
        float limit;
    };
    const Case cases[] = {{MivoModeSkill, 0, 300.0f}, {MivoModeSkill, 3, 300.0f}, {MivoModeQuest, 1, 0.0f},
                          {MivoModeQuest, 2, 300.0f}, {MivoModeQuest, 3, 180.0f}, {MivoModePractice, 3, 0.0f},
                          {MivoModeNone, 2, 0.0f}};
    for (const Case& c : cases)
        EXPECT_EQ(Phase::TimeLimitFor(c.mode, c.difficulty), c.limit) << c.mode << " " << c.difficulty;
}

TEST_F(PlayPhase, WithoutALoadingWindowTheLevelWaits)
{
    StartLevel();
    uiMain.DeleteComponentsByPrefix("LoadingWindow");
    for (int32_t i = 0; i < 20; ++i)
        PlayStep();
    EXPECT_EQ(playGamePhase.state, Phase::WaitLoadingWindow);
    EXPECT_EQ(playGamePhase.scene, nullptr);
}

TEST_F(PlayPhase, AMissingMapStillBuildsTheLevelBehindTheLoadingWindow)
{
    StartLevel();
    EXPECT_FALSE(uiMain.enabled) << "the UI sleeps while the level loads";
    EXPECT_FALSE(gameApp.menuCursor);
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    ASSERT_NE(playGamePhase.scene, nullptr);
    ASSERT_NE(playGamePhase.table, nullptr);
    EXPECT_FALSE(playGamePhase.level.blocks.empty());
    EXPECT_EQ(playGamePhase.timeLimit, 0.0f) << "practice has no limit";
    EXPECT_DOUBLE_EQ(timer.minimumDelta, 1.0 / 60.0);
    EXPECT_EQ(playGamePhase.camera->targets[MivoGameCamera::distance], 0.0f);
    EXPECT_TRUE(Visible("LoadingWindow"));
}

TEST_F(PlayPhase, AFrameRateThatIsNoPositiveNumberLeavesTheFloorAlone)
{
    float& rate = WeConfig::GetFloat("Mivo.GamePlay.FrameRate", 60.0f);
    const float shipped = rate;
    rate = 0.0f;
    timer.minimumDelta = 0.001;
    StartLevel();
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    EXPECT_DOUBLE_EQ(timer.minimumDelta, 0.001);
    rate = shipped;
}

TEST_F(PlayPhase, ALevelWithoutATableGoesBackToThePhaseThatChoseIt)
{
    gameApp.mapToPlay = 1000;
    StartLevel();
    ASSERT_TRUE(StepUntil([this] { return !chooser.log.empty(); }));
    EXPECT_EQ(chooser.log.front(), "Enter");
    EXPECT_EQ(playGamePhase.table, nullptr);
    EXPECT_EQ(phaseStack.GetPhases().First(), &menuPhase) << "over the menu background";
}

TEST_F(PlayPhase, TheFrameRateFloorIsReadOnce)
{
    StartLevel();
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    float& rate = WeConfig::GetFloat("Mivo.GamePlay.FrameRate", 60.0f);
    const float shipped = rate;
    rate = 30.0f;
    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
    PlayStep();
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    EXPECT_DOUBLE_EQ(timer.minimumDelta, 1.0 / double(shipped));
    rate = shipped;
}

TEST_F(PlayPhase, TheDisplayComesUpAndItsStateTestFollowsInTheSameUpdate)
{
    userData.gameMode = MivoModeSkill;
    StartLevel();
    ASSERT_TRUE(StepToState(Phase::ShowHud));
    playGamePhase.Update();
    EXPECT_EQ(playGamePhase.state, Phase::WaitUiSettled) << "the loading window is still fading";
    EXPECT_TRUE(uiMain.enabled);
    EXPECT_TRUE(gameApp.menuCursor);
    EXPECT_TRUE(Visible("IngameTime")) << "the skill mode plays against the clock";
    EXPECT_TRUE(Visible("IngameScore"));
    EXPECT_FALSE(Visible("IngameTutorialWindow"));
    EXPECT_EQ(playGamePhase.timeLimit, 300.0f);
}

TEST_F(PlayPhase, OnceSettledAndFlownInTheLevelStartsInTheSameUpdate)
{
    std::fill(std::begin(userData.CurrentUser()->tutorialsSeen),
              std::end(userData.CurrentUser()->tutorialsSeen), uint8_t(1));
    StartLevel();
    ASSERT_TRUE(
        StepUntil([] { return playGamePhase.state == Phase::WaitUiSettled && uiMain.hiding.IsEmpty(); }));
    playGamePhase.camera->offsets[MivoGameCamera::distance] = 0.0f;
    playGamePhase.Update();
    EXPECT_EQ(playGamePhase.state, Phase::Playing);
    EXPECT_TRUE(playGamePhase.playing);
    EXPECT_FALSE(playGamePhase.level.cameraIntro);
    EXPECT_FALSE(playGamePhase.camera->intro);
}

TEST_F(PlayPhase, TheFlyInHoldsTheTutorialsBack)
{
    StartLevel();
    ASSERT_TRUE(StepUntil([] { return playGamePhase.state == Phase::CheckTutorials; }));
    EXPECT_TRUE(playGamePhase.level.cameraIntro);
    EXPECT_GT(playGamePhase.camera->offsets[MivoGameCamera::distance], 0.0f);
    ASSERT_TRUE(StepToState(Phase::TutorialOpen));
    EXPECT_FALSE(playGamePhase.level.cameraIntro);
    EXPECT_EQ(playGamePhase.camera->offsets[MivoGameCamera::distance], 0.0f);
}

TEST_F(PlayPhase, TutorialsComeInTurnAndASeenOneIsSkippedForGood)
{
    StartLevel();
    std::vector<int32_t> offered;
    for (int32_t round = 0; round < Phase::kTutorialCount + 1; ++round)
    {
        ASSERT_TRUE(StepUntil([] { return playGamePhase.state >= Phase::TutorialOpen; }));
        if (playGamePhase.state == Phase::Playing)
            break;
        int32_t shown = -1;
        for (int32_t k = 0; k < Phase::kTutorialCount; ++k)
            if (Visible(WeString("IngameTutorialCube").AppendInt(k).GetData()))
            {
                EXPECT_EQ(shown, -1) << "one picture at a time";
                shown = k;
            }
        ASSERT_GE(shown, 0);
        offered.push_back(shown);
        EXPECT_EQ(userData.CurrentUser()->tutorialsSeen[shown], 1);
        const WeString name = WeConfig::GetString(WeString("Mivo.Tutorials.Tutorial").AppendInt(shown), "");
        EXPECT_EQ(MivoFindWidget("IngameTutorialLabel")->text, localization.Translate("Tutorial: " + name));
        EXPECT_EQ(MivoFindWidget("IngameTutorialHeadline")->text,
                  localization.Translate("Tutorial: " + name + ".Headline"));
        SendEvent(Phase::kTutorialOkId);
        const WeString picture = WeString("IngameTutorialCube").AppendInt(shown);
        ASSERT_TRUE(StepUntil([&picture] { return !Visible(picture.GetData()); })) << "OK closes it";
    }
    ASSERT_GE(offered.size(), 2u);
    EXPECT_EQ(offered.front(), 10) << "moving a block comes first";
    EXPECT_EQ(offered[1], 0) << "then the numbered blocks of the first level";
    EXPECT_TRUE(playGamePhase.playing);

    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
    PlayStep();
    ASSERT_TRUE(StepUntil([] { return playGamePhase.state >= Phase::TutorialOpen; }));
    EXPECT_EQ(playGamePhase.state, Phase::Playing) << "every tutorial of the level has been seen";
}

TEST_F(PlayPhase, OnlyThePauseMenuDarkensTheLevel)
{
    StartLevel();
    playGamePhase.Covered(&chooser);
    EXPECT_EQ(MivoFindWidget("MenuBlackIngame"), nullptr);
    playGamePhase.Covered(&menuIngamePhase);
    ASSERT_NE(MivoFindWidget("MenuBlackIngame"), nullptr);
    EXPECT_TRUE(Visible("MenuBlackIngame"));
    playGamePhase.Uncovered(&chooser);
    EXPECT_TRUE(uiMain.hiding.IsEmpty());
    playGamePhase.Uncovered(&menuIngamePhase);
    Steps(50);
    EXPECT_EQ(MivoFindWidget("MenuBlackIngame"), nullptr) << "closed: hidden, then deleted";
}

TEST_F(PlayPhase, ThePauseAndTutorialEventsCountOnlyOnTop)
{
    StartLevel();
    WeUIEvent pause = MivoMadeEvent(Phase::kPauseId);
    EXPECT_TRUE(playGamePhase.OnUIEvent(&pause));
    Step();
    EXPECT_EQ(Top(), &menuIngamePhase);
    EXPECT_FALSE(playGamePhase.OnUIEvent(&pause)) << "covered by the pause menu";
    WeUIEvent other = MivoMadeEvent(Phase::kWonId);
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    Step();
    EXPECT_FALSE(playGamePhase.OnUIEvent(&other)) << "not playing yet";
}

TEST_F(PlayPhase, ARestartReloadsCleanly)
{
    StartLevel();
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    const size_t blockCount = playGamePhase.level.blocks.size();
    const float x = playGamePhase.level.blocks.front()->x;
    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
    PlayStep();
    EXPECT_EQ(playGamePhase.state, Phase::WaitLoadingWindow);
    EXPECT_TRUE(playGamePhase.level.blocks.empty());
    EXPECT_EQ(playGamePhase.scene, nullptr);
    EXPECT_EQ(playGamePhase.table, nullptr);
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    EXPECT_NE(playGamePhase.table, nullptr);
    EXPECT_EQ(playGamePhase.level.blocks.size(), blockCount);
    EXPECT_EQ(playGamePhase.level.blocks.front()->x, x);
}

TEST_F(PlayPhase, TheLivesLabelNamesThePlayerAndInTheSkillModeTheLives)
{
    uiMain.LoadComponents("MenuOverlay");
    WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel");
    ASSERT_NE(label, nullptr);
    playGamePhase.UpdateLivesLabel(-1);
    EXPECT_EQ(label->text, "Ana");
    userData.gameMode = MivoModeSkill;
    userData.CurrentUser()->skill.lives = 2;
    playGamePhase.UpdateLivesLabel(-1);
    EXPECT_EQ(label->text, "Ana (" + localization.Translate("UI: Lives") + ": 2)");
    playGamePhase.UpdateLivesLabel(0);
    EXPECT_EQ(label->text, "Ana (" + localization.Translate("UI: Lives") + ": 0)");
    userData.FreeAll();
    playGamePhase.UpdateLivesLabel(3);
    EXPECT_EQ(label->text, "");
}

// The label above the lose screen and the screen itself count the same lives, the last one
// spent included.
TEST_F(PlayPhase, ALevelLostOnTimeShowsTheLivesLeftAboveTheLoseScreenAsOnIt)
{
    uiMain.LoadComponents("MenuOverlay");
    userData.gameMode = MivoModeSkill;
    MivoUser& user = *userData.CurrentUser();
    std::fill(std::begin(user.tutorialsSeen), std::end(user.tutorialsSeen), uint8_t(1));
    const WeString lives = localization.Translate("UI: Lives") + ": ";
    for (const int32_t before : {3, 2, 1})
    {
        user.skill.lives = before;
        StartLevel();
        ASSERT_TRUE(StepToState(Phase::Playing));
        SendEvent(Phase::kLostOnTimeId);
        ASSERT_TRUE(StepUntil([] { return Top() == &statisticPhase && MivoFindWidget("LoseLifesLabel"); }));
        WeString left;
        left.AppendInt(before - 1);
        EXPECT_EQ(MivoFindWidget("LoseLifesLabel")->text, lives + left) << before;
        EXPECT_EQ(MivoFindWidget("MenuOverlayCurrentUserLabel")->text, "Ana (" + lives + left + ")")
            << before;
        phaseStack.LeaveAll();
    }
    EXPECT_TRUE(userData.outOfLives);
}

// Each level frees what the one before made (the leak check of the sanitizer build watches).
TEST_F(PlayPhase, TenLevelLoadsInARowKeepOneLevelsWorth)
{
    StartLevel();
    size_t blocks = 0;
    for (int32_t level = 0; level < 10; ++level)
    {
        gameApp.mapToPlay = 1001 + level % 3;
        phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
        PlayStep();
        ASSERT_TRUE(StepToState(Phase::FirstFrame)) << level;
        if (level < 3)
            blocks = std::max(blocks, playGamePhase.level.blocks.size());
        EXPECT_LE(playGamePhase.level.blocks.size(), blocks);
        EXPECT_EQ(playGamePhase.scene->actors.GetCount(),
                  int32_t(playGamePhase.level.blocks.size()) +
                      2 * int32_t(playGamePhase.table->tracks.size()));
    }
}

// As a mode screen does it: a shipped level over a shipped background map, loaded one actor per
// frame.
TEST_F(PlayPhase, AShippedLevelLoadsOverItsShippedBackgroundMap)
{
    for (auto& [name, value] : savedWorlds)
        *name = value;
    gameApp.questPlace = 1004; // region 2
    ASSERT_FALSE(WeConfig::GetString("Mivo.Maps.World2", "").IsEmpty());
    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
    PlayStep();
    ASSERT_TRUE(StepToState(Phase::LoadSceneStep));
    int32_t steps = 0;
    while (playGamePhase.state == Phase::LoadSceneStep && steps < 1000)
    {
        PlayStep();
        ++steps;
    }
    EXPECT_GT(steps, 1) << "one actor per frame";
    ASSERT_TRUE(StepToState(Phase::FirstFrame));
    EXPECT_GT(playGamePhase.scene->nextId, int32_t(playGamePhase.level.blocks.size()))
        << "the map's own actors";
    EXPECT_TRUE(playGamePhase.scene->loadMessage.IsEmpty()) << playGamePhase.scene->loadMessage.GetData();
}

TEST_F(PlayPhase, TheTimeBarShrinksWithTheClockAndStaysWithinItsBox)
{
    struct Case
    {
        float limit, elapsed;
        int32_t width;
    };
    const Case cases[] = {{300.0f, 0.0f, 200}, {300.0f, 150.0f, 100}, {300.0f, 300.0f, 0},
                          {300.0f, 450.0f, 0}, {0.0f, 50.0f, 200},    {-1.0f, 10.0f, 200}};
    uiMain.LoadComponents("Ingame");
    WeUIComponent& bar = *MivoFindWidget("IngameProgressBar2");
    bar.x = 10;
    bar.y = 20;
    bar.w = 200;
    bar.h = 16;
    for (const Case& c : cases)
    {
        playGamePhase.timeLimit = c.limit;
        playGamePhase.elapsed = c.elapsed;
        Phase::DrawLifeBar(&bar);
        EXPECT_TRUE(bar.clipRectEnabled);
        EXPECT_EQ(bar.clipX, 10);
        EXPECT_EQ(bar.clipH, 16);
        EXPECT_EQ(bar.clipW, c.width) << c.limit << " " << c.elapsed;
    }
    playGamePhase.timeLimit = playGamePhase.elapsed = 0.0f;
}

TEST_F(PlayPhase, TheSkillDisplayCountsDownAndOneCubeIsSpentALevel)
{
    userData.gameMode = MivoModeSkill;
    MivoUser& user = *userData.CurrentUser();
    std::fill(std::begin(user.tutorialsSeen), std::end(user.tutorialsSeen), uint8_t(1));
    user.skill.cubes[1] = 5;
    StartLevel();
    ASSERT_TRUE(StepToState(Phase::Playing));
    EXPECT_EQ(MivoFindWidget("IngameMapName")->text, "First Steps");
    EXPECT_EQ(MivoFindWidget("IngameBonusCubeHint4")->text, localization.Translate("Hint: BonusCube4"));
    playGamePhase.elapsed = 12.7f;
    playGamePhase.UpdateMovesLabel();
    EXPECT_EQ(MivoFindWidget("IngameTime")->text, "287");
    EXPECT_EQ(MivoFindWidget("IngameMoves")->text, localization.Translate("UI: Moves") + ": 0");

    SendEvent(Phase::kHintShowId + 4);
    EXPECT_TRUE(Visible("IngameBonusCubeHint4"));
    SendEvent(Phase::kHintHideId + 4);
    EXPECT_FALSE(Visible("IngameBonusCubeHint4"));
    SendEvent(Phase::kFirstCubeId + 2);
    EXPECT_EQ(user.skill.cubes[1], 2);
    EXPECT_EQ(playGamePhase.timeLimit, 330.0f);
    EXPECT_EQ(MivoFindWidget("IngameBonusCube2Count")->colour.a, 0.5f);
    SendEvent(Phase::kFirstCubeId + 2);
    EXPECT_EQ(user.skill.cubes[1], 2) << "one cube a level";
    EXPECT_EQ(playGamePhase.timeLimit, 330.0f);
    playGamePhase.UpdateMovesLabel();
    EXPECT_EQ(MivoFindWidget("IngameBonusCube2Count")->text, "x 2");

    userData.gameMode = MivoModePractice;
    WeUIEvent cube = MivoMadeEvent(Phase::kFirstCubeId + 1);
    EXPECT_FALSE(playGamePhase.OnUIEvent(&cube)) << "cubes belong to the skill mode";
}
