#include "WeMaterial.h"

#include "WeFileStream.h"
#include "WeRandom.h"
#include "WeRecordReader.h"
#include "WeRenderDevice.h"
#include "WeResourceTable.h"
#include "WeShader.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

using d3dx::Matrix;

namespace
{

constexpr int32_t kTextureKind2D = 3, kTextureKindCube = 1, kTextureKindVolume = 2;

// Shaders that once had an animated twin now draw both.
const char* FoldedShaderName(const WeString& shaderName)
{
    static const char* const folds[][2] = {
        {"Shaders.Default.DefaultAnim", "Shaders.Default.Default"},
        {"Shaders.Default.WaterAnim", "Shaders.Default.Water"},
        {"Shaders.Default.CelAnim", "Shaders.Default.Cel"},
        {"Shaders.Default.NewParticleSystem", "Shaders.Default.ParticleSystem"},
    };
    for (const auto& fold : folds)
        if (shaderName == fold[0])
            return fold[1];
    return nullptr;
}

int32_t RequiredKind(int32_t slot)
{
    return slot == 4 ? kTextureKindCube : slot == 5 ? kTextureKindVolume : kTextureKind2D;
}

d3d9::BaseTexture* DeviceTexture(const WeTexture* texture)
{
    return texture ? texture->texture : nullptr;
}

void Bind(uint32_t stage, d3d9::BaseTexture* texture, d3d9::BaseTexture** cache)
{
    if (cache && cache[stage] == texture)
        return;
    renderDevice.device->SetTexture(stage, texture);
    if (cache)
        cache[stage] = texture;
}

void BindSlot(uint32_t stage, const WeTexture* texture, const WeTexture* fallback, d3d9::BaseTexture** cache)
{
    Bind(stage, DeviceTexture(texture ? texture : fallback), cache);
}

// A sprite-sheet cell: scale (cellWidth, cellHeight), the cell's corner as translation.
Matrix Cell(int32_t frame, int32_t columns, float cellWidth, float cellHeight)
{
    Matrix cell;
    cell.m[0][0] = cellWidth;
    cell.m[1][1] = cellHeight;
    cell.m[3][0] = float(frame % columns) * cellWidth;
    cell.m[3][1] = float(frame / columns) * cellHeight;
    return cell;
}

} // namespace

WeMaterial::WeMaterial()
{
    Reset();
}

WeMaterial::~WeMaterial()
{
    std::fill(std::begin(textures), std::end(textures), nullptr);
}

void WeMaterial::Reset()
{
    animFrame = -1;
    animRandomFrame = 0;
    fixed = false;
    textureMatrix = Matrix{};
    pass = 0;
    srcBlend = 5;
    destBlend = 6;
    textureAnimation = 0;
    std::fill(std::begin(animParams), std::end(animParams), 0.0f);
    lighting = true;
    bumpIntensity = 2.5f;
    staticBumpVector[0] = 15.0f;
    staticBumpVector[1] = 15.0f;
    staticBumpVector[2] = 10.0f;
    staticBumpIntensity = 0.0f;
    specularPow = 0.0f;
    alphaReference = 0;
    materialStrength = 1.0f;
    envStrength = 0.0f;
    glowAmount = 0.0f;
    wireframe = false;
    name = "";
    refractive = false;
    noiseSpeed = waveSpeed = noiseScale = noiseIntensity = 0.0f;
    furStrength = 1.0f;
    ownFog = fogEnabled = false;
    fogStart = 0.0f;
    fogEnd = 1000.0f;
    fogMin = 0.0f;
    fogMax = 1.0f;
    twoSided = false;
    splat = false;
    std::fill(std::begin(splatUVScales), std::end(splatUVScales), 1.0f);
    reflective = false;
    std::fill(std::begin(textures), std::end(textures), nullptr);
    for (WeString& textureName : textureNames)
        textureName = "";
    shader = shaders.colorOnlyShader;
    std::fill(std::begin(color), std::end(color), 1.0f);
    priority = 0;
    version = 0;
}

bool WeMaterial::Load(WeVirtualFileSystem* fileSystem, const WeString& assetName)
{
    if (!fileSystem || !fileSystem->Open(assetName, WeAssetType::Material))
    {
        shader = nullptr;
        std::fill(std::begin(textures), std::end(textures), nullptr);
        name = "";
        return false;
    }
    WeRecordReader reader(fileSystem->GetStream(), fileSystem->GetFileSize());
    const bool read = ReadRecord(reader);
    fileSystem->Close();
    name = read ? assetName : WeString();
    return read;
}

