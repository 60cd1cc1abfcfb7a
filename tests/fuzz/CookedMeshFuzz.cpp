// libFuzzer target for cooked meshes: the first byte chooses the triangle-mesh or the cloth-mesh
// reader, the rest is the block, read through the engine's read buffer. Whatever the bytes, the
// SDK refuses the block or takes a mesh that Bullet can use: a static actor over a triangle
// mesh is cast at and has a box dropped on it, a cloth over a cloth mesh is stepped; both are
// released again, with their mesh.
#include "physics/MemoryWriteBuffer.h"
#include "physx/PhysXSdk.h"

#include <vector>

// The read buffer needs no library; the write buffer's allocator lookup is not part of this target.
void* WeGetLibraryProc(const char*, const char*)
{
    return nullptr;
}

namespace
{

struct AnyHit : physx::UserRaycastReport
{
    bool onHit(const physx::RaycastHit&) override { return true; }
};

// Actors over the mesh: a static one that rays are cast at and a box dropped on it.
std::vector<physx::Actor*> UseTriangleMesh(physx::Scene& scene, physx::TriangleMesh* mesh)
{
    physx::TriangleMeshShapeDesc shape;
    shape.meshData = mesh;
    physx::ActorDesc actor;
    actor.shapes.push_back(&shape);
    physx::BoxShapeDesc box;
    physx::BodyDesc body;
    body.mass = 1.0f;
    physx::ActorDesc falling;
    falling.globalPose.t = {0, 1, 0};
    falling.body = &body;
    falling.shapes.push_back(&box);
    std::vector<physx::Actor*> actors = {scene.createActor(actor), scene.createActor(falling)};
    AnyHit hits;
    for (const physx::Vec3 direction : {physx::Vec3{0, -1, 0}, physx::Vec3{1, 0.5f, 0.25f}})
        scene.raycastAllShapes({{0, 5, 0}, direction}, hits, physx::NX_ALL_SHAPES);
    return actors;
}

void Step(physx::Scene& scene)
{
    for (int step = 0; step < 3; ++step)
    {
        scene.simulate(1.0f / 60.0f);
        scene.fetchResults();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    // One scene for every input: making a Bullet world takes longer than a run.
    static physx::PhysicsSDK* sdk = physx::NxCreatePhysicsSDK(physx::NX_PHYSICS_SDK_VERSION);
    static physx::Scene* scene = sdk->createScene({{0, -9.81f, 0}});
    MemoryReadBuffer block(data + 1, uint32_t(size - 1));
    if (data[0] & 1)
    {
        physx::ClothMesh* mesh = sdk->createClothMesh(block);
        if (!mesh)
            return 0;
        physx::ClothDesc desc;
        desc.clothMesh = mesh;
        physx::Cloth* cloth = scene->createCloth(desc);
        Step(*scene);
        if (cloth)
            scene->releaseCloth(*cloth);
        sdk->releaseClothMesh(*mesh);
        return 0;
    }
    physx::TriangleMesh* mesh = sdk->createTriangleMesh(block);
    if (!mesh)
        return 0;
    const std::vector<physx::Actor*> actors = UseTriangleMesh(*scene, mesh);
    Step(*scene);
    for (physx::Actor* actor : actors)
        if (actor)
            scene->releaseActor(*actor);
    sdk->releaseTriangleMesh(*mesh);
    return 0;
}
