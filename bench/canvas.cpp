// The 2D canvas under a heavy frame: 10,000 textured quads and 2,000 short texts.
// CanvasFrameGl: whole frames (clear, the canvas's draws, Flush, Present) at 1024x768 on the
// OpenGL back end, on the offscreen video driver unless another one is chosen.
// CanvasBatching: the same drawing on the recording back end, whose draws cost nothing, so what
// is timed is the canvas's own work: filling quads, cutting runs, laying out the glyphs.
// The texture argument is 1 for one texture throughout (runs of 1,024 quads) and 2 for two
// textures taking turns (a run per quad).
#include "WeApplication.h"
#include "WeCanvas.h"
#include "WeEngine.h"
#include "WeFont.h"
#include "WeRenderDevice.h"
#include "WeTexture.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

constexpr int32_t screenWidth = 1024;
constexpr int32_t screenHeight = 768;
constexpr int32_t quadCount = 10000;
constexpr int32_t textCount = 2000;

// A small opaque texture of one colour, owned by the texture manager.
WeTexture* MakeTexture(uint32_t color)
{
    WeTexture* texture =
        textures.CreateTexture(16, 16, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    if (!texture || !texture->Lock(&bits, &size, &pitch))
        return nullptr;
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch)[x] = color;
    texture->Unlock();
    return texture;
}

// What one frame draws, made once so that the loop times only the canvas.
class HeavyFrame : public WeApplication
{
public:
    explicit HeavyFrame(int32_t textureKinds) : kinds(textureKinds)
    {
        quadTextures[0] = MakeTexture(0xFFC04040u);
        quadTextures[1] = MakeTexture(0xFF40C040u);
        font = fonts.GetFont("Arial:16");
        for (int32_t i = 0; i < textCount; ++i)
            labels.push_back(WeString(("Score " + std::to_string(i * 37 % 10000)).c_str()));
    }
    bool Ready() const { return quadTextures[0] && quadTextures[1] && font; }
    const char* GetName() override { return "HeavyFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        for (int32_t i = 0; i < quadCount; ++i)
            canvas.DrawRectangle(i * 7 % (screenWidth - 24), i * 13 % (screenHeight - 24), 24, 24,
                                 0xFFFFFFFFu, quadTextures[i % kinds], BLENDMODE_NORMAL);
        for (int32_t i = 0; i < textCount; ++i)
            canvas.Draw2DText(font, labels[size_t(i)], i * 53 % (screenWidth - 100),
                              i * 29 % (screenHeight - 20), 100, 20, 0xFFFFFF00u, TEXT_LEFT, 1.0f);
        canvas.Flush();
    }

private:
    int32_t kinds;
    WeTexture* quadTextures[2] = {};
    WeFont* font = nullptr;
    std::vector<WeString> labels;
};

void Report(benchmark::State& state)
{
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["quads/s"] =
        benchmark::Counter(double(state.iterations()) * quadCount, benchmark::Counter::kIsRate);
    state.counters["runs"] = double(canvas.RunsDrawn());
}

void StopDevice()
{
    fonts.FreeAll();
    textures.FreeAll(true);
    renderDevice.Shutdown();
    if (renderDevice.direct3D)
        renderDevice.direct3D->Release();
    renderDevice.direct3D = nullptr;
    application = nullptr;
}

void SetScreen()
{
    engine.settings.width = screenWidth;
    engine.settings.height = screenHeight;
    engine.settings.uiSourceWidth = screenWidth;
    engine.settings.uiSourceHeight = screenHeight;
    engine.settings.verticalSync = false;
}

void CanvasFrameGl(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SetScreen();
    renderDevice.direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
    SDL_Window* window =
        SDL_CreateWindow("bench", 0, 0, screenWidth, screenHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window ||
        !renderDevice.Init(nullptr, window, "", screenWidth, screenHeight, 0, 0, false, 3, 2, false))
    {
        state.SkipWithError("no OpenGL device");
    }
    else
    {
        HeavyFrame frame(int32_t(state.range(0)));
        application = &frame;
        if (!frame.Ready())
            state.SkipWithError("no texture or font");
        for (auto _ : state)
            renderDevice.RenderFrame();
        Report(state);
    }
    StopDevice();
    if (window)
        SDL_DestroyWindow(window);
}

void CanvasBatching(benchmark::State& state)
{
    SetScreen();
    engine.settings.displayMode = 3;
    d3d9::AdapterSetup setup;
    setup.modes = {{screenWidth, screenHeight, 60, d3d9::D3DFMT_X8R8G8B8}};
    renderDevice.direct3D = d3d9::CreateRecordingDirect3D(setup);
    if (!renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true))
    {
        state.SkipWithError("no recording device");
    }
    else
    {
        // The call log would grow with every draw and time string formatting, not the canvas.
        renderDevice.device->SetLogging(false);
        HeavyFrame frame(int32_t(state.range(0)));
        if (!frame.Ready())
            state.SkipWithError("no texture or font");
        for (auto _ : state)
            frame.Render();
        Report(state);
    }
    StopDevice();
}

BENCHMARK(CanvasFrameGl)->ArgName("textures")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CanvasBatching)->ArgName("textures")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
