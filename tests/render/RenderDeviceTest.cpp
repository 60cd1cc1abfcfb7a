// The render device on the recording back end: creation, the frame, caches, fog, scissor,
// display modes and the loss and reset road.
#include "RenderDeviceFixture.h"
#include "WeCanvas.h"
#include "WeShader.h"
#include "WeTexture.h"

#include "WeScreenQuad.h"

#include <cstring>

using namespace d3d9;

namespace
{

TEST_F(RecordingRenderDevice, InitMakesAndBindsThePlainDepthStencilAndSetsStates)
{
    ASSERT_TRUE(Start()) << engine.lastError.GetData();
    EXPECT_TRUE(renderDevice.created);
    ASSERT_NE(renderDevice.depthStencil, nullptr);
    EXPECT_EQ(renderDevice.depthStencilMultisample, nullptr);
    EXPECT_FLOAT_EQ(renderDevice.Aspect(), 2.0f);
    EXPECT_EQ(renderDevice.BackBufferWidth(), 64);
    EXPECT_EQ(renderDevice.BackBufferHeight(), 32);
    const int bind =
        IndexOfCall("SetDepthStencilSurface #" + std::to_string(renderDevice.depthStencil->Id()));
    const int stencil = IndexOfCall("SetRenderState 52 0");
    const int blend = IndexOfCall("SetRenderState 27 0");
    const int depth = IndexOfCall("SetRenderState 7 1");
    EXPECT_GE(bind, 0);
    EXPECT_LT(bind, stencil);
    EXPECT_LT(stencil, blend);
    EXPECT_LT(blend, depth);
    EXPECT_GE(IndexOfCall("SetRenderState 161 0"), 0) << "no multisampling, no antialiasing";
    EXPECT_TRUE(Device().Parameters().windowed);
    EXPECT_EQ(Device().BehaviorFlags(), D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED);
    EXPECT_TRUE(renderDevice.pixelShader3);
    EXPECT_TRUE(renderDevice.floatTargetA16B16G16R16F);
    EXPECT_TRUE(renderDevice.floatTargetMultisample);
    EXPECT_TRUE(renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true)) << "already created";
}

TEST_F(RecordingRenderDevice, AGivenSizeHoldsUntilTheDeviceIsMadeOrItsModeChanges)
{
    renderDevice.SetBackBufferSize(300, 100);
    EXPECT_EQ(renderDevice.BackBufferWidth(), 300);
    EXPECT_FLOAT_EQ(renderDevice.Aspect(), 3.0f);
    ASSERT_TRUE(Start()) << "the settings' 64 x 32";
    EXPECT_EQ(renderDevice.BackBufferWidth(), 64);
    EXPECT_EQ(renderDevice.BackBufferHeight(), 32);
    EXPECT_FLOAT_EQ(renderDevice.Aspect(), 2.0f);
    engine.settings.width = 96;
    EXPECT_EQ(renderDevice.BackBufferWidth(), 64) << "settings change nothing until the mode changes";
    renderDevice.SetBackBufferSize(300, 100);
    ASSERT_TRUE(renderDevice.ChangeDisplayMode());
    EXPECT_EQ(renderDevice.BackBufferWidth(), 96);
    EXPECT_FLOAT_EQ(renderDevice.Aspect(), 3.0f);
}

TEST_F(RecordingRenderDevice, PresentationFollowsTheEngineSettings)
{
    engine.settings.displayMode = 0;
    engine.settings.verticalSync = true;
    ASSERT_TRUE(Start());
    const PresentParameters& p = Device().Parameters();
    EXPECT_FALSE(p.windowed);
    EXPECT_EQ(p.backBufferWidth, 64u);
    EXPECT_EQ(p.backBufferHeight, 32u);
    EXPECT_EQ(p.backBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.presentationInterval, D3DPRESENT_INTERVAL_DEFAULT);
    EXPECT_FALSE(p.enableAutoDepthStencil);
    EXPECT_EQ(p.autoDepthStencilFormat, D3DFMT_D24S8);
}

TEST_F(RecordingRenderDevice, APerfHudAdapterIsTakenWithTheReferenceDevice)
{
    setup.descriptions = {"Plain adapter", "Other", "NVIDIA PerfHUD", "Another PerfHUD"};
    ASSERT_TRUE(Start());
    EXPECT_EQ(Device().Adapter(), 2u);
    EXPECT_EQ(Device().Type(), D3DDEVTYPE_REF);
}

