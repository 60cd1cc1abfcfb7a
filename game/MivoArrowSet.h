// The four move arrows around a selected block: they grow out of it, swing to and fro beside it
// while the block stays selected, then shrink and hide. The set works out each arrow's pose; the
// play phase hands the poses to the arrow actors.
#pragma once

#include "WeCamera.h"

#include <cstdint>

class MivoActor;

class MivoArrowSet
{
public:
    enum State : int32_t
    {
        New = 0,
        Growing = 1,
        Shown = 2,
        Shrinking = 3,
        Finished = 4
    };
    // What a frame changed on the arrows, as bits.
    enum Change : uint32_t
    {
        Showed = 1,   // every arrow became visible
        Placed = 2,   // positions and rotations were set
        Rescaled = 4, // the scales were set
        Hid = 8       // every arrow became hidden
    };

    struct Arrow
    {
        WeVector centre;   // the selected block's position when the set was made
        WeVector position; // the current position
        MivoActor* actor = nullptr;
        int32_t direction = 0; // the board direction the arrow moves the block in
        WeQuaternion rotation; // about the vertical axis
        WeVector offset;       // the world image of the direction
        WeVector scale{1.0f, 1.0f, 1.0f};
    };

    // Arrows i = 0..3 of directions 1, 3, 5, 7 around the centre, no actors yet.
    explicit MivoArrowSet(const WeVector& centre);

    // One frame of dt seconds: the state and timer advance and the poses follow; returns the
    // Change bits.
    uint32_t Advance(float dt);

    // The index of the arrow that points at the offset (dx, dz) from the block: along the larger
    // component, x winning ties: 1 (x >= 0) or 3, else 0 (z >= 0) or 2.
    static int32_t Quadrant(float dx, float dz);

    int32_t state = New;
    bool wanted = false;
    Arrow arrows[4];
    float timer = 0.0f;

private:
    // Every arrow at its centre + offset x distance, raised by the base height.
    void PlaceAt(float distance);
    void ScaleAlong(float fraction);
};
