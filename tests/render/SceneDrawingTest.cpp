// A scene handed to the renderer on the recording back end: models gathering their nearest
// lights, the render queue's items for their subsets, the scene renderer's walk over the actors
// and its draws, and the light values the shaders receive.
#include "SceneDrawingFixture.h"

#include <functional>

using namespace d3d9;

TEST_F(SceneDrawingTest, ModelsKeepTheirNearestReachingDynamicLightsOfEachKind)
{
    WeBaseModel model;
    model.sphere = {{0, 0, 0}, 1.0f};
    WeLight& near = AddLight({2, 0, 0}, 10);
    WeLight& far = AddLight({0, 0, 6}, 10);
    AddLight({20, 0, 0}, 10); // beyond its range plus the radius
    AddLight({0, 3, 0}, 10).IsDynamic = false;
    WeLight& projector = AddLight({1, 0, 0}, 10, LIGHT_PROJECTOR);
    model.GatherLights(scene.get());
    EXPECT_TRUE(model.lightsGathered);
    EXPECT_EQ(model.lightFlags, 2);
    ASSERT_EQ(model.pointLightCount, 2);
    EXPECT_EQ(model.pointLights[0], &near);
    EXPECT_EQ(model.pointLights[1], &far);
    ASSERT_EQ(model.otherLightCount, 1);
    EXPECT_EQ(model.otherLights[0], &projector);
    EXPECT_FLOAT_EQ(far.sortKey, 36.0f);

    // Only the eight nearest stay, whatever order the scene holds them in.
    std::vector<WeLight*> ring;
    for (int32_t i = 0; i < 12; ++i)
        ring.push_back(&AddLight({0, -1.5f - 0.3f * float(i), 0}, 100));
    model.GatherLights(scene.get());
    const std::vector<WeLight*> nearest{ring[0], ring[1], &near, ring[2], ring[3], ring[4], ring[5], ring[6]};
    EXPECT_EQ(std::vector<WeLight*>(model.pointLights, model.pointLights + model.pointLightCount), nearest);

    WeBaseModel dark;
    dark.sphere = {{500, 0, 0}, 1.0f};
    dark.lightFlags = 2;
    dark.GatherLights(scene.get());
    EXPECT_EQ(dark.pointLightCount + dark.otherLightCount, 0);
    EXPECT_EQ(dark.lightFlags, 0);
}

TEST_F(SceneDrawingTest, QueuedItemsSortByTheirActorsDepthAndLitMaterialsGatherOnce)
{
    WeActor& actor = AddActor({3, 0, 4});
    AddLight({3, 0, 5}, 5);
    WeMaterial* alpha = Material(2);
    WeMaterial* unqueued = Material(1);
    const WeMatrix& world = actor.model->world;
    struct Case
    {
        WeMaterial* material;
        bool withActor, withModel;
        float depth;
    } cases[] = {
        {solid, true, true, 3.0f},  // view depth 4 less the radius
        {alpha, true, true, 4.0f},  // distance 5 less the radius
        {alpha, true, false, 5.0f}, // no model, no radius
        {alpha, false, false, 0.0f},
    };
    for (const Case& test : cases)
    {
        const WeRenderItem* item =
            renderQueue.Add(test.material, test.withActor ? &actor : nullptr, 0,
                            test.withModel ? actor.model.get() : nullptr, 0, &world, &camera);
        ASSERT_NE(item, nullptr);
        EXPECT_FLOAT_EQ(item->depth, test.depth)
            << "pass " << test.material->pass << " model " << test.withModel;
    }
    EXPECT_TRUE(actor.model->lightsGathered);
    EXPECT_EQ(actor.model->pointLightCount, 1);
    EXPECT_EQ(renderQueue.Add(solid, &actor, 0, actor.model.get(), 0, &world, &camera)->techniqueMask, 2)
        << "the lit technique of a model with a point light";

    // Gathered once until told otherwise.
    AddLight({3, 0, 3}, 5);
    renderQueue.Add(solid, &actor, 0, actor.model.get(), 0, &world, &camera);
    EXPECT_EQ(actor.model->pointLightCount, 1);
    actor.model->InvalidateLights();
    renderQueue.Add(solid, &actor, 0, actor.model.get(), 0, &world, &camera);
    EXPECT_EQ(actor.model->pointLightCount, 2);

    EXPECT_EQ(renderQueue.Add(nullptr, &actor, 0, nullptr, 0, &world, &camera), nullptr);
    EXPECT_EQ(renderQueue.Add(solid, &actor, 0, nullptr, 0, nullptr, &camera), nullptr);
    const int32_t made = renderQueue.GetItemCount();
    EXPECT_EQ(renderQueue.Add(unqueued, &actor, 0, nullptr, 0, &world, &camera), nullptr);
    EXPECT_EQ(renderQueue.GetItemCount(), made + 1) << "a pass that is not queued still takes an item";
    renderQueue.Recycle();
    renderQueue.Add(unqueued, &actor, 0, nullptr, 0, &world, &camera);
    EXPECT_EQ(renderQueue.GetItemCount(), made + 1) << "and gives it back at Recycle";
}