bool WeMaterial::ReadRecord(WeRecordReader& reader)
{
    version = reader.ReadInt();
    WeString shaderName;
    bool water = false;
    if (version >= 24)
        ReadCurrentLayout(reader, shaderName, water);
    else
        ReadOlderLayout(reader, shaderName);
    if (!reader.Ok())
        return false;
    if (pass == 0)
        color[3] = 1.0f;
    LoadShader(water ? WeString("Shaders.Default.Water") : shaderName);
    LoadTextures();
    ApplyFixUps();
    return true;
}

void WeMaterial::ReadTextureNames(WeRecordReader& reader, int32_t kept, int32_t dropped)
{
    for (int32_t slot = 0; slot < kept; ++slot)
        reader.ReadString(textureNames[slot]);
    WeString unused;
    for (int32_t i = 0; i < dropped; ++i)
        reader.ReadString(unused);
}

// Versions below 24; a first word below 10 is no version but the record's first field.
void WeMaterial::ReadOlderLayout(WeRecordReader& reader, WeString& shaderName)
{
    if (version < 10)
        reader.StepBack(4);
    pass = reader.ReadInt();
    if (version >= 20)
    {
        srcBlend = reader.ReadInt();
        destBlend = reader.ReadInt();
    }
    reflective = reader.ReadInt() == 1;
    if (version >= 11)
        lighting = reader.ReadBool();
    if (version >= 13)
    {
        reader.ReadBool();
        refractive = reader.ReadBool();
    }
    if (version >= 15)
        twoSided = reader.ReadBool();
    reader.ReadString(shaderName);
    ReadTextureNames(reader, 5, version >= 22 ? 0 : 11);
    textureAnimation = reader.ReadInt();
    reader.ReadFloats(animParams, 5);
    materialStrength = reader.ReadFloat();
    envStrength = reader.ReadFloat();
    if (version == 23)
        glowAmount = reader.ReadFloat();
    if (version < 20)
        reader.Skip(8);
    reader.ReadFloats(color, 4);
    if (version >= 12)
    {
        bumpIntensity = reader.ReadFloat();
        specularPow = reader.ReadFloat();
    }
    if (version >= 14)
        alphaReference = reader.ReadInt();
    if (version >= 16 && version <= 18)
        reader.ReadBool();
    if (version >= 17)
        priority = reader.ReadInt();
    if (version == 18)
        reader.ReadBool();
}

void WeMaterial::ReadCurrentLayout(WeRecordReader& reader, WeString& shaderName, bool& water)
{
    pass = reader.ReadInt();
    srcBlend = reader.ReadInt();
    destBlend = reader.ReadInt();
    reflective = reader.ReadInt() == 1;
    lighting = reader.ReadBool();
    reader.ReadBool();
    refractive = reader.ReadBool();
    twoSided = reader.ReadBool();
    reader.ReadString(shaderName);
    ReadTextureNames(reader, version < 29 ? 6 : version < 34 ? 7 : 16, 0);
    textureAnimation = reader.ReadInt();
    reader.ReadFloats(animParams, 5);
    materialStrength = reader.ReadFloat();
    envStrength = reader.ReadFloat();
    glowAmount = reader.ReadFloat();
    reader.ReadFloats(color, 4);
    bumpIntensity = reader.ReadFloat();
    if (version >= 25)
        reader.ReadFloats(staticBumpVector, 3);
    if (version >= 26)
        staticBumpIntensity = reader.ReadFloat();
    specularPow = reader.ReadFloat();
    alphaReference = reader.ReadInt();
    if (version >= 27)
        wireframe = reader.ReadBool();
    const int32_t storedPriority = reader.ReadInt();
    priority = version >= 30 ? storedPriority : 0;
    water = version <= 27 && reader.ReadBool();
    noiseSpeed = reader.ReadFloat();
    waveSpeed = reader.ReadFloat();
    noiseScale = reader.ReadFloat();
    noiseIntensity = reader.ReadFloat();
    if (version >= 32)
        furStrength = reader.ReadFloat();
    if (version >= 31)
    {
        ownFog = reader.ReadBool();
        fogEnabled = reader.ReadBool();
        fogStart = reader.ReadFloat();
        fogEnd = reader.ReadFloat();
        fogMin = reader.ReadFloat();
        fogMax = reader.ReadFloat();
    }
    if (version >= 34)
    {
        splat = reader.ReadBool();
        reader.ReadFloats(splatUVScales, 9);
    }
}

void WeMaterial::LoadShader(const WeString& shaderName)
{
    const char* folded = FoldedShaderName(shaderName);
    shader = shaders.Load(folded ? WeString(folded) : shaderName);
    if (!shader)
        shader = shaders.colorOnlyShader;
}

