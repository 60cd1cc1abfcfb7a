#include "WeMesh.h"

#include "WeAseParser.h"
#include "d3dx/D3dxXFile.h"
#include "win32/Win32Files.h"

#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeMaterial.h"
#include "WeRecordReader.h"
#include "WeRenderDevice.h"
#include "WeResourceTable.h"
#include "WeVirtualFileSystem.h"
#include "win32/Win32MessageBox.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

using namespace d3dx;
using d3d9::Failed;
using d3d9::VertexElement;

namespace
{

constexpr VertexElement Element(uint16_t offset, uint8_t type, uint8_t usage, uint8_t usageIndex = 0)
{
    return {0, offset, type, d3d9::D3DDECLMETHOD_DEFAULT, usage, usageIndex};
}

// The vertex of record versions 11 to 13: a binormal between the tangent and the second
// texture coordinates.
const VertexElement binormalDeclaration[] = {
    Element(0, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_POSITION),
    Element(12, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_NORMAL),
    Element(24, d3d9::D3DDECLTYPE_FLOAT2, d3d9::D3DDECLUSAGE_TEXCOORD),
    Element(32, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_TANGENT),
    Element(44, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_BINORMAL),
    Element(56, d3d9::D3DDECLTYPE_FLOAT2, d3d9::D3DDECLUSAGE_TEXCOORD, 1),
    d3d9::D3DDECL_END,
};

constexpr int32_t kMaxRecordVertices = 60000, kMaxRecordFaces = 20000;
constexpr int32_t kRecordSets = 30; // material sets of records before version 17
constexpr int64_t kSubsetEntrySize = 20;

// One adjacency buffer for every mesh's optimisation.
std::vector<uint32_t>& SharedAdjacency()
{
    static std::vector<uint32_t> adjacency;
    return adjacency;
}

int32_t RecordVertexSize(int32_t version)
{
    return version >= 11 && version <= 13 ? 64 : 52;
}

int32_t RecordIndexSize(int32_t version)
{
    return version <= 13 ? 4 : 2;
}

// The shadow-volume mesh under construction: every face with vertices of its own and its face
// normal, and between faces that share an edge two triangles that stretch when the volume is
// extruded. Edges without a partner wait in `open` for the holes to be patched.
class ShadowVolumeBuilder
{
public:
    struct Vertex
    {
        Vector3 position;
        Vector3 normal;
    };
    // An edge from point a to point b (point representatives) and its two vertices.
    struct Edge
    {
        uint32_t a, b;
        uint32_t at, bt;
    };

