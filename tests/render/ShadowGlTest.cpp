// Shadows on the OpenGL back end: a box hangs over a floor beside a shadow-casting point light;
// the floor darkens where the box stands between it and the light, and only there.
#include "GlFrameFixture.h"
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

class ShadowFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        GlFrameFixture::SetUp();
        renderDevice.shadows = 1; // the device makes the shadow cubes and images at its start
        StartGl(width, height);
        scene = std::make_unique<WeScene>();
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
    void TearDown() override
    {
        renderDevice.shadows = 0;
        scene.reset();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
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
    std::vector<uint8_t> ShootScene(int32_t shadows)
    {
        renderDevice.shadows = shadows;
        timer.deltaTime = 0.0f;
        scene->Tick(); // the light clears its shadow slot each frame
        SceneFrame frame(*scene, camera);
        return Shoot(frame);
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

    std::unique_ptr<WeScene> scene;
    WeLight* light = nullptr;
    WeCamera camera;
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
        const std::vector<uint8_t> plain = ShootScene(0);
        const std::vector<uint8_t> shadowed = ShootScene(1);
        const WeVector inShadow = side * -1.8f;
        const WeVector lit = side * 2.0f;
        EXPECT_LT(Brightness(shadowed, inShadow), Brightness(plain, inShadow) * 3 / 4)
            << "light at " << side.x << ", " << side.z;
        EXPECT_NEAR(Brightness(shadowed, lit), Brightness(plain, lit), 12) << "light at " << side.x << ", " << side.z;
    }
}
