// Post-processing on the recording back end with the shipped effects: the chain each set of
// capabilities and settings builds, captures that cannot be made, when the chain is active,
// the composite's technique, where every pass draws and what it reads, and the shadow blur.
#include "WePostProcess.h"
#include "RenderDeviceFixture.h"
#include "WeTimer.h"
#include "d3d9/RecordingBackend.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace d3d9;

namespace
{

struct Settings
{
    bool pixelShader3 = true, g16 = true, a16 = true;
    int32_t bloom = 0, motion = 0;
    bool refraction = false, focus = false;
    int32_t shadows = 0;
};

// What one draw wrote into and read from.
struct Routed
{
    const Surface* target;
    const BaseTexture* source;
    uint32_t minFilter; // of the first stage
};

class PostProcessTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        saved = {renderDevice.motionBlurMode, renderDevice.bloomMode, renderDevice.refraction,
                 renderDevice.depthOfField,   renderDevice.filmGrain, renderDevice.shadows};
        ASSERT_TRUE(Start()) << engine.lastError.GetData();
        renderDevice.filmGrain = false;
    }
    void TearDown() override
    {
        renderDevice.motionBlurMode = saved.motion;
        renderDevice.bloomMode = saved.bloom;
        renderDevice.refraction = saved.refraction;
        renderDevice.depthOfField = saved.focus;
        renderDevice.filmGrain = saved.grain;
        renderDevice.shadows = saved.shadows;
        renderDevice.brightness = renderDevice.contrast = 0.0f;
        RecordingRenderDevice::TearDown();
    }
    void Rebuild(const Settings& s)
    {
        postProcess.Release();
        renderDevice.pixelShader3 = s.pixelShader3;
        renderDevice.floatTargetG16R16F = s.g16;
        renderDevice.floatTargetA16B16G16R16F = s.a16;
        renderDevice.bloomMode = s.bloom;
        renderDevice.motionBlurMode = s.motion;
        renderDevice.refraction = s.refraction;
        renderDevice.depthOfField = s.focus;
        renderDevice.shadows = s.shadows;
        postProcess.Build();
        LightReducedImages(0xFFFFFFFFu);
    }
    // Every pixel of the reduced targets, which the recording back end never draws: bloom adds
    // its image only where it has colour.
    static void LightReducedImages(uint32_t pixel)
    {
        for (const WeRenderTarget* target :
             {postProcess.halfA, postProcess.halfB, postProcess.quarterA, postProcess.quarterB})
            if (target)
                Fill(target->surfaces[0], pixel);
    }
    static std::vector<std::string> Chain()
    {
        std::vector<std::string> names;
        for (const WePostProcessEffect* effect : postProcess.effects)
            names.push_back(effect->shader ? effect->shader->name.GetData() : "(none)");
        return names;
    }
    // Every draw of the post-processing run.
    std::vector<Routed> RunRouted()
    {
        std::vector<Routed> draws;
        auto& backend = static_cast<RecordingBackend&>(Device().GetBackend());
        backend.onDraw = [&](const DeviceState& state) {
            draws.push_back(
                {state.renderTargets[0], state.textures[0], state.samplerStates[0][D3DSAMP_MINFILTER]});
        };
        postProcess.Render();
        backend.onDraw = nullptr;
        return draws;
    }
    // Every pixel of a 32-bit surface's memory.
    static void Fill(Surface* surface, uint32_t pixel)
    {
        std::vector<uint8_t>& memory = surface->Memory();
        for (size_t i = 0; i + 4 <= memory.size(); i += 4)
            std::memcpy(memory.data() + i, &pixel, 4);
    }
    static uint32_t FirstPixel(Surface* surface)
    {
        uint32_t pixel = 0;
        std::memcpy(&pixel, surface->Memory().data(), 4);
        return pixel;
    }
    Surface* BackBuffer()
    {
        Surface* back = nullptr;
        Device().GetBackBuffer(0, 0, 0, &back);
        back->Release();
        return back;
    }

    struct
    {
        int32_t motion, bloom;
        bool refraction, focus, grain;
        int32_t shadows;
    } saved{};
};

