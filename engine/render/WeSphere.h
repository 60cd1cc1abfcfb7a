// A bounding sphere: a centre and a radius, zero when it bounds nothing.
#pragma once

#include "WeCamera.h"

struct WeSphere
{
    // The smallest sphere holding this one and `other` (nothing for an empty other; an empty
    // sphere becomes the other): either sphere when it holds the other, else the one spanning
    // both.
    void Grow(const WeSphere& other);

    WeVector center;
    float radius = 0.0f;
};
