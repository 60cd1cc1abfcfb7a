// FFmpeg's calls for the file source, from its libraries opened on the first movie, and owning
// handles of FFmpeg's objects, for the file source and the tools that write clips. The program
// does not link FFmpeg: its libraries and the hundred-odd libraries they need are loaded only
// when a movie is opened, not at every start.
#pragma once

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <memory>

namespace dshow
{

// The libraries by the names they have for the major versions the headers describe, each after
// those it needs.
inline constexpr const char* ffmpegLibraries[] = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
};

// Each call with the name and type of FFmpeg's function of that name.
#define DSHOW_FFMPEG_CALLS(CALL)                                                                             \
    CALL(av_log_set_level)                                                                                   \
    CALL(av_frame_alloc)                                                                                     \
    CALL(av_frame_free)                                                                                      \
    CALL(av_frame_unref)                                                                                     \
    CALL(av_packet_alloc)                                                                                    \
    CALL(av_packet_free)                                                                                     \
    CALL(av_packet_unref)                                                                                    \
    CALL(av_rescale_q)                                                                                       \
    CALL(avformat_open_input)                                                                                \
    CALL(avformat_find_stream_info)                                                                          \
    CALL(avformat_close_input)                                                                               \
    CALL(av_find_best_stream)                                                                                \
    CALL(av_guess_frame_rate)                                                                                \
    CALL(av_read_frame)                                                                                      \
    CALL(av_seek_frame)                                                                                      \
    CALL(avcodec_alloc_context3)                                                                             \
    CALL(avcodec_free_context)                                                                               \
    CALL(avcodec_parameters_to_context)                                                                      \
    CALL(avcodec_open2)                                                                                      \
    CALL(avcodec_send_packet)                                                                                \
    CALL(avcodec_receive_frame)                                                                              \
    CALL(avcodec_flush_buffers)                                                                              \
    CALL(sws_getCachedContext)                                                                               \
    CALL(sws_scale)                                                                                          \
    CALL(sws_freeContext)

struct FfmpegCalls
{
#define DSHOW_FFMPEG_FIELD(name) decltype(&::name) name = nullptr;
    DSHOW_FFMPEG_CALLS(DSHOW_FFMPEG_FIELD)
#undef DSHOW_FFMPEG_FIELD
};

// The calls, the libraries opened on the first use and kept for the process; null when a
// library or a call is missing (no movie can be read then).
const FfmpegCalls* Ffmpeg();

struct CodecFree
{
    void operator()(AVCodecContext* context) const { Ffmpeg()->avcodec_free_context(&context); }
};
struct FrameFree
{
    void operator()(AVFrame* frame) const { Ffmpeg()->av_frame_free(&frame); }
};
struct PacketFree
{
    void operator()(AVPacket* packet) const { Ffmpeg()->av_packet_free(&packet); }
};
struct ScaleFree
{
    void operator()(SwsContext* context) const { Ffmpeg()->sws_freeContext(context); }
};

using CodecHandle = std::unique_ptr<AVCodecContext, CodecFree>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFree>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFree>;
using ScaleHandle = std::unique_ptr<SwsContext, ScaleFree>;

} // namespace dshow
