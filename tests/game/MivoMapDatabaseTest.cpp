// Loading level databases through the configuration store and the package.
#include "MivoMapDatabase.h"

#include "WeConfig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
// Puts the text into the store as the configuration file of that name.
void LoadText(const char* name, const std::string& text)
{
    WeConfig::LoadText(name, text.data(), text.size());
}

std::unique_ptr<MivoMapDatabase> ReadDatabase(const char* name)
{
    auto database = std::make_unique<MivoMapDatabase>();
    database->key = name;
    database->Read();
    return database;
}
} // namespace

TEST(MapDatabase, TablesAreReadInGridOrderWhateverTheFileOrder)
{
    LoadText("dbtest1", "[Database]\nName=Test\nTables=2\n"
                        "[Table1]\nName=One\nB,9,2=T,1,0,1,0,0,1,0\nB,2,9=T,1,1,0,0,0,1,0\nB,4,4=N,3\n"
                        "[Table2]\nB,0,0=W\n");
    const auto database = ReadDatabase("dbtest1");
    EXPECT_EQ(database->name, "Test");
    ASSERT_EQ(database->tables.size(), 2u);
    const MivoMapTable& one = *database->tables[0];
    EXPECT_EQ(one.name, "One");
    EXPECT_EQ(one.Cell(4, 4)->top->number, 3);
    // (2,9) comes before (9,2) in x-major order, though the file lists it second.
    ASSERT_EQ(one.groups.size(), 1u);
    ASSERT_EQ(one.groups[0].members.size(), 2u);
    EXPECT_EQ(one.groups[0].members[0], one.Cell(2, 9)->floor.get());
    EXPECT_EQ(database->tables[1]->name, "dbtest1.Table2");
    EXPECT_TRUE(database->tables[1]->Cell(0, 0)->top->Is(MivoBlockKind::Wall));
}

TEST(MapDatabase, MissingOrZeroTableCountGivesNoTables)
{
    LoadText("dbtest2", "[Database]\nName=Empty\n[Table1]\nB,1,1=N,1\n");
    EXPECT_TRUE(ReadDatabase("dbtest2")->tables.empty());
    LoadText("dbtest3", "[Database]\nTables=0\n");
    EXPECT_TRUE(ReadDatabase("dbtest3")->tables.empty());
    LoadText("dbtest4", "[Database]\nTables=-4\n");
    EXPECT_TRUE(ReadDatabase("dbtest4")->tables.empty());
}

TEST(MapDatabase, CellKeysTheGridNeverReadsAreReported)
{
    LoadText("dbtest5", "[Database]\nTables=1\n[Table1]\nB,16,3=N,1\nB,03,4=N,2\nB,3,4 =N,3\nB,5,5=N,4\n");
    const auto database = ReadDatabase("dbtest5");
    ASSERT_EQ(database->tables.size(), 1u);
    const MivoMapTable& table = *database->tables[0];
    EXPECT_EQ(table.Cell(5, 5)->top->number, 4);
    EXPECT_EQ(table.Cell(3, 4)->top, nullptr);
    ASSERT_EQ(table.problems.size(), 3u);
    for (const WeString& problem : table.problems)
        EXPECT_NE(problem.Find("not a cell of the table"), -1) << problem.GetData();
}

