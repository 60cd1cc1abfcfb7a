// The score client, the upload queue and the net-wait screen against the real score service on
// loopback, and against a fake one that misbehaves.
#include "MenuFixture.h"
#include "MivoNetWaitPhase.h"
#include "MivoScoreClient.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "ScoreService.h"
#include "WeConfig.h"
#include "WeTimer.h"
#include "core/TempFolder.h"
#include "support/ScoreServiceFake.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
using Outcome = MivoNetWaitPhase::Outcome;

class ScoreNetworkTest : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        store.SetFolder(folder.path);
        ASSERT_TRUE(service.Start(0)) << service.Error();
        PointAt(service.Port());
        timer.deltaTime = 1.0f / 60.0f;
    }
    void TearDown() override
    {
        scoreClient.EndRequest();
        service.Stop();
        Address() = "";
        MenuFixture::TearDown();
    }

    static WeString& Address() { return WeConfig::GetString("Mivo.Network.ServerAddress", ""); }
    static void PointAt(uint16_t port) { Address() = ("127.0.0.1:" + std::to_string(port)).c_str(); }

    // Pushes the net-wait screen over an empty stack and runs frames of `frameTime` until it
    // pops or `frames` ran; true when it popped.
    static bool Wait(int32_t frames = 600, float frameTime = 1.0f / 60.0f)
    {
        phaseStack.Request(&netWaitPhase, WePhaseCommand::Push);
        Step();
        for (int32_t i = 0; i < frames && Top() == &netWaitPhase; ++i)
        {
            timer.deltaTime = frameTime;
            Step();
            // Give the loopback a moment, as a frame would.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return Top() != &netWaitPhase;
    }

    MivoLevelScore LevelScore(const char* name, int32_t bonus) const
    {
        MivoLevelScore score;
        score.name = name;
        score.bonus = bonus;
        score.moves = 12;
        score.mapId = 3017;
        score.time = 41.75f;
        return score;
    }

    // Rows of the service's level table in the order it stored them: "name bonus moves map time".
    std::vector<std::string> StoredLevelScores() const
    {
        std::vector<std::string> rows;
        sqlite3* database = nullptr;
        sqlite3_open((folder / "scores.sqlite").c_str(), &database);
        sqlite3_exec(
            database, "SELECT name, bonus, moves, map_id, time FROM level_scores ORDER BY rowid",
            [](void* out, int columns, char** values, char**)
            {
                std::string row;
                for (int i = 0; i < columns; ++i)
                    row += (i ? " " : "") + std::string(values[i] ? values[i] : "");
                static_cast<std::vector<std::string>*>(out)->push_back(row);
                return 0;
            },
            &rows, nullptr);
        sqlite3_close(database);
        return rows;
    }
    int32_t QueuedRecords() const
    {
        const auto size = static_cast<int32_t>(std::filesystem::file_size(folder / "upload.dat"));
        return (size - 4) / static_cast<int32_t>(MivoUploadQueue::kRecordSize);
    }
    // Books two level scores: they wait in upload.dat.
    void BookTwo()
    {
        ASSERT_TRUE(store.AddLevelScore(LevelScore("Ann", 300)));
        ASSERT_TRUE(store.AddLevelScore(LevelScore("Bob", 200)));
        ASSERT_EQ(QueuedRecords(), 2);
    }

    TempFolder folder;
    MivoUserData store;
    ScoreService service{folder / "scores.sqlite"};
};

TEST_F(ScoreNetworkTest, BookedScoresAreSentLatestFirstAndLeaveOnlyTheVersion)
{
    BookTwo();
    ASSERT_TRUE(store.LoadPendingUploads());
    ASSERT_TRUE(Wait());
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Done);
    // Both bodies passed the service's sums; time is sent whole.
    EXPECT_EQ(StoredLevelScores(), (std::vector<std::string>{"Bob 200 12 3017 41", "Ann 300 12 3017 41"}));
    EXPECT_EQ(std::filesystem::file_size(folder / "upload.dat"), 4u);
    EXPECT_EQ(scoreClient.state, MivoScoreClient::Idle);
}

