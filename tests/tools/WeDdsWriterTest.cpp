// The DDS writer's files read back through the engine's image loader onto a texture, and the
// level pixels compared with the source image; and the default textures the build packs.
#include "WeDdsWriter.h"
#include "DxtBlocks.h"

#include "core/AssetReading.h"
#include "core/TempFolder.h"
#include "d3d9/D3d9Device.h"
#include "d3dx/D3dxTextureFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace d3d9;

namespace
{

int Channel(uint32_t pixel, int index)
{
    return int(pixel >> (8 * index) & 0xFF);
}

// Red across, green down, blue against both, alpha across the other way.
WeDdsImage Gradient(uint32_t width, uint32_t height)
{
    return WeDdsImage::Drawn(width, height,
                             [=](uint32_t x, uint32_t y)
                             {
                                 const uint32_t r = x * 255 / std::max(1u, width - 1);
                                 const uint32_t g = y * 255 / std::max(1u, height - 1);
                                 const uint32_t b = 255 - (r + g) / 2;
                                 return (255 - r) << 24 | r << 16 | g << 8 | b;
                             });
}

// Pure red and pure blue in an irregular pattern.
WeDdsImage TwoColours(uint32_t width, uint32_t height)
{
    return WeDdsImage::Drawn(width, height,
                             [](uint32_t x, uint32_t y)
                             { return (x * 3 + y * 5 + x * y) % 7 < 3 ? 0xFFFF0000u : 0xFF0000FFu; });
}

class DdsWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        direct3D = CreateRecordingDirect3D(AdapterSetup{});
        PresentParameters parameters;
        parameters.backBufferWidth = 16;
        parameters.backBufferHeight = 16;
        parameters.backBufferFormat = D3DFMT_X8R8G8B8;
        ASSERT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device), D3D_OK);
    }
    void TearDown() override
    {
        if (device)
            device->Release();
        direct3D->Release();
    }
    // The file's description, and its level's pixels as a texture made from it holds them.
    std::vector<uint32_t> Load(const std::vector<uint8_t>& file, d3dx::ImageInfo& info, uint32_t level = 0)
    {
        EXPECT_EQ(d3dx::D3DXGetImageInfoFromFileInMemory(file.data(), uint32_t(file.size()), &info), D3D_OK);
        Texture* texture = nullptr;
        EXPECT_EQ(
            d3dx::D3DXCreateTextureFromFileInMemory(device, file.data(), uint32_t(file.size()), &texture),
            D3D_OK);
        if (!texture)
            return {};
        EXPECT_EQ(texture->GetLevelCount(), info.mipLevels);
        const uint32_t w = std::max(1u, info.width >> level), h = std::max(1u, info.height >> level);
        LockedRect locked;
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint32_t> pixels;
        const auto* bits = static_cast<const uint8_t*>(locked.bits);
        if (IsBlockFormat(info.format))
            pixels = dxt::Decode(info.format, bits, locked.pitch, w, h);
        else
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                {
                    uint32_t pixel = 0;
                    std::memcpy(&pixel, bits + size_t(y) * size_t(locked.pitch) + x * 4, 4);
                    pixels.push_back(pixel);
                }
        texture->UnlockRect(level);
        texture->Release();
        return pixels;
    }
    std::vector<uint8_t> Encode(const WeDdsImage& image, Format format, bool mipmaps)
    {
        std::vector<uint8_t> file;
        EXPECT_TRUE(writer.Encode(image, format, mipmaps, file)) << writer.GetLastError();
        return file;
    }
    // The largest difference of any channel over all pixels, and the mean one of colour channels.
    static void Compare(const std::vector<uint32_t>& source, const std::vector<uint32_t>& decoded, int& worst,
                        int& worstAlpha, double& mean)
    {
        worst = worstAlpha = 0;
        mean = 0.0;
        ASSERT_EQ(source.size(), decoded.size());
        for (size_t i = 0; i < source.size(); ++i)
        {
            for (int c = 0; c < 3; ++c)
            {
                const int error = std::abs(Channel(source[i], c) - Channel(decoded[i], c));
                worst = std::max(worst, error);
                mean += error;
            }
            worstAlpha = std::max(worstAlpha, std::abs(Channel(source[i], 3) - Channel(decoded[i], 3)));
        }
        mean /= double(source.size() * 3);
    }

    Direct3D* direct3D = nullptr;
    Device* device = nullptr;
    WeDdsWriter writer;
};

