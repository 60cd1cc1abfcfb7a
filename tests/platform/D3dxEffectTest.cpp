// Our effect format: parsing, parameters by name, shared values through a pool, annotations,
// techniques and pass states on the recording back end.
#include "d3dx/D3dxEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace d3dx;

namespace
{

const char* const twoD = R"(# a small 2D effect
parameter shared matrix ViewProj
parameter shared float FogStart = 5
parameter float4 MaterialColor = 1 0.5 0.25 1
parameter float2[2] PixelOffsets = 2 4 6 8
parameter float4[2] TexelOffsets
annotation TexelOffsets ConvertPixelsToTexels "PixelOffsets"
parameter string SupportedTechniques = "FL"
parameter int SupportedTextures = 3
technique Tech
pass P0
state 27 1
state 7 0
vertex
void main() {}
end
technique TechF
pass P0
pass P1
)";

Effect* Make(const std::string& text, EffectPool* pool, d3d9::Device* device = nullptr)
{
    Effect* effect = nullptr;
    std::string errors;
    EXPECT_FALSE(d3d9::Failed(D3DXCreateEffect(device, text.data(), uint32_t(text.size()),
                                               D3DXFX_NOT_CLONEABLE, pool, &effect, &errors)))
        << errors;
    return effect;
}

} // namespace

TEST(D3dxEffect, ParametersByNameWithInitialValuesAndConversions)
{
    Effect* effect = Make(twoD, nullptr);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "Missing"), nullptr);
    D3DXHANDLE color = effect->GetParameterByName(nullptr, "MaterialColor");
    ASSERT_NE(color, nullptr);
    float values[4] = {};
    ASSERT_EQ(effect->GetFloatArray(color, values, 4), d3d9::D3D_OK);
    EXPECT_FLOAT_EQ(values[1], 0.5f);
    int32_t textures = 0;
    ASSERT_EQ(effect->GetInt(effect->GetParameterByName(nullptr, "SupportedTextures"), &textures),
              d3d9::D3D_OK);
    EXPECT_EQ(textures, 3);
    const char* text = nullptr;
    ASSERT_EQ(effect->GetString(effect->GetParameterByName(nullptr, "SupportedTechniques"), &text),
              d3d9::D3D_OK);
    EXPECT_STREQ(text, "FL");
    // Vectors are cut to the parameter's width, arrays to its length.
    const float vectors[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    D3DXHANDLE pixels = effect->GetParameterByName(nullptr, "PixelOffsets");
    ASSERT_EQ(effect->SetVectorArray(pixels, vectors, 3), d3d9::D3D_OK);
    float back[8] = {};
    effect->GetFloatArray(pixels, back, 8);
    EXPECT_FLOAT_EQ(back[2], 5.0f);
    EXPECT_FLOAT_EQ(back[3], 6.0f);
    EXPECT_FLOAT_EQ(back[4], 0.0f) << "past the array's end";
    ParameterDesc desc;
    ASSERT_EQ(effect->GetParameterDesc(pixels, &desc), d3d9::D3D_OK);
    EXPECT_EQ(desc.bytes, 16u);
    // Walking the parameters and reading an annotation.
    uint32_t count = 0;
    while (effect->GetParameter(nullptr, count))
        ++count;
    EXPECT_EQ(count, 7u);
    D3DXHANDLE note = effect->GetAnnotationByName(effect->GetParameterByName(nullptr, "TexelOffsets"),
                                                  "ConvertPixelsToTexels");
    ASSERT_EQ(effect->GetString(note, &text), d3d9::D3D_OK);
    EXPECT_STREQ(text, "PixelOffsets");
    EXPECT_EQ(effect->GetAnnotationByName(color, "ConvertPixelsToTexels"), nullptr);
    effect->Release();
}

