// A physics scene: actors, cloths and materials stepped together over Bullet.
//
// simulate(elapsed) runs whole steps at once on the calling thread: with the fixed method the
// elapsed time is cut into steps of the maximum time step (at most maxIter of them, the rest
// under one step carried to the next call), with the variable method it is one step. What the
// steps found is reported at the next fetchResults, on its thread, in the order it happened: per
// step the contact reports, then the trigger reports, then the bodies that woke, then those that
// fell asleep. Cloths write their receive buffers at the fetch as well.
//
// No pair flags exist here: every pair of actors that touches is reported, with exactly one
// event per report: NX_NOTIFY_ON_START_TOUCH in the step the touch begins, NX_NOTIFY_ON_TOUCH in
// each later step while it lasts and one of the two is awake, NX_NOTIFY_ON_END_TOUCH in the step
// it ends. Trigger shapes report enter, stay and leave as their trigger bits ask.
//
// Materials combine by the average of the two sides, for friction and restitution alike; the
// dynamic friction is the one Bullet applies. Collision groups 0 to 31 collide with each other
// unless setGroupCollisionFlag says otherwise; actors touch only when one of them is a dynamic,
// non-kinematic body (triggers: when one of them is dynamic).
#pragma once

#include "physx/PhysXActor.h"
#include "physx/PhysXCloth.h"

#include <memory>
#include <vector>

namespace physx
{

class PhysicsSDK;

struct SceneDesc
{
    Vec3 gravity;
    float maxTimestep = 1.0f / 60.0f;
    uint32_t maxIter = 8;
    TimeStepMethod timeStepMethod = NX_TIMESTEP_FIXED;
    SimulationType simType = NX_SIMULATION_SW; // kept: every scene is simulated in software
};

// Bullet knows one friction for sliding and sticking alike: the dynamic friction; the static
// friction is kept.
struct MaterialDesc
{
    float dynamicFriction = 0.5f;
    float staticFriction = 0.5f;
    float restitution = 0.0f;
};

class Material
{
public:
    void loadFromDesc(const MaterialDesc& desc) { values = desc; }
    float getDynamicFriction() const { return values.dynamicFriction; }
    float getRestitution() const { return values.restitution; }

private:
    MaterialDesc values;
};

// The contact points of one report, in patches (one per touching pair of Bullet shapes).
struct ContactPatch
{
    uint32_t firstPoint = 0;
    uint32_t pointCount = 0;
};

struct ContactStream
{
    const ContactPatch* patches = nullptr;
    uint32_t patchCount = 0;
    const Vec3* points = nullptr;
};

// Walks a contact stream: one pair, its patches, each patch's points.
class ContactStreamIterator
{
public:
    explicit ContactStreamIterator(const ContactStream& stream) : stream(stream) {}
    bool goNextPair();
    bool goNextPatch();
    bool goNextPoint();
    const Vec3& getPoint() const { return stream.points[stream.patches[patch].firstPoint + point]; }

private:
    ContactStream stream;
    bool pairTaken = false;
    int64_t patch = -1;
    int64_t point = -1;
};

struct ContactPair
{
    Actor* actors[2] = {nullptr, nullptr};
    ContactStream stream;
    Vec3 sumNormalForce;                     // on the first actor, summed over the step's points
    Vec3 sumFrictionForce;                   // on the first actor
    bool isDeletedActor[2] = {false, false}; // released since the step: do not touch it
};

class UserContactReport
{
public:
    virtual ~UserContactReport() = default;
    virtual void onContactNotify(ContactPair& pair, uint32_t events) = 0;
};

class UserTriggerReport
{
public:
    virtual ~UserTriggerReport() = default;
    // status: NX_TRIGGER_ON_ENTER, NX_TRIGGER_ON_STAY or NX_TRIGGER_ON_LEAVE.
    virtual void onTrigger(Shape& triggerShape, Shape& otherShape, ShapeFlag status) = 0;
};

class UserNotify
{
public:
    virtual ~UserNotify() = default;
    virtual void onWake(Actor** actors, uint32_t count) = 0;
    virtual void onSleep(Actor** actors, uint32_t count) = 0;
};

struct RaycastHit
{
    Shape* shape = nullptr;
    Vec3 worldImpact;
    Vec3 worldNormal;    // facing the ray
    uint32_t faceID = 0; // the triangle of a mesh, else 0
    uint16_t materialIndex = 0;
    float distance = 0.0f;
    float u = 0.0f, v = 0.0f; // the impact is (1 - u - v) v0 + u v1 + v v2 of the triangle
};

class UserRaycastReport
{
public:
    virtual ~UserRaycastReport() = default;
    // False stops the cast.
    virtual bool onHit(const RaycastHit& hit) = 0;
};

struct DebugLine
{
    Vec3 p0;
    Vec3 p1;
    uint32_t color = 0; // ARGB
};

class DebugRenderable
{
public:
    uint32_t getNbLines() const { return static_cast<uint32_t>(lines.size()); }
    const DebugLine* getLines() const { return lines.data(); }

