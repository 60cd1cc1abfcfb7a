// A playing frame of the play phase on the largest shipped level with a track, with blocks
// sliding across it (whenever the board rests, every movable block is pushed the other way) and
// their trails and sounds, a wave running along its first track again and again, and a merge
// under way beside the board (two numbers on a small board of their own in the same scene, set up
// again outside the timing once they have merged): the phase's update (the board tick, the
// effects, the block actors, the scene tick, the level end test, the display labels), then the
// CPU side of drawing the scene on the recording back end (the scene renderer's walk over the
// actors and the sorting of its lists; the back end's own software clear of the back buffer is
// no work of the frame's).
#include "BoardBench.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeMaterial.h"
#include "WeParticleSystem.h"
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

// Loads every shipped database into the store; the map id of the table with a track that has the
// most blocks.
int32_t LargestShippedLevel()
{
    int32_t best = 0, bestCount = -1;
    for (const board_bench::ShippedFile& file : board_bench::ShippedDatabases())
    {
        WeConfig::LoadText(file.name.c_str(), file.text.data(), file.text.size());
        const auto database = MivoMapDatabase::Load(file.name.c_str());
        const int32_t number = std::stoi(file.name.substr(2));
        for (size_t i = 0; i < database->tables.size(); ++i)
            if (const int32_t count = BlockCount(*database->tables[i]);
                count > bestCount && !database->tables[i]->tracks.empty())
            {
                bestCount = count;
                best = number * 1000 + int32_t(i) + 1;
            }
    }
    return best;
}

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
    state.counters["blocks"] = double(play.blocks.size());
    state.counters["moving"] = double(moving) / double(state.iterations());
    state.counters["map"] = double(gameApp.mapToPlay);
    state.counters["waves"] = double(waves);
    state.counters["merges"] = double(merges);
    state.counters["particles"] = double(particles) / double(state.iterations());
}
BENCHMARK(BM_PlayingFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
