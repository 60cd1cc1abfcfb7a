#include "WeModel.h"

#include "WeActor.h"
#include "WeAssetType.h"
#include "WeFileStream.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModelFrame.h"
#include "WeRandom.h"
#include "WeRecordReader.h"
#include "WeRenderDevice.h"
#include "WeRenderQueue.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"
#include "d3dx/D3dxXFile.h"
#include "win32/Win32Files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

using namespace d3dx;

namespace
{

// The end a stopped set holds, short of its period so that the pose does not wrap to the start.
constexpr double kEndMargin = 0.01;
// How far a stopped set moves to pose its frames at the end.
constexpr double kPoseStep = 0.005;

// The plain ".x" file of the path, with the names its exporter wrote mended: a '-' or '[' after
// an '_' becomes '_', and otherwise a ']' before it does.
bool ReadPlainXFile(const WeString& path, std::vector<uint8_t>& bytes)
{
    if (path.CountChar('.') == 0 || path.GetTokenFromEnd('.', 0).ToLower() != "x")
        return false;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(win32::OpenFile(path.GetData(), "rb"), std::fclose);
    if (!file)
        return false;
    uint8_t chunk[65536];
    for (size_t read; (read = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + read);
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        if (bytes[i] != '_')
            continue;
        if (i + 1 < bytes.size() && (bytes[i + 1] == '-' || bytes[i + 1] == '['))
            bytes[i + 1] = '_';
        else if (i > 0 && bytes[i - 1] == ']')
            bytes[i - 1] = '_';
    }
    return true;
}

// Visits the frames that carry material blocks in the order the blocks are stored: a frame,
// then the frames after it, then (from the last back to the first) the frames below them.
bool ForEachInBlockOrder(WeModelFrame* first, const std::function<bool(WeModelFrame&)>& visit)
{
    std::vector<WeModelFrame*> chain;
    for (WeModelFrame* frame = first; frame; frame = frame->Sibling())
        chain.push_back(frame);
    for (WeModelFrame* frame : chain)
        if (frame->Container() && !visit(*frame))
            return false;
    for (auto frame = chain.rbegin(); frame != chain.rend(); ++frame)
        if (!ForEachInBlockOrder((*frame)->Child(), visit))
            return false;
    return true;
}

// Puts the light into the list at the first entry farther than it (ties keep the earlier light
// first); the farthest of a full list falls off, and a light past the last place is dropped.
void InsertNearest(WeLight* (&list)[WeBaseModel::maxLights], int32_t& count, WeLight* light)
{
    int32_t at = 0;
    while (at < count && !(list[at]->sortKey > light->sortKey))
        ++at;
    if (at >= WeBaseModel::maxLights)
        return;
    count = std::min(count + 1, WeBaseModel::maxLights);
    for (int32_t i = count - 1; i > at; --i)
        list[i] = list[i - 1];
    list[at] = light;
}

} // namespace

void WeBaseModel::CopyTo(WeBaseModel& target) const
{
    target.mesh = mesh;
}

void WeBaseModel::UpdateBounds(bool scaleRadius)
{
    if (mesh)
    {
        sphere.center = D3DXVec3TransformCoord(mesh->sphereCenter, world);
        float scale = 1.0f;
        if (scaleRadius)
        {
            float largest = 0.0f;
            for (int axis = 0; axis < 3; ++axis)
            {
                const float* row = world.m[axis];
                largest = std::max(largest, row[0] * row[0] + row[1] * row[1] + row[2] * row[2]);
            }
            scale = std::sqrt(largest);
        }
        sphere.radius = mesh->sphereRadius * scale;
    }
    mergedSphere = sphere;
}

void WeBaseModel::LoadMaterials(int32_t materialSet)
{
    if (mesh)
        mesh->LoadMaterials(materialSet, false);
}

void WeBaseModel::SetShadowVolume(bool on)
{
    if (mesh)
        mesh->SetShadowVolume(on);
}

