#include "dshow/DShowFileSource.h"

#include "dshow/DShowFfmpeg.h"
#include "win32/Win32Files.h"

#include <algorithm>
#include <chrono>

namespace dshow
{

namespace
{

constexpr AVRational referenceTimeBase{1, int(unitsPerSecond)};
constexpr ReferenceTime defaultFrameTime = unitsPerSecond / 25;
// A frame time further than this past its predecessor is taken for damage, not for a pause.
constexpr ReferenceTime largestGap = 5 * unitsPerSecond;

struct FormatClose
{
    void operator()(AVFormatContext* context) const { Ffmpeg()->avformat_close_input(&context); }
};

} // namespace

// One video stream of a file, decoded frame by frame into X8R8G8B8.
class MovieDecoder
{
public:
    HRESULT Open(const std::string& fileName);
    // The next frame at or after the last seek position; false at the end of what can be read.
    bool Next(DecodedFrame& out);
    // Goes back to the key frame before the time; later frames before it are skipped.
    bool Seek(ReferenceTime time);

    MediaType type;
    ReferenceTime duration = 0;

private:
    bool Convert(const AVFrame& decoded, DecodedFrame& out);
    ReferenceTime FrameTime(const AVFrame& decoded) const;

    // Null without FFmpeg's libraries: then no file opens.
    const FfmpegCalls* ff = Ffmpeg();
    std::string fileName;
    std::unique_ptr<AVFormatContext, FormatClose> format;
    CodecHandle codec;
    FrameHandle decoded{ff ? ff->av_frame_alloc() : nullptr};
    PacketHandle packet{ff ? ff->av_packet_alloc() : nullptr};
    ScaleHandle scaler;
    int32_t stream = -1;
    AVRational timeBase{1, 1};
    int64_t startPts = 0;
    bool draining = false;
    ReferenceTime skipBefore = 0;
    ReferenceTime lastTime = -1;
};

HRESULT MovieDecoder::Open(const std::string& name)
{
    // Damaged files are expected here; what FFmpeg makes of them is no news for the console.
    if (!ff)
        return VFW_E_UNKNOWN_FILE_TYPE;
    ff->av_log_set_level(AV_LOG_FATAL);
    fileName = name;
    format.reset();
    codec.reset();
    scaler.reset();
    draining = false;
    skipBefore = 0;
    lastTime = -1;
    if (!decoded || !packet)
        return E_OUTOFMEMORY;
    if (!win32::FileExists(name.c_str()))
        return VFW_E_NOT_FOUND;
    AVFormatContext* opened = nullptr;
    if (ff->avformat_open_input(&opened, name.c_str(), nullptr, nullptr) < 0)
        return VFW_E_UNKNOWN_FILE_TYPE;
    format.reset(opened);
    if (ff->avformat_find_stream_info(format.get(), nullptr) < 0)
        return VFW_E_INVALID_FILE_FORMAT;
    const AVCodec* found = nullptr;
    stream = ff->av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &found, 0);
    if (stream < 0 || !found)
        return VFW_E_UNKNOWN_FILE_TYPE;
    for (uint32_t i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int32_t(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    AVStream& video = *format->streams[stream];
    codec.reset(ff->avcodec_alloc_context3(found));
    if (!codec || ff->avcodec_parameters_to_context(codec.get(), video.codecpar) < 0)
        return E_OUTOFMEMORY;
    codec->thread_count = 1;
    if (ff->avcodec_open2(codec.get(), found, nullptr) < 0)
        return VFW_E_UNKNOWN_FILE_TYPE;
    if (codec->width <= 0 || codec->height <= 0 || codec->width > FileSource::maxDimension ||
        codec->height > FileSource::maxDimension)
        return VFW_E_INVALID_FILE_FORMAT;
    timeBase = video.time_base.num > 0 && video.time_base.den > 0 ? video.time_base : AVRational{1, 25};
    startPts = video.start_time != AV_NOPTS_VALUE ? video.start_time : 0;
    const AVRational rate = ff->av_guess_frame_rate(format.get(), &video, nullptr);
    type.subtype = MediaSubtype::rgb32;
    type.width = codec->width;
    type.height = codec->height;
    type.averageTimePerFrame = rate.num > 0 && rate.den > 0
                                   ? ff->av_rescale_q(1, av_inv_q(rate), referenceTimeBase)
                                   : defaultFrameTime;
    if (type.averageTimePerFrame <= 0 || type.averageTimePerFrame > largestGap)
        type.averageTimePerFrame = defaultFrameTime;
    duration =
        format->duration > 0 ? ff->av_rescale_q(format->duration, AV_TIME_BASE_Q, referenceTimeBase) : 0;
    return S_OK;
}

ReferenceTime MovieDecoder::FrameTime(const AVFrame& frame) const
{
    const ReferenceTime expected = lastTime < 0 ? skipBefore : lastTime + type.averageTimePerFrame;
    const int64_t pts = frame.best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE || pts < startPts)
        return expected;
    const ReferenceTime time = ff->av_rescale_q(pts - startPts, timeBase, referenceTimeBase);
    // Times that run backwards or leap ahead come from damaged data: the frame takes its place
    // in the sequence instead.
    if ((lastTime >= 0 && time <= lastTime) || time > expected + largestGap)
        return expected;
    return time;
}

bool MovieDecoder::Next(DecodedFrame& out)
{
    if (!codec)
        return false;
    for (;;)
    {
        const int received = ff->avcodec_receive_frame(codec.get(), decoded.get());
        if (received == 0)
        {
            const ReferenceTime time = FrameTime(*decoded);
            const bool kept = time + type.averageTimePerFrame / 2 >= skipBefore && Convert(*decoded, out);
            ff->av_frame_unref(decoded.get());
            if (!kept)
                continue;
            out.time = lastTime = time;
            return true;
        }
        if (received != AVERROR(EAGAIN) || draining)
            return false;
        if (ff->av_read_frame(format.get(), packet.get()) < 0)
        {
            // The end, or a file cut off: what the decoder still holds comes out, then the end.
            ff->avcodec_send_packet(codec.get(), nullptr);
            draining = true;
            continue;
        }
        // A damaged packet is refused by the decoder and skipped.
        if (packet->stream_index == stream)
            ff->avcodec_send_packet(codec.get(), packet.get());
        ff->av_packet_unref(packet.get());
    }
}

bool MovieDecoder::Convert(const AVFrame& frame, DecodedFrame& out)
{
    if (frame.width <= 0 || frame.height <= 0 || frame.format < 0)
        return false;
    // Every frame comes out at the stream's size, whatever size a damaged frame claims.
    scaler.reset(ff->sws_getCachedContext(scaler.release(), frame.width, frame.height,
                                          AVPixelFormat(frame.format), type.width, type.height,
                                          AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler)
        return false;
    out.bits.resize(size_t(type.width) * size_t(type.height) * 4);
    uint8_t* planes[4] = {out.bits.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {type.width * 4, 0, 0, 0};
    return ff->sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, planes, strides) > 0;
}

bool MovieDecoder::Seek(ReferenceTime time)
{
    if (!codec)
        return false;
    const int64_t target = ff->av_rescale_q(time, referenceTimeBase, timeBase) + startPts;
    if (ff->av_seek_frame(format.get(), stream, target, AVSEEK_FLAG_BACKWARD) < 0)
    {
        // A file that cannot seek is read again from its start.
        if (Failed(Open(fileName)))
            return false;
    }
    else
    {
        ff->avcodec_flush_buffers(codec.get());
        draining = false;
    }
    skipBefore = time;
    lastTime = -1;
    return true;
}

// FileSource

FileSource::FileSource() : decoder(std::make_unique<MovieDecoder>())
{
    AddPin(PINDIR_OUTPUT);
}

FileSource::~FileSource()
{
    EndStreaming();
}

HRESULT FileSource::Create(const std::string& fileName, FileSource** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    auto* source = new FileSource;
    HRESULT result = source->decoder->Open(win32::NormalizePath(fileName.c_str()));
    if (!Failed(result) && !source->decoder->Next(source->frame))
        result = VFW_E_INVALID_FILE_FORMAT;
    if (Failed(result))
    {
        source->Release();
        return result;
    }
    source->type = source->decoder->type;
    source->duration = source->decoder->duration;
    source->framePending = true;
    source->position = source->frame.time;
    *out = source;
    return S_OK;
}

HRESULT FileSource::PinGetMediaType(const Pin&, MediaType* out) const
{
    *out = type;
    return S_OK;
}

HRESULT FileSource::Run()
{
    if (GetState() == State_Running)
        return S_OK;
    BaseFilter::Run();
    StartStreaming();
    return S_OK;
}

HRESULT FileSource::Stop()
{
    EndStreaming();
    return BaseFilter::Stop();
}

void FileSource::StartStreaming()
{
    if (OutputPin().Peer() && !streaming.joinable())
    {
        stopping = false;
        streaming = std::thread([this] { Stream(); });
    }
}

void FileSource::EndStreaming()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (streaming.joinable())
        streaming.join();
}

template <typename Change> HRESULT FileSource::WhileHalted(Change change)
{
    EndStreaming();
    const HRESULT result = change();
    if (GetState() == State_Running)
        StartStreaming();
    return result;
}

ReferenceTime FileSource::CurrentPosition() const
{
    std::lock_guard lock(mutex);
    return position;
}

HRESULT FileSource::SetPosition(ReferenceTime target)
{
    return WhileHalted(
        [&]
        {
            target = std::clamp<ReferenceTime>(target, 0, duration);
            framePending = false;
            position = target;
            return decoder->Seek(target) ? S_OK : E_FAIL;
        });
}

HRESULT FileSource::SetRate(double newRate)
{
    if (!(newRate > 0.0))
        return E_INVALIDARG;
    return WhileHalted(
        [&]
        {
            rate = newRate;
            return S_OK;
        });
}

double FileSource::Rate() const
{
    std::lock_guard lock(mutex);
    return rate;
}

void FileSource::Stream()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::unique_lock lock(mutex);
    const ReferenceTime base = position;
    Pin& receiver = *OutputPin().Peer();
    for (;;)
    {
        if (!framePending)
        {
            // Only this thread touches the decoder while it runs.
            lock.unlock();
            const bool decodedOne = decoder->Next(frame);
            lock.lock();
            if (!decodedOne)
                break;
            framePending = true;
        }
        const double seconds = double(std::max<ReferenceTime>(frame.time - base, 0)) / double(unitsPerSecond);
        const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(seconds / rate));
        if (wake.wait_until(lock, due, [this] { return stopping; }))
            return;
        lock.unlock();
        receiver.Receive(
            {frame.bits.data(), type.width * 4, frame.time, frame.time + type.averageTimePerFrame});
        lock.lock();
        framePending = false;
        position = frame.time + type.averageTimePerFrame;
    }
    lock.unlock();
    receiver.EndOfStream();
}

} // namespace dshow
