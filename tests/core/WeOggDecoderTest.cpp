#include "WeOggDecoder.h"
#include "AudioTestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace audiotest;

namespace
{

class OggDecoderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(context.Ready()); }

    // Bytes of every buffer filled until the decoder has no more (at most `limit` fills).
    static std::vector<ALint> FillAll(WeOggDecoder& decoder, int limit)
    {
        std::vector<ALint> sizes;
        ALuint buffer = decoder.GetBuffer(0);
        while (int(sizes.size()) < limit && decoder.FillBuffer(buffer))
            sizes.push_back(BufferValue(buffer, AL_SIZE));
        return sizes;
    }

    ScopedContext context;
};

int64_t Sum(const std::vector<ALint>& sizes)
{
    return std::accumulate(sizes.begin(), sizes.end(), int64_t(0));
}

} // namespace

TEST_F(OggDecoderTest, MonoAndStereoGiveSixteenBitBuffersAtTheFileRate)
{
    struct Case
    {
        int channels, rate;
        ALenum format;
    };
    for (const Case c : {Case{1, 22050, AL_FORMAT_MONO16}, Case{2, 44100, AL_FORMAT_STEREO16}})
    {
        WeOggDecoder decoder(OggTone(c.channels, c.rate, c.rate / 2), false);
        ASSERT_TRUE(decoder.IsOpen());
        EXPECT_EQ(decoder.GetFormat(), c.format);
        EXPECT_EQ(decoder.GetRate(), c.rate);
        EXPECT_EQ(decoder.GetBufferCount(), WeOggDecoder::kQueueBuffers);
        ALuint buffer = decoder.GetBuffer(0);
        ASSERT_TRUE(decoder.FillBuffer(buffer));
        EXPECT_EQ(BufferValue(buffer, AL_CHANNELS), c.channels);
        EXPECT_EQ(BufferValue(buffer, AL_BITS), 16);
        EXPECT_EQ(BufferValue(buffer, AL_FREQUENCY), c.rate);
    }
}

TEST_F(OggDecoderTest, StreamDecodesTheExactSampleCountInFullChunksThenStops)
{
    const int64_t frames = 100000; // not a multiple of a chunk
    WeOggDecoder decoder(OggTone(2, 44100, frames), false);
    ASSERT_TRUE(decoder.IsOpen());
    const std::vector<ALint> sizes = FillAll(decoder, 1000);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(Sum(sizes), frames * 2 * 2);
    for (size_t i = 0; i + 1 < sizes.size(); ++i)
        EXPECT_EQ(sizes[i], WeOggDecoder::kChunkBytes) << "chunk " << i;
    EXPECT_LT(sizes.back(), WeOggDecoder::kChunkBytes);
    EXPECT_FALSE(decoder.FillBuffer(decoder.GetBuffer(1))) << "the end stays the end";
}

TEST_F(OggDecoderTest, LoopingStreamSubmitsTheWrapChunkShortAndStartsOverFromTheFirstSample)
{
    const int64_t frames = 30000;
    WeOggDecoder decoder(OggTone(1, 22050, frames), false);
    ASSERT_TRUE(decoder.IsOpen());
    decoder.SetLoop(true);
    const int64_t trackBytes = frames * 2;
    const int perPass = int((trackBytes + WeOggDecoder::kChunkBytes - 1) / WeOggDecoder::kChunkBytes);
    const std::vector<ALint> sizes = FillAll(decoder, 3 * perPass);
    ASSERT_EQ(int(sizes.size()), 3 * perPass) << "a looping stream never runs out";
    for (int pass = 0; pass < 3; ++pass)
    {
        const std::vector<ALint> one(sizes.begin() + pass * perPass, sizes.begin() + (pass + 1) * perPass);
        EXPECT_EQ(Sum(one), trackBytes) << "pass " << pass;
        EXPECT_EQ(one.back(), trackBytes % WeOggDecoder::kChunkBytes) << "pass " << pass;
    }
}

TEST_F(OggDecoderTest, LoopingStreamWithoutAudioEndsInsteadOfSpinning)
{
    WeOggDecoder decoder(OggTone(1, 22050, 0), false);
    ASSERT_TRUE(decoder.IsOpen()) << "a valid stream that holds no samples";
    decoder.SetLoop(true);
    EXPECT_FALSE(decoder.FillBuffer(decoder.GetBuffer(0)));
    EXPECT_FALSE(decoder.FillBuffer(decoder.GetBuffer(0)));
}

