// The puzzle rules, tick by tick, on small boards.
#include "BoardFixture.h"

#include <algorithm>

namespace
{
constexpr int Up = MivoDirection::Up, Right = MivoDirection::Right, Down = MivoDirection::Down,
              Left = MivoDirection::Left;
} // namespace

using BoardModel = BoardFixture;
using Sliding = BoardFixture;
using Combining = BoardFixture;
using Hardening = BoardFixture;
using Teleports = BoardFixture;
using Tracks = BoardFixture;
using Magnets = BoardFixture;
using TickTiming = BoardFixture;
using ChangedCells = BoardFixture;

// ---- the model's queries ----

TEST_F(BoardModel, MagnetFacingDecidesPushOrPullByParity)
{
    struct Case
    {
        const char* magnet;
        int number;
        int expected;
    };
    const Case cases[] = {{"M,7", 4, Left},  {"M,6", 4, Left}, {"M,8", 4, Left}, {"M,7", 3, Right},
                          {"M,3", 4, Right}, {"M,3", 3, Left}, {"M,1", 4, 0},    {"M,5", 3, 0}};
    for (const Case& c : cases)
    {
        Build(std::string("B,5,5=N,") + std::to_string(c.number) + "\nB,6,5=" + c.magnet);
        EXPECT_EQ(board->MagnetDirection(Top(5, 5)), c.expected) << c.magnet << " N" << c.number;
    }
}

TEST_F(BoardModel, LaterMagnetInTheOrderUpRightDownLeftWins)
{
    // Above: facing the block pushes the even number down; left: facing it pushes right.
    Build("B,5,5=N,2\nB,5,4=M,5\nB,4,5=M,3");
    EXPECT_EQ(board->MagnetDirection(Top(5, 5)), Right);
    Top(5, 5)->number = -3; // a negative odd number counts as odd: pulled by the later magnet
    EXPECT_EQ(board->MagnetDirection(Top(5, 5)), Left);
}

TEST_F(BoardModel, MagnetHoldRefusesEveryOtherDirectionEvenForThePlayer)
{
    Build("B,5,5=N,4\nB,6,5=M,7");
    EXPECT_TRUE(board->CanMove(Top(5, 5), Left, true));
    for (int d : {Up, Right, Down})
        EXPECT_FALSE(board->CanMove(Top(5, 5), d, true)) << d;
}

TEST_F(BoardModel, OnlyMovableKindsMove)
{
    Build(
        "B,1,1=M,1\nB,3,1=T,1\nB,5,1=R,3,1\nB,7,1=W\nB,9,1=D\nB,11,1=P\nB,13,1=U\nB,1,3=J\nB,3,3=+\nB,5,3=-");
    EXPECT_FALSE(board->CanMove(Top(1, 1), Down, false));
    EXPECT_FALSE(board->CanMove(Floor(3, 1), Down, false));
    EXPECT_FALSE(board->CanMove(Floor(5, 1), Down, false));
    EXPECT_FALSE(board->CanMove(Top(7, 1), Down, false));
    EXPECT_FALSE(board->CanMove(Top(9, 1), Down, false));
    for (auto [x, y] : {std::pair{11, 1}, {13, 1}, {1, 3}, {3, 3}, {5, 3}})
        EXPECT_TRUE(board->CanMove(Top(x, y), Down, false)) << x << "," << y;
}

TEST_F(BoardModel, EdgeAndOwnReservationRefuseTargetFlagsDoNot)
{
    Build("B,0,0=N,1\nB,5,5=N,2");
    EXPECT_FALSE(board->CanMove(Top(0, 0), Up, false));
    EXPECT_FALSE(board->CanMove(Top(0, 0), Left, false));
    table->Cell(6, 5)->reserved = 1;
    table->Cell(5, 6)->vacating = 1;
    EXPECT_TRUE(board->CanMove(Top(5, 5), Right, false));
    EXPECT_TRUE(board->CanMove(Top(5, 5), Down, false));
    table->Cell(5, 5)->reserved = 1;
    EXPECT_FALSE(board->CanMove(Top(5, 5), Right, false));
}

