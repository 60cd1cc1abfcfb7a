#include "physx/PhysXCooking.h"
#include "physx/PhysXSdk.h"
#include "physx/PhysXWorld.h"

#include <BulletCollision/Gimpact/btGImpactShape.h>

#include <algorithm>

namespace physx
{

namespace
{

constexpr float kPi = 3.14159265358979f;

bool ValidShape(const ShapeDesc& desc)
{
    if (desc.group >= 32)
        return false;
    switch (desc.type)
    {
    case NX_SHAPE_BOX:
    {
        const Vec3& size = static_cast<const BoxShapeDesc&>(desc).dimensions;
        return size.isFinite() && size.x > 0.0f && size.y > 0.0f && size.z > 0.0f;
    }
    case NX_SHAPE_SPHERE:
        return static_cast<const SphereShapeDesc&>(desc).radius > 0.0f;
    case NX_SHAPE_CAPSULE:
    {
        const auto& capsule = static_cast<const CapsuleShapeDesc&>(desc);
        return capsule.radius > 0.0f && capsule.height >= 0.0f;
    }
    case NX_SHAPE_MESH:
        return static_cast<const TriangleMeshShapeDesc&>(desc).meshData != nullptr;
    }
    return false;
}

// The volume a mesh encloses; a mesh that encloses none counts by its bounds.
float MeshVolume(const TriangleMesh& mesh)
{
    const Vec3* v = mesh.getVertices();
    const uint32_t* corner = mesh.getTriangles();
    double signedVolume = 0.0;
    Vec3 low = v[0], high = v[0];
    for (uint32_t t = 0; t < mesh.getNbTriangles(); ++t, corner += 3)
        signedVolume += v[corner[0]].dot(v[corner[1]].cross(v[corner[2]])) / 6.0;
    for (uint32_t i = 0; i < mesh.getNbVertices(); ++i)
    {
        low = {std::min(low.x, v[i].x), std::min(low.y, v[i].y), std::min(low.z, v[i].z)};
        high = {std::max(high.x, v[i].x), std::max(high.y, v[i].y), std::max(high.z, v[i].z)};
    }
    const Vec3 size = high - low;
    const float enclosed = static_cast<float>(std::fabs(signedVolume));
    return enclosed > 1e-6f * size.x * size.y * size.z ? enclosed : size.x * size.y * size.z;
}

float Volume(const ShapeDesc& desc)
{
    switch (desc.type)
    {
    case NX_SHAPE_BOX:
    {
        const Vec3& size = static_cast<const BoxShapeDesc&>(desc).dimensions;
        return 8.0f * size.x * size.y * size.z;
    }
    case NX_SHAPE_SPHERE:
    {
        const float r = static_cast<const SphereShapeDesc&>(desc).radius;
        return 4.0f / 3.0f * kPi * r * r * r;
    }
    case NX_SHAPE_CAPSULE:
    {
        const auto& capsule = static_cast<const CapsuleShapeDesc&>(desc);
        const float r = capsule.radius;
        return kPi * r * r * capsule.height + 4.0f / 3.0f * kPi * r * r * r;
    }
    case NX_SHAPE_MESH:
        return MeshVolume(*static_cast<const TriangleMeshShapeDesc&>(desc).meshData);
    }
    return 0.0f;
}

bool IsIdentity(const Mat34& pose)
{
    const Mat34 identity;
    return std::equal(&pose.M.m[0][0], &pose.M.m[0][0] + 9, &identity.M.m[0][0]) && pose.t.x == 0.0f &&
           pose.t.y == 0.0f && pose.t.z == 0.0f;
}

std::unique_ptr<btCollisionShape> MakePrimitive(const ShapeDesc& desc)
{
    switch (desc.type)
    {
    case NX_SHAPE_BOX:
        return std::make_unique<btBoxShape>(ToBullet(static_cast<const BoxShapeDesc&>(desc).dimensions));
    case NX_SHAPE_SPHERE:
        return std::make_unique<btSphereShape>(static_cast<const SphereShapeDesc&>(desc).radius);
    case NX_SHAPE_CAPSULE:
    {
        const auto& capsule = static_cast<const CapsuleShapeDesc&>(desc);
        return std::make_unique<btCapsuleShape>(capsule.radius, capsule.height);
    }
    case NX_SHAPE_MESH:
        break;
    }
    return nullptr;
}

btQuaternion ToBullet(const Quat& q)
{
    const btQuaternion rotation(q.x, q.y, q.z, q.w);
    return rotation.length2() > 1e-12f ? rotation.normalized() : btQuaternion::getIdentity();
}

Mat34 WithPosition(Mat34 pose, const Vec3& position)
{
    pose.t = position;
    return pose;
}

Mat34 WithOrientation(Mat34 pose, const Mat33& orientation)
{
    pose.M = orientation;
    return pose;
}

Mat33 ToMat33(const Quat& q)
{
    return FromBullet(btTransform(ToBullet(q))).M;
}

} // namespace

Shape::Shape(Actor& owner, const ShapeDesc& desc, uint32_t id_)
    : actor(owner), id(id_), type(desc.type), localPose(desc.localPose), flags(desc.shapeFlags),
      group(desc.group), material(desc.materialIndex)
{
    if (type == NX_SHAPE_MESH)
    {
        mesh = static_cast<const TriangleMeshShapeDesc&>(desc).meshData;
        ++mesh->references;
        collisionShape =
            actor.dynamic ? static_cast<btCollisionShape*>(&mesh->DynamicShape()) : &mesh->StaticShape();
    }
    else
    {
        ownShape = MakePrimitive(desc);
        collisionShape = ownShape.get();
    }
    if (!isTrigger())
        return;
    triggerObject = std::make_unique<btCollisionObject>();
    triggerObject->setCollisionShape(collisionShape);
    triggerObject->setCollisionFlags(
        btCollisionObject::CF_NO_CONTACT_RESPONSE |
        (actor.dynamic ? btCollisionObject::CF_KINEMATIC_OBJECT : btCollisionObject::CF_STATIC_OBJECT));
    if (actor.dynamic)
        triggerObject->setActivationState(DISABLE_DEACTIVATION);
    triggerObject->setUserPointer(this);
    triggerObject->setUserIndex(kTriggerObject);
}

Shape::~Shape()
{
    if (mesh)
        --mesh->references;
}

void Shape::setGroup(uint16_t value)
{
    if (value >= 32 || value == group)
        return;
    group = value;
    actor.UpdateSolidGroups();
    actor.RefreshFilter();
}

void Shape::setFlag(ShapeFlag flag, bool value)
{
    const uint32_t changeable = ~uint32_t(NX_TRIGGER_ENABLE);
    if (value)
        flags |= flag & changeable;
    else
        flags &= ~(flag & changeable);
}

void Shape::setCCDSkeleton(CCDSkeleton* skeleton)
{
    ccdRadius = skeleton ? skeleton->radius : 0.0f;
    actor.ApplyCcd();
}

btTransform Shape::WorldTransform() const
{
    return actor.body->getWorldTransform() * ToBullet(localPose);
}

bool Actor::Accepts(const ActorDesc& desc)
{
    if (desc.shapes.empty())
        return false;
    float volume = 0.0f;
    for (const ShapeDesc* shape : desc.shapes)
    {
        if (!shape || !ValidShape(*shape) || (shape->type == NX_SHAPE_MESH && desc.shapes.size() > 1))
            return false;
        if (!(shape->shapeFlags & NX_TRIGGER_ENABLE))
            volume += Volume(*shape);
    }
    return !desc.body || desc.body->mass > 0.0f || desc.density * volume > 0.0f;
}

Actor::Actor(Scene& owner, const ActorDesc& desc, uint32_t id_)
    : scene(owner), id(id_), dynamic(desc.body != nullptr), group(desc.group), actorFlags(desc.flags)
{
    userData = desc.userData;
    float volume = 0.0f;
    for (const ShapeDesc* shapeDesc : desc.shapes)
    {
        shapes.push_back(std::make_unique<Shape>(*this, *shapeDesc, scene.nextId()));
        Shape* shape = shapes.back().get();
        shapeList.push_back(shape);
        if (!shape->isTrigger())
        {
            solids.push_back(shape);
            volume += Volume(*shapeDesc);
        }
    }
    btCollisionShape* collisionShape = BodyShape();
    btVector3 inertia(0.0f, 0.0f, 0.0f);
    if (dynamic)
    {
        mass = desc.body->mass > 0.0f ? desc.body->mass : desc.density * volume;
        collisionShape->calculateLocalInertia(mass, inertia);
    }
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, collisionShape, inertia);
    info.m_startWorldTransform = ToBullet(desc.globalPose);
    if (dynamic)
    {
        info.m_linearDamping = desc.body->linearDamping;
        info.m_angularDamping = desc.body->angularDamping;
    }
    body = std::make_unique<btRigidBody>(info);
    body->setUserPointer(this);
    body->setUserIndex(kBodyObject);
    UpdateSolidGroups();
    Scene::World& world = scene.world();
    world.dynamics.addRigidBody(body.get());
    for (const auto& shape : shapes)
        if (shape->triggerObject)
            world.dynamics.addCollisionObject(shape->triggerObject.get());
    PlaceTriggers();
    if (readActorFlag(NX_AF_DISABLE_RESPONSE))
        body->setCollisionFlags(body->getCollisionFlags() | btCollisionObject::CF_NO_CONTACT_RESPONSE);
    if (!dynamic)
        return;
    world.bodies.push_back(this);
    if (solids.size() < shapes.size())
        world.triggerCarriers.push_back(this);
    body->setLinearVelocity(ToBullet(desc.body->linearVelocity));
    body->setAngularVelocity(ToBullet(desc.body->angularVelocity));
    for (const BodyFlag flag : {NX_BF_DISABLE_GRAVITY, NX_BF_KINEMATIC})
        SetBodyFlag(flag, (desc.body->flags & flag) != 0);
    bodyFlags = desc.body->flags;
    WakeBody(desc.body->wakeUpCounter);
}

