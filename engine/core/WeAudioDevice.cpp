#include "WeAudioDevice.h"

#include "WeConfig.h"
#include "WeEngine.h"
#include "WeOggDecoder.h"
#include "WeSound.h"
#include "WeSoundStream.h"
#include "WeTimer.h"

#include <AL/al.h>
#include <AL/alut.h>

#include <algorithm>
#include <cmath>

namespace
{

constexpr const char* kDeviceName = "Generic Software";
constexpr const char* kMasterVolumeKey = "engine.Sound.GlobalMusicVolume";
constexpr float kJustBelowZero = -0.000001f; // a fade timer here is fading in, from the start

void MusicVolumeKeyChanged(const WeString& key, void* device)
{
    static_cast<WeAudioDevice*>(device)->OnMusicVolumeKeyChanged(key);
}

// Registers the device for changes of the master volumes, once however often it starts.
void ListenToMasterVolumes(WeAudioDevice* device)
{
    WeList<WeConfigListener>& listeners = WeGetConfigListeners();
    for (const WeConfigListener& l : listeners)
        if (l.callback == MusicVolumeKeyChanged && l.argument == device)
            return;
    WeConfigListener& listener = listeners.PushBack();
    listener.prefix = kMasterVolumeKey;
    listener.callback = MusicVolumeKeyChanged;
    listener.argument = device;
}

} // namespace

WeAudioDevice::WeAudioDevice() = default;

WeAudioDevice::~WeAudioDevice()
{
    // Still open at exit: the program ended without the engine's shut-down. The source pool and
    // the buffer cache, made after the device, have gone already with what they held; the music
    // goes while its context is still current.
    for (Channel& c : channels)
        c.stream.reset();
    if (initialised)
        Close(Opened{device, context, nullptr});
    else if (opening.valid())
        Close(opening.get());
}

WeAudioDevice::Channel* WeAudioDevice::Find(int32_t channel)
{
    return channel >= 0 && channel < kChannelCount ? &channels[channel] : nullptr;
}

const WeAudioDevice::Channel* WeAudioDevice::Find(int32_t channel) const
{
    return channel >= 0 && channel < kChannelCount ? &channels[channel] : nullptr;
}

WeAudioDevice::Opened WeAudioDevice::Open()
{
    alutInitWithoutContext(nullptr, nullptr);
    alcIsExtensionPresent(nullptr, "ALC_ENUMERATE_ALL_EXT");
    // The named device is a Windows one; where it does not exist the default device serves.
    Opened opened;
    opened.device = alcOpenDevice(kDeviceName);
    if (opened.device == nullptr)
        opened.device = alcOpenDevice(nullptr);
    if (opened.device == nullptr)
    {
        alutExit();
        return Opened{nullptr, nullptr, "Error: Cannot create OpenAL device"};
    }
    opened.context = alcCreateContext(opened.device, nullptr);
    if (opened.context == nullptr)
    {
        alcCloseDevice(opened.device);
        alutExit();
        return Opened{nullptr, nullptr, "Error: Cannot create OpenAL context"};
    }
    return opened;
}

void WeAudioDevice::Close(const Opened& opened)
{
    if (opened.error)
        return;
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(opened.context);
    alcCloseDevice(opened.device);
    alutExit();
}

void WeAudioDevice::BeginOpen()
{
    if (!initialised && !opening.valid())
        opening = std::async(std::launch::async, &WeAudioDevice::Open);
}

bool WeAudioDevice::Init()
{
    if (initialised)
        return true;
    const Opened opened = opening.valid() ? opening.get() : Open();
    if (opened.error)
    {
        engine.lastError = opened.error;
        return false;
    }
    device = opened.device;
    context = opened.context;
    alcMakeContextCurrent(context);
    soundSourcePool.Enable();
    soundAttenuator.Load();
    alDopplerFactor(std::clamp(WeConfig::GetFloat("engine.Sound.Doppler", 0.5f), 0.0f, 10.0f));
    ListenToMasterVolumes(this);
    initialised = true;
    return true;
}

void WeAudioDevice::Shutdown()
{
    if (!initialised)
    {
        if (opening.valid())
            Close(opening.get());
        return;
    }
    for (Channel& c : channels)
    {
        c.stream.reset();
        c.fading = false;
    }
    soundSourcePool.Shutdown();
    soundAttenuator.Release();
    soundBufferCache.FreeAll();
    WeForgetUnplayableMusic();
    Close(Opened{device, context, nullptr});
    context = nullptr;
    device = nullptr;
    initialised = false;
}

void WeAudioDevice::Update()
{
    if (!initialised)
        return;
    soundSourcePool.Update();
    Update3DSounds();
    for (int32_t i = 0; i < kChannelCount; ++i)
    {
        if (!channels[i].stream)
            continue;
        if (channels[i].fading)
            UpdateFade(i, timer.deltaTime);
        channels[i].stream->Update();
    }
}

