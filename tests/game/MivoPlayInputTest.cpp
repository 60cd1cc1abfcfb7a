// The level played through the engine's input as a player plays it: the cursor placed by the
// window system over what the camera draws, the buttons, wheel and keys from scripted
// DirectInput devices, polled once a frame as the run loop polls them.
#include "../core/ScriptedDirectInput.h"
#include "MivoBoard.h"
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoMenuIngamePhase.h"
#include "MivoStatisticPhase.h"
#include "PlayFixture.h"
#include "WeAppWindow.h"
#include "WeEngine.h"
#include "WeInput.h"
#include "win32/Win32Cursor.h"

#include <algorithm>
#include <sstream>

namespace
{

using Phase = MivoPlayGamePhase;
constexpr int32_t kWidth = 640, kHeight = 480;
constexpr uint8_t kEscape = 1;

class PlayByInput : public PlayPhase
{
protected:
    void SetUp() override
    {
        PlayPhase::SetUp();
        savedSettings = engine.settings;
        engine.settings.width = kWidth;
        engine.settings.height = kHeight;
        ASSERT_TRUE(window.Create("PlayInput", "", nullptr, 0, 0, kWidth, kHeight, true, 3, 0, false, false,
                                  true, nullptr));
        engine.window = &window;
        ASSERT_TRUE(input.Init(nullptr, false));
        MivoUser& user = *userData.CurrentUser();
        std::fill(std::begin(user.tutorialsSeen), std::end(user.tutorialsSeen), uint8_t(1));
        userData.gameMode = MivoModeSkill;
        gameApp.mapToPlay = 1002;
    }
    void TearDown() override
    {
        PlayPhase::TearDown();
        input.Shutdown();
        engine.window = nullptr;
        engine.settings = savedSettings;
    }
    // One frame of the run loop: the poll, the phases and the UI with 0.1 s, and the camera's
    // view as the frame's drawing leaves it.
    void Frame()
    {
        input.Poll();
        PlayStep();
        if (playGamePhase.camera)
            playGamePhase.camera->WeCamera::Update();
    }
    bool FrameUntil(const std::function<bool()>& condition, int32_t frames = 400)
    {
        for (int32_t i = 0; i < frames && !condition(); ++i)
            Frame();
        return condition();
    }
    bool StartPlaying()
    {
        StartLevel();
        return FrameUntil([] { return playGamePhase.state == Phase::Playing; });
    }
    dinput::DIMOUSESTATE2& Mouse()
    {
        return *reinterpret_cast<dinput::DIMOUSESTATE2*>(devices.script.mouse.state);
    }
    void Button(int32_t button, bool down) { Mouse().rgbButtons[button] = down ? 0x80 : 0; }
    // The cursor over the world point where the level's camera draws it.
    void PointAt(const WeVector& world)
    {
        const WeVector4 p = d3dx::D3DXVec3Transform(world, playGamePhase.camera->viewProjection);
        win32::POINT point{int32_t((p.x / p.w + 1.0f) * 0.5f * kWidth),
                           int32_t((1.0f - p.y / p.w) * 0.5f * kHeight)};
        win32::ClientToScreen(window.handle, &point);
        win32::SetCursorPos(point.x, point.y);
    }
    static MivoBlock* Top(int32_t x, int32_t y) { return playGamePhase.table->Cell(x, y)->top.get(); }
    static WeVector Drawn(const MivoBlock* block)
    {
        return reinterpret_cast<const WeActor*>(block->presentation[0])->GetWorldPosition();
    }
    // Presses on the block's drawn pixel and holds while its arrows grow.
    void PressOn(const MivoBlock* block)
    {
        PointAt(Drawn(block));
        Button(0, true);
        for (int32_t i = 0; i < 4; ++i)
            Frame();
    }
    // Drags onto the cell beyond the block in the direction, where its arrow points, and releases.
    void DragAndRelease(const MivoBlock* block, int32_t direction)
    {
        static const WeVector kBeyond[] = {{0, 0, 1.01f}, {1.01f, 0, 0}, {0, 0, -1.01f}, {-1.01f, 0, 0}};
        PointAt(Drawn(block) + kBeyond[(direction - 1) / 2]);
        Frame();
        Button(0, false);
        Frame();
    }

    WeEngineSettings savedSettings;
    WeAppWindow window;
    ScriptedInputScope devices;
};

} // namespace

