// The level solver: board states it expands per second proving shipped tables, its own
// book-keeping per state against the board's tick (the busy table's ticks run in the same
// program, between the proofs), and every shipped table proven on a pool of threads.
#include "BoardBench.h"
#include "MivoLevelSolver.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <time.h>

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

// The processor time the calling thread has had, as the solver counts its own.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
} // namespace

using board_bench::BM_BoardTicks;
BENCHMARK(BM_BoardTicks);

// Each iteration proves the twenty tables of region 8 at the play's frame time. After each proof
// the busy table of the tick benchmark ticks a while, untimed, so the solver's own time per state
// is set against ticks taken at the same clock speed and load.
static void BM_SolverStates(benchmark::State& state)
{
    const std::vector<MivoLevelMap> tables = ShippedTables("db008");
    constexpr int32_t kBusyTicks = 2000;
    board_bench::BusyBoard busy;
    double seconds = 0, playSeconds = 0, busySeconds = 0;
    uint64_t expanded = 0, ticks = 0, moves = 0, busyTicks = 0;
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
            state.PauseTiming();
            const double begin = ThreadSeconds();
            for (int32_t i = 0; i < kBusyTicks; ++i)
                benchmark::DoNotOptimize(busy.Tick());
            busySeconds += ThreadSeconds() - begin;
            busyTicks += kBusyTicks;
            state.ResumeTiming();
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
    // The same time per child state generated (every move that came to rest, a state seen before
    // or not): the expanded state's own time over its moves.
    state.counters["own_ns/child"] = (seconds - playSeconds) / static_cast<double>(moves) * 1e9;
    state.counters["own/tick"] = overhead / tick;
    // The measure that counts (at most 2): the solver's own time per expanded state, that is its
    // time per expanded state less the time the board took to play that state's moves, against
    // one tick of the busy table.
    const double busyTick = busySeconds / static_cast<double>(busyTicks);
    state.counters["busy_tick_ns"] = busyTick * 1e9;
    state.counters["own/busy_tick"] = overhead / busyTick;
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
