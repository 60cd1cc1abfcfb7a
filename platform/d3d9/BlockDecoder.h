// Decoding of DXT1, DXT3 and DXT5 levels into 32-bit pixels. The software rasteriser samples
// block formats several times slower than 32-bit texels, so the GL back end keeps textures of
// those formats decoded; their locked memory stays in blocks.
#pragma once

#include "d3d9/D3d9Types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d3d9
{

// The width x height level of the format (rows of 4x4 blocks, as locked) as B8G8R8A8 pixels,
// rows packed. Blocks the bytes do not reach decode as transparent black.
void DecodeBlocks(Format format, uint32_t width, uint32_t height, const uint8_t* blocks, size_t size,
                  std::vector<uint8_t>& pixels);

} // namespace d3d9
