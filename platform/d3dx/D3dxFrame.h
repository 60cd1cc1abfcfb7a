// Frame hierarchies as D3DX hands them out: a tree of frames (first child, next sibling) with
// local matrices and chains of mesh containers, built through an allocator of the caller's, and
// the skin information of a skinned mesh (bones, their offset matrices and the vertices each
// moves).
#pragma once

#include "d3dx/D3dxAnimation.h"
#include "d3dx/D3dxMesh.h"

#include <cstdint>
#include <string>
#include <vector>

namespace d3dx
{

struct MeshContainer;

// Frames are made and destroyed by the allocator; the loader fills in the matrix and the links.
struct Frame
{
    char* name = nullptr; // owned by the allocator that made the frame; null for an unnamed frame
    Matrix transformationMatrix;
    MeshContainer* meshContainer = nullptr;
    Frame* frameSibling = nullptr;
    Frame* frameFirstChild = nullptr;
};

enum MeshDataType : uint32_t
{
    D3DXMESHTYPE_MESH = 1,
    D3DXMESHTYPE_PMESH = 2,
    D3DXMESHTYPE_PATCHMESH = 3,
};

struct MeshData
{
    MeshDataType type = D3DXMESHTYPE_MESH;
    Mesh* mesh = nullptr;
};

struct ColorValue
{
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

// A material of the file: its colours, and the texture file it names (or null).
struct Material
{
    ColorValue diffuse;
    ColorValue ambient;
    ColorValue specular;
    ColorValue emissive;
    float power = 0.0f;
    const char* textureFilename = nullptr;
};

class SkinInfo;

struct MeshContainer
{
    char* name = nullptr; // owned by the allocator, like the rest of the container
    MeshData meshData;
    Material* materials = nullptr;
    uint32_t numMaterials = 0;
    uint32_t* adjacency = nullptr;
    SkinInfo* skinInfo = nullptr;
    MeshContainer* nextMeshContainer = nullptr;
};

// The bones of a skinned mesh: each bone names the frame that moves it, has the offset matrix
// that takes the mesh from its own space into the bone's, and moves some vertices by a weight.
class SkinInfo
{
public:
    struct Bone
    {
        std::string name;
        Matrix offset;
        std::vector<uint32_t> vertices;
        std::vector<float> weights;
    };

    uint32_t AddRef() { return ++refs; }
    uint32_t Release();

    uint32_t GetNumVertices() const { return vertexCount; }
    uint32_t GetNumBones() const { return uint32_t(bones.size()); }
    // The bone's name, or null past the last bone.
    const char* GetBoneName(uint32_t bone) const;
    // The bone's offset matrix, or null past the last bone.
    const Matrix* GetBoneOffsetMatrix(uint32_t bone) const;
    // 0 past the last bone.
    uint32_t GetNumBoneInfluences(uint32_t bone) const;
    // Fills GetNumBoneInfluences entries of each array.
    HRESULT GetBoneInfluence(uint32_t bone, uint32_t* vertices, float* weights) const;
    HRESULT Clone(SkinInfo** clone) const;

    // Each bone's vertices are below the vertex count, and as many as its weights.
    SkinInfo(uint32_t vertexCount, std::vector<Bone> bones);
    SkinInfo(const SkinInfo&) = delete;
    SkinInfo& operator=(const SkinInfo&) = delete;

private:
    ~SkinInfo() = default;

    uint32_t vertexCount;
    std::vector<Bone> bones;
    uint32_t refs = 1;
};

// What the loader calls to make and destroy the parts of the tree. The loader hands
// CreateMeshContainer a mesh and skin information that it releases itself afterwards: a
// container that keeps them takes its own reference (or a clone). A failure ends the load: the
// loader then destroys what was built through the same allocator and returns the failure.
class AllocateHierarchy
{
public:
    virtual HRESULT CreateFrame(const char* name, Frame** newFrame) = 0;
    virtual HRESULT CreateMeshContainer(const char* name, const MeshData* meshData, const Material* materials,
                                        uint32_t numMaterials, const uint32_t* adjacency, SkinInfo* skinInfo,
                                        MeshContainer** newMeshContainer) = 0;
    virtual HRESULT DestroyFrame(Frame* frame) = 0;
    virtual HRESULT DestroyMeshContainer(MeshContainer* meshContainer) = 0;

protected:
    ~AllocateHierarchy() = default;
};

// The first frame of the tree, depth first (a frame, its children, then its siblings), whose
// name equals the given one; a null name finds the first unnamed frame.
Frame* D3DXFrameFind(const Frame* root, const char* name);
// Registers with the controller the matrix of every frame whose name an output of one of the
// controller's sets carries.
HRESULT D3DXFrameRegisterNamedMatrices(Frame* root, AnimationController* controller);

} // namespace d3dx
