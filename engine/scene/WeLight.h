// The light actor: a list of timed key states it plays through, optional corona, flares and a
// projected material, shadow switches, and fades of its intensity in and out. Each Tick computes
// its current colours and intensities, which the shaders' light upload reads.
#pragma once

#include "WeActor.h"
#include "WeColor.h"
#include "WeList.h"
#include "WeRecycled.h"
#include "WeString.h"

#include <cstdint>

class WeMaterial;
class WeTexture;

// LightType bits.
constexpr int32_t LIGHT_POINT = 1;
constexpr int32_t LIGHT_POINT_VERTEXONLY = 2;
constexpr int32_t LIGHT_PROJECTOR = 4;
constexpr int32_t LIGHT_FLARE = 8;

// One key state: colours and strengths held for a duration.
struct WeLightState
{
    static constexpr int32_t version = 12;
    static constexpr int32_t flareCount = 5;

    // Versions 10 and up; a first word below 10 is no version, and is read again as data.
    void Read(WeRecordReader& reader);
    bool Write(WeFileStream& stream) const;

    WeColor Diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    WeColor Specular{1.0f, 1.0f, 1.0f, 1.0f};
    float Duration = 1.0f;
    float variation = 0.0f;
    float effectiveDuration = 0.0f; // Duration plus a random share of the variation, each Tick
    float Intensity = 1.0f;
    float SpecularIntensity = 1.0f;
    float CoronaAlpha = 1.0f;
    float FlareAlpha[flareCount] = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
};

class WeLight : public WeRecycled<WeLight, WeActor>
{
public:
    static constexpr int32_t version = 15;
    static constexpr float maxRange = 1000.0f;

    WeLight();
    // The flare renderer forgets the light.
    ~WeLight() override;

    // When the light fades out, the first Kill starts the fade (a later one changes nothing) and
    // the light dies when it ends; without a fade-out it dies at once.
    void Kill() override;
    // The name, marked " <DYNAMIC>" for a dynamic light.
    WeString GetDisplayName() const override;
    void Tick() override;
    bool Save(WeFileStream& stream) override;
    // The actor record, then a light record of versions 6 to 100; other versions are refused.
    bool Load(WeRecordReader& reader) override;
    void OnAddedToScene() override;
    void CopyFrom(const WeActor& source) override;

    // The light record alone (a light asset holds one).
    bool SaveLight(WeFileStream& stream) const;
    bool LoadLight(WeRecordReader& reader);
    // The projector material, corona and flare textures that are switched on and not loaded yet.
    void PrepareTextures();
    float GetDiffuseIntensity() const { return fade * GlobalIntensity * current.Intensity; }
    float GetSpecularIntensity() const { return fade * GlobalIntensity * current.SpecularIntensity; }

    bool IsDynamic = true;
    bool CastShadows = false;
    bool CastShadowPlane[6] = {}; // +x, -x, +y, -y, +z, -z
    int32_t LightType = LIGHT_POINT;
    bool LoopKeyStates = true;
    bool InterpolateStates = false;
    WeList<WeLightState> states;
    bool Active = true;
    float GlobalIntensity = 1.0f;
    float Range = 100.0f;
    float furtherValue = 0.0f;
    float angles[2] = {1.5707964f, 1.5707964f};
    bool AffectDynamicActors = false;
    bool AlwaysActive = false;
    bool projectorSwitch = false;
    bool secondSwitch = false;
    WeString ProjectorMaterialName;
    bool Corona = false;
    bool Flares = false;
    WeString CoronaTextureName;
    WeString FlareTextureNames[WeLightState::flareCount];
    float CoronaSizeX = 0.1f, CoronaSizeY = 0.1f, FlareSizeX = 0.5f, FlareSizeY = 0.5f;
    float FlaresFadeInTime = 0.5f, FlaresFadeOutTime = 0.5f;
    bool CoronaFixedSize = false, CoronaRotation = false, AlwaysShowFlares = false;
    float IntensityFadeInTime = 0.1f, IntensityFadeOutTime = 0.1f;
    float fadeOutTimer = -1.0f; // below 0: not fading out
    float fade = 1.0f;
    float lightTime = 0.0f;
    WeLightState current;
    float statePhase = 0.0f;
    WeMaterial* projectorMaterial = nullptr;
    WeTexture* coronaTexture = nullptr;
    WeTexture* flareTextures[WeLightState::flareCount] = {};
    float sortKey = 0.0f;      // squared distance to the model gathering its nearest lights
    int32_t shadowSampler = 0; // the shadow-map sampler of this light in the frame

    WeVector influenceCentre;
    float influenceRadius = -1.0f; // none yet
    bool influenceDirty = true;    // the models it reaches gather their lights again

private:
    // The models whose spheres the old or the new sphere of influence reaches gather their
    // lights again when it moved, changed its range or is marked dirty.
    void UpdateInfluence();
    // Effective durations drawn anew; the state the light time falls in and the phase within it.
    void AdvanceStates(float delta);
};
