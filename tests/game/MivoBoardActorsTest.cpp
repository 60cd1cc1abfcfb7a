// The board's actors: the model and material set of every kind, places on the grid, turns,
// teleport colours, tutorial flags, picking rays and the scene's save hooks.
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoBoard.h"
#include "MivoGame.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "PlayFixture.h"
#include "WeColor.h"
#include "WeFileStream.h"
#include "WeRecordReader.h"

#include <algorithm>
#include <cmath>
#include <set>

using namespace d3dx;

namespace
{

using Phase = MivoPlayGamePhase;
using K = MivoBlockKind;
constexpr float kPi = 3.14159265f;

MivoBlock Block(K kind, int32_t number = 0)
{
    MivoBlock block;
    block.Init(kind, number);
    return block;
}

MivoActor* ActorOf(const MivoBlock* block)
{
    return reinterpret_cast<MivoActor*>(block->presentation[0]);
}

void ExpectTurn(const WeActor& actor, float angle)
{
    const Quaternion expected = D3DXQuaternionRotationAxis({0, 1, 0}, angle);
    // q and -q are the same turn.
    const float dot = actor.rotation.x * expected.x + actor.rotation.y * expected.y +
                      actor.rotation.z * expected.z + actor.rotation.w * expected.w;
    EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5f) << angle;
}

// db001's last table (teleports, a track, a magnet, a U block and a wall) built into an empty scene.
class BoardActors : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        gameApp.mapToPlay = 1020;
        playGamePhase.scene = std::make_unique<MivoGameScene>();
        playGamePhase.board = MivoBoard::Create();
        playGamePhase.BuildBoard();
        ASSERT_NE(playGamePhase.table, nullptr);
    }
    void TearDown() override
    {
        playGamePhase.Leave();
        MivoFreeLevelResources();
        MenuFixture::TearDown();
    }
    static MivoMapCell& Cell(int32_t x, int32_t y) { return *playGamePhase.table->Cell(x, y); }
};

} // namespace

TEST(BlockLooks, EveryKindHasItsModelAndMaterialSet)
{
    struct Case
    {
        MivoBlock block;
        const char* model;
        int32_t set;
    };
    MivoBlock magnet5 = Block(K::Magnet), magnet4 = Block(K::Magnet), wall = Block(K::Wall);
    magnet5.magnetDirection = 5;
    magnet4.magnetDirection = 4;
    MivoBlock converted = wall;
    converted.converted = 1;
    MivoBlock exitOnly = Block(K::Teleport), both = Block(K::Teleport), entrance = Block(K::Teleport);
    exitOnly.teleport.exit = 1;
    both.teleport.exit = both.teleport.entrance = 1;
    entrance.teleport.entrance = 1;
    const Case cases[] = {
        {Block(K::Number, 7), "Ingame.Models.block_number", 54},
        {Block(K::Number, 1), "Ingame.Models.block_number", 30},
        {Block(K::Number, 9), "Ingame.Models.block_number", 62},
        {Block(K::Plus), "Ingame.Models.block_number", 100},
        {Block(K::Minus), "Ingame.Models.block_number", 104},
        {Block(K::Joker), "Ingame.Models.block_number", 1},
        {Block(K::Hardening), "Ingame.Models.Block", 2},
        {Block(K::Plain), "Ingame.Models.Block", 5},
        {wall, "Ingame.Models.block_wall", 110},
        {converted, "Ingame.Models.Block", 3},
        {Block(K::Disappearing), "Ingame.Models.block_disappearing", 0},
        {magnet5, "Ingame.Models.block_magnet_h", 0},
        {magnet4, "Ingame.Models.block_magnet_d", 0},
        {entrance, "Ingame.Models.block_teleport", 0},
        {exitOnly, "Ingame.Models.block_teleport_o", 0},
        {both, "Ingame.Models.block_teleport_o_i", 0},
        {Block(K::None), "Ingame.Models.Block", 0},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Phase::BlockModelKey(&c.block, 0), c.model) << int(c.block.kind) << " " << c.block.number;
        EXPECT_EQ(playGamePhase.BlockMaterialIndex(&c.block, 0), c.set)
            << int(c.block.kind) << " " << c.block.number;
    }
    EXPECT_EQ(Phase::BlockModelKey(nullptr, 0), "Ingame.Models.Block");
    EXPECT_EQ(playGamePhase.BlockMaterialIndex(nullptr, 0), 0);
}