TEST_F(PostProcessTest, TheChainFollowsTheCapabilitiesAndSettings)
{
    struct Case
    {
        const char* what;
        Settings settings;
        std::vector<std::string> chain;
        Format capture;
    };
    const Case cases[] = {
        {"bloom", {.bloom = 1}, {"Shaders.PostProcess.Bloom"}, D3DFMT_A8R8G8B8},
        {"bloom without float targets", {.a16 = false, .bloom = 1}, {}, D3DFMT_A8R8G8B8},
        {"high dynamic range", {.bloom = 2}, {"Shaders.PostProcess.HDR"}, D3DFMT_A16B16G16R16F},
        {"per-pixel motion blur", {.motion = 2}, {"Shaders.PostProcess.PixelMotionBlur"}, D3DFMT_A8R8G8B8},
        {"per-pixel blur without G16R16F",
         {.g16 = false, .a16 = false, .motion = 2},
         {"Shaders.PostProcess.RadialBlur"},
         D3DFMT_A8R8G8B8},
        {"depth of field without shader model 3",
         {.pixelShader3 = false, .focus = true},
         {},
         D3DFMT_A8R8G8B8},
        {"depth of field without room for depth beside the motion",
         {.a16 = false, .focus = true},
         {},
         D3DFMT_A8R8G8B8},
        {"everything, in run order",
         {.bloom = 2, .motion = 2, .refraction = true, .focus = true},
         {"Shaders.PostProcess.HDR", "Shaders.PostProcess.PixelMotionBlur", "Shaders.PostProcess.Refraction",
          "Shaders.PostProcess.DoF"},
         D3DFMT_A16B16G16R16F},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Rebuild(c.settings);
        EXPECT_EQ(Chain(), c.chain);
        ASSERT_NE(postProcess.captureTarget, nullptr);
        EXPECT_EQ(postProcess.captureTarget->format, c.capture);
        EXPECT_EQ(postProcess.luminanceEffect != nullptr, c.capture == D3DFMT_A16B16G16R16F);
        const bool focus = c.settings.focus && c.settings.pixelShader3 && c.settings.a16;
        const bool velocity = (c.settings.motion == 2 && c.settings.g16) || focus;
        ASSERT_EQ(postProcess.velocityTarget != nullptr, velocity);
        if (velocity)
        {
            EXPECT_EQ(postProcess.velocityTarget->format, focus ? D3DFMT_A16B16G16R16F : D3DFMT_G16R16F)
                << "depth in blue beside the motion";
        }
        EXPECT_EQ(postProcess.fullA != nullptr, !c.chain.empty());
    }
}

TEST_F(PostProcessTest, AFloatCaptureThatCannotBeMadeFallsBackToPlainColour)
{
    direct3D->InjectFailure("CreateTexture", D3DERR_OUTOFVIDEOMEMORY, WePostProcess::createTries);
    Rebuild({.bloom = 2});
    ASSERT_NE(postProcess.captureTarget, nullptr);
    EXPECT_EQ(postProcess.captureTarget->format, D3DFMT_A8R8G8B8);
    EXPECT_FALSE(postProcess.highDynamicRange);
    EXPECT_EQ(Chain(), std::vector<std::string>{}) << "no tone mapping of a plain capture";
    EXPECT_EQ(postProcess.luminanceEffect, nullptr);
}

