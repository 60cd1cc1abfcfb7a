#include "MivoGame.h"

#include "MivoCityButtonStyle.h"
#include "MivoConfirmationPhase.h"
#include "MivoCreditsPhase.h"
#include "MivoIntroPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoNetWaitPhase.h"
#include "MivoOptionsPhase.h"
#include "MivoPlayGamePhase.h"
#include "MivoPlayerFile.h"
#include "MivoUserData.h"
#include "MivoUsersPhase.h"
#include "WeAppWindow.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"
#include "WeRandom.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUIMain.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Keyboard.h"
#include "win32/Win32MessageBox.h"
#include "win32/Win32Window.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{

constexpr int32_t kMusicChannels = 4;
constexpr uint32_t kActivateLayout = 0x00000001; // KLF_ACTIVATE
constexpr const char* kNoEngineText = "Cannot initialize game engine. Please, contact software author!";

} // namespace

MivoGame::MivoGame() = default;

int32_t MivoGame::ParseCommandLineNumber(const char* commandLine)
{
    uint32_t value = 0;
    for (const char* c = commandLine; c && *c && *c != ' '; ++c)
        value = value * 10u + static_cast<uint32_t>(static_cast<int32_t>(*c) - '0');
    return static_cast<int32_t>(value);
}

int32_t MivoGame::KeyboardLayoutOf(const WeString& languageCode)
{
    if (languageCode == "SR")
        return 2074;
    if (languageCode == "SRC")
        return 3098;
    return 1033;
}

std::string MivoGame::KeyboardLayoutName(int32_t layout)
{
    char name[16];
    std::snprintf(name, sizeof name, "%08X", static_cast<uint32_t>(layout));
    return name;
}

int32_t MivoGame::FollowingTrack(int32_t track)
{
    return track <= kLastPlayTrack ? track % kLastPlayTrack + 1 : track;
}

WeString MivoGame::MusicKey(int32_t track)
{
    WeString key("Sound.Music.M");
    key.AppendInt(track);
    return key + "Master";
}

void MivoGame::DisplayTries(int32_t style, int32_t width, int32_t height, int32_t mode, bool isWindowed,
                            MivoDisplayTry (&tries)[kTryCount])
{
    const int32_t fallbackMode = isWindowed ? mode : 1;
    tries[0] = {style, width, height, mode, true};
    tries[1] = {style, width, height, mode, false};
    tries[2] = {style, width, height, fallbackMode, false};
    tries[3] = {style, 1024, 768, fallbackMode, false};
    tries[4] = {style, 640, 480, fallbackMode, false};
    tries[5] = {style, 1024, 768, fallbackMode, false};
    tries[6] = {style, 640, 480, fallbackMode, false};
    tries[7] = {3, 1024, 768, 2, false};
    tries[8] = {3, 640, 480, 2, false};
}

WeString MivoGame::OptionKey(const char* name) const
{
    return optionsKey + ".Options." + name;
}

bool MivoGame::NeedsUsersScreen()
{
    // Nobody to play as yet, or a players' file to tell of (the users screen does).
    return userData.UserCount() == 0 || userData.UsersFileState() != MivoUsersFile::Loaded;
}

MivoFirstScreen MivoGame::FirstScreen() const
{
    if (commandLineNumber <= 0)
        return MivoFirstScreen::Intro;
    // A fast start goes where the intro would.
    return NeedsUsersScreen() ? MivoFirstScreen::Users : MivoFirstScreen::MainMenu;
}

