// The board of db001's last table (teleports, a track, a magnet, a U block, walls) drawn through
// the play phase on the OpenGL back end after the camera's fly-in, with the move arrows grown
// around one block, against a stored reference image (tests/game/reference/play_board.bmp; make
// it again with WE_UPDATE_REFERENCE=1 and look at it before committing it).
#include "MivoBoard.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoStatisticPhase.h"
#include "PlayScreenFrame.h"
#include "ShippedDatabases.h"
#include "WeSceneRenderer.h"

#include <set>
#include <string>

TEST_F(PlayBoardFrame, TheLastTableOfTheFirstRegionWithArrowsAroundABlock)
{
    StartGl(400, 300);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "play_board.bmp";
    WeSRand(1); // the walls' turns
    gameApp.mapToPlay = 1020;
    MivoPlayGamePhase& play = playGamePhase;
    play.scene = std::make_unique<MivoGameScene>();
    play.board = MivoBoard::Create();
    play.camera = std::make_unique<MivoGameCamera>();
    play.camera->bases[MivoGameCamera::vertical] = 89.0f;
    play.camera->bases[MivoGameCamera::distance] = 19.0f;
    play.BuildBoard();
    ASSERT_NE(play.table, nullptr);
    play.BuildBlockMaterials();
    play.state = MivoPlayGamePhase::Playing;
    play.CreateArrows(play.table->Cell(1, 2)->top.get());
    timer.deltaTime = 0.1f;
    for (int32_t frame = 0; frame < 5; ++frame)
        play.AnimateArrows(*play.CurrentArrows());
    play.scene->Tick();
    PlayFrame frame;
    ExpectMatchesReference(Shoot(frame), 400);
}

// The skill mode's display (map name, score, best, time bar, moves, bonus cubes) over db001's
// second table, with a score floating over a block, drawn by the play phase and the UI.
TEST_F(PlayScreenFrame, TheSkillDisplayOverTheBoardWithAFloatingScore)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "play_display.bmp";
    ASSERT_TRUE(PlayLevel(1002));
    playGamePhase.AddScore(nullptr, 40, playGamePhase.table->Cell(9, 6)->top.get());
    Frames(3);
    PlayScreen screen;
    ExpectMatchesReference(Shoot(screen), 400);
}

// A won skill level: its bonuses and the awarded cube over the darkened board.
TEST_F(PlayScreenFrame, TheResultOfAWonLevelOverTheDarkenedBoard)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "level_result.bmp";
    ASSERT_TRUE(PlayLevel(1002));
    WeUIEvent won = MivoMadeEvent(MivoPlayGamePhase::kWonId);
    ASSERT_TRUE(playGamePhase.OnUIEvent(&won));
    Frames(20);
    ASSERT_EQ(phaseStack.GetTop(), &statisticPhase);
    PlayScreen screen;
    ExpectMatchesReference(Shoot(screen), 400);
}

