#include "PhysXTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace physx_test;

namespace
{

// Keeps every report the scene delivers, in order.
struct Recorder : UserContactReport, UserTriggerReport, UserNotify
{
    struct Contact
    {
        Actor* actors[2];
        bool deleted[2];
        uint32_t events;
        Vec3 normalForce;
        bool hasPoint;
        Vec3 point;
    };

    void onContactNotify(ContactPair& pair, uint32_t events) override
    {
        Contact contact{{pair.actors[0], pair.actors[1]},
                        {pair.isDeletedActor[0], pair.isDeletedActor[1]},
                        events,
                        pair.sumNormalForce,
                        false,
                        {}};
        ContactStreamIterator it(pair.stream);
        contact.hasPoint = it.goNextPair() && it.goNextPatch() && it.goNextPoint();
        if (contact.hasPoint)
            contact.point = it.getPoint();
        contacts.push_back(contact);
    }
    void onTrigger(Shape& trigger, Shape& other, ShapeFlag status) override
    {
        triggers.push_back({&trigger, &other, status});
    }
    void onWake(Actor** actors, uint32_t count) override { woke.insert(woke.end(), actors, actors + count); }
    void onSleep(Actor** actors, uint32_t count) override
    {
        slept.insert(slept.end(), actors, actors + count);
    }

    struct Trigger
    {
        Shape* trigger;
        Shape* other;
        ShapeFlag status;
    };
    std::vector<Contact> contacts;
    std::vector<Trigger> triggers;
    std::vector<Actor*> woke, slept;
};

struct ReportingWorld : World
{
    ReportingWorld()
    {
        scene->setUserContactReport(&reports);
        scene->setUserTriggerReport(&reports);
        scene->setUserNotify(&reports);
    }
    Recorder reports;
};

// Every hit of a cast, in order.
struct Hits : UserRaycastReport
{
    bool onHit(const RaycastHit& hit) override
    {
        hits.push_back(hit);
        return true;
    }
    std::vector<RaycastHit> hits;
};

bool Contains(const std::vector<Actor*>& actors, const Actor* actor)
{
    return std::find(actors.begin(), actors.end(), actor) != actors.end();
}

} // namespace

TEST(PhysXScene, BoxFallsOntoTheMeshFloorRestsAndSleeps)
{
    ReportingWorld world;
    Actor* floor = world.Floor();
    const BodyDesc body = Body(10.0f);
    Actor* box = world.Box(At(1.0f, 3.0f, 1.0f), {0.5f, 0.5f, 0.5f}, &body);
    ASSERT_TRUE(floor && box);
    world.Run(5.0f);
    EXPECT_NEAR(box->getGlobalPosition().y, 0.5f, 0.05f);
    EXPECT_TRUE(box->isSleeping());
    EXPECT_TRUE(Contains(world.reports.slept, box));
    const auto& contacts = world.reports.contacts;
    ASSERT_GE(contacts.size(), 2u);
    EXPECT_EQ(contacts[0].events, NX_NOTIFY_ON_START_TOUCH);
    EXPECT_EQ(contacts[0].actors[0], floor) << "the older actor comes first";
    EXPECT_EQ(contacts[0].actors[1], box);
    ASSERT_TRUE(contacts[0].hasPoint);
    EXPECT_NEAR(contacts[0].point.y, 0.0f, 0.05f);
    // While it rests awake the floor carries the box's weight.
    const Recorder::Contact& resting = contacts[contacts.size() - 1];
    EXPECT_EQ(resting.events, NX_NOTIFY_ON_TOUCH);
    EXPECT_NEAR(-resting.normalForce.y, 10.0f * 9.81f, 10.0f);
}

