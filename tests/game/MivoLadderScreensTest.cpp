// The new-game and skill screens, the level results and the end of a game, over the shipped
// layouts and a player folder of their own.
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoNetWaitPhase.h"
#include "MivoNewGamePhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoPracticePhase.h"
#include "MivoQuestPhase.h"
#include "MivoScreen.h"
#include "MivoSkillPhase.h"
#include "MivoStatisticPhase.h"
#include "MivoUserData.h"

#include <filesystem>
#include <set>
#include <string>

namespace
{

class LadderScreens : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        userData.SetFolder(folder.path);
        ASSERT_TRUE(userData.CreateUser("Ana"));
        user = userData.CurrentUser();
    }
    void TearDown() override
    {
        MenuFixture::TearDown();
        userData.FreeAll();
        userData.ResetLevelCounters();
        userData.gameMode = MivoModeNone;
        userData.bonusIndex = -1;
        userData.lastLevelResult = MivoLevelResult();
        statisticPhase.bonusLevel = 0;
    }

    // The screen over a stand-in for the level (or the menus) it ends, stepped until its fades
    // are over.
    void Open(WeAbstractPhase* screen)
    {
        phaseStack.Request(&beneath, WePhaseCommand::Push);
        phaseStack.Request(screen, WePhaseCommand::Push);
        Steps(20);
    }
    static bool Shown(const char* name)
    {
        const WeUIComponent* widget = MivoFindWidget(name);
        return widget && widget->enabled && widget->colour.a == 1.0f;
    }
    static std::string Text(const char* name)
    {
        const WeUIComponent* widget = MivoFindWidget(name);
        return widget ? widget->text.GetData() : "(none)";
    }
    // The top of the stack and the phase under it.
    static bool StackEnds(WeAbstractPhase* under, WeAbstractPhase* top)
    {
        const auto& phases = phaseStack.GetPhases();
        return phases.GetCount() == 2 && phases.First() == under && phases.Last() == top;
    }
    uintmax_t QueuedUploads() const
    {
        const auto file = folder / "upload.dat";
        return std::filesystem::exists(file)
                   ? (std::filesystem::file_size(file) - 4) / MivoUploadQueue::kRecordSize
                   : 0;
    }
    // A won skill level as the user data store books it.
    void WinSkillLevel(int32_t level, int32_t cube)
    {
        userData.gameMode = MivoModeSkill;
        user->skill.level = level;
        userData.timeBonus = 120;
        userData.movesBonus = 833;
        userData.totalBonus = 953;
        userData.awardedCube = cube;
        userData.lastLevelResult = {3017, 953, 12, 41.5f};
    }

    TempFolder folder;
    MivoUser* user = nullptr;
    RecordingPhase beneath;
};

// ---- new game ----

struct ModeButton
{
    const char* button;
    WeAbstractPhase* next; // null: the screen stays
    int32_t mode;
};

void PrintTo(const ModeButton& b, std::ostream* out)
{
    *out << b.button;
}

class NewGameButtons : public LadderScreens, public ::testing::WithParamInterface<ModeButton>
{
};