TEST_F(OggDecoderTest, WholeModeHoldsTheWholeSoundInOneBuffer)
{
    const int64_t frames = 3 * 22050 + 17;
    for (bool loop : {false, true})
    {
        WeOggDecoder decoder(OggTone(2, 22050, frames), true);
        ASSERT_TRUE(decoder.IsOpen());
        decoder.SetLoop(loop);
        ASSERT_EQ(decoder.GetBufferCount(), 1);
        ALuint buffer = decoder.GetBuffer(0);
        ASSERT_TRUE(decoder.FillBuffer(buffer));
        EXPECT_EQ(BufferValue(buffer, AL_SIZE), frames * 4);
        EXPECT_EQ(decoder.FillBuffer(buffer), loop) << "only a looping whole sound refills";
    }
}

TEST_F(OggDecoderTest, DataThatIsNotOggVorbisGivesAClosedDecoderWithoutBuffers)
{
    std::vector<uint8_t> junk(5000);
    uint32_t state = 5;
    for (uint8_t& b : junk)
        b = uint8_t((state = state * 214013u + 2531011u) >> 16);
    for (std::vector<uint8_t> data : {std::vector<uint8_t>{}, junk})
    {
        WeOggDecoder decoder(data, false);
        EXPECT_FALSE(decoder.IsOpen());
        EXPECT_EQ(decoder.GetBufferCount(), 0);
        EXPECT_EQ(decoder.GetBuffer(0), 0u);
        EXPECT_FALSE(decoder.FillBuffer(0));
        EXPECT_EQ(decoder.GetFormat(), 0);
    }
}

TEST_F(OggDecoderTest, TruncatedFilesGiveWhatTheyHoldOrNothing)
{
    const int64_t frames = 2 * 44100;
    // Noise spreads over many pages, so half of the file holds some complete ones.
    const std::vector<uint8_t> full = soundsynth::EncodeOggVorbis(soundsynth::NoiseBurst(2, 44100, 2.0, 9));
    // Cut inside the headers: not a stream at all.
    WeOggDecoder headers(std::vector<uint8_t>(full.begin(), full.begin() + 200), false);
    EXPECT_FALSE(headers.IsOpen());
    // Cut in the middle of the audio: part of the sound, and a clean end.
    WeOggDecoder half(std::vector<uint8_t>(full.begin(), full.begin() + std::ptrdiff_t(full.size() / 2)),
                      false);
    ASSERT_TRUE(half.IsOpen());
    const int64_t bytes = Sum(FillAll(half, 1000));
    EXPECT_GT(bytes, 0);
    EXPECT_LT(bytes, frames * 4);
}

TEST_F(OggDecoderTest, MoreThanTwoChannelsAreRefused)
{
    soundsynth::Pcm pcm = soundsynth::Tone(3, 22050, 0.2, 440.0);
    const std::vector<uint8_t> ogg = soundsynth::EncodeOggVorbis(pcm);
    ASSERT_FALSE(ogg.empty());
    WeOggDecoder decoder(ogg, false);
    EXPECT_FALSE(decoder.IsOpen());
}

TEST_F(OggDecoderTest, AChainedLinkOfAnotherLayoutEndsTheSound)
{
    const int64_t frames = 44100;
    std::vector<uint8_t> chained =
        soundsynth::EncodeOggVorbis(soundsynth::NoiseBurst(1, 22050, 2.0, 3), 0.3f, 1);
    const std::vector<uint8_t> stereo =
        soundsynth::EncodeOggVorbis(soundsynth::Tone(2, 22050, 0.5, 440.0), 0.3f, 2);
    chained.insert(chained.end(), stereo.begin(), stereo.end());
    WeOggDecoder decoder(chained, false);
    ASSERT_TRUE(decoder.IsOpen());
    EXPECT_EQ(decoder.GetFormat(), AL_FORMAT_MONO16);
    EXPECT_EQ(Sum(FillAll(decoder, 1000)), frames * 2);
}