TEST_F(PostProcessTest, WithoutACaptureTheChainIsInactiveAndDrawsNothing)
{
    direct3D->InjectFailure("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    Rebuild({.bloom = 1});
    renderDevice.filmGrain = true;
    EXPECT_EQ(postProcess.captureTarget, nullptr);
    EXPECT_FALSE(postProcess.IsActive());
    Surface* back = BackBuffer();
    postProcess.BeginCapture();
    EXPECT_EQ(Device().State().renderTargets[0], back);
    EXPECT_TRUE(RunRouted().empty());
}

TEST_F(PostProcessTest, ActiveWhenSomethingChangesTheImage)
{
    struct Case
    {
        Settings settings;
        float brightness, contrast;
        bool grain;
        bool active;
    };
    const Case cases[] = {
        {{}, 0.0f, 0.0f, false, false}, {{.bloom = 1}, 0.0f, 0.0f, false, true},
        {{}, 0.1f, 0.0f, false, true},  {{}, 0.0f, -0.2f, false, true},
        {{}, 0.0f, 0.0f, true, true},   {{.a16 = false, .bloom = 1}, 0.0f, 0.0f, false, false},
    };
    for (const Case& c : cases)
    {
        Rebuild(c.settings);
        renderDevice.brightness = c.brightness;
        renderDevice.contrast = c.contrast;
        renderDevice.filmGrain = c.grain;
        EXPECT_EQ(postProcess.IsActive(), c.active) << c.brightness << " " << c.contrast << " " << c.grain;
    }
}

TEST_F(PostProcessTest, TheCompositeTechniqueNamesWhatItApplies)
{
    ASSERT_NE(postProcess.grainTexture, nullptr) << "the film grain material has its texture";
    struct Case
    {
        bool grain;
        float brightness;
        float flash;
        float monochrome;
        const char* technique;
    };
    const Case cases[] = {{false, 0.0f, 0.0f, 1.0f, "Tech"},  {true, 0.0f, 0.0f, 1.0f, "Tech3"},
                          {true, 0.1f, 0.0f, 1.0f, "Tech03"}, {false, 0.1f, 0.5f, 1.0f, "Tech01"},
                          {false, 0.0f, 0.0f, 0.5f, "Tech2"}, {true, 0.1f, 0.5f, 0.5f, "Tech0123"}};
    Rebuild({});
    for (const Case& c : cases)
    {
        renderDevice.filmGrain = c.grain;
        renderDevice.brightness = c.brightness;
        postProcess.flashColor[3] = c.flash;
        postProcess.monochrome = c.monochrome;
        const std::vector<Routed> draws = RunRouted();
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_EQ(draws[0].target, BackBuffer());
        EXPECT_EQ(postProcess.compositeShader->effect->GetCurrentTechnique(), d3dx::HandleOf(c.technique))
            << c.technique;
    }
    postProcess.flashColor[3] = 0.0f;
    postProcess.monochrome = 1.0f;
}

TEST_F(PostProcessTest, AWholeScreenRectangleCompositesLikeNone)
{
    Rebuild({.bloom = 1});
    auto screen = [](bool on, const int32_t* rect)
    {
        postProcess.SetScreenRect(on, rect);
        postProcess.Render();
        std::vector<float> values(6);
        const d3dx::Effect& effect = *postProcess.compositeShader->effect;
        effect.GetFloatArray(postProcess.screenPosHandle, values.data(), 3);
        effect.GetFloatArray(postProcess.screenScaleHandle, values.data() + 3, 3);
        return values;
    };
    const int32_t whole[4] = {0, 0, engine.settings.width, engine.settings.height};
    EXPECT_EQ(screen(true, whole), screen(false, nullptr));
    const int32_t rightHalf[4] = {engine.settings.width / 2, 0, engine.settings.width,
                                  engine.settings.height};
    EXPECT_EQ(screen(true, rightHalf), (std::vector<float>{0.5f, 0.0f, 0.0f, 0.5f, 1.0f, 1.0f}));
}

// Bloom draws its bright pass at half size, blurs at quarter size and adds up at full size;
// without the reduced targets every pass draws into the full pair. Either way each pass reads
// exactly what the pass before it drew, and the composite reads the last.
TEST_F(PostProcessTest, EveryPassReadsWhatThePassBeforeDrew)
{
    renderDevice.brightness = 0.1f; // a composite that changes the image
    for (bool reduced : {true, false})
    {
        SCOPED_TRACE(reduced ? "reduced targets" : "full targets only");
        Rebuild({.bloom = 1});
        if (!reduced)
            for (WeRenderTarget** target : {&postProcess.halfA, &postProcess.quarterA, &postProcess.quarterB})
            {
                renderTargetManager.Destroy(*target);
                *target = nullptr;
            }
        const WeRenderTarget* half = postProcess.halfA;
        const std::vector<Routed> draws = RunRouted();
        ASSERT_EQ(draws.size(), 5u) << "four bloom passes and the composite";
        EXPECT_EQ(draws[0].source, postProcess.captureTarget->texture);
        EXPECT_EQ(half && draws[0].target == half->surfaces[0], reduced);
        for (size_t i = 1; i < draws.size(); ++i)
        {
            EXPECT_NE(draws[i].target, draws[i - 1].target) << "pass " << i;
            EXPECT_EQ(draws[i].source, draws[i - 1].target->Container()) << "pass " << i;
        }
        EXPECT_EQ(draws[3].target->GetDesc().width, uint32_t(engine.settings.width));
        EXPECT_EQ(draws[4].target, BackBuffer());
    }
}

// The bloom's images lie square to the screen: its reads stay bilinear with anisotropic filtering
// on, which would cost the software rasteriser more than twice as much for the same pixels.
TEST_F(PostProcessTest, BloomReadsAreNeverAnisotropic)
{
    const int32_t anisotropy = renderDevice.maxAnisotropy;
    renderDevice.maxAnisotropy = 4;
    Rebuild({.bloom = 1});
    const std::vector<Routed> draws = RunRouted();
    renderDevice.maxAnisotropy = anisotropy;
    ASSERT_EQ(draws.size(), 4u);
    for (const Routed& draw : draws)
        EXPECT_EQ(draw.minFilter, uint32_t(D3DTEXF_LINEAR));
}

// A composite that would only copy the image onto the whole target is left out: the chain's last
// pass draws there itself, unless that pass draws through the refraction mask; bloom's last pass
// adds onto the capture, which is then copied there.
TEST_F(PostProcessTest, TheLastPassDrawsOnScreenWhenTheCompositeWouldOnlyCopy)
{
    struct Case
    {
        const char* what;
        Settings settings;
        float brightness;
        bool subRectangle;
        size_t draws; // the chain's and the composite's
        bool copied;  // the last pass drew onto the capture, copied onto the target
    };
    const Case cases[] = {
        {"bloom alone", {.bloom = 1}, 0.0f, false, 4, true},
        {"bloom with brightness", {.bloom = 1}, 0.1f, false, 5, false},
        {"bloom into a rectangle", {.bloom = 1}, 0.0f, true, 5, false},
        {"refraction last", {.refraction = true}, 0.0f, false, 3, false}, // the masked copy, the pass, the
                                                                          // composite
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        renderDevice.brightness = c.brightness;
        Rebuild(c.settings);
        const int32_t half[4] = {0, 0, engine.settings.width / 2, engine.settings.height};
        postProcess.SetScreenRect(c.subRectangle, half);
        Surface* capture = postProcess.captureTarget->surfaces[0];
        Fill(capture, 0xFF306090u);
        Fill(BackBuffer(), 0u);
        const std::vector<Routed> draws = RunRouted();
        postProcess.SetScreenRect(false, nullptr);
        ASSERT_EQ(draws.size(), c.draws);
        EXPECT_EQ(draws.back().target, c.copied ? capture : BackBuffer());
        EXPECT_EQ(FirstPixel(BackBuffer()) == 0xFF306090u, c.copied);
        if (!c.copied)
        {
            EXPECT_EQ(draws.back().source, draws[draws.size() - 2].target->Container());
        }
    }
}

// When bloom's image would only be added onto the capture and copied onto the whole target, the
// scene is drawn on the target itself: a half-size copy of it stands for bloom's first pass,
// which only makes that copy, and the last pass adds onto it. Anything else the composite does,
// a rectangle, or no half-size target keeps the capture.
TEST_F(PostProcessTest, ASceneDrawnOnScreenIsCopiedAtHalfSizeForTheFirstPass)
{
    struct Case
    {
        const char* what;
        float brightness;
        bool subRectangle, halfTarget;
        bool onScreen;
    };
    const Case cases[] = {
        {"bloom alone", 0.0f, false, true, true},
        {"bloom with brightness", 0.1f, false, true, false},
        {"bloom into a rectangle", 0.0f, true, true, false},
        {"no half-size target", 0.0f, false, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        renderDevice.brightness = c.brightness;
        Rebuild({.bloom = 1});
        if (!c.halfTarget)
        {
            renderTargetManager.Destroy(postProcess.halfA);
            postProcess.halfA = nullptr;
        }
        const WeRenderTarget* half = postProcess.halfA;
        const int32_t left[4] = {0, 0, engine.settings.width / 2, engine.settings.height};
        postProcess.SetScreenRect(c.subRectangle, left);
        postProcess.BeginCapture();
        Surface* drawnInto = Device().State().renderTargets[0];
        Fill(drawnInto, 0xFF306090u); // the scene
        postProcess.EndCapture();
        const std::vector<Routed> draws = RunRouted();
        postProcess.SetScreenRect(false, nullptr);
        EXPECT_EQ(drawnInto == BackBuffer(), c.onScreen);
        EXPECT_EQ(drawnInto == postProcess.captureTarget->surfaces[0], !c.onScreen);
        ASSERT_FALSE(draws.empty());
        if (c.onScreen)
        {
            ASSERT_EQ(draws.size(), 3u) << "across, down and the add";
            EXPECT_EQ(draws[0].source, half->texture);
            EXPECT_EQ(FirstPixel(half->surfaces[0]), 0xFF306090u);
            EXPECT_EQ(draws.back().target, BackBuffer()) << "added onto the scene";
        }
        else
        {
            EXPECT_EQ(draws[0].source, postProcess.captureTarget->texture);
        }
        EXPECT_FALSE(postProcess.capturedOnScreen) << "for this frame only";
    }
}

// Bloom's image is read back before it is added: where it has no colour, nothing is drawn, on
// screen or onto the capture.
TEST_F(PostProcessTest, BloomAddsNothingWhereItsImageIsBlack)
{
    struct Case
    {
        const char* what;
        float brightness; // a composite keeps the capture
        uint32_t image;
        size_t draws;
        bool added;
    };
    const Case cases[] = {
        {"on screen, black", 0.0f, 0xFF000000u, 2, false},
        {"on screen, lit", 0.0f, 0x00000100u, 3, true},
        {"onto the capture, black", 0.1f, 0xFF000000u, 4, false},
        {"onto the capture, lit", 0.1f, 0x00000100u, 5, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        renderDevice.brightness = c.brightness;
        Rebuild({.bloom = 1});
        LightReducedImages(c.image);
        postProcess.BeginCapture();
        postProcess.EndCapture();
        const std::vector<Routed> draws = RunRouted();
        EXPECT_EQ(draws.size(), c.draws);
        const Surface* addedInto =
            c.brightness == 0.0f ? BackBuffer() : postProcess.captureTarget->surfaces[0];
        EXPECT_EQ(
            std::count_if(draws.begin(), draws.end(), [&](const Routed& d) { return d.target == addedInto; }),
            c.added ? 1 : 0);
    }
}

// A multisampled target takes no copy: bloom's image, added onto the capture's resolved texture,
// reaches it through the composite.
TEST_F(PostProcessTest, AMultisampledTargetGetsTheBloomThroughTheComposite)
{
    Rebuild({.bloom = 1});
    Surface* multisampled = nullptr;
    ASSERT_EQ(Device().CreateRenderTarget(uint32_t(engine.settings.width), uint32_t(engine.settings.height),
                                          D3DFMT_A8R8G8B8, MultisampleType(4), 0, false, &multisampled,
                                          nullptr),
              D3D_OK);
    Surface* back = renderDevice.GetRenderTarget();
    Device().SetRenderTarget(0, multisampled);
    const std::vector<Routed> draws = RunRouted();
    renderDevice.RestoreRenderTarget(back);
    ASSERT_EQ(draws.size(), 5u);
    EXPECT_EQ(draws[3].target, postProcess.captureTarget->surfaces[0]);
    EXPECT_EQ(draws[4].target, multisampled);
    EXPECT_EQ(draws[4].source, postProcess.captureTarget->texture);
    multisampled->Release();
}

TEST_F(PostProcessTest, ShadowBlurUsesThePairOfItsLevel)
{
    struct Case
    {
        int32_t level;
        const char* effect;
        int32_t divisor;
    };
    const Case cases[] = {{1, "Shaders.PostProcess.ShadowBlur_3", 4},
                          {2, "Shaders.PostProcess.ShadowBlur_5", 2},
                          {3, "Shaders.PostProcess.ShadowBlur_7", 2},
                          {4, "Shaders.PostProcess.ShadowBlur_13", 1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.effect);
        Rebuild({.shadows = c.level});
        ASSERT_NE(postProcess.shadowBlurEffect, nullptr);
        EXPECT_EQ(std::string(postProcess.shadowBlurEffect->shader->name.GetData()), c.effect);
        WeRenderTarget *first = nullptr, *second = nullptr;
        postProcess.GetShadowTargets(&first, &second);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->width, uint32_t(engine.settings.width / c.divisor));
        const BaseTexture* term = postProcess.GetShadowTarget()->texture;
        std::vector<Routed> draws;
        auto& backend = static_cast<RecordingBackend&>(Device().GetBackend());
        backend.onDraw = [&](const DeviceState& state) {
            draws.push_back(
                {state.renderTargets[0], state.textures[0], state.samplerStates[0][D3DSAMP_MINFILTER]});
        };
        postProcess.BlurShadows();
        backend.onDraw = nullptr;
        ASSERT_EQ(draws.size(), 2u) << "across, then down";
        EXPECT_EQ(draws[0].source, term);
        EXPECT_EQ(draws[1].source, draws[0].target->Container());
        WeRenderTarget* blurred = nullptr;
        postProcess.GetShadowTargets(&blurred, nullptr);
        EXPECT_EQ(blurred->surfaces[0], draws[1].target) << "the result is the first of the pair";
    }
}

TEST_F(PostProcessTest, AResetBuildsTheChainForTheNewSettings)
{
    Rebuild({.bloom = 1});
    const int32_t targets = renderTargetManager.GetCount();
    renderDevice.bloomMode = 0;
    Device().SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_TRUE(postProcess.built);
    EXPECT_TRUE(postProcess.effects.IsEmpty());
    EXPECT_LT(renderTargetManager.GetCount(), targets) << "the bloom targets went with the loss";
    EXPECT_NE(postProcess.captureTarget, nullptr);
}

} // namespace