TEST_F(BoardModel, CombinationPairs)
{
    Build("B,1,1=N,9\nB,1,2=N,1\nB,1,3=J\nB,1,4=+\nB,1,5=-\nB,1,6=P");
    const MivoBlock* n9 = Top(1, 1);
    const MivoBlock* n1 = Top(1, 2);
    const MivoBlock* j = Top(1, 3);
    const MivoBlock* plus = Top(1, 4);
    const MivoBlock* minus = Top(1, 5);
    EXPECT_FALSE(MivoBlock::CanCombine(n9, *plus));
    EXPECT_TRUE(MivoBlock::CanCombine(n1, *plus));
    EXPECT_FALSE(MivoBlock::CanCombine(n1, *minus));
    EXPECT_TRUE(MivoBlock::CanCombine(n9, *minus));
    EXPECT_TRUE(MivoBlock::CanCombine(n9, *j));
    EXPECT_TRUE(MivoBlock::CanCombine(j, *n1));
    EXPECT_FALSE(MivoBlock::CanCombine(j, *j));
    EXPECT_FALSE(MivoBlock::CanCombine(plus, *plus));
    EXPECT_FALSE(MivoBlock::CanCombine(n9, *Top(1, 6)));
    EXPECT_FALSE(MivoBlock::CanCombine(Top(1, 6), *n1));
    EXPECT_TRUE(MivoBlock::CanCombine(nullptr, *n1));
}

TEST_F(BoardModel, SelectingADBlockKeepsTheSelectionAndHoldsTheBoard)
{
    Build("B,1,1=N,1\nB,3,3=D\nB,5,5=W");
    board->Select(Top(1, 1));
    board->Select(Top(3, 3));
    board->Select(Top(5, 5));
    EXPECT_EQ(board->selected, Top(1, 1));
    EXPECT_EQ(board->pendingBlocking, 1);
    EXPECT_FALSE(board->IsAtRest());
    RunToRest();
    EXPECT_EQ(Top(3, 3), nullptr);
    EXPECT_GE(recorder->Find("destroyed D@3,3"), 0);
}

TEST_F(BoardModel, NeighbourOfAFacingDirectionIsTheOwnCell)
{
    Build("B,4,4=N,1\nB,6,6=T,1");
    EXPECT_EQ(board->NeighbourCell(Top(4, 4), 2), table->Cell(4, 4));
    EXPECT_EQ(board->NeighbourCell(Top(4, 4), Up), table->Cell(4, 3));
    EXPECT_EQ(board->FindCellOfBlock(Floor(6, 6)), table->Cell(6, 6));
    MivoBlock loose;
    EXPECT_EQ(board->NeighbourCell(&loose, Up), nullptr);
}

TEST_F(BoardModel, BlocksAreFoundWhereTheyStandWhateverMovedThem)
{
    // A track carries the N 1 into a teleport; a magnet beside the exit pushes it on.
    Build("B,2,4=R,3,6\nB,1,4=N,1\nB,8,4=T,1,1,0,0,0,1,123456789\nB,10,9=T,1,0,1,0,1,1,0\nB,10,8=M,1");
    const MivoBlock* mover = Top(1, 4);
    const auto everyBlockFound = [this]
    {
        bool found = true;
        table->ForEachCell(
            [&](MivoMapCell& cell)
            {
                for (const MivoBlock* block : {cell.floor.get(), cell.top.get()})
                    found = found && (!block || board->FindCellOfBlock(block) == &cell);
            });
        return found;
    };
    // Whether the last tick queued an event of the kind about the block.
    const auto queued = [&](MivoEventKind kind, const MivoBlock* block)
    {
        return std::any_of(board->events.begin(), board->events.end(),
                           [&](const MivoBoardEvent& e)
                           { return e.kind == kind && (!block || e.blockB == block); });
    };
    ASSERT_TRUE(everyBlockFound());
    ASSERT_TRUE(Move(1, 4, Right));
    int allInOneTick = 0;
    for (int tick = 0; tick < 2000 && !board->IsAtRest(); ++tick)
    {
        const bool carried = !table->tracks.empty() && table->tracks[0].direction == Right;
        board->Tick(1.0f / 60.0f);
        ASSERT_TRUE(everyBlockFound()) << "tick " << tick;
        allInOneTick +=
            carried && queued(MivoEventKind::Teleported, nullptr) && queued(MivoEventKind::MagnetPush, mover);
    }
    EXPECT_EQ(allInOneTick, 1);
    // Pushed down from the exit, it comes to rest on the bottom row.
    ASSERT_NE(board->FindCellOfBlock(mover), nullptr);
    EXPECT_EQ(board->FindCellOfBlock(mover)->y, 15);
    EXPECT_GE(recorder->Count(MivoEventKind::TrackStarted), 1);
    // A block put elsewhere by hand is found there.
    MivoMapCell& from = *board->FindCellOfBlock(Floor(8, 4));
    table->Cell(0, 0)->floor = std::move(from.floor);
    EXPECT_EQ(board->FindCellOfBlock(Floor(0, 0)), table->Cell(0, 0));
}

