// Board ticks per second with several blocks sliding at once, on a full 16 x 16 table; reading
// every shipped level database into tables, and a database that declares 999 empty tables.
#include "BoardBench.h"

#include "WeConfig.h"

using board_bench::BM_BoardTicks;
BENCHMARK(BM_BoardTicks);

// Each iteration reads every shipped database as a level load does: reset, parse, build the tables.
static void BM_LoadShippedDatabases(benchmark::State& state)
{
    const std::vector<board_bench::ShippedFile> files = board_bench::ShippedDatabases();
    int64_t tables = 0;
    for (auto _ : state)
    {
        for (const board_bench::ShippedFile& file : files)
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
