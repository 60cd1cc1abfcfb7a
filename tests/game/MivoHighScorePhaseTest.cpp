// The high-score screen: local tables from hiscores.dat with their empty marks, the level table of
// a chosen map, and the world view against the score service on loopback (pending uploads first,
// each turn to the world view asking afresh, a failed request keeping what the service said
// last).
#include "MivoHighScorePhase.h"
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoNetWaitPhase.h"
#include "MivoScoreClient.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "ScoreService.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WeTimer.h"
#include "WeUIMultiList.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace
{

class HighScores : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        userData.SetFolder(folder / "");
        ASSERT_TRUE(service.Start(0)) << service.Error();
        Address() = ("127.0.0.1:" + std::to_string(service.Port())).c_str();
        timer.deltaTime = 1.0f / 60.0f;
    }
    void TearDown() override
    {
        scoreClient.EndRequest();
        service.Stop();
        Address() = "";
        MenuFixture::TearDown();
        userData.FreeAll();
    }
    static WeString& Address() { return WeConfig::GetString("Mivo.Network.ServerAddress", ""); }
    void Open()
    {
        phaseStack.Request(&highScorePhase, WePhaseCommand::Push);
        Steps(2);
        ASSERT_EQ(Top(), &highScorePhase);
    }
    // Frames until every net wait has ended and the screen is on top again; whether any wait ran.
    static bool Settle()
    {
        bool waited = false;
        for (int32_t i = 0; i < 1200; ++i)
        {
            Step();
            waited = waited || Top() == &netWaitPhase;
            if (Top() == &highScorePhase && i > 2)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return waited;
    }
    // Frames until the net-wait window knows how its request ended.
    static void AwaitNetOutcome()
    {
        for (int32_t i = 0; i < 1200 && netWaitPhase.outcome == MivoNetWaitPhase::Outcome::Waiting; ++i)
        {
            Step();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    static void Event(int32_t id)
    {
        WeUIEvent event = MivoMadeEvent(id);
        EXPECT_TRUE(highScorePhase.OnUIEvent(&event)) << id;
    }
    // The texts of a list's row.
    static std::vector<std::string> Row(const char* list, int32_t row)
    {
        std::vector<std::string> texts;
        auto* multi = dynamic_cast<WeUIMultiList*>(MivoFindWidget(list));
        for (int32_t c = 0; multi && c < multi->ColumnCount(); ++c)
            texts.emplace_back(multi->GetCell(c, row) ? multi->GetCell(c, row)->text.GetData() : "?");
        return texts;
    }
    static int32_t Rows(const char* list)
    {
        auto* multi = dynamic_cast<WeUIMultiList*>(MivoFindWidget(list));
        return multi ? multi->rowCount : -1;
    }

    TempFolder folder;
    ScoreService service{folder / "scores.sqlite"};
};

} // namespace

TEST_F(HighScores, ThreeLocalEntriesGiveThreeRankedRowsAndSevenEmptyOnes)
{
    for (const MivoScore& score : {MivoScore{"Ana", 900, 12, 0, 2}, MivoScore{"Bo", 700, 8, 0, 2},
                                   MivoScore{"Cy", 300, 3, 0, 2}, MivoScore{"Di", 500, 5, 2, 1}})
        ASSERT_TRUE(userData.scores.InsertGameScore(score));
    ASSERT_TRUE(userData.SaveScores());
    userData.scores.Clear();
    Open();
    EXPECT_EQ(Rows("HighScoreMultiQ"), 32);
    EXPECT_EQ(Row("HighScoreMultiQ", 0), (std::vector<std::string>{"1", "-", "-", "Easy", "-"}));
    EXPECT_EQ(Row("HighScoreMultiQ", 10), (std::vector<std::string>{"", "", "", "", ""}));
    EXPECT_EQ(Row("HighScoreMultiQ", 11), (std::vector<std::string>{"1", "Di", "500", "Medium", "5"}));
    Event(MivoHighScorePhase::kSkillId);
    EXPECT_TRUE(MivoFindWidget("HighScoreSkillButton")->selected);
    EXPECT_FALSE(MivoFindWidget("HighScoreQuestButton")->selected);
    EXPECT_FALSE(MivoFindWidget("HighScoreMultiQ")->visible);
    ASSERT_EQ(Rows("HighScoreMultiS"), 10);
    EXPECT_EQ(Row("HighScoreMultiS", 0), (std::vector<std::string>{"1", "Ana", "900", "12"}));
    EXPECT_EQ(Row("HighScoreMultiS", 2), (std::vector<std::string>{"3", "Cy", "300", "3"}));
    for (int32_t row = 3; row < 10; ++row)
        EXPECT_EQ(Row("HighScoreMultiS", row),
                  (std::vector<std::string>{std::to_string(row + 1), "-", "-", "-"}));
    Event(MivoHighScorePhase::kLevelId);
    // One mark for an empty place in every table.
    for (const char* list : {"HighScoreMultiQ", "HighScoreMultiS", "HighScoreMultiL"})
        for (int32_t row = 0; row < Rows(list); ++row)
            for (const std::string& cell : Row(list, row))
                if (!cell.empty() && cell.find_first_not_of('-') == std::string::npos)
                {
                    EXPECT_EQ(cell, "-") << list << " row " << row;
                }
}

TEST_F(HighScores, TheThirdMapOfTheFirstRegionShowsItsLevelTable)
{
    MivoLevelScore score;
    score.name = "Ana";
    score.bonus = 450;
    score.moves = 9;
    score.mapId = 1003;
    score.time = 12.9f;
    ASSERT_TRUE(userData.scores.InsertLevelScore(score));
    ASSERT_TRUE(userData.SaveScores());
    Open();
    Event(MivoHighScorePhase::kLevelId);
    ASSERT_GE(highScorePhase.levelIds.size(), 3u);
    ASSERT_EQ(highScorePhase.levelIds[2], 1003);
    EXPECT_EQ(Row("HighScoreMultiL", 0)[1], "-") << "table 1 is shown first";
    auto* names = dynamic_cast<WeUIMultiList*>(MivoFindWidget("HighScoreMultiLN"));
    ASSERT_NE(names, nullptr);
    names->SelectCell(0, 2);
    Event(MivoHighScorePhase::kLevelNameId);
    EXPECT_EQ(highScorePhase.selectedTable, 3);
    EXPECT_EQ(Row("HighScoreMultiL", 0), (std::vector<std::string>{"1", "Ana", "450", "9", "12"}));
}

TEST_F(HighScores, RemappedIdsOutsideTheLaddersAreLeftOutOfTheLevelNames)
{
    WeConfig::GetInt("Mivo.Remap.Map2001", 0) = 16001;
    WeConfig::GetInt("Mivo.Remap.Map2002", 0) = 2021;
    WeConfig::GetInt("Mivo.Remap.Map2003", 0) = 2003;
    Open();
    Event(MivoHighScorePhase::kLevelId);
    const std::vector<int32_t>& ids = highScorePhase.levelIds;
    for (int32_t id : ids)
        EXPECT_GE(MivoScoreTables::LevelTableIndex(id), 0) << id;
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 2003), 1);
    EXPECT_EQ(Rows("HighScoreMultiLN"), static_cast<int32_t>(highScorePhase.levelIds.size()));
}

