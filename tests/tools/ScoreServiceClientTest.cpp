// The game's own score client, over its TCP interface and HTTP connection, against the score
// service: uploads, an upload sent again, the world lists, and a slow client beside it.
#include "MivoScoreClient.h"
#include "MivoScorePayload.h"
#include "MivoUserData.h"
#include "ScoreService.h"
#include "WeConfig.h"

#include "core/TempFolder.h"
#include "support/RawHttp.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <string>
#include <thread>

namespace
{
using namespace std::chrono_literals;

class ScoreClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.Start(0)) << service.Error();
        Address() = ("127.0.0.1:" + std::to_string(service.Port())).c_str();
    }
    void TearDown() override
    {
        client.EndRequest();
        Address() = "";
    }
    static WeString& Address() { return WeConfig::GetString("Mivo.Network.ServerAddress", ""); }

    // Polls the request as the net-wait screen does until it ends; true when it ended good.
    bool Finish()
    {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (client.state == MivoScoreClient::Running && std::chrono::steady_clock::now() < end)
        {
            client.Poll();
            std::this_thread::sleep_for(1ms);
        }
        const bool good = client.state == MivoScoreClient::Idle;
        client.EndRequest();
        return good;
    }
    bool Upload(const MivoScorePayload& payload, int32_t kind)
    {
        client.Upload(payload, kind);
        return Finish() && client.responseText == "OK";
    }
    bool Ask(int32_t type, int32_t database)
    {
        client.RequestScores(type, database);
        return Finish();
    }
    int Rows(const char* table) const
    {
        sqlite3* database = nullptr;
        sqlite3_open_v2((folder / "scores.sqlite").c_str(), &database, SQLITE_OPEN_READONLY, nullptr);
        int rows = -1;
        sqlite3_exec(
            database, (std::string("SELECT count(*) FROM ") + table).c_str(),
            [](void* out, int, char** values, char**)
            {
                *static_cast<int*>(out) = std::atoi(values[0]);
                return 0;
            },
            &rows, nullptr);
        sqlite3_close(database);
        return rows;
    }

    TempFolder folder;
    ScoreService service{folder / "scores.sqlite"};
    MivoScoreClient client;
};

TEST_F(ScoreClientTest, UploadsOfBothKindsAreStored)
{
    EXPECT_TRUE(Upload(MivoMakeScorePayload({"Ann", 1200, 0, 2, 1}), 0));
    EXPECT_TRUE(Upload(MivoMakeScorePayload({"Bo", 800, 41, 0, 2}), 0));
    EXPECT_TRUE(Upload(MivoMakeLevelScorePayload({"Cy", 300, 14, 7012, 33.5f}), 1));
    EXPECT_EQ(Rows("game_scores"), 2);
    EXPECT_EQ(Rows("level_scores"), 1);
}

// When an answer is lost the game sends the record again: the service answers it as stored and
// keeps it once.
TEST_F(ScoreClientTest, AnUploadSentAgainIsStoredOnce)
{
    const MivoScorePayload payload = MivoMakeLevelScorePayload({"Di", 250, 9, 1004, 12.0f});
    EXPECT_TRUE(Upload(payload, 1));
    EXPECT_TRUE(Upload(payload, 1));
    EXPECT_EQ(Rows("level_scores"), 1);
}

TEST_F(ScoreClientTest, TheWorldListsFillTheGamesTables)
{
    ASSERT_TRUE(Upload(MivoMakeScorePayload({"Qa", 900, 0, 3, 1}), 0));
    ASSERT_TRUE(Upload(MivoMakeScorePayload({"Qb", 950, 0, 3, 1}), 0));
    ASSERT_TRUE(Upload(MivoMakeScorePayload({"Sk", 700, 12, 0, 2}), 0));
    ASSERT_TRUE(Upload(MivoMakeLevelScorePayload({"Lv", 55, 6, 9020, 8.25f}), 1));
    MivoUserData store;

    ASSERT_TRUE(Ask(1, 0));
    store.FillQuestScores(client.responseText);
    ASSERT_EQ(store.scores.questTables[2].size(), 2u);
    EXPECT_EQ(store.scores.questTables[2][0].name, WeString("Qb"));
    EXPECT_EQ(store.scores.questTables[2][1].score, 900);
    EXPECT_TRUE(store.scores.questTables[0].empty());

    ASSERT_TRUE(Ask(2, 0));
    store.FillSkillScores(client.responseText);
    ASSERT_EQ(store.scores.skillTable.size(), 1u);
    EXPECT_EQ(store.scores.skillTable[0].score, 700);
    EXPECT_EQ(store.scores.skillTable[0].level, 12);

    ASSERT_TRUE(Ask(3, 9));
    store.FillLevelScores(client.responseText, 8);
    const auto& table = store.scores.levelTables[MivoScoreTables::LevelTableIndex(9020)];
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].name, WeString("Lv"));
    EXPECT_EQ(table[0].moves, 6);
    EXPECT_EQ(table[0].time, 8.0f);
}

// Another client sends its request a byte now and then: the game's requests are answered while
// that one is still arriving.
TEST_F(ScoreClientTest, ASlowClientBesideTheGameHoldsNothingUp)
{
    RawHttp slow(service.Port());
    ASSERT_TRUE(slow.Send("POST /stats/get_highscores.php HTTP/1.0\r\n"));
    std::atomic<bool> stop{false};
    std::thread trickle(
        [&]
        {
            for (int i = 0; i < 40 && !stop && slow.Send("X"); ++i)
                std::this_thread::sleep_for(100ms);
        });
    EXPECT_TRUE(Upload(MivoMakeScorePayload({"Fa", 10, 0, 1, 1}), 0));
    EXPECT_TRUE(Ask(1, 0));
    EXPECT_NE(std::string(client.responseText.GetData()).find("Fa"), std::string::npos);
    bool closed = false;
    slow.ReadToClose(0ms, &closed);
    EXPECT_FALSE(closed) << "the slow request was still open";
    stop = true;
    trickle.join();
}
} // namespace
