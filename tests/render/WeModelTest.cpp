// Animodel records and their limits, the model manager's prototypes and copies, skinning, frame
// bounds and animation tracks, on the recording back end.
#include "WeModel.h"

#include "RecordBytes.h"
#include "RenderDeviceFixture.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModelFrame.h"
#include "WeRandom.h"
#include "WeTimer.h"
#include "d3dx/D3dxAnimation.h"

#include <cmath>
#include <memory>
#include <optional>

namespace
{

#define IDENTITY "1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, "
// Root holds Skin (a two-material quad on five bones, the fifth named after no frame) and the
// chain Arm - Hand; Prop, a rigid triangle far out, stands beside Root. Vertex (0, 0, 0) is
// moved by all five bones. "Swing" lifts Arm from 1 to 3 over one second.
const char* const testModel = R"(xof 0303txt 0032
AnimTicksPerSecond { 10; }
Frame Root {
  FrameTransformMatrix { )" IDENTITY R"(0.0,0.0,0.0,1.0;; }
  Frame Skin {
    FrameTransformMatrix { )" IDENTITY R"(0.0,0.0,0.0,1.0;; }
    Mesh SkinMesh {
      4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;2.0;0.0;, 0.0;2.0;0.0;;
      2; 3;0,1,2;, 3;0,2,3;;
      MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
      MeshTextureCoords { 4; 0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;; }
      MeshMaterialList {
        2; 2; 0,1;;
        Material A { 1.0;0.0;0.0;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
        Material B { 0.0;1.0;0.0;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
      }
      XSkinMeshHeader { 4; 4; 5; }
      SkinWeights { "Root"; 1; 0; 0.1; )" IDENTITY R"(0.0,0.0,0.0,1.0;; }
      SkinWeights { "Arm"; 3; 0,1,2; 0.2,1.0,0.5; )" IDENTITY R"(0.0,-1.0,0.0,1.0;; }
      SkinWeights { "Hand"; 3; 0,2,3; 0.3,0.5,1.0; )" IDENTITY R"(0.0,-2.0,0.0,1.0;; }
      SkinWeights { "Skin"; 1; 0; 0.4; )" IDENTITY R"(0.0,0.0,0.0,1.0;; }
      SkinWeights { "Ghost"; 1; 0; 0.5; )" IDENTITY R"(0.0,0.0,0.0,1.0;; }
    }
  }
  Frame Arm {
    FrameTransformMatrix { )" IDENTITY R"(0.0,1.0,0.0,1.0;; }
    Frame Hand { FrameTransformMatrix { )" IDENTITY R"(0.0,1.0,0.0,1.0;; } }
  }
}
Frame Prop {
  FrameTransformMatrix { )" IDENTITY R"(10.0,0.0,0.0,1.0;; }
  Mesh PropMesh {
    3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
    1; 3;0,1,2;;
    MeshNormals { 1; 0.0;0.0;-1.0;; 1; 3;0,0,0;; }
    MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 1.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }
  }
}
AnimationSet Swing {
  Animation { {Arm} AnimationKey { 2; 2; 0;3;0.0,1.0,0.0;;, 10;3;0.0,3.0,0.0;;; } }
}
)";
#undef IDENTITY

// An animodel entry: version, byte count, the ".x" text, then the blocks (Prop's, then Skin's).
struct AnimodelRecord
{
    int32_t version = 1;
    std::optional<int32_t> byteCount = std::nullopt; // the text's length when not given
    int32_t skinSets = 2, skinSubsets = 2;
    bool cutShort = false;

    RecordBytes Bytes() const
    {
        const std::string text = testModel;
        RecordBytes record;
        record.Int(version);
        if (version <= 0)
            return record; // the version decides
        record.Int(byteCount.value_or(int32_t(text.size()))).Raw(text.data(), text.size());
        record.Int(1).Int(1).String("Test.Materials.prop");
        record.Int(skinSets).Int(skinSubsets);
        const int32_t names = skinSets * skinSubsets - (cutShort ? 1 : 0);
        for (int32_t i = 0; i < names; ++i)
            record.String("Test.Materials.skin" + std::to_string(i / skinSubsets) + "_" +
                          std::to_string(i % skinSubsets));
        return record;
    }
};

WeModelFrame* Find(WeModel& model, const char* name)
{
    const d3dx::Frame* found = d3dx::D3DXFrameFind(model.rootFrame->frame.get(), name);
    return found ? static_cast<const WeMeshFrame*>(found)->model : nullptr;
}

bool IsIdentity(const WeMatrix& m)
{
    const WeMatrix identity;
    for (int i = 0; i < 16; ++i)
        if (std::fabs(m.m[i / 4][i % 4] - identity.m[i / 4][i % 4]) > 1e-5f)
            return false;
    return true;
}

} // namespace

class WeModelTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start()) << engine.lastError.GetData();
        modelManager.fileSystem = package.files.get();
    }
    void TearDown() override
    {
        modelManager.FreeAll();
        modelManager.fileSystem = nullptr;
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        RecordingRenderDevice::TearDown();
    }
    bool Read(WeModel& model, const AnimodelRecord& record)
    {
        return package.ReadRecord(model, record.Bytes());
    }
    // A loaded model of the test record, placed under the identity.
    std::unique_ptr<WeModel> Loaded()
    {
        auto model = std::make_unique<WeModel>(true);
        EXPECT_TRUE(Read(*model, AnimodelRecord{}));
        model->UpdateFrameMatrices(WeMatrix{}, true);
        return model;
    }
    void Advance(WeModel& model, float seconds)
    {
        timer.deltaTime = seconds;
        model.AdvanceAnimation(1.0f);
    }

    RecordPackage package;
};

TEST_F(WeModelTest, RecordsAreReadToTheirEndOrRefused)
{
    struct Case
    {
        const char* what;
        AnimodelRecord record;
        bool loads;
    };
    const Case cases[] = {
        {"a whole record", {}, true},
        {"version 0", {.version = 0}, false},
        {"a negative version: no frames", {.version = -3}, true},
        {"no bytes of .x", {.byteCount = 0}, false},
        {"a negative byte count", {.byteCount = -7}, false},
        {"more bytes than the entry", {.byteCount = 1 << 20}, false},
        {"a material block cut short", {.cutShort = true}, false},
        {"subsets past 16 dropped", {.skinSubsets = 20}, true},
        {"sets past 128 dropped", {.skinSets = 130, .skinSubsets = 1}, true},
        {"a negative set count", {.skinSets = -1}, false},
    };
    for (const Case& c : cases)
    {
        WeModel model(true);
        EXPECT_EQ(Read(model, c.record), c.loads) << c.what;
        EXPECT_EQ(model.rootFrame != nullptr, c.loads && c.record.version > 0) << c.what;
    }
    WeModel still(false);
    EXPECT_FALSE(Read(still, AnimodelRecord{})) << "a static model has no hierarchy";
}

TEST_F(WeModelTest, MaterialBlocksFollowTheFramesInTheirStoredOrder)
{
    const std::unique_ptr<WeModel> model = Loaded();
    WeMesh& prop = *Find(*model, "Prop")->mesh;
    WeMesh& skin = *Find(*model, "Skin")->mesh;
    EXPECT_EQ(prop.sets[0].names[0], "Test.Materials.prop");
    EXPECT_EQ(skin.subsetCount, 2);
    EXPECT_EQ(skin.sets[1].names[0], "Test.Materials.skin1_0");
    EXPECT_EQ(skin.sets[1].names[1], "Test.Materials.skin1_1");
    EXPECT_TRUE(skin.skinned);
    EXPECT_FALSE(prop.skinned);
}

TEST_F(WeModelTest, AVertexKeepsItsFirstFourInfluencesInBoneOrder)
{
    const std::unique_ptr<WeModel> model = Loaded();
    WeMesh& skin = *Find(*model, "Skin")->mesh;
    ASSERT_EQ(skin.GetBytesPerVertex(), 84);
    void* data = nullptr;
    ASSERT_EQ(skin.LockVertexBuffer(d3d9::D3DLOCK_READONLY, &data), d3d9::D3D_OK);
    const auto* bytes = static_cast<const uint8_t*>(data);
    bool found = false;
    for (int32_t v = 0; v < skin.GetNumVertices(); ++v)
    {
        const auto* vertex = reinterpret_cast<const float*>(bytes + size_t(v) * 84);
        if (vertex[0] != 0.0f || vertex[1] != 0.0f)
            continue;
        found = true;
        const float* weights = vertex + 13;
        const float* bones = vertex + 17;
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_FLOAT_EQ(bones[i], float(i)) << "Root, Arm, Hand, Skin; Ghost dropped";
            EXPECT_FLOAT_EQ(weights[i], 0.1f * float(i + 1)) << "weights are not renormalised";
        }
    }
    skin.UnlockVertexBuffer();
    EXPECT_TRUE(found);
}

