// libFuzzer target for the asset records the engine reads from the package: the first byte
// chooses the reader, the rest is the asset's bytes, served by a loose-file package in a
// temporary folder. Whatever the bytes, a load ends in a loaded asset or a clean refusal; a
// loaded mesh keeps within its subsets and vertices, a loaded animated model's skinned meshes
// within their 45 bones. Meshes are made without a device.
#include "WeFileSystem.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeModelFrame.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace
{

WeFileSystem& Package()
{
    static std::unique_ptr<WeFileSystem> files = []
    {
        char pattern[] = "/tmp/we_fuzz_assets_XXXXXX";
        return std::make_unique<WeFileSystem>(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return *files;
}

bool WriteAsset(const char* assetName, WeAssetType type, const uint8_t* data, size_t size)
{
    WeFileSystem& files = Package();
    return files.OpenWrite(assetName, type, true) && files.GetStream().Write(data, int64_t(size)) &&
           files.CloseWrite();
}

// A loaded mesh has at most 16 subsets and indices that stay within its vertices.
bool MeshHolds(WeMesh& mesh)
{
    if (mesh.subsetCount < 0 || mesh.subsetCount > WeMesh::maxSubsets || mesh.GetIndexSize() != 2)
        return false;
    void* data = nullptr;
    if (d3d9::Failed(mesh.LockIndexBuffer(d3d9::D3DLOCK_READONLY, &data)))
        return false;
    const auto* indices = static_cast<const uint16_t*>(data);
    const bool within = std::all_of(indices, indices + size_t(mesh.GetNumFaces()) * 3,
                                    [&](uint16_t index) { return index < mesh.GetNumVertices(); });
    mesh.UnlockIndexBuffer();
    return within;
}

// Every skinned container of the tree has at most 45 bones and a bone frame slot for each.
bool FramesHold(WeModelFrame* first)
{
    for (WeModelFrame* frame = first; frame; frame = frame->Sibling())
    {
        const WeMeshContainer* container = frame->Container();
        if ((container && (container->boneCount > WeModelFrame::maxBones ||
                           int32_t(container->boneOffsets.size()) != container->boneCount)) ||
            !FramesHold(frame->Child()))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0] % 3;
    ++data;
    --size;
    switch (choice)
    {
    case 0:
    {
        if (!WriteAsset("Fuzz.Input.material", WeAssetType::Material, data, size))
            return 0;
        WeMaterial material;
        if (material.Load(&Package(), "Fuzz.Input.material") && material.name.IsEmpty())
            __builtin_trap();
        break;
    }
    case 1:
    {
        if (!WriteAsset("Fuzz.Input.mesh", WeAssetType::Mesh, data, size))
            return 0;
        WeMesh mesh;
        if (mesh.Load(&Package(), "Fuzz.Input.mesh", true) && !MeshHolds(mesh))
            __builtin_trap();
        break;
    }
    case 2:
    {
        if (!WriteAsset("Fuzz.Input.animodel", WeAssetType::AnimatedModel, data, size))
            return 0;
        WeModel model(true);
        if (model.LoadHierarchy(&Package(), "Fuzz.Input.animodel", true))
        {
            model.UpdateFrameMatrices(WeMatrix{}, true);
            model.UpdateBounds(true);
            if (!FramesHold(model.rootFrame.get()))
                __builtin_trap();
        }
        break;
    }
    }
    return 0;
}
