// Actors and their shapes. An actor is static (no body) or dynamic (a body with mass); its
// shapes are boxes, spheres, capsules or one triangle mesh, each with a pose relative to the
// actor, a collision group (0 to 31), a material and flags. A shape with trigger flags does not
// collide: it reports the shapes that overlap it. Bodies turn about the actor's origin.
//
// Kinematic bodies (NX_BF_KINEMATIC) follow their move operations: a move sets a target that
// the body reaches, in equal parts, over the steps of the next simulate. The move operations do
// nothing for other bodies; the set operations teleport any actor.
#pragma once

#include "physx/PhysXTypes.h"

#include <memory>
#include <vector>

class btCollisionObject;
class btCollisionShape;
class btCompoundShape;
class btRigidBody;
class btTransform;
class btVector3;

namespace physx
{

class Actor;
class Scene;
class TriangleMesh;
struct CCDSkeleton;

struct ShapeDesc
{
    ShapeType type;
    Mat34 localPose;
    uint32_t shapeFlags = NX_SF_VISUALIZATION; // NX_SF_DYNAMIC_DYNAMIC_CCD is kept: sweeps meet every body
    uint16_t group = 0;                        // 0 to 31
    uint16_t materialIndex = 0;

protected:
    explicit ShapeDesc(ShapeType type) : type(type) {}
};

struct BoxShapeDesc : ShapeDesc
{
    Vec3 dimensions{1.0f, 1.0f, 1.0f}; // half extents
    BoxShapeDesc() : ShapeDesc(NX_SHAPE_BOX) {}
};

struct SphereShapeDesc : ShapeDesc
{
    float radius = 1.0f;
    SphereShapeDesc() : ShapeDesc(NX_SHAPE_SPHERE) {}
};

// Along the actor's Y axis; height is the distance between the centres of the end spheres.
struct CapsuleShapeDesc : ShapeDesc
{
    float radius = 1.0f;
    float height = 1.0f;
    CapsuleShapeDesc() : ShapeDesc(NX_SHAPE_CAPSULE) {}
};

struct TriangleMeshShapeDesc : ShapeDesc
{
    TriangleMesh* meshData = nullptr;
    MeshPagingMode meshPagingMode = NX_MESH_PAGING_MANUAL; // kept; meshes always stay in memory
    TriangleMeshShapeDesc() : ShapeDesc(NX_SHAPE_MESH) {}
};

struct BodyDesc
{
    float mass = 0.0f; // 0: the actor's density times the shapes' volume
    Vec3 linearVelocity;
    Vec3 angularVelocity;
    float linearDamping = 0.0f;
    float angularDamping = 0.05f;
    float wakeUpCounter = NX_SLEEP_INTERVAL;
    uint32_t flags = 0; // BodyFlag bits
};

struct ActorDesc
{
    Mat34 globalPose;
    const BodyDesc* body = nullptr; // null: a static actor
    float density = 0.0f;
    uint32_t flags = 0; // ActorFlag bits
    uint16_t group = 0;
    void* userData = nullptr;
    std::vector<const ShapeDesc*> shapes;
};

class Shape
{
public:
    Actor& getActor() const { return actor; }
    ShapeType getType() const { return type; }
    // Groups are 0 to 31; another value leaves the group as it was.
    void setGroup(uint16_t group);
    uint16_t getGroup() const { return group; }
    void setMaterial(uint16_t index) { material = index; }
    uint16_t getMaterial() const { return material; }
    // Trigger bits are fixed when the shape is made; other flags can change.
    void setFlag(ShapeFlag flag, bool value);
    bool getFlag(ShapeFlag flag) const { return (flags & flag) != 0; }
    bool isTrigger() const { return (flags & NX_TRIGGER_ENABLE) != 0; }
    // With a skeleton and continuous collision on, the body sweeps its motion with a sphere of the
    // skeleton's inner radius. Null takes the skeleton away.
    void setCCDSkeleton(CCDSkeleton* skeleton);
    TriangleMesh* getMesh() const { return mesh; }

    void* userData = nullptr;

    Shape(Actor& actor, const ShapeDesc& desc, uint32_t id);
    ~Shape();
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;

private:
    friend class Actor;
    friend class Scene;
    friend class Cloth;

    // The shape's pose in the world.
    btTransform WorldTransform() const;

    Actor& actor;
    const uint32_t id; // unique within the scene
    ShapeType type;
    Mat34 localPose;
    uint32_t flags;
    uint16_t group;
    uint16_t material;
    float ccdRadius = 0.0f;
    TriangleMesh* mesh = nullptr;
    std::unique_ptr<btCollisionShape> ownShape; // box, sphere or capsule
    btCollisionShape* collisionShape = nullptr; // ownShape or the mesh's shape
    std::unique_ptr<btCollisionObject> triggerObject;
};

class Actor
{
public:
    Scene& getScene() const { return scene; }
    uint32_t getNbShapes() const { return static_cast<uint32_t>(shapeList.size()); }
    Shape* const* getShapes() const { return shapeList.data(); }
    // The actor group; it takes part in no filtering.
    void setGroup(uint16_t value) { group = value; }
    uint16_t getGroup() const { return group; }
    bool isDynamic() const { return dynamic; }
    bool isSleeping() const;
    float getMass() const;