TEST_F(DdsWriterTest, CompressedFilesDecodeCloseToTheirSource)
{
    const WeDdsImage image = Gradient(32, 32);
    struct Case
    {
        Format format;
        int alphaTolerance; // DXT1 is opaque; DXT3 keeps 4 bits; DXT5 interpolates 8 levels per block
    };
    for (const Case& test : {Case{D3DFMT_DXT1, 255}, Case{D3DFMT_DXT3, 9}, Case{D3DFMT_DXT5, 4}})
    {
        SCOPED_TRACE(test.format);
        d3dx::ImageInfo info;
        const std::vector<uint32_t> decoded = Load(Encode(image, test.format, true), info);
        EXPECT_EQ(info.format, test.format);
        EXPECT_EQ(info.width, 32u);
        EXPECT_EQ(info.height, 32u);
        EXPECT_EQ(info.mipLevels, 6u) << "32, 16, 8, 4, 2, 1";
        int worst = 0, worstAlpha = 0;
        double mean = 0.0;
        Compare(image.pixels, decoded, worst, worstAlpha, mean);
        EXPECT_LE(worst, 24);
        EXPECT_LT(mean, 5.0) << mean;
        if (test.format == D3DFMT_DXT1)
            EXPECT_TRUE(
                std::all_of(decoded.begin(), decoded.end(), [](uint32_t p) { return p >> 24 == 0xFF; }));
        else
            EXPECT_LE(worstAlpha, test.alphaTolerance);
    }
}

// Two colours that 5:6:5 holds exactly, in a pattern unlike its mirror or transpose, come back
// exactly: any slip in block or index order shows.
TEST_F(DdsWriterTest, TwoColourBlocksComeBackExactly)
{
    const WeDdsImage image = TwoColours(8, 8);
    for (Format format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5})
    {
        d3dx::ImageInfo info;
        EXPECT_EQ(Load(Encode(image, format, false), info), image.pixels) << format;
        EXPECT_EQ(info.mipLevels, 1u);
    }
}

