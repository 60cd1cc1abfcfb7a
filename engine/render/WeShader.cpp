#include "WeShader.h"

#include "WeCamera.h"
#include "WeConfig.h"
#include "WeFileStream.h"
#include "WeLight.h"
#include "WeModel.h"
#include "WeRenderDevice.h"
#include "WeRenderQueue.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"
#include "d3dx/D3dxMath.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

using namespace d3dx;

namespace
{

struct TechniqueNames
{
    std::array<WeString, WeShader::techniqueCount> digits, letters;
};

const TechniqueNames& Names()
{
    static const TechniqueNames names = []
    {
        TechniqueNames built;
        for (int32_t mask = 0; mask < WeShader::techniqueCount; ++mask)
            for (int32_t bit = 0; bit < WeShader::featureCount; ++bit)
                if (mask & (1 << bit))
                {
                    built.digits[size_t(mask)] += "0123456789"[bit];
                    built.letters[size_t(mask)] += "FLSBEHTA89"[bit];
                }
        return built;
    }();
    return names;
}

bool OpenDiskFile(WeFileStream& file, WeString& path)
{
    if (file.Open(path))
        return true;
    if (path.GetTokenFromEnd('.', 0).ToLower() != "fxo")
        return false;
    path = path.Substring(0, path.GetLength() - 1);
    return file.Open(path);
}

// "a.fxo" with suffix "_Low" is "a_Low.fxo".
WeString DiskVariant(const WeString& path, const char* suffix)
{
    const int32_t extension = path.GetTokenFromEnd('.', 0).GetLength() + 1;
    return path.Substring(0, path.GetLength() - extension) + suffix +
           path.Substring(path.GetLength() - extension, path.GetLength());
}

bool DiskFileExists(const WeString& path)
{
    WeFileStream file;
    return file.Open(path);
}

constexpr const char* sharedNames[WeShaderManager::sharedHandleCount] = {"ElapsedTime",
                                                                         "ViewMatrix",
                                                                         "Projection",
                                                                         "ViewProj",
                                                                         "PrevViewProj",
                                                                         "InvViewMulPrevViewProj",
                                                                         "CameraPosition",
                                                                         "CameraDirection",
                                                                         "TextureAnimation",
                                                                         "FogStart",
                                                                         "FogInvEnd",
                                                                         "FogMin",
                                                                         "FogMax",
                                                                         "FogColor",
                                                                         "AmbientColor",
                                                                         "OutlineColor",
                                                                         "PixelMotionBlurFactor",
                                                                         "RadialBlurStrength",
                                                                         "BloomScale",
                                                                         "RefractionSpeed",
                                                                         "RefractionStrength",
                                                                         "ResWidth",
                                                                         "ResHeight",
                                                                         "MaxCoC",
                                                                         "FocalDist",
                                                                         "FocalRange",
                                                                         "ProjectorMatrix",
                                                                         "ProjectorPosition",
                                                                         "ProjectorDirection",
                                                                         "PlanarProjectiveMatrix",
                                                                         "NearPlane",
                                                                         "FarPlane",
                                                                         "FarMinusNear",
                                                                         "EdgeWidth",
                                                                         "EdgeHeight",
                                                                         "NormalTimesFactor",
                                                                         "DepthTimesFactor",
                                                                         "BorderDetectionFactor"};
static_assert(WeShaderManager::borderDetectionFactor + 1 == WeShaderManager::sharedHandleCount);

} // namespace

// ---------------------------------------------------------------------------------------------
// WeShader

WeShader::WeShader()
{
    Names();
}

WeShader::~WeShader()
{
    ReleaseEffect();
}

const WeString& WeShader::TechniqueName(int32_t mask, bool letters)
{
    const TechniqueNames& names = Names();
    const size_t index = size_t(mask) & (techniqueCount - 1);
    return letters ? names.letters[index] : names.digits[index];
}

void WeShader::ReleaseEffect()
{
    if (effect)
        effect->Release();
    effect = nullptr;
}

