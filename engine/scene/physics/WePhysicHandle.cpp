#include "WePhysicHandle.h"

#include "WeActor.h"
#include "WePhysics.h"
#include "physx/PhysXSdk.h"
#include "win32/Win32Library.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{

physx::Vec3 ToPhysics(const WeVector& v)
{
    return {v.x, v.y, v.z};
}

WeVector FromPhysics(const physx::Vec3& v)
{
    return {v.x, v.y, v.z};
}

// Handles come from their pools from the start.
const bool poolsOn = []
{
    WeActorHandle::SetPooling(true);
    WeClothHandle::SetPooling(true);
    return true;
}();

} // namespace

physx::Mat34 WeToPhysicsPose(const WeMatrix& matrix)
{
    physx::Mat34 pose;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            pose.M.m[row][column] = matrix.m[column][row];
    pose.t = {matrix.m[3][0], matrix.m[3][1], matrix.m[3][2]};
    return pose;
}

WeMatrix WeFromPhysicsPose(const physx::Mat34& pose)
{
    WeMatrix matrix{};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            matrix.m[row][column] = pose.M.m[column][row];
    matrix.m[3][0] = pose.t.x;
    matrix.m[3][1] = pose.t.y;
    matrix.m[3][2] = pose.t.z;
    matrix.m[3][3] = 1.0f;
    return matrix;
}

WePhysicHandle::~WePhysicHandle()
{
    if (actor)
    {
        actor->userData = nullptr;
        physics.ReleaseActor(actor);
        actor = nullptr;
    }
    if (owner)
    {
        owner->physicsHandle = nullptr;
        owner = nullptr;
    }
}

bool WePhysicHandle::Kinematic() const
{
    return actor->readBodyFlag(physx::NX_BF_KINEMATIC);
}

void WePhysicHandle::AddImpulse(const WeVector* force, bool smooth)
{
    if (actor)
        actor->addForce(ToPhysics(*force), smooth ? physx::NX_SMOOTH_IMPULSE : physx::NX_IMPULSE, true);
}

void WePhysicHandle::AddVelocityChange(const WeVector* velocity, bool smooth)
{
    if (actor)
        actor->addForce(ToPhysics(*velocity),
                        smooth ? physx::NX_SMOOTH_VELOCITY_CHANGE : physx::NX_VELOCITY_CHANGE, true);
}

void WePhysicHandle::AddTorque(const WeVector* torque, bool smooth)
{
    if (actor)
        actor->addTorque(ToPhysics(*torque),
                         smooth ? physx::NX_SMOOTH_VELOCITY_CHANGE : physx::NX_VELOCITY_CHANGE, true);
}

void WePhysicHandle::SetAngularVelocity(const WeVector* velocity)
{
    if (actor)
        actor->setAngularVelocity(ToPhysics(*velocity));
}

void WePhysicHandle::GetAngularVelocity(WeVector* velocity) const
{
    if (actor)
        *velocity = FromPhysics(actor->getAngularVelocity());
}

void WePhysicHandle::GetPose(WeMatrix* matrix) const
{
    if (actor)
        *matrix = WeFromPhysicsPose(actor->getGlobalPose());
}

void WePhysicHandle::SetPose(const WeMatrix* matrix)
{
    if (!actor)
        return;
    const physx::Mat34 pose = WeToPhysicsPose(*matrix);
    if (Kinematic())
        actor->moveGlobalPose(pose);
    else
        actor->setGlobalPose(pose);
}

void WePhysicHandle::SetOrientation(const WeQuaternion* orientation)
{
    if (!actor)
        return;
    const physx::Quat turn{orientation->x, orientation->y, orientation->z, orientation->w};
    if (Kinematic())
        actor->moveGlobalOrientationQuat(turn);
    else
        actor->setGlobalOrientationQuat(turn);
}

