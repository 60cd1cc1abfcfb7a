// The skill ladder played through the game's window: levels won by their solutions, the facts
// and the bonus levels where they come, and a game that ends with its lives spent, whose score
// the end screen books in the local table and the upload queue.
#include "PlaythroughDriver.h"

namespace
{

class SkillPlaythrough : public Playthrough
{
protected:
    const PinnedBackgrounds light;
};

} // namespace

TEST_F(SkillPlaythrough, AClimbIntoRegionTwoMeetsAFactAndEndsThereWithItsLivesSpentAndItsScoreBooked)
{
    SavePlayer(
        [](MivoUser& ana)
        {
            ana.skill.level = 17; // three levels before region 1 ends
            ana.skill.score = 2000;
        });
    int32_t score = 0;
    Play(
        [&]
        {
            Click("MainMenuNewGameButton");
            Click("NewGameSkillButton");
            WaitFor("SkillPlayButton");
            EXPECT_EQ(Text("SkillLevel"), "18 / 300");
            EXPECT_EQ(Text("SkillLives"), "3");
            Click("SkillPlayButton");
            for (int32_t level = 18; level <= 20; ++level)
            {
                WinShownLevel();
                WaitFor("StatisticNextButton");
                EXPECT_EQ(Shown("StatisticGlobalWarmingWindow"), level == 18)
                    << "a fact after level " << level;
                if (level == 18)
                {
                    EXPECT_EQ(Text("StatisticGlobalWarmingHeadline"), Translated("Fact3:Headline"));
                }
                Click("StatisticNextButton");
            }
            AwaitBoard();
            EXPECT_EQ(ShownMap() / 1000, 2) << "region 2's first level";
            EXPECT_EQ(LivesShown(), 3);
            score = Number("IngameScore");
            EXPECT_GT(score, 2000);
            // Every life spent: two restarts, then the lose screen.
            for (int32_t lives = 3; lives >= 1; --lives)
            {
                AwaitBoard();
                Key(SDL_SCANCODE_F2);
                Click("ConfirmationMediumYesButton");
                if (lives == 1)
                    break;
                AwaitBoard();
                EXPECT_EQ(LivesShown(), lives - 1);
            }
            WaitFor("LoseOkButton");
            EXPECT_EQ(Text("LoseLifesLabel"), Translated("UI: Lives") + ": 0");
            EXPECT_EQ(LivesShown(), 0);
            Click("LoseOkButton");
            WaitFor("EndGameOkButton");
            EXPECT_EQ(Text("EndGameWinLoseLabel1"), Translated("UI: Game over"));
            EXPECT_EQ(Number("EndGameInfoTotalScore"), score);
            Click("EndGameOkButton");
            WaitFor("NewGameSkillButton");
        });
    const MivoScoreTables tables = LocalTables();
    ASSERT_EQ(tables.skillTable.size(), 1u);
    EXPECT_EQ(tables.skillTable[0].name, "Ana");
    EXPECT_EQ(tables.skillTable[0].score, score);
    EXPECT_EQ(tables.skillTable[0].level, 20) << "the level the game reached";
    const std::vector<MivoScore> queued = QueuedGameScores();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].name, "Ana");
    EXPECT_EQ(queued[0].mode, MivoModeSkill);
    EXPECT_EQ(queued[0].score, score);
    EXPECT_EQ(queued[0].level, 20);
}

TEST_F(SkillPlaythrough, AtLevelFiftyTheSkillScreenOffersABonusLevelWhoseWinGivesALife)
{
    SavePlayer(
        [](MivoUser& ana)
        {
            ana.skill.level = 50;
            ana.skill.lives = 2;
        });
    Play(
        [&]
        {
            Click("MainMenuNewGameButton");
            Click("NewGameSkillButton");
            WaitFor("SkillPlayButton");
            EXPECT_EQ(Text("SkillLevel"), "51 / 300");
            Click("SkillPlayButton");
            AwaitBoard();
            EXPECT_EQ(ShownMap(), kMivoFirstBonusMap) << "the first bonus level before the ladder's";
            EXPECT_EQ(LivesShown(), 2);
            WinShownLevel();
            WaitFor("StatisticNextButton");
            EXPECT_FALSE(Shown("StatisticGlobalWarmingWindow"));
            Click("StatisticNextButton");
            AwaitBoard();
            EXPECT_EQ(ShownMap() / 1000, 3) << "the ladder goes on in region 3";
            EXPECT_EQ(LivesShown(), 3) << "a bonus level gives a life";
            Key(SDL_SCANCODE_ESCAPE);
            Click("MenuIngameExit");
            Click("Confirmation1YesButton");
            WaitFor("SkillPlayButton");
            EXPECT_EQ(Text("SkillLevel"), "51 / 300");
            EXPECT_EQ(Text("SkillLives"), "3");
        });
}