WeString WeShader::ChooseVariant(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool package)
{
    auto exists = [&](const char* suffix)
    {
        return package ? fileSystem && fileSystem->Exists(assetName + suffix, WeAssetType::Effect)
                       : DiskFileExists(DiskVariant(assetName, suffix));
    };
    auto variant = [&](const char* suffix)
    { return package ? assetName + suffix : DiskVariant(assetName, suffix); };
    hasLowVariant = exists("_Low");
    hasHdrVariant = exists("_HDR");
    if ((!renderDevice.pixelShader3 || renderDevice.shaderLevel < 2) && hasLowVariant)
        return variant("_Low");
    if (renderDevice.floatTargetA16B16G16R16F && renderDevice.bloomMode == 2 && hasHdrVariant)
        return variant("_HDR");
    return assetName;
}

bool WeShader::ReadBytes(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool package)
{
    if (package)
    {
        if (!fileSystem || !fileSystem->Open(assetName, WeAssetType::Effect))
            return Fail(assetName, "cannot be opened");
        const int32_t size = fileSystem->GetFileSize();
        effectData.resize(size_t(size > 0 ? size : 0));
        const int64_t got = fileSystem->GetStream().Read(effectData.data(), int64_t(effectData.size()));
        fileSystem->Close();
        return got == int64_t(effectData.size()) || Fail(assetName, "cannot be read");
    }
    WeString path = assetName;
    WeFileStream file;
    if (!OpenDiskFile(file, path))
        return Fail(assetName, "cannot be opened");
    const int64_t size = file.GetFileSize();
    if (size < 0 || size > INT32_MAX)
        return Fail(path, "cannot be read");
    effectData.resize(size_t(size));
    return file.Read(effectData.data(), size) == size || Fail(path, "cannot be read");
}

bool WeShader::Fail(const WeString& source, const WeString& reason)
{
    const WeString text = "Effect " + source + ": " + reason;
    if (!(text == lastError))
        std::fprintf(stderr, "%s\n", text.GetData());
    lastError = text;
    effectData.clear();
    effect = nullptr;
    return false;
}

bool WeShader::Load(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool)
{
    hasLowVariant = hasHdrVariant = false;
    effectData.clear();
    ReleaseEffect();
    const WeString extension = assetName.GetTokenFromEnd('.', 0).ToLower();
    const bool package = extension != "fx" && extension != "fxo";
    const WeString chosen = ChooseVariant(fileSystem, assetName, package);
    if (!ReadBytes(fileSystem, chosen, package))
        return false;
    std::string errors;
    if (D3DXCreateEffect(renderDevice.device, effectData.data(), uint32_t(effectData.size()),
                         D3DXFX_NOT_CLONEABLE, shaders.effectPool, &effect, &errors) != d3d9::D3D_OK)
        return Fail(chosen, errors.empty() ? WeString("is not a valid effect") : WeString(errors.c_str()));
    lastError = "";
    name = assetName;
    LookUpHandles();
    BuildTechniques();
    ConvertPixelsToTexels();
    return true;
}

bool WeShader::Save(WeVirtualFileSystem* fileSystem, const WeString& assetName)
{
    if (!fileSystem || !fileSystem->OpenWrite(assetName, WeAssetType::Effect, true))
        return false;
    WeFileStream& stream = fileSystem->GetStream();
    const bool written = stream.WriteInt(int32_t(effectData.size())) &&
                         stream.Write(effectData.data(), int64_t(effectData.size()));
    return fileSystem->CloseWrite() && written;
}

D3DXHANDLE WeShader::Handle(const char* parameter) const
{
    return effect->GetParameterByName(nullptr, parameter);
}

