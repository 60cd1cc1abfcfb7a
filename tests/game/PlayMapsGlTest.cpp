// The shipped background maps under a level, drawn through the play phase on the OpenGL back end
// from every camera preset (taken by its key, as the player takes it) on screens of the four shapes:
// the map covers the whole view, so its sky shows nowhere; it keeps its decorations out of the
// board's volume and out of every preset's view of it; and each move arrow around a block near a
// corner of the board answers a release on every pixel where it shows.
#include "MivoBoard.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "PlayScreenFrame.h"
#include "WeAppWindow.h"
#include "WeEngine.h"
#include "WeInput.h"
#include "WeSkyBox.h"
#include "win32/Win32Cursor.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>

namespace
{

using Phase = MivoPlayGamePhase;
constexpr int32_t kPresetCount = 7, kFirstDigitKey = 2;
constexpr uint32_t kKey = 0xFF00FF; // the clear colour in place of the sky: magenta

// The shipped screen shapes at half their sizes.
std::vector<ScreenSize> HalfScreens()
{
    std::vector<ScreenSize> screens;
    for (const ScreenSize& size : kScreenSizes)
        screens.push_back({size.width / 2, size.height / 2});
    return screens;
}
const char* const kMaps[] = {"World1", "World2"};

// Cells diagonally in from the board's corners, each with four free neighbours on the first
// level of the first region (two 5s at (7, 5) and (7, 9), a wall at (3, 7)).
constexpr int32_t kLevel = 1001, kMoverX = 7, kMoverY = 5;
constexpr int32_t kCornerCells[][2] = {{1, 1}, {14, 1}, {1, 14}, {14, 14}};

// A 24-bit shot's pixels by column and row from the top left.
class Shot
{
public:
    Shot(std::vector<uint8_t> bytes, int32_t width, int32_t height)
        : bytes(std::move(bytes)), width(width), height(height)
    {
    }
    uint32_t At(int32_t x, int32_t y) const { return PixelAt(bytes, width, height, x, y); }
    // Whether the pixel differs from the other shot's by more than a step of rounding.
    bool Differs(const Shot& other, int32_t x, int32_t y) const
    {
        const uint32_t a = At(x, y), b = other.At(x, y);
        for (int32_t shift = 0; shift < 24; shift += 8)
            if (std::abs(int32_t(a >> shift & 0xFF) - int32_t(b >> shift & 0xFF)) > 24)
                return true;
        return false;
    }

