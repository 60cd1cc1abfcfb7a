// Movie textures: taking a new 640 x 360 frame into the frame sink's texture on the main thread,
// beside a plain lock, copy and unlock of the same bytes into a texture of the same kind; and the
// streaming thread decoding the lossy test clip as fast as it can ("realtime" is the clip's
// length over the time taken). Runs on the offscreen video driver unless another one is chosen,
// from the build's bench folder, where Movies leads to the generated clips.
#include "WeEngine.h"
#include "WeMovieTextureRenderer.h"
#include "WeRenderDevice.h"
#include "WeTexture.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

constexpr int32_t frameWidth = 640;
constexpr int32_t frameHeight = 360;

// An output pin that offers 640 x 360 frames, so that a sink can be connected without a file.
class FrameSource : public dshow::BaseFilter
{
public:
    FrameSource() { AddPin(dshow::PINDIR_OUTPUT); }

private:
    dshow::HRESULT PinGetMediaType(const dshow::Pin&, dshow::MediaType* type) const override
    {
        *type = {dshow::MediaSubtype::rgb32, frameWidth, frameHeight, dshow::unitsPerSecond / 25};
        return dshow::S_OK;
    }
};

// The device on a hidden offscreen window for the length of a benchmark.
class GlDevice
{
public:
    GlDevice()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        renderDevice.direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
        window = SDL_CreateWindow("bench", 0, 0, 320, 240, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        engine.settings.width = 320;
        engine.settings.height = 240;
        ready = window && renderDevice.Init(nullptr, window, "", 320, 240, 0, 0, false, 3, 2, false);
    }
    ~GlDevice()
    {
        renderDevice.Shutdown();
        if (window)
            SDL_DestroyWindow(window);
        renderDevice.direct3D->Release();
        renderDevice.direct3D = nullptr;
    }
    bool ready = false;

private:
    SDL_Window* window = nullptr;
};

std::vector<uint8_t> Frame(uint8_t seed)
{
    std::vector<uint8_t> bits(size_t(frameWidth) * frameHeight * 4);
    for (size_t i = 0; i < bits.size(); ++i)
        bits[i] = uint8_t(i * 7 + seed);
    return bits;
}

void FrameIntoSinkTexture(benchmark::State& state)
{
    GlDevice device;
    auto* sink = new WeMovieFrameSink;
    auto* source = new FrameSource;
    if (!device.ready || dshow::Failed(source->GetPin(0).Connect(&sink->InputPin(), nullptr)))
        state.SkipWithError("no device or no connection");
    const std::vector<uint8_t> frames[2] = {Frame(1), Frame(2)};
    int64_t n = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        const std::vector<uint8_t>& bits = frames[n++ % 2];
        sink->InputPin().Receive({bits.data(), frameWidth * 4, 0, 0});
        state.ResumeTiming();
        benchmark::DoNotOptimize(sink->GetTexture());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(frames[0].size()));
    source->GetPin(0).Disconnect();
    sink->InputPin().Disconnect();
    source->Release();
    sink->Release();
}

void PlainLockCopyUnlock(benchmark::State& state)
{
    GlDevice device;
    WeTexture* texture = device.ready
                             ? textures.CreateTexture(frameWidth, frameHeight, d3d9::D3DFMT_X8R8G8B8,
                                                      d3d9::D3DUSAGE_DYNAMIC, d3d9::D3DPOOL_DEFAULT, 1, false)
                             : nullptr;
    if (!texture)
        state.SkipWithError("no texture");
    const std::vector<uint8_t> frames[2] = {Frame(1), Frame(2)};
    int64_t n = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        const std::vector<uint8_t>& bits = frames[n++ % 2];
        state.ResumeTiming();
        void* target = nullptr;
        int32_t size = 0, pitch = 0;
        if (texture->Lock(&target, &size, &pitch))
        {
            for (int32_t y = 0; y < frameHeight; ++y)
                std::memcpy(static_cast<uint8_t*>(target) + size_t(y) * size_t(pitch),
                            bits.data() + size_t(y) * frameWidth * 4, frameWidth * 4);
            texture->Unlock();
        }
    }
    state.SetBytesProcessed(state.iterations() * int64_t(frames[0].size()));
    delete texture;
}

class NullRenderer : public dshow::BaseRenderer
{
    dshow::HRESULT DoRenderSample(const dshow::MediaSample&) override { return dshow::S_OK; }
};

void DecodeLossyClip(benchmark::State& state)
{
    double clipSeconds = 0.0, decodeSeconds = 0.0;
    for (auto _ : state)
    {
        dshow::GraphBuilder* graph = nullptr;
        dshow::CreateFilterGraph(&graph);
        auto* renderer = new NullRenderer;
        graph->AddFilter(renderer, "null");
        renderer->Release();
        dshow::MediaControl* control = nullptr;
        dshow::MediaPosition* position = nullptr;
        dshow::MediaEventEx* events = nullptr;
        graph->QueryInterface(&control);
        graph->QueryInterface(&position);
        graph->QueryInterface(&events);
        if (dshow::Failed(graph->RenderFile("Movies/ColourBars.avi")))
        {
            state.SkipWithError("Movies/ColourBars.avi does not open");
            break;
        }
        double duration = 0.0;
        position->get_Duration(&duration);
        position->put_Rate(1e6);
        const auto start = std::chrono::steady_clock::now();
        control->Run();
        int32_t code = 0;
        intptr_t first = 0, second = 0;
        events->GetEvent(&code, &first, &second, 60000);
        decodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        clipSeconds += duration;
        control->Release();
        position->Release();
        events->Release();
        graph->Release();
    }
    state.counters["realtime"] = decodeSeconds > 0.0 ? clipSeconds / decodeSeconds : 0.0;
}

BENCHMARK(FrameIntoSinkTexture)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainLockCopyUnlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeLossyClip)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