void WeShader::LookUpHandles()
{
    useLetterNames = Handle("UseDefaultTechniqueNames") != nullptr;
    isWater = Handle("IsWaterShader") != nullptr;
    instancing = Handle("Instancing") != nullptr;
    auto integer = [&](const char* parameter)
    {
        int32_t value = 0;
        const D3DXHANDLE handle = Handle(parameter);
        return handle && effect->GetInt(handle, &value) == d3d9::D3D_OK ? value : 0;
    };
    wantPixelLights = integer("WantPerPixelLightsCount");
    wantVertexLights = integer("WantPerVertexLightsCount");
    struct Entry
    {
        D3DXHANDLE* handle;
        const char* parameter;
    };
    const Entry entries[] = {
        {&glowAmount, "GlowAmount"},
        {&waveSpeed, "WaveSpeed"},
        {&noiseSpeed, "NoiseSpeed"},
        {&noiseScale, "NoiseScale"},
        {&noiseIntensity, "NoiseIntensity"},
        {&furStrength, "FurStrength"},
        {&worldMatrix, "WorldMatrix"},
        {&worldView, "WorldView"},
        {&prevWorldMatrix, "PrevWorldMatrix"},
        {&worldViewProj, "WorldViewProj"},
        {&prevWorldViewProj, "PrevWorldViewProj"},
        {&boneMatrices, "BoneMatrices"},
        {&shadowSamplerNo, "ShadowSamplerNo"},
        {&perPixelLightsPosition, "PerPixelLightsPosition"},
        {&perPixelLightsColor, "PerPixelLightsColor"},
        {&perPixelLightsSpecularColor, "PerPixelLightsSpecularColor"},
        {&perPixelLightsRange, "PerPixelLightsRange"},
        {&perPixelLightsCount, "PerPixelLightsCount"},
        {&perVertexLightsPosition, "PerVertexLightsPosition"},
        {&perVertexLightsColor, "PerVertexLightsColor"},
        {&perVertexLightsRange, "PerVertexLightsRange"},
        {&perVertexLightsCount, "PerVertexLightsCount"},
        {&scaling, "Scaling"},
        {&cameraRotation, "CameraRotation"},
        {&materialStrength, "MaterialStrength"},
        {&envStrength, "EnvStrength"},
        {&materialColor, "MaterialColor"},
        {&bumpIntensity, "BumpIntensity"},
        {&staticBumpVector, "StaticBumpVector"},
        {&staticBumpIntensity, "StaticBumpIntensity"},
        {&specularPow, "SpecularPow"},
        {&motionBlurFactor, "MotionBlurFactor"},
        {&splatMapsUVScale, "SplatMapsUVScale"},
    };
    for (const Entry& entry : entries)
        *entry.handle = Handle(entry.parameter);
    defaultTechnique = effect->GetTechniqueByName("Tech");
}

void WeShader::BuildTechniques()
{
    for (int32_t mask = 0; mask < techniqueCount; ++mask)
    {
        const WeString technique = WeString("Tech") + TechniqueName(mask, useLetterNames);
        techniques[mask] = effect->GetTechniqueByName(technique.GetData());
    }
    supportedTechniques = 0;
    const char* list = nullptr;
    const D3DXHANDLE listed = Handle("SupportedTechniques");
    if (listed && effect->GetString(listed, &list) == d3d9::D3D_OK && list)
    {
        const char* alphabet = useLetterNames ? "FLSBEHTA89" : "0123456789";
        for (const char* c = list; *c; ++c)
            for (int32_t bit = 0; bit < featureCount; ++bit)
                if (*c == alphabet[bit])
                    supportedTechniques |= 1 << bit;
    }
    for (int32_t bit = 0; bit < featureCount; ++bit)
        supportsFeature[bit] = (supportedTechniques >> bit) & 1;
    supportedTextures = 0xFFFF;
    const D3DXHANDLE textures = Handle("SupportedTextures");
    if (textures)
        effect->GetInt(textures, &supportedTextures);
    for (int32_t bit = 0; bit < 16; ++bit)
        supportsTexture[bit] = (supportedTextures >> bit) & 1;
}

