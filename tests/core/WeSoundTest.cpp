#include "AudioDeviceFixture.h"
#include "WeConfig.h"

#include <memory>
#include <vector>

using namespace audiotest;

namespace
{

using SoundTest = AudioDeviceTest;

std::array<float, 3> SourcePosition(ALuint source)
{
    std::array<float, 3> p{-1, -1, -1};
    alGetSource3f(source, AL_POSITION, &p[0], &p[1], &p[2]);
    return p;
}

} // namespace

// ---- the source pool ----

TEST_F(SoundTest, SixtyFourSourcesPlayAtOnceAndTheNextOneWaitsForAFreeSlot)
{
    std::vector<std::unique_ptr<WeSound>> sounds;
    for (int i = 0; i < WeSoundSourcePool::kSlotCount + 1; ++i)
    {
        sounds.push_back(std::make_unique<WeSound>(kLoopEffect, 0));
        sounds.back()->Play(true);
    }
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_TRUE(sounds[size_t(i)]->IsPlaying()) << i;
    EXPECT_EQ(sounds.back()->GetSource(), nullptr) << "no playing source is taken away";
    EXPECT_FALSE(sounds.back()->IsPlaying());
    EXPECT_EQ(sounds[0]->GetSource()->GetSource() != sounds[1]->GetSource()->GetSource(), true);

    sounds[10]->Stop();
    sounds.back()->Play(true);
    EXPECT_FALSE(sounds.back()->IsPlaying()) << "the stopped source is collected by the next update";
    audioDevice.Update();
    EXPECT_EQ(sounds[10]->GetSource(), nullptr);
    sounds.back()->Play(true);
    EXPECT_TRUE(sounds.back()->IsPlaying());
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 64);
}

TEST_F(SoundTest, ADestroyedSoundPlaysToItsEndAndItsSlotIsFreedAfterwards)
{
    WePlaySound(kEffect);
    ASSERT_EQ(soundSourcePool.GetUsedCount(), 1);
    audioDevice.Update();
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 1) << "still playing";
    EXPECT_TRUE(UpdateUntil([] { return soundSourcePool.GetUsedCount() == 0; }, 10.0));
}

TEST_F(SoundTest, AnUnplayedSoundLosesItsSourceAndTakesANewOneWhenPlayed)
{
    WeSound sound(kEffect, 0);
    ASSERT_NE(sound.GetSource(), nullptr);
    audioDevice.Update();
    EXPECT_EQ(sound.GetSource(), nullptr);
    sound.Play(false);
    ASSERT_NE(sound.GetSource(), nullptr);
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_EQ(SourceValue(sound.GetSource()->GetSource(), AL_SOURCE_RELATIVE), AL_TRUE);
}

TEST_F(SoundTest, AMissingSoundIsSilentAndTakesNoSource)
{
    WeSound sound("Sound.Effects.nothing_here", 0);
    EXPECT_EQ(sound.GetSource(), nullptr);
    sound.Play(true);
    sound.SetVolume(0.5f);
    sound.Stop();
    EXPECT_FALSE(sound.IsPlaying());
    WePlaySound("Sound.Effects.nothing_here");
    WePlaySound("");
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 0);
}

TEST_F(SoundTest, EveryInstanceOfASoundSharesOneDecodedBufferWhateverTheLetterCase)
{
    WeSound a("Sound.Effects.mi_bonus", 0);
    WeSound b("SOUND.EFFECTS.MI_BONUS", 0);
    ASSERT_NE(a.GetSource(), nullptr);
    ASSERT_NE(b.GetSource(), nullptr);
    const ALint buffer = SourceValue(a.GetSource()->GetSource(), AL_BUFFER);
    EXPECT_NE(buffer, 0);
    EXPECT_EQ(SourceValue(b.GetSource()->GetSource(), AL_BUFFER), buffer);
    EXPECT_EQ(soundBufferCache.GetCount(), 1);
}

// ---- the volume balance ----

TEST_F(SoundTest, TheBalanceFactorScalesTheEffectsVolumeAndIsMatchedWithExactCase)
{
    audioDevice.Shutdown();
    float* factor = &WeConfig::GetFloat("engine.SoundBalance.Sound.Effects.mi_bonus", 1.0f);
    *factor = 0.5f;
    WeConfig::GetFloat("engine.SoundBalance.Sound.Effects.MI_TESTSOUND", 1.0f) = 0.1f;
    ASSERT_TRUE(audioDevice.Init());
    audioDevice.SetSoundVolume(0.8f);

    WeSound bonus("Sound.Effects.mi_bonus", 0);
    bonus.Play(false);
    EXPECT_FLOAT_EQ(Gain(bonus.GetSource()->GetSource()), 0.4f);
    WeSound test("Sound.Effects.mi_TestSound", 0);
    test.Play(false);
    EXPECT_FLOAT_EQ(Gain(test.GetSource()->GetSource()), 0.8f) << "another letter case is another sound";

    audioDevice.MuteSounds(true);
    bonus.Play(false);
    EXPECT_FLOAT_EQ(Gain(bonus.GetSource()->GetSource()), 0.0f);
    audioDevice.MuteSounds(false);
    EXPECT_FLOAT_EQ(Gain(bonus.GetSource()->GetSource()), 0.4f) << "unmuting applies the factor";

    *factor = 0.25f;
    bonus.Stop();
    bonus.Play(false);
    EXPECT_FLOAT_EQ(Gain(bonus.GetSource()->GetSource()), 0.2f) << "a later change of the key applies";
    *factor = 1.0f;
}

