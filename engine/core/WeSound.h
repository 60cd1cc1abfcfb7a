#pragma once

// Sound effects: decoded once into a buffer that every instance shares, and played on sources
// borrowed from a pool of 64. A sound may be destroyed while it plays; its source plays on and
// goes back to the pool once it has stopped. A per-sound factor from configuration balances the
// sounds against each other.

#include "WeHashTable.h"
#include "WeString.h"

#include <AL/al.h>

#include <cstdint>
#include <memory>

class WeSound;

// One decoded sound effect. Decoding failures are kept too (buffer 0) so that a broken sound is
// not decoded again.
class WeSoundBuffer
{
public:
    // Decodes the sound asset whole; an empty name gives buffer 0 without decoding.
    explicit WeSoundBuffer(const WeString& name);
    ~WeSoundBuffer();
    WeSoundBuffer(const WeSoundBuffer&) = delete;
    WeSoundBuffer& operator=(const WeSoundBuffer&) = delete;

    ALuint GetBuffer() const { return buffer; }
    const WeString& GetName() const { return name; }

private:
    ALuint buffer = 0;
    WeString name;
};

// Decoded sounds by lower-cased asset name.
class WeSoundBufferCache
{
public:
    WeSoundBufferCache() = default;
    ~WeSoundBufferCache();
    WeSoundBufferCache(const WeSoundBufferCache&) = delete;
    WeSoundBufferCache& operator=(const WeSoundBufferCache&) = delete;

    // The cached buffer of the name (letter case aside), decoded on first use.
    WeSoundBuffer* GetOrLoad(const WeString& name);
    // Deletes every buffer (audio device shut-down).
    void FreeAll();
    int32_t GetCount() const { return table.GetCount(); }

private:
    WeHashTable<WeSoundBuffer*> table;
};

extern WeSoundBufferCache soundBufferCache;

// An OpenAL source of the pool, playing one cached buffer, lent to at most one sound.
class WeUnmanagedSound
{
public:
    explicit WeUnmanagedSound(const WeString& name);
    // Deletes the source; the owner, if any, loses it.
    virtual ~WeUnmanagedSound();
    WeUnmanagedSound(const WeUnmanagedSound&) = delete;
    WeUnmanagedSound& operator=(const WeUnmanagedSound&) = delete;

    // Starts playing unless it already plays.
    void Play(bool loop);
    bool IsPlaying() const;
    bool IsPaused() const;
    void Stop();
    void SetGain(float gain);

    ALuint GetSource() const { return source; }
    // The sound's balance factor, taken when the source was made.
    float GetFactor() const { return factor; }
    WeSound* GetOwner() const { return owner; }
    void SetOwner(WeSound* sound) { owner = sound; }

private:
    WeSoundBuffer* buffer = nullptr;
    ALuint source = 0;
    WeSound* owner = nullptr;
    float factor = 1.0f;
};

// The fixed pool of sources that sound effects borrow. When it is full, sounds stay silent;
// playing sources are never taken away.
class WeSoundSourcePool
{
public:
    static constexpr int32_t kSlotCount = 64;

    WeSoundSourcePool() = default;
    WeSoundSourcePool(const WeSoundSourcePool&) = delete;
    WeSoundSourcePool& operator=(const WeSoundSourcePool&) = delete;

    void Enable() { enabled = true; }
    bool IsEnabled() const { return enabled; }
    // A new source for the sound in the highest free slot; null when the pool is not enabled,
    // the sound asset does not exist, every slot is taken or OpenAL has no source left.
    WeUnmanagedSound* Acquire(const WeString& name);
    // Frees the slots of sources that neither play nor are paused. Once per frame.
    void Update();
    // Every source's gain becomes its balance factor times the volume.
    void SetGain(float volume);
    // Deletes every source.
    void Clear();
    // Clear, then disabled.
    void Shutdown();
    int32_t GetUsedCount() const;

private:
    bool enabled = false;
    std::unique_ptr<WeUnmanagedSound> slots[kSlotCount];
};

extern WeSoundSourcePool soundSourcePool;

// The balance factors of sounds, from the configuration keys "engine.SoundBalance." followed by
// a sound's full asset name (matched with exact case).
class WeSoundAttenuator
{
public:
    WeSoundAttenuator() = default;
    virtual ~WeSoundAttenuator() = default;
    WeSoundAttenuator(const WeSoundAttenuator&) = delete;
    WeSoundAttenuator& operator=(const WeSoundAttenuator&) = delete;

    // Reads every balance key; later changes of their values apply at the next Apply.
    void Load();
    // The sound's factor; 1.0 for a sound without a key.
    float GetFactor(const WeString& name) const;
    // Sets the sound's volume to its factor times the effects volume (0 while muted).
    void Apply(WeSound& sound) const;
    void Release() { loaded = false; }
    bool IsLoaded() const { return loaded; }

private:
    bool loaded = false;
    WeHashTable<const float*> table;
};

extern WeSoundAttenuator soundAttenuator;

// A non-positional sound effect by asset name.
class WeSound
{
public:
    // Takes a source at once (when the pool gives one); flag is kept for the caller.
    WeSound(const WeString& name, uint8_t flag);
    // The source plays on to its end and then goes back to the pool.
    virtual ~WeSound();
    WeSound(const WeSound&) = delete;
    WeSound& operator=(const WeSound&) = delete;

    // Plays with the balance applied; silent when no source can be had.
    virtual void Play(bool loop);
    bool IsPlaying() const;
    void Stop();
    void SetVolume(float volume);

    const WeString& GetName() const { return name; }
    bool GetLoop() const { return loop; }
    uint8_t GetFlag() const { return flag; }
    // The borrowed source; null when it has none (not given, or collected after it stopped).
    WeUnmanagedSound* GetSource() const { return source; }

protected:
    // Borrows a source when it has none; false when it still has none.
    bool ObtainSource();
    // The settings of a source for this kind of sound: relative to the listener, no roll-off.
    virtual void ConfigureSource();
    void StartPlaying(bool loop);

private:
    friend class WeUnmanagedSound; // clears the pointer when the source is deleted

    WeString name;
    bool loop = false;
    uint8_t flag = 0;
    WeUnmanagedSound* source = nullptr;
};

// A positional sound with a range. Beyond its range from the listener (at the origin) it does
// not start, and the audio device stops it when it loops; a range of 0 or less exempts it.
class WeSound3D : public WeSound
{
public:
    static constexpr float kDefaultRange = 100.0f;

    WeSound3D(const WeString& name, uint8_t flag);
    ~WeSound3D() override;

    void Play(bool loop) override;
    void SetPosition(float x, float y, float z);
    void SetRange(float value);
    float GetRange() const { return range; }
    // The position set last (the origin at first); a source obtained later starts there.
    void GetPosition(float& x, float& y, float& z) const;
    // Farther from the listener than the range (never for a range of 0 or less).
    bool IsOutOfRange() const;

protected:
    // Positional: not relative, the range as maximum distance, half of it as reference
    // distance, roll-off 1, and the position set last.
    void ConfigureSource() override;

private:
    float range = kDefaultRange;
    float position[3] = {0.0f, 0.0f, 0.0f};
};