    // Face corners by vertex position and point representative.
    void AddFace(const Vector3 (&corners)[3], const uint32_t (&points)[3])
    {
        const uint32_t first = AddTriangle(corners, Normal(corners[1] - corners[0], corners[2] - corners[1]));
        for (uint32_t k = 0; k < 3; ++k)
            AddEdge({points[k], points[(k + 1) % 3], first + k, first + (k + 1) % 3});
    }
    // Closes each hole with triangles fanned along its edges.
    void PatchHoles()
    {
        while (!open.empty())
        {
            const Edge edge = open.front();
            open.erase(open.begin());
            auto joined = std::find_if(open.begin(), open.end(),
                                       [&](const Edge& e) { return e.a == edge.b && e.b == edge.a; });
            if (joined != open.end())
            {
                Stretch(edge, joined->at, joined->bt);
                open.erase(joined);
                continue;
            }
            joined = std::find_if(open.begin(), open.end(),
                                  [&](const Edge& e) { return e.a == edge.b || e.b == edge.a; });
            if (joined == open.end())
                continue; // nothing to close it with
            // Triangle (b, a, other): its edge b-a pairs with this edge, another with the joined
            // one, and the third carries the rest of the hole in the joined edge's place.
            const bool after = joined->a == edge.b;
            const uint32_t other = after ? joined->bt : joined->at;
            const Vector3 corners[3] = {vertices[edge.bt].position, vertices[edge.at].position,
                                        vertices[other].position};
            const uint32_t t = AddTriangle(corners, Normal(D3DXVec3Normalize(corners[1] - corners[0]),
                                                           D3DXVec3Normalize(corners[2] - corners[1])));
            Stretch(edge, t, t + 1);
            if (after)
            {
                Stretch(*joined, t + 2, t);
                *joined = {edge.a, joined->b, t + 1, t + 2};
            }
            else
            {
                Stretch(*joined, t + 1, t + 2);
                *joined = {joined->a, edge.b, t + 2, t};
            }
        }
    }

    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;

private:
    static Vector3 Normal(const Vector3& first, const Vector3& second)
    {
        return D3DXVec3Normalize(D3DXVec3Cross(first, second));
    }
    uint32_t AddTriangle(const Vector3 (&corners)[3], const Vector3& normal)
    {
        const auto first = uint32_t(vertices.size());
        for (uint32_t k = 0; k < 3; ++k)
        {
            vertices.push_back({corners[k], normal});
            indices.push_back(first + k);
        }
        return first;
    }
    // The two triangles between an edge and its partner's vertices (at its b, at its a).
    void Stretch(const Edge& edge, uint32_t partnerB, uint32_t partnerA)
    {
        indices.insert(indices.end(), {edge.bt, edge.at, partnerB, partnerA, partnerB, edge.at});
    }
    void AddEdge(const Edge& edge)
    {
        auto partner = std::find_if(open.begin(), open.end(),
                                    [&](const Edge& e) { return e.a == edge.b && e.b == edge.a; });
        if (partner == open.end())
        {
            open.push_back(edge);
            return;
        }
        Stretch(*partner, edge.at, edge.bt);
        *partner = open.back();
        open.pop_back();
    }

    std::vector<Edge> open;
};

WeString Text(const char* format, int64_t a, int64_t b = 0)
{
    char text[128];
    std::snprintf(text, sizeof text, format, static_cast<long long>(a), static_cast<long long>(b));
    return text;
}

} // namespace

const VertexElement WeMesh::vertexDeclaration[] = {
    Element(0, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_POSITION),
    Element(12, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_NORMAL),
    Element(24, d3d9::D3DDECLTYPE_FLOAT2, d3d9::D3DDECLUSAGE_TEXCOORD),
    Element(32, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_TANGENT),
    Element(44, d3d9::D3DDECLTYPE_FLOAT2, d3d9::D3DDECLUSAGE_TEXCOORD, 1),
    d3d9::D3DDECL_END,
};

const VertexElement WeMesh::skinnedDeclaration[] = {
    Element(0, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_POSITION),
    Element(12, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_NORMAL),
    Element(24, d3d9::D3DDECLTYPE_FLOAT2, d3d9::D3DDECLUSAGE_TEXCOORD),
    Element(32, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_TANGENT),
    Element(44, d3d9::D3DDECLTYPE_FLOAT2, d3d9::D3DDECLUSAGE_TEXCOORD, 1),
    Element(52, d3d9::D3DDECLTYPE_FLOAT4, d3d9::D3DDECLUSAGE_TEXCOORD, 2),
    Element(68, d3d9::D3DDECLTYPE_FLOAT4, d3d9::D3DDECLUSAGE_TEXCOORD, 3),
    d3d9::D3DDECL_END,
};

WeMesh::WeMesh() = default;

WeMesh::~WeMesh()
{
    ReleaseMeshes();
}

void WeMesh::ReleaseMeshes()
{
    for (Mesh** owned : {&mesh, &shadowMesh})
    {
        if (*owned)
            (*owned)->Release();
        *owned = nullptr;
    }
}

bool WeMesh::Fail(const WeString& reason)
{
    lastError = "Mesh " + path + ": " + reason;
    std::fprintf(stderr, "%s\n", lastError.GetData());
    return false;
}

