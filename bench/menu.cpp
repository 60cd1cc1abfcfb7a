// The main menu as the game shows it: the game's start (Init and the first presented frame, the
// configuration and package already warm in this process), then frames through the run loop's
// Frame, frame-rate limiter included. Reports the start in milliseconds, frames per second, the
// processor time of every thread of the process over the wall time (cores busy) and the page
// faults of a frame. Beside it, in the same run, the same menu as the game used to start it:
// multisampling asked first and no frame-rate floor before the first level.
// ProcessStart times a whole new process of this program from its launch to the first menu
// frame (shared libraries, display, fonts, package): the old start also has the FFmpeg libraries
// the game used to link loaded at launch. Its cold variant does the same after dropping from the
// page cache every file such a start reads (its program, the shared libraries it maps, the
// package, maps and fonts, the font and shader caches): pages that other processes hold mapped
// stay, so it is as cold as a machine that runs other programs gets. Its loader share is the
// part before the program's first constructor: shared libraries mapped, relocated and their own
// constructors run.
// Runs on the offscreen video driver unless another is chosen.
#include "GameBench.h"
#include "MivoGame.h"
#include "MivoUserData.h"
#include "WeApplication.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"
#include "dshow/DShowFfmpeg.h"
#include "gdi/GdiFont.h"
#include "win32/Win32Window.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// The offscreen video and silent audio drivers, unless others are chosen.
void UseOffscreenDrivers()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
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

// The game's start as the program makes it, up to its first presented frame; false when it
// does not start.
bool StartGame(const std::string& folder)
{
    UseOffscreenDrivers();
    timer.minimumDelta = 0.001;
    if (!game_bench::StartGame(folder))
        return false;
    gameApp.Frame();
    return true;
}

void MainMenu(benchmark::State& state)
{
    const bool oldStart = state.range(0) != 0;
    const std::string folder = PlayerFolder(oldStart);
    const auto begin = Clock::now();
    if (!StartGame(folder))
    {
        state.SkipWithError("the game does not start");
        return;
    }
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
    game_bench::StopGame(folder);
}

constexpr const char* startChildOption = "--start-child";

Clock::time_point constructed; // when the first constructor of this process ran

// As the game does, before the engine's globals load the configuration; a start child of the
// current start also begins the video there (the old start did not).
__attribute__((constructor(101))) void StartEarly(int argc, char** argv)
{
    constructed = Clock::now();
    WeKeepHeapMapped();
    if (argc == 3 && std::strcmp(argv[1], startChildOption) == 0 && std::strcmp(argv[2], "0") == 0)
    {
        UseOffscreenDrivers();
        win32::BeginVideo();
    }
}

// The files the process maps (its program and shared libraries), one a line.
void PrintMappedFiles()
{
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> files;
    for (std::string line; std::getline(maps, line);)
    {
        const size_t path = line.find(" /");
        if (path != std::string::npos)
            files.insert(line.substr(path + 1));
    }
    for (const std::string& file : files)
        std::puts(file.c_str());
}

// The new process of ProcessStart: starts the game, says "started" on its standard output with
// the clock's nanoseconds when its first constructor ran, then lists the files it maps and ends
// (only the start is timed).
[[noreturn]] void RunStartChild(bool oldStart)
{
    const std::string folder = PlayerFolder(oldStart);
    if (!oldStart)
        gdi::LoadFontConfig(); // as the game's entry function does
    const bool started = StartGame(folder);
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(constructed.time_since_epoch());
    std::printf("%s %lld\n", started ? "started" : "failed", static_cast<long long>(nanoseconds.count()));
    std::fflush(stdout);
    PrintMappedFiles();
    std::fflush(stdout);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    _exit(started ? 0 : 1);
}

// Drops the file's pages from the page cache, but for those a process holds mapped.
void Evict(const std::filesystem::path& file)
{
    const int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
    close(descriptor);
}

