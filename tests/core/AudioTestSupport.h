#pragma once

// Helpers of the audio tests: Ogg Vorbis data made on the spot, and reading back what OpenAL
// holds.

#include "SoundSynth.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace audiotest
{

// Ogg Vorbis data of a tone lasting `frames` frames.
inline std::vector<uint8_t> OggTone(int channels, int rate, int64_t frames, double frequency = 440.0)
{
    soundsynth::Pcm pcm = soundsynth::Tone(channels, rate, double(frames) / rate, frequency);
    pcm.samples.resize(size_t(frames * channels));
    return soundsynth::EncodeOggVorbis(pcm);
}

// Calls step every 10 ms until the condition holds; false when it still does not after `seconds`.
inline bool StepUntil(const std::function<bool()>& condition, const std::function<void()>& step,
                      double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        step();
    }
    return true;
}

inline ALint BufferValue(ALuint buffer, ALenum what)
{
    ALint value = -1;
    alGetBufferi(buffer, what, &value);
    return value;
}

inline ALint SourceValue(ALuint source, ALenum what)
{
    ALint value = -1;
    alGetSourcei(source, what, &value);
    return value;
}

// An OpenAL device and current context of their own, for tests below the audio device.
class ScopedContext
{
public:
    ScopedContext()
    {
        device = alcOpenDevice(nullptr);
        context = device ? alcCreateContext(device, nullptr) : nullptr;
        if (context)
            alcMakeContextCurrent(context);
    }
    ~ScopedContext()
    {
        alcMakeContextCurrent(nullptr);
        if (context)
            alcDestroyContext(context);
        if (device)
            alcCloseDevice(device);
    }
    ScopedContext(const ScopedContext&) = delete;
    ScopedContext& operator=(const ScopedContext&) = delete;

    bool Ready() const { return context != nullptr; }

private:
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
};

} // namespace audiotest
