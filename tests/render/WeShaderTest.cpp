// Shaders by name with their quality variants, the technique table by feature mask, device loss
// and reset, and the shared effect parameters, on the recording back end with effects written
// into a loose-file package.
#include "WeShader.h"
#include "RenderDeviceFixture.h"
#include "WeCamera.h"
#include "WeConfig.h"
#include "WeFileSystem.h"
#include "WeTimer.h"
#include "core/TempFolder.h"
#include "d3dx/D3dxMath.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

using namespace d3dx;

namespace
{

const char* const sharedEffect = R"(parameter shared float ElapsedTime
parameter shared matrix ViewMatrix
parameter shared matrix Projection
parameter shared matrix ViewProj
parameter shared matrix PrevViewProj
parameter shared matrix InvViewMulPrevViewProj
parameter shared matrix PlanarProjectiveMatrix
parameter shared float3 CameraPosition
parameter shared float FogStart
parameter shared float FogInvEnd
parameter shared float FogMin
parameter shared float FogMax
parameter shared float3 FogColor
parameter shared float NearPlane
parameter shared float FarPlane
parameter shared float FarMinusNear
)";

// Digit-named techniques for masks 0, 1 (0), 3 (01) and 9 (03); features 0, 1 and 3 listed.
const char* const digitEffect = R"(parameter string SupportedTechniques = "013x"
parameter shared matrix ViewProj
parameter matrix WorldMatrix
parameter matrix WorldViewProj
parameter float4 MaterialColor
parameter float GlowAmount
parameter int WantPerPixelLightsCount = 4
parameter float2[2] PixelOffsets = 80 60 400 300
parameter float4[2] TexelOffsets
annotation TexelOffsets ConvertPixelsToTexels "PixelOffsets"
technique Tech
pass P0
technique Tech0
pass P0
technique Tech01
pass P0
pass P1
technique Tech03
pass P0
)";

const char* const letterEffect = R"(parameter bool UseDefaultTechniqueNames
parameter bool IsWaterShader
parameter string SupportedTechniques = "FS0"
parameter int SupportedTextures = 5
technique Tech
pass P0
technique TechFS
pass P0
)";

class ShaderTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        engine.settings.width = 800;
        engine.settings.height = 600;
        ASSERT_TRUE(Start());
        shaders.FreeAll(); // the device's start loaded the shipped effects; these tests write their own
        files = std::make_unique<WeFileSystem>(folder.path.c_str());
        shaders.fileSystem = files.get();
        shaders.view = shaders.viewProjection = shaders.previousViewProjection =
            Matrix{}; // views of earlier tests
        savedTime = timer.absoluteTimeFloat;
        renderDevice.pixelShader3 = true;
        renderDevice.shaderLevel = 2;
        renderDevice.bloomMode = 1;
        renderDevice.floatTargetA16B16G16R16F = false;
    }
    void TearDown() override
    {
        shaders.FreeAll();
        shaders.fileSystem = nullptr;
        timer.absoluteTimeFloat = savedTime;
        RecordingRenderDevice::TearDown();
    }
    void Write(const char* assetName, const std::string& text)
    {
        ASSERT_TRUE(files->OpenWrite(assetName, WeAssetType::Effect, true));
        ASSERT_TRUE(files->GetStream().Write(text.data(), int64_t(text.size())));
        ASSERT_TRUE(files->CloseWrite());
    }
    // A shader whose effect names which file it came from.
    void WriteMarked(const char* assetName, const char* mark)
    {
        Write(assetName, std::string("parameter string Mark = \"") + mark + "\"\ntechnique Tech\npass P0\n");
    }
    static std::string Mark(const WeShader* shader)
    {
        const char* text = nullptr;
        if (!shader || !shader->effect ||
            shader->effect->GetString(shader->effect->GetParameterByName(nullptr, "Mark"), &text) !=
                d3d9::D3D_OK)
            return "";
        return text;
    }
    void StartManager()
    {
        Write("Shaders.Special.SharedHandles", sharedEffect);
        ASSERT_TRUE(shaders.Init());
    }
    Matrix Shared(const char* parameterName) const
    {
        Matrix m;
        Effect* effect = shaders.sharedShader->effect;
        EXPECT_EQ(effect->GetFloatArray(effect->GetParameterByName(nullptr, parameterName), &m.m[0][0], 16),
                  d3d9::D3D_OK);
        return m;
    }
    float SharedFloat(const char* parameterName) const
    {
        float value = -1.0f;
        Effect* effect = shaders.sharedShader->effect;
        effect->GetFloatArray(effect->GetParameterByName(nullptr, parameterName), &value, 1);
        return value;
    }

    TempFolder folder;
    std::unique_ptr<WeFileSystem> files;
    float savedTime = 0.0f;
};

