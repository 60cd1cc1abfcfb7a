// A bounding sphere: a centre and a radius, zero when it bounds nothing.
#pragma once

#include "WeCamera.h"

struct WeSphere
{
    // Grows this sphere until it also holds `other` (nothing for an empty other; an empty sphere
    // becomes the other). With centres too close to give a direction, the larger sphere stays.
    void Grow(const WeSphere& other);

    WeVector center;
    float radius = 0.0f;
};
