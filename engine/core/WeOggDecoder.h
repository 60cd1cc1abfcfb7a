#pragma once

// Ogg Vorbis decoding into OpenAL buffers: music streams through a queue of buffers, sound
// effects are decoded whole into one buffer. PCM is always 16-bit signed, interleaved, at the
// file's rate; only mono and stereo files are played.

#include <AL/al.h>

#include <cstdint>
#include <memory>
#include <vector>

class WeString;
class WeFileStream;

// Decodes one music asset for a `WeSoundStream`: 16 buffers of 16 KB, or one buffer holding
// the whole sound. The compressed asset is kept in memory for the decoder's life.
class WeOggDecoder
{
public:
    static constexpr int32_t kChunkBytes = 16384;
    static constexpr int32_t kQueueBuffers = 16;

    // Opens compressed Ogg Vorbis bytes.
    WeOggDecoder(std::vector<uint8_t> data, bool whole);
    // Opens the asset (type "ogg") through the file system. A missing or undecodable asset
    // gives a decoder that is not open, is reported on stderr, and is remembered so that it is
    // not opened again.
    WeOggDecoder(const WeString& name, bool whole);
    ~WeOggDecoder();

    WeOggDecoder(const WeOggDecoder&) = delete;
    WeOggDecoder& operator=(const WeOggDecoder&) = delete;

    // Decodes the next piece of audio into the buffer: a full chunk, or a short one where a
    // track ends (a looping decoder then starts the next chunk at the track's beginning).
    // False, with the buffer untouched, when there is no audio left to give: the end of a
    // track that does not loop, a track that yields no audio at all, or a decoder not open.
    bool FillBuffer(ALuint buffer);

    bool IsOpen() const { return open; }
    bool IsWhole() const { return whole; }
    int32_t GetBufferCount() const { return int32_t(bufferNames.size()); }
    // The decoder's own buffer i (0 when i is out of range).
    ALuint GetBuffer(int32_t i) const;
    // Rewind at the end of the track instead of stopping.
    void SetLoop(bool value) { loop = value; }
    bool GetLoop() const { return loop; }
    // AL_FORMAT_MONO16 or AL_FORMAT_STEREO16 (0 when not open).
    ALenum GetFormat() const { return format; }
    int32_t GetRate() const { return rate; }

    struct Vorbis; // the library's decoder over this decoder's bytes

private:
    // Null once open, else what kept the data from opening (the decoder is then closed).
    const char* Open();
    const char* Start();
    void Close();

    std::vector<uint8_t> data; // the whole compressed asset
    bool open = false;
    bool loop = false;
    bool whole = false;
    std::vector<uint8_t> wholeBuffer; // PCM of the whole sound (whole mode)
    std::vector<ALuint> bufferNames;
    std::unique_ptr<Vorbis> vorbis;
    ALenum format = 0;
    int32_t rate = 0;
};

// Decodes a sound effect asset (type "ogg") whole into a new OpenAL buffer, straight from the
// file system's stream; 0 on any failure, as below, or a missing asset or an empty name.
ALuint WeDecodeWholeSound(const WeString& name);
// Decodes `size` bytes of Ogg Vorbis data, from the stream's position, whole into a new OpenAL
// buffer; reads never leave those bytes. 0 on any failure: not Ogg Vorbis, no audio, more than
// two channels, more than 1 GB of PCM.
ALuint WeDecodeWholeSound(WeFileStream& stream, int64_t size);
// Bytes of the PCM scratch shared by whole-sound decoding; it grows in powers of two from 64 KB.
int64_t WeWholeSoundScratchCapacity();
// Forgets which music assets were found missing or undecodable (audio device shut-down).
void WeForgetUnplayableMusic();
