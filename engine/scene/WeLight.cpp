#include "WeLight.h"

#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeFlareRenderer.h"
#include "WeMaterial.h"
#include "WeRandom.h"
#include "WeRecordReader.h"
#include "WeScene.h"
#include "WeTexture.h"
#include "WeTimer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace
{

// The smallest state record: one without a version word.
constexpr int64_t minimumStateRecord = 10 * 4;
constexpr int32_t oldestVersion = 6, newestReadable = 100;

void ReadColor(WeRecordReader& reader, WeColor& color)
{
    reader.ReadFloats(&color.r, 4);
}

bool WriteColor(WeFileStream& stream, const WeColor& color)
{
    return stream.WriteVector4(&color.r);
}

float Lerp(float from, float to, float phase)
{
    return from + (to - from) * phase;
}

WeColor Lerp(const WeColor& from, const WeColor& to, float phase)
{
    return {Lerp(from.r, to.r, phase), Lerp(from.g, to.g, phase), Lerp(from.b, to.b, phase),
            Lerp(from.a, to.a, phase)};
}

WeLightState Blend(const WeLightState& from, const WeLightState& to, float phase)
{
    WeLightState out;
    out.Diffuse = Lerp(from.Diffuse, to.Diffuse, phase);
    out.Specular = Lerp(from.Specular, to.Specular, phase);
    out.Duration = Lerp(from.Duration, to.Duration, phase);
    out.variation = Lerp(from.variation, to.variation, phase);
    out.effectiveDuration = Lerp(from.effectiveDuration, to.effectiveDuration, phase);
    out.Intensity = Lerp(from.Intensity, to.Intensity, phase);
    out.SpecularIntensity = Lerp(from.SpecularIntensity, to.SpecularIntensity, phase);
    out.CoronaAlpha = Lerp(from.CoronaAlpha, to.CoronaAlpha, phase);
    for (int32_t i = 0; i < WeLightState::flareCount; ++i)
        out.FlareAlpha[i] = Lerp(from.FlareAlpha[i], to.FlareAlpha[i], phase);
    return out;
}

} // namespace

void WeLightState::Read(WeRecordReader& reader)
{
    const int32_t stored = reader.ReadInt();
    if (stored < 10)
        reader.StepBack(4);
    ReadColor(reader, Diffuse);
    ReadColor(reader, Specular);
    if (stored < 10)
    {
        Duration = reader.ReadFloat();
        Intensity = reader.ReadFloat();
        return;
    }
    Intensity = reader.ReadFloat();
    SpecularIntensity = reader.ReadFloat();
    Duration = reader.ReadFloat();
    if (stored == 10)
        return;
    if (stored >= 12)
        variation = reader.ReadFloat();
    CoronaAlpha = reader.ReadFloat();
    reader.ReadFloats(FlareAlpha, flareCount);
}

bool WeLightState::Write(WeFileStream& stream) const
{
    bool written = stream.WriteInt(version) && WriteColor(stream, Diffuse) && WriteColor(stream, Specular);
    for (const float value : {Intensity, SpecularIntensity, Duration, variation, CoronaAlpha})
        written = written && stream.WriteFloat(value);
    for (const float value : FlareAlpha)
        written = written && stream.WriteFloat(value);
    return written;
}

WeLight::WeLight()
{
    type = WeActorTypeLight;
    overrideModelName = "Config.Assets.Light";
}

WeLight::~WeLight()
{
    flareRenderer.RemoveLight(this);
}

void WeLight::Kill()
{
    if (IntensityFadeOutTime > 0.0f)
    {
        if (fadeOutTimer < 0.0f)
            fadeOutTimer = 0.0f;
        return;
    }
    WeActor::Kill();
}

WeString WeLight::GetDisplayName() const
{
    return IsDynamic ? name + " <DYNAMIC>" : name;
}

void WeLight::AdvanceStates(float delta)
{
    float total = 0.0f;
    for (WeLightState& state : states)
    {
        state.effectiveDuration = state.Duration + (float(WeRand()) * 3.051851e-5f - 0.5f) * state.variation;
        total += state.effectiveDuration;
    }
    lightTime += delta;
    if (LoopKeyStates && total > 0.0f && lightTime >= total)
        lightTime = std::fmod(lightTime, total);
    float start = 0.0f;
    for (auto state = states.begin(); state != states.end(); ++state)
    {
        const float end = start + state->effectiveDuration;
        if (end > lightTime)
        {
            statePhase =
                state->effectiveDuration > 0.0f ? (lightTime - start) / state->effectiveDuration : 0.0f;
            auto next = state;
            ++next;
            const WeLightState& following = next == states.end() ? states.First() : *next;
            if (InterpolateStates)
                current = Blend(*state, following, statePhase);
            else
                current = *state;
            return;
        }
        start = end;
    }
    current = WeLightState();
}

