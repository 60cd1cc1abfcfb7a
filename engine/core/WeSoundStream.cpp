#include "WeSoundStream.h"

#include "WeOggDecoder.h"
#include "WeString.h"

WeSoundStream::WeSoundStream(const WeString& name, bool whole)
    : WeSoundStream(std::make_unique<WeOggDecoder>(name, whole))
{
}

WeSoundStream::WeSoundStream(std::unique_ptr<WeOggDecoder> streamDecoder) : decoder(std::move(streamDecoder))
{
    alGetError();
    alGenSources(1, &source);
    if (alGetError() != AL_NO_ERROR)
        source = 0;
    else
    {
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    }
}

WeSoundStream::~WeSoundStream()
{
    if (source != 0)
    {
        alSourceStop(source);
        alDeleteSources(1, &source);
    }
}

ALint WeSoundStream::SourceState() const
{
    ALint value = AL_STOPPED;
    if (source != 0)
        alGetSourcei(source, AL_SOURCE_STATE, &value);
    return value;
}

void WeSoundStream::Play(bool loop)
{
    if (source == 0 || state == State::Playing)
        return;
    if (state == State::Paused)
    {
        decoder->SetLoop(loop);
        return Resume();
    }
    // Whatever an earlier play left queued is dropped; only buffers that received audio are
    // queued, since OpenAL refuses empty ones.
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    int32_t queued = 0;
    for (int32_t i = 0; i < decoder->GetBufferCount(); ++i)
    {
        ALuint buffer = decoder->GetBuffer(i);
        if (!decoder->FillBuffer(buffer))
            break;
        alSourceQueueBuffers(source, 1, &buffer);
        ++queued;
    }
    decoder->SetLoop(loop);
    if (queued == 0)
        return;
    state = State::Playing;
    alSourcePlay(source);
}

void WeSoundStream::Update()
{
    if (state != State::Playing)
        return;
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed)
    {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        // A buffer the decoder cannot refill stays out of the queue, so it is never heard twice.
        if (decoder->FillBuffer(buffer))
            alSourceQueueBuffers(source, 1, &buffer);
    }
    ALint queued = 0;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    if (queued == 0)
        state = State::Stopped;
    else if (SourceState() != AL_PLAYING)
        alSourcePlay(source);
}

void WeSoundStream::Pause()
{
    if (state != State::Playing)
        return;
    alSourcePause(source);
    state = State::Paused;
}

void WeSoundStream::Resume()
{
    if (state != State::Paused)
        return;
    state = State::Playing;
    alSourcePlay(source);
}

void WeSoundStream::Stop()
{
    if (source != 0)
        alSourceStop(source);
    state = State::Stopped;
}

void WeSoundStream::SetVolume(float volume)
{
    if (source != 0)
        alSourcef(source, AL_GAIN, volume);
}
