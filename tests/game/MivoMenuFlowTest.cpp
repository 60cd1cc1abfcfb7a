// The menus as a player meets them: the whole game started through the engine's run loop on the
// headless drivers, with a player who reads the screens each frame, presses keys on a scripted
// keyboard and clicks through the UI's input queue.
#include "../core/ScriptedDirectInput.h"
#include "../core/TempFolder.h"
#include "MivoConfirmationPhase.h"
#include "MivoCreditsPhase.h"
#include "MivoGame.h"
#include "MivoHighScorePhase.h"
#include "MivoIntroPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoMenuPhase.h"
#include "MivoNetWaitPhase.h"
#include "MivoNewGamePhase.h"
#include "MivoOptionsPhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoPracticePhase.h"
#include "MivoQuestPhase.h"
#include "MivoScreen.h"
#include "MivoSkillPhase.h"
#include "MivoStatisticPhase.h"
#include "MivoUserData.h"
#include "MivoUsersPhase.h"
#include "PlaythroughDriver.h"
#include "WeAppWindow.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeLocalization.h"
#include "WeTimer.h"
#include "WeUIEditBox.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"
#include "support/ScoreServiceFake.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{

constexpr int32_t kFrameLimit = 2000;
constexpr float kFrameTime = 0.1f;
constexpr int32_t kBackspaceKey = 14;
constexpr int32_t kLeftCtrlKey = 0x1D, kLeftAltKey = 0x38, kF2Key = 0x3C, kF3Key = 0x3D;

// The player sits at the bottom of the phase stack, under every screen, so it is updated and
// drawn first each frame. It gives the game a steady 0.1 s a frame, in the update and again in
// the drawing (the engine's timer has measured the real frame in between, and the play screen's
// camera moves as it draws), so the walk takes the same frames on any machine, and works
// through its steps: each one runs every frame until it says it is done.
class Player : public WeAbstractPhase
{
public:
    using Step = std::function<bool()>;

    explicit Player(ScriptedInputScope& keyboard) : keyboard(keyboard) {}
    void Enter() override {}
    void Leave() override {}
    void Render() override { timer.deltaTime = kFrameTime; }
    void Update() override
    {
        timer.deltaTime = kFrameTime;
        for (int32_t key : held)
            keyboard.Key(static_cast<uint8_t>(key), false);
        held.clear();
        MouseButton(false);
        if (++frames > kFrameLimit)
        {
            ADD_FAILURE() << "the walk got stuck at step " << next;
            engine.window->alive = false;
            return;
        }
        if (next < steps.size() && steps[next]())
            ++next;
    }

    // Down in the next poll, up in the one after: one click.
    void Press(int32_t key)
    {
        keyboard.Key(static_cast<uint8_t>(key), true);
        held.push_back(key);
    }
    static WeAbstractPhase* Top() { return phaseStack.GetTop(); }
    // Once the widget is ready: the cursor to its centre and the left button down in the next
    // poll, up in the one after. True when it clicked.
    bool ClickWhenReady(const char* name)
    {
        if (!MivoWidgetReady(name))
            return false;
        const WeUIComponent* c = MivoFindWidget(name);
        win32::POINT point{c->x + c->w / 2, c->y + c->h / 2};
        win32::ClientToScreen(engine.window->handle, &point);
        win32::SetCursorPos(point.x, point.y);
        MouseButton(true);
        return true;
    }

    std::vector<Step> steps;
    size_t next = 0;
    int32_t frames = 0;

private:
    void MouseButton(bool down)
    {
        reinterpret_cast<dinput::DIMOUSESTATE2*>(keyboard.script.mouse.state)->rgbButtons[0] =
            down ? 0x80 : 0;
    }

    ScriptedInputScope& keyboard;
    std::vector<int32_t> held;
};

