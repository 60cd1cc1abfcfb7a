// A full 16 x 16 board (a track piece and a numbered block in every cell: 512 block actors) seen
// through the first camera view:
// - drawn by the play over the test map World1 (lit per pixel by its point lights) at 1024 x 768
//   on the OpenGL back end, without multisampling and with 4x, beside the bare frame (clear and
//   present) of the same device. Target: the frame's cost over the bare frame at most 9 ms
//   without multisampling and 12.5 ms with 4x (a fifth under Irrlicht 1.8.5's 11.1 ms and
//   15.9 ms for the same board on this machine). Beside it, the map alone with the blocks
//   hidden and the board's own cost (board_ms: the frame less the map alone; board_cpu_ms the
//   same in processor time of all threads, which a busy machine inflates less). The benchmark's
//   CPU column is the main thread's time (engine, driver state, vertices and binning). The
//   fragments rasterised per pixel over the bare frame, of the map alone and of the whole frame,
//   are what the 4x frame's cost follows on the software rasteriser (see FragmentsPerPixel);
// - the play's picking under the mouse beside a bare loop of the same 512 box probes. Target:
//   within 1.5 times the bare loop.
#include "../tests/scene/SceneFrame.h"
#include "GlBench.h"
#include "MivoBoard.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "WeModel.h"
#include "WeRenderDevice.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

namespace
{

// The play phase over a full board in the scene of the map (an empty scene for none), the camera
// at the first view.
struct FullBoard
{
    explicit FullBoard(const char* mapName = nullptr)
    {
        renderDevice.SetBackBufferSize(1024, 768); // a device made for the frame has that size
        for (int32_t x = 0; x < MivoMapTable::kSize; ++x)
            for (int32_t y = 0; y < MivoMapTable::kSize; ++y)
            {
                table.PlaceFromText(x, y, "R,3,1");
                table.PlaceFromText(x, y, WeString("N,").AppendInt((x + y) % 9 + 1));
            }
        MivoPlayGamePhase& play = playGamePhase;
        play.scene = std::make_unique<MivoGameScene>();
        mapLoaded = mapName && gl_bench::LoadMap(*play.scene, mapName);
        play.board = MivoBoard::Create();
        play.table = &table;
        play.board->SetTable(&table);
        play.boardCentreX = play.boardCentreZ = 7.5f * MivoPlayGamePhase::kCellPitch;
        play.LayoutBlocks();
        table.ForEachCell(
            [&](MivoMapCell& cell)
            {
                for (MivoBlock* block : {cell.floor.get(), cell.top.get()})
                    actors.push_back(play.CreateBlockActor(block->x, -block->y, block, 0, true, true));
            });
        play.camera = std::make_unique<MivoGameCamera>();
        play.camera->bases[MivoGameCamera::vertical] = 89.0f;
        play.camera->bases[MivoGameCamera::distance] = 19.0f;
        play.camera->Update();
    }
    ~FullBoard()
    {
        playGamePhase.Leave();
        playGamePhase.blockMaterials.clear();
    }

    void ShowBlocks(bool shown)
    {
        for (MivoActor* actor : actors)
            if (actor)
                actor->visible = shown;
    }

    // The mean number of point lights the block models were last drawn with.
    double PointLightsPerBlock() const
    {
        double lights = 0;
        for (const MivoActor* actor : actors)
            lights += actor && actor->model ? double(actor->model->pointLightCount) : 0.0;
        return actors.empty() ? 0.0 : lights / double(actors.size());
    }

