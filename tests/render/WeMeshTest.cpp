// Mesh records of every version and their limits, what a load finishes, material sets, the
// shadow volume and the mesh manager, on the recording back end.
#include "WeMesh.h"

#include "RecordBytes.h"
#include "RenderDeviceFixture.h"
#include "WeMaterial.h"
#include "WeTimer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace
{

// A mesh record as the writers of each version laid it out: two triangles of a quad by default,
// every field a value the checks know.
struct MeshRecord
{
    int32_t version = 17;
    int32_t vertexCount = 4, faceCount = 2;
    std::vector<WeMeshVertex> vertices{{{0, 0, 0}, {0, 0, -1}, 0, 1, {9, 9, 9}, 0, 0},
                                       {{0, 1, 0}, {0, 0, -1}, 0, 0, {9, 9, 9}, 0, 0},
                                       {{1, 1, 0}, {0, 0, -1}, 1, 0, {9, 9, 9}, 0, 0},
                                       {{1, 0, 0}, {0, 0, -1}, 1, 1, {9, 9, 9}, 0, 0}};
    std::vector<uint32_t> indices{0, 1, 2, 0, 2, 3};
    std::vector<uint32_t> attributes{0, 1};
    std::vector<d3dx::AttributeRange> subsets{{0, 0, 1, 0, 3}, {1, 1, 1, 0, 4}};
    int32_t setCount = 2;
    int32_t namesPerOldSet = 2; // versions 5 to 11 store a count in every set
    std::vector<std::string> attachPoints{"Top", "Side"};

    RecordBytes Bytes() const
    {
        RecordBytes record;
        record.Int(version);
        if (version >= 15)
            record.Int(0x1234).Int(0x5678);
        record.Int(vertexCount).Int(faceCount);
        const bool binormal = version >= 11 && version <= 13;
        for (const WeMeshVertex& v : vertices)
        {
            record.Raw(&v, 44); // position, normal, texture coordinates, tangent
            if (binormal)
                record.Floats({7, 7, 7});
            record.Float(v.u1).Float(v.v1);
        }
        for (uint32_t index : indices)
            version <= 13 ? record.Int(int32_t(index)) : record.Raw(&index, 2);
        for (uint32_t id : attributes)
            record.Int(int32_t(id));
        Parameters(record);
        record.Int(int32_t(subsets.size()));
        for (const d3dx::AttributeRange& range : subsets)
            record.Raw(&range, sizeof range);
        Names(record);
        if (version >= 6 && version <= 12)
            record.Floats({-5, -5, -5, 5, 5, 5, 1, 2, 3, 42});
        if (version >= 16)
        {
            record.Int(int32_t(attachPoints.size()));
            for (size_t i = 0; i < attachPoints.size(); ++i)
                record.String(attachPoints[i]).Floats({float(i), 2, 3}).Floats({0, 0, 0, 1});
        }
        return record;
    }
    void Parameters(RecordBytes& record) const
    {
        if (version >= 10)
            record.Bool(true);
        record.Int(11);
        if (version >= 7)
            record.Int(12).Int(13).Float(1.5f);
        if (version >= 9)
            record.Float(6.5f);
        if (version == 7)
            record.Float(2.9f);
        else if (version >= 8)
            record.Int(3);
    }
    void Names(RecordBytes& record) const
    {
        if (version <= 11)
        {
            for (int set = 0; set < 30; ++set)
            {
                record.Int(namesPerOldSet);
                for (int subset = 0; subset < namesPerOldSet; ++subset)
                    record.String(Name(set, subset));
            }
            return;
        }
        if (version >= 17)
            record.Int(setCount);
        for (int set = 0; set < (version >= 17 ? setCount : 30); ++set)
            for (size_t subset = 0; subset < subsets.size(); ++subset)
                record.String(Name(set, int(subset)));
    }
    static std::string Name(int set, int subset)
    {
        return "Test.Materials.s" + std::to_string(set) + "_" + std::to_string(subset);
    }
};

float Length(const WeVector& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

} // namespace

class WeMeshTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start()) << engine.lastError.GetData();
        meshManager.fileSystem = package.files.get();
        materialManager.fileSystem = package.files.get();
    }
    void TearDown() override
    {
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        meshManager.fileSystem = nullptr;
        materialManager.fileSystem = nullptr;
        RecordingRenderDevice::TearDown();
    }
    bool Read(WeMesh& mesh, const MeshRecord& record) { return package.ReadRecord(mesh, record.Bytes()); }
    bool Load(WeMesh& mesh, const MeshRecord& record)
    {
        package.Write("Test.Meshes.record", WeAssetType::Mesh, record.Bytes().bytes);
        return mesh.Load(package.files.get(), "Test.Meshes.record", true);
    }
    void WriteMaterial(const char* assetName, bool reflective)
    {
        RecordBytes record;
        record.Int(34)
            .Int(0)
            .Int(5)
            .Int(6)
            .Int(reflective ? 1 : 0)
            .Bool(true)
            .Bool(false)
            .Bool(false)
            .Bool(false);
        record.String("Shaders.Default.ColorOnly");
        for (int slot = 0; slot < 16; ++slot)
            record.String("");
        record.Int(0)
            .Floats({0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 2.5f, 15, 15, 10, 0, 0})
            .Int(0)
            .Bool(false)
            .Int(0);
        record.Floats({0, 0, 0, 0, 1}).Bool(false).Bool(false).Floats({0, 1000, 0, 1}).Bool(false);
        record.Floats({1, 1, 1, 1, 1, 1, 1, 1, 1});
        package.Write(assetName, WeAssetType::Material, record.bytes);
    }

    RecordPackage package;
};