TEST_F(PlayByInput, AShippedLevelsSolutionWinsByPressingDraggingAndReleasing)
{
    ASSERT_TRUE(StartPlaying());
    std::istringstream moves(WeConfig::GetString("db001.Table2.Solution", "").GetData());
    int32_t x = 0, y = 0, direction = 0, played = 0;
    char comma = 0;
    while (moves >> x >> comma >> y >> comma >> direction)
    {
        ASSERT_TRUE(FrameUntil([] { return playGamePhase.board->IsAtRest(); }));
        MivoBlock* block = Top(x, y);
        ASSERT_NE(block, nullptr) << x << "," << y;
        PressOn(block);
        EXPECT_EQ(playGamePhase.board->selected, block);
        ASSERT_NE(playGamePhase.CurrentArrows(), nullptr);
        DragAndRelease(block, direction);
        EXPECT_EQ(playGamePhase.board->selected, nullptr);
        EXPECT_FALSE(playGamePhase.board->IsAtRest() && Top(x, y) == block) << "move " << played << " made";
        ++played;
    }
    EXPECT_EQ(played, 4);
    ASSERT_TRUE(FrameUntil([] { return phaseStack.GetTop() == &statisticPhase; }));
    EXPECT_FALSE(statisticPhase.lost);
    EXPECT_EQ(userData.levelScore, 7 + 250) << "2 and 3 merged, then two fives vanished";
    EXPECT_EQ(userData.CurrentUser()->skill.level, 1);
    EXPECT_FALSE(playGamePhase.playing);
}

TEST_F(PlayByInput, ASkillLevelIsLostAtThreeHundredSecondsAndCostsALife)
{
    ASSERT_TRUE(StartPlaying());
    ASSERT_TRUE(FrameUntil([] { return phaseStack.GetTop() == &statisticPhase; }, 3100));
    EXPECT_GT(playGamePhase.elapsed, 300.0f);
    EXPECT_LT(playGamePhase.elapsed, 300.15f);
    EXPECT_TRUE(statisticPhase.lost);
    EXPECT_EQ(userData.CurrentUser()->skill.lives, 2);
}

TEST_F(PlayByInput, ThePauseMenuStopsTheClockAndEscapeOnATutorialDoesNot)
{
    ASSERT_TRUE(StartPlaying());
    const auto escape = [this]
    {
        devices.Key(kEscape, true);
        Frame();
        devices.Key(kEscape, false);
        Frame();
    };
    escape();
    ASSERT_EQ(phaseStack.GetTop(), &menuIngamePhase);
    const float paused = playGamePhase.elapsed;
    for (int32_t i = 0; i < 20; ++i)
        Frame();
    EXPECT_EQ(playGamePhase.elapsed, paused);
    escape();
    ASSERT_EQ(phaseStack.GetTop(), &playGamePhase);
    Frame();
    EXPECT_GT(playGamePhase.elapsed, paused);

    // A tutorial on screen: Escape closes it and leaves the level running.
    playGamePhase.level.tutorialPending[0] = 1;
    userData.CurrentUser()->tutorialsSeen[0] = 0;
    playGamePhase.state = Phase::CheckTutorials;
    Frame();
    ASSERT_TRUE(Visible("IngameTutorialWindow"));
    escape();
    EXPECT_EQ(phaseStack.GetTop(), &playGamePhase);
    EXPECT_TRUE(FrameUntil([] { return !Visible("IngameTutorialWindow"); }, 20));
}

TEST_F(PlayByInput, NothingIsPickedWhileBlocksMoveAndAWallTakesNoPress)
{
    ASSERT_TRUE(StartPlaying());
    MivoBlock* two = Top(4, 6);
    MivoBlock* three = Top(9, 6);
    playGamePhase.board->TryMove(three, 5, false);
    PressOn(two);
    EXPECT_EQ(playGamePhase.board->selected, nullptr) << "blocks move";
    EXPECT_EQ(playGamePhase.level.pulsingActor, nullptr);
    Button(0, false);
    ASSERT_TRUE(FrameUntil([] { return playGamePhase.board->IsAtRest(); }));

    gameApp.mapToPlay = 1003; // a wall at 13,2
    phaseStack.Request(&playGamePhase, WePhaseCommand::Switch);
    Frame();
    ASSERT_TRUE(FrameUntil([] { return playGamePhase.state == Phase::Playing; }));
    PressOn(Top(13, 2));
    EXPECT_EQ(playGamePhase.board->selected, nullptr);
    EXPECT_EQ(playGamePhase.level.pulsingActor, nullptr);
    EXPECT_TRUE(playGamePhase.level.arrowSets.empty());
}