void WeShader::ConvertPixelsToTexels()
{
    const float invWidth =
        renderDevice.BackBufferWidth() > 0 ? 1.0f / float(renderDevice.BackBufferWidth()) : 0.0f;
    const float invHeight =
        renderDevice.BackBufferHeight() > 0 ? 1.0f / float(renderDevice.BackBufferHeight()) : 0.0f;
    for (uint32_t index = 0;; ++index)
    {
        const D3DXHANDLE target = effect->GetParameter(nullptr, index);
        if (!target)
            return;
        const D3DXHANDLE annotation = effect->GetAnnotationByName(target, "ConvertPixelsToTexels");
        const char* sourceName = nullptr;
        if (!annotation || effect->GetString(annotation, &sourceName) != d3d9::D3D_OK || !sourceName)
            continue;
        const D3DXHANDLE source = effect->GetParameterByName(nullptr, sourceName);
        ParameterDesc desc;
        if (!source || effect->GetParameterDesc(source, &desc) != d3d9::D3D_OK)
            continue;
        const uint32_t count = desc.bytes / 8;
        std::vector<float> vectors(size_t(count) * 4);
        if (count == 0 || effect->GetVectorArray(source, vectors.data(), count) != d3d9::D3D_OK)
            continue;
        for (uint32_t i = 0; i < count; ++i)
        {
            vectors[i * 4] *= invWidth;
            vectors[i * 4 + 1] *= invHeight;
        }
        effect->SetVectorArray(target, vectors.data(), count);
    }
}

int32_t WeShader::ChooseMask(int32_t mask) const
{
    const int32_t used = mask & supportedTechniques & (techniqueCount - 1);
    return techniques[used] ? used : 0;
}

bool WeShader::SetTechnique(int32_t mask)
{
    if (!effect)
        return false;
    const D3DXHANDLE technique =
        techniques[mask & (techniqueCount - 1)] ? techniques[mask & (techniqueCount - 1)] : defaultTechnique;
    return technique && effect->SetTechnique(technique) == d3d9::D3D_OK;
}

void WeShader::Begin(uint32_t flags)
{
    if (effect)
        effect->Begin(&passCount, flags);
}

void WeShader::BeginPass(uint32_t pass)
{
    if (effect)
        effect->BeginPass(pass);
}

void WeShader::CommitChanges()
{
    if (effect)
        effect->CommitChanges();
}

void WeShader::EndPass()
{
    if (effect)
        effect->EndPass();
}

void WeShader::End()
{
    if (effect)
        effect->End();
}

void WeShader::SetWorldMatrices(const Matrix& world)
{
    if (!effect)
        return;
    effect->SetMatrix(worldMatrix, &world);
    if (worldView)
    {
        const Matrix m = D3DXMatrixMultiply(world, shaders.view);
        effect->SetMatrix(worldView, &m);
    }
    if (worldViewProj)
    {
        const Matrix m = D3DXMatrixMultiply(world, shaders.viewProjection);
        effect->SetMatrix(worldViewProj, &m);
    }
}

void WeShader::SetPrevWorldMatrices(const Matrix& previousWorld)
{
    if (!effect)
        return;
    effect->SetMatrix(prevWorldMatrix, &previousWorld);
    if (prevWorldViewProj)
    {
        const Matrix m = D3DXMatrixMultiply(previousWorld, shaders.previousViewProjection);
        effect->SetMatrix(prevWorldViewProj, &m);
    }
}

void WeShader::SetBoneMatrices(const Matrix* matrices, uint32_t count)
{
    if (effect)
        effect->SetMatrixArray(boneMatrices, matrices, count);
}

void WeShader::SetMaterialColor(const float color[4])
{
    if (effect)
        effect->SetFloatArray(materialColor, color, 4);
}

void WeShader::SetIfPresent(D3DXHANDLE handle, float value)
{
    if (handle)
        effect->SetFloat(handle, value);
}