void WeMaterial::LoadTextures()
{
    for (int32_t slot = 0; slot < slotCount; ++slot)
    {
        textures[slot] = nullptr;
        if (textureNames[slot] == " ")
            textureNames[slot] = "";
        else if (!textureNames[slot].IsEmpty() && (!shader || shader->supportsTexture[slot]))
            textures[slot] = ::textures.Load(textureNames[slot]);
    }
}

void WeMaterial::ClearSlot(int32_t slot)
{
    textures[slot] = nullptr;
    textureNames[slot] = "";
}

// Older content marked unused slots with the default 1x1 textures, and its glow map stood for
// a constant glow.
void WeMaterial::ApplyFixUps()
{
    if (textureNames[1].Find(".DefaultNormalMapBlue1x1") >= 0)
        ClearSlot(1);
    if (textureNames[2].Find(".DefaultBlack1x1") >= 0)
        ClearSlot(2);
    if (version < 33 && !textureNames[3].IsEmpty())
        glowAmount = 0.0f;
    if (version < 36 && textureNames[3].IsEmpty() && shader && shader == shaders.particleSystemShader)
        glowAmount = 1.0f;
    const WeString& glowMap = textureNames[3];
    if (glowMap.Find(".DefaultBlack1x1") >= 0)
        ClearSlot(3);
    else if (glowMap.Find(".DefaultGray1x1") >= 0)
    {
        ClearSlot(3);
        glowAmount += 0.5f;
    }
    else if (glowMap.Find(".DefaultWhite") >= 0)
    {
        ClearSlot(3);
        glowAmount += 1.0f;
    }
    for (int32_t slot = 0; slot < slotCount; ++slot)
        if (textures[slot] && textures[slot]->kind != RequiredKind(slot))
            textures[slot] = nullptr;
}

void WeMaterial::CopyTo(WeMaterial& other) const
{
    std::tie(other.pass, other.srcBlend, other.destBlend, other.textureAnimation, other.lighting,
             other.bumpIntensity, other.staticBumpIntensity, other.specularPow, other.alphaReference,
             other.materialStrength, other.envStrength, other.glowAmount, other.refractive, other.twoSided,
             other.reflective, other.shader, other.priority, other.ownFog, other.fogEnabled, other.fogStart,
             other.fogEnd, other.fogMin, other.fogMax, other.splat) =
        std::tie(pass, srcBlend, destBlend, textureAnimation, lighting, bumpIntensity, staticBumpIntensity,
                 specularPow, alphaReference, materialStrength, envStrength, glowAmount, refractive, twoSided,
                 reflective, shader, priority, ownFog, fogEnabled, fogStart, fogEnd, fogMin, fogMax, splat);
    std::copy(std::begin(animParams), std::end(animParams), other.animParams);
    std::copy(std::begin(staticBumpVector), std::end(staticBumpVector), other.staticBumpVector);
    std::copy(std::begin(color), std::end(color), other.color);
    std::copy(std::begin(splatUVScales), std::end(splatUVScales), other.splatUVScales);
    std::copy(std::begin(textureNames), std::end(textureNames), other.textureNames);
    std::copy(std::begin(textures), std::end(textures), other.textures);
}

void WeMaterial::SetFixed(bool flag)
{
    if (!flag)
        return;
    fixed = true;
    for (WeTexture* texture : textures)
        if (texture)
            texture->SetFixed(true);
}