TEST(BlockLooks, MagnetsTurnByTheirFacing)
{
    struct Case
    {
        int32_t direction;
        float turn;
    };
    const Case cases[] = {{1, -1.5f * kPi}, {3, -kPi},       {5, -0.5f * kPi}, {7, 0.0f},
                          {2, 0.0f},        {4, 0.5f * kPi}, {6, kPi},         {8, 1.5f * kPi}};
    for (const Case& c : cases)
    {
        MivoBlock magnet = Block(K::Magnet);
        magnet.magnetDirection = c.direction;
        EXPECT_NEAR(playGamePhase.BlockTurn(magnet, 0), c.turn, 1e-5f) << c.direction;
    }
    const MivoBlock number = Block(K::Number, 3);
    EXPECT_EQ(playGamePhase.BlockTurn(number, 0), 0.0f);
    for (int i = 0; i < 20; ++i)
    {
        const float wall = playGamePhase.BlockTurn(Block(K::Wall), 0) / (kPi / 2.0f);
        EXPECT_NEAR(wall, std::round(wall), 1e-5f) << "walls turn by quarter turns";
        EXPECT_GE(wall, -0.01f);
        EXPECT_LE(wall, 3.01f);
    }
}

TEST(Picking, TheRayMeetsTheBlockBoxOnly)
{
    const WeVector centre{2, 0, 3};
    EXPECT_TRUE(Phase::ProbeBlock(centre, {2.4f, 10, 3.4f}, {0, -1, 0}));
    EXPECT_FALSE(Phase::ProbeBlock(centre, {2.5f, 10, 3}, {0, -1, 0})) << "the box is 0.4949 each side";
    EXPECT_FALSE(Phase::ProbeBlock(centre, {2, 10, 3}, {0, 1, 0})) << "behind the ray";
}

TEST(Picking, OnlyRaysThatCannotMeetTheBoxAreLeftUnprobed)
{
    // Rays from near and far eyes through points just inside and just outside the box's
    // corners and edges: every ray the probe lets hit must be near, and rays well clear are not.
    const WeVector centre{7.575f, 0.0f, -7.575f};
    const float h = Phase::kPickHalfSize;
    const struct
    {
        WeVector eye;
        WeVector through; // from the centre
    } rays[] = {
        {{7.5f, 19.0f, -7.5f}, {h, h, h}},         {{7.5f, 19.0f, -7.5f}, {-h, h, -h}},
        {{0.0f, 19.0f, 8.0f}, {h, -h, h}},         {{-40.0f, 3.0f, 60.0f}, {h, h, -h}},
        {{300.0f, 200.0f, -90.0f}, {-h, -h, h}},   {{7.575f, 0.0f, 5.0f}, {h, h, 0.0f}},
        {{8.0f, 0.2f, -7.6f}, {-h, 0.0f, h}},      {{7.575f, 50.0f, -7.575f}, {0.0f, -h, 0.0f}},
        {{-1000.0f, 800.0f, 500.0f}, {h, -h, -h}}, {{20.0f, 1.0f, -7.575f}, {-h, h, 0.0f}},
    };
    for (const auto& ray : rays)
        for (const float scale : {0.999f, 1.0f, 1.001f, 1.01f})
        {
            const WeVector direction = centre + ray.through * scale - ray.eye;
            EXPECT_TRUE(!Phase::ProbeBlock(centre, ray.eye, direction) ||
                        Phase::RayNearBlock(centre, ray.eye, direction))
                << ray.eye.x << " " << scale;
            EXPECT_TRUE(Phase::RayNearBlock(centre, ray.eye, direction * 0.001f)) << "any length";
            // Moved 2 aside, the line passes the centre beyond the corners' 0.857.
            const WeVector aside = D3DXVec3Normalize(D3DXVec3Cross(direction, {0.3f, 1.0f, 0.2f})) * 2.0f;
            EXPECT_FALSE(Phase::RayNearBlock(centre, ray.eye + aside, direction)) << "clear of the box";
        }
    EXPECT_TRUE(Phase::RayNearBlock(centre, {0, 0, 0}, {0, 0, 0})) << "a ray without direction is probed";
}

