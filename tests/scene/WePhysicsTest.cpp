// The physics world driven as the engine drives it (fetch, scene Tick, simulate each frame):
// step timing, bodies built from physic models falling and resting on a cooked floor, triggers,
// teleports, rays, handles and the cache of cooked meshes.
#include "physics/WePhysics.h"
#include "SceneFixture.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeFileSystem.h"
#include "WeMapSource.h"
#include "WeMeshBuilder.h"
#include "physics/WePhysicHandle.h"
#include "physx/PhysXSdk.h"
#include "win32/Win32Library.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace
{

constexpr float kFrame = 1.0f / 60.0f;

// A headless mesh in the engine vertex: the points with normals up, the triangles.
std::unique_ptr<WeMesh> MakeMesh(const char* path, const std::vector<WeVector>& points,
                                 const std::vector<uint16_t>& indices)
{
    d3dx::Mesh* made = nullptr;
    EXPECT_EQ(d3dx::D3DXCreateMesh(uint32_t(indices.size() / 3), uint32_t(points.size()),
                                   d3dx::D3DXMESH_MANAGED, WeMesh::vertexDeclaration, nullptr, &made),
              d3d9::D3D_OK);
    WeMeshVertex* vertices = nullptr;
    uint16_t* triangles = nullptr;
    made->LockVertexBuffer(0, reinterpret_cast<void**>(&vertices));
    for (size_t i = 0; i < points.size(); ++i)
        vertices[i] = {points[i], {0.0f, 1.0f, 0.0f}, 0.0f, 0.0f, {1.0f, 0.0f, 0.0f}, 0.0f, 0.0f};
    made->UnlockVertexBuffer();
    made->LockIndexBuffer(0, reinterpret_cast<void**>(&triangles));
    std::copy(indices.begin(), indices.end(), triangles);
    made->UnlockIndexBuffer();
    auto mesh = std::make_unique<WeMesh>();
    mesh->path = path;
    mesh->mesh = made;
    mesh->ComputeBounds();
    mesh->UpdateCounts(false);
    return mesh;
}

// cells x cells quads of the size in the XZ plane at height 0, centred, facing up.
std::unique_ptr<WeMesh> GridMesh(const char* path, int cells, float size)
{
    std::vector<WeVector> points;
    std::vector<uint16_t> indices;
    const float cell = size / float(cells);
    for (int z = 0; z <= cells; ++z)
        for (int x = 0; x <= cells; ++x)
            points.push_back({-size / 2 + float(x) * cell, 0.0f, -size / 2 + float(z) * cell});
    for (int z = 0; z < cells; ++z)
        for (int x = 0; x < cells; ++x)
        {
            const uint16_t a = uint16_t(z * (cells + 1) + x), b = uint16_t(a + 1),
                           c = uint16_t(a + cells + 1), d = uint16_t(c + 1);
            indices.insert(indices.end(), {a, c, b, b, c, d});
        }
    return MakeMesh(path, points, indices);
}

WeVector Corner(const WeMesh& mesh, uint32_t face, int corner)
{
    void* vertices = nullptr;
    void* indices = nullptr;
    mesh.mesh->LockVertexBuffer(d3d9::D3DLOCK_READONLY, &vertices);
    mesh.mesh->LockIndexBuffer(d3d9::D3DLOCK_READONLY, &indices);
    const WeVector at =
        static_cast<const WeMeshVertex*>(vertices)[static_cast<const uint16_t*>(indices)[face * 3 + corner]]
            .position;
    mesh.mesh->UnlockIndexBuffer();
    mesh.mesh->UnlockVertexBuffer();
    return at;
}

std::vector<WeActor*> sleepers;
std::vector<std::pair<WeActor*, WeActor*>> triggered;

} // namespace

