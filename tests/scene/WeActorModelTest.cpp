// Actors with the models of the program's packages, on the recording back end: loading through
// the model manager, bounds from the model, animation played and advanced by the scene's Tick,
// the model following the actor.
#include "WeActor.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModelFrame.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "render/RenderDeviceFixture.h"

#include <cmath>

namespace
{

bool Ticked(const WeScene& scene, const WeActor& actor)
{
    WeActor* found = nullptr;
    return scene.ticked.Find(actor.indexKey, found) && found == &actor;
}

WeModelFrame* SkinnedFrame(WeModelFrame* first)
{
    for (WeModelFrame* frame = first; frame; frame = frame->Sibling())
    {
        if (frame->Container() && frame->Container()->boneCount > 1)
            return frame;
        if (WeModelFrame* below = SkinnedFrame(frame->Child()))
            return below;
    }
    return nullptr;
}

void ExpectNear(const WeVector& actual, const WeVector& expected, const char* what)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-4f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-4f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-4f) << what;
}

// The debug models' meshes and their material are loaded and fixed.
void ExpectDebugAssetsFixed()
{
    const std::pair<const char*, const char*> models[] = {{"Config.Assets.Box1m", "Config.Assets.Default"},
                                                          {"Config.Assets.Sphere1m", "Config.Assets.Default"},
                                                          {"Config.Assets.PathNode", "Config.Assets.Debug"},
                                                          {"Config.Assets.Light", "Config.Assets.Debug"},
                                                          {"Config.Assets.gizmo", "Config.Assets.Debug"}};
    for (const auto& [name, material] : models)
    {
        WeMesh* mesh = meshManager.Load(name);
        ASSERT_NE(mesh, nullptr) << name;
        EXPECT_NE(mesh->fixed, 0) << name;
        EXPECT_EQ(mesh->sets[0].names[0], material) << name;
    }
    WeMaterial* debug = materialManager.Load("Config.Assets.Debug");
    ASSERT_NE(debug, nullptr);
    EXPECT_TRUE(debug->fixed);
}

} // namespace

class ActorModelTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start()) << engine.lastError.GetData();
        timer.deltaTime = 0.1f;
        scene = std::make_unique<WeScene>();
    }
    void TearDown() override
    {
        scene.reset();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        RecordingRenderDevice::TearDown();
    }
    // A new actor of the model at the place, added to the scene.
    WeActor* Add(const char* modelName, const WeVector& at, bool allStatic)
    {
        auto* actor = new WeActor;
        actor->modelName = modelName;
        actor->SetLocation(at);
        std::fill_n(actor->staticFlags, 3, allStatic);
        scene->AddActor(actor);
        return actor;
    }

    std::unique_ptr<WeScene> scene;
};

TEST_F(ActorModelTest, AStaticMeshActorIsBoundedByItsScaledVertices)
{
    auto* actor = new WeActor;
    actor->modelName = "Config.Assets.Box1m";
    actor->SetLocation({3.0f, 1.0f, 0.0f});
    actor->SetScale({4.0f, 1.0f, 2.0f});
    std::fill_n(actor->staticFlags, 3, true);
    scene->AddActor(actor);
    ASSERT_NE(actor->model, nullptr);
    EXPECT_EQ(actor->GetModelName(), "Config.Assets.Box1m");
    EXPECT_TRUE(actor->boxCulling);
    ExpectNear(actor->boxMin, {1.0f, 0.5f, -1.0f}, "box min");
    ExpectNear(actor->boxMax, {5.0f, 1.5f, 1.0f}, "box max");
    ExpectNear(actor->corners[7], actor->boxMax, "last corner");
    EXPECT_NEAR(actor->sphereRadius, actor->model->mesh->sphereRadius * 4.0f, 1e-4f);
    EXPECT_TRUE(actor->fullyStatic);
    EXPECT_FALSE(Ticked(*scene, *actor));
}