TEST_F(HighScores, TheFirstWorldViewSendsTheUploadsAndEachTurnToItAsksAgain)
{
    ASSERT_TRUE(userData.AddGameScore(MivoScore{"Wu", 880, 0, 1, 1}));
    userData.scores.Clear();
    ASSERT_TRUE(userData.SaveScores()); // the local table forgets it: only the service has it now
    Open();
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "-");
    Event(MivoHighScorePhase::kWorldId);
    EXPECT_TRUE(highScorePhase.uploadPending);
    EXPECT_TRUE(Settle());
    EXPECT_EQ(std::filesystem::file_size(folder / "upload.dat"), 4u) << "the waiting score went first";
    EXPECT_EQ(highScorePhase.view, MivoHighScorePhase::World);
    EXPECT_TRUE(highScorePhase.questReceived);
    EXPECT_TRUE(MivoFindWidget("HighScoreWorldButton")->selected);
    EXPECT_EQ(Row("HighScoreMultiQ", 0), (std::vector<std::string>{"1", "Wu", "880", "Easy", "0"}));

    // Another kind and back within the world view: each is asked for once.
    Event(MivoHighScorePhase::kSkillId);
    EXPECT_TRUE(Settle());
    Event(MivoHighScorePhase::kQuestId);
    EXPECT_FALSE(Settle());
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "Wu");

    Event(MivoHighScorePhase::kLocalId);
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "-") << "the local table again";
    ASSERT_TRUE(userData.AddGameScore(MivoScore{"Xi", 990, 3, 1, 1})); // queued for the next visit
    Event(MivoHighScorePhase::kQuestId);
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "Xi");
    Event(MivoHighScorePhase::kWorldId);
    EXPECT_TRUE(Settle()) << "the world list asked for again";
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "Wu");
    EXPECT_EQ(Row("HighScoreMultiQ", 1)[1], "-") << "no local entry among the world's";
}

