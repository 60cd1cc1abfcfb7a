// Frames per second of the bare frame (clear and present) on the OpenGL back end, by back-buffer
// size and multisampling. Runs on the offscreen video driver unless another one is chosen.
#include "WeApplication.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

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
    for (auto _ : state)
    {
        renderDevice.RenderFrame();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    renderDevice.Shutdown();
    if (window)
    {
        SDL_DestroyWindow(window);
    }
    renderDevice.direct3D->Release();
    renderDevice.direct3D = nullptr;
}

BENCHMARK(BareFrame)
    ->ArgNames({"width", "height", "samples"})
    ->Args({800, 600, 0})
    ->Args({800, 600, 4})
    ->Args({1024, 768, 0})
    ->Args({1024, 768, 4})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
