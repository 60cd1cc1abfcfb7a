// 1,000 boxes dropped onto a triangle-mesh floor, two seconds at 60 frames a second: once as the
// engine runs them (actors with physic models in a scene, each frame the world's fetch, the
// scene's Tick and the next step), once through the physics layer alone (simulate and fetch,
// with contact, trigger and sleep reports taken, as the engine takes them) and once on bare
// Bullet with the same shapes, damping and combined friction. Each iteration builds each scene
// untimed and times its 120 frames, the three in turn (the first of them rotating), so that
// load on the machine falls on all three alike; the counters are the medians of one frame and
// the ratios of the engine's and the layer's medians to bare Bullet's.
#include "WeActor.h"
#include "WeConfig.h"
#include "WeMesh.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "physics/MemoryWriteBuffer.h"
#include "physics/WePhysics.h"
#include "physx/PhysXSdk.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

namespace
{

constexpr int kFrames = 120;
constexpr float kStep = 1.0f / 60.0f;
constexpr int kCells = 20; // the floor is kCells x kCells quads
constexpr float kFloorSize = 60.0f;

// The floor's grid: vertices in rows along x, two triangles per quad, facing up.
struct Floor
{
    Floor()
    {
        const float cell = kFloorSize / kCells;
        for (int z = 0; z <= kCells; ++z)
            for (int x = 0; x <= kCells; ++x)
                points.push_back({-kFloorSize / 2 + x * cell, 0.0f, -kFloorSize / 2 + z * cell});
        for (int z = 0; z < kCells; ++z)
            for (int x = 0; x < kCells; ++x)
            {
                const int a = z * (kCells + 1) + x, b = a + 1, c = a + kCells + 1, d = c + 1;
                indices.insert(indices.end(), {a, c, b, b, c, d});
            }
    }
    std::vector<physx::Vec3> points;
    std::vector<int> indices;
};

// Where box i starts: 20 x 10 columns, 5 layers, a little apart.
physx::Vec3 BoxStart(int i)
{
    return {-15.0f + 1.5f * float(i % 20), 1.0f + 1.5f * float(i / 200), -7.5f + 1.5f * float(i / 20 % 10)};
}

constexpr int kBoxes = 1000;

// Reports taken and dropped, as the engine's are when no hook is set.
struct Reports : physx::UserContactReport, physx::UserTriggerReport, physx::UserNotify
{
    void onContactNotify(physx::ContactPair& pair, uint32_t events) override
    {
        benchmark::DoNotOptimize(pair.actors[0]->userData);
        benchmark::DoNotOptimize(events);
    }
    void onTrigger(physx::Shape&, physx::Shape&, physx::ShapeFlag) override {}
    void onWake(physx::Actor** actors, uint32_t count) override
    {
        benchmark::DoNotOptimize(actors[count - 1]);
    }
    void onSleep(physx::Actor** actors, uint32_t count) override
    {
        benchmark::DoNotOptimize(actors[count - 1]);
    }
};

struct LayerScene
{
    LayerScene()
    {
        physx::SceneDesc desc;
        desc.gravity = {0.0f, -9.81f, 0.0f};
        scene = sdk->createScene(desc);
        scene->setUserContactReport(&reports);
        scene->setUserTriggerReport(&reports);
        scene->setUserNotify(&reports);
        physx::TriangleMeshDesc meshDesc;
        meshDesc.numVertices = uint32_t(floor.points.size());
        meshDesc.numTriangles = uint32_t(floor.indices.size() / 3);
        meshDesc.pointStrideBytes = sizeof(physx::Vec3);
        meshDesc.triangleStrideBytes = 3 * sizeof(int);
        meshDesc.points = floor.points.data();
        meshDesc.triangles = floor.indices.data();
        MemoryWriteBuffer cooked;
        physx::NxInitCooking();
        physx::NxCookTriangleMesh(meshDesc, cooked);
        physx::NxCloseCooking();
        MemoryReadBuffer block(cooked.data, cooked.currentSize);
        physx::TriangleMeshShapeDesc floorShape;
        floorShape.meshData = sdk->createTriangleMesh(block);
        physx::ActorDesc floorActor;
        floorActor.shapes.push_back(&floorShape);
        scene->createActor(floorActor);
        physx::BoxShapeDesc box;
        box.dimensions = {0.5f, 0.5f, 0.5f};
        physx::BodyDesc body;
        body.mass = 10.0f;
        physx::ActorDesc boxActor;
        boxActor.body = &body;
        boxActor.shapes.push_back(&box);
        for (int i = 0; i < kBoxes; ++i)
        {
            boxActor.globalPose.t = BoxStart(i);
            scene->createActor(boxActor);
        }
    }
    ~LayerScene() { sdk->release(); }

