// The shipped level ladder as the level tools prove it: no two tables alike, every Solution a
// shortest way through its table, each generated table within its band, a difficulty that never
// falls from one region to the next, and lessons whose every shortest way uses what they teach.
#include "MivoLevelPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace
{
// The shipped level databases: the ladder's regions and the bonus maps.
constexpr int32_t kShippedDatabases[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20};

std::string DatabaseKey(int32_t number)
{
    char key[8];
    std::snprintf(key, sizeof key, "db%03d", number);
    return key;
}

std::filesystem::path LevelFolder()
{
    const char* data = std::getenv("WE_TEST_DATA");
    return std::filesystem::path(data ? data : "data") / "Packages" / "Config" / "Main";
}

// Every shipped level database, read as the game reads it, by key ("db003").
std::map<std::string, MivoLevelDatabase> ShippedDatabases()
{
    std::map<std::string, MivoLevelDatabase> databases;
    for (const auto& entry : std::filesystem::directory_iterator(LevelFolder()))
    {
        const std::string key = entry.path().stem().string();
        if (key.rfind("db", 0) != 0 || entry.path().extension() != ".ini")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        databases[key].Read(key, text);
    }
    return databases;
}

const MivoLevelDatabase& Shipped(int32_t number)
{
    static const std::map<std::string, MivoLevelDatabase> databases = ShippedDatabases();
    static const MivoLevelDatabase none;
    const auto it = databases.find(DatabaseKey(number));
    return it == databases.end() ? none : it->second;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

// One shipped database at a time: the proofs of a whole region take a while under the sanitizers.
class ShippedDatabase : public testing::TestWithParam<int32_t>
{
};
} // namespace

TEST(ShippedLadder, NoTwoTablesAreAlikeUpToMirroringOrRotation)
{
    std::map<std::string, std::string> shapes;
    for (const auto& [key, database] : ShippedDatabases())
    {
        for (const MivoLevelMap& map : database.tables)
        {
            const auto [it, added] = shapes.emplace(map.ShapeKey(), key + " " + map.name);
            EXPECT_TRUE(added) << key << " " << map.name << " is " << it->second;
        }
    }
    EXPECT_GE(shapes.size(), 40u);
}

TEST(ShippedLadder, GeneratedTablesFitTheirBands)
{
    size_t shipped = 0;
    for (const MivoRegionPlan& region : MivoLevelPlan())
    {
        const MivoLevelDatabase& database = Shipped(region.database);
        ASSERT_EQ(database.tables.size(), region.tables.size()) << region.database;
        shipped += database.tables.size();
        for (size_t i = 0; i < region.tables.size(); ++i)
        {
            const MivoTableRecipe& recipe = region.tables[i].recipe;
            const auto length = static_cast<int32_t>(database.tables[i].solution.size());
            EXPECT_GE(length, recipe.shortestMin) << region.database << " " << database.tables[i].name;
            EXPECT_LE(length, recipe.shortestMax) << region.database << " " << database.tables[i].name;
        }
    }
    EXPECT_GT(shipped, 0u);
}

TEST(ShippedLadder, NoRegionIsEasierThanTheOneBefore)
{
    // A region's shortest table and its median one take at least as many moves as those of the
    // region before: a kind may come in gently, but the ladder does not step down. The lengths
    // are the Solutions', each a shortest way (EverySolutionIsAShortestWay).
    double lastLeast = 0.0, lastMedian = 0.0;
    for (int32_t region = 1; region <= kMivoLadderRegions; ++region)
    {
        std::vector<double> lengths;
        for (const MivoLevelMap& map : Shipped(region).tables)
            lengths.push_back(static_cast<double>(map.solution.size()));
        ASSERT_EQ(lengths.size(), 20u) << region;
        const double least = *std::min_element(lengths.begin(), lengths.end()), median = Median(lengths);
        EXPECT_GE(least, lastLeast) << "region " << region;
        EXPECT_GE(median, lastMedian) << "region " << region;
        lastLeast = least, lastMedian = median;
    }
}

TEST(ShippedLadder, EveryKindHasALesson)
{
    uint32_t taught = 0;
    for (const int32_t number : kShippedDatabases)
    {
        const MivoLevelDatabase& database = Shipped(number);
        for (size_t i = 0; i < database.tables.size(); ++i)
            taught |= MivoIsLessonTable(number, i) ? MivoTaughtKinds(database.tables[i]) : 0;
    }
    const uint32_t everyTable = MivoKindBit(MivoBlockKind::Number) | MivoKindBit(MivoBlockKind::Wall);
    for (MivoBlockKind kind : MivoKindsIn(~everyTable))
        EXPECT_NE(taught & MivoKindBit(kind), 0u) << MivoBlockLetter(kind);
}

TEST_P(ShippedDatabase, EverySolutionIsAShortestWay)
{
    const MivoLevelDatabase& database = Shipped(GetParam());
    ASSERT_FALSE(database.tables.empty());
    for (const MivoLevelMap& map : database.tables)
    {
        ASSERT_FALSE(map.solution.empty()) << map.name;
        MivoLevelSolver solver(map);
        EXPECT_TRUE(solver.Replay(map.solution, 1.0f / 60.0f)) << map.name;
        MivoSolverLimits limits;
        limits.maxDepth = static_cast<int32_t>(map.solution.size()) - 1;
        limits.skipHopeless = true;
        const MivoSolverResult shorter = solver.Solve(limits);
        EXPECT_NE(shorter.outcome, MivoSolverOutcome::Solved)
            << map.name << " is won in " << MivoFormatSolution(shorter.solution);
        EXPECT_LT(shorter.states, limits.maxStates) << map.name << ": the search stopped short";
    }
}

TEST_P(ShippedDatabase, EveryShortestWayOfALessonUsesWhatItTeaches)
{
    const int32_t number = GetParam();
    const MivoLevelDatabase& database = Shipped(number);
    const MivoRegionPlan* plan = MivoFindRegionPlan(number);
    for (size_t i = 0; i < database.tables.size(); ++i)
    {
        if (!MivoIsLessonTable(number, i))
            continue;
        const MivoLevelMap& map = database.tables[i];
        const uint32_t taught = MivoTaughtKinds(map);
        // A generated lesson teaches the kind its region brings in.
        if (plan)
        {
            EXPECT_EQ(taught & plan->tables[i].recipe.featured, plan->tables[i].recipe.featured) << map.name;
        }
        MivoSolverLimits limits;
        limits.maxDepth = static_cast<int32_t>(map.solution.size());
        MivoLevelSolver solver(map);
        if (solver.EveryShortestWinUses(taught, limits))
            continue;
        std::string idle;
        for (MivoBlockKind kind : MivoKindsIn(taught))
            idle += solver.EveryShortestWinUses(MivoKindBit(kind), limits) ? "" : MivoBlockLetter(kind);
        ADD_FAILURE() << map.name << " is won as fast without its " << idle;
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedDatabase, testing::ValuesIn(kShippedDatabases),
                         [](const testing::TestParamInfo<int32_t>& info) { return DatabaseKey(info.param); });
