// What the OpenGL frame benchmarks share: the device on a hidden window of the offscreen video
// driver (unless another driver is chosen), or on a shown window of the X11 driver as the player
// sees the game, the bare frame (clear and present) timed in the same run, and a background map
// loaded step by step.
#pragma once

#include "WeApplication.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeTexture.h"
#include "WeVirtualFileSystem.h"
#include "d3d9/GlBackend.h"
#include "win32/Win32Window.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace gl_bench
{
// Where the frames are drawn: a hidden window of the video driver SDL_VIDEODRIVER names (the
// offscreen driver unless another is chosen), or a shown window of the X11 driver on the display
// DISPLAY names, as the player's window is.
enum class Screen
{
    hidden,
    window
};

// Whether the screen can be had in this run: a window needs a display.
inline bool ScreenAvailable(Screen screen)
{
    return screen == Screen::hidden || std::getenv("DISPLAY") != nullptr;
}

// SDL's video on the screen's driver; it starts again on that driver when another one runs (the
// video starts once for the process through the window layer, so that a later start is this one).
inline bool UseScreen(Screen screen)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!win32::EnsureVideo())
        return false;
    const char* wanted = screen == Screen::window ? "x11" : std::getenv("SDL_VIDEODRIVER");
    const char* current = SDL_GetCurrentVideoDriver();
    if (current && std::strcmp(current, wanted) == 0)
        return true;
    SDL_VideoQuit();
    return SDL_VideoInit(wanted) == 0;
}

// The OpenGL device at the size with the multisampling (0 for none) on the screen, without
// post-processing; or the recording back end's device (no window, no drawing) of the same settings.
class Device
{
public:
    Device(int32_t width, int32_t height, int32_t samples, bool recording = false,
           Screen screen = Screen::hidden)
    {
        WeKeepHeapMapped(); // as the game's run does
        // Maps are read from the working folder, as the game reads them beside its executable.
        std::error_code ignored;
        std::filesystem::current_path(WeGetExecutableFolder().GetData(), ignored);
        renderDevice.bloomMode = 0;
        renderDevice.motionBlurMode = 0;
        renderDevice.refraction = false;
        renderDevice.depthOfField = false;
        renderDevice.filmGrain = false;
        engine.settings.width = width;
        engine.settings.height = height;
        engine.settings.multisampleType = samples;
        engine.settings.multisampleQuality = 0;
        engine.settings.verticalSync = false;
        const bool video = recording || UseScreen(screen);
        renderDevice.direct3D =
            recording ? d3d9::CreateRecordingDirect3D() : d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
        d3d9::RequestWindowDepthStencil(samples); // as the game's windows do, and its samples
        const uint32_t shown = screen == Screen::window ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
        window_ = recording || !video
                      ? nullptr
                      : SDL_CreateWindow("bench", 0, 0, width, height, SDL_WINDOW_OPENGL | shown);
        started_ = (recording || window_) &&
                   renderDevice.Init(nullptr, window_, "", width, height, samples, 0, false, 3, 2, false);
    }
    // The device goes after the scenes, whose models hold what it made, and frees what the
    // managers kept of it for the next device.
    ~Device()
    {
        application = nullptr;
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        textures.FreeAll(true);
        renderDevice.Shutdown();
        if (window_)
            SDL_DestroyWindow(window_);
        renderDevice.direct3D->Release();
        renderDevice.direct3D = nullptr;
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool Started() const { return started_; }

private:
    SDL_Window* window_ = nullptr;
    bool started_ = false;
};

// Milliseconds a frame of the application takes (the bare frame for none), each after the
// update when given, over the frames.
inline double FrameMilliseconds(WeApplication* frame, int32_t frames,
                                const std::function<void()>& update = {})
{
    application = frame;
    renderDevice.RenderFrame(); // the first frame's uploads are not a steady frame's
    const auto begin = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < frames; ++i)
    {
        if (update)
            update();
        renderDevice.RenderFrame();
    }
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
    application = nullptr;
    return spent.count() / frames;
}

// Milliseconds of processor time the process has spent, over all its threads.
inline double ProcessCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Times the application's frames as the benchmark's iterations (each after the update, when
// given), beside the bare frame of the same device; reports both and the frame's cost over the
// bare one, in milliseconds.
inline void TimeFramesOverBare(benchmark::State& state, WeApplication& frame,
                               const std::function<void()>& update = {})
{
    const double bare = FrameMilliseconds(nullptr, 30);
    application = &frame;
    renderDevice.RenderFrame();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double cpuBegin = ProcessCpuMilliseconds();
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state)
    {
        if (update)
            update();
        renderDevice.RenderFrame();
    }
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
    // The work of every thread (the rasteriser's too), which a loaded machine does not inflate.
    state.counters["cpu_ms"] = (ProcessCpuMilliseconds() - cpuBegin) / double(state.iterations());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    state.counters["faults"] = double(after.ru_minflt - before.ru_minflt) / double(state.iterations());
    frameStats.Reset(); // the draws of one more frame
    renderDevice.RenderFrame();
    state.counters["draws"] = frameStats.frame.drawCalls;
    state.counters["faces"] = frameStats.frame.faces;
    application = nullptr;
    const double frameMs = spent.count() / double(state.iterations());
    state.counters["frame_ms"] = frameMs;
    state.counters["bare_ms"] = bare;
    state.counters["over_bare_ms"] = frameMs - bare;
    state.counters["fps"] = 1000.0 / frameMs;
}

// Loads the map into the scene one step at a time, as the play's loading does; false when it
// cannot be opened or a step fails.
inline bool LoadMap(WeScene& scene, const char* name)
{
    if (!scene.BeginLoad(name))
        return false;
    while (!scene.finished && scene.LoadStep())
    {
    }
    return scene.finished;
}
} // namespace gl_bench
