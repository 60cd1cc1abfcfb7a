#pragma once

// Helpers of the audio tests: Ogg Vorbis data made on the spot, and reading back what OpenAL
// holds.

#include "SoundSynth.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <ogg/ogg.h>

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

// Calls visit(offset, header bytes, body bytes) for every whole page of the Ogg data.
template <typename Visit> void ForEachPage(std::vector<uint8_t>& ogg, Visit visit)
{
    size_t at = 0;
    while (at + 27 <= ogg.size() && ogg[at + 26] + at + 27 <= ogg.size())
    {
        const size_t header = 27 + size_t(ogg[at + 26]);
        size_t body = 0;
        for (size_t i = 27; i < header; ++i)
            body += ogg[at + i];
        if (at + header + body > ogg.size())
            return;
        visit(at, header, body);
        at += header + body;
    }
}

// File offset of the first byte of packet `index` of the data (the Vorbis headers are packets
// 0 to 2); -1 when there are fewer packets.
inline int64_t PacketOffset(std::vector<uint8_t>& ogg, int index)
{
    int64_t found = -1;
    int packet = 0;
    bool packetStarts = true;
    ForEachPage(ogg,
                [&](size_t at, size_t header, size_t)
                {
                    size_t bodyAt = at + header;
                    for (size_t i = at + 27; i < at + header && found < 0; ++i)
                    {
                        if (packetStarts && packet++ == index)
                            found = int64_t(bodyAt);
                        bodyAt += ogg[i];
                        packetStarts = ogg[i] < 255;
                    }
                });
    return found;
}

// Recomputes every page's checksum, as a writer does for damaged data it writes whole.
inline void SealPages(std::vector<uint8_t>& ogg)
{
    ForEachPage(ogg,
                [&ogg](size_t at, size_t header, size_t body)
                {
                    ogg_page page{ogg.data() + at, long(header), ogg.data() + at + header, long(body)};
                    ogg_page_checksum_set(&page);
                });
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
