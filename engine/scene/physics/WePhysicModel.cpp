#include "WePhysicModel.h"

#include "MemoryWriteBuffer.h"
#include "WeActor.h"
#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeMesh.h"
#include "WePhysicHandle.h"
#include "WePhysics.h"
#include "WeRecordReader.h"
#include "physx/PhysXSdk.h"
#include "win32/Win32Library.h"

#include <algorithm>
#include <cstring>
#include <memory>

bool WePhysicModel::Save(WeFileStream& stream) const
{
    bool written = stream.WriteInt(version) && stream.WriteInt(type) && stream.WriteBool(startAsleep);
    written = written && stream.WriteShort(int16_t(group)) && stream.WriteShort(int16_t(shapeFlags));
    for (const float value : {mass, density, friction, bendingStiffness, pressure, stretchingStiffness})
        written = written && stream.WriteFloat(value);
    return written && stream.WriteBool(gravity);
}

bool WePhysicModel::Load(WeRecordReader& reader)
{
    const int32_t stored = reader.ReadInt();
    if (stored <= 0)
        return reader.Ok();
    type = reader.ReadInt();
    startAsleep = reader.ReadBool();
    if (stored == 1)
        reader.Skip(12 + 3 * 4); // a vector and three floats no longer used
    group = uint16_t(reader.ReadShort());
    shapeFlags = uint16_t(reader.ReadShort());
    mass = reader.ReadFloat();
    if (stored >= 3)
        density = reader.ReadFloat();
    if (stored >= 4)
    {
        friction = reader.ReadFloat();
        bendingStiffness = reader.ReadFloat();
        pressure = reader.ReadFloat();
        stretchingStiffness = reader.ReadFloat();
    }
    if (stored >= 5)
        gravity = reader.ReadBool();
    return reader.Ok();
}

namespace
{

// A mesh's vertex and index buffers locked for reading while it lives; the index buffer, then
// the vertex buffer are unlocked on every path.
class LockedMesh
{
public:
    explicit LockedMesh(WeMesh& mesh) : mesh(mesh)
    {
        vertexLocked = mesh.LockVertexBuffer(d3d9::D3DLOCK_READONLY, &vertices) == d3d9::D3D_OK;
        indexLocked = mesh.LockIndexBuffer(d3d9::D3DLOCK_READONLY, &indices) == d3d9::D3D_OK;
    }
    ~LockedMesh()
    {
        if (indexLocked)
            mesh.UnlockIndexBuffer();
        if (vertexLocked)
            mesh.UnlockVertexBuffer();
    }
    LockedMesh(const LockedMesh&) = delete;
    LockedMesh& operator=(const LockedMesh&) = delete;

    bool Ok() const { return vertexLocked && indexLocked && mesh.GetIndexSize() == 2; }
    // The mesh's 16-bit triangles over its vertices.
    void Describe(physx::SimpleTriangleMesh& desc) const
    {
        desc.numVertices = uint32_t(std::max(mesh.GetNumVertices(), 0));
        desc.numTriangles = uint32_t(std::max(mesh.GetNumFaces(), 0));
        desc.pointStrideBytes = uint32_t(std::max(mesh.GetBytesPerVertex(), 0));
        desc.triangleStrideBytes = 3 * sizeof(uint16_t);
        desc.points = vertices;
        desc.triangles = indices;
    }

    WeMesh& mesh;
    void* vertices = nullptr;
    void* indices = nullptr;

private:
    bool vertexLocked = false, indexLocked = false;
};

template <typename Proc> Proc CookingProc(const char* name)
{
    return reinterpret_cast<Proc>(WeGetLibraryProc("NxCooking.dll", name));
}

} // namespace

