// The board of db001's last table (teleports, a track, a magnet, a U block, walls) drawn through
// the play phase on the OpenGL back end after the camera's fly-in, with the move arrows grown
// around one block, against a stored reference image (tests/game/reference/play_board.bmp; make
// it again with WE_UPDATE_REFERENCE=1 and look at it before committing it).
#include "../core/TempFolder.h"
#include "../render/GlFrameFixture.h"
#include "MivoBoard.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoStatisticPhase.h"
#include "MivoUserData.h"
#include "PlayFixture.h"
#include "WeCanvas.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"
#include "WeRandom.h"
#include "WeSceneRenderer.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <functional>
#include <set>
#include <string>

namespace
{

class PlayFrame : public WeApplication
{
public:
    const char* GetName() override { return "PlayFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { playGamePhase.Render(); }
};

class PlayBoardFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        playGamePhase.Leave();
        MivoFreeLevelResources();
        GlFrameFixture::TearDown();
    }
};

} // namespace

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

namespace
{

class PlayScreen : public WeApplication
{
public:
    const char* GetName() override { return "PlayScreen"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        phaseStack.Render();
        uiMain.Render();
    }
};

// A skill level played through the play phase and the UI (laid out for 800x600) with the board
// alone, no background world, drawn into a 400x300 frame.
class PlayScreenFrame : public PlayBoardFrame
{
protected:
    void TearDown() override
    {
        phaseStack.LeaveAll();
        uiMain.Shutdown();
        userData.FreeAll();
        userData.gameMode = MivoModeNone;
        for (auto& [name, value] : worlds)
            *name = value;
        PlayBoardFrame::TearDown();
    }
    // The level of the map to its first playing frame with every fade over; false when it
    // does not get there.
    bool PlayLevel(int32_t map)
    {
        if (!StartScreen())
            return false;
        SwitchToLevel(map);
        return FramesUntil(
            [] { return playGamePhase.state == MivoPlayGamePhase::Playing && uiMain.hiding.IsEmpty(); });
    }
    // The device, the UI and a player for skill levels; false without the player.
    bool StartScreen()
    {
        StartGl(400, 300);
        engine.settings.uiSourceWidth = 800;
        engine.settings.uiSourceHeight = 600;
        if (localization.GetLanguageName().IsEmpty())
            localization.LoadAll();
        userData.SetFolder(players / "");
        if (!userData.CreateUser("Ana"))
            return false;
        MivoUser& user = *userData.CurrentUser();
        std::fill(std::begin(user.tutorialsSeen), std::end(user.tutorialsSeen), uint8_t(1));
        user.skill.cubes[0] = 4;
        userData.gameMode = MivoModeSkill;
        for (int32_t world = 1; world <= 15; ++world)
        {
            WeString& name = WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(world), "");
            worlds.emplace_back(&name, name);
        }
        uiMain.SetPainter(nullptr);
        uiMain.Init();
        uiMain.cursorVisible = false;
        return true;
    }
    // The map's level over the background map of every world (none: the board alone), switched
    // in and begun.
    void SwitchToLevel(int32_t map, const char* world = "NoSuchMap")
    {
        for (auto& [name, value] : worlds)
            *name = world;
        WeSRand(1);
        gameApp.mapToPlay = map;
        gameApp.questPlace = -1;
        timer.deltaTime = 0.1f;
        phaseStack.Request(&playGamePhase, Top() ? WePhaseCommand::Switch : WePhaseCommand::Push);
        phaseStack.Update(); // the level begins
    }
    static WeAbstractPhase* Top() { return phaseStack.GetTop(); }
    // Frames until the condition holds, at most 400, each drawn on the screen when one is
    // given, else only the camera's fly-in moving as the phase's Render moves it; whether it
    // came to hold.
    bool FramesUntil(const std::function<bool()>& done, WeApplication* screen = nullptr)
    {
        for (int32_t i = 0; i < 400 && !done(); ++i)
        {
            Frames(1);
            if (screen)
            {
                application = screen;
                renderDevice.RenderFrame();
                application = &app;
            }
            else if (playGamePhase.camera)
                playGamePhase.camera->Update(0.1f);
        }
        return done();
    }
    // Frames of 0.1 s with the level's clock held at 100 s.
    static void Frames(int32_t count)
    {
        for (int32_t i = 0; i < count; ++i)
        {
            timer.deltaTime = 0.1f;
            playGamePhase.elapsed = 100.0f;
            uiMain.ProcessEvents();
            phaseStack.Update();
            uiMain.Update();
        }
    }

    TempFolder players;
    std::vector<std::pair<WeString*, WeString>> worlds;
};

} // namespace

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
        EXPECT_GT(playGamePhase.scene->actors.GetCount(), int32_t(playGamePhase.blocks.size())) << world;
        EXPECT_TRUE(playGamePhase.rehearsal.empty()) << world;
        EXPECT_EQ(sceneRenderer.coldLooks, 0) << world;
    }
}