TEST(PhysXScene, ReportsArriveInsideTheFetch)
{
    ReportingWorld world;
    world.Floor();
    const BodyDesc body = Body(1.0f);
    world.Box(At(0.0f, 0.5f, 0.0f), {0.5f, 0.5f, 0.5f}, &body);
    world.scene->simulate(1.0f / 60.0f);
    EXPECT_TRUE(world.reports.contacts.empty());
    world.scene->simulate(1.0f / 60.0f); // ignored: the first is not fetched
    EXPECT_EQ(world.scene->getStepsRun(), 1u);
    EXPECT_TRUE(world.scene->fetchResults());
    EXPECT_EQ(world.reports.contacts.size(), 1u);
    EXPECT_FALSE(world.scene->fetchResults()) << "nothing left to fetch";
}

TEST(PhysXScene, SimulateRunsWholeSteps)
{
    const float step = 1.0f / 60.0f;
    const struct
    {
        TimeStepMethod method;
        std::vector<float> elapsed;
        std::vector<uint32_t> steps;
    } cases[] = {
        {NX_TIMESTEP_FIXED,
         {step, step + step + step, 2.5f * step, 0.5f * step, 0.4f * step},
         {1, 3, 2, 1, 0}},
        {NX_TIMESTEP_FIXED, {0.5f, 0.5f * step}, {8, 0}}, // at most 8 steps; the rest is dropped
        {NX_TIMESTEP_FIXED, {0.0f, -1.0f, NAN, INFINITY, 0.0f}, {0, 0, 0, 8, 0}},
        {NX_TIMESTEP_VARIABLE, {0.3f, 0.001f, 0.0f}, {1, 1, 0}},
    };
    for (const auto& c : cases)
    {
        World world;
        world.scene->setTiming(step, 8, c.method);
        for (size_t i = 0; i < c.elapsed.size(); ++i)
        {
            world.scene->simulate(c.elapsed[i]);
            world.scene->fetchResults();
            EXPECT_EQ(world.scene->getStepsRun(), c.steps[i]) << "method " << c.method << ", call " << i;
        }
    }
    World world;
    const BodyDesc body = Body(1.0f);
    Actor* ball = world.Sphere(At(0, 100, 0), 0.5f, &body);
    world.scene->simulate(step + step + step);
    world.scene->fetchResults();
    EXPECT_NEAR(ball->getLinearVelocity().y, -9.81f * 3 * step, 1e-4f);
}

TEST(PhysXScene, TriggersReportWhatTheirFlagsAsk)
{
    const struct
    {
        uint32_t flags;
        std::vector<ShapeFlag> first, last; // the first reports and the last one
    } cases[] = {
        {NX_TRIGGER_ENABLE, {NX_TRIGGER_ON_ENTER, NX_TRIGGER_ON_STAY}, {NX_TRIGGER_ON_LEAVE}},
        {NX_TRIGGER_ON_STAY, {NX_TRIGGER_ON_STAY, NX_TRIGGER_ON_STAY}, {NX_TRIGGER_ON_STAY}},
        {NX_TRIGGER_ON_ENTER | NX_TRIGGER_ON_LEAVE,
         {NX_TRIGGER_ON_ENTER, NX_TRIGGER_ON_LEAVE},
         {NX_TRIGGER_ON_LEAVE}},
    };
    for (const auto& c : cases)
    {
        ReportingWorld world;
        Actor* trigger = world.Box(At(0, 5, 0), {1, 1, 1}, nullptr, c.flags);
        const BodyDesc body = Body(1.0f);
        Actor* ball = world.Sphere(At(0, 8, 0), 0.25f, &body);
        world.Run(2.0f);
        EXPECT_LT(ball->getGlobalPosition().y, 0.0f) << "a trigger does not hold the ball";
        const auto& reports = world.reports.triggers;
        ASSERT_GE(reports.size(), c.first.size()) << "flags " << c.flags;
        for (size_t i = 0; i < c.first.size(); ++i)
            EXPECT_EQ(reports[i].status, c.first[i]) << "flags " << c.flags << ", report " << i;
        EXPECT_EQ(reports.back().status, c.last[0]);
        EXPECT_EQ(reports[0].trigger, trigger->getShapes()[0]);
        EXPECT_EQ(reports[0].other, ball->getShapes()[0]);
        EXPECT_TRUE(world.reports.contacts.empty()) << "triggers are no contacts";
    }
}

