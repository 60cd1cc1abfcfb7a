// The render device's start, loss, reset and shut-down as they reach the shader manager, the
// canvas and the fonts, on the recording back end with effects written into a loose-file
// package.
#include "RenderDeviceFixture.h"
#include "WeCamera.h"
#include "WeCanvas.h"
#include "WeFileSystem.h"
#include "WeFont.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "core/TempFolder.h"

#include <memory>
#include <string>

using namespace d3d9;

namespace
{

const char* const sharedEffect = "parameter shared matrix ViewProj\nparameter shared float FogStart\n";

// An effect whose pixel code carries a mark, so the log shows which file its shader came from.
std::string MarkedEffect(const std::string& mark)
{
    return "parameter float4 Tint = 1 1 1 1\ntechnique Tech\npass P0\nfragment\nuniform vec4 Tint;\n"
           "void main() { o_color = Tint; } // " +
           mark + "\nend\n";
}

constexpr uint32_t resetMarker = 0x5EED;
constexpr RenderState markerState = RenderState(60); // a state the engine never sets

// A renderer that looks at the managers when the road reaches it, and leaves a mark in the
// device log when it is reset.
class WatchingRenderer : public WeBaseRenderer
{
public:
    void OnLostDevice() override
    {
        WeShader* wave = shaders.Load("Shaders.Test.Wave");
        variantDroppedFirst = wave && !wave->effect;
        targetReleasedFirst = target && !target->created;
    }
    void OnResetDevice() override
    {
        if (renderDevice.device)
            renderDevice.device->SetRenderState(markerState, resetMarker);
    }

    WeRenderTarget* target = nullptr;
    bool variantDroppedFirst = false;
    bool targetReleasedFirst = false;
};

class DeviceEffects : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        engine.settings.width = 800;
        engine.settings.height = 600;
        files = std::make_unique<WeFileSystem>(folder.path.c_str());
        shaders.fileSystem = files.get();
    }
    void TearDown() override
    {
        canvas.texts.Clear();
        fonts.FreeAll();
        textures.FreeAll(true);
        RecordingRenderDevice::TearDown();
        shaders.fileSystem = nullptr;
    }
    void Write(const char* assetName, const std::string& text)
    {
        ASSERT_TRUE(files->OpenWrite(assetName, WeAssetType::Effect, true));
        ASSERT_TRUE(files->GetStream().Write(text.data(), int64_t(text.size())));
        ASSERT_TRUE(files->CloseWrite());
    }
    void WriteAll()
    {
        Write("Shaders.Special.SharedHandles", sharedEffect);
        Write("Shaders.Special.2D", MarkedEffect("canvas"));
        Write("Shaders.Default.ColorOnly", MarkedEffect("colour"));
        Write("Shaders.Test.Wave", MarkedEffect("wave"));
        Write("Shaders.Test.Wave_Low", MarkedEffect("wave low"));
    }
    // The pixel shader of the effect's first pass, as the device gets it.
    const PixelShader* PixelShaderOf(WeShader* shader)
    {
        if (!shader || !shader->effect)
            return nullptr;
        shader->Begin(7);
        shader->BeginPass(0);
        const PixelShader* pixel = Device().GetPixelShader();
        shader->EndPass();
        shader->End();
        return pixel;
    }
    bool ShaderCodeHas(WeShader* shader, const std::string& mark)
    {
        const PixelShader* pixel = PixelShaderOf(shader);
        return pixel && pixel->Source().find("// " + mark + "\n") != std::string::npos;
    }
    // Up to four floats of a shared parameter (zeros past its size), as the shared-parameter
    // effect holds them.
    static WeColor Shared(const char* parameterName)
    {
        WeColor values;
        d3dx::Effect* effect = shaders.sharedShader->effect;
        EXPECT_EQ(effect->GetFloatArray(effect->GetParameterByName(nullptr, parameterName), &values.r, 4),
                  D3D_OK)
            << parameterName;
        return values;
    }
    int IndexWhere(const std::string& prefix, const std::string& suffix) const
    {
        for (size_t i = 0; i < Calls().size(); ++i)
        {
            const std::string& call = Calls()[i];
            if (call.rfind(prefix, 0) == 0 && call.size() >= suffix.size() &&
                call.compare(call.size() - suffix.size(), suffix.size(), suffix) == 0)
                return int(i);
        }
        return -1;
    }

    TempFolder folder;
    std::unique_ptr<WeFileSystem> files;
};

