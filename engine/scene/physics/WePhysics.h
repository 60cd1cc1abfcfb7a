// The physics world (global physics), as far as the engine object drives it so far. There is no
// physics SDK yet: a start that wants one fails, a start without one succeeds and steps nothing.
#pragma once

class WePhysics
{
public:
    // gravity: three floats. False only when the SDK was wanted and none resulted.
    bool Init(const float* gravity, bool sdkWanted);
    void FetchResults();
    void Simulate();
    void Shutdown();

    bool initialised = false;
    bool sdkWanted = false;
    float gravity[3] = {0.0f, 0.0f, 0.0f};
};

extern WePhysics physics;