bool MivoGame::Init()
{
    restartPending = false;
    saveProblems.Clear();
    if (playerFolder.empty())
        playerFolder = MivoPlayerFolder();
    // Without a player folder nothing is read or saved: never the root nor the working folder.
    optionsPath = playerFolder.empty() ? WeString() : WeString((playerFolder + "/options").c_str());
    optionsKey = optionsPath.IsEmpty() ? WeString() : "*" + optionsPath;
    if (!optionsKey.IsEmpty())
        WeConfig::Load(optionsKey);

    // No match (an empty option too) keeps the language the localization made current.
    localization.SelectLanguageByName(WeConfig::GetString(OptionKey("Language"), ""));
    KeyboardLayoutForLanguage();
    int32_t width = 0, height = 0;
    ReadOptions(width, height);

    userData.SetFolder(playerFolder);
    userData.LoadUsers();

    ApplyRenderSettings();
    if (!StartEngine(width, height))
    {
        ReportFatalError();
        return false;
    }
    ApplyFrameRateFloor();
    for (int32_t channel = 0; channel < kMusicChannels; ++channel)
        audioDevice.SetMusicVolume(WeConfig::GetFloat(OptionKey("MusicVolume"), 1.0f), channel);
    audioDevice.SetSoundVolume(WeConfig::GetFloat(OptionKey("SoundVolume"), 1.0f));

    menuCursor = false;
    MivoCityButtonStyle::Register();
    nextPlayTrack = 1 + WeRand() * kLastPlayTrack / 32768;
    musicTrack = kMenuTrack;
    audioDevice.MuteSounds(true); // the run loop's OnActivate right after Init lowers it again
    PushFirstPhases();
    return true;
}

WeAbstractPhase* MivoGame::MenuScreen() const
{
    // The users screen asks for a name at once when there is nobody.
    if (NeedsUsersScreen())
        return &usersPhase;
    return &mainMenuPhase;
}

void MivoGame::TellSaveProblem()
{
    // Only over a screen that waits for the player, and with no change of screens queued, so that
    // the dialog is what goes on top: a level, the intro, the credits and the network wait change
    // screens by themselves.
    const WeAbstractPhase* top = phaseStack.GetTop();
    if (!top || phaseStack.HasQueuedCommands() || confirmationPhase.IsOpen() || top == &introPhase ||
        top == &creditsPhase || top == &netWaitPhase || top == &playGamePhase)
        return;
    const WeString key = saveProblems.TakeMessage();
    if (!key.IsEmpty())
        confirmationPhase.Show("Medium", key, nullptr, true);
}

void MivoGame::PushFirstPhases()
{
    if (FirstScreen() == MivoFirstScreen::Intro)
    {
        phaseStack.Request(&introPhase, WePhaseCommand::Push);
        return;
    }
    uiMain.LoadComponents("MenuOverlay");
    phaseStack.Request(&menuPhase, WePhaseCommand::Push);
    phaseStack.Request(MenuScreen(), WePhaseCommand::Push);
    menuCursor = true;
}

void MivoGame::ReadOptions(int32_t& width, int32_t& height)
{
    brightness = WeConfig::GetFloat(OptionKey("Brightness"), 0.5f);
    bloom = WeConfig::GetBool(OptionKey("Bloom"), false);
    antialias = WeConfig::GetBool(OptionKey("Antialias"), false);
    windowed = WeConfig::GetBool(OptionKey("Windowed"), false);
    windowedAtStart = windowed;
    width = WeConfig::GetInt(OptionKey("ResolutionWidth"), 0);
    height = WeConfig::GetInt(OptionKey("ResolutionHeight"), 0);
}

void MivoGame::ApplyBloom() const
{
    // The options' bloom switch gates the configured post-process mode: with the switch off the
    // screen shows what the options screen says.
    renderDevice.bloomMode = bloom ? WeConfig::GetInt("Mivo.Render.Bloom", 1) : 0;
}

void MivoGame::ApplyRenderSettings()
{
    renderDevice.refraction = false;
    renderDevice.outlines = false;
    renderDevice.normalMaps = renderDevice.specularHighlights = true;
    renderDevice.shaderLevel = 1;
    // The chain holds bloom at most: no film grain, depth of field or motion blur.
    renderDevice.filmGrain = false;
    renderDevice.depthOfField = false;
    renderDevice.motionBlurMode = 0;
    renderDevice.maxAnisotropy = 4;
    ApplyBloom();
    renderDevice.SetFog(false, WeColor{}, 0.0f, 0.0f, 0.0f, 0.0f);
}