void WeShader::SetMaterialParameters(float materialStrengthValue, float envStrengthValue,
                                     float bumpIntensityValue, const float staticBumpVectorValue[3],
                                     float staticBumpIntensityValue, float specularPowValue,
                                     float glowAmountValue, float furStrengthValue)
{
    if (!effect || renderDevice.greyAmbient)
        return;
    SetIfPresent(materialStrength, materialStrengthValue);
    SetIfPresent(envStrength, envStrengthValue);
    SetIfPresent(bumpIntensity, bumpIntensityValue);
    if (staticBumpVector)
        effect->SetFloatArray(staticBumpVector, staticBumpVectorValue, 3);
    SetIfPresent(staticBumpIntensity, staticBumpIntensityValue);
    SetIfPresent(specularPow, specularPowValue);
    SetIfPresent(glowAmount, glowAmountValue);
    SetIfPresent(furStrength, furStrengthValue);
}

void WeShader::SetWaveParameters(float waveSpeedValue, float noiseSpeedValue, float noiseScaleValue,
                                 float noiseIntensityValue)
{
    if (!effect)
        return;
    SetIfPresent(waveSpeed, waveSpeedValue);
    SetIfPresent(noiseSpeed, noiseSpeedValue);
    SetIfPresent(noiseScale, noiseScaleValue);
    SetIfPresent(noiseIntensity, noiseIntensityValue);
}

void WeShader::SetSplatMapsUVScale(const float scales[9])
{
    if (!effect || renderDevice.greyAmbient || !splatMapsUVScale)
        return;
    float vectors[12] = {};
    for (int32_t i = 0; i < 3; ++i)
        for (int32_t j = 0; j < 3; ++j)
            vectors[i * 4 + j] = scales[i * 3 + j];
    effect->SetVectorArray(splatMapsUVScale, vectors, 3);
}

namespace
{

// Lights are uploaded in groups of at most this many.
constexpr int32_t lightSlots = WeBaseModel::maxLights;

// The inverse range the effects fade a light by; a light of no range reaches nothing.
float InverseRange(const WeLight& light)
{
    return light.Range > 0.0f ? 1.0f / light.Range : std::numeric_limits<float>::max();
}

void PutColour(float* out, const WeColor& colour, float scale)
{
    out[0] = colour.r * scale;
    out[1] = colour.g * scale;
    out[2] = colour.b * scale;
    out[3] = 1.0f;
}

} // namespace

void WeShader::SetLightPositions(WeLight* const* lights, int32_t count, D3DXHANDLE positions,
                                 D3DXHANDLE countHandle)
{
    float xyzw[lightSlots * 4];
    int32_t samplers[lightSlots];
    for (int32_t i = 0; i < count; ++i)
    {
        const WeVector at = lights[i]->GetWorldPosition();
        const float values[4] = {at.x, at.y, at.z, 1.0f};
        std::copy(values, values + 4, xyzw + i * 4);
        samplers[i] = lights[i]->shadowSampler;
    }
    if (shadowSamplerNo)
        effect->SetIntArray(shadowSamplerNo, samplers, uint32_t(count));
    SetIfPresent(countHandle, float(count));
    effect->SetVectorArray(positions, xyzw, uint32_t(count));
}

void WeShader::SetPerPixelLights(const WeRenderItem& item)
{
    if (!effect || renderDevice.greyAmbient || !renderDevice.pointLighting || !perPixelLightsColor ||
        !perPixelLightsCount || !perPixelLightsPosition || !perPixelLightsRange ||
        !perPixelLightsSpecularColor || !item.model)
        return;
    const WeBaseModel& model = *item.model;
    const int32_t count = std::min({wantPixelLights, model.pointLightCount, lightSlots});
    if (count <= 0)
        return;
    float colours[lightSlots * 4], speculars[lightSlots * 4], ranges[lightSlots];
    for (int32_t i = 0; i < count; ++i)
    {
        const WeLight& light = *model.pointLights[i];
        PutColour(colours + i * 4, light.current.Diffuse, light.GetDiffuseIntensity());
        PutColour(speculars + i * 4, light.current.Specular, light.GetSpecularIntensity());
        ranges[i] = InverseRange(light);
    }
    // The count goes last, after everything it counts.
    SetLightPositions(model.pointLights, count, perPixelLightsPosition, nullptr);
    effect->SetVectorArray(perPixelLightsColor, colours, uint32_t(count));
    effect->SetVectorArray(perPixelLightsSpecularColor, speculars, uint32_t(count));
    effect->SetFloatArray(perPixelLightsRange, ranges, uint32_t(count));
    effect->SetFloat(perPixelLightsCount, float(count));
}

