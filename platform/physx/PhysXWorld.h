// Inside the physics layer (its sources only): a scene's Bullet world, the touches it tracks
// from step to step and the reports it holds for the next fetch.
#pragma once

#include "physx/PhysXScene.h"

#include <BulletSoftBody/btSoftBody.h>
#include <BulletSoftBody/btSoftBodyRigidBodyCollisionConfiguration.h>
#include <BulletSoftBody/btSoftRigidDynamicsWorld.h>
#include <btBulletDynamicsCommon.h>

#include <unordered_map>
#include <vector>

namespace physx
{

// What a Bullet collision object stands for (its user index); its user pointer is the Actor,
// the trigger Shape or the Cloth.
enum ObjectKind : int
{
    kBodyObject = 1,
    kTriggerObject = 2,
    kClothObject = 3,
};

inline btVector3 ToBullet(const Vec3& v)
{
    return {v.x, v.y, v.z};
}

inline Vec3 FromBullet(const btVector3& v)
{
    return {v.x(), v.y(), v.z()};
}

inline btTransform ToBullet(const Mat34& pose)
{
    const auto& m = pose.M.m;
    const btMatrix3x3 basis(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
    return btTransform(basis, ToBullet(pose.t));
}

inline Mat34 FromBullet(const btTransform& transform)
{
    Mat34 pose;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            pose.M.m[row][column] = transform.getBasis()[row][column];
    pose.t = FromBullet(transform.getOrigin());
    return pose;
}

struct Scene::World
{
    World(Scene& scene, const SceneDesc& desc);
    ~World();

    // Whether two collision objects may touch (groups, flags, kinds); Bullet asks once per new pair.
    bool MayTouch(const btCollisionObject& a, const btCollisionObject& b) const;
    // Drops the object's pairs and lets the filter judge them again.
    void Refilter(btCollisionObject& object) { dynamics.refreshBroadphaseProxy(&object); }
    // After a step: touches, overlaps and sleep changes become reports.
    void ScanContacts(float seconds);
    void ScanSleep();
    // The actor is gone: it leaves every list and touch.
    void Forget(const Actor& actor);

    void Touching(Actor* a, Actor* b, const btPersistentManifold* manifold, bool report);
    void Overlapping(Shape& trigger, Shape& other);
    // Queues a contact report and returns its index.
    uint32_t QueueContact(Actor* const (&pair)[2], ContactPairFlag event);
    void QueueTrigger(Shape& trigger, Shape& other, ShapeFlag status);
    // The points and forces of the step's touching manifolds go to their reports.
    void AddContactPoints(float seconds);

    struct PairFilter : btOverlapFilterCallback
    {
        explicit PairFilter(const World& world) : world(world) {}
        bool needBroadphaseCollision(btBroadphaseProxy* a, btBroadphaseProxy* b) const override;
        const World& world;
    };

    // Bullet's soft-rigid world with materials combined by their average before each solve.
    struct Dynamics : btSoftRigidDynamicsWorld
    {
        Dynamics(World& world);
        void calculateSimulationIslands() override;
        World& owner;
    };

    struct Touch
    {
        Actor* actors[2];
        uint32_t stamp;
        uint32_t contact; // the report of the current step, or UINT32_MAX
    };

    struct Overlap
    {
        Shape* trigger;
        Shape* other;
        uint32_t stamp;
    };

    enum class ReportKind : uint8_t
    {
        contact,
        trigger,
        wake,
        sleep,
    };

    // A queued report: an index into the queue of its kind (contact, trigger), or a range of
    // `actors` (wake, sleep).
    struct Report
    {
        ReportKind kind;
        uint32_t first;
        uint32_t count;
    };

    struct QueuedContact
    {
        Actor* actors[2];
        uint32_t events;
        Vec3 normalForce;
        Vec3 frictionForce;
        uint32_t firstPatch;
        uint32_t patchCount;
    };

    struct QueuedTrigger
    {
        Shape* trigger;
        Shape* other;
        ShapeFlag status;
    };

    Scene& scene;
    btSoftBodyRigidBodyCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher;
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    PairFilter filter;
    Dynamics dynamics;
    btSoftBodyWorldInfo weightless; // for cloths without gravity

    std::vector<Actor*> bodies;          // every dynamic actor
    std::vector<Actor*> moving;          // actors with motion pending for the next simulate
    std::vector<Actor*> triggerCarriers; // dynamic actors with trigger shapes

    uint32_t stamp = 0;
    std::unordered_map<uint64_t, Touch> touches;
    std::unordered_map<uint64_t, Overlap> overlaps;
    std::vector<std::pair<uint32_t, const btPersistentManifold*>> stepManifolds;

    std::vector<Report> reports;
    std::vector<QueuedContact> contacts;
    std::vector<ContactPatch> patches;
    std::vector<Vec3> points;
    std::vector<QueuedTrigger> triggers;
    std::vector<Actor*> actors;
    std::vector<std::unique_ptr<Actor>> released; // released while reports may still name them
    bool delivering = false;
};

} // namespace physx
