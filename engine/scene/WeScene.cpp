#include "WeScene.h"

#include "WeCameraActor.h"
#include "WeCanvas.h"
#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeFont.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeParticleSystem.h"
#include "WePathNode.h"
#include "WePortal.h"
#include "WePostProcess.h"
#include "WeRecordReader.h"
#include "WeRenderDevice.h"
#include "WeRenderQueue.h"
#include "WeSceneRenderer.h"
#include "WeShadowMapRenderer.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "physics/WePhysicHandle.h"
#include "physx/PhysXActor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace
{

// The smallest embedded actor record of an old config: a version-2 record with empty strings.
constexpr int64_t minimumActorRecord = 4;

// Timed sites of the frame, in the timer's table of profile slots.
constexpr int32_t reflectionProfileSlot = 74, preparationProfileSlot = 75, renderProfileSlot = 76;

void ReadColor(WeRecordReader& reader, WeColor& color)
{
    reader.ReadFloats(&color.r, 4);
}

void DropStrings(WeRecordReader& reader, int32_t count)
{
    WeString dropped;
    for (int32_t i = 0; i < count; ++i)
        reader.ReadString(dropped);
}

// Old configs carried actors of their own; they are read and dropped.
void DropEmbeddedActors(WeRecordReader& reader)
{
    const int32_t count = reader.ReadCount(minimumActorRecord);
    for (int32_t i = 0; i < count && reader.Ok(); ++i)
    {
        WeActor scratch;
        if (!scratch.Load(reader))
            reader.Fail();
        reader.Skip(4);
    }
}

// Path nodes, portals and camera actors change nothing of what the scene's frames draw.
bool DrawsOrLights(const WeActor& actor)
{
    return actor.type != WeActorTypePathNode && actor.type != WeActorTypePortal &&
           actor.type != WeActorTypeCamera;
}

// Kept for the process: the debug drawing's box, sphere, path node, light and axes. A forced free
// of every mesh (a shut-down) takes their meshes, and the next scene loads them again.
struct DebugAssets
{
    static constexpr size_t box = 0;

    bool Current() const { return loadedAtFree == meshManager.forcedFrees; }

    std::unique_ptr<WeModel> models[5];
    int32_t loadedAtFree = -1; // the mesh manager's count of forced frees when they were loaded
};

DebugAssets& SharedDebugAssets()
{
    static DebugAssets assets;
    return assets;
}

} // namespace

bool WeSceneConfig::Read(WeRecordReader& reader)
{
    const int32_t v = reader.ReadInt();
    if (v < 20)
    {
        DropStrings(reader, v >= 11 ? 4 : 3);
        reader.Skip(v >= 2 && v < 17 ? 8 : 4);
        DropStrings(reader, 1);
    }
    if (v >= 23)
        ReadColor(reader, backgroundColor);
    if (v >= 3)
        ReadColor(reader, AmbientColor);
    if (v >= 22)
        ReadColor(reader, outlineColor);
    if (v >= 4)
    {
        FogEnabled = reader.ReadBool();
        FogStart = reader.ReadFloat();
        FogEnd = reader.ReadFloat();
        if (v >= 15)
        {
            FogMin = reader.ReadFloat();
            FogMax = reader.ReadFloat();
        }
        ReadColor(reader, FogColor);
    }
    if (v >= 5 && v < 9)
        reader.Skip(32);
    if (v < 18)
        DropEmbeddedActors(reader);
    if (v >= 14)
        factorA = reader.ReadFloat();
    if (v >= 6)
    {
        distanceA = reader.ReadFloat();
        if (v < 12)
            DropStrings(reader, 1);
    }
    if (v >= 8 && v < 12)
        DropStrings(reader, 1);
    if (v >= 7)
    {
        FHDRI0 = reader.ReadFloat();
        FHDRI1 = reader.ReadFloat();
        FHDRI2 = reader.ReadFloat();
    }
    if (v >= 16)
    {
        Brightness = reader.ReadFloat();
        Contrast = reader.ReadFloat();
    }
    if (v >= 10 && v < 19)
        reader.Skip(1);
    if (v >= 13)
    {
        distanceB = reader.ReadFloat();
        distanceZ = reader.ReadFloat();
    }
    if (v >= 21)
        reader.ReadFloats(outlineFactors, 4);
    if (!(factorA >= 1.0f))
        factorA = 1.0f;
    if (v >= 24)
    {
        reader.ReadFloats(&vectorA.x, 3);
        reader.ReadFloats(&vectorB.x, 3);
        reader.ReadFloats(&vectorZ.x, 3);
        valueD = reader.ReadFloat();
        valueE = reader.ReadFloat();
        flagF = reader.ReadBool();
        valueG = reader.ReadFloat();
    }
    return reader.Ok();
}