// A table asked for while the service is gone: one message, and the list the service gave last.
TEST_F(HighScores, AFailedRequestKeepsTheLastWorldListAndSaysSoOnce)
{
    ASSERT_TRUE(userData.AddGameScore(MivoScore{"Wu", 880, 0, 1, 1}));
    Open();
    Event(MivoHighScorePhase::kWorldId);
    EXPECT_TRUE(Settle());
    ASSERT_EQ(Row("HighScoreMultiQ", 0)[1], "Wu");
    Event(MivoHighScorePhase::kLocalId);
    service.Stop();
    scoreClient.responseText = "stale\x02"
                               "Xx\x02"
                               "999\x02"
                               "1\x02"
                               "9\x01";
    Event(MivoHighScorePhase::kWorldId);
    Step();
    ASSERT_EQ(Top(), &netWaitPhase);
    AwaitNetOutcome();
    EXPECT_NE(netWaitPhase.outcome, MivoNetWaitPhase::Outcome::Done);
    EXPECT_EQ(MivoFindWidget("NetText")->text, localization.Translate("UI: NET Error"));
    PressKey(kMivoEscapeKey);
    Steps(3);
    ASSERT_EQ(Top(), &highScorePhase);
    EXPECT_FALSE(Settle()) << "one failure, one message";
    EXPECT_EQ(highScorePhase.view, MivoHighScorePhase::World);
    EXPECT_FALSE(highScorePhase.questReceived);
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "Wu") << "what the service said last, not the stale text";
    EXPECT_EQ(Row("HighScoreMultiQ", 1)[1], "-");
}

// Scores that the service does not take: one message, the local view stays, and the next World
// press sends them again.
TEST_F(HighScores, UploadsTheServiceDoesNotTakeGiveOneMessageAndGoAgainWithTheNextWorldPress)
{
    ASSERT_TRUE(userData.AddGameScore(MivoScore{"Wu", 880, 0, 1, 1}));
    const auto queued = std::filesystem::file_size(folder / "upload.dat");
    service.Stop();
    Open();
    Event(MivoHighScorePhase::kWorldId);
    Step();
    ASSERT_EQ(Top(), &netWaitPhase);
    AwaitNetOutcome();
    EXPECT_NE(netWaitPhase.outcome, MivoNetWaitPhase::Outcome::Done);
    PressKey(kMivoEscapeKey);
    Steps(3);
    ASSERT_EQ(Top(), &highScorePhase);
    EXPECT_FALSE(Settle()) << "no table asked for after the failure";
    EXPECT_EQ(highScorePhase.view, MivoHighScorePhase::Local);
    EXPECT_EQ(std::filesystem::file_size(folder / "upload.dat"), queued) << "the score waits";

    ASSERT_TRUE(service.Start(0)) << service.Error();
    Address() = ("127.0.0.1:" + std::to_string(service.Port())).c_str();
    Event(MivoHighScorePhase::kWorldId);
    EXPECT_TRUE(highScorePhase.uploadPending);
    EXPECT_TRUE(Settle());
    EXPECT_EQ(std::filesystem::file_size(folder / "upload.dat"), 4u);
    EXPECT_EQ(highScorePhase.view, MivoHighScorePhase::World);
    EXPECT_EQ(Row("HighScoreMultiQ", 0)[1], "Wu");
}