class PhysicsTest : public SceneTest
{
protected:
    void SetUp() override
    {
        WeConfig::GetFloat("engine.Physics.TimeSteps", 60.0f) = 60.0f;
        WeConfig::GetInt("engine.Physics.MaxIterations", 8) = 8;
        WeConfig::GetBool("engine.Physics.VariableTimeSteps", false) = false;
        WeConfig::GetBool("engine.Physics.AlwaysUseDeltaTime", false) = false;
        ASSERT_TRUE(physics.Init(kGravity, true));
        timer.deltaTime = kFrame;
        scene = std::make_unique<WeScene>();
        sleepers.clear();
        triggered.clear();
    }
    void TearDown() override
    {
        scene.reset();
        physics.sleepHook = nullptr;
        physics.triggerHook = nullptr;
        physics.Shutdown();
    }

    // A new actor of the physic type at the place, with the mesh as its model's when given.
    WeActor* Add(int32_t type, const WeVector& at, WeMesh* mesh = nullptr, uint16_t shapeFlags = 0)
    {
        auto* actor = new WeActor;
        actor->physicModel.type = type;
        actor->physicModel.shapeFlags = shapeFlags;
        actor->physicModel.startAsleep = false;
        if (mesh)
        {
            actor->model = std::make_unique<WeModel>(false);
            actor->model->mesh = mesh;
        }
        actor->SetLocation(at);
        scene->AddActor(actor);
        return actor;
    }
    WeActor* Floor()
    {
        floor = GridMesh("Meshes\\floor", 10, 40.0f);
        return Add(WePhysicModel::staticTriangleMesh, {}, floor.get());
    }
    // Frames as the engine runs them: fetch, the scene's Tick, the next step.
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            physics.FetchResults();
            scene->Tick();
            physics.Simulate();
        }
    }
    void Restart()
    {
        scene.reset();
        physics.Shutdown();
        ASSERT_TRUE(physics.Init(kGravity, true));
        scene = std::make_unique<WeScene>();
    }

    static constexpr float kGravity[3] = {0.0f, -9.81f, 0.0f};
    std::unique_ptr<WeMesh> floor;
    std::unique_ptr<WeScene> scene;
};

TEST_F(PhysicsTest, FixedStepsFollowTheAccumulator)
{
    // Frame time, then the time the frame hands to the SDK (0: none) and what stays owed.
    const struct
    {
        float delta, elapsed, accumulator;
    } frames[] = {
        {0.0f, kFrame, -kFrame},                      // the first step, before any fetch
        {0.04f, 2 * kFrame, 0.04f - 3 * kFrame},      // 0.0233 due: two steps
        {0.005f, 0.0f, 0.045f - 3 * kFrame},          // still below 0: no fetch, no step
        {0.5f, 8 * kFrame, 0.545f - 11 * kFrame},     // eight steps at most, 0.3617 owed
        {0.0001f, 8 * kFrame, 0.5451f - 19 * kFrame}, // the owed time keeps being summed
    };
    for (const auto& frame : frames)
    {
        timer.deltaTime = frame.delta;
        physics.elapsed = 0.0f;
        if (frame.delta > 0.0f)
            physics.FetchResults();
        physics.Simulate();
        EXPECT_NEAR(physics.elapsed, frame.elapsed, 1e-5f) << frame.delta;
        EXPECT_NEAR(physics.accumulator, frame.accumulator, 1e-5f) << frame.delta;
    }
}

TEST_F(PhysicsTest, TimingSettingsAreClampedAndVariableStepsTakeTheFrame)
{
    const struct
    {
        float timeSteps;
        int32_t iterations;
        bool variable;
        float step;
        int32_t maxIterations;
    } cases[] = {
        {0.0f, 0, false, 1000.0f, 1}, {-5.0f, -3, false, 1000.0f, 1}, {30.0f, 4, true, 1.0f / 30.0f, 4}};
    for (const auto& c : cases)
    {
        WeConfig::GetFloat("engine.Physics.TimeSteps", 60.0f) = c.timeSteps;
        WeConfig::GetInt("engine.Physics.MaxIterations", 8) = c.iterations;
        WeConfig::GetBool("engine.Physics.VariableTimeSteps", false) = c.variable;
        Restart();
        EXPECT_FLOAT_EQ(physics.step, c.step);
        EXPECT_EQ(physics.maxIterations, c.maxIterations);
        timer.deltaTime = 0.3f;
        physics.FetchResults();
        physics.Simulate();
        // Variable steps hand over the frame and leave the accumulator alone.
        EXPECT_NEAR(physics.elapsed, c.variable ? 0.3f : 1000.0f, 1e-4f);
        EXPECT_NEAR(physics.accumulator, c.variable ? 0.0f : 0.3f - 1000.0f, 1e-3f);
    }
}

