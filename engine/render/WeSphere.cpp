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
    if (radius >= other.radius + distance)
        return; // the other lies inside
    // The other holds this one; near-equal spheres on one centre leave no direction to span.
    if (other.radius >= radius + distance || distance < 1e-6f)
    {
        *this = other;
        return;
    }
    const float grown = (radius + other.radius + distance) * 0.5f;
    // The new sphere spans from this sphere's far side to the other's far side.
    const WeVector away = apart * (1.0f / distance);
    center = ((center + away * radius) + (other.center - away * other.radius)) * 0.5f;
    radius = grown;
}