TEST_F(DeviceEffects, StartLoadsTheSharedEffectThenTheCanvasEffectThenTheDefaults)
{
    WriteAll();
    ASSERT_TRUE(Start()) << engine.lastError.GetData();
    ASSERT_NE(shaders.sharedShader, nullptr);
    EXPECT_NE(shaders.SharedHandle(3), nullptr) << shaders.SharedName(3) << " is looked up";
    ASSERT_NE(canvas.effect, nullptr);
    EXPECT_EQ(canvas.effect, shaders.Load("Shaders.Special.2D"));
    ASSERT_NE(shaders.colorOnlyShader, nullptr);
    EXPECT_TRUE(ShaderCodeHas(canvas.effect, "canvas"));
    EXPECT_TRUE(ShaderCodeHas(shaders.colorOnlyShader, "colour"));
    EXPECT_LT(PixelShaderOf(canvas.effect)->Id(), PixelShaderOf(shaders.colorOnlyShader)->Id())
        << "the canvas loads its effect before the default shaders";
    EXPECT_EQ(shaders.billboardShader, nullptr) << "defaults other than colour-only may be missing";
}

TEST_F(DeviceEffects, AmbientAndOutlineColoursReachTheSharedParameters)
{
    WriteAll();
    Write("Shaders.Special.SharedHandles",
          "parameter shared float4 AmbientColor\nparameter shared float4 OutlineColor\n");
    ASSERT_TRUE(Start()) << engine.lastError.GetData();
    renderDevice.SetAmbientColor({0.1f, 0.2f, 0.3f, 0.4f});
    EXPECT_FLOAT_EQ(Shared("AmbientColor").g, 0.2f);
    EXPECT_FLOAT_EQ(Shared("AmbientColor").a, 0.4f);
    renderDevice.greyAmbient = true;
    renderDevice.SetAmbientColor({0.1f, 0.2f, 0.3f, 0.4f});
    EXPECT_FLOAT_EQ(Shared("AmbientColor").r, 0.7f) << "grey ambient uploads grey";
    EXPECT_FLOAT_EQ(Shared("AmbientColor").a, 1.0f);
    EXPECT_FLOAT_EQ(renderDevice.ambientColor.r, 0.1f) << "the colour itself is kept";
    renderDevice.greyAmbient = false;
    renderDevice.SetOutlineColor({0.5f, 0.25f, 0.125f, 1.0f});
    EXPECT_FLOAT_EQ(Shared("OutlineColor").g, 0.25f);
}