TEST_F(PhysicsTest, BodiesFallCollideAndFallAsleepOnTheFloor)
{
    physics.sleepHook = [](WeActor* actor) { sleepers.push_back(actor); };
    Floor();
    WeActor* box = Add(WePhysicModel::dynamicBox, {0.0f, 4.0f, 0.0f});
    WeActor* onBox = Add(WePhysicModel::dynamicBox, {0.2f, 8.0f, 0.0f});
    auto* ball = new WeActor;
    ball->physicModel.type = WePhysicModel::dynamicSphere;
    ball->physicModel.startAsleep = false;
    ball->radiusOverride = 0.5f;
    ball->SetLocation({6.0f, 3.0f, 0.0f});
    scene->AddActor(ball);
    ASSERT_TRUE(box->physicsHandle && ball->physicsHandle);
    EXPECT_FLOAT_EQ(box->physicsHandle->actor->getMass(), 10000.0f);
    EXPECT_FLOAT_EQ(ball->physicsHandle->actor->getMass(), 10.0f);
    Frames(600);
    EXPECT_NEAR(box->GetWorldPosition().y, 1.0f, 0.05f);  // a 2 x 2 x 2 box without a model
    EXPECT_NEAR(onBox->GetWorldPosition().y, 3.0f, 0.1f); // stacked on the first
    EXPECT_NEAR(ball->GetWorldPosition().y, 0.5f, 0.05f);
    for (WeActor* body : {box, onBox, ball})
    {
        EXPECT_TRUE(body->physicsHandle->actor->isSleeping());
        EXPECT_GE(std::count(sleepers.begin(), sleepers.end(), body), 1);
    }
}

TEST_F(PhysicsTest, ShapeFlagsAddAPlainShapeFirstAndTriggersReport)
{
    physics.triggerHook = [](WeActor* trigger, WeActor* other, uint32_t status)
    {
        if (status == physx::NX_TRIGGER_ON_ENTER)
            triggered.push_back({trigger, other});
    };
    // Sphere and box, group 3 and the trigger flag: the sphere keeps group 0, the box takes 3.
    const struct
    {
        int32_t type;
        uint16_t actorGroup, plainGroup, mainGroup;
    } cases[] = {{WePhysicModel::staticSphere, 0, 1, 0}, {WePhysicModel::staticBox, 3, 3, 3}};
    std::vector<WeActor*> triggers;
    for (const auto& c : cases)
    {
        auto* actor = new WeActor;
        actor->physicModel = {};
        actor->physicModel.type = c.type;
        actor->physicModel.group = 3 + 64; // only the low five bits count
        actor->physicModel.shapeFlags = physx::NX_TRIGGER_ON_ENTER | physx::NX_TRIGGER_ON_STAY;
        actor->radiusOverride = 1.0f;
        actor->SetLocation({float(triggers.size()) * 10.0f, 0.0f, 0.0f});
        scene->AddActor(actor);
        ASSERT_NE(actor->physicsHandle, nullptr);
        const physx::Actor* made = actor->physicsHandle->actor;
        ASSERT_EQ(made->getNbShapes(), 2u);
        EXPECT_EQ(made->getGroup(), c.actorGroup);
        EXPECT_FALSE(made->getShapes()[0]->isTrigger());
        EXPECT_EQ(made->getShapes()[0]->getGroup(), c.plainGroup);
        EXPECT_TRUE(made->getShapes()[1]->isTrigger());
        EXPECT_EQ(made->getShapes()[1]->getGroup(), c.mainGroup);
        triggers.push_back(actor);
    }
    // The sphere's plain shape lets falling bodies through; its trigger shape sees them.
    physics.scene->setGroupCollisionFlag(0, 1, false);
    WeActor* falling = Add(WePhysicModel::dynamicBox, {0.0f, 5.0f, 0.0f});
    Frames(90);
    ASSERT_EQ(triggered.size(), 1u);
    EXPECT_EQ(triggered[0].first, triggers[0]);
    EXPECT_EQ(triggered[0].second, falling);
}