TEST_F(WeMeshTest, EveryVersionReadsItsLayoutToTheEnd)
{
    for (int32_t version = 5; version <= 18; ++version)
    {
        SCOPED_TRACE(version);
        MeshRecord record;
        record.version = version;
        WeMesh mesh;
        ASSERT_TRUE(Read(mesh, record)) << mesh.GetLastError().GetData();
        EXPECT_EQ(mesh.recordInt0, 11);
        EXPECT_EQ(mesh.recordFlag, version >= 10);
        EXPECT_EQ(mesh.recordInt2, version >= 7 ? 13 : 0);
        EXPECT_FLOAT_EQ(mesh.recordFloat1, version >= 9 ? 6.5f : 5.0f);
        EXPECT_EQ(mesh.recordInt3, version == 7   ? 2
                                   : version >= 8 ? 3
                                                  : 2)
            << "2.9 stored as a float truncates";
        EXPECT_EQ(mesh.sourceTime[1], version >= 15 ? 0x5678u : 0u);
        EXPECT_FLOAT_EQ(mesh.sphereRadius, version >= 6 && version <= 12 ? 42.0f : 0.0f);
        EXPECT_EQ(mesh.attachPoints.GetCount(), version >= 16 ? 2 : 0);
        EXPECT_EQ(mesh.subsetCount, 2);
        EXPECT_STREQ(mesh.sets[1].names[1].GetData(), MeshRecord::Name(1, 1).c_str());
        EXPECT_STREQ(mesh.sets[29].names[0].GetData(), version >= 17 ? "" : MeshRecord::Name(29, 0).c_str());
        EXPECT_EQ(mesh.GetBytesPerVertex(), 52);
        EXPECT_EQ(mesh.GetIndexSize(), 2);
        WeMeshVertex* vertices = nullptr;
        ASSERT_EQ(mesh.LockVertexBuffer(d3d9::D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)),
                  d3d9::D3D_OK);
        EXPECT_FLOAT_EQ(vertices[2].u1, 0.0f) << "the second texture coordinates follow the binormal";
        if (version <= 13)
        {
            EXPECT_NEAR(Length(vertices[0].tangent), 1.0f, 1e-4f) << "older tangents are computed again";
        }
        else
        {
            EXPECT_FLOAT_EQ(vertices[0].tangent.x, 9.0f) << "stored tangents are kept";
        }
        mesh.UnlockVertexBuffer();
    }
    MeshRecord old;
    old.version = 4;
    WeMesh refused;
    EXPECT_FALSE(Read(refused, old));
}

TEST_F(WeMeshTest, ManySetsKeepTheFirst128AndStayAlignedForTheAttachPoints)
{
    MeshRecord record;
    record.setCount = 200;
    WeMesh mesh;
    ASSERT_TRUE(Read(mesh, record));
    EXPECT_STREQ(mesh.sets[127].names[1].GetData(), MeshRecord::Name(127, 1).c_str());
    ASSERT_NE(mesh.FindAttachPoint("Side"), nullptr);
    EXPECT_FLOAT_EQ(mesh.FindAttachPoint("Side")->position.x, 1.0f);
    EXPECT_EQ(mesh.FindAttachPoint("side"), nullptr) << "names compare exactly";
}