void WeLight::Tick()
{
    const float delta = timer.deltaTime;
    if (Range > maxRange)
        Range = maxRange;
    fade = 1.0f;
    shadowSampler = 0; // the shadow-map renderer hands out this frame's slots
    const float age = (scene ? scene->time : 0.0f) - creationTime;
    if (IntensityFadeInTime > age)
        fade = age / IntensityFadeInTime;
    if (fadeOutTimer >= 0.0f)
    {
        fadeOutTimer += delta;
        if (fadeOutTimer >= IntensityFadeOutTime)
            WeActor::Kill();
        else
            fade *= 1.0f - fadeOutTimer / IntensityFadeOutTime;
    }
    AdvanceStates(delta);
    WeActor::Tick();
    UpdateInfluence();
}

void WeLight::UpdateInfluence()
{
    const WeVector centre = GetWorldPosition();
    const bool moved = centre.x != influenceCentre.x || centre.y != influenceCentre.y ||
                       centre.z != influenceCentre.z || Range != influenceRadius;
    if (scene && (moved || influenceDirty))
    {
        // A sphere of no radius yet (or a negative range) reaches nothing.
        const auto reaches = [](const WeVector& at, float radius, const WeActor& actor)
        {
            const float reach = radius + actor.sphereRadius;
            return radius >= 0.0f && reach > 0.0f && d3dx::D3DXVec3Length(actor.sphereCentre - at) < reach;
        };
        scene->actors.ForEach(
            [&](const WeString&, WeActor* actor)
            {
                if (actor->model &&
                    (reaches(influenceCentre, influenceRadius, *actor) || reaches(centre, Range, *actor)))
                    actor->model->InvalidateLights();
            });
    }
    influenceCentre = centre;
    influenceRadius = Range;
    influenceDirty = false;
}

bool WeLight::SaveLight(WeFileStream& stream) const
{
    bool written = stream.WriteInt(version) && stream.WriteBool(IsDynamic) && stream.WriteInt(LightType) &&
                   stream.WriteBool(LoopKeyStates) && stream.WriteBool(AffectDynamicActors) &&
                   stream.WriteFloat(Range) && stream.WriteFloat(angles[0]) && stream.WriteFloat(angles[1]) &&
                   stream.WriteBool(InterpolateStates) && stream.WriteBool(projectorSwitch) &&
                   stream.WriteBool(secondSwitch) && stream.WriteString(ProjectorMaterialName) &&
                   stream.WriteBool(Corona) && stream.WriteBool(Flares) && stream.WriteFloat(CoronaSizeX) &&
                   stream.WriteFloat(CoronaSizeY) && stream.WriteFloat(FlareSizeX) &&
                   stream.WriteFloat(FlareSizeY) && stream.WriteString(CoronaTextureName);
    for (const WeString& flare : FlareTextureNames)
        written = written && stream.WriteString(flare);
    written = written && stream.WriteFloat(FlaresFadeInTime) && stream.WriteFloat(FlaresFadeOutTime) &&
              stream.WriteInt(states.GetCount());
    for (const WeLightState& state : states)
        written = written && state.Write(stream);
    written = written && stream.WriteBool(CoronaFixedSize) && stream.WriteBool(CoronaRotation) &&
              stream.WriteBool(AlwaysShowFlares) && stream.WriteFloat(furtherValue) &&
              stream.WriteBool(CastShadows);
    for (const bool plane : CastShadowPlane)
        written = written && stream.WriteBool(plane);
    return written;
}

