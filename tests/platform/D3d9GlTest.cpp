// The OpenGL back end, run for real on the offscreen video driver.
#include "EngineVertexLayout.h"
#include "GlLeakScope.h"
#include "d3d9/D3d9Backend.h"
#include "d3d9/D3d9Device.h"
#include "d3d9/GlBackend.h"
#include "d3dx/D3dxMesh.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

using namespace d3d9;

namespace
{

class GlDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PauseLeakChecks();
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr) << SDL_GetError();
        RequestWindow();
        window = SDL_CreateWindow("test", 0, 0, 64, 48, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        SDL_GL_ResetAttributes();
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
        ResumeLeakChecks();
    }
    virtual void RequestWindow() {}
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
        return direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                      &parameters, &device);
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
    // The surface's 64 x 48 pixels, rows top first.
    static std::vector<uint32_t> Pixels(Surface* surface)
    {
        LockedRect locked;
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint32_t> pixels(64 * 48);
        for (int y = 0; y < 48; ++y)
            std::memcpy(&pixels[size_t(y * 64)], static_cast<uint8_t*>(locked.bits) + y * locked.pitch,
                        64 * 4);
        surface->UnlockRect();
        return pixels;
    }
    // A white triangle over the top left at depth 0.5, its slanted edge covering pixels in part.
    void DrawTriangle()
    {
        struct Vertex
        {
            float x, y, z, rhw;
            D3DCOLOR color;
        } triangle[3] = {{0, 0, 0.5f, 1, ~0u}, {40, 0, 0.5f, 1, ~0u}, {0, 30, 0.5f, 1, ~0u}};
        ASSERT_EQ(device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
    }
    uint32_t BackBufferPixel(int x, int y)
    {
        Surface* back = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, 0, 0, &back), D3D_OK);
        const uint32_t value = Pixel(back, x, y);
        back->Release();
        return value;
    }

    // A rectangle of pre-transformed vertices in pixels, drawn as a strip, corners in
    // clockwise order as Direct3D sees them when `clockwise`.
    void DrawRectangle(float left, float top, float right, float bottom, D3DCOLOR color, float z = 0.5f,
                       bool clockwise = true)
    {
        struct Vertex
        {
            float x, y, z, rhw;
            D3DCOLOR color;
            float u, v;
        };
        Vertex strip[4] = {{left, top, z, 1, color, 0, 0},
                           {right, top, z, 1, color, 1, 0},
                           {left, bottom, z, 1, color, 0, 1},
                           {right, bottom, z, 1, color, 1, 1}};
        if (!clockwise)
        {
            std::swap(strip[1], strip[2]);
        }
        ASSERT_EQ(device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex)), D3D_OK);
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

TEST_F(GlDevice, PreTransformedRectangleCoversExactlyItsPixels)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawRectangle(0, 0, 32, 24, 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(31, 23), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(32, 10), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(10, 24), 0xFF000000u);
}

TEST_F(GlDevice, ClockwiseTrianglesAreFrontFaces)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawRectangle(0, 0, 16, 16, 0xFF00FF00u, 0.5f, true);
    DrawRectangle(32, 0, 48, 16, 0xFF00FF00u, 0.5f, false);
    EXPECT_EQ(BackBufferPixel(8, 8), 0xFF00FF00u) << "clockwise survives the default culling";
    EXPECT_EQ(BackBufferPixel(40, 8), 0xFF000000u) << "counter-clockwise is culled";
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    DrawRectangle(0, 24, 16, 40, 0xFF0000FFu, 0.5f, true);
    EXPECT_EQ(BackBufferPixel(8, 30), 0xFF000000u) << "CULL_CW removes clockwise faces";
}

TEST_F(GlDevice, DepthRunsFromZeroToOne)
{
    Surface* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, false, &depth,
                                                nullptr),
              D3D_OK);
    device->SetDepthStencilSurface(depth);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 0.3f, 0);
    DrawRectangle(0, 0, 16, 16, 0xFFFF0000u, 0.2f);
    DrawRectangle(20, 0, 36, 16, 0xFFFF0000u, 0.4f);
    EXPECT_EQ(BackBufferPixel(8, 8), 0xFFFF0000u) << "0.2 lies in front of a buffer cleared to 0.3";
    EXPECT_EQ(BackBufferPixel(28, 8), 0xFF000000u) << "0.4 lies behind it";
    device->SetDepthStencilSurface(nullptr);
    depth->Release();
}

TEST_F(GlDevice, ScissoredClearTouchesOnlyItsRectangle)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    const Rect rect{8, 4, 24, 12};
    device->SetScissorRect(&rect);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
    EXPECT_EQ(BackBufferPixel(8, 4), 0xFFFFFFFFu) << "Clear ignores the colour write mask";
    EXPECT_EQ(BackBufferPixel(23, 11), 0xFFFFFFFFu);
    EXPECT_EQ(BackBufferPixel(7, 4), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(8, 3), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(24, 11), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(23, 12), 0xFF000000u);
}

TEST_F(GlDevice, UploadedTextureRowsRunTopFirst)
{
    Texture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    LockedRect locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const uint32_t top = 0xFFFF0000u, bottom = 0xFF0000FFu;
    auto* bytes = static_cast<uint8_t*>(locked.bits);
    for (int x = 0; x < 2; ++x)
    {
        std::memcpy(bytes + x * 4, &top, 4);
        std::memcpy(bytes + locked.pitch + x * 4, &bottom, 4);
    }
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    DrawRectangle(0, 0, 64, 48, 0xFFFFFFFFu);
    EXPECT_EQ(BackBufferPixel(30, 2), top);
    EXPECT_EQ(BackBufferPixel(30, 45), bottom);
    texture->Release();
}