TEST_F(DeviceEffects, TheCameraSetsTheTransformsAndTheViewsSharedValues)
{
    WriteAll();
    Write("Shaders.Special.SharedHandles",
          "parameter shared float ElapsedTime\nparameter shared float4 AmbientColor\n"
          "parameter shared float BloomScale\nparameter shared float ResWidth\nparameter shared float "
          "ResHeight\n"
          "parameter shared float EdgeWidth\nparameter shared float EdgeHeight\n"
          "parameter shared float DepthTimesFactor\nparameter shared float RefractionStrength\n"
          "parameter shared float RefractionSpeed\n");
    ASSERT_TRUE(Start()) << engine.lastError.GetData();
    const float savedTime = timer.absoluteTimeFloat;
    timer.absoluteTimeFloat = 12.5f;
    renderDevice.ambientColor = {0.25f, 0.5f, 0.75f, 1.0f};
    renderDevice.bloomScale = 2.0f;
    renderDevice.outlines = true;
    renderDevice.edgeSize = 2.0f;
    renderDevice.depthTimesFactor = 3.0f;
    renderDevice.refraction = false;
    renderDevice.EnableStencil();
    WeCamera camera;
    camera.position = {1, 2, 3};
    camera.Update();
    renderDevice.SetCamera(&camera);
    timer.absoluteTimeFloat = savedTime;
    EXPECT_FALSE(renderDevice.stencilOn);
    Matrix view, projection;
    ASSERT_EQ(Device().GetTransform(D3DTS_VIEW, &view), D3D_OK);
    ASSERT_EQ(Device().GetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    EXPECT_FLOAT_EQ(view.m[3][0], camera.view.m[3][0]);
    EXPECT_FLOAT_EQ(view.m[3][2], -3.0f);
    EXPECT_FLOAT_EQ(projection.m[2][3], 1.0f);
    EXPECT_FLOAT_EQ(Shared("ElapsedTime").r, 12.5f);
    EXPECT_FLOAT_EQ(Shared("AmbientColor").r, 0.25f);
    EXPECT_FLOAT_EQ(Shared("BloomScale").r, 2.0f);
    EXPECT_FLOAT_EQ(Shared("ResWidth").r, 800.0f);
    EXPECT_FLOAT_EQ(Shared("ResHeight").r, 600.0f);
    EXPECT_FLOAT_EQ(Shared("EdgeWidth").r, 2.0f / 800.0f);
    EXPECT_FLOAT_EQ(Shared("EdgeHeight").r, 2.0f / 600.0f);
    EXPECT_FLOAT_EQ(Shared("DepthTimesFactor").r, 3.0f);
    EXPECT_FLOAT_EQ(Shared("RefractionStrength").r, 0.0f) << "refraction off leaves its values";
    renderDevice.refraction = true;
    renderDevice.refractionStrength = 3.0f;
    renderDevice.refractionSpeed = 0.5f;
    renderDevice.SetCamera(&camera);
    EXPECT_FLOAT_EQ(Shared("RefractionStrength").r, 3.0f / 600.0f);
    EXPECT_FLOAT_EQ(Shared("RefractionSpeed").r, 0.5f);
}

TEST_F(DeviceEffects, FogGoesToTheEffectsWhenTheyComputeIt)
{
    WriteAll();
    Write("Shaders.Special.SharedHandles",
          "parameter shared float FogStart\nparameter shared float FogInvEnd\n"
          "parameter shared float FogMax\nparameter shared float3 FogColor\n");
    ASSERT_TRUE(Start()) << engine.lastError.GetData();
    renderDevice.pixelShader3 = true;
    renderDevice.shaderLevel = 1;
    renderDevice.SetFog(true, WeColor{0.5f, 0.5f, 0.5f, 1.0f}, 10.0f, 20.0f, 0.0f, 0.75f);
    renderDevice.EnableFog();
    EXPECT_FLOAT_EQ(Shared("FogStart").r, 0.0f) << "shader level 1 fogs through the fixed function";
    renderDevice.shaderLevel = 2;
    renderDevice.EnableFog();
    EXPECT_FLOAT_EQ(Shared("FogStart").r, 10.0f);
    EXPECT_FLOAT_EQ(Shared("FogInvEnd").r, 0.1f);
    EXPECT_FLOAT_EQ(Shared("FogMax").r, 0.75f);
    EXPECT_FLOAT_EQ(Shared("FogColor").r, 0.5f);
    renderDevice.shaderLevel = 1;
}

TEST_F(DeviceEffects, StartFailsWithTheShaderMessageWithoutSharedOrColourOnlyEffect)
{
    Write("Shaders.Default.ColorOnly", MarkedEffect("colour"));
    EXPECT_FALSE(Start());
    EXPECT_STREQ(engine.lastError.GetData(), "Not enough video memory to load shaders!");
    EXPECT_FALSE(renderDevice.created);
    EXPECT_EQ(renderDevice.device, nullptr);
    EXPECT_FALSE(shaders.initialised) << "nothing made on the released device stays cached";
    EXPECT_EQ(direct3D->Release(), 0u);
    direct3D = nullptr;
    engine.lastError = "";
    Write("Shaders.Special.SharedHandles", sharedEffect);
    Write("Shaders.Default.ColorOnly", "technique Tech\npass P0\nfragment\nthis is not GLSL\nend\n");
    direct3D = CreateRecordingDirect3D(setup);
    direct3D->InjectFailure("CreatePixelShader", D3DERR_INVALIDCALL);
    renderDevice.direct3D = direct3D;
    EXPECT_FALSE(renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, 3, 2, true));
    EXPECT_STREQ(engine.lastError.GetData(), "Not enough video memory to load shaders!")
        << "a colour-only effect whose shader cannot be made";
    EXPECT_EQ(canvas.effect, nullptr);
}

