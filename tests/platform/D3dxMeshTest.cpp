// Meshes on the recording back end: creation limits, clones by usage, attribute tables,
// adjacency, optimisation, the draw calls of DrawSubset, bounds and tangent frames.
#include "d3dx/D3dxMesh.h"
#include "EngineVertexLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace d3dx;
using namespace d3d9;

namespace
{

// The older engine vertex, with a binormal between tangent and second texture coordinates.
const VertexElement binormalLayout[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                        {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                        {0, 24, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                        {0, 32, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
                                        {0, 44, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_BINORMAL, 0},
                                        {0, 56, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 1},
                                        D3DDECL_END};

class MeshTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        direct3D = CreateRecordingDirect3D();
        parameters.backBufferWidth = 16;
        parameters.backBufferHeight = 16;
        parameters.backBufferFormat = D3DFMT_X8R8G8B8;
        ASSERT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device), D3D_OK);
        device->SetLogging(true);
    }
    void TearDown() override
    {
        for (Mesh* mesh : meshes)
        {
            mesh->Release();
        }
        device->Release();
        direct3D->Release();
    }
    Mesh* Keep(Mesh* mesh)
    {
        meshes.push_back(mesh);
        return mesh;
    }
    // An engine-layout mesh of the vertices, faces (three indices each) and face attributes.
    Mesh* Make(const std::vector<EngineVertex>& vertices, const std::vector<uint32_t>& indices,
               const std::vector<uint32_t>& attributes, uint32_t options = D3DXMESH_MANAGED)
    {
        Mesh* mesh = nullptr;
        EXPECT_EQ(D3DXCreateMesh(uint32_t(attributes.size()), uint32_t(vertices.size()), options,
                                 engineLayout, device, &mesh),
                  D3D_OK);
        void* data = nullptr;
        mesh->LockVertexBuffer(0, &data);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(EngineVertex));
        mesh->UnlockVertexBuffer();
        mesh->LockIndexBuffer(0, &data);
        for (size_t i = 0; i < indices.size(); ++i)
        {
            if (options & D3DXMESH_32BIT)
                static_cast<uint32_t*>(data)[i] = indices[i];
            else
                static_cast<uint16_t*>(data)[i] = uint16_t(indices[i]);
        }
        mesh->UnlockIndexBuffer();
        uint32_t* ids = nullptr;
        mesh->LockAttributeBuffer(0, &ids);
        std::copy(attributes.begin(), attributes.end(), ids);
        mesh->UnlockAttributeBuffer();
        return Keep(mesh);
    }
    static std::vector<uint16_t> Indices(Mesh* mesh)
    {
        void* data = nullptr;
        mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
        std::vector<uint16_t> out(static_cast<uint16_t*>(data),
                                  static_cast<uint16_t*>(data) + mesh->GetNumFaces() * 3);
        mesh->UnlockIndexBuffer();
        return out;
    }
    static std::vector<EngineVertex> Vertices(Mesh* mesh)
    {
        void* data = nullptr;
        mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
        std::vector<EngineVertex> out(static_cast<EngineVertex*>(data),
                                      static_cast<EngineVertex*>(data) + mesh->GetNumVertices());
        mesh->UnlockVertexBuffer();
        return out;
    }
    static std::vector<AttributeRange> Table(Mesh* mesh)
    {
        uint32_t size = 0;
        mesh->GetAttributeTable(nullptr, &size);
        std::vector<AttributeRange> table(size);
        mesh->GetAttributeTable(table.data(), &size);
        return table;
    }
    // The calls of a DrawSubset, without those that make the device's objects.
    std::vector<std::string> DrawLog(Mesh* mesh, uint32_t attribute)
    {
        device->ClearCallLog();
        mesh->DrawSubset(attribute);
        std::vector<std::string> calls;
        for (const std::string& line : device->CallLog())
        {
            if (line.rfind("Create", 0) != 0)
            {
                calls.push_back(line.substr(0, line.find(" #")));
            }
        }
        return calls;
    }

    Direct3D* direct3D = nullptr;
    Device* device = nullptr;
    PresentParameters parameters;
    std::vector<Mesh*> meshes;
};