TEST_F(WeMeshTest, DamagedRecordsAreRefusedWithTheReason)
{
    struct Case
    {
        const char* what;
        std::function<void(MeshRecord&)> damage;
        const char* reason;
    } const cases[] = {
        {"60,000 vertices", [](MeshRecord& r) { r.vertexCount = 60000; }, "at most 59,999"},
        {"20,000 faces", [](MeshRecord& r) { r.faceCount = 20000; }, "at most 59,999"},
        {"negative vertices", [](MeshRecord& r) { r.vertexCount = -4; }, "-4 vertices"},
        {"no faces", [](MeshRecord& r) { r.faceCount = 0; }, "0 faces"},
        {"old counts past the entry",
         [](MeshRecord& r)
         {
             r.version = 9;
             r.vertexCount = 1 << 30;
         },
         "do not fit"},
        {"17 subsets", [](MeshRecord& r) { r.subsets.resize(17); }, "17 subsets"},
        {"an index past the vertices", [](MeshRecord& r) { r.indices[4] = 4; }, "past the 4 vertices"},
        {"a subset past the faces", [](MeshRecord& r) { r.subsets[1].faceCount = 2; },
         "subset 1 reaches past"},
        {"a subset count of -1 as faces", [](MeshRecord& r) { r.subsets[0].faceCount = 0xFFFFFFFFu; },
         "subset 0 reaches past"},
        {"17 names in a set",
         [](MeshRecord& r)
         {
             r.version = 11;
             r.namesPerOldSet = 17;
         },
         "17 material names"},
        {"negative set count", [](MeshRecord& r) { r.setCount = -1; }, "-1 material sets"},
        {"attach points past the entry",
         [](MeshRecord& r) { r.attachPoints.assign(1, std::string(300, 'a')); }, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        MeshRecord record;
        c.damage(record);
        RecordBytes bytes = record.Bytes();
        if (!c.reason) // the last attach point's name loses its end
            bytes.bytes.resize(bytes.Size() - 40);
        package.Write("Test.Meshes.damaged", WeAssetType::Mesh, bytes.bytes);
        WeMesh mesh;
        EXPECT_FALSE(mesh.Load(package.files.get(), "Test.Meshes.damaged", true));
        EXPECT_NE(mesh.GetLastError().Find(c.reason ? c.reason : "cut short"), -1)
            << mesh.GetLastError().GetData();
    }
    const RecordBytes whole = MeshRecord{}.Bytes();
    for (size_t length = 0; length < whole.Size(); ++length)
    {
        RecordBytes cut;
        cut.Raw(whole.bytes.data(), length);
        package.Write("Test.Meshes.cut", WeAssetType::Mesh, cut.bytes);
        WeMesh mesh;
        EXPECT_FALSE(mesh.Load(package.files.get(), "Test.Meshes.cut", true)) << length;
    }
}

TEST_F(WeMeshTest, TheLargestRecordCountsLoad)
{
    MeshRecord record;
    record.version = 14;
    record.vertexCount = 59999;
    record.faceCount = 19999;
    record.vertices.resize(59999, record.vertices[3]);
    record.indices.resize(size_t(19999) * 3, 0);
    std::iota(record.indices.begin() + 6, record.indices.end(), 4);
    record.attributes.resize(19999, 1);
    record.subsets[1].faceCount = 19998;
    record.subsets[1].vertexCount = 59999;
    WeMesh mesh;
    ASSERT_TRUE(Load(mesh, record)) << mesh.GetLastError().GetData();
    EXPECT_EQ(mesh.numFaces, 19999);
}

TEST_F(WeMeshTest, ASubsetOf65536FacesEndsTheSubsets)
{
    MeshRecord record;
    record.version = 11;
    record.faceCount = 65536 + 2;
    record.indices.resize(size_t(record.faceCount) * 3, 0);
    for (size_t i = 6; i < record.indices.size(); i += 3)
        record.indices[i + 1] = 1, record.indices[i + 2] = 2;
    record.attributes.resize(size_t(record.faceCount), 2);
    record.subsets.push_back({2, 2, 65536, 0, 3});
    WeMesh mesh;
    ASSERT_TRUE(Load(mesh, record)) << mesh.GetLastError().GetData();
    EXPECT_EQ(mesh.subsetCount, 2);
}

TEST_F(WeMeshTest, ALoadFinishesWithComputedBoundsAndFreshSlots)
{
    MeshRecord record;
    record.vertices[3].position = {7, 0, 0}; // three vertices near the origin, one far
    WeMesh mesh;
    mesh.sets[3].assigned[1] = true;
    ASSERT_TRUE(Load(mesh, record));
    EXPECT_TRUE(mesh.loaded);
    EXPECT_FLOAT_EQ(mesh.sphereCenter.x, 2.0f) << "the sphere is centred on the vertex mean";
    EXPECT_FLOAT_EQ(mesh.boxMax.x, 7.0f);
    EXPECT_FALSE(mesh.sets[3].assigned[1]);
    EXPECT_EQ(mesh.numVertices, 4);
    EXPECT_EQ(mesh.GetNumFaces(), 2);
}

TEST_F(WeMeshTest, DrawingASubsetCountsItsFaces)
{
    WeMesh empty;
    frameStats.Reset();
    empty.DrawSubset(0);
    EXPECT_EQ(frameStats.frame.drawCalls, 0);
    EXPECT_EQ(empty.GetIndexSize(), 0);
    WeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshRecord{}));
    Device().ClearCallLog();
    mesh.DrawSubset(1);
    EXPECT_EQ(frameStats.frame.drawCalls, 1);
    EXPECT_EQ(frameStats.frame.faces, 1);
    EXPECT_EQ(std::count_if(Calls().begin(), Calls().end(),
                            [](const std::string& call)
                            { return call.rfind("DrawIndexedPrimitive", 0) == 0; }),
              1);
}

