#include "WePhysics.h"

bool WePhysics::Init(const float* newGravity, bool wanted)
{
    for (int i = 0; i < 3; ++i)
        gravity[i] = newGravity[i];
    sdkWanted = wanted;
    initialised = !wanted;
    return initialised;
}

void WePhysics::FetchResults() {}

void WePhysics::Simulate() {}

void WePhysics::Shutdown() { initialised = false; }