    void Frame()
    {
        scene->simulate(kStep);
        scene->fetchResults(physx::NX_RIGID_BODY_FINISHED, true);
    }

    Floor floor;
    Reports reports;
    physx::PhysicsSDK* sdk = physx::NxCreatePhysicsSDK(physx::NX_PHYSICS_SDK_VERSION);
    physx::Scene* scene = nullptr;
};

// The same scene on Bullet alone. Bullet multiplies the friction of the two sides, the layer
// averages them: each side here has the root of 0.5, which multiplies to the layer's 0.5.
struct BulletScene
{
    BulletScene()
        : array(int(floor.indices.size() / 3), floor.indices.data(), 3 * int(sizeof(int)),
                int(floor.points.size()), &floor.points.data()->x, int(sizeof(physx::Vec3))),
          floorShape(&array, true)
    {
        world.setGravity(btVector3(0.0f, -9.81f, 0.0f));
        Add(0.0f, &floorShape, btVector3(0.0f, 0.0f, 0.0f));
        for (int i = 0; i < kBoxes; ++i)
        {
            boxShapes.push_back(std::make_unique<btBoxShape>(btVector3(0.5f, 0.5f, 0.5f)));
            const physx::Vec3 at = BoxStart(i);
            Add(10.0f, boxShapes.back().get(), btVector3(at.x, at.y, at.z));
        }
    }
    ~BulletScene()
    {
        for (const auto& body : bodies)
            world.removeRigidBody(body.get());
    }

    void Add(float mass, btCollisionShape* shape, const btVector3& at)
    {
        btVector3 inertia(0.0f, 0.0f, 0.0f);
        if (mass > 0.0f)
            shape->calculateLocalInertia(mass, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
        info.m_startWorldTransform.setIdentity();
        info.m_startWorldTransform.setOrigin(at);
        info.m_angularDamping = 0.05f;
        info.m_friction = std::sqrt(0.5f);
        bodies.push_back(std::make_unique<btRigidBody>(info));
        world.addRigidBody(bodies.back().get());
    }

    void Frame() { world.stepSimulation(kStep, 0, kStep); }

    Floor floor;
    btTriangleIndexVertexArray array;
    btBvhTriangleMeshShape floorShape;
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
    std::vector<std::unique_ptr<btBoxShape>> boxShapes;
    std::vector<std::unique_ptr<btRigidBody>> bodies;
};

// A headless mesh of the engine's vertex from the points and triangles.
std::unique_ptr<WeMesh> MakeMesh(const std::vector<physx::Vec3>& points, const std::vector<int>& indices)
{
    d3dx::Mesh* made = nullptr;
    d3dx::D3DXCreateMesh(uint32_t(indices.size() / 3), uint32_t(points.size()), d3dx::D3DXMESH_MANAGED,
                         WeMesh::vertexDeclaration, nullptr, &made);
    WeMeshVertex* vertices = nullptr;
    made->LockVertexBuffer(0, reinterpret_cast<void**>(&vertices));
    for (const physx::Vec3& point : points)
        *vertices++ = {
            {point.x, point.y, point.z}, {0.0f, 1.0f, 0.0f}, 0.0f, 0.0f, {1.0f, 0.0f, 0.0f}, 0.0f, 0.0f};
    made->UnlockVertexBuffer();
    uint16_t* triangles = nullptr;
    made->LockIndexBuffer(0, reinterpret_cast<void**>(&triangles));
    for (const int index : indices)
        *triangles++ = uint16_t(index);
    made->UnlockIndexBuffer();
    auto mesh = std::make_unique<WeMesh>();
    mesh->mesh = made;
    mesh->ComputeBounds();
    mesh->UpdateCounts(false);
    return mesh;
}

// A 1 m box's corners and faces.
std::unique_ptr<WeMesh> BoxMesh()
{
    std::vector<physx::Vec3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({i & 1 ? 0.5f : -0.5f, i & 2 ? 0.5f : -0.5f, i & 4 ? 0.5f : -0.5f});
    return MakeMesh(corners, {0, 2, 1, 1, 2, 3, 4, 5, 6, 5, 7, 6, 0, 1, 4, 1, 5, 4,
                              2, 6, 3, 3, 6, 7, 0, 4, 2, 2, 4, 6, 1, 3, 5, 3, 7, 5});
}

struct EngineScene
{
    EngineScene()
    {
        WeConfig::GetFloat("engine.Physics.TimeSteps", 60.0f) = 60.0f;
        WeConfig::GetBool("engine.Physics.VariableTimeSteps", false) = false;
        const float gravity[3] = {0.0f, -9.81f, 0.0f};
        physics.Init(gravity, true);
        timer.deltaTime = kStep;
        Add(WePhysicModel::staticTriangleMesh, {}, floorMesh.get());
        for (int i = 0; i < kBoxes; ++i)
        {
            const physx::Vec3 at = BoxStart(i);
            Add(WePhysicModel::dynamicBox, {at.x, at.y, at.z}, boxMesh.get());
        }
    }
    ~EngineScene()
    {
        scene.reset();
        physics.Shutdown();
    }

