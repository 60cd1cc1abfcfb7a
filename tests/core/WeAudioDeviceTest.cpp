#include "AudioDeviceFixture.h"
#include "WeConfig.h"
#include "WeOggDecoder.h"

using namespace audiotest;

// ---- start-up and shut-down ----

TEST_F(AudioDeviceTest, InitIsIdempotentAndShutdownReleasesEverything)
{
    EXPECT_TRUE(audioDevice.IsInitialised());
    EXPECT_NE(alcGetCurrentContext(), nullptr) << "the named Windows device falls back to the default one";
    EXPECT_TRUE(audioDevice.Init());
    WePlaySound(kEffect);
    audioDevice.PlayMusic(kMusic1, true, 2, 0.0f, false);
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 1);
    EXPECT_EQ(soundBufferCache.GetCount(), 1);

    audioDevice.Shutdown();
    EXPECT_FALSE(audioDevice.IsInitialised());
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 0);
    EXPECT_FALSE(soundSourcePool.IsEnabled());
    EXPECT_EQ(soundBufferCache.GetCount(), 0);
    EXPECT_FALSE(soundAttenuator.IsLoaded());
    EXPECT_EQ(audioDevice.GetMusicStream(2), nullptr);
    audioDevice.Shutdown(); // a second time does nothing

    ASSERT_TRUE(audioDevice.Init());
    WePlaySound(kEffect);
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 1) << "a restarted device plays again";
}

TEST_F(AudioDeviceTest, ABackgroundOpeningIsTakenByInitOrClosedByShutdown)
{
    for (const bool shutDownFirst : {false, true})
    {
        audioDevice.Shutdown();
        audioDevice.BeginOpen();
        audioDevice.BeginOpen(); // already opening: nothing more
        if (shutDownFirst)
        {
            audioDevice.Shutdown();
            EXPECT_FALSE(audioDevice.IsInitialised());
        }
        ASSERT_TRUE(audioDevice.Init()) << shutDownFirst;
        EXPECT_NE(alcGetCurrentContext(), nullptr) << shutDownFirst;
        WePlaySound(kEffect);
        EXPECT_EQ(soundSourcePool.GetUsedCount(), 1) << shutDownFirst;
    }
    audioDevice.BeginOpen(); // initialised: nothing to open
    audioDevice.Shutdown();
    EXPECT_EQ(alcGetCurrentContext(), nullptr);
}

TEST_F(AudioDeviceTest, WithoutInitEverythingButTheListedOperationsDoesNothing)
{
    audioDevice.Shutdown();
    const int32_t mutes = audioDevice.GetMuteCount();
    audioDevice.MuteSounds(true);
    EXPECT_EQ(audioDevice.GetMuteCount(), mutes);
    audioDevice.PlayMusic(kMusic1, false, 0, 0.0f, false);
    EXPECT_EQ(audioDevice.GetMusicStream(0), nullptr);
    EXPECT_FALSE(audioDevice.IsMusicPlaying(0));
    audioDevice.SetMusicVolume(0.3f, 0);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(0), 1.0f);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(4), 0.0f);
    audioDevice.Update();
    WePlaySound(kEffect);
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 0);
}

TEST_F(AudioDeviceTest, DopplerFactorComesFromConfigurationClampedToZeroToTen)
{
    float* doppler = &WeConfig::GetFloat("engine.Sound.Doppler", 0.5f);
    const float saved = *doppler;
    for (const auto& [value, expected] : {std::pair{20.0f, 10.0f}, {-1.0f, 0.0f}, {0.5f, 0.5f}, {3.0f, 3.0f}})
    {
        audioDevice.Shutdown();
        *doppler = value;
        ASSERT_TRUE(audioDevice.Init());
        EXPECT_FLOAT_EQ(alGetFloat(AL_DOPPLER_FACTOR), expected) << value;
    }
    *doppler = saved;
}

// ---- music channels and fades ----