class MenuFlow : public ::testing::Test
{
protected:
    void SetUp() override { MivoStartInFolder(folder); }
    void TearDown() override { MivoForgetTheRun(); }
    // The game's run loop from start to end, with the player under the first screen.
    void Run(int32_t commandLineNumber)
    {
        gameApp.commandLineNumber = commandLineNumber;
        phaseStack.Request(&player, WePhaseCommand::Push);
        gameApp.Run("");
        EXPECT_EQ(player.next, player.steps.size()) << "every step was taken";
        EXPECT_EQ(engine.window, nullptr) << "the run loop ended and shut the engine down";
        EXPECT_TRUE(phaseStack.GetPhases().IsEmpty());
    }
    // Presses the key once and goes on.
    Player::Step PressOnce(int32_t key)
    {
        return [this, key]
        {
            player.Press(key);
            return true;
        };
    }
    // Clicks `name` once it is ready on `phase`, the screen on top.
    Player::Step Click(const WeAbstractPhase* phase, const char* name)
    {
        return [this, phase, name] { return Player::Top() == phase && player.ClickWhenReady(name); };
    }
    // Waits for `frames` frames.
    static Player::Step Wait(int32_t frames)
    {
        return [count = 0, frames]() mutable { return ++count >= frames; };
    }
    // Until a level plays: the tutorials of a new player's level are read and closed.
    Player::Step Playing()
    {
        return [this]
        {
            if (Player::Top() == &playGamePhase && playGamePhase.state == MivoPlayGamePhase::Playing)
                return true;
            if (player.frames % 2 == 0) // up between two clicks
                player.ClickWhenReady("IngameTutorialOkButton");
            return false;
        };
    }
    // A player who has read every tutorial, their ladder changed by `set`, saved for the game.
    static void SaveSkilledPlayer(const std::function<void(MivoSkillProgress&)>& set)
    {
        ASSERT_TRUE(userData.CreateUser("Ana"));
        MivoUser& ana = *userData.CurrentUser();
        std::fill(std::begin(ana.tutorialsSeen), std::end(ana.tutorialsSeen), uint8_t(1));
        set(ana.skill);
        ASSERT_TRUE(userData.SaveUsers());
        userData.FreeAll();
    }
    // The developer's keys that win the level at once.
    void PressWin()
    {
        for (const int32_t key : {kLeftCtrlKey, kLeftAltKey, kF3Key})
            player.Press(key);
    }

    TempFolder folder;
    ScriptedInputScope keyboard;
    Player player{keyboard};
};

} // namespace

