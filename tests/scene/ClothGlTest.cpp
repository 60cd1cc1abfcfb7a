// A cloth hanging from a bar, simulated for two seconds and drawn by the cloth renderer on the
// OpenGL back end, against a stored reference.
//
// The reference is tests/scene/reference/cloth.bmp. To make it again, run the test once with
// WE_UPDATE_REFERENCE=1 in the environment, look at the new image, and commit it.
#include "SceneFrame.h"
#include "WeConfig.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "physics/WePhysicHandle.h"
#include "physics/WePhysics.h"
#include "render/GlFrameFixture.h"

#include <memory>
#include <vector>

namespace
{

// A square sheet of cells x cells quads at height 0, facing up, with the default material in
// one subset.
std::unique_ptr<WeMesh> Sheet(int cells, float size)
{
    const uint32_t side = uint32_t(cells + 1), faces = uint32_t(cells * cells * 2);
    d3dx::Mesh* made = nullptr;
    EXPECT_EQ(d3dx::D3DXCreateMesh(faces, side * side, d3dx::D3DXMESH_MANAGED, WeMesh::vertexDeclaration,
                                   renderDevice.device, &made),
              d3d9::D3D_OK);
    WeMeshVertex* vertices = nullptr;
    made->LockVertexBuffer(0, reinterpret_cast<void**>(&vertices));
    for (uint32_t z = 0; z < side; ++z)
        for (uint32_t x = 0; x < side; ++x)
            vertices[z * side + x] = {{-size / 2 + float(x) * size / float(cells), 0.0f,
                                       -size / 2 + float(z) * size / float(cells)},
                                      {0.0f, 1.0f, 0.0f},
                                      float(x) / float(cells),
                                      float(z) / float(cells),
                                      {1.0f, 0.0f, 0.0f},
                                      0.0f,
                                      0.0f};
    made->UnlockVertexBuffer();
    uint16_t* indices = nullptr;
    made->LockIndexBuffer(0, reinterpret_cast<void**>(&indices));
    for (uint32_t z = 0; z < uint32_t(cells); ++z)
        for (uint32_t x = 0; x < uint32_t(cells); ++x)
        {
            const uint16_t a = uint16_t(z * side + x), b = uint16_t(a + 1), c = uint16_t(a + side),
                           d = uint16_t(c + 1);
            for (const uint16_t index : {a, c, b, b, c, d})
                *indices++ = index;
        }
    made->UnlockIndexBuffer();
    auto mesh = std::make_unique<WeMesh>();
    mesh->path = "Meshes\\cloth";
    mesh->mesh = made;
    mesh->subsetCount = 1;
    mesh->attributeTable[0] = {0, 0, faces, 0, side * side};
    mesh->sets[0].names[0] = "Config.Assets.Default";
    mesh->ComputeBounds();
    return mesh;
}

} // namespace

class ClothFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        scene.reset();
        physics.Shutdown();
        sheet.reset();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }

    std::unique_ptr<WeMesh> sheet;
    std::unique_ptr<WeScene> scene;
};

TEST_F(ClothFrame, ACurtainOnABarMatchesTheReference)
{
    StartGl(320, 240);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "cloth.bmp";
    const float gravity[3] = {0.0f, -9.81f, 0.0f};
    ASSERT_TRUE(physics.Init(gravity, true));
    scene = std::make_unique<WeScene>();
    auto* bar = new WeActor;
    bar->physicModel.type = WePhysicModel::staticBox;
    bar->SetLocation({-2.0f, -1.05f, 0.0f});
    scene->AddActor(bar);
    sheet = Sheet(8, 4.0f);
    auto* cloth = new WeActor;
    cloth->physicModel.type = WePhysicModel::cloth;
    cloth->physicModel.startAsleep = false;
    cloth->model = std::make_unique<WeModel>(false);
    cloth->model->mesh = sheet.get();
    scene->AddActor(cloth);
    ASSERT_NE(dynamic_cast<WeClothHandle*>(cloth->physicsHandle), nullptr);
    timer.deltaTime = 1.0f / 60.0f;
    for (int frame = 0; frame < 120; ++frame)
    {
        physics.FetchResults();
        scene->Tick();
        physics.Simulate();
    }
    WeCamera camera;
    camera.position = {1.0f, 3.0f, -6.0f};
    camera.direction = {-0.2f, -0.6f, 1.0f};
    camera.Update();
    SceneFrame frame(*scene, camera);
    ExpectMatchesReference(Shoot(frame), 300);
    EXPECT_GT(frameStats.frame.drawnTotal, 0);
}
