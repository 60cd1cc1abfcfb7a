// Effects by name: one shader wraps one effect (its quality variant chosen at load), with the
// parameter handles the engine fills looked up once and a technique table indexed by a 10-bit
// feature mask. One global manager, `shaders`, owns the effect pool every effect shares and
// caches shaders by lower-cased name.
#pragma once

#include "WeHashTable.h"
#include "WeString.h"
#include "d3dx/D3dxEffect.h"

#include <cstdint>
#include <vector>

class WeLight;
class WeVirtualFileSystem;
struct WeRenderItem;
struct WeSphere;

class WeShader
{
public:
    static constexpr int32_t techniqueCount = 1024;
    static constexpr int32_t featureCount = 10;

    WeShader();
    virtual ~WeShader();
    WeShader(const WeShader&) = delete;
    WeShader& operator=(const WeShader&) = delete;

    // A package asset of type "fxo", or with extension "fx"/"fxo" a file on disk; a missing
    // ".fxo" file falls back to the ".fx" file of the same name.
    virtual bool Load(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool unused);
    // Writes the byte count and the effect bytes as an "fxo" asset.
    virtual bool Save(WeVirtualFileSystem* fileSystem, const WeString& assetName);

    // The mask's technique, else "Tech"; false when neither exists.
    bool SetTechnique(int32_t mask);
    void Begin(uint32_t flags);
    void BeginPass(uint32_t pass);
    void CommitChanges();
    void EndPass();
    void End();

    // "WorldMatrix", and world x the manager's view / view-projection where declared.
    void SetWorldMatrices(const d3d9::Matrix& world);
    void SetPrevWorldMatrices(const d3d9::Matrix& previousWorld);
    void SetBoneMatrices(const d3d9::Matrix* matrices, uint32_t count);
    void SetMaterialColor(const float color[4]);
    // Nothing while the device draws grey ambient.
    void SetMaterialParameters(float materialStrength, float envStrength, float bumpIntensity,
                               const float staticBumpVector[3], float staticBumpIntensity, float specularPow,
                               float glowAmount, float furStrength);
    void SetWaveParameters(float waveSpeed, float noiseSpeed, float noiseScale, float noiseIntensity);
    // Nine floats as three 4-vectors with w = 0; nothing while the device draws grey ambient.
    void SetSplatMapsUVScale(const float scales[9]);
    // The item's model's nearest point lights, as many as the effect wants: positions, colours
    // and highlight colours by their intensities, inverse ranges, shadow samplers and the count.
    // Nothing while drawing grey ambient, with lights switched off, or without a model.
    void SetPerPixelLights(const WeRenderItem& item);
    // The model's other lights, as many as the effect wants: positions, colours and inverse
    // ranges. With a sphere each colour fades out towards where the light's range stops
    // touching it.
    void SetPerVertexLights(const WeRenderItem& item, const WeSphere* sphere);
    // A per-vertex light's colour as it reaches the sphere (whole without one), fading out
    // towards where the light's range stops touching it.
    static void VertexLightColour(const WeLight& light, const WeSphere* sphere, float colour[4]);
    // Only the positions, shadow samplers and count of the per-pixel lights.
    void SetPerPixelLightPositions(const WeRenderItem& item);

    // A shader with a variant drops its effect so that the reset chooses the variant again.
    void OnLostDevice();
    void OnResetDevice();

    // Why the last load failed ("Effect <name>: <reason>", the effect compiler's text where it
    // gave one); empty after a load that worked. Each new text also goes to the error output.
    const WeString& GetLastError() const { return lastError; }

    // The technique name of a mask over "0123456789" (digits) or "FLSBEHTA89" (letters).
    static const WeString& TechniqueName(int32_t mask, bool letters);
    // The shader's technique for the mask: mask AND supported, mask 0 when it has none.
    int32_t ChooseMask(int32_t mask) const;

