// Map loading step by step, damaged maps, indexes, Tick order and deferred deletes.
#include "SceneFixture.h"
#include "WeCameraActor.h"
#include "WeLight.h"

#include <vector>

namespace
{

// Records the frame each actor was ticked in, and the order.
class TickLog : public WeActor
{
public:
    explicit TickLog(std::vector<TickLog*>& log) : log(log) { staticFlags[0] = false; }
    void Tick() override
    {
        WeActor::Tick();
        log.push_back(this);
    }
    std::vector<TickLog*>& log;
};

// Notes where it was when killed.
class KillWatch : public WeActor
{
public:
    void Kill() override
    {
        positionAtKill = GetWorldPosition();
        WeActor::Kill();
    }
    static inline WeVector positionAtKill;
};

} // namespace

TEST_F(SceneTest, AMapLoadsStepByStep)
{
    RecordBytes map = Header(0.5f);
    WeActor first, second;
    first.name = "first";
    second.name = "second";
    WeLight light;
    light.name = "lamp";
    WeCameraActor camera;
    camera.name = "eye";
    for (WeActor* actor : std::initializer_list<WeActor*>{&first, &light, &camera, &second})
        AddActor(map, *actor);
    WriteMap("steps", map.Int(0));

    WeScene scene;
    std::vector<float> progress;
    scene.progressCallback = [&](float value)
    {
        progress.push_back(value);
        return true;
    };
    ASSERT_TRUE(scene.BeginLoad("steps"));
    EXPECT_FLOAT_EQ(scene.config.AmbientColor.r, 0.5f);
    EXPECT_FLOAT_EQ(scene.config.backgroundColor.b, 0.3f);
    EXPECT_FLOAT_EQ(scene.config.factorA, 1.0f) << "raised to 1";
    EXPECT_FLOAT_EQ(scene.config.Contrast, 0.5f);
    EXPECT_EQ(scene.skyBox.kind, WeSkyBox::flatTexture);
    int32_t steps = 0;
    while (!scene.finished && scene.LoadStep())
        ++steps;
    EXPECT_TRUE(scene.finished);
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(scene.actors.GetCount(), 5) << "and a new path node: the map has none";
    EXPECT_EQ(scene.lights.GetCount(), 1);
    EXPECT_EQ(scene.indexedLights.GetCount(), 1);
    EXPECT_EQ(scene.cameraActors.GetCount(), 1);
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_FLOAT_EQ(progress.back(), 1.0f);
    EXPECT_TRUE(scene.loadMessage.IsEmpty());
    WeActor* found = scene.FindActor("second");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->fromMap);
    EXPECT_EQ(found->indexKey, "4");
    EXPECT_TRUE(found->staticFlags[0] && found->staticFlags[1] && found->staticFlags[2]) << "physic type 0";
}

TEST_F(SceneTest, MapsWithoutHeaderOrEndMarkLoad)
{
    WeActor actor;
    RecordBytes bare;
    bare.Int(0);
    WriteMap("bare", AddActor(bare, actor)); // file version 0, no end mark
    WeScene scene;
    ASSERT_TRUE(scene.Load("bare"));
    EXPECT_EQ(scene.actors.GetCount(), 2) << "and a new path node";
    EXPECT_FLOAT_EQ(scene.config.AmbientColor.r, 0.5f) << "defaults kept";

    WeScene missing;
    EXPECT_FALSE(missing.Load("nowhere"));
}

TEST_F(SceneTest, OldConfigsDropTheirEmbeddedActors)
{
    WeActor embedded;
    const std::vector<uint8_t> actorBytes = Saved(embedded);
    RecordBytes map;
    map.Int(1).Int(17).String("a").String("b").String("c").String("d").Float(0).String("e");
    map.Floats({0.25f, 0.25f, 0.25f, 1}).Bool(false).Floats({1, 2, 3, 4}).Floats({1, 1, 1, 1});
    map.Int(2);
    for (int i = 0; i < 2; ++i)
        map.Raw(actorBytes.data(), actorBytes.size()).Int(99);
    map.Float(0.5f).Float(700).Floats({0, 1, 2}).Float(0.3f).Float(0.4f).Bool(true).Floats({1, 2});
    map.Int(1).String(""); // sky box version 1: no kind
    WeActor kept;
    kept.name = "kept";
    WriteMap("old", AddActor(map, kept).Int(0));

    WeScene scene;
    ASSERT_TRUE(scene.Load("old"));
    EXPECT_FLOAT_EQ(scene.config.AmbientColor.r, 0.25f);
    EXPECT_FLOAT_EQ(scene.config.distanceA, 700.0f);
    EXPECT_FLOAT_EQ(scene.config.Brightness, 0.3f);
    EXPECT_FLOAT_EQ(scene.config.factorA, 1.0f);
    EXPECT_FLOAT_EQ(scene.config.distanceZ, 2.0f);
    EXPECT_EQ(scene.skyBox.kind, WeSkyBox::meshModel);
    EXPECT_EQ(scene.actors.GetCount(), 2) << "and a new path node";
    EXPECT_NE(scene.FindActor("kept"), nullptr);
}