    std::vector<uint8_t> bytes;
    int32_t width, height;
};

// A box in the world, its lowest corner and its highest.
struct Box
{
    WeVector low, high;
};

// What the actor's model fills: the box around its placed mesh, or the cube around its sphere
// when it has no such box (an animated model).
Box Bounds(const WeActor& actor)
{
    if (actor.boxCulling)
        return {actor.boxMin, actor.boxMax};
    const WeVector reach{actor.sphereRadius, actor.sphereRadius, actor.sphereRadius};
    return {actor.sphereCentre - reach, actor.sphereCentre + reach};
}

bool Overlap(const Box& a, const Box& b)
{
    for (int32_t axis = 0; axis < 3; ++axis)
        if ((&a.high.x)[axis] < (&b.low.x)[axis] || (&b.high.x)[axis] < (&a.low.x)[axis])
            return false;
    return true;
}

// Whether the segment from a to b passes through the box.
bool Crosses(const WeVector& a, const WeVector& b, const Box& box)
{
    float enter = 0.0f, leave = 1.0f;
    for (int32_t axis = 0; axis < 3; ++axis)
    {
        const float from = (&a.x)[axis], along = (&b.x)[axis] - from;
        const float low = (&box.low.x)[axis], high = (&box.high.x)[axis];
        if (along == 0.0f)
        {
            if (from < low || from > high)
                return false;
            continue;
        }
        const float t0 = (low - from) / along, t1 = (high - from) / along;
        enter = std::max(enter, std::min(t0, t1));
        leave = std::min(leave, std::max(t0, t1));
    }
    return enter <= leave;
}

class PlayMapFrame : public PlayScreenFrame,
                     public ::testing::WithParamInterface<std::tuple<const char*, ScreenSize>>
{
protected:
    void SetUp() override
    {
        PlayScreenFrame::SetUp();
        const auto& [map, screen] = GetParam();
        ASSERT_TRUE(cursorWindow.Create("PlayMaps", "", nullptr, 0, 0, screen.width, screen.height, true, 3,
                                        0, false, false, true, nullptr));
        engine.window = &cursorWindow;
        ASSERT_TRUE(PlayLevel(Level(), screen, map));
        ASSERT_NE(playGamePhase.scene, nullptr);
        ASSERT_TRUE(playGamePhase.scene->FindActor("Floor") && playGamePhase.scene->skyBox.model)
            << "the map has loaded, with its sky";
        timer.deltaTime = 0.0f; // the map stands still between shots
    }
    virtual int32_t Level() const { return kLevel; }
    void TearDown() override
    {
        engine.window = nullptr;
        PlayScreenFrame::TearDown();
    }
    // The camera re-based on the preset by its key, as the player's press does, and come to rest.
    static void TakePreset(int32_t preset)
    {
        input.keysClicked[kFirstDigitKey + preset] = 1;
        ++input.clickedCount;
        playGamePhase.HandleInput();
        MivoGameCamera& camera = *playGamePhase.camera;
        for (int32_t i = 0; i < 200 && !std::equal(std::begin(camera.offsets), std::end(camera.offsets),
                                                   std::begin(camera.targets));
             ++i)
            camera.Update(0.1f);
        camera.WeCamera::Update();
    }
    // The scene without its sky, the clear colour showing wherever nothing else is drawn.
    static void KeyOutTheSky()
    {
        WeScene& scene = *playGamePhase.scene;
        scene.skyBox.kind = WeSkyBox::meshModel;
        scene.skyBox.model.reset();
        scene.config.backgroundColor = {1.0f, 0.0f, 1.0f, 1.0f};
    }
    Shot ShootPlay()
    {
        playGamePhase.scene->Tick();
        PlayFrame frame;
        const ScreenSize& screen = std::get<1>(GetParam());
        return {Shoot(frame), screen.width, screen.height};
    }
    // The block moved to the cell, its actor following.
    static void Move(const MivoBlock* block, int32_t x, int32_t y)
    {
        MivoMapTable& table = *playGamePhase.table;
        MivoMapCell* from = nullptr;
        table.ForEachCell([&](MivoMapCell& cell) { from = cell.top.get() == block ? &cell : from; });
        table.Cell(x, y)->top = std::move(from->top);
        playGamePhase.LayoutBlocks();
        playGamePhase.SyncBlockActors();
    }
    // The actor a release at the pixel's corner would pick.
    WeActor* PickedAt(int32_t x, int32_t y) const
    {
        win32::POINT point{x, y};
        win32::ClientToScreen(cursorWindow.handle, &point);
        win32::SetCursorPos(point.x, point.y);
        WeActor* actor = nullptr;
        MivoBlock* block = nullptr;
        playGamePhase.PickBlock(actor, block);
        return actor;
    }
    // Where the world point shows on the screen, and whether inside it.
    bool OnScreen(const WeVector& world, float& x, float& y) const
    {
        const WeVector4 p = d3dx::D3DXVec3Transform(world, playGamePhase.camera->viewProjection);
        const ScreenSize& screen = std::get<1>(GetParam());
        x = (p.x / p.w + 1.0f) * 0.5f * float(screen.width);
        y = (1.0f - p.y / p.w) * 0.5f * float(screen.height);
        return p.w > 0.0f && x >= 0.0f && y >= 0.0f && x < float(screen.width) && y < float(screen.height);
    }
    // Whether the selected block's pick box stands between the eye and the arrow's top where the
    // pixel's corner shows it: the box is probed first, so a release there is the block's.
    static bool BehindThePickBox(const MivoArrowSet::Arrow& arrow, int32_t x, int32_t y)
    {
        WeVector origin, direction;
        playGamePhase.camera->GetPickRay(float(x), float(y), origin, direction);
        const float top = arrow.position.y + arrow.actor->model->mesh->boxMax.y * arrow.scale.y;
        const WeVector onArrow = origin + direction * ((top - origin.y) / direction.y);
        return Phase::ProbeBlock(playGamePhase.level.selectedActor->GetWorldPosition(), onArrow,
                                 direction * -1.0f);
    }
    std::string Where(int32_t preset) const
    {
        std::ostringstream text;
        text << std::get<0>(GetParam()) << " on " << SizeName(std::get<1>(GetParam())) << ", preset "
             << preset + 1;
        return text.str();
    }

    WeAppWindow cursorWindow; // the window the cursor is placed over
};

std::string Named(const ::testing::TestParamInfo<PlayMapFrame::ParamType>& info)
{
    return std::string(std::get<0>(info.param)) + "_" + SizeName(std::get<1>(info.param));
}

} // namespace

