// How an actor takes part in physics: the shape kind and whether the body is static, its group,
// mass and cloth parameters. Every actor owns one and saves it inside its record; the physics
// object built from it belongs to the physics layer.
#pragma once

#include "WeString.h"
#include "physx/PhysXActor.h"

#include <cstdint>

class WeActor;
class WeFileStream;
class WeMesh;
class WePhysicHandle;
class WeRecordReader;

class WePhysicModel
{
public:
    static constexpr int32_t version = 5;
    // Physic types: 0 none, 1 to 4 static box, sphere, capsule, triangle mesh, 5 to 8 the same
    // dynamic, 9 cloth.
    static constexpr int32_t none = 0, staticBox = 1, staticSphere = 2, staticCapsule = 3,
                             staticTriangleMesh = 4, dynamicBox = 5, dynamicSphere = 6, dynamicCapsule = 7,
                             dynamicTriangleMesh = 8, cloth = 9;

    virtual ~WePhysicModel() = default;

    // The record, as version 5 (38 bytes).
    bool Save(WeFileStream& stream) const;
    // A record of any version; fields a version lacks keep their values. False when it is cut
    // short.
    bool Load(WeRecordReader& reader);
    // Types 0 to 4: the actor never moves by physics.
    bool IsStatic() const { return type >= none && type <= staticTriangleMesh; }
    bool IsDynamicBody() const { return type >= dynamicBox && type <= dynamicTriangleMesh; }
    // The physics object of the type for the actor (in editor mode everything but cloth is a
    // dynamic triangle mesh); null for type 0, an unknown type, or when the world makes none.
    WePhysicHandle* CreatePhysics(WeActor* actor);

    int32_t type = none;
    uint16_t group = 0;
    uint16_t shapeFlags = 0;
    float mass = 10.0f;
    bool startAsleep = true;
    float linearVelocity[3] = {};
    float angularVelocity[3] = {};
    bool gravity = true;
    uint16_t materialIndex = 0;
    float bendingStiffness = 0.5f;
    float stretchingStiffness = 0.5f;
    float friction = 0.5f;
    float pressure = 0.0f;
    float density = 0.02f;
};

// A mesh cooked for triangle-mesh actors: the actor description with the mesh shape, kept in the
// physics world's cache under the mesh's path.
class WeMeshActorDesc
{
public:
    WeMeshActorDesc() = default;
    WeMeshActorDesc(const WeMeshActorDesc&) = delete;
    WeMeshActorDesc& operator=(const WeMeshActorDesc&) = delete;

    // Cooks the mesh's triangles through the cooking library; false (nothing added) when there
    // is no mesh or world, a library entry point is missing, or the cook fails.
    bool Cook(WeMesh* mesh);

    physx::ActorDesc actorDesc;
    physx::TriangleMeshShapeDesc shapeDesc;
    WeString path;
};