bool WeMesh::Load(WeVirtualFileSystem* fileSystem, const WeString& name, bool fromPackage)
{
    path = name;
    lastError = "";
    ReleaseMeshes();
    for (WeMeshMaterialSet& set : sets)
    {
        for (WeString& materialName : set.names)
            if (!materialName.IsEmpty()) // most of the 2,048 names are empty already
                materialName = "";
        std::fill(std::begin(set.materials), std::end(set.materials), nullptr);
    }
    if (!fromPackage)
        return LoadFile();
    if (!fileSystem || !fileSystem->Open(name, WeAssetType::Mesh))
        return Fail("no such mesh");
    WeRecordReader reader(fileSystem->GetStream(), fileSystem->GetFileSize());
    const bool read = ReadRecord(reader);
    fileSystem->Close();
    if (read)
        Finish(false);
    return read;
}

bool WeMesh::LoadFile()
{
    win32::FindData status;
    if (!win32::GetFileStatus(path.GetData(), &status) || status.directory)
        return Fail("no such file");
    // The last write as a Windows file time: 100 ns units since 1601.
    const uint64_t written = (uint64_t(std::max<int64_t>(status.modified, 0)) + 11644473600ull) * 10000000ull;
    sourceTime[0] = uint32_t(written);
    sourceTime[1] = uint32_t(written >> 32);
    const std::string_view file(path.GetData(), size_t(path.GetLength()));
    const size_t dot = file.rfind('.');
    const WeString extension = dot == std::string_view::npos
                                   ? WeString()
                                   : WeString(std::string(file.substr(dot + 1)).c_str()).ToLower();
    bool imported = false;
    if (extension == "ase")
        imported = LoadASE(path);
    else if (extension == "x")
        imported = LoadX(path);
    else
        return Fail("only .ase and .x files are imported");
    if (!imported || !ConvertToEngineVertex())
        return false;
    Finish(true);
    return true;
}

bool WeMesh::LoadX(const WeString& file)
{
    ReleaseMeshes();
    if (Failed(D3DXLoadMeshFromXA(file.GetData(), D3DXMESH_MANAGED, renderDevice.device, &mesh)))
        return Fail("not a mesh the .x reader takes");
    uint32_t entries = 0;
    mesh->GetAttributeTable(nullptr, &entries);
    return entries <= uint32_t(maxSubsets) || Fail("more than 16 subsets");
}

bool WeMesh::LoadASE(const WeString& file)
{
    WeAseParser parser;
    if (!parser.Parse(file))
        return Fail(parser.message);
    const size_t faces = parser.faces.size();
    if (faces == 0 || faces * 3 > 65535)
        return Fail(Text("%lld faces: an ASE mesh needs 1 to 21,845", int64_t(faces)));
    ReleaseMeshes();
    if (Failed(D3DXCreateMeshFVF(uint32_t(faces), uint32_t(faces * 3), D3DXMESH_MANAGED,
                                 d3d9::D3DFVF_XYZ | d3d9::D3DFVF_NORMAL | d3d9::D3DFVF_TEX1,
                                 renderDevice.device, &mesh)))
        return Fail("no mesh for the ASE faces");
    struct Vertex
    {
        WeVector position, normal;
        float u, v;
    };
    Vertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    mesh->LockVertexBuffer(d3d9::D3DLOCK_DISCARD, reinterpret_cast<void**>(&vertices));
    for (const WeAseFace& face : parser.faces)
        for (int corner = 0; corner < 3; ++corner)
            *vertices++ = {face.positions[corner], face.normals[corner], face.texCoords[corner][0],
                           face.texCoords[corner][1]};
    mesh->UnlockVertexBuffer();
    mesh->LockIndexBuffer(d3d9::D3DLOCK_DISCARD, reinterpret_cast<void**>(&indices));
    for (size_t i = 0; i < faces * 3; ++i)
        indices[i] = uint16_t(i);
    mesh->UnlockIndexBuffer();
    subsetCount = 1;
    attributeTable[0] = {0, 0, uint32_t(faces), 0, uint32_t(faces * 3)};
    mesh->SetAttributeTable(attributeTable, 1);
    sets[0].names[0] = "Config.Assets.Default";
    return true;
}