TEST_F(GlDevice, CubeFacesAndVolumeSlicesAreSampledWhereTheyLie)
{
    CubeTexture* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    for (uint32_t face = 0; face < 6; ++face)
    {
        LockedRect locked;
        ASSERT_EQ(cube->LockRect(CubeFace(face), 0, &locked, nullptr, 0), D3D_OK);
        for (int texel = 0; texel < 4; ++texel)
        {
            const uint32_t colour = 0xFF000000u | (face * 40u) << 16;
            std::memcpy(static_cast<uint8_t*>(locked.bits) + (texel / 2) * locked.pitch + (texel % 2) * 4,
                        &colour, 4);
        }
        ASSERT_EQ(cube->UnlockRect(CubeFace(face), 0), D3D_OK);
    }
    VolumeTexture* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(1, 1, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr),
              D3D_OK);
    LockedBox box;
    ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
    const uint32_t front = 0xFF00FF00u, back = 0xFF0000FFu;
    std::memcpy(box.bits, &front, 4);
    std::memcpy(static_cast<uint8_t*>(box.bits) + box.slicePitch, &back, 4);
    ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
    PixelShader* shader = nullptr;
    ASSERT_EQ(device->CreatePixelShader(R"(in vec4 v_color;
in vec2 v_tex;
uniform samplerCube Sky;
uniform sampler3D Slices;
void main()
{
    o_color = v_tex.x < 0.5 ? texture(Sky, vec3(0.0, -1.0, 0.0)) : texture(Slices, vec3(0.5, 0.5, v_tex.y));
}
)",
                                        &shader),
              D3D_OK)
        << device->GetBackend().LastProblem();
    const float skyStage = 0.0f, slicesStage = 1.0f;
    device->SetShaderConstantF(ShaderConstantId("Sky"), &skyStage, 1);
    device->SetShaderConstantF(ShaderConstantId("Slices"), &slicesStage, 1);
    device->SetPixelShader(shader);
    device->SetTexture(0, cube);
    device->SetTexture(1, volume);
    DrawRectangle(0, 0, 64, 48, 0xFFFFFFFFu);
    EXPECT_EQ(BackBufferPixel(10, 24), 0xFF780000u) << "the face below, -Y";
    EXPECT_EQ(BackBufferPixel(50, 5), front);
    EXPECT_EQ(BackBufferPixel(50, 42), back);
    device->SetPixelShader(nullptr);
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    shader->Release();
    volume->Release();
    cube->Release();
}

TEST_F(GlDevice, RenderTargetContentsSurviveBeingSampled)
{
    Texture* target = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    &target, nullptr),
              D3D_OK);
    Surface* surface = nullptr;
    Surface* back = nullptr;
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    Viewport viewport;
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.width, 16u) << "setting target 0 resets the viewport";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    const Rect topHalf{0, 0, 16, 8};
    device->SetScissorRect(&topHalf);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 1);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetTexture(0, target);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    DrawRectangle(0, 0, 64, 48, 0xFFFFFFFFu);
    EXPECT_EQ(BackBufferPixel(32, 4), 0xFF0000FFu) << "the top rows rendered stay on top when sampled";
    EXPECT_EQ(BackBufferPixel(32, 44), 0xFF00FF00u);
    EXPECT_EQ(Pixel(surface, 3, 3), 0xFF0000FFu);
    surface->Release();
    back->Release();
    target->Release();
}

// The value of a 16-bit float.
float HalfValue(const uint8_t* bytes)
{
    uint16_t half = 0;
    std::memcpy(&half, bytes, 2);
    const int exponent = (half >> 10) & 31;
    const int mantissa = half & 1023;
    const float value =
        exponent ? std::ldexp(float(1024 + mantissa), exponent - 25) : std::ldexp(float(mantissa), -24);
    return half & 0x8000 ? -value : value;
}

// The 16-bit float channels of a pixel of a float surface.
std::vector<float> HalfPixel(Surface* surface, int x, int y)
{
    LockedRect locked;
    EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint32_t channels = BytesPerPixel(surface->GetDesc().format) / 2;
    const auto* pixel = static_cast<const uint8_t*>(locked.bits) + y * locked.pitch + x * channels * 2;
    std::vector<float> values;
    for (uint32_t c = 0; c < channels; ++c)
        values.push_back(HalfValue(pixel + 2 * c));
    surface->UnlockRect();
    return values;
}

