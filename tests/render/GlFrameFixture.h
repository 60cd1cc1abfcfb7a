// A render device on the OpenGL back end (SDL offscreen window, hidden) at a small screen size,
// with a fresh temporary folder, and the comparison of a rendered frame with a stored reference
// image. Running a test with WE_UPDATE_REFERENCE=1 in the environment writes its frame as the new
// reference; look at it before committing it.
#pragma once

#include "RenderDeviceFixture.h"
#include "WeFont.h"
#include "WeTexture.h"
#include "d3d9/GlBackend.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

inline std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The 0xRRGGBB colour of a shot frame's pixel (a 24-bit BMP of the size, rows bottom first), y = 0
// the top row.
inline uint32_t BmpPixel(const std::vector<uint8_t>& bmp, int32_t width, int32_t height, int32_t x, int32_t y)
{
    const size_t rowBytes = (size_t(width) * 3 + 3) & ~size_t(3);
    const size_t at = 54 + size_t(height - 1 - y) * rowBytes + size_t(x) * 3;
    return uint32_t(bmp[at + 2]) << 16 | uint32_t(bmp[at + 1]) << 8 | bmp[at];
}

class GlFrameFixture : public RecordingRenderDevice
{
protected:
    // Starts the OpenGL device on a width x height back buffer whose design size is the same.
    void StartGl(int32_t width, int32_t height)
    {
        // Frames show what was drawn, without post-processing, unless a test builds a chain.
        renderDevice.bloomMode = 0;
        renderDevice.motionBlurMode = 0;
        renderDevice.refraction = false;
        renderDevice.depthOfField = false;
        renderDevice.filmGrain = false;
        engine.settings.width = width;
        engine.settings.height = height;
        engine.settings.uiSourceWidth = width; // design pixels are screen pixels
        engine.settings.uiSourceHeight = height;
        char pattern[] = "/tmp/we_glframe_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr);
        renderDevice.direct3D = direct3D;
        d3d9::RequestWindowDepthStencil(); // as the game's windows do
        window = SDL_CreateWindow("frame", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        ASSERT_TRUE(renderDevice.Init(nullptr, window, "", 0, 0, 0, 0, false, 3, 2, false))
            << engine.lastError.GetData();
    }
    void TearDown() override
    {
        renderDevice.bloomMode = saved.bloomMode;
        renderDevice.motionBlurMode = saved.motionBlurMode;
        renderDevice.refraction = saved.refraction;
        renderDevice.depthOfField = saved.depthOfField;
        renderDevice.filmGrain = saved.filmGrain;
        fonts.FreeAll();
        textures.FreeAll(true);
        RecordingRenderDevice::TearDown();
        if (window)
            SDL_DestroyWindow(window);
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
    // Renders one frame of the application and returns the back buffer as a 24-bit BMP file.
    std::vector<uint8_t> Shoot(WeApplication& frame)
    {
        application = &frame;
        renderDevice.RenderFrame();
        application = &app;
        const std::filesystem::path shot = folder / "frame.bmp";
        EXPECT_TRUE(renderDevice.SaveScreenshot(shot.c_str()));
        if (std::getenv("WE_UPDATE_REFERENCE"))
            std::filesystem::copy_file(shot, reference, std::filesystem::copy_options::overwrite_existing);
        return ReadWholeFile(shot);
    }
    // Anti-aliased glyph edges may move a little between rasteriser versions: a channel may
    // differ by a small amount, and at most farOffAllowed bytes by more.
    void ExpectMatchesReference(const std::vector<uint8_t>& actual, int32_t farOffAllowed) const
    {
        const std::vector<uint8_t> expected = ReadWholeFile(reference);
        ASSERT_EQ(actual.size(), expected.size()) << "reference " << reference;
        ASSERT_GT(actual.size(), 54u);
        int32_t farOff = 0;
        for (size_t i = 54; i < actual.size(); ++i)
            farOff += std::abs(int(actual[i]) - int(expected[i])) > 24 ? 1 : 0;
        EXPECT_LE(farOff, farOffAllowed) << "reference " << reference;
    }

    struct
    {
        int32_t bloomMode = renderDevice.bloomMode, motionBlurMode = renderDevice.motionBlurMode;
        bool refraction = renderDevice.refraction, depthOfField = renderDevice.depthOfField,
             filmGrain = renderDevice.filmGrain;
    } saved;
    SDL_Window* window = nullptr;
    std::filesystem::path folder;
    std::filesystem::path reference; // the stored image Shoot may replace
};
