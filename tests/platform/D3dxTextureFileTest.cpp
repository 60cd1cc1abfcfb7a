// DDS files in memory: what the reader takes and what it refuses before making a texture.
#include "d3dx/D3dxTextureFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace d3dx;

namespace
{

// An A8R8G8B8 image of the size with its whole mip chain.
std::vector<uint8_t> PlainWithMips(uint32_t width, uint32_t height)
{
    std::vector<std::vector<uint8_t>> levels;
    for (uint32_t w = width, h = height;; w = std::max(1u, w / 2), h = std::max(1u, h / 2))
    {
        levels.emplace_back(LevelSize(d3d9::D3DFMT_A8R8G8B8, w, h), uint8_t(0x7F));
        if (w == 1 && h == 1)
            break;
    }
    return WriteDds(d3d9::D3DFMT_A8R8G8B8, width, height, levels);
}

// The header word after the magic.
void SetWord(std::vector<uint8_t>& file, uint32_t index, uint32_t value)
{
    std::memcpy(file.data() + 4 + 4 * index, &value, 4);
}

bool Accepted(const std::vector<uint8_t>& file, ImageInfo* info = nullptr)
{
    ImageInfo ignored;
    return !d3d9::Failed(
        D3DXGetImageInfoFromFileInMemory(file.data(), uint32_t(file.size()), info ? info : &ignored));
}

} // namespace

TEST(DdsFile, AWholeChainIsDescribed)
{
    ImageInfo info;
    ASSERT_TRUE(Accepted(PlainWithMips(8, 2), &info));
    EXPECT_EQ(info.width, 8u);
    EXPECT_EQ(info.height, 2u);
    EXPECT_EQ(info.mipLevels, 4u) << "8x2, 4x1, 2x1, 1x1";
    EXPECT_EQ(info.format, d3d9::D3DFMT_A8R8G8B8);
    const std::vector<uint8_t> dxt =
        WriteDds(d3d9::D3DFMT_DXT1, 8, 8, {std::vector<uint8_t>(LevelSize(d3d9::D3DFMT_DXT1, 8, 8))});
    ASSERT_TRUE(Accepted(dxt, &info));
    EXPECT_EQ(info.format, d3d9::D3DFMT_DXT1);
}

TEST(DdsFile, HeadersThatDoNotHoldTogetherAreRefused)
{
    const std::vector<uint8_t> good = PlainWithMips(8, 2);
    struct Case
    {
        const char* what;
        uint32_t word, value;
    };
    for (const Case& c :
         {Case{"header size", 0, 100}, Case{"height 0", 2, 0}, Case{"width 0", 3, 0},
          Case{"width beyond 16384", 3, 20000}, Case{"pixel format size", 18, 24},
          Case{"more levels than the chain has", 6, 5}, Case{"a huge level count", 6, 0xFFFFFFFFu},
          Case{"a FourCC no texture takes", 19, 0x4}, Case{"16-bit pixels", 21, 16}})
    {
        std::vector<uint8_t> bad = good;
        SetWord(bad, c.word, c.value);
        EXPECT_FALSE(Accepted(bad)) << c.what;
    }
    std::vector<uint8_t> longer = good;
    SetWord(longer, 6, 5);
    longer.resize(longer.size() + 4, 0x7F); // bytes for a fifth 1x1 level
    EXPECT_FALSE(Accepted(longer)) << "a level past 1x1";
    std::vector<uint8_t> cut = good;
    cut.pop_back();
    EXPECT_FALSE(Accepted(cut)) << "the last level short of a byte";
    cut.resize(100);
    EXPECT_FALSE(Accepted(cut)) << "a header cut short";
    std::vector<uint8_t> notDds = good;
    notDds[0] = 'X';
    EXPECT_FALSE(Accepted(notDds));
    EXPECT_TRUE(d3d9::Failed(D3DXGetImageInfoFromFileInMemory(nullptr, 200, nullptr)));
}
