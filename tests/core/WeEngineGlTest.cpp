// The engine's own window under the real render device on the OpenGL back end (offscreen driver).
#include "GlLeakScope.h"
#include "RecordingEngineParts.h"

#include "WeRenderDevice.h"
#include "d3d9/D3d9Device.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <tuple>

namespace
{

// Recording parts with the real render device.
class GlDeviceParts final : public RecordingEngineParts
{
public:
    bool InitRenderDevice(const WeAppWindow& window, const WeString& text,
                          const WeEngineSettings& settings) override
    {
        return WeGetSubsystemParts().InitRenderDevice(window, text, settings);
    }
    void ShutdownRenderDevice() override { WeGetSubsystemParts().ShutdownRenderDevice(); }
};

// Clears the back buffer and its depth-stencil to the colour and presents it; whether the clear
// went straight into the window, the window's samples and its middle pixel (0xAABBGGRR).
std::tuple<bool, GLint, uint32_t> ClearAndPresent(const WeColor& color)
{
    WeRenderDevice::Clear(true, color, true, 1.0f, true, 0);
    GLint drawn = -1, samples = -1;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
    renderDevice.device->Present(nullptr, nullptr, nullptr, nullptr);
    uint32_t pixel = 0;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glGetIntegerv(GL_SAMPLES, &samples);
    glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return {drawn == 0, samples, pixel};
}

// The window carries the settings' samples, so that a multisampled back buffer is drawn into it;
// a count the driver has no window of (above 4 on llvmpipe, which the device drops to none too)
// makes a window without. A reset to other samples moves the back buffer to a buffer of its own,
// which still shows in the window: single-sampled in a window of 4 samples, and the other way.
TEST(EngineOnGl, TheWindowCarriesTheDevicesSamplesAndShowsTheFramesOfOthers)
{
    const struct
    {
        int32_t samples;
        GLint windowSamples;
        int32_t resetSamples;
    } rows[] = {{4, 4, 0}, {0, 0, 4}, {8, 0, 4}};
    PauseLeakChecks();
    GlDeviceParts parts;
    RecordingEngineScope scope;
    engine.SetParts(&parts);
    renderDevice.direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
    ASSERT_NE(renderDevice.direct3D, nullptr);
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.samples);
        engine.settings.width = 64;
        engine.settings.height = 48;
        engine.settings.displayMode = 3;
        engine.settings.multisampleType = row.samples;
        ASSERT_TRUE(engine.Init(nullptr, nullptr, "EngineOnGl", "")) << engine.lastError.GetData();
        EXPECT_EQ(ClearAndPresent(WeColor{0, 0, 1, 1}),
                  std::make_tuple(true, row.windowSamples, 0xFFFF0000u));
        engine.settings.multisampleType = row.resetSamples;
        ASSERT_TRUE(renderDevice.ChangeDisplayMode());
        EXPECT_EQ(ClearAndPresent(WeColor{1, 0, 0, 1}),
                  std::make_tuple(false, row.windowSamples, 0xFF0000FFu));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        engine.Shutdown();
    }
    renderDevice.direct3D->Release();
    renderDevice.direct3D = nullptr;
    ResumeLeakChecks();
}

} // namespace
