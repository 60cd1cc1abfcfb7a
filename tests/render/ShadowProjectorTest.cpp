// Shadow maps and projectors over a scene on the recording back end: which lights get shadow
// slots, which cube faces and casters are drawn, what stays bound afterwards, and which items
// each projector light reaches.
#include "SceneDrawingFixture.h"
#include "WeProjectorRenderer.h"
#include "WeRenderTarget.h"
#include "WeShadowMapRenderer.h"
#include "WeTexture.h"

using namespace d3d9;

namespace
{

const std::string shadowEffect = "parameter matrix WorldMatrix\nparameter float3 LightPosition\n" +
                                 PlacingTechnique("Tech", 0) + PlacingTechnique("Tech0", 1);

class ShadowProjectorTest : public SceneDrawingTest
{
protected:
    void SetUp() override
    {
        SceneDrawingTest::SetUp();
        renderDevice.shadows = 1;
        renderDevice.projectors = true;
        shadowMapRenderer.OnResetDevice();
        shadowMapRenderer.shadowEffect = LoadEffect("Shaders.Test.ShadowMap", shadowEffect);
        ASSERT_NE(shadowMapRenderer.shadowEffect, nullptr);
        camera.Update();
    }
    void TearDown() override
    {
        renderDevice.shadows = 0;
        renderDevice.pixelShader3 = false;
        projectorRenderer.BeginFrame();
        shadowMapRenderer.lights.Clear();
        shadowMapRenderer.casters.Clear();
        SceneDrawingTest::TearDown();
    }
    WeLight& ShadowLight(const WeVector& at, float range = 50.0f)
    {
        WeLight& light = AddLight(at, range);
        light.CastShadows = true;
        std::fill(std::begin(light.CastShadowPlane), std::end(light.CastShadowPlane), true);
        return light;
    }
    // Prepares and renders shadows, collecting the solid items in between as the scene does.
    void RenderShadows()
    {
        shadowMapRenderer.Prepare(scene.get(), &camera);
        sceneRenderer.Prepare(scene.get(), &camera);
        Device().ClearCallLog();
        shadowMapRenderer.Render(scene.get(), &camera);
    }
    std::string TextureCall(uint32_t stage, const WeRenderTarget* target) const
    {
        return "SetTexture " + std::to_string(stage) + " #" + std::to_string(target->texture->Id());
    }
};

} // namespace

TEST_F(ShadowProjectorTest, TheNearestCastingLightsInViewGetShadowSlotsByShaderLevel)
{
    struct Case
    {
        const char* name;
        bool pixelShader3;
        int32_t shaderLevel;
        int32_t selected;
    } cases[] = {{"level 2 with pixel shader 3", true, 2, 4},
                 {"level 1", true, 1, 1},
                 {"no pixel shader 3", false, 2, 1}};
    std::vector<WeLight*> byDistance;
    for (int32_t i = 5; i >= 0; --i)
        byDistance.insert(byDistance.begin(), &ShadowLight({0, 0, 10.0f + 5.0f * float(i)}));
    WeLight& silent = ShadowLight({0, 0, 1});
    silent.CastShadows = false;
    WeLight& off = ShadowLight({0, 0, 2});
    off.Active = false;
    WeLight& rangeless = ShadowLight({0, 0, 3}, 0.0f);
    WeLight& behind = ShadowLight({0, 0, -200}, 50.0f);
    for (const Case& test : cases)
    {
        renderDevice.pixelShader3 = test.pixelShader3;
        renderDevice.shaderLevel = test.shaderLevel;
        for (WeLight* light : byDistance)
            light->shadowSampler = 0;
        shadowMapRenderer.Prepare(scene.get(), &camera);
        ASSERT_EQ(shadowMapRenderer.lights.GetCount(), test.selected) << test.name;
        for (int32_t i = 0; i < 6; ++i)
            EXPECT_EQ(byDistance[size_t(i)]->shadowSampler, i < test.selected ? i + 1 : 0) << test.name << i;
        for (const WeLight* light : {&silent, &off, &rangeless, &behind})
            EXPECT_EQ(light->shadowSampler, 0) << test.name;
    }
    renderDevice.shaderLevel = 1;
}

TEST_F(ShadowProjectorTest, EveryFaceIsClearedButOnlyFacesInViewAndSwitchedOnDrawTheirCasters)
{
    WeLight& light = ShadowLight({0, 0, 0}, 30.0f);
    light.CastShadowPlane[4] = false; // +z: towards the caster, switched off
    AddActor({0, 0, 10});
    RenderShadows();
    EXPECT_EQ(shadowMapRenderer.renderedCount, 1);
    EXPECT_TRUE(shadowMapRenderer.hasLights);
    EXPECT_EQ(CountCalls("Clear 3 0 1 0"), 6) << "each face, colour and depth";
    EXPECT_EQ(CountPrefix("DrawIndexedPrimitive"), 0) << "the caster is only seen by the switched-off face";
    EXPECT_LT(IndexOfCall("SetRenderState 168 1"), IndexOfCall("SetRenderState 168 15"));
    EXPECT_NE(IndexOfCall(TextureCall(8, shadowMapRenderer.cubeTargets[0])), -1);

    light.CastShadowPlane[4] = true;
    RenderShadows();
    EXPECT_EQ(CountPrefix("DrawIndexedPrimitive"), 1) << "only the +z face sees the caster";
}