void WeBaseModel::GatherLights(WeScene* scene)
{
    pointLightCount = otherLightCount = 0;
    lightFlags = 0;
    if (scene)
        scene->lights.ForEach(
            [this](const WeString&, WeActor* actor)
            {
                auto* light = static_cast<WeLight*>(actor);
                if (!light->IsDynamic)
                    return;
                const WeVector offset = light->GetWorldPosition() - sphere.center;
                const float distanceSquared = D3DXVec3Dot(offset, offset);
                const float reach = light->Range + sphere.radius;
                if (distanceSquared > reach * reach)
                    return;
                light->sortKey = distanceSquared;
                if (light->LightType == LIGHT_POINT)
                    InsertNearest(pointLights, pointLightCount, light);
                else
                    InsertNearest(otherLights, otherLightCount, light);
            });
    lightsGathered = true;
    if (pointLightCount > 0)
        lightFlags |= WeMaterial::lightingFlag;
}

void WeBaseModel::Render(WeScene*, WeCamera* camera, WeActor* actor, int32_t materialSet)
{
    if (!actor || !mesh)
        return;
    const int32_t set = materialSet == -1 ? actor->materialPreset : materialSet;
    if (set != selectionSet && (set < 0 || set >= WeMesh::setCount))
        return;
    // Cloth vertices are simulated in world space.
    static const WeMatrix identity;
    const WeMatrix* placement = actor->physicModel.type == WePhysicModel::cloth ? &identity : &world;
    for (int32_t subset = 0; subset < std::min(mesh->subsetCount, WeMesh::maxSubsets); ++subset)
    {
        WeMaterial* material = materialManager.selection;
        if (set != selectionSet)
        {
            const WeMeshMaterialSet& materials = mesh->sets[set];
            if (!materials.visible[subset])
                continue;
            material = materials.materials[subset];
        }
        if (!material)
            material = materialManager.defaultMaterial;
        if (material && material->shader)
            renderQueue.Add(material, actor, set, this, subset, placement, camera);
    }
}

void WeBaseModel::InvalidateLights()
{
    lightsGathered = false;
}

WeModel::WeModel(bool animated) : animated(animated) {}

WeModel::~WeModel()
{
    ReleaseHierarchy();
}

void WeModel::ReleaseHierarchy()
{
    rootFrame.reset();
    if (animationController)
        animationController->Release();
    animationController = nullptr;
    tracks.clear();
}

void WeModel::CopyTo(WeBaseModel& target) const
{
    WeBaseModel::CopyTo(target);
    auto* model = dynamic_cast<WeModel*>(&target);
    if (!model)
        return;
    model->name = name;
    if (!animated)
        return;
    model->ReleaseHierarchy();
    if (rootFrame)
        model->rootFrame = rootFrame->Clone();
    if (animationController)
    {
        const AnimationController& source = *animationController;
        source.CloneAnimationController(source.GetMaxNumAnimationOutputs(), source.GetMaxNumAnimationSets(),
                                        source.GetMaxNumTracks(), source.GetMaxNumEvents(),
                                        &model->animationController);
    }
    if (model->animationController && model->rootFrame)
        D3DXFrameRegisterNamedMatrices(model->rootFrame->frame.get(), model->animationController);
    model->ResetTracks();
}

void WeModel::UpdateBounds(bool scaleRadius)
{
    if (!animated)
    {
        WeBaseModel::UpdateBounds(scaleRadius);
        return;
    }
    if (rootFrame)
    {
        rootFrame->UpdateBounds(true);
        sphere = rootFrame->mergedSphere;
    }
    mergedSphere = sphere;
}

void WeModel::LoadMaterials(int32_t materialSet)
{
    if (!animated)
        WeBaseModel::LoadMaterials(materialSet);
    else if (rootFrame)
        rootFrame->LoadMaterials(materialSet);
}

void WeModel::SetShadowVolume(bool on)
{
    if (rootFrame)
        rootFrame->SetShadowVolume(on);
    else
        WeBaseModel::SetShadowVolume(on);
}

void WeModel::GatherLights(WeScene* scene)
{
    if (!animated)
        WeBaseModel::GatherLights(scene);
    else if (rootFrame)
        rootFrame->GatherLights(scene);
}

void WeModel::Render(WeScene* scene, WeCamera* camera, WeActor* actor, int32_t materialSet)
{
    if (!animated)
        WeBaseModel::Render(scene, camera, actor, materialSet);
    else if (rootFrame)
        rootFrame->Render(scene, camera, actor, materialSet);
}

void WeModel::InvalidateLights()
{
    WeBaseModel::InvalidateLights();
    if (rootFrame)
        rootFrame->InvalidateLights();
}

