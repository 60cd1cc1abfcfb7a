// The score service on loopback under many clients, each request on a connection of its own as
// the game sends it, beside plain SQLite doing the same work in the same run:
// - uploads from 50 clients against the service's program, killed with SIGKILL while they still
//   send; every upload answered "OK" must be in the database afterwards. Beside it, the same rows
//   inserted straight into SQLite, one synced commit each and all in one commit.
// - lists from 100 clients with 100,000 rows in the tables: the latency percentiles, beside the
//   same list queries run straight on one connection.
// - a client that sends a byte every 2 s beside one that asks for a list every 50 ms: the
//   latter's slowest answer beside the slow client and alone.
#include "../tests/support/RawHttp.h"
#include "../tests/support/ScoreServiceProcess.h"
#include "MivoScorePayload.h"
#include "ScoreForms.h"
#include "ScoreService.h"
#include "ScoreStore.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kLevelPath = "/stats/upload_highscore_level.php";
const std::string kListPath = "/stats/get_highscores.php";

// A folder on the disk the service would use, removed afterwards.
class Folder
{
public:
    Folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "score_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path = pattern;
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string operator/(const char* name) const { return path + "/" + name; }

private:
    std::string path;
};

double Seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

std::string UploadName(size_t index)
{
    return "u" + std::to_string(index);
}

// Distinct level uploads, as the game makes them.
std::vector<std::string> LevelBodies(size_t count)
{
    std::vector<std::string> bodies;
    for (size_t i = 0; i < count; ++i)
    {
        const std::string name = UploadName(i);
        const int32_t map = 1000 * static_cast<int32_t>(1 + i % 15) + static_cast<int32_t>(1 + i % 20);
        bodies.emplace_back(
            MivoMakeLevelScorePayload({name.c_str(), static_cast<int32_t>(i % 5000), 12, map, 30.0f}).text);
    }
    return bodies;
}

// An empty database with the service's own tables and settings.
bool MakeDatabase(const std::string& file)
{
    ScoreStore store(file);
    return store.Open();
}