// ---- sliding ----

TEST_F(Sliding, FreeBlockSlidesToTheEdgeAndStopsThere)
{
    Build("B,12,3=N,1");
    ASSERT_TRUE(Move(12, 3, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N1@15,3 ");
    EXPECT_EQ(recorder->Count(MivoEventKind::Started), 1);
    EXPECT_EQ(recorder->Count(MivoEventKind::Stopped), 1);
    EXPECT_FLOAT_EQ(Top(15, 3)->x, table->Cell(15, 3)->fx);
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Sliding, BlockMeetingAnotherAfterASlideHitsItAndStopsInFront)
{
    Build("B,2,5=N,3\nB,5,5=N,4");
    ASSERT_TRUE(Move(2, 5, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N3@4,5 N4@5,5 ");
    EXPECT_EQ(recorder->Count(MivoEventKind::Hit), 1);
    EXPECT_EQ(recorder->Count(MivoEventKind::Combine), 0);
    EXPECT_GE(recorder->Find("event 11 A=N3@4,5 B=N4@5,5"), 0);
}

TEST_F(Sliding, PlainTileSlidesButCombinesWithNothing)
{
    Build("B,2,5=P\nB,3,5=N,4");
    EXPECT_FALSE(Move(2, 5, Right));
    ASSERT_TRUE(Move(2, 5, Up));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "P@2,0 N4@3,5 ");
}

TEST_F(Sliding, BlocksNeverShareACell)
{
    // Two blocks race for the same cell from two sides; one gets it, the other stops short.
    Build("B,5,2=N,1\nB,2,5=N,2\nB,5,6=W\nB,6,5=W");
    ASSERT_TRUE(Move(5, 2, Down));
    ASSERT_TRUE(Move(2, 5, Right));
    ASSERT_GT(RunToRest(), 0);
    int blocks = 0;
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y)
            blocks += Top(x, y) ? 1 : 0;
    EXPECT_EQ(blocks, 4);
    EXPECT_TRUE(FlagsClear());
}

// ---- combining ----

TEST_F(Combining, NumbersAddBelowTenElseTakeTheirDifference)
{
    struct Case
    {
        int mover, standing, result;
    };
    for (const Case& c : {Case{3, 4, 7}, Case{6, 7, 1}, Case{9, 2, 7}, Case{1, 8, 9}})
    {
        Build("B,2,2=N," + std::to_string(c.mover) + "\nB,3,2=N," + std::to_string(c.standing));
        ASSERT_TRUE(Move(2, 2, Right));
        ASSERT_EQ(board->pendingBlocking, 1);
        ASSERT_GT(RunToRest(), 0);
        EXPECT_EQ(Tops(), "N" + std::to_string(c.result) + "@3,2 ");
        EXPECT_GE(recorder->Find("event 1 A=N" + std::to_string(c.mover) + "@2,2"), 0);
        EXPECT_GE(recorder->Find("destroyed N" + std::to_string(c.mover) + "@2,2"), 0);
    }
}

TEST_F(Combining, EqualNumbersVanishTogether)
{
    Build("B,2,2=N,5\nB,2,3=N,5");
    ASSERT_TRUE(Move(2, 2, Down));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "");
    EXPECT_EQ(recorder->Count(MivoEventKind::Vanish), 1);
    EXPECT_TRUE(IsWon(*table));
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Combining, PlusMinusAndJ)
{
    Build("B,2,2=+\nB,3,2=N,8\nB,2,5=-\nB,3,5=N,2\nB,2,8=J\nB,3,8=N,6\nB,2,11=N,4\nB,3,11=J\nB,6,6=+\nB,7,6="
          "N,9");
    EXPECT_FALSE(Move(6, 6, Right));
    for (auto [x, y] : {std::pair{2, 2}, {2, 5}, {2, 8}, {2, 11}})
    {
        ASSERT_TRUE(Move(x, y, Right)) << x << "," << y;
        ASSERT_GT(RunToRest(), 0);
    }
    EXPECT_EQ(Tops(), "N9@3,2 N1@3,5 +@6,6 N9@7,6 ");
}

TEST_F(Combining, ASlidingBlockAboutToCombineStillWaitsForThePresentation)
{
    Build("B,2,2=N,3\nB,3,2=N,4\nB,9,9=N,1");
    recorder->refuse = [](const MivoBoardEvent& e) { return e.kind == MivoEventKind::Combine; };
    ASSERT_TRUE(Move(9, 9, Left));
    ASSERT_TRUE(Move(2, 2, Right));
    for (int i = 0; i < 100; ++i)
        board->Tick(1.0f / 60.0f);
    // Nothing moved while the combination was refused.
    EXPECT_EQ(Tops(), "N3@2,2 N4@3,2 N1@9,9 ");
    recorder->refuse = nullptr;
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N1@0,9 N7@3,2 ");
}

// ---- U blocks ----

TEST_F(Hardening, UBlockAtTheEdgeBecomesAWall)
{
    Build("B,3,3=U");
    ASSERT_TRUE(Move(3, 3, Left));
    ASSERT_GT(RunToRest(), 0);
    ASSERT_NE(Top(0, 3), nullptr);
    EXPECT_TRUE(Top(0, 3)->Is(MivoBlockKind::Wall));
    EXPECT_EQ(Top(0, 3)->converted, 1);
    EXPECT_EQ(recorder->Count(MivoEventKind::Hardened), 1);
    EXPECT_GE(recorder->Find("created W@0,3"), 0);
    EXPECT_FALSE(board->CanMove(Top(0, 3), Right, false));
}

TEST_F(Hardening, RefusedMoveLeavesItU)
{
    Build("B,3,3=U\nB,4,3=W");
    EXPECT_FALSE(Move(3, 3, Right));
    RunToRest();
    EXPECT_TRUE(Top(3, 3)->Is(MivoBlockKind::Hardening));
    EXPECT_EQ(recorder->Count(MivoEventKind::Hardened), 0);
}

TEST_F(Hardening, UBlockStoppedByAHitHardensInFrontOfIt)
{
    Build("B,1,3=U\nB,6,3=N,2");
    ASSERT_TRUE(Move(1, 3, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "W@5,3 N2@6,3 ");
}

// ---- teleports ----

TEST_F(Teleports, BlockEnteringAnEntranceComesOutOfTheExitAndSlidesOn)
{
    Build("B,3,2=T,1,1,0,0,0,1,123456789\nB,10,8=T,1,0,1,0,1,1,0\nB,1,2=N,4");
    ASSERT_TRUE(Move(1, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    // Out of (10,8) it keeps going right to the edge.
    EXPECT_EQ(Tops(), "N4@15,8 ");
    EXPECT_GE(recorder->Find("event 7 A=T@3,2 B=none a=0 b=1"), 0);
    EXPECT_GE(recorder->Find("event 7 A=T@10,8 B=none a=0 b=2"), 0);
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Teleports, ExitDirectionTurnsTheBlock)
{
    Build("B,3,2=T,1,1,0,0,0,1,4\nB,10,8=T,1,0,1,1,1,1,0\nB,1,2=N,4");
    ASSERT_TRUE(Move(1, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N4@10,0 ");
}

TEST_F(Teleports, AdmissionFollowsTheNumberList)
{
    // Only 3, 5 and 7 pass: the N 4 rolls over the entrance.
    Build("B,3,2=T,1,1,0,0,0,0,357\nB,10,8=T,1,0,1,0,1,1,0\nB,1,2=N,4\nB,1,4=N,5\nB,3,6=T,2,1,1,0,0,0,0\nB,"
          "9,12=T,2,1,1,0,0,0,0\nB,1,6=P");
    ASSERT_TRUE(Move(1, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Top(15, 2)->number, 4);
    Build("B,3,2=T,1,1,0,0,0,0,357\nB,10,8=T,1,0,1,0,1,1,0\nB,1,2=N,5");
    ASSERT_TRUE(Move(1, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N5@15,8 ");
    // A digit 0 lets the other kinds through.
    Build("B,3,2=T,1,1,0,0,0,0,05\nB,10,8=T,1,0,1,0,1,1,0\nB,1,2=P");
    ASSERT_TRUE(Move(1, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "P@15,8 ");
}

TEST_F(Teleports, OccupiedExitKeepsTheBlockOnTheEntrance)
{
    // The entrance at the table's edge has nowhere to slide on, the exit is taken.
    Build("B,15,2=T,1,1,0,0,0,1,123456789\nB,10,8=T,1,0,1,0,1,1,0\nB,10,8=W\nB,12,2=N,4");
    ASSERT_TRUE(Move(12, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "W@10,8 N4@15,2 ");
    EXPECT_EQ(recorder->Count(MivoEventKind::Teleported), 0);
    EXPECT_TRUE(FlagsClear());
    // Every later pass tries again: once the exit is free the resting block is sent.
    table->Cell(10, 8)->top.reset();
    board->RunPasses();
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N4@10,8 ");
    EXPECT_EQ(recorder->Count(MivoEventKind::Teleported), 2);
}

TEST_F(Teleports, RotationTakesTheExitsInTurn)
{
    // Walls right and below each exit make the sent blocks stop on it.
    Build("B,3,3=T,1,1,0,0,0,1,123456789\nB,8,5=T,1,0,1,0,1,1,0\nB,8,10=T,1,0,1,0,2,1,0\n"
          "B,9,5=W\nB,8,6=W\nB,9,10=W\nB,8,11=W\nB,0,3=N,1\nB,3,0=N,2");
    MivoTeleportGroup* group = table->FindGroup(1);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->exitCount, 3);
    ASSERT_TRUE(Move(0, 3, Right));
    ASSERT_GT(RunToRest(), 0);
    ASSERT_TRUE(Move(3, 0, Down));
    ASSERT_GT(RunToRest(), 0);
    ASSERT_NE(Top(8, 5), nullptr);
    ASSERT_NE(Top(8, 10), nullptr);
    EXPECT_NE(Top(8, 5)->number, Top(8, 10)->number);
    EXPECT_EQ(recorder->Count(MivoEventKind::Teleported), 4);
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Teleports, GroupWithoutACurrentExitIsSkipped)
{
    // Orders outside the rotation leave the group with no member to send to.
    // Loading still leaves one exit to use; after it the rotation finds no member.
    Build("B,3,2=T,1,1,0,0,7,1,123456789\nB,10,8=T,1,0,1,0,9,1,0\nB,1,2=N,4\nB,3,0=N,5");
    ASSERT_GT(table->FindGroup(1)->exitCount, 0);
    ASSERT_TRUE(Move(1, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(table->FindGroup(1)->currentExit, nullptr);
    ASSERT_TRUE(Move(3, 0, Down));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N5@3,15 N4@15,8 ");
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Teleports, SendFromAnEntranceReleasesTheStepItHadReserved)
{
    // The exit is taken when the block arrives, so it goes on across the entrance and reserves
    // the next cell. The exit frees up right then: the next passes send the block mid-step, and
    // its exit direction turns it down.
    Build("B,5,2=T,1,1,0,0,0,1,123456789\nB,10,8=T,1,0,1,5,1,1,0\nB,10,8=N,1\nB,3,2=N,4\nB,10,10=W");
    ASSERT_TRUE(Move(3, 2, Right));
    for (int i = 0; i < 200 && !Top(5, 2); ++i)
        board->Tick(1.0f / 60.0f);
    ASSERT_NE(Top(5, 2), nullptr);
    ASSERT_TRUE(table->Cell(6, 2)->reserved);
    table->Cell(10, 8)->top.reset();
    board->RunPasses();
    EXPECT_EQ(Top(5, 2), nullptr);
    EXPECT_FALSE(table->Cell(6, 2)->reserved);
    EXPECT_FALSE(table->Cell(5, 2)->vacating);
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N4@10,9 W@10,10 ");
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Teleports, BadExitDirectionCannotKeepABlockMovingForever)
{
    Build("B,3,2=T,1,1,0,0,0,1,123456789\nB,10,8=T,1,0,1,2,1,1,0\nB,1,2=N,4");
    EXPECT_EQ(Floor(10, 8)->teleport.exitDirection, 0);
    ASSERT_FALSE(table->problems.empty());
    ASSERT_TRUE(Move(1, 2, Right));
    EXPECT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N4@15,8 ");
}

// ---- tracks ----

TEST_F(Tracks, BlockMovingAlongARestingTrackStartsItAndItCarriesTheOthers)
{
    Build("B,2,4=R,3,6\nB,1,4=N,1\nB,5,4=N,2\nB,12,4=W");
    ASSERT_EQ(table->tracks.size(), 1u);
    ASSERT_TRUE(Move(1, 4, Right));
    MivoBlock* n2 = Top(5, 4);
    for (int i = 0; i < 100 && !Top(2, 4); ++i)
        board->Tick(1.0f / 60.0f);
    // On arriving on the track the N 1 starts it, and in that same pass the N 2 moves.
    EXPECT_EQ(table->tracks[0].direction, Right);
    EXPECT_TRUE(board->IsMoving(n2));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(recorder->Count(MivoEventKind::TrackStarted), 1);
    EXPECT_EQ(Tops(), "N1@10,4 N2@11,4 W@12,4 ");
    // Both hits happened off the track, which runs on.
    EXPECT_EQ(table->tracks[0].direction, Right);
}

TEST_F(Tracks, HitOnTheTrackStopsIt)
{
    Build("B,2,4=R,3,6\nB,1,4=N,1\nB,8,4=W");
    ASSERT_TRUE(Move(1, 4, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N1@7,4 W@8,4 ");
    // The far end (7,4) is free, so the track started; the hit on it stopped it again.
    EXPECT_EQ(recorder->Count(MivoEventKind::TrackStarted), 1);
    EXPECT_EQ(recorder->Count(MivoEventKind::TrackStopped), 1);
    EXPECT_EQ(table->tracks[0].direction, 0);
    const int refresh = recorder->Find("created R@2,4");
    EXPECT_GE(refresh, 0);
}

TEST_F(Tracks, TrackWithABlockedFarEndStaysAtRest)
{
    // End cell (4,4) holds a wall and the cell beyond it is empty: the track cannot run.
    Build("B,2,4=R,3,3\nB,1,4=N,1\nB,4,4=W");
    ASSERT_TRUE(Move(1, 4, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(recorder->Count(MivoEventKind::TrackStarted), 0);
    EXPECT_EQ(Tops(), "N1@3,4 W@4,4 ");
}

TEST_F(Tracks, CarriedBlockPushesTheBlockAheadAndFollowsOneCell)
{
    Build("B,2,4=R,3,8\nB,3,4=N,1\nB,6,4=N,2\nB,14,4=W\nB,1,4=N,3");
    table->tracks[0].direction = Right;
    board->RunPasses();
    ASSERT_GT(RunToRest(), 0);
    EXPECT_TRUE(FlagsClear());
    int blocks = 0;
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 16; ++y)
            blocks += Top(x, y) ? 1 : 0;
    EXPECT_EQ(blocks, 4);
    EXPECT_GE(recorder->Count(MivoEventKind::Hit), 1);
}

TEST_F(Tracks, RunningTrackTurnsACrossingBlockAndNeverSteersItOffTheBoard)
{
    // A vertical track running up at the top edge takes the block off its slide towards the edge.
    Build("B,6,0=R,5,4\nB,2,2=N,1");
    table->tracks[0].direction = Up;
    ASSERT_TRUE(Move(2, 2, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N1@6,0 ");
    EXPECT_TRUE(FlagsClear());
}

TEST_F(Tracks, ARunningTrackCarriesOnlyBlocksThatCanMove)
{
    // The N 2 starts the track (its far end is free); the block standing on the track's middle
    // stays where it is, and the N 2 hits it, which stops the track.
    for (const char* standing : {"W", "M,1", "D"})
    {
        Build(std::string("B,2,5=R,3,4\nB,2,5=N,2\nB,4,5=") + standing);
        const MivoBlock* block = Top(4, 5);
        ASSERT_TRUE(Move(2, 5, Right)) << standing;
        ASSERT_GT(RunToRest(), 0) << standing;
        EXPECT_EQ(Top(4, 5), block) << standing;
        ASSERT_NE(Top(3, 5), nullptr) << standing;
        EXPECT_EQ(Top(3, 5)->kind, MivoBlockKind::Number) << standing;
        EXPECT_EQ(table->tracks[0].direction, 0) << standing;
    }
}

// ---- magnets ----

TEST_F(Magnets, PassWithActPushesAndPullsRestingNumbers)
{
    // Facing the block: the even N 2 is pushed away. Facing away from it: the odd N 3 is pushed
    // away too, the even N 4 is pulled and stays against the magnet.
    Build("B,5,5=M,3\nB,6,5=N,2\nB,5,8=M,1\nB,5,9=N,3\nB,9,8=M,7\nB,10,8=N,4");
    board->RunPasses();
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "M@5,5 M@5,8 N3@5,15 M@9,8 N4@10,8 N2@15,5 ");
    EXPECT_EQ(recorder->Count(MivoEventKind::MagnetPush), 2);
    EXPECT_GE(recorder->Count(MivoEventKind::MagnetPull), 1);
}

TEST_F(Magnets, PassWithoutActOnlyReportsPullsAndIdleMagnets)
{
    Build("B,5,5=M,3\nB,6,5=N,2\nB,5,8=M,1\nB,5,9=N,4\nB,10,10=M,1");
    board->ResolveMagnets(false);
    EXPECT_EQ(board->moving.size(), 0u);
    board->Tick(0.0f);
    EXPECT_EQ(recorder->Count(MivoEventKind::MagnetPush), 0);
    EXPECT_EQ(recorder->Count(MivoEventKind::MagnetPull), 1);
    EXPECT_EQ(recorder->Count(MivoEventKind::MagnetIdle), 1);
}

TEST_F(Magnets, NumberBetweenTwoMagnetsTakesTheDirectionOfTheLaterOne)
{
    // The magnet above pushes the even N 4 down, the one on its right pushes it left; the later
    // in the order up, right, down, left decides, and the other never stops it again.
    Build("B,5,5=N,4\nB,5,4=M,5\nB,6,5=M,7");
    MivoBlock* n4 = Top(5, 5);
    board->RunPasses();
    ASSERT_TRUE(board->IsMoving(n4));
    EXPECT_EQ(board->FindMoveRecord(n4)->direction, Left);
    EXPECT_EQ(recorder->Count(MivoEventKind::Started), 1);
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "N4@0,5 M@5,4 M@6,5 ");
    EXPECT_EQ(recorder->Count(MivoEventKind::MagnetPush), 1);
}

TEST_F(Magnets, SlidingNumberIsStoppedByAMagnetThatHoldsIt)
{
    // Passing below a magnet that faces down, the odd N 1 is pulled up into it: it stops there.
    Build("B,6,4=M,5\nB,1,5=N,1");
    ASSERT_TRUE(Move(1, 5, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_EQ(Tops(), "M@6,4 N1@6,5 ");
}

// ---- the list of changed cells ----

namespace
{
// What a reader of the table can tell of a cell's top block.
std::string TopState(const MivoMapCell& cell)
{
    const MivoBlock* top = cell.top.get();
    if (!top)
        return "-";
    return std::to_string(static_cast<int>(top->kind)) + "," + std::to_string(top->number) + "," +
           std::to_string(top->magnetDirection) + (top->lastTeleport ? ",t" : "");
}
} // namespace

TEST_F(ChangedCells, EveryCellWhoseTopAMoveChangedIsListedButNoCellABlockPassedThrough)
{
    struct Case
    {
        const char* map;
        int x, y, direction; // direction 0 clicks the block
    };
    const Case cases[] = {
        {"B,1,1=N,1\nB,6,1=W", 1, 1, Right},
        {"B,1,1=N,2\nB,2,1=N,3", 1, 1, Right},
        {"B,1,1=N,2\nB,2,1=N,2", 1, 1, Right},
        {"B,1,1=+\nB,2,1=N,3", 1, 1, Right},
        {"B,1,3=U\nB,6,3=N,2", 1, 3, Right},
        {"B,3,2=T,1,1,0,0,0,1,123456789\nB,10,8=T,1,0,1,0,1,1,0\nB,11,8=W\nB,1,2=N,4", 1, 2, Right},
        {"B,3,3=D\nB,5,5=N,1", 3, 3, 0},
        {"B,6,4=M,5\nB,1,5=N,1", 1, 5, Right},
        {"B,2,4=R,3,6\nB,1,4=N,1\nB,5,4=N,2\nB,12,4=W", 1, 4, Right},
    };
    for (const Case& c : cases)
    {
        Build(c.map);
        board->noteChanges = true;
        std::vector<std::string> before;
        table->ForEachCell([&](MivoMapCell& cell) { before.push_back(TopState(cell)); });
        if (c.direction == 0)
            board->Select(Top(c.x, c.y));
        else
            ASSERT_TRUE(Move(c.x, c.y, c.direction)) << c.map;
        ASSERT_GT(RunToRest(), 0) << c.map;
        size_t i = 0, changed = 0;
        table->ForEachCell(
            [&](MivoMapCell& cell)
            {
                const std::string& was = before[i++];
                // A cell a block only passed through is left out.
                if (was == "-" && !cell.top)
                {
                    EXPECT_FALSE(board->changedCells.Has(cell))
                        << c.map << ": cell " << cell.x << "," << cell.y << " passed through but listed";
                }
                if (TopState(cell) == was)
                    return;
                ++changed;
                EXPECT_TRUE(board->changedCells.Has(cell))
                    << c.map << ": cell " << cell.x << "," << cell.y << " not listed";
            });
        EXPECT_GT(changed, 0u) << c.map;
    }
    // Nothing is listed unless asked for.
    Build("B,1,1=N,1");
    ASSERT_TRUE(Move(1, 1, Right));
    ASSERT_GT(RunToRest(), 0);
    EXPECT_TRUE(board->changedCells.Empty());
}

// ---- the tick ----

TEST_F(TickTiming, ThirteenFramesPerCellAtSpeedFive)
{
    Build("B,1,1=N,1\nB,3,1=W");
    ASSERT_TRUE(Move(1, 1, Right));
    int frames = 0;
    while (!Top(2, 1) && frames < 100)
    {
        board->Tick(1.0f / 60.0f);
        ++frames;
    }
    EXPECT_EQ(frames, 13);
}

TEST_F(TickTiming, ZeroTimeDispatchesEventsButMovesNothing)
{
    Build("B,1,1=N,1\nB,6,6=D");
    ASSERT_TRUE(Move(1, 1, Right));
    board->Select(Top(6, 6));
    const float x = Top(1, 1)->x;
    for (int i = 0; i < 10; ++i)
        board->Tick(0.0f);
    EXPECT_EQ(Top(6, 6), nullptr);
    EXPECT_FLOAT_EQ(Top(1, 1)->x, x);
    EXPECT_FLOAT_EQ(board->moveClock, 0.0f);
}

TEST_F(TickTiming, MoveClockAdvancesByAThirtySecondOfTheStepAndRunsThePassesPastOne)
{
    Build("B,0,1=N,1\nB,0,3=M,1");
    board->speed = 1.0f;
    ASSERT_TRUE(Move(0, 1, Right));
    for (int i = 0; i < 30; ++i)
        board->Tick(1.0f / 60.0f);
    EXPECT_NEAR(board->moveClock, 30.0f / 60.0f / 32.0f, 1e-5f);
    const int idle = recorder->Count(MivoEventKind::MagnetIdle);
    board->moveClock = 0.9999f;
    board->Tick(1.0f / 60.0f);
    board->Tick(0.0f);
    EXPECT_NEAR(board->moveClock, 0.9999f + 1.0f / 1920.0f - 1.0f, 1e-5f);
    EXPECT_EQ(recorder->Count(MivoEventKind::MagnetIdle), idle + 1);
    ASSERT_GT(RunToRest(), 0);
    board->Tick(1.0f / 60.0f);
    EXPECT_FLOAT_EQ(board->moveClock, 0.0f);
}

TEST_F(TickTiming, PassesRunTracksThenTeleportsThenMagnets)
{
    // Cells in grid order would give magnet, teleport, track; the passes give track, teleport, magnet.
    Build("B,1,1=M,1\nB,3,3=T,1,1,0,0,0,1,0\nB,3,3=P\nB,9,9=T,1,0,1,0,1,1,0\nB,12,5=R,3,3\nB,12,5=P");
    board->StartMoving(Top(12, 5), Right, false);
    board->events.clear();
    board->RunPasses();
    std::vector<int> kinds;
    for (const MivoBoardEvent& event : board->events)
        kinds.push_back(static_cast<int>(event.kind));
    EXPECT_EQ(kinds, (std::vector<int>{5, 7, 7, 10}));
    EXPECT_NE(Top(9, 9), nullptr);
}