TEST_F(SceneTest, DamagedRecordsEndTheListAndKeepEarlierActors)
{
    WeActor good;
    good.name = "good";
    WeLight light;
    std::vector<uint8_t> lightBytes = Saved(light);
    const std::vector<uint8_t> actorPart = Saved(good);
    int32_t five = 5;
    std::memcpy(&lightBytes[lightBytes.size() - 84], &five, 4); // a light record (84 bytes) of version 5

    struct Case
    {
        const char* name;
        RecordBytes tail;
    };
    const Case cases[] = {
        {"cut", RecordBytes().Int(WeActorTypeMesh).Raw(actorPart.data(), actorPart.size() / 2)},
        {"light5", RecordBytes().Int(WeActorTypeLight).Raw(lightBytes.data(), lightBytes.size()).Int(0)},
        {"portal", RecordBytes().Int(WeActorTypePortal).Int(5).Int(0)},
        {"config", RecordBytes()},
    };
    for (const Case& test : cases)
    {
        RecordBytes map = Header();
        AddActor(map, good).Raw(test.tail.bytes.data(), test.tail.Size());
        WriteMap(test.name, map);
        WeScene scene;
        ASSERT_TRUE(scene.Load(test.name)) << test.name;
        EXPECT_EQ(scene.actors.GetCount(), 2) << test.name << ": and a new path node";
        EXPECT_NE(scene.FindActor("good"), nullptr);
        EXPECT_EQ(scene.loadMessage.IsEmpty(), test.tail.Size() == 0) << test.name;
    }
    RecordBytes cutConfig;
    cutConfig.Int(1).Int(17).String("a").String("b").String("c").String("d").Float(0).String("e");
    cutConfig.Floats({0.25f, 0.25f, 0.25f, 1})
        .Bool(false)
        .Floats({1, 2, 3, 4})
        .Floats({1, 1, 1, 1})
        .Int(1000000);
    WriteMap("header", cutConfig);
    WeScene scene;
    EXPECT_FALSE(scene.BeginLoad("header")) << "an embedded-actor count past the file";
    EXPECT_FALSE(scene.open);
}

TEST_F(SceneTest, ACallbackCancellingAtTheEndStopsTheLoadWork)
{
    RecordBytes map = Header();
    WeActor a, b;
    a.name = "spawn:1";
    b.name = "spawn:2";
    AddActor(map, a);
    WriteMap("cancel", AddActor(map, b).Int(0));
    WeScene scene;
    scene.progressCallback = [](float value) { return value < 1.0f; };
    EXPECT_FALSE(scene.Load("cancel"));
    EXPECT_FALSE(scene.finished);
    EXPECT_FALSE(scene.LoadStep());
    EXPECT_EQ(scene.actors.GetCount(), 2) << "actors read before the cancel stay";
    EXPECT_EQ(scene.FindActor("spawn:1")->nextSpawn, nullptr) << "spawns are not linked";

    scene.progressCallback = nullptr;
    ASSERT_TRUE(scene.Load("cancel"));
    EXPECT_NE(scene.FindActor("spawn:1")->nextSpawn, nullptr);
}

TEST_F(SceneTest, ActorsEnterOnceAndLeaveCleanly)
{
    WeScene scene, other;
    auto* actor = new WeActor();
    scene.AddActor(actor);
    scene.AddActor(actor);
    EXPECT_EQ(scene.actors.GetCount(), 1);
    EXPECT_EQ(actor->indexKey, "1");
    scene.IndexActor(actor);
    EXPECT_EQ(scene.ticked.GetCount(), 1);
    EXPECT_EQ(scene.moving.size(), 1u);

    other.AddActor(actor);
    EXPECT_EQ(scene.actors.GetCount(), 0);
    EXPECT_EQ(scene.ticked.GetCount(), 0);
    EXPECT_TRUE(scene.moving.empty());
    EXPECT_EQ(other.moving.size(), 1u);
    EXPECT_EQ(actor->scene, &other);
    EXPECT_FALSE(scene.RemoveActor(actor));
    EXPECT_FALSE(scene.RemoveActor(nullptr));

    WeActor loose;
    loose.SetLifeTime(5.0f);
    EXPECT_TRUE(loose.HasLifetime()) << "outside a scene no index is touched";
    auto* child = new WeActor();
    child->SetParent(&loose);
    delete child;
    EXPECT_EQ(loose.children.GetCount(), 0) << "a deleted child leaves its parent's list";
}

