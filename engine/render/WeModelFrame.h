// The frame tree of an animated model. The ".x" loader builds it through `WeMeshHierarchy`, which
// makes for every D3DX frame a `WeModelFrame`, the model object through which the frame takes
// part in bounds, materials and drawing like a static model, and for every mesh container an
// engine mesh: rigid ones in the engine vertex, skinned ones in the skinned vertex with up to four
// bone influences each, moved by up to 45 bones.
//
// A frame owns its D3DX frame, and through it the frames below and after it. Copies of a model
// share its mesh containers; a container counts its frames and goes with the last of them.
#pragma once

#include "WeModel.h"
#include "d3dx/D3dxFrame.h"

#include <memory>
#include <string>
#include <vector>

class WeMesh;
class WeModelFrame;

struct WeMeshFrame : d3dx::Frame
{
    WeModelFrame* model = nullptr;
    std::string ownName; // `name` points into it, or is null
};

struct WeMeshContainer : d3dx::MeshContainer
{
    // Drops one frame's share (nothing for null); the container goes with the last.
    static void Release(WeMeshContainer* container);

    WeMeshContainer();
    ~WeMeshContainer();
    WeMeshContainer(const WeMeshContainer&) = delete;
    WeMeshContainer& operator=(const WeMeshContainer&) = delete;

    int32_t refCount = 1;
    std::unique_ptr<WeMesh> engineMesh; // made from the cloned D3DX mesh
    int32_t boneCount = 0;              // 0 for a rigid container
    std::vector<WeMatrix> boneOffsets;  // one a bone

    std::string ownName;
    std::vector<d3dx::Material> ownMaterials; // texture names dropped: the loader's go with it
    std::vector<uint32_t> ownAdjacency;
};

// What the ".x" loader calls to make the tree; one for each load.
class WeMeshHierarchy : public d3dx::AllocateHierarchy
{
public:
    static constexpr uint32_t maxInfluences = 4;

    d3d9::HRESULT CreateFrame(const char* name, d3dx::Frame** newFrame) override;
    // Refuses meshes other than plain ones and skins of more than 45 bones; influences on
    // vertices past the mesh are skipped, and past the fourth on a vertex dropped.
    d3d9::HRESULT CreateMeshContainer(const char* name, const d3dx::MeshData* meshData,
                                      const d3dx::Material* materials, uint32_t numMaterials,
                                      const uint32_t* adjacency, d3dx::SkinInfo* skinInfo,
                                      d3dx::MeshContainer** newMeshContainer) override;
    d3d9::HRESULT DestroyFrame(d3dx::Frame* frame) override;
    d3d9::HRESULT DestroyMeshContainer(d3dx::MeshContainer* meshContainer) override;

    virtual ~WeMeshHierarchy() = default;
};

class WeModelFrame : public WeBaseModel
{
public:
    static constexpr int32_t maxBones = 45;

    // A frame with its D3DX frame of the name (may be null).
    explicit WeModelFrame(const char* name);
    // Deletes the frames below and after this one, and drops this frame's share of its container.
    ~WeModelFrame() override;

    // The skinned mean of the bones' view of the mesh sphere (grown by half), or the base's
    // sphere for a rigid mesh; then the frames below and after, the merged spheres grown by
    // theirs.
    void UpdateBounds(bool scaleRadius) override;
    // These run over this frame, the frames below it and the frames after it; frames without a
    // mesh gather no lights.
    void LoadMaterials(int32_t materialSet) override;
    void SetShadowVolume(bool on) override;
    void GatherLights(WeScene* scene) override;
    void Render(WeScene* scene, WeCamera* camera, WeActor* actor, int32_t materialSet) override;
    void InvalidateLights() override;
    // A new tree of the same names and matrices, sharing the containers.
    std::unique_ptr<WeModelFrame> Clone() const;
    // Links this tree to its model: parents, meshes and the frames that move each bone.
    void Bind(WeModel* model, WeModelFrame* parentFrame);
    // World matrices of this frame's chain and everything below it.
    void UpdateWorldMatrices(const WeMatrix& parentMatrix, bool resetHistory);
    // Per bone: offset x bone frame's world x inverse of this frame's world (the identity for a
    // bone no frame carries), over the whole tree.
    void UpdateSkinMatrices();

    WeModelFrame* Child() const;
    WeModelFrame* Sibling() const;
    WeMeshContainer* Container() const;

    WeModel* owner = nullptr;
    std::unique_ptr<WeMeshFrame> frame;
    WeModelFrame* parent = nullptr;
    WeModelFrame* boneFrames[maxBones] = {};
    WeMatrix skinMatrices[maxBones];
};
