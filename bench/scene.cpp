// A scene Tick of 2,000 actors: moving ones with parents, lights playing key states, timed ones
// that die and are replaced. The scene renderer's preparation and sorting join it with the
// renderer.
#include "WeLight.h"
#include "WeScene.h"
#include "WeTimer.h"

#include <benchmark/benchmark.h>

namespace
{

constexpr int32_t actorCount = 2000;

WeActor* NewActor(int32_t index)
{
    if (index % 20 == 0)
    {
        auto* light = new WeLight();
        light->states.PushBack().Intensity = 0.5f;
        light->states.PushBack().Intensity = 2.0f;
        light->InterpolateStates = true;
        return light;
    }
    auto* actor = new WeActor();
    actor->SetLocation({float(index % 50), 0.0f, float(index / 50)});
    return actor;
}

void BM_SceneTick(benchmark::State& state)
{
    timer.deltaTime = 1.0f / 60.0f;
    WeScene scene;
    WeActor* parent = nullptr;
    for (int32_t i = 0; i < actorCount; ++i)
    {
        WeActor* actor = NewActor(i);
        if (i % 10 == 1)
            parent = actor;
        else if (i % 10 == 2)
            actor->SetParent(parent);
        scene.AddActor(actor);
    }
    int32_t spawned = actorCount;
    for (auto _ : state)
    {
        WeActor* timed = NewActor(++spawned);
        scene.AddActor(timed);
        timed->SetLifeTime(0.5f);
        scene.Tick();
        benchmark::DoNotOptimize(scene.frame);
    }
    state.counters["actors"] = double(scene.actors.GetCount());
}
BENCHMARK(BM_SceneTick)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
