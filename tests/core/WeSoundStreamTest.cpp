#include "WeSoundStream.h"
#include "AudioTestSupport.h"
#include "WeOggDecoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace audiotest;

namespace
{

// At 48 kHz stereo one 16 KB chunk is 4,096 frames (85 ms): the queue of 16 holds 1.37 s.
constexpr int kRate = 48000;
constexpr int64_t kChunkFrames = WeOggDecoder::kChunkBytes / 4;

class SoundStreamTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(context.Ready()); }

    static std::unique_ptr<WeSoundStream> Stream(int64_t frames, bool whole = false)
    {
        return std::make_unique<WeSoundStream>(
            std::make_unique<WeOggDecoder>(OggTone(2, kRate, frames), whole));
    }

    // Updates the stream every 10 ms until the condition holds; false after `seconds`.
    static bool UpdateUntil(WeSoundStream& stream, const std::function<bool()>& condition, double seconds)
    {
        return StepUntil(
            condition, [&] { stream.Update(); }, seconds);
    }

    static ALint Queued(const WeSoundStream& s) { return SourceValue(s.GetSource(), AL_BUFFERS_QUEUED); }
    static ALint State(const WeSoundStream& s) { return SourceValue(s.GetSource(), AL_SOURCE_STATE); }

    ScopedContext context;
};

} // namespace

TEST_F(SoundStreamTest, ATrackShorterThanTheQueuePlaysOnTheBuffersItFills)
{
    auto stream = Stream(3 * kChunkFrames + 100);
    stream->Play(false);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
    EXPECT_EQ(Queued(*stream), 4);
    EXPECT_EQ(State(*stream), AL_PLAYING);
    EXPECT_TRUE(stream->IsPlaying());
    ASSERT_TRUE(UpdateUntil(
        *stream, [&] { return !stream->IsPlaying(); }, 10.0));
    EXPECT_EQ(Queued(*stream), 0);
}

TEST_F(SoundStreamTest, ATrackThatDoesNotLoopPlaysOutItsQueueAfterTheDecoderRunsOut)
{
    auto stream = Stream(20 * kChunkFrames);
    stream->Play(false);
    ASSERT_EQ(Queued(*stream), WeOggDecoder::kQueueBuffers);
    // The first buffer that finds nothing left to decode leaves the queue...
    ASSERT_TRUE(UpdateUntil(
        *stream, [&] { return Queued(*stream) < WeOggDecoder::kQueueBuffers; }, 10.0));
    // ...and what is still queued is heard to the end.
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_EQ(State(*stream), AL_PLAYING);
    EXPECT_GT(Queued(*stream), 1);
    ASSERT_TRUE(UpdateUntil(
        *stream, [&] { return !stream->IsPlaying(); }, 10.0));
    EXPECT_EQ(Queued(*stream), 0);
}

TEST_F(SoundStreamTest, LoopingTracksKeepPlayingInBothModes)
{
    for (bool whole : {false, true})
    {
        auto stream = Stream(kRate / 5, whole); // 0.2 s
        stream->Play(true);
        EXPECT_FALSE(UpdateUntil(
            *stream, [&] { return !stream->IsPlaying(); }, 1.0))
            << "whole " << whole;
        EXPECT_EQ(State(*stream), AL_PLAYING) << "whole " << whole;
        stream->Stop();
        EXPECT_FALSE(stream->IsPlaying());
    }
}

TEST_F(SoundStreamTest, AWholeSoundThatDoesNotLoopEndsAfterItsOneBuffer)
{
    auto stream = Stream(kRate / 5, true);
    stream->Play(false);
    EXPECT_EQ(Queued(*stream), 1);
    ASSERT_TRUE(UpdateUntil(
        *stream, [&] { return !stream->IsPlaying(); }, 10.0));
}

TEST_F(SoundStreamTest, AStreamThatRanDryBetweenTwoUpdatesIsStartedAgain)
{
    auto stream = Stream(3 * kRate); // 3 s, more than twice the queue
    stream->Play(false);
    // A long frame without updates: the source plays its whole queue and stops.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (State(*stream) == AL_PLAYING && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(State(*stream), AL_STOPPED);
    EXPECT_TRUE(stream->IsPlaying()) << "the track has not ended";
    stream->Update();
    EXPECT_EQ(State(*stream), AL_PLAYING);
    EXPECT_EQ(Queued(*stream), WeOggDecoder::kQueueBuffers);
    ASSERT_TRUE(UpdateUntil(
        *stream, [&] { return !stream->IsPlaying(); }, 10.0));
}

TEST_F(SoundStreamTest, PauseHoldsTheStreamAndResumeGoesOnButNotAfterStop)
{
    auto stream = Stream(3 * kRate);
    stream->Play(false);
    stream->Pause();
    EXPECT_TRUE(stream->IsPaused());
    EXPECT_FALSE(stream->IsPlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stream->Update();
    EXPECT_EQ(State(*stream), AL_PAUSED);
    stream->Resume();
    EXPECT_TRUE(stream->IsPlaying());
    EXPECT_EQ(State(*stream), AL_PLAYING);
    stream->Stop();
    stream->Resume();
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_EQ(State(*stream), AL_STOPPED);
}

TEST_F(SoundStreamTest, StreamsWithoutAudioPlayNothing)
{
    std::vector<std::unique_ptr<WeSoundStream>> streams;
    streams.push_back(std::make_unique<WeSoundStream>(
        std::make_unique<WeOggDecoder>(std::vector<uint8_t>{1, 2, 3}, false)));
    streams.push_back(Stream(0));
    for (auto& stream : streams)
        for (bool loop : {false, true})
        {
            stream->Play(loop);
            EXPECT_FALSE(stream->IsPlaying());
            EXPECT_EQ(Queued(*stream), 0);
            stream->Update();
            EXPECT_FALSE(stream->IsPlaying());
        }
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
}

TEST_F(SoundStreamTest, VolumeIsTheSourceGain)
{
    auto stream = Stream(kChunkFrames);
    stream->SetVolume(0.25f);
    ALfloat gain = 0;
    alGetSourcef(stream->GetSource(), AL_GAIN, &gain);
    EXPECT_FLOAT_EQ(gain, 0.25f);
    EXPECT_EQ(SourceValue(stream->GetSource(), AL_SOURCE_RELATIVE), AL_TRUE);
}