TEST(Picking, AnArrowIsTheQuadrantWhereTheRayMeetsTheFloor)
{
    const WeVector centre{1, 0, 1};
    struct Case
    {
        WeVector origin, direction;
        int32_t arrow;
    };
    const Case cases[] = {
        {{1, 5, 3}, {0, -1, 0}, 0},  {{3, 5, 1}, {0, -1, 0}, 1}, {{1, 5, -1}, {0, -1, 0}, 2},
        {{-1, 5, 1}, {0, -1, 0}, 3}, {{2, 5, 2}, {0, -1, 0}, 1}, // a tie goes to x
        {{0, 5, 1}, {1, -1, 0}, 1}, // a slanted ray: the floor point counts, not the origin
        {{0, 5, 1}, {1, 0, 0}, -1}, // parallel to the floor: no arrow
    };
    for (const Case& c : cases)
        EXPECT_EQ(Phase::ArrowUnderRay(centre, c.origin, c.direction), c.arrow)
            << c.origin.x << "," << c.origin.z << " along " << c.direction.x << "," << c.direction.y;
}

TEST_F(BoardActors, TheBoardIsCentredWithCornersAtItsHalfWidth)
{
    EXPECT_NEAR(playGamePhase.boardCentreX, 7.575f, 1e-5f);
    EXPECT_NEAR(Cell(0, 0).fx, -7.575f, 1e-5f);
    EXPECT_NEAR(Cell(15, 15).fx, 7.575f, 1e-5f);
    EXPECT_NEAR(Cell(0, 15).fy, 7.575f, 1e-5f);
    // The N 5 at (1, 2): world (x, 0, -y), grid y along the negative z axis.
    const MivoBlock* number = Cell(1, 2).top.get();
    ASSERT_NE(number, nullptr);
    const WeVector at = ActorOf(number)->GetLocation();
    EXPECT_NEAR(at.x, 1 * 1.01f - 7.575f, 1e-5f);
    EXPECT_NEAR(at.z, -(2 * 1.01f - 7.575f), 1e-5f);
    EXPECT_EQ(at.y, 0.0f);
}

// The maps stand the board on a table: a cell of its top under every cell of the board, its
// seams where the board's cells meet, each cell of it the whole texture (which draws the grid at
// its border), and the top under the blocks but under the tops of the floor pieces too, which the
// game lowers into it.
TEST_F(BoardActors, TheMapsTableLaysACellOfItsTopUnderEveryCellOfTheBoard)
{
    WeMesh* table = meshManager.Load("Maps.Models.table");
    ASSERT_NE(table, nullptr);
    const auto* cells = std::find_if(std::begin(table->attributeTable),
                                     std::begin(table->attributeTable) + table->subsetCount,
                                     [](const d3dx::AttributeRange& range) { return range.attribId == 0; });
    ASSERT_NE(cells, std::begin(table->attributeTable) + table->subsetCount);
    // Positions in thousandths, so that a seam reached from either side is one value.
    const auto milli = [](float value) { return int32_t(std::lround(value * 1000.0f)); };
    std::set<int32_t> xs, zs, heights, corners;
    void* data = nullptr;
    ASSERT_EQ(table->LockVertexBuffer(d3d9::D3DLOCK_READONLY, &data), d3d9::D3D_OK);
    for (uint32_t i = cells->vertexStart; i < cells->vertexStart + cells->vertexCount; ++i)
    {
        const auto& vertex = *reinterpret_cast<const WeMeshVertex*>(
            static_cast<const uint8_t*>(data) + size_t(i) * size_t(table->GetBytesPerVertex()));
        xs.insert(milli(vertex.position.x));
        zs.insert(milli(vertex.position.z));
        heights.insert(milli(vertex.position.y));
        corners.insert(milli(vertex.u) * 10000 + milli(vertex.v));
    }
    table->UnlockVertexBuffer();
    const float pitch = Cell(1, 0).fx - Cell(0, 0).fx;
    std::set<int32_t> seamsX, seamsZ;
    for (int32_t i = 0; i < MivoMapTable::kSize; ++i)
        for (const float side : {-0.5f, 0.5f})
        {
            seamsX.insert(milli(Cell(i, 0).fx + side * pitch));
            seamsZ.insert(milli(-Cell(0, i).fy + side * pitch));
        }
    EXPECT_EQ(xs, seamsX);
    EXPECT_EQ(zs, seamsZ);
    EXPECT_EQ(corners, (std::set<int32_t>{0, 1000, 10000000, 10001000})) << "each cell the whole texture";
    ASSERT_EQ(heights.size(), 1u) << "a flat top";
    const float top = float(*heights.begin()) / 1000.0f;
    const float base = WeConfig::GetFloat("Mivo.Blocks.BaseLayerY", 0.0f);
    for (const char* block : {"Ingame.Models.Block", "Ingame.Models.block_number", "Ingame.Models.block_wall",
                              "Ingame.Models.block_magnet_h", "Ingame.Models.block_disappearing"})
    {
        const WeMesh* mesh = meshManager.Load(block);
        ASSERT_NE(mesh, nullptr) << block;
        EXPECT_LT(top, mesh->boxMin.y) << block << " stands on the table";
    }
    const WeMesh* track = meshManager.Load("Ingame.Models.block_track");
    ASSERT_NE(track, nullptr);
    EXPECT_LT(top, track->boxMax.y + base) << "the track shows its top";
    EXPECT_GT(top, track->boxMin.y + base) << "and sinks its plate";
}