TEST_F(SceneDrawingTest, PrepareCollectsActiveShownActorsInViewAndSkipsReflectiveOnesInReflections)
{
    WeActor& seen = AddActor({0, 0, 10});
    AddActor({0, 0, -50}); // behind the camera
    AddActor({0, 0, 12}).active = false;
    AddActor({1, 0, 12}).visible = false;
    AddActor({0, 1, 14}).materialPreset = -1; // collected, but draws no set
    scene->lightSet[0] = 3;
    scene->lightSet[1] = 4;
    sceneRenderer.Prepare(scene.get(), &camera);
    EXPECT_EQ(frameStats.frame.visibleActors, 2);
    EXPECT_EQ(QueuedActors(WeSceneRenderer::solidPlainList), std::vector<WeActor*>{&seen});
    EXPECT_EQ(sceneRenderer.lists[WeSceneRenderer::solidList].sizeAtFill, 1);
    EXPECT_EQ(seen.lightSet[0], 3);
    EXPECT_EQ(seen.lightSet[1], 4);

    mesh.setMasks[0] = 1; // its set holds a reflective surface
    reflectionRenderer.reflecting = true;
    sceneRenderer.Prepare(scene.get(), &camera);
    reflectionRenderer.reflecting = false;
    EXPECT_TRUE(QueuedActors(WeSceneRenderer::solidPlainList).empty());
    sceneRenderer.Prepare(scene.get(), &camera);
    EXPECT_EQ(QueuedActors(WeSceneRenderer::solidPlainList), std::vector<WeActor*>{&seen});
}

TEST_F(SceneDrawingTest, RenderDrawsEachSubsetAndTwoSidedAlphaBackFacesFirst)
{
    AddActor({0, 0, 10});
    WeActor& glass = AddActor({0, 0, 20});
    WeMaterial* twoSided = Material(2);
    twoSided->twoSided = true;
    twoSided->alphaReference = 100;
    glass.materialPreset = 1;
    glass.model->alphaOffset = 20;
    mesh.sets[1].materials[0] = twoSided;
    // No velocity pass drawing the solid item once more.
    renderDevice.motionBlurMode = 1;
    renderDevice.depthOfField = false;
    sceneRenderer.Prepare(scene.get(), &camera);
    Device().ClearCallLog();
    sceneRenderer.Render();
    renderDevice.motionBlurMode = 2;
    renderDevice.depthOfField = true;
    EXPECT_EQ(CountPrefix("DrawIndexedPrimitive "), 3);
    EXPECT_EQ(frameStats.frame.drawnSolid, 1);
    EXPECT_EQ(frameStats.frame.drawnAlpha, 1);
    EXPECT_GE(CountPrefix("SetRenderState " + std::to_string(D3DRS_ALPHAREF) + " 120"), 1)
        << "the model's offset on the actor's own set";
    // The glass: back faces (front ones culled), then front faces.
    const std::vector<std::string>& calls = Calls();
    const auto draw =
        std::find_if(calls.rbegin(), calls.rend(),
                     [](const std::string& call) { return call.rfind("DrawIndexedPrimitive ", 0) == 0; });
    const std::string cullPrefix = "SetRenderState " + std::to_string(D3DRS_CULLMODE) + " ";
    const auto lastCullBefore = [&](auto from)
    {
        return *std::find_if(from, calls.rend(),
                             [&](const std::string& call) { return call.rfind(cullPrefix, 0) == 0; });
    };
    EXPECT_EQ(lastCullBefore(draw), cullPrefix + std::to_string(D3DCULL_CCW));
    const auto backDraw =
        std::find_if(draw + 1, calls.rend(),
                     [](const std::string& call) { return call.rfind("DrawIndexedPrimitive ", 0) == 0; });
    EXPECT_EQ(lastCullBefore(backDraw), cullPrefix + std::to_string(D3DCULL_CW));
}