TEST_F(RecordingRenderDevice, SoftwareVertexProcessingIsTheSecondTry)
{
    direct3D = CreateRecordingDirect3D(setup);
    renderDevice.direct3D = direct3D;
    direct3D->InjectFailure("CreateDevice", D3DERR_NOTAVAILABLE, 1);
    ASSERT_TRUE(renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, false));
    EXPECT_EQ(Device().BehaviorFlags(), D3DCREATE_SOFTWARE_VERTEXPROCESSING);
}

struct InitFailure
{
    const char* call;
    const char* message;
};

class InitFailures : public RecordingRenderDevice, public ::testing::WithParamInterface<InitFailure>
{
};

TEST_P(InitFailures, LeaveTheirTextAndReleaseWhatWasMade)
{
    direct3D = CreateRecordingDirect3D(setup);
    renderDevice.direct3D = direct3D;
    direct3D->InjectFailure(GetParam().call, D3DERR_NOTAVAILABLE);
    EXPECT_FALSE(renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true));
    EXPECT_STREQ(engine.lastError.GetData(), GetParam().message);
    EXPECT_FALSE(renderDevice.created);
    EXPECT_EQ(renderDevice.device, nullptr);
    EXPECT_EQ(renderDevice.depthStencil, nullptr);
    EXPECT_EQ(textures.GetCount(), 0) << "no texture of the released device stays";
    EXPECT_FALSE(shaders.initialised);
}

TEST_F(RecordingRenderDevice, StartLoadsTheFixedDefaultTexturesBeforeTheShaders)
{
    ASSERT_TRUE(Start());
    for (WeTexture* texture : {textures.black, textures.white, textures.normal, textures.outlineRamp})
    {
        ASSERT_NE(texture, nullptr);
        EXPECT_TRUE(texture->fixed);
    }
    EXPECT_EQ(textures.Load("config.assets.defaultwhite"), textures.white);
    EXPECT_LT(IndexOfCall("CreateTexture 4 4 1 0 " + std::to_string(D3DFMT_DXT1) + " 1"),
              IndexOfCall("CreatePixelShader"));
    // An untextured canvas quad samples the white texture.
    canvas.BeginFrame();
    canvas.DrawRectangle(0, 0, 4, 4, 0xFF336699u, nullptr, BLENDMODE_NORMAL);
    canvas.Flush();
    EXPECT_GE(IndexOfCall("SetTexture 7 #" + std::to_string(textures.white->texture->Id())), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, InitFailures,
    ::testing::Values(InitFailure{"CreateDevice", "Error: Cannot create DirectX device - error #8876086A"},
                      InitFailure{"CheckDeviceFormat", "Error: No support for D24S8 Stencil Format"},
                      InitFailure{"CreateDepthStencilSurface", "Error: Cannot create Depth-Stencil surface"},
                      InitFailure{"CreateTexture", "Not enough video memory to load textures!"},
                      InitFailure{"CreatePixelShader", "Not enough video memory to load shaders!"}));

TEST_F(RecordingRenderDevice, AnAdapterWithoutPixelShader2Fails)
{
    setup.pixelShaderVersion = PixelShaderVersion(1, 4);
    EXPECT_FALSE(Start());
    EXPECT_STREQ(engine.lastError.GetData(), "Error: No Pixel Shader 2.0 support");
}

TEST_F(RecordingRenderDevice, PixelShader2OnlyLeavesTheFloatTargetsOff)
{
    setup.pixelShaderVersion = PixelShaderVersion(2, 0);
    ASSERT_TRUE(Start());
    EXPECT_FALSE(renderDevice.pixelShader3);
    EXPECT_FALSE(renderDevice.floatTargetG16R16F);
    EXPECT_FALSE(renderDevice.floatTargetMultisample);
}

TEST_F(RecordingRenderDevice, AcceptedMultisamplingMakesTheMultisampledDepthStencil)
{
    engine.settings.multisampleType = 4;
    ASSERT_TRUE(Start());
    ASSERT_NE(renderDevice.depthStencilMultisample, nullptr);
    EXPECT_EQ(renderDevice.depthStencilMultisample->GetDesc().multiSampleType, MultisampleType(4));
    EXPECT_EQ(Device().State().depthStencil, renderDevice.depthStencilMultisample);
    EXPECT_EQ(Device().Parameters().multiSampleType, MultisampleType(4));
    uint32_t antialias = 0;
    Device().GetRenderState(D3DRS_MULTISAMPLEANTIALIAS, &antialias);
    EXPECT_EQ(antialias, 1u);
}

TEST_F(RecordingRenderDevice, AQualityAtTheReportedCountIsRefused)
{
    engine.settings.multisampleType = 4;
    engine.settings.multisampleQuality = 1; // the adapter reports one quality level
    ASSERT_TRUE(Start());
    EXPECT_EQ(engine.settings.multisampleType, 0);
    EXPECT_EQ(engine.settings.multisampleQuality, 0);
    EXPECT_EQ(renderDevice.depthStencilMultisample, nullptr);
    EXPECT_EQ(Device().Parameters().multiSampleType, D3DMULTISAMPLE_NONE);
}

TEST_F(RecordingRenderDevice, UnavailableMultisamplingIsDroppedToNone)
{
    setup.maxSamples = 2;
    engine.settings.multisampleType = 4;
    ASSERT_TRUE(Start());
    EXPECT_EQ(engine.settings.multisampleType, 0);
}

TEST_F(RecordingRenderDevice, DisplayModesHoldEachLargeEnoughSizeOnce)
{
    ASSERT_TRUE(Start());
    std::vector<std::pair<int, int>> sizes;
    for (const WeDisplayModeSize& mode : renderDevice.displayModes)
    {
        sizes.emplace_back(mode.width, mode.height);
    }
    const std::vector<std::pair<int, int>> expected{{640, 480}, {800, 600}, {1024, 768}};
    EXPECT_EQ(sizes, expected);
    renderDevice.EnumerateDisplayModes();
    EXPECT_EQ(renderDevice.displayModes.GetCount(), 3) << "a second walk starts from an empty list";
}

TEST_F(RecordingRenderDevice, FrameClearsRendersAndPresentsInOrder)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    renderDevice.RenderFrame();
    const std::vector<std::string>& calls = Calls();
    ASSERT_GE(calls.size(), 13u);
    EXPECT_EQ(calls[0], "SetRenderState 161 0");
    for (int stage = 0; stage < 8; ++stage)
    {
        EXPECT_EQ(calls[1 + stage], "SetTexture " + std::to_string(stage) + " null");
    }
    EXPECT_EQ(calls[9], "BeginScene");
    EXPECT_EQ(calls[10], "Clear 7 0 1 0");
    EXPECT_EQ(calls[11], "EndScene");
    EXPECT_EQ(calls[12], "Present");
    EXPECT_EQ(log.Count("app Render"), 1);
}

