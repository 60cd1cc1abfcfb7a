// How an actor takes part in physics: the shape kind and whether the body is static, its group,
// mass and cloth parameters. Every actor owns one and saves it inside its record; the physics
// object built from it belongs to the physics layer.
#pragma once

#include <cstdint>

class WeFileStream;
class WeRecordReader;

class WePhysicModel
{
public:
    static constexpr int32_t version = 5;
    // Physic types: 0 none, 1 to 4 static box, sphere, capsule, triangle mesh, 5 to 8 the same
    // dynamic, 9 cloth.
    static constexpr int32_t none = 0, staticTriangleMesh = 4, dynamicBox = 5, dynamicTriangleMesh = 8,
                             cloth = 9;

    virtual ~WePhysicModel() = default;

    // The record, as version 5 (38 bytes).
    bool Save(WeFileStream& stream) const;
    // A record of any version; fields a version lacks keep their values. False when it is cut
    // short.
    bool Load(WeRecordReader& reader);
    // Types 0 to 4: the actor never moves by physics.
    bool IsStatic() const { return type >= none && type <= staticTriangleMesh; }
    bool IsDynamicBody() const { return type >= dynamicBox && type <= dynamicTriangleMesh; }

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