void WeSceneConfig::SetupRenderDevice() const
{
    renderDevice.SetAmbientColor(AmbientColor);
    renderDevice.SetOutlineColor(outlineColor);
    renderDevice.SetFog(FogEnabled, FogColor, FogStart, FogEnd, FogMin, FogMax);
    renderDevice.brightness = Brightness;
    renderDevice.contrast = Contrast;
    renderDevice.hdrFactor = FHDRI1;
    renderDevice.edgeSize = outlineFactors[0];
    renderDevice.normalTimesFactor = outlineFactors[1];
    renderDevice.depthTimesFactor = outlineFactors[2];
    renderDevice.borderDetectionFactor = outlineFactors[3];
}

WeScene::WeScene()
    : octree(std::make_unique<WeSceneTree>(this, octreeCorner, octreeHalfSize, octreeDepthLimit))
{
    DebugAssets& assets = SharedDebugAssets();
    if (assets.Current())
        return;
    assets.loadedAtFree = meshManager.forcedFrees;
    WeBeginFixedLoading();
    materialManager.debug = materialManager.Load("Config.Assets.Debug");
    fonts.GetFont("*:12");
    const char* const names[] = {"Config.Assets.Box1m", "Config.Assets.Sphere1m", "Config.Assets.PathNode",
                                 "Config.Assets.Light", "Config.Assets.gizmo"};
    for (size_t index = 0; index < std::size(names); ++index)
        assets.models[index].reset(modelManager.Load(names[index], 0));
    WeEndFixedLoading();
}

WeScene::~WeScene()
{
    octree.reset();
    WeActor::sceneBeingDestroyed = true;
    for (actors.Reset(); !actors.IsEnd(); actors.Next())
    {
        WeActor* actor = actors.GetValue();
        actor->scene = nullptr;
        delete actor;
    }
    WeActor::sceneBeingDestroyed = false;
    frameStats.actorCount -= actors.GetCount();
}

bool WeScene::BeginLoad(const WeString& mapName)
{
    finished = false;
    open = false;
    loadProgress = 0.0f;
    loadMessage = "";
    mapStream = std::make_unique<WeFileStream>();
    if (!mapStream->Open("Maps\\" + mapName + ".map"))
    {
        mapStream.reset();
        return false;
    }
    WeRecordReader reader(*mapStream, mapStream->GetSize());
    if (reader.ReadInt() >= 1)
    {
        config.Read(reader);
        OnLoadHeader(*mapStream, mapName);
        WeRecordReader sky(*mapStream, mapStream->GetSize() - mapStream->Tell());
        if (reader.Ok() && skyBox.Read(sky))
            skyBox.Resolve();
        else
            reader.Fail();
    }
    if (!reader.Ok())
    {
        loadMessage = "Map " + mapName + ": the header is cut short";
        std::fprintf(stderr, "%s\n", loadMessage.GetData());
        mapStream.reset();
        return false;
    }
    open = true;
    return true;
}

bool WeScene::LoadStep()
{
    if (finished)
        return true;
    if (!open)
        return false;
    if (!mapStream || mapStream->Eof())
    {
        EndLoad(false);
        return false;
    }
    const int64_t start = mapStream->Tell();
    WeRecordReader reader(*mapStream, mapStream->GetSize() - start);
    const int32_t typeId = reader.ReadInt();
    if (!reader.Ok() || typeId == WeActorTypeEnd || mapStream->Eof())
        return FinishLoad();
    std::unique_ptr<WeActor> loaded = CreateActor(typeId);
    WeString where = WeString("the actor record at byte ").AppendInt(int32_t(start));
    if (!loaded)
        return DropRecord(where + " is of a kind this engine cannot read");
    if (!loaded->Load(reader))
        return DropRecord(where + " is damaged or cut short");
    if (loaded->type == WeActorTypeMesh)
    {
        const bool fixed = loaded->IsStaticForPhysics();
        loaded->staticFlags[0] = fixed;
        if (fixed)
            loaded->staticFlags[1] = loaded->staticFlags[2] = true;
    }
    WeActor* actor = loaded.release();
    if (!engine.settings.editorMode)
    {
        WeActor* replacement = OnActorLoaded(actor);
        if (replacement && replacement != actor)
        {
            delete actor;
            actor = replacement;
        }
    }
    actor->fromMap = true;
    FilterLoadedActor(actor);
    if (actor->discard)
        delete actor;
    else
        AddActor(actor);
    loadProgress = float(double(mapStream->Tell()) / double(mapStream->GetSize()));
    if (progressCallback && !progressCallback(loadProgress))
    {
        EndLoad(false);
        return false;
    }
    return mapStream->Eof() ? FinishLoad() : true;
}

