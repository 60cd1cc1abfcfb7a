#include "WeOggDecoder.h"

#include "WeAssetType.h"
#include "WeFileStream.h"
#include "WeHashTable.h"
#include "WeVirtualFileSystem.h"

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace
{

constexpr int64_t kMaxPcmBytes = int64_t(1) << 30; // larger sounds are refused
constexpr int64_t kMinScratchBytes = 65536;

// The bytes vorbisfile reads through its callbacks. Positions are relative to the data's start
// and never leave [0, size].
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    virtual size_t Read(void* destination, size_t bytes) = 0;
    // Moves to a position relative to the start, the current position or the end (as fseek).
    virtual int Seek(int64_t offset, int whence) = 0;
    virtual int64_t Tell() const = 0;

protected:
    // The position a seek aims at, clamped to [0, size]; -1 for an unknown origin.
    static int64_t Target(int64_t offset, int whence, int64_t position, int64_t size)
    {
        int64_t base = 0;
        if (whence == SEEK_CUR)
            base = position;
        else if (whence == SEEK_END)
            base = size;
        else if (whence != SEEK_SET)
            return -1;
        return std::clamp(base + offset, int64_t(0), size);
    }
};

// The compressed asset held in memory (music).
class MemorySource : public ByteSource
{
public:
    explicit MemorySource(const std::vector<uint8_t>& bytes) : data(bytes) {}

    size_t Read(void* destination, size_t bytes) override
    {
        const size_t n = std::min(bytes, size_t(int64_t(data.size()) - position));
        if (n > 0)
            std::memcpy(destination, data.data() + position, n);
        position += int64_t(n);
        return n;
    }

    int Seek(int64_t offset, int whence) override
    {
        const int64_t target = Target(offset, whence, position, int64_t(data.size()));
        if (target < 0)
            return -1;
        position = target;
        return 0;
    }

    int64_t Tell() const override { return position; }

private:
    const std::vector<uint8_t>& data;
    int64_t position = 0;
};

// A window of a file stream, read in place: an entry of the package (sound effects).
class StreamSource : public ByteSource
{
public:
    StreamSource(WeFileStream& s, int64_t bytes)
        : stream(s), start(s.Tell()), size(std::max<int64_t>(0, bytes))
    {
    }

    size_t Read(void* destination, size_t bytes) override
    {
        const int64_t n = std::min(int64_t(bytes), start + size - stream.Tell());
        return n < 1 ? 0 : size_t(std::max<int64_t>(0, stream.Read(destination, n)));
    }

    int Seek(int64_t offset, int whence) override
    {
        const int64_t target = Target(offset, whence, Tell(), size);
        return target >= 0 && stream.Seek(start + target, SEEK_SET) ? 0 : -1;
    }

    int64_t Tell() const override { return stream.Tell() - start; }

private:
    WeFileStream& stream;
    const int64_t start;
    const int64_t size;
};

size_t ReadCallback(void* destination, size_t itemSize, size_t count, void* source)
{
    // vorbisfile takes a zero result with errno set for a read error, so errno must be clear.
    errno = 0;
    if (itemSize == 0)
        return 0;
    const size_t bytes = static_cast<ByteSource*>(source)->Read(destination, itemSize * count);
    return bytes / itemSize;
}

int SeekCallback(void* source, ogg_int64_t offset, int whence)
{
    return static_cast<ByteSource*>(source)->Seek(offset, whence);
}

int CloseCallback(void*)
{
    return 0;
}

long TellCallback(void* source)
{
    return long(static_cast<ByteSource*>(source)->Tell());
}

const ov_callbacks kCallbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};

ALenum FormatOf(int channels)
{
    return channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
}

// The whole-sound decoder's scratch: it lives for the run and only grows.
std::vector<uint8_t>& WholeSoundScratch()
{
    static std::vector<uint8_t> scratch;
    return scratch;
}

// Lower-cased names of music assets that are missing or cannot be decoded: the game asks for
// its music every frame while a channel is idle, and such an asset is not opened again.
WeHashTable<bool>& UnplayableMusic()
{
    static WeHashTable<bool> names;
    return names;
}

// The streamed chunks' scratch.
uint8_t* ChunkScratch()
{
    static uint8_t chunk[WeOggDecoder::kChunkBytes];
    return chunk;
}