TEST(PlayMaps, TheWorldsNameOnlyTheMapsTestedHere)
{
    for (int32_t world = 1; world <= 15; ++world)
    {
        const WeString& name = WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(world), "");
        EXPECT_TRUE(
            std::any_of(std::begin(kMaps), std::end(kMaps), [&](const char* map) { return name == map; }))
            << "world " << world << ": " << name.GetData();
    }
}

TEST_P(PlayMapFrame, TheMapCoversTheWholeViewFromEveryPresetWithTheBoardsTableLit)
{
    const WeActor* table = nullptr;
    playGamePhase.scene->actors.ForEach([&](const WeString&, WeActor* actor)
                                        { table = actor->modelName == "Maps.Models.table" ? actor : table; });
    ASSERT_TRUE(table && table->model);
    KeyOutTheSky();
    for (int32_t preset = 0; preset < kPresetCount; ++preset)
    {
        TakePreset(preset);
        const Shot shot = ShootPlay();
        int32_t sky = 0;
        for (int32_t y = 0; y < shot.height; ++y)
            for (int32_t x = 0; x < shot.width; ++x)
                sky += shot.At(x, y) == kKey ? 1 : 0;
        EXPECT_EQ(sky, 0) << Where(preset);
        EXPECT_GE(table->model->pointLightCount, 2) << Where(preset) << ": the map's lights on the table";
    }
}

TEST_P(PlayMapFrame, DecorationsStayOffTheBoardAndOutOfEveryPresetsViewOfIt)
{
    // The board's volume: the pick boxes of all its cells.
    const float h = Phase::kPickHalfSize;
    float left = 1e9f, right = -1e9f, near = 1e9f, far = -1e9f;
    playGamePhase.table->ForEachCell(
        [&](const MivoMapCell& cell)
        {
            left = std::min(left, cell.fx - h);
            right = std::max(right, cell.fx + h);
            near = std::min(near, -cell.fy - h);
            far = std::max(far, -cell.fy + h);
        });
    std::vector<WeVector> surface; // its top face and the edges of its bottom, which the eyes look down on
    for (int32_t i = 0; i <= 8; ++i)
        for (int32_t j = 0; j <= 8; ++j)
        {
            const float x = left + (right - left) * float(i) / 8.0f,
                        z = near + (far - near) * float(j) / 8.0f;
            surface.push_back({x, h, z});
            if (i == 0 || j == 0 || i == 8 || j == 8)
                surface.push_back({x, -h, z});
        }
    std::vector<const WeActor*> decorations;
    playGamePhase.scene->actors.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            if (actor->fromMap && actor->visible && actor->model && actor->modelName != "Maps.Models.table" &&
                actor->modelName != "Maps.Models.ground")
                decorations.push_back(actor);
        });
    EXPECT_GE(decorations.size(), 3u);
    const Box board{{left, -h, near}, {right, h, far}};
    for (const WeActor* decoration : decorations)
    {
        EXPECT_FALSE(Overlap(Bounds(*decoration), board)) << decoration->name.GetData() << " on the board";
    }
    for (int32_t preset = 0; preset < kPresetCount; ++preset)
    {
        TakePreset(preset);
        const WeVector eye = playGamePhase.camera->position;
        for (const WeActor* decoration : decorations)
        {
            const Box box = Bounds(*decoration);
            const auto crossing =
                std::count_if(surface.begin(), surface.end(),
                              [&](const WeVector& point) { return Crosses(eye, point, box); });
            EXPECT_EQ(crossing, 0) << decoration->name.GetData() << " between the board and the eye, "
                                   << Where(preset);
        }
    }
}