void WeMaterial::UpdateTextureAnimation(float time)
{
    const float* p = animParams;
    switch (textureAnimation)
    {
    case 1:
        textureMatrix = d3dx::D3DXMatrixTranslation(p[0] * time, p[1] * time, 0.0f);
        break;
    case 2:
        textureMatrix = d3dx::D3DXMatrixMultiply(
            d3dx::D3DXMatrixMultiply(
                d3dx::D3DXMatrixTranslation(-p[1], -p[2], 0.0f),
                d3dx::D3DXMatrixRotationZ(p[0] * time * 2.0f * std::numbers::pi_v<float>)),
            d3dx::D3DXMatrixTranslation(p[1], p[2], 0.0f));
        break;
    case 3:
        break;
    case 4:
    case 7:
    {
        animParams[4] = time;
        const int32_t frames = WeSaturatingInt(p[2]);
        if (frames <= 0)
        {
            textureMatrix = Matrix{};
            break;
        }
        int32_t frame = WeSaturatingInt(p[3] * time) % frames;
        if (textureAnimation == 7)
        {
            if (frame != animFrame)
            {
                animFrame = frame;
                animRandomFrame = int32_t(int64_t(WeRand()) * frames / 32768);
            }
            frame = animRandomFrame;
        }
        textureMatrix = Cell(frame, std::max(WeSaturatingInt(1.0f / p[0]), 1), p[0], p[1]);
        break;
    }
    case 5:
    {
        // A draw of 0 would divide by zero: it counts as 1.
        const int32_t r = std::max((WeRand() * 1000) >> 15, 1);
        textureMatrix = d3dx::D3DXMatrixTranslation(p[0] / float(r), p[0] / float(r), 0.0f);
        break;
    }
    case 6:
    {
        const float s = std::fabs(p[0] - p[1]) * std::cos(time * std::numbers::pi_v<float> * 0.5f) +
                        std::fabs(p[1] - p[0]) * 0.5f;
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 3; ++column)
                textureMatrix.m[row][column] = row == column ? s : 0.0f;
        break;
    }
    case 8:
        textureMatrix = d3dx::D3DXMatrixScaling(p[2], p[3], 1.0f);
        textureMatrix.m[3][0] = p[0] * time;
        textureMatrix.m[3][1] = p[1] * time;
        break;
    case 9:
    {
        const int32_t columns = std::max(WeSaturatingInt(p[0]), 1);
        const int32_t rows = std::max(WeSaturatingInt(p[1]), 1);
        const int32_t frame = WeSaturatingInt(p[4] * time);
        textureMatrix = d3dx::D3DXMatrixScaling(1.0f / float(columns), 1.0f / float(rows), 1.0f);
        textureMatrix.m[3][0] = float(frame % columns) / float(columns) + p[2] * time;
        textureMatrix.m[3][1] = float(frame % rows) / float(rows) + p[3] * time;
        break;
    }
    default:
        textureMatrix = Matrix{};
        break;
    }
    shaders.SetTextureAnimation(textureMatrix);
}

void WeMaterial::ApplyTextures(int32_t flags, d3d9::BaseTexture** cache, uint32_t firstStage) const
{
    const WeTexture* black = ::textures.black;
    const WeTexture* normal = ::textures.normal;
    BindSlot(firstStage, textures[0], black, cache);
    if (flags & bumpFlag)
        BindSlot(1, textures[1], normal, cache);
    if (flags & specularFlag)
        BindSlot(2, textures[2], black, cache);
    BindSlot(3, textures[3], black, cache);
    if ((flags & environmentFlag) || (shader && shader->supportsFeature[4]))
    {
        const int32_t quality = renderDevice.reflectionQuality;
        if (quality == 1 || !reflective)
            BindSlot(4, textures[4], nullptr, cache);
        else if (quality >= 2)
            Bind(4, materialManager.reflectionCube, cache);
    }
    if (shader && (shader->supportsTexture[5] || shader->supportsTexture[6]))
    {
        BindSlot(5, textures[5], nullptr, cache);
        BindSlot(6, textures[6], nullptr, cache);
    }
    if (flags & splatFlag)
        for (uint32_t stage = 10; stage < 16; ++stage)
            BindSlot(stage, textures[stage], stage < 13 ? black : normal, cache);
}

WeMaterialManager::~WeMaterialManager()
{
    FreeAll(true);
}

WeVirtualFileSystem* WeMaterialManager::CurrentFileSystem() const
{
    return fileSystem ? fileSystem : WeVirtualFileSystem::GetFileSystem();
}

WeMaterial* WeMaterialManager::Load(const WeString& assetName)
{
    return WeLoadByName(table, assetName,
                        [&](WeMaterial& material) { return material.Load(CurrentFileSystem(), assetName); });
}

bool WeMaterialManager::LoadDefaults()
{
    WeBeginFixedLoading();
    defaultMaterial = Load("Config.Assets.Default");
    selection = Load("Config.Assets.Selection");
    defaultParticle = Load("Config.Assets.DefaultParticle");
    WeEndFixedLoading();
    return defaultMaterial != nullptr;
}

void WeMaterialManager::ForgetDefault(const WeMaterial* material)
{
    for (WeMaterial** slot : {&defaultMaterial, &selection, &defaultParticle, &debug})
        if (*slot == material)
            *slot = nullptr;
}

bool WeMaterialManager::Release(WeMaterial* material, bool forced)
{
    if (table.GetCount() == 0 || !material)
        return false;
    if (material->fixed && !forced)
    {
        for (WeTexture*& texture : material->textures)
            if (texture && !texture->fixed)
                texture = nullptr;
        return false;
    }
    if (table.RemoveValue(material))
    {
        ForgetDefault(material);
        delete material;
    }
    return true;
}

void WeMaterialManager::FreeAll(bool forced)
{
    for (table.Reset(); !table.IsEnd();)
        if (!Release(table.GetValue(), forced))
            table.Next();
}