TEST_F(ScoreNetworkTest, WorldListRequestsFillTheTables)
{
    // Scores reach the service as the game makes them: a quest ends without a level.
    const MivoScore quest{"Qa", 900, 0, 2, 1};
    const MivoScore skill{"Sk", 700, 9, 0, 2};
    ASSERT_EQ(service.Handle("/stats/upload_highscore.php", MivoMakeScorePayload(quest).text).body, "OK");
    ASSERT_EQ(service.Handle("/stats/upload_highscore.php", MivoMakeScorePayload(skill).text).body, "OK");
    ASSERT_EQ(
        service
            .Handle("/stats/upload_highscore_level.php", MivoMakeLevelScorePayload(LevelScore("Lv", 55)).text)
            .body,
        "OK");

    scoreClient.RequestScores(1, 0);
    ASSERT_TRUE(Wait());
    store.FillQuestScores(scoreClient.responseText);
    ASSERT_EQ(store.scores.questTables[1].size(), 1u);
    EXPECT_EQ(store.scores.questTables[1][0].score, 900);
    EXPECT_EQ(store.scores.questTables[1][0].difficulty, 2);
    EXPECT_TRUE(store.scores.questTables[0].empty());

    scoreClient.RequestScores(2, 0);
    ASSERT_TRUE(Wait());
    store.FillSkillScores(scoreClient.responseText);
    ASSERT_EQ(store.scores.skillTable.size(), 1u);
    EXPECT_EQ(store.scores.skillTable[0].name, WeString("Sk"));
    EXPECT_EQ(store.scores.skillTable[0].level, 9);

    scoreClient.RequestScores(3, 3);
    ASSERT_TRUE(Wait());
    store.FillLevelScores(scoreClient.responseText, 2);
    const auto& table = store.scores.levelTables[MivoScoreTables::LevelTableIndex(3017)];
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].bonus, 55);
    EXPECT_EQ(table[0].mapId, 3017);
    EXPECT_EQ(table[0].time, 41.0f);
}

TEST_F(ScoreNetworkTest, TamperedBodyIsRefusedAndLeavesTheQueue)
{
    MivoScorePayload payload = MivoMakeLevelScorePayload(LevelScore("Eve", 999));
    payload.text[600] = payload.text[600] == 'A' ? 'B' : 'A';
    ASSERT_TRUE(store.AppendUpload(1, payload));
    ASSERT_TRUE(store.LoadPendingUploads());
    ASSERT_TRUE(Wait());
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Done);
    EXPECT_TRUE(StoredLevelScores().empty());
    EXPECT_EQ(QueuedRecords(), 0);
}

struct Trouble
{
    const char* name;
    int behaviour; // a ScoreServiceFake::Behaviour, or -1 for a service that is down
    Outcome outcome;
};

void PrintTo(const Trouble& trouble, std::ostream* out)
{
    *out << trouble.name;
}

class ScoreServiceTroubleTest : public ScoreNetworkTest, public ::testing::WithParamInterface<Trouble>
{
};

