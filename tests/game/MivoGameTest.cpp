#include "MivoGame.h"
#include "../core/RecordingEngineParts.h"
#include "../core/TempFolder.h"
#include "MivoCityButtonStyle.h"
#include "MivoConfirmationPhase.h"
#include "MivoIntroPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoPlayerFile.h"
#include "MivoUserData.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WePhaseStack.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <limits>
#include <vector>

namespace
{

// The game with the display creation recorded (and failing as often as asked) and the
// foreground chosen by the test.
class RecordedGame : public MivoGame
{
public:
    bool CreateDisplay(int32_t style, int32_t width, int32_t height, int32_t mode, bool antialias) override
    {
        tries.push_back({style, width, height, mode, antialias});
        bloomAtTry.push_back(bloom);
        windowedAtTry.push_back(windowed);
        return static_cast<int32_t>(tries.size()) > failures;
    }
    bool InForeground() const override { return foreground; }

    int32_t failures = 0;
    bool foreground = true;
    std::vector<MivoDisplayTry> tries;
    std::vector<bool> bloomAtTry;
    std::vector<bool> windowedAtTry;
};

class GameInit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        game.playerFolder = folder / "";
        game.playerFolder.pop_back();
        renderDevice.displayModes.Clear();
    }
    void TearDown() override
    {
        UndoInit();
        timer.minimumDelta = savedFloor;
    }
    // The screens Init queued are entered and left: the next test (or Init) finds an empty stack.
    void UndoInit()
    {
        phaseStack.Update();
        phaseStack.LeaveAll();
        userData.FreeAll();
        for (int32_t n = audioDevice.GetMuteCount(); audioDevice.IsInitialised() && n > 0; --n)
            audioDevice.MuteSounds(false);
        audioDevice.Shutdown();
        renderDevice.displayModes.Clear();
        // Frees the style Init registered, as the UI's shutdown would, and nothing else.
        WeUIStyle* city = nullptr;
        if (uiMain.styles.Remove("MivoCityButton", &city))
            delete city;
        engine.shutDown = false; // as before any start: the profile store saves again
    }
    void WriteOptions(const std::string& lines) const
    {
        std::ofstream(folder / "options.ini") << "[Options]\n" << lines;
    }

    TempFolder folder;
    RecordedGame game;
    double savedFloor = timer.minimumDelta;
};

} // namespace

// ---- command line ----

TEST(GameCommandLine, TheCharactersBeforeTheFirstBlankAreTheNumber)
{
    EXPECT_EQ(MivoGame::ParseCommandLineNumber(""), 0);
    EXPECT_EQ(MivoGame::ParseCommandLineNumber(nullptr), 0);
    EXPECT_EQ(MivoGame::ParseCommandLineNumber("0"), 0);
    EXPECT_EQ(MivoGame::ParseCommandLineNumber("1"), 1);
    EXPECT_EQ(MivoGame::ParseCommandLineNumber("12 x"), 12);
    EXPECT_EQ(MivoGame::ParseCommandLineNumber(" 7"), 0);
    EXPECT_EQ(MivoGame::ParseCommandLineNumber("-5"), -25)
        << "'-' counts as the digit '-' - '0', as the launcher's reader did";
}

TEST(GameCommandLine, AVeryLongNumberWrapsInsteadOfOverflowing)
{
    // 99999999999 mod 2^32 = 1215752191 (as a signed word: the same, it is below 2^31).
    EXPECT_EQ(MivoGame::ParseCommandLineNumber("99999999999"), 1215752191);
}

TEST_F(GameInit, OnlyANumberOfOneOrMoreSkipsTheIntroAndAFastStartWithoutPlayersGoesToTheUsers)
{
    userData.SetFolder(game.playerFolder);
    for (int32_t number : {0, -25})
    {
        game.commandLineNumber = number;
        EXPECT_EQ(game.FirstScreen(), MivoFirstScreen::Intro) << number;
    }
    game.commandLineNumber = 1;
    EXPECT_EQ(game.FirstScreen(), MivoFirstScreen::Users) << "no profile: nobody to play as";
    ASSERT_TRUE(userData.CreateUser("Ana"));
    EXPECT_EQ(game.FirstScreen(), MivoFirstScreen::MainMenu);
}