bool WeScene::DropRecord(const WeString& reason)
{
    loadMessage = "Map " + mapStream->GetName() + ": " + reason + "; the actors before it are kept";
    std::fprintf(stderr, "%s\n", loadMessage.GetData());
    return FinishLoad();
}

bool WeScene::FinishLoad()
{
    loadProgress = 1.0f;
    if (progressCallback && !progressCallback(loadProgress))
    {
        EndLoad(false);
        return false;
    }
    actors.ForEach(
        [this](const WeString&, WeActor* actor)
        {
            // Cloth is built once every other body of the map exists, to hang on them.
            if (actor->physicModel.type == WePhysicModel::cloth)
            {
                actor->DestroyPhysics();
                actor->CreatePhysics();
            }
            if (actor->model)
                actor->model->GatherLights(this);
        });
    BuildPathGraph(!engine.settings.editorMode, false);
    LinkActors();
    OnLoadFinished(*mapStream);
    EndLoad(true);
    return true;
}

bool WeScene::Load(const WeString& mapName)
{
    if (!BeginLoad(mapName))
        return false;
    while (!finished)
        if (!LoadStep())
            return false;
    return true;
}

void WeScene::EndLoad(bool finishedLoad)
{
    mapStream.reset();
    finished = finishedLoad;
    open = false;
}

std::unique_ptr<WeActor> WeScene::CreateActor(int32_t typeId)
{
    switch (typeId)
    {
    case WeActorTypeCamera:
        return std::make_unique<WeCameraActor>();
    case WeActorTypeLight:
        return std::unique_ptr<WeActor>(new WeLight());
    case WeActorTypeParticleSystem:
        return std::unique_ptr<WeActor>(new WeParticleSystem());
    case WeActorTypePortal:
        return std::make_unique<WePortal>();
    case WeActorTypePathNode:
        return std::make_unique<WePathNode>();
    default:
        return std::make_unique<WeActor>();
    }
}

void WeScene::AddActor(WeActor* actor)
{
    if (!actor || actor->scene == this)
        return;
    if (actor->scene)
        actor->scene->RemoveActor(actor);
    actor->id = ++nextId;
    actor->scene = this;
    actor->indexKey = WeString().AppendInt(actor->id);
    actors.Insert(actor->indexKey, actor);
    actor->creationTime = time;
    if (actor->type == WeActorTypeLight)
        lights.Insert(actor->indexKey, actor, true);
    else if (actor->type == WeActorTypePathNode)
        pathNodes.Insert(actor->indexKey, actor, true);
    else if (actor->type == WeActorTypePortal)
        portals.Insert(actor->indexKey, actor, true);
    else if (actor->type == WeActorTypeCamera)
        cameraActors.Insert(actor->indexKey, actor, true);
    ++frameStats.actorCount;
    contentRevision += DrawsOrLights(*actor) ? 1 : 0;
    actor->OnAddedToScene();
}

void WeScene::IndexActor(WeActor* actor)
{
    const WeString& key = actor->indexKey;
    if (!engine.settings.editorMode)
    {
        if (actor->type == WeActorTypePathNode)
            octree->Insert(actor, false);
        else
            octree->Remove(actor);
    }
    if (actor->type == WeActorTypeLight)
        indexedLights.Insert(key, actor, true);
    const bool allStatic = actor->staticFlags[0] && actor->staticFlags[1] && actor->staticFlags[2];
    actor->needsTick = actor->needsTick || !allStatic || actor->sound || actor->parent ||
                       actor->HasAnimatedModel() || engine.settings.editorMode;
    if (actor->needsTick)
        ticked.Insert(key, actor, true);
    if (actor->HasLifetime())
        timed.Insert(key, actor, true);
    if (!actor->dead && !allStatic)
        StartMoving(actor);
}

