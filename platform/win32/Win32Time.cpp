#include "win32/Win32Time.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <sched.h>

namespace win32
{

namespace
{

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

int64_t MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

} // namespace

bool QueryPerformanceCounter(int64_t* counter)
{
    *counter = MonotonicNanoseconds();
    return true;
}

bool QueryPerformanceFrequency(int64_t* frequency)
{
    *frequency = kNanosecondsPerSecond;
    return true;
}

void Sleep(uint32_t milliseconds)
{
    if (milliseconds == 0)
    {
        sched_yield();
        return;
    }
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1'000'000L};
    // A signal cuts nanosleep short; carry on with what is left so the wait is never shorter.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR)
    {
    }
}

uint32_t GetTickCount()
{
    return static_cast<uint32_t>(MonotonicNanoseconds() / 1'000'000);
}

void GetLocalTime(SYSTEMTIME* time)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<uint16_t>(local.tm_year + 1900);
    time->wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time->wDay = static_cast<uint16_t>(local.tm_mday);
    time->wHour = static_cast<uint16_t>(local.tm_hour);
    time->wMinute = static_cast<uint16_t>(local.tm_min);
    time->wSecond = static_cast<uint16_t>(std::min(local.tm_sec, 59)); // a leap second reads as 59
    time->wMilliseconds = static_cast<uint16_t>(now.tv_nsec / 1'000'000);
}

} // namespace win32