TEST_F(WeModelTest, SkinsPastFortyFiveBonesAndInfluencesPastTheMeshAreRefused)
{
    d3dx::Mesh* mesh = nullptr;
    ASSERT_EQ(d3dx::D3DXCreateMesh(1, 3, d3dx::D3DXMESH_MANAGED, WeMesh::vertexDeclaration, nullptr, &mesh),
              d3d9::D3D_OK);
    void* data = nullptr;
    mesh->LockIndexBuffer(0, &data);
    const uint16_t corners[3] = {0, 1, 2};
    std::copy(corners, corners + 3, static_cast<uint16_t*>(data));
    mesh->UnlockIndexBuffer();
    const d3dx::MeshData meshData{d3dx::D3DXMESHTYPE_MESH, mesh};
    auto skin = [](uint32_t bones, uint32_t vertex)
    {
        std::vector<d3dx::SkinInfo::Bone> list(bones);
        for (uint32_t b = 0; b < bones; ++b)
            list[b] = {"Bone" + std::to_string(b), {}, {vertex}, {1.0f}};
        return new d3dx::SkinInfo(vertex + 1, std::move(list));
    };
    WeMeshHierarchy hierarchy;
    for (const auto& [bones, vertex, accepted] :
         {std::tuple{45u, 2u, true}, {46u, 0u, false}, {2u, 7u, true}})
    {
        d3dx::SkinInfo* info = skin(bones, vertex);
        d3dx::MeshContainer* container = nullptr;
        const d3d9::HRESULT result =
            hierarchy.CreateMeshContainer("c", &meshData, nullptr, 0, nullptr, info, &container);
        EXPECT_EQ(!d3d9::Failed(result), accepted) << bones << " bones";
        EXPECT_EQ(container != nullptr, accepted);
        hierarchy.DestroyMeshContainer(container);
        info->Release();
    }
    d3dx::MeshData patches{d3dx::D3DXMESHTYPE_PATCHMESH, mesh};
    d3dx::MeshContainer* container = nullptr;
    EXPECT_EQ(hierarchy.CreateMeshContainer("p", &patches, nullptr, 0, nullptr, nullptr, &container),
              d3d9::E_FAIL);
    mesh->Release();
}

TEST_F(WeModelTest, BindPoseSkinMatricesAreTheIdentityAndABoneMovesWhatHangsOnIt)
{
    const std::unique_ptr<WeModel> model = Loaded();
    model->UpdateFrameMatrices(d3dx::D3DXMatrixTranslation(4, 5, 6), false);
    WeModelFrame& skin = *Find(*model, "Skin");
    for (int bone = 0; bone < 5; ++bone)
        EXPECT_TRUE(IsIdentity(skin.skinMatrices[bone])) << "bone " << bone << " at rest";
    EXPECT_EQ(skin.boneFrames[4], nullptr) << "no frame is called Ghost";
    Find(*model, "Arm")->frame->transformationMatrix = d3dx::D3DXMatrixTranslation(0, 1.5f, 0);
    model->UpdateFrameMatrices(d3dx::D3DXMatrixTranslation(4, 5, 6), false);
    EXPECT_TRUE(IsIdentity(skin.skinMatrices[0]));
    for (int bone : {1, 2})
        EXPECT_FLOAT_EQ(skin.skinMatrices[bone].m[3][1], 0.5f) << "Arm and the Hand on it rise";
    EXPECT_TRUE(IsIdentity(skin.skinMatrices[3]));
    EXPECT_FLOAT_EQ(model->world.m[3][0], 4.0f) << "the model takes the root's world matrix";
    EXPECT_FLOAT_EQ(skin.previousWorld.m[3][1], 5.0f);
}

