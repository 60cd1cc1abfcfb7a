// The options screen: resolution, windowed mode, music and effects volumes, brightness, language
// and bloom. Volumes, brightness, language and bloom apply at once, the resolution when the screen
// closes, the windowed mode at the next start. Every close writes the options file and reloads it
// into the configuration store. Opened from the main menu or the pause menu, it returns there.
#pragma once

#include "WeList.h"
#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>
#include <vector>

struct WeDisplayModeSize;

class MivoOptionsPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kMusicId = 10;
    static constexpr int32_t kSoundId = 11;
    static constexpr int32_t kBrightnessId = 12;
    static constexpr int32_t kLanguageId = 13;
    static constexpr int32_t kBloomId = 14;
    static constexpr int32_t kResolutionLeftId = 15;
    static constexpr int32_t kResolutionRightId = 16;
    static constexpr int32_t kWindowedId = 17;
    static constexpr int32_t kBackId = 20;

    void Enter() override;
    // Applies a changed resolution (falling back to the one at entry), writes the options file.
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape plays the selection sound and is Back.
    void HandleInput() override;

    // Rebuilds the resolution list from the device's modes (in windowed mode only those that fit
    // the screen as a window) and gives the offered mode nearest to width x height.
    void ListResolutions(bool windowed, int32_t width, int32_t height, int32_t& outWidth, int32_t& outHeight);
    // The same over a given mode list and largest window: the texts "W x H" of the offered modes
    // without repeats, and the nearest (sum of the side differences, the first of equals); the
    // request itself when no mode is offered.
    static void ListModes(const WeList<WeDisplayModeSize>& modes, bool windowed, int32_t maxWidth,
                          int32_t maxHeight, int32_t width, int32_t height, std::vector<WeString>& texts,
                          int32_t& outWidth, int32_t& outHeight);
    // "W x H" and back; false (and nothing written) when the text is not of that shape.
    static WeString ResolutionText(int32_t width, int32_t height);
    static bool ParseResolution(const WeString& text, int32_t& width, int32_t& height);
    // The options file as the screen writes it: "[Options]" and the eight settings in use.
    static WeString OptionsFileText();
    // Saves the options file whole, as the player files are saved, and reloads it into the
    // configuration store. False when it cannot be saved (no player folder, or a failed write):
    // the options in use stay owed to the file until a later save works.
    static bool SaveOptions();

    bool openedFromMainMenu = true;
    WeString resolutionAtEntry;
    std::vector<WeString> resolutions;
    float lastTestSound = -1.0f; // frame-timer seconds of the last test sound
    bool optionsOwed = false;    // the last save of the options file failed

private:
    void ShowResolution(const WeString& text);
    void StepResolution(int32_t step);
    void ChangeWindowed();
    void ChangeBloom();
    void ChangeLanguage();
    void ChangeBrightness();
    void PlayTestSound();
    void Return();
    void ApplyResolution();
    static void OnRestartAnswered(bool yes);
};

extern MivoOptionsPhase optionsPhase;