void WeShader::SetPerPixelLightPositions(const WeRenderItem& item)
{
    if (!effect || renderDevice.greyAmbient || !perPixelLightsPosition || !item.model)
        return;
    const int32_t count = std::min({wantPixelLights, item.model->pointLightCount, lightSlots});
    if (count > 0)
        SetLightPositions(item.model->pointLights, count, perPixelLightsPosition, perPixelLightsCount);
}

void WeShader::VertexLightColour(const WeLight& light, const WeSphere* sphere, float colour[4])
{
    float fade = 1.0f;
    if (sphere)
    {
        const float distance = D3DXVec3Length(light.GetWorldPosition() - sphere->center);
        const float reach = light.Range + sphere->radius;
        fade = reach > 0.0f && reach * reach > distance * distance
                   ? std::min(1.0f, 2.0f * (1.0f - distance / reach))
                   : 0.0f;
    }
    PutColour(colour, light.current.Diffuse, light.GetDiffuseIntensity() * fade);
}

void WeShader::SetPerVertexLights(const WeRenderItem& item, const WeSphere* sphere)
{
    if (!effect || renderDevice.greyAmbient || !item.model || !perVertexLightsColor ||
        !perVertexLightsCount || !perVertexLightsPosition || !perVertexLightsRange)
        return;
    const WeBaseModel& model = *item.model;
    const int32_t count = std::max(0, std::min({wantVertexLights, model.otherLightCount, lightSlots}));
    effect->SetFloat(perVertexLightsCount, float(count));
    if (count == 0)
        return;
    float positions[lightSlots * 4], colours[lightSlots * 4], ranges[lightSlots];
    for (int32_t i = 0; i < count; ++i)
    {
        const WeLight& light = *model.otherLights[i];
        const WeVector at = light.GetWorldPosition();
        const float position[4] = {at.x, at.y, at.z, 1.0f};
        std::copy(position, position + 4, positions + i * 4);
        VertexLightColour(light, sphere, colours + i * 4);
        ranges[i] = InverseRange(light);
    }
    effect->SetVectorArray(perVertexLightsPosition, positions, uint32_t(count));
    effect->SetVectorArray(perVertexLightsColor, colours, uint32_t(count));
    effect->SetFloatArray(perVertexLightsRange, ranges, uint32_t(count));
}

void WeShader::OnLostDevice()
{
    if (hasLowVariant || hasHdrVariant)
        ReleaseEffect();
    else if (effect)
        effect->OnLostDevice();
}

void WeShader::OnResetDevice()
{
    if (!effect)
    {
        Load(shaders.CurrentFileSystem(), name, false);
        return;
    }
    effect->OnResetDevice();
    ConvertPixelsToTexels();
}

// ---------------------------------------------------------------------------------------------
// WeShaderManager

WeShaderManager::WeShaderManager() = default;

WeShaderManager::~WeShaderManager()
{
    FreeAll();
}

WeVirtualFileSystem* WeShaderManager::CurrentFileSystem() const
{
    return fileSystem ? fileSystem : WeVirtualFileSystem::GetFileSystem();
}

bool WeShaderManager::Init()
{
    if (initialised)
        return true;
    if (D3DXCreateEffectPool(&effectPool) != d3d9::D3D_OK)
        return false;
    initialised = true;
    sharedShader = Load("Shaders.Special.SharedHandles");
    if (sharedShader)
        FindSharedParameters();
    return sharedShader != nullptr;
}