TEST_F(SceneDrawingTest, ShadersTakeTheNearestLightsTheyWantAndVertexLightsFadeAtTheSphere)
{
    WeActor& actor = AddActor({0, 0, 10});
    WeLight& red = AddLight({0, 0, 12}, 9);
    red.current.Diffuse = {1.0f, 0.5f, 0.0f, 1.0f};
    red.GlobalIntensity = 2.0f;
    red.shadowSampler = 3;
    AddLight({0, 0, 14}, 9);
    AddLight({0, 0, 16}, 9); // the effect wants two
    WeLight& reaching = AddLight({0, 0, 18}, 9, LIGHT_POINT_VERTEXONLY);
    WeLight& close = AddLight({0, 0, 11}, 9, LIGHT_PROJECTOR);
    actor.model->GatherLights(scene.get());
    WeRenderItem item;
    item.model = actor.model.get();
    d3dx::Effect& effect = *shader->effect;
    float values[16] = {};
    shader->SetPerPixelLights(item);
    effect.GetFloatArray(shader->perPixelLightsCount, values, 1);
    EXPECT_EQ(values[0], 2.0f);
    effect.GetVectorArray(shader->perPixelLightsPosition, values, 2);
    EXPECT_EQ(std::vector<float>(values, values + 8), (std::vector<float>{0, 0, 12, 1, 0, 0, 14, 1}));
    effect.GetVectorArray(shader->perPixelLightsColor, values, 1);
    EXPECT_EQ(std::vector<float>(values, values + 4), (std::vector<float>{2, 1, 0, 1}));
    effect.GetFloatArray(shader->perPixelLightsRange, values, 1);
    EXPECT_FLOAT_EQ(values[0], 1.0f / 9);
    int32_t sampler = 0;
    effect.GetInt(shader->shadowSamplerNo, &sampler);
    EXPECT_EQ(sampler, 3);

    // Distance 8 of a reach of 10 keeps 0.4 of the colour; distance 1 all of it.
    const WeSphere bounds{{0, 0, 10}, 1.0f};
    shader->SetPerVertexLights(item, &bounds);
    effect.GetVectorArray(shader->perVertexLightsColor, values, 2);
    ASSERT_EQ(actor.model->otherLights[0], &close);
    ASSERT_EQ(actor.model->otherLights[1], &reaching);
    EXPECT_FLOAT_EQ(values[0], 1.0f);
    EXPECT_FLOAT_EQ(values[4], 0.4f);
    shader->SetPerVertexLights(item, nullptr);
    effect.GetVectorArray(shader->perVertexLightsColor, values, 2);
    EXPECT_FLOAT_EQ(values[4], 1.0f);

    // Grey ambient and a model without lights upload nothing.
    actor.model->pointLightCount = 0;
    effect.SetFloat(shader->perPixelLightsCount, 7);
    effect.SetFloat(shader->perVertexLightsCount, 7);
    shader->SetPerPixelLights(item);
    renderDevice.greyAmbient = true;
    shader->SetPerVertexLights(item, nullptr);
    renderDevice.greyAmbient = false;
    effect.GetFloatArray(shader->perPixelLightsCount, values, 1);
    effect.GetFloatArray(shader->perVertexLightsCount, values + 1, 1);
    EXPECT_EQ(values[0], 7.0f);
    EXPECT_EQ(values[1], 7.0f);
}