TEST_F(SceneTest, ParentsTickFirstAndOnce)
{
    std::vector<TickLog*> log;
    WeScene scene;
    auto* parent = new TickLog(log);
    parent->staticFlags[0] = parent->staticFlags[1] = parent->staticFlags[2] = true;
    scene.AddActor(parent);
    ASSERT_EQ(scene.ticked.GetCount(), 0) << "a static actor without parent needs no tick";
    std::vector<TickLog*> children;
    for (int i = 0; i < 3; ++i)
    {
        children.push_back(new TickLog(log));
        children.back()->SetParent(parent);
        scene.AddActor(children.back());
    }
    scene.Tick();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], parent);
    scene.Tick();
    EXPECT_EQ(log.size(), 8u);
}

TEST_F(SceneTest, KilledActorsGoAtTheEndOfTheTick)
{
    WeScene scene;
    auto* parent = new WeActor();
    auto* child = new KillWatch();
    parent->SetLocation({5, 0, 0});
    child->SetParent(parent);
    child->SetLocation({1, 0, 0});
    scene.AddActor(parent);
    scene.AddActor(child);
    child->SetLifeTime(0.15f);
    scene.Tick();
    EXPECT_EQ(scene.actors.GetCount(), 2);
    scene.Tick();
    EXPECT_NEAR(KillWatch::positionAtKill.x, 6.0f, 1e-5f) << "a timed child keeps its place";
    EXPECT_EQ(scene.actors.GetCount(), 1);
    EXPECT_EQ(parent->children.GetCount(), 0) << "a deleted child leaves its parent";

    parent->Kill();
    EXPECT_EQ(scene.actors.GetCount(), 1);
    delete parent; // a dead actor deleted before the Tick leaves the deferred list
    scene.Tick();
    EXPECT_EQ(scene.actors.GetCount(), 0);
}

TEST_F(SceneTest, TheMovingListKeepsEveryOtherActorWhenOneLeaves)
{
    enum Leave
    {
        killed,
        removed,
        deleted
    };
    const struct
    {
        size_t leaving;
        Leave how;
    } cases[] = {{0, killed}, {1, removed}, {3, deleted}, {3, killed}, {2, deleted}};
    for (const auto& c : cases)
    {
        WeScene scene;
        std::vector<WeActor*> added;
        for (int i = 0; i < 4; ++i)
        {
            added.push_back(new WeActor());
            scene.AddActor(added.back());
        }
        WeActor* leaving = added[c.leaving];
        if (c.how == killed)
            leaving->Kill();
        else if (c.how == removed)
            scene.RemoveActor(leaving);
        else
            delete leaving;
        ASSERT_EQ(scene.moving.size(), 3u) << c.leaving;
        for (size_t slot = 0; slot < scene.moving.size(); ++slot)
        {
            EXPECT_NE(scene.moving[slot], leaving);
            EXPECT_EQ(scene.moving[slot]->movingSlot, int32_t(slot)) << "the list and the slots agree";
        }
        scene.Tick();
        if (c.how == removed)
            delete leaving;
    }
}

TEST_F(SceneTest, CameraActorsCarryTheirCamera)
{
    RecordBytes map = Header();
    WeActor carrier;
    carrier.name = "carrier";
    WeCameraActor eye;
    eye.camera->SetFov(1.0f);
    eye.camera->SetOrthoSize(30.0f, 40.0f);
    WriteMap("camera", AddActor(AddActor(map, carrier), eye).Int(0));
    WeScene scene;
    ASSERT_TRUE(scene.Load("camera"));
    scene.cameraActors.Reset();
    auto* camera = static_cast<WeCameraActor*>(scene.cameraActors.GetValue());
    EXPECT_FLOAT_EQ(camera->camera->fov, 1.0f);
    EXPECT_FLOAT_EQ(camera->camera->orthoWidth, 30.0f);
    EXPECT_FLOAT_EQ(camera->camera->orthoHeight, 40.0f);
    WeActor* parent = scene.FindActor("carrier");
    camera->SetParent(parent);
    parent->SetLocation({0, 7, 0});
    scene.Tick();
    EXPECT_FLOAT_EQ(camera->camera->position.y, 7.0f);
}