bool WeMesh::ReadRecord(WeRecordReader& reader)
{
    const int32_t version = reader.ReadInt();
    if (!reader.Ok() || version < 5)
        return Fail(reader.Ok() ? Text("record version %lld is older than 5", version) : "empty record");
    if (version >= 15)
    {
        sourceTime[0] = reader.ReadUInt();
        sourceTime[1] = reader.ReadUInt();
    }
    int32_t vertices = 0, faces = 0;
    if (!ReadCounts(reader, version, vertices, faces) || !ReadBuffers(reader, version, vertices, faces))
        return false;
    ReadParameters(reader, version);
    if (!ReadSubsets(reader) || !ReadMaterialNames(reader, version))
        return false;
    if (version >= 6 && version <= 12)
        ReadBounds(reader);
    if (version >= 16)
        ReadAttachPoints(reader);
    if (!reader.Ok())
        return Fail("the record is cut short");
    return version >= 14 || ConvertToEngineVertex();
}

bool WeMesh::ReadCounts(WeRecordReader& reader, int32_t version, int32_t& vertices, int32_t& faces)
{
    vertices = reader.ReadInt();
    faces = reader.ReadInt();
    if (!reader.Ok())
        return Fail("the record is cut short");
    if (version >= 12 && (vertices >= kMaxRecordVertices || faces >= kMaxRecordFaces))
        return Fail(Text("%lld vertices and %lld faces: at most 59,999 and 19,999", vertices, faces));
    if (vertices <= 0 || faces <= 0)
        return Fail(Text("%lld vertices and %lld faces", vertices, faces));
    const int64_t bytes =
        int64_t(vertices) * RecordVertexSize(version) + int64_t(faces) * (3 * RecordIndexSize(version) + 4);
    if (bytes > reader.Remaining())
        return Fail(Text("%lld vertices and %lld faces do not fit in the record", vertices, faces));
    return true;
}

bool WeMesh::ReadBuffers(WeRecordReader& reader, int32_t version, int32_t vertices, int32_t faces)
{
    const bool wide = RecordIndexSize(version) == 4;
    const VertexElement* declaration =
        RecordVertexSize(version) == 64 ? binormalDeclaration : vertexDeclaration;
    if (Failed(D3DXCreateMesh(uint32_t(faces), uint32_t(vertices),
                              D3DXMESH_MANAGED | (wide ? D3DXMESH_32BIT : 0), declaration,
                              renderDevice.device, &mesh)))
        return Fail(Text("no D3DX mesh of %lld vertices and %lld faces", vertices, faces));
    void* data = nullptr;
    mesh->LockVertexBuffer(0, &data);
    reader.ReadBytes(data, int64_t(vertices) * RecordVertexSize(version));
    mesh->UnlockVertexBuffer();
    mesh->LockIndexBuffer(0, &data);
    const int64_t indexCount = int64_t(faces) * 3;
    reader.ReadBytes(data, indexCount * RecordIndexSize(version));
    bool indicesValid = true;
    for (int64_t i = 0; i < indexCount; ++i)
    {
        const uint32_t index =
            wide ? static_cast<const uint32_t*>(data)[i] : static_cast<const uint16_t*>(data)[i];
        indicesValid = indicesValid && index < uint32_t(vertices);
    }
    mesh->UnlockIndexBuffer();
    uint32_t* attributes = nullptr;
    mesh->LockAttributeBuffer(0, &attributes);
    reader.ReadBytes(attributes, int64_t(faces) * 4);
    mesh->UnlockAttributeBuffer();
    if (!reader.Ok())
        return Fail("the record is cut short");
    return indicesValid || Fail(Text("an index reaches past the %lld vertices", vertices));
}

