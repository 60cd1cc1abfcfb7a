// Shadows and coronas on the OpenGL back end. A box hangs over a floor beside a shadow-casting
// point light: the floor darkens where the box stands between it and the light, and only there.
// Over the test map the build writes (with shadows on, so that the shadow cubes and images are
// made and drawn too): a corona adds light around the light's place on screen and darkens nothing.
#include "GlFrameFixture.h"
#include "WeCameraActor.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "scene/SceneFrame.h"

#include <algorithm>
#include <memory>

namespace
{

constexpr int32_t width = 320, height = 240;

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

// A device started with shadows on (it makes the shadow cubes and images at its start) and an
// empty scene.
class ShadowSceneFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        GlFrameFixture::SetUp();
        renderDevice.shadows = 1;
        StartGl(width, height);
        scene = std::make_unique<WeScene>();
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
    // The scene at the same moment every frame, with shadows at the level.
    std::vector<uint8_t> ShootScene(int32_t shadows, WeCamera& camera)
    {
        renderDevice.shadows = shadows;
        timer.deltaTime = 0.0f;
        scene->Tick(); // the lights clear their shadow slots each frame
        SceneFrame frame(*scene, camera);
        return Shoot(frame);
    }

    std::unique_ptr<WeScene> scene;
};

class ShadowFrame : public ShadowSceneFrame
{
protected:
    void SetUp() override
    {
        ShadowSceneFrame::SetUp();
        AddBox({0.0f, -0.1f, 0.0f}, {20.0f, 0.2f, 20.0f}); // the floor's top at height 0
        AddBox({0.0f, 1.0f, 0.0f}, {1.0f, 1.0f, 1.0f});    // 0.5 to 1.5 above it
        light = new WeLight;
        light->Range = 12.0f;
        light->CastShadows = true;
        std::fill(std::begin(light->CastShadowPlane), std::end(light->CastShadowPlane), true);
        scene->AddActor(light);
        timer.deltaTime = 0.5f; // the light fades in
        scene->Tick();
        camera.position = {0.0f, 10.0f, -3.0f};
        camera.direction = d3dx::D3DXVec3Normalize(WeVector{0.0f, -10.0f, 3.0f});
        camera.SetPerspective(0.8f, 0.5f, 100.0f, float(width) / float(height));
        camera.Update();
    }
    void AddBox(const WeVector& at, const WeVector& scale)
    {
        auto* box = new WeActor;
        box->modelName = "Config.Assets.Box1m";
        box->SetLocation(at);
        box->SetScale(scale);
        std::fill_n(box->staticFlags, 3, true);
        scene->AddActor(box);
        ASSERT_NE(box->model, nullptr);
    }
    // The summed colour bytes of the 24-bit image's pixel where the world point shows.
    int32_t Brightness(const std::vector<uint8_t>& image, const WeVector& point) const
    {
        const WeVector screen = d3dx::D3DXVec3TransformCoord(point, camera.viewProjection);
        const auto x = int32_t((screen.x + 1.0f) * 0.5f * width);
        const auto rowFromTop = int32_t((1.0f - screen.y) * 0.5f * height);
        const size_t at = 54 + (size_t(height - 1 - rowFromTop) * width + size_t(x)) * 3;
        return at + 2 < image.size() ? image[at] + image[at + 1] + image[at + 2] : -1;
    }

    WeLight* light = nullptr;
    WeCamera camera;
};

class ShadowCoronaFrame : public ShadowSceneFrame
{
protected:
    void SetUp() override
    {
        ShadowSceneFrame::SetUp();
        ASSERT_TRUE(scene->Load("World1")) << scene->loadMessage.GetData();
        cameraActor = static_cast<WeCameraActor*>(scene->FindActor("Camera"));
        warm = static_cast<WeLight*>(scene->FindActor("Warm"));
        ASSERT_TRUE(cameraActor && warm && warm->CastShadows);
        timer.deltaTime = 0.1f;
        scene->Tick();
        cameraActor->camera->Update();
    }

    WeCameraActor* cameraActor = nullptr;
    WeLight* warm = nullptr;
};

} // namespace

// The light stands to one side of the box at each of the four compass points in turn, so that
// each side face of its cube throws the shadow once; the shadow falls 1.2 to 2.4 units beyond
// the box, on the far side from the light.
TEST_F(ShadowFrame, TheBoxDarkensTheFloorOppositeTheLight)
{
    const WeVector sides[] = {{-1, 0, 0}, {1, 0, 0}, {0, 0, -1}, {0, 0, 1}};
    for (const WeVector& side : sides)
    {
        light->SetLocation(WeVector{side.x * 3.0f, 4.0f, side.z * 3.0f});
        const std::vector<uint8_t> plain = ShootScene(0, camera);
        const std::vector<uint8_t> shadowed = ShootScene(1, camera);
        const WeVector inShadow = side * -1.8f;
        const WeVector lit = side * 2.0f;
        EXPECT_LT(Brightness(shadowed, inShadow), Brightness(plain, inShadow) * 3 / 4)
            << "light at " << side.x << ", " << side.z;
        EXPECT_NEAR(Brightness(shadowed, lit), Brightness(plain, lit), 12)
            << "light at " << side.x << ", " << side.z;
    }
}

TEST_F(ShadowCoronaFrame, ACoronaBrightensTheLightsPlaceOnScreen)
{
    const std::vector<uint8_t> plain = ShootScene(0, *cameraActor->camera);
    warm->Corona = true;
    warm->CoronaTextureName = "Config.Assets.Corona";
    warm->CoronaSizeX = warm->CoronaSizeY = 0.3f;
    warm->CoronaFixedSize = true;
    warm->FlaresFadeInTime = 0.0f; // shown at once
    const Difference difference = Compare(plain, ShootScene(0, *cameraActor->camera));
    EXPECT_GT(difference.brighter, 300);
    EXPECT_EQ(difference.darker, 0);
}