// A new OpenAL buffer holding the PCM; 0 when OpenAL cannot make one.
ALuint NewBuffer(ALenum format, const uint8_t* pcm, int64_t bytes, int32_t rate)
{
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR)
        return 0;
    alBufferData(buffer, format, pcm, ALsizei(bytes), rate);
    if (alGetError() != AL_NO_ERROR)
    {
        alDeleteBuffers(1, &buffer);
        return 0;
    }
    return buffer;
}

} // namespace

// vorbisfile's state over a byte source, with the layout of the stream it was opened on.
struct WeOggDecoder::Vorbis
{
    ~Vorbis()
    {
        if (open)
            ov_clear(&file);
    }

    // Opens the library's decoder on the source. Null when it holds a mono or stereo Ogg
    // Vorbis stream whose every link the decoder can use, else what is wrong with it.
    const char* Open(std::unique_ptr<ByteSource> bytes)
    {
        source = std::move(bytes);
        open = ov_open_callbacks(source.get(), &file, nullptr, 0, kCallbacks) == 0;
        if (!open)
            return "not an Ogg Vorbis stream";
        for (int link = 0; link < ov_streams(&file); ++link)
            if (!Decodable(ov_info(&file, link)))
                return "a damaged header (sampling rate, channels, block sizes or code books)";
        const vorbis_info* info = ov_info(&file, -1);
        if (info->channels != 1 && info->channels != 2)
            return "neither mono nor stereo";
        channels = info->channels;
        rate = int32_t(info->rate);
        return nullptr;
    }

    // Whether the decoder can be set up for a link. Checked before any audio is read: once the
    // library fails to build a link's code books it keeps the half-built set, and a rewind
    // then decodes with it (a division by a zero book dimension).
    static bool Decodable(vorbis_info* info)
    {
        if (info == nullptr || info->rate < 1 || info->rate > 0x7FFFFFFF || info->channels < 1)
            return false;
        const int shortBlock = vorbis_info_blocksize(info, 0);
        const int longBlock = vorbis_info_blocksize(info, 1);
        if (shortBlock < 64 || longBlock > 8192 || shortBlock > longBlock)
            return false;
        vorbis_dsp_state decoder;
        if (vorbis_synthesis_init(&decoder, info) != 0)
            return false;
        vorbis_dsp_clear(&decoder);
        return true;
    }

    // Bytes of PCM of the whole stream; 0 when unknown, empty, or beyond the supported size.
    int64_t TotalBytes()
    {
        const ogg_int64_t frames = ov_pcm_total(&file, -1);
        if (frames <= 0 || frames > kMaxPcmBytes / (2 * channels))
            return 0;
        return frames * channels * 2;
    }

    // Reads PCM until `bytes` are read or the stream ends (or fails); returns the bytes read.
    // Gaps in the data are skipped; a chained link of another layout ends the stream.
    int64_t Read(uint8_t* destination, int64_t bytes)
    {
        int64_t filled = 0;
        while (filled < bytes && !ended)
        {
            const int want = int(std::min<int64_t>(bytes - filled, 1 << 30));
            int link = 0;
            const long got =
                ov_read(&file, reinterpret_cast<char*>(destination + filled), want, 0, 2, 1, &link);
            if (got == OV_HOLE)
                continue;
            if (got < 1 || !SameLayout(link))
                ended = true;
            else
                filled += got;
        }
        return filled;
    }

    // Back to the first sample; false when the stream cannot seek.
    bool Rewind()
    {
        ended = ov_pcm_seek(&file, 0) != 0;
        return !ended;
    }

    bool SameLayout(int link)
    {
        const vorbis_info* info = ov_info(&file, link);
        return info != nullptr && info->channels == channels && info->rate == rate;
    }

    std::unique_ptr<ByteSource> source;
    OggVorbis_File file{};
    bool open = false;
    bool ended = false;
    int channels = 0;
    int32_t rate = 0;
};

WeOggDecoder::WeOggDecoder(const WeString& name, bool isWhole) : whole(isWhole)
{
    const WeString key = name.ToLower();
    bool known = false;
    if (UnplayableMusic().Find(key, known))
        return;
    WeVirtualFileSystem* files = WeVirtualFileSystem::GetFileSystem();
    const char* problem = "not found";
    if (files->Open(name, WeAssetType::Ogg))
    {
        data.resize(size_t(std::max(0, files->GetFileSize())));
        data.resize(size_t(std::max<int64_t>(0, files->GetStream().Read(data.data(), int64_t(data.size())))));
        files->Close();
        problem = Open();
    }
    if (open)
        return;
    std::fprintf(stderr, "Cannot open music %s: %s\n", name.GetData(), problem);
    UnplayableMusic().Insert(key, true);
}

