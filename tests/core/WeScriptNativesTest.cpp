#include "WeScriptNatives.h"

#include "ScriptChunk.h"
#include "WeEngine.h"
#include "WeEngineParts.h"
#include "WeInput.h"
#include "WeTimer.h"

#include <gtest/gtest.h>

#include <string>

// The core objects' script classes, driven by Lua chunks against objects of the tests' own.

namespace
{
int64_t clockCounter = 0;

int64_t ClockCounter()
{
    return clockCounter;
}

void NoSleep(uint32_t) {}

class TimerScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        clockCounter = 5000;
        WeRegisterTimerScript(registry, &scriptTimer);
        scriptTimer.Start();
    }

    std::string Eval(const std::string& expression) { return EvalChunk(registry.State(), expression); }
    std::string Run(const std::string& chunk) { return RunChunk(registry.State(), chunk); }

    WeScriptRegistry registry;
    WeTimer scriptTimer{WeTimerClock{ClockCounter, 1000, NoSleep}};
};

TEST_F(TimerScriptTest, GettersReadTheTimerOfTheGlobal)
{
    clockCounter += 250; // a frame of 0.25 s, reported as the maximum
    scriptTimer.Update();
    clockCounter += 20;
    scriptTimer.Update();
    clockCounter += 1500; // not yet measured by an update
    EXPECT_NEAR(std::stod(Eval("timer.DeltaTime")), 0.02, 1e-9);
    EXPECT_NEAR(std::stod(Eval("timer.ElapsedTime")), 0.12, 1e-9);
    EXPECT_NEAR(std::stod(Eval("timer.AbsoluteTime")), 1.77, 1e-9);
}

TEST_F(TimerScriptTest, TimerPropertiesAreReadOnly)
{
    clockCounter += 30;
    scriptTimer.Update();
    EXPECT_EQ(Run("timer.DeltaTime = 5"), "");
    EXPECT_NEAR(scriptTimer.finalDelta, 0.03, 1e-9);
    EXPECT_EQ(Eval("timer.DeltaTime"), "5");
}

TEST_F(TimerScriptTest, GettersRejectOtherObjects)
{
    registry.RegisterInstance("notTimer", "SomethingElse", &scriptTimer);
    const std::string error = Run("local get = ____class__WeTimer____.__get__DeltaTime__ get(notTimer)");
    EXPECT_NE(error.find("WeTimer object expected"), std::string::npos) << error;
    EXPECT_EQ(Run("local get = ____class__WeTimer____.__get__DeltaTime__ get(timer)"), "");
}

TEST_F(TimerScriptTest, LogAcceptsAnythingAndReturnsNothing)
{
    EXPECT_EQ(Eval("select('#', log())"), "0");
    EXPECT_EQ(Eval("select('#', log(1, 'two', {}, nil, timer))"), "0");
}

// Stands in for every subsystem; only the resource frees are recorded.
class FreeRecordingParts : public WeEngineParts
{
public:
    void FillRandomTable() override {}
    void InitializeCom() override {}
    bool CreateDirect3D() override { return true; }
    void LoadLanguages() override {}
    void ReleaseDirect3D() override {}
    void UninitializeCom() override {}
    void StartTimer() override {}
    void BeginAudio() override {}
    bool InitRenderDevice(const WeAppWindow&, const WeString&, const WeEngineSettings&) override
    {
        return true;
    }
    bool InitAudio() override { return true; }
    bool InitInput() override { return true; }
    bool InitPhysics(const WeEngineSettings&) override { return true; }
    void InitUI() override {}
    void LoadScreenshotFont() override {}
    WeDeviceState CheckDevice() override { return WeDeviceState::Usable; }
    void BeginInputFrame() override {}
    void PollInput() override {}
    bool UseScreenshotClick() override { return false; }
    void UpdateAudio() override {}
    void ClearDebugLines() override {}
    void FetchPhysics() override {}
    void AddPhysicsLines() override {}
    void ProcessUIEvents() override {}
    void UpdateUI() override {}
    void UpdateTimer() override {}
    void StartPhysicsStep() override {}
    void LimitFrameRate() override {}
    void RenderFrame() override {}
    void LeavePhases() override {}
    void DeleteRenderTargetsAndShaders() override {}
    void FreeResources(bool forced) override { frees.push_back(forced); }
    void ShutdownPhysics() override {}
    void ShutdownAudio() override {}
    void ShutdownRenderDevice() override {}
    void ShutdownInput() override {}
    void StopTimer() override {}
    void ShutdownUI() override {}
    bool ChangeDisplayMode() override { return true; }
    bool SaveScreenshot(const WeString&) override { return true; }

    std::vector<bool> frees;
};

class EngineScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        scriptEngine.SetParts(&parts);
        WeRegisterEngineScript(registry, &scriptEngine);
        fixedBefore = fixedLoadingCount;
    }
    void TearDown() override { fixedLoadingCount = fixedBefore; }

    std::string Run(const std::string& chunk) { return RunChunk(registry.State(), chunk); }

    WeScriptRegistry registry;
    FreeRecordingParts parts;
    WeEngine scriptEngine;
    int32_t fixedBefore = 0;
};

TEST_F(EngineScriptTest, FreeAllFreesTheResourcesThatAreNotFixed)
{
    EXPECT_EQ(Run("engine:FreeAll()"), "");
    EXPECT_EQ(parts.frees, std::vector<bool>({false}));
}

