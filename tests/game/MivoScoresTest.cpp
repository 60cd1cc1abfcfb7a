#include "MivoScores.h"

#include "MivoPlayerFile.h"
#include "PlayerFileBytes.h"
#include "core/TempFolder.h"

#include "ScoreEntries.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

std::string Names(const std::vector<MivoScore>& table)
{
    std::string names;
    for (const MivoScore& entry : table)
    {
        names += std::string(entry.name.GetData()) + " ";
    }
    return names;
}

// Ten quest entries of difficulty 1 scoring 100, 90, ..., 10, named a to j.
MivoScoreTables FullQuestTable()
{
    MivoScoreTables tables;
    for (int32_t i = 0; i < 10; ++i)
    {
        const char name[2] = {static_cast<char>('a' + i), 0};
        tables.InsertGameScore(Score(name, 100 - 10 * i));
    }
    return tables;
}

TEST(MivoScoreTables, AnEleventhLowerEntryIsNotKept)
{
    MivoScoreTables tables = FullQuestTable();
    ASSERT_EQ(Names(tables.questTables[0]), "a b c d e f g h i j ");
    EXPECT_TRUE(tables.InsertGameScore(Score("k", 5)));
    EXPECT_EQ(Names(tables.questTables[0]), "a b c d e f g h i j ");
}

TEST(MivoScoreTables, ATieGoesAfterTheEqualEntries)
{
    MivoScoreTables tables = FullQuestTable();
    tables.InsertGameScore(Score("tie", 10));
    EXPECT_EQ(Names(tables.questTables[0]), "a b c d e f g h i j ");
    tables.InsertGameScore(Score("mid", 50));
    EXPECT_EQ(Names(tables.questTables[0]), "a b c d e f mid g h i ");
}

TEST(MivoScoreTables, ANewTopScoreTakesFirstPlaceAndTheBestRecord)
{
    MivoScoreTables tables = FullQuestTable();
    tables.InsertGameScore(Score("top", 1000));
    EXPECT_EQ(Names(tables.questTables[0]), "top a b c d e f g h i ");
    EXPECT_TRUE(tables.bestQuest.name == "top");
    EXPECT_EQ(tables.TopScore(1, 1), 1000);
    tables.InsertGameScore(Score("lower", 500, 3));
    EXPECT_TRUE(tables.bestQuest.name == "top");
}

TEST(MivoScoreTables, ScoresGoToTheTableOfTheirModeAndDifficulty)
{
    MivoScoreTables tables;
    tables.InsertGameScore(Score("q2", 5, 2));
    tables.InsertGameScore(Score("s", 7, 3, 2));
    EXPECT_EQ(Names(tables.questTables[1]), "q2 ");
    EXPECT_TRUE(tables.questTables[0].empty());
    EXPECT_TRUE(tables.questTables[2].empty());
    EXPECT_EQ(Names(tables.skillTable), "s ");
    EXPECT_EQ(tables.TopScore(2, 0), 7);
    EXPECT_EQ(tables.TopScore(1, 3), 0);
    EXPECT_EQ(tables.TopScore(3, 1), 0);
    EXPECT_TRUE(tables.bestSkill.name == "s");
}

TEST(MivoScoreTables, QuestScoresOutsideTheDifficultiesAreRejected)
{
    MivoScoreTables tables;
    for (const int32_t difficulty : {0, 4, -1, INT32_MIN})
    {
        EXPECT_FALSE(tables.InsertGameScore(Score("x", 5, difficulty)));
        EXPECT_EQ(tables.TopScore(1, difficulty), 0);
    }
    EXPECT_EQ(tables.bestQuest.score, 0);
}

TEST(MivoScoreTables, LevelScoresGoToTheTableOfTheirMap)
{
    EXPECT_EQ(MivoScoreTables::LevelTableIndex(3017), 56);
    EXPECT_EQ(MivoScoreTables::LevelTableIndex(1001), 0);
    EXPECT_EQ(MivoScoreTables::LevelTableIndex(15020), 299);
    for (const int32_t mapId : {1000, 1021, 16001, 20003, 999, -3017, 0})
    {
        EXPECT_EQ(MivoScoreTables::LevelTableIndex(mapId), -1) << mapId;
    }
    MivoScoreTables tables;
    EXPECT_TRUE(tables.InsertLevelScore(LevelScore("a", 10, 3017)));
    EXPECT_TRUE(tables.InsertLevelScore(LevelScore("b", 20, 3017)));
    EXPECT_FALSE(tables.InsertLevelScore(LevelScore("c", 20, 20003)));
    ASSERT_EQ(tables.levelTables[56].size(), 2u);
    EXPECT_TRUE(tables.levelTables[56][0].name == "b");
}