TEST_F(MenuFlow, TheIntroPlaysThroughToTheMainMenuAndYesToTheExitQuestionEndsTheRun)
{
    ASSERT_TRUE(userData.CreateUser("Ana")); // someone to play as: the menus follow the intro
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    int32_t escapeFrame = 0, menuFrame = 0;
    player.steps = {
        [&] { return Player::Top() == &introPhase && MivoWidgetReady("IntroImage1"); },
        [&]
        {
            player.Press(kMivoEscapeKey); // the intro cannot be skipped
            player.Press(kMivoReturnKey);
            escapeFrame = player.frames;
            return true;
        },
        Wait(5),
        [&] { return Player::Top() == &introPhase; },
        [&]
        {
            menuFrame = player.frames;
            return Player::Top() == &mainMenuPhase;
        },
        [&]
        {
            EXPECT_EQ(phaseStack.GetPhases().GetCount(), 3)
                << "the player, the menu background, the main menu";
            EXPECT_TRUE(gameApp.menuCursor);
            EXPECT_NE(MivoFindWidget("MenuOverlayCurrentUserLabel"), nullptr);
            EXPECT_NE(MivoFindWidget("MenuBackImage"), nullptr);
            return MivoWidgetReady("MainMenuExitButton");
        },
        // Escape asks the exit question; Escape in it answers No.
        [&]
        {
            player.Press(kMivoEscapeKey);
            return true;
        },
        [&] { return Player::Top() == &confirmationPhase && MivoWidgetReady("Confirmation1NoButton"); },
        [&]
        {
            player.Press(kMivoEscapeKey);
            return true;
        },
        [&] { return Player::Top() == &mainMenuPhase && MivoFindWidget("Confirmation1Window") == nullptr; },
        // The Exit button asks it too; No keeps the menu.
        [&] { return player.ClickWhenReady("MainMenuExitButton"); },
        Click(&confirmationPhase, "Confirmation1NoButton"),
        [&] { return Player::Top() == &mainMenuPhase && MivoFindWidget("Confirmation1Window") == nullptr; },
        Wait(3),
        [&]
        {
            EXPECT_TRUE(engine.window->IsRunning());
            return player.ClickWhenReady("MainMenuExitButton");
        },
        // Yes: the frame ends and so does the run.
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(0);
    EXPECT_GT(menuFrame, escapeFrame + 50) << "the intro ran its course after the keys";
    EXPECT_LT(player.frames, kFrameLimit);
}

TEST_F(MenuFlow, AFastStartWithAPlayerOpensTheMainMenuAtOnceWithTheirName)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    player.steps = {
        [&]
        {
            EXPECT_EQ(Player::Top(), &mainMenuPhase) << "no intro";
            EXPECT_EQ(phaseStack.GetPhases().GetCount(), 3);
            EXPECT_TRUE(gameApp.menuCursor);
            const WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel");
            EXPECT_TRUE(label && label->text == "Ana");
            EXPECT_EQ(gameApp.musicTrack, MivoGame::kMenuTrack);
            return true;
        },
        [&] { return MivoWidgetReady("MainMenuCreditsButton"); },
        [&]
        {
            player.Press(kMivoEscapeKey);
            return true;
        },
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
    EXPECT_EQ(userData.UserCount(), 0) << "the game's Exit freed the profiles";
}

// ---- the players' road ----

TEST_F(MenuFlow, AFirstStartLeadsThroughANewPlayerToTheMainMenuAndTheNextStartFindsThem)
{
    ASSERT_EQ(userData.UserCount(), 0);
    player.steps = {
        // Nobody to play as: after the intro, the users screen asks for a name at once.
        [&] { return Player::Top() == &createUserPhase && MivoWidgetReady("CreateUserOkButton"); },
        [&]
        {
            EXPECT_EQ(phaseStack.GetPhases().GetCount(), 4)
                << "the player, the menu background, the users, the name dialog";
            const WeUIEditBox* box = MivoCreateUserNameBox();
            EXPECT_TRUE(box && box->text == "Player");
            EXPECT_TRUE(uiMain.HasFocus(box));
            // Typed as the window reports characters: the default name goes, a new one comes.
            for (int32_t i = 0; i < 6; ++i)
                uiMain.PostKeyDown(kBackspaceKey);
            for (char c : std::string("Mia"))
                uiMain.PostKeyDown(-c);
            return true;
        },
        [&]
        {
            EXPECT_TRUE(MivoCreateUserNameBox()->text == "Mia");
            player.Press(kMivoReturnKey);
            return true;
        },
        [&] { return Player::Top() == &usersPhase && MivoWidgetReady("UsersOkButton"); },
        [&]
        {
            EXPECT_EQ(userData.UserCount(), 1) << "one Return, one player";
            const WeUIMultiList* list = MivoUsersList();
            EXPECT_TRUE(list && list->rowCount == 1 && list->GetSelectedRow() == 0);
            return player.ClickWhenReady("UsersOkButton");
        },
        [&] { return Player::Top() == &mainMenuPhase && MivoWidgetReady("MainMenuExitButton"); },
        [&]
        {
            const WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel");
            EXPECT_TRUE(label && label->text == "Mia");
            return player.ClickWhenReady("MainMenuExitButton");
        },
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(0);

    MivoUserData next;
    next.SetFolder(gameApp.playerFolder);
    ASSERT_TRUE(next.LoadUsers());
    ASSERT_EQ(next.UserCount(), 1);
    EXPECT_TRUE(next.CurrentUser()->name == "Mia");
}

TEST_F(MenuFlow, PlayersAreChosenAddedAndDeletedFromTheMainMenuButTheLastOneStays)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    player.steps = {
        Click(&mainMenuPhase, "MainMenuUsersButton"),
        Click(&usersPhase, "UsersNewButton"),
        // The default name as it stands.
        Click(&createUserPhase, "CreateUserOkButton"),
        [&] { return Player::Top() == &usersPhase && MivoWidgetReady("UsersDeleteButton"); },
        [&]
        {
            EXPECT_EQ(userData.UserCount(), 2);
            EXPECT_EQ(MivoUsersList()->GetSelectedRow(), 1) << "the new player is the current one";
            return player.ClickWhenReady("UsersDeleteButton");
        },
        Click(&confirmationPhase, "Confirmation1YesButton"),
        [&] { return Player::Top() == &usersPhase && userData.UserCount() == 1; },
        [&]
        {
            EXPECT_TRUE(userData.CurrentUser()->name == "Ana");
            const WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel");
            EXPECT_TRUE(label && label->text == "Ana");
            return player.ClickWhenReady("UsersDeleteButton");
        },
        Click(&confirmationPhase, "Confirmation1YesButton"),
        // The last player cannot go.
        Click(&confirmationPhase, "Confirmation2OkButton"),
        [&] { return Player::Top() == &usersPhase && MivoWidgetReady("UsersOkButton"); },
        [&]
        {
            EXPECT_EQ(userData.UserCount(), 1);
            player.Press(kMivoEscapeKey); // Escape is OK
            return true;
        },
        [&] { return Player::Top() == &mainMenuPhase && MivoWidgetReady("MainMenuExitButton"); },
        PressOnce(kMivoEscapeKey),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);

    MivoUserData next;
    next.SetFolder(gameApp.playerFolder);
    ASSERT_TRUE(next.LoadUsers());
    ASSERT_EQ(next.UserCount(), 1);
    EXPECT_TRUE(next.GetUser(0)->name == "Ana");
}

TEST_F(MenuFlow, TheCreditsScrollFromTheMainMenuAndBackAndEscapeReturnToIt)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    float startY = 0.0f;
    player.steps = {
        [&] { return player.ClickWhenReady("MainMenuCreditsButton"); },
        [&] { return Player::Top() == &creditsPhase && MivoWidgetReady("CreditsBackButton"); },
        [&]
        {
            startY = MivoFindWidget("CreditsTextWindow")->yR;
            return true;
        },
        Wait(20),
        [&]
        {
            EXPECT_LT(MivoFindWidget("CreditsTextWindow")->yR, startY) << "the text moves up";
            return player.ClickWhenReady("CreditsBackButton");
        },
        Click(&mainMenuPhase, "MainMenuCreditsButton"),
        [&] { return Player::Top() == &creditsPhase && MivoWidgetReady("CreditsBackButton"); },
        PressOnce(kMivoEscapeKey),
        [&] { return Player::Top() == &mainMenuPhase && MivoWidgetReady("MainMenuExitButton"); },
        PressOnce(kMivoEscapeKey),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
}

// ---- every choice of the main menu ----

namespace
{

// A click on a widget of the screen on top, once the widget is ready.
struct Move
{
    WeAbstractPhase* screen;
    const char* click;
};

void AddClicks(Player& player, const std::vector<Move>& moves)
{
    for (const Move& move : moves)
        player.steps.push_back([&player, move]
                               { return Player::Top() == move.screen && player.ClickWhenReady(move.click); });
}

// The city of the first region that can be played, once the map stands still.
const char* OpenCityOfTheFirstRegion()
{
    static std::string name;
    for (int32_t c = 1; c <= kMivoCitiesPerRegion && questPhase.zoomSpeed == 0.0f; ++c)
    {
        name = "QuestCityR1C" + std::to_string(c);
        const WeUIComponent* city = MivoFindWidget(name.c_str());
        const int32_t id = city ? city->onMouseUp.id : 0;
        if (id >= MivoQuestPhase::kCityPlay && id < MivoQuestPhase::kCityEnter)
            return name.c_str();
    }
    return "";
}

const std::vector<Move> kExit = {{&mainMenuPhase, "MainMenuExitButton"},
                                 {&confirmationPhase, "Confirmation1YesButton"}};

} // namespace

TEST_F(MenuFlow, EveryMainMenuChoiceOpensItsScreenAndReturnsAndAQuestStartsFromTheWorldMap)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    const std::vector<Move> walk = {
        {&mainMenuPhase, "MainMenuUsersButton"},
        {&usersPhase, "UsersOkButton"},
        {&mainMenuPhase, "MainMenuCreditsButton"},
        {&creditsPhase, "CreditsBackButton"},
        {&mainMenuPhase, "MainMenuOptionsButton"},
        {&optionsPhase, "OptionsBackButton"},
        {&mainMenuPhase, "MainMenuHighScoreButton"},
        {&highScorePhase, "HighScoreOkButton"},
        {&mainMenuPhase, "MainMenuNewGameButton"},
        {&newGamePhase, "NewGamePracticeButton"},
        {&practicePhase, "PracticeBackButton"},
        {&newGamePhase, "NewGameSkillButton"},
        {&skillPhase, "SkillBackButton"},
        {&newGamePhase, "NewGameQuestButton"},
        {&questDiffPhase, "DiffQuestButtonEasy"},
        {&questPhase, "QuestRegionLabel1"},
    };
    AddClicks(player, walk);
    player.steps.push_back(
        [&] { return Player::Top() == &questPhase && player.ClickWhenReady(OpenCityOfTheFirstRegion()); });
    // The city's first level loads; the run ends there, for the play has walks of its own.
    player.steps.push_back(
        [&]
        {
            if (Player::Top() != &playGamePhase)
                return false;
            EXPECT_EQ(userData.gameMode, MivoModeQuest);
            EXPECT_EQ(gameApp.questPlace / 1000, 0) << "a city of the first region";
            EXPECT_EQ(phaseStack.GetPhases().GetCount(), 2) << "the player and the level, no menus";
            engine.window->alive = false;
            return true;
        });
    Run(1);
}

