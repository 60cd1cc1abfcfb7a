#include "WeClipWriter.h"

#include "dshow/DShowFfmpeg.h"

#include <memory>
#include <vector>

namespace clip
{

namespace
{

constexpr int32_t barCount = 8;
constexpr int32_t barsHeight = 160;
// Blue, green, red of the bars, left to right: white, yellow, cyan, green, magenta, red, blue, black.
constexpr uint8_t barColours[barCount][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                             {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
constexpr uint8_t stripGrey = 32;

// 5 x 7 digits, one row per byte, bit 4 the leftmost column.
constexpr uint8_t digitRows[10][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}};
constexpr int32_t digitScale = 8;
constexpr int32_t digitTop = barsHeight + (height - barsHeight - 7 * digitScale) / 2;
constexpr int32_t digitLefts[2] = {width / 2 - 5 * digitScale - 4, width / 2 + 4};

void Fill(uint8_t* pixel, uint8_t blue, uint8_t green, uint8_t red)
{
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
    pixel[3] = 255;
}

bool DigitCovers(int32_t digit, int32_t x, int32_t y)
{
    const int32_t column = x / digitScale, row = y / digitScale;
    return column < 5 && row < 7 && (digitRows[digit][row] >> (4 - column) & 1) != 0;
}

struct OutputClose
{
    void operator()(AVFormatContext* context) const
    {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

class Encoder
{
public:
    bool Open(const std::string& fileName, Encoding encoding, std::string& problem);
    bool Write(const std::vector<uint8_t>& pixels, int64_t index);
    bool Finish();

private:
    // Sends the frame (null: the end) and writes every packet the encoder has ready.
    bool Send(const AVFrame* frame);

    std::unique_ptr<AVFormatContext, OutputClose> format;
    dshow::CodecHandle codec;
    dshow::FrameHandle frame{av_frame_alloc()};
    dshow::PacketHandle packet{av_packet_alloc()};
    dshow::ScaleHandle scaler;
    AVStream* stream = nullptr;
};

bool Encoder::Open(const std::string& fileName, Encoding encoding, std::string& problem)
{
    AVFormatContext* made = nullptr;
    if (avformat_alloc_output_context2(&made, nullptr, nullptr, fileName.c_str()) < 0 || !made)
    {
        problem = "no container for " + fileName;
        return false;
    }
    format.reset(made);
    format->flags |= AVFMT_FLAG_BITEXACT;
    const bool lossless = encoding == Encoding::lossless;
    const AVCodec* encoder = avcodec_find_encoder(lossless ? AV_CODEC_ID_FFV1 : AV_CODEC_ID_MPEG4);
    codec.reset(encoder ? avcodec_alloc_context3(encoder) : nullptr);
    if (!codec || !frame || !packet)
    {
        problem = "no encoder";
        return false;
    }
    codec->width = width;
    codec->height = height;
    codec->time_base = {1, framesPerSecond};
    codec->framerate = {framesPerSecond, 1};
    codec->pix_fmt = lossless ? AV_PIX_FMT_BGR0 : AV_PIX_FMT_YUV420P;
    codec->flags |= AV_CODEC_FLAG_BITEXACT;
    codec->thread_count = 1;
    if (!lossless)
    {
        codec->gop_size = framesPerSecond / 2;
        codec->flags |= AV_CODEC_FLAG_QSCALE;
        codec->global_quality = FF_QP2LAMBDA * 2;
    }
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    stream = avformat_new_stream(format.get(), nullptr);
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0 || !stream ||
        avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0)
    {
        problem = "the encoder does not open";
        return false;
    }
    stream->time_base = codec->time_base;
    frame->format = codec->pix_fmt;
    frame->width = width;
    frame->height = height;
    scaler.reset(sws_getContext(width, height, AV_PIX_FMT_BGR0, width, height, codec->pix_fmt, SWS_BICUBIC,
                                nullptr, nullptr, nullptr));
    if (av_frame_get_buffer(frame.get(), 0) < 0 || !scaler ||
        avio_open(&format->pb, fileName.c_str(), AVIO_FLAG_WRITE) < 0 ||
        avformat_write_header(format.get(), nullptr) < 0)
    {
        problem = "cannot write " + fileName;
        return false;
    }
    return true;
}

bool Encoder::Write(const std::vector<uint8_t>& pixels, int64_t index)
{
    const uint8_t* planes[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {width * 4, 0, 0, 0};
    if (av_frame_make_writable(frame.get()) < 0 ||
        sws_scale(scaler.get(), planes, strides, 0, height, frame->data, frame->linesize) != height)
        return false;
    frame->pts = index;
    return Send(frame.get());
}

bool Encoder::Send(const AVFrame* sent)
{
    if (avcodec_send_frame(codec.get(), sent) < 0)
        return false;
    for (;;)
    {
        const int received = avcodec_receive_packet(codec.get(), packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return true;
        if (received < 0)
            return false;
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format.get(), packet.get()) < 0)
            return false;
    }
}

bool Encoder::Finish()
{
    return Send(nullptr) && av_write_trailer(format.get()) >= 0;
}

} // namespace

void DrawFrame(int32_t index, uint8_t* pixels, int32_t pitch)
{
    const int32_t digits[2] = {index / 10 % 10, index % 10};
    for (int32_t y = 0; y < height; ++y)
    {
        uint8_t* row = pixels + size_t(y) * size_t(pitch);
        for (int32_t x = 0; x < width; ++x)
        {
            uint8_t* pixel = row + 4 * x;
            if (y < barsHeight)
            {
                const uint8_t* bar = barColours[x * barCount / width];
                Fill(pixel, bar[0], bar[1], bar[2]);
                continue;
            }
            bool lit = false;
            for (int32_t d = 0; d < 2; ++d)
                lit = lit || (x >= digitLefts[d] && y >= digitTop &&
                              DigitCovers(digits[d], x - digitLefts[d], y - digitTop));
            const uint8_t grey = lit ? 255 : stripGrey;
            Fill(pixel, grey, grey, grey);
        }
    }
}

bool WriteClip(const std::string& fileName, Encoding encoding, std::string& problem)
{
    Encoder encoder;
    if (!encoder.Open(fileName, encoding, problem))
        return false;
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    for (int32_t index = 0; index < frameCount; ++index)
    {
        DrawFrame(index, pixels.data(), width * 4);
        if (!encoder.Write(pixels, index))
        {
            problem = "frame " + std::to_string(index) + " does not encode";
            return false;
        }
    }
    if (!encoder.Finish())
    {
        problem = "cannot finish " + fileName;
        return false;
    }
    return true;
}

} // namespace clip