void ExpectNear(const Matrix& a, const Matrix& b, float tolerance = 1e-4f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << "row " << r << " column " << c;
}

// The view-projection of a default camera moved to x.
Matrix ViewProjectionAtX(float x)
{
    WeCamera camera;
    camera.position = {x, 0, 0};
    camera.Update();
    return camera.viewProjection;
}

} // namespace

TEST(ShaderTechniqueNames, DigitsAndLettersInAscendingBitOrder)
{
    EXPECT_EQ(WeShader::TechniqueName(0, false), "");
    EXPECT_EQ(WeShader::TechniqueName(5, false), "02");
    EXPECT_EQ(WeShader::TechniqueName(5, true), "FS");
    EXPECT_EQ(WeShader::TechniqueName(1023, false), "0123456789");
    EXPECT_EQ(WeShader::TechniqueName(1023, true), "FLSBEHTA89");
    EXPECT_EQ(WeShader::TechniqueName(0x180, true), "A8");
}

TEST_F(ShaderTest, NothingLoadsBeforeInitAndTheSharedEffectIsFirst)
{
    WriteMarked("Shaders.Special.Glow", "glow");
    EXPECT_EQ(shaders.Load("Shaders.Special.Glow"), nullptr) << "not initialised";
    EXPECT_FALSE(shaders.Init()) << "no shared-parameter effect";
    EXPECT_TRUE(shaders.initialised);
    EXPECT_EQ(shaders.Load(""), nullptr);
    Write("Shaders.Special.SharedHandles", sharedEffect);
    shaders.FreeAll();
    ASSERT_TRUE(shaders.Init());
    ASSERT_NE(shaders.sharedShader, nullptr);
    EXPECT_NE(shaders.SharedHandle(1), nullptr) << shaders.SharedName(1);
    EXPECT_EQ(shaders.SharedHandle(14), nullptr) << shaders.SharedName(14) << " is not declared";
    EXPECT_EQ(shaders.GetCount(), 1);
}

TEST_F(ShaderTest, EffectsNamesShareTheCacheWithShadersNames)
{
    StartManager();
    WriteMarked("Shaders.Special.Glow", "glow");
    WeShader* glow = shaders.Load("Effects.Special.Glow.Extra");
    ASSERT_NE(glow, nullptr);
    EXPECT_EQ(Mark(glow), "glow");
    EXPECT_EQ(shaders.Load("Shaders.Special.Glow"), glow);
    EXPECT_EQ(shaders.Load("SHADERS.SPECIAL.GLOW"), glow);
    EXPECT_EQ(glow->name, "Shaders.Special.Glow");
    EXPECT_EQ(shaders.GetCount(), 2);
}

TEST_F(ShaderTest, AFailedLoadIsNotCachedAndIsTriedAgain)
{
    StartManager();
    EXPECT_EQ(shaders.Load("Shaders.Default.ColorOnly"), nullptr);
    Write("Shaders.Default.Broken", "parameter nonsense X\n");
    EXPECT_EQ(shaders.Load("Shaders.Default.Broken"), nullptr) << "a syntax error fails the load";
    EXPECT_EQ(shaders.GetCount(), 1);
    EXPECT_FALSE(shaders.LoadDefaultShaders());
    WriteMarked("Shaders.Default.ColorOnly", "colour");
    WriteMarked("Shaders.PostProcess.Outline", "outline");
    EXPECT_TRUE(shaders.LoadDefaultShaders());
    EXPECT_EQ(Mark(shaders.colorOnlyShader), "colour");
    EXPECT_EQ(Mark(shaders.outlineShader), "outline");
    EXPECT_EQ(shaders.billboardShader, nullptr);
}

