// Every level database shipped in data/: each table is well formed and its listed solution
// plays to a won board through the rules and the event protocol.
#include "BoardFixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace
{
struct ShippedTable
{
    std::string file, section, name, solution, cells;
};

std::filesystem::path ConfigFolder()
{
    const char* data = std::getenv("WE_TEST_DATA");
    return std::filesystem::path(data ? data : "data") / "Packages" / "Config" / "Main";
}

// The tables of every "db*.ini", read as plain sections of "key=value" lines.
std::vector<ShippedTable> ReadShippedTables(std::map<std::string, int>& declared)
{
    std::vector<ShippedTable> tables;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ConfigFolder(), error))
    {
        const std::string file = entry.path().filename().string();
        if (file.rfind("db", 0) != 0 || entry.path().extension() != ".ini")
            continue;
        std::ifstream in(entry.path());
        std::string line;
        ShippedTable* current = nullptr;
        bool inDatabase = false;
        while (std::getline(in, line))
        {
            if (line.empty() || line[0] == ';')
                continue;
            if (line[0] == '[')
            {
                const std::string section = line.substr(1, line.find(']') - 1);
                inDatabase = section == "Database";
                current = nullptr;
                if (section.rfind("Table", 0) == 0)
                {
                    tables.push_back({file, section, "", "", ""});
                    current = &tables.back();
                }
                continue;
            }
            const size_t equals = line.find('=');
            const std::string key = line.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
            if (inDatabase && key == "Tables")
                declared[file] = std::atoi(value.c_str());
            else if (current && key == "Name")
                current->name = value;
            else if (current && key == "Solution")
                current->solution = value;
            else if (current)
                current->cells += line + "\n";
        }
    }
    return tables;
}

int CountOfKind(const MivoMapTable& table, MivoBlockKind kind)
{
    int count = 0;
    for (int x = 0; x < table.width; ++x)
        for (int y = 0; y < table.height; ++y)
        {
            const MivoMapCell* cell = table.Cell(x, y);
            count += (cell->top && cell->top->Is(kind)) || (cell->floor && cell->floor->Is(kind)) ? 1 : 0;
        }
    return count;
}
} // namespace

TEST(ShippedLevels, RegionOneHoldsTwentyTablesAndEveryDeclaredTableExists)
{
    std::map<std::string, int> declared;
    const std::vector<ShippedTable> tables = ReadShippedTables(declared);
    ASSERT_EQ(declared.count("db001.ini"), 1u);
    EXPECT_GE(declared["db001.ini"], 20);
    for (const auto& [file, count] : declared)
    {
        int found = 0;
        for (const ShippedTable& t : tables)
            found += t.file == file ? 1 : 0;
        EXPECT_EQ(found, count) << file;
    }
}

TEST(ShippedLevels, EveryTableIsWellFormedAndItsSolutionWins)
{
    std::map<std::string, int> declared;
    const std::vector<ShippedTable> tables = ReadShippedTables(declared);
    ASSERT_FALSE(tables.empty());
    std::map<MivoBlockKind, int> kindsUsed;
    for (const ShippedTable& shipped : tables)
    {
        SCOPED_TRACE(shipped.file + " " + shipped.section + " " + shipped.name);
        MivoMapTable table;
        PlaceMapText(table, shipped.cells);
        EXPECT_TRUE(table.problems.empty()) << (table.problems.empty() ? "" : table.problems[0].GetData());
        EXPECT_FALSE(shipped.name.empty());
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

        table.LayOut(1.01f, 7.575f, 7.575f);
        MivoBoard board;
        board.SetTable(&table);
        board.speed = 5.0f;
        RecordingCallbacks recorder(board);
        board.callbacks = &recorder;
        board.RunPasses();
        ASSERT_FALSE(shipped.solution.empty());
        EXPECT_EQ(PlaySolution(board, shipped.solution), -1);
        EXPECT_TRUE(IsWon(table));
        EXPECT_TRUE(board.IsAtRest());
    }
    for (int k = 1; k <= 11; ++k)
        EXPECT_GT(kindsUsed[static_cast<MivoBlockKind>(k)], 0) << "kind " << k << " appears in no level";
}
