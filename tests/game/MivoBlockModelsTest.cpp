// The shipped block models against the play's looks: every model key resolves, with materials in
// every set the play draws from it, and the run-time sets are made from them.
#include "../render/RenderDeviceFixture.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "PlayFixture.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeTexture.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <vector>

namespace
{

using K = MivoBlockKind;

class BlockModels : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start()) << engine.lastError.GetData();
    }
    void TearDown() override
    {
        MivoFreeLevelResources();
        RecordingRenderDevice::TearDown();
    }
};

// One block of every look the play gives, with the part it is drawn as.
std::vector<std::pair<MivoBlock, int32_t>> EveryLook()
{
    std::vector<std::pair<MivoBlock, int32_t>> looks;
    const auto add = [&looks](K kind, int32_t number, int32_t part, auto&& change)
    {
        MivoBlock block;
        block.Init(kind, number);
        change(block);
        looks.emplace_back(block, part);
    };
    const auto same = [](MivoBlock&) {};
    for (int32_t n = 1; n <= 9; ++n)
        add(K::Number, n, 0, same);
    for (const K kind : {K::Plus, K::Minus, K::Joker, K::Hardening, K::Plain, K::Wall, K::Disappearing})
        add(kind, 0, 0, same);
    add(K::Wall, 0, 0, [](MivoBlock& b) { b.converted = 1; });
    for (const int32_t d : {1, 2})
        add(K::Magnet, 0, 0, [d](MivoBlock& b) { b.magnetDirection = d; });
    add(K::Teleport, 0, 0, [](MivoBlock& b) { b.teleport.entrance = 1; });
    add(K::Teleport, 0, 0, [](MivoBlock& b) { b.teleport.exit = 1; });
    add(K::Teleport, 0, 0, [](MivoBlock& b) { b.teleport.entrance = b.teleport.exit = 1; });
    for (const int32_t part : {0, 1, 2})
        add(K::Track, 0, part, same);
    return looks;
}

} // namespace

TEST_F(BlockModels, EveryLookOfTheBoardResolvesWithTheSetItIsDrawnWith)
{
    int32_t looks = 0;
    for (const auto& [block, part] : EveryLook())
    {
        const WeString key = MivoPlayGamePhase::BlockModelKey(&block, part);
        const int32_t set = playGamePhase.BlockMaterialIndex(&block, part);
        WeMesh* mesh = meshManager.Load(key);
        ASSERT_NE(mesh, nullptr) << key.GetData();
        mesh->LoadMaterials(WeMesh::allSets, false);
        // Run-time sets are made from set 0.
        const WeMeshMaterialSet& drawn = mesh->sets[set < 30 ? set : 0];
        for (int32_t subset = 0; subset < mesh->subsetCount; ++subset)
            EXPECT_NE(drawn.materials[subset], nullptr)
                << key.GetData() << " set " << set << " subset " << subset;
        ++looks;
    }
    EXPECT_EQ(looks, 25);
    // A track at work shows its moving sets.
    for (const int32_t set : {1, 2})
        EXPECT_NE(meshManager.Load("Ingame.Models.block_track")->sets[set].materials[0], nullptr) << set;
    // The arrows: plain, under the mouse, and the picker's.
    WeMesh* arrow = meshManager.Load("Ingame.Models.arrow");
    ASSERT_NE(arrow, nullptr);
    arrow->LoadMaterials(WeMesh::allSets, false);
    for (const int32_t set : {0, 1, 5})
        EXPECT_NE(arrow->sets[set].materials[0], nullptr) << "arrow set " << set;
}

TEST_F(BlockModels, TheRunTimeSetsCarryTheirTexturesAndReplaceTheLastLevels)
{
    playGamePhase.BuildBlockMaterials();
    const size_t made = playGamePhase.blockMaterials.size();
    WeMesh* number = meshManager.Load("Ingame.Models.block_number");
    WeMesh* wall = meshManager.Load("Ingame.Models.block_wall");
    ASSERT_NE(number, nullptr);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(made, size_t(11 + 1)) << "a face material per set";
    struct Case
    {
        WeMesh* mesh;
        int32_t set;
        const char* texture;
    };
    for (const Case& c : {Case{number, 54, "Ingame.Textures.block_7_a"},
                          {number, 30, "Ingame.Textures.block_1_a"},
                          {number, 100, "Ingame.Textures.block_plus_a"},
                          {number, 104, "Ingame.Textures.block_minus_a"},
                          {wall, 110, "Ingame.Textures.block_wall_a"}})
    {
        const WeMaterial* face = c.mesh->sets[c.set].materials[0];
        ASSERT_NE(face, nullptr) << c.set;
        EXPECT_EQ(face->textureNames[0], c.texture);
        EXPECT_NE(face->textures[0], nullptr) << c.texture;
        for (int32_t subset = 1; subset < c.mesh->subsetCount; ++subset)
        {
            EXPECT_EQ(c.mesh->sets[c.set].materials[subset], c.mesh->sets[0].materials[subset])
                << "the other subsets draw with the mesh's own materials";
        }
    }
    playGamePhase.BuildBlockMaterials();
    EXPECT_EQ(playGamePhase.blockMaterials.size(), made) << "the next level's replace them";
    const auto& current = playGamePhase.blockMaterials;
    EXPECT_NE(std::find_if(current.begin(), current.end(),
                           [&](const auto& m) { return m.get() == number->sets[54].materials[0]; }),
              current.end());
}