TEST_P(NewGameButtons, LeadToTheirScreenAndSetTheMode)
{
    const ModeButton& b = GetParam();
    userData.runningQuestDifficulty = 2;
    phaseStack.Request(&newGamePhase, WePhaseCommand::Push);
    Steps(20);
    Click(b.button);
    Steps(2);
    EXPECT_EQ(Top(), b.next ? b.next : &newGamePhase);
    EXPECT_EQ(userData.gameMode, b.mode);
    if (b.mode == MivoModeSkill || b.mode == MivoModePractice)
    {
        EXPECT_EQ(userData.runningQuestDifficulty, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, NewGameButtons,
                         ::testing::Values(ModeButton{"NewGameSkillButton", &skillPhase, MivoModeSkill},
                                           ModeButton{"NewGameBackButton", &mainMenuPhase, MivoModeNone},
                                           ModeButton{"NewGamePracticeButton", &practicePhase,
                                                      MivoModePractice},
                                           ModeButton{"NewGameQuestButton", &questDiffPhase, MivoModeQuest}),
                         [](const auto& info) { return std::string(info.param.button); });

TEST_F(LadderScreens, EscapeOnTheNewGameScreenIsBack)
{
    phaseStack.Request(&newGamePhase, WePhaseCommand::Push);
    Steps(3);
    PressKey(kMivoEscapeKey);
    Steps(2);
    EXPECT_EQ(Top(), &mainMenuPhase);
}

// ---- skill ----

TEST_F(LadderScreens, SkillShowsWhereTheFreshPlayerStandsAndSavesOnLeaving)
{
    phaseStack.Request(&skillPhase, WePhaseCommand::Push);
    Steps(3);
    EXPECT_EQ(Text("SkillLevel"), "1 / 300");
    EXPECT_EQ(Text("SkillPoints"), "0");
    EXPECT_EQ(Text("SkillLives"), "3");
    PressKey(kMivoEscapeKey);
    Steps(2);
    EXPECT_EQ(Top(), &newGamePhase) << "Escape is Back";
    EXPECT_TRUE(std::filesystem::exists(folder / "users.dat"));
}

TEST_F(LadderScreens, SkillPointsAreTheScoreAndTheLastLevelsPoints)
{
    user->skill.level = 50;
    user->skill.score = 1000;
    user->skill.lives = 1;
    userData.levelScore = 20;
    phaseStack.Request(&skillPhase, WePhaseCommand::Push);
    Steps(3);
    EXPECT_EQ(Text("SkillLevel"), "51 / 300");
    EXPECT_EQ(Text("SkillPoints"), "1020");
    EXPECT_EQ(Text("SkillLives"), "1");
}

TEST_F(LadderScreens, PlayStartsTheLaddersLevelOrTheBonusLevelDueInTheMenusPlace)
{
    struct Case
    {
        int32_t level, bonusLevelsDone, map, bonusIndex; // map -1: the ladder's own
    };
    const Case cases[] = {
        {0, 0, -1, -1}, {50, 0, 20001, 0}, {65, 1, 20002, 1}, {65, 2, -1, -1}, {66, 1, -1, -1}};
    for (const Case& c : cases)
    {
        user->skill.level = c.level;
        user->skill.bonusLevelsDone = c.bonusLevelsDone;
        userData.bonusIndex = -1;
        gameApp.questPlace = 7;
        phaseStack.Request(&beneath, WePhaseCommand::Push);
        phaseStack.Request(&skillPhase, WePhaseCommand::Push);
        Steps(20);
        EXPECT_EQ(MivoFindWidget("SkillPlayButton")->onMouseUp.id, MivoSkillPhase::kPlayId);
        WeUIEvent play = MivoMadeEvent(MivoSkillPhase::kPlayId);
        EXPECT_TRUE(phaseStack.OnUIEvent(&play));
        Steps(2);
        EXPECT_EQ(Top(), &playGamePhase);
        EXPECT_EQ(Depth(), 1) << "the level takes the menus' place";
        EXPECT_EQ(playGamePhase.returnPhase, &skillPhase);
        EXPECT_EQ(gameApp.questPlace, -1);
        EXPECT_EQ(userData.bonusIndex, c.bonusIndex) << c.level;
        EXPECT_EQ(gameApp.mapToPlay, c.map == -1 ? user->skill.ladder[c.level].mapId : c.map) << c.level;
        phaseStack.LeaveAll();
    }
    userData.bonusIndex = -1;
}

TEST_F(LadderScreens, StartingTheLadderAgainAsksAndYesDealsANewOne)
{
    for (const bool yes : {false, true})
    {
        user->skill.level = 120;
        user->skill.lives = 1;
        user->skill.score = 5000;
        user->skill.cubes[3] = 4;
        user->skill.bonusLevelsDone = 5;
        user->skill.ladder[150].mapId = 999;
        phaseStack.Request(&skillPhase, WePhaseCommand::Push);
        Steps(20);
        Click("SkillQuitButton");
        Steps(20);
        ASSERT_EQ(Top(), &confirmationPhase);
        EXPECT_EQ(confirmationPhase.textKey, "UI: Are you sure Skill");
        EXPECT_EQ(confirmationPhase.layoutSuffix, "Large");
        Click(yes ? "ConfirmationLargeYesButton" : "ConfirmationLargeNoButton");
        Steps(3);
        EXPECT_EQ(Top(), yes ? static_cast<WeAbstractPhase*>(&newGamePhase) : &skillPhase);
        EXPECT_EQ(user->skill.level, yes ? 0 : 120);
        EXPECT_EQ(user->skill.lives, yes ? 3 : 1);
        EXPECT_EQ(user->skill.score, yes ? 0 : 5000);
        EXPECT_EQ(user->skill.cubes[3], yes ? 0 : 4);
        EXPECT_EQ(user->skill.bonusLevelsDone, yes ? 0 : 5);
        EXPECT_EQ(user->skill.ladder[150].mapId == 999, !yes) << "a new ladder of region maps";
        phaseStack.Update();
        phaseStack.LeaveAll();
    }
}

// ---- the level results ----

TEST_F(LadderScreens, AWonSkillLevelShowsItsBonusesAndTheAwardedCubeAndBooksTheLevel)
{
    for (int32_t cube = 0; cube <= kMivoCubeKinds; ++cube)
    {
        WinSkillLevel(7, cube);
        Open(&statisticPhase);
        EXPECT_EQ(Text("StatisticInfoTime"), "120");
        EXPECT_EQ(Text("StatisticInfoMoves"), "833");
        EXPECT_EQ(Text("StatisticInfoTotal"), "953");
        EXPECT_FALSE(Shown("StatisticInfoLevelBonus"));
        EXPECT_FALSE(Shown("StatisticInfoBonusCube"));
        EXPECT_FALSE(Shown("StatisticCongratulationsLabelPractice"));
        for (int32_t k = 1; k <= kMivoCubeKinds; ++k)
            EXPECT_EQ(Shown(("StatisticInfoBonusCube" + std::to_string(k)).c_str()), k == cube) << cube;
        EXPECT_EQ(QueuedUploads(), static_cast<uintmax_t>(cube + 1)) << "one level score each";
        phaseStack.LeaveAll();
    }
    ASSERT_FALSE(userData.scores.levelTables[MivoScoreTables::LevelTableIndex(3017)].empty());
    EXPECT_TRUE(userData.scores.levelTables[MivoScoreTables::LevelTableIndex(3017)][0].name == "Ana");
}

TEST_F(LadderScreens, BonusAndPracticeLevelsBookNoLevelScore)
{
    WinSkillLevel(7, 2);
    statisticPhase.bonusLevel = 1;
    Open(&statisticPhase);
    phaseStack.LeaveAll();
    statisticPhase.bonusLevel = 0;
    userData.gameMode = MivoModePractice;
    Open(&statisticPhase);
    EXPECT_FALSE(Shown("StatisticInfoWindow"));
    EXPECT_FALSE(Shown("StatisticCongratulationsLabel"));
    EXPECT_TRUE(Shown("StatisticCongratulationsLabelPractice"));
    EXPECT_EQ(QueuedUploads(), 0u);
}

TEST_F(LadderScreens, AnEasyQuestLevelShowsOnlyItsLevelBonus)
{
    for (const int32_t difficulty : {1, 2})
    {
        userData.gameMode = MivoModeQuest;
        user->quest.difficulty = difficulty;
        userData.levelBonus = 300;
        userData.totalBonus = 300;
        userData.awardedCube = 4;
        Open(&statisticPhase);
        EXPECT_EQ(Shown("StatisticInfoTime"), difficulty != 1);
        EXPECT_EQ(Shown("StatisticInfoMovesText"), difficulty != 1);
        EXPECT_EQ(Text("StatisticInfoLevelBonus"), "300");
        EXPECT_FALSE(Shown("StatisticInfoBonusCubeText"));
        EXPECT_FALSE(Shown("StatisticInfoBonusCube4"));
        phaseStack.LeaveAll();
    }
}

struct FactCase
{
    int32_t mode;
    int32_t level;
    int32_t fact; // 0: none
};

void PrintTo(const FactCase& c, std::ostream* out)
{
    *out << (c.mode == MivoModeSkill ? "Skill" : "Practice") << c.level;
}

class Facts : public LadderScreens, public ::testing::WithParamInterface<FactCase>
{
};

TEST_P(Facts, ComeAtEverySixthLevelOfTheLadderAndNeverInPractice)
{
    WinSkillLevel(GetParam().level, 1);
    userData.gameMode = GetParam().mode;
    Open(&statisticPhase);
    const int32_t k = GetParam().fact;
    EXPECT_EQ(Shown("StatisticGlobalWarmingWindow"), k != 0);
    int32_t avatars = 0;
    for (const char* avatar : {"StatisticGlobalWarmingMivoAvatar01", "StatisticGlobalWarmingMivoAvatar02",
                               "StatisticGlobalWarmingMivoAvatar03"})
        avatars += Shown(avatar);
    EXPECT_EQ(avatars, k ? 1 : 0);
    if (k)
    {
        const std::string key = "Fact" + std::to_string(k) + ":Headline";
        EXPECT_EQ(Text("StatisticGlobalWarmingHeadline"), localization.Translate(key.c_str()).GetData());
        EXPECT_NE(Text("StatisticGlobalWarmingHeadline"), key) << "an English fact";
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, Facts,
                         ::testing::Values(FactCase{MivoModeSkill, 6, 1}, FactCase{MivoModeSkill, 12, 2},
                                           FactCase{MivoModeSkill, 294, 49}, FactCase{MivoModeSkill, 5, 0},
                                           FactCase{MivoModeSkill, 0, 0}, FactCase{MivoModePractice, 6, 0}),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

TEST_F(LadderScreens, ALostSkillLevelWithLivesLeftShowsThemAndIsPlayedAgain)
{
    userData.gameMode = MivoModeSkill;
    userData.levelRunning = true;
    user->skill.lives = 2;
    Open(&statisticPhase);
    EXPECT_EQ(Text("LoseLifesLabel"), "Lives: 2");
    EXPECT_EQ(MivoFindWidget("StatisticWindow"), nullptr);
    Click("LoseOkButton");
    Steps(2);
    EXPECT_EQ(Top(), &playGamePhase) << "the lost level is played again at once";
    EXPECT_EQ(gameApp.mapToPlay, user->skill.ladder[0].mapId);
    phaseStack.LeaveAll();
}

TEST_F(LadderScreens, ASkillGameWhoseLivesAreSpentEndsOnTheEndScreenWhichBooksItsScore)
{
    userData.gameMode = MivoModeSkill;
    user->skill.level = 23;
    user->skill.lives = 1;
    user->skill.score = 4321;
    userData.BeginLevel(false); // the last life lost
    ASSERT_TRUE(userData.outOfLives);
    Open(&statisticPhase);
    EXPECT_EQ(Text("LoseLifesLabel"), "Lives: 0");
    PressKey(kMivoEscapeKey);
    Steps(3);
    EXPECT_TRUE(StackEnds(&menuPhase, &endGamePhase)) << "the net-wait over it popped at once";
    EXPECT_EQ(Text("EndGameWinLoseLabel1"), localization.Translate("UI: Game over").GetData());
    EXPECT_EQ(Text("EndGameWinLoseLabel2"), localization.Translate("UI: LoseSkill").GetData());
    EXPECT_EQ(Text("EndGameInfoTotalScore"), "4321");
    ASSERT_EQ(userData.scores.skillTable.size(), 1u);
    const MivoScore& booked = userData.scores.skillTable[0];
    EXPECT_EQ(booked.level, 23) << "the level the game reached";
    EXPECT_EQ(booked.mode, MivoModeSkill);
    EXPECT_EQ(QueuedUploads(), 1u);
    MivoUserData next;
    next.SetFolder(folder.path);
    ASSERT_TRUE(next.LoadUsers());
    EXPECT_EQ(next.CurrentUser()->skill.level, 0) << "the profile saved with its new ladder";
    EXPECT_EQ(next.CurrentUser()->skill.lives, 3);
    Steps(20);
    Click("EndGameOkButton");
    Steps(2);
    EXPECT_TRUE(StackEnds(&menuPhase, &newGamePhase));
    EXPECT_EQ(QueuedUploads(), 1u) << "booked once";
}

TEST_F(LadderScreens, ALevelLeftThroughThePauseMenuShowsNoResult)
{
    userData.gameMode = MivoModeSkill;
    userData.noLifeLost = true;
    userData.levelRunning = true;
    userData.outOfLives = true; // not looked at
    Open(&statisticPhase);
    EXPECT_EQ(MivoFindWidget("LoseWindow"), nullptr);
    EXPECT_EQ(MivoFindWidget("StatisticWindow"), nullptr);
    EXPECT_TRUE(StackEnds(&menuPhase, &skillPhase));
}

TEST_F(LadderScreens, OkLeadsAPracticeLevelBackToItsListAndAQuestCityOnToItsNextMap)
{
    struct Case
    {
        const char* what;
        int32_t mode;
        int32_t mapInCity; // after the level's booking
        bool lost, left, teleport;
        WeAbstractPhase* screen; // over the menu background; null: the city's next map plays
    };
    const Case cases[] = {
        {"practice won", MivoModePractice, 0, false, false, false, &practicePhase},
        {"practice lost", MivoModePractice, 0, true, false, false, &practicePhase},
        {"practice left", MivoModePractice, 0, false, true, false, &practicePhase},
        {"quest first map won", MivoModeQuest, 1, false, false, false, nullptr},
        {"quest third map won", MivoModeQuest, 3, false, false, false, nullptr},
        {"quest fourth map won", MivoModeQuest, 4, false, false, false, &questPhase},
        {"quest map lost", MivoModeQuest, 1, true, false, false, &questPhase},
        {"quest map left", MivoModeQuest, 1, false, true, false, &questPhase},
        {"teleport won", MivoModeQuest, 0, false, false, true, &questPhase},
    };
    userData.ChooseRegion(4);
    const int32_t key = 4002;
    for (const Case& c : cases)
    {
        userData.gameMode = c.mode;
        userData.SelectCity(key);
        userData.mapInCity = c.mapInCity;
        userData.levelRunning = c.lost;
        userData.noLifeLost = c.left;
        statisticPhase.bonusLevel = c.teleport;
        gameApp.mapToPlay = gameApp.questPlace = 0;
        playGamePhase.returnPhase = nullptr;
        Open(&statisticPhase);
        if (!c.left)
        {
            PressKey(kMivoEscapeKey);
            Steps(2);
        }
        if (c.screen)
            EXPECT_TRUE(StackEnds(&menuPhase, c.screen)) << c.what;
        else
        {
            EXPECT_EQ(Top(), &playGamePhase) << c.what;
            EXPECT_EQ(Depth(), 1) << c.what << ": the map plays in the finished one's place";
            EXPECT_EQ(playGamePhase.returnPhase, &questPhase) << c.what;
            EXPECT_EQ(gameApp.questPlace, key) << c.what;
            EXPECT_EQ(gameApp.mapToPlay, user->quest.regions[0][key % 1000].maps[c.mapInCity].mapId)
                << c.what;
        }
        phaseStack.Update();
        phaseStack.LeaveAll();
    }
}

// ---- the end of a game ----

TEST_F(LadderScreens, ACompleteSkillGameEndsOnTheEndScreenWhichBooksItsScoreOnce)
{
    WinSkillLevel(299, 3);
    userData.gameComplete = true;
    userData.finalScore = 123456;
    userData.finalLevel = 300;
    statisticPhase.bonusLevel = 1;
    Open(&statisticPhase);
    Click("StatisticNextButton");
    Steps(3);
    EXPECT_TRUE(StackEnds(&menuPhase, &endGamePhase)) << "the net-wait over it popped at once";
    EXPECT_EQ(netWaitPhase.outcome, MivoNetWaitPhase::Outcome::Done);
    EXPECT_EQ(Text("EndGameInfoTotalScore"), "123456");
    EXPECT_EQ(Text("EndGameWinLoseLabel1"), localization.Translate("UI: Congratulations").GetData());
    EXPECT_EQ(Text("EndGameWinLoseLabel2"), localization.Translate("UI: WinSkill").GetData());
    Steps(20);
    EXPECT_EQ(QueuedUploads(), 1u);
    ASSERT_EQ(userData.scores.skillTable.size(), 1u);
    EXPECT_EQ(userData.scores.skillTable[0].score, 123456);
    EXPECT_EQ(userData.scores.skillTable[0].level, 300);
    Click("EndGameOkButton");
    Steps(2);
    EXPECT_TRUE(StackEnds(&menuPhase, &newGamePhase));
    EXPECT_EQ(QueuedUploads(), 1u);
}

TEST_F(LadderScreens, TheEndScreenOfAnotherModeBooksNothing)
{
    userData.gameMode = MivoModePractice;
    Open(&endGamePhase);
    EXPECT_EQ(Top(), &endGamePhase);
    EXPECT_EQ(Text("EndGameWinLoseLabel2"), "");
    EXPECT_EQ(QueuedUploads(), 0u);
}

TEST_F(LadderScreens, TheEndScreenShowsOneOfItsThreeAvatarsEachTime)
{
    std::set<int32_t> seen;
    for (int32_t i = 0; i < 40; ++i)
    {
        Open(&endGamePhase);
        int32_t shown = 0;
        for (int32_t n = 1; n <= 3; ++n)
            if (Shown(("EndGameGlobalWarmingMivoAvatar0" + std::to_string(n)).c_str()))
            {
                ++shown;
                seen.insert(n);
            }
        EXPECT_EQ(shown, 1);
        phaseStack.LeaveAll();
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST(EndGamePulse, GoesFromTheBaseColourToWhiteTwiceASecond)
{
    const WeColor base = WeUIArgbToColour(0xFF11A8B5u);
    const struct
    {
        double seconds;
        uint32_t argb;
    } cases[] = {{0.125, 0xFFFFFFFFu}, {0.375, 0xFF11A8B5u}, {0.625, 0xFFFFFFFFu}};
    for (const auto& c : cases)
        EXPECT_EQ(WeUIColourToArgb(MivoEndGamePhase::PulseColour(base, 2.0f, c.seconds)), c.argb)
            << c.seconds;
    EXPECT_EQ(MivoEndGamePhase::PulseColour(WeUIArgbToColour(0x80000000u), 2.0f, 0.125).a,
              WeUIArgbToColour(0x80000000u).a);
}

} // namespace
