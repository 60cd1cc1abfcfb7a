#include "WeScriptNatives.h"

#include "ScriptChunk.h"
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
} // namespace