TEST_F(DeviceEffects, LossAndResetReachFontsShadersTargetsAndRenderersInOrder)
{
    WriteAll();
    WatchingRenderer watcher;
    ASSERT_TRUE(Start()) << engine.lastError.GetData();
    renderDevice.shaderLevel = 1; // the "_Low" variant
    WeShader* wave = shaders.Load("Shaders.Test.Wave");
    ASSERT_NE(wave, nullptr);
    ASSERT_TRUE(wave->hasLowVariant);
    EXPECT_TRUE(ShaderCodeHas(wave, "wave low"));
    const d3dx::D3DXHANDLE tint = wave->effect->GetParameterByName(nullptr, "Tint");
    ASSERT_NE(tint, nullptr);
    ASSERT_NE(fonts.GetFont("Arial:16")->texture, nullptr);
    watcher.target = renderTargetManager.Create2D(32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    ASSERT_NE(watcher.target, nullptr);

    Device().SimulateDeviceLoss();
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    Device().ClearCallLog();
    renderDevice.shaderLevel = 2; // the reset chooses the plain effect now
    EXPECT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    EXPECT_TRUE(watcher.variantDroppedFirst) << "shaders give up their effects before the renderers";
    EXPECT_TRUE(watcher.targetReleasedFirst);

    // Fonts are rasterised again, then the shader comes back, then the targets, then renderers.
    const int font = IndexWhere("CreateTexture ", " 0 21 1");
    const int shader = IndexOfCall("CreatePixelShader");
    const int target = IndexWhere("CreateTexture 32 16 1 1 ", " 0");
    const int renderer =
        IndexOfCall("SetRenderState " + std::to_string(markerState) + " " + std::to_string(resetMarker));
    ASSERT_GE(font, 0);
    EXPECT_LT(font, shader);
    EXPECT_LT(shader, target);
    EXPECT_LT(target, renderer);

    // The effect is a new one from the other file; the handle cached before the loss still works.
    ASSERT_NE(wave->effect, nullptr);
    EXPECT_TRUE(ShaderCodeHas(wave, "wave"));
    const float red[4] = {1, 0, 0, 1};
    ASSERT_EQ(wave->effect->SetFloatArray(tint, red, 4), D3D_OK);
    Device().ClearCallLog();
    wave->Begin(7);
    wave->BeginPass(0);
    EXPECT_GE(IndexOfCall("SetShaderConstantF Tint 4"), 0);
    EXPECT_EQ(Device().State().constants[ShaderConstantId("Tint")].values, std::vector<float>({1, 0, 0, 1}));
    wave->EndPass();
    wave->End();
    EXPECT_NE(canvas.effect->effect, nullptr) << "an effect without variants stays through the reset";
}

TEST_F(DeviceEffects, ShutdownTakesTheCanvasEffectAndTheFonts)
{
    WriteAll();
    ASSERT_TRUE(Start());
    fonts.GetFont("Arial:16");
    ASSERT_EQ(fonts.GetCount(), 1);
    renderDevice.Shutdown();
    EXPECT_EQ(canvas.effect, nullptr);
    EXPECT_EQ(fonts.GetCount(), 0);
    EXPECT_FALSE(shaders.initialised) << "no effect outlives the device it was made on";
    EXPECT_EQ(shaders.GetCount(), 0);
    canvas.BeginFrame();
    canvas.DrawRectangle(0, 0, 4, 4, 0xFFFFFFFFu, nullptr, BLENDMODE_NORMAL);
    canvas.Flush(); // nothing to draw with, and nothing breaks
    EXPECT_EQ(canvas.RunsDrawn(), 0);

    // A second device starts with effects of its own.
    direct3D->Release();
    direct3D = nullptr;
    ASSERT_TRUE(Start());
    ASSERT_NE(canvas.effect, nullptr);
    const PixelShader* pixel = PixelShaderOf(canvas.effect);
    ASSERT_NE(pixel, nullptr);
    EXPECT_EQ(&pixel->GetDevice(), &Device());
    canvas.BeginFrame();
    canvas.DrawRectangle(0, 0, 4, 4, 0xFFFFFFFFu, nullptr, BLENDMODE_NORMAL);
    canvas.Flush();
    EXPECT_EQ(canvas.RunsDrawn(), 1);
}

} // namespace
