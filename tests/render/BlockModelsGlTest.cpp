// The game's block models from the package, each with the material sets the play gives it, drawn
// in rows on the OpenGL back end and compared with a stored reference image.
//
// The reference is tests/render/reference/block_models.bmp. To make it again (after a deliberate
// change to the models, their materials or textures), run the test once with
// WE_UPDATE_REFERENCE=1 in the environment, look at the new image, and commit it.
#include "GlFrameFixture.h"
#include "MeshDrawing.h"
#include "WeCamera.h"

#include <memory>
#include <vector>

namespace
{

struct Shown
{
    const char* model;
    int32_t set;
    float x, y, z;
    WeColor tint{1, 1, 1, 1};
};

// The rows: plain blocks and number faces; walls, magnets and arrows; the floor pieces.
const Shown shown[] = {
    {"Block", 0, -6.0f, 0, 2.0f},
    {"Block", 2, -4.7f, 0, 2.0f},
    {"Block", 3, -3.4f, 0, 2.0f},
    {"Block", 5, -2.1f, 0, 2.0f},
    {"Block", 6, -0.8f, 0, 2.0f},
    {"block_number", 0, 0.5f, 0, 2.0f},
    {"block_number", 1, 1.8f, 0, 2.0f},
    {"block_number", 54, 3.1f, 0, 2.0f},
    {"block_number", 100, 4.4f, 0, 2.0f},
    {"block_number", 104, 5.7f, 0, 2.0f},
    {"block_wall", 0, -6.0f, 0, 0.3f},
    {"block_wall", 110, -4.7f, 0, 0.3f},
    {"block_disappearing", 0, -3.4f, 0, 0.3f},
    {"block_magnet_h", 0, -2.1f, 0, 0.3f},
    {"block_magnet_d", 0, -0.8f, 0, 0.3f},
    {"magnet", 0, 0.5f, 0.3f, 0.3f},
    {"arrow", 0, 1.8f, 0, 0},
    {"arrow", 1, 3.1f, 0, 0},
    {"arrow", 5, 4.4f, 0, 0},
    {"block_track", 0, -4.4f, 0, -1.6f},
    {"block_track", 1, -3.1f, 0, -1.6f},
    {"block_track", 2, -1.8f, 0, -1.6f},
    {"block_track_end", 0, -0.5f, 0, -1.6f},
    {"block_teleport", 0, 0.8f, 0, -1.6f, {1, 1, 0, 1}},
    {"block_teleport_o", 0, 2.1f, 0, -1.6f, {1, 0, 1, 1}},
    {"block_teleport_o_i", 0, 3.4f, 0, -1.6f, {0, 1, 1, 1}},
};

class BlockRows : public WeApplication
{
public:
    const char* GetName() override { return "BlockRows"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        WeCamera camera;
        camera.position = {0, 6.5f, -7.6f};
        camera.direction = d3dx::D3DXVec3Normalize({0, -6.5f, 7.4f});
        camera.SetFov(0.7f);
        camera.Update();
        renderDevice.SetCamera(&camera);
        shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
        for (bool alpha : {false, true})
            for (const Shown& item : shown)
            {
                WeMesh* mesh = meshManager.Load(WeString("Ingame.Models.") + item.model);
                const d3dx::Matrix world = d3dx::D3DXMatrixTranslation(item.x, item.y, item.z);
                for (int32_t subset = 0; mesh && subset < mesh->subsetCount; ++subset)
                    MeshDrawing::DrawSubset(*mesh, item.set, subset, world, item.tint, 0.5f, alpha);
            }
    }
};

} // namespace

class BlockModelsFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }
    // What the play does for a number face or a wall: a copy of the set-0 face material with
    // its own texture in subset 0 of a set of its own; the other subsets keep set 0's.
    void AddFaceSet(WeMesh& mesh, int32_t set, const char* texture)
    {
        auto& material = made.emplace_back(std::make_unique<WeMaterial>());
        mesh.sets[0].materials[0]->CopyTo(*material);
        material->textureNames[0] = texture;
        material->textures[0] = textures.Load(texture);
        ASSERT_NE(material->textures[0], nullptr) << texture;
        mesh.SetMaterial(0, set, material.get());
        for (int32_t subset = 1; subset < mesh.subsetCount; ++subset)
            mesh.SetMaterial(subset, set, mesh.sets[0].materials[subset]);
    }

    std::vector<std::unique_ptr<WeMaterial>> made;
};

TEST_F(BlockModelsFrame, EveryBlockModelWithItsSets)
{
    StartGl(480, 240);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "block_models.bmp";
    for (const Shown& item : shown)
    {
        WeMesh* mesh = meshManager.Load(WeString("Ingame.Models.") + item.model);
        ASSERT_NE(mesh, nullptr) << item.model;
        mesh->LoadMaterials(WeMesh::allSets, false);
    }
    WeMesh* number = meshManager.Load("Ingame.Models.block_number");
    AddFaceSet(*number, 54, "Ingame.Textures.block_7_a");
    AddFaceSet(*number, 100, "Ingame.Textures.block_plus_a");
    AddFaceSet(*number, 104, "Ingame.Textures.block_minus_a");
    AddFaceSet(*meshManager.Load("Ingame.Models.block_wall"), 110, "Ingame.Textures.block_wall_a");
    for (const char* teleport : {"block_teleport", "block_teleport_o", "block_teleport_o_i"})
        std::fill_n(meshManager.Load(WeString("Ingame.Models.") + teleport)->sets[0].tinted, 5, false);
    BlockRows frame;
    ExpectMatchesReference(Shoot(frame), 300);
}