TEST(PhysXScene, GroupPairTableDecidesWhatCollides)
{
    for (const bool collide : {true, false})
    {
        World world;
        world.Floor();
        world.scene->setGroupCollisionFlag(3, 0, collide);
        world.scene->setGroupCollisionFlag(40, 0, !collide); // no such group: ignored
        EXPECT_EQ(world.scene->getGroupCollisionFlag(0, 3), collide);
        const BodyDesc body = Body(1.0f);
        Actor* box = world.Box(At(0, 1, 0), {0.5f, 0.5f, 0.5f}, &body);
        box->getShapes()[0]->setGroup(3);
        box->getShapes()[0]->setGroup(32); // no such group: kept
        EXPECT_EQ(box->getShapes()[0]->getGroup(), 3);
        world.Run(1.0f);
        EXPECT_EQ(box->getGlobalPosition().y > 0.4f, collide);
    }
}

TEST(PhysXScene, RayReportsTheNearestHitOfEachShape)
{
    World world;
    Actor* floor = world.Floor(); // cells of 2.5 from -10
    const BodyDesc body = Body(1.0f);
    Actor* box = world.Box(At(1.1f, 0.5f, 1.3f), {0.5f, 0.5f, 0.5f}, &body);
    Ray down;
    down.orig = {1.1f, 10.0f, 1.3f};
    down.dir = {0.0f, -2.0f, 0.0f};
    Hits all;
    ASSERT_EQ(world.scene->raycastAllShapes(down, all, NX_ALL_SHAPES), 2u);
    EXPECT_EQ(all.hits[0].shape, box->getShapes()[0]);
    EXPECT_NEAR(all.hits[0].distance, 9.0f, 1e-3f);
    EXPECT_NEAR(all.hits[0].worldNormal.y, 1.0f, 1e-4f);
    const RaycastHit& ground = all.hits[1];
    EXPECT_EQ(ground.shape, floor->getShapes()[0]);
    EXPECT_NEAR(ground.worldImpact.y, 0.0f, 1e-4f);
    // Cell (4, 4) is quad 36; the point lies in its first triangle (corner, +z, +x).
    EXPECT_EQ(ground.faceID, 72u);
    EXPECT_NEAR(ground.u, 0.52f, 1e-3f);
    EXPECT_NEAR(ground.v, 0.44f, 1e-3f);

    const struct
    {
        ShapesType type;
        uint32_t groups;
        float maxDist;
        size_t count;
    } filters[] = {{NX_STATIC_SHAPES, ~0u, NX_MAX_F32, 1},
                   {NX_DYNAMIC_SHAPES, ~0u, NX_MAX_F32, 1},
                   {NX_ALL_SHAPES, ~1u, NX_MAX_F32, 0},
                   {NX_ALL_SHAPES, ~0u, 9.5f, 1}};
    for (const auto& f : filters)
    {
        Hits some;
        EXPECT_EQ(world.scene->raycastAllShapes(down, some, f.type, f.groups, f.maxDist), f.count);
    }
    box->getShapes()[0]->setFlag(NX_SF_DISABLE_RAYCASTING, true);
    Hits floorOnly;
    EXPECT_EQ(world.scene->raycastAllShapes(down, floorOnly, NX_ALL_SHAPES), 1u);
    EXPECT_EQ(floorOnly.hits[0].shape, floor->getShapes()[0]);

    Ray up;
    up.orig = {-3.0f, -5.0f, 2.0f};
    up.dir = {0.0f, 1.0f, 0.0f};
    Hits below;
    ASSERT_EQ(world.scene->raycastAllShapes(up, below, NX_STATIC_SHAPES), 1u);
    EXPECT_NEAR(below.hits[0].worldNormal.y, -1.0f, 1e-4f) << "the normal faces the ray";
    World empty;
    Hits none;
    EXPECT_EQ(empty.scene->raycastAllShapes(down, none, NX_ALL_SHAPES), 0u);
    EXPECT_TRUE(none.hits.empty());
}

