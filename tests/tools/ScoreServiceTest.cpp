// The score service over HTTP: its paths, the checks of every upload field, the same body sent
// twice, the caps on headers and bodies, the deadline of a request, its command line, and every
// acknowledged upload still stored after the process is killed.
#include "ScoreService.h"
#include "MivoScorePayload.h"

#include "core/TempFolder.h"
#include "support/RawHttp.h"
#include "support/ScoreServiceProcess.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;

const std::string kGamePath = "/stats/upload_highscore.php";
const std::string kLevelPath = "/stats/upload_highscore_level.php";
const std::string kListPath = "/stats/get_highscores.php";

std::string GameBody(const MivoScore& score)
{
    return MivoMakeScorePayload(score).text;
}
std::string LevelBody(const MivoLevelScore& score)
{
    return MivoMakeLevelScorePayload(score).text;
}

// The names in a table of the database, in the order they were stored.
std::vector<std::string> StoredNames(const std::string& file, const std::string& table)
{
    std::vector<std::string> names;
    sqlite3* database = nullptr;
    sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(
        database, ("SELECT name FROM " + table + " ORDER BY rowid").c_str(),
        [](void* out, int, char** values, char**)
        {
            static_cast<std::vector<std::string>*>(out)->push_back(values[0] ? values[0] : "");
            return 0;
        },
        &names, nullptr);
    sqlite3_close(database);
    return names;
}

class ScoreServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(service.Start(0)) << service.Error(); }

    std::string Send(const std::string& request) const { return RawHttp::Exchange(service.Port(), request); }
    std::string Post(const std::string& path, const std::string& body) const
    {
        return Send(RawHttp::Post(path, body));
    }
    size_t Stored(const std::string& table) const
    {
        return StoredNames(folder / "scores.sqlite", table).size();
    }

    TempFolder folder;
    ScoreService service{folder / "scores.sqlite"};
};

struct Route
{
    const char* method;
    std::string path;
    int status;
};

TEST_F(ScoreServiceTest, OnlyTheGamesThreePathsAnswerAndOnlyToPosts)
{
    const std::string list = "ScoreType=2&MivoDatabaseID=0";
    for (const Route& route :
         {Route{"POST", kListPath, 200}, Route{"POST", "/", 404}, Route{"POST", "/stats/", 404},
          Route{"POST", kListPath + ".bak", 404}, Route{"POST", "/STATS/get_highscores.php", 404},
          Route{"POST", "/stats/upload_highscore", 404}, Route{"GET", kListPath, 405},
          Route{"PUT", kGamePath, 405}})
    {
        const std::string request = route.method + RawHttp::Post(route.path, list).substr(4);
        EXPECT_EQ(RawHttp::Status(Send(request)), route.status) << route.method << " " << route.path;
    }
}

struct Upload
{
    const char* name;
    bool game;
    MivoScore score;
    MivoLevelScore level;
    bool kept;
};

void PrintTo(const Upload& upload, std::ostream* out)
{
    *out << upload.name;
}

class UploadRangeTest : public ScoreServiceTest, public ::testing::WithParamInterface<Upload>
{
};

// Every field holds only what the game can give it; anything else is answered as handled (so the
// game drops it) and not kept.
TEST_P(UploadRangeTest, IsKeptOnlyWithinTheGamesValues)
{
    const Upload& upload = GetParam();
    const std::string answer =
        upload.game ? Post(kGamePath, GameBody(upload.score)) : Post(kLevelPath, LevelBody(upload.level));
    EXPECT_EQ(RawHttp::Status(answer), 200);
    EXPECT_EQ(RawHttp::Body(answer), upload.kept ? "OK" : "REJECTED");
    EXPECT_EQ(Stored(upload.game ? "game_scores" : "level_scores"), upload.kept ? 1u : 0u);
}

MivoLevelScore Level(int32_t mapId, int32_t bonus = 10, int32_t moves = 5, float time = 3.0f)
{
    return {"Lv", bonus, moves, mapId, time};
}

