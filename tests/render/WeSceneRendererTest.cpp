// The scene renderer's passes and the reflection renderer's faces on the recording back end: the
// order in which effects, their passes and the items drawn with them reach the device, the states
// materials set and every pass restores, and the reflection cube's frames.
#include "WeSceneRenderer.h"

#include "EffectFolderFixture.h"
#include "WeActor.h"
#include "WeMaterial.h"
#include "WeRenderTarget.h"
#include "WeScene.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace d3d9;

namespace
{

// An effect whose passes each set render state 60 to a marker value, so the call log tells which
// pass of which effect draws; its vertex code takes the world matrix.
std::string MarkedEffect(std::initializer_list<int> markers)
{
    std::string text = "parameter matrix WorldMatrix\nparameter float4 MaterialColor\ntechnique Tech\n";
    for (const int marker : markers)
        text += "pass P\nstate 60 " + std::to_string(marker) +
                "\nvertex\nuniform mat4 WorldMatrix;\nvoid main() { gl_Position = WorldMatrix[0]; }\nend\n";
    return text;
}

class SceneRendererTest : public EffectFolderDevice
{
protected:
    void SetUp() override
    {
        EffectFolderDevice::SetUp();
        twoPass = LoadEffect("Shaders.Test.TwoPass", MarkedEffect({10, 11}));
        onePass = LoadEffect("Shaders.Test.OnePass", MarkedEffect({20}));
        ASSERT_NE(twoPass, nullptr);
        ASSERT_NE(onePass, nullptr);
    }
    WeMaterial& Material(WeShader* shader, int32_t pass = 0)
    {
        auto& material = *materials.emplace_back(std::make_unique<WeMaterial>());
        material.shader = shader;
        material.pass = pass;
        return material;
    }
    // An item of the material at the x position of its world matrix, into the list by key.
    void Queue(int32_t list, WeMaterial& material, int32_t key, WeActor* actor = nullptr)
    {
        auto& world =
            *worlds.emplace_back(std::make_unique<WeMatrix>(d3dx::D3DXMatrixTranslation(float(key), 0, 0)));
        auto& item = *items.emplace_back(std::make_unique<WeRenderItem>());
        item.material = &material;
        item.world = &world;
        item.actor = actor;
        sceneRenderer.lists[list].Push(&item, key);
    }
    // The log reduced to the pass markers ("P10") and the world-matrix uploads ("W").
    std::string PassesAndItems() const
    {
        std::string seen;
        for (const std::string& call : Calls())
        {
            for (const char* marker : {"10", "11", "20"})
                if (call == std::string("SetRenderState 60 ") + marker)
                    seen += std::string(seen.empty() ? "" : " ") + "P" + marker;
            if (call.rfind("SetShaderConstantF WorldMatrix", 0) == 0)
                seen += " W";
        }
        return seen;
    }
    uint32_t State(RenderState which) const
    {
        uint32_t value = 0;
        Device().GetRenderState(which, &value);
        return value;
    }

    WeShader* twoPass = nullptr;
    WeShader* onePass = nullptr;
    std::vector<std::unique_ptr<WeMaterial>> materials;
    std::vector<std::unique_ptr<WeMatrix>> worlds;
    std::vector<std::unique_ptr<WeRenderItem>> items;
};

} // namespace

TEST_F(SceneRendererTest, AMultiPassEffectDrawsAllItsItemsInEveryPassBeforeTheNextEffectBegins)
{
    // Each pass uploads the world matrix as it begins, then once for each item it draws.
    struct Case
    {
        const char* name;
        bool twoPassFirst;
        const char* expected;
    } cases[] = {{"multi-pass first", true, "P10 W W W P11 W W W P20 W W"},
                 {"multi-pass last, the end of the list", false, "P20 W W P10 W W W P11 W W W"}};
    for (const Case& test : cases)
    {
        WeMaterial& two = Material(twoPass);
        WeMaterial& one = Material(onePass);
        Queue(WeSceneRenderer::solidPlainList, two, test.twoPassFirst ? 1 : 5);
        Queue(WeSceneRenderer::solidPlainList, two, test.twoPassFirst ? 2 : 6);
        Queue(WeSceneRenderer::solidPlainList, one, test.twoPassFirst ? 3 : 1);
        Device().ClearCallLog();
        sceneRenderer.RenderPass(WeSceneRenderer::solidPass);
        EXPECT_EQ(PassesAndItems(), test.expected) << test.name;
    }
    EXPECT_EQ(frameStats.frame.drawnSolid, 6) << "each item counted once, whatever its passes";
}