WePhysicHandle* WePhysicModel::CreatePhysics(WeActor* actor)
{
    if (!actor)
        return nullptr;
    const bool editor = engine.settings.editorMode;
    const int32_t kind = editor && type != cloth ? dynamicTriangleMesh : type;
    WeMesh* mesh = actor->model ? actor->model->mesh : nullptr;
    const WeMatrix& world = actor->GetWorldMatrix();
    const WeVector position = actor->GetWorldPosition();
    const float radius = mesh ? mesh->sphereRadius : actor->sphereRadius;
    const uint16_t shapeGroup = WePhysics::GroupOf(group);
    WePhysicHandle* handle = nullptr;
    switch (kind)
    {
    case staticBox:
    case dynamicBox:
    {
        const WeVector half = mesh ? (mesh->boxMax - mesh->boxMin) * 0.5f : WeVector{1.0f, 1.0f, 1.0f};
        handle =
            physics.BuildBox(actor, &world, &half, shapeGroup, mass, kind == staticBox, shapeFlags, this);
        break;
    }
    case staticSphere:
    case dynamicSphere:
        handle =
            physics.BuildSphere(actor, &position, radius, shapeGroup, mass, kind == staticSphere, shapeFlags);
        break;
    case staticCapsule:
    case dynamicCapsule:
        handle = physics.BuildCapsule(actor, &position, radius, radius, shapeGroup, mass,
                                      kind == staticCapsule, shapeFlags);
        break;
    case staticTriangleMesh:
    case dynamicTriangleMesh:
        handle = mesh ? physics.BuildTriangleMesh(actor, &world, mesh, kind == dynamicTriangleMesh) : nullptr;
        break;
    case cloth:
        handle = mesh ? physics.BuildCloth(actor, &world, mesh, this) : nullptr;
        break;
    default:
        break;
    }
    if (handle && !editor)
    {
        if (!gravity)
            handle->SetGravityDisabled(true);
        if (startAsleep)
            handle->PutToSleep();
    }
    return handle;
}

uint32_t WePhysics::ClothFlags(const WePhysicModel& model)
{
    const uint32_t flags =
        physx::NX_CLF_VISUALIZATION | physx::NX_CLF_GRAVITY | physx::NX_CLF_BENDING | physx::NX_CLF_DAMPING;
    return model.pressure > 0.0f ? flags | physx::NX_CLF_PRESSURE : flags;
}

WeActorHandle* WePhysics::CreateHandle(WeActor* owner, const physx::ActorDesc& desc)
{
    physx::Actor* made = scene->createActor(desc);
    if (!made)
        return nullptr;
    auto* handle = new WeActorHandle(owner);
    handle->actor = made;
    made->userData = static_cast<WePhysicHandle*>(handle);
    return handle;
}

WeActorHandle* WePhysics::BuildPrimitive(WeActor* actor, physx::ActorDesc& desc, physx::ShapeDesc& main,
                                         physx::ShapeDesc& plain, uint16_t shapeFlags)
{
    actor->DestroyPhysics();
    main.shapeFlags |= shapeFlags;
    plain.group = 1;
    if (shapeFlags)
        desc.shapes.push_back(&plain);
    desc.shapes.push_back(&main);
    WeActorHandle* handle = CreateHandle(actor, desc);
    if (handle)
        handle->actor->getShapes()[0]->setMaterial(actor->physicModel.materialIndex);
    return handle;
}

WeActorHandle* WePhysics::BuildBox(WeActor* actor, const WeMatrix* worldMatrix, const WeVector* halfExtents,
                                   uint16_t group, float mass, bool isStatic, uint16_t shapeFlags,
                                   WePhysicModel* model)
{
    if (!initialised || !scene || !actor)
        return nullptr;
    physx::BoxShapeDesc main, plain;
    main.dimensions = plain.dimensions = {halfExtents->x, halfExtents->y, halfExtents->z};
    physx::BodyDesc body;
    body.mass = mass * 1000.0f;
    if (model)
    {
        body.linearVelocity = {model->linearVelocity[0], model->linearVelocity[1], model->linearVelocity[2]};
        body.angularVelocity = {model->angularVelocity[0], model->angularVelocity[1],
                                model->angularVelocity[2]};
    }
    physx::ActorDesc desc;
    desc.globalPose = WeToPhysicsPose(*worldMatrix);
    desc.body = isStatic ? nullptr : &body;
    desc.group = GroupOf(group);
    WeActorHandle* handle = BuildPrimitive(actor, desc, main, plain, shapeFlags);
    if (handle)
        SetShapesGroup(handle->actor, group);
    return handle;
}