WeShader* WeShaderManager::Load(const WeString& assetName)
{
    if (!initialised || assetName.IsEmpty())
        return nullptr;
    WeString rewritten = assetName;
    if (assetName.GetToken('.', 0) == "Effects")
        rewritten = "Shaders." + assetName.GetToken('.', 1) + "." + assetName.GetToken('.', 2);
    const WeString key = rewritten.ToLower();
    WeShader* shader = nullptr;
    if (table.Find(key, shader))
        return shader;
    shader = new WeShader;
    if (!shader->Load(CurrentFileSystem(), rewritten, false))
    {
        lastError = shader->GetLastError();
        delete shader;
        return nullptr;
    }
    table.Insert(key, shader);
    return shader;
}

bool WeShaderManager::LoadDefaultShaders()
{
    colorOnlyShader = Load("Shaders.Default.ColorOnly");
    alphaFalloffShader = Load("Shaders.Default.AlphaFalloff");
    billboardShader = Load("Shaders.Default.Billboard");
    particleSystemShader = Load("Shaders.Default.ParticleSystem");
    trailShader = Load("Shaders.Special.Trail");
    outlineShader = Load("Shaders.PostProcess.Outline");
    return colorOnlyShader != nullptr;
}

void WeShaderManager::FreeAll()
{
    table.ForEach([](const WeString&, WeShader* shader) { delete shader; });
    table.Clear();
    if (effectPool)
        effectPool->Release();
    effectPool = nullptr;
    initialised = false;
    // Nothing may reach a deleted shader through these, even after shut-down.
    sharedShader = colorOnlyShader = alphaFalloffShader = billboardShader = particleSystemShader =
        trailShader = outlineShader = nullptr;
    for (D3DXHANDLE& handle : sharedHandles)
        handle = nullptr;
}

void WeShaderManager::OnLostDevice()
{
    table.ForEach([](const WeString&, WeShader* shader) { shader->OnLostDevice(); });
}

void WeShaderManager::OnResetDevice()
{
    table.ForEach([](const WeString&, WeShader* shader) { shader->OnResetDevice(); });
}

// ---------------------------------------------------------------------------------------------
// Shared effect parameters

namespace
{

float Lerp(float a, float b, float t)
{
    return a + (b - a) * t;
}

// The camera as it stands now, as a history entry at the given time.
WeCameraHistoryEntry CurrentState(const WeCamera& camera, float time)
{
    WeCameraHistoryEntry entry;
    entry.position = camera.position;
    entry.axes = camera.axes;
    entry.fov = camera.fov;
    entry.nearClip = camera.nearClip;
    entry.farClip = camera.farClip;
    entry.aspect = camera.aspect;
    entry.time = time;
    return entry;
}

// The view-projection of the camera at time T, from the history entries around it. Only
// entries inside the ring are read: when T is past the newest entry, the camera's present
// state is the newer end; when T is before the oldest, the two oldest extrapolate.
Matrix ViewProjectionAt(const WeCamera& camera, float target, float now)
{
    const int32_t count = camera.HistoryCount();
    int32_t older = count - 1;
    while (older > 0 && camera.HistoryEntry(older).time > target)
        --older;
    const WeCameraHistoryEntry& o = camera.HistoryEntry(older);
    const WeCameraHistoryEntry present = CurrentState(camera, now);
    const WeCameraHistoryEntry& n = older + 1 < count ? camera.HistoryEntry(older + 1) : present;
    const float span = n.time - o.time;
    const float t = span != 0.0f ? (target - o.time) / span : 0.0f;
    const Vector3 p = o.position + (n.position - o.position) * t;
    const Quaternion q =
        D3DXQuaternionSlerp(D3DXQuaternionRotationMatrix(o.axes), D3DXQuaternionRotationMatrix(n.axes), t);
    const Matrix r = D3DXMatrixRotationQuaternion(q);
    const Vector3 direction{r.m[2][0], r.m[2][1], r.m[2][2]};
    const Vector3 up{r.m[1][0], r.m[1][1], r.m[1][2]};
    const float aspect = Lerp(o.aspect, n.aspect, t);
    const Matrix view = D3DXMatrixLookAtLH(p, p + direction, up);
    const Matrix projection =
        D3DXMatrixPerspectiveFovLH(Lerp(o.fov, n.fov, t), aspect != 0.0f ? aspect : renderDevice.Aspect(),
                                   Lerp(o.nearClip, n.nearClip, t), Lerp(o.farClip, n.farClip, t));
    return D3DXMatrixMultiply(view, projection);
}

} // namespace

