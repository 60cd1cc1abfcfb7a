#include "WeSound.h"

#include "WeAssetType.h"
#include "WeAudioDevice.h"
#include "WeConfig.h"
#include "WeOggDecoder.h"
#include "WeVirtualFileSystem.h"

namespace
{

ALint SourceState(ALuint source)
{
    ALint state = AL_INITIAL;
    if (source != 0)
        alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

} // namespace

// ---- WeSoundBuffer ----

WeSoundBuffer::WeSoundBuffer(const WeString& soundName) : name(soundName)
{
    if (!name.IsEmpty())
        buffer = WeDecodeWholeSound(name);
}

WeSoundBuffer::~WeSoundBuffer()
{
    if (buffer != 0)
        alDeleteBuffers(1, &buffer);
}

// ---- WeSoundBufferCache ----

WeSoundBufferCache::~WeSoundBufferCache()
{
    FreeAll();
}

WeSoundBuffer* WeSoundBufferCache::GetOrLoad(const WeString& name)
{
    const WeString key = name.ToLower();
    WeSoundBuffer* buffer = nullptr;
    if (!table.Find(key, buffer))
    {
        buffer = new WeSoundBuffer(name);
        table.Insert(key, buffer);
    }
    return buffer;
}

void WeSoundBufferCache::FreeAll()
{
    table.ForEach([](const WeString&, WeSoundBuffer* buffer) { delete buffer; });
    table.Clear();
}

// ---- WeUnmanagedSound ----

WeUnmanagedSound::WeUnmanagedSound(const WeString& name)
    : buffer(soundBufferCache.GetOrLoad(name)), factor(soundAttenuator.GetFactor(name))
{
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR)
    {
        source = 0;
        return;
    }
    if (buffer->GetBuffer() != 0)
        alSourcei(source, AL_BUFFER, ALint(buffer->GetBuffer()));
}

WeUnmanagedSound::~WeUnmanagedSound()
{
    if (owner != nullptr)
        owner->source = nullptr;
    if (source != 0)
    {
        alSourceStop(source);
        alDeleteSources(1, &source);
    }
}

void WeUnmanagedSound::Play(bool loop)
{
    if (IsPlaying())
        return;
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcePlay(source);
}

bool WeUnmanagedSound::IsPlaying() const
{
    return SourceState(source) == AL_PLAYING;
}

bool WeUnmanagedSound::IsPaused() const
{
    return SourceState(source) == AL_PAUSED;
}

void WeUnmanagedSound::Stop()
{
    alSourceStop(source);
}

void WeUnmanagedSound::SetGain(float gain)
{
    alSourcef(source, AL_GAIN, gain);
}

// ---- WeSoundSourcePool ----

WeUnmanagedSound* WeSoundSourcePool::Acquire(const WeString& name)
{
    if (!enabled || !WeVirtualFileSystem::GetFileSystem()->Exists(name, WeAssetType::Ogg))
        return nullptr;
    for (int32_t i = kSlotCount - 1; i >= 0; --i)
    {
        if (slots[i])
            continue;
        auto sound = std::make_unique<WeUnmanagedSound>(name);
        if (sound->GetSource() == 0)
            return nullptr;
        slots[i] = std::move(sound);
        return slots[i].get();
    }
    return nullptr;
}

void WeSoundSourcePool::Update()
{
    for (std::unique_ptr<WeUnmanagedSound>& slot : slots)
        if (slot && !slot->IsPlaying() && !slot->IsPaused())
            slot.reset();
}

void WeSoundSourcePool::SetGain(float volume)
{
    if (!enabled)
        return;
    for (std::unique_ptr<WeUnmanagedSound>& slot : slots)
        if (slot)
            slot->SetGain(slot->GetFactor() * volume);
}

void WeSoundSourcePool::Clear()
{
    if (!enabled)
        return;
    for (std::unique_ptr<WeUnmanagedSound>& slot : slots)
        slot.reset();
}

void WeSoundSourcePool::Shutdown()
{
    Clear();
    enabled = false;
}

int32_t WeSoundSourcePool::GetUsedCount() const
{
    int32_t used = 0;
    for (const std::unique_ptr<WeUnmanagedSound>& slot : slots)
        used += slot ? 1 : 0;
    return used;
}

