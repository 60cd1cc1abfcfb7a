#include "WeProfileBlock.h"

#include "win32/Win32Time.h"

namespace
{

constexpr int32_t kStopsPerAverage = 64;

int64_t CounterNow()
{
    int64_t counter = 0;
    win32::QueryPerformanceCounter(&counter);
    return counter;
}

} // namespace

void WeProfileBlock::Start(const char* newLabel)
{
    if (started)
        return;
    startTick = CounterNow();
    label = newLabel;
    if (stopped)
    {
        startsSinceStop = 0;
        stopped = false;
    }
    ++startsSinceStop;
    started = true;
}

void WeProfileBlock::Stop()
{
    if (!started)
        return;
    stopTick = CounterNow();
    accumulatedTicks += stopTick - startTick;
    ++totalStops;
    ++averageStops;
    if (totalStops % kStopsPerAverage == 0)
    {
        accumulatedTicks /= averageStops;
        averageStops = 1;
    }
    stopped = true;
    started = false;
}
