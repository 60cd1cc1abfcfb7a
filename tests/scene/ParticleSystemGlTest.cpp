// A particle system drawn by the scene on the OpenGL back end with the shipped particle effect and
// default particle material: the quad lies centred on the particle, as wide and high as its sizes
// and turned by its angle; and every shipped preset loads with its material.
#include "SceneFrame.h"
#include "WeMaterial.h"
#include "WeParticleSystem.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"
#include "render/GlFrameFixture.h"

#include <cmath>

namespace
{

constexpr int32_t screen = 32;

class ParticleSystemFrame : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartGl(screen, screen);
        timer.deltaTime = 0.1f;
        camera.Update(); // at the origin, looking along +z
    }
    void TearDown() override
    {
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }
    // The red channel of the pixel, rows counted from the top.
    static int Red(const std::vector<uint8_t>& bmp, int32_t x, int32_t y)
    {
        return bmp[54 + size_t((screen - 1 - y) * screen + x) * 3 + 2];
    }

    WeCamera camera;
};

} // namespace

TEST_F(ParticleSystemFrame, QuadsAreCentredSizedAndTurned)
{
    struct Case
    {
        float sizeX, sizeY, angle;
        bool wide; // else tall
    };
    const Case cases[] = {{6, 1, 0, true}, {1, 6, 0, false}, {6, 1, 1.5707964f, false}};
    for (const Case& test : cases)
    {
        WeScene scene;
        scene.config.backgroundColor = {0, 0, 0, 1};
        auto* system = new WeParticleSystem();
        WeParticleSystemState& state = system->states.PushBack();
        state.SpawnVelocity = 0.0f;
        state.FadeInTime = state.FadeOutTime = 0.0f;
        state.LifeTime = 100.0f;
        state.SizeFromX = state.SizeToX = test.sizeX;
        state.SizeFromY = state.SizeToY = test.sizeY;
        state.uniformStartSize = state.uniformEndSize = false;
        state.Angle = test.angle;
        state.ColorFrom = state.ColorTo = {1, 0, 0, 1};
        system->SpawnCount = 1;
        system->SetLocation({0, 0, 10});
        scene.AddActor(system);
        SceneFrame frame(scene, camera);
        const std::vector<uint8_t> bmp = Shoot(frame);
        ASSERT_EQ(system->GetParticleCount(), 1);
        const int32_t c = screen / 2;
        EXPECT_GT(Red(bmp, c, c), 200) << "the centre";
        // Six units at a distance of 10 span about 23 pixels; one unit about 4.
        const int32_t along[2][2] = {{c - 9, c}, {c + 8, c}}, across[2][2] = {{c, c - 6}, {c, c + 6}};
        for (const auto& point : test.wide ? along : across)
            EXPECT_GT(Red(bmp, point[0], point[1]), 200)
                << test.angle << " lit at " << point[0] << "," << point[1];
        for (const auto& point : test.wide ? across : along)
            EXPECT_LT(Red(bmp, point[0], point[1]), 20)
                << test.angle << " dark at " << point[0] << "," << point[1];
    }
}

TEST_F(ParticleSystemFrame, ShippedPresetsLoadWithTheirMaterial)
{
    for (const char* name : {"teleport_white", "disappearing", "ut_wall", "magnet_push", "magnet_pull", "hit",
                             "tail", "teleport_arrow"})
    {
        WeParticleSystem system;
        const WeString key = WeString("Ingame.Particles.") + name;
        ASSERT_TRUE(system.LoadPreset(WeVirtualFileSystem::GetFileSystem(), key)) << name;
        ASSERT_NE(system.material, nullptr) << name;
        EXPECT_NE(system.material, materialManager.defaultParticle) << name;
        EXPECT_NE(system.material->textures[0], nullptr) << name;
        EXPECT_EQ(system.maxSpawn > 0, system.LifeTime > 0.0f) << name << ": a one-shot goes by itself";
    }
}
