// The frame timer, and the fixed-loading counter that marks resources as surviving a FreeAll
// that is not forced.
#pragma once

#include "WeProfileBlock.h"

#include <cstdint>

// Where a timer reads the time and how it waits; tests hand a timer a clock of their own.
struct WeTimerClock
{
    int64_t (*counter)();                 // the counter now
    int64_t frequency;                    // counts per second, above 0
    void (*sleep)(uint32_t milliseconds); // pads a short frame
};

// The platform's performance counter and Sleep.
WeTimerClock WeGetSystemClock();

// Measures each frame, clamps and optionally quantises the frame time every subsystem reads
// (deltaTime), and pads short frames with sleeps.
class WeTimer
{
public:
    static constexpr int kProfileSlotCount = 1000;

    WeTimer();
    explicit WeTimer(const WeTimerClock& clock);

    // When not running: counters to now, every time, delta and the frames-per-second window to
    // zero, running.
    void Start();
    void Stop();
    // Measures the frame since the last update; nothing when not running. Once per engine update.
    void Update();
    // Sleeps away the part of the frame time that the minimum or the fixed tick added, and keeps
    // that sleep out of the next frame's delta. Once per engine update, last.
    void LimitFrameRate();
    // Seconds since Start (since the counter's origin before the first Start).
    double GetSeconds() const;
    // GetSeconds in whole milliseconds, wrapping at 2^32 instead of overflowing.
    int32_t GetMilliseconds() const;
    // Deltas to zero, absolute time kept: a long load then does not show as one long frame.
    void ResetDelta();
    // Every profile slot back to a fresh record.
    void ResetUserTimers();

    bool running = false;
    double absoluteTime = 0.0;   // sum of the final deltas since Start, seconds
    double rawDelta = 0.0;       // the measured frame time
    double quantisedDelta = 0.0; // after the minimum and the fixed tick
    double finalDelta = 0.0;     // after the maximum as well
    float absoluteTimeFloat = 0.0f;
    float rawDeltaFloat = 0.0f;
    float quantisedDeltaFloat = 0.0f;
    float deltaTime = 0.0f; // the frame time the whole program reads
    double fpsTime = 0.0;   // frames-per-second window: accumulated time
    int32_t fpsFrames = 0;  // frames in the window
    double framesPerSecond = 0.0;
    int64_t startCounter = 0;
    int64_t lastCounter = 0;
    int64_t currentCounter = 0;
    int64_t frequency = 0; // counts per second
    double secondsPerCount = 0.0;
    double minimumDelta = 0.001; // raised by the play screen to cap the frame rate
    double maximumDelta = 0.1;   // 0 = no maximum
    double fixedTick = 0.0;      // 0 = off
    WeProfileBlock profileSlots[kProfileSlotCount];

private:
    void RefreshFloatCopies();
    void ApplyFixedTick();
    void CountFrame();

    WeTimerClock clock;
};

extern WeTimer timer;

// Seeds the random generator with the timer's milliseconds and fills the random table from it.
// Run at the start of each pass of the run loop.
void WeFillRandomTable();

// Nesting counter of fixed loading; an end without its begin leaves it at 0.
extern int32_t fixedLoadingCount;

void WeBeginFixedLoading();
void WeEndFixedLoading();
// Resources loaded while this holds are marked fixed.
bool WeIsFixedLoading();