TEST_F(PhysicsTest, ATeleportSendsWhatTouchesItToItsTargetAfterTheFetch)
{
    Floor();
    WeActor* gate = Add(WePhysicModel::staticBox, {0.0f, 1.0f, 0.0f});
    gate->teleport = true;
    gate->teleportTarget = "target";
    auto* target = new WeActor;
    target->name = "target";
    target->SetLocation({12.0f, 6.0f, -4.0f});
    scene->AddActor(target);
    WeActor* traveller = Add(WePhysicModel::dynamicBox, {0.0f, 4.5f, 0.0f});
    WeActor* bystander = Add(WePhysicModel::dynamicBox, {-8.0f, 4.5f, 0.0f});
    Frames(60);
    const WeVector arrived = traveller->GetWorldPosition();
    EXPECT_NEAR(arrived.x, 12.0f, 0.01f);
    EXPECT_NEAR(arrived.z, -4.0f, 0.01f);
    EXPECT_LT(arrived.y, 6.0f); // fell on from the target
    EXPECT_FALSE(traveller->teleportPending);
    EXPECT_NEAR(bystander->GetWorldPosition().x, -8.0f, 0.01f);
    EXPECT_TRUE(physics.pendingPoses.IsEmpty());
}

TEST_F(PhysicsTest, RaysReportPointNormalFaceAndActor)
{
    WeList<WeRaycastHit> hits;
    const float origin[3] = {1.3f, 10.0f, 2.2f}, down[3] = {0.0f, -1.0f, 0.0f};
    EXPECT_FALSE(physics.Raycast(origin, down, physx::NX_ALL_SHAPES, hits, ~0u, 100.0f, ~0u));
    EXPECT_TRUE(hits.IsEmpty());
    WeActor* ground = Floor();
    ASSERT_TRUE(physics.Raycast(origin, down, physx::NX_ALL_SHAPES, hits, ~0u, 100.0f, ~0u));
    ASSERT_EQ(hits.GetCount(), 1);
    const WeRaycastHit& hit = hits.First();
    EXPECT_EQ(hit.actor, ground);
    EXPECT_EQ(hit.model, ground->model.get());
    EXPECT_NEAR(hit.point.y, 0.0f, 1e-4f);
    EXPECT_NEAR(hit.normal.y, 1.0f, 1e-4f);
    EXPECT_NEAR(hit.distance, 10.0f, 1e-4f);
    // The cooked face is the mesh's own triangle: its corners give back the point.
    ASSERT_LT(hit.faceId, uint32_t(floor->GetNumFaces()));
    const WeVector a = Corner(*floor, hit.faceId, 0), b = Corner(*floor, hit.faceId, 1),
                   c = Corner(*floor, hit.faceId, 2);
    const WeVector back = a * (1.0f - hit.u - hit.v) + b * hit.u + c * hit.v;
    EXPECT_NEAR(back.x, 1.3f, 1e-3f);
    EXPECT_NEAR(back.z, 2.2f, 1e-3f);
    // Static shapes only, or a group mask without the floor's group, miss.
    hits.Clear();
    EXPECT_FALSE(physics.Raycast(origin, down, physx::NX_DYNAMIC_SHAPES, hits, ~0u, 100.0f, ~0u));
    EXPECT_FALSE(physics.Raycast(origin, down, physx::NX_ALL_SHAPES, hits, 2u, 100.0f, ~0u));
    EXPECT_FALSE(physics.Raycast(origin, down, physx::NX_ALL_SHAPES, hits, ~0u, 5.0f, ~0u));
}

