// The engine's static mesh: one D3DX mesh in the engine vertex with 16-bit indices, up to 16
// subsets, 128 alternative material sets (an actor chooses the one it draws with), bounds, named
// attach points and an optional shadow-volume mesh. Meshes are package records of versions 5 and
// up, or ".x" files on disk. One global manager, `meshManager`, caches them by lower-cased name.
#pragma once

#include "WeCamera.h"
#include "WeHashTable.h"
#include "WeList.h"
#include "WeString.h"
#include "d3dx/D3dxMesh.h"

#include <cstdint>

class WeMaterial;
class WeRecordReader;
class WeVirtualFileSystem;

// The engine vertex: 52 bytes.
struct WeMeshVertex
{
    WeVector position;
    WeVector normal;
    float u, v;
    WeVector tangent;
    float u1, v1;
};

// One of a mesh's material sets: per subset a material name, the material (the material
// manager's), whether a material was put in, whether the subset is drawn, and whether the
// model's colour tints it. Not stored: the tint flags start set.
struct WeMeshMaterialSet
{
    WeString names[16];
    WeMaterial* materials[16] = {};
    bool assigned[16] = {};
    bool visible[16] = {true, true, true, true, true, true, true, true,
                        true, true, true, true, true, true, true, true};
    bool tinted[16] = {true, true, true, true, true, true, true, true,
                       true, true, true, true, true, true, true, true};
};

struct WeMeshAttachPoint
{
    WeString name;
    WeVector position;
    WeQuaternion rotation;
};

class WeMesh
{
public:
    static constexpr int32_t maxSubsets = 16;
    static constexpr int32_t setCount = 128;
    static constexpr int32_t allSets = 128; // a set argument that means every set

    // The engine vertex, and the skinned vertex: the same followed by four blend weights
    // (TEXCOORD 2) and four bone numbers as floats (TEXCOORD 3), 84 bytes.
    static const d3d9::VertexElement vertexDeclaration[];
    static const d3d9::VertexElement skinnedDeclaration[];

    WeMesh();
    virtual ~WeMesh();
    WeMesh(const WeMesh&) = delete;
    WeMesh& operator=(const WeMesh&) = delete;

    // The mesh record of the asset (fromPackage), or the ".ase" or ".x" file of the path; on
    // success the mesh is complete and drawable. On failure GetLastError says why.
    bool Load(WeVirtualFileSystem* fileSystem, const WeString& name, bool fromPackage);
    // An ASE text scene: every face gets three vertices of its own (position, normal, texture
    // pair), all in one subset with the material "Config.Assets.Default".
    bool LoadASE(const WeString& file);
    bool LoadX(const WeString& file);
    // The record the reader stands on, as far as the D3DX mesh it makes; false, with the reason
    // kept, when the record is damaged or does not fit in the reader's bytes.
    bool ReadRecord(WeRecordReader& reader);
    // Adopts a mesh made elsewhere (nothing for null), optimised, bounded and counted.
    void SetD3DXMesh(d3dx::Mesh* made, bool readTable, bool optimize);
    void Optimize(bool full);
    void ComputeBounds();
    void UpdateCounts(bool readTable);
    bool ComputeTangents();
    // Entry i of the attribute table; without a D3DX mesh nothing is drawn nor counted.
    void DrawSubset(int32_t i);
    void SetFixed(uint8_t flags);
    // Subsets 0 to 15 of sets 0 to 127; other slots change nothing.
    void SetMaterial(int32_t subset, int32_t set, WeMaterial* material);
    // Set 0 to 127, or allSets for every set; any other set visits none.
    void LoadSubsetMaterial(int32_t subset, int32_t set, bool useName, const WeString& name, bool force);
    void LoadMaterials(int32_t set, bool force);
    WeMeshAttachPoint* FindAttachPoint(const WeString& name);
    void SetShadowVolume(bool on);
    bool BuildShadowVolume();

