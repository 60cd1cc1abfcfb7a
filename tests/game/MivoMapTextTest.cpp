// Cell texts of the level files: letters, fields, teleport groups, tracks, and bad data.
#include "BoardFixture.h"

namespace
{
MivoBlock* TopOf(MivoMapTable& table, int x, int y)
{
    return table.Cell(x, y)->top.get();
}

MivoBlock* FloorOf(MivoMapTable& table, int x, int y)
{
    return table.Cell(x, y)->floor.get();
}

std::string Accepted(const MivoTeleportData& t)
{
    std::string digits = t.acceptsOthers ? "0" : "";
    for (int n = 1; n <= 9; ++n)
        digits += t.acceptsNumber[static_cast<size_t>(n - 1)] ? std::to_string(n) : "";
    return digits;
}
} // namespace

TEST(MapText, EmptyTableIsSixteenSquareWithItsCoordinates)
{
    MivoMapTable table;
    EXPECT_EQ(table.name, "New Table");
    EXPECT_EQ(table.width, 16);
    EXPECT_EQ(table.height, 16);
    EXPECT_EQ(table.Cell(15, 15)->x, 15);
    EXPECT_EQ(table.Cell(7, 12)->y, 12);
    EXPECT_EQ(table.Cell(16, 0), nullptr);
    EXPECT_EQ(table.Cell(0, -1), nullptr);
}

TEST(MapText, LetterIsTheFirstFieldUpToABlankAndCaseCounts)
{
    MivoMapTable table;
    PlaceMapText(table, "B,1,1=N\nB,2,2=N foo,3\nB,3,3=n,3\nB,4,4=NN,2\nB,5,5=W,7,7\nB,6,6=+\nB,7,7=D");
    ASSERT_NE(TopOf(table, 1, 1), nullptr);
    EXPECT_EQ(TopOf(table, 1, 1)->number, 0);
    ASSERT_NE(TopOf(table, 2, 2), nullptr);
    EXPECT_EQ(TopOf(table, 2, 2)->number, 3);
    EXPECT_EQ(TopOf(table, 3, 3), nullptr);
    EXPECT_EQ(TopOf(table, 4, 4), nullptr);
    EXPECT_TRUE(TopOf(table, 5, 5)->Is(MivoBlockKind::Wall));
    EXPECT_EQ(TopOf(table, 5, 5)->number, 0);
    EXPECT_TRUE(TopOf(table, 6, 6)->Is(MivoBlockKind::Plus));
    EXPECT_TRUE(TopOf(table, 7, 7)->Is(MivoBlockKind::Disappearing));
    EXPECT_EQ(table.problems.size(), 2u);
}

TEST(MapText, TeleportFieldsAndTheLoadTimeGroup)
{
    MivoMapTable table;
    PlaceMapText(table, "B,1,1=T,3\nB,2,2=T,1,1,1,0,1,0,357\nB,3,3=T,1,1,1,0,0,0,05\nB,4,4=T,1,0,1,5,2,1");
    const MivoTeleportData& bare = FloorOf(table, 1, 1)->teleport;
    EXPECT_EQ(bare.group, 3);
    EXPECT_EQ(bare.entrance, 0);
    EXPECT_EQ(bare.exit, 0);
    EXPECT_EQ(bare.exitDirection, 0);
    EXPECT_EQ(bare.order, 0);
    EXPECT_EQ(Accepted(bare), "");
    const MivoTeleportData& odd = FloorOf(table, 2, 2)->teleport;
    EXPECT_EQ(odd.entrance, 1);
    EXPECT_EQ(odd.order, 1);
    EXPECT_EQ(Accepted(odd), "357");
    EXPECT_EQ(Accepted(FloorOf(table, 3, 3)->teleport), "05");
    EXPECT_EQ(FloorOf(table, 4, 4)->teleport.exitDirection, 5);
    // Every member counts as an exit while it joins, and the rotation stays where joining left it.
    const MivoTeleportGroup* one = table.FindGroup(1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->members.size(), 3u);
    EXPECT_EQ(one->exitCount, 3);
    EXPECT_EQ(table.FindGroup(3)->exitCount, 1);
    EXPECT_EQ(table.groups.front().id, 3); // groups come in order of first appearance
    // The rotation names the member that held its order when the last member joined.
    EXPECT_NE(one->currentExit, nullptr);
    EXPECT_EQ(one->currentExit->teleport.order, one->currentOrder);
    EXPECT_TRUE(FloorOf(table, 2, 2)->Is(MivoBlockKind::Teleport));
    EXPECT_EQ(table.Cell(2, 2)->top, nullptr);
}

TEST(MapText, RotationOrders)
{
    MivoTeleportGroup group;
    MivoBlock a, b;
    a.teleport.order = 1;
    b.teleport.order = 3;
    group.members = {&a, &b};
    group.exitCount = 3;
    group.currentOrder = 1;
    EXPECT_EQ(group.NextOrder(), 3);
    group.currentOrder = 3;
    EXPECT_EQ(group.NextOrder(), 1); // wraps past the exit count
    EXPECT_EQ(group.FindByOrder(0), nullptr);
    EXPECT_EQ(group.FindByOrder(3), &b);
    b.teleport.order = 7;
    a.teleport.order = 5;
    group.currentOrder = 1;
    // No member holds 1..3: the last value tried comes back, one try per member.
    EXPECT_EQ(group.NextOrder(), 3);
    group.Advance();
    EXPECT_EQ(group.currentExit, nullptr);
    MivoTeleportGroup empty;
    empty.currentOrder = 4;
    EXPECT_EQ(empty.NextOrder(), 4);
}