// ---- WeSoundAttenuator ----

void WeSoundAttenuator::Load()
{
    static const WeString prefix = "engine.SoundBalance.";
    table.Clear();
    WeList<WeString> keys;
    WeConfig::GetKeys(prefix, keys, false);
    for (const WeString& key : keys)
        table.Insert(key.GetRemainder('.', 2), &WeConfig::GetFloat(key, 1.0f));
    loaded = true;
}

float WeSoundAttenuator::GetFactor(const WeString& name) const
{
    const float* value = nullptr;
    return table.Find(name, value) && value != nullptr ? *value : 1.0f;
}

void WeSoundAttenuator::Apply(WeSound& sound) const
{
    if (!loaded)
        return;
    const float volume = audioDevice.GetMuteCount() != 0 ? 0.0f : audioDevice.GetSoundVolume();
    sound.SetVolume(volume * GetFactor(sound.GetName()));
}

// ---- WeSound ----

WeSound::WeSound(const WeString& soundName, uint8_t soundFlag) : name(soundName), flag(soundFlag)
{
    ObtainSource();
}

WeSound::~WeSound()
{
    if (source != nullptr)
        source->SetOwner(nullptr);
}

bool WeSound::ObtainSource()
{
    if (source != nullptr)
        return true;
    source = soundSourcePool.Acquire(name);
    if (source == nullptr)
        return false;
    source->SetOwner(this);
    ConfigureSource();
    return true;
}

void WeSound::ConfigureSource()
{
    alSourcei(source->GetSource(), AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(source->GetSource(), AL_ROLLOFF_FACTOR, 0.0f);
}

void WeSound::Play(bool playLoop)
{
    if (!ObtainSource())
        return;
    ConfigureSource();
    StartPlaying(playLoop);
}

void WeSound::StartPlaying(bool playLoop)
{
    soundAttenuator.Apply(*this);
    loop = playLoop;
    source->Play(playLoop);
}

bool WeSound::IsPlaying() const
{
    return source != nullptr && source->IsPlaying();
}

void WeSound::Stop()
{
    if (ObtainSource())
        source->Stop();
}

void WeSound::SetVolume(float volume)
{
    if (ObtainSource())
        source->SetGain(volume);
}

// ---- WeSound3D ----

WeSound3D::WeSound3D(const WeString& soundName, uint8_t soundFlag) : WeSound(soundName, soundFlag)
{
    if (GetSource() != nullptr)
        ConfigureSource();
}

WeSound3D::~WeSound3D()
{
    // Whatever the range now, the device must not keep a pointer to a deleted sound.
    audioDevice.Unregister3DSound(this);
}

void WeSound3D::ConfigureSource()
{
    const ALuint s = GetSource()->GetSource();
    alSourcei(s, AL_SOURCE_RELATIVE, AL_FALSE);
    alSourcef(s, AL_MAX_DISTANCE, range);
    alSourcef(s, AL_REFERENCE_DISTANCE, range * 0.5f);
    alSourcef(s, AL_ROLLOFF_FACTOR, 1.0f);
    alSource3f(s, AL_POSITION, position[0], position[1], position[2]);
}

void WeSound3D::Play(bool playLoop)
{
    if (range > 0.0f)
    {
        if (IsOutOfRange())
            return;
        audioDevice.Register3DSound(this);
    }
    if (!ObtainSource())
        return;
    StartPlaying(playLoop);
}

bool WeSound3D::IsOutOfRange() const
{
    const float squared = position[0] * position[0] + position[1] * position[1] + position[2] * position[2];
    return range > 0.0f && squared > range * range;
}

void WeSound3D::SetPosition(float x, float y, float z)
{
    position[0] = x;
    position[1] = y;
    position[2] = z;
    if (ObtainSource())
        alSource3f(GetSource()->GetSource(), AL_POSITION, x, y, z);
}

void WeSound3D::SetRange(float value)
{
    range = value;
    if (!ObtainSource())
        return;
    alSourcef(GetSource()->GetSource(), AL_REFERENCE_DISTANCE, range * 0.5f);
    alSourcef(GetSource()->GetSource(), AL_MAX_DISTANCE, range);
}

void WeSound3D::GetPosition(float& x, float& y, float& z) const
{
    x = position[0];
    y = position[1];
    z = position[2];
}
