// The render device on the OpenGL back end and a real (hidden) window: frames, screenshots,
// render targets drawn through screen quads, loss and reset, display-mode changes.
#include "GlLeakScope.h"
#include "RenderDeviceFixture.h"

#include "WeScreenQuad.h"
#include "d3d9/GlBackend.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <utility>

using namespace d3d9;

namespace
{

struct Bitmap
{
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitsPerPixel = 0;
    std::vector<uint8_t> bytes;

    // 0xRRGGBB of the pixel, with y = 0 the top row.
    uint32_t Pixel(int32_t x, int32_t y) const
    {
        const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
        const size_t at = 54 + size_t(height - 1 - y) * rowBytes + size_t(x) * 3;
        return uint32_t(bytes[at + 2]) << 16 | uint32_t(bytes[at + 1]) << 8 | bytes[at];
    }
};

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at)
{
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

Bitmap ReadBitmap(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    Bitmap bitmap;
    bitmap.bytes.assign(std::istreambuf_iterator<char>(file), {});
    if (bitmap.bytes.size() < 54 || bitmap.bytes[0] != 'B' || bitmap.bytes[1] != 'M')
    {
        return bitmap;
    }
    bitmap.width = int32_t(Read32(bitmap.bytes, 18));
    bitmap.height = int32_t(Read32(bitmap.bytes, 22));
    bitmap.bitsPerPixel = uint16_t(bitmap.bytes[28] | bitmap.bytes[29] << 8);
    return bitmap;
}

class GlRenderDevice : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        PauseLeakChecks();
        RecordingRenderDevice::SetUp();
        char pattern[] = "/tmp/we_render_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr);
        renderDevice.direct3D = direct3D;
        RequestWindowDepthStencil(); // as the game's windows do
        sdlWindow = SDL_CreateWindow("render", 0, 0, 64, 32, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(sdlWindow, nullptr) << SDL_GetError();
    }
    void TearDown() override
    {
        if (quad)
        {
            quad->Release();
        }
        RecordingRenderDevice::TearDown();
        if (sdlWindow)
        {
            SDL_DestroyWindow(sdlWindow);
        }
        std::filesystem::remove_all(folder);
        ResumeLeakChecks();
    }
    bool StartGl() { return renderDevice.Init(nullptr, sdlWindow, "", 0, 0, 0, 0, false, 3, 2, false); }
    // The device, a target of the window's size and a screen quad for it.
    bool StartWithTargetAndQuad()
    {
        target = StartGl() ? renderTargetManager.Create2D(64, 32, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0)
                           : nullptr;
        quad = target ? CreateScreenQuad(64, 32) : nullptr;
        return quad != nullptr;
    }
    Bitmap Screenshot()
    {
        const std::filesystem::path path = folder / "Screenshot-test.bmp";
        std::filesystem::remove(path); // a screenshot never replaces a file
        EXPECT_TRUE(renderDevice.SaveScreenshot(path.c_str()));
        return ReadBitmap(path);
    }
    // The target, filled by fill while it is bound, drawn through the quad onto the cleared back buffer
    // with the filter mode; the screenshot of that.
    Bitmap DrawnThroughQuad(int32_t filterMode, const std::function<void()>& fill)
    {
        Surface* back = renderDevice.GetRenderTarget();
        renderDevice.SetRenderTarget(0, target);
        fill();
        renderDevice.RestoreRenderTarget(back);
        WeRenderDevice::Clear(true, WeColor{}, true, 1.0f, false, 0);
        renderDevice.SetRawTexture(0, target->texture);
        renderDevice.SetSamplerState(0, filterMode, 1);
        DrawScreenQuad(quad);
        renderDevice.SetRawTexture(0, nullptr);
        return Screenshot();
    }

    SDL_Window* sdlWindow = nullptr;
    std::filesystem::path folder;
    WeRenderTarget* target = nullptr;
    VertexBuffer* quad = nullptr;
};

// Clears a rectangle of the current target through the device's scissor.
void ClearRectangle(const Rect& rect, const WeColor& color)
{
    renderDevice.SetScissor(true, rect);
    WeRenderDevice::Clear(true, color, false, 1.0f, false, 0);
    renderDevice.SetScissor(false, rect);
}