Actor::~Actor()
{
    Detach();
}

btCollisionShape* Actor::BodyShape()
{
    if (solids.empty())
    {
        emptyShape = std::make_unique<btEmptyShape>();
        return emptyShape.get();
    }
    if (solids.size() == 1 && IsIdentity(solids[0]->localPose))
        return solids[0]->collisionShape;
    compound = std::make_unique<btCompoundShape>();
    for (const Shape* shape : solids)
        compound->addChildShape(ToBullet(shape->localPose), shape->collisionShape);
    return compound.get();
}

void Actor::Detach()
{
    btDiscreteDynamicsWorld& world = scene.world().dynamics;
    if (body->getBroadphaseHandle())
        world.removeRigidBody(body.get());
    for (const auto& shape : shapes)
        if (shape->triggerObject && shape->triggerObject->getBroadphaseHandle())
            world.removeCollisionObject(shape->triggerObject.get());
}

bool Actor::isSleeping() const
{
    return dynamic && body->getActivationState() == ISLAND_SLEEPING;
}

float Actor::getMass() const
{
    return mass;
}

void Actor::addForce(const Vec3& value, ForceMode mode, bool wakeup)
{
    if (!Pushable() || !value.isFinite())
        return;
    switch (mode)
    {
    case NX_FORCE:
        force = force + value;
        break;
    case NX_ACCELERATION:
        force = force + value * mass;
        break;
    case NX_IMPULSE:
        body->applyCentralImpulse(ToBullet(value));
        break;
    case NX_VELOCITY_CHANGE:
        body->setLinearVelocity(body->getLinearVelocity() + ToBullet(value));
        break;
    case NX_SMOOTH_IMPULSE:
        smoothLinear = smoothLinear + value * (1.0f / mass);
        break;
    case NX_SMOOTH_VELOCITY_CHANGE:
        smoothLinear = smoothLinear + value;
        break;
    }
    QueueMotion();
    if (wakeup)
        WakeBody(NX_SLEEP_INTERVAL);
}

