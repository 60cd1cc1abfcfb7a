// Meshes as D3DX shapes them: vertices of a declaration, triangles of 16- or 32-bit indices, an
// attribute (subset id) per face and an attribute table of face and vertex ranges per subset.
// The mesh keeps its buffers in memory; locks hand out that memory. A mesh made with a device
// draws through it, making the device's buffers on the first draw and handing them what changed
// since; those buffers live in the managed pool whatever the options say, so no mesh stands in
// the way of a Reset. A mesh made without a device (the content tools make them so) draws
// nothing.
//
// Besides the mesh: its bounds (box, and a sphere around the vertex mean), and tangent frames
// made in place.
#pragma once

#include "d3d9/D3d9Device.h"
#include "d3dx/D3dxMath.h"

#include <cstdint>
#include <vector>

namespace d3dx
{

using d3d9::HRESULT;
using d3d9::VertexElement;

constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT D3DXERR_INVALIDMESH = static_cast<HRESULT>(0x88760B55u);
constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

// "No such output" in the tangent-frame calls.
constexpr uint32_t D3DX_DEFAULT = 0xFFFFFFFFu;

// Mesh options.
constexpr uint32_t D3DXMESH_32BIT = 0x001;
constexpr uint32_t D3DXMESH_SYSTEMMEM = 0x110;
constexpr uint32_t D3DXMESH_MANAGED = 0x220;
constexpr uint32_t D3DXMESH_WRITEONLY = 0x440;

// OptimizeInplace flags.
constexpr uint32_t D3DXMESHOPT_COMPACT = 0x01000000;
constexpr uint32_t D3DXMESHOPT_ATTRSORT = 0x02000000;
constexpr uint32_t D3DXMESHOPT_VERTEXCACHE = 0x04000000;

// D3DXComputeTangentFrameEx options.
constexpr uint32_t D3DXTANGENT_GENERATE_IN_PLACE = 0x400;

// No neighbour across an edge, in adjacency arrays.
constexpr uint32_t D3DX_NO_NEIGHBOUR = 0xFFFFFFFFu;

struct AttributeRange
{
    uint32_t attribId = 0;
    uint32_t faceStart = 0;
    uint32_t faceCount = 0;
    uint32_t vertexStart = 0;
    uint32_t vertexCount = 0;
};

class Mesh
{
public:
    uint32_t AddRef() { return ++refs; }
    // Drops one reference; the mesh and its device buffers go with the last.
    uint32_t Release();

    uint32_t GetNumFaces() const { return faceCount; }
    uint32_t GetNumVertices() const { return vertexCount; }
    uint32_t GetNumBytesPerVertex() const { return stride; }
    uint32_t GetOptions() const { return options; }
    // The declaration's elements, without the end marker.
    const std::vector<VertexElement>& Declaration() const { return declaration; }

    // Locks hand out the mesh's memory: vertices, indices (16 or 32 bits each, three a face),
    // attributes (one uint32 a face). Each lock needs its unlock; a lock without
    // D3DLOCK_READONLY makes the next draw hand the data to the device again.
    HRESULT LockVertexBuffer(uint32_t flags, void** data);
    HRESULT UnlockVertexBuffer();
    HRESULT LockIndexBuffer(uint32_t flags, void** data);
    HRESULT UnlockIndexBuffer();
    HRESULT LockAttributeBuffer(uint32_t flags, uint32_t** data);
    HRESULT UnlockAttributeBuffer();

    // With a table, copies at most *size entries (the table's room) into it; in every case
    // *size becomes the number of entries the mesh has.
    HRESULT GetAttributeTable(AttributeRange* table, uint32_t* size) const;
    // Ranges past the faces or the vertices are refused.
    HRESULT SetAttributeTable(const AttributeRange* table, uint32_t size);

    // A new mesh of the options and declaration (on the device, which may be null) with the
    // same faces, attributes and table. Each element of the new declaration takes the values of
    // the source element of the same usage and usage index (float elements of another width
    // keep the components both have), or zeros. 16-bit indices take at most 65,535 vertices.
    HRESULT CloneMesh(uint32_t options, const VertexElement* declaration, d3d9::Device* device,
                      Mesh** clone) const;

    // Three entries a face: the face across edge 0-1, 1-2 and 2-0, or D3DX_NO_NEIGHBOUR. Faces
    // are neighbours when they run along an edge in opposite directions with the edge's
    // positions equal within epsilon (each coordinate).
    HRESULT GenerateAdjacency(float epsilon, uint32_t* adjacency) const;
    // One entry a vertex: the lowest vertex that stands at the same corner of faces joined by
    // the adjacency, itself when there is none.
    HRESULT ConvertAdjacencyToPointReps(const uint32_t* adjacency, uint32_t* pointReps) const;
    // ATTRSORT orders the faces by attribute (keeping their order within one) and rebuilds the
    // table, one entry an attribute; COMPACT drops the vertices no face uses; VERTEXCACHE
    // numbers the vertices in the order the faces first use them. The adjacency is the
    // caller's of the mesh as it stands; none of these orders needs it.
    HRESULT OptimizeInplace(uint32_t flags, const uint32_t* adjacencyIn);