bool WeModel::LoadHierarchy(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool fromPackage)
{
    if (!animated)
        return false;
    bool loaded = false;
    if (fromPackage)
    {
        if (!fileSystem || !fileSystem->Open(assetName, WeAssetType::AnimatedModel))
            return false;
        WeRecordReader reader(fileSystem->GetStream(), fileSystem->GetFileSize());
        loaded = ReadRecord(reader);
        fileSystem->Close();
    }
    else
    {
        std::vector<uint8_t> bytes;
        loaded = ReadPlainXFile(assetName, bytes) && LoadX(bytes);
    }
    if (loaded)
        name = assetName;
    return loaded;
}

bool WeModel::ReadRecord(WeRecordReader& reader)
{
    ReleaseHierarchy();
    const int32_t version = reader.ReadInt();
    if (!animated || !reader.Ok() || version == 0)
        return false;
    if (version < 0)
        return true; // a model without frames
    const int32_t size = reader.ReadInt();
    if (!reader.Ok() || size <= 0 || size > reader.Remaining())
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    reader.ReadBytes(bytes.data(), size);
    if (!LoadX(bytes))
        return false;
    if (ReadMaterialBlocks(reader))
        return true;
    ReleaseHierarchy();
    return false;
}

bool WeModel::LoadX(const std::vector<uint8_t>& bytes)
{
    ReleaseHierarchy();
    WeMeshHierarchy hierarchy;
    Frame* root = nullptr;
    if (d3d9::Failed(D3DXLoadMeshHierarchyFromXInMemory(bytes.data(), uint32_t(bytes.size()),
                                                        D3DXMESH_MANAGED, renderDevice.device, &hierarchy,
                                                        &root, &animationController)) ||
        !root)
        return false;
    rootFrame.reset(static_cast<WeMeshFrame*>(root)->model);
    ResetTracks();
    return true;
}

bool WeModel::ReadMaterialBlocks(WeRecordReader& reader)
{
    return ForEachInBlockOrder(rootFrame.get(),
                               [&](WeModelFrame& frame)
                               {
                                   const int32_t setCount = reader.ReadInt();
                                   const int32_t subsetCount = reader.ReadInt();
                                   // Each name takes at least its two length bytes.
                                   if (!reader.Ok() || setCount < 0 || subsetCount < 0 ||
                                       int64_t(setCount) * subsetCount > reader.Remaining() / 2)
                                       return reader.Fail();
                                   WeMesh& mesh = *frame.Container()->engineMesh;
                                   WeString dropped;
                                   for (int32_t set = 0; set < setCount; ++set)
                                       for (int32_t subset = 0; subset < subsetCount; ++subset)
                                           reader.ReadString(set < WeMesh::setCount &&
                                                                     subset < WeMesh::maxSubsets
                                                                 ? mesh.sets[set].names[subset]
                                                                 : dropped);
                                   return reader.Ok();
                               });
}

void WeModel::ResetTracks()
{
    tracks.clear();
    if (rootFrame)
        rootFrame->Bind(this, nullptr);
    if (!animationController)
        return;
    tracks.resize(animationController->GetMaxNumTracks());
    for (uint32_t track = 0; track < tracks.size(); ++track)
        animationController->SetTrackEnable(track, false);
}

bool WeModel::ValidTrack(int32_t track) const
{
    return animated && animationController && track >= 0 && size_t(track) < tracks.size();
}

void WeModel::PlayAnimation(int32_t track, const WeString& setName, float speed, bool loop, float fadeIn,
                            float fadeOut, bool randomStart, bool disableAtEnd)
{
    if (!ValidTrack(track))
        return;
    const auto index = uint32_t(track);
    WeModelTrack& record = tracks[index];
    AnimationSet* set = animationController->GetAnimationSetByName(setName.GetData());
    if (!set)
    {
        record.playing = false;
        animationController->SetTrackEnable(index, false);
        return;
    }
    animationController->SetTrackAnimationSet(index, set);
    const double start = randomStart ? set->GetPeriod() * 0.5 * WeRand() / WE_RAND_MAX : 0.0;
    animationController->SetTrackPosition(index, start);
    animationController->SetTrackWeight(index, fadeIn > 0.0f ? 0.0f : 1.0f);
    animationController->SetTrackEnable(index, true);
    animationController->SetTrackSpeed(index, speed);
    record.playing = true;
    record.loop = loop;
    record.disableAtEnd = disableAtEnd;
    record.fadeIn = fadeIn;
    record.fadeOut = fadeOut;
    record.fadeOutElapsed = -1.0f;
}