void WeScene::StartMoving(WeActor* actor)
{
    if (actor->movingSlot >= 0)
        return;
    actor->movingSlot = int32_t(moving.size());
    moving.push_back(actor);
}

void WeScene::StopMoving(WeActor* actor)
{
    if (actor->movingSlot < 0)
        return;
    WeActor* last = moving.back();
    moving[size_t(actor->movingSlot)] = last;
    last->movingSlot = actor->movingSlot;
    moving.pop_back();
    actor->movingSlot = -1;
}

bool WeScene::RemoveActor(WeActor* actor)
{
    if (!actor || actor->scene != this)
        return false;
    const WeString& key = actor->indexKey;
    for (WeHashTable<WeActor*>* index :
         {&actors, &lights, &indexedLights, &pathNodes, &portals, &cameraActors, &ticked, &timed})
        index->Remove(key);
    StopMoving(actor);
    contentRevision += DrawsOrLights(*actor) ? 1 : 0;
    // A dead actor deleted before the next Tick must not be deleted again there.
    deferredDeletes.Remove(actor);
    actor->scene = nullptr;
    actor->DestroyPhysics();
    octree->Remove(actor);
    --frameStats.actorCount;
    return true;
}

WeActor* WeScene::FindActor(const WeString& actorName)
{
    WeActor* found = nullptr;
    actors.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            if (!found && actor->name == actorName)
                found = actor;
        });
    return found;
}

void WeScene::FindActorsByPrefix(const WeString& prefix, WeList<WeActor*>& found)
{
    found.Clear();
    actors.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            if (actor->name.Substring(0, prefix.GetLength()) == prefix)
                found.PushBack(actor);
        });
}

void WeScene::LinkActors()
{
    actors.ForEach(
        [](const WeString&, WeActor* actor)
        {
            actor->LinkSpawn();
            if (actor->type == WeActorTypePathNode)
                static_cast<WePathNode*>(actor)->ResolveLinks();
        });
}

void WeScene::FilterLoadedActor(WeActor* actor)
{
    // A plain path node at the origin is a leftover of the editor's placing.
    auto* node = dynamic_cast<WePathNode*>(actor);
    if (!node || node->Kind != WePathNode::plain)
        return;
    const WeVector& at = node->GetLocation();
    node->discard = std::fabs(at.x) < 0.001f && std::fabs(at.y) < 0.001f && std::fabs(at.z) < 0.001f;
}

void WeScene::UpdatePortals(const WeCamera& camera)
{
    portals.ForEach([&camera](const WeString&, WeActor* portal)
                    { static_cast<WePortal*>(portal)->Project(camera); });
    // Only linked portals (the second flag) can see each other; one is hidden from the camera by
    // another linked portal between them, and a portal with its third flag clear only by others
    // with it clear too.
    portals.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            auto& portal = static_cast<WePortal&>(*actor);
            portal.mutuallyVisible = portal.flags[1];
            const WeVector place = portal.GetWorldPosition();
            portals.ForEach(
                [&](const WeString&, WeActor* other)
                {
                    const auto& between = static_cast<const WePortal&>(*other);
                    if (portal.mutuallyVisible && &between != &portal && between.flags[1] &&
                        (portal.flags[2] || !between.flags[2]) && between.Separates(place, camera.position))
                        portal.mutuallyVisible = false;
                });
        });
}

namespace
{

// The actor's test points in the camera's clip space: its box's corners with box culling, else
// its sphere's six axis points. Their count.
int32_t ClipTestPoints(const WeActor& actor, const WeCamera& camera, WeVector4 (&out)[8])
{
    WeVector points[8];
    int32_t count = 8;
    if (actor.boxCulling)
        std::copy(std::begin(actor.corners), std::end(actor.corners), points);
    else
    {
        count = 6;
        const float r = actor.sphereRadius;
        const WeVector offsets[6] = {{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, r}, {0, 0, -r}};
        for (int32_t i = 0; i < count; ++i)
            points[i] = actor.sphereCentre + offsets[i];
    }
    for (int32_t i = 0; i < count; ++i)
        out[i] = d3dx::D3DXVec3Transform(points[i], camera.viewProjection);
    return count;
}

} // namespace