    void addForce(const Vec3& force, ForceMode mode = NX_FORCE, bool wakeup = true);
    void addTorque(const Vec3& torque, ForceMode mode = NX_FORCE, bool wakeup = true);
    // Setting a velocity other than zero wakes the body.
    void setLinearVelocity(const Vec3& velocity);
    Vec3 getLinearVelocity() const;
    void setAngularVelocity(const Vec3& velocity);
    Vec3 getAngularVelocity() const;

    Mat34 getGlobalPose() const;
    void setGlobalPose(const Mat34& pose);
    void moveGlobalPose(const Mat34& pose);
    Vec3 getGlobalPosition() const { return getGlobalPose().t; }
    void setGlobalPosition(const Vec3& position);
    void moveGlobalPosition(const Vec3& position);
    Mat33 getGlobalOrientation() const { return getGlobalPose().M; }
    void setGlobalOrientation(const Mat33& orientation);
    void moveGlobalOrientation(const Mat33& orientation);
    Quat getGlobalOrientationQuat() const;
    // A hint, outside the SDK's interface: the pose and velocities are about to be read, and
    // memory is asked for them now. Changes nothing.
    void prefetchMotion() const;
    void setGlobalOrientationQuat(const Quat& orientation);
    void moveGlobalOrientationQuat(const Quat& orientation);

    void raiseBodyFlag(BodyFlag flag) { SetBodyFlag(flag, true); }
    void clearBodyFlag(BodyFlag flag) { SetBodyFlag(flag, false); }
    bool readBodyFlag(BodyFlag flag) const { return dynamic && (bodyFlags & flag) != 0; }
    void raiseActorFlag(ActorFlag flag) { SetActorFlag(flag, true); }
    void clearActorFlag(ActorFlag flag) { SetActorFlag(flag, false); }
    bool readActorFlag(ActorFlag flag) const { return (actorFlags & flag) != 0; }

    // Movement per step above which a body with a CCD skeleton sweeps; 0 turns sweeping off.
    void setCCDMotionThreshold(float threshold);
    float getCCDMotionThreshold() const { return ccdThreshold; }

    // Stops the body where it is; it stays asleep until something wakes it.
    void putToSleep();
    // Wakes the body; at rest it falls asleep again after at least `counter` seconds.
    void wakeUp(float counter = NX_SLEEP_INTERVAL);

    void* userData = nullptr;

    Actor(Scene& scene, const ActorDesc& desc, uint32_t id);
    ~Actor();
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

private:
    friend class Scene;
    friend class Shape;
    friend class Cloth;

    // Whether a description makes an actor (Scene::createActor).
    static bool Accepts(const ActorDesc& desc);
    bool Kinematic() const { return readBodyFlag(NX_BF_KINEMATIC); }
    // A body that pushes and is pushed.
    bool Pushable() const { return dynamic && !Kinematic(); }
    void SetBodyFlag(BodyFlag flag, bool value);
    void SetActorFlag(ActorFlag flag, bool value);
    void WakeBody(float counter);
    void SetVelocity(void (btRigidBody::*set)(const btVector3&), const Vec3& velocity);
    // The pose a move continues from: the pending target, else the current pose.
    Mat34 MoveBase() const;
    void Teleport(const Mat34& pose);
    // Takes part in the next simulate's work.
    void QueueMotion();
    // Step `step` of `steps`: its share of the pending move and smooth changes, and the forces.
    void ApplyStep(uint32_t step, uint32_t steps);
    void ClearMotion();
    void PlaceTriggers();
    void ApplyCcd();
    void RefreshFilter();
    void UpdateSolidGroups();
    // Takes the body and trigger objects out of the world.
    void Detach();
    // The shape that a contact on the body's collision shape names (a child of a compound).
    Shape* SolidShape(int child) const;
    btCollisionShape* BodyShape();

    Scene& scene;
    const uint32_t id; // unique within the scene
    const bool dynamic;
    uint16_t group;
    uint32_t bodyFlags = 0;
    uint32_t actorFlags;
    uint32_t solidGroups = 0; // bit per group of the solid shapes
    float mass = 0.0f;
    float ccdThreshold = 0.0f;
    bool sleepReported = false; // the sleep state the last reports left
    bool released = false;
    bool queued = false; // in the scene's list of actors with motion pending
    bool hasTarget = false;
    Mat34 target;
    Mat34 moveStart; // the pose the pending move left from
    Vec3 smoothLinear, smoothAngular, force, torque;
    std::vector<std::unique_ptr<Shape>> shapes;
    std::vector<Shape*> shapeList;
    std::vector<Shape*> solids; // the shapes of the body, in the order of its compound
    std::unique_ptr<btCompoundShape> compound;
    std::unique_ptr<btCollisionShape> emptyShape;
    std::unique_ptr<btRigidBody> body;
};

} // namespace physx