TEST_F(ActorModelTest, ActorsWithoutALoadableModelDrawNothing)
{
    WeActor* unknown = Add("Config.Assets.NoSuchModel", {2.0f, 0.0f, 0.0f}, true);
    EXPECT_EQ(unknown->model, nullptr);
    EXPECT_EQ(unknown->sphereRadius, 0.0f);
    ExpectNear(unknown->sphereCentre, {2.0f, 0.0f, 0.0f}, "centre at the actor");
    EXPECT_EQ(unknown->GetModelName(), "Config.Assets.NoSuchModel");

    auto* inactive = new WeActor;
    inactive->modelName = "Config.Assets.Box1m";
    inactive->active = false;
    scene->AddActor(inactive);
    EXPECT_EQ(inactive->model, nullptr);
}

TEST_F(ActorModelTest, TheAnimationAdvancesWithTheSceneUnlessPaused)
{
    for (const bool paused : {false, true})
    {
        auto* actor = new WeActor;
        actor->modelName = "Ingame.Models.flag";
        actor->animationName = "Wave";
        actor->animationPaused = paused;
        std::fill_n(actor->staticFlags, 3, true);
        scene->AddActor(actor);
        ASSERT_TRUE(actor->HasAnimatedModel());
        EXPECT_TRUE(actor->model->GetTrack(0).playing);
        EXPECT_FALSE(actor->fullyStatic);
        EXPECT_TRUE(Ticked(*scene, *actor)) << "animated models need their Tick";
        WeModelFrame* cloth = SkinnedFrame(actor->model->rootFrame.get());
        ASSERT_NE(cloth, nullptr);
        scene->Tick();
        const WeMatrix before = cloth->skinMatrices[cloth->Container()->boneCount - 1];
        for (int i = 0; i < 3; ++i)
            scene->Tick();
        const WeMatrix& after = cloth->skinMatrices[cloth->Container()->boneCount - 1];
        float change = 0.0f;
        for (int i = 0; i < 16; ++i)
            change += std::fabs(after.m[i / 4][i % 4] - before.m[i / 4][i % 4]);
        EXPECT_EQ(change > 1e-3f, !paused) << (paused ? "paused" : "playing");
    }
}

TEST_F(ActorModelTest, AMovingModelFollowsItsActor)
{
    WeActor* actor = Add("Config.Assets.Box1m", {1.0f, 0.0f, 0.0f}, false);
    ASSERT_NE(actor->model, nullptr);
    scene->Tick();
    actor->SetLocation({2.0f, 0.0f, 0.0f});
    scene->Tick();
    EXPECT_FLOAT_EQ(actor->model->world.m[3][0], 2.0f);
    EXPECT_NEAR(actor->sphereCentre.x, 2.0f, 1e-4f);
}

TEST_F(ActorModelTest, ACopyGetsAModelOfItsOwn)
{
    WeActor* source = Add("Ingame.Models.flag", {}, true);
    ASSERT_NE(source->model, nullptr);
    WeActor copy;
    copy.CopyFrom(*source);
    ASSERT_NE(copy.model, nullptr);
    EXPECT_NE(copy.model.get(), source->model.get());
    EXPECT_NE(copy.model->rootFrame.get(), source->model->rootFrame.get());
    EXPECT_EQ(copy.GetModelName(), "Ingame.Models.flag");
}

// Once per process, or again after a shut-down freed every mesh (as each test's tear-down does).
TEST_F(ActorModelTest, TheFirstSceneLoadsTheDebugAssetsAsFixed)
{
    for (int32_t shutDown = 0; shutDown < 2; ++shutDown)
    {
        scene.reset();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        scene = std::make_unique<WeScene>();
        ExpectDebugAssetsFixed();
    }
}

TEST_F(ActorModelTest, ALightThatMovesAwayIsGatheredNoMore)
{
    WeActor* box = Add("Config.Assets.Box1m", {}, true);
    ASSERT_NE(box->model, nullptr);
    auto* light = new WeLight;
    light->Range = 3.0f;
    light->SetLocation({1.0f, 1.0f, 0.0f});
    scene->AddActor(light);
    scene->Tick();
    box->model->GatherLights(scene.get());
    ASSERT_EQ(box->model->pointLightCount, 1);
    scene->Tick();
    EXPECT_TRUE(box->model->lightsGathered) << "a light that stays leaves the lists alone";
    light->SetLocation({10.0f, 0.0f, 0.0f});
    scene->Tick();
    EXPECT_FALSE(box->model->lightsGathered) << "the light left the box's reach";
    box->model->GatherLights(scene.get());
    EXPECT_EQ(box->model->pointLightCount, 0);
}