TEST_F(MenuFlow, ALanguageChosenInTheOptionsShowsAtOnceAndAgainAtTheNextStart)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    AddClicks(player, {{&mainMenuPhase, "MainMenuOptionsButton"},
                       {&optionsPhase, "OptionsLanguageCombo$Button"},
                       {&optionsPhase, "OptionsLanguageCombo$List$Item 1"}});
    player.steps.push_back(
        [&]
        {
            if (localization.GetLanguageCode() != "DE" || !MivoWidgetReady("OptionsBackButton"))
                return false;
            EXPECT_EQ(MivoFindWidget("OptionsBackButton")->text, "Zurück")
                << "the screen in the new language";
            EXPECT_EQ(MivoFindWidget("OptionsLanguageCombo")->text, "Deutsch");
            return player.ClickWhenReady("OptionsBackButton");
        });
    AddClicks(player, kExit);
    Run(1);
    const std::vector<unsigned char> file = TempFolder::ReadBytes(folder / "options.ini");
    EXPECT_NE(std::string(file.begin(), file.end()).find("\nLanguage=Deutsch\n"), std::string::npos);

    // The next start.
    player.steps.clear();
    player.next = 0;
    player.steps.push_back(
        [&]
        {
            if (Player::Top() != &mainMenuPhase || !MivoWidgetReady("MainMenuExitButton"))
                return false;
            EXPECT_EQ(localization.GetLanguageCode(), "DE");
            EXPECT_EQ(MivoFindWidget("MainMenuExitButton")->text, "Beenden");
            return true;
        });
    AddClicks(player, kExit);
    Run(1);
    localization.SelectLanguage(0);
}