// The file of a store holding one quest score of difficulty 2 and one level score of map 1002.
PlayerFileBytes SmallScoreFile()
{
    PlayerFileBytes file;
    file.Int(2).Int(0).Int(1).Str("Ana").Int(500).Int(0).Int(2).Int(1).Int(0).Int(0);
    for (int32_t table = 0; table < 300; ++table)
    {
        file.Int(table == 1 ? 1 : 0);
        if (table == 1)
        {
            file.Str("Bo").Int(33).Int(12).Int(1002).Float(41.0f);
        }
    }
    file.Str("Ana").Int(500).Int(0).Int(2).Int(1);
    file.Str("").Int(0).Int(0).Int(0).Int(0);
    return file;
}

class ScoreFileTest : public ::testing::Test
{
protected:
    TempFolder folder;
    std::string path = folder / "hiscores.dat";
};

TEST_F(ScoreFileTest, SavedFileHasTheRecordLayout)
{
    MivoScoreTables tables;
    tables.InsertGameScore(Score("Ana", 500, 2));
    tables.InsertLevelScore(LevelScore("Bo", 33, 1002, 12, 41.0f));
    ASSERT_TRUE(tables.Save(path));
    EXPECT_EQ(TempFolder::ReadBytes(path), SmallScoreFile().bytes);
}

TEST_F(ScoreFileTest, LoadReadsTablesAndRaisesTheBestRecords)
{
    PlayerFileBytes file = SmallScoreFile();
    TempFolder::WriteBytes(path, file.bytes);
    MivoScoreTables tables;
    tables.bestSkill = Score("old", 9, 0, 2);
    tables.InsertGameScore(Score("dropped", 1, 3));
    ASSERT_TRUE(tables.Load(path)) << tables.lastError.GetData();
    EXPECT_TRUE(tables.questTables[2].empty());
    ASSERT_EQ(tables.questTables[1].size(), 1u);
    EXPECT_EQ(tables.questTables[1][0].score, 500);
    ASSERT_EQ(tables.levelTables[1].size(), 1u);
    EXPECT_EQ(tables.levelTables[1][0].moves, 12);
    EXPECT_EQ(tables.levelTables[1][0].time, 41.0f);
    EXPECT_TRUE(tables.bestQuest.name == "Ana");
    EXPECT_TRUE(tables.bestSkill.name == "old"); // the stored record (score 0) is lower
}

TEST_F(ScoreFileTest, RoundTripKeepsEveryTable)
{
    MivoScoreTables tables;
    for (int32_t i = 0; i < 12; ++i)
    {
        tables.InsertGameScore(Score("q", i, 1 + i % 3));
        tables.InsertGameScore(Score("s", i * 7, 0, 2, i));
        tables.InsertLevelScore(LevelScore("l", i, 1001 + (i % 20) + 1000 * (i % 15), i, 0.5f * i));
    }
    ASSERT_TRUE(tables.Save(path));
    MivoScoreTables loaded;
    ASSERT_TRUE(loaded.Load(path));
    ASSERT_TRUE(loaded.Save(folder / "again.dat"));
    EXPECT_EQ(TempFolder::ReadBytes(path), TempFolder::ReadBytes(folder / "again.dat"));
    EXPECT_EQ(loaded.skillTable.size(), 10u);
    EXPECT_EQ(loaded.bestSkill.score, 77);
}

TEST_F(ScoreFileTest, MissingOrOlderFilesGiveEmptyTablesWithoutError)
{
    MivoScoreTables tables;
    EXPECT_TRUE(tables.Load(path));
    TempFolder::WriteBytes(path, PlayerFileBytes().Int(1).Int(5).bytes);
    tables.InsertGameScore(Score("x", 3));
    EXPECT_TRUE(tables.Load(path));
    EXPECT_TRUE(tables.questTables[0].empty());
    EXPECT_EQ(tables.bestQuest.score, 3); // best records survive every load
}