TEST_F(RecordingRenderDevice, NothingIsDrawnWhileLostOrNotReady)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    renderDevice.ready = false;
    renderDevice.RenderFrame();
    renderDevice.ready = true;
    Device().SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    renderDevice.RenderFrame();
    EXPECT_EQ(CountCalls("Present"), 0);
    EXPECT_EQ(log.Count("app Render"), 0);
}

TEST_F(RecordingRenderDevice, CachedSamplerStatesAreSetOnce)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    renderDevice.SetSamplerState(2, 1, 1);
    const size_t first = Calls().size();
    EXPECT_EQ(first, 6u) << "three filters and three address modes";
    renderDevice.SetSamplerState(2, 1, 1);
    EXPECT_EQ(Calls().size(), first);
    uint32_t value = 0;
    Device().GetSamplerState(2, D3DSAMP_ADDRESSV, &value);
    EXPECT_EQ(value, uint32_t(D3DTADDRESS_CLAMP));
}

TEST_F(RecordingRenderDevice, ADirectDeviceCallLeavesTheSamplerCache)
{
    ASSERT_TRUE(Start());
    renderDevice.SetSamplerState(0, 1, 0);
    Device().SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    Device().ClearCallLog();
    renderDevice.SetSamplerState(0, 1, 0);
    EXPECT_TRUE(Calls().empty()) << "the cache still believes the filter is point";
    uint32_t value = 0;
    Device().GetSamplerState(0, D3DSAMP_MINFILTER, &value);
    EXPECT_EQ(value, uint32_t(D3DTEXF_LINEAR));
}