TEST_F(DdsWriterTest, UncompressedFilesKeepEveryPixelAndLevel)
{
    const WeDdsImage image = Gradient(16, 8);
    d3dx::ImageInfo info;
    const std::vector<uint8_t> file = Encode(image, D3DFMT_A8R8G8B8, true);
    EXPECT_EQ(Load(file, info), image.pixels);
    EXPECT_EQ(info.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(info.mipLevels, 5u) << "16x8 down to 1x1";
    // A flat image stays flat on every level, whatever the filter.
    const WeDdsImage flat = WeDdsImage::Drawn(8, 4, [](uint32_t, uint32_t) { return 0x80402010u; });
    const std::vector<uint8_t> flatFile = Encode(flat, D3DFMT_A8R8G8B8, true);
    EXPECT_EQ(Load(flatFile, info, 1), std::vector<uint32_t>(4 * 2, 0x80402010u));
    EXPECT_EQ(Load(flatFile, info, 3), std::vector<uint32_t>(1, 0x80402010u));
}

TEST_F(DdsWriterTest, SizesThatAreNoMultipleOfFourFillPartialBlocks)
{
    const WeDdsImage image = TwoColours(6, 5);
    d3dx::ImageInfo info;
    const std::vector<uint8_t> file = Encode(image, D3DFMT_DXT1, true);
    // Header, then 2x2 blocks, 1x1 (3x2), 1x1 (1x1): every level a whole number of blocks.
    EXPECT_EQ(file.size(), 128u + 4 * 8 + 8 + 8);
    EXPECT_EQ(Load(file, info), image.pixels);
    EXPECT_EQ(info.mipLevels, 3u);
    const WeDdsImage pixel = WeDdsImage::Drawn(1, 1, [](uint32_t, uint32_t) { return 0xFFFFFFFFu; });
    EXPECT_EQ(Load(Encode(pixel, D3DFMT_DXT5, true), info), pixel.pixels);
}

TEST_F(DdsWriterTest, RefusesWhatItCannotWrite)
{
    std::vector<uint8_t> file{1, 2, 3};
    WeDdsImage wrongCount = Gradient(4, 4);
    wrongCount.pixels.pop_back();
    EXPECT_FALSE(writer.Encode(wrongCount, D3DFMT_DXT1, false, file));
    EXPECT_NE(writer.GetLastError().find("pixel count"), std::string::npos);
    EXPECT_FALSE(writer.Encode(WeDdsImage{}, D3DFMT_DXT1, false, file));
    EXPECT_FALSE(writer.Encode(Gradient(4, 4), D3DFMT_R5G6B5, false, file));
    EXPECT_NE(writer.GetLastError().find("DXT5"), std::string::npos);
    EXPECT_EQ(file, (std::vector<uint8_t>{1, 2, 3})) << "a refused image leaves the output alone";

    TempFolder folder;
    const std::string blocked = folder / "file";
    TempFolder::WriteBytes(blocked, {0});
    EXPECT_FALSE(writer.Write(blocked + "/under/a/file.dds", Gradient(4, 4), D3DFMT_DXT1, false));
    EXPECT_NE(writer.GetLastError().find("cannot be created"), std::string::npos);
    const std::string made = folder / "Config/Assets/X.dds";
    ASSERT_TRUE(writer.Write(made, Gradient(4, 4), D3DFMT_DXT5, false)) << writer.GetLastError();
    EXPECT_EQ(TempFolder::ReadBytes(made), Encode(Gradient(4, 4), D3DFMT_DXT5, false));
}

// Each texel coloured by the axis its direction leans along most: face i holds colour i.
uint32_t FaceColour(float x, float y, float z)
{
    const float ax = std::fabs(x), ay = std::fabs(y), az = std::fabs(z);
    const uint32_t face = ax >= ay && ax >= az ? (x > 0 ? 0 : 1)
                          : ay >= az           ? (y > 0 ? 2 : 3)
                                               : (z > 0 ? 4 : 5);
    return 0xFF000000u | (face + 1) * 0x202020u;
}

TEST_F(DdsWriterTest, CubeMapsHoldEachFaceInFileOrder)
{
    const WeDdsCube cube = WeDrawnCube(4, FaceColour);
    std::vector<uint8_t> file;
    ASSERT_TRUE(writer.EncodeCube(cube, D3DFMT_A8R8G8B8, true, file)) << writer.GetLastError();
    d3dx::ImageInfo info;
    ASSERT_EQ(d3dx::D3DXGetImageInfoFromFileInMemory(file.data(), uint32_t(file.size()), &info), D3D_OK);
    EXPECT_EQ(info.resourceType, d3dx::D3DRTYPE_CUBETEXTURE);
    EXPECT_EQ(info.mipLevels, 3u);
    CubeTexture* texture = nullptr;
    ASSERT_EQ(
        d3dx::D3DXCreateCubeTextureFromFileInMemory(device, file.data(), uint32_t(file.size()), &texture),
        D3D_OK);
    for (uint32_t face = 0; face < 6; ++face)
    {
        LockedRect locked;
        ASSERT_EQ(texture->LockRect(CubeFace(face), 0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t corner = 0;
        std::memcpy(&corner, locked.bits, 4);
        EXPECT_EQ(corner, 0xFF000000u | (face + 1) * 0x202020u) << "face " << face;
        texture->UnlockRect(CubeFace(face), 0);
    }
    texture->Release();
    // The +Z face's top left texel looks left and up; the +Y face's top row looks towards -Z; the
    // +X face's right column looks towards -Z. Bits: x<0, x>0, y<0, y>0, z<0, z>0.
    const WeDdsCube signs = WeDrawnCube(4,
                                        [](float x, float y, float z)
                                        {
                                            return uint32_t(x < 0) | uint32_t(x > 0) << 1 |
                                                   uint32_t(y < 0) << 2 | uint32_t(y > 0) << 3 |
                                                   uint32_t(z < 0) << 4 | uint32_t(z > 0) << 5;
                                        });
    const struct
    {
        size_t face;
        uint32_t x, y, bits;
    } looks[] = {{4, 0, 0, 0x1 | 0x8 | 0x20}, {2, 1, 0, 0x1 | 0x8 | 0x10}, {0, 3, 1, 0x2 | 0x8 | 0x10}};
    for (const auto& look : looks)
        EXPECT_EQ(signs[look.face].pixels[look.y * 4 + look.x], look.bits) << look.face;
}

TEST_F(DdsWriterTest, CubeFacesMustBeSquaresOfOneSize)
{
    std::vector<uint8_t> file;
    WeDdsCube cube = WeDrawnCube(4, FaceColour);
    cube[3] = Gradient(4, 2);
    EXPECT_FALSE(writer.EncodeCube(cube, D3DFMT_DXT1, false, file));
    cube[3] = Gradient(8, 8);
    EXPECT_FALSE(writer.EncodeCube(cube, D3DFMT_DXT1, false, file));
    EXPECT_NE(writer.GetLastError().find("squares"), std::string::npos);
    EXPECT_TRUE(file.empty());
}

// The build packs the texture manager's defaults; what the game loads is what was meant.
TEST_F(DdsWriterTest, TheBuildPacksTheDefaultTextures)
{
    WeVirtualFileSystem* package = WeVirtualFileSystem::GetFileSystem();
    ASSERT_NE(package, nullptr);
    struct Default
    {
        const char* name;
        Format format;
        uint32_t width, height;
        uint32_t (*pixel)(uint32_t x);
    };
    const Default defaults[] = {
        {"Config.Assets.DefaultBlack", D3DFMT_DXT1, 4, 4, [](uint32_t) { return 0xFF000000u; }},
        {"Config.Assets.DefaultWhite", D3DFMT_DXT1, 4, 4, [](uint32_t) { return 0xFFFFFFFFu; }},
        {"Config.Assets.DefaultNormal", D3DFMT_A8R8G8B8, 4, 4, [](uint32_t) { return 0xFF8080FFu; }},
        {"Config.Assets.DefaultOutlineRamp", D3DFMT_A8R8G8B8, 256, 4,
         [](uint32_t x) { return 0xFF000000u | x << 16 | x << 8 | x; }},
    };
    for (const Default& expected : defaults)
    {
        SCOPED_TRACE(expected.name);
        ASSERT_TRUE(package->Open(expected.name, WeAssetType::Texture));
        d3dx::ImageInfo info;
        const std::vector<uint32_t> pixels = Load(ReadOpenAsset(*package), info);
        EXPECT_EQ(info.format, expected.format);
        ASSERT_EQ(pixels.size(), size_t(expected.width) * expected.height);
        EXPECT_GT(info.mipLevels, 1u);
        for (size_t i = 0; i < pixels.size(); ++i)
            ASSERT_EQ(pixels[i], expected.pixel(uint32_t(i % expected.width))) << "pixel " << i;
    }
}

} // namespace