// A unit quad in the xy plane facing -z, as two faces, with u along x and v down y.
std::vector<EngineVertex> Quad(float z = 0.0f)
{
    return {{{0, 0, z}, {0, 0, -1}, {0, 1}, {}, {}},
            {{0, 1, z}, {0, 0, -1}, {0, 0}, {}, {}},
            {{1, 1, z}, {0, 0, -1}, {1, 0}, {}, {}},
            {{1, 0, z}, {0, 0, -1}, {1, 1}, {}, {}}};
}

bool Near(const float* a, std::initializer_list<float> b)
{
    const float* value = a;
    for (const float expected : b)
    {
        if (std::fabs(*value++ - expected) > 1e-5f)
        {
            return false;
        }
    }
    return true;
}

} // namespace

TEST_F(MeshTest, CreationChecksCountsAndLayout)
{
    struct Case
    {
        uint32_t faces, vertices, options, fvf;
        HRESULT result;
    };
    const Case cases[] = {
        {1, 65535, D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, D3D_OK},
        {1, 65536, D3DXMESH_MANAGED, D3DFVF_XYZ, D3DERR_INVALIDCALL},
        {1, 65536, D3DXMESH_MANAGED | D3DXMESH_32BIT, D3DFVF_XYZ, D3D_OK},
        {0, 3, D3DXMESH_MANAGED, D3DFVF_XYZ, D3DERR_INVALIDCALL},
        {1, 0, D3DXMESH_MANAGED, D3DFVF_XYZ, D3DERR_INVALIDCALL},
        {1, 3, D3DXMESH_MANAGED, D3DFVF_NORMAL, D3DERR_INVALIDCALL},
        {0x7FFFFFFF, 3, D3DXMESH_32BIT, D3DFVF_XYZ, E_OUTOFMEMORY},
    };
    for (const Case& c : cases)
    {
        Mesh* mesh = nullptr;
        EXPECT_EQ(D3DXCreateMeshFVF(c.faces, c.vertices, c.options, c.fvf, device, &mesh), c.result)
            << c.faces << " faces, " << c.vertices << " vertices";
        if (mesh)
        {
            Keep(mesh);
        }
    }
    EXPECT_EQ(meshes[0]->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(meshes[0]->GetOptions(), D3DXMESH_MANAGED);
    const VertexElement colourPosition[] = {{0, 0, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_POSITION, 0},
                                            D3DDECL_END};
    Mesh* mesh = nullptr;
    EXPECT_EQ(D3DXCreateMesh(1, 3, 0, colourPosition, device, &mesh), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, CloneMatchesElementsByUsageAndNarrowsIndices)
{
    Mesh* wide = nullptr;
    ASSERT_EQ(D3DXCreateMesh(1, 3, D3DXMESH_MANAGED | D3DXMESH_32BIT, binormalLayout, nullptr, &wide),
              D3D_OK);
    Keep(wide);
    float* v = nullptr;
    wide->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    for (int i = 0; i < 3 * 16; ++i)
    {
        v[i] = float(i); // vertex k holds 16k .. 16k + 15
    }
    wide->UnlockVertexBuffer();
    uint32_t* ids = nullptr;
    wide->LockIndexBuffer(0, reinterpret_cast<void**>(&ids));
    ids[0] = 2, ids[1] = 0, ids[2] = 1;
    wide->UnlockIndexBuffer();
    const AttributeRange range{7, 0, 1, 0, 3};
    ASSERT_EQ(wide->SetAttributeTable(&range, 1), D3D_OK);

    Mesh* clone = nullptr;
    ASSERT_EQ(wide->CloneMesh(D3DXMESH_MANAGED, engineLayout, device, &clone), D3D_OK);
    Keep(clone);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 52u);
    EXPECT_EQ(Indices(clone), (std::vector<uint16_t>{2, 0, 1}));
    const EngineVertex second = Vertices(clone)[1];
    EXPECT_TRUE(Near(second.position, {16, 17, 18}));
    EXPECT_TRUE(Near(second.tangent, {24, 25, 26}));
    EXPECT_TRUE(Near(second.uv1, {30, 31})) << "the binormal between them is dropped";
    ASSERT_EQ(Table(clone).size(), 1u);
    EXPECT_EQ(Table(clone)[0].attribId, 7u);

    // Elements the source lacks are zero; float elements of other widths keep what both have.
    const VertexElement wider[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                   {0, 12, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                   {0, 28, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 2},
                                   D3DDECL_END};
    Mesh* padded = nullptr;
    ASSERT_EQ(clone->CloneMesh(0, wider, nullptr, &padded), D3D_OK);
    Keep(padded);
    void* data = nullptr;
    padded->LockVertexBuffer(D3DLOCK_READONLY, &data);
    EXPECT_TRUE(Near(static_cast<float*>(data) + 11 + 3, {22, 23, 0, 0, 0, 0, 0, 0}));
    padded->UnlockVertexBuffer();

    Mesh* big = nullptr;
    ASSERT_EQ(D3DXCreateMesh(1, 70000, D3DXMESH_32BIT, engineLayout, nullptr, &big), D3D_OK);
    Keep(big);
    Mesh* narrowed = nullptr;
    EXPECT_EQ(big->CloneMesh(D3DXMESH_MANAGED, engineLayout, nullptr, &narrowed), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, AttributeTableReportsItsSizeAndRefusesRangesPastTheMesh)
{
    Mesh* mesh = Make(Quad(), {0, 1, 2, 0, 2, 3}, {0, 1});
    const AttributeRange ranges[] = {{0, 0, 1, 0, 3}, {1, 1, 1, 0, 4}};
    ASSERT_EQ(mesh->SetAttributeTable(ranges, 2), D3D_OK);
    AttributeRange first[1];
    uint32_t size = 1;
    ASSERT_EQ(mesh->GetAttributeTable(first, &size), D3D_OK);
    EXPECT_EQ(size, 2u) << "the room was one entry, the mesh has two";
    EXPECT_EQ(first[0].faceCount, 1u);
    const AttributeRange pastFaces{0, 1, 2, 0, 4}, pastVertices{0, 0, 1, 2, 3};
    EXPECT_EQ(mesh->SetAttributeTable(&pastFaces, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->SetAttributeTable(&pastVertices, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(Table(mesh).size(), 2u);
}

TEST_F(MeshTest, DrawSubsetSetsTheLayoutAndDrawsTheRangesOfItsAttribute)
{
    Mesh* mesh = Make(Quad(), {0, 1, 2, 0, 2, 3}, {3, 5});
    const std::vector<std::string> layout{"SetVertexDeclaration", "SetStreamSource 0", "SetIndices"};
    const auto with = [&](std::vector<std::string> draws)
    {
        draws.insert(draws.begin(), layout.begin(), layout.end());
        return draws;
    };
    // Without a table: the runs of faces of that attribute.
    EXPECT_EQ(DrawLog(mesh, 5), with({"DrawIndexedPrimitive 4 0 3 1"}));
    EXPECT_EQ(DrawLog(mesh, 4), with({}));

    const AttributeRange ranges[] = {{5, 0, 2, 0, 4}};
    mesh->SetAttributeTable(ranges, 1);
    EXPECT_EQ(DrawLog(mesh, 5), with({"DrawIndexedPrimitive 4 0 0 2"}));
    EXPECT_EQ(DrawLog(mesh, 3), with({})) << "the table decides, not the attribute buffer";
}

TEST_F(MeshTest, DrawnMeshesNeverStandInTheWayOfAReset)
{
    // Write-only meshes would live in the default pool; the mesh keeps its own copy, so its
    // device buffers are managed and survive the reset.
    Mesh* mesh = Make(Quad(), {0, 1, 2, 0, 2, 3}, {0, 0}, D3DXMESH_WRITEONLY);
    ASSERT_EQ(mesh->DrawSubset(0), D3D_OK);
    EXPECT_EQ(device->Reset(&parameters), D3D_OK);
    EXPECT_EQ(mesh->DrawSubset(0), D3D_OK);
}

TEST_F(MeshTest, IndicesPastTheVerticesDrawNothing)
{
    Mesh* mesh = Make(Quad(), {0, 1, 2, 0, 2, 4}, {0, 0});
    EXPECT_EQ(mesh->DrawSubset(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT, nullptr), D3DXERR_INVALIDMESH);
    uint16_t* indices = nullptr;
    mesh->LockIndexBuffer(0, reinterpret_cast<void**>(&indices));
    indices[5] = 3;
    mesh->UnlockIndexBuffer();
    EXPECT_EQ(mesh->DrawSubset(0), D3D_OK) << "mended indices are handed over and drawn";

    Mesh* unbound = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_XYZ, nullptr, &unbound), D3D_OK);
    EXPECT_EQ(Keep(unbound)->DrawSubset(0), D3DERR_INVALIDCALL) << "a mesh without a device draws nothing";
}

TEST_F(MeshTest, AdjacencyJoinsFacesAcrossEdgesWithinEpsilon)
{
    // Two faces of a quad that share no vertex: the second's copies of the diagonal lie
    // 0.0005 away from the first's.
    std::vector<EngineVertex> v = Quad();
    v.push_back(v[0]);
    v.push_back(v[2]);
    v[4].position[0] += 0.0005f;
    v[5].position[1] -= 0.0005f;
    Mesh* mesh = Make(v, {0, 1, 2, 4, 5, 3}, {0, 0});
    uint32_t adjacency[6];
    ASSERT_EQ(mesh->GenerateAdjacency(0.001f, adjacency), D3D_OK);
    EXPECT_EQ(std::vector<uint32_t>(adjacency, adjacency + 6),
              (std::vector<uint32_t>{D3DX_NO_NEIGHBOUR, D3DX_NO_NEIGHBOUR, 1, 0, D3DX_NO_NEIGHBOUR,
                                     D3DX_NO_NEIGHBOUR}));
    uint32_t reps[6];
    ASSERT_EQ(mesh->ConvertAdjacencyToPointReps(adjacency, reps), D3D_OK);
    EXPECT_EQ(std::vector<uint32_t>(reps, reps + 6), (std::vector<uint32_t>{0, 1, 2, 3, 0, 2}));

    ASSERT_EQ(mesh->GenerateAdjacency(0.0001f, adjacency), D3D_OK);
    EXPECT_EQ(adjacency[2], D3DX_NO_NEIGHBOUR) << "0.0005 apart is not within 0.0001";
    const uint32_t outOfRange[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(mesh->ConvertAdjacencyToPointReps(outOfRange, reps), D3DERR_INVALIDCALL);

    // Positions from a damaged file: far out, infinite, not a number. Nothing joins them, and
    // finding that out overflows nothing.
    v[4].position[0] = 1e30f;
    v[5].position[1] = -std::numeric_limits<float>::infinity();
    v[3].position[2] = std::numeric_limits<float>::quiet_NaN();
    Mesh* damaged = Make(v, {0, 1, 2, 4, 5, 3}, {0, 0});
    ASSERT_EQ(damaged->GenerateAdjacency(0.001f, adjacency), D3D_OK);
    EXPECT_EQ(adjacency[2], D3DX_NO_NEIGHBOUR);
}

TEST_F(MeshTest, OptimizeSortsFacesByAttributeAndRenumbersVertices)
{
    // Five vertices; vertex 4 is unused. Faces of attributes 1, 0, 1.
    std::vector<EngineVertex> v = Quad();
    v.push_back({{9, 9, 9}, {}, {}, {}, {}});
    for (int i = 0; i < 5; ++i)
    {
        v[i].uv1[0] = float(i); // marks each vertex
    }
    Mesh* mesh = Make(v, {3, 2, 0, 0, 1, 2, 1, 2, 3}, {1, 0, 1});
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr), D3D_OK);
    EXPECT_EQ(Indices(mesh), (std::vector<uint16_t>{0, 1, 2, 3, 2, 0, 1, 2, 3}));
    std::vector<AttributeRange> table = Table(mesh);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(std::vector<uint32_t>({table[1].attribId, table[1].faceStart, table[1].faceCount,
                                     table[1].vertexStart, table[1].vertexCount}),
              (std::vector<uint32_t>{1, 1, 2, 0, 4}));

    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_VERTEXCACHE, nullptr), D3D_OK);
    EXPECT_EQ(mesh->GetNumVertices(), 4u) << "the unused vertex is gone";
    EXPECT_EQ(Indices(mesh), (std::vector<uint16_t>{0, 1, 2, 3, 2, 0, 1, 2, 3}))
        << "vertices were already in the order of first use";
    const std::vector<EngineVertex> kept = Vertices(mesh);
    EXPECT_EQ(kept[3].uv1[0], 3.0f);

    Mesh* shuffled = Make(v, {3, 2, 1}, {0});
    ASSERT_EQ(shuffled->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, nullptr), D3D_OK);
    EXPECT_EQ(Indices(shuffled), (std::vector<uint16_t>{0, 1, 2}));
    std::vector<float> marks;
    for (const EngineVertex& vertex : Vertices(shuffled))
    {
        marks.push_back(vertex.uv1[0]);
    }
    EXPECT_EQ(marks, (std::vector<float>{3, 2, 1, 0, 4})) << "unused vertices follow, kept without COMPACT";
}