const char* WeShaderManager::SharedName(int32_t index)
{
    return index >= 0 && index < sharedHandleCount ? sharedNames[index] : "";
}

void WeShaderManager::FindSharedParameters()
{
    if (!sharedShader || !sharedShader->effect)
        return;
    for (int32_t i = 0; i < sharedHandleCount; ++i)
        sharedHandles[i] = sharedShader->effect->GetParameterByName(nullptr, sharedNames[i]);
}

void WeShaderManager::SetShared(int32_t index, const float* values, uint32_t count)
{
    if (initialised && sharedShader && sharedShader->effect && index >= 0 && index < sharedHandleCount &&
        sharedHandles[index])
        sharedShader->effect->SetFloatArray(sharedHandles[index], values, count);
}

void WeShaderManager::SetCameraMatrices(const Matrix& viewMatrix, const Matrix& projection,
                                        const WeCamera* camera)
{
    if (!initialised || !sharedShader || !sharedShader->effect)
        return;
    auto setMatrix = [&](int32_t index, const Matrix& m) { SetShared(index, &m.m[0][0], 16); };
    setMatrix(SharedParameter::viewMatrix, viewMatrix);
    setMatrix(projectionMatrix, projection);
    view = viewMatrix;
    viewProjection = D3DXMatrixMultiply(viewMatrix, projection);
    setMatrix(viewProj, viewProjection);
    Matrix bias;
    bias.m[0][0] = 0.5f;
    bias.m[1][1] = -0.5f;
    bias.m[2][2] = 0.5f;
    bias.m[3][0] = bias.m[3][1] = bias.m[3][2] = 0.5f;
    setMatrix(planarProjectiveMatrix, D3DXMatrixMultiply(viewProjection, bias));
    if (!camera)
        return;
    const float clips[3] = {camera->nearClip, camera->farClip, camera->farClip - camera->nearClip};
    for (int32_t i = 0; i < 3; ++i)
        SetShared(nearPlane + i, &clips[i], 1);
    Matrix cameraToWorld = camera->axes;
    cameraToWorld.m[3][0] = camera->position.x;
    cameraToWorld.m[3][1] = camera->position.y;
    cameraToWorld.m[3][2] = camera->position.z;
    previousViewProjection = viewProjection;
    if (!camera->orthogonal && camera->HistoryCount() > 0)
    {
        if (blurTime < 0.0f)
            blurTime = WeConfig::GetFloat("engine.PostProcess.PixelMotionBlurTime", 0.0333333f);
        const float now = timer.absoluteTimeFloat;
        previousViewProjection = ViewProjectionAt(*camera, now - blurTime, now);
    }
    setMatrix(prevViewProj, previousViewProjection);
    setMatrix(invViewMulPrevViewProj, D3DXMatrixMultiply(cameraToWorld, previousViewProjection));
}

void WeShaderManager::SetCameraPosition(const float xyz[3])
{
    SetShared(cameraPosition, xyz, 3);
}

void WeShaderManager::SetCameraDirection(const float xyz[3])
{
    SetShared(cameraDirection, xyz, 3);
}

void WeShaderManager::SetTextureAnimation(const Matrix& matrix)
{
    SetShared(textureAnimation, &matrix.m[0][0], 16);
}

void WeShaderManager::SetFog(const float color[4], float start, float end, float minimum, float maximum)
{
    const float inverse = 1.0f / (end - start);
    SetShared(fogStart, &start, 1);
    SetShared(fogInvEnd, &inverse, 1);
    SetShared(fogMin, &minimum, 1);
    SetShared(fogMax, &maximum, 1);
    SetShared(fogColor, color, 3);
}
