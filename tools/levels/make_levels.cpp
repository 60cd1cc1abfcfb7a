// The level tool.
//   make_levels generate [--seed N] [--threads N] [--only 3,4,...] <folder>
//       makes the planned databases (db003 to db015, db020) into the folder, which holds the level
//       files (data/Packages/Config/Main), gives every table of the folder its "Map: " name in
//       LocalizationEN.ini there, and prints the difficulty ramp.
//   make_levels names <folder>
//       gives every table of the folder its "Map: " name in LocalizationEN.ini there.
//   make_levels prove [--threads N] [--frame-time T] [--states N] [--dead-ends] <folder or files>
//       proves every table of the level files, checks that its Solution is a shortest way, that
//       every shortest way of a lesson uses what it teaches and that the ladder's difficulty does
//       not fall from one region to the next, and prints the ramp.
#include "MivoLevelPlan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
namespace fs = std::filesystem;

struct Options
{
    std::string command;
    uint64_t seed = 2026;
    int32_t threads = 4;
    float frameTime = 1.0f / 60.0f;
    size_t states = 2'000'000;
    bool deadEnds = false;
    std::set<int32_t> only;
    std::vector<std::string> paths;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    if (argc < 2)
        return false;
    options.command = argv[1];
    for (int i = 2; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seed" && hasValue)
            options.seed = std::stoull(argv[++i]);
        else if (arg == "--threads" && hasValue)
            options.threads = std::max(1, std::stoi(argv[++i]));
        else if (arg == "--frame-time" && hasValue)
            options.frameTime = std::stof(argv[++i]);
        else if (arg == "--states" && hasValue)
            options.states = std::stoull(argv[++i]);
        else if (arg == "--dead-ends")
            options.deadEnds = true;
        else if (arg == "--only" && hasValue)
        {
            std::string list = argv[++i];
            for (size_t at = 0; at < list.size();)
            {
                const size_t comma = list.find(',', at);
                options.only.insert(std::stoi(list.substr(at, comma - at)));
                at = comma == std::string::npos ? list.size() : comma + 1;
            }
        }
        else if (arg.rfind("--", 0) == 0)
            return false;
        else
            options.paths.push_back(arg);
    }
    return (options.command == "generate" || options.command == "prove" || options.command == "names") &&
           !options.paths.empty();
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string DatabaseKey(int32_t number)
{
    char key[16];
    std::snprintf(key, sizeof key, "db%03d", number);
    return key;
}

// The level files given: the "db*.ini" files of a folder, or the files themselves.
std::vector<fs::path> LevelFiles(const std::vector<std::string>& paths)
{
    std::vector<fs::path> files;
    for (const std::string& path : paths)
    {
        if (!fs::is_directory(path))
        {
            files.emplace_back(path);
            continue;
        }
        for (const auto& entry : fs::directory_iterator(path))
        {
            const std::string stem = entry.path().stem().string();
            const bool numbered = stem.size() == 5 && stem.rfind("db", 0) == 0 &&
                                  stem.find_first_not_of("0123456789", 2) == std::string::npos;
            if (numbered && entry.path().extension() == ".ini")
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Runs work(i) for i from 0 to count - 1 on the given number of threads.
template <class Work> void ForEachParallel(size_t count, int32_t threads, Work&& work)
{
    std::atomic<size_t> next{0};
    auto worker = [&]
    {
        for (size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (int32_t t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread& thread : pool)
        thread.join();
}

// One table's figures for the ramp.
struct Proven
{
    std::string database, name;
    MivoSolverResult proof;
    bool solutionWins = false;
    int64_t deadEnds = -1, reachable = 0;
    uint32_t idle = 0; // the kinds a lesson teaches that some shortest way leaves idle
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

// Per database: the shortest solutions' lengths, their counts, the branching and dead ends.
void PrintRamp(const std::vector<Proven>& tables)
{
    std::printf("\n%-6s %6s %14s %16s %10s %9s %10s\n", "db", "tables", "shortest", "shortest count",
                "branching", "states", "dead ends");
    std::printf("%-6s %6s %14s %16s %10s %9s %10s\n", "", "", "min/mean/max", "median (max)", "mean",
                "median", "mean");
    std::map<std::string, std::vector<const Proven*>> byDatabase;
    for (const Proven& table : tables)
        byDatabase[table.database].push_back(&table);
    for (const auto& [database, list] : byDatabase)
    {
        std::vector<double> lengths, counts, branching, states, dead;
        for (const Proven* table : list)
        {
            lengths.push_back(static_cast<double>(table->proof.solution.size()));
            counts.push_back(static_cast<double>(table->proof.shortestCount));
            branching.push_back(table->proof.Branching());
            states.push_back(static_cast<double>(table->proof.states));
            if (table->deadEnds >= 0 && table->reachable > 0)
                dead.push_back(100.0 * static_cast<double>(table->deadEnds) /
                               static_cast<double>(table->reachable));
        }
        auto mean = [](const std::vector<double>& v)
        {
            double sum = 0;
            for (double x : v)
                sum += x;
            return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
        };
        char deadText[32] = "-";
        if (!dead.empty())
            std::snprintf(deadText, sizeof deadText, "%.0f%%", mean(dead));
        std::printf("%-6s %6zu %4.0f/%4.1f/%3.0f %9.0f (%4.0f) %10.1f %9.0f %10s\n", database.c_str(),
                    list.size(), *std::min_element(lengths.begin(), lengths.end()), mean(lengths),
                    *std::max_element(lengths.begin(), lengths.end()), Median(counts),
                    *std::max_element(counts.begin(), counts.end()), mean(branching), Median(states),
                    deadText);
    }
}

// Whether no region of the ladder (the databases 1 to 15) has a shorter shortest solution or a
// shorter median one than the region before; prints where it falls.
bool LadderRises(const std::vector<Proven>& tables)
{
    std::map<int32_t, std::vector<double>> lengths;
    for (const Proven& table : tables)
    {
        const int32_t number = std::stoi(table.database.substr(2));
        if (number >= 1 && number <= kMivoLadderRegions && table.proof.outcome == MivoSolverOutcome::Solved)
            lengths[number].push_back(static_cast<double>(table.proof.solution.size()));
    }
    bool rises = true;
    double lastMin = 0.0, lastMedian = 0.0;
    for (const auto& [number, list] : lengths)
    {
        const double least = *std::min_element(list.begin(), list.end()), median = Median(list);
        if (least < lastMin || median < lastMedian)
        {
            std::printf("the ladder falls at %s: shortest %.0f, median %.1f after %.0f and %.1f\n",
                        DatabaseKey(number).c_str(), least, median, lastMin, lastMedian);
            rises = false;
        }
        lastMin = least, lastMedian = median;
    }
    return rises;
}

std::string Letters(uint32_t kinds)
{
    std::string letters;
    for (MivoBlockKind kind : MivoKindsIn(kinds))
        letters += MivoBlockLetter(kind);
    return letters;
}

const char* OutcomeText(const MivoSolverResult& r)
{
    switch (r.outcome)
    {
    case MivoSolverOutcome::Solved:
        return "solved";
    case MivoSolverOutcome::Unsolvable:
        return "UNSOLVABLE";
    default:
        return "OUT OF BOUNDS";
    }
}

// Proves every table of the files; false when one is not solvable, its Solution does not win
// or is not a shortest one, a lesson can be won as fast without a kind it teaches, or the
// ladder's difficulty falls.
bool Prove(const Options& options)
{
    std::vector<Proven> tables;
    std::vector<MivoLevelMap> maps;
    std::vector<bool> lessons;
    for (const fs::path& file : LevelFiles(options.paths))
    {
        MivoLevelDatabase database;
        const std::string key = file.stem().string();
        database.Read(key, ReadFile(file));
        for (size_t i = 0; i < database.tables.size(); ++i)
        {
            tables.push_back({key, database.tables[i].name, {}, false, -1, 0, 0});
            maps.push_back(database.tables[i]);
            lessons.push_back(MivoIsLessonTable(std::stoi(key.substr(2)), i));
        }
    }
    const auto start = std::chrono::steady_clock::now();
    ForEachParallel(maps.size(), options.threads,
                    [&](size_t i)
                    {
                        MivoLevelSolver solver(maps[i]);
                        MivoSolverLimits limits;
                        limits.frameTime = options.frameTime;
                        limits.maxStates = options.states;
                        tables[i].proof = solver.Solve(limits);
                        tables[i].solutionWins = solver.Replay(maps[i].solution, 1.0f / 60.0f);
                        MivoSolverLimits upToShortest = limits;
                        upToShortest.maxDepth = static_cast<int32_t>(tables[i].proof.solution.size());
                        for (MivoBlockKind kind : MivoKindsIn(lessons[i] ? MivoTaughtKinds(maps[i]) : 0))
                        {
                            const uint32_t bit = MivoKindBit(kind);
                            tables[i].idle |= solver.EveryShortestWinUses(bit, upToShortest) ? 0 : bit;
                        }
                        if (!options.deadEnds)
                            return;
                        const MivoLevelGraph graph = solver.Explore(limits);
                        if (!graph.Complete())
                            return;
                        const std::vector<int32_t> distances = graph.DistancesToWin();
                        tables[i].reachable = static_cast<int64_t>(graph.Size());
                        tables[i].deadEnds = std::count(distances.begin(), distances.end(), -1);
                    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bool ok = true;
    for (size_t i = 0; i < tables.size(); ++i)
    {
        const Proven& t = tables[i];
        const MivoSolverResult& r = t.proof;
        std::string branching;
        for (int32_t b : r.pathBranching)
            branching += (branching.empty() ? "" : ",") + std::to_string(b);
        const bool shortest = maps[i].solution.size() == r.solution.size();
        const std::string idle = t.idle ? ", LESSON WON WITHOUT " + Letters(t.idle) : "";
        std::printf(
            "%s %-22s %-13s shortest %2zu (given %2zu%s%s%s) count %6llu states %7zu branching %4.1f [%s]\n",
            t.database.c_str(), t.name.c_str(), OutcomeText(r), r.solution.size(), maps[i].solution.size(),
            t.solutionWins ? "" : ", NOT WON", shortest ? "" : ", NOT SHORTEST", idle.c_str(),
            static_cast<unsigned long long>(r.shortestCount), r.states, r.Branching(), branching.c_str());
        ok = ok && t.solutionWins && shortest && t.idle == 0 && r.outcome == MivoSolverOutcome::Solved;
    }
    PrintRamp(tables);
    ok = LadderRises(tables) && ok;
    std::printf("\n%zu tables proven in %.1f s on %d threads at a frame time of %.4f s\n", tables.size(),
                seconds, options.threads, static_cast<double>(options.frameTime));
    return ok;
}

uint64_t TableSeed(uint64_t seed, int32_t database, size_t index)
{
    MivoLevelRandom mix(seed * 1000003u + static_cast<uint64_t>(database) * 1009u + index);
    return mix.Next();
}

// Replaces the "Map: " names of LocalizationEN.ini with one per table of the level files.
bool WriteMapNames(const fs::path& folder)
{
    const fs::path path = folder / "LocalizationEN.ini";
    const std::string marker = "; Level table names (written by make_levels)";
    std::string kept, line;
    std::istringstream lines(ReadFile(path));
    while (std::getline(lines, line))
    {
        if (line.rfind("Map: ", 0) != 0 && line != marker)
            kept += line + "\n";
    }
    kept += marker + "\n";
    for (const fs::path& file : LevelFiles({folder.string()}))
    {
        MivoLevelDatabase database;
        database.Read(file.stem().string(), ReadFile(file));
        for (const MivoLevelMap& map : database.tables)
            kept += "Map: " + map.name + "=" + map.name + "\n";
    }
    return WriteFile(path, kept);
}

// The shapes of the tables in the folder's files that this run does not make.
std::set<std::string> KeptShapes(const fs::path& folder, const Options& options)
{
    std::set<std::string> shapes;
    for (const fs::path& file : LevelFiles({folder.string()}))
    {
        const int32_t number = std::stoi(file.stem().string().substr(2));
        if (!options.only.empty() ? options.only.count(number) : MivoFindRegionPlan(number) != nullptr)
            continue;
        MivoLevelDatabase database;
        database.Read(file.stem().string(), ReadFile(file));
        for (const MivoLevelMap& map : database.tables)
            shapes.insert(map.ShapeKey());
    }
    return shapes;
}

std::string FileComment(const MivoRegionPlan& region, uint64_t seed)
{
    return "; " + region.name + " - " + region.theme +
           ".\n"
           "; Made by tools/levels (make_levels generate --seed " +
           std::to_string(seed) +
           "); every table proven by its solver.\n"
           "; Cells are \"B,x,y\" (0 to 15, x first); Solution lists the moves of a shortest way through as\n"
           "; \"x,y,direction\" (1 up, 3 right, 5 down, 7 left; 0 clicks the block).\n";
}

// The tables of one planned database, made on a pool of threads.
class RegionMaker
{
public:
    static constexpr int32_t kAttempts = 400;
    static constexpr uint64_t kReseeds = 3; // later seeds tried for a table whose attempts all failed

    RegionMaker(const Options& options, const MivoRegionPlan& region) : options_(options), region_(region) {}

    // Makes every table; false when one could not be made.
    bool Make()
    {
        made_.assign(region_.tables.size(), std::nullopt);
        ForEachParallel(made_.size(), options_.threads,
                        [this](size_t i)
                        {
                            for (uint64_t again = 0; !made_[i] && again <= kReseeds; ++again)
                                made_[i] = MakeTable(i, again);
                        });
        return std::all_of(made_.begin(), made_.end(), [](const auto& table) { return table.has_value(); });
    }
    // Makes a table again from later seeds while its shape is among the shapes, and adds it there.
    bool MakeUnique(std::set<std::string>& shapes)
    {
        for (size_t i = 0; i < made_.size(); ++i)
        {
            for (uint64_t again = 1; !shapes.insert(made_[i]->map.ShapeKey()).second; ++again)
            {
                made_[i] = MakeTable(i, again);
                if (!made_[i])
                    return false;
            }
        }
        return true;
    }
    bool Write(const fs::path& folder, std::vector<Proven>& ramp) const
    {
        MivoLevelDatabase database;
        database.name = region_.name;
        for (size_t i = 0; i < made_.size(); ++i)
        {
            MivoLevelMap map = made_[i]->map;
            map.name = region_.tables[i].name;
            database.tables.push_back(map);
            ramp.push_back({DatabaseKey(region_.database), map.name, made_[i]->proof, true, -1, 0});
        }
        return WriteFile(folder / (DatabaseKey(region_.database) + ".ini"),
                         database.Write(FileComment(region_, options_.seed)));
    }

private:
    std::optional<MivoGeneratedTable> MakeTable(size_t i, uint64_t again) const
    {
        const MivoTablePlan& plan = region_.tables[i];
        const auto begin = std::chrono::steady_clock::now();
        auto table = MivoLevelGenerator::Generate(
            plan.recipe, TableSeed(options_.seed + again, region_.database, i), kAttempts);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const std::string key = DatabaseKey(region_.database);
        if (table)
            std::fprintf(stderr, "%s %-20s shortest %2zu count %5llu states %6zu attempts %3d %6.1f s\n",
                         key.c_str(), plan.name.c_str(), table->proof.solution.size(),
                         static_cast<unsigned long long>(table->proof.shortestCount), table->proof.states,
                         table->attempts, seconds);
        else
            std::fprintf(stderr, "%s %-20s FAILED after %d attempts\n", key.c_str(), plan.name.c_str(),
                         kAttempts);
        return table;
    }

    const Options& options_;
    const MivoRegionPlan& region_;
    std::vector<std::optional<MivoGeneratedTable>> made_;
};

// Makes the planned databases in the order of their numbers, each file written once its tables
// are made and no table of it is alike, up to mirroring and rotation, to one of the whole set
// before it; false when a table could not be made (its region is left out) or a file not written.
bool Generate(const Options& options)
{
    const fs::path folder = options.paths[0];
    std::set<std::string> shapes = KeptShapes(folder, options);
    std::vector<Proven> ramp;
    bool made = true;
    const auto start = std::chrono::steady_clock::now();
    for (const MivoRegionPlan& region : MivoLevelPlan())
    {
        if (!options.only.empty() && !options.only.count(region.database))
            continue;
        // A region that cannot be made is left out; the regions after it are still made.
        RegionMaker maker(options, region);
        made = maker.Make() && maker.MakeUnique(shapes) && maker.Write(folder, ramp) && made;
    }
    PrintRamp(ramp);
    std::printf("\n%zu tables made in %.1f s\n", ramp.size(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return WriteMapNames(folder) && made;
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
    {
        std::fprintf(stderr,
                     "usage: make_levels generate [--seed N] [--threads N] [--only 3,4] <folder>\n"
                     "       make_levels names <folder>\n"
                     "       make_levels prove [--threads N] [--frame-time T] [--states N] [--dead-ends] "
                     "<folder or files>\n");
        return 2;
    }
    if (options.command == "prove")
        return Prove(options) ? 0 : 1;
    if (options.command == "names")
        return WriteMapNames(options.paths[0]) ? 0 : 1;
    return Generate(options) ? 0 : 1;
}