TEST_F(ShaderTest, AFailedLoadSaysWhy)
{
    StartManager();
    EXPECT_EQ(shaders.Load("Shaders.Default.Missing"), nullptr);
    EXPECT_EQ(shaders.GetLastError(), "Effect Shaders.Default.Missing: cannot be opened");
    Write("Shaders.Default.Broken", "technique Tech\npass P0\nstate 7\n");
    EXPECT_EQ(shaders.Load("Effects.Default.Broken"), nullptr);
    EXPECT_EQ(shaders.GetLastError(), "Effect Shaders.Default.Broken: line 3: state 7")
        << "the effect's own text names the line";
    WeShader shader;
    EXPECT_FALSE(shader.Load(files.get(), "Shaders.Default.Broken", false));
    EXPECT_EQ(shader.GetLastError(), shaders.GetLastError());
    WriteMarked("Shaders.Default.Broken", "mended");
    EXPECT_TRUE(shader.Load(files.get(), "Shaders.Default.Broken", false));
    EXPECT_EQ(shader.GetLastError(), "");
}

TEST_F(ShaderTest, DigitTechniquesAreChosenByTheSupportedMask)
{
    StartManager();
    Write("Shaders.Test.Digits", digitEffect);
    WeShader* shader = shaders.Load("Shaders.Test.Digits");
    ASSERT_NE(shader, nullptr);
    EXPECT_FALSE(shader->useLetterNames);
    EXPECT_EQ(shader->supportedTechniques, 0b1011) << "'x' is no feature character";
    EXPECT_TRUE(shader->supportsFeature[3]);
    EXPECT_FALSE(shader->supportsFeature[2]);
    EXPECT_EQ(shader->supportedTextures, 0xFFFF);
    EXPECT_EQ(shader->wantPixelLights, 4);
    EXPECT_EQ(shader->wantVertexLights, 0);
    EXPECT_EQ(shader->techniques[0], shader->defaultTechnique);
    EXPECT_NE(shader->techniques[3], nullptr);
    EXPECT_EQ(shader->techniques[2], nullptr);
    EXPECT_EQ(shader->ChooseMask(3), 3);
    EXPECT_EQ(shader->ChooseMask(7), 3) << "bit 2 is not supported";
    EXPECT_EQ(shader->ChooseMask(2), 0) << "no Tech1";
    EXPECT_EQ(shader->ChooseMask(9 | 0x200), 9);
    ASSERT_TRUE(shader->SetTechnique(3));
    shader->Begin(7);
    EXPECT_EQ(shader->passCount, 2u);
    shader->End();
    ASSERT_TRUE(shader->SetTechnique(2)) << "falls back to Tech";
    EXPECT_EQ(shader->effect->GetCurrentTechnique(), shader->defaultTechnique);
}

TEST_F(ShaderTest, LetterTechniquesAndMissingTech)
{
    StartManager();
    Write("Shaders.Test.Letters", letterEffect);
    Write("Shaders.Test.NoTech", "technique Tech1\npass P0\n");
    WeShader* letters = shaders.Load("Shaders.Test.Letters");
    WeShader* noTech = shaders.Load("Shaders.Test.NoTech");
    ASSERT_TRUE(letters && noTech);
    EXPECT_TRUE(letters->useLetterNames);
    EXPECT_TRUE(letters->isWater);
    EXPECT_EQ(letters->supportedTechniques, 0b101) << "digits do not count with letter names";
    EXPECT_EQ(letters->supportedTextures, 5);
    EXPECT_TRUE(letters->supportsTexture[2]);
    EXPECT_FALSE(letters->supportsTexture[1]);
    EXPECT_EQ(letters->ChooseMask(0b111), 0b101);
    EXPECT_EQ(letters->techniques[0b101], letters->effect->GetTechniqueByName("TechFS"));
    EXPECT_EQ(noTech->supportedTechniques, 0) << "no list: every draw uses mask 0";
    EXPECT_EQ(noTech->ChooseMask(2), 0);
    EXPECT_EQ(noTech->defaultTechnique, nullptr);
    EXPECT_FALSE(noTech->SetTechnique(0));
    EXPECT_TRUE(noTech->SetTechnique(2)) << "the digit name of mask 2 is Tech1";
}

TEST_F(ShaderTest, PixelsBecomeTexelsOfTheBackBuffer)
{
    StartManager();
    Write("Shaders.Test.Digits", digitEffect);
    WeShader* shader = shaders.Load("Shaders.Test.Digits");
    ASSERT_NE(shader, nullptr);
    float texels[8] = {};
    shader->effect->GetFloatArray(shader->effect->GetParameterByName(nullptr, "TexelOffsets"), texels, 8);
    EXPECT_FLOAT_EQ(texels[0], 0.1f);
    EXPECT_FLOAT_EQ(texels[1], 0.1f);
    EXPECT_FLOAT_EQ(texels[4], 0.5f);
    EXPECT_FLOAT_EQ(texels[5], 0.5f);
}