class ScissoredApplication : public WeApplication
{
public:
    const char* GetName() override { return "ScissoredApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { ClearRectangle(Rect{8, 4, 24, 12}, WeColor{1.0f, 0.0f, 0.0f, 1.0f}); }
};

TEST_F(GlRenderDevice, AFrameIsClearedToBlackAndTheScreenshotShowsIt)
{
    ASSERT_TRUE(StartGl()) << engine.lastError.GetData();
    ScissoredApplication scissored;
    application = &scissored;
    renderDevice.RenderFrame();
    application = &app;
    const Bitmap bitmap = Screenshot();
    ASSERT_EQ(bitmap.width, 64);
    ASSERT_EQ(bitmap.height, 32);
    EXPECT_EQ(bitmap.bitsPerPixel, 24);
    EXPECT_EQ(bitmap.bytes.size(), 54u + 64u * 3u * 32u);
    EXPECT_EQ(bitmap.Pixel(8, 4), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(22, 10), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(23, 11), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(24, 10), 0x000000u);
    EXPECT_EQ(bitmap.Pixel(7, 4), 0x000000u);
    EXPECT_EQ(bitmap.Pixel(63, 31), 0x000000u);
}

TEST_F(GlRenderDevice, ARenderTargetDrawnThroughAScreenQuadKeepsItsRows)
{
    ASSERT_TRUE(StartWithTargetAndQuad());
    const Bitmap bitmap = DrawnThroughQuad(
        1,
        []
        {
            WeRenderDevice::Clear(true, WeColor{0.0f, 1.0f, 0.0f, 1.0f}, false, 1.0f, false, 0);
            ClearRectangle(Rect{0, 0, 64, 16}, WeColor{0.0f, 0.0f, 1.0f, 1.0f});
        });
    ASSERT_EQ(bitmap.width, 64);
    EXPECT_EQ(bitmap.Pixel(32, 2), 0x0000FFu) << "top rows of the target on top";
    EXPECT_EQ(bitmap.Pixel(32, 14), 0x0000FFu);
    EXPECT_EQ(bitmap.Pixel(32, 17), 0x00FF00u);
    EXPECT_EQ(bitmap.Pixel(0, 31), 0x00FF00u);
}

// Stripes one pixel wide, across or down, drawn through a screen quad of their size with
// bilinear filtering: each pixel reads its own texel's centre, never a blend with its neighbour.
// (The device's scissor never reaches the last column and row.)
TEST_F(GlRenderDevice, AScreenQuadReadsEachTexelAtItsCentre)
{
    ASSERT_TRUE(StartWithTargetAndQuad());
    const WeColor white{1.0f, 1.0f, 1.0f, 1.0f};
    for (const bool columns : {true, false})
    {
        SCOPED_TRACE(columns ? "columns" : "rows");
        const Bitmap bitmap = DrawnThroughQuad(
            3,
            [columns, &white]
            {
                WeRenderDevice::Clear(true, WeColor{}, false, 1.0f, false, 0);
                for (int32_t i = 1; i < (columns ? 64 : 32); i += 2)
                    ClearRectangle(columns ? Rect{i, 0, i + 1, 32} : Rect{0, i, 64, i + 1}, white);
            });
        ASSERT_EQ(bitmap.width, 64);
        for (const auto& [x, y] : {std::pair{0, 0}, {1, 1}, {30, 17}, {31, 16}, {61, 29}, {62, 30}})
            EXPECT_EQ(bitmap.Pixel(x, y), (columns ? x : y) % 2 ? 0xFFFFFFu : 0u) << x << "," << y;
    }
}

TEST_F(GlRenderDevice, TheLastColumnNeverLiesInsideAScissor)
{
    ASSERT_TRUE(StartGl());
    WeRenderDevice::Clear(true, WeColor{}, false, 1.0f, false, 0);
    ClearRectangle(Rect{40, 0, 500, 500}, WeColor{1.0f, 1.0f, 1.0f, 1.0f});
    const Bitmap bitmap = Screenshot();
    EXPECT_EQ(bitmap.Pixel(62, 30), 0xFFFFFFu);
    EXPECT_EQ(bitmap.Pixel(63, 10), 0x000000u);
    EXPECT_EQ(bitmap.Pixel(10, 31), 0x000000u);
}

TEST_F(GlRenderDevice, ASimulatedLossAndResetLeaveAWorkingDevice)
{
    ASSERT_TRUE(StartGl());
    WeRenderTarget* target = renderTargetManager.Create2D(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(target, nullptr);
    renderDevice.device->SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_TRUE(target->created);
    ScissoredApplication scissored;
    application = &scissored;
    renderDevice.RenderFrame();
    application = &app;
    const Bitmap bitmap = Screenshot();
    EXPECT_EQ(bitmap.Pixel(10, 5), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(30, 20), 0x000000u);
}

TEST_F(GlRenderDevice, ADisplayModeChangeGivesTheNewSize)
{
    engine.settings.multisampleType = 4;
    ASSERT_TRUE(StartGl());
    engine.settings.width = 96;
    engine.settings.height = 48;
    engine.settings.multisampleType = 0;
    ASSERT_TRUE(renderDevice.ChangeDisplayMode());
    ScissoredApplication scissored;
    application = &scissored;
    renderDevice.RenderFrame();
    application = &app;
    const Bitmap bitmap = Screenshot();
    EXPECT_EQ(bitmap.width, 96);
    EXPECT_EQ(bitmap.height, 48);
    EXPECT_EQ(bitmap.Pixel(9, 5), 0xFF0000u);
}

TEST_F(GlRenderDevice, MultisampledFramesAreResolvedForTheScreenshot)
{
    engine.settings.multisampleType = 4;
    ASSERT_TRUE(StartGl());
    ASSERT_NE(renderDevice.depthStencilMultisample, nullptr);
    ScissoredApplication scissored;
    application = &scissored;
    renderDevice.RenderFrame();
    application = &app;
    const Bitmap bitmap = Screenshot();
    EXPECT_EQ(bitmap.Pixel(12, 6), 0xFF0000u);
    EXPECT_EQ(bitmap.Pixel(40, 20), 0x000000u);
}

} // namespace