void WeAudioDevice::UpdateFade(int32_t channel, float frameTime)
{
    Channel& c = channels[channel];
    const float before = c.fadeTimer;
    const float after = before - frameTime;
    c.fadeTimer = after;
    if (before >= 0.0f && after <= 0.0f)
    {
        // The old music has faded out: the queued music starts silent and fades in. The timer
        // goes below zero even when it lands on it, or the next frame would start it again.
        c.fadeTimer = std::min(after, kJustBelowZero);
        StartStream(channel, c.queuedKey, c.queuedLoop, c.queuedWhole, 0.0f);
    }
    else if (after <= 0.0f)
    {
        const bool done = std::fabs(after) >= c.fadeHalf;
        SetMusicVolume(c.fadeRate * (done ? c.fadeHalf : std::fabs(after)), channel);
        c.fading = !done;
    }
    else
        SetMusicVolume(c.fadeRate * after, channel);
}

void WeAudioDevice::Update3DSounds()
{
    for (WeSound3D* sound : sounds3D)
        if (sound->GetLoop() && sound->IsOutOfRange() && sound->IsPlaying())
            sound->Stop();
}

void WeAudioDevice::StartStream(int32_t channel, const WeString& name, bool loop, bool whole, float volume)
{
    Channel& c = channels[channel];
    c.stream.reset();
    c.stream = std::make_unique<WeSoundStream>(name, whole);
    SetMusicVolume(volume, channel);
    c.stream->Play(loop);
}

void WeAudioDevice::PlayMusic(const WeString& name, bool loop, int32_t channel, float fadeTime, bool whole)
{
    Channel* c = Find(channel);
    if (!initialised || c == nullptr)
        return;
    if (fadeTime <= 0.0f)
    {
        // A replacement without fade also ends any fade, which would otherwise go on to start
        // the music queued before.
        c->fading = false;
        StartStream(channel, name, loop, false, c->volume);
        return;
    }
    c->queuedKey = name;
    c->queuedLoop = loop;
    c->queuedWhole = whole;
    c->fadeHalf = fadeTime * 0.5f;
    c->fadeRate = c->volume / c->fadeHalf;
    c->fading = true;
    if (c->stream && c->stream->IsPlaying())
    {
        c->fadeTimer = c->fadeHalf;
        return;
    }
    c->fadeTimer = kJustBelowZero; // the fade-in starts at once
    StartStream(channel, name, loop, whole, 0.0f);
}

void WeAudioDevice::StopMusic(int32_t channel)
{
    if (initialised && GetMusicStream(channel))
        GetMusicStream(channel)->Stop();
}

void WeAudioDevice::PauseMusic(int32_t channel)
{
    if (initialised && GetMusicStream(channel))
        GetMusicStream(channel)->Pause();
}

void WeAudioDevice::ResumeMusic(int32_t channel)
{
    if (initialised && GetMusicStream(channel))
        GetMusicStream(channel)->Resume();
}

bool WeAudioDevice::IsMusicPlaying(int32_t channel) const
{
    return initialised && GetMusicStream(channel) && GetMusicStream(channel)->IsPlaying();
}

float WeAudioDevice::GetMusicVolume(int32_t channel) const
{
    const Channel* c = Find(channel);
    return c ? c->volume : 0.0f;
}

void WeAudioDevice::SetMusicVolume(float volume, int32_t channel)
{
    Channel* c = Find(channel);
    if (!initialised || c == nullptr)
        return;
    c->volume = volume;
    if (!c->stream)
        return;
    if (c->master == nullptr)
    {
        WeString key = kMasterVolumeKey;
        key.AppendInt(channel);
        c->master = &WeConfig::GetFloat(key, 1.0f);
    }
    c->stream->SetVolume(*c->master * volume);
}

bool WeAudioDevice::IsFading(int32_t channel) const
{
    const Channel* c = Find(channel);
    return c && c->fading;
}

WeSoundStream* WeAudioDevice::GetMusicStream(int32_t channel) const
{
    const Channel* c = Find(channel);
    return c ? c->stream.get() : nullptr;
}

void WeAudioDevice::MuteSounds(bool mute)
{
    if (!initialised)
        return;
    muteCount = mute ? muteCount + 1 : std::max(0, muteCount - 1);
    soundSourcePool.SetGain(muteCount != 0 ? 0.0f : effectsVolume);
}

void WeAudioDevice::SetSoundVolume(float volume)
{
    if (!initialised)
        return;
    effectsVolume = volume;
    soundSourcePool.SetGain(muteCount != 0 ? 0.0f : volume);
}

void WeAudioDevice::Register3DSound(WeSound3D* sound)
{
    if (!IsRegistered(sound))
        sounds3D.PushBack(sound);
}

void WeAudioDevice::Unregister3DSound(WeSound3D* sound)
{
    sounds3D.Remove(sound);
}

bool WeAudioDevice::IsRegistered(const WeSound3D* sound) const
{
    for (const WeSound3D* registered : sounds3D)
        if (registered == sound)
            return true;
    return false;
}

void WeAudioDevice::OnMusicVolumeKeyChanged(const WeString& key)
{
    // Only a final digit 0-3 names a channel.
    const char last = key[key.GetLength() - 1];
    if (last >= '0' && last < '0' + kChannelCount)
        SetMusicVolume(channels[last - '0'].volume, last - '0');
}

void WePlaySound(const WeString& name)
{
    WeSound sound(name, 0);
    sound.Play(false);
}

bool WeCheckALError()
{
    alGetError();
    return false;
}
