// Block-compressed textures on the device: their locked layout is rows of 4x4 blocks, and their
// decoding into 32-bit pixels.
#include "d3d9/BlockDecoder.h"
#include "d3d9/D3d9Device.h"

#include <gtest/gtest.h>

using namespace d3d9;

TEST(D3d9BlockFormat, LevelsLockAsRowsOfBlocks)
{
    Direct3D* direct3D = CreateRecordingDirect3D(AdapterSetup{});
    PresentParameters parameters;
    parameters.backBufferWidth = 16;
    parameters.backBufferHeight = 16;
    parameters.backBufferFormat = D3DFMT_X8R8G8B8;
    Device* device = nullptr;
    ASSERT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device), D3D_OK);
    EXPECT_EQ(LevelBytes(D3DFMT_DXT1, 256, 256), 32768u);
    EXPECT_EQ(LevelBytes(D3DFMT_DXT5, 6, 5), 4u * 16);
    EXPECT_EQ(LevelBytes(D3DFMT_DXT3, 1, 1), 16u) << "a partial block is a whole one";

    Texture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 256, 0, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 9u);
    LockedRect locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.pitch, 512) << "64 blocks of 8 bytes";
    auto* whole = static_cast<uint8_t*>(locked.bits);
    texture->UnlockRect(0);
    const Rect inner{8, 4, 16, 12};
    ASSERT_EQ(texture->LockRect(0, &locked, &inner, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(locked.bits) - whole, 512 + 2 * 8) << "block row 1, block 2";
    texture->UnlockRect(0);
    const Rect misaligned{2, 0, 8, 4};
    EXPECT_EQ(texture->LockRect(0, &locked, &misaligned, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->LockRect(8, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.pitch, 8) << "the 1x1 level is one block";
    texture->UnlockRect(8);
    texture->Release();
    EXPECT_EQ(device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_DXT5, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3DERR_INVALIDCALL)
        << "nothing renders into blocks";
    device->Release();
    direct3D->Release();
}

// The GL back end keeps block textures decoded: each kind of block against texels worked by hand
// (B, G, R, A of the first four pixels of the top row).
TEST(D3d9BlockFormat, BlocksDecodeToTheirTexels)
{
    struct Case
    {
        const char* what;
        Format format;
        std::vector<uint8_t> block;
        std::vector<uint8_t> firstRow;
    };
    const Case cases[] = {
        {"four colours: red, blue, two thirds between",
         D3DFMT_DXT1,
         {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0},
         {0, 0, 255, 255, 255, 0, 0, 255, 85, 0, 170, 255, 170, 0, 85, 255}},
        {"three colours and transparent black when the first endpoint is smaller",
         D3DFMT_DXT1,
         {0x1F, 0x00, 0x00, 0xF8, 0xE4, 0, 0, 0},
         {255, 0, 0, 255, 0, 0, 255, 255, 127, 0, 127, 255, 0, 0, 0, 0}},
        {"explicit alpha nibbles over white",
         D3DFMT_DXT3,
         {0x0F, 0x08, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
         {255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 136, 255, 255, 255, 0}},
        {"eight alpha steps when the first is larger",
         D3DFMT_DXT5,
         {255, 0, 0x3A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0, 0, 0, 218, 0, 0, 0, 36, 0, 0, 0, 255, 0, 0, 0, 255}},
        {"six alpha steps with 0 and 255 otherwise",
         D3DFMT_DXT5,
         {0, 255, 0xBE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 51, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        std::vector<uint8_t> pixels;
        DecodeBlocks(c.format, 4, 4, c.block.data(), c.block.size(), pixels);
        ASSERT_EQ(pixels.size(), 64u) << c.what;
        EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 16), c.firstRow) << c.what;
    }
}

TEST(D3d9BlockFormat, SmallLevelsAndShortDataStayInside)
{
    const std::vector<uint8_t> red{0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    std::vector<uint8_t> pixels;
    DecodeBlocks(D3DFMT_DXT1, 2, 1, red.data(), red.size(), pixels);
    EXPECT_EQ(pixels, (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 255, 255})) << "a partial block clipped";
    DecodeBlocks(D3DFMT_DXT1, 8, 4, red.data(), red.size(), pixels);
    ASSERT_EQ(pixels.size(), 128u);
    EXPECT_EQ(pixels[2], 255) << "the first block decodes";
    EXPECT_EQ(pixels[16 + 2], 0) << "the block past the data stays transparent black";
}
