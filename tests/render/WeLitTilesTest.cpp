// The tiles of a target that a reduced image read over it brightens: every tile with a pixel
// whose filtered read takes a texel with colour, and no other.
#include "WeLitTiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace
{

struct Texel
{
    int32_t x, y;
    uint32_t value; // alpha, red, green, blue from the top byte down
};

struct Case
{
    const char* what;
    int32_t width, height;             // of the image
    int32_t targetWidth, targetHeight; // of the target it is read over
    std::vector<Texel> lit;
    std::vector<std::array<int32_t, 4>> expected; // left, top, right, bottom
};

// The rectangles as left, top, right, bottom.
std::vector<std::array<int32_t, 4>> Find(const Case& c)
{
    const int32_t pitch = c.width * 4 + 8; // rows padded beyond their pixels
    std::vector<uint8_t> bits(size_t(pitch) * size_t(c.height));
    for (const Texel& texel : c.lit)
        std::memcpy(bits.data() + size_t(texel.y) * size_t(pitch) + size_t(texel.x) * 4, &texel.value, 4);
    std::vector<std::array<int32_t, 4>> found;
    for (const d3d9::Rect& r :
         WeFindLitTiles({bits.data(), pitch, c.width, c.height, c.targetWidth, c.targetHeight}))
        found.push_back({r.left, r.top, r.right, r.bottom});
    return found;
}

TEST(LitTiles, EveryTileReadingATexelWithColourAndNoOther)
{
    // A quarter-size image over 256 x 192 pixels, tiles of 64: texel 15 covers pixels 60 to 63,
    // and pixel 64 reads it beside texel 16; pixel 62 is the first to read texel 16.
    const Case cases[] = {
        {"black", 64, 48, 256, 192, {}, {}},
        {"alpha alone", 64, 48, 256, 192, {{20, 20, 0xFF000000u}}, {}},
        {"the first texel", 64, 48, 256, 192, {{0, 0, 0x00000001u}}, {{0, 0, 64, 64}}},
        {"the last texel inside a tile", 64, 48, 256, 192, {{14, 0, 0x00010000u}}, {{0, 0, 64, 64}}},
        {"read across the tile edge from the left",
         64,
         48,
         256,
         192,
         {{15, 0, 0x00000100u}},
         {{0, 0, 128, 64}}},
        {"read across the tile edge from the right",
         64,
         48,
         256,
         192,
         {{16, 0, 0xFFFFFFFFu}},
         {{0, 0, 128, 64}}},
        {"read across the edge below",
         64,
         48,
         256,
         192,
         {{40, 15, 0x00202020u}},
         {{128, 0, 192, 64}, {128, 64, 192, 128}}},
        {"two runs in a row",
         64,
         48,
         256,
         192,
         {{0, 0, 1u}, {40, 0, 1u}},
         {{0, 0, 64, 64}, {128, 0, 192, 64}}},
        {"the last texel", 64, 48, 256, 192, {{63, 47, 1u}}, {{192, 128, 256, 192}}},
        // Rows of 70 / 18 pixels: pixel 63 reads texel 17 within a pixel of the edge of its read.
        {"a target of part tiles", 25, 18, 100, 70, {{24, 17, 1u}}, {{64, 0, 100, 64}, {64, 64, 100, 70}}},
        {"an image as large as the target", 100, 70, 100, 70, {{64, 10, 1u}}, {{0, 0, 100, 64}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Find(c), c.expected);
    }
}

TEST(LitTiles, AnImageThatCannotBeReadLightsNothing)
{
    const uint8_t white[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const WeTileImage images[] = {
        {nullptr, 8, 2, 2, 64, 64}, // no pixels
        {white, 4, 2, 2, 64, 64},   // rows shorter than their pixels
        {white, 8, 0, 2, 64, 64},   // no width
        {white, 8, 2, 2, 64, 0},    // no target
    };
    for (const WeTileImage& image : images)
        EXPECT_TRUE(WeFindLitTiles(image).empty());
}

} // namespace