// Targets of three formats bound together: Clear reaches every one whatever the write masks,
// and a draw writes each target's own output through its own mask.
TEST_F(GlDevice, MixedFormatTargetsTakeTheirOwnOutputsMasksAndEveryClear)
{
    const Format formats[3] = {D3DFMT_A8R8G8B8, D3DFMT_G16R16F, D3DFMT_A16B16G16R16F};
    Texture* targets[3] = {};
    Surface* surfaces[3] = {};
    Surface* back = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, formats[i], D3DPOOL_DEFAULT,
                                        &targets[i], nullptr),
                  D3D_OK);
        targets[i]->GetSurfaceLevel(0, &surfaces[i]);
        ASSERT_EQ(device->SetRenderTarget(uint32_t(i), surfaces[i]), D3D_OK);
    }
    for (RenderState mask : {D3DRS_COLORWRITEENABLE, D3DRS_COLORWRITEENABLE1, D3DRS_COLORWRITEENABLE2})
        device->SetRenderState(mask, 0);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF8000FFu, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(surfaces[0], 4, 4), 0xFF8000FFu);
    EXPECT_NEAR(HalfPixel(surfaces[1], 4, 4)[0], 128.0f / 255.0f, 0.002f);
    const std::vector<float> third = HalfPixel(surfaces[2], 4, 4);
    EXPECT_NEAR(third[0], 128.0f / 255.0f, 0.002f);
    EXPECT_EQ(std::vector<float>(third.begin() + 1, third.end()), (std::vector<float>{0.0f, 1.0f, 1.0f}));

    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0x2);  // green only
    device->SetRenderState(D3DRS_COLORWRITEENABLE1, 0x2); // green only
    device->SetRenderState(D3DRS_COLORWRITEENABLE2, D3DCOLORWRITEENABLE_ALL);
    PixelShader* shader = nullptr;
    ASSERT_EQ(device->CreatePixelShader(
                  "layout(location = 1) out vec4 o_second;\n"
                  "layout(location = 2) out vec4 o_third;\n"
                  "void main() { o_color = vec4(0.0, 1.0, 0.0, 0.0);\n"
                  "o_second = vec4(0.25, 0.5, 0.0, 1.0); o_third = vec4(2.0, 3.0, 4.0, 5.0); }",
                  &shader),
              D3D_OK);
    device->SetPixelShader(shader);
    DrawRectangle(0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(surfaces[0], 4, 4), 0xFF80FFFFu) << "only green written";
    const std::vector<float> second = HalfPixel(surfaces[1], 4, 4);
    EXPECT_NEAR(second[0], 128.0f / 255.0f, 0.002f) << "red kept";
    EXPECT_EQ(second[1], 0.5f);
    EXPECT_EQ(HalfPixel(surfaces[2], 4, 4), (std::vector<float>{2.0f, 3.0f, 4.0f, 5.0f}))
        << "float values beyond 1";
    device->SetPixelShader(nullptr);
    shader->Release();
    device->SetRenderTarget(0, back);
    device->SetRenderTarget(1, nullptr);
    device->SetRenderTarget(2, nullptr);
    back->Release();
    for (int i = 0; i < 3; ++i)
    {
        surfaces[i]->Release();
        targets[i]->Release();
    }
}

