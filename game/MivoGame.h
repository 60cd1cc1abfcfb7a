// The game's application object (global gameApp): reads the player's options, brings the engine
// up through a chain of fallback display settings, keeps the music playlist going, follows the
// foreground and runs the phase stack.
#pragma once

#include "WeApplication.h"
#include "WeList.h"
#include "WeString.h"

#include <cstdint>
#include <string>

class WeAbstractPhase;

// One display setting CreateDisplay is tried with.
struct MivoDisplayTry
{
    int32_t windowStyle;
    int32_t width;
    int32_t height;
    int32_t displayMode;
    bool antialias;
};

// Where the program goes first, given the command-line number and whether any player exists.
enum class MivoFirstScreen : int32_t
{
    Intro = 0,    // the intro, which then chooses between the two below
    Users = 1,    // menu background + users: nobody to play as yet
    MainMenu = 2, // menu background + main menu
};

class MivoGame : public WeApplication
{
public:
    static constexpr int32_t kMenuTrack = 14;
    static constexpr int32_t kLastPlayTrack = 13;
    static constexpr int32_t kTryCount = 9;

    MivoGame();

    const char* GetName() override { return "Mivo"; }
    // Options, language, profiles, the engine through the fallback chain, volumes, the first
    // screen. False after the fatal message when no display setting works.
    bool Init() override;
    // Tries once more to save what could not be saved, frees the profiles, score lists and queued
    // uploads; the run loop does not restart.
    bool Exit() override;
    // Foreground edges, the playlist, the cursor, then the phase stack.
    void Update() override;
    void Render() override;
    // Cursor clip in full screen, music resumed, effects unmuted.
    void OnActivate() override;
    void OnDeactivate() override;

    // Writes the engine settings and starts the engine.
    virtual bool CreateDisplay(int32_t windowStyle, int32_t width, int32_t height, int32_t displayMode,
                               bool antialias);
    // The render device's post-process mode from the bloom option: the configured mode, or none.
    void ApplyBloom() const;
    // Loads the keyboard layout of the current language.
    void KeyboardLayoutForLanguage() const;
    // Starts the next piece of music on channel 0 when nothing plays there.
    void RunPlaylist();

    // The option of that name under the options file key.
    WeString OptionKey(const char* name) const;
    // The screen the start leads to.
    MivoFirstScreen FirstScreen() const;
    // Queues the first screens: the intro, or the menu background with the menu screen over it.
    void PushFirstPhases();
    // The screen over the menu background when the menus come up from the start.
    WeAbstractPhase* MenuScreen() const;

    // The number the characters before the first blank spell, digit by digit with no check of
    // the characters (as the launcher writes it); wraps instead of overflowing.
    static int32_t ParseCommandLineNumber(const char* commandLine);
    // The Windows layout id for a language code: "SR" 2074, "SRC" 3098, else 1033.
    static int32_t KeyboardLayoutOf(const WeString& languageCode);
    // The layout id as the eight upper-case hexadecimal digits LoadKeyboardLayout takes.
    static std::string KeyboardLayoutName(int32_t layout);
    // The track after `track`: play tracks rotate 1..13, the menu track repeats.
    static int32_t FollowingTrack(int32_t track);
    // "Sound.Music.M" + track + "Master".
    static WeString MusicKey(int32_t track);
    // The nine settings tried in order for a requested style, size and mode.
    static void DisplayTries(int32_t windowStyle, int32_t width, int32_t height, int32_t displayMode,
                             bool windowed, MivoDisplayTry (&tries)[kTryCount]);

    int32_t commandLineNumber = 0; // 1 or more skips the intro
    bool restartPending = false;   // the options phase asked for a restart to apply the windowed flag
    std::string playerFolder;      // empty: MivoPlayerFolder() at Init, and still empty without one
    WeString optionsPath;          // folder + "/options", without ".ini"; empty without a folder
    WeString optionsKey;           // "*" + optionsPath: the configuration prefix of every option
    int32_t musicTrack = kMenuTrack;
    int32_t nextPlayTrack = 1;
    bool windowedAtStart = false;
    bool windowed = false;
    float brightness = 0.5f;
    bool bloom = false;
    bool antialias = false;  // the first try asks for multisampling only with this option
    bool menuCursor = false; // the UI draws its cursor while set and the system cursor is inside
    int32_t windowStyle = 0; // of the display setting that worked
    int32_t mapToPlay = 0;   // the level the play phase loads: database x 1000 + table
    int32_t questPlace = -1; // region x 1000 + place in the region; -1 outside a quest

protected:
    // Whether the program has the foreground; the engine's test.
    virtual bool InForeground() const;

private:
    // Whether the menus come up on the users screen.
    static bool NeedsUsersScreen();
    // Shows the first save problem the player has not been told of, once a screen that waits for
    // the player is on top.
    void TellSaveProblem();
    void ReadOptions(int32_t& width, int32_t& height);
    void ApplyRenderSettings();
    bool StartEngine(int32_t width, int32_t height);
    // Every frame from start-up lasts at least 1 / "Mivo.GamePlay.FrameRate" seconds, menus
    // included; a rate that is not a positive number leaves the floor as it is.
    static void ApplyFrameRateFloor();
    void ReportFatalError();

    bool wasInForeground = true;
};

extern MivoGame gameApp;
