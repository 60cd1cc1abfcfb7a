// The event queue: what the presentation is shown, when changes take effect, and what it hears.
#include "BoardFixture.h"

namespace
{
constexpr int Right = MivoDirection::Right;

bool IsBlocking(const MivoBoardEvent& e)
{
    return e.blocking != 0;
}
} // namespace

using EventQueue = BoardFixture;

TEST_F(EventQueue, WithoutCallbacksEveryEventIsAppliedOnTheNextTickInOrder)
{
    Build("B,2,2=N,3\nB,3,2=N,4\nB,8,8=D");
    board->callbacks = nullptr;
    board->Select(Top(2, 2));
    board->TryMove(Top(2, 2), Right, false);
    board->Select(Top(8, 8));
    ASSERT_EQ(board->events.size(), 2u);
    EXPECT_EQ(board->pendingBlocking, 2);
    board->Tick(1.0f / 60.0f);
    EXPECT_TRUE(board->events.empty());
    EXPECT_EQ(board->pendingBlocking, 0);
    EXPECT_EQ(Tops(), "N7@3,2 ");
}

TEST_F(EventQueue, RefusedBlockingEventHoldsLaterBlockingOnesButNotOthers)
{
    Build("B,2,2=D\nB,4,4=D\nB,9,9=U\nB,9,10=W");
    board->Select(Top(2, 2));
    board->QueueEvent(MivoEventKind::Hit, false, Top(9, 9), Top(9, 10), 0, 0);
    board->Select(Top(4, 4));
    recorder->refuse = [](const MivoBoardEvent& e) { return e.blockA && e.kind == MivoEventKind::Disappear; };
    board->Tick(1.0f / 60.0f);
    // The first D was refused; the hit went through; the second D was never presented.
    EXPECT_EQ(recorder->log[0], "refused 3 A=D@2,2 B=none a=0 b=0");
    EXPECT_EQ(recorder->log[1], "event 11 A=U@9,9 B=W@9,10 a=0 b=0");
    EXPECT_EQ(recorder->Find("event 3"), -1);
    ASSERT_EQ(board->events.size(), 2u);
    EXPECT_EQ(board->events[0].blockA, Top(2, 2));
    EXPECT_EQ(board->pendingBlocking, 2);
    EXPECT_FALSE(board->IsAtRest());
}

TEST_F(EventQueue, HeldBoardDoesNotMove)
{
    Build("B,2,2=D\nB,5,5=N,1");
    ASSERT_TRUE(Move(5, 5, Right));
    board->Select(Top(2, 2));
    recorder->refuse = IsBlocking;
    const float x = Top(5, 5)->x;
    for (int i = 0; i < 20; ++i)
        board->Tick(1.0f / 60.0f);
    EXPECT_FLOAT_EQ(Top(5, 5)->x, x);
    EXPECT_FLOAT_EQ(board->moveClock, 0.0f);
    recorder->refuse = nullptr;
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N1@15,5 ");
}

TEST_F(EventQueue, EarlyAnnouncementIsNotRepeated)
{
    Build("B,2,2=N,3\nB,3,2=N,4");
    int created = 0;
    recorder->refuse = [&](MivoBoardEvent& e)
    {
        if (e.kind != MivoEventKind::Combine)
            return false;
        board->AnnounceEvent(e);
        return true;
    };
    ASSERT_TRUE(Move(2, 2, Right));
    board->Tick(1.0f / 60.0f);
    EXPECT_EQ(Top(3, 2)->number, 7);
    ASSERT_EQ(board->events.size(), 1u);
    EXPECT_TRUE(board->events[0].announced);
    recorder->refuse = nullptr;
    ASSERT_GT(RunToRest(), 0);
    for (const std::string& line : recorder->log)
        created += line.rfind("created N7", 0) == 0 ? 1 : 0;
    EXPECT_EQ(created, 1);
    EXPECT_EQ(Top(3, 2)->number, 7);
}