TEST_F(PhysicsTest, TriangleMeshesCookOncePerPathAndFailedCooksAreNotKept)
{
    Floor();
    auto shared = GridMesh("Meshes\\floor", 2, 4.0f); // the same path: the cached cook serves
    WeActor* second = Add(WePhysicModel::staticTriangleMesh, {0.0f, 5.0f, 0.0f}, shared.get());
    EXPECT_EQ(physics.meshActorCache.GetCount(), 1);
    ASSERT_NE(second->physicsHandle, nullptr);
    EXPECT_EQ(second->physicsHandle->actor->getShapes()[0]->getMesh()->getNbTriangles(), 200u);

    auto other = GridMesh("Meshes\\other", 2, 4.0f);
    win32::WithholdLibrary("NxCooking.dll", true);
    WeActor* uncooked = Add(WePhysicModel::staticTriangleMesh, {0.0f, 5.0f, 0.0f}, other.get());
    win32::WithholdLibrary("NxCooking.dll", false);
    EXPECT_EQ(uncooked->physicsHandle, nullptr);
    EXPECT_EQ(physics.meshActorCache.GetCount(), 1);
    uncooked->CreatePhysics(); // tries again
    ASSERT_NE(uncooked->physicsHandle, nullptr);
    EXPECT_EQ(physics.meshActorCache.GetCount(), 2);
}

TEST_F(PhysicsTest, HandlesMoveKinematicBodiesAndTeleportOthers)
{
    WeActor* moved = Add(WePhysicModel::dynamicBox, {0.0f, 10.0f, 0.0f});
    WeActor* set = Add(WePhysicModel::dynamicBox, {10.0f, 10.0f, 0.0f});
    moved->physicsHandle->actor->raiseBodyFlag(physx::NX_BF_KINEMATIC);
    const WeVector there{0.0f, 20.0f, 5.0f}, elsewhere{10.0f, 20.0f, 5.0f};
    moved->physicsHandle->SetPosition(&there);
    set->physicsHandle->SetPosition(&elsewhere);
    WeVector at;
    moved->physicsHandle->GetPosition(&at);
    EXPECT_NEAR(at.y, 10.0f, 1e-4f); // a move is reached over the next simulate
    set->physicsHandle->GetPosition(&at);
    EXPECT_NEAR(at.y, 20.0f, 1e-4f);
    physics.Simulate();
    physics.FetchResults();
    moved->physicsHandle->GetPosition(&at);
    EXPECT_NEAR(at.y, 20.0f, 1e-4f);
    EXPECT_NEAR(at.z, 5.0f, 1e-4f);

    // Engine and SDK matrices meet transposed; a round trip changes nothing.
    const WeMatrix turn = d3dx::D3DXMatrixMultiply(d3dx::D3DXMatrixRotationYawPitchRoll(0.3f, -0.7f, 1.1f),
                                                   d3dx::D3DXMatrixTranslation(1.0f, 2.0f, 3.0f));
    set->physicsHandle->SetPose(&turn);
    WeMatrix back{};
    set->physicsHandle->GetPose(&back);
    WeQuaternion q;
    set->physicsHandle->GetOrientation(&q);
    const WeMatrix fromQuaternion = d3dx::D3DXMatrixRotationQuaternion(q);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
        {
            EXPECT_NEAR(back.m[r][c], turn.m[r][c], 1e-5f) << r << c;
            if (r < 3 && c < 3)
            {
                EXPECT_NEAR(fromQuaternion.m[r][c], turn.m[r][c], 1e-5f) << r << c;
            }
        }

    // Deleting the handle leaves the actor without physics.
    delete set->physicsHandle;
    EXPECT_EQ(set->physicsHandle, nullptr);
    EXPECT_FALSE(set->HasActivePhysics());
}