TEST_F(WeModelTest, TheModelSphereHoldsEveryFrameAndSpheresGrowSoundly)
{
    const std::unique_ptr<WeModel> model = Loaded();
    model->UpdateBounds(false);
    const WeSphere& prop = Find(*model, "Prop")->sphere;
    EXPECT_GT(prop.radius, 0.0f);
    const WeVector toProp = prop.center - model->sphere.center;
    EXPECT_LE(d3dx::D3DXVec3Length(toProp) + prop.radius, model->sphere.radius + 1e-4f)
        << "the frame beside the root counts";
    EXPECT_EQ(Find(*model, "Root")->sphere.radius, 0.0f) << "a frame without a mesh has no sphere";

    struct Case
    {
        WeSphere into, other, grown;
    };
    const Case cases[] = {
        {{{0, 0, 0}, 1}, {{4, 0, 0}, 1}, {{2, 0, 0}, 3}},       // apart: spans both
        {{{0, 0, 0}, 2}, {{2, 0, 0}, 1}, {{0.5f, 0, 0}, 2.5f}}, // overlapping: spans both
        {{{0, 0, 0}, 5}, {{1, 0, 0}, 1}, {{0, 0, 0}, 5}},       // inside: unchanged
        {{{0, 0, 0}, 3}, {{0, 0, 2}, 1}, {{0, 0, 0}, 3}},       // inside, touching: unchanged
        {{{0, 0, 0}, 1}, {{1, 0, 0}, 5}, {{1, 0, 0}, 5}},       // holds this one: becomes the other
        {{{0, 0, 0}, 1}, {{0, 2, 0}, 3}, {{0, 2, 0}, 3}},       // holds it, touching: the other
        {{{2, 1, 0}, 0.5f}, {{0, 0, 0}, 9}, {{0, 0, 0}, 9}},    // far inside the other
        {{{0, 0, 0}, 0}, {{7, 0, 0}, 2}, {{7, 0, 0}, 2}},       // empty: becomes the other
        {{{3, 3, 3}, 1}, {{3, 3, 3}, 2}, {{3, 3, 3}, 2}},       // one centre: the larger
        {{{3, 3, 3}, 1}, {{9, 9, 9}, 0}, {{3, 3, 3}, 1}},       // an empty other changes nothing
    };
    const auto holds = [](const WeSphere& outer, const WeSphere& inner) // an empty sphere holds nothing
    {
        return inner.radius == 0.0f ||
               d3dx::D3DXVec3Length(inner.center - outer.center) + inner.radius <= outer.radius + 1e-4f;
    };
    for (const Case& c : cases)
    {
        WeSphere sphere = c.into;
        sphere.Grow(c.other);
        EXPECT_FLOAT_EQ(sphere.radius, c.grown.radius) << c.into.radius << " by " << c.other.radius;
        EXPECT_NEAR(d3dx::D3DXVec3Length(sphere.center - c.grown.center), 0.0f, 1e-5f)
            << c.into.radius << " by " << c.other.radius;
        EXPECT_TRUE(holds(sphere, c.into) && holds(sphere, c.other))
            << c.into.radius << " by " << c.other.radius;
    }
}

TEST_F(WeModelTest, ANonLoopingSetFadesInHoldsItsEndForOneAdvanceThenStops)
{
    const std::unique_ptr<WeModel> model = Loaded();
    ASSERT_EQ(model->GetTrackCount(), 2);
    model->PlayAnimation(0, "Swing", 1.0f, false, 0.2f, 0.2f, false, true);
    d3dx::TrackDesc desc;
    const auto weight = [&]
    {
        model->animationController->GetTrackDesc(0, &desc);
        return desc.weight;
    };
    EXPECT_FLOAT_EQ(weight(), 0.0f) << "a fading-in track starts silent";
    Advance(*model, 0.1f);
    EXPECT_NEAR(weight(), 0.5f, 1e-5f) << "position over fade-in";
    Advance(*model, 0.4f);
    EXPECT_NEAR(weight(), 1.0f, 1e-5f);
    Advance(*model, 0.4f);
    EXPECT_NEAR(weight(), 0.5f, 1e-5f) << "the tail fades over fade-out";
    Advance(*model, 0.1f);
    model->animationController->GetTrackDesc(0, &desc);
    EXPECT_NEAR(desc.position, 0.995, 1e-5) << "held at the period less 0.01, posed 0.005 on";
    EXPECT_EQ(desc.speed, 0.0f);
    EXPECT_TRUE(desc.enable);
    EXPECT_TRUE(model->GetTrack(0).finished);
    EXPECT_NEAR(Find(*model, "Arm")->frame->transformationMatrix.m[3][1], 2.99f, 1e-4f);
    Advance(*model, 0.1f);
    model->animationController->GetTrackDesc(0, &desc);
    EXPECT_FALSE(desc.enable);
    EXPECT_FALSE(model->GetTrack(0).playing);
}