void WeMesh::ReadParameters(WeRecordReader& reader, int32_t version)
{
    if (version >= 10)
        recordFlag = reader.ReadBool();
    recordInt0 = reader.ReadInt();
    if (version <= 6)
        return;
    recordInt1 = reader.ReadInt();
    recordInt2 = reader.ReadInt();
    recordFloat0 = reader.ReadFloat();
    if (version >= 9)
        recordFloat1 = reader.ReadFloat();
    recordInt3 = version == 7 ? WeSaturatingInt(reader.ReadFloat()) : reader.ReadInt();
}

bool WeMesh::ReadSubsets(WeRecordReader& reader)
{
    const int32_t count = reader.ReadInt();
    if (count < 0 || count > maxSubsets)
        return Fail(Text("%lld subsets, at most 16", count));
    if (count * kSubsetEntrySize > reader.Remaining())
        return Fail("the record is cut short");
    subsetCount = count;
    const uint64_t faces = mesh->GetNumFaces(), vertices = mesh->GetNumVertices();
    for (int32_t i = 0; i < count; ++i)
    {
        AttributeRange& range = attributeTable[i];
        reader.ReadBytes(&range, kSubsetEntrySize);
        if (uint64_t(range.faceStart) + range.faceCount > faces ||
            uint64_t(range.vertexStart) + range.vertexCount > vertices)
            return Fail(Text("subset %lld reaches past the faces or vertices", i));
    }
    if (Failed(mesh->SetAttributeTable(attributeTable, uint32_t(count))))
        return Fail("the subsets do not fit the mesh");
    return true;
}

bool WeMesh::ReadMaterialNames(WeRecordReader& reader, int32_t version)
{
    if (version <= 11)
    {
        for (int32_t set = 0; set < kRecordSets && reader.Ok(); ++set)
        {
            const int32_t count = reader.ReadInt();
            if (count < 0 || count > maxSubsets)
                return Fail(Text("%lld material names in set %lld, at most 16", count, set));
            for (int32_t subset = 0; subset < count; ++subset)
                reader.ReadString(sets[set].names[subset]);
        }
        return true;
    }
    const int32_t stored = version >= 17 ? reader.ReadInt() : kRecordSets;
    if (stored < 0)
        return Fail(Text("%lld material sets", stored));
    if (subsetCount == 0)
        return true;
    // Each name takes at least its two length bytes.
    if (stored > reader.Remaining() / (2 * subsetCount))
        return Fail(Text("%lld material sets do not fit in the record", stored));
    WeString dropped;
    for (int32_t set = 0; set < stored && reader.Ok(); ++set)
        for (int32_t subset = 0; subset < subsetCount; ++subset)
            reader.ReadString(set < setCount ? sets[set].names[subset] : dropped);
    return true;
}

void WeMesh::ReadBounds(WeRecordReader& reader)
{
    reader.ReadFloats(&boxMin.x, 3);
    reader.ReadFloats(&boxMax.x, 3);
    reader.ReadFloats(&sphereCenter.x, 3);
    sphereRadius = reader.ReadFloat();
}

void WeMesh::ReadAttachPoints(WeRecordReader& reader)
{
    attachPoints.Clear();
    // A name's length, a position and a rotation.
    const int32_t count = reader.ReadCount(2 + 12 + 16);
    for (int32_t i = 0; i < count && reader.Ok(); ++i)
    {
        WeMeshAttachPoint& point = attachPoints.PushBack();
        reader.ReadString(point.name);
        reader.ReadFloats(&point.position.x, 3);
        reader.ReadFloats(&point.rotation.x, 4);
    }
}

bool WeMesh::ConvertToEngineVertex()
{
    Mesh* clone = nullptr;
    if (Failed(mesh->CloneMesh(D3DXMESH_MANAGED, vertexDeclaration, renderDevice.device, &clone)))
        return Fail("no clone in the engine vertex (more than 65,535 vertices?)");
    mesh->Release();
    mesh = clone;
    return ComputeTangents() || Fail("no tangents");
}