TEST_F(PhysicsTest, AHandleWithoutAnSdkObjectGivesItsDefaults)
{
    WeClothHandle handle(nullptr);
    WeQuaternion q;
    WeVector position{5.0f, 5.0f, 5.0f}, spin{7.0f, 8.0f, 9.0f}, velocity{1.0f, 1.0f, 1.0f};
    handle.GetOrientation(&q);
    handle.GetPosition(&position);
    handle.GetAngularVelocity(&spin);
    handle.GetLinearVelocity(&velocity);
    EXPECT_EQ((std::vector<float>{q.x, q.y, q.z, q.w}), (std::vector<float>{1, 1, 1, 1}));
    EXPECT_EQ((std::vector<float>{position.x, position.y, position.z}), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ((std::vector<float>{spin.x, spin.y, spin.z}), (std::vector<float>{7, 8, 9}));
    EXPECT_EQ((std::vector<float>{velocity.x, velocity.y, velocity.z}), (std::vector<float>{0, 0, 0}));
    EXPECT_FALSE(handle.HasCollision());
}

TEST_F(PhysicsTest, WithoutTheSdkNothingIsBuiltAndShutdownForgetsIt)
{
    scene.reset();
    physics.Shutdown();
    EXPECT_EQ(physics.sdk, nullptr);
    EXPECT_EQ(physics.cookingLibrary, nullptr);
    ASSERT_TRUE(physics.Init(kGravity, false));
    scene = std::make_unique<WeScene>();
    auto grid = GridMesh("Meshes\\grid", 2, 4.0f);
    for (int32_t type = WePhysicModel::staticBox; type <= WePhysicModel::cloth; ++type)
        EXPECT_EQ(Add(type, {}, grid.get())->physicsHandle, nullptr) << type;
    WeList<WeRaycastHit> hits;
    const float origin[3] = {0.0f, 10.0f, 0.0f}, down[3] = {0.0f, -1.0f, 0.0f};
    EXPECT_FALSE(physics.Raycast(origin, down, physx::NX_ALL_SHAPES, hits, ~0u, 100.0f, ~0u));
    // Without the loader the SDK cannot start.
    scene.reset();
    physics.Shutdown();
    win32::WithholdLibrary("PhysXLoader.dll", true);
    EXPECT_FALSE(physics.Init(kGravity, true));
    win32::WithholdLibrary("PhysXLoader.dll", false);
    EXPECT_EQ(engine.lastError, WeString("Error: Cannot initialize PhysX engine"));
    ASSERT_TRUE(physics.Init(kGravity, true));
}

TEST_F(PhysicsTest, ClothAnchoredOnABarHangsWithinBoundsWhereItsActorStands)
{
    auto sheet = GridMesh("Meshes\\sheet", 8, 4.0f);
    WeClothHandle* handle = nullptr;
    for (const WeVector origin : {WeVector{0.0f, 0.0f, 0.0f}, WeVector{30.0f, 5.0f, -12.0f}})
    {
        Restart();
        // A 2 m bar under the cloth's left edge: the cloth sticks to it where it lies on it.
        Add(WePhysicModel::staticBox, origin + WeVector{-2.0f, -1.05f, 0.0f});
        WeActor* cloth = Add(WePhysicModel::cloth, origin, sheet.get());
        handle = dynamic_cast<WeClothHandle*>(cloth->physicsHandle);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(cloth->radiusOverride, 0.0f);
        EXPECT_EQ(handle->renderVertexCount, 81u);
        EXPECT_EQ(handle->renderIndexCount, 8u * 8u * 6u);
        const auto vertex = [&](uint32_t i)
        {
            return *reinterpret_cast<const WeVector*>(handle->renderVertices +
                                                      i * WeClothHandle::vertexSize) -
                   origin;
        };
        EXPECT_NEAR(vertex(0).x, -2.0f, 1e-4f) << "drawn in world space from the start";
        EXPECT_NEAR(vertex(0).y, 0.0f, 1e-4f);
        Frames(120);
        float lowest = 0.0f;
        for (uint32_t i = 0; i < handle->renderVertexCount; ++i)
        {
            const WeVector at = vertex(i);
            ASSERT_TRUE(std::isfinite(at.x) && std::isfinite(at.y) && std::isfinite(at.z)) << i;
            EXPECT_GE(at.x, -2.1f) << i;
            EXPECT_LE(at.x, 2.1f) << i;
            EXPECT_LE(at.y, 0.3f) << i; // the cloth keeps its thickness off the bar
            EXPECT_GE(at.y, -4.2f) << i;
            EXPECT_LE(std::abs(at.z), 2.2f) << i;
            lowest = std::min(lowest, at.y);
            if (at.x < -1.9f && std::abs(at.z) < 0.9f)
            {
                EXPECT_NEAR(at.y, 0.0f, 0.05f) << "anchored vertex " << i;
            }
        }
        EXPECT_LT(lowest, -1.5f); // the free side hangs down
        EXPECT_NEAR(cloth->GetWorldPosition().x, origin.x, 1e-4f);
    }
    // Sleep and wake act on the cloth; its group is the model's, kept to 0-31.
    handle->SetGroup(32 + 5);
    EXPECT_EQ(handle->cloth->getGroup(), 5);
    handle->PutToSleep();
    EXPECT_TRUE(handle->cloth->isSleeping());
    handle->WakeUp(0.4f);
    EXPECT_FALSE(handle->cloth->isSleeping());
}

namespace
{

// cells x cells squares of the size facing up around the origin.
void Grid(WeMeshBuilder& builder, int cells, float size)
{
    const float half = size / float(2 * cells);
    for (int z = 0; z < cells; ++z)
        for (int x = 0; x < cells; ++x)
            builder.AddRectangle(
                {-size / 2 + float(2 * x + 1) * half, 0.0f, -size / 2 + float(2 * z + 1) * half},
                {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, half, half, 0);
}

// The meshes the test maps name, "Tests.Physics.<name>": a 40 m floor of 200 faces, a 4 m sheet
// of 8 x 8 squares, a 1 m box and a ball of radius 0.5.
const struct
{
    const char* name;
    void (*build)(WeMeshBuilder&);
} kTestMeshes[] = {
    {"floor", [](WeMeshBuilder& b) { Grid(b, 10, 40.0f); }},
    {"sheet", [](WeMeshBuilder& b) { Grid(b, 8, 4.0f); }},
    {"box",
     [](WeMeshBuilder& b)
     {
         b.AddBox(
             {-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, 0.0f, [](const WeVector&) { return 0u; }, 0);
     }},
    {"ball", [](WeMeshBuilder& b) { b.AddSphere({}, 0.5f, 8, 12, 0); }},
};

// A floor with a box and a ball to rest on it, a trigger with a box falling into it, a teleport
// with its traveller and target, and a cloth over a bar away from the origin.
const char* const kBodiesMap = R"(
camera Camera 0 10 -20 0 0 0 0.8
mesh Floor Tests.Physics.floor 0 0 0 physic 4
mesh Box Tests.Physics.box 0 4 0 physic 5 awake
mesh Ball Tests.Physics.ball 6 3 0 physic 6 awake
mesh Trigger Tests.Physics.box -6 0.5 0 physic 1 shapeflags 4 group 2
mesh Dropped Tests.Physics.box -6 4 0 physic 5 awake
mesh Gate Tests.Physics.box 10 0.5 0 physic 1 teleport Target
mesh Traveller Tests.Physics.box 10 3 0 physic 5 awake
mesh Target Tests.Physics.box 14 6 -12
mesh Bar Tests.Physics.box 28 4.45 0 physic 1
mesh Cloth Tests.Physics.sheet 30 5 0 physic 9 awake
)";

} // namespace

// Maps saved through the engine's actor records, with meshes read from a loose-file package,
// build their bodies when the scene loads them.
class PhysicsMapTest : public PhysicsTest
{
protected:
    void SetUp() override
    {
        PhysicsTest::SetUp();
        const std::filesystem::path root = std::filesystem::path(folder / "Packages") / "Tests" / "Physics";
        std::filesystem::create_directories(root);
        for (const auto& made : kTestMeshes)
        {
            WeMeshBuilder builder;
            made.build(builder);
            WeMesh mesh;
            mesh.sets[0].names[0] = "Config.Assets.Default";
            WeFileStream out;
            ASSERT_TRUE(builder.Build(mesh)) << builder.GetLastError();
            ASSERT_TRUE(out.Create((root / (std::string(made.name) + ".mesh")).c_str()));
            ASSERT_TRUE(WeMeshBuilder::WriteRecord(mesh, 1, out) && out.Close());
        }
        files = std::make_unique<WeFileSystem>(WeString((folder / "Packages").c_str()));
        meshManager.fileSystem = modelManager.fileSystem = files.get();
    }
    void TearDown() override
    {
        PhysicsTest::TearDown();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        meshManager.fileSystem = nullptr;
        modelManager.fileSystem = nullptr;
    }
    WeActor* Named(const char* name)
    {
        WeActor* actor = scene->FindActor(name);
        EXPECT_NE(actor, nullptr) << name;
        return actor;
    }

    std::unique_ptr<WeFileSystem> files;
};

TEST_F(PhysicsMapTest, BodiesOfASavedMapFallRestTriggerTeleportAndHang)
{
    physics.sleepHook = [](WeActor* actor) { sleepers.push_back(actor); };
    physics.triggerHook = [](WeActor* trigger, WeActor* other, uint32_t) {
        triggered.push_back({trigger, other});
    };
    WeMapSource source;
    ASSERT_TRUE(source.Parse(kBodiesMap)) << source.GetLastError();
    ASSERT_TRUE(source.Write("Maps/bodies.map", ""));
    ASSERT_TRUE(scene->Load("bodies")) << scene->loadMessage.GetData();
    for (const char* name :
         {"Floor", "Box", "Ball", "Trigger", "Dropped", "Gate", "Traveller", "Bar", "Cloth"})
        ASSERT_TRUE(Named(name) && Named(name)->physicsHandle) << name;
    EXPECT_EQ(Named("Target")->physicsHandle, nullptr);
    EXPECT_FLOAT_EQ(Named("Box")->physicsHandle->actor->getMass(), 10000.0f);
    EXPECT_EQ(Named("Trigger")->physicsHandle->actor->getNbShapes(), 2u);
    Frames(600);
    EXPECT_NEAR(Named("Box")->GetWorldPosition().y, 0.5f, 0.05f);
    EXPECT_NEAR(Named("Ball")->GetWorldPosition().y, 0.5f, 0.05f);
    for (const char* name : {"Box", "Ball"})
        EXPECT_GE(std::count(sleepers.begin(), sleepers.end(), Named(name)), 1) << name;
    EXPECT_NE(std::find(triggered.begin(), triggered.end(), std::pair{Named("Trigger"), Named("Dropped")}),
              triggered.end());
    const WeVector arrived = Named("Traveller")->GetWorldPosition();
    EXPECT_NEAR(arrived.x, 14.0f, 0.5f); // sent there, then fell to the floor
    EXPECT_NEAR(arrived.z, -12.0f, 0.5f);
    // The cloth hangs from the bar where its actor stands.
    const auto* cloth = dynamic_cast<const WeClothHandle*>(Named("Cloth")->physicsHandle);
    ASSERT_NE(cloth, nullptr);
    float lowest = 5.0f;
    for (uint32_t i = 0; i < cloth->renderVertexCount; ++i)
    {
        const auto& at =
            *reinterpret_cast<const WeVector*>(cloth->renderVertices + i * WeClothHandle::vertexSize);
        EXPECT_TRUE(at.x >= 27.4f && at.x <= 32.1f && at.y <= 5.3f && at.y >= 0.0f) << i;
        lowest = std::min(lowest, at.y);
    }
    EXPECT_LT(lowest, 3.5f);
    // A ray down finds the floor's own face.
    WeList<WeRaycastHit> hits;
    const float origin[3] = {1.3f, 10.0f, 2.2f}, down[3] = {0.0f, -1.0f, 0.0f};
    ASSERT_TRUE(physics.Raycast(origin, down, physx::NX_STATIC_SHAPES, hits, ~0u, 100.0f, ~0u));
    EXPECT_EQ(hits.First().actor, Named("Floor"));
    EXPECT_NEAR(hits.First().point.y, 0.0f, 1e-4f);
    EXPECT_LT(hits.First().faceId, 200u);
}

TEST(PhysicsCloth, PressureAddsItsFlag)
{
    const std::pair<float, uint32_t> cases[] = {{0.0f, 0x170u}, {0.5f, 0x171u}, {-1.0f, 0x170u}};
    for (const auto& [pressure, flags] : cases)
    {
        WePhysicModel model;
        model.pressure = pressure;
        EXPECT_EQ(WePhysics::ClothFlags(model), flags) << pressure;
    }
}
