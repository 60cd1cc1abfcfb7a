// A level's load as a player meets it on the game's first run, once for every shipped background
// map: the game started afresh (a new device, so no program or texture is left from an earlier
// load), its menu settled, then the shipped table with the most blocks played in the skill mode
// from its switch to the play phase until the camera's fly-in is over, frame by frame through the
// run loop's Frame. The driver's own cache of compiled programs is off (MESA_SHADER_CACHE_DISABLE,
// unless set otherwise): with it warm, every program would come from disk, as it does on any run
// of the game but its first. Reports the longest frame of that window (wall time, and the
// processor time of the game's thread in it, which a loaded machine inflates less), the play
// phase's state at the start of that frame, the whole load, and the looks the frames met that
// no warm-up had drawn (programs made in a shown frame), each the median over the iterations.
// Target: no frame over 250 ms on a quiet machine. WE_BENCH_FRAMES=1 prints every frame.
// Runs on the offscreen video driver unless another is chosen.
#include "BoardBench.h"
#include "GameBench.h"
#include "MivoGame.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeConfig.h"
#include "WePhaseStack.h"
#include "WeSceneRenderer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr int32_t kWorldCount = 15;
constexpr int32_t kMaxLoadFrames = 2000;

double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

WeString& WorldKey(int32_t world)
{
    return WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(world), "");
}

// The background maps the game ships, in the order of the worlds that first name them.
std::vector<std::string> ShippedMaps()
{
    std::vector<std::string> maps;
    for (int32_t world = 1; world <= kWorldCount; ++world)
    {
        const std::string name = WorldKey(world).GetData();
        if (!name.empty() && std::find(maps.begin(), maps.end(), name) == maps.end())
            maps.push_back(name);
    }
    return maps;
}

// Every world shows the map while this lives.
class EveryWorldIs
{
public:
    explicit EveryWorldIs(const std::string& map)
    {
        for (int32_t world = 1; world <= kWorldCount; ++world)
        {
            WeString& key = WorldKey(world);
            kept.emplace_back(&key, key);
            key = map.c_str();
        }
    }
    ~EveryWorldIs()
    {
        for (auto& [key, value] : kept)
            *key = value;
    }
    EveryWorldIs(const EveryWorldIs&) = delete;
    EveryWorldIs& operator=(const EveryWorldIs&) = delete;

private:
    std::vector<std::pair<WeString*, WeString>> kept;
};

// A player folder with one profile that has seen every tutorial, so that the game starts in its
// main menu and the level plays as soon as the camera is in.
std::string PlayerFolder()
{
    char pattern[] = "/tmp/we_bench_XXXXXX";
    const std::string folder = mkdtemp(pattern) ? pattern : "/tmp";
    userData.SetFolder(folder);
    userData.CreateUser("Bench");
    uint8_t* seen = userData.CurrentUser()->tutorialsSeen;
    std::fill(seen, seen + kMivoTutorialCount, uint8_t(1));
    userData.SaveUsers();
    userData.FreeAll();
    return folder;
}

// One load's frames: the longest by wall time, with the thread's processor time in it and the
// state it began in.
struct LoadFrames
{
    double longestMs = 0.0, longestThreadMs = 0.0, totalMs = 0.0;
    int32_t longestState = 0, frames = 0, coldLooks = 0;
    bool played = false;
};

// From the level's switch to the end of the camera's fly-in.
LoadFrames LoadLevel(int32_t mapId)
{
    static const bool printFrames = std::getenv("WE_BENCH_FRAMES") != nullptr;
    LoadFrames load;
    userData.gameMode = MivoModeSkill;
    playGamePhase.returnPhase = nullptr;
    gameApp.mapToPlay = mapId;
    gameApp.questPlace = -1;
    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
    // The switch takes place in the next frame; until then the state is the last level's.
    const auto loading = [] {
        return phaseStack.GetTop() != &playGamePhase ||
               playGamePhase.state < MivoPlayGamePhase::CheckTutorials;
    };
    sceneRenderer.coldLooks = 0;
    const auto begin = Clock::now();
    for (; load.frames < kMaxLoadFrames && loading(); ++load.frames)
    {
        const int32_t state = playGamePhase.state;
        const double threadBefore = ThreadMilliseconds();
        const auto frameBegin = Clock::now();
        gameApp.Frame();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - frameBegin).count();
        const double threadMs = ThreadMilliseconds() - threadBefore;
        if (printFrames)
            std::fprintf(stderr, "frame %4d state %2d: %7.1f ms, %7.1f ms thread\n", load.frames, state, ms,
                         threadMs);
        if (ms > load.longestMs)
        {
            load.longestMs = ms;
            load.longestThreadMs = threadMs;
            load.longestState = state;
        }
    }
    load.totalMs = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
    load.coldLooks = sceneRenderer.coldLooks;
    load.played = !loading();
    return load;
}

void BM_LevelLoad(benchmark::State& state, const std::string& map, int32_t mapId)
{
    const EveryWorldIs world(map);
    std::vector<double> longest, longestThread, states, total, cold;
    for (auto _ : state)
    {
        const std::string folder = PlayerFolder();
        if (!game_bench::StartGame(folder))
        {
            state.SkipWithError("the game does not start");
            return;
        }
        for (int32_t i = 0; i < 30; ++i)
            gameApp.Frame(); // the menu settles
        const LoadFrames load = LoadLevel(mapId);
        game_bench::StopGame(folder);
        if (!load.played)
        {
            state.SkipWithError("the level does not start");
            return;
        }
        longest.push_back(load.longestMs);
        longestThread.push_back(load.longestThreadMs);
        states.push_back(load.longestState);
        total.push_back(load.totalMs);
        cold.push_back(load.coldLooks);
        state.SetIterationTime(load.longestMs / 1000.0);
    }
    state.counters["longest_ms"] = game_bench::Median(longest);
    state.counters["longest_thread_ms"] = game_bench::Median(longestThread);
    state.counters["longest_state"] = game_bench::Median(states);
    state.counters["load_ms"] = game_bench::Median(total);
    state.counters["cold_looks"] = game_bench::Median(cold);
    state.counters["map"] = mapId;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("ALSOFT_DRIVERS", "null", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    benchmark::Initialize(&argc, argv);
    const int32_t mapId = board_bench::LargestShippedLevel(false);
    for (const std::string& map : ShippedMaps())
        benchmark::RegisterBenchmark(("BM_LevelLoad/" + map).c_str(), BM_LevelLoad, map, mapId)
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