TEST(MapText, TracksRunAlongTheirAxisUnderTheSmallestFreeId)
{
    MivoMapTable table;
    PlaceMapText(table, "B,2,3=R,5,4\nB,6,3=R,3,4");
    ASSERT_EQ(table.tracks.size(), 2u);
    EXPECT_EQ(table.tracks[0].id, 1);
    EXPECT_EQ(table.tracks[1].id, 2);
    for (int y = 3; y <= 6; ++y)
        EXPECT_EQ(FloorOf(table, 2, y)->trackId, 1) << y;
    EXPECT_EQ(FloorOf(table, 2, 7), nullptr);
    for (int x = 6; x <= 9; ++x)
        EXPECT_EQ(FloorOf(table, x, 3)->trackId, 2) << x;
    EXPECT_EQ(FloorOf(table, 10, 3), nullptr);
    EXPECT_TRUE(table.tracks[0].vertical);
    EXPECT_FALSE(table.tracks[1].vertical);
    EXPECT_TRUE(table.problems.empty());
}

TEST(MapText, LaterCellTextReplacesATrackPieceAndTheTrackKeepsItsLength)
{
    MivoMapTable table;
    PlaceMapText(table, "B,2,3=R,3,4\nB,4,3=T,1");
    EXPECT_TRUE(FloorOf(table, 4, 3)->Is(MivoBlockKind::Teleport));
    EXPECT_TRUE(FloorOf(table, 5, 3)->Is(MivoBlockKind::Track));
    EXPECT_EQ(table.tracks[0].length, 4);
}

TEST(MapText, TrackLengthIsCutToTheTable)
{
    MivoMapTable table;
    PlaceMapText(table, "B,10,3=R,3,40\nB,1,1=R,3,0\nB,1,5=R,5,-5\nB,4,12=R,5,9");
    ASSERT_EQ(table.tracks.size(), 4u);
    // In grid order: (1,1), (1,5), (4,12), (10,3).
    EXPECT_EQ(table.tracks[0].length, 1);
    EXPECT_EQ(table.tracks[1].length, 1);
    EXPECT_EQ(table.tracks[2].length, 4);
    EXPECT_EQ(table.tracks[3].length, 6);
    EXPECT_TRUE(FloorOf(table, 15, 3)->Is(MivoBlockKind::Track));
    EXPECT_EQ(table.problems.size(), 4u);
}

TEST(MapText, UnplayableDataIsLeftOutWithAMessage)
{
    MivoMapTable table;
    PlaceMapText(table,
                 "B,1,1=N,12\nB,1,2=N,-3\nB,1,3=M,0\nB,1,4=M,9\nB,1,5=T,0\nB,1,6=T,9\nB,1,7=N,9\nB,1,8=M,8");
    for (int y = 1; y <= 6; ++y)
    {
        EXPECT_EQ(TopOf(table, 1, y), nullptr) << y;
        EXPECT_EQ(FloorOf(table, 1, y), nullptr) << y;
    }
    EXPECT_EQ(TopOf(table, 1, 7)->number, 9);
    EXPECT_EQ(TopOf(table, 1, 8)->magnetDirection, 8);
    ASSERT_EQ(table.problems.size(), 6u);
    EXPECT_EQ(table.problems[0], "B,1,1=N,12: number outside 0 to 9; the block is left out");
    EXPECT_TRUE(table.groups.empty());
}

TEST(MapText, BadTeleportDetailsAreMendedWithAMessage)
{
    MivoMapTable table;
    PlaceMapText(table, "B,1,1=T,2,1,1,9,1,0,3x9\xff");
    const MivoTeleportData& t = FloorOf(table, 1, 1)->teleport;
    EXPECT_EQ(t.exitDirection, 0);
    EXPECT_EQ(Accepted(t), "39");
    EXPECT_EQ(table.problems.size(), 3u);
}

TEST(MapText, CellsOutsideTheTableAreIgnored)
{
    MivoMapTable table;
    table.PlaceFromText(16, 3, "N,1");
    table.PlaceFromText(-1, 3, "W");
    table.PlaceFromText(3, 50, "W");
    EXPECT_EQ(table.problems.size(), 3u);
}

TEST(MapText, DatabaseNamesAndTableNumbers)
{
    EXPECT_EQ(MivoMapDatabase::FileName(1), "db001");
    EXPECT_EQ(MivoMapDatabase::FileName(42), "db042");
    EXPECT_EQ(MivoMapDatabase::FileName(1234), "db1234");
    MivoMapDatabase database;
    database.tables.push_back(std::make_unique<MivoMapTable>());
    EXPECT_EQ(database.Table(1), database.tables[0].get());
    EXPECT_EQ(database.Table(0), nullptr);
    EXPECT_EQ(database.Table(2), nullptr);
}