void Actor::addTorque(const Vec3& value, ForceMode mode, bool wakeup)
{
    if (!Pushable() || !value.isFinite())
        return;
    const Vec3 turn = FromBullet(body->getInvInertiaTensorWorld() * ToBullet(value));
    switch (mode)
    {
    case NX_FORCE:
        torque = torque + value;
        break;
    case NX_ACCELERATION:
    {
        const btMatrix3x3& basis = body->getWorldTransform().getBasis();
        torque =
            torque + FromBullet(basis * (body->getLocalInertia() * (basis.transpose() * ToBullet(value))));
        break;
    }
    case NX_IMPULSE:
        body->setAngularVelocity(body->getAngularVelocity() + ToBullet(turn));
        break;
    case NX_VELOCITY_CHANGE:
        body->setAngularVelocity(body->getAngularVelocity() + ToBullet(value));
        break;
    case NX_SMOOTH_IMPULSE:
        smoothAngular = smoothAngular + turn;
        break;
    case NX_SMOOTH_VELOCITY_CHANGE:
        smoothAngular = smoothAngular + value;
        break;
    }
    QueueMotion();
    if (wakeup)
        WakeBody(NX_SLEEP_INTERVAL);
}

void Actor::setLinearVelocity(const Vec3& velocity)
{
    SetVelocity(&btRigidBody::setLinearVelocity, velocity);
}

