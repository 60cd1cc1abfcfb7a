#include "WeModelFrame.h"

#include "WeMesh.h"
#include "WeRenderDevice.h"

#include <algorithm>

using namespace d3dx;
using d3d9::HRESULT;

namespace
{

// The skinned vertex: the engine vertex, then up to four blend weights and the numbers of the
// bones they follow.
struct SkinnedVertex
{
    WeMeshVertex vertex;
    float weights[WeMeshHierarchy::maxInfluences];
    float bones[WeMeshHierarchy::maxInfluences];
};
static_assert(sizeof(SkinnedVertex) == 84);

// Calls visit on every frame of the chain that starts at `first` and on every frame below them:
// a frame, the frames below it, then the next frame of the chain. Recursion goes as deep as the
// tree, never as long as a chain.
template <typename Visit> void ForEachFrame(WeModelFrame* first, Visit&& visit)
{
    for (WeModelFrame* frame = first; frame; frame = frame->Sibling())
    {
        visit(*frame);
        ForEachFrame(frame->Child(), visit);
    }
}

WeModelFrame* ModelOf(Frame* frame)
{
    return frame ? static_cast<WeMeshFrame*>(frame)->model : nullptr;
}

// Puts each vertex's first four influences, in bone order, into its skinned tail; influences on
// vertices the mesh does not have are skipped.
void WriteInfluences(Mesh& mesh, const SkinInfo& skin)
{
    void* data = nullptr;
    if (d3d9::Failed(mesh.LockVertexBuffer(0, &data)))
        return;
    auto* vertices = static_cast<SkinnedVertex*>(data);
    const uint32_t vertexCount = mesh.GetNumVertices();
    std::vector<uint8_t> influences(vertexCount, 0);
    for (uint32_t v = 0; v < vertexCount; ++v)
    {
        std::fill(std::begin(vertices[v].weights), std::end(vertices[v].weights), 0.0f);
        std::fill(std::begin(vertices[v].bones), std::end(vertices[v].bones), 0.0f);
    }
    std::vector<uint32_t> moved;
    std::vector<float> weights;
    for (uint32_t bone = 0; bone < skin.GetNumBones(); ++bone)
    {
        moved.resize(skin.GetNumBoneInfluences(bone));
        weights.resize(moved.size());
        if (moved.empty() || d3d9::Failed(skin.GetBoneInfluence(bone, moved.data(), weights.data())))
            continue;
        for (size_t i = 0; i < moved.size(); ++i)
        {
            const uint32_t v = moved[i];
            if (v >= vertexCount || influences[v] >= WeMeshHierarchy::maxInfluences)
                continue;
            vertices[v].bones[influences[v]] = float(bone);
            vertices[v].weights[influences[v]] = weights[i];
            ++influences[v];
        }
    }
    mesh.UnlockVertexBuffer();
}

} // namespace

WeMeshContainer::WeMeshContainer() = default;

WeMeshContainer::~WeMeshContainer()
{
    if (skinInfo)
        skinInfo->Release();
}

void WeMeshContainer::Release(WeMeshContainer* container)
{
    if (container && --container->refCount <= 0)
        delete container;
}

HRESULT WeMeshHierarchy::CreateFrame(const char* name, Frame** newFrame)
{
    if (!newFrame)
        return d3d9::D3DERR_INVALIDCALL;
    // Owned through the frame's link to it until the model takes the tree over.
    *newFrame = (new WeModelFrame(name))->frame.get();
    return d3d9::D3D_OK;
}