TEST_F(ShaderTest, VariantChoiceFollowsTheDevice)
{
    StartManager();
    WriteMarked("Shaders.Test.V", "plain");
    WriteMarked("Shaders.Test.V_Low", "low");
    WriteMarked("Shaders.Test.V_HDR", "hdr");
    WeShader shader;
    renderDevice.pixelShader3 = false;
    renderDevice.shaderLevel = 3;
    ASSERT_TRUE(shader.Load(files.get(), "Shaders.Test.V", false));
    EXPECT_EQ(Mark(&shader), "low") << "without pixel shader 3 whatever the level";
    EXPECT_TRUE(shader.hasLowVariant && shader.hasHdrVariant);
    EXPECT_EQ(shader.name, "Shaders.Test.V");
    renderDevice.pixelShader3 = true;
    renderDevice.shaderLevel = 1;
    renderDevice.bloomMode = 2;
    renderDevice.floatTargetA16B16G16R16F = true;
    ASSERT_TRUE(shader.Load(files.get(), "Shaders.Test.V", false));
    EXPECT_EQ(Mark(&shader), "low") << "low wins over HDR";
    renderDevice.shaderLevel = 2;
    ASSERT_TRUE(shader.Load(files.get(), "Shaders.Test.V", false));
    EXPECT_EQ(Mark(&shader), "hdr");
    renderDevice.floatTargetA16B16G16R16F = false;
    ASSERT_TRUE(shader.Load(files.get(), "Shaders.Test.V", false));
    EXPECT_EQ(Mark(&shader), "plain") << "HDR needs the float target";
}

TEST_F(ShaderTest, DiskFilesFallBackFromFxoToFxAndProbeVariantsBeforeTheDot)
{
    StartManager();
    const std::string source = "parameter string Mark = \"source\"\ntechnique Tech\npass P0\n";
    TempFolder::WriteBytes(folder / "a.fx", std::vector<unsigned char>(source.begin(), source.end()));
    const std::string low = "parameter string Mark = \"low\"\n";
    TempFolder::WriteBytes(folder / "a_Low.fx", std::vector<unsigned char>(low.begin(), low.end()));
    WeShader shader;
    ASSERT_TRUE(shader.Load(nullptr, (folder / "a.fxo").c_str(), false));
    EXPECT_EQ(Mark(&shader), "source");
    EXPECT_FALSE(shader.hasLowVariant) << "a_Low.fxo does not exist";
    renderDevice.pixelShader3 = false;
    ASSERT_TRUE(shader.Load(nullptr, (folder / "a.fx").c_str(), false));
    EXPECT_EQ(Mark(&shader), "low");
    EXPECT_FALSE(shader.Load(nullptr, (folder / "b.fxo").c_str(), false));
    EXPECT_EQ(shader.effect, nullptr);
}

TEST_F(ShaderTest, ResetChoosesTheVariantAgainAndCachedHandlesStayValid)
{
    StartManager();
    Write("Shaders.Test.V", "parameter float GlowAmount = 1\nparameter string Mark = \"plain\"\n");
    Write("Shaders.Test.V_Low", "parameter float GlowAmount = 2\nparameter string Mark = \"low\"\n");
    WriteMarked("Shaders.Test.Plain", "only");
    WeShader* shader = shaders.Load("Shaders.Test.V");
    WeShader* plain = shaders.Load("Shaders.Test.Plain");
    ASSERT_TRUE(shader && plain);
    EXPECT_EQ(Mark(shader), "plain");
    const D3DXHANDLE glow = shader->glowAmount;
    ASSERT_NE(glow, nullptr);
    shaders.OnLostDevice();
    EXPECT_EQ(shader->effect, nullptr) << "a shader with a variant drops its effect";
    EXPECT_NE(plain->effect, nullptr);
    shader->SetWaveParameters(1, 2, 3, 4); // nothing to set, nothing to crash
    EXPECT_FALSE(shader->SetTechnique(0));
    renderDevice.shaderLevel = 1;
    shaders.OnResetDevice();
    ASSERT_NE(shader->effect, nullptr);
    EXPECT_EQ(Mark(shader), "low");
    float value = 0.0f;
    ASSERT_EQ(shader->effect->GetFloatArray(glow, &value, 1), d3d9::D3D_OK) << "the old handle still works";
    EXPECT_FLOAT_EQ(value, 2.0f);
    EXPECT_EQ(Mark(plain), "only");
}

