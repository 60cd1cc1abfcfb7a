// Particles: a system of 10,000 live particles updated once a frame (emission keeping the count,
// every particle's step, the dead replaced), and the particle renderer filling their 40,000
// vertices into its buffers on the recording back end, beside a plain loop writing the same
// vertices into one array.
#include "WeEngine.h"
#include "WeParticleSystem.h"
#include "WeParticleSystemRenderer.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "d3d9/D3d9Device.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

constexpr int32_t particleCount = 10000;

// A system that keeps 10,000 particles alive, a few hundred of them dying and replaced a frame.
WeParticleSystem* AddSystem(WeScene& scene)
{
    auto* system = new WeParticleSystem();
    WeParticleSystemState& state = system->states.PushBack();
    state.EmitRate = 20000.0f;
    state.EmitterSize = {2, 2, 2};
    state.SpawnSpread = {1, 1, 1};
    state.Wind = {0, -1, 0};
    state.FadeInTime = 0.1f;
    state.LifeTime = 1.0f;
    state.LifeTimeDelta = 0.5f;
    state.FadeOutTime = 0.5f;
    state.SpinDelta = 1.0f;
    state.ColorTo = {1, 0, 0, 0};
    system->SpawnCount = particleCount;
    scene.AddActor(system);
    return system;
}

void BM_ParticleUpdate(benchmark::State& state)
{
    timer.deltaTime = 1.0f / 60.0f;
    WeScene scene;
    WeParticleSystem* system = AddSystem(scene);
    for (int32_t frame = 0; frame < 120; ++frame) // past the first lifetimes
    {
        ++scene.frame;
        system->Update();
    }
    for (auto _ : state)
    {
        ++scene.frame;
        system->Update();
        benchmark::DoNotOptimize(system->GetParticleCount());
    }
    state.counters["particles"] = double(system->GetParticleCount());
}
BENCHMARK(BM_ParticleUpdate)->Unit(benchmark::kMicrosecond);

bool StartRecordingDevice()
{
    engine.settings.width = 1024;
    engine.settings.height = 768;
    renderDevice.direct3D = d3d9::CreateRecordingDirect3D();
    if (!renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true))
        return false;
    renderDevice.device->SetLogging(false);
    return true;
}

void BM_ParticleRendererFill(benchmark::State& state)
{
    if (!StartRecordingDevice() || !particleSystemRenderer.ready)
    {
        state.SkipWithError("the recording device did not start");
        return;
    }
    struct DeviceStop
    {
        ~DeviceStop() { renderDevice.Shutdown(); }
    } deviceStop;
    timer.deltaTime = 1.0f / 60.0f;
    WeScene scene;
    WeParticleSystem* system = AddSystem(scene);
    ++scene.frame;
    system->Update();
    for (auto _ : state)
        particleSystemRenderer.Draw(*system);
    state.counters["vertices"] = double(system->GetParticleCount() * 4);
}
BENCHMARK(BM_ParticleRendererFill)->Unit(benchmark::kMicrosecond);

// The floor for the fill: each particle's four vertices written into one array.
void BM_PlainVertexLoop(benchmark::State& state)
{
    timer.deltaTime = 1.0f / 60.0f;
    WeScene scene;
    WeParticleSystem* system = AddSystem(scene);
    ++scene.frame;
    system->Update();
    std::vector<WeParticleVertex> vertices(size_t(system->GetParticleCount()) * 4);
    for (auto _ : state)
    {
        WeParticleVertex* out = vertices.data();
        for (const WeParticle* p : system->GetParticles())
            for (int32_t corner = 0; corner < 4; ++corner)
                *out++ = {p->position.x,
                          p->position.y,
                          p->position.z,
                          float(corner >> 1),
                          float(corner & 1),
                          0,
                          1,
                          p->sizeX,
                          p->sizeY,
                          p->angle,
                          p->color.r,
                          p->color.g,
                          p->color.b,
                          p->color.a};
        benchmark::DoNotOptimize(vertices.data());
        benchmark::ClobberMemory();
    }
    state.counters["vertices"] = double(vertices.size());
}
BENCHMARK(BM_PlainVertexLoop)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