// Whatever goes wrong, the game runs on, every record stays queued, and the next good round sends
// them all.
TEST_P(ScoreServiceTroubleTest, LeavesEveryRecordQueuedForTheNextGoodRound)
{
    BookTwo();
    {
        std::unique_ptr<ScoreServiceFake> fake;
        if (GetParam().behaviour >= 0)
        {
            fake = std::make_unique<ScoreServiceFake>(
                static_cast<ScoreServiceFake::Behaviour>(GetParam().behaviour));
            PointAt(fake->Port());
        }
        else
        {
            ScoreService down(folder / "down.sqlite");
            ASSERT_TRUE(down.Start(0));
            PointAt(down.Port());
        }
        ASSERT_TRUE(store.LoadPendingUploads());
        // 30 s of 0.1-s frames and a little more.
        EXPECT_FALSE(Wait(310, 0.1f));
        EXPECT_EQ(netWaitPhase.outcome, GetParam().outcome);
        EXPECT_EQ(MivoFindWidget("NetText")->text, localization.Translate("UI: NET Error"));
        EXPECT_EQ(MivoFindWidget("NetCancel")->text, localization.Translate("UI: Ok"));
        EXPECT_EQ(QueuedRecords(), 2);
        PressKey(kMivoEscapeKey);
        Steps(2);
        EXPECT_EQ(Top(), nullptr);
    }
    PointAt(service.Port());
    ASSERT_TRUE(store.LoadPendingUploads());
    ASSERT_TRUE(Wait());
    EXPECT_EQ(StoredLevelScores().size(), 2u);
    EXPECT_EQ(QueuedRecords(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Troubles, ScoreServiceTroubleTest,
    ::testing::Values(
        Trouble{"Down", -1, Outcome::Failed},
        Trouble{"ClosesEarly", static_cast<int>(ScoreServiceFake::Behaviour::CloseEarly), Outcome::Failed},
        Trouble{"NeverAnswers", static_cast<int>(ScoreServiceFake::Behaviour::Silent), Outcome::TimedOut},
        Trouble{"Garbage", static_cast<int>(ScoreServiceFake::Behaviour::Garbage), Outcome::Failed},
        Trouble{"AnswersWithoutEnd", static_cast<int>(ScoreServiceFake::Behaviour::Endless), Outcome::Failed},
        Trouble{"HeaderWithoutEnd", static_cast<int>(ScoreServiceFake::Behaviour::EndlessHeader),
                Outcome::Failed},
        Trouble{"Trickles", static_cast<int>(ScoreServiceFake::Behaviour::Drip), Outcome::TimedOut},
        Trouble{"CutShort", static_cast<int>(ScoreServiceFake::Behaviour::CutShort), Outcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScoreNetworkTest, AnswersInPiecesOrEndedByTheCloseComplete)
{
    for (const auto behaviour :
         {ScoreServiceFake::Behaviour::Split, ScoreServiceFake::Behaviour::CloseDelimited})
    {
        ScoreServiceFake fake(behaviour);
        PointAt(fake.Port());
        scoreClient.RequestScores(2, 0);
        ASSERT_TRUE(Wait());
        EXPECT_EQ(netWaitPhase.outcome, Outcome::Done);
        EXPECT_EQ(scoreClient.responseText, WeString(ScoreServiceFake::kBody));
    }
}

// The largest list a service may send arrives whole, in a few frames rather than one read a
// frame.
TEST_F(ScoreNetworkTest, TheLargestListArrivesWhole)
{
    const ScoreServiceFake full(ScoreServiceFake::Behaviour::FullList);
    PointAt(full.Port());
    scoreClient.RequestScores(1, 0);
    ASSERT_TRUE(Wait(1500));
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Done);
    EXPECT_EQ(full.Sent(), ScoreServiceFake::kFullAnswer);
    EXPECT_GT(scoreClient.responseText.GetLength(), static_cast<int32_t>(ScoreServiceFake::kFullAnswer) - 64);
}

// A counter that moves on by kClockStep each time it is read.
constexpr int64_t kClockStep = 250; // microseconds
int64_t clockNow = 0;
int64_t SteppingCounter()
{
    return clockNow += kClockStep;
}

// Each frame takes what has arrived only while its time lasts; the rest waits for the next frame.
TEST_F(ScoreNetworkTest, AFramesPollStopsWhenItsTimeIsSpent)
{
    const ScoreServiceFake full(ScoreServiceFake::Behaviour::FullList);
    PointAt(full.Port());
    MivoScoreClient client(WeTimerClock{SteppingCounter, 1000000, nullptr});
    client.RequestScores(1, 0);
    const auto budget = static_cast<int64_t>(MivoScoreClient::kPollBudget * 1e6);
    int64_t longest = 0;
    for (int i = 0; i < 3000 && client.state == MivoScoreClient::Running; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // packets gather between frames
        const int64_t start = clockNow;
        client.Poll();
        longest = std::max(longest, clockNow - start);
    }
    ASSERT_EQ(client.state, MivoScoreClient::Idle);
    EXPECT_GT(client.responseText.GetLength(), static_cast<int32_t>(ScoreServiceFake::kFullAnswer) - 64);
    // Some frame had more waiting than its time allowed, and none ran on past its time by more
    // than a packet.
    EXPECT_GE(longest, budget);
    EXPECT_LE(longest, budget + 2 * kClockStep);
    client.EndRequest();
}

// The resident set of this process in bytes.
double ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    double total = 0.0, resident = 0.0;
    statm >> total >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// A service that never stops answering, in the body or in the header, is refused once the answer
// passes its cap, and costs no more memory than the cap's few MB while it is read, even when the
// game's frames are slow (here 5 a second): the connection is not read past the cap, however
// long its packets wait for the next frame.
TEST_F(ScoreNetworkTest, AnAnswerWithoutEndKeepsMemoryFlat)
{
    constexpr double kMostGrowth = 16.0 * 1024 * 1024;
    constexpr auto kSlowFrame = std::chrono::milliseconds(200);
    for (const auto behaviour :
         {ScoreServiceFake::Behaviour::Endless, ScoreServiceFake::Behaviour::EndlessHeader})
    {
        const ScoreServiceFake fake(behaviour);
        PointAt(fake.Port());
        MivoScoreClient client;
        const double idle = ResidentBytes();
        double peak = 0.0;
        client.RequestScores(1, 0);
        for (int i = 0; i < 50 && client.state == MivoScoreClient::Running; ++i)
        {
            std::this_thread::sleep_for(kSlowFrame); // the service sends meanwhile
            peak = std::max(peak, ResidentBytes() - idle);
            client.Poll();
        }
        EXPECT_EQ(client.state, MivoScoreClient::Failed) << static_cast<int>(behaviour);
        EXPECT_LT(peak, kMostGrowth) << static_cast<int>(behaviour);
        client.EndRequest();
    }
}

TEST_F(ScoreNetworkTest, CancelEndsTheWaitAndHandsTheRecordsBack)
{
    BookTwo();
    ScoreServiceFake fake(ScoreServiceFake::Behaviour::Silent);
    PointAt(fake.Port());
    ASSERT_TRUE(store.LoadPendingUploads());
    EXPECT_FALSE(Wait(10));
    PressKey(kMivoEscapeKey); // the Cancel button's event
    Steps(2);
    EXPECT_EQ(Top(), nullptr);
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Cancelled);
    EXPECT_EQ(scoreClient.state, MivoScoreClient::Idle);
    EXPECT_FALSE(scoreClient.connected);
    EXPECT_EQ(QueuedRecords(), 2);
}

TEST_F(ScoreNetworkTest, EmptyAddressFailsWithoutPostingAndALaterWaitPopsAtOnce)
{
    ScoreServiceFake fake(ScoreServiceFake::Behaviour::Silent);
    Address() = "";
    scoreClient.RequestScores(2, 0);
    EXPECT_EQ(scoreClient.state, MivoScoreClient::Failed);
    EXPECT_FALSE(Wait(5));
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Failed);
    PressKey(kMivoEscapeKey);
    Steps(2);
    EXPECT_EQ(fake.Accepted(), 0);
    // The error belonged to that wait: a wait with nothing running now pops at once.
    EXPECT_TRUE(Wait(1));
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Done);
}

TEST_F(ScoreNetworkTest, ARequestOnAConnectionLeftOpenStillConnects)
{
    // A done request without a follow-up keeps its connection; the next request starts afresh.
    scoreClient.RequestScores(2, 0);
    for (int i = 0; i < 300 && scoreClient.state == MivoScoreClient::Running; ++i)
    {
        scoreClient.Poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(scoreClient.state, MivoScoreClient::Idle);
    ASSERT_TRUE(scoreClient.connected);
    scoreClient.RequestScores(1, 0);
    EXPECT_EQ(scoreClient.state, MivoScoreClient::Running);
    EXPECT_TRUE(Wait());
    EXPECT_EQ(netWaitPhase.outcome, Outcome::Done);
}
} // namespace
