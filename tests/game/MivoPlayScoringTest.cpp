// Points of the meetings of blocks: the merge and vanishing-pair tables, the text that floats
// over the blocks, and a pair scored through the board as the play phase presents it.
#include "BoardFixture.h"
#include "MivoGameScene.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"
#include "WeTimer.h"

namespace
{

using K = MivoBlockKind;

struct Meeting
{
    MivoEventKind event;
    K kindA;
    int32_t a;
    K kindB;
    int32_t b;
    bool scores;
    int32_t points;
};

MivoBlock Block(K kind, int32_t number)
{
    MivoBlock block;
    block.kind = kind;
    block.number = number;
    return block;
}

class PlayScoring : public BoardFixture
{
protected:
    void SetUp() override
    {
        userData.levelScore = 0;
        savedDelta = timer.deltaTime;
        timer.deltaTime = 1.0f / 60.0f; // the frame time the effects run by, as the board ticks
    }
    void TearDown() override
    {
        playGamePhase.level.floatingScores.clear();
        userData.levelScore = 0;
        userData.moves = 0;
        userData.gameMode = MivoModeNone;
        timer.deltaTime = savedDelta;
    }
    float savedDelta = 0.0f;
};

} // namespace

TEST(PlayScoringRules, MergesAndVanishingPairsScoreByTheirTables)
{
    const MivoEventKind merge = MivoEventKind::Combine, vanish = MivoEventKind::Vanish;
    const Meeting cases[] = {
        {merge, K::Number, 4, K::Number, 5, true, 3},
        {merge, K::Number, 2, K::Number, 2, true, 8},
        {merge, K::Number, 6, K::Number, 4, true, -2},
        {merge, K::Number, 5, K::Number, 5, true, 0},
        {merge, K::Number, 9, K::Number, 1, true, -8},
        {merge, K::Plus, 0, K::Number, 9, true, 1},
        {merge, K::Minus, 0, K::Plus, 0, true, -1},
        {merge, K::Number, 3, K::Minus, 0, true, -1},
        {merge, K::Joker, 0, K::Number, 3, false, 0},
        {vanish, K::Number, 3, K::Number, 3, true, 90},
        {vanish, K::Number, 9, K::Number, 9, true, 810},
        {vanish, K::Number, 1, K::Number, 1, true, 10},
        {vanish, K::Joker, 0, K::Number, 7, true, 7},
        {vanish, K::Plain, 4, K::Joker, 0, true, 4},
        {vanish, K::Number, 3, K::Number, 4, false, 0},
        {vanish, K::Number, 0, K::Number, 0, false, 0},
        {vanish, K::Plain, 2, K::Plain, 2, false, 0},
        {MivoEventKind::Hit, K::Number, 2, K::Number, 2, false, 0},
    };
    for (const Meeting& c : cases)
    {
        MivoBlock a = Block(c.kindA, c.a), b = Block(c.kindB, c.b);
        const MivoBoardEvent event(nullptr, c.event, true, &a, &b, 0, 0);
        int32_t points = 12345;
        EXPECT_EQ(MivoPlayGamePhase::EventPoints(event, points), c.scores) << c.a << " " << c.b;
        if (c.scores)
        {
            EXPECT_EQ(points, c.points) << c.a << " " << c.b;
        }
    }
}

TEST_F(PlayScoring, TheTextFloatsOverTheSecondBlockOrBetweenBothAndNeedsItsActor)
{
    MivoActor actorA, actorB;
    actorA.SetLocation({1.0f, 0.0f, 2.0f});
    actorB.SetLocation({3.0f, 0.0f, 4.0f});
    MivoBlock a = Block(K::Number, 1), b = Block(K::Number, 1), bare = Block(K::Number, 1);
    a.presentation[0] = reinterpret_cast<std::uintptr_t>(&actorA);
    b.presentation[0] = reinterpret_cast<std::uintptr_t>(&actorB);
    struct Case
    {
        const MivoBlock* first;
        int32_t points;
        const MivoBlock* second;
        const char* text; // none: no text
        float x, z;
    };
    const Case cases[] = {{nullptr, 40, &b, "+40", 3.0f, 4.0f},
                          {&a, -3, &b, "-3", 2.0f, 3.0f},
                          {&bare, 0, &b, "+0", 3.0f, 4.0f},
                          {&a, 7, &bare, nullptr, 0.0f, 0.0f}};
    int32_t total = 0;
    for (const Case& c : cases)
    {
        playGamePhase.level.floatingScores.clear();
        playGamePhase.AddScore(c.first, c.points, c.second);
        total += c.points;
        EXPECT_EQ(userData.levelScore, total);
        ASSERT_EQ(playGamePhase.level.floatingScores.size(), c.text ? 1u : 0u) << c.points;
        if (!c.text)
            continue;
        const MivoFloatingScore& score = *playGamePhase.level.floatingScores.front();
        EXPECT_EQ(score.text, c.text);
        EXPECT_FLOAT_EQ(score.position.x, c.x);
        EXPECT_FLOAT_EQ(score.position.z, c.z);
        EXPECT_EQ(score.life, 1.5f);
    }
}

TEST_F(PlayScoring, TwoTwosVanishingThroughTheBoardScoreFortyAndNothingInPractice)
{
    for (const int32_t mode : {MivoModeSkill, MivoModeQuest, MivoModePractice})
    {
        userData.gameMode = mode;
        userData.levelScore = 0;
        Build("B,1,1=N,2\nB,2,1=N,2\n");
        board->callbacks = &playGamePhase.gameCallbacks;
        ASSERT_TRUE(Move(1, 1, 3));
        ASSERT_GE(RunToRest(), 0);
        EXPECT_EQ(Top(2, 1), nullptr) << "the pair vanished";
        EXPECT_EQ(userData.levelScore, mode == MivoModePractice ? 0 : 40) << mode;
    }
}
