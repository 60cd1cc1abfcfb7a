// How a surface is drawn: its effect, render pass, blending and culling, colour, up to 16
// textures by slot, an animated texture transform and the strengths handed to the effect.
// Materials are package records of every version the engine ever wrote (before 10 up to 34).
// One global manager, `materialManager`, caches them by lower-cased asset name and keeps the
// default, selection and default-particle materials.
#pragma once

#include "WeHashTable.h"
#include "WeString.h"
#include "d3dx/D3dxMath.h"

#include <cstdint>

class WeRecordReader;
class WeShader;
class WeTexture;
class WeVirtualFileSystem;

namespace d3d9
{
class BaseTexture;
}

class WeMaterial
{
public:
    static constexpr int32_t slotCount = 16;
    // Feature bits of the technique mask, bit n for the n-th technique letter (FLSBEHTA8); the
    // specular, bump, environment and splat bits choose textures in ApplyTextures.
    static constexpr int32_t fogFlag = 1, lightingFlag = 2, specularFlag = 4, bumpFlag = 8,
                             environmentFlag = 16, shadowFlag = 32, splatFlag = 64, skinnedFlag = 128,
                             noGlowMapFlag = 256;

    WeMaterial();
    virtual ~WeMaterial();
    WeMaterial(const WeMaterial&) = delete;
    WeMaterial& operator=(const WeMaterial&) = delete;

    // Every field to its default.
    void Reset();
    // The material record of the asset, its shader and its textures. False when the asset is
    // missing or its record is cut short; a missing shader falls back to the colour-only one,
    // a missing texture leaves its slot empty.
    bool Load(WeVirtualFileSystem* fileSystem, const WeString& assetName);
    // The record the reader stands on, then its shader, its textures and the fix-ups of older
    // content. False, with nothing loaded, when the record does not fit in the reader's bytes.
    bool ReadRecord(WeRecordReader& reader);
    // Copies what draws the surface, not the name, version, fixed flag, wireframe, water values,
    // fur strength or animation state.
    void CopyTo(WeMaterial& other) const;
    // Only turns on, and takes the slots' textures along.
    void SetFixed(bool flag);
    // The texture transform at `time` seconds, also handed to the effects as the shared
    // texture-animation matrix.
    void UpdateTextureAnimation(float time);
    // Binds the slots' textures to sampler stages for the technique's feature flags, skipping
    // stages whose entry in `cache` (16 stages, may be null) already holds the texture.
    void ApplyTextures(int32_t flags, d3d9::BaseTexture** cache, uint32_t firstStage) const;

    int32_t animFrame;
    int32_t animRandomFrame;
    bool fixed;
    d3dx::Matrix textureMatrix;
    int32_t pass;
    int32_t srcBlend;
    int32_t destBlend;
    int32_t textureAnimation;
    float animParams[5];
    bool lighting;
    float bumpIntensity;
    float staticBumpVector[3];
    float staticBumpIntensity;
    float specularPow;
    int32_t alphaReference;
    float materialStrength;
    float envStrength;
    float glowAmount;
    bool wireframe;
    WeString name;
    bool refractive;
    float noiseSpeed, waveSpeed, noiseScale, noiseIntensity;
    float furStrength;
    bool ownFog, fogEnabled;
    float fogStart, fogEnd, fogMin, fogMax;
    bool twoSided;
    bool splat;
    float splatUVScales[9];
    bool reflective;
    WeTexture* textures[slotCount];
    WeString textureNames[slotCount];
    WeShader* shader;
    float color[4];
    int32_t priority;
    int32_t version;

private:
    void ReadOlderLayout(WeRecordReader& reader, WeString& shaderName);
    void ReadCurrentLayout(WeRecordReader& reader, WeString& shaderName, bool& water);
    void ReadTextureNames(WeRecordReader& reader, int32_t kept, int32_t dropped);
    void LoadShader(const WeString& shaderName);
    void LoadTextures();
    void ApplyFixUps();
    void ClearSlot(int32_t slot);
};

class WeMaterialManager
{
public:
    WeMaterialManager() = default;
    virtual ~WeMaterialManager();
    WeMaterialManager(const WeMaterialManager&) = delete;
    WeMaterialManager& operator=(const WeMaterialManager&) = delete;

    // Null for an empty name or a failed load; a cached material becomes fixed when asked for
    // during fixed loading.
    WeMaterial* Load(const WeString& assetName);
    // The default, selection and default-particle materials, fixed; true when the default loaded.
    bool LoadDefaults();
    // True when the material left the table. A fixed material survives an unforced release,
    // dropping only its textures that are not fixed (the texture manager frees those).
    bool Release(WeMaterial* material, bool forced);
    void FreeAll(bool forced);
    int32_t GetCount() const { return table.GetCount(); }
    // The file system materials load from; null means the program's.
    WeVirtualFileSystem* CurrentFileSystem() const;

    WeMaterial* defaultMaterial = nullptr;
    WeMaterial* selection = nullptr;
    WeMaterial* defaultParticle = nullptr;
    WeMaterial* debug = nullptr; // the shared debug material, once the first scene loaded it
    WeVirtualFileSystem* fileSystem = nullptr;
    // The cube the reflection renderer draws the scene into; reflective materials sample it.
    d3d9::BaseTexture* reflectionCube = nullptr;

private:
    void ForgetDefault(const WeMaterial* material);

    WeHashTable<WeMaterial*> table;
};

extern WeMaterialManager materialManager;
