// Decodes DXT1, DXT3 and DXT5 blocks as locked from a texture level into ARGB pixels, so tests
// can compare a compressed texture with the image it came from.
#pragma once

#include "d3d9/D3d9Types.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace dxt
{

inline uint32_t Expand565(uint16_t c)
{
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb)
{
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= (((a >> shift & 0xFF) * wa + (b >> shift & 0xFF) * wb) / (wa + wb)) << shift;
    return out;
}

// The 16 colours of a colour block, alpha 255 except DXT1's transparent entry.
inline void ColourBlock(const uint8_t* block, bool fourColoursAlways, uint32_t out[16])
{
    uint16_t c0 = 0, c1 = 0;
    uint32_t indices = 0;
    std::memcpy(&c0, block, 2);
    std::memcpy(&c1, block + 2, 2);
    std::memcpy(&indices, block + 4, 4);
    const uint32_t e0 = Expand565(c0), e1 = Expand565(c1);
    uint32_t palette[4] = {e0, e1, 0, 0};
    if (c0 > c1 || fourColoursAlways)
    {
        palette[2] = Mix(e0, e1, 2, 1);
        palette[3] = Mix(e0, e1, 1, 2);
    }
    else
    {
        palette[2] = Mix(e0, e1, 1, 1);
        palette[3] = 0x00000000u;
    }
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
}

inline void AlphaBlockDxt5(const uint8_t* block, uint8_t out[16])
{
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t palette[8] = {a0, a1};
    for (uint32_t i = 1; i < 7; ++i)
        palette[i + 1] = a0 > a1 ? ((7 - i) * a0 + i * a1) / 7 : i < 5 ? ((5 - i) * a0 + i * a1) / 5 : 0;
    if (a0 <= a1)
        palette[7] = 255;
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        out[i] = uint8_t(palette[(bits >> (3 * i)) & 7]);
}

// Pixels of a width x height level whose blocks start at bits, pitch bytes per row of blocks.
inline std::vector<uint32_t> Decode(d3d9::Format format, const uint8_t* bits, int32_t pitch, uint32_t width,
                                    uint32_t height)
{
    const uint32_t blockBytes = format == d3d9::D3DFMT_DXT1 ? 8 : 16;
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (uint32_t by = 0; by < (height + 3) / 4; ++by)
        for (uint32_t bx = 0; bx < (width + 3) / 4; ++bx)
        {
            const uint8_t* block = bits + size_t(by) * size_t(pitch) + size_t(bx) * blockBytes;
            uint32_t colours[16];
            uint8_t alpha[16];
            ColourBlock(block + blockBytes - 8, format != d3d9::D3DFMT_DXT1, colours);
            for (int i = 0; i < 16; ++i)
                alpha[i] = uint8_t(colours[i] >> 24);
            if (format == d3d9::D3DFMT_DXT3)
                for (int i = 0; i < 16; ++i)
                    alpha[i] = uint8_t(((block[i / 2] >> (4 * (i % 2))) & 15) * 17);
            if (format == d3d9::D3DFMT_DXT5)
                AlphaBlockDxt5(block, alpha);
            for (uint32_t i = 0; i < 16; ++i)
            {
                const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x < width && y < height)
                    pixels[size_t(y) * width + x] = (colours[i] & 0xFFFFFFu) | uint32_t(alpha[i]) << 24;
            }
        }
    return pixels;
}

} // namespace dxt
