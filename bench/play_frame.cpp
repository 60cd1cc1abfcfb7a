// The play at a shipped level: the largest shipped level with a track, at the play's first view.
// - A playing frame of the play phase, with blocks sliding across it (whenever the board rests,
//   every movable block is pushed the other way) and their trails and sounds, a wave running
//   along its first track again and again, and a merge under way beside the board (two numbers
//   on a small board of their own in the same scene, set up again outside the timing once they
//   have merged): the phase's update (the board tick, the effects, the block actors, the scene
//   tick, the level end test, the display labels), then the CPU side of drawing the scene on the
//   recording back end (the scene renderer's walk over the actors and the sorting of its lists;
//   the back end's own software clear of the back buffer is no work of the frame's).
// - The play scene as the game draws it, the level over its background map, with the game's
//   render settings and bloom on (as the options turn it on), at 1024 x 768 on the OpenGL back
//   end without multisampling: its cost over the bare frame (clear and present) of the same run
//   (target at most 11 ms; Irrlicht 1.8.5 with a render-to-texture bloom of the same board costs
//   14.2 ms over its bare frame on this machine) and its ratio to the same frame without bloom
//   (target at most 1.3). Bare, plain and bloomed frames are timed in alternating rounds and
//   each figure is the median over the rounds, so a machine whose load changes moves them alike.
// - The bloom chain alone over a white capture (the whole screen lit, the most bloom's add can
//   cost): the processor and wall time it adds to the bare frame, and how long the application's
//   thread waits inside it.
// - The same bloomed frames on the recording back end: the engine's own processor time per frame
//   (target under 1 ms), beside the bare frame of that back end. The figure also holds the back
//   end's software fills of the three colour clears a bloomed frame makes (the frame's, the
//   capture's and the scene's own, all on the back buffer when bloom draws there) and its copy of
//   the back buffer at half size, so the engine's share is below it.
#include "../tests/scene/SceneFrame.h"
#include "BoardBench.h"
#include "GlBench.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeParticleSystem.h"
#include "WePostProcess.h"
#include "WeRenderDevice.h"
#include "WeSceneRenderer.h"
#include "WeTimer.h"
#include "d3d9/D3d9Device.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace
{

// Two numbers that merge, on a small board of their own whose actors stand in the play's scene
// beyond the level's edge, shown by the play's callbacks.
class MergeCorner
{
public:
    // The pair set up again, the last pair's actors gone, the first pushed into the second.
    void Start(MivoPlayGamePhase& play)
    {
        if (table)
            table->ForEachCell([&play](MivoMapCell& cell) { play.ForgetBlock(cell.top.get()); });
        table = std::make_unique<MivoMapTable>();
        table->PlaceFromText(0, 0, "N,4");
        table->PlaceFromText(1, 0, "N,5");
        table->LayOut(MivoPlayGamePhase::kCellPitch, 20.0f, 0.0f);
        board = std::make_unique<MivoBoard>();
        board->SetTable(table.get());
        board->callbacks = &play.gameCallbacks;
        board->speed = 5.0f;
        MivoBlock* blocks[] = {table->Cell(0, 0)->top.get(), table->Cell(1, 0)->top.get()};
        for (MivoBlock* block : blocks)
            play.CreateBlockActor(block->x, -block->y, block, 0, true, true);
        board->Select(blocks[0]);
        board->TryMove(blocks[0], MivoDirection::Right, false);
    }
    bool Merged() const { return board->IsAtRest(); }
    void Tick(float dt) { board->Tick(dt); }

private:
    std::unique_ptr<MivoMapTable> table;
    std::unique_ptr<MivoBoard> board;
};

// A wave along the track unless one runs: the switch's event, shown by the play's callbacks.
bool KeepTrackWave(MivoBoard& board, MivoTrack& track)
{
    for (const MivoBoardEvent& event : board.events)
        if (event.track == &track)
            return false;
    board.QueueEvent(MivoEventKind::TrackStarted, false, nullptr, nullptr, 0,
                     track.vertical ? MivoDirection::Down : MivoDirection::Right, &track);
    return true;
}

// The play at the largest shipped level with a track, in the play's scene (over the map when one
// is named), the camera at the first view, the level playing. The play leaves the level when this
// goes, before the device does.
class PlayLevel
{
public:
    PlayLevel() = default;
    ~PlayLevel()
    {
        playGamePhase.Leave();
        playGamePhase.blockMaterials.clear();
    }
    PlayLevel(const PlayLevel&) = delete;
    PlayLevel& operator=(const PlayLevel&) = delete;

    // False, with the benchmark skipped, when the map or the level cannot be had.
    bool Start(benchmark::State& state, const char* mapName = nullptr)
    {
        MivoPlayGamePhase& play = playGamePhase;
        gameApp.mapToPlay = board_bench::LargestShippedLevel(true);
        userData.gameMode = MivoModeSkill;
        play.scene = std::make_unique<MivoGameScene>();
        if (mapName && !gl_bench::LoadMap(*play.scene, mapName))
        {
            state.SkipWithError("the map is missing");
            return false;
        }
        play.board = MivoBoard::Create();
        play.board->callbacks = &play.gameCallbacks;
        play.camera = std::make_unique<MivoGameCamera>();
        play.camera->bases[MivoGameCamera::vertical] = 89.0f;
        play.camera->bases[MivoGameCamera::distance] = 19.0f;
        play.BuildBoard();
        if (!play.table)
        {
            state.SkipWithError("no shipped level");
            return false;
        }
        play.BuildBlockMaterials();
        play.state = MivoPlayGamePhase::Playing;
        play.playing = true;
        return true;
    }
};

void BM_PlayingFrame(benchmark::State& state)
{
    engine.settings.width = 1024;
    engine.settings.height = 768;
    renderDevice.direct3D = d3d9::CreateRecordingDirect3D();
    if (!renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true))
    {
        state.SkipWithError("the recording device did not start");
        return;
    }
    struct Stop
    {
        ~Stop() { renderDevice.Shutdown(); }
    } stop;
    PlayLevel level;
    if (!level.Start(state))
        return;
    MivoPlayGamePhase& play = playGamePhase;
    timer.deltaTime = 1.0f / 60.0f;
    int32_t direction = MivoDirection::Right;
    int64_t moving = 0, waves = 0, merges = 0, particles = 0;
    MergeCorner merge;
    merge.Start(play);
    for (auto _ : state)
    {
        if (play.board->IsAtRest())
        {
            direction = direction == MivoDirection::Right ? MivoDirection::Left : MivoDirection::Right;
            board_bench::PushAll(*play.board, direction);
        }
        waves += KeepTrackWave(*play.board, play.table->tracks.front()) ? 1 : 0;
        if (merge.Merged())
        {
            state.PauseTiming();
            merge.Start(play);
            ++merges;
            state.ResumeTiming();
        }
        moving += int64_t(play.board->moving.size());
        particles += particlePool.GetLiveCount();
        play.elapsed = 0.0f; // the level never runs out of time
        merge.Tick(timer.deltaTime);
        play.Update();
        frameStats.Reset(); // as every engine update does
        play.camera->Update();
        sceneRenderer.Prepare(play.scene.get(), play.camera.get());
        for (WeRenderList& list : sceneRenderer.lists)
            while (WeRenderItem* item = list.PopMin())
                benchmark::DoNotOptimize(item);
    }
    state.counters["blocks"] = double(play.level.blocks.size());
    state.counters["moving"] = double(moving) / double(state.iterations());
    state.counters["map"] = double(gameApp.mapToPlay);
    state.counters["waves"] = double(waves);
    state.counters["merges"] = double(merges);
    state.counters["particles"] = double(particles) / double(state.iterations());
}
BENCHMARK(BM_PlayingFrame)->Unit(benchmark::kMicrosecond);

