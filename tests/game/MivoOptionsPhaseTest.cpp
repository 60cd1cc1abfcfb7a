// The options screen over the shipped layout: the resolution list and its arrows, the windowed
// mode that waits for a restart, the test sound, bloom the device refuses, the way back to the
// main menu or the pause menu, and the options file written on leaving.
#include "MivoOptionsPhase.h"
#include "../core/RecordingEngineParts.h"
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoPlayerFile.h"
#include "MivoScreen.h"
#include "PlayFixture.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeRenderDevice.h"
#include "WeUICheckBox.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

WeList<WeDisplayModeSize> Modes(std::initializer_list<WeDisplayModeSize> sizes)
{
    WeList<WeDisplayModeSize> modes;
    for (const WeDisplayModeSize& size : sizes)
        modes.PushBack(size);
    return modes;
}

struct ListCase
{
    const char* what;
    bool windowed;
    int32_t width, height;
    int32_t nearestWidth, nearestHeight;
    std::vector<std::string> texts;
};

class Options : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        engine.settings.width = 800;
        engine.settings.height = 600;
        gameApp.optionsPath = WeString((folder / "options").c_str());
        gameApp.optionsKey = "*" + gameApp.optionsPath;
        gameApp.windowed = gameApp.windowedAtStart = false;
        gameApp.restartPending = false;
        gameApp.bloom = false;
        gameApp.brightness = 0.5f;
    }
    void Open(bool fromMainMenu)
    {
        optionsPhase.openedFromMainMenu = fromMainMenu;
        phaseStack.Request(&optionsPhase, WePhaseCommand::Push);
        Steps(12);
        ASSERT_EQ(Top(), &optionsPhase);
    }
    // The screen's list as the device's modes would give it, the edit showing one entry.
    void OfferModes(const char* shown)
    {
        optionsPhase.resolutions = {"640 x 480", "800 x 600", "1024 x 768"};
        MivoSetWidgetText("OptionsResolutionEdit", shown);
    }
    static WeString Shown() { return MivoFindWidget("OptionsResolutionEdit")->text; }
    static void Event(int32_t id)
    {
        WeUIEvent event = MivoMadeEvent(id);
        EXPECT_TRUE(optionsPhase.OnUIEvent(&event)) << id;
    }

    RecordingEngineScope recordingEngine;
    TempFolder folder;
};

// A level that plays, with the options file in the test's folder.
class OptionsOverALevel : public PlayPhase
{
protected:
    void SetUp() override
    {
        PlayPhase::SetUp();
        gameApp.optionsPath = WeString((folder / "options").c_str());
        gameApp.optionsKey = "*" + gameApp.optionsPath;
        std::fill(std::begin(userData.CurrentUser()->tutorialsSeen),
                  std::end(userData.CurrentUser()->tutorialsSeen), uint8_t(1));
    }
};

} // namespace

TEST(OptionsResolutions, TheNearestOfferedModeAndTheListWithoutRepeats)
{
    const WeList<WeDisplayModeSize> modes =
        Modes({{640, 480}, {800, 600}, {800, 600}, {1024, 768}, {1280, 1024}, {1920, 1080}});
    const std::vector<std::string> all = {"640 x 480", "800 x 600", "1024 x 768", "1280 x 1024",
                                          "1920 x 1080"};
    const ListCase cases[] = {
        {"nothing asked: the smallest", false, 0, 0, 640, 480, all},
        {"equal distances: the first", false, 720, 540, 640, 480, all},
        {"an exact mode", false, 1024, 768, 1024, 768, all},
        {"windowed: only what fits the screen",
         true,
         1920,
         1080,
         1280,
         1024,
         {"640 x 480", "800 x 600", "1024 x 768", "1280 x 1024"}},
    };
    for (const ListCase& c : cases)
    {
        std::vector<WeString> texts;
        int32_t width = -1, height = -1;
        MivoOptionsPhase::ListModes(modes, c.windowed, 1400, 1040, c.width, c.height, texts, width, height);
        EXPECT_EQ(width, c.nearestWidth) << c.what;
        EXPECT_EQ(height, c.nearestHeight) << c.what;
        std::vector<std::string> got;
        for (const WeString& t : texts)
            got.emplace_back(t.GetData());
        EXPECT_EQ(got, c.texts) << c.what;
    }
    std::vector<WeString> texts;
    int32_t width = 0, height = 0;
    MivoOptionsPhase::ListModes(modes, true, 600, 400, 900, 700, texts, width, height);
    EXPECT_EQ(width, 900) << "no mode fits: the request stays";
    EXPECT_EQ(height, 700);
    EXPECT_TRUE(texts.empty());
}