void EvictTree(const std::filesystem::path& root)
{
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(root, error);
    if (error)
        return;
    Evict(real);
    const auto options = std::filesystem::directory_options::skip_permission_denied;
    for (std::filesystem::recursive_directory_iterator it(real, options, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file(error))
            Evict(it->path());
}

// What a start reads beside the files it maps: the game's data beside the program, the fonts
// with the font configuration and its cache, and the driver's shader cache.
void EvictStartFiles(const std::vector<std::string>& mapped)
{
    for (const std::string& file : mapped)
        Evict(file);
    const std::filesystem::path folder = WeGetExecutableFolder().GetData();
    const char* home = std::getenv("HOME");
    for (const std::filesystem::path& tree :
         {folder / "Packages.dat", folder / "Maps", folder / "Fonts", std::filesystem::path("/etc/fonts"),
          std::filesystem::path("/usr/share/fontconfig"), std::filesystem::path("/usr/share/fonts"),
          std::filesystem::path("/var/cache/fontconfig"),
          std::filesystem::path(home ? home : "/root") / ".cache/mesa_shader_cache"})
        EvictTree(tree);
}

// All the child says after its first line: the files it maps.
std::vector<std::string> ReadMappedFiles(int channel, std::string said)
{
    char buffer[4096];
    for (ssize_t count; (count = read(channel, buffer, sizeof buffer)) > 0;)
        said.append(buffer, size_t(count));
    std::vector<std::string> files;
    size_t begin = said.find('\n');
    for (size_t end; begin != std::string::npos && (end = said.find('\n', begin + 1)) != std::string::npos;
         begin = end)
        files.push_back(said.substr(begin + 1, end - begin - 1));
    return files;
}

// Milliseconds from a start child's launch to its first frame and to its first constructor;
// negative when it did not start.
struct StartTimes
{
    double frame = -1.0;
    double loader = -1.0;
};

// Launches this program as a start child and times it. `mapped` gets the files the child mapped.
StartTimes TimeProcessStart(bool oldStart, std::vector<std::string>& mapped)
{
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, "LD_PRELOAD=", 11) != 0)
            environment.emplace_back(*entry);
    if (oldStart)
    {
        std::string preload = "LD_PRELOAD=";
        for (const char* library : dshow::ffmpegLibraries)
            preload += std::string(library) + ":";
        environment.push_back(preload);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe", option = startChildOption, old = oldStart ? "1" : "0";
    char* argv[] = {self.data(), option.data(), old.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    const auto begin = Clock::now();
    pid_t child = 0;
    const bool spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    char said[4096] = {};
    const ssize_t count = spawned ? read(channel[0], said, sizeof said - 1) : -1;
    const bool started = count > 0 && std::strncmp(said, "started ", 8) == 0;
    const std::chrono::duration<double, std::milli> elapsed = Clock::now() - begin;
    const Clock::time_point childConstructed{std::chrono::nanoseconds(std::strtoll(said + 7, nullptr, 10))};
    const std::chrono::duration<double, std::milli> loaded = childConstructed - begin;
    mapped = ReadMappedFiles(channel[0], std::string(said, size_t(std::max<ssize_t>(count, 0))));
    close(channel[0]);
    int status = 0;
    if (spawned)
        waitpid(child, &status, 0);
    return started ? StartTimes{elapsed.count(), loaded.count()} : StartTimes{};
}

// Whole new processes to the first menu frame, the old start and the current one in turns;
// with `cold`, each after the files of a start are dropped from the page cache.
void ProcessStart(benchmark::State& state, bool cold)
{
    std::vector<double> oldTimes, newTimes, oldLoaders, newLoaders;
    std::vector<std::string> mapped;
    if (cold)
        TimeProcessStart(true, mapped);
    auto timeStart = [&](bool oldStart)
    {
        if (cold)
            EvictStartFiles(mapped);
        return TimeProcessStart(oldStart, mapped);
    };
    for (auto _ : state)
    {
        const StartTimes oldStart = timeStart(true), newStart = timeStart(false);
        if (oldStart.frame < 0.0 || newStart.frame < 0.0)
        {
            state.SkipWithError("the game does not start");
            return;
        }
        oldTimes.push_back(oldStart.frame);
        newTimes.push_back(newStart.frame);
        oldLoaders.push_back(oldStart.loader);
        newLoaders.push_back(newStart.loader);
        state.SetIterationTime(newStart.frame / 1000.0);
    }
    state.counters["start_ms"] = game_bench::Median(newTimes);
    state.counters["old_start_ms"] = game_bench::Median(oldTimes);
    state.counters["loader_ms"] = game_bench::Median(newLoaders);
    state.counters["old_loader_ms"] = game_bench::Median(oldLoaders);
}

BENCHMARK(MainMenu)
    ->ArgName("oldStart")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(240)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_CAPTURE(ProcessStart, warm, false)->Iterations(7)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(ProcessStart, cold, true)->Iterations(7)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], startChildOption) == 0)
        RunStartChild(std::strcmp(argv[2], "1") == 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