TEST_P(PlayMapFrame, ArrowsBesideCornerBlocksAnswerWhereverTheyShowFromEveryPreset)
{
    MivoBlock* block = playGamePhase.table->Cell(kMoverX, kMoverY)->top.get();
    ASSERT_TRUE(block && block->kind == MivoBlockKind::Number);
    const float swing = WeConfig::GetFloat("Mivo.Arrows.LeftRightPhase", 1.0f);
    for (int32_t preset = 0; preset < kPresetCount; ++preset)
    {
        TakePreset(preset);
        for (const auto& [cellX, cellY] : kCornerCells)
        {
            Move(block, cellX, cellY);
            const Shot without = ShootPlay();
            playGamePhase.CreateArrows(block);
            MivoArrowSet& set = *playGamePhase.CurrentArrows();
            timer.deltaTime = 0.1f;
            for (int32_t frame = 0; frame < 20 && set.state != MivoArrowSet::Shown; ++frame)
                playGamePhase.AnimateArrows(set);
            ASSERT_EQ(set.state, MivoArrowSet::Shown);
            timer.deltaTime = swing * 0.5f; // nearest the block
            playGamePhase.AnimateArrows(set);
            timer.deltaTime = 0.0f;
            const Shot with = ShootPlay();
            // Each drawn pixel belongs to the arrow drawn nearest it; a release at a corner that
            // four pixels of one arrow share must pick that arrow.
            float ax[4], ay[4];
            for (int32_t i = 0; i < 4; ++i)
            {
                ASSERT_NE(set.arrows[i].actor, nullptr) << "every neighbour is free";
                OnScreen(set.arrows[i].position, ax[i], ay[i]);
            }
            const auto arrowAt = [&](int32_t x, int32_t y)
            {
                if (x < 0 || y < 0 || !with.Differs(without, x, y))
                    return -1;
                int32_t nearest = 0;
                for (int32_t i = 1; i < 4; ++i)
                    if (std::hypot(float(x) - ax[i], float(y) - ay[i]) <
                        std::hypot(float(x) - ax[nearest], float(y) - ay[nearest]))
                        nearest = i;
                return nearest;
            };
            int32_t shown[4] = {}, missed[4] = {};
            for (int32_t y = 1; y < with.height; ++y)
                for (int32_t x = 1; x < with.width; ++x)
                {
                    const int32_t arrow = arrowAt(x, y);
                    if (arrow < 0 || arrowAt(x - 1, y) != arrow || arrowAt(x, y - 1) != arrow ||
                        arrowAt(x - 1, y - 1) != arrow)
                        continue;
                    if (BehindThePickBox(set.arrows[arrow], x, y))
                        continue;
                    ++shown[arrow];
                    missed[arrow] += PickedAt(x, y) != set.arrows[arrow].actor ? 1 : 0;
                }
            const std::string where =
                Where(preset) + ", block at " + std::to_string(cellX) + "," + std::to_string(cellY);
            for (int32_t i = 0; i < 4; ++i)
                EXPECT_EQ(missed[i], 0) << where << ", arrow " << i << ": of " << shown[i] << " pixels";
            float blockX = 0.0f, blockY = 0.0f;
            if (OnScreen(playGamePhase.level.selectedActor->GetWorldPosition(), blockX, blockY))
            {
                EXPECT_GT(std::accumulate(std::begin(shown), std::end(shown), 0), 0)
                    << where << ": no arrow shows";
            }
            playGamePhase.ClearSelection();
            timer.deltaTime = 1.0f;
            for (int32_t frame = 0; frame < 20 && set.state != MivoArrowSet::Finished; ++frame)
                playGamePhase.AnimateArrows(set);
            timer.deltaTime = 0.0f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ShippedMaps, PlayMapFrame,
                         ::testing::Combine(::testing::ValuesIn(kMaps), ::testing::ValuesIn(HalfScreens())),
                         Named);

namespace
{

// db001's last table: teleports, a track, a magnet, walls.
class PlayMapScreen : public PlayMapFrame
{
protected:
    int32_t Level() const override { return 1020; }
};

} // namespace

// The first view of db001's last table in the skill mode,
// the map around the whole board and the display beside it, against a stored reference for each
// map at 4:3 and 16:9 (tests/game/reference/play_<map>_<size>.bmp; make them again with
// WE_UPDATE_REFERENCE=1 and look at them before committing them).
TEST_P(PlayMapScreen, TheFirstViewOfTheLastTableOfTheFirstRegion)
{
    const auto& [map, screen] = GetParam();
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" /
                ("play_" + std::string(map) + "_" + SizeName(screen) + ".bmp");
    PlayScreen frame;
    ExpectMatchesReference(Shoot(frame), screen.width * screen.height / 100);
}

INSTANTIATE_TEST_SUITE_P(ShippedMaps, PlayMapScreen,
                         ::testing::Combine(::testing::ValuesIn(kMaps),
                                            ::testing::Values(kScreenSizes[0], kScreenSizes[3])),
                         Named);