// An end without its begin stops at none: the next begin fixes what is loaded after it.
TEST_F(EngineScriptTest, FixedLoadingNestsAndAnUnmatchedEndStopsAtNone)
{
    ASSERT_EQ(fixedBefore, 0);
    EXPECT_EQ(Run("engine:BeginFixedLoading() engine:BeginFixedLoading() engine:EndFixedLoading()"), "");
    EXPECT_EQ(fixedLoadingCount, 1);
    EXPECT_EQ(Run("engine:EndFixedLoading() engine:EndFixedLoading() engine:EndFixedLoading()"), "");
    EXPECT_EQ(fixedLoadingCount, 0);
    EXPECT_FALSE(WeIsFixedLoading());
    EXPECT_EQ(Run("engine:BeginFixedLoading()"), "");
    EXPECT_TRUE(WeIsFixedLoading());
}

TEST_F(EngineScriptTest, EngineMethodsRejectOtherObjects)
{
    EXPECT_NE(Run("engine.FreeAll({})").find("WeEngine object expected"), std::string::npos);
    EXPECT_NE(Run("engine.BeginFixedLoading()").find("WeEngine object expected"), std::string::npos);
    EXPECT_EQ(fixedLoadingCount, fixedBefore);
    EXPECT_TRUE(parts.frees.empty());
}

class InputScriptTest : public ::testing::Test
{
protected:
    void SetUp() override { WeRegisterInputScript(registry, &scriptInput); }

    std::string Eval(const std::string& expression) { return EvalChunk(registry.State(), expression); }
    std::string Run(const std::string& chunk) { return RunChunk(registry.State(), chunk); }

    WeScriptRegistry registry;
    WeInput scriptInput;
};

TEST_F(InputScriptTest, GettersReadTheCursorMovementsAndModifiers)
{
    scriptInput.cursorX = 320;
    scriptInput.cursorY = 200;
    scriptInput.mouseMovedZ = -120;
    scriptInput.joyY = 32767;
    scriptInput.shift = true;
    EXPECT_EQ(
        Eval("input.MouseX .. ',' .. input.MouseY .. ',' .. input.MouseMovedZ .. ',' .. input.JoyMovedY"),
        "320,200,-120,32767");
    EXPECT_EQ(Eval("input.ShiftPressed"), "true");
    EXPECT_EQ(Eval("input.AltPressed"), "false");
    EXPECT_EQ(Eval("input.SomethingClicked"), "false");
}

TEST_F(InputScriptTest, WritingAReadOnlyPropertyChangesNothingInTheEngine)
{
    scriptInput.cursorX = 5;
    EXPECT_EQ(Run("input.MouseX = 99"), "");
    EXPECT_EQ(scriptInput.cursorX, 5);
    EXPECT_EQ(Eval("input.MouseX"), "99");
}

TEST_F(InputScriptTest, ClicksAreQueriedAndConsumed)
{
    scriptInput.keysDown[30] = scriptInput.keysClicked[30] = 1;
    scriptInput.mouseClicked[7] = 1;
    scriptInput.clickedCount = 2;
    EXPECT_EQ(Eval("input:KeyPressed(30) and input:KeyClicked(30) and input.SomethingClicked"), "true");
    EXPECT_EQ(Eval("input:KeyClicked(31)"), "false");
    EXPECT_EQ(Eval("input:UseKeyClicked(30)"), "true");
    EXPECT_EQ(Eval("input:UseKeyClicked(30)"), "false");
    EXPECT_EQ(scriptInput.clickedCount, 1);
    EXPECT_EQ(Eval("input:UseKeyPressed(30)"), "true");
    EXPECT_EQ(scriptInput.keysDown[30], 0);
    EXPECT_EQ(Eval("input:MouseClicked(7)"), "true");
    EXPECT_EQ(Eval("input:UseMouseClicked(7)"), "true");
    EXPECT_EQ(Eval("input.SomethingClicked"), "false");
}

// A number that names no key or button (outside its table, not whole, not finite) gives false and
// changes nothing; an argument that is no number at all is an error.
TEST_F(InputScriptTest, NumbersOutsideTheTablesNameNothing)
{
    scriptInput.keysClicked[255] = 1;
    scriptInput.keysDown[0] = scriptInput.keysClicked[0] = 1;
    scriptInput.mouseDown[7] = scriptInput.mouseClicked[7] = 1;
    scriptInput.clickedCount = 3;
    EXPECT_EQ(Eval("input:KeyClicked(255)"), "true");
    EXPECT_EQ(Eval("input:JoyPressed(127)"), "false");
    for (const char* call :
         {"KeyPressed(256)", "KeyClicked(-1)", "UseKeyClicked(256)", "UseKeyClicked(300)",
          "UseKeyClicked(1e9)", "UseKeyPressed(0.5)", "MousePressed(8)", "UseMousePressed(-1)",
          "MouseClicked(8)", "UseMouseClicked(7.5)", "JoyPressed(128)", "UseJoyClicked(200)",
          "UseMouseClicked(0/0)", "KeyClicked(1/0)", "UseKeyPressed(-1/0)"})
        EXPECT_EQ(Eval(std::string("input:") + call), "false") << call;
    for (const char* call : {"JoyClicked('x')", "UseJoyPressed()", "UseKeyClicked({})"})
    {
        const std::string error = Run(std::string("input:") + call);
        EXPECT_NE(error.find("bad argument"), std::string::npos) << call << ": " << error;
    }
    EXPECT_EQ(scriptInput.clickedCount, 3);
    EXPECT_EQ(scriptInput.keysDown[0], 1);
    EXPECT_EQ(scriptInput.mouseDown[7], 1);
    EXPECT_NE(Run("input.KeyPressed(timer, 1)").find("WeInput object expected"), std::string::npos);
}
} // namespace