// ---- language and keyboard ----

TEST(GameKeyboard, LayoutsByLanguageCodeAsEightHexadecimalDigits)
{
    EXPECT_EQ(MivoGame::KeyboardLayoutName(MivoGame::KeyboardLayoutOf("SR")), "0000081A");
    EXPECT_EQ(MivoGame::KeyboardLayoutName(MivoGame::KeyboardLayoutOf("SRC")), "00000C1A");
    EXPECT_EQ(MivoGame::KeyboardLayoutName(MivoGame::KeyboardLayoutOf("EN")), "00000409");
    EXPECT_EQ(MivoGame::KeyboardLayoutOf(""), 1033);
    EXPECT_EQ(MivoGame::KeyboardLayoutOf("sr"), 1033) << "codes are compared exactly";
}

// ---- playlist ----

TEST(GamePlaylist, PlayTracksRotateAndTheMenuTrackRepeats)
{
    EXPECT_EQ(MivoGame::FollowingTrack(1), 2);
    EXPECT_EQ(MivoGame::FollowingTrack(12), 13);
    EXPECT_EQ(MivoGame::FollowingTrack(13), 1);
    EXPECT_EQ(MivoGame::FollowingTrack(14), 14);
    EXPECT_EQ(MivoGame::MusicKey(14), "Sound.Music.M14Master");
    EXPECT_EQ(MivoGame::MusicKey(3), "Sound.Music.M3Master");
}

TEST(GamePlaylist, ChannelZeroPlaysTheTrackAfterTheOneThatEnded)
{
    ASSERT_TRUE(audioDevice.Init());
    RecordedGame game;
    game.musicTrack = 14;
    game.RunPlaylist();
    EXPECT_TRUE(audioDevice.IsMusicPlaying(0)) << "the generated menu music is in the package";
    EXPECT_EQ(game.musicTrack, 14);

    audioDevice.StopMusic(0);
    game.musicTrack = 13;
    game.RunPlaylist();
    EXPECT_EQ(game.musicTrack, 1);
    EXPECT_TRUE(audioDevice.IsMusicPlaying(0));
    game.RunPlaylist();
    EXPECT_EQ(game.musicTrack, 1) << "nothing changes while the music plays";
    audioDevice.Shutdown();
}

// ---- display modes ----

TEST(GameDisplay, TheNineTriesOfAFullScreenRequest)
{
    MivoDisplayTry tries[MivoGame::kTryCount];
    MivoGame::DisplayTries(0, 800, 600, 0, false, tries);
    const MivoDisplayTry expected[] = {
        {0, 800, 600, 0, true},   {0, 800, 600, 0, false},  {0, 800, 600, 1, false},
        {0, 1024, 768, 1, false}, {0, 640, 480, 1, false},  {0, 1024, 768, 1, false},
        {0, 640, 480, 1, false},  {3, 1024, 768, 2, false}, {3, 640, 480, 2, false}};
    for (int32_t i = 0; i < MivoGame::kTryCount; ++i)
    {
        EXPECT_EQ(tries[i].windowStyle, expected[i].windowStyle) << i;
        EXPECT_EQ(tries[i].width, expected[i].width) << i;
        EXPECT_EQ(tries[i].height, expected[i].height) << i;
        EXPECT_EQ(tries[i].displayMode, expected[i].displayMode) << i;
        EXPECT_EQ(tries[i].antialias, expected[i].antialias) << i;
    }
}

TEST(GameDisplay, AWindowedRequestKeepsItsModeInTheMiddleTries)
{
    MivoDisplayTry tries[MivoGame::kTryCount];
    MivoGame::DisplayTries(3, 1280, 720, 2, true, tries);
    for (int32_t i = 2; i < 7; ++i)
        EXPECT_EQ(tries[i].displayMode, 2) << i;
}

// ---- Init ----

