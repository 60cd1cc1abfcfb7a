// The camera of a level: an orbit around the board's centre (the world origin) by a horizontal
// angle, a vertical angle and a distance, each easing towards a target within configured limits,
// with an eye offset that depends on the vertical angle. Angles are in degrees.
#pragma once

#include "WeCamera.h"

#include <cstdint>

class MivoGameCamera : public WeCamera
{
public:
    // Places the camera once, so it is ready before the first frame.
    MivoGameCamera();

    // The orbit update with the timer's frame time, then the view, projection and frustum.
    void Update() override;
    // The orbit update for dt seconds: each axis eases towards its target; the limits (unless in
    // the intro), the position, the direction and the field of view are applied even at dt 0.
    void Update(float dt);
    // Adds the deltas to the targets, each held within its limits unless in the intro.
    void MoveTarget(float dH, float dV, float dD);

    // The three axes: horizontal angle, vertical angle, distance.
    enum Axis
    {
        horizontal,
        vertical,
        distance,
        axisCount
    };

    bool intro = false;                            // the limits are not applied while set
    float offsets[axisCount] = {0.0f, 0.0f, 0.0f}; // relative to the bases
    float bases[axisCount] = {0.0f, 80.0f, 20.0f};
    float targets[axisCount] = {0.0f, 0.0f, 0.0f}; // relative to the bases
    float speeds[axisCount] = {0.0f, 0.0f, 0.0f};

private:
    // Moves one axis's offset towards its target.
    void Ease(int32_t axis, float dt);
    // The axis's effective value held within its limits.
    static float Clamp(int32_t axis, float value);
    // Where the eye sits for the effective angles and distance, before the eye offset.
    void Place(float h, float v, float d);
};
