// The audio device (global audioDevice), as far as the engine object drives it so far: it opens
// and closes the OpenAL device and its context. Music, sounds and volumes come with the audio.
#pragma once

#include <AL/alc.h>

class WeAudioDevice
{
public:
    // Opens the default output device and makes a context current on it; false with the text
    // "Error: Cannot create OpenAL device" (or "... context") in the engine's lastError.
    bool Init();
    void Update();
    // Releases whatever of the context and the device is open.
    void Shutdown();

    bool initialised = false;
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
};

extern WeAudioDevice audioDevice;
