#include "win32/Win32Time.h"

#include <gtest/gtest.h>

namespace
{

int64_t Counter()
{
    int64_t value = 0;
    EXPECT_TRUE(win32::QueryPerformanceCounter(&value));
    return value;
}

int64_t Frequency()
{
    int64_t value = 0;
    EXPECT_TRUE(win32::QueryPerformanceFrequency(&value));
    return value;
}

} // namespace

TEST(Win32Time, CounterNeverGoesBack)
{
    int64_t previous = Counter();
    for (int i = 0; i < 10000; ++i)
    {
        const int64_t now = Counter();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(Win32Time, FrequencyIsPositiveAndFixed)
{
    const int64_t frequency = Frequency();
    EXPECT_GT(frequency, 0);
    EXPECT_EQ(frequency, Frequency());
}

TEST(Win32Time, SleepWaitsAtLeastTheGivenTime)
{
    const int64_t before = Counter();
    win32::Sleep(20);
    const double seconds = static_cast<double>(Counter() - before) / static_cast<double>(Frequency());
    EXPECT_GE(seconds, 0.020);
}

TEST(Win32Time, SleepZeroReturns)
{
    const int64_t before = Counter();
    win32::Sleep(0);
    const double seconds = static_cast<double>(Counter() - before) / static_cast<double>(Frequency());
    EXPECT_LT(seconds, 1.0);
}

TEST(Win32Time, TickCountFollowsTheCounter)
{
    const uint32_t ticksBefore = win32::GetTickCount();
    win32::Sleep(30);
    const uint32_t elapsed = win32::GetTickCount() - ticksBefore; // unsigned: survives the wrap
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 60'000u);
}