TEST_F(WeModelTest, StoppingFadesOutOrCutsAndUnknownSetsStopTheTrack)
{
    const std::unique_ptr<WeModel> model = Loaded();
    d3dx::TrackDesc desc;
    model->StopAnimation(1, 0.5f);
    EXPECT_EQ(model->GetTrack(1).fadeOutElapsed, -1.0f) << "a track that is not playing is left alone";

    model->PlayAnimation(0, "Swing", 1.0f, true, 0.0f, 0.1f, false, true);
    Advance(*model, 0.3f);
    model->StopAnimation(0, 0.4f);
    Advance(*model, 0.1f);
    model->animationController->GetTrackDesc(0, &desc);
    EXPECT_NEAR(desc.weight, 0.75f, 1e-5f) << "1 - elapsed over fade-out";
    Advance(*model, 0.3f);
    EXPECT_TRUE(model->GetTrack(0).finished);
    Advance(*model, 0.1f);
    EXPECT_FALSE(model->GetTrack(0).playing);

    model->PlayAnimation(1, "Swing", 1.0f, true, 0.0f, 0.1f, false, true);
    model->StopAnimation(1, 0.0f);
    model->animationController->GetTrackDesc(1, &desc);
    EXPECT_FALSE(desc.enable) << "a fade of 0 stops at once";
    model->PlayAnimation(1, "Swing", 1.0f, true, 0.0f, 0.1f, false, true);
    model->PlayAnimation(1, "Nothing", 1.0f, true, 0.0f, 0.1f, false, true);
    model->animationController->GetTrackDesc(1, &desc);
    EXPECT_FALSE(desc.enable);
    EXPECT_FALSE(model->GetTrack(1).playing);
    model->PlayAnimation(7, "Swing", 1.0f, true, 0.0f, 0.1f, false, true); // no such track: nothing
}

TEST_F(WeModelTest, RandomStartsFallInTheFirstHalfOfTheSet)
{
    const std::unique_ptr<WeModel> model = Loaded();
    WeSRand(7);
    double highest = 0.0;
    for (int i = 0; i < 200; ++i)
    {
        model->PlayAnimation(0, "Swing", 1.0f, true, 0.0f, 0.1f, true, true);
        d3dx::TrackDesc desc;
        model->animationController->GetTrackDesc(0, &desc);
        ASSERT_GE(desc.position, 0.0);
        ASSERT_LE(desc.position, 0.5);
        highest = std::max(highest, desc.position);
    }
    EXPECT_GT(highest, 0.4) << "the starts spread over the half";
}

TEST_F(WeModelTest, TheManagerCopiesPrototypesAndBuildsStaticModelsOverOneMesh)
{
    package.Write("Test.Models.flag", WeAssetType::AnimatedModel, AnimodelRecord{}.Bytes().bytes);
    std::unique_ptr<WeModel> first(modelManager.Load("Test.Models.flag", WeMesh::allSets));
    std::unique_ptr<WeModel> second(modelManager.Load("TEST.models.FLAG", 0));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(modelManager.GetPrototypeCount(), 1) << "the entry was read once";
    EXPECT_NE(first->rootFrame.get(), second->rootFrame.get());
    EXPECT_NE(first->animationController, second->animationController);
    EXPECT_EQ(Find(*first, "Skin")->mesh, Find(*second, "Skin")->mesh) << "the containers are shared";
    EXPECT_EQ(Find(*first, "Skin")->Container()->refCount, 3);

    first->PlayAnimation(0, "Swing", 1.0f, true, 0.0f, 0.1f, false, true);
    Advance(*first, 0.5f);
    Advance(*second, 0.5f);
    EXPECT_NEAR(Find(*first, "Arm")->frame->transformationMatrix.m[3][1], 2.0f, 1e-4f);
    EXPECT_FLOAT_EQ(Find(*second, "Arm")->frame->transformationMatrix.m[3][1], 1.0f) << "its own tracks";

    modelManager.FreeAll();
    EXPECT_EQ(Find(*first, "Skin")->Container()->refCount, 2) << "copies outlive their prototype";
    second.reset();
    EXPECT_EQ(Find(*first, "Skin")->Container()->refCount, 1);

    modelManager.fileSystem = nullptr;
    std::unique_ptr<WeModel> block(modelManager.Load("Ingame.Models.Block", 0));
    std::unique_ptr<WeModel> again(modelManager.Load("Ingame.Models.Block", 0));
    ASSERT_NE(block, nullptr);
    EXPECT_FALSE(block->animated);
    EXPECT_NE(block, again);
    EXPECT_EQ(block->mesh, again->mesh);
    EXPECT_NE(block->mesh->sets[0].materials[0], nullptr) << "the set's materials were loaded";
    EXPECT_EQ(modelManager.GetPrototypeCount(), 0) << "static models are not kept";
    EXPECT_EQ(modelManager.Load("", 0), nullptr);
    EXPECT_EQ(modelManager.Load("Ingame.Models.none", 0), nullptr);
}
