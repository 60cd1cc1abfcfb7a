#pragma once

// Small synthesiser and Ogg Vorbis encoder for the game's generated sounds and for tests that
// need Ogg data of a known shape. Nothing here is part of the engine.

#include <cstdint>
#include <vector>

namespace soundsynth
{

// Interleaved 16-bit PCM with its layout.
struct Pcm
{
    int channels = 1;
    int rate = 44100;
    std::vector<int16_t> samples; // frames x channels values

    int64_t Frames() const { return channels > 0 ? int64_t(samples.size()) / channels : 0; }
};

// Encodes PCM as one Ogg Vorbis stream (VBR at the given quality, -0.1 to 1.0) with the given
// serial number; empty on failure.
std::vector<uint8_t> EncodeOggVorbis(const Pcm& pcm, float quality = 0.3f, uint32_t serial = 0x4d69766f);

// A sine tone of the given frequency, with a short attack and release so that it does not click.
Pcm Tone(int channels, int rate, double seconds, double frequency, double amplitude = 0.5);

// A sequence of notes (frequencies in Hz, 0 for a rest), each lasting noteSeconds.
Pcm Melody(int channels, int rate, const std::vector<double>& notes, double noteSeconds,
           double amplitude = 0.4);

// A frequency sweep from one frequency to another.
Pcm Sweep(int channels, int rate, double seconds, double from, double to, double amplitude = 0.5);

// Decaying noise burst; the generator is the program-wide 15-bit generator, seeded here.
Pcm NoiseBurst(int channels, int rate, double seconds, uint32_t seed, double amplitude = 0.5);

// PCM of exact silence.
Pcm Silence(int channels, int rate, int64_t frames);

// Adds b into a (sample-wise, clipped); a keeps its length.
void Mix(Pcm& a, const Pcm& b, double gain = 1.0);

// The frequency of a note given in semitones from A4 (440 Hz).
double NoteFrequency(int semitonesFromA4);

} // namespace soundsynth