TEST(D3dxEffect, SharedParametersHoldOneValueForThePool)
{
    EffectPool* pool = nullptr;
    ASSERT_EQ(D3DXCreateEffectPool(&pool), d3d9::D3D_OK);
    Effect* first = Make(twoD, pool);
    Effect* second = Make("parameter shared float FogStart = 99\nparameter float Own\n", pool);
    ASSERT_TRUE(first && second);
    float fog = 0;
    second->GetFloatArray(second->GetParameterByName(nullptr, "FogStart"), &fog, 1);
    EXPECT_FLOAT_EQ(fog, 5.0f) << "the pool already held a value";
    first->SetFloat(first->GetParameterByName(nullptr, "FogStart"), 12.0f);
    second->GetFloatArray(second->GetParameterByName(nullptr, "FogStart"), &fog, 1);
    EXPECT_FLOAT_EQ(fog, 12.0f);
    // Handles are names: one cached from the first effect works on the second.
    D3DXHANDLE handle = first->GetParameterByName(nullptr, "FogStart");
    second->SetFloat(handle, 3.0f);
    first->GetFloatArray(handle, &fog, 1);
    EXPECT_FLOAT_EQ(fog, 3.0f);
    EXPECT_EQ(second->SetFloat(first->GetParameterByName(nullptr, "MaterialColor"), 1.0f),
              d3d9::D3DERR_INVALIDCALL);
    first->Release();
    second->Release();
    pool->Release();
}

TEST(D3dxEffect, SyntaxErrorsNameTheirLine)
{
    for (const char* bad : {"parameter float4 A = 1 2 3 4 5\n",
                            "parameter matrix[0] B\n",
                            "pass P0\n",
                            "technique T\npass P\nstate 9999 1\n",
                            "parameter float A\nparameter float A\n",
                            "parameter float A = one\n",
                            "technique T\npass P\nvertex\nvoid main() {}\n",
                            "annotation Nobody X \"y\"\n",
                            "parameter float4[99999] Huge\n",
                            "sampler S 16\n",
                            "parameter float F\nsampler S 1 F\n",
                            "sampler S 1 Nobody\n",
                            "parameter shared texture T\n",
                            "sampler S\n",
                            "parameter int N = 1e20\n",
                            "parameter int N = 2.5\n",
                            "parameter bool B = 0.5\n",
                            "code C\nend\ncode C\nend\n",
                            "technique T\npass P\nvertex Nowhere\n",
                            "code\nend\n"})
    {
        Effect* effect = nullptr;
        std::string errors;
        EXPECT_EQ(D3DXCreateEffect(nullptr, bad, uint32_t(std::strlen(bad)), 0, nullptr, &effect, &errors),
                  d3d9::D3DERR_INVALIDCALL)
            << bad;
        EXPECT_EQ(effect, nullptr);
        EXPECT_FALSE(errors.empty());
    }
}

TEST(D3dxEffect, IntegersReadBackOnlyWhenAnIntHoldsThem)
{
    Effect* effect = Make("parameter int Count = -16777216\nparameter float Big\n", nullptr);
    ASSERT_NE(effect, nullptr);
    int32_t value = 0;
    EXPECT_EQ(effect->GetInt(effect->GetParameterByName(nullptr, "Count"), &value), d3d9::D3D_OK);
    EXPECT_EQ(value, -16777216);
    const D3DXHANDLE big = effect->GetParameterByName(nullptr, "Big");
    for (const float far : {3e9f, -3e9f, 1e30f})
    {
        ASSERT_EQ(effect->SetFloat(big, far), d3d9::D3D_OK);
        value = 7;
        EXPECT_EQ(effect->GetInt(big, &value), d3d9::D3DERR_INVALIDCALL) << far;
        EXPECT_EQ(value, 7);
    }
    effect->Release();
}