// Two actors over one mesh subset draw as one instanced draw when only their places differ (or
// the first per-vertex light reaches them by different amounts, which each instance brings);
// anything else the effect takes per item keeps them apart.
TEST_F(SceneDrawingTest, ItemsThatDifferOnlyInWhereTheyStandDrawAsOneInstancedDraw)
{
    WeShader* instancing = LoadEffect("Shaders.Test.Instancing", "parameter bool Instancing\n" + litEffect);
    ASSERT_NE(instancing, nullptr);
    solid->shader = instancing;
    WeMaterial* other = Material(0);
    other->shader = instancing;
    mesh.sets[1].materials[0] = other;
    struct Case
    {
        const char* change;
        std::function<void(WeActor& second)> apply;
        bool instanced;
    };
    const Case cases[] = {
        {"nothing but the place", [](WeActor&) {}, true},
        {"a per-vertex light fading out towards one of them",
         [this](WeActor&) {
             AddLight({0, 0, 3}, 10, LIGHT_PROJECTOR);
         },
         true},
        {"another set of the same material",
         [this](WeActor& second)
         {
             mesh.sets[2].materials[0] = solid;
             second.materialPreset = 2;
         },
         true},
        {"another material", [](WeActor& second) { second.materialPreset = 1; }, false},
        {"a tint", [](WeActor& second) { second.model->colour[1] = 0.5f; }, false},
        {"an alpha offset", [](WeActor& second) { second.model->alphaOffset = 8; }, false},
        {"a point light of its own",
         [this](WeActor&) {
             AddLight({0, 0, 13}, 1.5f);
         },
         false},
        {"a texture animation at another age",
         [this](WeActor& second)
         {
             solid->textureAnimation = 1;
             second.creationTime = 1.0f;
         },
         false},
    };
    // No velocity pass drawing the items once more.
    renderDevice.motionBlurMode = 1;
    renderDevice.depthOfField = false;
    for (const Case& c : cases)
    {
        scene = std::make_unique<WeScene>();
        solid->textureAnimation = 0;
        AddActor({0, 0, 10}, 0.5f);
        c.apply(AddActor({1, 0, 12}, 0.5f));
        sceneRenderer.Prepare(scene.get(), &camera);
        Device().ClearCallLog();
        sceneRenderer.Render();
        EXPECT_EQ(CountPrefix("DrawIndexedPrimitive "), c.instanced ? 1 : 2) << c.change;
        EXPECT_EQ(CountPrefix("SetInstances 8 2"), c.instanced ? 1 : 0) << c.change;
        EXPECT_EQ(frameStats.frame.drawnSolid, 2) << c.change;
        frameStats.Reset();
    }
    renderDevice.motionBlurMode = 2;
    renderDevice.depthOfField = true;
}

namespace
{

// Draw calls of a warm-up of the scene through the camera, and whether it drew all.
struct WarmUpDraws
{
    int32_t draws;
    bool complete;
};

} // namespace

class SceneWarmUpTest : public SceneDrawingTest
{
protected:
    void SetUp() override
    {
        SceneDrawingTest::SetUp();
        // No velocity pass drawing the solid items once more, no reflection cube.
        renderDevice.motionBlurMode = 1;
        renderDevice.depthOfField = false;
        reflectionQuality = renderDevice.reflectionQuality;
        renderDevice.reflectionQuality = 0;
    }
    void TearDown() override
    {
        renderDevice.motionBlurMode = 2;
        renderDevice.depthOfField = true;
        renderDevice.reflectionQuality = reflectionQuality;
        SceneDrawingTest::TearDown();
    }
    // Three looks on four actors of a loaded scene: a solid lit one twice, an alpha one, a
    // solid one of another effect.
    void AddThreeLooks()
    {
        scene->finished = true;
        other = LoadEffect("Shaders.Test.Other", litEffect);
        ASSERT_NE(other, nullptr);
        mesh.sets[1].materials[0] = Material(2);
        mesh.sets[2].materials[0] = Material(0);
        mesh.sets[2].materials[0]->shader = other;
        AddActor({0, 0, 10});
        AddActor({1, 0, 12});
        AddActor({-1, 0, 11}).materialPreset = 1;
        AddActor({0, 1, 14}).materialPreset = 2;
    }
    WarmUpDraws WarmUp(double milliseconds)
    {
        Device().ClearCallLog();
        const bool complete = scene->WarmUp(&camera, milliseconds);
        return {CountPrefix("DrawIndexedPrimitive "), complete};
    }
    int32_t FrameDraws()
    {
        Device().ClearCallLog();
        scene->Render(&camera);
        return CountPrefix("DrawIndexedPrimitive ");
    }
    // The looks drawn so far are forgotten, as a lost device forgets its programs.
    static void ForgetLooks()
    {
        sceneRenderer.OnLostDevice();
        sceneRenderer.OnResetDevice();
    }

    WeShader* other = nullptr;
    int32_t reflectionQuality = 0;
};