TEST_F(GameInit, WithoutAnOptionsFileEveryOptionTakesItsDefault)
{
    ASSERT_TRUE(game.Init());
    EXPECT_EQ(game.optionsKey, ("*" + folder / "options").c_str());
    EXPECT_FLOAT_EQ(game.brightness, 0.5f);
    EXPECT_FALSE(game.bloom);
    EXPECT_FALSE(game.windowed);
    ASSERT_EQ(game.tries.size(), 1u);
    EXPECT_EQ(game.tries[0].windowStyle, 0) << "full screen";
    EXPECT_EQ(game.tries[0].displayMode, 0);
    EXPECT_FALSE(game.tries[0].antialias) << "no multisampling unless the options ask";
    EXPECT_DOUBLE_EQ(timer.minimumDelta, 1.0 / double(WeConfig::GetFloat("Mivo.GamePlay.FrameRate", 60.0f)))
        << "the menus are paced from the start";
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(3), 1.0f);
    EXPECT_FLOAT_EQ(audioDevice.GetSoundVolume(), 1.0f);
    EXPECT_EQ(game.musicTrack, 14);
    EXPECT_GE(game.nextPlayTrack, 1);
    EXPECT_LE(game.nextPlayTrack, 13);
    EXPECT_EQ(renderDevice.bloomMode, 0) << "bloom off in the options";
    EXPECT_FALSE(renderDevice.refraction);
}

TEST_F(GameInit, InitRegistersTheCityButtonStyle)
{
    ASSERT_EQ(uiMain.GetStyle("MivoCityButton"), nullptr);
    ASSERT_TRUE(game.Init());
    EXPECT_NE(dynamic_cast<MivoCityButtonStyle*>(uiMain.GetStyle("MivoCityButton")), nullptr);
}

TEST_F(GameInit, TheOptionsFileIsReadFromThePlayerFolder)
{
    WriteOptions("Brightness=0.75\nBloom=1\nWindowed=1\nResolutionWidth=1024\nResolutionHeight=768\n"
                 "MusicVolume=0.25\nSoundVolume=0.5\n");
    ASSERT_TRUE(audioDevice.Init()); // the engine's start would have started it
    ASSERT_TRUE(game.Init());
    EXPECT_FLOAT_EQ(game.brightness, 0.75f);
    EXPECT_TRUE(game.bloom);
    EXPECT_TRUE(game.windowed);
    EXPECT_TRUE(game.windowedAtStart);
    ASSERT_EQ(game.tries.size(), 1u);
    EXPECT_EQ(game.tries[0].windowStyle, 3);
    EXPECT_EQ(game.tries[0].displayMode, 2);
    EXPECT_EQ(game.tries[0].width, 1024) << "no offered modes: the request stands";
    for (int32_t channel = 0; channel < 4; ++channel)
        EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(channel), 0.25f) << channel;
    EXPECT_FLOAT_EQ(audioDevice.GetSoundVolume(), 0.5f);
    EXPECT_EQ(renderDevice.bloomMode, WeConfig::GetInt("Mivo.Render.Bloom", 1));
    audioDevice.SetSoundVolume(1.0f);
    for (int32_t channel = 0; channel < 4; ++channel)
        audioDevice.SetMusicVolume(1.0f, channel);
    audioDevice.Shutdown();
}

TEST_F(GameInit, TheAntialiasOptionDecidesTheFirstTryAndTheRestArePlain)
{
    struct Row
    {
        const char* options;
        bool firstTryMultisampled;
    } rows[] = {{"", false}, {"Antialias=0\n", false}, {"Antialias=1\n", true}};
    for (const Row& row : rows)
    {
        WriteOptions(row.options);
        RecordedGame fresh;
        fresh.playerFolder = game.playerFolder;
        fresh.failures = 2;
        ASSERT_TRUE(fresh.Init()) << row.options;
        ASSERT_EQ(fresh.tries.size(), 3u);
        EXPECT_EQ(fresh.tries[0].antialias, row.firstTryMultisampled) << row.options;
        EXPECT_FALSE(fresh.tries[1].antialias || fresh.tries[2].antialias) << row.options;
        UndoInit();
    }
}

