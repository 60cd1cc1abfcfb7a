#include "RecordingEngineParts.h"
#include "StampedName.h"

#include "WeAppWindow.h"
#include "WeEngine.h"
#include "WeTimer.h"
#include "win32/Win32Cursor.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

namespace
{

using Log = std::vector<std::string>;

// An application whose Update goes into the parts' log.
class LoggingUpdateApplication : public WeApplication
{
public:
    explicit LoggingUpdateApplication(RecordingEngineParts& parts) : parts(parts) {}
    const char* GetName() override { return "EngineTest"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Update() override { parts.Add("app Update"); }

private:
    RecordingEngineParts& parts;
};

class Engine : public ::testing::Test
{
protected:
    void SetUp() override { application = &app; }
    void TearDown() override { application = nullptr; }

    bool Start() { return engine.Init(nullptr, nullptr, "EngineTest", "device text"); }

    void LoseFocus() const
    {
        SDL_Event event{};
        event.window.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(win32::GetSdlWindow(engine.window->handle));
        event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        SDL_PushEvent(&event);
    }

    RecordingEngineScope scope;
    RecordingEngineParts& parts = scope.parts;
    LoggingUpdateApplication app{parts};
};

const Log kStartOrder{"StartTimer", "BeginAudio",  "InitRenderDevice", "InitAudio",
                      "InitInput",  "InitPhysics", "InitUI",           "LoadScreenshotFont"};

TEST_F(Engine, InitStartsThePartsInTheirOrderOnAWindowOfItsOwn)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(parts.log, kStartOrder);
    EXPECT_TRUE(engine.initialised);
    ASSERT_NE(engine.window, nullptr);
    EXPECT_TRUE(engine.ownsWindow);
    EXPECT_TRUE(engine.window->IsRunning());
    EXPECT_EQ(parts.renderDeviceText, "device text");
    EXPECT_TRUE(engine.lastError.IsEmpty());
    EXPECT_FALSE(engine.cursorShown); // the engine's window hides the system cursor
}

TEST_F(Engine, ASecondInitChangesNothing)
{
    ASSERT_TRUE(Start());
    WeAppWindow* window = engine.window;
    parts.log.clear();
    EXPECT_TRUE(Start());
    EXPECT_TRUE(parts.log.empty());
    EXPECT_EQ(engine.window, window);
}

TEST_F(Engine, ASizeOfZeroTakesTheScreens)
{
    engine.settings.width = 0;
    engine.settings.height = 0;
    ASSERT_TRUE(Start());
    EXPECT_EQ(engine.settings.width, win32::GetSystemMetrics(win32::SM_CXSCREEN));
    EXPECT_EQ(engine.settings.height, win32::GetSystemMetrics(win32::SM_CYSCREEN));
    EXPECT_EQ(parts.renderDeviceWidth, engine.settings.width);
    EXPECT_GT(parts.renderDeviceHeight, 0);
}

struct FailureCase
{
    const char* failing;
    const char* text;
    Log undone; // what the failed start shuts down, newest first
};

TEST_F(Engine, AFailedStartLeavesItsTextAndUndoesWhatItStarted)
{
    const FailureCase cases[] = {
        {"InitRenderDevice",
         "Error creating rendering device!",
         {"ShutdownAudio", "ShutdownRenderDevice", "StopTimer"}},
        {"InitAudio", "Error creating audio device!", {"ShutdownAudio", "ShutdownRenderDevice", "StopTimer"}},
        {"InitInput",
         "Error creating input device!",
         {"ShutdownInput", "ShutdownAudio", "ShutdownRenderDevice", "StopTimer"}},
        {"InitPhysics",
         "Error creating physicsdevice!",
         {"ShutdownPhysics", "ShutdownInput", "ShutdownAudio", "ShutdownRenderDevice", "StopTimer"}},
    };
    for (const FailureCase& failure : cases)
    {
        parts.failing = {failure.failing};
        parts.log.clear();
        EXPECT_FALSE(Start()) << failure.failing;
        EXPECT_EQ(engine.lastError, failure.text);
        const int failedAt = parts.IndexOf(failure.failing);
        ASSERT_GE(failedAt, 0);
        EXPECT_EQ(Log(parts.log.begin() + failedAt + 1, parts.log.end()), failure.undone) << failure.failing;
        EXPECT_EQ(engine.window, nullptr);
        EXPECT_FALSE(engine.initialised);
        EXPECT_FALSE(engine.pollInput);
        // Another start with other settings begins from nothing and succeeds.
        parts.failing.clear();
        parts.log.clear();
        ASSERT_TRUE(Start()) << failure.failing;
        EXPECT_EQ(parts.log, kStartOrder);
        engine.Shutdown();
    }
}

TEST_F(Engine, TheFailingPartsOwnTextWinsOverTheGenericOne)
{
    parts.failing = {"InitAudio"};
    parts.audioOwnText = "Error: Cannot create OpenAL device";
    EXPECT_FALSE(Start());
    EXPECT_EQ(engine.lastError, "Error: Cannot create OpenAL device");
}

TEST_F(Engine, AWindowThatCannotBeMadeGivesTheWindowsOwnText)
{
    win32::WNDCLASSEXA taken{};
    taken.lpfnWndProc = win32::DefWindowProcA;
    taken.lpszClassName = "EngineTest";
    ASSERT_TRUE(win32::RegisterClassExA(taken));
    EXPECT_FALSE(Start());
    EXPECT_EQ(engine.lastError, "Error registering application window class - error #00000582");
    EXPECT_EQ(parts.IndexOf("InitRenderDevice"), -1);
    EXPECT_EQ(engine.window, nullptr);
    EXPECT_TRUE(win32::UnregisterClassA("EngineTest", nullptr)); // the failure left the class alone
    EXPECT_TRUE(Start());
}

TEST_F(Engine, AnUpdateRunsThePartsInTheirOrder)
{
    ASSERT_TRUE(Start());
    parts.log.clear();
    engine.Update();
    const Log expected{"CheckDevice",     "BeginInputFrame", "PollInput",       "UpdateAudio",
                       "ClearDebugLines", "AddPhysicsLines", "ProcessUIEvents", "app Update",
                       "UpdateUI",        "UpdateTimer",     "LimitFrameRate"};
    EXPECT_EQ(parts.log, expected);
    EXPECT_TRUE(engine.focused);
    parts.log.clear();
    engine.Render();
    EXPECT_EQ(parts.log, Log{"RenderFrame"});
    EXPECT_GE(timer.profileSlots[WeEngine::kUpdateProfileSlot].totalStops, 1);
    EXPECT_STREQ(timer.profileSlots[WeEngine::kRenderProfileSlot].label, "WeEngine::Render");
}

TEST_F(Engine, InTheBackgroundTheUpdateStillRunsButInputIsNotPolledAndNothingIsDrawn)
{
    ASSERT_TRUE(Start());
    LoseFocus();
    engine.Update(); // its message pump sees the focus go
    parts.log.clear();
    engine.Update();
    EXPECT_FALSE(engine.focused);
    EXPECT_EQ(parts.IndexOf("PollInput"), -1);
    EXPECT_GE(parts.IndexOf("app Update"), 0);
    EXPECT_GE(parts.IndexOf("UpdateTimer"), 0);
    EXPECT_GE(parts.IndexOf("ProcessUIEvents"), 0);
    parts.log.clear();
    engine.Render();
    EXPECT_TRUE(parts.log.empty());
}

TEST_F(Engine, ADeviceBeyondResetClosesTheRunOnlyWhenTheSettingsSaySo)
{
    ASSERT_TRUE(Start());
    parts.deviceState = WeDeviceState::Failed;
    engine.settings.closeOnDeviceFailure = false;
    engine.Update();
    EXPECT_TRUE(engine.window->alive);
    EXPECT_FALSE(engine.focused);
    engine.settings.closeOnDeviceFailure = true;
    engine.Update();
    EXPECT_TRUE(engine.fatalDeviceError);
    EXPECT_FALSE(engine.window->IsRunning());
}

TEST_F(Engine, APhysicsStepStartedInOneUpdateIsFetchedInTheNext)
{
    ASSERT_TRUE(Start());
    engine.physicsOn = true;
    engine.Update();
    EXPECT_EQ(parts.Count("StartPhysicsStep"), 1);
    EXPECT_EQ(parts.IndexOf("FetchPhysics"), -1);
    EXPECT_TRUE(engine.physicsStepRunning);
    parts.log.clear();
    engine.Update();
    EXPECT_LT(parts.IndexOf("FetchPhysics"), parts.IndexOf("AddPhysicsLines"));
    EXPECT_GE(parts.IndexOf("FetchPhysics"), 0);
    parts.log.clear();
    engine.Shutdown();
    EXPECT_LT(parts.IndexOf("FetchPhysics"), parts.IndexOf("ShutdownPhysics"));
}

TEST_F(Engine, ShutdownStopsEverythingInItsOrderOnce)
{
    ASSERT_TRUE(Start());
    parts.log.clear();
    engine.Shutdown();
    const Log expected{"LeavePhases",
                       "DeleteRenderTargetsAndShaders",
                       "FreeResources forced",
                       "AddPhysicsLines",
                       "ShutdownPhysics",
                       "ShutdownAudio",
                       "ShutdownRenderDevice",
                       "ShutdownInput",
                       "StopTimer",
                       "ShutdownUI"};
    EXPECT_EQ(parts.log, expected);
    EXPECT_EQ(engine.window, nullptr);
    parts.log.clear();
    engine.Shutdown();
    engine.Update();
    engine.Render();
    EXPECT_TRUE(parts.log.empty());
}

TEST_F(Engine, FreeAllKeepsTheFixedResources)
{
    ASSERT_TRUE(Start());
    parts.log.clear();
    engine.FreeAll();
    EXPECT_EQ(parts.log, (Log{"AddPhysicsLines", "FreeResources"}));
}

TEST_F(Engine, TheScreenshotIsNamedAfterTheLocalTime)
{
    engine.TakeScreenshot();
    ASSERT_EQ(parts.log.size(), 1u);
    EXPECT_TRUE(IsStampedName(parts.log[0], "SaveScreenshot Screenshot-", ".bmp")) << parts.log[0];
}

TEST_F(Engine, APrintScreenClickIsTakenRightAfterThePollAndOnlyWhenInputIsPolled)
{
    ASSERT_TRUE(Start());
    parts.log.clear();
    parts.screenshotClicked = true;
    engine.Update();
    const int poll = parts.IndexOf("PollInput");
    ASSERT_GE(poll, 0);
    ASSERT_LT(poll + 2, int(parts.log.size()));
    EXPECT_TRUE(IsStampedName(parts.log[poll + 1], "SaveScreenshot Screenshot-", ".bmp"))
        << parts.log[poll + 1];
    EXPECT_EQ(parts.log[poll + 2], "UpdateAudio");
    LoseFocus();
    engine.Update(); // its message pump sees the focus go
    parts.log.clear();
    parts.screenshotClicked = true;
    engine.Update();
    EXPECT_EQ(parts.IndexOf("PollInput"), -1);
    for (const std::string& event : parts.log)
        EXPECT_EQ(event.rfind("SaveScreenshot", 0), std::string::npos) << event;
}

TEST_F(Engine, ADisplayModeChangeMaximisesAMaximisedWindowAgain)
{
    engine.settings.displayMode = 1;
    engine.settings.windowStyle = 2;
    ASSERT_TRUE(Start());
    win32::ShowWindow(engine.window->handle, win32::SW_RESTORE);
    EXPECT_TRUE(engine.ChangeDisplayMode());
    EXPECT_TRUE(win32::IsZoomed(engine.window->handle));
    parts.failing = {"ChangeDisplayMode"};
    win32::ShowWindow(engine.window->handle, win32::SW_RESTORE);
    EXPECT_FALSE(engine.ChangeDisplayMode());
    EXPECT_FALSE(win32::IsZoomed(engine.window->handle));
}

TEST_F(Engine, TheCursorIsHiddenWhenItComesIntoTheClientAreaAndOnlyThen)
{
    ASSERT_TRUE(Start());
    win32::POINT origin{0, 0};
    win32::ClientToScreen(engine.window->handle, &origin);
    win32::SetCursorPos(origin.x + 10, origin.y + 10);
    engine.cursorInside = false; // as if it had been outside
    const int32_t before = win32::ShowCursor(true) - 1;
    win32::ShowCursor(false);
    EXPECT_TRUE(engine.UpdateCursorVisibility());
    EXPECT_TRUE(engine.cursorInside);
    EXPECT_TRUE(engine.UpdateCursorVisibility()); // no change: the counter stays
    EXPECT_EQ(win32::ShowCursor(true), before);   // lowered once, raised again here
}

TEST(FrameStats, ResetClearsTheFrameButKeepsTheActorCount)
{
    WeFrameStats stats;
    stats.frame.drawCalls = 5;
    stats.frame.drawnAlpha = 2;
    stats.actorCount = 7;
    stats.effectNames.PushBack("Effect");
    stats.Reset();
    EXPECT_EQ(stats.frame.drawCalls, 0);
    EXPECT_EQ(stats.frame.drawnAlpha, 0);
    EXPECT_EQ(stats.actorCount, 7);
    EXPECT_TRUE(stats.effectNames.IsEmpty());
}

TEST(ProfileBlock, EverySixtyFourthStopFoldsTheTicksToTheirAverage)
{
    WeProfileBlock block;
    block.Start("site");
    const int64_t firstStart = block.startTick;
    block.Start("ignored"); // already started
    EXPECT_EQ(block.startTick, firstStart);
    EXPECT_STREQ(block.label, "site");
    block.Stop();
    for (int i = 1; i < 63; ++i)
    {
        block.Start("site");
        block.Stop();
    }
    EXPECT_EQ(block.totalStops, 63);
    EXPECT_EQ(block.averageStops, 63);
    const int64_t before = block.accumulatedTicks;
    block.Start("site");
    block.Stop();
    const int64_t last = block.stopTick - block.startTick;
    EXPECT_EQ(block.averageStops, 1);
    EXPECT_EQ(block.accumulatedTicks, (before + last) / 64);
    EXPECT_TRUE(block.stopped);
    block.Stop(); // not started: nothing
    EXPECT_EQ(block.totalStops, 64);
}

} // namespace
