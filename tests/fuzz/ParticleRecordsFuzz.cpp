// libFuzzer target for particle presets: the bytes become a preset in a loose-file package in a
// temporary folder, and a system loads it. Whatever the bytes, the load succeeds or refuses
// cleanly; a loaded system keeps its counts within their limits, runs a few seconds of frames
// in a scene without hanging and never holds more particles than its limit.
#include "WeFileSystem.h"
#include "WeParticleSystem.h"
#include "WeScene.h"
#include "WeTimer.h"

#include <memory>
#include <unistd.h>

namespace
{

WeFileSystem& Package()
{
    static std::unique_ptr<WeFileSystem> files = []
    {
        char pattern[] = "/tmp/we_fuzz_particles_XXXXXX";
        return std::make_unique<WeFileSystem>(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return *files;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WeFileSystem& files = Package();
    if (!files.OpenWrite("Fuzz.Particles.preset", WeAssetType::Particles, true) ||
        !files.GetStream().Write(data, int64_t(size)) || !files.CloseWrite())
        return 0;
    auto* system = new WeParticleSystem();
    const bool loaded = system->LoadPreset(&files, "Fuzz.Particles.preset");
    if (loaded == system->IsStopped() || system->states.GetCount() > WeParticleSystem::stateLimit ||
        system->SpawnCount > WeParticleSystem::countLimit || system->maxSpawn > WeParticleSystem::countLimit)
        __builtin_trap();
    WeScene scene;
    scene.AddActor(system);
    timer.deltaTime = 0.25f;
    // The scene deletes the system once it has gone.
    for (int32_t frame = 0; frame < 12 && scene.actors.GetCount() > 0; ++frame)
    {
        system->Update();
        if (system->GetParticleCount() > WeParticleSystem::liveLimit)
            __builtin_trap();
        scene.Tick();
    }
    return 0;
}
