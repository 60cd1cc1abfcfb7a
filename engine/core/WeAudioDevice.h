#pragma once

// The audio device: the OpenAL device and context, four music channels with linear
// cross-fades, the effects volume with its mute counter, and the positional sounds whose range
// it checks each frame. The listener stays at the origin.

#include "WeList.h"
#include "WeString.h"

#include <AL/alc.h>

#include <cstdint>
#include <future>
#include <memory>

class WeSound3D;
class WeSoundStream;

class WeAudioDevice
{
public:
    static constexpr int32_t kChannelCount = 4;

    WeAudioDevice();
    // Closes a device and context still open (the program ended without Shutdown), after the
    // music streams; the source pool and buffer cache are not reached, they may have gone.
    virtual ~WeAudioDevice();
    WeAudioDevice(const WeAudioDevice&) = delete;
    WeAudioDevice& operator=(const WeAudioDevice&) = delete;

    // Starts opening the device and its context on a thread of its own, for Init to take: the
    // engine makes its window and renderer meanwhile. Nothing when initialised or already
    // opening.
    void BeginOpen();
    // Opens the device (the default one when the named device does not exist) and its context,
    // or takes those BeginOpen opened; enables the source pool, loads the sound balance and
    // sets the Doppler factor. False with the engine's last error set when no device or context
    // can be had. True at once when already initialised.
    bool Init();
    // Deletes the music streams, every pooled source and every decoded sound, then closes the
    // context and the device. When not initialised, only closes what BeginOpen opened.
    void Shutdown();
    // Per frame, with the timer's frame time: collects finished effects, stops looping
    // positional sounds that left their range, runs the fades and refills the music streams.
    void Update();

    // Starts the music asset on the channel. With a fade time, music that plays fades out over
    // half of it and the new music fades in over the other half to the channel's volume;
    // without, it replaces the channel's music at once (streamed, whatever `whole` says).
    void PlayMusic(const WeString& name, bool loop, int32_t channel, float fadeTime, bool whole);
    void StopMusic(int32_t channel);
    void PauseMusic(int32_t channel);
    void ResumeMusic(int32_t channel);
    bool IsMusicPlaying(int32_t channel) const;
    // The channel's volume (0 for a channel above 3, even before Init).
    float GetMusicVolume(int32_t channel) const;
    // Stores the channel's volume; its music plays at the channel's master volume
    // ("engine.Sound.GlobalMusicVolume<n>") times it.
    void SetMusicVolume(float volume, int32_t channel);
    bool IsFading(int32_t channel) const;

    // One more (mute) or one fewer outstanding mute request; effects are silent while any is
    // outstanding. An unmatched unmute does nothing.
    void MuteSounds(bool mute);
    // The effects volume; sources keep 0 while muted.
    void SetSoundVolume(float volume);
    float GetSoundVolume() const { return effectsVolume; }
    int32_t GetMuteCount() const { return muteCount; }

    // Positional sounds whose range the device checks (not owned).
    void Register3DSound(WeSound3D* sound);
    void Unregister3DSound(WeSound3D* sound);
    bool IsRegistered(const WeSound3D* sound) const;

    // Configuration listener of "engine.Sound.GlobalMusicVolume<n>": applies channel n's volume
    // again for n = 0 to 3.
    void OnMusicVolumeKeyChanged(const WeString& key);

    bool IsInitialised() const { return initialised; }
    // The channel's music stream; null when idle or for a channel above 3.
    WeSoundStream* GetMusicStream(int32_t channel) const;

private:
    struct Channel
    {
        std::unique_ptr<WeSoundStream> stream;
        float volume = 1.0f;
        WeString queuedKey; // music to start when the fade-out ends
        bool queuedLoop = false;
        bool queuedWhole = false;
        float fadeHalf = 0.0f;  // seconds
        float fadeTimer = 0.0f; // > 0 fading out, <= 0 fading in
        float fadeRate = 0.0f;  // volume per second
        bool fading = false;
        const float* master = nullptr; // the channel's master volume, looked up on first use
    };

    Channel* Find(int32_t channel);
    const Channel* Find(int32_t channel) const;
    void StartStream(int32_t channel, const WeString& name, bool loop, bool whole, float volume);
    void UpdateFade(int32_t channel, float frameTime);
    void Update3DSounds();

    Channel channels[kChannelCount];
    bool initialised = false;
    int32_t muteCount = 0;
    float effectsVolume = 1.0f;
    // A device with its context, or the text of why there is none.
    struct Opened
    {
        ALCdevice* device = nullptr;
        ALCcontext* context = nullptr;
        const char* error = nullptr;
    };
    static Opened Open();
    static void Close(const Opened& opened);

    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    std::future<Opened> opening;
    WeList<WeSound3D*> sounds3D;
};

extern WeAudioDevice audioDevice;

// Plays a sound effect once, to its end; a missing sound plays nothing.
void WePlaySound(const WeString& name);
// Reads and clears OpenAL's error state; OpenAL errors are never reported, so always false.
bool WeCheckALError();