Vec3 Actor::getLinearVelocity() const
{
    return FromBullet(body->getLinearVelocity());
}

void Actor::setAngularVelocity(const Vec3& velocity)
{
    SetVelocity(&btRigidBody::setAngularVelocity, velocity);
}

void Actor::SetVelocity(void (btRigidBody::*set)(const btVector3&), const Vec3& velocity)
{
    if (!Pushable() || !velocity.isFinite())
        return;
    (body.get()->*set)(ToBullet(velocity));
    if (velocity.dot(velocity) > 0.0f)
        WakeBody(NX_SLEEP_INTERVAL);
}

Vec3 Actor::getAngularVelocity() const
{
    return FromBullet(body->getAngularVelocity());
}

Mat34 Actor::getGlobalPose() const
{
    return FromBullet(body->getWorldTransform());
}

void Actor::setGlobalPose(const Mat34& pose)
{
    hasTarget = false;
    Teleport(pose);
}

void Actor::moveGlobalPose(const Mat34& pose)
{
    if (!Kinematic())
        return;
    target = pose;
    hasTarget = true;
    QueueMotion();
}

void Actor::setGlobalPosition(const Vec3& position)
{
    setGlobalPose(WithPosition(getGlobalPose(), position));
}

void Actor::moveGlobalPosition(const Vec3& position)
{
    moveGlobalPose(WithPosition(MoveBase(), position));
}

void Actor::setGlobalOrientation(const Mat33& orientation)
{
    setGlobalPose(WithOrientation(getGlobalPose(), orientation));
}

void Actor::moveGlobalOrientation(const Mat33& orientation)
{
    moveGlobalPose(WithOrientation(MoveBase(), orientation));
}

Quat Actor::getGlobalOrientationQuat() const
{
    const btQuaternion q = body->getWorldTransform().getRotation();
    return {q.x(), q.y(), q.z(), q.w()};
}

void Actor::prefetchMotion() const
{
    const btTransform& pose = body->getWorldTransform();
    for (const void* field : {static_cast<const void*>(&pose), static_cast<const void*>(&pose.getOrigin()),
                              static_cast<const void*>(&body->getLinearVelocity()),
                              static_cast<const void*>(&body->getAngularVelocity())})
        __builtin_prefetch(field);
}

void Actor::setGlobalOrientationQuat(const Quat& orientation)
{
    setGlobalOrientation(ToMat33(orientation));
}

void Actor::moveGlobalOrientationQuat(const Quat& orientation)
{
    moveGlobalOrientation(ToMat33(orientation));
}

Mat34 Actor::MoveBase() const
{
    return hasTarget ? target : getGlobalPose();
}

void Actor::Teleport(const Mat34& pose)
{
    const btTransform transform = ToBullet(pose);
    body->setWorldTransform(transform);
    body->setInterpolationWorldTransform(transform);
    PlaceTriggers();
    btDiscreteDynamicsWorld& world = scene.world().dynamics;
    world.updateSingleAabb(body.get());
    for (const auto& shape : shapes)
        if (shape->triggerObject)
            world.updateSingleAabb(shape->triggerObject.get());
}

void Actor::SetBodyFlag(BodyFlag flag, bool value)
{
    const uint32_t before = bodyFlags;
    bodyFlags = value ? bodyFlags | flag : bodyFlags & ~uint32_t(flag);
    if (!dynamic || bodyFlags == before)
        return;
    if (flag == NX_BF_DISABLE_GRAVITY)
    {
        body->setFlags(value ? body->getFlags() | BT_DISABLE_WORLD_GRAVITY
                             : body->getFlags() & ~BT_DISABLE_WORLD_GRAVITY);
        body->setGravity(value ? btVector3(0.0f, 0.0f, 0.0f) : scene.world().dynamics.getGravity());
        return;
    }
    if (flag != NX_BF_KINEMATIC)
        return;
    // A kinematic body has no mass for the solver and never sleeps.
    btVector3 inertia(0.0f, 0.0f, 0.0f);
    if (!value)
        body->getCollisionShape()->calculateLocalInertia(mass, inertia);
    body->setMassProps(value ? 0.0f : mass, inertia);
    body->updateInertiaTensor();
    body->setCollisionFlags(value ? body->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT
                                  : body->getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT);
    body->setLinearVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->forceActivationState(value ? DISABLE_DEACTIVATION : ACTIVE_TAG);
    hasTarget = false;
    RefreshFilter();
}