// ---- positional sounds ----

TEST_F(SoundTest, APositionalSoundBeyondItsRangeDoesNotStart)
{
    WeSound3D sound(kLoopEffect, 0);
    EXPECT_FLOAT_EQ(sound.GetRange(), 100.0f);
    sound.SetPosition(150.0f, 0.0f, 0.0f);
    sound.Play(true);
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_FALSE(audioDevice.IsRegistered(&sound));
    sound.SetRange(200.0f);
    sound.Play(true);
    EXPECT_TRUE(sound.IsPlaying());
    EXPECT_TRUE(audioDevice.IsRegistered(&sound));
    const ALuint source = sound.GetSource()->GetSource();
    EXPECT_EQ(SourceValue(source, AL_SOURCE_RELATIVE), AL_FALSE);
    ALfloat distance = 0;
    alGetSourcef(source, AL_MAX_DISTANCE, &distance);
    EXPECT_FLOAT_EQ(distance, 200.0f);
    alGetSourcef(source, AL_REFERENCE_DISTANCE, &distance);
    EXPECT_FLOAT_EQ(distance, 100.0f);
}

TEST_F(SoundTest, ARegisteredLoopingSoundThatLeavesItsRangeIsStopped)
{
    WeSound3D looping(kLoopEffect, 0);
    WeSound3D once(kLoopEffect, 0);
    looping.Play(true);
    once.Play(false);
    ASSERT_TRUE(looping.IsPlaying());
    looping.SetPosition(0.0f, 0.0f, 120.0f);
    once.SetPosition(0.0f, 0.0f, 120.0f);
    audioDevice.Update();
    EXPECT_FALSE(looping.IsPlaying());
    EXPECT_TRUE(once.IsPlaying()) << "only looping sounds are stopped";
    EXPECT_TRUE(audioDevice.IsRegistered(&looping)) << "it stays registered";
}

TEST_F(SoundTest, ARangeOfZeroExemptsASoundFromRangeTests)
{
    WeSound3D sound(kLoopEffect, 0);
    sound.Play(true);
    sound.SetRange(0.0f);
    sound.SetPosition(5000.0f, 0.0f, 0.0f);
    audioDevice.Update();
    EXPECT_TRUE(sound.IsPlaying());
    sound.Play(true);
    EXPECT_TRUE(sound.IsPlaying());
}

TEST_F(SoundTest, ADeletedPositionalSoundIsNeverLeftRegistered)
{
    auto sound = std::make_unique<WeSound3D>(kLoopEffect, 0);
    const WeSound3D* address = sound.get();
    sound->Play(true);
    ASSERT_TRUE(audioDevice.IsRegistered(address));
    sound->SetRange(0.0f);
    sound.reset();
    EXPECT_FALSE(audioDevice.IsRegistered(address));
    audioDevice.Update(); // would reach the deleted sound otherwise
}

TEST_F(SoundTest, APositionalSoundGivenANewSourceKeepsItsPlaceAndRange)
{
    WeSound3D sound(kEffect, 0);
    sound.SetRange(50.0f);
    sound.SetPosition(3.0f, 4.0f, 0.0f);
    audioDevice.Update(); // the unplayed source is collected
    ASSERT_EQ(sound.GetSource(), nullptr);
    float x = 0, y = 0, z = 0;
    sound.GetPosition(x, y, z);
    EXPECT_EQ((std::array<float, 3>{x, y, z}), (std::array<float, 3>{3.0f, 4.0f, 0.0f}));
    sound.Play(false);
    ASSERT_NE(sound.GetSource(), nullptr);
    const ALuint source = sound.GetSource()->GetSource();
    EXPECT_EQ(SourcePosition(source), (std::array<float, 3>{3.0f, 4.0f, 0.0f}));
    EXPECT_EQ(SourceValue(source, AL_SOURCE_RELATIVE), AL_FALSE);
    ALfloat distance = 0;
    alGetSourcef(source, AL_MAX_DISTANCE, &distance);
    EXPECT_FLOAT_EQ(distance, 50.0f);
}