TEST_F(ShaderTest, SettersSkipWhatTheEffectLacksAndHonourGreyAmbient)
{
    StartManager();
    Write("Shaders.Test.Digits", digitEffect);
    WeShader* shader = shaders.Load("Shaders.Test.Digits");
    ASSERT_NE(shader, nullptr);
    const float bump[3] = {1, 2, 3};
    renderDevice.greyAmbient = true;
    shader->SetMaterialParameters(1, 2, 3, bump, 4, 5, 6, 7);
    float glow = -1.0f;
    shader->effect->GetFloatArray(shader->glowAmount, &glow, 1);
    EXPECT_FLOAT_EQ(glow, 0.0f) << "nothing under grey ambient";
    renderDevice.greyAmbient = false;
    shader->SetMaterialParameters(1, 2, 3, bump, 4, 5, 6, 7);
    shader->effect->GetFloatArray(shader->glowAmount, &glow, 1);
    EXPECT_FLOAT_EQ(glow, 6.0f);
    // World x the manager's view-projection.
    shaders.SetCameraMatrices(D3DXMatrixTranslation(0, 0, 5), D3DXMatrixScaling(2, 2, 2), nullptr);
    shader->SetWorldMatrices(D3DXMatrixTranslation(1, 0, 0));
    Matrix wvp;
    shader->effect->GetFloatArray(shader->worldViewProj, &wvp.m[0][0], 16);
    EXPECT_FLOAT_EQ(wvp.m[3][0], 2.0f);
    EXPECT_FLOAT_EQ(wvp.m[3][2], 10.0f);
    EXPECT_FLOAT_EQ(wvp.m[0][0], 2.0f);
}

TEST_F(ShaderTest, CameraMatricesReachEveryEffectOfThePool)
{
    StartManager();
    Write("Shaders.Test.Digits", digitEffect);
    WeShader* other = shaders.Load("Shaders.Test.Digits");
    ASSERT_NE(other, nullptr);
    const Matrix view = D3DXMatrixTranslation(1, 2, 3);
    const Matrix projection = D3DXMatrixScaling(2, 4, 1);
    shaders.SetCameraMatrices(view, projection, nullptr);
    const Matrix viewProjection = D3DXMatrixMultiply(view, projection);
    ExpectNear(Shared("ViewProj"), viewProjection);
    Matrix seen;
    other->effect->GetFloatArray(other->effect->GetParameterByName(nullptr, "ViewProj"), &seen.m[0][0], 16);
    ExpectNear(seen, viewProjection);
    // Texture bias by hand: x' = 0.5 x + 0.5 w, y' = -0.5 y + 0.5 w.
    const Matrix planar = Shared("PlanarProjectiveMatrix");
    EXPECT_FLOAT_EQ(planar.m[0][0], 1.0f);
    EXPECT_FLOAT_EQ(planar.m[1][1], -2.0f);
    EXPECT_FLOAT_EQ(planar.m[3][0], 1.5f);
    EXPECT_FLOAT_EQ(planar.m[3][1], -3.5f);
    EXPECT_FLOAT_EQ(SharedFloat("NearPlane"), 0.0f) << "without a camera the clip values stay";
    ExpectNear(shaders.previousViewProjection, Matrix{});
}

TEST_F(ShaderTest, FogValues)
{
    StartManager();
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    shaders.SetFog(colour, 10.0f, 50.0f, 0.1f, 0.9f);
    EXPECT_FLOAT_EQ(SharedFloat("FogStart"), 10.0f);
    EXPECT_FLOAT_EQ(SharedFloat("FogInvEnd"), 0.025f);
    EXPECT_FLOAT_EQ(SharedFloat("FogMax"), 0.9f);
    float rgb[3] = {};
    shaders.sharedShader->effect->GetFloatArray(shaders.SharedHandle(13), rgb, 3);
    EXPECT_FLOAT_EQ(rgb[2], 0.75f);
}