// A multisampled target resolves into a texture of its size, and a texture scales into a
// smaller one; rectangles outside a surface and multisampled destinations are refused.
TEST_F(GlDevice, StretchRectResolvesAndScalesBetweenTargets)
{
    Surface* multisampled = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, MultisampleType(4), 0, false, &multisampled,
                                         nullptr),
              D3D_OK);
    Surface* back = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    device->SetRenderTarget(0, multisampled);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    DrawRectangle(0, 0, 8, 8, 0xFFFFFFFFu);
    device->SetRenderTarget(0, back);
    Texture* copy = nullptr;
    Texture* small = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &copy,
                                    nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &small,
                                    nullptr),
              D3D_OK);
    Surface* copyLevel = copy->Level(0, 0);
    Surface* smallLevel = small->Level(0, 0);
    ASSERT_EQ(device->StretchRect(multisampled, nullptr, copyLevel, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(Pixel(copyLevel, 2, 2), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(copyLevel, 12, 12), 0xFF00FF00u);
    ASSERT_EQ(device->StretchRect(copyLevel, nullptr, smallLevel, nullptr, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(Pixel(smallLevel, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(smallLevel, 6, 6), 0xFF00FF00u);
    const Rect outside{0, 0, 32, 32};
    EXPECT_EQ(device->StretchRect(multisampled, &outside, copyLevel, nullptr, D3DTEXF_NONE),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(copyLevel, nullptr, multisampled, nullptr, D3DTEXF_NONE),
              D3DERR_INVALIDCALL);
    back->Release();
    multisampled->Release();
    copy->Release();
    small->Release();
}

// A 32-bit colour target of the back buffer's size is stored as the back buffer is, and a copy
// between them keeps every channel where it was, drawn or cleared, in either direction.
TEST_F(GlDevice, ColourTargetsCopyOntoTheBackBufferChannelForChannel)
{
    Texture* target = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 48, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    &target, nullptr),
              D3D_OK);
    Surface* level = target->Level(0, 0);
    Surface* back = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    device->SetRenderTarget(0, level);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0);
    DrawRectangle(0, 0, 32, 48, 0xFFFF0000u);
    device->SetRenderTarget(0, back);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    ASSERT_EQ(device->StretchRect(level, nullptr, back, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(BackBufferPixel(10, 10), 0xFFFF0000u) << "drawn red";
    EXPECT_EQ(BackBufferPixel(50, 10), 0xFF0000FFu) << "cleared blue";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    ASSERT_EQ(device->StretchRect(back, nullptr, level, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(Pixel(level, 10, 10), 0xFF00FF00u);
    back->Release();
    target->Release();
}

TEST_F(GlDevice, MultisampledBackBufferReadsResolved)
{
    device->Release();
    device = nullptr;
    ASSERT_EQ(Create(64, 48, MultisampleType(4)), D3D_OK);
    Surface* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, MultisampleType(4), 0, false, &depth,
                                                nullptr),
              D3D_OK);
    device->SetDepthStencilSurface(depth);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
    DrawRectangle(0, 0, 16, 16, 0xFFFFFFFFu);
    EXPECT_EQ(BackBufferPixel(40, 40), 0xFF203040u);
    EXPECT_EQ(BackBufferPixel(8, 8), 0xFFFFFFFFu);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    device->SetDepthStencilSurface(nullptr);
    depth->Release();
}

// Present shows the back buffer in the window the right way up and, multisampled, resolved as a
// read-back resolves it: the slanted edge's blended pixels are the same in both.
TEST_F(GlDevice, PresentShowsTheResolvedBackBufferUpright)
{
    for (const MultisampleType samples : {D3DMULTISAMPLE_NONE, MultisampleType(4)})
    {
        SCOPED_TRACE(int(samples));
        device->Release();
        device = nullptr;
        ASSERT_EQ(Create(64, 48, samples), D3D_OK);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040u, 1.0f, 0);
        DrawTriangle();
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        std::vector<uint32_t> shown(64 * 48);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadPixels(0, 0, 64, 48, GL_BGRA, GL_UNSIGNED_BYTE, shown.data());
        Surface* back = nullptr;
        ASSERT_EQ(device->GetBackBuffer(0, 0, 0, &back), D3D_OK);
        const std::vector<uint32_t> pixels = Pixels(back);
        back->Release();
        int blended = 0, different = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x)
            {
                const uint32_t pixel = pixels[size_t(y * 64 + x)];
                different += (shown[size_t((47 - y) * 64 + x)] | 0xFF000000u) != pixel;
                blended += pixel != 0xFF203040u && pixel != 0xFFFFFFFFu;
            }
        EXPECT_EQ(different, 0) << "pixels the window shows otherwise than the back buffer holds";
        EXPECT_EQ(blended > 0, samples != D3DMULTISAMPLE_NONE) << "only the multisampled edge blends";
    }
}

TEST_F(GlDevice, SimulatedLossAndResetLeaveAWorkingDevice)
{
    Surface* target = nullptr;
    ASSERT_EQ(
        device->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, false, &target, nullptr),
        D3D_OK);
    device->SimulateDeviceLoss();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    PresentParameters larger = parameters;
    larger.backBufferWidth = 80;
    larger.backBufferHeight = 60;
    EXPECT_EQ(device->Reset(&larger), D3DERR_INVALIDCALL) << "a live render target blocks the reset";
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target->Release();
    ASSERT_EQ(device->Reset(&larger), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF112233u, 1.0f, 0);
    EXPECT_EQ(BackBufferPixel(79, 59), 0xFF112233u);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

// A window made with a depth-stencil buffer, which the back buffer is drawn straight into: what
// is drawn and read back lies where Direct3D puts it although the window's rows run bottom up.
class GlWindow : public GlDevice
{
protected:
    void RequestWindow() override { RequestWindowDepthStencil(); }
    static bool DrawnIntoWindow()
    {
        GLint bound = -1;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
        return bound == 0;
    }
};

TEST_F(GlWindow, DrawsLandWhereDirect3DPutsThem)
{
    struct Case
    {
        const char* name;
        Rect drawn;
        Viewport viewport;
        Rect scissor; // tested when not empty
        uint32_t cull;
        bool clockwise;
        std::vector<std::pair<int, int>> red, black;
    };
    const Viewport all{0, 0, 64, 48, 0.0f, 1.0f}, part{8, 4, 16, 8, 0.0f, 1.0f};
    const std::vector<std::pair<int, int>> partInside{{8, 4}, {23, 11}},
        partOutside{{7, 4}, {8, 3}, {24, 11}, {23, 12}};
    const Case cases[] = {
        {"one row", {0, 5, 64, 6}, all, {}, D3DCULL_CCW, true, {{0, 5}, {63, 5}}, {{0, 4}, {0, 6}}},
        {"viewport", {0, 0, 64, 48}, part, {}, D3DCULL_CCW, true, partInside, partOutside},
        {"scissor", {0, 0, 64, 48}, all, {8, 4, 24, 12}, D3DCULL_CCW, true, partInside, partOutside},
        {"clockwise kept", {0, 0, 16, 16}, all, {}, D3DCULL_CCW, true, {{8, 8}}, {}},
        {"counter-clockwise culled", {0, 0, 16, 16}, all, {}, D3DCULL_CCW, false, {}, {{8, 8}}},
        {"clockwise culled", {0, 0, 16, 16}, all, {}, D3DCULL_CW, true, {}, {{8, 8}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        device->SetViewport(&c.viewport);
        device->SetScissorRect(&c.scissor);
        device->SetRenderState(D3DRS_SCISSORTESTENABLE, c.scissor.right > 0);
        device->SetRenderState(D3DRS_CULLMODE, c.cull);
        DrawRectangle(float(c.drawn.left), float(c.drawn.top), float(c.drawn.right), float(c.drawn.bottom),
                      0xFFFF0000u, 0.5f, c.clockwise);
        EXPECT_TRUE(DrawnIntoWindow());
        for (const auto& [x, y] : c.red)
            EXPECT_EQ(BackBufferPixel(x, y), 0xFFFF0000u) << x << "," << y;
        for (const auto& [x, y] : c.black)
            EXPECT_EQ(BackBufferPixel(x, y), 0xFF000000u) << x << "," << y;
    }
}

TEST_F(GlWindow, CopiesFromAndIntoTheBackBufferKeepTheTopRowOnTop)
{
    Surface* back = nullptr;
    Surface* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(
        device->CreateRenderTarget(64, 48, D3DFMT_X8R8G8B8, MultisampleType(0), 0, false, &target, nullptr),
        D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawRectangle(0, 0, 64, 4, 0xFFFF0000u);
    const Rect top{0, 0, 8, 8}, bottom{0, 40, 8, 48};
    ASSERT_EQ(device->StretchRect(back, &top, target, &bottom, D3DTEXF_NONE), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    ASSERT_EQ(device->StretchRect(target, &bottom, back, &bottom, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(Pixel(target, 2, 41), 0xFFFF0000u);
    EXPECT_EQ(Pixel(target, 2, 45), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(2, 41), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(2, 45), 0xFF000000u);
    target->Release();
    back->Release();
}

// A depth-stencil surface keeps its contents whether drawn with into the window (whose own
// buffer stands for it) or into a texture: what one wrote holds in the other.
TEST_F(GlWindow, DepthFollowsItsSurfaceBetweenTheWindowAndTargets)
{
    Surface* back = nullptr;
    Surface* depth = nullptr;
    Texture* texture = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, MultisampleType(0), 0, false, &depth,
                                                nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateTexture(64, 48, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    &texture, nullptr),
              D3D_OK);
    device->SetDepthStencilSurface(depth);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0.3f, 0);
    device->SetRenderTarget(0, texture->Level(0, 0));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawRectangle(0, 0, 64, 8, 0xFFFF0000u, 0.1f);
    DrawRectangle(0, 0, 64, 48, 0xFFFF0000u, 0.4f);
    EXPECT_EQ(Pixel(texture->Level(0, 0), 8, 20), 0xFF000000u) << "0.4 lies behind the window's clear";
    device->SetRenderTarget(0, back);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawRectangle(0, 0, 64, 48, 0xFFFF0000u, 0.2f);
    EXPECT_TRUE(DrawnIntoWindow());
    EXPECT_EQ(BackBufferPixel(8, 4), 0xFF000000u) << "0.2 lies behind the texture's 0.1";
    EXPECT_EQ(BackBufferPixel(8, 20), 0xFFFF0000u) << "and in front of the clear elsewhere";
    device->SetDepthStencilSurface(nullptr);
    depth->Release();
    texture->Release();
    back->Release();
}

// A depth-stencil the window cannot hold, or a second target, sends the back buffer to a texture
// with what was drawn so far.
TEST_F(GlWindow, WhatTheWindowCannotDrawMovesTheBackBufferOut)
{
    for (const auto& [format, second] : {std::pair{D3DFMT_D16, false}, std::pair{D3DFMT_D24S8, true}})
    {
        SCOPED_TRACE(second ? "second target" : "16-bit depth");
        Surface* depth = nullptr;
        Surface* target = nullptr;
        ASSERT_EQ(
            device->CreateDepthStencilSurface(64, 48, format, MultisampleType(0), 0, false, &depth, nullptr),
            D3D_OK);
        ASSERT_EQ(device->CreateRenderTarget(64, 48, D3DFMT_X8R8G8B8, MultisampleType(0), 0, false, &target,
                                             nullptr),
                  D3D_OK);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        DrawRectangle(0, 5, 64, 6, 0xFF00FF00u);
        device->SetDepthStencilSurface(depth);
        device->SetRenderTarget(1, second ? target : nullptr);
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.3f, 0);
        DrawRectangle(0, 10, 64, 11, 0xFFFF0000u, 0.2f);
        EXPECT_FALSE(DrawnIntoWindow());
        EXPECT_EQ(BackBufferPixel(3, 5), 0xFF00FF00u);
        EXPECT_EQ(BackBufferPixel(3, 10), 0xFFFF0000u);
        EXPECT_EQ(BackBufferPixel(3, 11), 0xFF000000u);
        device->SetRenderTarget(1, nullptr);
        device->SetDepthStencilSurface(nullptr);
        depth->Release();
        target->Release();
        ASSERT_EQ(device->Reset(&parameters), D3D_OK); // back into the window
    }
}

// A window made with 4 samples, which only a back buffer of 4 samples is drawn straight into.
class GlMultisampledWindow : public GlWindow
{
protected:
    void RequestWindow() override { RequestWindowDepthStencil(4); }
};

// What was drawn holds, resolved, in reads (the edge blended only when multisampled) and copies
// out, with the depth-stencil between the window and a target, and when a second target moves
// the back buffer out.
TEST_F(GlMultisampledWindow, WhatWasDrawnHoldsInReadsCopiesDepthAndMovesOut)
{
    for (const MultisampleType samples : {MultisampleType(4), D3DMULTISAMPLE_NONE})
    {
        SCOPED_TRACE(int(samples));
        device->Release();
        ASSERT_EQ(Create(64, 48, samples), D3D_OK);
        Surface *back = nullptr, *depth = nullptr, *target = nullptr, *copy = nullptr;
        ASSERT_EQ(device->GetRenderTarget(0, &back), D3D_OK);
        device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, samples, 0, false, &depth, nullptr);
        device->CreateRenderTarget(64, 48, D3DFMT_X8R8G8B8, samples, 0, false, &target, nullptr);
        device->CreateRenderTarget(64, 48, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, false, &copy, nullptr);
        device->SetDepthStencilSurface(depth);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
        DrawTriangle();
        EXPECT_EQ(DrawnIntoWindow(), samples != D3DMULTISAMPLE_NONE) << "only at the window's samples";
        const std::vector<uint32_t> drawn = Pixels(back);
        EXPECT_EQ(drawn[2 * 64 + 2], ~0u) << "the top row on top";
        const auto plain =
            std::count(drawn.begin(), drawn.end(), ~0u) + std::count(drawn.begin(), drawn.end(), 0xFF203040u);
        EXPECT_EQ(plain < 64 * 48, samples != D3DMULTISAMPLE_NONE) << "the edge blends when multisampled";
        ASSERT_EQ(device->StretchRect(back, nullptr, copy, nullptr, D3DTEXF_NONE), D3D_OK);
        EXPECT_EQ(Pixels(copy), drawn);
        device->SetRenderTarget(0, target);
        DrawRectangle(0, 0, 64, 48, 0xFFFF0000u, 0.7f);
        device->SetRenderTarget(0, back);
        DrawRectangle(0, 0, 64, 48, 0xFF0000FFu, 0.8f);
        device->SetRenderTarget(1, target);
        DrawRectangle(0, 0, 64, 48, 0xFF0000FFu, 0.75f);
        EXPECT_FALSE(DrawnIntoWindow());
        EXPECT_EQ(Pixels(back), drawn) << "the triangle's 0.5 and the target's 0.7 in front of the rest";
        device->SetRenderTarget(1, nullptr);
        device->SetDepthStencilSurface(nullptr);
        for (Surface* surface : {back, depth, target, copy})
            surface->Release();
    }
}

// Shaders from GLSL: an untransformed quad whose left half is faint (alpha 0.25) and right half
// solid, coloured by a constant and fogged at a distance the vertex code passes on.
class GlShaders : public GlDevice
{
protected:
    void SetUp() override
    {
        GlDevice::SetUp();
        if (HasFatalFailure())
        {
            return;
        }
        ASSERT_EQ(device->CreateVertexShader(vertexCode, &vertex), D3D_OK)
            << device->GetBackend().LastProblem();
        ASSERT_EQ(device->CreatePixelShader(pixelCode, &pixel), D3D_OK) << device->GetBackend().LastProblem();
        device->SetVertexShader(vertex);
        device->SetPixelShader(pixel);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        SetConstant("Tint", {1, 0, 0, 1});
        SetConstant("FogDistance", {1});
        // Clip space of the whole target: x -1..1 over 64 pixels, y 1..-1 over 48.
        const float halve[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        device->SetShaderConstantF(ShaderConstantId("Place"), halve, 16);
    }
    void TearDown() override
    {
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        if (vertex)
        {
            vertex->Release();
        }
        if (pixel)
        {
            pixel->Release();
        }
        GlDevice::TearDown();
    }
    void SetConstant(const char* name, std::initializer_list<float> values)
    {
        ASSERT_EQ(device->SetShaderConstantF(ShaderConstantId(name), values.begin(), uint32_t(values.size())),
                  D3D_OK);
    }
    // The quad from clip x left to right, faint on its left half.
    void DrawQuad(float left, float right)
    {
        struct Vertex
        {
            float x, y, z;
            D3DCOLOR color;
        };
        const float middle = (left + right) * 0.5f;
        const Vertex quads[12] = {
            {left, 1, 0.5f, 0x40FFFFFFu},    {middle, 1, 0.5f, 0x40FFFFFFu}, {left, -1, 0.5f, 0x40FFFFFFu},
            {left, -1, 0.5f, 0x40FFFFFFu},   {middle, 1, 0.5f, 0x40FFFFFFu}, {middle, -1, 0.5f, 0x40FFFFFFu},
            {middle, 1, 0.5f, 0xC0FFFFFFu},  {right, 1, 0.5f, 0xC0FFFFFFu},  {middle, -1, 0.5f, 0xC0FFFFFFu},
            {middle, -1, 0.5f, 0xC0FFFFFFu}, {right, 1, 0.5f, 0xC0FFFFFFu},  {right, -1, 0.5f, 0xC0FFFFFFu}};
        ASSERT_EQ(device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, quads, sizeof(Vertex)), D3D_OK);
    }
    static constexpr const char* vertexCode = R"(layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_color;
uniform mat4 Place;
uniform float FogDistance;
out vec4 color;
void main()
{
    gl_Position = Place * vec4(a_position, 1.0);
    we_FogDepth = FogDistance;
    color = a_color;
}
)";
    static constexpr const char* pixelCode = R"(in vec4 color;
uniform vec4 Tint;
void main()
{
    o_color = vec4(Tint.rgb, color.a);
}
)";
    VertexShader* vertex = nullptr;
    PixelShader* pixel = nullptr;
};

// The channel of a 0xAARRGGBB colour.
int Channel(uint32_t color, int shift)
{
    return int((color >> shift) & 0xFFu);
}

TEST_F(GlShaders, TheAlphaTestOfTheRenderStatesReachesTheProgram)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawQuad(-1, 1);
    EXPECT_EQ(BackBufferPixel(4, 24), 0xFFFF0000u) << "no alpha test: the faint half is drawn too";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    DrawQuad(-1, 1);
    EXPECT_EQ(BackBufferPixel(4, 24), 0xFF000000u) << "alpha 0x40 fails the test";
    EXPECT_EQ(BackBufferPixel(60, 24), 0xFFFF0000u) << "alpha 0xC0 passes it";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    DrawQuad(-1, 1);
    EXPECT_EQ(BackBufferPixel(4, 24), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(60, 24), 0xFF000000u);
    // The same shaders without the test again: the program built without it draws everything.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    DrawQuad(-1, 1);
    EXPECT_EQ(BackBufferPixel(4, 24), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(60, 24), 0xFFFF0000u);
}