// The game's render settings (bloom as the options say), the chain built again for them.
void ApplyGameSettings(bool bloom)
{
    renderDevice.refraction = false;
    renderDevice.outlines = false;
    renderDevice.shaderLevel = 1;
    renderDevice.filmGrain = false;
    renderDevice.depthOfField = false;
    renderDevice.motionBlurMode = 0;
    renderDevice.maxAnisotropy = 4;
    gameApp.bloom = bloom;
    gameApp.ApplyBloom();
    postProcess.Release();
    postProcess.Build();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Per-frame figures of one round, in ms: the bare frame, the play without bloom and with it;
// processor time of all threads (the rasteriser's too) for the two play frames.
struct Round
{
    double bare, plain, bloom, plainCpu, bloomCpu;
};

// Milliseconds per frame of the application (the bare frame for none) and the processor time of
// every thread per frame, over the frames.
std::pair<double, double> TimeFrames(WeApplication* frame, int32_t frames,
                                     const std::function<void()>& update)
{
    const double cpuBegin = gl_bench::ProcessCpuMilliseconds();
    const double ms = gl_bench::FrameMilliseconds(frame, frames, update);
    return {ms, (gl_bench::ProcessCpuMilliseconds() - cpuBegin) / double(frames + 1)};
}

Round TimeRound(WeApplication& frame, const std::function<void()>& update)
{
    constexpr int32_t frames = 6;
    Round round{};
    ApplyGameSettings(false);
    round.bare = TimeFrames(nullptr, frames, {}).first;
    std::tie(round.plain, round.plainCpu) = TimeFrames(&frame, frames, update);
    ApplyGameSettings(true);
    std::tie(round.bloom, round.bloomCpu) = TimeFrames(&frame, frames, update);
    return round;
}

// Arguments: the world (the background map), the target over the bare frame in hundredths of a
// ms, the target ratio to the frame without bloom in hundredths, Irrlicht's figure in
// hundredths of a ms.
void BM_PlaySceneBloom(benchmark::State& state)
{
    const WeString mapName = WeString("World").AppendInt(int32_t(state.range(0)));
    const double targetMs = double(state.range(1)) / 100.0, targetRatio = double(state.range(2)) / 100.0;
    gl_bench::Device device(1024, 768, 0);
    if (!device.Started())
    {
        state.SkipWithError("no OpenGL device");
        return;
    }
    PlayLevel level;
    if (!level.Start(state, mapName.GetData()))
        return;
    timer.deltaTime = 1.0f / 60.0f;
    // The play's frame as the game draws it: its scene through its camera.
    SceneFrame frame(*playGamePhase.scene, *playGamePhase.camera);
    const auto tick = []
    {
        playGamePhase.scene->Tick();
        playGamePhase.camera->Update();
    };
    ApplyGameSettings(true);
    if (postProcess.effects.GetCount() != 1)
    {
        state.SkipWithError("the device builds no bloom");
        return;
    }
    std::vector<Round> rounds;
    for (auto _ : state)
    {
        const Round round = TimeRound(frame, tick);
        rounds.push_back(round);
        state.SetIterationTime(round.bloom / 1000.0);
    }
    auto median = [&rounds](double (*figure)(const Round&))
    {
        std::vector<double> values;
        for (const Round& round : rounds)
            values.push_back(figure(round));
        return Median(values);
    };
    const double over = median([](const Round& r) { return r.bloom - r.bare; });
    const double ratio = median([](const Round& r) { return r.bloom / r.plain; });
    state.counters["bloom_ms"] = median([](const Round& r) { return r.bloom; });
    state.counters["plain_ms"] = median([](const Round& r) { return r.plain; });
    state.counters["bare_ms"] = median([](const Round& r) { return r.bare; });
    state.counters["bloom_cpu_ms"] = median([](const Round& r) { return r.bloomCpu; });
    state.counters["plain_cpu_ms"] = median([](const Round& r) { return r.plainCpu; });
    state.counters["over_bare_ms"] = over;
    state.counters["target_ms"] = targetMs;
    state.counters["irrlicht_ms"] = double(state.range(3)) / 100.0;
    state.counters["bloom/plain"] = ratio;
    state.counters["target_ratio"] = targetRatio;
    state.counters["meets_target"] = over <= targetMs && ratio <= targetRatio ? 1.0 : 0.0;
    state.counters["blocks"] = double(playGamePhase.level.blocks.size());
    ApplyGameSettings(false);
}
BENCHMARK(BM_PlaySceneBloom)
    ->ArgNames({"world", "target_cms", "target_ratio_c", "irrlicht_cms"})
    ->Args({1, 1100, 130, 1420})
    ->Args({2, 1100, 130, 1420})
    ->Iterations(9)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// A frame of the bloom chain alone: the capture begun, cleared to white and ended, then the chain
// and its combine onto the back buffer, which bloom lights all over. Keeps the wall time the
// application's thread spends inside the chain: near the chain's whole cost when each pass waits
// for the rasteriser, near nothing when the passes only queue their work.
class ChainFrame : public WeApplication
{
public:
    const char* GetName() override { return "ChainFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        postProcess.BeginCapture();
        WeRenderDevice::Clear(true, WeColor{1.0f, 1.0f, 1.0f, 1.0f}, false, 1.0f, false, 0);
        postProcess.EndCapture();
        const auto start = std::chrono::steady_clock::now();
        postProcess.Render();
        insideMs +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        ++frames;
    }
    double MillisecondsInside() const { return frames > 0 ? insideMs / double(frames) : 0.0; }

private:
    double insideMs = 0.0;
    int64_t frames = 0;
};

// The bloom chain alone over a white capture, beside the bare frame in alternating rounds:
// what the chain adds to a frame in processor time of all threads and in wall time, each the
// median over the rounds, and the application thread's time inside the chain per frame. Without
// the scene's own drawing and its variation, these figures are steadier than the play frame's for
// comparing changes to the chain.
void BM_BloomChain(benchmark::State& state)
{
    gl_bench::Device device(1024, 768, 0);
    if (!device.Started())
    {
        state.SkipWithError("no OpenGL device");
        return;
    }
    ApplyGameSettings(true);
    ChainFrame frame;
    std::vector<double> cpu, wall;
    for (auto _ : state)
    {
        constexpr int32_t frames = 40;
        const auto [bareMs, bareCpu] = TimeFrames(nullptr, frames, {});
        const auto [chainMs, chainCpu] = TimeFrames(&frame, frames, {});
        cpu.push_back(chainCpu - bareCpu);
        wall.push_back(chainMs - bareMs);
        state.SetIterationTime(chainMs / 1000.0);
    }
    state.counters["chain_cpu_ms"] = Median(cpu);
    state.counters["chain_ms"] = Median(wall);
    state.counters["inside_chain_ms"] = frame.MillisecondsInside();
    ApplyGameSettings(false);
}
BENCHMARK(BM_BloomChain)->Iterations(15)->Unit(benchmark::kMillisecond)->UseManualTime();

// The same bloomed frames on the recording back end: the engine's own processor time per frame,
// beside the bare frame of that back end. The call log is the tests' and stays off.
void BM_PlaySceneBloomEngineCpu(benchmark::State& state)
{
    constexpr double targetMs = 1.0;
    gl_bench::Device device(1024, 768, 0, true);
    if (!device.Started())
    {
        state.SkipWithError("the recording device did not start");
        return;
    }
    renderDevice.device->SetLogging(false);
    PlayLevel level;
    if (!level.Start(state, "World2"))
        return;
    timer.deltaTime = 1.0f / 60.0f;
    ApplyGameSettings(true);
    const double bare = gl_bench::FrameMilliseconds(nullptr, 200);
    SceneFrame frame(*playGamePhase.scene, *playGamePhase.camera);
    application = &frame;
    renderDevice.RenderFrame();
    const double cpuBegin = gl_bench::ProcessCpuMilliseconds();
    for (auto _ : state)
    {
        playGamePhase.scene->Tick();
        playGamePhase.camera->Update();
        renderDevice.RenderFrame();
    }
    application = nullptr;
    const double cpu = (gl_bench::ProcessCpuMilliseconds() - cpuBegin) / double(state.iterations());
    state.counters["cpu_ms"] = cpu;
    state.counters["bare_ms"] = bare;
    state.counters["target_ms"] = targetMs;
    state.counters["meets_target"] = cpu < targetMs ? 1.0 : 0.0;
    state.counters["effects"] = double(postProcess.effects.GetCount());
    ApplyGameSettings(false);
}
BENCHMARK(BM_PlaySceneBloomEngineCpu)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