INSTANTIATE_TEST_SUITE_P(Fields, UploadRangeTest,
                         ::testing::Values(
                             // name, score, level, difficulty, mode
                             Upload{"QuestAtEachEnd", true, {"Q", 0, 0, 3, 1}, {}, true},
                             Upload{"QuestHighest", true, {"Q", INT32_MAX, 0, 1, 1}, {}, true},
                             Upload{"SkillLadderDone", true, {"S", 5, 300, 0, 2}, {}, true},
                             Upload{"SkillFirstStep", true, {"S", 0, 0, 0, 2}, {}, true},
                             Upload{"ModeZero", true, {"Q", 5, 0, 1, 0}, {}, false},
                             Upload{"ModeThree", true, {"Q", 5, 0, 1, 3}, {}, false},
                             Upload{"NegativeScore", true, {"Q", -1, 0, 1, 1}, {}, false},
                             Upload{"QuestDifficultyZero", true, {"Q", 5, 0, 0, 1}, {}, false},
                             Upload{"QuestDifficultyFour", true, {"Q", 5, 0, 4, 1}, {}, false},
                             Upload{"QuestWithALevel", true, {"Q", 5, 1, 1, 1}, {}, false},
                             Upload{"SkillWithADifficulty", true, {"S", 5, 3, 1, 2}, {}, false},
                             Upload{"SkillPastTheLadder", true, {"S", 5, 301, 0, 2}, {}, false},
                             Upload{"SkillNegativeLevel", true, {"S", 5, -1, 0, 2}, {}, false},
                             Upload{"FirstMap", false, {}, Level(1001, 0, 0, 0.0f), true},
                             Upload{"LastMap", false, {}, Level(15020, INT32_MAX, INT32_MAX, 1e9f), true},
                             Upload{"MapOfRegionZero", false, {}, Level(20), false},
                             Upload{"MapNumberZero", false, {}, Level(3000), false},
                             Upload{"MapNumberTwentyOne", false, {}, Level(3021), false},
                             Upload{"MapOfRegionSixteen", false, {}, Level(16001), false},
                             Upload{"NegativeMap", false, {}, Level(-1001), false},
                             Upload{"NegativeBonus", false, {}, Level(1001, -1), false},
                             Upload{"NegativeMoves", false, {}, Level(1001, 10, -1), false},
                             Upload{"NegativeTime", false, {}, Level(1001, 10, 5, -1.5f), false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScoreServiceTest, BodiesThatTheGameDidNotMakeAreRefused)
{
    std::string tampered = GameBody({"Eve", 10, 0, 1, 1});
    tampered[600] = tampered[600] == 'A' ? 'B' : 'A';
    const std::string good = LevelBody(Level(1001));
    for (const auto& [path, body] :
         {std::pair{kGamePath, tampered}, std::pair{kLevelPath, good.substr(0, 1028)},
          std::pair{kLevelPath, good + "A"}, std::pair{kGamePath, std::string()}})
    {
        const std::string answer = Post(path, body);
        EXPECT_EQ(RawHttp::Status(answer), 200);
        EXPECT_EQ(RawHttp::Body(answer), "REJECTED") << body.size();
    }
    EXPECT_EQ(Stored("game_scores") + Stored("level_scores"), 0u);
}

// A lost answer makes the game send the same body again: it is answered as stored, and kept once.
TEST_F(ScoreServiceTest, TheSameBodyAgainStoresNothingNew)
{
    const MivoScore score{"Ann", 400, 0, 2, 1};
    const std::string body = GameBody(score);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(RawHttp::Body(Post(kGamePath, body)), "OK");
    EXPECT_EQ(Stored("game_scores"), 1u);
    // The same score again is another game: its filler differs, and it is kept.
    EXPECT_EQ(RawHttp::Body(Post(kGamePath, GameBody(score))), "OK");
    EXPECT_EQ(Stored("game_scores"), 2u);
    // A level body is checked against the level table alone.
    const std::string level = LevelBody(Level(2005));
    EXPECT_EQ(RawHttp::Body(Post(kLevelPath, level)), "OK");
    EXPECT_EQ(RawHttp::Body(Post(kLevelPath, level)), "OK");
    EXPECT_EQ(Stored("level_scores"), 1u);
}

TEST_F(ScoreServiceTest, HeaderNamesMatchWhateverTheirCase)
{
    for (const char* name : {"content-length", "CONTENT-LENGTH", "Content-length"})
    {
        const std::string body = GameBody({"Cy", 20, 0, 1, 1});
        const std::string request = "POST " + kGamePath + " HTTP/1.0\r\nhost: x\r\n" + name + ": " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        EXPECT_EQ(RawHttp::Body(Send(request)), "OK") << name;
    }
    EXPECT_EQ(Stored("game_scores"), 3u);
}

TEST_F(ScoreServiceTest, TwoContentLengthsAreRefusedWhetherOrNotTheyAgree)
{
    const std::string body = GameBody({"Di", 30, 0, 1, 1});
    const std::string size = std::to_string(body.size());
    for (const std::string& second : {size, std::to_string(body.size() - 100), std::string("0")})
    {
        const std::string request = RawHttp::Post(kGamePath, body, "content-length: " + second + "\r\n");
        EXPECT_EQ(RawHttp::Status(Send(request)), 400) << second;
    }
    EXPECT_EQ(Stored("game_scores"), 0u);
}

// A body or a header over its cap is refused and keeps nothing; the service answers on.
TEST_F(ScoreServiceTest, OversizedRequestsAreRefusedAndTheServiceAnswersOn)
{
    const std::string big(ScoreService::kMaxBody + 1, 'A');
    std::string chunked = "POST " + kGamePath +
                          " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 5; ++i)
        chunked += "400\r\n" + std::string(0x400, 'A') + "\r\n";
    chunked += "0\r\n\r\n";
    const std::string header =
        RawHttp::Post(kGamePath, GameBody({"Ed", 1, 0, 1, 1}),
                      "X-Filler: " + std::string(ScoreService::kConnectionMemory, 'x') + "\r\n");
    for (const std::string& request : {RawHttp::Post(kGamePath, big), chunked, header})
    {
        const int status = RawHttp::Status(Send(request));
        EXPECT_TRUE(status == 413 || status == 431) << status << " for " << request.substr(0, 60);
    }
    EXPECT_EQ(Stored("game_scores"), 0u);
    EXPECT_EQ(RawHttp::Body(Post(kGamePath, GameBody({"Fo", 2, 0, 1, 1}))), "OK");
}

// The best ten of each list, the higher first, the earlier first among equals.
TEST_F(ScoreServiceTest, ListsHoldTheBestTenInRankOrder)
{
    const int32_t skill[] = {50, 70, 70, 10, 90, 20, 70, 30, 40, 60, 80, 5};
    std::vector<std::pair<int32_t, std::string>> ranked;
    for (size_t i = 0; i < std::size(skill); ++i)
    {
        const std::string name = "s" + std::to_string(i);
        ASSERT_EQ(service.Handle(kGamePath, GameBody({name.c_str(), skill[i], 7, 0, 2})).body, "OK");
        ranked.emplace_back(-skill[i], name);
    }
    // Quest scores of other difficulties and level scores stay out of the skill list.
    ASSERT_EQ(service.Handle(kGamePath, GameBody({"q", 1000, 0, 2, 1})).body, "OK");
    ASSERT_EQ(service.Handle(kLevelPath, LevelBody({"m", 1000, 1, 1002, 1.0f})).body, "OK");
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string expected = "OK";
    for (size_t i = 0; i < 10; ++i)
        expected += "\x01" + ranked[i].second + "\x02" + std::to_string(-ranked[i].first) +
                    "\x02"
                    "7";
    const std::string answer = Post(kListPath, "ScoreType=2&MivoDatabaseID=0");
    EXPECT_EQ(RawHttp::Body(answer), expected);
}

TEST_F(ScoreServiceTest, QuestListsGoByDifficultyAndLevelListsByMapOfTheRegion)
{
    for (const MivoScore& score : {MivoScore{"c", 300, 0, 3, 1}, MivoScore{"a", 100, 0, 1, 1},
                                   MivoScore{"b", 200, 0, 3, 1}, MivoScore{"k", 900, 0, 0, 2}})
        ASSERT_EQ(service.Handle(kGamePath, GameBody(score)).body, "OK");
    EXPECT_EQ(RawHttp::Body(Post(kListPath, "ScoreType=1&MivoDatabaseID=0")), "OK\x01"
                                                                              "a\x02"
                                                                              "100\x02"
                                                                              "1\x02"
                                                                              "0\x01"
                                                                              "c\x02"
                                                                              "300\x02"
                                                                              "3\x02"
                                                                              "0\x01"
                                                                              "b\x02"
                                                                              "200\x02"
                                                                              "3\x02"
                                                                              "0");
    for (const MivoLevelScore& score :
         {MivoLevelScore{"x", 5, 9, 4020, 7.9f}, MivoLevelScore{"y", 8, 3, 4001, 2.0f},
          MivoLevelScore{"z", 6, 4, 4020, 1.0f}, MivoLevelScore{"w", 1, 1, 5001, 1.0f}})
        ASSERT_EQ(service.Handle(kLevelPath, LevelBody(score)).body, "OK");
    EXPECT_EQ(RawHttp::Body(Post(kListPath, "ScoreType=3&MivoDatabaseID=4")), "OK\x03"
                                                                              "0\x01"
                                                                              "y\x02"
                                                                              "8\x02"
                                                                              "3\x02"
                                                                              "2\x03"
                                                                              "19\x01"
                                                                              "z\x02"
                                                                              "6\x02"
                                                                              "4\x02"
                                                                              "1\x01"
                                                                              "x\x02"
                                                                              "5\x02"
                                                                              "9\x02"
                                                                              "7");
    for (const char* request :
         {"ScoreType=3&MivoDatabaseID=0", "ScoreType=3&MivoDatabaseID=16", "ScoreType=4&MivoDatabaseID=0",
          "ScoreType=1&MivoDatabaseID=2", "ScoreType=1", "ScoreType=1&MivoDatabaseID=0x"})
        EXPECT_EQ(RawHttp::Body(Post(kListPath, request)), "REJECTED") << request;
}

// A region's lists at their largest: ten scores on each of its twenty maps, each under the
// longest name a body carries.
TEST_F(ScoreServiceTest, TheLargestListIsAnsweredWhole)
{
    for (int32_t number = 1; number <= 20; ++number)
    {
        for (int32_t rank = 0; rank < 11; ++rank)
        {
            const std::string name =
                std::to_string(number) + "_" + std::to_string(rank) + std::string(120, 'n');
            ASSERT_EQ(service
                          .Handle(kLevelPath, LevelBody({name.substr(0, 127).c_str(), 100 - rank, 3,
                                                         2000 + number, 9.0f}))
                          .body,
                      "OK");
        }
    }
    const std::string answer = Post(kListPath, "ScoreType=3&MivoDatabaseID=2");
    const std::string body = RawHttp::Body(answer);
    EXPECT_EQ(RawHttp::Status(answer), 200);
    EXPECT_EQ(std::count(body.begin(), body.end(), '\x03'), 20);
    EXPECT_EQ(std::count(body.begin(), body.end(), '\x01'), 20 * 10) << "ten records a map";
    EXPECT_EQ(body.find(std::string(1, '\x01') + "7_10"), std::string::npos) << "the eleventh is left out";
    EXPECT_NE(body.find(std::string(1, '\x01') + "20_9"), std::string::npos);
}

// Each list is asked for, then a score of it is stored: the list asked for again holds it.
TEST_F(ScoreServiceTest, AListAskedForAgainHoldsWhatWasStoredSince)
{
    struct Case
    {
        const char* request;
        std::string path;
        std::string body;
        const char* name;
    };
    for (const Case& next :
         {Case{"ScoreType=1&MivoDatabaseID=0", kGamePath, GameBody({"Qn", 5, 0, 2, 1}), "Qn"},
          Case{"ScoreType=2&MivoDatabaseID=0", kGamePath, GameBody({"Sn", 5, 3, 0, 2}), "Sn"},
          Case{"ScoreType=3&MivoDatabaseID=6", kLevelPath, LevelBody(Level(6007)), "Lv"}})
    {
        const std::string before = RawHttp::Body(Post(kListPath, next.request));
        EXPECT_EQ(before.find(next.name), std::string::npos) << next.request;
        ASSERT_EQ(RawHttp::Body(Post(next.path, next.body)), "OK");
        EXPECT_NE(RawHttp::Body(Post(kListPath, next.request)).find(next.name), std::string::npos)
            << next.request;
        // A body sent again changes no list.
        ASSERT_EQ(RawHttp::Body(Post(next.path, next.body)), "OK");
        const std::string after = RawHttp::Body(Post(kListPath, next.request));
        EXPECT_EQ(after.find(next.name), after.rfind(next.name)) << next.request;
    }
}

// A client that sends its request a byte at a time holds up no other, and is cut once its
// request has not arrived whole within the deadline.
TEST_F(ScoreServiceTest, ATricklingRequestIsCutAtItsDeadlineWhileOthersAreAnswered)
{
    RawHttp slow(service.Port());
    const auto start = std::chrono::steady_clock::now();
    const std::string request = RawHttp::Post(kGamePath, GameBody({"Sl", 3, 0, 1, 1}));
    std::atomic<bool> cut{false};
    std::thread trickle(
        [&]
        {
            for (size_t i = 0; i < request.size() && std::chrono::steady_clock::now() - start < 8s &&
                               slow.Send(request.substr(i, 1));
                 ++i)
                std::this_thread::sleep_for(250ms);
            cut = true;
        });
    int answered = 0;
    while (std::chrono::steady_clock::now() - start < 3s)
    {
        answered += RawHttp::Body(Post(kListPath, "ScoreType=2&MivoDatabaseID=0")) == "OK";
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_GE(answered, 20);
    EXPECT_EQ(RawHttp::Body(Post(kGamePath, GameBody({"Fa", 4, 0, 1, 1}))), "OK");
    bool closed = false;
    const std::string answer = slow.ReadToClose(5s, &closed);
    const auto lasted = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(closed);
    EXPECT_EQ(answer, "") << "cut, not answered";
    EXPECT_GE(lasted, ScoreService::kRequestDeadline - 100ms);
    EXPECT_LT(lasted, ScoreService::kRequestDeadline + 2s);
    trickle.join();
    EXPECT_TRUE(cut);
    EXPECT_EQ(StoredNames(folder / "scores.sqlite", "game_scores"), std::vector<std::string>{"Fa"});
}

const std::string kProgram = WE_SCORE_SERVICE;

TEST(ScoreServiceProgram, ServesAtThePortItPrintsAndStopsCleanlyOnSigterm)
{
    TempFolder folder;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"0", folder / "a.sqlite"},
          std::vector<std::string>{"--address", "127.0.0.1", "0", folder / "b.sqlite"}})
    {
        ScoreServiceProcess process(kProgram, arguments);
        ASSERT_GT(process.Port(), 0) << process.FirstLine();
        EXPECT_EQ(process.FirstLine(), std::to_string(process.Port()));
        EXPECT_EQ(RawHttp::Body(RawHttp::Exchange(process.Port(),
                                                  RawHttp::Post(kGamePath, GameBody({"Go", 9, 0, 1, 1})))),
                  "OK");
        const int status = process.Stop(SIGTERM);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(StoredNames(arguments.back(), "game_scores"), std::vector<std::string>{"Go"});
    }
}

