// The level solver on tables whose answers are worked out by hand, the kinds a way puts to work,
// the shape key that tells turned and mirrored tables apart, and the generator's repeatability.
#include "MivoLevelGenerator.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
// A map from "x,y=text" cells.
MivoLevelMap Map(const std::vector<std::string>& cells)
{
    MivoLevelMap map;
    map.name = "Test";
    for (const std::string& cell : cells)
    {
        const size_t comma = cell.find(','), equals = cell.find('=');
        map.Set(std::stoi(cell.substr(0, comma)), std::stoi(cell.substr(comma + 1, equals - comma - 1)),
                cell.substr(equals + 1));
    }
    return map;
}

// A corridor along row y from x = 0 to length - 1, closed by walls beside it and at its end: the
// blocks in it only slide left and right and never pass each other.
std::vector<std::string> Corridor(int y, int length, const std::map<int, std::string>& blocks)
{
    std::vector<std::string> cells;
    const int side = y == 0 ? 1 : y - 1;
    for (int x = 0; x <= length; ++x)
        cells.push_back(std::to_string(x) + "," + std::to_string(side) + "=W");
    cells.push_back(std::to_string(length) + "," + std::to_string(y) + "=W");
    for (const auto& [x, text] : blocks)
        cells.push_back(std::to_string(x) + "," + std::to_string(y) + "=" + text);
    return cells;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

MivoSolverResult Solve(const MivoLevelMap& map, size_t maxStates = 100000)
{
    MivoSolverLimits limits;
    limits.maxStates = maxStates;
    MivoLevelSolver solver(map);
    return solver.Solve(limits);
}
} // namespace

TEST(MivoLevelSolver, OneMoveWinTwoWays)
{
    // Either three steps into the other and both vanish; every block has four ways to go.
    const MivoSolverResult r = Solve(Map({"4,4=N,3", "5,4=N,3"}));
    ASSERT_EQ(r.outcome, MivoSolverOutcome::Solved);
    EXPECT_EQ(r.solution.size(), 1u);
    EXPECT_EQ(r.shortestCount, 2u);
    EXPECT_EQ(r.pathBranching, std::vector<int32_t>{8});
}

TEST(MivoLevelSolver, RefusesUnsolvableTables)
{
    // A plain tile between two twos in a corridor: they never meet.
    EXPECT_EQ(Solve(Map(Corridor(0, 6, {{0, "N,2"}, {2, "P"}, {5, "N,2"}}))).outcome,
              MivoSolverOutcome::Unsolvable);
    // A lone numbered block never vanishes; within too small a bound nothing is proven.
    EXPECT_EQ(Solve(Map({"7,7=N,4", "3,9=W"})).outcome, MivoSolverOutcome::Unsolvable);
    EXPECT_EQ(Solve(Map({"7,7=N,4", "3,9=W"}), 5).outcome, MivoSolverOutcome::OutOfBounds);
}

TEST(MivoLevelSolver, FindsTheShortestOfSeveralWays)
{
    // Two corridors apart. Top: 1, 2 and 3, none side by side; the 1 and 2 must merge into a 3 and
    // that meet the other 3, and no single slide makes three in a row, so it takes 4 moves, in
    // 24 ways. Bottom: a pair side by side, cleared in 1 move either way. 5 moves in all, the
    // bottom one at any of 5 places: 5 x 24 x 2 sequences.
    const MivoLevelMap map = Map(Join(Corridor(0, 6, {{0, "N,1"}, {3, "N,2"}, {5, "N,3"}}),
                                      Corridor(15, 6, {{0, "N,3"}, {1, "N,3"}})));
    const MivoSolverResult r = Solve(map);
    ASSERT_EQ(r.outcome, MivoSolverOutcome::Solved);
    EXPECT_EQ(r.solution.size(), 5u);
    EXPECT_EQ(r.shortestCount, 240u);
    MivoLevelSolver solver(map);
    EXPECT_TRUE(solver.Replay(r.solution, 1.0f / 60.0f));
    // A longer way: the bottom pair parted and brought back first.
    std::vector<MivoLevelMove> longer;
    ASSERT_TRUE(MivoParseSolution("1,15,3 5,15,7 1,15,7 0,0,3 2,0,3 5,0,7 4,0,7", longer));
    EXPECT_TRUE(solver.Replay(longer, 1.0f / 60.0f));
    EXPECT_FALSE(solver.Replay({longer.begin(), longer.end() - 1}, 1.0f / 60.0f));
}