TEST_F(AudioDeviceTest, ChannelsAboveThreeAreIgnored)
{
    for (int32_t channel : {4, -1, 100})
    {
        audioDevice.PlayMusic(kMusic1, false, channel, 0.0f, false);
        audioDevice.SetMusicVolume(0.5f, channel);
        audioDevice.StopMusic(channel);
        EXPECT_FALSE(audioDevice.IsMusicPlaying(channel));
        EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(channel), 0.0f);
        EXPECT_EQ(audioDevice.GetMusicStream(channel), nullptr);
    }
}

TEST_F(AudioDeviceTest, CrossFadeOutThenInAtTheChannelVolume)
{
    audioDevice.PlayMusic(kMusic1, true, 0, 0.0f, false);
    ASSERT_TRUE(audioDevice.IsMusicPlaying(0));
    WeSoundStream* old = audioDevice.GetMusicStream(0);
    audioDevice.PlayMusic(kMusic2, true, 0, 2.0f, false);
    EXPECT_EQ(audioDevice.GetMusicStream(0), old) << "the old music fades out first";
    EXPECT_TRUE(audioDevice.IsFading(0));

    Frames(2, 0.25f);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(0), 0.5f);
    EXPECT_FLOAT_EQ(MusicGain(0), 0.5f);
    Frames(2, 0.25f);
    WeSoundStream* fresh = audioDevice.GetMusicStream(0);
    EXPECT_NE(fresh, old) << "after half the fade the new track starts";
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(0), 0.0f);
    EXPECT_TRUE(audioDevice.IsMusicPlaying(0));
    Frames(2, 0.25f);
    EXPECT_NEAR(audioDevice.GetMusicVolume(0), 0.5f, 1e-5f);
    EXPECT_EQ(audioDevice.GetMusicStream(0), fresh)
        << "a fade-out ending exactly on zero starts the track once";
    Frames(2, 0.25f);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(0), 1.0f);
    EXPECT_FALSE(audioDevice.IsFading(0));
    Frames(2, 0.25f);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(0), 1.0f);
    EXPECT_EQ(audioDevice.GetMusicStream(0), fresh);
}

TEST_F(AudioDeviceTest, AFadeOnAnIdleChannelStartsTheTrackAtOnceAndFadesItIn)
{
    audioDevice.SetMusicVolume(0.8f, 1);
    audioDevice.PlayMusic(kMusic1, false, 1, 1.0f, true);
    ASSERT_TRUE(audioDevice.IsMusicPlaying(1));
    EXPECT_TRUE(audioDevice.GetMusicStream(1)->GetDecoder().IsWhole());
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(1), 0.0f);
    Frames(1, 0.25f);
    EXPECT_NEAR(audioDevice.GetMusicVolume(1), 0.4f, 1e-5f);
    Frames(1, 0.25f);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(1), 0.8f);
    EXPECT_FALSE(audioDevice.IsFading(1));
}

TEST_F(AudioDeviceTest, AReplacementWithoutFadeEndsARunningFade)
{
    audioDevice.PlayMusic(kMusic1, true, 0, 0.0f, false);
    audioDevice.PlayMusic(kMusic2, true, 0, 2.0f, false);
    Frames(1, 0.25f);
    audioDevice.PlayMusic(kMusic1, true, 0, 0.0f, false);
    WeSoundStream* now = audioDevice.GetMusicStream(0);
    EXPECT_FALSE(audioDevice.IsFading(0));
    const float volume = audioDevice.GetMusicVolume(0);
    Frames(8, 0.25f);
    EXPECT_EQ(audioDevice.GetMusicStream(0), now) << "the queued music does not start later";
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(0), volume);
}