TEST(MapDatabase, StrayCellKeysAreReportedWithTheirOwnTable)
{
    LoadText("dbtest8", "[Database]\nTables=12\n[Table1]\nB,1,1=N,1\n[Table2]\nB,16,0=W\n[Table12]\n"
                        "B,0,16=W\nB,2,2=W\n[Table13]\nB,99,0=W\n[Table012]\nB,99,1=W\n");
    const auto database = ReadDatabase("dbtest8");
    ASSERT_EQ(database->tables.size(), 12u);
    std::vector<size_t> problems;
    for (const auto& table : database->tables)
        problems.push_back(table->problems.size());
    EXPECT_EQ(problems, (std::vector<size_t>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_NE(database->tables[11]->problems[0].Find("B,0,16=W"), -1);
    EXPECT_NE(database->tables[11]->Cell(2, 2)->top, nullptr);
}

TEST(MapDatabase, ATableCountWithNothingBehindItGivesThatManyEmptyTables)
{
    // 22 bytes that declare 999 tables.
    LoadText("dbtest9", "[Database]\nTables=999\n");
    const auto database = ReadDatabase("dbtest9");
    ASSERT_EQ(database->tables.size(), 999u);
    EXPECT_EQ(database->Table(999)->Cell(15, 15)->top, nullptr);
    EXPECT_TRUE(database->Table(500)->problems.empty());
    // No cell of a table without keys is read, so the load costs no key per cell.
    WeList<WeString> keys;
    WeConfig::GetKeys("dbtest9.Table", keys, false);
    EXPECT_EQ(keys.GetCount(), 999) << "one name a table";
}

TEST(MapDatabase, AnOverrideCellKeyIsTheCellItOverrides)
{
    LoadText("dbtest10", "[Database]\nTables=1\n[Table1]\nB,1,1|tarno=W\nB,2,2=N,1\nB,2,2|tarno=N,7\n"
                         "B,3,3,|tarno=W\n");
    const auto database = ReadDatabase("dbtest10");
    const MivoMapTable& table = *database->tables[0];
    EXPECT_TRUE(table.Cell(1, 1)->top->Is(MivoBlockKind::Wall));
    EXPECT_EQ(table.Cell(2, 2)->top->number, 7);
    ASSERT_EQ(table.problems.size(), 1u);
    EXPECT_NE(table.problems[0].Find("B,3,3,|tarno=W"), -1) << table.problems[0].GetData();
}

TEST(MapDatabase, MissingFileGivesOneEmptyTableUnderTheName)
{
    const auto database = MivoMapDatabase::Load("db997");
    EXPECT_EQ(database->key, "db997");
    EXPECT_EQ(database->name, "db997");
    ASSERT_EQ(database->tables.size(), 1u);
    EXPECT_EQ(database->tables[0]->name, "New Table");
    EXPECT_EQ(database->tables[0]->Cell(3, 3)->top, nullptr);
}

TEST(MapDatabase, ResetBeforeAReloadDropsWhatTheFileNoLongerHolds)
{
    LoadText("dbtest6", "[Database]\nTables=1\n[Table1]\nB,1,1=N,1\nB,2,2=W\n");
    ASSERT_NE(ReadDatabase("dbtest6")->tables[0]->Cell(1, 1)->top, nullptr);
    WeConfig::ResetValues("dbtest6.");
    LoadText("dbtest6", "[Database]\nTables=1\n[Table1]\nB,2,2=W\n");
    const auto reloaded = ReadDatabase("dbtest6");
    EXPECT_EQ(reloaded->tables[0]->Cell(1, 1)->top, nullptr);
    EXPECT_NE(reloaded->tables[0]->Cell(2, 2)->top, nullptr);
}

TEST(MapDatabase, ShippedRegionOneLoadsFromThePackage)
{
    const auto database = MivoMapDatabase::Load(MivoMapDatabase::FileName(1));
    EXPECT_EQ(database->name, "Region 1");
    ASSERT_EQ(database->tables.size(), 20u);
    EXPECT_EQ(database->Table(1)->name, "First Steps");
    EXPECT_TRUE(database->problems.empty());
    // A reload builds the same tables again, nothing doubled from the first load.
    const auto again = MivoMapDatabase::Load("db001");
    ASSERT_EQ(again->tables.size(), 20u);
    EXPECT_EQ(again->Table(20)->tracks.size(), database->Table(20)->tracks.size());
    EXPECT_EQ(again->Table(20)->groups.size(), database->Table(20)->groups.size());
}