TEST_F(MeshTest, BoundingSphereSurroundsTheVertexMean)
{
    const Vector3 points[] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {4, 0, 0}};
    Vector3 center, min, max;
    float radius = 0.0f;
    ASSERT_EQ(D3DXComputeBoundingSphere(points, 4, sizeof(Vector3), &center, &radius), D3D_OK);
    EXPECT_FLOAT_EQ(center.x, 1.0f) << "the mean, not the middle of the box";
    EXPECT_FLOAT_EQ(radius, 3.0f);
    ASSERT_EQ(D3DXComputeBoundingBox(points, 2, 2 * sizeof(Vector3), &min, &max), D3D_OK);
    EXPECT_FLOAT_EQ(max.x, 0.0f) << "the stride skips every other point";
    EXPECT_EQ(D3DXComputeBoundingSphere(points, 0, sizeof(Vector3), &center, &radius), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, TangentsFollowTheTextureAndLieInTheSurface)
{
    struct Case
    {
        float uv[4][2];
        float normalY; // a tilted normal: the tangent loses its component along it
        std::initializer_list<float> tangent;
    };
    const float s = 1.0f / std::sqrt(2.0f);
    const Case cases[] = {
        {{{0, 1}, {0, 0}, {1, 0}, {1, 1}}, 0.0f, {1, 0, 0}},   // u grows along x
        {{{1, 0}, {0, 0}, {0, 1}, {1, 1}}, 0.0f, {0, -1, 0}},  // u grows down y
        {{{0, 1}, {0, 0}, {1, 0}, {1, 1}}, 1.0f, {1, 0, 0}},   // already perpendicular
        {{{1, 0}, {0, 0}, {0, 1}, {1, 1}}, 1.0f, {0, -s, -s}}, // rotated into the surface
        {{{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 0.0f, {1, 0, 0}},   // no texture: any perpendicular
    };
    for (const Case& c : cases)
    {
        std::vector<EngineVertex> v = Quad();
        for (int i = 0; i < 4; ++i)
        {
            v[i].uv[0] = c.uv[i][0];
            v[i].uv[1] = c.uv[i][1];
            v[i].normal[1] = c.normalY;
        }
        Mesh* mesh = Make(v, {0, 1, 2, 0, 2, 3}, {0, 0});
        ASSERT_EQ(D3DXComputeTangentFrameEx(mesh, D3DDECLUSAGE_TEXCOORD, 0, D3DDECLUSAGE_TANGENT, 0,
                                            D3DX_DEFAULT, 0, D3DX_DEFAULT, 0, D3DXTANGENT_GENERATE_IN_PLACE,
                                            nullptr, -1.01f, 0.0f, -1.01f),
                  D3D_OK);
        for (const EngineVertex& vertex : Vertices(mesh))
        {
            EXPECT_TRUE(Near(vertex.tangent, c.tangent))
                << vertex.tangent[0] << " " << vertex.tangent[1] << " " << vertex.tangent[2];
        }
    }
    Mesh* mesh = meshes.back();
    EXPECT_EQ(D3DXComputeTangentFrameEx(mesh, D3DDECLUSAGE_TEXCOORD, 0, D3DDECLUSAGE_BINORMAL, 0,
                                        D3DX_DEFAULT, 0, D3DX_DEFAULT, 0, D3DXTANGENT_GENERATE_IN_PLACE,
                                        nullptr, 0, 0, 0),
              D3DERR_INVALIDCALL)
        << "no binormal element to write";
    EXPECT_EQ(D3DXComputeTangentFrameEx(mesh, D3DDECLUSAGE_TEXCOORD, 0, D3DDECLUSAGE_TANGENT, 0, D3DX_DEFAULT,
                                        0, D3DX_DEFAULT, 0, 0, nullptr, 0, 0, 0),
              D3DERR_INVALIDCALL)
        << "only in place";
}
