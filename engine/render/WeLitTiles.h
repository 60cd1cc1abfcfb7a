// The parts of a target that an image read over it with a linear filter brightens. The target is
// cut into square tiles the size of the software rasteriser's; a tile is lit when a texel that
// one of its pixels reads has colour (alpha aside). An image added onto the target over its lit
// tiles alone leaves the same pixels as one added over the whole target, for less fill.
#pragma once

#include "d3d9/D3d9Types.h"

#include <cstdint>
#include <vector>

// The edge of a tile in pixels of the target.
constexpr int32_t weLitTileEdge = 64;

// An image of 32-bit pixels (blue, green, red, alpha bytes), pitch bytes from row to row, spread
// over a target of targetWidth by targetHeight pixels, each pixel reading at its centre.
struct WeTileImage
{
    const uint8_t* bits;
    int32_t pitch, width, height;
    int32_t targetWidth, targetHeight;
};

// The lit tiles of the target as rectangles in its pixels, each run of lit tiles along a row of
// tiles one rectangle, top rows first; empty for an image without colour or of no size.
std::vector<d3d9::Rect> WeFindLitTiles(const WeTileImage& image);