TEST(OptionsResolutions, OnlyWidthXHeightTextsParse)
{
    for (const char* bad : {"", "800x600", "800 x ", " x 600", "80a x 600", "800 x 600 ", "9999999 x 1"})
    {
        int32_t width = 7, height = 7;
        EXPECT_FALSE(MivoOptionsPhase::ParseResolution(bad, width, height)) << bad;
        EXPECT_EQ(width, 7) << bad;
    }
    int32_t width = 0, height = 0;
    ASSERT_TRUE(MivoOptionsPhase::ParseResolution("1280 x 1024", width, height));
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 1024);
}

TEST_F(Options, TheArrowsWalkTheListAndStopAtItsEnds)
{
    Open(true);
    OfferModes("800 x 600");
    const std::pair<int32_t, const char*> steps[] = {
        {MivoOptionsPhase::kResolutionLeftId, "640 x 480"},
        {MivoOptionsPhase::kResolutionLeftId, "640 x 480"},
        {MivoOptionsPhase::kResolutionRightId, "800 x 600"},
        {MivoOptionsPhase::kResolutionRightId, "1024 x 768"},
        {MivoOptionsPhase::kResolutionRightId, "1024 x 768"},
    };
    for (const auto& [id, expected] : steps)
    {
        Event(id);
        EXPECT_EQ(Shown(), expected);
    }
    OfferModes("999 x 999");
    Event(MivoOptionsPhase::kResolutionRightId);
    EXPECT_EQ(Shown(), "999 x 999") << "a text outside the list leaves the arrows without effect";
    EXPECT_EQ(recordingEngine.parts.Count("ChangeDisplayMode"), 0) << "nothing is applied before leaving";
}

TEST_F(Options, AResolutionChosenIsAppliedOnLeavingAndARefusedOneFallsBack)
{
    Open(true);
    OfferModes("1024 x 768");
    optionsPhase.Leave();
    EXPECT_EQ(engine.settings.width, 1024);
    EXPECT_EQ(engine.settings.displayMode, 0);
    EXPECT_EQ(recordingEngine.parts.Count("ChangeDisplayMode"), 1);

    recordingEngine.parts.failing.insert("ChangeDisplayMode");
    optionsPhase.Enter();
    OfferModes("640 x 480");
    optionsPhase.Leave();
    EXPECT_EQ(engine.settings.width, 1024) << "back to the size at entry";
    EXPECT_EQ(engine.settings.height, 768);
    EXPECT_EQ(recordingEngine.parts.Count("ChangeDisplayMode"), 5);
}

TEST_F(Options, WindowedThenAResolutionAsksForARestartAndAppliesNothing)
{
    Open(true);
    auto* windowedBox = dynamic_cast<WeUICheckBox*>(MivoFindWidget("OptionsWindowedCheckBox"));
    ASSERT_NE(windowedBox, nullptr);
    EXPECT_EQ(windowedBox->onMouseUp.id, MivoOptionsPhase::kWindowedId);
    windowedBox->isChecked = true;
    Event(MivoOptionsPhase::kWindowedId);
    EXPECT_TRUE(gameApp.windowed);
    OfferModes("1024 x 768");
    Event(MivoOptionsPhase::kBackId);
    Steps(12);
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_EQ(confirmationPhase.textKey, "UI: Restart game to apply");
    EXPECT_TRUE(confirmationPhase.okOnly);
    Click("ConfirmationMediumOkButton");
    Steps(12);
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_TRUE(gameApp.restartPending);
    EXPECT_EQ(engine.settings.width, 800) << "the chosen resolution is not applied";
    EXPECT_EQ(recordingEngine.parts.Count("ChangeDisplayMode"), 0);
    const std::vector<unsigned char> file = TempFolder::ReadBytes(folder / "options.ini");
    const std::string text(file.begin(), file.end());
    EXPECT_NE(text.find("ResolutionWidth=800\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Windowed=1\n"), std::string::npos) << text;
}

