// The record of one timed site. The records live in the timer's table of profile slots, each
// timed site using one fixed slot number.
#pragma once

#include <cstdint>

struct WeProfileBlock
{
    // Starts timing the site under the label; nothing while already started.
    void Start(const char* newLabel);
    // Adds the time since Start to the accumulated ticks, folding them to their average every 64
    // stops; nothing when not started.
    void Stop();
    // Back to a fresh record: no label, not started, counts and accumulated ticks zero, stopped.
    // The start and stop ticks keep their values.
    void Reset();

    const char* label = "";
    bool started = false;
    int32_t totalStops = 0;
    int32_t averageStops = 0; // stops in the current average
    int32_t startsSinceStop = 0;
    bool stopped = false;
    int64_t startTick = 0; // performance-counter values
    int64_t stopTick = 0;
    int64_t accumulatedTicks = 0; // folded to an average every 64 stops
};

// Times the enclosing block in a profile record.
class WeProfileScope
{
public:
    WeProfileScope(WeProfileBlock& block, const char* label) : block(block) { block.Start(label); }
    ~WeProfileScope() { block.Stop(); }
    WeProfileScope(const WeProfileScope&) = delete;
    WeProfileScope& operator=(const WeProfileScope&) = delete;

private:
    WeProfileBlock& block;
};

inline void WeProfileBlock::Reset()
{
    label = "";
    started = false;
    totalStops = 0;
    averageStops = 0;
    startsSinceStop = 0;
    stopped = true;
    accumulatedTicks = 0;
}