TEST_F(WeMeshTest, SubsetMaterialsLoadByNameIntoTheSetsAsked)
{
    WriteMaterial("Test.Materials.s0_0", false);
    WriteMaterial("Test.Materials.shiny", true);
    WeMesh mesh;
    ASSERT_TRUE(Load(mesh, MeshRecord{}));
    mesh.LoadSubsetMaterial(0, 129, true, "Test.Materials.shiny", true);
    EXPECT_EQ(mesh.sets[0].materials[0], nullptr) << "set 129 is no set";
    mesh.LoadMaterials(0, false);
    ASSERT_NE(mesh.sets[0].materials[0], nullptr);
    EXPECT_STREQ(mesh.sets[0].materials[0]->name.GetData(), "Test.Materials.s0_0");
    EXPECT_EQ(mesh.sets[0].materials[1], materialManager.defaultMaterial) << "a missing material";
    EXPECT_STREQ(mesh.sets[0].names[1].GetData(), MeshRecord::Name(0, 1).c_str()) << "keeps its stored name";
    EXPECT_EQ(mesh.sets[1].materials[0], nullptr);

    mesh.LoadSubsetMaterial(1, WeMesh::allSets, true, "Test.Materials.shiny", false);
    EXPECT_EQ(mesh.sets[0].materials[1], materialManager.defaultMaterial) << "assigned slots wait for force";
    EXPECT_EQ(mesh.sets[127].materials[1]->name, "Test.Materials.shiny");
    EXPECT_EQ(mesh.setMasks[127], 2u) << "the reflective subset's bit";
    mesh.LoadSubsetMaterial(1, 127, true, "Test.Materials.none", true);
    EXPECT_EQ(mesh.sets[127].materials[1], materialManager.defaultMaterial);
    EXPECT_STREQ(mesh.sets[127].names[1].GetData(), "Test.Materials.none");
    EXPECT_EQ(mesh.setMasks[127], 0u);
    EXPECT_TRUE(mesh.sets[5].tinted[15] && mesh.sets[5].visible[15]);
}

