// A scene Tick of 2,000 actors: moving ones with parents, lights playing key states, timed ones
// that die and are replaced. Then the same scene's frame up to drawing on the recording back end:
// Tick, the scene renderer's preparation (the walk over the actors, their models' items with
// their lights and techniques) and the sorting of its lists. Last, the test map World1 drawn at
// 1024 x 768 on the OpenGL back end from its camera actor, beside the bare frame of the same
// device (target: 60 frames a second), and bloomed.
#include "../tests/scene/SceneFrame.h"
#include "GlBench.h"
#include "WeCameraActor.h"
#include "WeEngine.h"
#include "WeLight.h"
#include "WeMesh.h"
#include "WePostProcess.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeSceneRenderer.h"
#include "WeTimer.h"
#include "d3d9/D3d9Device.h"

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

// The recording device of the game's start, with the default meshes and their materials.
bool StartRecordingDevice()
{
    engine.settings.width = 1024;
    engine.settings.height = 768;
    renderDevice.direct3D = d3d9::CreateRecordingDirect3D();
    return renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true);
}

void BM_SceneTickPrepareAndSort(benchmark::State& state)
{
    if (!StartRecordingDevice() || !meshManager.box1m)
    {
        state.SkipWithError("the recording device did not start");
        return;
    }
    // The device goes after the scene, whose models hold its meshes.
    struct DeviceStop
    {
        ~DeviceStop() { renderDevice.Shutdown(); }
    } deviceStop;
    timer.deltaTime = 1.0f / 60.0f;
    WeScene scene;
    for (int32_t i = 0; i < actorCount; ++i)
    {
        WeActor* actor = NewActor(i);
        scene.AddActor(actor);
        if (actor->type == WeActorTypeLight)
            continue;
        // A grid, most of it in the camera's view.
        const WeVector at{float(i % 50) * 2.0f - 50.0f, 0.0f, float(i / 50) * 2.0f - 20.0f};
        actor->SetLocation(at);
        actor->model.reset(modelManager.Load("Config.Assets.Box1m", 0));
        actor->model->world = d3dx::D3DXMatrixTranslation(at.x, at.y, at.z);
        actor->model->UpdateBounds(false);
        actor->sphereCentre = at;
        actor->sphereRadius = actor->model->sphere.radius;
    }
    WeCamera camera;
    camera.position = {0.0f, 10.0f, -30.0f};
    camera.direction = d3dx::D3DXVec3Normalize({0.0f, -0.3f, 1.0f});
    camera.Update();
    int64_t items = 0;
    for (auto _ : state)
    {
        frameStats.Reset(); // as every engine update does
        scene.Tick();
        sceneRenderer.Prepare(&scene, &camera);
        for (WeRenderList& list : sceneRenderer.lists)
            for (; WeRenderItem* item = list.PopMin(); ++items)
                benchmark::DoNotOptimize(item);
    }
    state.counters["visible"] = double(frameStats.frame.visibleActors);
    state.counters["items"] = double(items) / double(state.iterations());
}
BENCHMARK(BM_SceneTickPrepareAndSort)->Unit(benchmark::kMicrosecond);

// The test map with its camera actor on the OpenGL device at 1024 x 768 (the device goes after
// the scene); each frame the scene ticks (the flag waves, the lights play their key states) and
// is drawn through the camera actor's camera.
struct World1
{
    // False, with the benchmark skipped, without the device, the map or its camera.
    bool Start(benchmark::State& state)
    {
        timer.deltaTime = 1.0f / 60.0f;
        cameraActor = device.Started() && gl_bench::LoadMap(scene, "World1")
                          ? static_cast<WeCameraActor*>(scene.FindActor("Camera"))
                          : nullptr;
        if (!cameraActor)
            state.SkipWithError("no OpenGL device, or Maps/World1.map or its camera missing");
        return cameraActor != nullptr;
    }
    void Update()
    {
        scene.Tick();
        cameraActor->camera->Update();
    }

    gl_bench::Device device{1024, 768, 0};
    WeScene scene;
    WeCameraActor* cameraActor = nullptr;
};

void BM_World1Frame(benchmark::State& state)
{
    constexpr double targetFps = 60.0;
    World1 world;
    if (!world.Start(state))
        return;
    SceneFrame frame(world.scene, *world.cameraActor->camera);
    gl_bench::TimeFramesOverBare(state, frame, [&] { world.Update(); });
    state.counters["target_fps"] = targetFps;
    state.counters["meets_target"] = state.counters["fps"] >= targetFps ? 1.0 : 0.0;
    state.counters["actors"] = double(world.scene.actors.GetCount());
}
BENCHMARK(BM_World1Frame)->Unit(benchmark::kMillisecond)->UseRealTime();

// The post-processing chain built again for the bloom mode.
void SetBloom(int32_t mode)
{
    postProcess.Release();
    renderDevice.bloomMode = mode;
    postProcess.Build();
}

// The same frames bloomed, as the game draws them when the options ask for it: their cost over
// the bare frame (target at most 11 ms) and their ratio to the frame without bloom, timed first
// in the same run (target at most 1.3).
void BM_World1BloomFrame(benchmark::State& state)
{
    constexpr double targetOverBare = 11.0, targetRatio = 1.3;
    World1 world;
    if (!world.Start(state))
        return;
    SceneFrame frame(world.scene, *world.cameraActor->camera);
    const double plain = gl_bench::FrameMilliseconds(&frame, 20, [&] { world.Update(); });
    SetBloom(1);
    if (postProcess.effects.GetCount() != 1)
    {
        state.SkipWithError("the device builds no bloom");
        return;
    }
    gl_bench::TimeFramesOverBare(state, frame, [&] { world.Update(); });
    SetBloom(0);
    const double ratio = state.counters["frame_ms"] / plain;
    state.counters["plain_ms"] = plain;
    state.counters["bloom_ratio"] = ratio;
    state.counters["meets_target"] =
        state.counters["over_bare_ms"] <= targetOverBare && ratio <= targetRatio ? 1.0 : 0.0;
}
BENCHMARK(BM_World1BloomFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