    d3d9::HRESULT LockVertexBuffer(uint32_t flags, void** data);
    d3d9::HRESULT UnlockVertexBuffer();
    d3d9::HRESULT LockIndexBuffer(uint32_t flags, void** data);
    d3d9::HRESULT UnlockIndexBuffer();
    int32_t GetBytesPerVertex() const;
    int32_t GetIndexSize() const;
    int32_t GetNumVertices() const;
    int32_t GetNumFaces() const;
    // Why the last load failed; empty after one that worked.
    const WeString& GetLastError() const { return lastError; }

    d3dx::Mesh* mesh = nullptr;
    d3dx::Mesh* shadowMesh = nullptr;
    uint8_t fixed = 0;
    int32_t subsetCount = 0;
    d3dx::AttributeRange attributeTable[maxSubsets];
    WeMeshMaterialSet sets[setCount];
    WeVector boxMin, boxMax;
    WeVector sphereCenter;
    float sphereRadius = 0.0f;
    int32_t numVertices = 0, numFaces = 0;
    WeString path;
    bool loaded = false;
    bool recordFlag = false;
    int32_t recordInt0 = 64, recordInt1 = 0, recordInt2 = 0;
    float recordFloat0 = 1.0f, recordFloat1 = 5.0f;
    int32_t recordInt3 = 2;
    uint32_t sourceTime[2] = {}; // low word first
    WeList<WeMeshAttachPoint> attachPoints;
    uint32_t setMasks[setCount] = {};
    bool skinned = false; // drawn with the skinned vertex and the skinned techniques

private:
    bool ReadCounts(WeRecordReader& reader, int32_t version, int32_t& vertices, int32_t& faces);
    bool ReadBuffers(WeRecordReader& reader, int32_t version, int32_t vertices, int32_t faces);
    void ReadParameters(WeRecordReader& reader, int32_t version);
    bool ReadSubsets(WeRecordReader& reader);
    bool ReadMaterialNames(WeRecordReader& reader, int32_t version);
    void ReadBounds(WeRecordReader& reader);
    void ReadAttachPoints(WeRecordReader& reader);
    bool ConvertToEngineVertex();
    // The plain file of the path, by its extension.
    bool LoadFile();
    void Finish(bool tableFromMesh);
    void ReleaseMeshes();
    // Keeps the reason (also written to the error output); false.
    bool Fail(const WeString& reason);

    WeString lastError;
};

class WeMeshManager
{
public:
    WeMeshManager() = default;
    // Frees every mesh, the fixed ones too: what the engine's shut-down left, or all of them
    // when the program ended without one.
    virtual ~WeMeshManager();
    WeMeshManager(const WeMeshManager&) = delete;
    WeMeshManager& operator=(const WeMeshManager&) = delete;

    // Null for an empty name or a failed load; a cached mesh becomes fixed when asked for
    // during fixed loading.
    WeMesh* Load(const WeString& name);
    // "Config.Assets.Box", "Config.Assets.Box1m" and "Config.Assets.Sphere1m", fixed; true when
    // the box loaded.
    bool LoadDefaults();
    // With force the fixed meshes go too, and forcedFrees counts one more.
    void FreeAll(bool force);
    // True when the mesh left the table. A fixed mesh stays without force, dropping the
    // materials that are not fixed (the material manager frees those at the same time).
    bool FreeMesh(WeMesh* mesh, bool force);
    int32_t GetCount() const { return meshes.GetCount(); }
    // The file system meshes load from; null means the program's.
    WeVirtualFileSystem* CurrentFileSystem() const;

    bool defaultsLoaded = false;
    int32_t forcedFrees = 0; // meshes kept for the process were loaded after the last one
    WeMesh* box1m = nullptr;
    WeMesh* sphere1m = nullptr;
    WeMesh* box = nullptr;
    WeVirtualFileSystem* fileSystem = nullptr;

private:
    WeHashTable<WeMesh*> meshes;
};

extern WeMeshManager meshManager;