void WeMesh::Finish(bool tableFromMesh)
{
    Optimize(true);
    ComputeBounds();
    UpdateCounts(tableFromMesh);
    loaded = true;
    for (int32_t i = 0; i < subsetCount; ++i)
        if (int32_t(attributeTable[i].faceCount) < 0 || attributeTable[i].faceCount >= 65536)
        {
            subsetCount = i;
            break;
        }
    for (WeMeshMaterialSet& set : sets)
        std::fill(set.assigned, set.assigned + subsetCount, false);
}

void WeMesh::SetD3DXMesh(Mesh* made, bool readTable, bool optimize)
{
    if (!made)
        return;
    if (mesh && mesh != made)
        mesh->Release();
    mesh = made;
    Optimize(optimize);
    ComputeBounds();
    UpdateCounts(readTable);
}

void WeMesh::Optimize(bool full)
{
    std::vector<uint32_t>& adjacency = SharedAdjacency();
    adjacency.resize(size_t(mesh->GetNumFaces()) * 3);
    mesh->GenerateAdjacency(0.001f, adjacency.data());
    mesh->OptimizeInplace(full ? D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE : 0,
                          adjacency.data());
}

void WeMesh::ComputeBounds()
{
    void* data = nullptr;
    if (Failed(mesh->LockVertexBuffer(d3d9::D3DLOCK_READONLY, &data)))
        return;
    const auto* first = static_cast<const Vector3*>(data);
    D3DXComputeBoundingBox(first, mesh->GetNumVertices(), mesh->GetNumBytesPerVertex(), &boxMin, &boxMax);
    D3DXComputeBoundingSphere(first, mesh->GetNumVertices(), mesh->GetNumBytesPerVertex(), &sphereCenter,
                              &sphereRadius);
    mesh->UnlockVertexBuffer();
}

void WeMesh::UpdateCounts(bool readTable)
{
    numVertices = GetNumVertices();
    numFaces = GetNumFaces();
    if (!readTable || !mesh)
        return;
    uint32_t size = maxSubsets;
    mesh->GetAttributeTable(attributeTable, &size);
    subsetCount = int32_t(std::min<uint32_t>(size, maxSubsets));
}

bool WeMesh::ComputeTangents()
{
    const d3d9::HRESULT result = D3DXComputeTangentFrameEx(
        mesh, d3d9::D3DDECLUSAGE_TEXCOORD, 0, d3d9::D3DDECLUSAGE_TANGENT, 0, D3DX_DEFAULT, 0, D3DX_DEFAULT, 0,
        D3DXTANGENT_GENERATE_IN_PLACE, nullptr, -1.01f, 0.0f, -1.01f);
    if (!Failed(result))
        return true;
    win32::MessageBoxA(nullptr, "Error computing tangents", nullptr, win32::MB_OK);
    return false;
}

void WeMesh::DrawSubset(int32_t i)
{
    if (!mesh || i < 0 || i >= subsetCount)
        return;
    mesh->DrawSubset(attributeTable[i].attribId);
    ++frameStats.frame.drawCalls;
    frameStats.frame.faces += int32_t(attributeTable[i].faceCount);
}

void WeMesh::SetFixed(uint8_t flags)
{
    if (!flags)
        return;
    fixed |= flags;
    for (WeMeshMaterialSet& set : sets)
        for (int32_t subset = 0; subset < subsetCount; ++subset)
            if (set.materials[subset])
                set.materials[subset]->SetFixed(true);
}

void WeMesh::SetMaterial(int32_t subset, int32_t set, WeMaterial* material)
{
    if (subset < 0 || subset >= maxSubsets || set < 0 || set >= setCount)
        return;
    sets[set].materials[subset] = material;
    const uint32_t bit = 1u << subset;
    setMasks[set] = material && material->reflective ? setMasks[set] | bit : setMasks[set] & ~bit;
    sets[set].assigned[subset] = true;
}

