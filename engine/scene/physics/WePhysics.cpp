#include "WePhysics.h"

#include "WeActor.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WePhysicHandle.h"
#include "WePhysicModel.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "physx/PhysXSdk.h"
#include "win32/Win32Library.h"

#include <algorithm>

namespace
{

// The scene's timing when nothing else is set; Init gives it the configured one.
constexpr float kSceneMaxTimestep = 1.0f / 60.0f;
constexpr uint32_t kSceneMaxIterations = 8;

bool& AlwaysUseDeltaTime()
{
    static bool& value = WeConfig::GetBool("engine.Physics.AlwaysUseDeltaTime", false);
    return value;
}

WeVector ToEngine(const physx::Vec3& v)
{
    return {v.x, v.y, v.z};
}

} // namespace

// The report objects the scene calls back during fetchResults, and the ray report.
struct WePhysics::Reports : physx::UserContactReport, physx::UserTriggerReport, physx::UserNotify
{
    void onContactNotify(physx::ContactPair& pair, uint32_t events) override
    {
        if (pair.isDeletedActor[0] || pair.isDeletedActor[1])
            return;
        WeActor* first = OwnerOf(pair.actors[0]);
        WeActor* second = OwnerOf(pair.actors[1]);
        if (!first || !second || physics.Teleport(first, second, events) || !physics.contactHook)
            return;
        physx::Vec3 point;
        physx::ContactStreamIterator walk(pair.stream);
        if (walk.goNextPair() && walk.goNextPatch() && walk.goNextPoint())
            point = walk.getPoint();
        physics.contactHook(first, second, &pair.sumNormalForce.x, &pair.sumFrictionForce.x, events,
                            &point.x);
    }

    void onTrigger(physx::Shape& triggerShape, physx::Shape& otherShape, physx::ShapeFlag status) override
    {
        if (!physics.triggerHook)
            return;
        WeActor* trigger = OwnerOf(&triggerShape.getActor());
        WeActor* other = OwnerOf(&otherShape.getActor());
        if (trigger && other)
            physics.triggerHook(trigger, other, status);
    }

    void onWake(physx::Actor** actors, uint32_t count) override { Walk(actors, count, physics.wakeHook); }
    void onSleep(physx::Actor** actors, uint32_t count) override { Walk(actors, count, physics.sleepHook); }

    // The walk ends at the first SDK actor without a handle.
    static void Walk(physx::Actor** actors, uint32_t count, ActorHook hook)
    {
        for (uint32_t i = 0; i < count && actors[i]->userData; ++i)
        {
            auto* handle = static_cast<WePhysicHandle*>(actors[i]->userData);
            if (hook && handle->owner)
                hook(handle->owner);
        }
    }
};

WePhysics::Reports WePhysics::reports;

namespace
{

class RaycastReport : public physx::UserRaycastReport
{
public:
    explicit RaycastReport(WeList<WeRaycastHit>& hits) : hits(hits) {}

    bool onHit(const physx::RaycastHit& hit) override
    {
        WeRaycastHit& entry = hits.PushBack();
        entry = {};
        const auto* handle = static_cast<const WePhysicHandle*>(hit.shape->getActor().userData);
        entry.actor = handle ? handle->owner : nullptr;
        entry.model = entry.actor ? entry.actor->model.get() : nullptr;
        entry.point = ToEngine(hit.worldImpact);
        entry.normal = ToEngine(hit.worldNormal);
        entry.faceId = hit.faceID;
        entry.materialIndex = hit.materialIndex;
        entry.distance = hit.distance;
        entry.u = hit.u;
        entry.v = hit.v;
        return true;
    }

private:
    WeList<WeRaycastHit>& hits;
};

} // namespace

WePhysics::~WePhysics()
{
    Shutdown();
    FreeMeshCache();
}

WeActor* WePhysics::OwnerOf(const physx::Actor* actor)
{
    const auto* handle = actor ? static_cast<const WePhysicHandle*>(actor->userData) : nullptr;
    WeActor* owner = handle ? handle->owner : nullptr;
    return owner && !owner->dead ? owner : nullptr;
}

bool WePhysics::Init(const float* newGravity, bool wanted)
{
    if (initialised)
        return true;
    sdkWanted = wanted;
    sdk = nullptr;
    if (sdkWanted)
    {
        const auto create = reinterpret_cast<physx::NxCreatePhysicsSDKProc>(
            WeGetLibraryProc("PhysXLoader.dll", "NxCreatePhysicsSDK"));
        sdk = create ? create(sdkVersion, nullptr) : nullptr;
        if (!sdk)
        {
            engine.lastError = "Error: Cannot initialize PhysX engine";
            return false;
        }
        sdk->setParameter(physx::NX_CONTINUOUS_CD, 1.0f);
    }
    OnSdkCreated();
    std::copy(newGravity, newGravity + 3, gravity);
    accumulator = 0.0f;
    stepDue = true;
    if (sdk)
    {
        physx::SceneDesc desc;
        desc.gravity = {gravity[0], gravity[1], gravity[2]};
        desc.maxTimestep = kSceneMaxTimestep;
        desc.maxIter = kSceneMaxIterations;
        hardwareScene = sdk->getHWVersion() != physx::NX_HW_VERSION_NONE;
        desc.simType = hardwareScene ? physx::NX_SIMULATION_HW : physx::NX_SIMULATION_SW;
        scene = sdk->createScene(desc);
    }
    if (scene)
    {
        scene->setUserContactReport(&reports);
        scene->setUserTriggerReport(&reports);
        scene->setUserNotify(&reports);
    }
    SetMaterial(0, WeConfig::GetFloat("engine.Physics.Restitution", 0.0f),
                WeConfig::GetFloat("engine.Physics.StaticFriction", 0.5f),
                WeConfig::GetFloat("engine.Physics.DynamicFriction", 0.5f));
    variableSteps = WeConfig::GetBool("engine.Physics.VariableTimeSteps", false) ? 1 : 0;
    step = 1.0f / std::max(WeConfig::GetFloat("engine.Physics.TimeSteps", 60.0f), 0.001f);
    maxIterations = std::max(WeConfig::GetInt("engine.Physics.MaxIterations", 8), 1);
    WeConfig::GetBool("debug.Physics.Disable", false);
    if (scene)
        scene->setTiming(step, uint32_t(maxIterations),
                         variableSteps ? physx::NX_TIMESTEP_VARIABLE : physx::NX_TIMESTEP_FIXED);
    if (sdk)
        sdk->setParameter(physx::NX_CCD_EPSILON, 0.01f);
    initialised = true;
    paused = false;
    // Pools torn down by an earlier Shutdown serve again.
    WeActorHandle::SetPooling(true);
    WeClothHandle::SetPooling(true);
    if (sdkWanted)
    {
        const auto getCooking = reinterpret_cast<physx::NxGetCookingLibProc>(
            WeGetLibraryProc("PhysXLoader.dll", "NxGetCookingLib"));
        cookingLibrary = getCooking ? getCooking(sdkVersion) : nullptr;
    }
    return true;
}

