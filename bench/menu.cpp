// The main menu as the game shows it: the game's start (Init and the first presented frame, the
// configuration and package already warm in this process), then frames through the run loop's
// Frame, frame-rate limiter included. Reports the start in milliseconds, frames per second, the
// processor time of every thread of the process over the wall time (cores busy) and the page
// faults of a frame. Beside it, in the same run, the same menu as the game used to start it:
// multisampling asked first and no frame-rate floor before the first level.
// Runs on the offscreen video driver unless another is chosen.
#include "MivoGame.h"
#include "MivoUserData.h"
#include "WeApplication.h"
#include "WeEngine.h"
#include "WeEngineParts.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace
{

using Clock = std::chrono::steady_clock;

double Seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
}

double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

long PageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// A player folder with one profile, so the game starts in its main menu; `oldStart` asks for
// multisampling in the options as the first display try always did.
std::string PlayerFolder(bool oldStart)
{
    char pattern[] = "/tmp/we_bench_XXXXXX";
    const std::string folder = mkdtemp(pattern) ? pattern : "/tmp";
    std::ofstream(folder + "/options.ini") << "[Options]\nAntialias=" << (oldStart ? 1 : 0) << "\n";
    userData.SetFolder(folder);
    userData.CreateUser("Bench");
    userData.FreeAll();
    return folder;
}

void MainMenu(benchmark::State& state)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    std::error_code ignored;
    std::filesystem::current_path(WeGetExecutableFolder().GetData(), ignored);
    const bool oldStart = state.range(0) != 0;
    const std::string folder = PlayerFolder(oldStart);
    gameApp.playerFolder = folder;
    gameApp.commandLineNumber = 1;
    timer.minimumDelta = 0.001;
    WeKeepHeapMapped();
    application = &gameApp;
    WeEngineParts& parts = engine.GetParts();
    parts.FillRandomTable();
    parts.InitializeCom();
    const auto begin = Clock::now();
    if (!parts.CreateDirect3D() || (parts.LoadLanguages(), !gameApp.Init()))
    {
        state.SkipWithError("the game does not start");
        return;
    }
    gameApp.OnActivate();
    gameApp.Frame();
    const std::chrono::duration<double, std::milli> start = Clock::now() - begin;
    if (oldStart)
        timer.minimumDelta = 0.001;
    for (int i = 0; i < 30; ++i)
        gameApp.Frame(); // the menu settles: its textures and programs are made
    const double processorBefore = ProcessorSeconds();
    const long faultsBefore = PageFaults();
    const auto wallBefore = Clock::now();
    for (auto _ : state)
        gameApp.Frame();
    const std::chrono::duration<double> wall = Clock::now() - wallBefore;
    const double frames = double(state.iterations());
    state.counters["start_ms"] = start.count();
    state.counters["fps"] = frames / wall.count();
    state.counters["cores"] = (ProcessorSeconds() - processorBefore) / wall.count();
    state.counters["faults"] = double(PageFaults() - faultsBefore) / frames;
    gameApp.Exit();
    gameApp.OnDeactivate();
    engine.Shutdown();
    parts.ReleaseDirect3D();
    parts.UninitializeCom();
    std::filesystem::remove_all(folder, ignored);
}

BENCHMARK(MainMenu)
    ->ArgName("oldStart")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(240)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
