#include "SoundSynth.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace soundsynth
{
namespace
{

constexpr double kRamp = 0.005; // seconds of attack and release of every generated sound

// Owns the encoder's library state for the length of one encoding.
class Encoder
{
public:
    Encoder(int channels, int rate, float quality, uint32_t serial)
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
        ready = vorbis_encode_init_vbr(&info, channels, rate, quality) == 0;
        if (ready)
        {
            vorbis_analysis_init(&dsp, &info);
            vorbis_block_init(&dsp, &block);
            ogg_stream_init(&stream, int(serial));
        }
    }

    ~Encoder()
    {
        if (ready)
        {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }

    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    bool Ready() const { return ready; }

    void WriteHeaders(std::vector<uint8_t>& out)
    {
        ogg_packet id, comments, codebooks;
        vorbis_analysis_headerout(&dsp, &comment, &id, &comments, &codebooks);
        ogg_stream_packetin(&stream, &id);
        ogg_stream_packetin(&stream, &comments);
        ogg_stream_packetin(&stream, &codebooks);
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0)
            AppendPage(page, out);
    }

    // Hands `frames` frames (none: the end of the stream) to the encoder and collects its pages.
    void Write(const int16_t* samples, int channels, int frames, std::vector<uint8_t>& out)
    {
        if (frames > 0)
        {
            float** buffer = vorbis_analysis_buffer(&dsp, frames);
            for (int f = 0; f < frames; ++f)
                for (int c = 0; c < channels; ++c)
                    buffer[c][f] = float(samples[f * channels + c]) / 32768.0f;
        }
        vorbis_analysis_wrote(&dsp, frames);
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1)
            {
                ogg_stream_packetin(&stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream, &page) != 0)
                    AppendPage(page, out);
            }
        }
    }

private:
    static void AppendPage(const ogg_page& page, std::vector<uint8_t>& out)
    {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    }

    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool ready = false;
};

int16_t ToSample(double value)
{
    return int16_t(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
}

// Gain of the attack and release ramp at frame f of n.
double Envelope(int64_t f, int64_t n, int rate)
{
    const double ramp = kRamp * rate;
    const double fromStart = double(f) / ramp;
    const double toEnd = double(n - 1 - f) / ramp;
    return std::clamp(std::min(fromStart, toEnd), 0.0, 1.0);
}

int64_t FramesOf(int rate, double seconds)
{
    return std::max<int64_t>(0, std::llround(seconds * rate));
}

// Fills every channel of frame f with one value.
void SetFrame(Pcm& pcm, int64_t f, double value)
{
    const int16_t s = ToSample(value);
    for (int c = 0; c < pcm.channels; ++c)
        pcm.samples[size_t(f * pcm.channels + c)] = s;
}

} // namespace

std::vector<uint8_t> EncodeOggVorbis(const Pcm& pcm, float quality, uint32_t serial)
{
    std::vector<uint8_t> out;
    if (pcm.channels < 1 || pcm.rate < 1)
        return out;
    Encoder encoder(pcm.channels, pcm.rate, quality, serial);
    if (!encoder.Ready())
        return out;
    encoder.WriteHeaders(out);
    constexpr int kChunk = 4096;
    const int64_t frames = pcm.Frames();
    for (int64_t f = 0; f < frames; f += kChunk)
    {
        const int n = int(std::min<int64_t>(kChunk, frames - f));
        encoder.Write(pcm.samples.data() + f * pcm.channels, pcm.channels, n, out);
    }
    encoder.Write(nullptr, pcm.channels, 0, out);
    return out;
}

Pcm Silence(int channels, int rate, int64_t frames)
{
    Pcm pcm;
    pcm.channels = channels;
    pcm.rate = rate;
    pcm.samples.assign(size_t(std::max<int64_t>(0, frames) * channels), 0);
    return pcm;
}

Pcm Sweep(int channels, int rate, double seconds, double from, double to, double amplitude)
{
    Pcm pcm = Silence(channels, rate, FramesOf(rate, seconds));
    const int64_t n = pcm.Frames();
    double phase = 0.0;
    for (int64_t f = 0; f < n; ++f)
    {
        const double t = n > 1 ? double(f) / double(n - 1) : 0.0;
        phase += 2.0 * std::numbers::pi * (from + (to - from) * t) / rate;
        SetFrame(pcm, f, amplitude * Envelope(f, n, rate) * std::sin(phase));
    }
    return pcm;
}

Pcm Tone(int channels, int rate, double seconds, double frequency, double amplitude)
{
    return Sweep(channels, rate, seconds, frequency, frequency, amplitude);
}

Pcm Melody(int channels, int rate, const std::vector<double>& notes, double noteSeconds, double amplitude)
{
    const int64_t noteFrames = FramesOf(rate, noteSeconds);
    Pcm pcm = Silence(channels, rate, noteFrames * int64_t(notes.size()));
    for (size_t i = 0; i < notes.size(); ++i)
    {
        if (notes[i] <= 0.0)
            continue;
        Pcm note = Tone(channels, rate, noteSeconds, notes[i], amplitude);
        std::copy(note.samples.begin(), note.samples.end(),
                  pcm.samples.begin() + std::ptrdiff_t(i * note.samples.size()));
    }
    return pcm;
}

Pcm NoiseBurst(int channels, int rate, double seconds, uint32_t seed, double amplitude)
{
    Pcm pcm = Silence(channels, rate, FramesOf(rate, seconds));
    const int64_t n = pcm.Frames();
    uint32_t state = seed;
    for (int64_t f = 0; f < n; ++f)
    {
        state = state * 214013u + 2531011u;
        const double noise = double((state >> 16) & 0x7FFF) / 16383.5 - 1.0;
        const double decay = std::exp(-6.0 * double(f) / double(std::max<int64_t>(1, n)));
        SetFrame(pcm, f, amplitude * decay * Envelope(f, n, rate) * noise);
    }
    return pcm;
}

void Mix(Pcm& a, const Pcm& b, double gain)
{
    const size_t n = std::min(a.samples.size(), b.samples.size());
    for (size_t i = 0; i < n; ++i)
        a.samples[i] = ToSample((a.samples[i] + gain * b.samples[i]) / 32767.0);
}

double NoteFrequency(int semitonesFromA4)
{
    return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0);
}

} // namespace soundsynth