TEST_F(Options, TheEffectsScrollBarPlaysTheTestSoundAtMostOnceASecond)
{
    Open(true);
    const std::pair<double, float> moves[] = {{10.0, 10.0f}, {10.5, 10.0f}, {11.0, 10.0f}, {11.01, 11.01f}};
    for (const auto& [now, lastSound] : moves)
    {
        timer.absoluteTimeFloat = static_cast<float>(now);
        Event(MivoOptionsPhase::kSoundId);
        EXPECT_FLOAT_EQ(optionsPhase.lastTestSound, lastSound) << now;
    }
}

TEST_F(Options, BloomTheDeviceRefusesTwiceIsTurnedBack)
{
    Open(true);
    auto* bloomBox = dynamic_cast<WeUICheckBox*>(MivoFindWidget("OptionsBloomCheckBox"));
    ASSERT_NE(bloomBox, nullptr);
    recordingEngine.parts.failing.insert("ChangeDisplayMode");
    bloomBox->isChecked = true;
    Event(MivoOptionsPhase::kBloomId);
    EXPECT_FALSE(gameApp.bloom);
    EXPECT_FALSE(bloomBox->isChecked);
    EXPECT_EQ(renderDevice.bloomMode, 0);
    EXPECT_EQ(recordingEngine.parts.Count("ChangeDisplayMode"), 4);
}

TEST_F(Options, FromThePauseMenuTheWindowedModeIsDimmedAndBackLeadsThere)
{
    Open(false);
    for (const char* dimmed : {"OptionsWindowedCheckBox", "OptionsWindowedLabel"})
    {
        EXPECT_FALSE(MivoFindWidget(dimmed)->enabled) << dimmed;
        EXPECT_FLOAT_EQ(MivoFindWidget(dimmed)->colour.a, 0.5f) << dimmed;
    }
    EXPECT_EQ(MivoFindWidget("OptionsWindowedCheckBox")->onMouseUp.id, 0);
    PressKey(kMivoEscapeKey);
    Steps(12);
    EXPECT_EQ(Top(), &menuIngamePhase);
    Click("MenuIngameOptions");
    Steps(12);
    EXPECT_EQ(Top(), &optionsPhase) << "the pause menu's Options opens the screen again";
    EXPECT_FALSE(optionsPhase.openedFromMainMenu);
}

TEST_F(OptionsOverALevel, ThePauseMenusOptionsTakeClicksAboveTheDarkenedLevelAndLeadBackToThePauseMenu)
{
    StartLevel();
    ASSERT_TRUE(StepUntil([] { return playGamePhase.state == MivoPlayGamePhase::WaitUiSettled; }));
    playGamePhase.camera->offsets[MivoGameCamera::distance] = 0.0f; // flown in
    ASSERT_TRUE(StepToState(MivoPlayGamePhase::Playing));
    PressKey(kMivoEscapeKey);
    Steps(12);
    ASSERT_EQ(Top(), &menuIngamePhase);
    const float elapsed = playGamePhase.elapsed;
    Click("MenuIngameOptions");
    Steps(12);
    ASSERT_EQ(Top(), &optionsPhase);
    EXPECT_EQ(Depth(), 2) << "the level beneath";
    Click("OptionsBackButton");
    Steps(12);
    EXPECT_EQ(Top(), &menuIngamePhase);
    EXPECT_EQ(Depth(), 2);
    EXPECT_TRUE(Visible("MenuBlackIngame"));
    EXPECT_EQ(playGamePhase.state, MivoPlayGamePhase::Playing);
    EXPECT_EQ(playGamePhase.elapsed, elapsed) << "no time passed behind the menus";
}

TEST_F(Options, TheFileHoldsThePlayersOwnVolumeWhileMutedAndReloadsIntoTheStore)
{
    ASSERT_TRUE(audioDevice.Init());
    audioDevice.SetSoundVolume(0.25f);
    audioDevice.MuteSounds(true);
    gameApp.brightness = 0.75f;
    gameApp.bloom = true;
    audioDevice.SetMusicVolume(0.5f, 0);
    MivoOptionsPhase::SaveOptions();
    audioDevice.MuteSounds(false);
    audioDevice.Shutdown();
    const std::vector<unsigned char> file = TempFolder::ReadBytes(folder / "options.ini");
    const std::string expected =
        "[Options]\nResolutionWidth=800\nResolutionHeight=600\nSoundVolume=0.250000\n"
        "MusicVolume=0.500000\nBrightness=0.750000\nLanguage=" +
        std::string(localization.GetLanguageName().GetData()) + "\nBloom=1\nWindowed=0\n";
    EXPECT_EQ(std::string(file.begin(), file.end()), expected);
    EXPECT_FLOAT_EQ(WeConfig::GetFloat(gameApp.OptionKey("SoundVolume"), 0.0f), 0.25f);
    EXPECT_TRUE(WeConfig::GetBool(gameApp.OptionKey("Bloom"), false));
}

