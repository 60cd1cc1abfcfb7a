// Time calls of the Win32 layer: the performance counter, Sleep and the tick count, with the
// semantics the engine relies on, over the POSIX monotonic clock.
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

} // namespace win32