TEST_F(SceneRendererTest, EachPassDrawsItsListInItsStatesAndCountsWhatItDraws)
{
    using Frame = WeFrameStats::PerFrame;
    const struct
    {
        WeSceneRenderer::Pass pass;
        int32_t list;                         // -1: none
        int32_t blend, depthTest, depthWrite; // -1: not set before the items (without items, at all)
        int32_t Frame::*drawn;
    } cases[] = {
        {WeSceneRenderer::backgroundPass, WeSceneRenderer::backgroundList, 1, 0, -1, &Frame::drawnBackground},
        {WeSceneRenderer::outlinedPass, WeSceneRenderer::solidOutlinedList, 0, 1, 1, &Frame::drawnSolid},
        {WeSceneRenderer::solidPass, WeSceneRenderer::solidPlainList, 0, 1, 1, &Frame::drawnSolid},
        {WeSceneRenderer::projectorPass, -1, 0, 1, 1, nullptr}, // only the states a list leaves
        {WeSceneRenderer::alphaPass, WeSceneRenderer::alphaList, 1, 1, 0, &Frame::drawnAlpha},
        {WeSceneRenderer::lastPass, WeSceneRenderer::lastList, 1, 0, -1, &Frame::drawnLast},
    };
    for (const auto& c : cases)
    {
        for (int32_t list = 0; list < WeSceneRenderer::listCount; ++list)
            Queue(list, Material(onePass), 1);
        frameStats.Reset();
        Device().ClearCallLog();
        sceneRenderer.RenderPass(c.pass);
        // The states last set before the first item is drawn (by the whole pass when none is).
        const auto firstItem = std::find_if(Calls().begin(), Calls().end(),
                                            [](const std::string& call)
                                            { return call.rfind("SetShaderConstantF WorldMatrix", 0) == 0; });
        const auto setBefore = [&](RenderState state)
        {
            const std::string prefix = "SetRenderState " + std::to_string(int(state)) + " ";
            int32_t value = -1;
            for (auto call = Calls().begin(); call != firstItem; ++call)
                if (call->rfind(prefix, 0) == 0)
                    value = std::stoi(call->substr(prefix.size()));
            return value;
        };
        EXPECT_EQ(firstItem != Calls().end(), c.list >= 0) << c.pass;
        EXPECT_EQ(setBefore(D3DRS_ALPHABLENDENABLE), c.blend) << c.pass;
        EXPECT_EQ(setBefore(D3DRS_ZENABLE), c.depthTest) << c.pass;
        EXPECT_EQ(setBefore(D3DRS_ZWRITEENABLE), c.depthWrite) << c.pass;
        const Frame& drawn = frameStats.frame;
        EXPECT_EQ(drawn.drawnBackground + drawn.drawnSolid + drawn.drawnAlpha + drawn.drawnLast,
                  c.drawn ? 1 : 0);
        EXPECT_EQ(c.drawn ? drawn.*c.drawn : 0, c.drawn ? 1 : 0) << c.pass;
        for (WeRenderList& list : sceneRenderer.lists)
            list.Clear();
    }
    EXPECT_EQ(State(D3DRS_ZENABLE), 1u) << "every pass ends with the depth test on";
}

TEST_F(SceneRendererTest, TheSolidPassesDrawNearerKeysFirstAndTheOtherListsByKey)
{
    // The two-pass effect's key is smaller, its actors farther from the camera at the origin.
    WeActor far, near;
    far.sphereCentre = {0, 0, 30};
    near.sphereCentre = {0, 0, 2};
    WeCamera camera;
    sceneRenderer.camera = &camera;
    const struct
    {
        WeSceneRenderer::Pass pass;
        int32_t list;
        const char* expected;
    } cases[] = {
        {WeSceneRenderer::solidPass, WeSceneRenderer::solidPlainList, "P20 W W P10 W W P11 W W"},
        {WeSceneRenderer::outlinedPass, WeSceneRenderer::solidOutlinedList, "P20 W W P10 W W P11 W W"},
        {WeSceneRenderer::alphaPass, WeSceneRenderer::alphaList, "P10 W W P11 W W P20 W W"}};
    for (const auto& test : cases)
    {
        Queue(test.list, Material(twoPass), 1, &far);
        Queue(test.list, Material(onePass), 2, &near);
        Device().ClearCallLog();
        sceneRenderer.RenderPass(test.pass);
        EXPECT_EQ(PassesAndItems(), test.expected) << "pass " << test.pass;
    }
    sceneRenderer.camera = nullptr;
}

