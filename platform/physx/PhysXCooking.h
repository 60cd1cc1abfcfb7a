// Cooking: turning an indexed triangle list into the block that the SDK later reads back as a
// collision mesh (a triangle mesh for rigid shapes, a cloth mesh for cloth). These are the
// entry points of the cooking library, "NxCooking.dll"; the SDK's createTriangleMesh and
// createClothMesh read the blocks.
//
// A cooked triangle mesh is serialised Bullet collision data, little-endian:
//   dword magic "BVTM", dword version 1, dword vertex count, dword triangle count,
//   vertex count x 3 floats, triangle count x 3 dwords (vertex indices),
//   the quantised bounding-volume tree: 3 floats minimum, 3 floats maximum, 3 floats
//   quantisation, dword node count, then per node 3 words minimum, 3 words maximum and a dword
//   that is a triangle index (leaf) or minus the node's subtree size (inner node).
// A cooked cloth mesh:
//   dword magic "CLTM", dword version 1, dword vertex count, dword node count, dword triangle
//   count, node count x 3 floats (welded positions), vertex count x dword (each vertex's node),
//   triangle count x 3 dwords (vertex indices).
// The readers refuse a block that ends early or does not hold together: counts past the limits,
// indices out of range, coordinates that are not finite, a tree that is not a full binary tree
// over every triangle once, or node bounds that do not enclose what they hold.
#pragma once

#include "physx/PhysXTypes.h"

#include <memory>
#include <span>
#include <vector>

class btBvhTriangleMeshShape;
class btGImpactMeshShape;
class btTriangleIndexVertexArray;

namespace physx
{

// An indexed triangle list in caller memory. Indices are 32-bit unless the flags hold
// NX_MF_16_BIT_INDICES.
struct SimpleTriangleMesh
{
    uint32_t numVertices = 0;
    uint32_t numTriangles = 0;
    uint32_t pointStrideBytes = 0;
    uint32_t triangleStrideBytes = 0;
    const void* points = nullptr;
    const void* triangles = nullptr;
    uint32_t flags = 0;
};

using TriangleMeshDesc = SimpleTriangleMesh;

struct ClothMeshDesc : SimpleTriangleMesh
{
    // With NX_CLOTH_MESH_WELD_VERTICES, vertices closer than this become one cloth node.
    float weldingDistance = 0.0f;
};

struct CookingParams
{
    // Checked only: it thickens convex meshes, which are not cooked here.
    float skinWidth = 0.025f;
};

// The most vertices and triangles a cooked mesh may hold.
constexpr uint32_t kMaxCookedVertices = 1u << 20;
constexpr uint32_t kMaxCookedTriangles = 1u << 20;

// A collision mesh read from a cooked block.
class TriangleMesh
{
public:
    ~TriangleMesh();
    uint32_t getNbVertices() const { return static_cast<uint32_t>(points.size()); }
    uint32_t getNbTriangles() const { return static_cast<uint32_t>(indices.size() / 3); }
    const Vec3* getVertices() const { return points.data(); }
    // Three vertex indices per triangle.
    const uint32_t* getTriangles() const { return indices.data(); }

    // The mesh as the shape of static actors (shared by all of them).
    btBvhTriangleMeshShape& StaticShape() const { return *staticShape; }
    // The mesh as the shape of dynamic actors, made on first use and shared.
    btGImpactMeshShape& DynamicShape();
    // References held by shapes; the SDK releases a mesh only when none is left.
    uint32_t references = 0;

    // The bounding-volume tree over the triangles, defined with the reader.
    struct Tree;

    TriangleMesh(std::vector<Vec3> points, std::vector<uint32_t> indices, std::unique_ptr<Tree> tree);
    TriangleMesh(const TriangleMesh&) = delete;
    TriangleMesh& operator=(const TriangleMesh&) = delete;

private:
    std::vector<Vec3> points;
    std::vector<uint32_t> indices;
    std::unique_ptr<btTriangleIndexVertexArray> array;
    std::unique_ptr<Tree> tree;
    std::unique_ptr<btBvhTriangleMeshShape> staticShape;
    std::unique_ptr<btGImpactMeshShape> dynamicShape;
};

// A cloth mesh read from a cooked block: the welded nodes the cloth simulates, and for every
// vertex of the source mesh the node that carries it, so that results come back in the source
// mesh's vertex order.
struct ClothMesh
{
    uint32_t references = 0; // cloths made over the mesh
    std::vector<Vec3> nodes;
    std::vector<uint32_t> vertexNodes;
    std::vector<uint32_t> indices; // three source vertex indices per triangle
};

// The checked vertices and indices of a mesh description; false when it describes no mesh (no
// triangles, indices out of range, coordinates that are not finite, counts past the limits).
bool GatherMesh(const SimpleTriangleMesh& desc, std::vector<Vec3>& points, std::vector<uint32_t>& indices);

// The readers behind the SDK's createTriangleMesh and createClothMesh: null for a short or
// inconsistent block.
std::unique_ptr<TriangleMesh> ReadTriangleMesh(Stream& stream);
std::unique_ptr<ClothMesh> ReadClothMesh(Stream& stream);

// The cooking library's entry points. Cooking works between NxInitCooking and the matching
// NxCloseCooking (the calls nest). A cook fails on a description that GatherMesh refuses, or when
// the stream fails while being written; whatever it wrote is then of no use.
bool NxInitCooking();
void NxCloseCooking();
bool NxSetCookingParams(const CookingParams& params);
bool NxCookTriangleMesh(const TriangleMeshDesc& desc, Stream& stream);
bool NxCookClothMesh(const ClothMeshDesc& desc, Stream& stream);

// The loader's cooking interface (NxGetCookingLib): the same cooking, for cloth.
class CookingInterface
{
public:
    bool NxInitCooking() { return physx::NxInitCooking(); }
    void NxCloseCooking() { physx::NxCloseCooking(); }
    bool NxCookClothMesh(const ClothMeshDesc& desc, Stream& stream)
    {
        return physx::NxCookClothMesh(desc, stream);
    }
};

using NxInitCookingProc = bool (*)();
using NxCloseCookingProc = void (*)();
using NxSetCookingParamsProc = bool (*)(const CookingParams&);
using NxCookTriangleMeshProc = bool (*)(const TriangleMeshDesc&, Stream&);

// The entry points of "NxCooking.dll".
std::span<const LibraryExport> CookingLibraryExports();

} // namespace physx