// A window without a depth-stencil buffer is not drawn into straight: llvmpipe would draw it
// with its linear rasteriser, which swaps red and blue of constant colours.
class GlShadersWithoutWindowDepth : public GlShaders
{
protected:
    void RequestWindow() override { SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0); }
};

TEST_F(GlShadersWithoutWindowDepth, ConstantColoursKeepTheirChannels)
{
    for (int frame = 0; frame < 4; ++frame) // the rasteriser takes the linear road after a few draws
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        DrawQuad(-1, 1);
        EXPECT_EQ(BackBufferPixel(60, 24), 0xFFFF0000u) << frame;
    }
}

TEST_F(GlShaders, LinearFogOfTheRenderStatesMixesTheFogColourIn)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device->SetRenderState(D3DRS_FOGENABLE, 1);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGCOLOR, 0xFF0000FFu);
    const float start = 0.0f, end = 4.0f;
    uint32_t bits = 0;
    std::memcpy(&bits, &start, 4);
    device->SetRenderState(D3DRS_FOGSTART, bits);
    std::memcpy(&bits, &end, 4);
    device->SetRenderState(D3DRS_FOGEND, bits);
    DrawQuad(-1, 1);
    // A quarter of the way into the fog: three quarters of the red remain, a quarter is blue.
    uint32_t fogged = BackBufferPixel(60, 24);
    EXPECT_NEAR(Channel(fogged, 16), 191, 2);
    EXPECT_NEAR(Channel(fogged, 0), 64, 2);
    EXPECT_EQ(Channel(fogged, 8), 0);
    SetConstant("FogDistance", {8});
    DrawQuad(-1, 1);
    EXPECT_EQ(BackBufferPixel(60, 24), 0xFF0000FFu) << "past the fog end only the fog colour is left";
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    DrawQuad(-1, 1);
    EXPECT_EQ(BackBufferPixel(60, 24), 0xFFFF0000u);
}

