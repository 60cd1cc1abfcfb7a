#pragma once

// The audio device started for one test, with the game's generated sounds of the package, and
// its volumes and mute counter back at their start values.

#include "AudioTestSupport.h"
#include "WeAudioDevice.h"
#include "WeSound.h"
#include "WeSoundStream.h"
#include "WeTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

class AudioDeviceTest : public ::testing::Test
{
protected:
    static constexpr const char* kEffect = "Sound.Effects.mm_izbor"; // 0.08 s
    static constexpr const char* kLoopEffect = "Sound.Effects.mi_magnet";
    static constexpr const char* kMusic1 = "Sound.Music.M1Master"; // a few seconds
    static constexpr const char* kMusic2 = "Sound.Music.M2Master";

    void SetUp() override
    {
        ASSERT_TRUE(audioDevice.Init());
        Reset();
    }

    void TearDown() override
    {
        Reset();
        audioDevice.Shutdown();
        timer.deltaTime = 0.0f;
    }

    static void Reset()
    {
        while (audioDevice.GetMuteCount() > 0)
            audioDevice.MuteSounds(false);
        audioDevice.SetSoundVolume(1.0f);
        for (int32_t c = 0; c < WeAudioDevice::kChannelCount; ++c)
            audioDevice.SetMusicVolume(1.0f, c);
    }

    // Runs device updates with the given frame time.
    static void Frames(int count, float frameTime)
    {
        timer.deltaTime = frameTime;
        for (int i = 0; i < count; ++i)
            audioDevice.Update();
    }

    // Updates the device every 10 ms until the condition holds; false after `seconds`.
    static bool UpdateUntil(const std::function<bool()>& condition, double seconds)
    {
        timer.deltaTime = 0.01f;
        return audiotest::StepUntil(
            condition, [] { audioDevice.Update(); }, seconds);
    }

    static float Gain(ALuint source)
    {
        ALfloat gain = -1.0f;
        alGetSourcef(source, AL_GAIN, &gain);
        return gain;
    }

    static float MusicGain(int32_t channel) { return Gain(audioDevice.GetMusicStream(channel)->GetSource()); }
};