namespace
{

// Spheres and capsules stand at the position, unturned; their groups are set only without
// extra shape flags.
WeActorHandle* GroupRound(WeActorHandle* handle, uint16_t group, uint16_t shapeFlags)
{
    if (handle && shapeFlags == 0)
    {
        handle->actor->setGroup(WePhysics::GroupOf(group));
        physics.SetShapesGroup(handle->actor, group);
    }
    return handle;
}

physx::ActorDesc RoundDesc(const WeVector& position, const physx::BodyDesc* body)
{
    physx::ActorDesc desc;
    desc.globalPose.t = {position.x, position.y, position.z};
    desc.body = body;
    return desc;
}

} // namespace

WeActorHandle* WePhysics::BuildSphere(WeActor* actor, const WeVector* position, float radius, uint16_t group,
                                      float mass, bool isStatic, uint16_t shapeFlags)
{
    if (!initialised || !scene || !actor)
        return nullptr;
    physx::SphereShapeDesc main, plain;
    main.radius = plain.radius = radius;
    physx::BodyDesc body;
    body.mass = mass;
    physx::ActorDesc desc = RoundDesc(*position, isStatic ? nullptr : &body);
    return GroupRound(BuildPrimitive(actor, desc, main, plain, shapeFlags), group, shapeFlags);
}

WeActorHandle* WePhysics::BuildCapsule(WeActor* actor, const WeVector* position, float radius, float height,
                                       uint16_t group, float mass, bool isStatic, uint16_t shapeFlags)
{
    if (!initialised || !scene || !actor)
        return nullptr;
    physx::CapsuleShapeDesc main, plain;
    main.radius = plain.radius = radius;
    main.height = plain.height = height;
    physx::BodyDesc body;
    body.mass = mass;
    physx::ActorDesc desc = RoundDesc(*position, isStatic ? nullptr : &body);
    return GroupRound(BuildPrimitive(actor, desc, main, plain, shapeFlags), group, shapeFlags);
}

WeActorHandle* WePhysics::BuildTriangleMesh(WeActor* actor, const WeMatrix* worldMatrix, WeMesh* mesh,
                                            bool isDynamic)
{
    if (!initialised || !scene || !actor || !mesh)
        return nullptr;
    WeMeshActorDesc** slot = nullptr;
    WeMeshActorDesc* cooked = meshActorCache.Lookup(mesh->path, slot) ? *slot : nullptr;
    if (!cooked)
    {
        auto fresh = std::make_unique<WeMeshActorDesc>();
        if (!fresh->Cook(mesh))
            return nullptr;
        cooked = fresh.release();
        if (slot)
            *slot = cooked;
        else
            meshActorCache.Insert(mesh->path, cooked);
    }
    physx::ActorDesc desc = cooked->actorDesc;
    desc.globalPose = WeToPhysicsPose(*worldMatrix);
    physx::BodyDesc body;
    desc.body = isDynamic ? &body : nullptr;
    desc.density = isDynamic ? 10.0f : 0.0f;
    actor->DestroyPhysics();
    return CreateHandle(actor, desc);
}

bool WeMeshActorDesc::Cook(WeMesh* mesh)
{
    if (!mesh || !physics.sdkWanted || !physics.initialised || !physics.scene)
        return false;
    path = mesh->path;
    const LockedMesh locked(*mesh);
    if (!locked.Ok())
        return false;
    physx::TriangleMeshDesc desc;
    locked.Describe(desc);
    desc.flags = physx::NX_MF_16_BIT_INDICES | physx::NX_MF_HARDWARE_MESH;
    const auto init = CookingProc<physx::NxInitCookingProc>("NxInitCooking");
    const auto close = CookingProc<physx::NxCloseCookingProc>("NxCloseCooking");
    const auto setParams = CookingProc<physx::NxSetCookingParamsProc>("NxSetCookingParams");
    const auto cookMesh = CookingProc<physx::NxCookTriangleMeshProc>("NxCookTriangleMesh");
    if (init)
        init();
    if (setParams)
    {
        physx::CookingParams params;
        params.skinWidth = 0.3f;
        setParams(params);
    }
    MemoryWriteBuffer written;
    bool cooked = cookMesh && cookMesh(desc, written) && !written.failed();
    if (cooked)
    {
        MemoryReadBuffer reading(written.data, written.currentSize);
        shapeDesc.meshPagingMode = physx::NX_MESH_PAGING_AUTO;
        shapeDesc.materialIndex = 0;
        shapeDesc.meshData = physics.sdk->createTriangleMesh(reading);
        cooked = shapeDesc.meshData != nullptr;
    }
    if (close)
        close();
    if (cooked)
        actorDesc.shapes = {&shapeDesc};
    return cooked;
}