TEST_F(GlShaders, ConstantsSetBetweenDrawsReachOnlyTheLaterDraw)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    DrawQuad(-1, 0);
    SetConstant("Tint", {0, 1, 0, 1});
    DrawQuad(0, 1);
    EXPECT_EQ(BackBufferPixel(30, 24), 0xFFFF0000u);
    EXPECT_EQ(BackBufferPixel(60, 24), 0xFF00FF00u);
    // Back to the built-in stages: pre-transformed vertices in their own colour.
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    DrawRectangle(0, 0, 8, 8, 0xFF0000FFu);
    EXPECT_EQ(BackBufferPixel(4, 4), 0xFF0000FFu);
}

// The clip planes the render state turns on keep what the vertex code's distances of their numbers
// keep; planes turned off again clip nothing, whatever the code writes.
TEST_F(GlShaders, ClipPlanesTurnedOnKeepWhatTheVertexCodesDistancesKeep)
{
    const char* clipping = R"(layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_color;
out vec4 color;
void main()
{
    gl_Position = vec4(a_position, 1.0);
    gl_ClipDistance[0] = a_position.x;  // the right half
    gl_ClipDistance[1] = -a_position.y; // the bottom half
    gl_ClipDistance[2] = -1.0;          // everything
    color = a_color;
}
)";
    VertexShader* clipper = nullptr;
    ASSERT_EQ(device->CreateVertexShader(clipping, &clipper), D3D_OK) << device->GetBackend().LastProblem();
    device->SetVertexShader(clipper);
    struct Case
    {
        uint32_t planes;
        bool topLeft, topRight, bottomLeft, bottomRight; // which corners of the quad are drawn
    };
    const Case cases[] = {
        {0, true, true, true, true},    {1, false, true, false, true},   {2, false, false, true, true},
        {3, false, false, false, true}, {4, false, false, false, false}, {7, false, false, false, false},
        {0, true, true, true, true},
    };
    for (const Case& c : cases)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        device->SetRenderState(D3DRS_CLIPPLANEENABLE, c.planes);
        DrawQuad(-1, 1);
        const auto drawn = [&](int x, int y) { return BackBufferPixel(x, y) == 0xFFFF0000u; };
        EXPECT_EQ(drawn(4, 4), c.topLeft) << c.planes;
        EXPECT_EQ(drawn(60, 4), c.topRight) << c.planes;
        EXPECT_EQ(drawn(4, 44), c.bottomLeft) << c.planes;
        EXPECT_EQ(drawn(60, 44), c.bottomRight) << c.planes;
    }
    device->SetVertexShader(vertex);
    clipper->Release();
}

