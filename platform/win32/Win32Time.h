// Time calls of the Win32 layer: the performance counter, Sleep, the tick count and the local
// time, with the
// semantics the engine relies on, over the POSIX clocks.
#pragma once

#include <cstdint>

namespace win32
{

// Writes the monotonic counter now; never goes back while the program runs. Always succeeds.
bool QueryPerformanceCounter(int64_t* counter);
// Writes the counter's rate in counts per second (fixed for the whole run). Always succeeds.
bool QueryPerformanceFrequency(int64_t* frequency);
// Suspends the calling thread for at least the given milliseconds; 0 only yields the processor.
void Sleep(uint32_t milliseconds);
// Milliseconds since an arbitrary fixed point (the system start), wrapping at 2^32.
uint32_t GetTickCount();

// A calendar time: year (e.g. 2009), month 1-12, day of the week 0-6 from Sunday, day 1-31.
struct SYSTEMTIME
{
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// The local time now, in the time zone of the environment.
void GetLocalTime(SYSTEMTIME* time);

} // namespace win32
