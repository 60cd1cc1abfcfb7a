// DDS files in memory: what the reader takes and what it refuses before making a texture.
#include "d3dx/D3dxTextureFile.h"

#include <gtest/gtest.h>

#include <algorithm>
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

namespace
{

// An A8R8G8B8 cube map or volume of the size with its whole chain, every image filled with its
// own index in file order.
std::vector<uint8_t> Shaped(ResourceKind kind, uint32_t width, uint32_t height, uint32_t depth)
{
    ImageInfo shape;
    shape.resourceType = kind;
    shape.width = width;
    shape.height = height;
    shape.depth = depth;
    shape.format = d3d9::D3DFMT_A8R8G8B8;
    shape.mipLevels = 0;
    for (uint32_t largest = std::max({width, height, depth}); largest != 0; largest /= 2)
        ++shape.mipLevels;
    std::vector<std::vector<uint8_t>> images;
    for (uint32_t face = 0; face < (kind == D3DRTYPE_CUBETEXTURE ? 6u : 1u); ++face)
        for (uint32_t level = 0; level < shape.mipLevels; ++level)
        {
            const uint32_t slices = kind == D3DRTYPE_VOLUMETEXTURE ? std::max(1u, depth >> level) : 1u;
            images.emplace_back(
                size_t(LevelSize(shape.format, std::max(1u, width >> level), std::max(1u, height >> level))) *
                    slices,
                uint8_t(images.size()));
        }
    return WriteDds(shape, images);
}

} // namespace

TEST(DdsFile, CubeMapsAndVolumesAreDescribedWithTheirWholeChains)
{
    ImageInfo info;
    ASSERT_TRUE(Accepted(Shaped(D3DRTYPE_CUBETEXTURE, 4, 4, 1), &info));
    EXPECT_EQ(info.resourceType, D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(info.mipLevels, 3u);
    ASSERT_TRUE(Accepted(Shaped(D3DRTYPE_VOLUMETEXTURE, 2, 4, 8), &info));
    EXPECT_EQ(info.resourceType, D3DRTYPE_VOLUMETEXTURE);
    EXPECT_EQ(info.depth, 8u);
    EXPECT_EQ(info.mipLevels, 4u) << "down to 1x1x1 along the deepest side";
}

TEST(DdsFile, CubeMapsAndVolumesMissingPartsAreRefused)
{
    for (ResourceKind kind : {D3DRTYPE_CUBETEXTURE, D3DRTYPE_VOLUMETEXTURE})
    {
        std::vector<uint8_t> cut = Shaped(kind, 4, 4, 4);
        cut.pop_back();
        EXPECT_FALSE(Accepted(cut)) << "the last face or slice short of a byte, kind " << kind;
    }
    std::vector<uint8_t> fiveFaces = Shaped(D3DRTYPE_CUBETEXTURE, 4, 4, 1);
    SetWord(fiveFaces, 27, 0x200 | 0x7C00);
    EXPECT_FALSE(Accepted(fiveFaces));
    std::vector<uint8_t> flat = Shaped(D3DRTYPE_VOLUMETEXTURE, 4, 4, 4);
    SetWord(flat, 5, 0);
    EXPECT_FALSE(Accepted(flat)) << "no depth";
}

TEST(DdsFile, EachFaceAndSliceLandsWhereItBelongs)
{
    d3d9::Direct3D* direct3D = d3d9::CreateRecordingDirect3D();
    d3d9::PresentParameters parameters;
    parameters.backBufferWidth = parameters.backBufferHeight = 8;
    parameters.backBufferFormat = d3d9::D3DFMT_X8R8G8B8;
    d3d9::Device* device = nullptr;
    ASSERT_EQ(direct3D->CreateDevice(0, d3d9::D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device),
              d3d9::D3D_OK);
    const std::vector<uint8_t> cubeFile = Shaped(D3DRTYPE_CUBETEXTURE, 4, 4, 1);
    d3d9::CubeTexture* cube = nullptr;
    ASSERT_EQ(
        D3DXCreateCubeTextureFromFileInMemory(device, cubeFile.data(), uint32_t(cubeFile.size()), &cube),
        d3d9::D3D_OK);
    d3d9::LockedRect rect;
    ASSERT_EQ(cube->LockRect(d3d9::D3DCUBEMAP_FACE_NEGATIVE_Y, 1, &rect, nullptr, d3d9::D3DLOCK_READONLY),
              d3d9::D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(rect.bits)[rect.pitch + 7], 3 * 3 + 1) << "face 3, level 1";
    cube->UnlockRect(d3d9::D3DCUBEMAP_FACE_NEGATIVE_Y, 1);
    cube->Release();
    const std::vector<uint8_t> volumeFile = Shaped(D3DRTYPE_VOLUMETEXTURE, 4, 2, 4);
    d3d9::VolumeTexture* volume = nullptr;
    ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemory(device, volumeFile.data(), uint32_t(volumeFile.size()),
                                                      &volume),
              d3d9::D3D_OK);
    EXPECT_EQ(volume->Depth(), 4u);
    EXPECT_EQ(volume->LevelMemory(1), std::vector<uint8_t>(2 * 1 * 2 * 4, 1));
    volume->Release();
    d3d9::Texture* wrongKind = nullptr;
    EXPECT_EQ(
        D3DXCreateTextureFromFileInMemory(device, cubeFile.data(), uint32_t(cubeFile.size()), &wrongKind),
        d3d9::D3DERR_INVALIDCALL);
    const std::vector<uint8_t> oblong = Shaped(D3DRTYPE_CUBETEXTURE, 4, 2, 1);
    EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(device, oblong.data(), uint32_t(oblong.size()), &cube),
              d3d9::D3DERR_INVALIDCALL);
    device->Release();
    direct3D->Release();
}
