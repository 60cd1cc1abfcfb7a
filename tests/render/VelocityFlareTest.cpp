// The velocity renderer's outputs and techniques and the flare renderer's records and fades, on
// the recording back end.
#include "SceneDrawingFixture.h"
#include "WeFlareRenderer.h"
#include "WePostProcess.h"
#include "WeRenderTarget.h"
#include "WeTimer.h"
#include "WeVelocityRenderer.h"

#include <cmath>

using namespace d3d9;

namespace
{

class VelocityFlareTest : public SceneDrawingTest
{
protected:
    void SetUp() override
    {
        SceneDrawingTest::SetUp();
        saved[0] = postProcess.velocityTarget;
        saved[1] = postProcess.outlineTarget;
        saved[2] = postProcess.fullA;
        postProcess.velocityTarget = made[0] =
            renderTargetManager.Create2D(64, 32, D3DFMT_G16R16F, D3DMULTISAMPLE_NONE, 0);
        postProcess.outlineTarget = made[1] =
            renderTargetManager.Create2D(64, 32, D3DFMT_A16B16G16R16F, D3DMULTISAMPLE_NONE, 0);
        postProcess.fullA = made[2] =
            renderTargetManager.Create2D(64, 32, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
        flareRenderer.records.clear();
    }
    void TearDown() override
    {
        postProcess.velocityTarget = saved[0];
        postProcess.outlineTarget = saved[1];
        postProcess.fullA = saved[2];
        flareRenderer.records.clear();
        SceneDrawingTest::TearDown();
    }
    WeLight& CoronaLight(float fadeIn, float fadeOut)
    {
        WeLight& light = AddLight({0, 0, 10}, 10);
        light.Corona = true;
        light.FlaresFadeInTime = fadeIn;
        light.FlaresFadeOutTime = fadeOut;
        return light;
    }
    Surface* BoundTarget(uint32_t index) const
    {
        Surface* surface = nullptr;
        if (Device().GetRenderTarget(index, &surface) == D3D_OK)
            surface->Release();
        return surface;
    }

    WeRenderTarget* saved[3] = {};
    WeRenderTarget* made[3] = {};
};

} // namespace

TEST_F(VelocityFlareTest, WantedOutputsPackIntoTheFirstTargetsAndMissingOnesAreNotBound)
{
    Surface* const backBuffer = BoundTarget(0);
    for (int32_t outputs = 0; outputs < 8; ++outputs)
        for (const bool motionMissing : {false, true})
        {
            postProcess.velocityTarget = motionMissing ? nullptr : made[0];
            std::vector<Surface*> expected;
            for (int32_t bit = 0; bit < 3; ++bit)
                if ((outputs >> bit) & 1 && !(bit == 0 && motionMissing))
                    expected.push_back(made[bit]->surfaces[0]);
            if (expected.empty())
                expected.push_back(backBuffer); // target 0 stays as it was
            expected.resize(3, nullptr);
            velocityRenderer.BindTargets(outputs & 1, outputs & 2, outputs & 4);
            for (uint32_t index = 0; index < 3; ++index)
                EXPECT_EQ(BoundTarget(index), expected[index])
                    << "outputs " << outputs << (motionMissing ? " without a motion target" : "")
                    << ", target " << index;
            Device().SetRenderTarget(0, backBuffer);
        }
}

TEST_F(VelocityFlareTest, EachCombinationOfOutputsHasTheTechniqueNamedForIt)
{
    for (int32_t outputs = 0; outputs < 8; ++outputs)
        for (const bool skinned : {false, true})
        {
            const std::string name =
                WeVelocityRenderer::techniqueNames[WeVelocityRenderer::TechniqueIndex(outputs, skinned)];
            const auto has = [&](const char* part) { return name.find(part) != std::string::npos; };
            EXPECT_EQ(has("DoF"), bool(outputs & WeVelocityRenderer::motionBit)) << name;
            EXPECT_EQ(has("NormalDepth"), bool(outputs & WeVelocityRenderer::normalDepthBit)) << name;
            EXPECT_EQ(has("Shadow"), bool(outputs & WeVelocityRenderer::shadowBit)) << name;
            EXPECT_EQ(has("WithBlend"), skinned) << name;
        }
}

TEST_F(VelocityFlareTest, WithoutMotionOutlinesOrShadowsTheVelocityPassBindsAndDrawsNothing)
{
    renderDevice.motionBlurMode = 1;
    renderDevice.depthOfField = false;
    renderDevice.outlines = false;
    renderDevice.shadows = 0;
    AddActor({0, 0, 10});
    sceneRenderer.Prepare(scene.get(), &camera);
    Device().ClearCallLog();
    velocityRenderer.Render(scene.get(), &camera, 0);
    EXPECT_EQ(CountPrefix("SetRenderTarget"), 0);
    EXPECT_EQ(CountPrefix("DrawIndexedPrimitive"), 0);
    EXPECT_EQ(WeVelocityRenderer::WantedOutputs(), 0);
    renderDevice.motionBlurMode = 2;
    renderDevice.depthOfField = true;
}

TEST_F(VelocityFlareTest, CoronasFadeOutFromWhereTheirFadeInStoodAndBack)
{
    const WeLight& light = CoronaLight(1.0f, 2.0f);
    WeFlareRecord record;
    struct Step
    {
        bool hidden;
        float frameTime;
        float alpha;
    } steps[] = {
        {false, 0.25f, 0.25f}, {false, 1.0f, 1.0f},  // fades in, at most fully
        {true, 1.0f, 0.5f},    {true, 0.5f, 0.25f},  // out over two seconds from full
        {false, 0.0f, 0.25f},  {false, 0.25f, 0.5f}, // back in from where the fade-out stood
    };
    for (const Step& step : steps)
    {
        WeFlareRenderer::Fade(record, light, step.hidden, step.frameTime);
        record.hidden = step.hidden;
        EXPECT_FLOAT_EQ(WeFlareRenderer::CoronaAlpha(record, light), step.alpha);
    }
}

TEST_F(VelocityFlareTest, FadesOfNoTimeChangeAtOnceAndOpacityIsClampedBeforePacking)
{
    const WeLight& light = CoronaLight(0.0f, 0.0f);
    WeFlareRecord record;
    WeFlareRenderer::Fade(record, light, false, 0.1f);
    EXPECT_FLOAT_EQ(WeFlareRenderer::CoronaAlpha(record, light), 1.0f) << "shown at once";
    WeFlareRenderer::Fade(record, light, true, 0.1f);
    record.hidden = true;
    EXPECT_FLOAT_EQ(WeFlareRenderer::CoronaAlpha(record, light), 0.0f) << "gone at once";
    EXPECT_FALSE(std::isnan(record.fadeIn) || std::isnan(record.fadeOut));

    struct Case
    {
        float alpha;
        uint32_t colour;
    } cases[] = {{1.0f, 0xFFFFFFFFu},
                 {3.5f, 0xFFFFFFFFu},
                 {-2.0f, 0x00FFFFFFu},
                 {0.5f, 0x7FFFFFFFu},
                 {NAN, 0x00FFFFFFu}};
    for (const Case& test : cases)
        EXPECT_EQ(WeFlareRenderer::Colour(test.alpha), test.colour) << test.alpha;
}

TEST_F(VelocityFlareTest, ASunAtTheFarClipStaysOnScreenOnlyWhenItAlwaysShows)
{
    camera.SetFarClip(100.0f);
    camera.Update();
    struct Case
    {
        WeVector at;
        bool alwaysShow;
        bool onScreen;
    } cases[] = {{{0, 0, 50}, false, true},
                 {{0, 0, 100.1f}, false, false},
                 {{0, 0, 100.1f}, true, true},
                 {{0, 0, -50}, true, false},
                 {{500, 0, 50}, false, false}};
    for (const Case& test : cases)
    {
        WeLight& light = AddLight(test.at, 10);
        light.AlwaysShowFlares = test.alwaysShow;
        WeFlareRecord record;
        WeFlareRenderer::Project(record, light, camera);
        EXPECT_EQ(record.onScreen, test.onScreen) << test.at.x << " " << test.at.z;
    }
}

TEST_F(VelocityFlareTest, RecordsLastWhileTheirLightIsSeenOrItsCoronaFadesOutInFront)
{
    WeLight& light = CoronaLight(0.5f, 0.5f);
    timer.deltaTime = 0.2f;
    struct Case
    {
        const char* name;
        WeVector hiddenAt;
        size_t recordsAfterFirstHiddenFrame;
    } cases[] = {{"beside the view, fading out", {50, 0, 10}, 1}, {"behind the camera", {0, 0, -10}, 0}};
    for (const Case& test : cases)
    {
        light.SetLocation({0, 0, 10});
        for (int32_t frame = 0; frame < 3; ++frame) // a new record, then 0.4 s of its fade-in
            flareRenderer.Prepare(scene.get(), &camera);
        ASSERT_EQ(flareRenderer.records.size(), 1u) << test.name;
        EXPECT_FLOAT_EQ(flareRenderer.records[0].fadeIn, 0.4f) << test.name;
        light.SetLocation(test.hiddenAt);
        flareRenderer.Prepare(scene.get(), &camera); // fading out from 0.1 s: 0.3 s of 0.5 s
        EXPECT_EQ(flareRenderer.records.size(), test.recordsAfterFirstHiddenFrame) << test.name;
        flareRenderer.Prepare(scene.get(), &camera);
        EXPECT_EQ(flareRenderer.records.size(), 0u) << test.name;
    }

    light.SetLocation({0, 0, 10});
    flareRenderer.Prepare(scene.get(), &camera);
    ASSERT_EQ(flareRenderer.records.size(), 1u);
    scene->RemoveActor(&light);
    delete &light;
    EXPECT_EQ(flareRenderer.records.size(), 0u) << "a destroyed light takes its record";
    timer.deltaTime = 0.0f;
}
