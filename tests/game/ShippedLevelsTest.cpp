// Every level database shipped in data/: loaded from the package, each table is
// well formed and its listed solution plays to a won board through the rules and the events.
#include "BoardFixture.h"
#include "ShippedDatabases.h"

#include "WeConfig.h"
#include "WeLocalization.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace
{
// The level databases the package ships: regions of the ladder, and the bonus maps (db020).
constexpr int32_t kShippedDatabases[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20};
constexpr size_t kShippedTables = 315;

int CountOfKind(MivoMapTable& table, MivoBlockKind kind)
{
    int count = 0;
    table.ForEachCell(
        [&](const MivoMapCell& cell)
        { count += (cell.top && cell.top->Is(kind)) || (cell.floor && cell.floor->Is(kind)) ? 1 : 0; });
    return count;
}

WeString SolutionKey(const MivoMapDatabase& database, size_t index)
{
    WeString key = database.key + ".Table";
    key.AppendInt(static_cast<int32_t>(index + 1));
    return key + ".Solution";
}
} // namespace

TEST(ShippedLevels, RegionOneHoldsTwentyTables)
{
    const auto databases = ReadShippedDatabases();
    ASSERT_EQ(databases.count("db001"), 1u);
    EXPECT_EQ(databases.at("db001")->name, "Region 1");
    EXPECT_EQ(databases.at("db001")->tables.size(), 20u);
    EXPECT_EQ(databases.at("db001")->Table(1)->name, "First Steps");
}

TEST(ShippedLevels, EveryRegionHoldsTwentyTablesTheBonusMapsFifteenEachNamedInEnglish)
{
    // The ladder deals twenty maps of each region, the bonus maps 20001 to 20015 come from db020;
    // the play shows a table's name through its "Map: " text.
    const auto databases = ReadShippedDatabases();
    WeLocalization english;
    english.LoadLanguage("EN");
    english.SelectLanguage(0);
    std::set<std::string> names;
    size_t tables = 0;
    for (const int32_t number : kShippedDatabases)
    {
        const std::string name = MivoMapDatabase::FileName(number).GetData();
        ASSERT_EQ(databases.count(name), 1u) << name;
        const MivoMapDatabase& database = *databases.at(name);
        EXPECT_EQ(database.tables.size(), number == 20 ? 15u : 20u) << name;
        for (const auto& table : database.tables)
        {
            ++tables;
            EXPECT_TRUE(names.insert(table->name.GetData()).second) << name << ": " << table->name.GetData();
            EXPECT_TRUE(english.HasKey("Map: " + table->name)) << name << ": " << table->name.GetData();
        }
    }
    EXPECT_EQ(databases.size(), std::size(kShippedDatabases));
    EXPECT_EQ(tables, kShippedTables);
}

TEST(ShippedLevels, EveryTableIsWellFormedAndItsSolutionWins)
{
    const auto databases = ReadShippedDatabases();
    ASSERT_FALSE(databases.empty());
    std::map<MivoBlockKind, int> kindsUsed;
    for (const auto& [name, database] : databases)
    {
        EXPECT_TRUE(database->problems.empty()) << name;
        EXPECT_FALSE(database->tables.empty()) << name;
        for (size_t i = 0; i < database->tables.size(); ++i)
        {
            MivoMapTable& table = *database->tables[i];
            SCOPED_TRACE(name + " table " + std::to_string(i + 1) + " " + table.name.GetData());
            EXPECT_TRUE(table.problems.empty())
                << (table.problems.empty() ? "" : table.problems[0].GetData());
            EXPECT_NE(table.name, database->key + ".Table" + std::to_string(i + 1).c_str());
            EXPECT_FALSE(IsWon(table));
            for (const MivoTeleportGroup& group : table.groups)
            {
                int entrances = 0;
                for (const MivoBlock* member : group.members)
                    entrances += member->teleport.entrance;
                EXPECT_GT(entrances, 0) << "group " << group.id;
                EXPECT_NE(group.currentExit, nullptr) << "group " << group.id;
            }
            for (int k = 1; k <= 11; ++k)
                kindsUsed[static_cast<MivoBlockKind>(k)] += CountOfKind(table, static_cast<MivoBlockKind>(k));

            // Played the way the play phase does: laid out, bound, one pass with act, then moves.
            table.LayOut(1.01f, 7.575f, 7.575f);
            MivoBoard board;
            board.SetTable(&table);
            board.speed = 5.0f;
            RecordingCallbacks recorder(board);
            board.callbacks = &recorder;
            board.RunPasses();
            const WeString solution = WeConfig::GetString(SolutionKey(*database, i), "");
            ASSERT_FALSE(solution.IsEmpty());
            EXPECT_EQ(PlaySolution(board, solution.GetData()), -1);
            EXPECT_TRUE(IsWon(table));
            EXPECT_TRUE(board.IsAtRest());
        }
    }
    for (int k = 1; k <= 11; ++k)
        EXPECT_GT(kindsUsed[static_cast<MivoBlockKind>(k)], 0) << "kind " << k << " appears in no level";
}
