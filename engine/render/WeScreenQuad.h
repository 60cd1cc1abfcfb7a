// Screen-filling quads: four vertices drawn as a two-triangle strip, with one texture
// coordinate set (XYZ | TEX1) or two (XYZ | TEX2).
#pragma once

#include "d3d9/D3d9Resources.h"

#include <vector>

struct WeScreenQuadVertex
{
    float x, y, z;
    float u, v;
};

struct WeScaledScreenQuadVertex
{
    float x, y, z;
    float u0, v0;
    float u1, v1;
};

// The one-texture quad for a target of the size, shifted by half a pixel so that every pixel reads
// its texel's centre; null on failure.
d3d9::VertexBuffer* CreateScreenQuad(uint32_t width, uint32_t height);
// The two-texture quad over the back buffer; the second set addresses an image reduced by the
// divisors. Null on failure.
d3d9::VertexBuffer* CreateScaledScreenQuad(float divisorA, float divisorB);
void DrawScreenQuad(d3d9::VertexBuffer* quad);
// Draws the rectangles, in pixels of a target of the size, as the target's one-texture quad draws
// them: each pixel reads where that quad's pixel would.
void DrawScreenRects(const std::vector<d3d9::Rect>& rects, uint32_t width, uint32_t height);
void DrawScaledScreenQuad(d3d9::VertexBuffer* quad);