void WeMesh::LoadSubsetMaterial(int32_t subset, int32_t set, bool useName, const WeString& name, bool force)
{
    if (subset < 0 || subset >= maxSubsets || set < 0 || set > allSets)
        return;
    const int32_t first = set == allSets ? 0 : set;
    const int32_t last = set == allSets ? setCount - 1 : set;
    for (int32_t s = first; s <= last; ++s)
    {
        if (sets[s].assigned[subset] && !force)
            continue;
        WeString& slotName = sets[s].names[subset];
        const WeString& wanted = useName ? name : slotName;
        WeMaterial* material = wanted[0] != '\0' ? materialManager.Load(wanted) : nullptr;
        if (material)
            slotName = material->name;
        else if (useName)
            slotName = name;
        SetMaterial(subset, s, material ? material : materialManager.defaultMaterial);
    }
}

void WeMesh::LoadMaterials(int32_t set, bool force)
{
    for (int32_t subset = 0; subset < subsetCount; ++subset)
        LoadSubsetMaterial(subset, set, false, WeString(), force);
}

WeMeshAttachPoint* WeMesh::FindAttachPoint(const WeString& name)
{
    for (WeMeshAttachPoint& point : attachPoints)
        if (point.name == name)
            return &point;
    return nullptr;
}

void WeMesh::SetShadowVolume(bool on)
{
    if (on && mesh)
    {
        BuildShadowVolume();
        return;
    }
    if (shadowMesh)
        shadowMesh->Release();
    shadowMesh = nullptr;
}

bool WeMesh::BuildShadowVolume()
{
    static const VertexElement shadowDeclaration[] = {
        Element(0, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_POSITION),
        Element(12, d3d9::D3DDECLTYPE_FLOAT3, d3d9::D3DDECLUSAGE_NORMAL),
        d3d9::D3DDECL_END,
    };
    SetShadowVolume(false);
    Mesh* source = nullptr;
    if (!mesh || Failed(mesh->CloneMesh(D3DXMESH_32BIT, shadowDeclaration, nullptr, &source)))
        return false;
    const uint32_t faces = source->GetNumFaces();
    std::vector<uint32_t> adjacency(size_t(faces) * 3), points(source->GetNumVertices());
    source->GenerateAdjacency(0.0001f, adjacency.data());
    source->ConvertAdjacencyToPointReps(adjacency.data(), points.data());
    void* vertexData = nullptr;
    void* indexData = nullptr;
    source->LockVertexBuffer(d3d9::D3DLOCK_READONLY, &vertexData);
    source->LockIndexBuffer(d3d9::D3DLOCK_READONLY, &indexData);
    const auto* sourceVertices = static_cast<const ShadowVolumeBuilder::Vertex*>(vertexData);
    const auto* sourceIndices = static_cast<const uint32_t*>(indexData);
    ShadowVolumeBuilder builder;
    for (uint32_t face = 0; face < faces; ++face)
    {
        const uint32_t* corner = sourceIndices + size_t(face) * 3;
        builder.AddFace({sourceVertices[corner[0]].position, sourceVertices[corner[1]].position,
                         sourceVertices[corner[2]].position},
                        {points[corner[0]], points[corner[1]], points[corner[2]]});
    }
    source->UnlockIndexBuffer();
    source->UnlockVertexBuffer();
    source->Release();
    builder.PatchHoles();

    const auto vertexCount = uint32_t(builder.vertices.size());
    const bool wide = vertexCount > 65535;
    Mesh* made = nullptr;
    if (Failed(D3DXCreateMesh(uint32_t(builder.indices.size() / 3), vertexCount,
                              D3DXMESH_WRITEONLY | (wide ? D3DXMESH_32BIT : 0), shadowDeclaration,
                              renderDevice.device, &made)))
        return false;
    made->LockVertexBuffer(0, &vertexData);
    std::copy(builder.vertices.begin(), builder.vertices.end(),
              static_cast<ShadowVolumeBuilder::Vertex*>(vertexData));
    made->UnlockVertexBuffer();
    made->LockIndexBuffer(0, &indexData);
    if (wide)
        std::copy(builder.indices.begin(), builder.indices.end(), static_cast<uint32_t*>(indexData));
    else
        std::copy(builder.indices.begin(), builder.indices.end(), static_cast<uint16_t*>(indexData));
    made->UnlockIndexBuffer();
    shadowMesh = made;
    return true;
}

