// The quest played through the game's window: a city's four maps one after the other through the
// result screen's OK, the city finished and its neighbours opened on the world map, a map left
// back to the map, and a quest one city from its end travelled to its end through the last
// teleport, whose score the end screen books in the local table and the upload queue.
#include "MivoCityButtonStyle.h"
#include "PlaythroughDriver.h"

#include <algorithm>

namespace
{

class QuestPlaythrough : public Playthrough
{
protected:
    static std::string CityName(int32_t region, int32_t city)
    {
        return "QuestCityR" + std::to_string(region) + "C" + std::to_string(city);
    }
    // How the map draws the place: open (blinking), finished, locked or not in the quest.
    static int32_t PlaceShown(const std::string& place)
    {
        return MivoCityButtonStyle::PlaceState(MivoFindWidget(place.c_str()));
    }
    // The city of the region the map shows open, 0 when none.
    static int32_t OpenCity(int32_t region)
    {
        for (int32_t c = 1; c <= kMivoCitiesPerRegion; ++c)
            if (PlaceShown(CityName(region, c)) == PLACE_OPEN)
                return c;
        return 0;
    }
    // The city's four maps won one after the other through the result screen's OK, with no
    // world map between them; the map is shown again after the fourth. The maps it played.
    std::vector<int32_t> PlayCity(const std::string& city)
    {
        Click(city.c_str());
        std::vector<int32_t> maps;
        for (int32_t map = 0; map < kMivoMapsPerCity; ++map)
        {
            AwaitBoard();
            EXPECT_EQ(MivoFindWidget("QuestWindow"), nullptr) << "no world map before map " << map + 1;
            maps.push_back(ShownMap());
            WinShownLevel();
            Click("StatisticNextButton");
        }
        WaitFor("QuestBackButton");
        return maps;
    }

    const PinnedBackgrounds light;
};

// Every region taken and travelled but one city of the first slot, which holds region 1's maps
// (the ladder's remapped ones), and fourteen of the fifteen teleports used; the last one opens
// with that city.
void OneCityFromTheEnd(MivoUser& ana)
{
    MivoQuestProgress& quest = ana.quest;
    quest.difficulty = 1;
    quest.score = 50000;
    quest.teleportsDone = kMivoTeleportCount - 1;
    for (int32_t slot = 0; slot < kMivoRegionCount; ++slot)
        for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
        {
            MivoQuestCity& city = quest.regions[slot][c];
            city.key = 1000 * slot + c;
            city.open = 1;
            city.completed = slot != 0 || c != kMivoCitiesPerRegion - 1;
        }
    for (int32_t t = 0; t < kMivoTeleportCount - 1; ++t)
    {
        quest.teleports[t].targetRegion = t;
        quest.teleports[t].done = 1;
    }
}

} // namespace

TEST_F(QuestPlaythrough, ACitysFourMapsFollowOneAnotherThenItIsFinishedAndItsNeighboursOpen)
{
    SavePlayer([](MivoUser&) {});
    Play(
        [&]
        {
            Click("MainMenuNewGameButton");
            Click("NewGameQuestButton");
            Click("DiffQuestButtonEasy");
            Click("QuestRegionLabel2");
            WaitFor("QuestBackButton");
            const int32_t first = OpenCity(2);
            Require(first != 0, "a city of region 2 open");
            const std::vector<int32_t> maps = PlayCity(CityName(2, first));
            EXPECT_EQ(maps, (std::vector<int32_t>{1001, 1002, 1003, 1004}))
                << "the first city entered plays the first maps of its region";
            EXPECT_TRUE(MivoFindWidget(CityName(2, first).c_str())->selected) << "drawn finished";
            const int32_t before = (first + 3) % kMivoCitiesPerRegion + 1,
                          after = first % kMivoCitiesPerRegion + 1;
            for (int32_t c = 1; c <= kMivoCitiesPerRegion; ++c)
            {
                const int32_t drawn = c == first                  ? PLACE_FINISHED
                                      : c == before || c == after ? PLACE_OPEN
                                                                  : PLACE_LOCKED;
                EXPECT_EQ(PlaceShown(CityName(2, c)), drawn) << c;
            }
            for (int32_t t = 1; t <= kMivoTeleportCount; ++t)
                EXPECT_EQ(PlaceShown("QuestTeleport" + std::to_string(t)), PLACE_ABSENT) << t;

            // A map left through the pause menu returns to the world map.
            Click(CityName(2, after).c_str());
            AwaitBoard();
            Key(SDL_SCANCODE_ESCAPE);
            Click("MenuIngameExit");
            Click("Confirmation1YesButton");
            WaitFor("QuestBackButton");
            EXPECT_EQ(PlaceShown(CityName(2, after)), PLACE_OPEN);
            Click("QuestBackButton");
            WaitFor("NewGameQuestButton");
        });
}

TEST_F(QuestPlaythrough, TheLastCityOpensTheLastTeleportWhichEndsTheQuestAndItsScoreIsBooked)
{
    SavePlayer(OneCityFromTheEnd);
    int32_t score = 0;
    Play(
        [&]
        {
            Click("MainMenuNewGameButton");
            Click("NewGameQuestButton");
            WaitFor("QuestBackButton");
            EXPECT_EQ(PlaceShown("QuestTeleport15"), PLACE_ABSENT);
            EXPECT_EQ(PlaceShown("QuestTeleport14"), PLACE_FINISHED);
            Require(OpenCity(1) == kMivoCitiesPerRegion, "region 1's last city open");
            PlayCity(CityName(1, kMivoCitiesPerRegion));
            EXPECT_EQ(PlaceShown(CityName(1, kMivoCitiesPerRegion)), PLACE_FINISHED);
            EXPECT_EQ(PlaceShown("QuestTeleport15"), PLACE_OPEN) << "the teleport toward the region before";

            Click("QuestTeleport15");
            AwaitBoard();
            EXPECT_EQ(ShownMap(), kMivoFirstBonusMap + kMivoTeleportCount - 1)
                << "the fifteenth teleport's map";
            score = Number("IngameScore");
            EXPECT_GT(score, 50000);
            WinShownLevel();
            Click("StatisticNextButton");
            WaitFor("EndGameOkButton");
            EXPECT_EQ(Text("EndGameWinLoseLabel2"), Translated("UI: WinQuest"));
            EXPECT_EQ(Number("EndGameInfoTotalScore"), score);
            Click("EndGameOkButton");
            WaitFor("NewGameQuestButton");
        });
    const MivoScoreTables tables = LocalTables();
    ASSERT_EQ(tables.questTables[0].size(), 1u) << "an easy quest";
    EXPECT_EQ(tables.questTables[0][0].name, "Ana");
    EXPECT_EQ(tables.questTables[0][0].score, score);
    const std::vector<MivoScore> queued = QueuedGameScores();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].mode, MivoModeQuest);
    EXPECT_EQ(queued[0].difficulty, 1);
    EXPECT_EQ(queued[0].score, score);
}