TEST_F(GameInit, AFrameRateThatIsNotAPositiveNumberLeavesTheFloor)
{
    float& rate = WeConfig::GetFloat("Mivo.GamePlay.FrameRate", 60.0f);
    const float shipped = rate;
    for (float bad : {0.0f, -30.0f, std::numeric_limits<float>::infinity(), std::nanf("")})
    {
        rate = bad;
        timer.minimumDelta = 0.001;
        ASSERT_TRUE(game.Init());
        EXPECT_DOUBLE_EQ(timer.minimumDelta, 0.001) << bad;
        UndoInit();
    }
    rate = 30.0f;
    ASSERT_TRUE(game.Init());
    EXPECT_DOUBLE_EQ(timer.minimumDelta, 1.0 / 30.0);
    rate = shipped;
}

TEST_F(GameInit, FailingTriesTurnBloomOffAtTheSixthAndGoWindowedAtTheEighth)
{
    WriteOptions("Bloom=1\n");
    game.failures = 7;
    ASSERT_TRUE(game.Init());
    ASSERT_EQ(game.tries.size(), 8u);
    EXPECT_TRUE(game.bloomAtTry[4]);
    EXPECT_FALSE(game.bloomAtTry[5]);
    EXPECT_EQ(renderDevice.bloomMode, 0);
    EXPECT_FALSE(game.windowedAtTry[6]);
    EXPECT_TRUE(game.windowedAtTry[7]);
    EXPECT_EQ(game.tries[7].windowStyle, 3);
    EXPECT_TRUE(game.windowedAtStart) << "no restart question for a mode the start already chose";
    EXPECT_EQ(game.windowStyle, 3);
}

TEST_F(GameInit, WhenEveryTryFailsInitReportsTheEngineTextOrItsOwn)
{
    game.failures = 9;
    engine.lastError = "";
    EXPECT_FALSE(game.Init());
    EXPECT_EQ(game.tries.size(), 9u);
    EXPECT_EQ(engine.lastError, "Cannot initialize game engine. Please, contact software author!");

    RecordedGame second;
    second.playerFolder = game.playerFolder;
    second.failures = 9;
    engine.lastError = "Device lost its way";
    EXPECT_FALSE(second.Init());
    EXPECT_EQ(engine.lastError, "Device lost its way") << "a more precise text is kept";
    engine.lastError = "";
}

TEST_F(GameInit, CreateDisplayWritesTheEngineSettingsAndStartsTheEngine)
{
    RecordingEngineScope scope;
    MivoGame plain;
    ASSERT_TRUE(plain.CreateDisplay(3, 1024, 768, 2, true));
    const WeEngineSettings& settings = engine.settings;
    EXPECT_EQ(settings.windowStyle, 3);
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(settings.displayMode, 2);
    EXPECT_EQ(settings.multisampleType, 4);
    EXPECT_FALSE(settings.verticalSync);
    EXPECT_FLOAT_EQ(settings.gravity[1], 0.0f);
    EXPECT_FALSE(settings.physicsFlag);
    EXPECT_TRUE(settings.keyboardFlag);
    EXPECT_TRUE(engine.initialised);
    EXPECT_EQ(scope.parts.renderDeviceWidth, 1024);
    engine.Shutdown();
    ASSERT_TRUE(plain.CreateDisplay(0, 640, 480, 1, false));
    EXPECT_EQ(engine.settings.multisampleType, 0);
}

TEST_F(GameInit, AFailingRenderDeviceWalksTheWholeChainOnTheRealEngine)
{
    RecordingEngineScope scope;
    scope.parts.failing.insert("InitRenderDevice");
    MivoGame plain;
    plain.playerFolder = game.playerFolder;
    EXPECT_FALSE(plain.Init());
    EXPECT_EQ(scope.parts.Count("InitRenderDevice"), MivoGame::kTryCount) << "each failure undid its start";
    EXPECT_FALSE(engine.initialised);
    EXPECT_TRUE(plain.windowed) << "the last tries are windowed";
    engine.lastError = "";
}

// ---- foreground ----

