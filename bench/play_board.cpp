// The play's picking on a full 16 x 16 board (a track piece and a numbered block in every cell:
// 512 block boxes) beside a bare loop of the same 512 box probes. The mouse points at the board
// through the first camera view.
#include "MivoBoard.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{

// The play phase over a full board in an empty scene, the camera at the first view.
struct FullBoard
{
    FullBoard()
    {
        engine.settings.width = 1024;
        engine.settings.height = 768;
        renderDevice.aspect = 1024.0f / 768.0f;
        for (int32_t x = 0; x < MivoMapTable::kSize; ++x)
            for (int32_t y = 0; y < MivoMapTable::kSize; ++y)
            {
                table.PlaceFromText(x, y, "R,3,1");
                table.PlaceFromText(x, y, WeString("N,").AppendInt((x + y) % 9 + 1));
            }
        MivoPlayGamePhase& play = playGamePhase;
        play.scene = std::make_unique<MivoGameScene>();
        play.board = MivoBoard::Create();
        play.table = &table;
        play.board->SetTable(&table);
        play.boardCentreX = play.boardCentreZ = 7.5f * MivoPlayGamePhase::kCellPitch;
        play.LayoutBlocks();
        table.ForEachCell(
            [&play](MivoMapCell& cell)
            {
                for (MivoBlock* block : {cell.floor.get(), cell.top.get()})
                    play.CreateBlockActor(block->x, -block->y, block, 0, true, true);
            });
        play.camera = std::make_unique<MivoGameCamera>();
        play.camera->bases[MivoGameCamera::vertical] = 89.0f;
        play.camera->bases[MivoGameCamera::distance] = 19.0f;
        play.camera->Update();
    }
    ~FullBoard() { playGamePhase.Leave(); }

    MivoMapTable table;
};

void BM_PickBlock(benchmark::State& state)
{
    FullBoard board;
    WeActor* actor = nullptr;
    MivoBlock* block = nullptr;
    for (auto _ : state)
    {
        playGamePhase.PickBlock(actor, block);
        benchmark::DoNotOptimize(actor);
    }
    state.counters["boxes"] = double(playGamePhase.blocks.size());
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
    {
        int32_t hits = 0;
        for (const WeVector& centre : centres)
            hits += MivoPlayGamePhase::ProbeBlock(centre, origin, direction);
        benchmark::DoNotOptimize(hits);
    }
    state.counters["boxes"] = double(centres.size());
}
BENCHMARK(BM_BareBoxProbes);

} // namespace

BENCHMARK_MAIN();