TEST(D3dxEffect, PassesSetTheirStatesAndEndRestoresUnlessAskedNotTo)
{
    d3d9::AdapterSetup setup;
    setup.modes = {{640, 480, 60, d3d9::D3DFMT_X8R8G8B8}};
    d3d9::Direct3D* direct3D = d3d9::CreateRecordingDirect3D(setup);
    d3d9::PresentParameters parameters;
    parameters.backBufferWidth = 64;
    parameters.backBufferHeight = 32;
    d3d9::Device* device = nullptr;
    ASSERT_EQ(direct3D->CreateDevice(0, d3d9::D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device),
              d3d9::D3D_OK);
    Effect* effect = Make(twoD, nullptr, device);
    uint32_t passes = 0;
    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("TechF")), d3d9::D3D_OK);
    ASSERT_EQ(effect->Begin(&passes, 0), d3d9::D3D_OK);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(effect->End(), d3d9::D3D_OK);
    EXPECT_EQ(effect->GetTechniqueByName("TechL"), nullptr);
    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Tech")), d3d9::D3D_OK);
    uint32_t value = 0;
    device->SetRenderState(d3d9::D3DRS_ZENABLE, 1);
    ASSERT_EQ(effect->Begin(&passes, 0), d3d9::D3D_OK);
    EXPECT_EQ(effect->CommitChanges(), d3d9::D3DERR_INVALIDCALL) << "outside a pass";
    ASSERT_EQ(effect->BeginPass(0), d3d9::D3D_OK);
    device->GetRenderState(d3d9::D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(effect->CommitChanges(), d3d9::D3D_OK);
    EXPECT_EQ(effect->BeginPass(1), d3d9::D3DERR_INVALIDCALL);
    effect->EndPass();
    effect->End();
    device->GetRenderState(d3d9::D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, 1u) << "End restores";
    effect->Begin(&passes,
                  D3DXFX_DONOTSAVESTATE | D3DXFX_DONOTSAVESHADERSTATE | D3DXFX_DONOTSAVESAMPLERSTATE);
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    device->GetRenderState(d3d9::D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, 0u) << "flags 7 leave the pass's states";
    EXPECT_EQ(effect->Commits(), 1u);
    effect->Release();
    device->Release();
    direct3D->Release();
}

namespace
{

const char* const shaded = R"(parameter matrix WorldViewProj
parameter float4 Tint = 1 1 1 1
parameter float Unused
parameter texture Diffuse
sampler DiffuseMap 3 Diffuse
technique Tech
pass P0
vertex
layout(location = 0) in vec3 a_position;
uniform mat4 WorldViewProj;
void main() { gl_Position = WorldViewProj * vec4(a_position, 1.0); }
end
fragment
uniform vec4 Tint;
uniform sampler2D DiffuseMap;
void main() { o_color = Tint * texture(DiffuseMap, vec2(0.5)); }
end
pass Plain
)";

class RecordedEffect : public ::testing::Test
{
protected:
    void SetUp() override
    {
        direct3D = d3d9::CreateRecordingDirect3D();
        d3d9::PresentParameters parameters;
        parameters.backBufferWidth = 64;
        parameters.backBufferHeight = 32;
        ASSERT_EQ(direct3D->CreateDevice(0, d3d9::D3DDEVTYPE_HAL, nullptr, 0, &parameters, &device),
                  d3d9::D3D_OK);
        effect = Make(shaded, nullptr, device);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override
    {
        if (effect)
            effect->Release();
        device->Release();
        direct3D->Release();
    }
    // The calls logged since the last look, then a fresh log.
    std::vector<std::string> Take()
    {
        std::vector<std::string> calls = device->CallLog();
        device->ClearCallLog();
        return calls;
    }
    static bool Has(const std::vector<std::string>& calls, const std::string& call)
    {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    d3d9::Direct3D* direct3D = nullptr;
    d3d9::Device* device = nullptr;
    Effect* effect = nullptr;
};

} // namespace

TEST_F(RecordedEffect, APassSetsItsShadersParametersAndSamplers)
{
    d3d9::Texture* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(2, 2, 1, 0, d3d9::D3DFMT_A8R8G8B8, d3d9::D3DPOOL_MANAGED, &texture, nullptr),
        d3d9::D3D_OK);
    ASSERT_EQ(effect->SetTexture(effect->GetParameterByName(nullptr, "Diffuse"), texture), d3d9::D3D_OK);
    EXPECT_EQ(effect->SetTexture(effect->GetParameterByName(nullptr, "Tint"), texture),
              d3d9::D3DERR_INVALIDCALL);
    device->ClearCallLog();
    uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), d3d9::D3D_OK);
    ASSERT_EQ(effect->BeginPass(0), d3d9::D3D_OK);
    std::vector<std::string> calls = Take();
    const d3d9::VertexShader* vertex = device->GetVertexShader();
    const d3d9::PixelShader* pixel = device->GetPixelShader();
    ASSERT_NE(vertex, nullptr);
    ASSERT_NE(pixel, nullptr);
    EXPECT_TRUE(vertex->Source().find("WorldViewProj * vec4") != std::string::npos);
    EXPECT_TRUE(Has(calls, "SetVertexShader #" + std::to_string(vertex->Id())));
    EXPECT_TRUE(Has(calls, "SetPixelShader #" + std::to_string(pixel->Id())));
    EXPECT_TRUE(Has(calls, "SetShaderConstantF WorldViewProj 16"));
    EXPECT_TRUE(Has(calls, "SetShaderConstantF Tint 4"));
    EXPECT_TRUE(Has(calls, "SetShaderConstantF DiffuseMap 1"));
    EXPECT_TRUE(Has(calls, "SetTexture 3 #" + std::to_string(texture->Id())));
    EXPECT_FALSE(Has(calls, "SetShaderConstantF Unused 1")) << "a parameter no code names stays home";
    const d3d9::ShaderConstant& tint = device->State().constants[d3d9::ShaderConstantId("Tint")];
    EXPECT_EQ(tint.values, std::vector<float>({1, 1, 1, 1}));

    // Commit hands over only what changed since.
    const float red[4] = {1, 0, 0, 1};
    effect->SetFloatArray(effect->GetParameterByName(nullptr, "Tint"), red, 4);
    ASSERT_EQ(effect->CommitChanges(), d3d9::D3D_OK);
    EXPECT_EQ(Take(), std::vector<std::string>{"SetShaderConstantF Tint 4"});
    EXPECT_EQ(device->State().constants[d3d9::ShaderConstantId("Tint")].values,
              std::vector<float>({1, 0, 0, 1}));
    effect->CommitChanges();
    EXPECT_TRUE(Take().empty());

    // A pass without code draws with the built-in stages; End restores the shaders of Begin.
    effect->EndPass();
    ASSERT_EQ(effect->BeginPass(1), d3d9::D3D_OK);
    EXPECT_EQ(device->GetVertexShader(), nullptr);
    EXPECT_EQ(device->GetPixelShader(), nullptr);
    effect->EndPass();
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(device->GetPixelShader(), nullptr) << "flags 0 restore";
    effect->Begin(&passes,
                  D3DXFX_DONOTSAVESTATE | D3DXFX_DONOTSAVESHADERSTATE | D3DXFX_DONOTSAVESAMPLERSTATE);
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    EXPECT_EQ(device->GetPixelShader(), pixel) << "flags 7 leave the pass's shaders";
    texture->Release();
}

