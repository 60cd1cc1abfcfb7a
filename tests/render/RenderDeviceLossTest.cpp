// The loss and reset road, display-mode changes and shut-down, on the recording back end.
#include "RenderDeviceFixture.h"

using namespace d3d9;

namespace
{

class LossRoad : public RecordingRenderDevice
{
protected:
    LoggingRenderer first{log, "first"};
    LoggingRenderer second{log, "second"};
};

TEST_F(LossRoad, RenderersStartInConstructionOrder)
{
    ASSERT_TRUE(Start());
    const std::vector<std::string> expected{"first Init", "second Init"};
    EXPECT_EQ(log.Events(), expected);
    EXPECT_EQ(renderDevice.reflectionQuality, 2);
}

TEST_F(LossRoad, LostThenNotResetRunsTheRoadOnce)
{
    ASSERT_TRUE(Start());
    WeRenderTarget* target = renderTargetManager.Create2D(32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(target, nullptr);
    log.Clear();
    Device().SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    EXPECT_TRUE(renderDevice.lost);
    EXPECT_TRUE(log.Events().empty()) << "merely lost: nothing released yet";
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_FALSE(renderDevice.lost);
    EXPECT_TRUE(renderDevice.wasReset);
    const std::vector<std::string> expected{"app OnDeactivate",    "first OnLostDevice",
                                            "second OnLostDevice", "app OnActivate",
                                            "first OnResetDevice", "second OnResetDevice"};
    EXPECT_EQ(log.Events(), expected);
    EXPECT_TRUE(target->created) << "render targets are made again";
    EXPECT_NE(target->surfaces[0], nullptr);
    ASSERT_NE(renderDevice.depthStencil, nullptr);
    ASSERT_NE(renderDevice.depthStencilMultisample, nullptr) << "a second surface even without multisampling";
    EXPECT_EQ(Device().State().depthStencil, renderDevice.depthStencilMultisample);
    uint32_t lighting = 1;
    Device().GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, 0u);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_FALSE(renderDevice.wasReset) << "true for exactly one update";
}

TEST_F(LossRoad, ReleasesComeBeforeTheResetAndRecreationsAfterIt)
{
    ASSERT_TRUE(Start());
    const uint32_t oldDepth = renderDevice.depthStencil->Id();
    Device().SimulateDeviceLoss();
    renderDevice.CheckDevice();
    Device().ClearCallLog();
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    const int unbind = IndexOfCall("SetDepthStencilSurface null");
    const int reset = IndexOfCall("Reset 64 32 0");
    const int create = IndexOfCall("CreateDepthStencilSurface 64 32 75 0 0");
    EXPECT_GE(unbind, 0);
    EXPECT_LT(unbind, reset);
    EXPECT_LT(reset, create);
    EXPECT_NE(renderDevice.depthStencil->Id(), oldDepth);
}

TEST_F(LossRoad, AResetLostAgainIsRetriedAndReleasesNothingTwice)
{
    ASSERT_TRUE(Start());
    Device().SimulateDeviceLoss();
    renderDevice.CheckDevice();
    direct3D->InjectFailure("Reset", D3DERR_DEVICELOST, 1);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    EXPECT_TRUE(renderDevice.lost);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_EQ(log.Count("first OnLostDevice"), 2);
    EXPECT_EQ(log.Count("first OnResetDevice"), 1);
    EXPECT_EQ(log.Count("app OnDeactivate"), 2);
    EXPECT_EQ(log.Count("app OnActivate"), 1);
}

TEST_F(LossRoad, AnyOtherResetFailureIsFatal)
{
    ASSERT_TRUE(Start());
    Device().SimulateDeviceLoss();
    renderDevice.CheckDevice();
    direct3D->InjectFailure("Reset", D3DERR_INVALIDCALL, 1);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Failed);
}

TEST_F(LossRoad, ALeakedDefaultPoolObjectMakesTheResetFail)
{
    ASSERT_TRUE(Start());
    Surface* held = nullptr;
    ASSERT_EQ(
        Device().CreateRenderTarget(4, 4, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, false, &held, nullptr),
        D3D_OK);
    Device().SimulateDeviceLoss();
    renderDevice.CheckDevice();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Failed);
    held->Release();
}

TEST_F(LossRoad, DriverInternalErrorIsFatal)
{
    ASSERT_TRUE(Start());
    direct3D->InjectFailure("TestCooperativeLevel", D3DERR_DRIVERINTERNALERROR, 1);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Failed);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
}

TEST_F(LossRoad, AnUncreatedDeviceIsNeverChecked)
{
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_FALSE(renderDevice.ChangeDisplayMode());
}

TEST_F(LossRoad, DisplayModeChangeResetsWithTheNewSettings)
{
    ASSERT_TRUE(Start());
    log.Clear();
    engine.settings.width = 128;
    engine.settings.height = 96;
    engine.settings.displayMode = 0;
    ASSERT_TRUE(renderDevice.ChangeDisplayMode());
    EXPECT_FALSE(renderDevice.lost);
    EXPECT_TRUE(renderDevice.wasReset);
    EXPECT_FLOAT_EQ(renderDevice.Aspect(), 128.0f / 96.0f);
    EXPECT_EQ(renderDevice.BackBufferWidth(), 128);
    EXPECT_EQ(renderDevice.BackBufferHeight(), 96);
    EXPECT_EQ(Device().Parameters().backBufferWidth, 128u);
    EXPECT_FALSE(Device().Parameters().windowed);
    EXPECT_EQ(renderDevice.depthStencil->GetDesc().width, 128u);
    EXPECT_EQ(log.Count("first OnLostDevice"), 1);
    EXPECT_EQ(log.Count("second OnResetDevice"), 1);
    Surface* back = renderDevice.GetRenderTarget();
    EXPECT_EQ(back->GetDesc().height, 96u);
    back->Release();
}

TEST_F(LossRoad, AFailedDisplayModeChangeStaysLostUntilTheNextCheck)
{
    ASSERT_TRUE(Start());
    direct3D->InjectFailure("Reset", D3DERR_DEVICELOST, 1);
    EXPECT_FALSE(renderDevice.ChangeDisplayMode());
    EXPECT_TRUE(renderDevice.lost);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable) << "the next check takes the road again";
    EXPECT_FALSE(renderDevice.lost);
}

TEST_F(LossRoad, ShutdownStopsRenderersOnceInReverseOrder)
{
    ASSERT_TRUE(Start());
    log.Clear();
    renderDevice.Shutdown();
    renderDevice.Shutdown();
    const std::vector<std::string> expected{"second Shutdown", "first Shutdown"};
    EXPECT_EQ(log.Events(), expected);
    EXPECT_FALSE(renderDevice.created);
    EXPECT_EQ(renderDevice.device, nullptr);
}

TEST(RendererList, KeepsConstructionOrderAndForgetsDestroyedRenderers)
{
    EventLog log;
    const int before = WeBaseRenderer::List().GetCount();
    {
        LoggingRenderer a(log, "a");
        LoggingRenderer b(log, "b");
        ASSERT_EQ(WeBaseRenderer::List().GetCount(), before + 2);
        EXPECT_EQ(WeBaseRenderer::List().Last(), &b);
    }
    EXPECT_EQ(WeBaseRenderer::List().GetCount(), before);
}

} // namespace