TEST_F(ShaderTest, AStillCameraHasNoMotion)
{
    StartManager();
    WeCamera camera;
    camera.position = {3, 1, -4};
    for (float t = 1.0f; t < 1.5f; t += 0.01f)
    {
        timer.absoluteTimeFloat = t;
        camera.Update();
    }
    shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
    ExpectNear(Shared("PrevViewProj"), camera.viewProjection);
    EXPECT_FLOAT_EQ(SharedFloat("FarMinusNear"), camera.farClip - camera.nearClip);
    Matrix cameraToWorld = camera.axes;
    cameraToWorld.m[3][0] = 3;
    cameraToWorld.m[3][1] = 1;
    cameraToWorld.m[3][2] = -4;
    ExpectNear(Shared("InvViewMulPrevViewProj"), D3DXMatrixMultiply(cameraToWorld, camera.viewProjection));
}

TEST_F(ShaderTest, APreviousViewIsInterpolatedFromTheHistory)
{
    StartManager();
    const float blur = WeConfig::GetFloat("engine.PostProcess.PixelMotionBlurTime", 0.0333333f);
    WeCamera camera;
    timer.absoluteTimeFloat = 1.0f;
    camera.Update();
    camera.position = {10, 0, 0};
    timer.absoluteTimeFloat = 1.1f;
    camera.Update(); // records x = 10 at 1.1
    camera.position = {20, 0, 0};
    timer.absoluteTimeFloat = 1.2f;
    camera.Update(); // records x = 20 at 1.2
    shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
    const Matrix expected = ViewProjectionAtX(10.0f + 10.0f * (1.2f - blur - 1.1f) / 0.1f);
    ExpectNear(shaders.previousViewProjection, expected, 1e-3f);
    ExpectNear(Shared("PrevViewProj"), expected, 1e-3f);
}

TEST_F(ShaderTest, APreviousViewPastTheNewestEntryUsesThePresentCamera)
{
    StartManager();
    const float blur = WeConfig::GetFloat("engine.PostProcess.PixelMotionBlurTime", 0.0333333f);
    WeCamera camera;
    timer.absoluteTimeFloat = 1.0f;
    camera.Update();
    camera.position = {10, 0, 0};
    timer.absoluteTimeFloat = 2.0f;
    camera.Update(); // the only entry: x = 10 at 2.0
    ASSERT_EQ(camera.HistoryCount(), 1);
    camera.position = {20, 0, 0}; // moved since, not updated
    timer.absoluteTimeFloat = 3.0f;
    shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
    ExpectNear(shaders.previousViewProjection, ViewProjectionAtX(10.0f + 10.0f * (3.0f - blur - 2.0f)),
               1e-3f);
    // The entry and the present share their time stamp: the entry stands alone.
    timer.absoluteTimeFloat = 2.0f;
    shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
    ExpectNear(shaders.previousViewProjection, ViewProjectionAtX(10.0f), 1e-3f);
}

TEST_F(ShaderTest, AnOrthogonalCameraOrAnEmptyHistoryGivesTheCurrentView)
{
    StartManager();
    WeCamera camera;
    timer.absoluteTimeFloat = 1.0f;
    camera.Update();
    ASSERT_EQ(camera.HistoryCount(), 0);
    camera.position = {5, 0, 0};
    camera.Update(); // same time stamp: no entry
    shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
    ExpectNear(Shared("PrevViewProj"), camera.viewProjection);
    camera.SetOrthogonal(true);
    timer.absoluteTimeFloat = 1.5f;
    camera.position = {50, 0, 0};
    camera.Update();
    shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
    ExpectNear(Shared("PrevViewProj"), camera.viewProjection);
}

TEST_F(ShaderTest, ThePackagedSharedEffectDeclaresEveryHandle)
{
    const char* data = std::getenv("WE_TEST_DATA");
    ASSERT_NE(data, nullptr);
    WeFileSystem packaged((std::string(data) + "/Packages").c_str());
    shaders.fileSystem = &packaged;
    ASSERT_TRUE(shaders.Init());
    for (int32_t i = 0; i < WeShaderManager::sharedHandleCount; ++i)
        EXPECT_NE(shaders.SharedHandle(i), nullptr) << shaders.SharedName(i);
    ParameterDesc desc;
    ASSERT_EQ(shaders.sharedShader->effect->GetParameterDesc(shaders.SharedHandle(4), &desc), d3d9::D3D_OK);
    EXPECT_TRUE(desc.shared);
    EXPECT_EQ(desc.columns, 16u) << desc.name;
    shaders.FreeAll();
    shaders.fileSystem = files.get();
}