TEST_F(RecordedEffect, PassesShareNamedCodeUnderTheirOwnDefines)
{
    const char* const shared = R"(parameter float4 Tint
code Surface
void main() { o_color = Tint; }
end
technique Tech
pass P0
fragment Surface
technique TechL
pass P0
fragment Surface LIGHTS SKINNED
)";
    effect->Release();
    effect = Make(shared, nullptr, device);
    ASSERT_NE(effect, nullptr);
    std::vector<std::string> sources;
    for (const char* technique : {"Tech", "TechL"})
    {
        effect->SetTechnique(effect->GetTechniqueByName(technique));
        effect->Begin(nullptr, 7);
        effect->BeginPass(0);
        ASSERT_NE(device->GetPixelShader(), nullptr) << technique;
        sources.push_back(device->GetPixelShader()->Source());
        EXPECT_TRUE(Has(Take(), "SetShaderConstantF Tint 4")) << "the block's parameters reach " << technique;
        effect->EndPass();
        effect->End();
    }
    EXPECT_EQ(sources[0], "void main() { o_color = Tint; }\n");
    EXPECT_EQ(sources[1], "#define LIGHTS\n#define SKINNED\n" + sources[0]);
}

TEST_F(RecordedEffect, ShadersGoWithTheirEffectAndAFailedShaderFailsTheEffect)
{
    effect->Begin(nullptr, 7);
    effect->BeginPass(0);
    const uint32_t live = device->State().pixelShader->RefCount();
    EXPECT_EQ(live, 1u);
    effect->EndPass();
    effect->End();
    effect->Release();
    effect = nullptr;
    EXPECT_EQ(device->GetPixelShader(), nullptr) << "a released shader is unset";

    direct3D->InjectFailure("CreatePixelShader", d3d9::D3DERR_INVALIDCALL, 1);
    Effect* failed = nullptr;
    std::string errors;
    EXPECT_EQ(D3DXCreateEffect(device, shaded, uint32_t(std::strlen(shaded)), 0, nullptr, &failed, &errors),
              d3d9::D3DERR_INVALIDCALL);
    EXPECT_EQ(failed, nullptr);
    EXPECT_NE(errors.find("technique Tech pass P0"), std::string::npos) << errors;
}