// ---- the net-wait window ----

TEST_F(MenuFlow, ThePlayerCancelsAWaitForASilentServiceWithTheMouseAndKeepsTheScores)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    ASSERT_TRUE(userData.AddLevelScore({"Ana", 300, 12, 3017, 41.0f}));
    userData.FreeAll();
    ScoreServiceFake silent(ScoreServiceFake::Behaviour::Silent);
    WeString& address = WeConfig::GetString("Mivo.Network.ServerAddress", "");
    address = ("127.0.0.1:" + std::to_string(silent.Port())).c_str();
    const auto queued = [&] { return std::filesystem::file_size(folder / "upload.dat"); };
    const auto recordFile = queued();
    player.steps = {
        [&] { return Player::Top() == &mainMenuPhase && MivoWidgetReady("MainMenuExitButton"); },
        [&]
        {
            EXPECT_TRUE(userData.LoadPendingUploads());
            phaseStack.Request(&netWaitPhase, WePhaseCommand::Push);
            return true;
        },
        [&] { return Player::Top() == &netWaitPhase && silent.Accepted() == 1; },
        [&] { return player.ClickWhenReady("NetCancel"); },
        [&] { return Player::Top() == &mainMenuPhase && MivoFindWidget("NetWindow") == nullptr; },
        [&]
        {
            EXPECT_EQ(netWaitPhase.outcome, MivoNetWaitPhase::Outcome::Cancelled);
            EXPECT_EQ(queued(), recordFile) << "the record waits for the next round";
            return player.ClickWhenReady("MainMenuExitButton");
        },
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
    address = "";
}

// ---- the skill ladder's screens ----

