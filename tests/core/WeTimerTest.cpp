#include "WeTimer.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

constexpr int64_t kFrequency = 1'000'000'000; // counts per second of the fake clock

int64_t fakeCounter = 0;
std::vector<uint32_t> sleeps;

int64_t FakeCounter()
{
    return fakeCounter;
}

void FakeSleep(uint32_t milliseconds)
{
    sleeps.push_back(milliseconds);
}

int64_t Counts(double seconds)
{
    return static_cast<int64_t>(seconds * static_cast<double>(kFrequency) + 0.5);
}

class TimerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fakeCounter = 1'000'000;
        sleeps.clear();
        timer.Start();
    }

    // One frame of the given length followed by the engine's two timer steps.
    void Frame(double seconds)
    {
        fakeCounter += Counts(seconds);
        timer.Update();
    }

    WeTimer timer{WeTimerClock{FakeCounter, kFrequency, FakeSleep}};
};

} // namespace

TEST_F(TimerTest, ShortFrameIsRaisedToTheMinimumAndPaddedWithASleep)
{
    Frame(0.0004);
    EXPECT_NEAR(timer.rawDelta, 0.0004, 1e-12);
    EXPECT_FLOAT_EQ(timer.deltaTime, 0.001f);
    const int64_t lastBefore = timer.lastCounter;
    timer.LimitFrameRate();
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0], 1u); // 0.6 ms plus one half, truncated
    EXPECT_EQ(timer.lastCounter - lastBefore, Counts(0.0006));
}

TEST_F(TimerTest, TheSleepIsNotCountedAgainInTheNextFrame)
{
    Frame(0.0004);
    timer.LimitFrameRate();
    Frame(0.0006 + 0.002); // the sleep, then a 2 ms frame
    EXPECT_NEAR(timer.rawDelta, 0.002, 1e-9);
}