TEST(MivoLevelSolver, StatesFoundPastTheWinsGiveDistancesAndWritableStarts)
{
    const MivoLevelMap map = Map(Corridor(0, 6, {{0, "N,1"}, {3, "N,2"}, {5, "N,3"}}));
    MivoLevelSolver solver(map);
    const MivoLevelGraph graph = solver.Explore(MivoSolverLimits());
    ASSERT_TRUE(graph.Complete());
    const std::vector<int32_t> distances = graph.DistancesToWin();
    const std::vector<uint64_t> counts = graph.ShortestCounts(distances);
    EXPECT_EQ(distances[0], 4);
    EXPECT_EQ(counts[0], 24u);
    // Every state's own table proves to the distance the graph gives it.
    for (uint32_t node = 1; node < graph.Size(); ++node)
    {
        MivoLevelMap start;
        ASSERT_TRUE(solver.MapOf(graph, node, start));
        const MivoSolverResult r = Solve(start);
        if (distances[node] < 0)
            EXPECT_EQ(r.outcome, MivoSolverOutcome::Unsolvable);
        else
            EXPECT_EQ(r.solution.size(), static_cast<size_t>(distances[node]))
                << MivoFormatSolution(r.solution);
    }
}

TEST(MivoLevelSolver, SkippingHopelessStatesFindsTheSameWinsFromFewerStates)
{
    // Five numbered blocks and four moves to go after the first: only states with at most two of
    // them left are played at the last depth.
    const MivoLevelMap map = Map(Join(Corridor(0, 6, {{0, "N,1"}, {3, "N,2"}, {5, "N,3"}}),
                                      Corridor(15, 6, {{0, "N,3"}, {1, "N,3"}})));
    MivoSolverLimits limits;
    limits.maxDepth = 5;
    const MivoSolverResult all = MivoLevelSolver(map).Solve(limits);
    limits.skipHopeless = true;
    const MivoSolverResult skipping = MivoLevelSolver(map).Solve(limits);
    ASSERT_EQ(skipping.outcome, MivoSolverOutcome::Solved);
    EXPECT_EQ(skipping.solution.size(), all.solution.size());
    EXPECT_EQ(skipping.shortestCount, all.shortestCount);
    EXPECT_EQ(skipping.pathBranching, all.pathBranching);
    EXPECT_LT(skipping.states, all.states);
    // Too short a bound proves nothing, even when the start itself is left unplayed (five numbered
    // blocks take three moves at least) and the search runs out of states.
    for (const int32_t depth : {4, 2})
    {
        limits.maxDepth = depth;
        EXPECT_EQ(MivoLevelSolver(map).Solve(limits).outcome, MivoSolverOutcome::OutOfBounds) << depth;
    }
}

TEST(MivoReplayLog, TellsTheKindsAMovePutToWork)
{
    // Blocks in a corridor along row 0, closed by walls below it and at x = 6.
    const struct
    {
        const char* what;
        std::map<int, std::string> blocks;
        const char* moves;
        std::vector<MivoBlockKind> atWork;
    } cases[] = {
        {"a joker pushed into a number", {{0, "J"}, {1, "N,5"}}, "0,0,3", {MivoBlockKind::Joker}},
        {"a number pushed into a joker",
         {{0, "N,5"}, {1, "J"}},
         "0,0,3",
         {MivoBlockKind::Number, MivoBlockKind::Joker}},
        {"a tile stopped by a number, then the numbers meet",
         {{0, "P"}, {3, "N,2"}, {5, "N,2"}},
         "0,0,3 3,0,3 4,0,3",
         {MivoBlockKind::Number, MivoBlockKind::Plain}},
        {"a U block set against the end wall",
         {{0, "U"}},
         "0,0,3",
         {MivoBlockKind::Hardening, MivoBlockKind::Wall}},
        {"a D block clicked away", {{2, "D"}}, "2,0,0", {MivoBlockKind::Disappearing}},
    };
    for (const auto& c : cases)
    {
        std::vector<MivoLevelMove> moves;
        ASSERT_TRUE(MivoParseSolution(c.moves, moves));
        MivoReplayLog log;
        MivoLevelSolver(Map(Corridor(0, 6, c.blocks))).Replay(moves, 1.0f / 60.0f, &log);
        uint32_t expected = 0;
        for (MivoBlockKind kind : c.atWork)
            expected |= MivoKindBit(kind);
        EXPECT_EQ(log.KindsAtWork(), expected) << c.what;
    }
    // A magnet below the corridor, facing it, catches an odd number passing above it.
    MivoReplayLog log;
    MivoLevelSolver(Map(Join(Corridor(0, 6, {{0, "N,3"}}), {"3,1=M,1"})))
        .Replay({{0, 0, 3}}, 1.0f / 60.0f, &log);
    EXPECT_EQ(log.KindsAtWork(), MivoKindBit(MivoBlockKind::Number) | MivoKindBit(MivoBlockKind::Magnet));
}