// A mesh in the engine's vertex layout: its declaration feeds the tangent and the second texture
// coordinates to their locations, and DrawSubset draws only the faces of its subset.
TEST_F(GlShaders, MeshSubsetsDrawThroughTheirDeclaration)
{
    const char* const meshVertexCode = R"(layout(location = 0) in vec3 a_position;
layout(location = 4) in vec2 a_tex1;
layout(location = 6) in vec3 a_tangent;
uniform mat4 Place;
out vec4 color;
void main()
{
    gl_Position = Place * vec4(a_position, 1.0);
    color = vec4(a_tangent.x, a_tex1.y, a_tangent.z, 1.0);
}
)";
    const char* const meshPixelCode = "in vec4 color;\nvoid main() { o_color = color; }\n";
    VertexShader* meshVertex = nullptr;
    PixelShader* meshPixel = nullptr;
    ASSERT_EQ(device->CreateVertexShader(meshVertexCode, &meshVertex), D3D_OK)
        << device->GetBackend().LastProblem();
    ASSERT_EQ(device->CreatePixelShader(meshPixelCode, &meshPixel), D3D_OK)
        << device->GetBackend().LastProblem();
    device->SetVertexShader(meshVertex);
    device->SetPixelShader(meshPixel);

    // Two quads side by side, subset 0 on the left (tangent red), subset 1 on the right (blue,
    // with green from the second texture coordinates).
    d3dx::Mesh* mesh = nullptr;
    ASSERT_EQ(d3dx::D3DXCreateMesh(4, 8, d3dx::D3DXMESH_MANAGED, engineLayout, device, &mesh), D3D_OK);
    float* v = nullptr;
    mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    const float corners[4][2] = {{0, 1}, {1, 1}, {0, -1}, {1, -1}};
    for (int half = 0; half < 2; ++half)
    {
        for (int corner = 0; corner < 4; ++corner)
        {
            float* vertex = v + (half * 4 + corner) * 13;
            vertex[0] = corners[corner][0] - 1.0f + half;
            vertex[1] = corners[corner][1];
            vertex[2] = 0.5f;
            vertex[8 + 2 * half] = 1.0f; // tangent x, or tangent z on the right
            vertex[12] = float(half);    // second texture coordinates' v
        }
    }
    mesh->UnlockVertexBuffer();
    uint16_t* indices = nullptr;
    mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&indices));
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < 12; ++i)
    {
        indices[i] = uint16_t(quad[i % 6] + 4 * (i / 6));
    }
    mesh->UnlockIndexBuffer();
    uint32_t* attributes = nullptr;
    mesh->LockAttributeBuffer(0, &attributes);
    attributes[2] = attributes[3] = 1;
    mesh->UnlockAttributeBuffer();
    ASSERT_EQ(mesh->OptimizeInplace(d3dx::D3DXMESHOPT_ATTRSORT, nullptr), D3D_OK);

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    ASSERT_EQ(mesh->DrawSubset(1), D3D_OK);
    EXPECT_EQ(BackBufferPixel(16, 24), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(48, 24), 0xFF00FFFFu);
    ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    EXPECT_EQ(BackBufferPixel(16, 24), 0xFFFF0000u);
    mesh->Release();
    meshVertex->Release();
    meshPixel->Release();
}