WeOggDecoder::WeOggDecoder(std::vector<uint8_t> bytes, bool isWhole) : data(std::move(bytes)), whole(isWhole)
{
    Open();
}

WeOggDecoder::~WeOggDecoder()
{
    Close();
}

ALuint WeOggDecoder::GetBuffer(int32_t i) const
{
    return i >= 0 && i < GetBufferCount() ? bufferNames[size_t(i)] : 0;
}

const char* WeOggDecoder::Open()
{
    const char* problem = Start();
    if (problem)
        Close();
    return problem;
}

const char* WeOggDecoder::Start()
{
    vorbis = std::make_unique<Vorbis>();
    if (const char* problem = vorbis->Open(std::make_unique<MemorySource>(data)))
        return problem;
    if (whole)
    {
        const int64_t bytes = vorbis->TotalBytes();
        if (bytes <= 0)
            return "no audio";
        wholeBuffer.resize(size_t(bytes));
    }
    bufferNames.assign(whole ? 1 : kQueueBuffers, 0);
    alGetError();
    alGenBuffers(ALsizei(bufferNames.size()), bufferNames.data());
    if (alGetError() != AL_NO_ERROR)
    {
        bufferNames.clear();
        return "no sound buffers";
    }
    format = FormatOf(vorbis->channels);
    rate = vorbis->rate;
    open = true;
    return nullptr;
}

void WeOggDecoder::Close()
{
    if (!bufferNames.empty())
        alDeleteBuffers(ALsizei(bufferNames.size()), bufferNames.data());
    bufferNames.clear();
    vorbis.reset();
    wholeBuffer.clear();
    open = false;
    format = 0;
    rate = 0;
}

bool WeOggDecoder::FillBuffer(ALuint buffer)
{
    if (!open)
        return false;
    uint8_t* destination = whole ? wholeBuffer.data() : ChunkScratch();
    const int64_t chunk = whole ? int64_t(wholeBuffer.size()) : kChunkBytes;
    int64_t filled = vorbis->Read(destination, chunk);
    // A rewind that yields nothing again ends the track, so a looping stream with no audio
    // cannot spin here.
    if (filled == 0 && loop && vorbis->Rewind())
        filled = vorbis->Read(destination, chunk);
    if (filled == 0)
        return false;
    alBufferData(buffer, format, destination, ALsizei(filled), rate);
    return true;
}

ALuint WeDecodeWholeSound(const WeString& name)
{
    WeVirtualFileSystem* files = WeVirtualFileSystem::GetFileSystem();
    if (name.IsEmpty() || !files->Open(name, WeAssetType::Ogg))
        return 0;
    const ALuint buffer = WeDecodeWholeSound(files->GetStream(), files->GetFileSize());
    files->Close();
    return buffer;
}

ALuint WeDecodeWholeSound(WeFileStream& stream, int64_t size)
{
    WeOggDecoder::Vorbis vorbis;
    if (vorbis.Open(std::make_unique<StreamSource>(stream, size)))
        return 0;
    const int64_t bytes = vorbis.TotalBytes();
    if (bytes <= 0)
        return 0;
    std::vector<uint8_t>& scratch = WholeSoundScratch();
    if (bytes > int64_t(scratch.size()))
    {
        int64_t capacity = kMinScratchBytes;
        while (capacity < bytes)
            capacity *= 2;
        scratch = std::vector<uint8_t>(size_t(capacity));
    }
    // Only what was decoded now goes to the buffer: the scratch's tail holds earlier sounds.
    const int64_t decoded = vorbis.Read(scratch.data(), bytes);
    if (decoded == 0)
        return 0;
    return NewBuffer(FormatOf(vorbis.channels), scratch.data(), decoded, vorbis.rate);
}

int64_t WeWholeSoundScratchCapacity()
{
    return int64_t(WholeSoundScratch().size());
}

void WeForgetUnplayableMusic()
{
    UnplayableMusic().Clear();
}