TEST_F(ScoreFileTest, FilesCutAtEveryLengthAreRejectedAndKept)
{
    const std::vector<uint8_t> whole = SmallScoreFile().bytes;
    for (std::size_t length = 0; length < whole.size(); ++length)
    {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        TempFolder::WriteBytes(path, cut);
        std::remove((path + ".bad").c_str()); // the copy of the last length, which this one would not replace
        MivoScoreTables tables;
        ASSERT_FALSE(tables.Load(path)) << length;
        EXPECT_TRUE(tables.questTables[1].empty()) << length;
        EXPECT_EQ(tables.bestQuest.score, 0) << length;
        EXPECT_NE(std::string(tables.lastError.GetData()).find("damaged"), std::string::npos);
        EXPECT_EQ(TempFolder::ReadBytes(path + ".bad"), cut) << length;
    }
}

TEST_F(ScoreFileTest, HugeOrNegativeCountsAreRejected)
{
    for (const int32_t count : {0x7FFFFFFF, 100000, -1})
    {
        std::vector<uint8_t> bytes = SmallScoreFile().bytes;
        for (int i = 0; i < 4; ++i)
        {
            bytes[8 + i] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i)); // quest table 2
        }
        TempFolder::WriteBytes(path, bytes);
        MivoScoreTables tables;
        EXPECT_FALSE(tables.Load(path)) << count;
        EXPECT_TRUE(tables.questTables[1].empty());
    }
}

WeString Reply(const std::string& text)
{
    return WeString(text.data(), static_cast<int32_t>(text.size()));
}

TEST(MivoWorldLists, QuestRecordsGoToTheirDifficultyInReplyOrder)
{
    MivoScoreTables tables;
    tables.InsertGameScore(Score("local", 1, 1));
    tables.FillQuestScores(Reply("head\x01"
                                 "Ana\x02"
                                 "10\x02"
                                 "2\x02"
                                 "4\x01"
                                 "Bo\x02"
                                 "20\x02"
                                 "2\x02"
                                 "1\x01"
                                 "Cy\x02"
                                 "99999\x02"
                                 "3\x02"
                                 "0\x01"));
    EXPECT_TRUE(tables.questTables[0].empty());
    EXPECT_EQ(Names(tables.questTables[1]), "Ana Bo ");
    EXPECT_EQ(tables.questTables[1][0].level, 4);
    EXPECT_EQ(tables.questTables[1][1].mode, 1);
    EXPECT_EQ(Names(tables.questTables[2]), "Cy ");
    EXPECT_TRUE(tables.bestQuest.name == "Cy");
}

TEST(MivoWorldLists, HostileQuestRecordsNeverLeaveTheTables)
{
    MivoScoreTables tables;
    tables.FillQuestScores(Reply("\x01"
                                 "a\x02"
                                 "5\x02"
                                 "0\x01"
                                 "b\x02"
                                 "5\x02"
                                 "4\x01"
                                 "c\x02"
                                 "5\x02"
                                 "-2147483648\x01"
                                 "d\x02"
                                 "5\x02"
                                 "99999999999\x01"
                                 "ok\x02"
                                 "5\x02"
                                 "1\x01"));
    EXPECT_EQ(Names(tables.questTables[0]), "ok ");
    EXPECT_TRUE(tables.questTables[1].empty());
    EXPECT_TRUE(tables.questTables[2].empty());
}

TEST(MivoWorldLists, RepliesWithoutRecordsOrFieldsGiveEmptyOrZero)
{
    MivoScoreTables tables;
    tables.InsertGameScore(Score("local", 1, 1));
    tables.FillQuestScores(Reply("no separators at all"));
    EXPECT_TRUE(tables.questTables[0].empty());
    tables.FillSkillScores(Reply("\x01"
                                 "Ana\x01"
                                 "\x02"
                                 "7\x01"));
    ASSERT_EQ(tables.skillTable.size(), 2u);
    EXPECT_TRUE(tables.skillTable[0].name == "Ana");
    EXPECT_EQ(tables.skillTable[0].score, 0);
    EXPECT_TRUE(tables.skillTable[1].name.IsEmpty());
    EXPECT_EQ(tables.skillTable[1].score, 7);
    EXPECT_EQ(tables.skillTable[1].mode, 2);
    tables.FillSkillScores(Reply("\x01\x01"
                                 "late\x01"));
    EXPECT_TRUE(tables.skillTable.empty()); // the first empty record ends the list
}

