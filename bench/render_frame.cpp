// Frames per second of the bare frame (clear and present) on the OpenGL back end, by back-buffer
// size and multisampling, with the page faults of a frame, before and after the engine keeps its
// heap mapped (the last argument). Runs on the offscreen video driver unless another is chosen.
#include "WeApplication.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sys/resource.h>

namespace
{

void BareFrame(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    renderDevice.direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
    SDL_Window* window =
        SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    engine.settings.width = width;
    engine.settings.height = height;
    engine.settings.multisampleType = int32_t(state.range(2));
    engine.settings.multisampleQuality = 0;
    engine.settings.verticalSync = false;
    if (!window || !renderDevice.Init(nullptr, window, "", width, height, 0, 0, false, 3, 2, false))
    {
        state.SkipWithError("no device");
    }
    if (state.range(3))
        WeKeepHeapMapped();
    renderDevice.RenderFrame(); // the first frame's allocations are not a steady frame's
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (auto _ : state)
    {
        renderDevice.RenderFrame();
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["faults"] = double(after.ru_minflt - before.ru_minflt) / double(state.iterations());
    renderDevice.Shutdown();
    if (window)
    {
        SDL_DestroyWindow(window);
    }
    renderDevice.direct3D->Release();
    renderDevice.direct3D = nullptr;
}

BENCHMARK(BareFrame)
    ->ArgNames({"width", "height", "samples", "mapped"})
    ->Args({800, 600, 0, 0})
    ->Args({800, 600, 4, 0})
    ->Args({1024, 768, 0, 0})
    ->Args({1024, 768, 4, 0})
    ->Args({1024, 768, 0, 1})
    ->Args({1024, 768, 4, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