TEST_F(PlayByInput, TheRightButtonTurnsTheCameraAndTheWheelZooms)
{
    ASSERT_TRUE(StartPlaying());
    const MivoGameCamera& camera = *playGamePhase.camera;
    const float h = camera.targets[MivoGameCamera::horizontal];
    const float d = camera.targets[MivoGameCamera::distance];
    struct Case
    {
        bool right;
        int32_t dx, wheel;
        bool turns, zooms;
    };
    const Case cases[] = {
        {false, 40, 0, false, false}, {true, 40, 0, true, false}, {false, 0, 120, false, true}};
    for (const Case& c : cases)
    {
        playGamePhase.camera->targets[MivoGameCamera::horizontal] = h;
        playGamePhase.camera->targets[MivoGameCamera::distance] = d;
        Button(1, c.right);
        Mouse().lX = c.dx;
        Mouse().lZ = c.wheel;
        Frame();
        Button(1, false);
        Mouse().lX = Mouse().lZ = 0;
        EXPECT_EQ(camera.targets[MivoGameCamera::horizontal] != h, c.turns) << c.dx << " " << c.right;
        EXPECT_EQ(camera.targets[MivoGameCamera::distance] < d, c.zooms) << c.wheel;
    }
}

TEST_F(PlayByInput, APickerRingsAnEntranceWithTheBlocksItLetsThroughAndGoesWhenLeft)
{
    gameApp.mapToPlay = 1013; // a teleport of group 1 at 4,8 sending to 11,3
    ASSERT_TRUE(StartPlaying());
    MivoBlock* entrance = playGamePhase.table->Cell(4, 8)->floor.get();
    const WeActor* exit =
        reinterpret_cast<const WeActor*>(playGamePhase.table->Cell(11, 3)->floor->presentation[0]);
    ASSERT_TRUE(entrance && exit);
    struct Case
    {
        const char* numbers;
        bool others;
        std::vector<int32_t> ring; // the material sets of the ring's blocks
    };
    const Case cases[] = {
        {"357", false, {38, 46, 54}}, {"123456789", true, {}}, {"1", true, {30, 100, 104, 2, 1, 5}}};
    for (const Case& c : cases)
    {
        entrance->teleport.acceptsNumber.fill(0);
        for (const char* n = c.numbers; *n; ++n)
            entrance->teleport.acceptsNumber[size_t(*n - '1')] = 1;
        entrance->teleport.acceptsOthers = c.others ? 1 : 0;
        PointAt(Drawn(entrance));
        for (int32_t i = 0; i < 5; ++i)
            Frame();
        ASSERT_EQ(playGamePhase.level.pickerBlock, entrance) << c.numbers;
        std::vector<int32_t> ring;
        for (const WeActor* actor : playGamePhase.level.pickerActors)
            ring.push_back(actor->materialPreset);
        EXPECT_EQ(ring, c.ring) << c.numbers;
        // The arrow stands over the exit a block would come out of, drawn in the picker's set.
        const WeActor* arrow = playGamePhase.level.pickerArrow;
        ASSERT_NE(arrow, nullptr);
        EXPECT_TRUE(arrow->visible);
        EXPECT_EQ(arrow->materialPreset, 5);
        EXPECT_FLOAT_EQ(arrow->GetLocation().x, exit->GetLocation().x);
        EXPECT_GT(playGamePhase.level.pickerFloat, 0.3f) << "grown for most of half a second";
        EXPECT_FLOAT_EQ(arrow->scale.x, playGamePhase.level.pickerFloat);

        // Away from the teleport the ring shrinks for as long as it grew, then it and the arrow go.
        PointAt(Drawn(Top(1, 8)));
        for (int32_t i = 0; i < 3; ++i)
            Frame();
        EXPECT_EQ(playGamePhase.level.pickerBlock, entrance) << "still shrinking";
        ASSERT_TRUE(FrameUntil([] { return !playGamePhase.level.pickerBlock; }, 4)) << c.numbers;
        EXPECT_TRUE(playGamePhase.level.pickerActors.empty());
        EXPECT_EQ(playGamePhase.level.pickerArrow, nullptr);
    }
}
