// Owning handles of FFmpeg's objects, for the file source and the tools that write clips.
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

struct CodecFree
{
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleFree
{
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using CodecHandle = std::unique_ptr<AVCodecContext, CodecFree>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFree>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFree>;
using ScaleHandle = std::unique_ptr<SwsContext, ScaleFree>;

} // namespace dshow
