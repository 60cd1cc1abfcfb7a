#include "WeTimer.h"

#include "WeRandom.h"
#include "win32/Win32Time.h"

#include <cmath>
#include <limits>

namespace
{

int64_t SystemCounter()
{
    int64_t counter = 0;
    win32::QueryPerformanceCounter(&counter);
    return counter;
}

// Rounds a non-negative amount to the nearest whole number, clamped to what the type holds.
template <typename T> T RoundClamped(double amount)
{
    const double rounded = std::floor(amount + 0.5);
    const double largest = static_cast<double>(std::numeric_limits<T>::max());
    if (!(rounded > 0.0))
        return 0;
    return rounded >= largest ? std::numeric_limits<T>::max() : static_cast<T>(rounded);
}

} // namespace

WeTimerClock WeGetSystemClock()
{
    int64_t frequency = 0;
    win32::QueryPerformanceFrequency(&frequency);
    return {SystemCounter, frequency, win32::Sleep};
}

int32_t fixedLoadingCount = 0;

WeTimer::WeTimer() : WeTimer(WeGetSystemClock()) {}

WeTimer::WeTimer(const WeTimerClock& clock)
    : frequency(clock.frequency), secondsPerCount(1.0 / static_cast<double>(clock.frequency)), clock(clock)
{
}

void WeTimer::Start()
{
    if (running)
        return;
    startCounter = lastCounter = currentCounter = clock.counter();
    absoluteTime = rawDelta = quantisedDelta = finalDelta = 0.0;
    fpsTime = framesPerSecond = 0.0;
    fpsFrames = 0;
    RefreshFloatCopies();
    running = true;
}

void WeTimer::Stop()
{
    running = false;
}

void WeTimer::Update()
{
    if (!running)
        return;
    currentCounter = clock.counter();
    if (currentCounter < lastCounter)
        lastCounter = currentCounter;
    rawDelta = static_cast<double>(currentCounter - lastCounter) * secondsPerCount;
    finalDelta = rawDelta < minimumDelta ? minimumDelta : rawDelta;
    ApplyFixedTick();
    quantisedDelta = finalDelta;
    if (maximumDelta > 0.0 && finalDelta > maximumDelta)
        finalDelta = maximumDelta;
    absoluteTime += finalDelta;
    lastCounter = currentCounter;
    RefreshFloatCopies();
    CountFrame();
}

// Raises the delta to whole ticks, with one microsecond of tolerance for a delta that is a
// whole number of ticks but for the measuring noise.
void WeTimer::ApplyFixedTick()
{
    if (!(fixedTick > 0.0))
        return;
    const double ticks = std::trunc(finalDelta / fixedTick);
    const double whole = ticks * fixedTick;
    finalDelta = finalDelta - 0.000001 > whole ? whole + fixedTick : whole;
}

// The frames-per-second window restarts after each second, holding one average frame.
void WeTimer::CountFrame()
{
    fpsFrames++;
    fpsTime += finalDelta;
    if (fpsTime > 0.0)
        framesPerSecond = fpsFrames / fpsTime;
    if (fpsTime >= 1.0)
    {
        fpsFrames = 1;
        fpsTime = 1.0 / framesPerSecond;
    }
}

void WeTimer::LimitFrameRate()
{
    const double padding = quantisedDelta - rawDelta;
    if (!(padding > 0.0))
        return;
    clock.sleep(RoundClamped<uint32_t>(padding * 1000.0));
    lastCounter += RoundClamped<int64_t>(padding * static_cast<double>(frequency));
}

double WeTimer::GetSeconds() const
{
    return static_cast<double>(clock.counter() - startCounter) * secondsPerCount;
}

int32_t WeTimer::GetMilliseconds() const
{
    const int64_t elapsed = clock.counter() - startCounter;
    const int64_t milliseconds = elapsed / frequency * 1000 + elapsed % frequency * 1000 / frequency;
    return static_cast<int32_t>(static_cast<uint32_t>(milliseconds));
}

void WeTimer::ResetDelta()
{
    rawDelta = quantisedDelta = finalDelta = 0.0;
    RefreshFloatCopies();
}

void WeTimer::ResetUserTimers()
{
    for (WeProfileBlock& slot : profileSlots)
        slot.Reset();
}

void WeTimer::RefreshFloatCopies()
{
    absoluteTimeFloat = static_cast<float>(absoluteTime);
    rawDeltaFloat = static_cast<float>(rawDelta);
    quantisedDeltaFloat = static_cast<float>(quantisedDelta);
    deltaTime = static_cast<float>(finalDelta);
}

void WeFillRandomTable()
{
    WeFillRandomTable(static_cast<uint32_t>(timer.GetMilliseconds()));
}

void WeBeginFixedLoading()
{
    fixedLoadingCount++;
}

void WeEndFixedLoading()
{
    // An end without its begin would leave the next begin's resources unfixed, to be freed under
    // whoever holds them (a font its pages) by the next FreeAll.
    if (fixedLoadingCount > 0)
        fixedLoadingCount--;
}

bool WeIsFixedLoading()
{
    return fixedLoadingCount > 0;
}