TEST(PhysXScene, KinematicBodiesFollowTheirMoves)
{
    World world;
    BodyDesc body = Body(5.0f);
    body.flags = NX_BF_KINEMATIC;
    Actor* mover = world.Box(At(0, 5, 0), {0.5f, 0.5f, 0.5f}, &body);
    mover->moveGlobalPosition({3, 5, 0});
    world.scene->simulate(3.0f / 60.0f);
    world.scene->fetchResults();
    EXPECT_NEAR(mover->getGlobalPosition().x, 3.0f, 1e-4f);
    EXPECT_NEAR(mover->getGlobalPosition().y, 5.0f, 1e-4f) << "gravity does not move it";
    mover->setGlobalPosition({-1, 2, 0}); // a teleport
    EXPECT_NEAR(mover->getGlobalPosition().x, -1.0f, 1e-6f);

    const BodyDesc plain = Body(1.0f);
    Actor* box = world.Box(At(0, 20, 0), {0.5f, 0.5f, 0.5f}, &plain);
    box->moveGlobalPosition({5, 20, 0}); // not kinematic: ignored
    world.scene->simulate(1.0f / 60.0f);
    world.scene->fetchResults();
    EXPECT_NEAR(box->getGlobalPosition().x, 0.0f, 1e-6f);

    // A kinematic body pushes what lies in its way.
    World pushing;
    pushing.Floor();
    Actor* pusher = pushing.Box(At(-2, 0.5f, 0), {0.5f, 0.5f, 0.5f}, &body);
    Actor* pushed = pushing.Box(At(1, 0.5f, 0), {0.5f, 0.5f, 0.5f}, &plain);
    for (int frame = 1; frame <= 60; ++frame)
    {
        pusher->moveGlobalPosition({-2.0f + 3.0f * frame / 60.0f, 0.5f, 0.0f});
        pushing.Run(1.0f / 60.0f);
    }
    EXPECT_GT(pushed->getGlobalPosition().x, 1.9f);
}

TEST(PhysXScene, ForceModesChangeTheVelocity)
{
    const struct
    {
        ForceMode mode;
        float expected; // velocity after one simulate of two steps, mass 2
    } cases[] = {{NX_IMPULSE, 2.0f},
                 {NX_VELOCITY_CHANGE, 4.0f},
                 {NX_SMOOTH_IMPULSE, 2.0f},
                 {NX_SMOOTH_VELOCITY_CHANGE, 4.0f},
                 {NX_FORCE, 4.0f * 2.0f / 60.0f / 2.0f},
                 {NX_ACCELERATION, 4.0f * 2.0f / 60.0f}};
    for (const auto& c : cases)
    {
        World world;
        const BodyDesc body = Body(2.0f);
        Actor* ball = world.Sphere(At(0, 50, 0), 0.5f, &body);
        ball->raiseBodyFlag(NX_BF_DISABLE_GRAVITY);
        ball->addForce({4.0f, 0.0f, 0.0f}, c.mode);
        world.scene->simulate(2.0f / 60.0f);
        world.scene->fetchResults();
        EXPECT_NEAR(ball->getLinearVelocity().x, c.expected, 1e-4f) << "mode " << c.mode;
        EXPECT_NEAR(ball->getLinearVelocity().y, 0.0f, 1e-6f);
    }
}