void WePhysicHandle::GetOrientation(WeQuaternion* orientation) const
{
    if (!actor)
    {
        *orientation = {1.0f, 1.0f, 1.0f, 1.0f};
        return;
    }
    const physx::Quat turn = actor->getGlobalOrientationQuat();
    *orientation = {turn.x, turn.y, turn.z, turn.w};
}

void WePhysicHandle::SetCollision(bool enabled)
{
    if (!actor)
        return;
    if (enabled)
        actor->clearActorFlag(physx::NX_AF_DISABLE_COLLISION);
    else
        actor->raiseActorFlag(physx::NX_AF_DISABLE_COLLISION);
}

bool WePhysicHandle::HasCollision() const
{
    return actor && !actor->readActorFlag(physx::NX_AF_DISABLE_COLLISION);
}

void WePhysicHandle::SetResponse(bool enabled)
{
    if (!actor)
        return;
    if (enabled)
        actor->clearActorFlag(physx::NX_AF_DISABLE_RESPONSE);
    else
        actor->raiseActorFlag(physx::NX_AF_DISABLE_RESPONSE);
}

void WePhysicHandle::SetRaycasting(bool enabled)
{
    if (!actor)
        return;
    for (uint32_t i = 0; i < actor->getNbShapes(); ++i)
        actor->getShapes()[i]->setFlag(physx::NX_SF_DISABLE_RAYCASTING, !enabled);
}

void WePhysicHandle::SetCcdMotionThreshold(float value)
{
    if (actor)
        actor->setCCDMotionThreshold(value);
}

void WePhysicHandle::EnableCcd(const WeVector* corners, float angle)
{
    if (!actor || !physics.sdkWanted || !physics.sdk)
        return;
    const auto getUtil =
        reinterpret_cast<physx::NxGetUtilLibProc>(WeGetLibraryProc("PhysXLoader.dll", "NxGetUtilLib"));
    const physx::UtilLib* util = getUtil ? getUtil() : nullptr;
    if (!util)
        return;
    physx::Box box;
    box.extents = ToPhysics((corners[1] - corners[0]) * 0.5f);
    const float c = std::cos(angle), s = std::sin(angle);
    box.rot.m[0][0] = c;
    box.rot.m[0][1] = -s;
    box.rot.m[1][0] = s;
    box.rot.m[1][1] = c;
    physx::Vec3 points[8];
    if (!util->NxComputeBoxPoints(box, points))
        return;
    physx::SimpleTriangleMesh outline;
    outline.numVertices = 8;
    outline.numTriangles = 12;
    outline.pointStrideBytes = sizeof(physx::Vec3);
    outline.triangleStrideBytes = 3 * sizeof(uint32_t);
    outline.points = points;
    outline.triangles = util->NxGetBoxTriangles();
    physx::CCDSkeleton* skeleton = physics.sdk->createCCDSkeleton(outline);
    if (!skeleton)
        return;
    for (uint32_t i = 0; i < actor->getNbShapes(); ++i)
    {
        actor->getShapes()[i]->setCCDSkeleton(skeleton);
        actor->getShapes()[i]->setFlag(physx::NX_SF_DYNAMIC_DYNAMIC_CCD, true);
    }
    physics.sdk->releaseCCDSkeleton(*skeleton);
}

void WePhysicHandle::SetGroup(uint16_t group)
{
    physics.SetShapesGroup(actor, group);
}

void WePhysicHandle::SetPosition(const WeVector* position)
{
    if (!actor)
        return;
    if (Kinematic())
        actor->moveGlobalPosition(ToPhysics(*position));
    else
        actor->setGlobalPosition(ToPhysics(*position));
}

void WePhysicHandle::SetRotationYawPitchRoll(float yaw, float pitch, float roll)
{
    if (!actor)
        return;
    const physx::Mat33 turn = WeToPhysicsPose(d3dx::D3DXMatrixRotationYawPitchRoll(yaw, pitch, roll)).M;
    // A plain dynamic body has no move target: the move does nothing for it, as the SDK's does.
    if (actor->isDynamic())
        actor->moveGlobalOrientation(turn);
    else
        actor->setGlobalOrientation(turn);
}