TEST_F(AudioDeviceTest, MusicGainIsTheMasterVolumeTimesTheChannelVolume)
{
    float* master = &WeConfig::GetFloat("engine.Sound.GlobalMusicVolume3", 1.0f);
    const float saved = *master;
    *master = 0.5f;
    audioDevice.PlayMusic(kMusic1, false, 3, 0.0f, false);
    audioDevice.SetMusicVolume(0.6f, 3);
    EXPECT_FLOAT_EQ(MusicGain(3), 0.3f);
    // A later change of the key applies through the listener.
    *master = 0.25f;
    audioDevice.OnMusicVolumeKeyChanged("engine.Sound.GlobalMusicVolume3");
    EXPECT_FLOAT_EQ(MusicGain(3), 0.15f);
    EXPECT_FLOAT_EQ(audioDevice.GetMusicVolume(3), 0.6f);
    // Keys that do not end in a channel's digit change nothing.
    *master = 1.0f;
    for (const char* key : {"engine.Sound.GlobalMusicVolume", "engine.Sound.GlobalMusicVolume7", "x"})
        audioDevice.OnMusicVolumeKeyChanged(key);
    EXPECT_FLOAT_EQ(MusicGain(3), 0.15f);
    *master = saved;
}

TEST_F(AudioDeviceTest, StopPauseAndResumeMusic)
{
    audioDevice.PlayMusic(kMusic1, false, 0, 0.0f, false);
    audioDevice.PauseMusic(0);
    EXPECT_FALSE(audioDevice.IsMusicPlaying(0));
    audioDevice.ResumeMusic(0);
    EXPECT_TRUE(audioDevice.IsMusicPlaying(0));
    audioDevice.StopMusic(0);
    EXPECT_FALSE(audioDevice.IsMusicPlaying(0));
    EXPECT_NE(audioDevice.GetMusicStream(0), nullptr) << "a stopped stream stays allocated";
    audioDevice.ResumeMusic(0);
    EXPECT_FALSE(audioDevice.IsMusicPlaying(0)) << "the next track follows a stopped one";
}

TEST_F(AudioDeviceTest, MissingMusicPlaysNothing)
{
    for (int i = 0; i < 3; ++i)
    {
        audioDevice.PlayMusic("Sound.Music.M99Master", false, 0, 0.0f, false);
        EXPECT_FALSE(audioDevice.IsMusicPlaying(0));
        EXPECT_FALSE(audioDevice.GetMusicStream(0)->GetDecoder().IsOpen());
        audioDevice.Update();
    }
}

// ---- effects volume and mute counter ----

TEST_F(AudioDeviceTest, EffectsStayMutedWhileAnyMuteIsOutstanding)
{
    WeSound sound(kLoopEffect, 0);
    sound.Play(true);
    const ALuint source = sound.GetSource()->GetSource();
    audioDevice.SetSoundVolume(0.7f);
    EXPECT_FLOAT_EQ(Gain(source), 0.7f);
    audioDevice.MuteSounds(true);
    audioDevice.MuteSounds(true);
    audioDevice.MuteSounds(false);
    EXPECT_EQ(audioDevice.GetMuteCount(), 1);
    EXPECT_FLOAT_EQ(Gain(source), 0.0f);
    audioDevice.SetSoundVolume(0.9f);
    EXPECT_FLOAT_EQ(audioDevice.GetSoundVolume(), 0.9f);
    EXPECT_FLOAT_EQ(Gain(source), 0.0f) << "the volume is stored, the source stays silent";
    audioDevice.MuteSounds(false);
    EXPECT_FLOAT_EQ(Gain(source), 0.9f);
    audioDevice.MuteSounds(false);
    EXPECT_EQ(audioDevice.GetMuteCount(), 0) << "an unmatched unmute does not mute";
    EXPECT_FLOAT_EQ(Gain(source), 0.9f);
}

TEST(AudioHelpers, CheckingTheErrorStateClearsItAndReportsNothing)
{
    ScopedContext context;
    ASSERT_TRUE(context.Ready());
    alSourcePlay(0xDEAD); // no such source
    EXPECT_FALSE(WeCheckALError());
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
}