TEST_F(EventQueue, CombinationStopsTheMoverBeforeItIsFreed)
{
    Build("B,2,2=N,3\nB,3,2=N,4");
    ASSERT_TRUE(Move(2, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    const int accepted = recorder->Find("event 1 ");
    const int stopped = recorder->Find("event 13 A=N3@2,2");
    const int done = recorder->Find("done 1");
    ASSERT_GE(accepted, 0);
    ASSERT_GE(stopped, 0);
    EXPECT_LT(accepted, stopped);
    EXPECT_LT(stopped, done);
    EXPECT_EQ(board->moving.size(), 0u);
}

TEST_F(EventQueue, EventsQueuedWhileTheLastOneIsAppliedArePresentedInTheSamePass)
{
    // Applying the D block's removal runs the passes, and the lone magnet reports itself idle.
    Build("B,2,2=D\nB,10,10=M,1");
    board->Select(Top(2, 2));
    board->Tick(0.0f);
    EXPECT_GE(recorder->Find("event 10 A=M@10,10"), 0);
    EXPECT_TRUE(board->events.empty());
}

TEST_F(EventQueue, PendingBlockingCountsOnlyBlockingEventsNotYetApplied)
{
    Build("B,2,2=D\nB,4,4=D");
    board->QueueEvent(MivoEventKind::Hit, false, nullptr, nullptr, 0, 0);
    board->Select(Top(2, 2));
    board->Select(Top(4, 4));
    EXPECT_EQ(board->pendingBlocking, 2);
    int refusals = 1;
    recorder->refuse = [&](const MivoBoardEvent& e) { return IsBlocking(e) && e.blockA && refusals-- > 0; };
    board->Tick(0.0f);
    EXPECT_EQ(board->pendingBlocking, 2);
    board->Tick(0.0f);
    EXPECT_EQ(board->pendingBlocking, 0);
    EXPECT_TRUE(board->IsAtRest());
}

TEST_F(EventQueue, ClearDropsEverythingAndLetsThePresentationFreeItsData)
{
    Build("B,2,2=D\nB,5,5=N,1");
    ASSERT_TRUE(Move(5, 5, Right));
    board->Select(Top(2, 2));
    recorder->refuse = IsBlocking;
    board->Tick(1.0f / 60.0f);
    const int doneBefore = recorder->done;
    const size_t queued = board->events.size();
    ASSERT_GT(queued, 0u);
    board->Clear();
    EXPECT_EQ(recorder->done, doneBefore + static_cast<int>(queued));
    EXPECT_TRUE(board->events.empty());
    EXPECT_TRUE(board->moving.empty());
    EXPECT_EQ(board->pendingBlocking, 0);
    EXPECT_TRUE(board->IsAtRest());
}

TEST_F(EventQueue, EventsKeepTheCopiedPresentationWordsAndForgetFreedBlocks)
{
    Build("B,2,2=N,5\nB,3,2=N,5");
    Top(2, 2)->presentation = {11, 12, 13, 14};
    Top(3, 2)->presentation = {21, 22, 23, 24};
    ASSERT_TRUE(Move(2, 2, Right));
    board->QueueEvent(MivoEventKind::Hit, false, Top(2, 2), Top(3, 2), 0, 0);
    ASSERT_EQ(board->events.size(), 2u);
    EXPECT_EQ(board->events[1].wordsA[1], 12u);
    EXPECT_EQ(board->events[1].wordsB[0], 21u);
    recorder->refuse = [](const MivoBoardEvent& e) { return e.kind == MivoEventKind::Hit; };
    board->Tick(0.0f);
    ASSERT_EQ(board->events.size(), 1u);
    EXPECT_EQ(board->events[0].blockA, nullptr);
    EXPECT_EQ(board->events[0].blockB, nullptr);
    EXPECT_EQ(board->events[0].wordsB[1], 22u);
    static_assert(sizeof(MivoBoardEvent::wordsA[0]) == sizeof(void*));
}

TEST_F(EventQueue, TrackRefreshNamesEveryCellOfTheLine)
{
    Build("B,2,4=R,5,3\nB,2,5=T,1");
    board->RefreshTrackCells(table->tracks[0]);
    ASSERT_EQ(recorder->log.size(), 3u);
    EXPECT_EQ(recorder->log[0], "created R@2,4");
    EXPECT_EQ(recorder->log[1], "created T@2,5");
    EXPECT_EQ(recorder->log[2], "created R@2,6");
}