TEST(ScoreServiceProgram, RefusesArgumentsItCannotUse)
{
    TempFolder folder;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"port"}, std::vector<std::string>{"70000"}, std::vector<std::string>{""},
          std::vector<std::string>{"0", folder / "c.sqlite", "more"}, std::vector<std::string>{"--address"},
          std::vector<std::string>{"--address", "localhost", "0", folder / "d.sqlite"},
          std::vector<std::string>{"--address", "::1", "0", folder / "e.sqlite"},
          std::vector<std::string>{"0", folder / "no/such/folder.sqlite"}})
    {
        ScoreServiceProcess process(kProgram, arguments);
        EXPECT_EQ(process.FirstLine(), "") << arguments[0];
        const int status = process.Stop(0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << arguments[0];
    }
}

// Whether a row of that name is in the level table, as another connection sees it.
bool LevelRowVisible(sqlite3* reader, const std::string& name)
{
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(reader, "SELECT 1 FROM level_scores WHERE name = ?1", -1, &query, nullptr);
    sqlite3_bind_text(query, 1, name.c_str(), -1, SQLITE_STATIC);
    const bool found = sqlite3_step(query) == SQLITE_ROW;
    sqlite3_finalize(query);
    return found;
}

// Uploads from several clients at once; the process is killed while they are still sending.
// Each upload it answered "OK" was committed when the answer came (another connection sees it at
// once), and is in the database after the kill.
TEST(ScoreServiceProgram, EveryAcknowledgedUploadIsCommittedAndSurvivesAKill)
{
    TempFolder folder;
    const std::string database = folder / "scores.sqlite";
    ScoreServiceProcess process(kProgram, {"0", database});
    ASSERT_GT(process.Port(), 0);
    constexpr int kClients = 8;
    constexpr int kPerClient = 400;
    std::vector<std::vector<std::string>> bodies(kClients);
    for (int client = 0; client < kClients; ++client)
    {
        for (int i = 0; i < kPerClient; ++i)
        {
            const std::string name = "k" + std::to_string(client) + "_" + std::to_string(i);
            bodies[client].push_back(LevelBody({name.c_str(), i, 3, 1001 + client, 2.0f}));
        }
    }
    std::mutex acknowledgedMutex;
    std::set<std::string> acknowledged;
    std::atomic<int> unseen{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < kClients; ++client)
    {
        clients.emplace_back(
            [&, client]
            {
                sqlite3* reader = nullptr;
                sqlite3_open_v2(database.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr);
                for (int i = 0; i < kPerClient; ++i)
                {
                    const std::string answer =
                        RawHttp::Exchange(process.Port(), RawHttp::Post(kLevelPath, bodies[client][i]), 2s);
                    if (RawHttp::Body(answer) != "OK")
                        break;
                    const std::string name = "k" + std::to_string(client) + "_" + std::to_string(i);
                    unseen += !LevelRowVisible(reader, name);
                    std::lock_guard lock(acknowledgedMutex);
                    acknowledged.insert(name);
                }
                sqlite3_close(reader);
            });
    }
    for (int i = 0; i < 500; ++i)
    {
        {
            std::lock_guard lock(acknowledgedMutex);
            if (acknowledged.size() >= 300)
                break;
        }
        std::this_thread::sleep_for(5ms);
    }
    process.Stop(SIGKILL);
    for (std::thread& client : clients)
        client.join();
    ASSERT_GE(acknowledged.size(), 300u);
    EXPECT_EQ(unseen, 0) << "uploads answered before their commit";
    const std::vector<std::string> stored = StoredNames(database, "level_scores");
    const std::set<std::string> kept(stored.begin(), stored.end());
    EXPECT_EQ(kept.size(), stored.size()) << "no upload is kept twice";
    std::vector<std::string> lost;
    std::set_difference(acknowledged.begin(), acknowledged.end(), kept.begin(), kept.end(),
                        std::back_inserter(lost));
    EXPECT_TRUE(lost.empty()) << lost.size() << " acknowledged uploads lost, the first " << lost.front();
}
} // namespace
