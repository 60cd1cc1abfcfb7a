#include "WeSphere.h"

void WeSphere::Grow(const WeSphere& other)
{
    if (!(other.radius > 0.0f))
        return;
    if (radius == 0.0f)
    {
        *this = other;
        return;
    }
    const WeVector apart = center - other.center;
    const float distance = d3dx::D3DXVec3Length(apart);
    const float grown = (radius + other.radius + distance) * 0.5f;
    if (!(grown > radius))
        return; // the other lies inside
    if (distance < 1e-6f)
    {
        *this = other; // one centre: the other is the larger
        return;
    }
    // The new sphere spans from this sphere's far side to the other's far side.
    const WeVector away = apart * (1.0f / distance);
    center = ((center + away * radius) + (other.center - away * other.radius)) * 0.5f;
    radius = grown;
}