void WeModel::StopAnimation(int32_t track, float fadeOut)
{
    if (!ValidTrack(track) || !tracks[size_t(track)].playing)
        return;
    WeModelTrack& record = tracks[size_t(track)];
    if (fadeOut == 0.0f)
    {
        record.playing = false;
        animationController->SetTrackEnable(uint32_t(track), false);
        return;
    }
    record.fadeOut = fadeOut;
    record.fadeOutElapsed = 0.0f;
}

void WeModel::AdvanceAnimation(float speedFactor)
{
    if (!animationController)
        return;
    const float dt = timer.deltaTime * speedFactor;
    animationController->AdvanceTime(dt);
    for (uint32_t index = 0; index < tracks.size(); ++index)
    {
        WeModelTrack& record = tracks[index];
        const AnimationSet* set = animationController->GetTrackAnimationSet(index);
        if (!record.playing || !set)
            continue;
        TrackDesc desc;
        animationController->GetTrackDesc(index, &desc);
        if (desc.speed == 0.0f)
        {
            if (record.finished)
            {
                animationController->SetTrackEnable(index, false);
                record.finished = record.playing = false;
            }
            continue;
        }
        const double period = set->GetPeriod();
        const bool fading = record.fadeOutElapsed >= 0.0f;
        if (fading)
            record.fadeOutElapsed += dt;
        const bool stops = fading ? record.fadeOutElapsed >= record.fadeOut
                                  : !record.loop && desc.position >= period - kEndMargin;
        if (stops)
        {
            if (fading)
                record.fadeOutElapsed = -1.0f;
            animationController->SetTrackPosition(index, period - kEndMargin);
            animationController->AdvanceTime(kPoseStep);
            animationController->SetTrackSpeed(index, 0.0f);
            if (record.disableAtEnd)
                record.finished = true;
            continue;
        }
        double weight = 1.0;
        if (fading)
            weight = 1.0 - record.fadeOutElapsed / record.fadeOut;
        else if (desc.position < record.fadeIn)
            weight = desc.position / record.fadeIn;
        else if (!record.loop && desc.position > period - record.fadeOut)
            weight = (period - desc.position) / record.fadeOut;
        animationController->SetTrackWeight(index, float(weight));
    }
}

void WeModel::UpdateFrameMatrices(const WeMatrix& parentMatrix, bool resetHistory)
{
    if (!rootFrame)
        return;
    rootFrame->UpdateWorldMatrices(parentMatrix, resetHistory);
    rootFrame->UpdateSkinMatrices();
    world = rootFrame->world;
}

WeModelManager::~WeModelManager()
{
    FreeAll();
}

WeVirtualFileSystem* WeModelManager::CurrentFileSystem() const
{
    return fileSystem ? fileSystem : WeVirtualFileSystem::GetFileSystem();
}

WeModel* WeModelManager::CreateInstance(const WeModel* prototype)
{
    if (!prototype)
        return nullptr;
    auto* model = new WeModel(prototype->animated);
    prototype->CopyTo(*model);
    return model;
}

WeModel* WeModelManager::Load(const WeString& name, int32_t materialSet)
{
    if (name.IsEmpty())
        return nullptr;
    const WeString key = name.ToLower();
    WeModel* prototype = nullptr;
    if (prototypes.Find(key, prototype))
    {
        prototype->LoadMaterials(materialSet);
        return CreateInstance(prototype);
    }
    WeVirtualFileSystem* files = CurrentFileSystem();
    std::unique_ptr<WeModel> model;
    if (files && files->Exists(name, WeAssetType::Mesh))
    {
        model = std::make_unique<WeModel>(false);
        model->name = name;
        model->mesh = meshManager.Load(name);
        if (!model->mesh)
            return nullptr;
        model->LoadMaterials(materialSet);
    }
    if (files && files->Exists(name, WeAssetType::AnimatedModel))
    {
        auto loaded = std::make_unique<WeModel>(true);
        if (!loaded->LoadHierarchy(files, name, true))
            return nullptr;
        loaded->LoadMaterials(materialSet);
        prototypes.Insert(key, loaded.get());
        return CreateInstance(loaded.release());
    }
    return model.release();
}

void WeModelManager::FreeAll()
{
    prototypes.ForEach([](const WeString&, WeModel* prototype) { delete prototype; });
    prototypes.Clear();
}
