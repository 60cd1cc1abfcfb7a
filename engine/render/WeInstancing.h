// Instanced drawing: a run of render items that differ only in where they stand draws as one
// draw call. The device repeats the subset for each item, handing the vertex stage the item's
// world matrix and world x view x projection, which an effect's vertex stage built with
// INSTANCED reads in place of its uniforms of those names. The matrices are the ones the
// effect would have been given one item at a time, so the pixels do not change. An effect lit
// per vertex takes each item's colour of its first per-vertex light (faded for the actor's
// bounds) in the world matrix's last column, which such a stage never reads (it takes world
// positions and normals as .xyz).
#pragma once

#include "WeRenderQueue.h"

#include <cstddef>
#include <vector>

class WeShader;

class WeInstanceRun
{
public:
    // Floats per item: the two matrices.
    static constexpr size_t floatsPerItem = 32;

    // Whether the effect's vertex stage can read instances: it says so ("Instancing") and
    // draws in one pass.
    static bool Instancing(const WeShader* effect);
    // Whether the item is a static model's subset, which instancing can repeat.
    static bool Repeatable(const WeRenderItem& item);
    // Hands the device the matrices of the count items from the first, for the effect; the next
    // indexed draws repeat for each.
    void Begin(WeRenderItem* const* items, size_t count, const WeShader* effect);
    // Single draws again.
    void End();

private:
    std::vector<float> data;
};
