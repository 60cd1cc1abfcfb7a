// The level solver: board states it expands per second proving shipped tables, its own
// book-keeping per state against the board's tick (the busy table's ticks run in the same
// program), and every shipped table proven on a pool of threads.
#include "BoardBench.h"
#include "MivoLevelSolver.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace
{
// The tables of the shipped databases whose names begin with prefix.
std::vector<MivoLevelMap> ShippedTables(const std::string& prefix)
{
    std::vector<MivoLevelMap> tables;
    for (const board_bench::ShippedFile& file : board_bench::ShippedDatabases())
    {
        if (file.name.rfind(prefix, 0) != 0)
            continue;
        MivoLevelDatabase database;
        database.Read(file.name, file.text);
        tables.insert(tables.end(), database.tables.begin(), database.tables.end());
    }
    return tables;
}

// Seconds per tick of the busy table, as the tick benchmark of this run measured them.
double busyTickSeconds = 0.0;
} // namespace

static void BM_BoardTicks(benchmark::State& state)
{
    const auto begin = std::chrono::steady_clock::now();
    board_bench::BM_BoardTicks(state);
    busyTickSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() /
                      static_cast<double>(state.iterations());
}
BENCHMARK(BM_BoardTicks);

// Each iteration proves the twenty tables of region 8 at the play's frame time.
static void BM_SolverStates(benchmark::State& state)
{
    const std::vector<MivoLevelMap> tables = ShippedTables("db008");
    double seconds = 0, playSeconds = 0;
    uint64_t expanded = 0, ticks = 0, moves = 0;
    for (auto _ : state)
    {
        for (const MivoLevelMap& map : tables)
        {
            MivoLevelSolver solver(map);
            const MivoSolverResult r = solver.Solve(MivoSolverLimits());
            seconds += r.seconds;
            playSeconds += r.playSeconds;
            expanded += r.expanded;
            ticks += r.ticks;
            moves += r.moves;
        }
    }
    const double overhead = (seconds - playSeconds) / static_cast<double>(expanded);
    const double tick = playSeconds / static_cast<double>(ticks);
    state.counters["states/s"] =
        benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
    state.counters["moves/state"] = static_cast<double>(moves) / static_cast<double>(expanded);
    state.counters["ticks/move"] = static_cast<double>(ticks) / static_cast<double>(moves);
    state.counters["tick_ns"] = tick * 1e9;
    state.counters["own_ns/state"] = overhead * 1e9;
    state.counters["own/tick"] = overhead / tick;
    // The measure that counts: the solver's own time per state against one tick of the busy
    // table above (both slow down alike on a loaded machine).
    if (busyTickSeconds > 0.0)
        state.counters["own/busy_tick"] = overhead / busyTickSeconds;
}
BENCHMARK(BM_SolverStates)->Unit(benchmark::kMillisecond);

// Proves every shipped table once on as many threads as the argument.
static void BM_ProveShippedTables(benchmark::State& state)
{
    const std::vector<MivoLevelMap> tables = ShippedTables("db");
    const auto threads = static_cast<int32_t>(state.range(0));
    std::atomic<uint64_t> expanded{0};
    for (auto _ : state)
    {
        std::atomic<size_t> next{0};
        auto worker = [&]
        {
            for (size_t i = next++; i < tables.size(); i = next++)
                expanded += MivoLevelSolver(tables[i]).Solve(MivoSolverLimits()).expanded;
        };
        std::vector<std::thread> pool;
        for (int32_t t = 0; t < threads; ++t)
            pool.emplace_back(worker);
        for (std::thread& thread : pool)
            thread.join();
    }
    state.counters["tables"] = static_cast<double>(tables.size());
    state.counters["states/s"] =
        benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProveShippedTables)->Arg(4)->Arg(8)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