TEST_F(MenuFlow, TheSkillLadderIsPlayedFromTheMainMenuLevelAfterLevel)
{
    const PinnedBackgrounds light;
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    const Player::Step playing = Playing();
    player.steps = {
        Click(&mainMenuPhase, "MainMenuNewGameButton"),
        Click(&newGamePhase, "NewGameSkillButton"),
        Click(&skillPhase, "SkillPlayButton"),
        playing,
        [&]
        {
            EXPECT_EQ(gameApp.mapToPlay, userData.CurrentUser()->skill.ladder[0].mapId);
            EXPECT_EQ(phaseStack.GetPhases().GetCount(), 2) << "the player and the level, no menus";
            PressWin();
            return true;
        },
        Click(&statisticPhase, "StatisticNextButton"),
        playing,
        [&]
        {
            EXPECT_EQ(userData.CurrentUser()->skill.level, 1);
            EXPECT_EQ(gameApp.mapToPlay, userData.CurrentUser()->skill.ladder[1].mapId);
            player.Press(kMivoEscapeKey);
            return true;
        },
        Click(&menuIngamePhase, "MenuIngameExit"),
        Click(&confirmationPhase, "Confirmation1YesButton"),
        [&] { return Player::Top() == &skillPhase && MivoWidgetReady("SkillBackButton"); },
        [&]
        {
            EXPECT_EQ(MivoFindWidget("SkillLevel")->text, "2 / 300");
            EXPECT_EQ(MivoFindWidget("SkillLives")->text, "3") << "leaving costs no life";
            return player.ClickWhenReady("SkillBackButton");
        },
        Click(&newGamePhase, "NewGameBackButton"),
        Click(&mainMenuPhase, "MainMenuExitButton"),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
}

// A player who knows the game, before the sixth level with two lives and cubes in stock.
TEST_F(MenuFlow, OnTheLadderACubeAnAbandonedLevelAFactAndTheFiftiethBonusLevelComeInTurn)
{
    const PinnedBackgrounds light;
    SaveSkilledPlayer(
        [](MivoSkillProgress& skill)
        {
            skill.level = 5;
            skill.lives = 2;
            skill.cubes[0] = skill.cubes[6] = MivoPlayGamePhase::kCubePrice;
        });
    const auto skill = [] { return &userData.CurrentUser()->skill; };
    const auto shown = [](const char* name) { return MivoFindWidget(name) && MivoFindWidget(name)->visible; };
    int32_t firstMap = 0;
    const Player::Step playing = Playing();
    const Player::Step leaveToSkill[] = {
        Click(&menuIngamePhase, "MenuIngameExit"),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    player.steps = {
        Click(&mainMenuPhase, "MainMenuNewGameButton"),
        Click(&newGamePhase, "NewGameSkillButton"),
        Click(&skillPhase, "SkillPlayButton"),
        playing,
        [&]
        {
            firstMap = gameApp.mapToPlay;
            EXPECT_EQ(playGamePhase.timeLimit, 300.0f);
            return player.ClickWhenReady("IngameBonusCube7");
        },
        [&] { return playGamePhase.timeLimit == 0.0f; },
        [&]
        {
            EXPECT_FALSE(shown("IngameTime")) << "no limit, no clock";
            EXPECT_EQ(skill()->cubes[6], 0);
            return player.ClickWhenReady("IngameBonusCube1");
        },
        Wait(3),
        [&]
        {
            EXPECT_EQ(skill()->cubes[0], MivoPlayGamePhase::kCubePrice) << "one cube a level";
            EXPECT_EQ(playGamePhase.timeLimit, 0.0f);
            player.Press(kF2Key);
            return true;
        },
        [&] {
            return Player::Top() == &confirmationPhase &&
                   player.ClickWhenReady("ConfirmationMediumYesButton");
        },
        [&] { return Player::Top() == &playGamePhase && playGamePhase.state != MivoPlayGamePhase::Playing; },
        playing,
        [&]
        {
            EXPECT_EQ(skill()->lives, 1);
            EXPECT_EQ(gameApp.mapToPlay, firstMap) << "the same level again";
            EXPECT_EQ(playGamePhase.timeLimit, 300.0f) << "the cube lasted one level";
            PressWin();
            return true;
        },
        [&] { return Player::Top() == &statisticPhase && MivoWidgetReady("StatisticNextButton"); },
        [&]
        {
            EXPECT_TRUE(shown("StatisticGlobalWarmingWindow")) << "a fact after the sixth level";
            EXPECT_EQ(MivoFindWidget("StatisticGlobalWarmingHeadline")->text,
                      localization.Translate("Fact1:Headline"));
            return player.ClickWhenReady("StatisticNextButton");
        },
        playing,
        [&]
        {
            EXPECT_EQ(gameApp.mapToPlay, skill()->ladder[6].mapId);
            player.Press(kMivoEscapeKey);
            return true;
        },
        leaveToSkill[0],
        leaveToSkill[1],
        [&]
        {
            skill()->level = 50; // a bonus level comes before the fiftieth
            return Player::Top() == &skillPhase && player.ClickWhenReady("SkillPlayButton");
        },
        playing,
        [&]
        {
            EXPECT_EQ(gameApp.mapToPlay, 20001) << "the first bonus level";
            EXPECT_EQ(userData.bonusIndex, 0);
            PressWin();
            return true;
        },
        Click(&statisticPhase, "StatisticNextButton"),
        playing,
        [&]
        {
            EXPECT_EQ(gameApp.mapToPlay, skill()->ladder[50].mapId) << "the ladder goes on";
            EXPECT_EQ(skill()->bonusLevelsDone, 1);
            EXPECT_EQ(skill()->lives, 2) << "a bonus level gives a life";
            player.Press(kMivoEscapeKey);
            return true;
        },
        leaveToSkill[0],
        leaveToSkill[1],
        Click(&skillPhase, "SkillBackButton"),
        Click(&newGamePhase, "NewGameBackButton"),
        Click(&mainMenuPhase, "MainMenuExitButton"),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
}

TEST_F(MenuFlow, TheLastLevelOfTheLadderWonEndsTheGameOnTheEndScreenWhichBooksItOnce)
{
    const PinnedBackgrounds light;
    SaveSkilledPlayer([](MivoSkillProgress& skill) { skill.level = 299; });
    const auto skillScores = [] { return userData.scores.skillTable.size(); };
    player.steps = {
        Click(&mainMenuPhase, "MainMenuNewGameButton"),
        Click(&newGamePhase, "NewGameSkillButton"),
        Click(&skillPhase, "SkillPlayButton"),
        Playing(),
        [&]
        {
            PressWin();
            return true;
        },
        Click(&statisticPhase, "StatisticNextButton"),
        [&] { return Player::Top() == &endGamePhase && MivoWidgetReady("EndGameOkButton"); },
        [&]
        {
            EXPECT_EQ(skillScores(), 1u);
            EXPECT_EQ(userData.scores.skillTable[0].level, 300);
            EXPECT_EQ(userData.CurrentUser()->skill.level, 0) << "a new ladder waits";
            return player.ClickWhenReady("EndGameOkButton");
        },
        Click(&newGamePhase, "NewGameBackButton"),
        [&]
        {
            EXPECT_EQ(skillScores(), 1u) << "booked once";
            return Player::Top() == &mainMenuPhase && player.ClickWhenReady("MainMenuExitButton");
        },
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
}

TEST_F(MenuFlow, NewGameLeadsToTheSkillLadderWhereAPlayerCanStartAgain)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    userData.CurrentUser()->skill.level = 40;
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    player.steps = {
        Click(&mainMenuPhase, "MainMenuNewGameButton"),
        Click(&newGamePhase, "NewGameSkillButton"),
        [&] { return Player::Top() == &skillPhase && MivoWidgetReady("SkillQuitButton"); },
        [&]
        {
            EXPECT_EQ(userData.gameMode, MivoModeSkill);
            EXPECT_EQ(MivoFindWidget("SkillLevel")->text, "41 / 300");
            EXPECT_EQ(MivoFindWidget("SkillLives")->text, "3");
            return player.ClickWhenReady("SkillQuitButton");
        },
        Click(&confirmationPhase, "ConfirmationLargeYesButton"),
        Click(&newGamePhase, "NewGameSkillButton"),
        [&] { return Player::Top() == &skillPhase && MivoWidgetReady("SkillBackButton"); },
        [&]
        {
            EXPECT_EQ(MivoFindWidget("SkillLevel")->text, "1 / 300") << "a new ladder";
            return player.ClickWhenReady("SkillBackButton");
        },
        Click(&newGamePhase, "NewGameBackButton"),
        Click(&mainMenuPhase, "MainMenuExitButton"),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
}

// ---- saves that fail ----

TEST_F(MenuFlow, AFolderThatStopsTakingSavesIsToldOnceAndTheNextStartFindsEverything)
{
    ASSERT_TRUE(userData.CreateUser("Ana"));
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    // Beside each file a folder of its name: no save can make its file.
    const std::vector<std::string> blockers = {folder / "users.dat.tmp", folder / "options.ini.tmp"};
    for (const std::string& blocker : blockers)
        ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    int32_t told = 0;
    const auto noDialog = [&](int32_t frames)
    {
        return [&, count = 0, frames]() mutable
        {
            EXPECT_NE(Player::Top(), &confirmationPhase) << "told once";
            return ++count >= frames;
        };
    };
    AddClicks(player, {{&mainMenuPhase, "MainMenuUsersButton"},
                       {&usersPhase, "UsersNewButton"},
                       {&createUserPhase, "CreateUserOkButton"},
                       {&usersPhase, "UsersOkButton"}});
    player.steps.insert(
        player.steps.end(),
        {// Leaving the users screen saved the new player, and failed.
         [&]
         {
             if (Player::Top() != &confirmationPhase || !MivoWidgetReady("ConfirmationMediumOkButton"))
                 return false;
             ++told;
             EXPECT_TRUE(confirmationPhase.textKey == "UI: Cannot save");
             const WeAbstractPhase *below = nullptr, *last = nullptr;
             for (const WeAbstractPhase* phase : phaseStack.GetPhases())
                 below = std::exchange(last, phase);
             EXPECT_EQ(below, &mainMenuPhase) << "the dialog is over the menu";
             return player.ClickWhenReady("ConfirmationMediumOkButton");
         },
         Click(&mainMenuPhase, "MainMenuOptionsButton"), Click(&optionsPhase, "OptionsBackButton"),
         [&] { return Player::Top() == &mainMenuPhase; }, noDialog(20),
         // The players' screen reloads the file: the new player is still there.
         Click(&mainMenuPhase, "MainMenuUsersButton"),
         [&]
         {
             if (Player::Top() != &usersPhase || !MivoWidgetReady("UsersOkButton"))
                 return false;
             EXPECT_EQ(MivoUsersList()->rowCount, 2);
             return true;
         },
         Click(&usersPhase, "UsersOkButton"), noDialog(20),
         // The folder takes saves again; the exit saves what is owed.
         [&]
         {
             for (const std::string& blocker : blockers)
                 EXPECT_EQ(rmdir(blocker.c_str()), 0);
             return true;
         },
         Click(&mainMenuPhase, "MainMenuExitButton"), Click(&confirmationPhase, "Confirmation1YesButton")});
    Run(1);
    EXPECT_EQ(told, 1);

    MivoUserData next;
    next.SetFolder(gameApp.playerFolder);
    ASSERT_TRUE(next.LoadUsers());
    ASSERT_EQ(next.UserCount(), 2);
    EXPECT_TRUE(next.GetUser(1)->name == "Player");
    const std::vector<unsigned char> options = TempFolder::ReadBytes(folder / "options.ini");
    EXPECT_NE(std::string(options.begin(), options.end()).find("\nBrightness=0.500000\n"), std::string::npos)
        << "the options the run had to keep";
}

TEST_F(MenuFlow, WithoutAPlayerFolderTheGameSaysSoOnceAndPlaysOnWritingNothing)
{
    const char* const stray[] = {"/options.ini", "/users.dat", "/hiscores.dat", "/upload.dat",
                                 "options.ini",  "users.dat",  "hiscores.dat",  "upload.dat"};
    for (const char* path : stray)
        ASSERT_FALSE(std::filesystem::exists(path)) << path;
    // The documents folder lies under a file: no folder can be made.
    const std::string blocked = folder / "file";
    std::ofstream(blocked) << "x";
    const char* oldDocuments = std::getenv("XDG_DOCUMENTS_DIR");
    const std::string savedDocuments = oldDocuments ? oldDocuments : "";
    setenv("XDG_DOCUMENTS_DIR", (blocked + "/Documents").c_str(), 1);
    gameApp.playerFolder.clear();
    int32_t told = 0;
    player.steps = {
        [&]
        {
            if (Player::Top() != &confirmationPhase || !MivoWidgetReady("ConfirmationMediumOkButton"))
                return false;
            ++told;
            EXPECT_TRUE(confirmationPhase.textKey == "UI: No player folder");
            return player.ClickWhenReady("ConfirmationMediumOkButton");
        },
        // Nobody to play as: the name dialog was waiting beneath.
        Click(&createUserPhase, "CreateUserOkButton"),
        Click(&usersPhase, "UsersOkButton"),
        [&]
        {
            EXPECT_NE(Player::Top(), &confirmationPhase) << "said once";
            return Player::Top() == &mainMenuPhase;
        },
        Click(&mainMenuPhase, "MainMenuOptionsButton"),
        Click(&optionsPhase, "OptionsBackButton"),
        Click(&mainMenuPhase, "MainMenuUsersButton"),
        [&]
        {
            if (Player::Top() != &usersPhase || !MivoWidgetReady("UsersOkButton"))
                return false;
            EXPECT_EQ(MivoUsersList()->rowCount, 1) << "the player of the run stays";
            return player.ClickWhenReady("UsersOkButton");
        },
        Click(&mainMenuPhase, "MainMenuExitButton"),
        Click(&confirmationPhase, "Confirmation1YesButton"),
    };
    Run(1);
    if (oldDocuments)
        setenv("XDG_DOCUMENTS_DIR", savedDocuments.c_str(), 1);
    else
        unsetenv("XDG_DOCUMENTS_DIR");
    EXPECT_EQ(told, 1);
    for (const char* path : stray)
        EXPECT_FALSE(std::filesystem::exists(path)) << path;
}
