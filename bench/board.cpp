// Board ticks per second with several blocks sliding at once, on a full 16 x 16 table; reading
// every shipped level database into tables, and a database that declares 999 empty tables.
#include "MivoBoard.h"

#include "WeConfig.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
// Eight plain tiles and eight numbers on alternate rows, a running track, a magnet and a pair of
// teleports: every pass has work on every tick.
std::unique_ptr<MivoMapTable> BusyTable()
{
    auto table = std::make_unique<MivoMapTable>();
    for (int row = 0; row < 16; row += 2)
    {
        table->PlaceFromText(0, row, "P");
        table->PlaceFromText(15, row + 1, ("N," + std::to_string(row / 2 + 1)).c_str());
    }
    table->PlaceFromText(3, 0, "R,3,10");
    table->PlaceFromText(7, 3, "T,1,1,1,0,0,1,0123456789");
    table->PlaceFromText(9, 12, "T,1,1,1,0,0,1,0123456789");
    table->PlaceFromText(12, 15, "M,1");
    table->LayOut(1.01f, 7.575f, 7.575f);
    return table;
}

// Pushes every movable block the given way.
void PushAll(MivoBoard& board, int32_t direction)
{
    for (int32_t x = 0; x < board.table->width; ++x)
    {
        for (int32_t y = 0; y < board.table->height; ++y)
        {
            MivoBlock* block = board.table->Cell(x, y)->top.get();
            if (block && board.CanMove(block, direction, false))
                board.TryMove(block, direction, false);
        }
    }
}
} // namespace

static void BM_BoardTicks(benchmark::State& state)
{
    auto table = BusyTable();
    MivoBoard board;
    board.SetTable(table.get());
    board.speed = 5.0f;
    int32_t direction = MivoDirection::Right;
    int64_t moving = 0;
    for (auto _ : state)
    {
        if (board.IsAtRest())
        {
            direction = direction == MivoDirection::Right ? MivoDirection::Left : MivoDirection::Right;
            PushAll(board, direction);
        }
        moving += static_cast<int64_t>(board.moving.size());
        board.Tick(1.0f / 60.0f);
    }
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["moving"] = static_cast<double>(moving) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BoardTicks);

namespace
{
struct ShippedFile
{
    std::string name, text;
};

// The shipped "db*.ini" files of the source tree.
std::vector<ShippedFile> ShippedDatabases()
{
    std::vector<ShippedFile> files;
    const auto folder =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "Packages" / "Config" / "Main";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    {
        const std::string name = entry.path().stem().string();
        if (name.rfind("db", 0) != 0 || entry.path().extension() != ".ini")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.push_back(
            {name, std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())});
    }
    return files;
}
} // namespace

// Each iteration reads every shipped database as a level load does: reset, parse, build the tables.
static void BM_LoadShippedDatabases(benchmark::State& state)
{
    const std::vector<ShippedFile> files = ShippedDatabases();
    int64_t tables = 0;
    for (auto _ : state)
    {
        for (const ShippedFile& file : files)
        {
            WeConfig::ResetValues(WeString(file.name.c_str()) + ".");
            WeConfig::LoadText(file.name.c_str(), file.text.data(), file.text.size());
            MivoMapDatabase database;
            database.key = file.name.c_str();
            database.Read();
            tables += static_cast<int64_t>(database.tables.size());
            benchmark::DoNotOptimize(database.tables.data());
        }
    }
    state.counters["tables"] = static_cast<double>(tables) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LoadShippedDatabases)->Unit(benchmark::kMillisecond);

// A 22-byte database that declares 999 tables and holds no cell: the load makes 999 empty tables,
// walks the store once and reads no cell.
static void BM_LoadDeclaredEmptyTables(benchmark::State& state)
{
    const std::string text = "[Database]\nTables=999\n";
    for (auto _ : state)
    {
        WeConfig::ResetValues("dbbench.");
        WeConfig::LoadText("dbbench", text.data(), text.size());
        MivoMapDatabase database;
        database.key = "dbbench";
        database.Read();
        benchmark::DoNotOptimize(database.tables.data());
    }
}
BENCHMARK(BM_LoadDeclaredEmptyTables)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