TEST(MivoLevelSolver, TellsWhetherEveryShortestWayUsesAKind)
{
    const uint32_t magnet = MivoKindBit(MivoBlockKind::Magnet), plus = MivoKindBit(MivoBlockKind::Plus);
    const uint32_t vanishing = MivoKindBit(MivoBlockKind::Disappearing),
                   tile = MivoKindBit(MivoBlockKind::Plain);
    // Two threes at the ends of a corridor and a magnet below its middle, facing it: whichever
    // slides first is caught above the magnet and the other comes to it, three moves. Put out of
    // play, the magnet is a wall and two moves do: each shortest way is played out to see it at
    // work.
    const MivoLevelMap caught = Map(Join(Corridor(0, 7, {{0, "N,3"}, {6, "N,3"}}), {"3,1=M,1", "10,10=D"}));
    EXPECT_TRUE(MivoLevelSolver(caught).EveryShortestWinUses(magnet, MivoSolverLimits()));
    // The D block far away is never needed.
    EXPECT_FALSE(MivoLevelSolver(caught).EveryShortestWinUses(magnet | vanishing, MivoSolverLimits()));
    // Without the plus the three and the four never pair: no way as short is left at all.
    const MivoLevelMap raised = Map(Corridor(0, 6, {{0, "+"}, {1, "N,3"}, {4, "N,4"}}));
    EXPECT_TRUE(MivoLevelSolver(raised).EveryShortestWinUses(plus, MivoSolverLimits()));
    // A table that cannot be won has no way that uses anything.
    EXPECT_FALSE(MivoLevelSolver(Map(Corridor(0, 6, {{0, "N,2"}, {2, "P"}, {5, "N,2"}})))
                     .EveryShortestWinUses(tile, MivoSolverLimits()));
}

TEST(MivoLevelMap, WithoutStandsWallsForTopsAndTakesFloorsAway)
{
    const MivoLevelMap map =
        Map({"1,1=N,3", "2,2=U", "3,3=M,4", "4,4=T,1,1,1,0,1,1,0", "5,5=R,3,3", "6,6=W", "7,7=J"});
    auto bits = [](std::initializer_list<MivoBlockKind> kinds)
    {
        uint32_t all = 0;
        for (MivoBlockKind kind : kinds)
            all |= MivoKindBit(kind);
        return all;
    };
    using K = MivoBlockKind;
    EXPECT_EQ(map.Kinds(),
              bits({K::Number, K::Hardening, K::Magnet, K::Teleport, K::Track, K::Wall, K::Joker}));
    const MivoLevelMap without = map.Without(bits({K::Hardening, K::Magnet, K::Teleport, K::Track}));
    EXPECT_EQ(without.Kinds(), bits({K::Number, K::Wall, K::Joker}));
    EXPECT_EQ(*without.Find(2, 2), "W");
    EXPECT_EQ(*without.Find(3, 3), "W");
    EXPECT_EQ(without.Find(4, 4), nullptr);
    EXPECT_EQ(without.Find(5, 5), nullptr);
    EXPECT_EQ(*without.Find(1, 1), "N,3");
    EXPECT_EQ(*without.Find(7, 7), "J");
    // The track's later cells go with it.
    EXPECT_EQ(without.Build()->Cell(6, 5)->floor, nullptr);
    EXPECT_EQ(map.Without(0).ShapeKey(), map.ShapeKey());
}

TEST(MivoLevelMap, ShapeKeyIsTheSameForTurnedAndMirroredTables)
{
    // A magnet facing down-right, a track along x and a teleport sending blocks left, then the
    // same turned a quarter (x, y) -> (15 - y, x) with every direction turned along.
    const MivoLevelMap a =
        Map({"2,3=N,4", "5,6=M,4", "1,9=R,3,3", "8,1=T,2,1,1,7,1,1,123", "9,9=T,2,1,1,0,2,1,0"});
    const MivoLevelMap b =
        Map({"12,2=N,4", "9,5=M,6", "6,1=R,5,3", "14,8=T,5,1,1,1,1,1,123", "6,9=T,5,1,1,0,2,1,0"});
    EXPECT_EQ(a.ShapeKey(), b.ShapeKey());
    const MivoLevelMap mirrored =
        Map({"13,3=N,4", "10,6=M,6", "12,9=R,3,3", "7,1=T,2,1,1,3,1,1,123", "6,9=T,2,1,1,0,2,1,0"});
    EXPECT_EQ(a.ShapeKey(), mirrored.ShapeKey());
    const MivoLevelMap facingElsewhere =
        Map({"2,3=N,4", "5,6=M,2", "1,9=R,3,3", "8,1=T,2,1,1,7,1,1,123", "9,9=T,2,1,1,0,2,1,0"});
    EXPECT_NE(a.ShapeKey(), facingElsewhere.ShapeKey());
}

TEST(MivoLevelGenerator, TheSameSeedMakesTheSameTable)
{
    MivoTableRecipe recipe;
    recipe.shortestMin = 3;
    recipe.shortestMax = 3;
    recipe.roomMin = recipe.roomMax = 6;
    recipe.groupsMax = 1;
    recipe.helpersMax = 0;
    recipe.exploreStates = 1000;
    recipe.climbSteps = 5;
    const auto first = MivoLevelGenerator::Generate(recipe, 77, 20);
    const auto again = MivoLevelGenerator::Generate(recipe, 77, 20);
    ASSERT_TRUE(first && again);
    const MivoLevelDatabase a{"x", {first->map}}, b{"x", {again->map}};
    EXPECT_EQ(a.Write(""), b.Write(""));
    EXPECT_EQ(first->proof.solution.size(), 3u);
    EXPECT_TRUE(MivoLevelSolver(first->map).Replay(first->map.solution, 1.0f / 60.0f));
}