namespace
{

// Right and bottom exclusive.
struct ScreenBox
{
    float left, top, right, bottom;
};

bool Overlap(const ScreenBox& a, const ScreenBox& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Describe(const ScreenBox& b)
{
    return "(" + std::to_string(int(b.left)) + "," + std::to_string(int(b.top)) + ")-(" +
           std::to_string(int(b.right)) + "," + std::to_string(int(b.bottom)) + ")";
}

// The map id of a shipped table of the largest size (the widest of the tallest).
int32_t LargestTable()
{
    int32_t best = 0, bestWidth = 0, bestHeight = 0;
    for (const auto& [name, database] : ReadShippedDatabases())
        for (size_t t = 0; database && t < database->tables.size(); ++t)
        {
            const MivoMapTable& table = *database->tables[t];
            if (table.height > bestHeight || (table.height == bestHeight && table.width > bestWidth))
            {
                bestWidth = table.width, bestHeight = table.height;
                best = std::stoi(name.substr(2)) * 1000 + int32_t(t) + 1;
            }
        }
    return best;
}

// A level of the largest table in the skill mode, with the menu overlay's player label, on a
// screen of the size given.
class BoardFraming : public PlayScreenFrame, public testing::WithParamInterface<ScreenSize>
{
protected:
    // Where the play stands the block of a cell: every block of the table stands there.
    static WeVector CellCentre(const MivoMapCell& cell) { return {cell.fx, 0.0f, -cell.fy}; }
    static void ExpectBlocksOnTheirCells()
    {
        int32_t blocks = 0;
        playGamePhase.table->ForEachCell(
            [&blocks](const MivoMapCell& cell)
            {
                if (const MivoActor* actor = MivoActorOf(cell.top.get()))
                {
                    const WeVector at = actor->GetLocation(), centre = CellCentre(cell);
                    EXPECT_NEAR(at.x, centre.x, 1e-4f);
                    EXPECT_NEAR(at.y, centre.y, 1e-4f);
                    EXPECT_NEAR(at.z, centre.z, 1e-4f);
                    ++blocks;
                }
            });
        EXPECT_GT(blocks, 0);
    }
    // The box the camera shows the four corner cells of the table in, their blocks' pick cubes
    // whole, in back-buffer pixels.
    static ScreenBox CornerCells()
    {
        MivoGameCamera& camera = *playGamePhase.camera;
        camera.Update(0.0f);
        camera.WeCamera::Update();
        const MivoMapTable& table = *playGamePhase.table;
        const float w = float(renderDevice.BackBufferWidth()), h = float(renderDevice.BackBufferHeight());
        ScreenBox box{w, h, 0.0f, 0.0f};
        const float half = MivoPlayGamePhase::kPickHalfSize;
        for (const int32_t x : {0, table.width - 1})
            for (const int32_t y : {0, table.height - 1})
            {
                const WeVector centre = CellCentre(*table.Cell(x, y));
                for (const float dx : {-half, half})
                    for (const float dy : {-half, half})
                        for (const float dz : {-half, half})
                        {
                            const WeVector p = d3dx::D3DXVec3TransformCoord(
                                {centre.x + dx, centre.y + dy, centre.z + dz}, camera.viewProjection);
                            const float sx = (p.x + 1.0f) * 0.5f * w, sy = (1.0f - p.y) * 0.5f * h;
                            box = {std::min(box.left, sx), std::min(box.top, sy), std::max(box.right, sx),
                                   std::max(box.bottom, sy)};
                        }
            }
        return box;
    }
    // The rectangles of the display over the board: every shown widget of the in-game window and
    // the player label, but the tutorial and the cubes' hints, which open over the board.
    static std::vector<std::pair<std::string, ScreenBox>> Display()
    {
        std::vector<std::pair<std::string, ScreenBox>> boxes;
        std::function<void(const WeUIComponent*)> collect = [&](const WeUIComponent* c)
        {
            if (!c->visible || c->name == "IngameTutorialWindow" || c->name.Find("IngameBonusCubeHint") == 0)
                return;
            if (c->name != "IngameWindow")
                boxes.push_back(
                    {c->name.GetData(), {float(c->x), float(c->y), float(c->x + c->w), float(c->y + c->h)}});
            for (const WeUIComponent* child : c->children)
                collect(child);
        };
        for (const char* top : {"IngameWindow", "MenuOverlayCurrentUserLabel"})
            if (const WeUIComponent* c = MivoFindWidget(top))
                collect(c);
        return boxes;
    }
    // Presses the digit key of a camera view and lets the camera get there.
    static void View(int32_t key)
    {
        input.keysClicked[key + 1] = 1;
        ++input.clickedCount;
        for (int32_t i = 0; i < 100; ++i)
        {
            Frames(1);
            playGamePhase.camera->Update(0.1f);
        }
    }
};

} // namespace

TEST_P(BoardFraming, TheFirstViewAndKeysOneAndTwoShowTheLargestTableWholeBesideTheDisplay)
{
    const int32_t map = LargestTable();
    ASSERT_GT(map, 0);
    ASSERT_TRUE(PlayLevel(map, GetParam()));
    ExpectBlocksOnTheirCells();
    uiMain.LoadComponents("MenuOverlay");
    playGamePhase.UpdateLivesLabel(-1);
    Frames(1);
    const std::vector<std::pair<std::string, ScreenBox>> display = Display();
    ASSERT_GT(display.size(), 20u) << "the skill mode's display with its cubes";
    const ScreenBox screen{0.0f, 0.0f, float(renderDevice.BackBufferWidth()),
                           float(renderDevice.BackBufferHeight())};
    for (const int32_t key : {0, 2, 1})
    {
        if (key > 0)
            View(key);
        const ScreenBox board = CornerCells();
        const std::string view = key == 0 ? "the first view" : "the view of key " + std::to_string(key);
        EXPECT_TRUE(board.left >= screen.left && board.top >= screen.top && board.right <= screen.right &&
                    board.bottom <= screen.bottom)
            << view << ": " << Describe(board);
        for (const auto& [name, box] : display)
            EXPECT_FALSE(Overlap(board, box))
                << view << ": the board " << Describe(board) << " under " << name << " " << Describe(box);
    }
}

INSTANTIATE_TEST_SUITE_P(AspectRatios, BoardFraming, testing::ValuesIn(kScreenSizes),
                         [](const testing::TestParamInfo<ScreenSize>& size) { return SizeName(size.param); });

// db001's last table over each shipped background map, frame by frame as the game draws them:
// the map's load draws every look of the level's first frames ahead of them, its board
// rehearsed, so that none of those frames, up to the end of the camera's fly-in, meets a look
// the driver has not drawn before (and makes its program there); the rehearsal is gone when
// the board stands.
TEST_F(PlayScreenFrame, TheMapsLoadWarmsUpEveryLookOfTheLevelsFirstFrames)
{
    ASSERT_TRUE(StartScreen());
    std::set<std::string> shipped;
    for (const auto& [name, value] : worlds)
        shipped.insert(value.GetData());
    ASSERT_GE(shipped.size(), 2u);
    PlayScreen screen;
    for (const std::string& world : shipped)
    {
        SwitchToLevel(1020, world.c_str());
        sceneRenderer.coldLooks = 0;
        ASSERT_TRUE(
            FramesUntil([] { return playGamePhase.state >= MivoPlayGamePhase::CheckTutorials; }, &screen))
            << world;
        EXPECT_GT(playGamePhase.scene->actors.GetCount(), int32_t(playGamePhase.level.blocks.size()))
            << world;
        EXPECT_TRUE(playGamePhase.level.rehearsal.empty()) << world;
        EXPECT_EQ(sceneRenderer.coldLooks, 0) << world;
    }
}