TEST_F(BoardActors, FloorPiecesStandAtTheBaseLayerAndOnlyMovableBlocksArePickable)
{
    const float base = WeConfig::GetFloat("Mivo.Blocks.BaseLayerY", 0.0f);
    EXPECT_EQ(ActorOf(Cell(3, 14).floor.get())->GetLocation().y, base);
    EXPECT_EQ(ActorOf(Cell(7, 8).floor.get())->GetLocation().y, base);
    for (const MivoBlock* block : playGamePhase.level.pickableBlocks)
        EXPECT_TRUE(block->Is(K::Number) || block->Is(K::Hardening)) << int(block->kind);
    EXPECT_EQ(playGamePhase.level.pickableBlocks.size(), 3u); // two N 5 and the U
    EXPECT_EQ(ActorOf(Cell(1, 2).top.get())->materialPreset, 46);
}

TEST_F(BoardActors, ATrackGetsItsPiecesAndTwoEndPiecesTheFarOneTurnedRound)
{
    int32_t pieces = 0, teleports = 0;
    for (const MivoBlock* block : playGamePhase.level.blocks)
    {
        pieces += block->Is(K::Track);
        teleports += block->Is(K::Teleport);
    }
    EXPECT_EQ(pieces, 4);
    // Every block's own actor, the track's two end pieces and each teleport's particles.
    EXPECT_EQ(playGamePhase.scene->nextId, int32_t(playGamePhase.level.blocks.size()) + 2 + teleports);
    MivoBlock* last = Cell(6, 14).floor.get();
    const MivoActor* farEnd = playGamePhase.CreateBlockActor(last->x, -last->y, last, 2, false, false);
    ExpectTurn(*farEnd, kPi);
    EXPECT_EQ(Phase::BlockModelKey(last, 2), "Ingame.Models.block_track_end");
    MivoTrack* track = playGamePhase.table->FindTrack(last->trackId);
    for (const auto& [direction, set] : {std::pair{0, 0}, {1, 1}, {7, 1}, {3, 2}, {5, 2}})
    {
        track->direction = direction;
        EXPECT_EQ(playGamePhase.BlockMaterialIndex(last, 0), set) << direction;
        EXPECT_EQ(playGamePhase.BlockMaterialIndex(last, 2), 0);
    }
}

TEST_F(BoardActors, TheMagnetTurnsAndTheTutorialsOfTheKindsPresentArePending)
{
    ExpectTurn(*ActorOf(Cell(15, 0).top.get()), -1.5f * kPi);
    const uint8_t expected[Phase::kTutorialCount] = {1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1};
    for (int32_t k = 0; k < Phase::kTutorialCount; ++k)
        EXPECT_EQ(playGamePhase.level.tutorialPending[k], expected[k]) << k;
    EXPECT_EQ(playGamePhase.level.tutorialOrder[0], 10);
    EXPECT_EQ(playGamePhase.level.tutorialOrder[10], 9);
}

