// A playing frame of the play phase on the largest shipped level, with blocks sliding across it
// (whenever the board rests, every movable block is pushed the other way): the phase's update
// (the board tick, the block actors, the scene tick, the level end test, the display labels),
// then the CPU side of drawing the scene on the recording back end (the scene renderer's walk
// over the actors and the sorting of its lists; the back end's own software clear of the back
// buffer is no work of the frame's).
#include "BoardBench.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeRenderDevice.h"
#include "WeSceneRenderer.h"
#include "WeTimer.h"
#include "d3d9/D3d9Device.h"

namespace
{

int32_t BlockCount(MivoMapTable& table)
{
    int32_t count = 0;
    table.ForEachCell([&count](const MivoMapCell& cell)
                      { count += (cell.floor ? 1 : 0) + (cell.top ? 1 : 0); });
    return count;
}

// Loads every shipped database into the store; the map id of the table with the most blocks.
int32_t LargestShippedLevel()
{
    int32_t best = 0, bestCount = -1;
    for (const board_bench::ShippedFile& file : board_bench::ShippedDatabases())
    {
        WeConfig::LoadText(file.name.c_str(), file.text.data(), file.text.size());
        const auto database = MivoMapDatabase::Load(file.name.c_str());
        const int32_t number = std::stoi(file.name.substr(2));
        for (size_t i = 0; i < database->tables.size(); ++i)
            if (const int32_t count = BlockCount(*database->tables[i]); count > bestCount)
            {
                bestCount = count;
                best = number * 1000 + int32_t(i) + 1;
            }
    }
    return best;
}

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
        ~Stop()
        {
            playGamePhase.Leave();
            playGamePhase.blockMaterials.clear();
            renderDevice.Shutdown();
        }
    } stop;
    MivoPlayGamePhase& play = playGamePhase;
    gameApp.mapToPlay = LargestShippedLevel();
    userData.gameMode = MivoModeSkill;
    play.scene = std::make_unique<MivoGameScene>();
    play.board = MivoBoard::Create();
    play.board->callbacks = &play.gameCallbacks;
    play.camera = std::make_unique<MivoGameCamera>();
    play.camera->bases[MivoGameCamera::vertical] = 89.0f;
    play.camera->bases[MivoGameCamera::distance] = 19.0f;
    play.BuildBoard();
    if (!play.table)
    {
        state.SkipWithError("no shipped level");
        return;
    }
    play.BuildBlockMaterials();
    play.state = MivoPlayGamePhase::Playing;
    play.playing = true;
    timer.deltaTime = 1.0f / 60.0f;
    int32_t direction = MivoDirection::Right;
    int64_t moving = 0;
    for (auto _ : state)
    {
        if (play.board->IsAtRest())
        {
            direction = direction == MivoDirection::Right ? MivoDirection::Left : MivoDirection::Right;
            board_bench::PushAll(*play.board, direction);
        }
        moving += int64_t(play.board->moving.size());
        play.elapsed = 0.0f; // the level never runs out of time
        play.Update();
        frameStats.Reset(); // as every engine update does
        play.camera->Update();
        sceneRenderer.Prepare(play.scene.get(), play.camera.get());
        for (WeRenderList& list : sceneRenderer.lists)
            while (WeRenderItem* item = list.PopMin())
                benchmark::DoNotOptimize(item);
    }
    state.counters["blocks"] = double(play.blocks.size());
    state.counters["moving"] = double(moving) / double(state.iterations());
    state.counters["map"] = double(gameApp.mapToPlay);
}
BENCHMARK(BM_PlayingFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