d3d9::HRESULT WeMesh::LockVertexBuffer(uint32_t flags, void** data)
{
    return mesh ? mesh->LockVertexBuffer(flags, data) : d3d9::D3DERR_INVALIDCALL;
}

d3d9::HRESULT WeMesh::UnlockVertexBuffer()
{
    return mesh ? mesh->UnlockVertexBuffer() : d3d9::D3DERR_INVALIDCALL;
}

d3d9::HRESULT WeMesh::LockIndexBuffer(uint32_t flags, void** data)
{
    return mesh ? mesh->LockIndexBuffer(flags, data) : d3d9::D3DERR_INVALIDCALL;
}

d3d9::HRESULT WeMesh::UnlockIndexBuffer()
{
    return mesh ? mesh->UnlockIndexBuffer() : d3d9::D3DERR_INVALIDCALL;
}

int32_t WeMesh::GetBytesPerVertex() const
{
    return mesh ? int32_t(mesh->GetNumBytesPerVertex()) : 0;
}

int32_t WeMesh::GetIndexSize() const
{
    return mesh ? ((mesh->GetOptions() & D3DXMESH_32BIT) ? 4 : 2) : 0;
}

int32_t WeMesh::GetNumVertices() const
{
    return mesh ? int32_t(mesh->GetNumVertices()) : 0;
}

int32_t WeMesh::GetNumFaces() const
{
    return mesh ? int32_t(mesh->GetNumFaces()) : 0;
}

WeMeshManager::~WeMeshManager()
{
    FreeAll(true);
}

WeVirtualFileSystem* WeMeshManager::CurrentFileSystem() const
{
    return fileSystem ? fileSystem : WeVirtualFileSystem::GetFileSystem();
}

WeMesh* WeMeshManager::Load(const WeString& name)
{
    return WeLoadByName(meshes, name,
                        [&](WeMesh& mesh) { return mesh.Load(CurrentFileSystem(), name, true); });
}

bool WeMeshManager::LoadDefaults()
{
    WeBeginFixedLoading();
    box = Load("Config.Assets.Box");
    box1m = Load("Config.Assets.Box1m");
    sphere1m = Load("Config.Assets.Sphere1m");
    WeEndFixedLoading();
    defaultsLoaded = true;
    return box != nullptr;
}

bool WeMeshManager::FreeMesh(WeMesh* mesh, bool force)
{
    if (force || !mesh->fixed)
    {
        meshes.RemoveValue(mesh);
        for (WeMesh** slot : {&box, &box1m, &sphere1m})
            if (*slot == mesh)
                *slot = nullptr;
        delete mesh;
        return true;
    }
    for (WeMeshMaterialSet& set : mesh->sets)
        for (int32_t subset = 0; subset < mesh->subsetCount; ++subset)
            if (set.materials[subset] && !set.materials[subset]->fixed)
            {
                set.materials[subset] = nullptr;
                set.assigned[subset] = false;
            }
    return false;
}

void WeMeshManager::FreeAll(bool force)
{
    forcedFrees += force ? 1 : 0;
    for (meshes.Reset(); !meshes.IsEnd();)
        if (!FreeMesh(meshes.GetValue(), force))
            meshes.Next();
}