void Actor::SetActorFlag(ActorFlag flag, bool value)
{
    const uint32_t before = actorFlags;
    actorFlags = value ? actorFlags | flag : actorFlags & ~uint32_t(flag);
    if (actorFlags == before)
        return;
    if (flag == NX_AF_DISABLE_COLLISION)
        RefreshFilter();
    else if (flag == NX_AF_DISABLE_RESPONSE)
        body->setCollisionFlags(value
                                    ? body->getCollisionFlags() | btCollisionObject::CF_NO_CONTACT_RESPONSE
                                    : body->getCollisionFlags() & ~btCollisionObject::CF_NO_CONTACT_RESPONSE);
}

void Actor::setCCDMotionThreshold(float threshold)
{
    ccdThreshold = threshold > 0.0f ? threshold : 0.0f;
    ApplyCcd();
}

void Actor::ApplyCcd()
{
    float radius = 0.0f;
    for (const Shape* shape : solids)
        radius = std::max(radius, shape->ccdRadius);
    const bool sweep = dynamic && ccdThreshold > 0.0f && radius > 0.0f &&
                       scene.getPhysicsSDK().getParameter(NX_CONTINUOUS_CD) != 0.0f;
    body->setCcdMotionThreshold(sweep ? ccdThreshold : 0.0f);
    body->setCcdSweptSphereRadius(sweep ? radius : 0.0f);
}

void Actor::putToSleep()
{
    if (!Pushable())
        return;
    body->setLinearVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setAngularVelocity(btVector3(0.0f, 0.0f, 0.0f));
    body->setActivationState(ISLAND_SLEEPING);
}

void Actor::wakeUp(float counter)
{
    if (Pushable())
        WakeBody(counter);
}

void Actor::WakeBody(float counter)
{
    // Bullet lets a body sleep once it has rested for gDeactivationTime; starting the rest
    // clock that much short of it keeps the body awake for at least `counter` seconds.
    body->activate(true);
    body->setDeactivationTime(std::max(0.0f, gDeactivationTime - std::max(counter, 0.0f)));
}

void Actor::QueueMotion()
{
    if (queued)
        return;
    queued = true;
    scene.world().moving.push_back(this);
}

void Actor::ApplyStep(uint32_t step, uint32_t steps)
{
    if (hasTarget && Kinematic())
    {
        if (step == 0)
            moveStart = getGlobalPose();
        // Bullet derives the kinematic body's velocity from where it was to where it is set.
        const btTransform from = ToBullet(moveStart), to = ToBullet(target);
        const btScalar share = btScalar(step + 1) / btScalar(steps);
        body->setWorldTransform(btTransform(from.getRotation().slerp(to.getRotation(), share),
                                            from.getOrigin().lerp(to.getOrigin(), share)));
    }
    if (!Pushable())
        return;
    const float share = 1.0f / float(steps);
    body->setLinearVelocity(body->getLinearVelocity() + ToBullet(smoothLinear * share));
    body->setAngularVelocity(body->getAngularVelocity() + ToBullet(smoothAngular * share));
    body->applyCentralForce(ToBullet(force));
    body->applyTorque(ToBullet(torque));
}

void Actor::ClearMotion()
{
    queued = false;
    hasTarget = false;
    smoothLinear = smoothAngular = force = torque = Vec3();
}

void Actor::PlaceTriggers()
{
    for (const auto& shape : shapes)
        if (shape->triggerObject)
            shape->triggerObject->setWorldTransform(shape->WorldTransform());
}

void Actor::RefreshFilter()
{
    Scene::World& world = scene.world();
    world.Refilter(*body);
    for (const auto& shape : shapes)
        if (shape->triggerObject)
            world.Refilter(*shape->triggerObject);
}

void Actor::UpdateSolidGroups()
{
    solidGroups = 0;
    for (const Shape* shape : solids)
        solidGroups |= 1u << shape->group;
}

Shape* Actor::SolidShape(int child) const
{
    if (solids.empty())
        return nullptr;
    return compound && child >= 0 && size_t(child) < solids.size() ? solids[child] : solids.front();
}

} // namespace physx