namespace
{

// Copies a mesh vertex into a cloth buffer with its position and normal placed by the matrix.
void PlaceClothVertex(uint8_t* to, const uint8_t* from, const WeMatrix& world)
{
    std::memcpy(to, from, WeClothHandle::vertexSize);
    WeVector position, normal;
    std::memcpy(&position, from, sizeof position);
    std::memcpy(&normal, from + sizeof position, sizeof normal);
    position = d3dx::D3DXVec3TransformCoord(position, world);
    normal = {normal.x * world.m[0][0] + normal.y * world.m[1][0] + normal.z * world.m[2][0],
              normal.x * world.m[0][1] + normal.y * world.m[1][1] + normal.z * world.m[2][1],
              normal.x * world.m[0][2] + normal.y * world.m[1][2] + normal.z * world.m[2][2]};
    std::memcpy(to, &position, sizeof position);
    std::memcpy(to + sizeof position, &normal, sizeof normal);
}

} // namespace

WeClothHandle* WePhysics::BuildCloth(WeActor* actor, const WeMatrix* worldMatrix, WeMesh* mesh,
                                     WePhysicModel* model)
{
    if (!initialised || !scene || !actor || !mesh || !model || !cookingLibrary)
        return nullptr;
    const uint16_t group = GroupOf(model->group);
    scene->setGroupCollisionFlag(group, group, true);
    physx::ClothDesc desc;
    desc.globalPose = WeToPhysicsPose(*worldMatrix);
    desc.thickness = 0.2f;
    desc.density = model->density;
    desc.bendingStiffness = model->bendingStiffness;
    desc.stretchingStiffness = model->stretchingStiffness;
    desc.dampingCoefficient = 0.1f;
    desc.friction = model->friction;
    desc.pressure = model->pressure;
    desc.attachmentResponseCoefficient = 0.2f;
    desc.solverIterations = 5;
    desc.collisionGroup = group;
    desc.flags = ClothFlags(*model);
    const LockedMesh locked(*mesh);
    if (!locked.Ok() || locked.mesh.GetBytesPerVertex() < int32_t(WeClothHandle::vertexSize))
        return nullptr;
    physx::ClothMeshDesc meshDesc;
    locked.Describe(meshDesc);
    meshDesc.flags = physx::NX_MF_16_BIT_INDICES | physx::NX_CLOTH_MESH_WELD_VERTICES;
    meshDesc.weldingDistance = 0.001f;
    MemoryWriteBuffer written;
    cookingLibrary->NxInitCooking();
    const bool cooked = cookingLibrary->NxCookClothMesh(meshDesc, written) && !written.failed();
    cookingLibrary->NxCloseCooking();
    if (!cooked)
        return nullptr;
    actor->DestroyPhysics();
    auto* handle = new WeClothHandle(actor);
    MemoryReadBuffer reading(written.data, written.currentSize);
    handle->clothMesh = sdk->createClothMesh(reading);
    handle->InitMeshData(meshDesc.numVertices, meshDesc.numTriangles);
    desc.clothMesh = handle->clothMesh;
    desc.meshData = handle->meshData;
    handle->cloth = handle->clothMesh ? scene->createCloth(desc) : nullptr;
    if (!handle->cloth)
    {
        delete handle;
        return nullptr;
    }
    handle->cloth->userData = static_cast<WePhysicHandle*>(handle);
    handle->cloth->attachToCollidingShapes(physx::NX_CLOTH_ATTACHMENT_TWOWAY);
    // The receive buffers start as the mesh placed where the cloth starts, in world space as the
    // SDK writes them; it rewrites positions and normals only.
    const uint32_t stride = meshDesc.pointStrideBytes;
    for (uint32_t i = 0; i < meshDesc.numVertices; ++i)
        PlaceClothVertex(handle->vertices + size_t(i) * WeClothHandle::vertexSize,
                         static_cast<const uint8_t*>(locked.vertices) + size_t(i) * stride, *worldMatrix);
    std::memcpy(handle->indices, locked.indices, size_t(handle->indexCount) * sizeof(uint16_t));
    handle->UpdateRenderCopy();
    return handle;
}
