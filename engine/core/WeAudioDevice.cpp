#include "WeAudioDevice.h"

#include "WeEngine.h"

#include <AL/alc.h>

bool WeAudioDevice::Init()
{
    if (initialised)
        return true;
    device = alcOpenDevice(nullptr);
    if (!device)
    {
        engine.lastError = "Error: Cannot create OpenAL device";
        return false;
    }
    context = alcCreateContext(device, nullptr);
    if (!context || !alcMakeContextCurrent(context))
    {
        engine.lastError = "Error: Cannot create OpenAL context";
        Shutdown();
        return false;
    }
    initialised = true;
    return true;
}

void WeAudioDevice::Update() {}

void WeAudioDevice::Shutdown()
{
    alcMakeContextCurrent(nullptr);
    if (context)
        alcDestroyContext(context);
    if (device)
        alcCloseDevice(device);
    context = nullptr;
    device = nullptr;
    initialised = false;
}