TEST_F(BoardActors, TeleportColoursComeFromTheirGroups)
{
    const WeColor yellow = playGamePhase.TeleportColor(1);
    EXPECT_EQ(yellow.r, 1.0f);
    EXPECT_EQ(yellow.g, 1.0f);
    EXPECT_EQ(yellow.b, 0.0f);
    EXPECT_EQ(yellow.a, 1.0f);
    const WeColor violet = playGamePhase.TeleportColor(7);
    EXPECT_NEAR(violet.r, 128.0f / 255.0f, 1e-6f);
    EXPECT_EQ(violet.b, 1.0f);
    for (const int32_t group : {0, 9, -3})
    {
        const WeColor white = playGamePhase.TeleportColor(group);
        EXPECT_EQ(white.r + white.g + white.b + white.a, 4.0f) << group;
    }
}

TEST_F(BoardActors, ArrowsGrowOnlyTowardsCellsTheBlockCanMoveTo)
{
    MivoBlock* number = Cell(1, 2).top.get();
    playGamePhase.CreateArrows(number);
    EXPECT_EQ(playGamePhase.level.selectedActor, ActorOf(number));
    MivoArrowSet* set = playGamePhase.CurrentArrows();
    ASSERT_NE(set, nullptr);
    for (int32_t i = 0; i < 4; ++i)
    {
        const bool can = playGamePhase.board->CanMove(number, 2 * i + 1, true);
        ASSERT_EQ(set->arrows[i].actor != nullptr, can) << i;
        if (can)
        {
            EXPECT_EQ(set->arrows[i].actor->arrowIndex, i);
            EXPECT_FALSE(set->arrows[i].actor->visible) << "hidden until the set grows";
        }
    }
    playGamePhase.AnimateArrows(*set);
    for (const MivoArrowSet::Arrow& arrow : set->arrows)
        EXPECT_TRUE(!arrow.actor || arrow.actor->visible);
    playGamePhase.ClearSelection();
    EXPECT_EQ(playGamePhase.level.selectedActor, nullptr);
    EXPECT_EQ(playGamePhase.CurrentArrows(), nullptr) << "the set shrinks away";
    // A wall gets a set without arrows.
    playGamePhase.CreateArrows(Cell(8, 1).top.get());
    for (const MivoArrowSet::Arrow& arrow : playGamePhase.CurrentArrows()->arrows)
        EXPECT_EQ(arrow.actor, nullptr);
}

TEST_F(BoardActors, ARunTimeMaterialSetIsSavedAsSetZeroAndKept)
{
    TempFolder folder;
    const std::string path = folder / "actors.bin";
    MivoActor* numbered = ActorOf(Cell(1, 2).top.get());
    MivoActor* plain = ActorOf(Cell(8, 15).top.get());
    plain->materialPreset = 5;
    for (const auto& [actor, saved] : {std::pair{numbered, 0}, {plain, 5}})
    {
        const int32_t before = actor->materialPreset;
        {
            WeFileStream out;
            ASSERT_TRUE(out.Create(WeString(path.c_str())));
            ASSERT_TRUE(actor->Save(out));
        }
        EXPECT_EQ(actor->materialPreset, before) << "given back after the save";
        WeFileStream in;
        ASSERT_TRUE(in.Open(WeString(path.c_str())));
        WeRecordReader reader(in, in.GetSize());
        WeActor loaded;
        ASSERT_TRUE(loaded.Load(reader));
        EXPECT_EQ(loaded.materialPreset, saved);
    }
}

TEST(FloatingScore, AlphaIsRoundedToAByte)
{
    MivoFloatingScore score;
    struct Case
    {
        float alpha;
        uint32_t byte;
    };
    for (const Case& c : {Case{0.5f, 128}, {1.0f, 255}, {1.5f, 255}, {0.0f, 0}, {-1.0f, 0}, {0.1f, 26}})
    {
        score.alpha = c.alpha;
        EXPECT_EQ(score.AlphaByte(), c.byte) << c.alpha;
    }
}
