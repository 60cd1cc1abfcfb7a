// Skies drawn on the OpenGL back end: a cube of six plain faces seen from the centre in each
// direction (the face in front fills the view, its neighbours lie where they should), debug
// lines over it, and the second background map under its generated cube sky laid on a dome
// against a stored reference.
//
// The reference is tests/scene/reference/world2.bmp. To make it again, run the test once with
// WE_UPDATE_REFERENCE=1 in the environment, look at the new image, and commit it.
#include "SceneFrame.h"
#include "WeDebugRenderer.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeScene.h"
#include "WeSkyBoxRenderer.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "render/GlFrameFixture.h"

#include <memory>

namespace
{

// The six faces' colours, +X, -X, +Y, -Y, +Z, -Z.
constexpr uint32_t faceColours[6] = {0xFF0000u, 0x00FFFFu, 0x00FF00u, 0xFF00FFu, 0x0000FFu, 0xFFFF00u};

class SkyBoxFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        scene.reset();
        cube.reset();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }
    // A cube texture of plain faces in the scene's sky.
    void MakeColouredCube()
    {
        cube = std::make_unique<WeTexture>();
        d3d9::CubeTexture* made = nullptr;
        ASSERT_EQ(renderDevice.device->CreateCubeTexture(8, 1, 0, d3d9::D3DFMT_A8R8G8B8,
                                                         d3d9::D3DPOOL_MANAGED, &made, nullptr),
                  d3d9::D3D_OK);
        for (uint32_t face = 0; face < 6; ++face)
        {
            d3d9::LockedRect locked;
            ASSERT_EQ(made->LockRect(d3d9::CubeFace(face), 0, &locked, nullptr, 0), d3d9::D3D_OK);
            for (int32_t row = 0; row < 8; ++row)
                for (int32_t column = 0; column < 8; ++column)
                    reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) +
                                                row * locked.pitch)[column] = 0xFF000000u | faceColours[face];
            made->UnlockRect(d3d9::CubeFace(face), 0);
        }
        cube->texture = made;
        cube->kind = 1;
        scene->skyBox.kind = WeSkyBox::cubeTexture;
        scene->skyBox.texture = cube.get();
    }

    std::unique_ptr<WeScene> scene;
    std::unique_ptr<WeTexture> cube;
};

TEST_F(SkyBoxFrame, EachFaceOfACubeSkyLiesWhereTheCameraLooks)
{
    StartGl(64, 64);
    ASSERT_NE(skyBoxRenderer.skyEffect, nullptr) << "the sky effect is in the package";
    scene = std::make_unique<WeScene>();
    scene->config.clearBackground = true;
    scene->config.backgroundColor = {0.0f, 0.0f, 0.0f, 1.0f};
    MakeColouredCube();
    const struct
    {
        WeVector direction, up;
        uint32_t centre, top, bottom, left, right;
    } views[] = {
        {{0, 0, 1},
         {0, 1, 0},
         faceColours[4],
         faceColours[2],
         faceColours[3],
         faceColours[1],
         faceColours[0]},
        {{1, 0, 0},
         {0, 1, 0},
         faceColours[0],
         faceColours[2],
         faceColours[3],
         faceColours[4],
         faceColours[5]},
        {{-1, 0, 0},
         {0, 1, 0},
         faceColours[1],
         faceColours[2],
         faceColours[3],
         faceColours[5],
         faceColours[4]},
        {{0, 0, -1},
         {0, 1, 0},
         faceColours[5],
         faceColours[2],
         faceColours[3],
         faceColours[0],
         faceColours[1]},
        {{0, 1, 0},
         {0, 0, 1},
         faceColours[2],
         faceColours[4],
         faceColours[5],
         faceColours[0],
         faceColours[1]},
        {{0, -1, 0},
         {0, 0, 1},
         faceColours[3],
         faceColours[4],
         faceColours[5],
         faceColours[1],
         faceColours[0]},
    };
    for (const auto& view : views)
    {
        WeCamera camera;
        camera.SetPerspective(2.2f, 1.0f, 100.0f, 1.0f); // wide enough to see the four neighbours
        camera.direction = view.direction;
        camera.up = view.up;
        camera.Update();
        SceneFrame frame(*scene, camera);
        const std::vector<uint8_t> shot = Shoot(frame);
        const auto at = [&](int32_t x, int32_t y) { return PixelAt(shot, 64, 64, x, y); };
        EXPECT_EQ(at(32, 32), view.centre) << view.direction.x << view.direction.y << view.direction.z;
        EXPECT_EQ(at(32, 1), view.top);
        EXPECT_EQ(at(32, 62), view.bottom);
        EXPECT_EQ(at(1, 32), view.left);
        EXPECT_EQ(at(62, 32), view.right);
    }
}

TEST_F(SkyBoxFrame, DebugLinesAreDrawnLastOverTheSky)
{
    StartGl(64, 64);
    scene = std::make_unique<WeScene>();
    MakeColouredCube();
    WeCamera camera;
    camera.SetPerspective(1.0f, 1.0f, 100.0f, 1.0f);
    camera.Update(); // at the origin, looking along +z
    debugRenderer.ClearLines();
    debugRenderer.AddLine({-20, 0, 10}, {20, 0, 10}, 0xFFFF0000u, false);
    debugRenderer.AddLine({0, -20, 10}, {0, 20, 10}, 0xFF00FF00u, true);
    SceneFrame frame(*scene, camera);
    const std::vector<uint8_t> shot = Shoot(frame);
    debugRenderer.ClearLines();
    const auto at = [&](int32_t x, int32_t y) { return PixelAt(shot, 64, 64, x, y); };
    int32_t redInRow = 0, greenInColumn = 0;
    for (int32_t i = 0; i < 64; ++i)
    {
        redInRow += at(i, 31) == 0xFF0000u || at(i, 32) == 0xFF0000u;
        greenInColumn += at(31, i) == 0x00FF00u || at(32, i) == 0x00FF00u;
    }
    EXPECT_GE(redInRow, 60) << "the line on top spans the view";
    EXPECT_GE(greenInColumn, 30) << "the depth-tested line, partly under the other";
    EXPECT_EQ(at(10, 10), faceColours[4]) << "the sky around them";
}

TEST_F(SkyBoxFrame, TheSecondMapShowsItsCubeSkyOnADome)
{
    StartGl(320, 240);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "world2.bmp";
    scene = std::make_unique<WeScene>();
    ASSERT_TRUE(scene->Load("World2")) << scene->loadMessage.GetData();
    timer.deltaTime = 0.1f; // the lights fade in, the flag waves
    for (int32_t tick = 0; tick < 6; ++tick)
        scene->Tick();
    ASSERT_EQ(scene->skyBox.kind, WeSkyBox::meshModel);
    WeCamera camera;
    camera.SetPerspective(1.0f, 0.5f, 500.0f, 0.0f);
    camera.position = {0.0f, 2.0f, -11.0f};
    camera.direction = d3dx::D3DXVec3Normalize({-0.2f, 0.12f, 1.0f});
    camera.Update();
    SceneFrame frame(*scene, camera);
    const std::vector<uint8_t> shot = Shoot(frame);
    ExpectMatchesReference(shot, 300);
    const uint32_t skyTop = PixelAt(shot, 320, 240, 160, 2);
    EXPECT_GT(skyTop & 0xFF, (skyTop >> 16) & 0xFF) << "the zenith is bluer than red";
}

} // namespace