// Inserts the uploads straight into SQLite: each in a synced commit of its own, or all in one.
double DirectInsertsPerSecond(const std::string& file, const std::vector<ScoreUpload>& uploads,
                              bool oneCommit)
{
    if (!MakeDatabase(file))
        return 0.0;
    sqlite3* database = nullptr;
    sqlite3_open(file.c_str(), &database);
    sqlite3_exec(database, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(database, "INSERT INTO level_scores VALUES(?1, ?2, ?3, ?4, ?5, ?6)", -1, &insert,
                       nullptr);
    const auto start = Clock::now();
    if (oneCommit)
        sqlite3_exec(database, "BEGIN", nullptr, nullptr, nullptr);
    for (const ScoreUpload& upload : uploads)
    {
        if (!oneCommit)
            sqlite3_exec(database, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_bind_text(insert, 1, upload.name.c_str(), -1, SQLITE_STATIC);
        for (int i = 0; i < 4; ++i)
            sqlite3_bind_int(insert, i + 2, upload.values[i]);
        sqlite3_bind_blob(insert, 6, upload.hash.data(), static_cast<int>(upload.hash.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
        if (!oneCommit)
            sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (oneCommit)
        sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(Clock::now() - start);
    sqlite3_finalize(insert);
    sqlite3_close(database);
    return static_cast<double>(uploads.size()) / seconds;
}

std::set<std::string> StoredLevelNames(const std::string& file)
{
    std::set<std::string> names;
    sqlite3* database = nullptr;
    sqlite3_open(file.c_str(), &database);
    sqlite3_exec(
        database, "SELECT name FROM level_scores",
        [](void* out, int, char** values, char**)
        {
            static_cast<std::set<std::string>*>(out)->insert(values[0]);
            return 0;
        },
        &names, nullptr);
    sqlite3_close(database);
    return names;
}
} // namespace

// 50 clients post distinct level uploads for 2 s; the service is then killed with SIGKILL while
// they go on. Counters: acknowledged uploads a second, those lost after the kill, and the same
// rows inserted straight into SQLite a second, one synced commit each and all in one.
static void BM_UploadsFrom50ClientsThenKill9(benchmark::State& state)
{
    constexpr int kClients = 50;
    const std::vector<std::string> bodies = LevelBodies(40000);
    double rate = 0.0;
    size_t acknowledgedCount = 0, lost = 0;
    std::vector<ScoreUpload> rows;
    for (auto _ : state)
    {
        Folder folder;
        const std::string database = folder / "scores.sqlite";
        ScoreServiceProcess process(WE_SCORE_SERVICE, {"0", database});
        if (process.Port() == 0)
        {
            state.SkipWithError("the service did not start");
            return;
        }
        std::atomic<size_t> next{0};
        std::mutex acknowledgedMutex;
        std::vector<size_t> acknowledged;
        std::vector<std::thread> clients;
        const auto start = Clock::now();
        for (int client = 0; client < kClients; ++client)
        {
            clients.emplace_back(
                [&]
                {
                    for (size_t i = next++; i < bodies.size(); i = next++)
                    {
                        const std::string answer =
                            RawHttp::Exchange(process.Port(), RawHttp::Post(kLevelPath, bodies[i]), 2s);
                        if (RawHttp::Body(answer) != "OK")
                            return;
                        std::lock_guard lock(acknowledgedMutex);
                        acknowledged.push_back(i);
                    }
                });
        }
        std::this_thread::sleep_for(2s);
        {
            std::lock_guard lock(acknowledgedMutex);
            rate = static_cast<double>(acknowledged.size()) / Seconds(Clock::now() - start);
            process.Stop(SIGKILL);
        }
        for (std::thread& client : clients)
            client.join();
        const std::set<std::string> stored = StoredLevelNames(database);
        lost = static_cast<size_t>(std::count_if(acknowledged.begin(), acknowledged.end(),
                                                 [&](size_t i) { return !stored.count(UploadName(i)); }));
        acknowledgedCount = acknowledged.size();
        rows.clear();
        for (size_t i = 0; i < std::min<size_t>(acknowledged.size(), 2000); ++i)
        {
            ScoreUpload upload;
            ReadScoreUpload(ScoreTable::Level, bodies[acknowledged[i]], upload);
            rows.push_back(upload);
        }
    }
    Folder direct;
    state.counters["uploads_per_s"] = rate;
    state.counters["acknowledged"] = static_cast<double>(acknowledgedCount);
    state.counters["lost_after_kill9"] = static_cast<double>(lost);
    state.counters["direct_commit_each_per_s"] = DirectInsertsPerSecond(direct / "each.sqlite", rows, false);
    state.counters["direct_one_commit_per_s"] = DirectInsertsPerSecond(direct / "one.sqlite", rows, true);
}
BENCHMARK(BM_UploadsFrom50ClientsThenKill9)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

namespace
{
// 100,000 rows straight into the tables: a third games (quest of each difficulty and skill), the
// rest levels spread over every map. The rows' hashes only need to differ.
double FillTables(const std::string& file, size_t rows)
{
    if (!MakeDatabase(file))
        return 0.0;
    sqlite3* database = nullptr;
    sqlite3_open(file.c_str(), &database);
    sqlite3_stmt* game = nullptr;
    sqlite3_stmt* level = nullptr;
    sqlite3_prepare_v2(database, "INSERT INTO game_scores VALUES(?1, ?2, ?3, ?4, ?5, ?6)", -1, &game,
                       nullptr);
    sqlite3_prepare_v2(database, "INSERT INTO level_scores VALUES(?1, ?2, ?3, ?4, ?5, ?6)", -1, &level,
                       nullptr);
    std::mt19937 random(7);
    const auto start = Clock::now();
    sqlite3_exec(database, "BEGIN", nullptr, nullptr, nullptr);
    for (size_t i = 0; i < rows; ++i)
    {
        const std::string name = "p" + std::to_string(i);
        const auto hash = std::to_string(i);
        const int32_t score = static_cast<int32_t>(random() % 1000000);
        sqlite3_stmt* insert = i % 3 == 0 ? game : level;
        int32_t values[4];
        if (i % 3 == 0)
        {
            const bool skill = i % 4 == 0;
            values[0] = skill ? 2 : 1;
            values[1] = score;
            values[2] = skill ? 0 : static_cast<int32_t>(1 + i % 3);
            values[3] = skill ? static_cast<int32_t>(i % 300) : 0;
        }
        else
        {
            values[0] =
                1000 * static_cast<int32_t>(1 + random() % 15) + static_cast<int32_t>(1 + random() % 20);
            values[1] = score % 5000;
            values[2] = static_cast<int32_t>(random() % 200);
            values[3] = static_cast<int32_t>(random() % 600);
        }
        sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_STATIC);
        for (int v = 0; v < 4; ++v)
            sqlite3_bind_int(insert, v + 2, values[v]);
        sqlite3_bind_blob(insert, 6, hash.data(), static_cast<int>(hash.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
    const double seconds = Seconds(Clock::now() - start);
    sqlite3_finalize(game);
    sqlite3_finalize(level);
    sqlite3_close(database);
    return static_cast<double>(rows) / seconds;
}

// The list requests in turn: quest, skill, and the level lists of each region.
std::vector<std::string> ListRequests()
{
    std::vector<std::string> requests{"ScoreType=1&MivoDatabaseID=0", "ScoreType=2&MivoDatabaseID=0"};
    for (int region = 1; region <= 15; ++region)
        requests.push_back("ScoreType=3&MivoDatabaseID=" + std::to_string(region));
    return requests;
}
} // namespace

// 100 clients ask for lists for 2 s with 100,000 rows in the tables (filled straight into SQLite
// first: fill_rows_per_s). Counters: answers a second, their latency percentiles in ms, and the
// same list queries run straight on one connection, no answer kept (p50 and p99 in ms).
static void BM_ListsFrom100ClientsOver100kRows(benchmark::State& state)
{
    constexpr int kClients = 100;
    const std::vector<std::string> requests = ListRequests();
    std::vector<double> latencies;
    double fillRate = 0.0, answersPerSecond = 0.0;
    std::vector<double> direct;
    for (auto _ : state)
    {
        Folder folder;
        const std::string database = folder / "scores.sqlite";
        fillRate = FillTables(database, 100000);
        ScoreServiceProcess process(WE_SCORE_SERVICE, {"0", database});
        if (process.Port() == 0)
        {
            state.SkipWithError("the service did not start");
            return;
        }
        std::mutex latenciesMutex;
        std::atomic<int> failed{0};
        std::vector<std::thread> clients;
        const auto end = Clock::now() + 2s;
        for (int client = 0; client < kClients; ++client)
        {
            clients.emplace_back(
                [&, client]
                {
                    std::vector<double> mine;
                    for (size_t i = static_cast<size_t>(client); Clock::now() < end; ++i)
                    {
                        const auto start = Clock::now();
                        const std::string answer = RawHttp::Exchange(
                            process.Port(), RawHttp::Post(kListPath, requests[i % requests.size()]), 5s);
                        mine.push_back(Seconds(Clock::now() - start) * 1000.0);
                        failed += RawHttp::Body(answer).compare(0, 2, "OK") != 0;
                    }
                    std::lock_guard lock(latenciesMutex);
                    latencies.insert(latencies.end(), mine.begin(), mine.end());
                });
        }
        for (std::thread& client : clients)
            client.join();
        answersPerSecond = static_cast<double>(latencies.size()) / 2.0;
        if (failed > 0)
            state.SkipWithError("a list was not answered");
        process.Stop(SIGTERM);
        ScoreStore store(database);
        store.Open();
        for (int round = 0; round < 50; ++round)
        {
            for (size_t i = 0; i < requests.size(); ++i)
            {
                ScoreListRequest request;
                ReadScoreListRequest(requests[i], request);
                std::string answer;
                const auto start = Clock::now();
                store.ReadList(request, answer);
                direct.push_back(Seconds(Clock::now() - start) * 1000.0);
            }
        }
    }
    state.counters["answers_per_s"] = answersPerSecond;
    state.counters["p50_ms"] = Percentile(latencies, 0.50);
    state.counters["p99_ms"] = Percentile(latencies, 0.99);
    state.counters["max_ms"] = Percentile(latencies, 1.0);
    state.counters["direct_p50_ms"] = Percentile(direct, 0.50);
    state.counters["direct_p99_ms"] = Percentile(direct, 0.99);
    state.counters["fill_rows_per_s"] = fillRate;
}
BENCHMARK(BM_ListsFrom100ClientsOver100kRows)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A client asks for the skill list every 50 ms for 2 s alone, then for 6 s beside one that sends
// a byte of its request every 2 s (and is cut after 5 s). Counters: the asking client's slowest
// answer alone and beside the slow one, in ms, and when the slow one was cut, in s.
static void BM_SlowClientBesideAnother(benchmark::State& state)
{
    double alone = 0.0, beside = 0.0, cutAfter = 0.0;
    for (auto _ : state)
    {
        Folder folder;
        ScoreService service(folder / "scores.sqlite");
        if (!service.Start(0))
        {
            state.SkipWithError(service.Error().c_str());
            return;
        }
        const auto slowest = [&](Clock::duration span)
        {
            double worst = 0.0;
            for (const auto end = Clock::now() + span; Clock::now() < end;)
            {
                const auto start = Clock::now();
                RawHttp::Exchange(service.Port(), RawHttp::Post(kListPath, "ScoreType=2&MivoDatabaseID=0"));
                worst = std::max(worst, Seconds(Clock::now() - start) * 1000.0);
                std::this_thread::sleep_for(50ms);
            }
            return worst;
        };
        alone = slowest(2s);
        RawHttp slow(service.Port());
        const std::string request = RawHttp::Post(kListPath, "ScoreType=2&MivoDatabaseID=0");
        const auto slowStart = Clock::now();
        std::thread trickle(
            [&]
            {
                for (size_t i = 0; i < request.size() && slow.Send(request.substr(i, 1)); ++i)
                {
                    bool closed = false;
                    slow.ReadToClose(2s, &closed);
                    if (closed)
                        break;
                }
                cutAfter = Seconds(Clock::now() - slowStart);
            });
        beside = slowest(6s);
        trickle.join();
    }
    state.counters["slowest_alone_ms"] = alone;
    state.counters["slowest_beside_slow_ms"] = beside;
    state.counters["slow_cut_after_s"] = cutAfter;
}
BENCHMARK(BM_SlowClientBesideAnother)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