    std::vector<DebugLine> lines;
};

class Scene
{
public:
    PhysicsSDK& getPhysicsSDK() const { return sdk; }
    void setUserContactReport(UserContactReport* report) { contactReport = report; }
    void setUserTriggerReport(UserTriggerReport* report) { triggerReport = report; }
    void setUserNotify(UserNotify* notify) { userNotify = notify; }
    // Index 0 is the default material, which shapes with an unknown index use too; null for
    // an index without a material.
    Material* getMaterialFromIndex(uint16_t index) { return index == 0 ? &defaultMaterial : nullptr; }
    void setTiming(float maxTimestep = 1.0f / 60.0f, uint32_t maxIter = 8,
                   TimeStepMethod method = NX_TIMESTEP_FIXED);

    // Runs the steps the elapsed time covers; nothing while the last simulate is not fetched.
    void simulate(float elapsed);
    // Nothing to send: simulate has already run.
    void flushStream() {}
    // Completes the simulate: writes cloth results and delivers the reports. False when no
    // simulate is waiting.
    bool fetchResults(SimulationStatus status = NX_RIGID_BODY_FINISHED, bool block = true);
    // The number of steps the last simulate ran.
    uint32_t getStepsRun() const { return stepsRun; }

    // Null when the description does not hold: no shape, a size that is not positive, a group
    // past 31, a triangle mesh beside other shapes, a body with neither mass nor density.
    Actor* createActor(const ActorDesc& desc);
    void releaseActor(Actor& actor);
    uint32_t getNbActors() const { return static_cast<uint32_t>(actors.size()); }
    // Null without a cloth mesh, or for a mesh without area.
    Cloth* createCloth(const ClothDesc& desc);
    void releaseCloth(Cloth& cloth);

    void setGroupCollisionFlag(uint16_t group1, uint16_t group2, bool enable);
    bool getGroupCollisionFlag(uint16_t group1, uint16_t group2) const;

    // Reports the nearest hit on each shape along the ray, nearest first, up to maxDist. Only
    // shapes of the given kind (static: of actors without a body), in a group of the mask and
    // without NX_SF_DISABLE_RAYCASTING count. The hint flags are kept; every field is filled.
    // Returns the number of hits reported.
    uint32_t raycastAllShapes(const Ray& worldRay, UserRaycastReport& report, ShapesType shapesType,
                              uint32_t groups = 0xFFFFFFFF, float maxDist = NX_MAX_F32,
                              uint32_t hintFlags = 0xFFFFFFFF);

    // The lines of the last fetch, while the SDK's NX_VISUALIZATION_SCALE is not 0.
    const DebugRenderable* getDebugRenderable() const { return &debugLines; }

    Scene(PhysicsSDK& sdk, const SceneDesc& desc);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

private:
    friend class Actor;
    friend class Cloth;

    // The Bullet world and the report queues, defined with the layer's internals.
    struct World;
    World& world() const { return *bullet; }

    void step(float seconds, uint32_t index, uint32_t count);
    void deliverReports();
    uint32_t nextId() { return ++lastId; }
    // Whether a shape of one group mask collides with a shape of the other.
    bool groupsCollide(uint32_t groupsA, uint32_t groupsB) const;

    PhysicsSDK& sdk;
    std::unique_ptr<World> bullet;
    Material defaultMaterial;
    UserContactReport* contactReport = nullptr;
    UserTriggerReport* triggerReport = nullptr;
    UserNotify* userNotify = nullptr;
    float maxTimestep;
    uint32_t maxIter;
    TimeStepMethod method;
    float owed = 0.0f; // fixed method: time under one step carried to the next simulate
    bool running = false;
    uint32_t stepsRun = 0;
    uint32_t lastId = 0;
    uint32_t groupRows[32];
    std::vector<std::unique_ptr<Actor>> actors;
    std::vector<std::unique_ptr<Cloth>> cloths;
    DebugRenderable debugLines;
};

} // namespace physx