HRESULT WeMeshHierarchy::CreateMeshContainer(const char* name, const MeshData* meshData,
                                             const Material* materials, uint32_t numMaterials,
                                             const uint32_t* adjacency, SkinInfo* skinInfo,
                                             MeshContainer** newMeshContainer)
{
    if (!newMeshContainer)
        return d3d9::D3DERR_INVALIDCALL;
    *newMeshContainer = nullptr;
    if (!meshData || meshData->type != D3DXMESHTYPE_MESH || !meshData->mesh)
        return d3d9::E_FAIL;
    const uint32_t bones = skinInfo ? skinInfo->GetNumBones() : 0;
    if (bones > WeModelFrame::maxBones)
        return D3DXERR_INVALIDDATA;
    auto container = std::make_unique<WeMeshContainer>();
    if (name)
    {
        container->ownName = name;
        container->name = container->ownName.data();
    }
    if (materials)
    {
        container->ownMaterials.assign(materials, materials + numMaterials);
        for (Material& material : container->ownMaterials)
            material.textureFilename = nullptr;
        container->materials = container->ownMaterials.data();
        container->numMaterials = numMaterials;
    }
    if (adjacency)
    {
        container->ownAdjacency.assign(adjacency, adjacency + size_t(meshData->mesh->GetNumFaces()) * 3);
        container->adjacency = container->ownAdjacency.data();
    }
    Mesh* clone = nullptr;
    const HRESULT cloned = meshData->mesh->CloneMesh(
        D3DXMESH_MANAGED, bones ? WeMesh::skinnedDeclaration : WeMesh::vertexDeclaration, renderDevice.device,
        &clone);
    if (d3d9::Failed(cloned))
        return cloned;
    if (bones)
    {
        WriteInfluences(*clone, *skinInfo);
        skinInfo->Clone(&container->skinInfo);
        container->boneCount = int32_t(bones);
        for (uint32_t bone = 0; bone < bones; ++bone)
            container->boneOffsets.push_back(*skinInfo->GetBoneOffsetMatrix(bone));
    }
    container->engineMesh = std::make_unique<WeMesh>();
    WeMesh& mesh = *container->engineMesh;
    mesh.skinned = bones > 0;
    mesh.SetD3DXMesh(clone, true, true);
    mesh.ComputeTangents();
    // The engine mesh owns the D3DX mesh; the container only shows it.
    container->meshData = {D3DXMESHTYPE_MESH, mesh.mesh};
    *newMeshContainer = container.release();
    return d3d9::D3D_OK;
}

HRESULT WeMeshHierarchy::DestroyFrame(Frame* frame)
{
    if (!frame)
        return d3d9::D3D_OK;
    // The loader destroys the frames below and after this one, and its containers, itself.
    frame->frameFirstChild = frame->frameSibling = nullptr;
    frame->meshContainer = nullptr;
    delete ModelOf(frame);
    return d3d9::D3D_OK;
}

HRESULT WeMeshHierarchy::DestroyMeshContainer(MeshContainer* meshContainer)
{
    WeMeshContainer::Release(static_cast<WeMeshContainer*>(meshContainer));
    return d3d9::D3D_OK;
}

WeModelFrame::WeModelFrame(const char* name) : WeBaseModel(1), frame(std::make_unique<WeMeshFrame>())
{
    frame->model = this;
    if (name)
    {
        frame->ownName = name;
        frame->name = frame->ownName.data();
    }
}

WeModelFrame::~WeModelFrame()
{
    for (WeModelFrame* next = Sibling(); next;)
    {
        WeModelFrame* const after = next->Sibling();
        next->frame->frameSibling = nullptr;
        delete next;
        next = after;
    }
    delete Child();
    WeMeshContainer::Release(Container());
}

WeModelFrame* WeModelFrame::Child() const
{
    return ModelOf(frame->frameFirstChild);
}

WeModelFrame* WeModelFrame::Sibling() const
{
    return ModelOf(frame->frameSibling);
}

WeMeshContainer* WeModelFrame::Container() const
{
    return static_cast<WeMeshContainer*>(frame->meshContainer);
}

void WeModelFrame::UpdateBounds(bool scaleRadius)
{
    std::vector<WeModelFrame*> chain;
    for (WeModelFrame* link = this; link; link = link->Sibling())
    {
        chain.push_back(link);
        const WeMeshContainer* container = link->Container();
        if (container && container->boneCount > 0 && link->mesh)
        {
            WeVector sum;
            for (int32_t bone = 0; bone < container->boneCount; ++bone)
                sum = sum + D3DXVec3TransformCoord(link->mesh->sphereCenter, link->skinMatrices[bone]);
            link->sphere.center =
                D3DXVec3TransformCoord(sum * (1.0f / float(container->boneCount)), link->world);
            link->sphere.radius = link->mesh->sphereRadius * 1.5f;
            link->mergedSphere = link->sphere;
        }
        else
            link->WeBaseModel::UpdateBounds(scaleRadius);
        if (WeModelFrame* child = link->Child())
        {
            child->UpdateBounds(scaleRadius);
            link->mergedSphere.Grow(child->mergedSphere);
        }
    }
    // The frames after this one grow their parent's sphere, last first; at the top of the tree,
    // where there is no parent, they grow this one's, so that the model's sphere holds them.
    WeModelFrame* holder = parent ? parent : this;
    for (size_t i = chain.size() - 1; i > 0; --i)
        holder->mergedSphere.Grow(chain[i]->mergedSphere);
}