TEST_F(RecordingRenderDevice, SamplerModesMapToTheirStates)
{
    ASSERT_TRUE(Start());
    auto state = [&](uint32_t stage, SamplerState which)
    {
        uint32_t value = 0;
        Device().GetSamplerState(stage, which, &value);
        return value;
    };
    renderDevice.maxAnisotropy = 4;
    renderDevice.SetSamplerState(1, 3, 3);
    EXPECT_EQ(state(1, D3DSAMP_MINFILTER), uint32_t(D3DTEXF_ANISOTROPIC));
    EXPECT_EQ(state(1, D3DSAMP_MAXANISOTROPY), 4u);
    EXPECT_EQ(state(1, D3DSAMP_ADDRESSW), uint32_t(D3DTADDRESS_BORDER));
    EXPECT_GE(IndexOfCall("SetSamplerState 1 4 0"), 0) << "border colour 0";
    renderDevice.maxAnisotropy = 0;
    renderDevice.SetSamplerState(2, 3, 2);
    EXPECT_EQ(state(2, D3DSAMP_MINFILTER), uint32_t(D3DTEXF_LINEAR));
    EXPECT_EQ(state(2, D3DSAMP_ADDRESSU), uint32_t(D3DTADDRESS_WRAP));
    renderDevice.SetSamplerState(3, 2, 0);
    EXPECT_EQ(state(3, D3DSAMP_MINFILTER), uint32_t(D3DTEXF_POINT));
    EXPECT_EQ(state(3, D3DSAMP_MAGFILTER), uint32_t(D3DTEXF_LINEAR));
    EXPECT_EQ(state(3, D3DSAMP_ADDRESSU), uint32_t(D3DTADDRESS_WRAP)) << "address mode 0 leaves the default";
    renderDevice.SetSamplerState(4, 7, 0);
    EXPECT_EQ(state(4, D3DSAMP_MINFILTER), uint32_t(D3DTEXF_LINEAR));
}

TEST_F(RecordingRenderDevice, AfterAResetEverySamplerCacheMatchesTheDevice)
{
    ASSERT_TRUE(Start());
    renderDevice.maxAnisotropy = 0;
    for (uint32_t stage = 0; stage < maxSamplers; ++stage)
    {
        renderDevice.SetSamplerState(stage, 3, 1);
    }
    Device().SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    for (uint32_t stage = 0; stage < maxSamplers; ++stage)
    {
        renderDevice.SetSamplerState(stage, 3, 1);
        uint32_t min = 0, address = 0;
        Device().GetSamplerState(stage, D3DSAMP_MINFILTER, &min);
        Device().GetSamplerState(stage, D3DSAMP_ADDRESSU, &address);
        EXPECT_EQ(min, uint32_t(D3DTEXF_LINEAR)) << "stage " << stage;
        EXPECT_EQ(address, uint32_t(D3DTADDRESS_CLAMP)) << "stage " << stage;
    }
}

TEST_F(RecordingRenderDevice, StencilIsCached)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    renderDevice.EnableStencil();
    renderDevice.EnableStencil();
    renderDevice.DisableStencil();
    renderDevice.DisableStencil();
    const std::vector<std::string> expected{"SetRenderState 52 1", "SetRenderState 52 0"};
    EXPECT_EQ(Calls(), expected);
}

TEST_F(RecordingRenderDevice, AlphaTestAndBlend)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    renderDevice.SetAlphaTest(128);
    renderDevice.SetAlphaTest(0);
    renderDevice.SetAlphaBlend(true, false);
    const std::vector<std::string> expected{"SetRenderState 15 1", "SetRenderState 24 128",
                                            "SetRenderState 25 7", "SetRenderState 15 0",
                                            "SetRenderState 27 1"};
    EXPECT_EQ(Calls(), expected);
}

TEST_F(RecordingRenderDevice, DepthStencilChoiceNeedsTheMultisampledSurface)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    renderDevice.UsePlainDepthStencil();
    renderDevice.UseMultisampleDepthStencil();
    EXPECT_TRUE(Calls().empty());
}

TEST_F(RecordingRenderDevice, FogColourChannelsAreClampedAndRounded)
{
    ASSERT_TRUE(Start());
    renderDevice.SetFog(true, WeColor{1.2f, 0.5f, -1.0f, 1.0f}, 10.0f, 100.0f, 0.0f, 1.0f);
    Device().ClearCallLog();
    renderDevice.EnableFog();
    uint32_t color = 0, enabled = 0, mode = 0, end = 0;
    Device().GetRenderState(D3DRS_FOGCOLOR, &color);
    Device().GetRenderState(D3DRS_FOGENABLE, &enabled);
    Device().GetRenderState(D3DRS_FOGTABLEMODE, &mode);
    Device().GetRenderState(D3DRS_FOGEND, &end);
    EXPECT_EQ(color, 0xFFFF8000u);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(mode, uint32_t(D3DFOG_LINEAR));
    float endValue = 0.0f;
    std::memcpy(&endValue, &end, 4);
    EXPECT_FLOAT_EQ(endValue, 100.0f);
}

