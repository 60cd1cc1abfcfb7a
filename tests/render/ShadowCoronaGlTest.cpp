// Coronas on the OpenGL back end, over the test map the build writes (with shadows on, so that the
// shadow cubes and images are made and drawn too): a corona adds light around the light's place on
// screen and darkens nothing.
#include "GlFrameFixture.h"
#include "WeCameraActor.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "scene/SceneFrame.h"

#include <memory>

namespace
{

// How many bytes of the second image are darker (or brighter) than the first by more than a
// step of rounding.
struct Difference
{
    int32_t darker = 0, brighter = 0;
};

Difference Compare(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after)
{
    Difference difference;
    EXPECT_EQ(before.size(), after.size());
    for (size_t i = 54; i < std::min(before.size(), after.size()); ++i)
    {
        const int change = int(after[i]) - int(before[i]);
        difference.darker += change < -24 ? 1 : 0;
        difference.brighter += change > 24 ? 1 : 0;
    }
    return difference;
}

class ShadowCoronaFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        GlFrameFixture::SetUp();
        renderDevice.shadows = 1; // the device makes the shadow cubes and images at its start
        StartGl(320, 240);
        scene = std::make_unique<WeScene>();
        ASSERT_TRUE(scene->Load("World1")) << scene->loadMessage.GetData();
        cameraActor = static_cast<WeCameraActor*>(scene->FindActor("Camera"));
        warm = static_cast<WeLight*>(scene->FindActor("Warm"));
        ASSERT_TRUE(cameraActor && warm && warm->CastShadows);
        timer.deltaTime = 0.1f;
        scene->Tick();
        cameraActor->camera->Update();
    }
    void TearDown() override
    {
        renderDevice.shadows = 0;
        scene.reset();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }
    std::vector<uint8_t> ShootScene(int32_t shadows)
    {
        renderDevice.shadows = shadows;
        timer.deltaTime = 0.0f; // the same moment every frame
        scene->Tick();          // the lights clear their shadow slots each frame
        SceneFrame frame(*scene, *cameraActor->camera);
        return Shoot(frame);
    }

    std::unique_ptr<WeScene> scene;
    WeCameraActor* cameraActor = nullptr;
    WeLight* warm = nullptr;
};

} // namespace

TEST_F(ShadowCoronaFrame, ACoronaBrightensTheLightsPlaceOnScreen)
{
    const std::vector<uint8_t> plain = ShootScene(0);
    warm->Corona = true;
    warm->CoronaTextureName = "Config.Assets.Corona";
    warm->CoronaSizeX = warm->CoronaSizeY = 0.3f;
    warm->CoronaFixedSize = true;
    warm->FlaresFadeInTime = 0.0f; // shown at once
    const Difference difference = Compare(plain, ShootScene(0));
    EXPECT_GT(difference.brighter, 300);
    EXPECT_EQ(difference.darker, 0);
}
