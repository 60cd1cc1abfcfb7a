// Audio: Ogg Vorbis decoding throughput (seconds of audio decoded per second), and the
// per-frame cost of the audio device's update with every pooled source and all four music
// channels busy. Runs on OpenAL Soft's null back end unless another is asked for.

#include "SoundSynth.h"
#include "WeAudioDevice.h"
#include "WeOggDecoder.h"
#include "WeSound.h"
#include "WeTimer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace
{

constexpr double kSeconds = 10.0;

const std::vector<uint8_t>& Music(int channels, int rate)
{
    static std::vector<uint8_t> data[3][2];
    std::vector<uint8_t>& ogg = data[channels][rate == 44100 ? 1 : 0];
    if (ogg.empty())
    {
        soundsynth::Pcm pcm = soundsynth::Melody(
            channels, rate, {440.0, 523.3, 659.3, 784.0, 659.3, 523.3, 440.0, 392.0}, kSeconds / 8);
        soundsynth::Mix(pcm, soundsynth::NoiseBurst(channels, rate, kSeconds, 3, 0.3));
        ogg = soundsynth::EncodeOggVorbis(pcm);
    }
    return ogg;
}

bool StartDevice()
{
    setenv("ALSOFT_DRIVERS", "null", 0);
    return audioDevice.Init();
}

// Streams a whole track through one buffer, chunk by chunk.
void BM_DecodeStream(benchmark::State& state)
{
    const int channels = int(state.range(0));
    const int rate = int(state.range(1));
    if (!StartDevice())
        return state.SkipWithError("no OpenAL device");
    const std::vector<uint8_t>& ogg = Music(channels, rate);
    int64_t bytes = 0;
    for (auto _ : state)
    {
        WeOggDecoder decoder(ogg, false);
        while (decoder.FillBuffer(decoder.GetBuffer(0)))
            bytes += WeOggDecoder::kChunkBytes;
    }
    state.counters["audio_s_per_s"] =
        benchmark::Counter(double(bytes) / (2.0 * channels * rate), benchmark::Counter::kIsRate);
    audioDevice.Shutdown();
}
BENCHMARK(BM_DecodeStream)->Args({1, 22050})->Args({2, 44100})->Unit(benchmark::kMillisecond);

// One audio update with 64 looping effects and four streamed music channels playing.
void BM_UpdateBusy(benchmark::State& state)
{
    if (!StartDevice())
        return state.SkipWithError("no OpenAL device");
    std::vector<std::unique_ptr<WeSound3D>> sounds;
    for (int i = 0; i < WeSoundSourcePool::kSlotCount; ++i)
    {
        sounds.push_back(std::make_unique<WeSound3D>("Sound.Effects.mi_magnet", 0));
        sounds.back()->SetPosition(float(i), 0.0f, 0.0f);
        sounds.back()->Play(true);
    }
    for (int c = 0; c < WeAudioDevice::kChannelCount; ++c)
        audioDevice.PlayMusic("Sound.Music.M1Master", true, c, 0.0f, false);
    if (soundSourcePool.GetUsedCount() != WeSoundSourcePool::kSlotCount || !audioDevice.IsMusicPlaying(3))
        state.SkipWithError("the package's sounds are missing (run from the build's bench folder)");
    timer.deltaTime = 0.016f;
    for (auto _ : state)
        audioDevice.Update();
    sounds.clear();
    audioDevice.Shutdown();
}
BENCHMARK(BM_UpdateBusy)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