bool WeScene::IsVisibleThroughPortals(const WeActor& actor, const WeCamera& camera)
{
    if (!portalCulling)
        return true;
    WeVector4 points[8];
    int32_t count = -1; // made on the first projected portal
    bool visible = true;
    portals.ForEach(
        [&](const WeString&, WeActor* entry)
        {
            const auto& portal = static_cast<const WePortal&>(*entry);
            if (!visible || !portal.projected)
                return;
            if (count < 0)
                count = ClipTestPoints(actor, camera, points);
            visible = !std::all_of(points, points + count,
                                   [&portal](const WeVector4& point) { return portal.Covers(point); });
        });
    return visible;
}

void WeScene::TickActor(WeActor* actor)
{
    if (actor->parent)
    {
        if (actor->parent->lastTickedFrame < frame)
            TickActor(actor->parent);
        actor->UpdateWorldMatrix(true, true, false);
    }
    if (actor->lastTickedFrame < frame)
    {
        actor->lastTickedFrame = frame;
        actor->Tick();
    }
}

namespace
{

// The actors of a frame's walks lie scattered in memory: the walk asks for the front fields of
// the actor some places ahead, and for its model's and handle's once the actor's have come.
constexpr size_t actorLookahead = 16, partLookahead = 8, bodyLookahead = 4;

// Every cache line of the bytes from first to last.
void PrefetchRange(const void* first, const void* last)
{
    constexpr uintptr_t line = 64;
    for (uintptr_t at = reinterpret_cast<uintptr_t>(first) & ~(line - 1);
         at <= reinterpret_cast<uintptr_t>(last); at += line)
        __builtin_prefetch(reinterpret_cast<const void*>(at), 1);
}

void PrefetchActor(const std::vector<WeActor*>& actors, size_t index)
{
    if (index + actorLookahead < actors.size())
    {
        const WeActor* actor = actors[index + actorLookahead];
        PrefetchRange(actor, &actor->physicModel);
    }
    if (index + bodyLookahead < actors.size())
        if (const WePhysicHandle* handle = actors[index + bodyLookahead]->physicsHandle;
            handle && handle->actor)
            handle->actor->prefetchMotion();
    if (index + partLookahead >= actors.size())
        return;
    const WeActor* actor = actors[index + partLookahead];
    if (const WeModel* model = actor->model.get())
    {
        PrefetchRange(model, &model->mergedSphere + 1);
        PrefetchRange(&model->animated, &model->animated + 32);
    }
    if (actor->physicsHandle)
        PrefetchRange(actor->physicsHandle, actor->physicsHandle + 1);
}

} // namespace

void WeScene::PullPhysics()
{
    for (size_t index = 0; index < moving.size(); ++index)
    {
        PrefetchActor(moving, index);
        WeActor* actor = moving[index];
        if (!actor->staticFlags[1] || !actor->staticFlags[2])
        {
            if (actor->model)
                actor->model->previousWorld = actor->GetRenderMatrix();
            actor->renderIndex ^= 1;
        }
        if (!actor->HasActivePhysics())
            continue;
        if (WeClothHandle* cloth = actor->physicsHandle->AsCloth())
            cloth->UpdateRenderCopy();
        else
            actor->SyncPhysics(true);
    }
}

void WeScene::PushPhysics()
{
    // Without pending changes a push only clears what is already clear.
    for (WeActor* actor : moving)
        if (actor->HasPendingChanges() && actor->HasActivePhysics() && !actor->physicsHandle->AsCloth())
            actor->SyncPhysics(false);
}

WeDebugBox& WeScene::AddDebugBox(const WeVector& boxMin, const WeVector& boxMax)
{
    const WeVector size = boxMax - boxMin;
    const WeVector centre = (boxMin + boxMax) * 0.5f;
    WeDebugBox& entry = debugBoxes.PushBack();
    entry.world = d3dx::D3DXMatrixMultiply(d3dx::D3DXMatrixScaling(size.x, size.y, size.z),
                                           d3dx::D3DXMatrixTranslation(centre.x, centre.y, centre.z));
    entry.shown = true;
    return entry;
}

