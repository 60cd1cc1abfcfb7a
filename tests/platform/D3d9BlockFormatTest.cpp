// Block-compressed textures on the device: their locked layout is rows of 4x4 blocks.
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