TEST_F(SceneWarmUpTest, WarmUpsDrawEachNewLookOnceSoThatTheFramesAfterThemMeetNone)
{
    struct Case
    {
        const char* budget;
        double milliseconds;
        std::vector<int32_t> drawsPerWarmUp;
    };
    const Case cases[] = {
        {"no time: the first new look of each", 0.0, {1, 1, 1}},
        {"time for all", 1e6, {3}},
    };
    AddThreeLooks();
    for (const Case& c : cases)
    {
        ForgetLooks();
        scene->warmedRevision = -1;
        std::vector<int32_t> draws;
        for (bool complete = false; !complete && draws.size() < 10;)
        {
            const WarmUpDraws warmUp = WarmUp(c.milliseconds);
            draws.push_back(warmUp.draws);
            complete = warmUp.complete;
        }
        EXPECT_EQ(draws, c.drawsPerWarmUp) << c.budget;
        const WarmUpDraws again = WarmUp(c.milliseconds);
        EXPECT_EQ(again.draws, 0) << c.budget;
        EXPECT_TRUE(again.complete) << c.budget;
        sceneRenderer.coldLooks = 0;
        EXPECT_EQ(FrameDraws(), 4) << c.budget;
        EXPECT_EQ(sceneRenderer.coldLooks, 0) << c.budget;
    }
    // Without warm-ups the first frame meets every look, the next none.
    ForgetLooks();
    sceneRenderer.coldLooks = 0;
    EXPECT_EQ(FrameDraws(), 4);
    EXPECT_EQ(sceneRenderer.coldLooks, 3);
    FrameDraws();
    EXPECT_EQ(sceneRenderer.coldLooks, 3);
}

TEST_F(SceneWarmUpTest, AfterADrawnWarmUpOnlyANewLookIsDrawnAndOnlyOnceContentChanged)
{
    AddThreeLooks();
    EXPECT_TRUE(WarmUp(1e6).complete);
    for (const int32_t set : {3, 4})
    {
        mesh.sets[set].materials[0] = Material(0);
        mesh.sets[set].materials[0]->srcBlend = set == 3 ? d3d9::D3DBLEND_ONE : d3d9::D3DBLEND_ZERO;
    }
    AddActor({0, -1, 10}).materialPreset = 3;
    EXPECT_EQ(WarmUp(1e6).draws, 1) << "the new actor's look";
    WeActor& known = AddActor({2, 0, 13});
    EXPECT_EQ(WarmUp(1e6).draws, 0) << "a look drawn before";
    known.materialPreset = 4;
    EXPECT_EQ(WarmUp(1e6).draws, 0) << "no actor added or removed";
    sceneRenderer.coldLooks = 0;
    EXPECT_EQ(FrameDraws(), 6);
    EXPECT_EQ(sceneRenderer.coldLooks, 1);
}

TEST_F(SceneWarmUpTest, LitMaterialsWaitForALightWhileTheSceneStillLoads)
{
    struct Case
    {
        const char* scene;
        bool finished;
        bool light;
        int32_t draws;
    };
    const Case cases[] = {
        {"loading, no light yet", false, false, 1},
        {"loading, a light in", false, true, 2},
        {"loaded without lights", true, false, 2},
    };
    WeMaterial* unlit = Material(0);
    unlit->lighting = false;
    unlit->srcBlend = d3d9::D3DBLEND_ONE;
    mesh.sets[1].materials[0] = unlit;
    const auto litAndUnlit = [this](bool finished, bool light)
    {
        ForgetLooks();
        scene = std::make_unique<WeScene>();
        scene->finished = finished;
        AddActor({0, 0, 10});
        AddActor({1, 0, 10}).materialPreset = 1;
        if (light)
            AddLight({0, 0, 9}, 5.0f);
    };
    for (const Case& c : cases)
    {
        litAndUnlit(c.finished, c.light);
        EXPECT_EQ(WarmUp(1e6).draws, c.draws) << c.scene;
    }
    // The wait ends with the load, though nothing was added.
    litAndUnlit(false, false);
    EXPECT_EQ(WarmUp(1e6).draws, 1);
    EXPECT_EQ(WarmUp(1e6).draws, 0);
    scene->finished = true;
    EXPECT_EQ(WarmUp(1e6).draws, 1);
}