bool WeLight::LoadLight(WeRecordReader& reader)
{
    const int32_t stored = reader.ReadInt();
    // Records without a version word and the earliest versions have layouts of their own.
    if (stored < oldestVersion || stored > newestReadable)
        return reader.Fail();
    IsDynamic = reader.ReadBool();
    LightType = reader.ReadInt();
    LoopKeyStates = reader.ReadBool();
    AffectDynamicActors = reader.ReadBool();
    Range = reader.ReadFloat();
    reader.ReadFloats(angles, 2);
    InterpolateStates = reader.ReadBool();
    projectorSwitch = reader.ReadBool();
    secondSwitch = reader.ReadBool();
    reader.ReadString(ProjectorMaterialName);
    Corona = reader.ReadBool();
    Flares = reader.ReadBool();
    CoronaSizeX = reader.ReadFloat();
    CoronaSizeY = reader.ReadFloat();
    FlareSizeX = reader.ReadFloat();
    FlareSizeY = reader.ReadFloat();
    reader.ReadString(CoronaTextureName);
    for (WeString& flare : FlareTextureNames)
        reader.ReadString(flare);
    if (stored <= 9)
        reader.Skip(6 * 4);
    FlaresFadeInTime = reader.ReadFloat();
    FlaresFadeOutTime = reader.ReadFloat();
    const int32_t count = reader.ReadCount(minimumStateRecord);
    states.Clear();
    for (int32_t i = 0; i < count && reader.Ok(); ++i)
        states.PushBack().Read(reader);
    if (stored >= 7)
        CoronaFixedSize = reader.ReadBool();
    if (stored >= 11)
        CoronaRotation = reader.ReadBool();
    if (stored >= 12)
        AlwaysShowFlares = reader.ReadBool();
    if (stored >= 8 && stored <= 12)
        reader.Skip(2 * 4);
    if (stored >= 9)
        furtherValue = reader.ReadFloat();
    if (stored >= 14)
        CastShadows = reader.ReadBool();
    for (int32_t plane = 0; plane < 6 && stored >= 15; ++plane)
        CastShadowPlane[plane] = reader.ReadBool();
    return reader.Ok();
}

bool WeLight::Save(WeFileStream& stream)
{
    return WeActor::Save(stream) && SaveLight(stream);
}

bool WeLight::Load(WeRecordReader& reader)
{
    if (!WeActor::Load(reader) || !LoadLight(reader))
        return false;
    PrepareTextures();
    return true;
}

void WeLight::PrepareTextures()
{
    if (projectorSwitch && !projectorMaterial && !ProjectorMaterialName.IsEmpty())
        projectorMaterial = materialManager.Load(ProjectorMaterialName);
    if (Corona && !coronaTexture && !CoronaTextureName.IsEmpty())
        coronaTexture = textures.Load(CoronaTextureName);
    for (int32_t i = 0; i < WeLightState::flareCount && Flares; ++i)
        if (!flareTextures[i] && !FlareTextureNames[i].IsEmpty())
            flareTextures[i] = textures.Load(FlareTextureNames[i]);
}

void WeLight::OnAddedToScene()
{
    physicModel.type = WePhysicModel::none;
    const bool editor = engine.settings.editorMode;
    active = editor;
    needsTick = true;
    for (bool& flag : staticFlags)
        flag = !editor;
    WeActor::OnAddedToScene();
    PrepareTextures();
}

void WeLight::CopyFrom(const WeActor& source)
{
    WeActor::CopyFrom(source);
    const auto* other = dynamic_cast<const WeLight*>(&source);
    if (!other)
        return;
    IsDynamic = other->IsDynamic;
    CastShadows = other->CastShadows;
    std::copy(std::begin(other->CastShadowPlane), std::end(other->CastShadowPlane), CastShadowPlane);
    LightType = other->LightType;
    LoopKeyStates = other->LoopKeyStates;
    InterpolateStates = other->InterpolateStates;
    states = other->states;
    Active = other->Active;
    GlobalIntensity = other->GlobalIntensity;
    Range = other->Range;
    furtherValue = other->furtherValue;
    angles[0] = other->angles[0];
    angles[1] = other->angles[1];
    AffectDynamicActors = other->AffectDynamicActors;
    AlwaysActive = other->AlwaysActive;
    projectorSwitch = other->projectorSwitch;
    secondSwitch = other->secondSwitch;
    ProjectorMaterialName = other->ProjectorMaterialName;
    Corona = other->Corona;
    Flares = other->Flares;
    CoronaTextureName = other->CoronaTextureName;
    std::copy(std::begin(other->FlareTextureNames), std::end(other->FlareTextureNames), FlareTextureNames);
    CoronaSizeX = other->CoronaSizeX;
    CoronaSizeY = other->CoronaSizeY;
    FlareSizeX = other->FlareSizeX;
    FlareSizeY = other->FlareSizeY;
    FlaresFadeInTime = other->FlaresFadeInTime;
    FlaresFadeOutTime = other->FlaresFadeOutTime;
    CoronaFixedSize = other->CoronaFixedSize;
    CoronaRotation = other->CoronaRotation;
    AlwaysShowFlares = other->AlwaysShowFlares;
    IntensityFadeInTime = other->IntensityFadeInTime;
    IntensityFadeOutTime = other->IntensityFadeOutTime;
    projectorMaterial = other->projectorMaterial;
    coronaTexture = other->coronaTexture;
    std::copy(std::begin(other->flareTextures), std::end(other->flareTextures), flareTextures);
}
