// libFuzzer target for ".x" files in memory: any bytes must load or fail cleanly, and what loads
// must stand up to what the engine does next: its meshes cloned to the engine's vertex, given
// tangents, adjacency and optimised, its skin read, its controller advanced.
#include "d3dx/D3dxXFile.h"

#include <vector>

using namespace d3dx;

namespace
{

class KeepingAllocator : public AllocateHierarchy
{
public:
    HRESULT CreateFrame(const char*, Frame** frame) override
    {
        *frame = new Frame;
        return d3d9::D3D_OK;
    }
    HRESULT CreateMeshContainer(const char*, const MeshData* data, const Material*, uint32_t, const uint32_t*,
                                SkinInfo* skin, MeshContainer** out) override
    {
        auto* container = new MeshContainer;
        container->meshData = *data;
        data->mesh->AddRef();
        container->skinInfo = skin;
        if (skin)
            skin->AddRef();
        *out = container;
        return d3d9::D3D_OK;
    }
    HRESULT DestroyFrame(Frame* frame) override
    {
        delete frame;
        return d3d9::D3D_OK;
    }
    HRESULT DestroyMeshContainer(MeshContainer* container) override
    {
        container->meshData.mesh->Release();
        if (container->skinInfo)
            container->skinInfo->Release();
        delete container;
        return d3d9::D3D_OK;
    }
};

const VertexElement engineLayout[] = {{0, 0, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_POSITION, 0},
                                      {0, 12, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_NORMAL, 0},
                                      {0, 24, d3d9::D3DDECLTYPE_FLOAT2, 0, d3d9::D3DDECLUSAGE_TEXCOORD, 0},
                                      {0, 32, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_TANGENT, 0},
                                      {0, 44, d3d9::D3DDECLTYPE_FLOAT2, 0, d3d9::D3DDECLUSAGE_TEXCOORD, 1},
                                      d3d9::D3DDECL_END};

void UseMesh(const MeshContainer& container)
{
    Mesh* clone = nullptr;
    if (d3d9::Failed(container.meshData.mesh->CloneMesh(D3DXMESH_MANAGED | D3DXMESH_32BIT, engineLayout,
                                                        nullptr, &clone)))
        return;
    D3DXComputeTangentFrameEx(clone, d3d9::D3DDECLUSAGE_TEXCOORD, 0, d3d9::D3DDECLUSAGE_TANGENT, 0,
                              D3DX_DEFAULT, 0, D3DX_DEFAULT, 0, D3DXTANGENT_GENERATE_IN_PLACE, nullptr,
                              -1.01f, 0.0f, -1.01f);
    std::vector<uint32_t> adjacency(size_t(clone->GetNumFaces()) * 3);
    clone->GenerateAdjacency(0.001f, adjacency.data());
    std::vector<uint32_t> reps(clone->GetNumVertices());
    clone->ConvertAdjacencyToPointReps(adjacency.data(), reps.data());
    clone->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                           adjacency.data());
    clone->Release();
    if (const SkinInfo* skin = container.skinInfo)
        for (uint32_t bone = 0; bone < skin->GetNumBones(); ++bone)
        {
            std::vector<uint32_t> vertices(skin->GetNumBoneInfluences(bone));
            std::vector<float> weights(vertices.size());
            skin->GetBoneInfluence(bone, vertices.data(), weights.data());
            D3DXFrameFind(nullptr, skin->GetBoneName(bone));
        }
}

void UseAndDestroy(Frame* frame, KeepingAllocator& allocator)
{
    while (frame)
    {
        Frame* const sibling = frame->frameSibling;
        UseAndDestroy(frame->frameFirstChild, allocator);
        if (frame->meshContainer)
        {
            UseMesh(*frame->meshContainer);
            allocator.DestroyMeshContainer(frame->meshContainer);
        }
        allocator.DestroyFrame(frame);
        frame = sibling;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    KeepingAllocator allocator;
    Frame* root = nullptr;
    AnimationController* controller = nullptr;
    if (d3d9::Failed(D3DXLoadMeshHierarchyFromXInMemory(data, uint32_t(size), D3DXMESH_MANAGED, nullptr,
                                                        &allocator, &root, &controller)))
        return 0;
    if (controller)
    {
        for (uint32_t set = 0; set < controller->GetNumAnimationSets(); ++set)
        {
            controller->SetTrackAnimationSet(1, controller->GetAnimationSet(set));
            controller->SetTrackEnable(1, true);
            controller->AdvanceTime(0.37);
        }
        controller->Release();
    }
    UseAndDestroy(root, allocator);
    return 0;
}
