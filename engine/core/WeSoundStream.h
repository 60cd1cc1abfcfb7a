#pragma once

// Music: an Ogg Vorbis asset streamed through a queue of buffers on a source of its own.

#include <AL/al.h>

#include <memory>

class WeOggDecoder;
class WeString;

class WeSoundStream
{
public:
    // Makes the stream's source and opens its decoder (whole: one buffer holding the whole
    // sound). A missing or undecodable asset gives a stream that plays nothing.
    WeSoundStream(const WeString& name, bool whole);
    // The same over a decoder of the caller's (music held in memory).
    explicit WeSoundStream(std::unique_ptr<WeOggDecoder> decoder);
    // Stops and deletes the source, then the decoder and its buffers.
    virtual ~WeSoundStream();
    WeSoundStream(const WeSoundStream&) = delete;
    WeSoundStream& operator=(const WeSoundStream&) = delete;

    // Queues as much decoded audio as the decoder's buffers hold and plays it; nothing when it
    // already plays or the track holds no audio. A paused stream goes on where it was.
    void Play(bool loop);
    // Per frame: refills and requeues the buffers that have been played, and starts the source
    // again when it ran dry (a frame longer than the queued audio). A track that does not loop
    // plays out its queue and then the stream stops.
    void Update();
    // Meant to play and not yet run out; a source that ran dry between two updates counts as
    // playing until the next one restarts it.
    bool IsPlaying() const { return state == State::Playing; }
    bool IsPaused() const { return state == State::Paused; }
    void Pause();
    // Goes on after Pause; a stopped stream stays stopped.
    void Resume();
    void Stop();
    void SetVolume(float volume);

    ALuint GetSource() const { return source; }
    const WeOggDecoder& GetDecoder() const { return *decoder; }

private:
    enum class State
    {
        Stopped,
        Playing,
        Paused,
    };

    ALint SourceState() const;

    ALuint source = 0;
    std::unique_ptr<WeOggDecoder> decoder;
    State state = State::Stopped;
};