TEST_F(SceneRendererTest, MaterialsSetTheirStatesOnlyWhenTheyChangeAndThePassRestoresThem)
{
    WeMaterial& doubleSided = Material(onePass, 2);
    doubleSided.twoSided = true;
    doubleSided.srcBlend = 5;
    doubleSided.destBlend = 6;
    doubleSided.alphaReference = 300;
    WeMaterial& wire = Material(onePass, 2);
    wire.wireframe = true;
    wire.srcBlend = 5;
    wire.destBlend = 2;
    wire.alphaReference = -4;
    Queue(WeSceneRenderer::alphaList, doubleSided, 1);
    Queue(WeSceneRenderer::alphaList, doubleSided, 2);
    Queue(WeSceneRenderer::alphaList, wire, 3);
    Device().ClearCallLog();
    sceneRenderer.RenderPass(WeSceneRenderer::alphaPass);
    EXPECT_EQ(CountCalls("SetRenderState 22 1"), 1) << "two-sided: no culling";
    EXPECT_EQ(CountCalls("SetRenderState 8 2"), 1) << "wireframe";
    EXPECT_EQ(CountCalls("SetRenderState 19 5"), 1) << "the same source blend is not set again";
    EXPECT_EQ(CountCalls("SetRenderState 20 6"), 1);
    EXPECT_EQ(CountCalls("SetRenderState 20 2"), 1);
    EXPECT_EQ(CountCalls("SetRenderState 24 255"), 1) << "the alpha reference is clamped to 255";
    EXPECT_EQ(CountCalls("SetRenderState 14 0"), 1) << "alpha items leave the depth buffer as it is";
    EXPECT_EQ(State(D3DRS_CULLMODE), uint32_t(D3DCULL_CCW));
    EXPECT_EQ(State(D3DRS_FILLMODE), uint32_t(D3DFILL_SOLID));
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), 0u);
    EXPECT_EQ(State(D3DRS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(State(D3DRS_ZWRITEENABLE), 1u);
    EXPECT_EQ(frameStats.frame.drawnAlpha, 3);
}

TEST_F(SceneRendererTest, AMaterialWithItsOwnFogHasItUntilTheNextMaterialAndThePassEnd)
{
    renderDevice.SetFog(true, {1, 1, 1, 1}, 100, 200, 0, 1);
    renderDevice.EnableFog();
    WeMaterial& foggy = Material(onePass);
    foggy.ownFog = true;
    foggy.fogEnabled = true;
    foggy.fogStart = 5;
    foggy.fogEnd = 6;
    WeMaterial& plain = Material(twoPass);
    Queue(WeSceneRenderer::solidPlainList, foggy, 1);
    sceneRenderer.RenderPass(WeSceneRenderer::solidPass);
    EXPECT_EQ(renderDevice.fogStart, 100.0f) << "restored after the list";
    EXPECT_TRUE(renderDevice.fogActive);
    Queue(WeSceneRenderer::solidPlainList, foggy, 1);
    Queue(WeSceneRenderer::solidPlainList, plain, 2);
    sceneRenderer.RenderPass(WeSceneRenderer::solidPass);
    EXPECT_EQ(renderDevice.fogStart, 100.0f);
    EXPECT_EQ(renderDevice.fogEnd, 200.0f);
}

TEST_F(SceneRendererTest, RenderDrawsTheListsInPassOrderAsTheSwitchesAllow)
{
    WeCamera camera;
    camera.Update();
    sceneRenderer.Prepare(nullptr, &camera);
    EXPECT_EQ(renderQueue.frameMask, -1);
    WeMaterial& two = Material(twoPass);
    WeMaterial& one = Material(onePass);
    const auto fill = [&]
    {
        Queue(WeSceneRenderer::alphaList, one, 1);
        Queue(WeSceneRenderer::solidPlainList, two, 1);
        Queue(WeSceneRenderer::backgroundList, one, 1);
        Queue(WeSceneRenderer::solidOutlinedList, one, 1);
    };
    struct Case
    {
        const char* name;
        bool outlines;
        int32_t off; // a switch lowered to 0, or -1
        const char* expected;
    } cases[] = {
        {"everything", false, -1, "P20 W W P10 W W P11 W W P20 W W"},
        {"outlines on", true, -1, "P20 W W P20 W W P10 W W P11 W W P20 W W"},
        {"no solid pass", false, WeSceneRenderer::solidSwitch, "P20 W W P20 W W"},
        {"no background", false, WeSceneRenderer::backgroundSwitch, "P10 W W P11 W W P20 W W"},
    };
    for (const Case& test : cases)
    {
        for (WeRenderList& list : sceneRenderer.lists)
            list.Clear();
        fill();
        renderDevice.outlines = test.outlines;
        if (test.off >= 0)
            sceneRenderer.passSwitch[test.off] = 0;
        Device().ClearCallLog();
        sceneRenderer.Render();
        if (test.off >= 0)
            sceneRenderer.passSwitch[test.off] = 1;
        EXPECT_EQ(PassesAndItems(), test.expected) << test.name;
    }
    renderDevice.outlines = false;
    EXPECT_FALSE(renderDevice.fogActive) << "fog is off after the frame";
    EXPECT_EQ(Device().State().samplerStates[4][D3DSAMP_ADDRESSU], uint32_t(D3DTADDRESS_CLAMP));
    EXPECT_EQ(Device().State().samplerStates[5][D3DSAMP_ADDRESSU], uint32_t(D3DTADDRESS_WRAP));
    EXPECT_EQ(Device().State().samplerStates[9][D3DSAMP_MINFILTER], uint32_t(D3DTEXF_LINEAR));
    EXPECT_EQ(Device().State().samplerStates[8][D3DSAMP_MIPFILTER], uint32_t(D3DTEXF_LINEAR));
}

TEST_F(SceneRendererTest, PrepareNarrowsTheFrameTechniquesByTheDeviceSwitches)
{
    struct Case
    {
        int32_t reflectionQuality;
        bool normalMaps, specular, pointLighting;
        int32_t cleared;
    } cases[] = {
        {2, true, true, true, 0},  {0, true, true, true, 16}, {2, false, true, true, 8},
        {2, true, false, true, 4}, {2, true, true, false, 6}, {0, false, false, false, 30},
    };
    WeCamera camera;
    for (const Case& test : cases)
    {
        renderDevice.reflectionQuality = test.reflectionQuality;
        renderDevice.normalMaps = test.normalMaps;
        renderDevice.specularHighlights = test.specular;
        renderDevice.pointLighting = test.pointLighting;
        sceneRenderer.Prepare(nullptr, &camera);
        EXPECT_EQ(renderQueue.frameMask, ~test.cleared)
            << test.reflectionQuality << test.normalMaps << test.specular << test.pointLighting;
    }
    renderDevice.reflectionQuality = 2;
    renderDevice.normalMaps = renderDevice.specularHighlights = renderDevice.pointLighting = true;
}

TEST_F(SceneRendererTest, TheDeclarationsGoWithTheDeviceAndComeBackWithIt)
{
    EXPECT_TRUE(sceneRenderer.initialised);
    ASSERT_NE(sceneRenderer.meshDeclaration, nullptr);
    ASSERT_NE(sceneRenderer.skinnedDeclaration, nullptr);
    sceneRenderer.OnLostDevice();
    sceneRenderer.OnLostDevice();
    EXPECT_EQ(sceneRenderer.meshDeclaration, nullptr);
    sceneRenderer.OnResetDevice();
    EXPECT_NE(sceneRenderer.meshDeclaration, nullptr);
    EXPECT_NE(sceneRenderer.skinnedDeclaration, nullptr);
}

TEST_F(SceneRendererTest, ReflectionsRenderTheSixFacesEveryFewFramesByLevel)
{
    struct Case
    {
        int32_t level;
        uint32_t edge;
        const char* frames; // '6' where the frame draws six faces, '.' where it draws none
    } cases[] = {{2, 32, "6......6......6"}, {3, 64, "6...6...6"}, {1, 0, "....."}, {0, 0, "....."}};
    WeCamera sceneCamera;
    sceneCamera.position = {1, 2, 3};
    for (const Case& test : cases)
    {
        reflectionRenderer.frameCounter = 100;
        ASSERT_TRUE(reflectionRenderer.InitLevel(test.level));
        if (test.edge == 0)
        {
            EXPECT_EQ(reflectionRenderer.cubeTarget, nullptr);
            EXPECT_EQ(materialManager.reflectionCube, nullptr);
        }
        else
        {
            ASSERT_NE(reflectionRenderer.cubeTarget, nullptr);
            EXPECT_EQ(reflectionRenderer.cubeTarget->edge, test.edge);
            EXPECT_EQ(reflectionRenderer.cubeTarget->format, D3DFMT_X1R5G5B5);
            EXPECT_EQ(materialManager.reflectionCube, reflectionRenderer.cubeTarget->texture)
                << "reflective materials sample the cube";
        }
        std::string frames;
        for (size_t frame = 0; frame < std::string(test.frames).size(); ++frame)
        {
            Surface* before = Device().State().renderTargets[0];
            Device().ClearCallLog();
            reflectionRenderer.Render(nullptr, &sceneCamera);
            const int clears =
                int(std::count_if(Calls().begin(), Calls().end(),
                                  [](const std::string& call) { return call.rfind("Clear ", 0) == 0; }));
            frames += clears == 0 ? '.' : char('0' + clears);
            EXPECT_EQ(Device().State().renderTargets[0], before);
        }
        if (test.edge)
        {
            EXPECT_EQ(reflectionRenderer.camera->position.y, 2.0f)
                << "faces are seen from the camera's place";
        }
        EXPECT_EQ(frames, test.frames) << "level " << test.level;
        EXPECT_FALSE(reflectionRenderer.reflecting);
        for (const int32_t on : sceneRenderer.passSwitch)
            EXPECT_EQ(on, 1) << "the switches are raised again";
        reflectionRenderer.OnLostDevice();
        reflectionRenderer.OnLostDevice();
        EXPECT_EQ(materialManager.reflectionCube, nullptr);
    }
    reflectionRenderer.InitLevel(renderDevice.reflectionQuality);
}

TEST_F(SceneRendererTest, ReflectionsWaitWhileTheSceneDrawsNoReflectiveMaterial)
{
    WeScene scene;
    WeCamera sceneCamera;
    WeMaterial plain, reflective;
    reflective.reflective = true;
    WeRenderItem plainItem, reflectiveItem;
    plainItem.material = &plain;
    reflectiveItem.material = &reflective;
    ASSERT_TRUE(reflectionRenderer.InitLevel(3));
    reflectionRenderer.frameCounter = 100;
    // Per frame: the items the scene's view drew and whether the cube was drawn ('6') or not.
    const struct
    {
        std::vector<WeRenderItem*> drawn;
        char cube;
    } frames[] = {{{}, '6'},
                  {{&plainItem}, '.'},
                  {{&plainItem}, '.'},
                  {{&plainItem}, '.'},
                  {{&plainItem}, '.'},
                  {{&plainItem, &reflectiveItem}, '.'},
                  {{&reflectiveItem}, '6'},
                  {{&reflectiveItem}, '.'}};
    std::string expected, cubes;
    for (const auto& frame : frames)
    {
        Device().ClearCallLog();
        reflectionRenderer.Render(&scene, &sceneCamera);
        const bool drawn = std::any_of(Calls().begin(), Calls().end(),
                                       [](const std::string& call) { return call.rfind("Clear ", 0) == 0; });
        cubes += drawn ? '6' : '.';
        expected += frame.cube;
        WeRenderList lists[2];
        for (WeRenderItem* item : frame.drawn)
            lists[1].Push(item, 0);
        reflectionRenderer.NoteReflectiveItems(&scene, lists, 2);
    }
    EXPECT_EQ(cubes, expected) << "the frame after a reflective material shows makes the cube at once";
    reflectionRenderer.OnLostDevice();
    reflectionRenderer.unreflectiveScene = nullptr;
    reflectionRenderer.InitLevel(renderDevice.reflectionQuality);
}