TEST_F(ShadowProjectorTest, HasLightsFollowsThisFramesLightsAndAMissingCubeStopsTheLights)
{
    renderDevice.pixelShader3 = true;
    renderDevice.shaderLevel = 2;
    ShadowLight({0, 0, 5});
    ShadowLight({0, 0, 8});
    RenderShadows();
    EXPECT_EQ(shadowMapRenderer.renderedCount, 2);
    EXPECT_TRUE(shadowMapRenderer.hasLights);

    renderTargetManager.Destroy(shadowMapRenderer.cubeTargets[0]);
    shadowMapRenderer.cubeTargets[0] = nullptr;
    RenderShadows();
    EXPECT_EQ(shadowMapRenderer.renderedCount, 0) << "the first slot has no cube, so none is drawn";
    EXPECT_FALSE(shadowMapRenderer.hasLights);
    shadowMapRenderer.OnResetDevice();

    scene->lights.ForEach([](const WeString&, WeActor* light)
                          { static_cast<WeLight*>(light)->CastShadows = false; });
    RenderShadows();
    EXPECT_FALSE(shadowMapRenderer.hasLights) << "no light this frame, whatever the last frame had";
    renderDevice.shaderLevel = 1;
}

TEST_F(ShadowProjectorTest, ShadowedItemsTakeTheShadowTechniqueOnlyWhileTheirLightHasASlot)
{
    WeActor& actor = AddActor({0, 0, 10});
    WeLight& light = ShadowLight({0, 0, 5});
    actor.model->GatherLights(scene.get());
    shadowMapRenderer.Prepare(scene.get(), &camera);
    EXPECT_TRUE(WeRenderQueue::Shadowed(&actor, actor.model.get()));
    actor.shadowVolume = false;
    EXPECT_FALSE(WeRenderQueue::Shadowed(&actor, actor.model.get())) << "the actor casts and takes none";
    actor.shadowVolume = true;
    light.shadowSampler = 0;
    EXPECT_FALSE(WeRenderQueue::Shadowed(&actor, actor.model.get()));
    renderDevice.shadows = 0;
    light.shadowSampler = 1;
    EXPECT_FALSE(WeRenderQueue::Shadowed(&actor, actor.model.get()));
}

TEST_F(ShadowProjectorTest, ProjectorsReachTheItemsAroundOrInFrontOfThemButNotTheirOwnActor)
{
    WeTexture cube;
    WeMaterial* receiving = Material(0);
    receiving->textures[4] = &cube;
    struct Case
    {
        const char* name;
        int32_t type;
        WeVector light;
        float range;
        bool withCubeSlot, attached;
        int32_t reached;
    } cases[] = {
        {"omni overlapping", LIGHT_PROJECTOR | LIGHT_POINT, {0, 0, 12}, 1.5f, true, false, 1},
        {"omni touching only", LIGHT_PROJECTOR | LIGHT_POINT, {0, 0, 12}, 1.0f, true, false, 0},
        {"omni without a fifth texture", LIGHT_PROJECTOR | LIGHT_POINT, {0, 0, 12}, 5.0f, false, false, 0},
        {"omni on its own actor", LIGHT_PROJECTOR | LIGHT_POINT, {0, 0, 12}, 5.0f, true, true, 0},
        {"spot facing the actor", LIGHT_PROJECTOR, {0, 0, 5}, 20.0f, true, false, 1},
        {"spot beyond its range", LIGHT_PROJECTOR, {0, 0, -10}, 15.0f, true, false, 0},
        {"spot on its own actor", LIGHT_PROJECTOR, {0, 0, 5}, 20.0f, true, true, 0},
    };
    WeActor& actor = AddActor({0, 0, 10});
    for (const Case& test : cases)
    {
        actor.model->mesh->sets[0].materials[0] = test.withCubeSlot ? receiving : solid;
        WeLight& light = AddLight(test.light, test.range, test.type);
        if (test.attached)
        {
            light.SetParent(&actor);
            light.SetLocation(test.light - actor.GetWorldPosition());
        }
        sceneRenderer.Prepare(scene.get(), &camera);
        const auto& lights =
            test.type & LIGHT_POINT ? projectorRenderer.omniLights : projectorRenderer.spotLights;
        ASSERT_EQ(lights.size(), 1u) << test.name;
        EXPECT_EQ(lights[0]->receivers.GetCount(), test.reached) << test.name;
        light.SetParent(nullptr);
        light.Active = false;
    }
}
