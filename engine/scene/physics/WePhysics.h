// The engine's one physics world (global `physics`): the SDK and its scene, stepped once per
// engine update with a fixed-step accumulator; the contact, trigger and sleep reports that reach
// actors through their handles; teleports; ray queries; the shape builders and the cache of
// cooked triangle meshes. The engine starts a step at the end of an update and fetches it at the
// start of the next, so the SDK simulates while the frame runs. Without the SDK wanted the world
// still initialises, but creates nothing and every query answers no.
#pragma once

#include "WeCamera.h"
#include "WeHashTable.h"
#include "WeList.h"
#include "physx/PhysXScene.h"

#include <cstdint>

class WeActor;
class WeActorHandle;
class WeClothHandle;
class WeMesh;
class WeMeshActorDesc;
class WeModel;
class WePhysicModel;

namespace physx
{
class CookingInterface;
class PhysicsSDK;
} // namespace physx

struct WeRaycastHit
{
    WeActor* actor = nullptr; // owner of the hit shape, or null
    WeModel* model = nullptr;
    WeVector point;
    WeVector normal;
    uint32_t faceId = 0;
    uint32_t materialIndex = 0;
    float distance = 0.0f;
    float u = 0.0f, v = 0.0f; // barycentric coordinates of the hit on its triangle
};

class WePhysics
{
public:
    static constexpr uint32_t sdkVersion = physx::NX_PHYSICS_SDK_VERSION;

    // first, second, normal force, friction force, events, first contact point
    using ContactHook = void (*)(WeActor*, WeActor*, const float*, const float*, uint32_t, const float*);
    using TriggerHook = void (*)(WeActor* trigger, WeActor* other, uint32_t status);
    using ActorHook = void (*)(WeActor*);

    WePhysics() = default;
    virtual ~WePhysics();
    WePhysics(const WePhysics&) = delete;
    WePhysics& operator=(const WePhysics&) = delete;

    // Called once the SDK exists, before the scene is made.
    virtual void OnSdkCreated() {}

    // gravity: three floats. False only when the SDK was wanted and none resulted.
    bool Init(const float* gravity, bool sdkWanted);
    // Waits for the running step when one is due; its reports arrive here, then teleported
    // actors take their new poses.
    void FetchResults();
    // Starts the next step: the whole fixed steps the accumulator owes (at most maxIterations),
    // or the frame time with variable steps.
    void Simulate();
    bool IsStepDue() const;
    void AccumulateTime();
    // Appends one hit per shape along the ray; true when any shape was hit.
    bool Raycast(const float* origin, const float* direction, uint32_t shapesType, WeList<WeRaycastHit>& hits,
                 uint32_t groups, float maxDistance, uint32_t hintFlags);
    void ReleaseActor(physx::Actor* actor);
    void ReleaseCloth(physx::Cloth* cloth);
    void SetShapesGroup(physx::Actor* actor, uint16_t group);
    void SetMaterial(uint16_t index, float restitution, float staticFriction, float dynamicFriction);
    // Destroys every handle and cooked mesh, then the scene and the SDK.
    void Shutdown();

    // The shape builders: null when the world has no scene or the SDK refuses. An actor's old
    // handle is deleted first.
    WeActorHandle* BuildBox(WeActor* actor, const WeMatrix* worldMatrix, const WeVector* halfExtents,
                            uint16_t group, float mass, bool isStatic, uint16_t shapeFlags,
                            WePhysicModel* model);
    WeActorHandle* BuildSphere(WeActor* actor, const WeVector* position, float radius, uint16_t group,
                               float mass, bool isStatic, uint16_t shapeFlags);
    WeActorHandle* BuildCapsule(WeActor* actor, const WeVector* position, float radius, float height,
                                uint16_t group, float mass, bool isStatic, uint16_t shapeFlags);
    // The mesh is cooked once per path; a failed cook is not kept.
    WeActorHandle* BuildTriangleMesh(WeActor* actor, const WeMatrix* worldMatrix, WeMesh* mesh,
                                     bool isDynamic);
    WeClothHandle* BuildCloth(WeActor* actor, const WeMatrix* worldMatrix, WeMesh* mesh,
                              WePhysicModel* model);

    // Groups stored in files are 16-bit; the SDK knows 0 to 31.
    static uint16_t GroupOf(uint16_t group) { return group & 31; }
    // The cloth flags a model asks for.
    static uint32_t ClothFlags(const WePhysicModel& model);

    bool hardwareScene = false;
    bool initialised = false;
    int32_t variableSteps = 0;
    float step = 1.0f / 60.0f;
    int32_t maxIterations = 8;
    bool stepDue = false;
    float accumulator = 0.0f;
    physx::PhysicsSDK* sdk = nullptr;
    physx::Scene* scene = nullptr;
    float gravity[3] = {0.0f, 0.0f, 0.0f};
    ContactHook contactHook = nullptr;
    TriggerHook triggerHook = nullptr;
    ActorHook sleepHook = nullptr;
    ActorHook wakeHook = nullptr;
    WeHashTable<WeMeshActorDesc*> meshActorCache;
    WeList<WeActor*> pendingPoses;
    bool sdkWanted = false;
    physx::CookingInterface* cookingLibrary = nullptr;
    bool paused = false;
    float elapsed = 0.0f;

private:
    // The contact, trigger and sleep reports the scene delivers during fetchResults.
    struct Reports;
    static Reports reports;

    // The actor a report names through SDK actor, handle and owner; null when any link is
    // missing or the owner is dead.
    static WeActor* OwnerOf(const physx::Actor* actor);
    // A start of touch with a teleport sends the other actor to the target; true when the
    // contact was a teleport's (sent or refused).
    bool Teleport(WeActor* first, WeActor* second, uint32_t events);
    void FreeMeshCache();
    WeActorHandle* CreateHandle(WeActor* owner, const physx::ActorDesc& desc);
    // The shared work of the box, sphere and capsule builders.
    WeActorHandle* BuildPrimitive(WeActor* actor, physx::ActorDesc& desc, physx::ShapeDesc& main,
                                  physx::ShapeDesc& plain, uint16_t shapeFlags);
};

extern WePhysics physics;
