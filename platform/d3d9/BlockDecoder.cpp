#include "d3d9/BlockDecoder.h"

#include <algorithm>
#include <array>

namespace d3d9
{

namespace
{

using Texel = std::array<uint8_t, 4>; // B, G, R, A

uint16_t Read16(const uint8_t* bytes)
{
    return uint16_t(bytes[0] | (bytes[1] << 8));
}

// A 5:6:5 colour widened to 8 bits a channel by repeating its high bits.
Texel Widen(uint16_t colour)
{
    const auto r = uint8_t(((colour >> 8) & 0xF8) | (colour >> 13));
    const auto g = uint8_t(((colour >> 3) & 0xFC) | ((colour >> 9) & 0x03));
    const auto b = uint8_t(((colour << 3) & 0xF8) | ((colour >> 2) & 0x07));
    return {b, g, r, 0xFF};
}

Texel Mix(const Texel& a, const Texel& b, int wa, int wb)
{
    Texel mixed{};
    for (size_t c = 0; c < 3; ++c)
        mixed[c] = uint8_t((a[c] * wa + b[c] * wb) / (wa + wb));
    mixed[3] = 0xFF;
    return mixed;
}

// The four colours of a colour block: with the smaller first endpoint in DXT1, the third is the
// midpoint and the fourth transparent black.
std::array<Texel, 4> Palette(const uint8_t* block, bool fourAlways)
{
    const uint16_t c0 = Read16(block), c1 = Read16(block + 2);
    const Texel e0 = Widen(c0), e1 = Widen(c1);
    if (fourAlways || c0 > c1)
        return {e0, e1, Mix(e0, e1, 2, 1), Mix(e0, e1, 1, 2)};
    return {e0, e1, Mix(e0, e1, 1, 1), Texel{0, 0, 0, 0}};
}

// The sixteen alphas of a DXT5 alpha block: eight steps between the endpoints when the first is
// larger, else six with 0 and 255.
std::array<uint8_t, 16> InterpolatedAlphas(const uint8_t* block)
{
    const int a0 = block[0], a1 = block[1];
    std::array<int, 8> levels{a0, a1};
    for (int i = 2; i < 8; ++i)
        levels[size_t(i)] = a0 > a1 ? ((8 - i) * a0 + (i - 1) * a1) / 7
                            : i < 6 ? ((6 - i) * a0 + (i - 1) * a1) / 5
                                    : (i == 6 ? 0 : 255);
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(block[2 + i]) << (8 * i);
    std::array<uint8_t, 16> alphas{};
    for (size_t i = 0; i < 16; ++i)
        alphas[i] = uint8_t(levels[(bits >> (3 * i)) & 7]);
    return alphas;
}

std::array<uint8_t, 16> ExplicitAlphas(const uint8_t* block)
{
    std::array<uint8_t, 16> alphas{};
    for (size_t i = 0; i < 16; ++i)
        alphas[i] = uint8_t(((block[i / 2] >> (4 * (i % 2))) & 0x0F) * 17);
    return alphas;
}

// The block's sixteen texels, row by row.
std::array<Texel, 16> DecodeBlock(Format format, const uint8_t* block)
{
    const uint8_t* colour = format == D3DFMT_DXT1 ? block : block + 8;
    const std::array<Texel, 4> palette = Palette(colour, format != D3DFMT_DXT1);
    const uint32_t indices = uint32_t(Read16(colour + 4)) | (uint32_t(Read16(colour + 6)) << 16);
    std::array<Texel, 16> texels{};
    for (size_t i = 0; i < 16; ++i)
        texels[i] = palette[(indices >> (2 * i)) & 3];
    if (format == D3DFMT_DXT1)
        return texels;
    const std::array<uint8_t, 16> alphas =
        format == D3DFMT_DXT3 ? ExplicitAlphas(block) : InterpolatedAlphas(block);
    for (size_t i = 0; i < 16; ++i)
        texels[i][3] = alphas[i];
    return texels;
}

} // namespace

void DecodeBlocks(Format format, uint32_t width, uint32_t height, const uint8_t* blocks, size_t size,
                  std::vector<uint8_t>& pixels)
{
    pixels.assign(size_t(width) * height * 4, 0);
    const size_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    const uint32_t across = std::max(1u, (width + 3) / 4), down = std::max(1u, (height + 3) / 4);
    for (uint32_t by = 0; by < down; ++by)
        for (uint32_t bx = 0; bx < across; ++bx)
        {
            const size_t at = (size_t(by) * across + bx) * blockBytes;
            if (at + blockBytes > size)
                return;
            const std::array<Texel, 16> texels = DecodeBlock(format, blocks + at);
            for (uint32_t y = 0; y < 4 && by * 4 + y < height; ++y)
                for (uint32_t x = 0; x < 4 && bx * 4 + x < width; ++x)
                {
                    const Texel& texel = texels[y * 4 + x];
                    std::copy(texel.begin(), texel.end(),
                              pixels.begin() + ptrdiff_t((size_t(by * 4 + y) * width + bx * 4 + x) * 4));
                }
        }
}

} // namespace d3d9
