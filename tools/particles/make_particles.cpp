// Writes the game's particle presets and the texture of their particles:
//   make_particles <package source folder>
// Each preset becomes <package source folder>/Ingame/Particles/<name>.particles, the particle
// system record as the engine writes it; the texture "Ingame.Particles.spark" a soft round dot,
// which the material of the same name (data/Materials) adds to what lies behind it. Blocks are
// one unit wide; sizes and speeds are in those units. One-shot bursts end by their maximum spawn
// and carry a lifetime, so that they go by themselves; the others run until the game kills them.
#include "WeDdsWriter.h"
#include "WeFileStream.h"
#include "WeParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace
{

struct Preset
{
    const char* name;
    int32_t maxSpawn; // 0: emits until killed
    float lifeTime;   // of the system; 0: until killed
    float rate;       // particles a second
    WeVector emitter; // the box they start in
    WeVector direction;
    WeVector spread;
    float speed, speedDelta;
    WeVector wind;
    float fadeIn, life, lifeDelta, fadeOut;
    float sizeFrom, sizeTo;
    WeColor from, to;
};

// Soft white and pale blue for the teleports and the slide, dust for the hardening wall, red
// for the magnets' push and blue for their pull, sparks for hits and gold for the picker's arrow.
constexpr Preset presets[] = {
    {"teleport_white",
     0,
     0.0f,
     24,
     {0.7f, 0, 0.7f},
     {0, 1, 0},
     {0.2f, 0, 0.2f},
     0.5f,
     0.2f,
     {0, 0, 0},
     0.15f,
     0.5f,
     0.2f,
     0.4f,
     0.12f,
     0.04f,
     {0.7f, 0.85f, 1, 0.8f},
     {1, 1, 1, 0}},
    {"disappearing",
     40,
     2.0f,
     240,
     {0.9f, 0.9f, 0.9f},
     {0, 1, 0},
     {1, 1, 1},
     1.0f,
     0.5f,
     {0, 0, 0},
     0.05f,
     0.4f,
     0.2f,
     0.4f,
     0.15f,
     0.03f,
     {0.75f, 0.9f, 1, 1},
     {1, 1, 1, 0}},
    {"ut_wall",
     30,
     2.0f,
     180,
     {1, 0.2f, 1},
     {0, 1, 0},
     {1, 0.3f, 1},
     0.8f,
     0.3f,
     {0, -1.5f, 0},
     0.05f,
     0.35f,
     0.15f,
     0.5f,
     0.2f,
     0.4f,
     {0.7f, 0.65f, 0.6f, 0.9f},
     {0.5f, 0.5f, 0.5f, 0}},
    {"magnet_push",
     24,
     1.5f,
     360,
     {0.3f, 0.3f, 0.3f},
     {0, 0, 0},
     {2, 0.2f, 2},
     2.0f,
     0.4f,
     {0, 0, 0},
     0.02f,
     0.25f,
     0.1f,
     0.3f,
     0.1f,
     0.05f,
     {1, 0.3f, 0.2f, 1},
     {1, 0.6f, 0.2f, 0}},
    {"magnet_pull",
     0,
     0.0f,
     25,
     {1.4f, 0.2f, 1.4f},
     {0, 1, 0},
     {0.3f, 0, 0.3f},
     0.5f,
     0.2f,
     {0, 0, 0},
     0.15f,
     0.4f,
     0.2f,
     0.4f,
     0.1f,
     0.04f,
     {0.3f, 0.5f, 1, 0.9f},
     {0.6f, 0.8f, 1, 0}},
    {"hit",
     16,
     1.0f,
     480,
     {0.2f, 0.2f, 0.2f},
     {0, 0.5f, 0},
     {2, 1, 2},
     1.5f,
     0.5f,
     {0, -3, 0},
     0.02f,
     0.15f,
     0.05f,
     0.25f,
     0.08f,
     0.04f,
     {1, 1, 0.8f, 1},
     {1, 0.8f, 0.4f, 0}},
    {"tail",
     0,
     0.0f,
     40,
     {0.6f, 0, 0.6f},
     {0, 1, 0},
     {0.1f, 0, 0.1f},
     0.1f,
     0.05f,
     {0, 0, 0},
     0.05f,
     0.2f,
     0.1f,
     0.4f,
     0.25f,
     0.05f,
     {0.8f, 0.9f, 1, 0.6f},
     {1, 1, 1, 0}},
    {"teleport_arrow",
     30,
     1.5f,
     120,
     {0.8f, 0, 0.8f},
     {0, 1, 0},
     {0.1f, 0, 0.1f},
     1.5f,
     0.3f,
     {0, 0, 0},
     0.05f,
     0.4f,
     0.1f,
     0.5f,
     0.15f,
     0.05f,
     {1, 0.9f, 0.4f, 1},
     {1, 1, 1, 0}},
};

WeParticleSystemState StateOf(const Preset& preset)
{
    WeParticleSystemState state;
    state.EmitRate = preset.rate;
    state.EmitterSize = preset.emitter;
    state.SpawnDirection = preset.direction;
    state.SpawnSpread = preset.spread;
    state.SpawnVelocity = preset.speed;
    state.SpawnVelocityDelta = preset.speedDelta;
    state.Wind = preset.wind;
    state.FadeInTime = preset.fadeIn;
    state.LifeTime = preset.life;
    state.LifeTimeDelta = preset.lifeDelta;
    state.FadeOutTime = preset.fadeOut;
    state.SizeFromX = state.SizeFromY = preset.sizeFrom;
    state.SizeToX = state.SizeToY = preset.sizeTo;
    state.SizeFromXDelta = preset.sizeFrom * 0.3f;
    state.AngleDelta = 6.2831853f;
    state.SpinDelta = 2.0f;
    state.ColorFrom = preset.from;
    state.ColorTo = preset.to;
    return state;
}

constexpr uint32_t sparkSize = 32;

// White, its alpha falling smoothly from the centre to nothing at the edge.
uint32_t SparkTexel(uint32_t x, uint32_t y)
{
    const float half = float(sparkSize) * 0.5f;
    const float dx = (float(x) + 0.5f - half) / half, dy = (float(y) + 0.5f - half) / half;
    const float fall = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
    return uint32_t(std::lround(fall * fall * 255.0f)) << 24 | 0xFFFFFFu;
}

bool Write(const Preset& preset, const std::filesystem::path& folder)
{
    WeParticleSystem system;
    system.MaterialName = "Ingame.Particles.spark";
    system.EmittingRadius = 3.0f;
    system.maxSpawn = preset.maxSpawn;
    system.LifeTime = preset.lifeTime;
    system.states.PushBack(StateOf(preset));
    const std::string path = (folder / (std::string(preset.name) + ".particles")).string();
    WeFileStream out;
    const bool written = out.Create(path.c_str()) && system.SaveSystem(out);
    out.Close();
    if (!written)
        std::fprintf(stderr, "make_particles: cannot write %s\n", path.c_str());
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_particles <package source folder>\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "Ingame" / "Particles";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    WeDdsWriter writer;
    bool made =
        writer.Write((folder / "spark.dds").string(), WeDdsImage::Drawn(sparkSize, sparkSize, SparkTexel),
                     d3d9::D3DFMT_A8R8G8B8, true);
    if (!made)
        std::fprintf(stderr, "make_particles: %s\n", writer.GetLastError().c_str());
    for (const Preset& preset : presets)
        made = Write(preset, folder) && made;
    return made ? 0 : 1;
}