void WeModelFrame::LoadMaterials(int32_t materialSet)
{
    ForEachFrame(this, [&](WeModelFrame& each) { each.WeBaseModel::LoadMaterials(materialSet); });
}

void WeModelFrame::SetShadowVolume(bool on)
{
    ForEachFrame(this, [&](WeModelFrame& each) { each.WeBaseModel::SetShadowVolume(on); });
}

void WeModelFrame::GatherLights(WeScene* scene)
{
    ForEachFrame(this,
                 [&](WeModelFrame& each)
                 {
                     if (each.mesh)
                         each.WeBaseModel::GatherLights(scene);
                 });
}

void WeModelFrame::Render(WeScene* scene, WeCamera* camera, WeActor* actor, int32_t materialSet)
{
    ForEachFrame(this,
                 [&](WeModelFrame& each) { each.WeBaseModel::Render(scene, camera, actor, materialSet); });
}

void WeModelFrame::InvalidateLights()
{
    ForEachFrame(this, [](WeModelFrame& each) { each.WeBaseModel::InvalidateLights(); });
}

std::unique_ptr<WeModelFrame> WeModelFrame::Clone() const
{
    std::unique_ptr<WeModelFrame> first;
    WeModelFrame* last = nullptr;
    for (const WeModelFrame* source = this; source; source = source->Sibling())
    {
        auto copy = std::make_unique<WeModelFrame>(source->frame->name);
        copy->frame->transformationMatrix = source->frame->transformationMatrix;
        if (WeMeshContainer* container = source->Container())
        {
            ++container->refCount;
            copy->frame->meshContainer = container;
        }
        if (const WeModelFrame* child = source->Child())
            copy->frame->frameFirstChild = child->Clone().release()->frame.get();
        WeModelFrame* const made = copy.get();
        if (last)
            last->frame->frameSibling = copy.release()->frame.get();
        else
            first = std::move(copy);
        last = made;
    }
    return first;
}

void WeModelFrame::Bind(WeModel* model, WeModelFrame* parentFrame)
{
    Frame* const root = model && model->rootFrame ? model->rootFrame->frame.get() : nullptr;
    for (WeModelFrame* link = this; link; link = link->Sibling())
    {
        link->owner = model;
        link->parent = parentFrame;
        const WeMeshContainer* container = link->Container();
        link->mesh = container ? container->engineMesh.get() : nullptr;
        std::fill(std::begin(link->boneFrames), std::end(link->boneFrames), nullptr);
        for (int32_t bone = 0; container && container->skinInfo && bone < container->boneCount; ++bone)
            link->boneFrames[bone] =
                ModelOf(D3DXFrameFind(root, container->skinInfo->GetBoneName(uint32_t(bone))));
        if (WeModelFrame* child = link->Child())
            child->Bind(model, link);
    }
}

void WeModelFrame::UpdateWorldMatrices(const WeMatrix& parentMatrix, bool resetHistory)
{
    for (WeModelFrame* link = this; link; link = link->Sibling())
    {
        if (!resetHistory)
            link->previousWorld = link->world;
        link->world = D3DXMatrixMultiply(link->frame->transformationMatrix, parentMatrix);
        if (resetHistory)
            link->previousWorld = link->world;
        if (WeModelFrame* child = link->Child())
            child->UpdateWorldMatrices(link->world, resetHistory);
    }
}

void WeModelFrame::UpdateSkinMatrices()
{
    ForEachFrame(this,
                 [](WeModelFrame& each)
                 {
                     const WeMeshContainer* container = each.Container();
                     if (!container || container->boneCount == 0)
                         return;
                     WeMatrix inverse; // a frame scaled to nothing leaves its bones as they are
                     D3DXMatrixInverse(&inverse, nullptr, each.world);
                     for (int32_t bone = 0; bone < container->boneCount; ++bone)
                     {
                         const WeModelFrame* mover = each.boneFrames[bone];
                         each.skinMatrices[bone] =
                             mover
                                 ? D3DXMatrixMultiply(
                                       D3DXMatrixMultiply(container->boneOffsets[size_t(bone)], mover->world),
                                       inverse)
                                 : WeMatrix{};
                     }
                 });
}
