// Writes the game's sound effects and music as Ogg Vorbis files into a package source tree:
//   make_sounds <folder>  ->  <folder>/Sound/Effects/<name>.ogg, <folder>/Sound/Music/M<n>Master.ogg
// Everything is synthesised, so the repository holds no audio binaries.

#include "SoundSynth.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace soundsynth;

namespace
{

constexpr int kEffectRate = 44100;
constexpr int kMusicRate = 44100;

struct Effect
{
    const char* name;
    std::function<Pcm()> make;
};

Pcm WithNoise(Pcm pcm, uint32_t seed, double gain)
{
    Mix(pcm, NoiseBurst(pcm.channels, pcm.rate, double(pcm.Frames()) / pcm.rate, seed), gain);
    return pcm;
}

std::vector<Effect> Effects()
{
    const int r = kEffectRate;
    return {
        {"mm_izbor", [=] { return Tone(1, r, 0.08, 880.0, 0.5); }},
        {"mi_izbor", [=] { return Tone(1, r, 0.06, 1175.0, 0.5); }},
        {"mi_TestSound",
         [=] {
             return Melody(1, r, {660.0, 880.0}, 0.12);
         }},
        {"mi_bonus",
         [=] {
             return Melody(1, r, {523.3, 659.3, 784.0, 1046.5}, 0.08);
         }},
        {"mi_Win",
         [=] {
             return Melody(2, r, {523.3, 659.3, 784.0, 1046.5, 0.0, 1046.5}, 0.15);
         }},
        {"mi_Lose",
         [=] {
             return Melody(2, r, {392.0, 370.0, 349.2, 261.6}, 0.22);
         }},
        {"mi_brojspa", [=] { return Sweep(1, r, 0.25, 300.0, 900.0); }},
        {"mi_nestled", [=] { return Sweep(1, r, 0.35, 900.0, 200.0, 0.4); }},
        {"mi_UT", [=] { return WithNoise(Tone(1, r, 0.3, 110.0), 7, 0.5); }},
        {"mi_ledoled", [=] { return WithNoise(Tone(1, r, 0.12, 1400.0, 0.3), 11, 0.6); }},
        {"mi_ledozid", [=] { return NoiseBurst(1, r, 0.18, 13, 0.7); }},
        {"mi_led", [=] { return WithNoise(Tone(1, r, 0.5, 2000.0, 0.05), 17, 0.2); }},
        {"mi_plocica", [=] { return WithNoise(Tone(1, r, 0.5, 180.0, 0.2), 19, 0.15); }},
        {"mi_magnet", [=] { return Tone(1, r, 0.5, 120.0, 0.35); }},
        {"mi_teleport", [=] { return Sweep(1, r, 0.5, 200.0, 1600.0, 0.4); }},
        {"mi_trakaON", [=] { return Sweep(1, r, 0.2, 400.0, 800.0, 0.4); }},
        {"mi_trakaOFF", [=] { return Sweep(1, r, 0.2, 800.0, 400.0, 0.4); }},
    };
}

// Track n: a short stereo tune whose key and rhythm follow from its number.
Pcm Music(int n)
{
    static const int kScale[] = {0, 2, 4, 7, 9, 12, 9, 7};
    std::vector<double> lead, bass;
    const int root = -12 + (n * 5) % 12;
    for (int bar = 0; bar < 4; ++bar)
        for (int step = 0; step < 8; ++step)
        {
            const int degree = kScale[(step * (n % 3 + 1) + bar * n) % 8];
            lead.push_back((step + bar) % 7 == 6 ? 0.0 : NoteFrequency(root + degree));
            bass.push_back(NoteFrequency(root - 12 + (bar % 2) * 5));
        }
    const double note = 0.15 + 0.01 * (n % 4);
    Pcm tune = Melody(2, kMusicRate, lead, note, 0.3);
    Mix(tune, Melody(2, kMusicRate, bass, note, 0.2));
    return tune;
}

bool WriteOgg(const std::filesystem::path& path, const Pcm& pcm)
{
    const std::vector<uint8_t> bytes = EncodeOggVorbis(pcm);
    FILE* f = bytes.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    if (f == nullptr)
    {
        std::fprintf(stderr, "make_sounds: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_sounds <package source folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const std::filesystem::path effects = root / "Sound" / "Effects";
    const std::filesystem::path music = root / "Sound" / "Music";
    std::error_code error;
    std::filesystem::create_directories(effects, error);
    std::filesystem::create_directories(music, error);
    bool ok = true;
    for (const Effect& e : Effects())
        ok = WriteOgg(effects / (std::string(e.name) + ".ogg"), e.make()) && ok;
    for (int n = 1; n <= 14; ++n)
        ok = WriteOgg(music / ("M" + std::to_string(n) + "Master.ogg"), Music(n)) && ok;
    return ok ? 0 : 1;
}