TEST_F(RecordingRenderDevice, FogIsOnlyAppliedWhileSwitchedAndConfigured)
{
    ASSERT_TRUE(Start());
    renderDevice.SetFog(false, WeColor{}, 1.0f, 2.0f, 0.0f, 1.0f);
    renderDevice.EnableFog();
    EXPECT_FALSE(renderDevice.fogActive) << "enabling takes the scene's wish";
    renderDevice.SetFog(true, WeColor{}, 1.0f, 2.0f, 0.0f, 1.0f);
    renderDevice.DisableFog();
    EXPECT_FALSE(renderDevice.fogActive);
    uint32_t enabled = 1;
    Device().GetRenderState(D3DRS_FOGENABLE, &enabled);
    EXPECT_EQ(enabled, 0u);
}

TEST_F(RecordingRenderDevice, StoreAndRestoreFogKeepTheColourOut)
{
    ASSERT_TRUE(Start());
    renderDevice.SetFog(true, WeColor{1, 0, 0, 1}, 5.0f, 50.0f, 0.1f, 0.9f);
    renderDevice.EnableFog();
    renderDevice.StoreFog();
    renderDevice.SetFog(false, WeColor{0, 1, 0, 1}, 1.0f, 2.0f, 0.0f, 0.5f);
    renderDevice.DisableFog();
    renderDevice.RestoreFog();
    EXPECT_TRUE(renderDevice.fogSwitch);
    EXPECT_TRUE(renderDevice.fogConfigured);
    EXPECT_TRUE(renderDevice.fogActive);
    EXPECT_FLOAT_EQ(renderDevice.fogStart, 5.0f);
    EXPECT_FLOAT_EQ(renderDevice.fogMax, 0.9f);
    EXPECT_FLOAT_EQ(renderDevice.fogColor.g, 1.0f) << "the colour is not saved";
    uint32_t enabled = 0;
    Device().GetRenderState(D3DRS_FOGENABLE, &enabled);
    EXPECT_EQ(enabled, 1u);
}

TEST_F(RecordingRenderDevice, ShaderFogLeavesTheFixedFunctionFogAlone)
{
    ASSERT_TRUE(Start());
    renderDevice.shaderLevel = 2;
    renderDevice.SetFog(true, WeColor{}, 1.0f, 2.0f, 0.0f, 1.0f);
    Device().ClearCallLog();
    renderDevice.EnableFog();
    EXPECT_TRUE(Calls().empty());
    renderDevice.shaderLevel = 1;
}

TEST_F(RecordingRenderDevice, ScissorIsClampedIntoTheBackBuffer)
{
    ASSERT_TRUE(Start());
    renderDevice.SetScissor(true, Rect{-5, 4, 200, 2});
    bool enabled = false;
    Rect rect;
    renderDevice.GetScissor(&enabled, &rect);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, 63);
    EXPECT_EQ(rect.top, 4);
    EXPECT_EQ(rect.bottom, 4) << "a bottom above the top becomes the top";
    renderDevice.SetScissor(true, Rect{30, 0, 10, 10});
    renderDevice.GetScissor(&enabled, &rect);
    EXPECT_EQ(rect.right, 30);
    renderDevice.SetScissor(false, Rect{});
    rect = Rect{1, 2, 3, 4};
    renderDevice.GetScissor(&enabled, &rect);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(rect.left, 1) << "the rectangle is only read while the test is on";
}

TEST_F(RecordingRenderDevice, ClearWithNothingChosenDoesNothing)
{
    ASSERT_TRUE(Start());
    Device().ClearCallLog();
    WeRenderDevice::Clear(false, WeColor{}, false, 1.0f, false, 0);
    EXPECT_TRUE(Calls().empty());
    WeRenderDevice::Clear(true, WeColor{0, 0, 1, 1}, false, 1.0f, true, 3);
    EXPECT_EQ(Calls().back(), "Clear 5 4278190335 1 3");
}

TEST_F(RecordingRenderDevice, RenderTargetSwapKeepsTheReference)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* target = renderTargetManager.Create2D(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(target, nullptr);
    Surface* saved = renderDevice.GetRenderTarget();
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->RefCount(), 2u);
    renderDevice.SetRenderTarget(0, target);
    EXPECT_EQ(Device().State().renderTargets[0], target->surfaces[0]);
    renderDevice.RestoreRenderTarget(saved);
    EXPECT_EQ(Device().State().renderTargets[0], saved);
    EXPECT_EQ(saved->RefCount(), 1u);
}

TEST_F(RecordingRenderDevice, ScreenshotOfAnUncreatedDeviceFails)
{
    EXPECT_FALSE(renderDevice.SaveScreenshot("never.bmp"));
}

} // namespace