TEST_F(WeMeshTest, ManagerCachesByNameAndKeepsFixedMeshes)
{
    ASSERT_NE(meshManager.box, nullptr) << "the device's start loads the defaults";
    EXPECT_NE(meshManager.box1m, nullptr);
    EXPECT_NE(meshManager.sphere1m, nullptr);
    EXPECT_TRUE(meshManager.defaultsLoaded && meshManager.box->fixed);
    package.Write("Test.Meshes.quad", WeAssetType::Mesh, MeshRecord{}.Bytes().bytes);
    WriteMaterial("Test.Materials.s0_0", false);
    EXPECT_EQ(meshManager.Load(""), nullptr);
    EXPECT_EQ(meshManager.Load("Test.Meshes.missing"), nullptr);
    WeMesh* quad = meshManager.Load("Test.Meshes.Quad");
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(meshManager.Load("TEST.MESHES.QUAD"), quad);
    quad->LoadMaterials(0, false);
    WeBeginFixedLoading();
    EXPECT_EQ(meshManager.Load("test.meshes.quad"), quad);
    WeEndFixedLoading();
    EXPECT_TRUE(quad->fixed);
    EXPECT_TRUE(quad->sets[0].materials[0]->fixed) << "its materials became fixed with it";
    WeMaterial* kept = materialManager.Load("Test.Materials.s0_0");
    quad->SetMaterial(1, 0, nullptr);
    quad->sets[0].materials[1] = new WeMaterial; // a run-time material that is not fixed
    std::unique_ptr<WeMaterial> owned(quad->sets[0].materials[1]);
    meshManager.FreeAll(false);
    EXPECT_EQ(meshManager.GetCount(), 4);
    EXPECT_EQ(quad->sets[0].materials[0], kept);
    EXPECT_EQ(quad->sets[0].materials[1], nullptr);
    EXPECT_FALSE(quad->sets[0].assigned[1]);
    meshManager.FreeAll(true);
    EXPECT_EQ(meshManager.GetCount(), 0);
    EXPECT_EQ(meshManager.box, nullptr);
}

TEST_F(WeMeshTest, ShadowVolumesCloseEveryEdgeAndGoWithTheirMesh)
{
    WeMesh* box = meshManager.Load("Config.Assets.Box1m");
    ASSERT_NE(box, nullptr);
    box->SetShadowVolume(true);
    ASSERT_NE(box->shadowMesh, nullptr);
    EXPECT_EQ(box->shadowMesh->GetNumFaces(), 12u + 2u * 18u) << "two triangles along each shared edge";
    EXPECT_EQ(box->shadowMesh->GetNumVertices(), 36u);
    box->SetShadowVolume(false);
    EXPECT_EQ(box->shadowMesh, nullptr);

    auto quad = std::make_unique<WeMesh>();
    ASSERT_TRUE(Load(*quad, MeshRecord{}));
    quad->SetShadowVolume(true);
    ASSERT_NE(quad->shadowMesh, nullptr);
    EXPECT_EQ(quad->shadowMesh->GetNumFaces(), 16u) << "the open edges are patched";
    EXPECT_EQ(quad->shadowMesh->GetNumVertices(), 12u);
    d3dx::Mesh* shadow = quad->shadowMesh;
    shadow->AddRef();
    quad.reset();
    EXPECT_EQ(shadow->Release(), 0u) << "the mesh took its shadow volume along";
}

TEST_F(WeMeshTest, EveryShippedModelNamesMaterialsThatLoad)
{
    meshManager.fileSystem = nullptr;
    materialManager.fileSystem = nullptr;
    WeList<WeString> models;
    WeVirtualFileSystem::GetFileSystem()->GetFiles(models, "Ingame", "Models", WeAssetType::Mesh);
    EXPECT_GE(models.GetCount(), 13);
    for (const WeString& model : models)
    {
        WeMesh* mesh = meshManager.Load("Ingame.Models." + model);
        ASSERT_NE(mesh, nullptr) << model.GetData();
        mesh->LoadMaterials(WeMesh::allSets, false);
        for (const WeMeshMaterialSet& set : mesh->sets)
            for (int32_t subset = 0; subset < mesh->subsetCount; ++subset)
            {
                if (!set.names[subset].IsEmpty())
                {
                    EXPECT_EQ(set.materials[subset]->name, set.names[subset])
                        << model.GetData() << " names " << set.names[subset].GetData();
                }
            }
        EXPECT_GE(mesh->boxMin.y, -0.4949f) << model.GetData();
        EXPECT_LE(mesh->boxMax.x, 0.4949f) << model.GetData();
    }
}