TEST_F(Options, ALanguageNameOutsideAsciiComesBackAtTheNextStart)
{
    const std::string language = "[Localization]\n<LANGUAGE NAME>=Српски\n";
    WeConfig::LoadText("LocalizationSRC", language.data(), language.size());
    localization.LoadLanguage("SRC");
    localization.SelectLanguageByName("Српски");
    ASSERT_EQ(localization.GetLanguageCode(), "SRC");
    MivoOptionsPhase::SaveOptions();
    const std::vector<unsigned char> file = TempFolder::ReadBytes(folder / "options.ini");
    EXPECT_NE(std::string(file.begin(), file.end()).find("\nLanguage=Српски\n"), std::string::npos);
    localization.SelectLanguage(0);
    // As the game's start reads it.
    localization.SelectLanguageByName(WeConfig::GetString(gameApp.OptionKey("Language"), ""));
    EXPECT_EQ(localization.GetLanguageCode(), "SRC");
    localization.SelectLanguage(0);
}

TEST_F(Options, AKillDuringASaveLeavesTheOptionsFileWholeOldOrNew)
{
    const auto textWith = [](float brightness)
    {
        gameApp.brightness = brightness;
        const WeString text = MivoOptionsPhase::OptionsFileText();
        return std::string(text.GetData(), static_cast<size_t>(text.GetLength()));
    };
    const std::string dim = textWith(0.25f), bright = textWith(0.75f);
    ASSERT_TRUE(MivoOptionsPhase::SaveOptions()); // bright
    const std::string path = folder / "options.ini";
    // A child saves again and again, the two texts in turn, and is killed somewhere in a save;
    // the kills come later each round, so they fall into every part of one.
    for (int32_t round = 0; round < 24; ++round)
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            for (int32_t i = 0;; ++i)
            {
                gameApp.brightness = i % 2 ? 0.75f : 0.25f;
                MivoOptionsPhase::SaveOptions();
            }
        }
        usleep(static_cast<useconds_t>(500 + 250 * round));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        const std::vector<unsigned char> file = TempFolder::ReadBytes(path);
        const std::string text(file.begin(), file.end());
        EXPECT_TRUE(text == dim || text == bright) << round << ": \"" << text << "\"";
    }
}

TEST_F(Options, AFailedSaveLeavesTheFileAndTheStoreAndIsOwedUntilASaveWorks)
{
    saveProblems.Clear();
    gameApp.brightness = 0.25f;
    ASSERT_TRUE(MivoOptionsPhase::SaveOptions());
    const std::vector<unsigned char> before = TempFolder::ReadBytes(folder / "options.ini");
    const std::string blocker = folder / "options.ini.tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0); // the file beside it cannot be made
    gameApp.brightness = 0.75f;
    EXPECT_FALSE(MivoOptionsPhase::SaveOptions());
    EXPECT_TRUE(optionsPhase.optionsOwed);
    EXPECT_EQ(TempFolder::ReadBytes(folder / "options.ini"), before);
    EXPECT_FLOAT_EQ(WeConfig::GetFloat(gameApp.OptionKey("Brightness"), 0.0f), 0.25f)
        << "the store holds what the file holds";
    EXPECT_EQ(saveProblems.TakeMessage(), "UI: Cannot save");

    ASSERT_EQ(rmdir(blocker.c_str()), 0);
    EXPECT_TRUE(MivoOptionsPhase::SaveOptions());
    EXPECT_FALSE(optionsPhase.optionsOwed);
    EXPECT_FLOAT_EQ(WeConfig::GetFloat(gameApp.OptionKey("Brightness"), 0.0f), 0.75f);
    EXPECT_FALSE(saveProblems.Failing());
}