    MivoMapTable table;
    std::vector<MivoActor*> actors; // the blocks', owned by the scene
    bool mapLoaded = false;
};

// Nanoseconds a round of the work takes, over a batch of rounds.
template <class Work> double BatchNanoseconds(int32_t rounds, Work&& work)
{
    const auto begin = std::chrono::steady_clock::now();
    for (int32_t round = 0; round < rounds; ++round)
        work();
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - begin;
    return spent.count() / double(rounds);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// Milliseconds of processor time this thread has spent.
double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Milliseconds a frame takes: wall clock, processor time of every thread (the rasteriser's too)
// and of this thread alone (the engine, the driver's state, vertex and binning work).
struct FrameCost
{
    double wall = 0.0, cpu = 0.0, main = 0.0;
};

// The cost of a frame of the application (the bare frame for none) over 30 frames.
FrameCost CostOfFrames(WeApplication* frame)
{
    constexpr int32_t frames = 30;
    const double cpu = gl_bench::ProcessCpuMilliseconds(), main = ThreadCpuMilliseconds();
    FrameCost cost;
    cost.wall = gl_bench::FrameMilliseconds(frame, frames);
    // FrameMilliseconds draws one frame more before it starts timing.
    cost.cpu = (gl_bench::ProcessCpuMilliseconds() - cpu) / (frames + 1);
    cost.main = (ThreadCpuMilliseconds() - main) / (frames + 1);
    return cost;
}

// Fragments rasterised per pixel of the screen over a frame of the application (the bare frame
// for none), as the driver counts its pixel stage's invocations (0 where it has no such count).
// The software rasteriser counts hidden fragments too: without multisampling, those behind what
// is already drawn fail the depth test before they are shaded; with 4x every one is shaded and
// tested and written at each sample, so the 4x frame's cost follows this figure whatever the
// order of the draws.
double FragmentsPerPixel(WeApplication* frame)
{
    if (!epoxy_has_gl_extension("GL_ARB_pipeline_statistics_query"))
        return 0.0;
    application = frame;
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, query);
    renderDevice.RenderFrame();
    glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    GLuint64 fragments = 0;
    glGetQueryObjectui64v(query, GL_QUERY_RESULT, &fragments);
    glDeleteQueries(1, &query);
    application = nullptr;
    return double(fragments) / double(renderDevice.BackBufferWidth() * renderDevice.BackBufferHeight());
}

// The bare loop: the box probe of every block's centre along the pick ray; the hits.
int32_t ProbeAll(const std::vector<WeVector>& centres, const WeVector& origin, const WeVector& direction)
{
    int32_t hits = 0;
    for (const WeVector& centre : centres)
        hits += MivoPlayGamePhase::ProbeBlock(centre, origin, direction);
    return hits;
}

void BM_PickBlock(benchmark::State& state)
{
    constexpr double targetRatio = 1.5;
    FullBoard board;
    std::vector<WeVector> centres;
    for (const MivoBlock* block : playGamePhase.blocks)
        centres.push_back({block->x, 0.0f, -block->y});
    WeVector origin, direction;
    playGamePhase.camera->GetPickRay(0.0f, 0.0f, origin, direction);
    // Picking and the bare loop take turns, a batch each per iteration, so that both meet the
    // same load; the figures are the batches' medians.
    constexpr int32_t rounds = 400;
    WeActor* actor = nullptr;
    MivoBlock* block = nullptr;
    std::vector<double> picks, bares, ratios;
    for (auto _ : state)
    {
        picks.push_back(BatchNanoseconds(rounds,
                                         [&]
                                         {
                                             playGamePhase.PickBlock(actor, block);
                                             benchmark::DoNotOptimize(actor);
                                         }));
        bares.push_back(
            BatchNanoseconds(rounds, [&] { benchmark::DoNotOptimize(ProbeAll(centres, origin, direction)); }));
        ratios.push_back(picks.back() / bares.back());
    }
    const double pickNs = Median(picks), bareNs = Median(bares), ratio = Median(ratios);
    state.counters["boxes"] = double(playGamePhase.blocks.size());
    state.counters["pick_ns"] = pickNs;
    state.counters["bare_ns"] = bareNs;
    state.counters["pick/bare"] = ratio;
    state.counters["target"] = targetRatio;
    state.counters["meets_target"] = ratio <= targetRatio ? 1.0 : 0.0;
}
BENCHMARK(BM_PickBlock);

void BM_BareBoxProbes(benchmark::State& state)
{
    FullBoard board;
    std::vector<WeVector> centres;
    for (const MivoBlock* block : playGamePhase.blocks)
        centres.push_back({block->x, 0.0f, -block->y});
    WeVector origin, direction;
    playGamePhase.camera->GetPickRay(0.0f, 0.0f, origin, direction);
    for (auto _ : state)
        benchmark::DoNotOptimize(ProbeAll(centres, origin, direction));
    state.counters["boxes"] = double(centres.size());
}
BENCHMARK(BM_BareBoxProbes);

// Arguments: the multisampling, the target over the bare frame in ms, Irrlicht's figure in
// hundredths of a ms.
void BM_FullBoardFrame(benchmark::State& state)
{
    const auto samples = int32_t(state.range(0));
    const double targetMs = double(state.range(1)) / 100.0, irrlichtMs = double(state.range(2)) / 100.0;
    gl_bench::Device device(1024, 768, samples);
    if (!device.Started())
    {
        state.SkipWithError("no OpenGL device");
        return;
    }
    FullBoard board("World1");
    if (!board.mapLoaded)
    {
        state.SkipWithError("Maps/World1.map missing");
        return;
    }
    playGamePhase.BuildBlockMaterials();
    playGamePhase.state = MivoPlayGamePhase::Playing;
    // The play's frame at play, the camera at rest: the scene through the camera.
    SceneFrame frame(*playGamePhase.scene, *playGamePhase.camera);
    // The map alone first (the blocks hidden), for the board's own cost beside the literal
    // figure: Irrlicht's figures are of the board alone.
    const FrameCost bare = CostOfFrames(nullptr);
    board.ShowBlocks(false);
    const FrameCost map = CostOfFrames(&frame);
    // Over the bare frame, whose copy to the window is counted too.
    const double bareFragments = FragmentsPerPixel(nullptr);
    const double mapFragments = FragmentsPerPixel(&frame) - bareFragments;
    board.ShowBlocks(true);
    const double fragments = FragmentsPerPixel(&frame) - bareFragments;
    gl_bench::TimeFramesOverBare(state, frame);
    const double over = state.counters["over_bare_ms"];
    state.counters["bare_cpu_ms"] = bare.cpu;
    state.counters["map_ms"] = map.wall;
    state.counters["map_cpu_ms"] = map.cpu;
    state.counters["map_main_ms"] = map.main;
    state.counters["map_fragments/px"] = mapFragments;
    state.counters["fragments/px"] = fragments;
    state.counters["board_ms"] = state.counters["frame_ms"] - map.wall;
    state.counters["board_cpu_ms"] = state.counters["cpu_ms"] - map.cpu;
    state.counters["target_ms"] = targetMs;
    state.counters["over/target"] = over / targetMs;
    state.counters["meets_target"] = over <= targetMs ? 1.0 : 0.0;
    state.counters["irrlicht_ms"] = irrlichtMs;
    state.counters["actors"] = double(playGamePhase.scene->actors.GetCount());
    state.counters["lights/block"] = board.PointLightsPerBlock();
}
BENCHMARK(BM_FullBoardFrame)
    ->ArgNames({"samples", "target_cms", "irrlicht_cms"})
    ->Args({0, 900, 1110})
    ->Args({4, 1250, 1590})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