// An instanced draw: each instance takes its own vectors at locations 8 on (through the vertex
// stage compiled with INSTANCED) and draws what single draws with those values as uniforms
// draw; after instancing ends the uniforms count again.
TEST_F(GlShaders, InstancesDrawWhatSingleDrawsOfTheirValuesDraw)
{
    const char* const instancedCode = R"(layout(location = 0) in vec3 a_position;
#ifdef INSTANCED
layout(location = 8) in vec4 Shift;
layout(location = 9) in vec4 Colour;
#else
uniform vec4 Shift;
uniform vec4 Colour;
#endif
uniform mat4 Place;
out vec4 color;
void main()
{
    gl_Position = Place * vec4(a_position + Shift.xyz, 1.0);
    color = Colour;
}
)";
    VertexShader* instancedVertex = nullptr;
    PixelShader* colourPixel = nullptr;
    ASSERT_EQ(device->CreateVertexShader(instancedCode, &instancedVertex), D3D_OK)
        << device->GetBackend().LastProblem();
    ASSERT_EQ(device->CreatePixelShader("in vec4 color;\nvoid main() { o_color = color; }\n", &colourPixel),
              D3D_OK);
    device->SetVertexShader(instancedVertex);
    device->SetPixelShader(colourPixel);
    // A quad over clip x -1..-0.5 (pixels 0 to 15), moved a quarter of the target per instance.
    d3dx::Mesh* mesh = nullptr;
    ASSERT_EQ(d3dx::D3DXCreateMesh(2, 4, d3dx::D3DXMESH_MANAGED, engineLayout, device, &mesh), D3D_OK);
    float* v = nullptr;
    mesh->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    const float corners[4][2] = {{-1, 1}, {-0.5f, 1}, {-1, -1}, {-0.5f, -1}};
    for (int corner = 0; corner < 4; ++corner)
    {
        std::fill(v + corner * 13, v + corner * 13 + 13, 0.0f);
        v[corner * 13] = corners[corner][0];
        v[corner * 13 + 1] = corners[corner][1];
        v[corner * 13 + 2] = 0.5f;
    }
    mesh->UnlockVertexBuffer();
    uint16_t* indices = nullptr;
    mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&indices));
    const uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    std::copy(quad, quad + 6, indices);
    mesh->UnlockIndexBuffer();
    // Shift and colour of each instance.
    const float instances[3][8] = {
        {0, 0, 0, 0, 1, 0, 0, 1}, {0.5f, 0, 0, 0, 0, 1, 0, 1}, {1, 0, 0, 0, 0, 0, 1, 1}};
    const uint32_t expected[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF000000u};
    const auto pixels = [&]
    {
        std::vector<uint32_t> seen;
        for (int quarter = 0; quarter < 4; ++quarter)
        {
            seen.push_back(BackBufferPixel(quarter * 16 + 8, 24));
        }
        return seen;
    };
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    for (const auto& instance : instances)
    {
        device->SetShaderConstantF(ShaderConstantId("Shift"), instance, 4);
        device->SetShaderConstantF(ShaderConstantId("Colour"), instance + 4, 4);
        ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    }
    EXPECT_EQ(pixels(), std::vector<uint32_t>(expected, expected + 4)) << "one by one";
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(device->SetInstances(&instances[0][0], 0, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetInstances(&instances[0][0], Device::maxInstanceVectors + 1, 3), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetInstances(&instances[0][0], 2, 3), D3D_OK);
    ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    ASSERT_EQ(device->SetInstances(nullptr, 0, 0), D3D_OK);
    EXPECT_EQ(pixels(), std::vector<uint32_t>(expected, expected + 4)) << "as instances";
    // Single again: the uniforms count (the last shift, now green).
    device->SetShaderConstantF(ShaderConstantId("Colour"), instances[1] + 4, 4);
    ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    EXPECT_EQ(BackBufferPixel(40, 24), 0xFF00FF00u);
    EXPECT_EQ(BackBufferPixel(8, 24), 0xFFFF0000u);
    mesh->Release();
    instancedVertex->Release();
    colourPixel->Release();
}

TEST_F(GlShaders, CodeThatDoesNotCompileIsRefusedWithTheCompilersLog)
{
    PixelShader* broken = nullptr;
    EXPECT_EQ(device->CreatePixelShader("void main() { o_color = undefinedThing; }", &broken),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(broken, nullptr);
    EXPECT_NE(device->GetBackend().LastProblem().find("pixel shader"), std::string::npos);
}

} // namespace