    void Add(int32_t type, const WeVector& at, WeMesh* mesh)
    {
        auto* actor = new WeActor;
        actor->physicModel.type = type;
        actor->physicModel.startAsleep = false;
        actor->physicModel.mass = 0.01f; // the world's 10, as in the other two scenes
        actor->model = std::make_unique<WeModel>(false);
        actor->model->mesh = mesh;
        actor->SetLocation(at);
        // Marked as the map loader marks a static physics actor: it never moves.
        std::fill(std::begin(actor->staticFlags), std::end(actor->staticFlags), actor->IsStaticForPhysics());
        scene->AddActor(actor);
    }

    void Frame()
    {
        physics.FetchResults();
        scene->Tick();
        physics.Simulate();
    }

    Floor floor;
    std::unique_ptr<WeMesh> floorMesh = MakeMesh(floor.points, floor.indices);
    std::unique_ptr<WeMesh> boxMesh = BoxMesh();
    std::unique_ptr<WeScene> scene = std::make_unique<WeScene>();
};

// The time of one frame of a freshly built scene, in milliseconds.
template <typename SceneType> double FrameTime()
{
    auto scene = std::make_unique<SceneType>();
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < kFrames; ++frame)
        scene->Frame();
    const std::chrono::duration<double, std::milli> taken = std::chrono::steady_clock::now() - start;
    return taken.count() / kFrames;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

} // namespace

static void BM_BoxesOnMeshFloor(benchmark::State& state)
{
    double (*const runs[3])() = {FrameTime<EngineScene>, FrameTime<LayerScene>, FrameTime<BulletScene>};
    std::vector<double> times[3];
    size_t first = 0;
    for (auto _ : state)
    {
        for (size_t k = 0; k < 3; ++k)
        {
            const size_t which = (first + k) % 3;
            times[which].push_back(runs[which]());
        }
        first = (first + 1) % 3;
    }
    const double engineFrame = Median(times[0]), layerFrame = Median(times[1]),
                 bulletFrame = Median(times[2]);
    state.counters["engine_ms"] = engineFrame;
    state.counters["layer_ms"] = layerFrame;
    state.counters["bullet_ms"] = bulletFrame;
    state.counters["engine_x"] = engineFrame / bulletFrame;
    state.counters["layer_x"] = layerFrame / bulletFrame;
}
BENCHMARK(BM_BoxesOnMeshFloor)->Unit(benchmark::kMillisecond)->Iterations(12);

BENCHMARK_MAIN();
