// An actor's grip on its object in the physics scene: the actor pushes and pulls velocities and
// poses through it, and the SDK object carries it as user data so that reports reach the owner.
// Rigid bodies use WeActorHandle, cloth WeClothHandle; both come from per-class pools. Calls on a
// handle without an SDK object do nothing, and getters give their stated defaults.
#pragma once

#include "WeCamera.h"
#include "WeRecycled.h"
#include "physx/PhysXCloth.h"

#include <cstdint>

class WeActor;
class WeClothHandle;

namespace physx
{
class Actor;
class Cloth;
struct ClothMesh;
} // namespace physx

// Engine matrices are row-vector with the translation in the fourth row; SDK poses are
// column-vector. The 3x3 part is transposed at the border.
physx::Mat34 WeToPhysicsPose(const WeMatrix& matrix);
WeMatrix WeFromPhysicsPose(const physx::Mat34& pose);

class WePhysicHandle
{
public:
    explicit WePhysicHandle(WeActor* owner) : owner(owner) {}
    // Releases the SDK actor and clears the owner's handle.
    virtual ~WePhysicHandle();
    WePhysicHandle(const WePhysicHandle&) = delete;
    WePhysicHandle& operator=(const WePhysicHandle&) = delete;

    virtual void AddImpulse(const WeVector* force, bool smooth);
    virtual void AddVelocityChange(const WeVector* velocity, bool smooth);
    virtual void AddTorque(const WeVector* torque, bool smooth);
    virtual void SetAngularVelocity(const WeVector* velocity);
    // Without an actor the output is left as it was.
    virtual void GetAngularVelocity(WeVector* velocity) const;
    virtual void GetPose(WeMatrix* matrix) const;
    // Kinematic bodies are moved there, others teleported.
    virtual void SetPose(const WeMatrix* matrix);
    virtual void SetOrientation(const WeQuaternion* orientation);
    // (1, 1, 1, 1) without an actor.
    virtual void GetOrientation(WeQuaternion* orientation) const;
    virtual void SetCollision(bool enabled);
    virtual bool HasCollision() const;
    virtual void SetResponse(bool enabled);
    virtual void SetRaycasting(bool enabled);
    virtual void SetCcdMotionThreshold(float value);
    // A box skeleton from corners[0] to corners[1], turned about Z by angle, for swept motion.
    virtual void EnableCcd(const WeVector* corners, float angle);
    // Groups are 0 to 31: higher bits are dropped.
    virtual void SetGroup(uint16_t group);
    virtual void SetPosition(const WeVector* position);
    // Moved when the body is dynamic or kinematic, set only for a static actor.
    virtual void SetRotationYawPitchRoll(float yaw, float pitch, float roll);
    // (0, 0, 0) without an actor.
    virtual void GetPosition(WeVector* position) const;
    virtual void Unused(int32_t, int32_t) {}
    virtual void SetLinearVelocity(const WeVector* velocity);
    // (0, 0, 0) without an actor.
    virtual void GetLinearVelocity(WeVector* velocity) const;
    virtual void PutToSleep();
    virtual void WakeUp(float counter);

    void SetGravityDisabled(bool disabled);
    // This handle as a cloth's, or null.
    virtual WeClothHandle* AsCloth() { return nullptr; }

    physx::Actor* actor = nullptr;
    WeActor* owner = nullptr;

protected:
    bool Kinematic() const;
};

class WeActorHandle : public WeRecycled<WeActorHandle, WePhysicHandle>
{
public:
    using WeRecycled::WeRecycled;
};

class WeClothHandle : public WeRecycled<WeClothHandle, WePhysicHandle>
{
public:
    static constexpr uint32_t vertexSize = 52;

    using WeRecycled::WeRecycled;
    ~WeClothHandle() override;

    void SetGroup(uint16_t group) override;
    void PutToSleep() override;
    void WakeUp(float counter) override;
    WeClothHandle* AsCloth() override { return this; }

    // Room for the SDK's results: maxVertices vertices and 3 x maxTriangles 16-bit indices, in
    // buffers allocated once.
    void InitMeshData(uint32_t maxVertices, uint32_t maxTriangles);
    // The renderer's copy of the last results.
    void UpdateRenderCopy();

    physx::Cloth* cloth = nullptr;
    physx::ClothMesh* clothMesh = nullptr;
    uint32_t vertexCount = 0, indexCount = 0;
    uint16_t* indices = nullptr;
    uint8_t* vertices = nullptr;
    uint32_t renderVertexCount = 0, renderIndexCount = 0;
    uint16_t* renderIndices = nullptr;
    uint8_t* renderVertices = nullptr;
    physx::MeshData meshData;

private:
    uint32_t maxVertexCount = 0, maxIndexCount = 0; // what the buffers hold
};
