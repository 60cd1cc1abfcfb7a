#include "WeOggDecoder.h"
#include "AudioTestSupport.h"
#include "TempFolder.h"
#include "WeFileStream.h"

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

// A tone whose setup header has one bit of a code book's word lengths flipped, the pages
// sealed again: the library opens it, fails to build its code books on the first read, and
// after a rewind decodes with the half-built set (a division by zero).
std::vector<uint8_t> ToneWithABrokenCodeBook()
{
    std::vector<uint8_t> ogg = soundsynth::EncodeOggVorbis(soundsynth::Tone(1, 8000, 0.5, 440.0), 0.4f);
    const int64_t setup = PacketOffset(ogg, 2);
    EXPECT_GT(setup, 0);
    ogg[size_t(setup + 238)] ^= 0x20;
    SealPages(ogg);
    return ogg;
}

TEST_F(OggDecoderTest, AStreamWhoseCodeBooksCannotBeBuiltIsRefusedBeforeAnyAudioIsRead)
{
    const std::vector<uint8_t> broken = ToneWithABrokenCodeBook();
    for (bool whole : {false, true})
    {
        WeOggDecoder decoder(broken, whole);
        decoder.SetLoop(true);
        EXPECT_FALSE(decoder.IsOpen());
        EXPECT_TRUE(FillAll(decoder, 4).empty());
    }
}

TEST_F(OggDecoderTest, MusicThatCannotBePlayedIsReportedOnce)
{
    WeForgetUnplayableMusic();
    testing::internal::CaptureStderr();
    WeOggDecoder first("Sound.Music.M99Master", false);
    WeOggDecoder again("sound.music.m99master", false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot open music Sound.Music.M99Master: not found\n");
    EXPECT_FALSE(first.IsOpen() || again.IsOpen());
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

namespace
{

// Two Ogg files back to back behind some leading bytes, in a file of the test's own.
class WholeSoundTest : public OggDecoderTest
{
protected:
    struct Layout
    {
        int64_t firstAt, firstSize, secondAt, secondSize;
    };

    Layout WriteFile(const std::vector<uint8_t>& first, const std::vector<uint8_t>& second)
    {
        std::vector<uint8_t> bytes(37, 0x5A);
        Layout layout{int64_t(bytes.size()), int64_t(first.size()), 0, int64_t(second.size())};
        bytes.insert(bytes.end(), first.begin(), first.end());
        layout.secondAt = int64_t(bytes.size());
        bytes.insert(bytes.end(), second.begin(), second.end());
        TempFolder::WriteBytes(folder / "sounds.bin", bytes);
        EXPECT_TRUE(stream.Open((folder / "sounds.bin").c_str()));
        return layout;
    }

    ALuint DecodeAt(int64_t offset, int64_t size)
    {
        stream.Seek(offset, SEEK_SET);
        const ALuint buffer = WeDecodeWholeSound(stream, size);
        if (buffer != 0)
            buffers.push_back(buffer);
        return buffer;
    }

    void TearDown() override
    {
        stream.Close();
        if (!buffers.empty())
            alDeleteBuffers(ALsizei(buffers.size()), buffers.data());
    }

    TempFolder folder;
    WeFileStream stream;
    std::vector<ALuint> buffers;
};

} // namespace

TEST_F(WholeSoundTest, EachSoundOfAStreamDecodesToItsExactSizeWithoutReadingItsNeighbour)
{
    const int64_t monoFrames = 22050 / 3, stereoFrames = 3 * 44100;
    const Layout at = WriteFile(OggTone(1, 22050, monoFrames), OggTone(2, 44100, stereoFrames));
    const ALuint mono = DecodeAt(at.firstAt, at.firstSize);
    ASSERT_NE(mono, 0u);
    EXPECT_EQ(BufferValue(mono, AL_SIZE), monoFrames * 2);
    EXPECT_EQ(BufferValue(mono, AL_CHANNELS), 1);
    EXPECT_EQ(BufferValue(mono, AL_FREQUENCY), 22050);
    EXPECT_LE(stream.Tell(), at.firstAt + at.firstSize) << "reads stay inside the first sound";

    const int64_t before = WeWholeSoundScratchCapacity();
    const ALuint stereo = DecodeAt(at.secondAt, at.secondSize);
    ASSERT_NE(stereo, 0u);
    EXPECT_EQ(BufferValue(stereo, AL_SIZE), 529200);
    EXPECT_EQ(BufferValue(stereo, AL_CHANNELS), 2);
    EXPECT_EQ(WeWholeSoundScratchCapacity(), std::max<int64_t>(before, 1048576))
        << "powers of two from 64 KB";
}

TEST_F(WholeSoundTest, DataThatIsNotASoundGivesNoBuffer)
{
    const std::vector<uint8_t> tone = OggTone(1, 22050, 5000);
    const Layout at = WriteFile(tone, OggTone(1, 22050, 0));
    EXPECT_EQ(DecodeAt(0, at.firstAt), 0u) << "leading bytes only";
    EXPECT_EQ(DecodeAt(at.firstAt, 300), 0u) << "a sound cut inside its headers";
    EXPECT_EQ(DecodeAt(at.secondAt, at.secondSize), 0u) << "a stream without samples";
    EXPECT_EQ(DecodeAt(at.firstAt, 0), 0u);
    EXPECT_EQ(DecodeAt(at.firstAt, -5), 0u);
}

TEST_F(WholeSoundTest, ASoundWhoseCodeBooksCannotBeBuiltGivesNoBuffer)
{
    const std::vector<uint8_t> broken = ToneWithABrokenCodeBook();
    const Layout layout = WriteFile(broken, OggTone(1, 8000, 4000));
    EXPECT_EQ(DecodeAt(layout.firstAt, layout.firstSize), 0u);
    EXPECT_NE(DecodeAt(layout.secondAt, layout.secondSize), 0u);
}

TEST_F(WholeSoundTest, ADamagedSoundGivesOnlyTheAudioDecodedNowNeverAnEarlierSoundsTail)
{
    // A long loud sound first leaves its PCM in the shared scratch.
    const std::vector<uint8_t> loud = soundsynth::EncodeOggVorbis(soundsynth::NoiseBurst(2, 44100, 2.0, 21));
    std::vector<uint8_t> damaged = soundsynth::EncodeOggVorbis(soundsynth::NoiseBurst(2, 44100, 2.0, 23));
    for (size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i)
        damaged[i] ^= 0xFF;
    const Layout at = WriteFile(loud, damaged);
    ASSERT_NE(DecodeAt(at.firstAt, at.firstSize), 0u);
    const ALuint buffer = DecodeAt(at.secondAt, at.secondSize);
    ASSERT_NE(buffer, 0u);
    // The streaming decoder over the same bytes tells how much audio they really hold.
    WeOggDecoder reference(damaged, false);
    const int64_t held = Sum(FillAll(reference, 10000));
    EXPECT_LT(held, 2 * 44100 * 4) << "the damage cost some audio";
    EXPECT_EQ(BufferValue(buffer, AL_SIZE), held);
}