    // Draws the faces of an attribute as indexed triangle lists: the table's ranges of that id,
    // or without a table the runs of faces that carry it. Sets the device's declaration, stream
    // 0 and indices. A mesh whose indices reach past its vertices draws nothing.
    HRESULT DrawSubset(uint32_t attribId);

    Mesh(d3d9::Device* device, uint32_t options, std::vector<VertexElement> declaration, uint32_t faces,
         uint32_t vertices);
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

private:
    uint32_t IndexSize() const { return (options & D3DXMESH_32BIT) ? 4 : 2; }
    uint32_t Index(uint32_t face, uint32_t corner) const;
    void SetIndex(uint32_t face, uint32_t corner, uint32_t value);
    bool IndicesValid() const;
    // Hands out the memory, locked; a writing lock sets `changed`.
    HRESULT Lock(uint32_t flags, bool& locked, bool* changed, void* memory, void** data);
    HRESULT Unlock(bool& locked);
    // Per vertex, the lowest vertex at the same position within epsilon (each coordinate).
    std::vector<uint32_t> PositionReps(float epsilon) const;
    // Makes the device's objects and hands them what changed; false when the mesh cannot be
    // drawn.
    bool Upload();
    // Reorders the faces: new face i is old face order[i].
    void ReorderFaces(const std::vector<uint32_t>& order);
    // Renumbers the vertices: new vertex i is old vertex order[i].
    void ReorderVertices(const std::vector<uint32_t>& order);
    // The range with the vertex start and count of the vertices its faces use.
    AttributeRange WithVertexRange(AttributeRange range) const;
    // One range for each run of consecutive faces of one attribute.
    std::vector<AttributeRange> Runs() const;

    d3d9::Device* device;
    uint32_t options;
    std::vector<VertexElement> declaration;
    uint32_t stride;
    uint32_t faceCount;
    uint32_t vertexCount;
    std::vector<uint8_t> vertices;
    std::vector<uint8_t> indices;
    std::vector<uint32_t> attributes;
    std::vector<AttributeRange> table;
    bool vertexLocked = false;
    bool indexLocked = false;
    bool attributeLocked = false;
    bool verticesChanged = true;
    bool indicesChanged = true;
    bool drawable = false;
    d3d9::VertexDeclaration* deviceDeclaration = nullptr;
    d3d9::VertexBuffer* deviceVertices = nullptr;
    d3d9::IndexBuffer* deviceIndices = nullptr;
    uint32_t refs = 1;
};

// A mesh of the faces and vertices (neither 0; at most 65,535 vertices without
// D3DXMESH_32BIT), zero-filled, without a table. The declaration ends with D3DDECL_END and
// needs a FLOAT3 POSITION on stream 0. The device may be null.
HRESULT D3DXCreateMesh(uint32_t faces, uint32_t vertices, uint32_t options, const VertexElement* declaration,
                       d3d9::Device* device, Mesh** mesh);
// The same with the elements of a flexible vertex format (d3d9::FvfElements).
HRESULT D3DXCreateMeshFVF(uint32_t faces, uint32_t vertices, uint32_t options, uint32_t fvf,
                          d3d9::Device* device, Mesh** mesh);

// The box around the positions (the first three floats at every stride bytes).
HRESULT D3DXComputeBoundingBox(const Vector3* firstPosition, uint32_t count, uint32_t stride, Vector3* min,
                               Vector3* max);
// The sphere around the positions' mean: its radius is the largest distance from it.
HRESULT D3DXComputeBoundingSphere(const Vector3* firstPosition, uint32_t count, uint32_t stride,
                                  Vector3* center, float* radius);

// Tangent frames written into the mesh's own vertices (D3DXTANGENT_GENERATE_IN_PLACE is
// required; no vertex is split, so the three thresholds change nothing). Per face, the
// direction in which the texture coordinates (the given usage and index) grow in u; a vertex
// sums it over its faces, weighted by the face's angle at the vertex, makes it perpendicular to
// its normal (NORMAL 0, when there is one) and of unit length, and writes it to the U output (a
// usage and index of three or four floats). V and normal outputs are not offered: pass
// D3DX_DEFAULT. The adjacency is not needed.
HRESULT D3DXComputeTangentFrameEx(Mesh* mesh, uint32_t textureInSemantic, uint32_t textureInIndex,
                                  uint32_t uPartialOutSemantic, uint32_t uPartialOutIndex,
                                  uint32_t vPartialOutSemantic, uint32_t vPartialOutIndex,
                                  uint32_t normalOutSemantic, uint32_t normalOutIndex, uint32_t options,
                                  const uint32_t* adjacency, float partialEdgeThreshold,
                                  float singularPointThreshold, float normalEdgeThreshold);

} // namespace d3dx