bool MivoGame::StartEngine(int32_t width, int32_t height)
{
    const int32_t style = windowed ? 3 : 0;
    const int32_t mode = windowed ? 2 : 0;
    int32_t snappedWidth = 0, snappedHeight = 0;
    optionsPhase.ListResolutions(windowed, width, height, snappedWidth, snappedHeight);
    MivoDisplayTry tries[kTryCount];
    DisplayTries(style, snappedWidth, snappedHeight, mode, windowed, tries);
    for (int32_t i = 0; i < kTryCount; ++i)
    {
        if (i == 5)
        {
            bloom = false;
            renderDevice.bloomMode = 0;
        }
        if (i == 7)
        {
            // Also the mode at start, so the options screen does not ask for a restart that
            // would change nothing.
            windowed = true;
            windowedAtStart = true;
        }
        const MivoDisplayTry& t = tries[i];
        // Multisampling only when the options ask for it: on a software renderer it makes
        // every frame several times dearer.
        if (CreateDisplay(t.windowStyle, t.width, t.height, t.displayMode, t.antialias && antialias))
        {
            windowStyle = t.windowStyle;
            return true;
        }
    }
    return false;
}

void MivoGame::ApplyFrameRateFloor()
{
    const float frameRate = WeConfig::GetFloat("Mivo.GamePlay.FrameRate", 60.0f);
    if (frameRate > 0.0f && std::isfinite(frameRate))
        timer.minimumDelta = 1.0 / double(frameRate);
}

void MivoGame::ReportFatalError()
{
    if (engine.window)
        engine.window->Hide();
    win32::ShowCursor(true);
    engine.SetErrorIfNone(kNoEngineText);
    win32::MessageBoxA(nullptr, engine.lastError.GetData(), "Fatal Error",
                       win32::MB_OK | win32::MB_ICONERROR);
}

bool MivoGame::CreateDisplay(int32_t style, int32_t width, int32_t height, int32_t displayMode,
                             bool antialias)
{
    WeEngineSettings& settings = engine.settings;
    settings.windowStyle = style;
    settings.width = width;
    settings.height = height;
    settings.displayMode = displayMode;
    settings.multisampleType = antialias ? 4 : 0;
    settings.multisampleQuality = 0;
    settings.verticalSync = false;
    settings.gravity[0] = settings.gravity[1] = settings.gravity[2] = 0.0f;
    settings.physicsFlag = false;
    settings.keyboardFlag = true;
    settings.largeIconId = settings.smallIconId = 103;
    return engine.Init(win32::GetModuleHandleA(nullptr), nullptr, GetName(), "");
}

void MivoGame::KeyboardLayoutForLanguage() const
{
    const std::string name = KeyboardLayoutName(KeyboardLayoutOf(localization.GetLanguageCode()));
    win32::LoadKeyboardLayoutA(name.c_str(), kActivateLayout);
}

bool MivoGame::Exit()
{
    // The last chance for what could not be saved before.
    userData.SaveWhatIsOwed();
    if (optionsPhase.optionsOwed)
        MivoOptionsPhase::SaveOptions();
    userData.FreeAll();
    return true;
}

void MivoGame::RunPlaylist()
{
    if (audioDevice.IsMusicPlaying(0))
        return;
    musicTrack = FollowingTrack(musicTrack);
    audioDevice.PlayMusic(MusicKey(musicTrack), false, 0, 0.0f, false);
}

void MivoGame::Update()
{
    const bool foreground = InForeground();
    if (foreground)
    {
        if (!wasInForeground)
            OnActivate();
        RunPlaylist();
    }
    else if (wasInForeground)
        OnDeactivate();
    wasInForeground = foreground;
    uiMain.cursorVisible = engine.UpdateCursorVisibility() && menuCursor;
    TellSaveProblem();
    phaseStack.Update();
}

void MivoGame::Render()
{
    phaseStack.Render();
}

void MivoGame::OnActivate()
{
    engine.ClipCursorToWindow(windowStyle == 0);
    audioDevice.ResumeMusic(0);
    audioDevice.MuteSounds(false);
}

void MivoGame::OnDeactivate()
{
    audioDevice.PauseMusic(0);
    audioDevice.MuteSounds(true);
    // The poll misses releases while another program has the keyboard and mouse.
    uiMain.ReleaseButtons();
    // A full-screen window holds no capture here: the system releases the mouse when the
    // window loses the foreground.
}

bool MivoGame::InForeground() const
{
    return WeIsAppInForeground();
}