void WePhysics::AccumulateTime()
{
    if (variableSteps || AlwaysUseDeltaTime())
        return;
    accumulator += timer.deltaTime;
    if (accumulator >= 0.0f)
        stepDue = true;
}

bool WePhysics::IsStepDue() const
{
    return variableSteps == 1 || AlwaysUseDeltaTime() || stepDue;
}

void WePhysics::FetchResults()
{
    if (!initialised || paused || !scene)
        return;
    if (!variableSteps)
        stepDue = false;
    AccumulateTime();
    if (!IsStepDue())
        return;
    scene->fetchResults(physx::NX_RIGID_BODY_FINISHED, true);
    for (WeActor* traveller : pendingPoses)
    {
        traveller->SetMatrix(traveller->teleportPose);
        traveller->OnPhysicsPose();
        traveller->teleportPending = false;
    }
    // Emptied now rather than at the next Simulate: no pointer outlives the fetch that used it.
    pendingPoses.Clear();
}

void WePhysics::Simulate()
{
    if (!initialised || paused || !scene || !IsStepDue())
        return;
    pendingPoses.Clear();
    if (variableSteps != 1 && !AlwaysUseDeltaTime())
    {
        elapsed = 0.0f;
        for (int32_t i = 0; accumulator >= 0.0f && i < maxIterations; ++i)
        {
            elapsed += step;
            accumulator -= step;
        }
    }
    else
    {
        elapsed = timer.deltaTime;
    }
    scene->simulate(elapsed);
    scene->flushStream();
}

bool WePhysics::Teleport(WeActor* first, WeActor* second, uint32_t events)
{
    if (events != physx::NX_NOTIFY_ON_START_TOUCH || (!first->teleport && !second->teleport))
        return false;
    WeActor* gate = first->teleport ? first : second;
    WeActor* traveller = gate == first ? second : first;
    WeActor* target = gate->teleportTarget.IsEmpty() || !gate->scene
                          ? nullptr
                          : gate->scene->FindActor(gate->teleportTarget);
    if (target && !traveller->teleportPending)
    {
        traveller->teleportPending = true;
        traveller->teleportPose = target->GetWorldMatrix();
        pendingPoses.PushBack(traveller);
    }
    return true;
}

bool WePhysics::Raycast(const float* origin, const float* direction, uint32_t shapesType,
                        WeList<WeRaycastHit>& hits, uint32_t groups, float maxDistance, uint32_t hintFlags)
{
    if (!initialised || !scene)
        return false;
    RaycastReport report(hits);
    const physx::Ray ray{{origin[0], origin[1], origin[2]}, {direction[0], direction[1], direction[2]}};
    return scene->raycastAllShapes(ray, report, physx::ShapesType(shapesType), groups, maxDistance,
                                   hintFlags) > 0;
}

void WePhysics::ReleaseActor(physx::Actor* actor)
{
    if (actor && initialised && scene)
        scene->releaseActor(*actor);
}

void WePhysics::ReleaseCloth(physx::Cloth* cloth)
{
    if (cloth && initialised && scene)
        scene->releaseCloth(*cloth);
}

void WePhysics::SetShapesGroup(physx::Actor* actor, uint16_t group)
{
    if (!actor)
        return;
    for (uint32_t i = 0; i < actor->getNbShapes(); ++i)
        actor->getShapes()[i]->setGroup(GroupOf(group));
}

void WePhysics::SetMaterial(uint16_t index, float restitution, float staticFriction, float dynamicFriction)
{
    physx::Material* material = scene ? scene->getMaterialFromIndex(index) : nullptr;
    if (material)
        material->loadFromDesc({dynamicFriction, staticFriction, restitution});
}

void WePhysics::FreeMeshCache()
{
    meshActorCache.ForEach([](const WeString&, WeMeshActorDesc* desc) { delete desc; });
    meshActorCache.Clear();
}

void WePhysics::Shutdown()
{
    if (!initialised)
        return;
    WeActorHandle::DestroyPool();
    WeClothHandle::DestroyPool();
    FreeMeshCache();
    pendingPoses.Clear();
    if (scene)
        sdk->releaseScene(*scene);
    scene = nullptr;
    if (sdk)
        sdk->release();
    sdk = nullptr;
    cookingLibrary = nullptr;
    initialised = false;
}