void WePhysicHandle::GetPosition(WeVector* position) const
{
    *position = actor ? FromPhysics(actor->getGlobalPosition()) : WeVector{};
}

void WePhysicHandle::SetLinearVelocity(const WeVector* velocity)
{
    if (actor)
        actor->setLinearVelocity(ToPhysics(*velocity));
}

void WePhysicHandle::GetLinearVelocity(WeVector* velocity) const
{
    *velocity = actor ? FromPhysics(actor->getLinearVelocity()) : WeVector{};
}

void WePhysicHandle::PutToSleep()
{
    if (actor)
        actor->putToSleep();
}

void WePhysicHandle::WakeUp(float counter)
{
    if (actor)
        actor->wakeUp(counter);
}

void WePhysicHandle::SetGravityDisabled(bool disabled)
{
    if (!actor)
        return;
    if (disabled)
        actor->raiseBodyFlag(physx::NX_BF_DISABLE_GRAVITY);
    else
        actor->clearBodyFlag(physx::NX_BF_DISABLE_GRAVITY);
}

WeClothHandle::~WeClothHandle()
{
    if (cloth)
    {
        cloth->userData = nullptr;
        physics.ReleaseCloth(cloth);
        cloth = nullptr;
    }
    if (clothMesh && physics.sdk)
        physics.sdk->releaseClothMesh(*clothMesh);
    clothMesh = nullptr;
    for (void* buffer : {static_cast<void*>(vertices), static_cast<void*>(indices),
                         static_cast<void*>(renderVertices), static_cast<void*>(renderIndices)})
        std::free(buffer);
    meshData = {};
}

void WeClothHandle::SetGroup(uint16_t group)
{
    if (cloth)
        cloth->setGroup(WePhysics::GroupOf(group));
}

void WeClothHandle::PutToSleep()
{
    if (cloth)
        cloth->putToSleep();
}

void WeClothHandle::WakeUp(float counter)
{
    if (cloth)
        cloth->wakeUp(counter);
}

void WeClothHandle::InitMeshData(uint32_t maxVertices, uint32_t maxTriangles)
{
    // The buffers are made once; a second call keeps them and their sizes.
    if (!vertices)
    {
        maxVertexCount = maxVertices;
        maxIndexCount = 3 * maxTriangles;
        vertices = static_cast<uint8_t*>(std::calloc(maxVertexCount, vertexSize));
        renderVertices = static_cast<uint8_t*>(std::calloc(maxVertexCount, vertexSize));
        indices = static_cast<uint16_t*>(std::calloc(maxIndexCount, sizeof(uint16_t)));
        renderIndices = static_cast<uint16_t*>(std::calloc(maxIndexCount, sizeof(uint16_t)));
    }
    vertexCount = maxVertexCount;
    indexCount = maxIndexCount;
    renderVertexCount = renderIndexCount = 0;
    meshData = {};
    meshData.verticesPosBegin = vertices;
    meshData.verticesNormalBegin = vertices + 12;
    meshData.verticesPosByteStride = meshData.verticesNormalByteStride = vertexSize;
    meshData.maxVertices = maxVertexCount;
    meshData.numVerticesPtr = &vertexCount;
    meshData.indicesBegin = indices;
    meshData.indicesByteStride = sizeof(uint16_t);
    meshData.maxIndices = maxIndexCount;
    meshData.numIndicesPtr = &indexCount;
    meshData.flags = physx::NX_MDF_16_BIT_INDICES;
}

void WeClothHandle::UpdateRenderCopy()
{
    renderVertexCount = std::min(vertexCount, maxVertexCount);
    renderIndexCount = std::min(indexCount, maxIndexCount);
    if (renderVertices)
        std::memcpy(renderVertices, vertices, size_t(renderVertexCount) * vertexSize);
    if (renderIndices)
        std::memcpy(renderIndices, indices, size_t(renderIndexCount) * sizeof(uint16_t));
}