TEST_F(TimerTest, LongFrameIsCutToTheMaximumWithoutSleep)
{
    Frame(0.25);
    EXPECT_FLOAT_EQ(timer.deltaTime, 0.1f);
    EXPECT_NEAR(timer.quantisedDelta, 0.25, 1e-12);
    timer.LimitFrameRate();
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(TimerTest, NoMaximumLetsLongFramesThrough)
{
    timer.maximumDelta = 0.0;
    Frame(3.0);
    EXPECT_NEAR(timer.finalDelta, 3.0, 1e-12);
}

TEST_F(TimerTest, FixedTickRoundsUpToWholeTicks)
{
    timer.fixedTick = 0.02;
    const struct
    {
        double measured;
        double expected;
    } cases[] = {{0.0300, 0.04}, {0.0400005, 0.04}, {0.02, 0.02}, {0.0001, 0.02}, {0.0599, 0.06}};
    for (const auto& c : cases)
    {
        Frame(c.measured);
        EXPECT_NEAR(timer.finalDelta, c.expected, 1e-9) << "measured " << c.measured;
        EXPECT_NEAR(timer.quantisedDelta, c.expected, 1e-9) << "measured " << c.measured;
    }
}

TEST_F(TimerTest, FixedTickPaddingIsSleptAway)
{
    timer.fixedTick = 0.02;
    Frame(0.0300);
    timer.LimitFrameRate();
    ASSERT_EQ(sleeps.size(), 1u);
    EXPECT_EQ(sleeps[0], 10u);
}

TEST_F(TimerTest, CounterGoingBackGivesTheMinimum)
{
    Frame(0.01);
    fakeCounter -= Counts(0.5);
    timer.Update();
    EXPECT_EQ(timer.rawDelta, 0.0);
    EXPECT_FLOAT_EQ(timer.deltaTime, 0.001f);
    Frame(0.005); // measured from the counter's new position
    EXPECT_NEAR(timer.rawDelta, 0.005, 1e-9);
}

TEST_F(TimerTest, AbsoluteTimeSumsFinalDeltasAndSurvivesResetDelta)
{
    Frame(0.05);
    Frame(0.25);
    EXPECT_NEAR(timer.absoluteTime, 0.15, 1e-9);
    timer.ResetDelta();
    EXPECT_EQ(timer.deltaTime, 0.0f);
    EXPECT_EQ(timer.rawDelta, 0.0);
    EXPECT_EQ(timer.quantisedDelta, 0.0);
    EXPECT_NEAR(timer.absoluteTime, 0.15, 1e-9);
    EXPECT_NEAR(timer.absoluteTimeFloat, 0.15f, 1e-6f);
}

TEST_F(TimerTest, FramesPerSecondWindowRestartsAfterOneSecond)
{
    for (int i = 0; i < 9; ++i)
        Frame(0.1);
    EXPECT_NEAR(timer.framesPerSecond, 10.0, 1e-6);
    EXPECT_EQ(timer.fpsFrames, 9);
    Frame(0.1);
    Frame(0.1); // the window passes one second here and restarts with one average frame
    EXPECT_EQ(timer.fpsFrames, 1);
    EXPECT_NEAR(timer.fpsTime, 1.0 / timer.framesPerSecond, 1e-9);
    Frame(0.05);
    EXPECT_EQ(timer.fpsFrames, 2);
}

TEST_F(TimerTest, StoppedTimerIgnoresUpdates)
{
    Frame(0.01);
    timer.Stop();
    Frame(0.05);
    EXPECT_NEAR(timer.rawDelta, 0.01, 1e-9);
}

TEST_F(TimerTest, StartWhileRunningKeepsTheTimes)
{
    Frame(0.05);
    timer.Start();
    EXPECT_NEAR(timer.absoluteTime, 0.05, 1e-9);
    timer.Stop();
    timer.Start(); // a restart begins again from zero
    EXPECT_EQ(timer.absoluteTime, 0.0);
    EXPECT_EQ(timer.deltaTime, 0.0f);
    EXPECT_EQ(timer.startCounter, fakeCounter);
}

TEST_F(TimerTest, SecondsAndMillisecondsCountFromStart)
{
    fakeCounter += Counts(1.2345);
    EXPECT_NEAR(timer.GetSeconds(), 1.2345, 1e-9);
    EXPECT_EQ(timer.GetMilliseconds(), 1234);
}

TEST(Timer, MillisecondsWrapInsteadOfOverflowing)
{
    // Before the first Start the timer counts from the counter's origin: after 30 days of
    // uptime the milliseconds no longer fit 31 bits.
    fakeCounter = 30LL * 86400 * kFrequency + Counts(0.007);
    const WeTimer unstarted{WeTimerClock{FakeCounter, kFrequency, FakeSleep}};
    const uint64_t milliseconds = 30ULL * 86400 * 1000 + 7;
    EXPECT_EQ(static_cast<uint32_t>(unstarted.GetMilliseconds()), static_cast<uint32_t>(milliseconds));
    fakeCounter = INT64_MAX;
    EXPECT_NO_FATAL_FAILURE(static_cast<void>(unstarted.GetMilliseconds()));
}

TEST_F(TimerTest, ResetUserTimersClearsEverySlotButTheTicks)
{
    WeProfileBlock& slot = timer.profileSlots[WeTimer::kProfileSlotCount - 1];
    slot.label = "Engine::Update";
    slot.started = true;
    slot.totalStops = 5;
    slot.averageStops = 3;
    slot.startsSinceStop = 2;
    slot.startTick = 11;
    slot.stopTick = 22;
    slot.accumulatedTicks = 99;
    timer.ResetUserTimers();
    EXPECT_STREQ(slot.label, "");
    EXPECT_FALSE(slot.started);
    EXPECT_EQ(slot.totalStops, 0);
    EXPECT_EQ(slot.averageStops, 0);
    EXPECT_EQ(slot.startsSinceStop, 0);
    EXPECT_TRUE(slot.stopped);
    EXPECT_EQ(slot.accumulatedTicks, 0);
    EXPECT_EQ(slot.startTick, 11);
    EXPECT_EQ(slot.stopTick, 22);
    EXPECT_TRUE(timer.profileSlots[0].stopped);
}

TEST(Timer, EngineTimerStartsWithTheDefaultLimits)
{
    EXPECT_DOUBLE_EQ(::timer.minimumDelta, 0.001);
    EXPECT_DOUBLE_EQ(::timer.maximumDelta, 0.1);
    EXPECT_EQ(::timer.fixedTick, 0.0);
    EXPECT_GT(::timer.frequency, 0);
    EXPECT_DOUBLE_EQ(::timer.secondsPerCount, 1.0 / static_cast<double>(::timer.frequency));
}

// An end without its begin leaves the counter at 0, so the next begin fixes what follows it (a
// font's page made then is not freed under the font by the next FreeAll).
TEST(FixedLoading, NestsAndAnUnmatchedEndStopsAtNone)
{
    ASSERT_FALSE(WeIsFixedLoading());
    WeBeginFixedLoading();
    WeBeginFixedLoading();
    EXPECT_TRUE(WeIsFixedLoading());
    WeEndFixedLoading();
    EXPECT_TRUE(WeIsFixedLoading());
    WeEndFixedLoading();
    EXPECT_FALSE(WeIsFixedLoading());
    WeEndFixedLoading();
    EXPECT_EQ(fixedLoadingCount, 0);
    EXPECT_FALSE(WeIsFixedLoading());
    WeBeginFixedLoading();
    EXPECT_TRUE(WeIsFixedLoading());
    fixedLoadingCount = 0;
}
