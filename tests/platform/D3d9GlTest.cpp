// The OpenGL back end, run for real on the offscreen video driver.
#include "d3d9/D3d9Device.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

using namespace d3d9;

namespace
{

class GlDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr) << SDL_GetError();
        window = SDL_CreateWindow("test", 0, 0, 64, 48, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        ASSERT_EQ(Create(64, 48, D3DMULTISAMPLE_NONE), D3D_OK);
    }
    void TearDown() override
    {
        if (device)
        {
            device->Release();
        }
        if (window)
        {
            SDL_DestroyWindow(window);
        }
        if (direct3D)
        {
            direct3D->Release();
        }
    }
    HRESULT Create(uint32_t width, uint32_t height, MultisampleType samples)
    {
        parameters.backBufferWidth = width;
        parameters.backBufferHeight = height;
        parameters.backBufferFormat = D3DFMT_X8R8G8B8;
        parameters.backBufferCount = 1;
        parameters.multiSampleType = samples;
        parameters.deviceWindow = window;
        parameters.windowed = true;
        parameters.presentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                      &device);
    }
    // The colour of a pixel of a surface, as the locked memory holds it (0xAARRGGBB).
    static uint32_t Pixel(Surface* surface, int x, int y)
    {
        LockedRect locked;
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t value = 0;
        std::memcpy(&value, static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, 4);
        surface->UnlockRect();
        return value;
    }
    uint32_t BackBufferPixel(int x, int y)
    {
        Surface* back = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, 0, 0, &back), D3D_OK);
        const uint32_t value = Pixel(back, x, y);
        back->Release();
        return value;
    }

    Direct3D* direct3D = nullptr;
    SDL_Window* window = nullptr;
    Device* device = nullptr;
    PresentParameters parameters;
};

TEST_F(GlDevice, ClearedFrameHasTheClearColour)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(BackBufferPixel(0, 0), 0xFF336699u);
    EXPECT_EQ(BackBufferPixel(63, 47), 0xFF336699u);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(BackBufferPixel(10, 10), 0xFF336699u) << "the back buffer keeps its frame after Present";
}

} // namespace