    uint32_t passCount = 0;
    d3dx::D3DXHANDLE defaultTechnique = nullptr;
    d3dx::D3DXHANDLE techniques[techniqueCount] = {};
    bool supportsFeature[featureCount] = {};
    bool supportsTexture[16] = {};
    bool useLetterNames = false;
    bool isWater = false;
    bool instancing = false; // its vertex stage reads instances' matrices with INSTANCED defined
    d3dx::D3DXHANDLE glowAmount = nullptr, waveSpeed = nullptr, noiseSpeed = nullptr, noiseScale = nullptr,
                     noiseIntensity = nullptr, furStrength = nullptr, worldMatrix = nullptr,
                     worldView = nullptr, prevWorldMatrix = nullptr, worldViewProj = nullptr,
                     prevWorldViewProj = nullptr;
    std::vector<uint8_t> effectData;
    d3dx::Effect* effect = nullptr;
    int32_t wantVertexLights = 0, wantPixelLights = 0;
    bool hasLowVariant = false, hasHdrVariant = false;
    int32_t supportedTechniques = 0;
    int32_t supportedTextures = 0xFFFF;
    WeString name;
    d3dx::D3DXHANDLE boneMatrices = nullptr, shadowSamplerNo = nullptr, perPixelLightsPosition = nullptr,
                     perPixelLightsColor = nullptr, perPixelLightsSpecularColor = nullptr,
                     perPixelLightsRange = nullptr, perPixelLightsCount = nullptr,
                     perVertexLightsPosition = nullptr, perVertexLightsColor = nullptr,
                     perVertexLightsRange = nullptr, perVertexLightsCount = nullptr, scaling = nullptr,
                     cameraRotation = nullptr, materialStrength = nullptr, envStrength = nullptr,
                     materialColor = nullptr, bumpIntensity = nullptr, staticBumpVector = nullptr,
                     staticBumpIntensity = nullptr, specularPow = nullptr, motionBlurFactor = nullptr,
                     splatMapsUVScale = nullptr;

private:
    void ReleaseEffect();
    // Keeps and reports the reason, drops the bytes; false.
    bool Fail(const WeString& source, const WeString& reason);
    bool ReadBytes(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool package);
    WeString ChooseVariant(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool package);
    d3dx::D3DXHANDLE Handle(const char* parameter) const;
    void LookUpHandles();
    void BuildTechniques();
    void ConvertPixelsToTexels();
    void SetIfPresent(d3dx::D3DXHANDLE handle, float value);
    // Positions (w = 1) and shadow samplers of the first lights; "ShadowSamplerNo" and the count
    // where the effect has them.
    void SetLightPositions(WeLight* const* lights, int32_t count, d3dx::D3DXHANDLE positions,
                           d3dx::D3DXHANDLE countHandle);

    WeString lastError;
};

class WeShaderManager
{
public:
    static constexpr int32_t sharedHandleCount = 38;
    // The shared parameters, in handle order.
    enum SharedParameter : int32_t
    {
        elapsedTime,
        viewMatrix,
        projectionMatrix,
        viewProj,
        prevViewProj,
        invViewMulPrevViewProj,
        cameraPosition,
        cameraDirection,
        textureAnimation,
        fogStart,
        fogInvEnd,
        fogMin,
        fogMax,
        fogColor,
        ambientColor,
        outlineColor,
        pixelMotionBlurFactor,
        radialBlurStrength,
        bloomScale,
        refractionSpeed,
        refractionStrength,
        resWidth,
        resHeight,
        maxCoC,
        focalDist,
        focalRange,
        projectorMatrix,
        projectorPosition,
        projectorDirection,
        planarProjectiveMatrix,
        nearPlane,
        farPlane,
        farMinusNear,
        edgeWidth,
        edgeHeight,
        normalTimesFactor,
        depthTimesFactor,
        borderDetectionFactor,
    };

    WeShaderManager();
    virtual ~WeShaderManager();
    WeShaderManager(const WeShaderManager&) = delete;
    WeShaderManager& operator=(const WeShaderManager&) = delete;

    // Creates the pool and loads the shared-parameter effect; true when that effect loaded.
    bool Init();
    // Null before Init or for an empty name; "Effects.A.B" means "Shaders.A.B"; failed loads
    // are not cached, and the reason stays in GetLastError.
    WeShader* Load(const WeString& assetName);
    const WeString& GetLastError() const { return lastError; }
    // True when the colour-only shader loaded.
    bool LoadDefaultShaders();
    void FreeAll();
    void OnLostDevice();
    void OnResetDevice();

    // The shared parameters of the shared-parameter effect, by name.
    void FindSharedParameters();
    // Per view: the camera matrices; with a camera also its clip planes and the previous
    // view-projection from its history.
    void SetCameraMatrices(const d3d9::Matrix& viewMatrix, const d3d9::Matrix& projection,
                           const class WeCamera* camera);
    void SetCameraPosition(const float xyz[3]);
    void SetCameraDirection(const float xyz[3]);
    void SetTextureAnimation(const d3d9::Matrix& matrix);
    void SetFog(const float color[4], float start, float end, float minimum, float maximum);
    // The shared value through the shared-parameter effect (nothing without it).
    void SetShared(int32_t index, const float* values, uint32_t count);
    d3dx::D3DXHANDLE SharedHandle(int32_t index) const { return sharedHandles[index]; }
    // The shared-parameter names in handle order.
    static const char* SharedName(int32_t index);
    int32_t GetCount() const { return table.GetCount(); }
    // The file system shaders load from; null means the program's.
    WeVirtualFileSystem* CurrentFileSystem() const;

    bool initialised = false;
    WeShader* sharedShader = nullptr;
    WeShader *colorOnlyShader = nullptr, *alphaFalloffShader = nullptr, *billboardShader = nullptr,
             *particleSystemShader = nullptr, *trailShader = nullptr, *outlineShader = nullptr;
    d3dx::EffectPool* effectPool = nullptr;
    d3d9::Matrix view, viewProjection, previousViewProjection;
    d3dx::D3DXHANDLE sharedHandles[sharedHandleCount] = {};
    WeVirtualFileSystem* fileSystem = nullptr;

private:
    WeHashTable<WeShader*> table;
    float blurTime = -1.0f;
    WeString lastError;
};

extern WeShaderManager shaders;