void WeScene::DrawDebugBoxes(const WeCamera* camera)
{
    const DebugAssets& assets = SharedDebugAssets();
    WeModel* box = assets.Current() ? assets.models[DebugAssets::box].get() : nullptr;
    if (!materialManager.debug || !box || !box->mesh)
        return;
    for (const WeDebugBox& entry : debugBoxes)
        for (int32_t subset = 0; entry.shown && subset < box->mesh->subsetCount; ++subset)
            renderQueue.Add(materialManager.debug, nullptr, 0, box, subset, &entry.world, camera);
}

void WeScene::Tick()
{
    ++frame;
    const float delta = timer.deltaTime;
    time += delta;
    debugBoxes.Clear();
    for (timed.Reset(); !timed.IsEnd();)
    {
        WeActor* actor = timed.GetValue();
        timed.Next();
        actor->lifetime -= delta;
        if (actor->lifetime > 0.0f)
            continue;
        actor->Detach();
        actor->Kill();
    }
    PullPhysics();
    for (ticked.Reset(); !ticked.IsEnd();)
    {
        WeActor* actor = ticked.GetValue();
        ticked.Next();
        // The next entry is asked for while this actor ticks.
        if (!ticked.IsEnd())
            __builtin_prefetch(&ticked.GetValue());
        if (!actor->dead)
            TickActor(actor);
    }
    PushPhysics();
    while (!deferredDeletes.IsEmpty())
        delete deferredDeletes.First(); // its removal takes it off the list
}

void WeScene::Render(WeCamera* camera)
{
    canvas.Flush();
    renderDevice.SetCamera(camera);
    if (camera)
        UpdatePortals(*camera);
    if (renderDevice.reflectionQuality > 1)
    {
        const WeProfileScope profile(timer.profileSlots[reflectionProfileSlot],
                                     "Reflection Renderer - Render");
        reflectionRenderer.Render(this, camera);
    }
    shadowMapRenderer.Prepare(this, camera);
    {
        const WeProfileScope profile(timer.profileSlots[preparationProfileSlot], "Scene Renderer - Prepare");
        sceneRenderer.Prepare(this, camera);
    }
    shadowMapRenderer.Render(this, camera);
    const bool postProcessing = postProcess.IsActive();
    if (postProcessing)
        postProcess.BeginCapture();
    if (config.clearBackground || config.clearDepth)
        WeRenderDevice::Clear(config.clearBackground, config.backgroundColor, config.clearDepth, 1.0f,
                              renderDevice.stencilOn, 0);
    if (WeTexture* sky = skyBox.GetFlatTexture())
    {
        const d3d9::PresentParameters& screen = renderDevice.presentParameters;
        canvas.DrawRectangle(0, 0, int32_t(screen.backBufferWidth), int32_t(screen.backBufferHeight),
                             0xFFFFFFFFu, sky, BLENDMODE_NORMAL);
        canvas.Flush();
    }
    DrawDebugBoxes(camera);
    {
        const WeProfileScope profile(timer.profileSlots[renderProfileSlot], "Scene Renderer - Render");
        sceneRenderer.Render();
    }
    if (postProcessing)
    {
        postProcess.EndCapture();
        postProcess.Render();
    }
    WeFrameStats::PerFrame& counts = frameStats.frame;
    counts.drawnTotal = counts.drawnSolid + counts.drawnBackground + counts.drawnAlpha + counts.drawnLast;
    counts.queuedTotal =
        counts.queuedSolid + counts.queuedBackground + counts.queuedAlpha + counts.queuedLast;
}

bool WeScene::WarmUp(WeCamera* camera, double milliseconds)
{
    const bool unlit = !finished && lights.GetCount() == 0;
    const bool warm = warmedRevision == contentRevision && (unlit || !warmedUnlit);
    if (warm || !renderDevice.created || !renderDevice.ready || renderDevice.lost)
        return true;
    actors.ForEach(
        [this](const WeString&, WeActor* actor)
        {
            if (actor->model)
                actor->model->GatherLights(this);
        });
    sceneRenderer.BeginWarmUp(milliseconds, unlit);
    Render(camera);
    const bool complete = sceneRenderer.EndWarmUp();
    if (complete)
    {
        warmedRevision = contentRevision;
        warmedUnlit = unlit;
    }
    return complete;
}
