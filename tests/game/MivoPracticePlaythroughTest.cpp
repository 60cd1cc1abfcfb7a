// Practice played through the game's window: a map finished on the skill ladder is listed, and
// playing it from the list returns to the list.
#include "PlaythroughDriver.h"
#include "WeUIMultiList.h"

namespace
{

class PracticePlaythrough : public Playthrough
{
protected:
    static int32_t ListedMaps()
    {
        const auto* list = dynamic_cast<const WeUIMultiList*>(MivoFindWidget("PracticeMapMulti"));
        return list ? list->rowCount : -1;
    }

    const PinnedBackgrounds light;
};

} // namespace

TEST_F(PracticePlaythrough, AMapFinishedOnTheLadderIsListedAndPlayedFromTheListBackToIt)
{
    ASSERT_TRUE(userData.CreateUser("Ana")); // a new player, who reads the tutorials
    ASSERT_TRUE(userData.SaveUsers());
    userData.FreeAll();
    const std::string first = MivoMapName(1001).GetData();
    Play(
        [&]
        {
            Click("MainMenuNewGameButton");
            Click("NewGamePracticeButton");
            WaitFor("PracticeBackButton");
            EXPECT_EQ(ListedMaps(), 0) << "nothing finished yet";
            Click("PracticeBackButton");

            // The ladder's first level won; the second left through the pause menu.
            Click("NewGameSkillButton");
            Click("SkillPlayButton");
            WinShownLevel();
            Click("StatisticNextButton");
            AwaitBoard();
            Key(SDL_SCANCODE_ESCAPE);
            Click("MenuIngameExit");
            Click("Confirmation1YesButton");
            Click("SkillBackButton");

            Click("NewGamePracticeButton");
            WaitFor("PracticeMapMulti$0$0");
            EXPECT_EQ(ListedMaps(), 1) << "the finished map, not the one left";
            EXPECT_EQ(Text("PracticeMapMulti$0$0"), first);
            Click("PracticeMapMulti$0$0");
            Click("PracticePlayButton");
            AwaitBoard();
            EXPECT_EQ(Text("IngameMapName"), first);
            EXPECT_FALSE(Shown("IngameScore")) << "practice counts no points";
            WinShownLevel();
            WaitFor("StatisticNextButton");
            EXPECT_TRUE(Shown("StatisticCongratulationsLabelPractice"));
            EXPECT_FALSE(Shown("StatisticInfoWindow"));
            Click("StatisticNextButton");
            WaitFor("PracticePlayButton");
            EXPECT_EQ(ListedMaps(), 1);
            EXPECT_EQ(Text("PracticeMapMulti$0$0"), first);
            Click("PracticeBackButton");
            WaitFor("NewGamePracticeButton");
        });
    EXPECT_TRUE(LocalTables().levelTables[0].size() == 1)
        << "the ladder's level booked, the practice one not";
}