TEST(MivoWorldLists, LevelBlocksFillTheTablesOfTheirRegion)
{
    MivoScoreTables tables;
    std::string reply = "head\x03";
    reply += "16\x01"
             "Ana\x02"
             "50\x02"
             "7\x02"
             "33\x01"
             "Bo\x02"
             "40\x02"
             "8\x02"
             "35\x03";
    reply += "20\x01"
             "skipped\x02"
             "1\x03";
    reply += "-1\x01"
             "skipped\x02"
             "1\x03";
    reply += "0\x01";
    for (int i = 0; i < 25; ++i)
    {
        reply += "p" + std::to_string(i) +
                 "\x02"
                 "1\x01";
    }
    reply += "\x03";
    tables.FillLevelScores(Reply(reply), 2);
    ASSERT_EQ(tables.levelTables[56].size(), 2u);
    EXPECT_TRUE(tables.levelTables[56][1].name == "Bo");
    EXPECT_EQ(tables.levelTables[56][0].bonus, 50);
    EXPECT_EQ(tables.levelTables[56][0].moves, 7);
    EXPECT_EQ(tables.levelTables[56][0].time, 33.0f);
    EXPECT_EQ(tables.levelTables[56][0].mapId, 3017);
    EXPECT_EQ(tables.levelTables[40].size(), 20u); // at most 20 records a block
    EXPECT_TRUE(tables.levelTables[40][19].name == "p19");
    int32_t filled = 0;
    for (const auto& table : tables.levelTables)
    {
        filled += !table.empty();
    }
    EXPECT_EQ(filled, 2);
}

TEST(MivoWorldLists, WorldLevelEntriesCarryTheIdOfTheMapWhoseTableTheyFill)
{
    MivoScoreTables tables;
    for (int32_t region = 0; region < 15; ++region)
    {
        std::string reply = "\x03";
        for (int n = 0; n < 20; ++n)
            reply += std::to_string(n) + "\x01" + "p\x02" + "1\x03";
        tables.FillLevelScores(Reply(reply), region);
    }
    for (int32_t index = 0; index < MivoScoreTables::kLevelTableCount; ++index)
    {
        ASSERT_EQ(tables.levelTables[index].size(), 1u) << index;
        const int32_t mapId = tables.levelTables[index][0].mapId;
        EXPECT_EQ(MivoScoreTables::LevelTableIndex(mapId), index) << mapId;
    }
    EXPECT_EQ(tables.levelTables[0][0].mapId, 1001);
    EXPECT_EQ(tables.levelTables[299][0].mapId, 15020);
}

TEST(MivoWorldLists, EachListKeepsWhatItsTableShows)
{
    std::string quest = "\x01", skill = "\x01";
    for (int i = 0; i < 40; ++i)
    {
        const std::string record = "p" + std::to_string(i) + "\x02" + std::to_string(1000 - i);
        quest += record + "\x02" + std::to_string(1 + i % 2) + "\x01";
        skill += record + "\x01";
    }
    MivoScoreTables tables;
    tables.FillQuestScores(Reply(quest));
    tables.FillSkillScores(Reply(skill));
    ASSERT_EQ(tables.questTables[0].size(), 10u);
    EXPECT_EQ(tables.questTables[1].size(), 10u);
    EXPECT_TRUE(tables.questTables[0][9].name == "p18") << "the first ten of the difficulty, in reply order";
    ASSERT_EQ(tables.skillTable.size(), 10u);
    EXPECT_TRUE(tables.skillTable[9].name == "p9");
}

TEST(MivoWorldLists, LevelRepliesForAnUnknownRegionChangeNothing)
{
    MivoScoreTables tables;
    for (const int32_t region : {-1, 15, INT32_MAX})
    {
        tables.FillLevelScores(Reply("\x03"
                                     "0\x01"
                                     "a\x02"
                                     "1\x03"),
                               region);
    }
    for (const auto& table : tables.levelTables)
    {
        EXPECT_TRUE(table.empty());
    }
}
} // namespace