TEST_F(GameInit, InitAndTheRunLoopsActivationLeaveEffectsAudible)
{
    ASSERT_TRUE(audioDevice.Init());
    const int32_t before = audioDevice.GetMuteCount();
    ASSERT_TRUE(game.Init());
    EXPECT_EQ(audioDevice.GetMuteCount(), before + 1);
    game.OnActivate();
    EXPECT_EQ(audioDevice.GetMuteCount(), before);
    audioDevice.Shutdown();
}

TEST_F(GameInit, LosingTheForegroundPausesMusicAndMutesEffectsReturningUndoesBoth)
{
    ASSERT_TRUE(audioDevice.Init());
    const int32_t before = audioDevice.GetMuteCount();
    game.Update(); // the first frame in the foreground calls neither operation
    EXPECT_EQ(audioDevice.GetMuteCount(), before);
    EXPECT_TRUE(audioDevice.IsMusicPlaying(0)) << "the menu music started";

    uiMain.pressedMask = 1; // the left button held as the player switches away
    game.foreground = false;
    game.Update();
    EXPECT_EQ(uiMain.pressedMask, 0) << "its release never reaches the poll: let go of it now";
    EXPECT_EQ(audioDevice.GetMuteCount(), before + 1);
    EXPECT_FALSE(audioDevice.IsMusicPlaying(0));
    game.Update();
    EXPECT_EQ(audioDevice.GetMuteCount(), before + 1) << "only the edge counts";

    game.foreground = true;
    game.Update();
    EXPECT_EQ(audioDevice.GetMuteCount(), before);
    EXPECT_TRUE(audioDevice.IsMusicPlaying(0)) << "resumed, not restarted by the playlist";
    EXPECT_EQ(game.musicTrack, 14);
    audioDevice.Shutdown();
}

TEST_F(GameInit, TheUICursorShowsOnlyWithTheMenuCursorFlag)
{
    uiMain.cursorVisible = true;
    game.Update();
    EXPECT_FALSE(uiMain.cursorVisible);
    game.menuCursor = true;
    game.Update();
    EXPECT_EQ(uiMain.cursorVisible, engine.cursorInside);
    uiMain.cursorVisible = false;
}

TEST_F(GameInit, ExitFreesTheProfilesAndEndsTheProgram)
{
    ASSERT_TRUE(game.Init());
    ASSERT_TRUE(userData.CreateUser("Ana"));
    EXPECT_TRUE(game.Exit());
    EXPECT_EQ(userData.UserCount(), 0);
    EXPECT_EQ(userData.CurrentUser(), nullptr);
}

TEST_F(GameInit, ASaveProblemIsToldOnlyOverAScreenThatWaitsForThePlayer)
{
    ASSERT_TRUE(game.Init()); // the intro
    phaseStack.Update();
    ASSERT_EQ(phaseStack.GetTop(), &introPhase);
    saveProblems.Failed(folder / "users.dat", MivoSaveProblem::DiskFull, ENOSPC);
    for (int32_t frame = 0; frame < 3; ++frame)
        game.Update();
    EXPECT_NE(phaseStack.GetTop(), &confirmationPhase) << "the intro goes on by itself";
    // A queued change of screens goes first; the dialog comes over the screen it brings.
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Switch);
    game.Update();
    EXPECT_EQ(phaseStack.GetTop(), &mainMenuPhase);
    game.Update();
    ASSERT_EQ(phaseStack.GetTop(), &confirmationPhase);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: Disk full");
    EXPECT_TRUE(confirmationPhase.okOnly);
    // Answered, it does not come back for the same cause.
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    saveProblems.Failed(folder / "users.dat", MivoSaveProblem::DiskFull, ENOSPC);
    for (int32_t frame = 0; frame < 3; ++frame)
        game.Update();
    EXPECT_EQ(phaseStack.GetTop(), &mainMenuPhase);
}

TEST(GameContent, TheLadderRemapNamesTheShippedLevels)
{
    for (int32_t map = 1001; map <= 1020; ++map)
    {
        WeString key("Mivo.Remap.Map");
        key.AppendInt(map);
        EXPECT_EQ(WeConfig::GetInt(key, 0), map) << map;
    }
}