TEST(PhysXScene, RestitutionIsTheAverageOfBothMaterials)
{
    World world;
    MaterialDesc bouncy;
    bouncy.restitution = 0.5f;
    world.scene->getMaterialFromIndex(0)->loadFromDesc(bouncy);
    world.Floor();
    const BodyDesc body = Body(1.0f);
    Actor* ball = world.Sphere(At(0, 5.5f, 0), 0.5f, &body);
    float lowest = 10.0f, peak = 0.0f;
    for (int frame = 0; frame < 150; ++frame)
    {
        world.Run(1.0f / 60.0f);
        const float y = ball->getGlobalPosition().y;
        lowest = std::min(lowest, y);
        if (lowest < 0.6f)
            peak = std::max(peak, y);
    }
    // Restitution 0.5 (not 0.5 x 0.5) returns a quarter of the 5 m fall.
    EXPECT_NEAR(peak - 0.5f, 1.25f, 0.4f);
}

TEST(PhysXScene, SleepingBodyHitByAnotherWakesAndIsReported)
{
    ReportingWorld world;
    world.Floor();
    const BodyDesc body = Body(1.0f);
    Actor* lower = world.Box(At(0, 0.5f, 0), {0.5f, 0.5f, 0.5f}, &body);
    lower->putToSleep();
    world.Run(0.5f);
    EXPECT_TRUE(lower->isSleeping());
    EXPECT_TRUE(Contains(world.reports.slept, lower));
    world.Box(At(0, 3, 0), {0.5f, 0.5f, 0.5f}, &body);
    world.Run(1.0f);
    EXPECT_TRUE(Contains(world.reports.woke, lower));
}

TEST(PhysXScene, ReleasedActorsAreMarkedInPendingReports)
{
    ReportingWorld world;
    world.Floor();
    const BodyDesc body = Body(1.0f);
    Actor* box = world.Box(At(0, 0.5f, 0), {0.5f, 0.5f, 0.5f}, &body);
    world.scene->simulate(1.0f / 60.0f);
    world.scene->releaseActor(*box);
    world.scene->fetchResults();
    ASSERT_EQ(world.reports.contacts.size(), 1u);
    EXPECT_FALSE(world.reports.contacts[0].deleted[0]);
    EXPECT_TRUE(world.reports.contacts[0].deleted[1]);
    EXPECT_EQ(world.scene->getNbActors(), 1u);
    world.Run(0.1f);
    EXPECT_EQ(world.reports.contacts.size(), 1u) << "a released actor touches nothing";
}

TEST(PhysXScene, DynamicTriangleMeshFallsAndRests)
{
    World world;
    world.Floor();
    ByteStream block(CookTriangles(BoxMesh({0.5f, 0.5f, 0.5f}).Desc()));
    TriangleMeshShapeDesc shape;
    shape.meshData = world.sdk->createTriangleMesh(block);
    ASSERT_TRUE(shape.meshData);
    const BodyDesc body; // mass from the density
    ActorDesc actor;
    actor.globalPose = At(0, 3, 0);
    actor.body = &body;
    actor.shapes.push_back(&shape);
    EXPECT_FALSE(world.scene->createActor(actor)) << "a body needs mass or density";
    actor.density = 10.0f;
    Actor* cubeActor = world.scene->createActor(actor);
    ASSERT_TRUE(cubeActor);
    EXPECT_NEAR(cubeActor->getMass(), 10.0f, 1e-3f);
    world.Run(3.0f);
    EXPECT_NEAR(cubeActor->getGlobalPosition().y, 0.5f, 0.1f);
}

TEST(PhysXScene, DebugLinesOnlyWhileVisualising)
{
    World world;
    world.Floor();
    world.Run(1.0f / 60.0f);
    EXPECT_EQ(world.scene->getDebugRenderable()->getNbLines(), 0u);
    world.sdk->setParameter(NX_VISUALIZATION_SCALE, 1.0f);
    world.Run(1.0f / 60.0f);
    EXPECT_GT(world.scene->getDebugRenderable()->getNbLines(), 0u);
}
