// Spot projectors on the OpenGL back end: a light aimed at a floor far wider than its cone adds
// its material over every point of the floor inside the cone and over none outside, so that the
// cone's clipping of its receivers neither cuts into the light nor leaves holes in it.
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeProjectorRenderer.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "scene/SceneGlFrame.h"

#include <cmath>
#include <memory>
#include <numbers>

namespace
{

constexpr int32_t width = 320, height = 240;

class ProjectorFrame : public SceneGlFrame
{
protected:
    void SetUp() override
    {
        SceneGlFrame::SetUp();
        StartGl(width, height);
        renderDevice.projectors = true;
        scene = std::make_unique<WeScene>();
        auto* floor = new WeActor;
        floor->modelName = "Config.Assets.Box1m";
        floor->SetLocation({0.0f, -0.1f, 0.0f}); // its top at height 0
        floor->SetScale({40.0f, 0.2f, 40.0f});
        std::fill_n(floor->staticFlags, 3, true);
        scene->AddActor(floor);
        ASSERT_NE(floor->model, nullptr);
        camera.position = {0.0f, 12.0f, -6.0f};
        camera.direction = d3dx::D3DXVec3Normalize(WeVector{0.0f, -12.0f, 6.0f});
        camera.SetPerspective(1.0f, 0.5f, 100.0f, float(width) / float(height));
        camera.Update();
    }
    // A spot of the cone at the place aimed at the target, throwing the shipped projector
    // material with a white texture: the whole cone is lit.
    WeLight& AddSpot(const WeVector& at, const WeVector& target, float coneDegrees)
    {
        auto* light = new WeLight;
        light->LightType = LIGHT_PROJECTOR;
        light->projectorSwitch = true;
        light->Range = 30.0f;
        light->angles[0] = light->angles[1] = coneDegrees * std::numbers::pi_v<float> / 180.0f;
        WeMatrix placed = WeAxesFor(d3dx::D3DXVec3Normalize(target - at), {0.0f, 1.0f, 0.0f});
        placed.m[3][0] = at.x;
        placed.m[3][1] = at.y;
        placed.m[3][2] = at.z;
        light->SetMatrix(placed);
        light->projectorMaterial = materialManager.Load("Config.Assets.Projector");
        EXPECT_NE(light->projectorMaterial, nullptr);
        if (light->projectorMaterial)
            light->projectorMaterial->textures[0] = textures.Load("Config.Assets.DefaultWhite");
        scene->AddActor(light);
        return *light;
    }
    std::vector<uint8_t> ShootScene(bool projectors)
    {
        renderDevice.projectors = projectors;
        timer.deltaTime = 0.0f;
        scene->Tick();
        SceneFrame frame(*scene, camera);
        return Shoot(frame);
    }
    // Where the floor point shows on the screen, false when it is off it.
    bool OnScreen(const WeVector& point, int32_t& x, int32_t& y) const
    {
        const WeVector screen = d3dx::D3DXVec3TransformCoord(point, camera.viewProjection);
        x = int32_t(std::floor((screen.x + 1.0f) * 0.5f * width));
        y = int32_t(std::floor((1.0f - screen.y) * 0.5f * height));
        return x >= 0 && x < width && y >= 0 && y < height;
    }
};

// How far inside the cone the floor point lies, as the larger of its two coordinates across the
// cone's square (below 1 inside it, above 1 outside; any value behind the light is outside).
float ConeCoordinate(const WeLight& light, const WeVector& point)
{
    const WeProjectorRenderer::SpotView spot = WeProjectorRenderer::SpotOf(light);
    const WeMatrix throughCone = d3dx::D3DXMatrixMultiply(spot.view, spot.projection);
    const d3dx::Vector4 projected = d3dx::D3DXVec3Transform(point, throughCone);
    if (projected.w <= 0.0f)
        return 2.0f;
    return std::max(std::fabs(projected.x), std::fabs(projected.y)) / projected.w;
}

} // namespace

TEST_F(ProjectorFrame, ASpotLightsTheWholeOfItsConeOnAWideFloorAndNothingElse)
{
    struct Case
    {
        const char* name;
        WeVector at, target;
        float cone;
    } cases[] = {
        {"straight down", {0.0f, 6.0f, 0.0f}, {0.0f, 0.0f, 0.1f}, 40.0f},
        {"slanting away", {-3.0f, 5.0f, -2.0f}, {1.0f, 0.0f, 2.0f}, 35.0f},
        {"wide and low", {2.0f, 2.5f, 1.0f}, {-1.0f, 0.0f, 0.0f}, 70.0f},
    };
    const std::vector<uint8_t> dark = ShootScene(false);
    for (const Case& test : cases)
    {
        WeLight& light = AddSpot(test.at, test.target, test.cone);
        const std::vector<uint8_t> lit = ShootScene(true);
        int32_t inside = 0, holes = 0, spill = 0;
        // Floor points on a fine grid, away from the cone's edge by more than a pixel's worth.
        for (float x = -12.0f; x <= 12.0f; x += 0.05f)
            for (float z = -12.0f; z <= 12.0f; z += 0.05f)
            {
                const WeVector point{x, 0.0f, z};
                int32_t px = 0, py = 0;
                const float across = ConeCoordinate(light, point);
                if (!OnScreen(point, px, py) || std::fabs(across - 1.0f) < 0.08f)
                    continue;
                const bool brighter =
                    PixelAt(lit, width, height, px, py) != PixelAt(dark, width, height, px, py);
                inside += across < 1.0f ? 1 : 0;
                holes += across < 1.0f && !brighter ? 1 : 0;
                spill += across > 1.0f && brighter ? 1 : 0;
            }
        EXPECT_GT(inside, 1000) << test.name;
        EXPECT_EQ(holes, 0) << test.name;
        EXPECT_EQ(spill, 0) << test.name;
        light.Active = false;
    }
}
