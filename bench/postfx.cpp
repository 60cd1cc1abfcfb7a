// The cost of post-processing a frame on the OpenGL back end: a frame of a few coloured
// rectangles drawn into the capture and bloomed, against the same frame drawn directly, by
// back-buffer size; and the engine's own CPU time for the bloomed frame on the recording back
// end. Runs on the offscreen video driver unless another is chosen.
#include "WeApplication.h"
#include "WeEngine.h"
#include "WePostProcess.h"
#include "WeRenderDevice.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{

class Rectangles : public WeApplication
{
public:
    const char* GetName() override { return "Rectangles"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        const bool post = postProcess.IsActive();
        if (post)
            postProcess.BeginCapture();
        struct Vertex
        {
            float x, y, z, rhw;
            d3d9::D3DCOLOR color;
        };
        d3d9::Device& device = *renderDevice.device;
        device.SetFVF(d3d9::D3DFVF_XYZRHW | d3d9::D3DFVF_DIFFUSE);
        const float w = float(renderDevice.BackBufferWidth()), h = float(renderDevice.BackBufferHeight());
        for (int i = 0; i < 8; ++i)
        {
            const float x = w * float(i) / 8.0f, y = h * float(i % 3) / 3.0f;
            const d3d9::D3DCOLOR color = 0xFF000000u | uint32_t(0x20 * i) << 16 | 0xFFFFu;
            const Vertex strip[4] = {{x, y, 0.5f, 1, color},
                                     {x + w / 10, y, 0.5f, 1, color},
                                     {x, y + h / 4, 0.5f, 1, color},
                                     {x + w / 10, y + h / 4, 0.5f, 1, color}};
            device.DrawPrimitiveUP(d3d9::D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
        }
        if (post)
        {
            postProcess.EndCapture();
            postProcess.Render();
        }
    }
};

bool Start(int width, int height, bool recording, SDL_Window*& window)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    engine.settings.width = width;
    engine.settings.height = height;
    engine.settings.multisampleType = 0;
    engine.settings.verticalSync = false;
    renderDevice.direct3D =
        recording ? d3d9::CreateRecordingDirect3D() : d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
    window = recording
                 ? nullptr
                 : SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    // Game settings: bloom at most.
    renderDevice.refraction = false;
    renderDevice.filmGrain = false;
    renderDevice.depthOfField = false;
    renderDevice.motionBlurMode = 0;
    return (recording || window) &&
           renderDevice.Init(nullptr, window, "", width, height, 0, 0, false, 3, 2, false);
}

void Stop(SDL_Window* window)
{
    renderDevice.Shutdown();
    if (window)
        SDL_DestroyWindow(window);
    renderDevice.direct3D->Release();
    renderDevice.direct3D = nullptr;
}

void Frame(benchmark::State& state)
{
    SDL_Window* window = nullptr;
    renderDevice.bloomMode = int32_t(state.range(2));
    Rectangles frame;
    application = &frame;
    if (!Start(int(state.range(0)), int(state.range(1)), state.range(3) != 0, window))
        state.SkipWithError("no device");
    renderDevice.RenderFrame();
    for (auto _ : state)
        renderDevice.RenderFrame();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    application = nullptr;
    Stop(window);
}

BENCHMARK(Frame)
    ->ArgNames({"width", "height", "bloom", "recording"})
    ->Args({1024, 768, 0, 0})
    ->Args({1024, 768, 1, 0})
    ->Args({1024, 768, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
