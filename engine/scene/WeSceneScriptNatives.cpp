#include "WeSceneScriptNatives.h"

#include "WeLight.h"
#include "WeModel.h"
#include "WeParticleSystem.h"
#include "WeRecordReader.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeScriptNatives.h"
#include "WeVirtualFileSystem.h"

#include <unordered_set>

namespace
{
// The kinds of the lives of actors (whose holder is the scene that holds the actor, if any) and
// of scenes.
const char kActorKind = 'a';
const char kSceneKind = 's';

void DestroyActor(lua_State*, void* object)
{
    delete static_cast<WeActor*>(object);
}

// Pushes a new actor of the class, owned by the script until a scene takes it.
template <typename T> int PushNewActor(lua_State* L, T* actor)
{
    WeScriptBeginLife(L, actor, DestroyActor)->kind = &kActorKind;
    return WeScriptPushLiving(L, WeScriptName<T>::value, actor, actor);
}

// Pushes an actor that scripts may not have reached yet, or nil.
int PushActor(lua_State* L, WeActor* actor)
{
    if (!actor)
    {
        lua_pushnil(L);
        return 1;
    }
    if (!WeScriptFindLife(L, actor))
    {
        WeScriptLife* life = WeScriptBeginLife(L, actor, nullptr);
        life->kind = &kActorKind;
        life->holder = actor->scene;
    }
    return WeScriptPushLiving(L, "WeActor", actor, actor);
}

void RequireDevice(lua_State* L)
{
    if (!renderDevice.device)
    {
        luaL_error(L, "no render device");
    }
}

// --- Scenes

struct SceneSweep
{
    const WeScene* scene;
    std::unordered_set<const void*> present;
};

// Ends the lives of actors the scene held and no longer holds.
bool KeepPresentActor(WeScriptLife* life, void* context)
{
    const auto* sweep = static_cast<SceneSweep*>(context);
    return life->kind != &kActorKind || life->holder != sweep->scene ||
           sweep->present.count(life->object) != 0;
}

void SweepScene(lua_State* L, WeScene* scene, bool keepActors)
{
    SceneSweep sweep{scene, {}};
    if (keepActors)
    {
        scene->actors.ForEach([&](const WeString&, WeActor* actor) { sweep.present.insert(actor); });
    }
    WeScriptForEachLife(L, KeepPresentActor, &sweep);
}

// No parent link crosses the scene's border: a scene deletes its actors without detaching their
// children or leaving their parents.
bool DetachAcrossScene(WeScriptLife* life, void* context)
{
    if (life->kind == &kActorKind)
    {
        auto* actor = static_cast<WeActor*>(life->object);
        if (actor->parent && (actor->scene == context) != (actor->parent->scene == context))
        {
            actor->Detach();
        }
    }
    return true;
}

void DestroyScene(lua_State* L, void* object)
{
    auto* scene = static_cast<WeScene*>(object);
    WeScriptForEachLife(L, DetachAcrossScene, scene);
    SweepScene(L, scene, false);
    delete scene;
}

int NewScene(lua_State* L)
{
    auto* scene = new WeScene();
    WeScriptBeginLife(L, scene, DestroyScene)->kind = &kSceneKind;
    return WeScriptPushLiving(L, "WeScene", scene, scene);
}

int SceneDelete(lua_State* L)
{
    WeScriptDeleteObject(L, "WeScene", DestroyScene);
    return 0;
}

int SceneLoad(lua_State* L)
{
    WeScene* scene = WeScriptSelf<WeScene>(L);
    luaL_checkstring(L, 2);
    bool finished = false;
    {
        const WeString name = WeScriptCheckString(L, 2);
        finished = scene->Load(name);
    }
    SweepScene(L, scene, true);
    lua_pushboolean(L, finished);
    return 1;
}

int SceneAddActor(lua_State* L)
{
    WeScene* scene = WeScriptSelf<WeScene>(L);
    auto* actor = WeScriptArg<WeActor>(L, 2);
    scene->AddActor(actor);
    WeScriptLife* life = WeScriptFindLife(L, actor);
    life->destroy = nullptr;
    life->holder = scene;
    return 0;
}

int SceneTick(lua_State* L)
{
    WeScene* scene = WeScriptSelf<WeScene>(L);
    scene->Tick();
    SweepScene(L, scene, true);
    return 0;
}

int SceneRender(lua_State* L)
{
    WeScene* scene = WeScriptSelf<WeScene>(L);
    auto* camera = WeScriptArg<WeCamera>(L, 2);
    RequireDevice(L);
    scene->Render(camera);
    return 0;
}

int SceneFindActor(lua_State* L)
{
    WeScene* scene = WeScriptSelf<WeScene>(L);
    luaL_checkstring(L, 2);
    WeActor* found = nullptr;
    {
        const WeString name = WeScriptCheckString(L, 2);
        found = scene->FindActor(name);
    }
    return PushActor(L, found);
}

int SceneConfig(lua_State* L)
{
    return WeScriptPushField(L, "WeSceneConfig", &WeScriptSelf<WeScene>(L)->config);
}

int ConfigSetupRenderDevice(lua_State* L)
{
    const WeSceneConfig* config = WeScriptSelf<WeSceneConfig>(L);
    RequireDevice(L);
    config->SetupRenderDevice();
    return 0;
}

template <typename T, auto Field> constexpr WeScriptMemberEntry ReadOnly(const char* name)
{
    return {name, WeScriptGetNumber<T, Field>};
}

const WeScriptMemberEntry kSceneMembers[] = {
    {"Config", SceneConfig},
    {"Delete", nullptr, nullptr, SceneDelete},
    {"Load", nullptr, nullptr, SceneLoad},
    {"AddActor", nullptr, nullptr, SceneAddActor},
    {"Tick", nullptr, nullptr, SceneTick},
    {"Render", nullptr, nullptr, SceneRender},
    {"FindActor", nullptr, nullptr, SceneFindActor},
};

const WeScriptMemberEntry kConfigMembers[] = {
    ReadOnly<WeSceneConfig, &WeSceneConfig::FHDRI0>("FHDRI0"),
    ReadOnly<WeSceneConfig, &WeSceneConfig::FHDRI1>("FHDRI1"),
    ReadOnly<WeSceneConfig, &WeSceneConfig::FHDRI2>("FHDRI2"),
    WeScriptPartMember<WeSceneConfig, &WeSceneConfig::AmbientColor>("AmbientColor"),
    WeScriptBoolMember<WeSceneConfig, &WeSceneConfig::FogEnabled>("FogEnabled"),
    WeScriptFloatMember<WeSceneConfig, &WeSceneConfig::FogStart>("FogStart"),
    WeScriptFloatMember<WeSceneConfig, &WeSceneConfig::FogEnd>("FogEnd"),
    WeScriptFloatMember<WeSceneConfig, &WeSceneConfig::FogMin>("FogMin"),
    WeScriptFloatMember<WeSceneConfig, &WeSceneConfig::FogMax>("FogMax"),
    WeScriptPartMember<WeSceneConfig, &WeSceneConfig::FogColor>("FogColor"),
    WeScriptFloatMember<WeSceneConfig, &WeSceneConfig::Brightness>("Brightness"),
    WeScriptFloatMember<WeSceneConfig, &WeSceneConfig::Contrast>("Contrast"),
    {"SetupRenderDevice", nullptr, nullptr, ConfigSetupRenderDevice},
};

// --- Actors

int NewActor(lua_State* L)
{
    luaL_checkstring(L, 1);
    const int32_t preset = lua_isnoneornil(L, 2) ? 0 : WeScriptCheckInt(L, 2);
    auto* actor = new WeActor();
    actor->modelName = WeScriptCheckString(L, 1);
    actor->materialPreset = preset;
    actor->model.reset(modelManager.Load(actor->modelName, preset));
    return PushNewActor(L, actor);
}

template <int Row> WeVector& LocalRow(WeActor& actor)
{
    return *reinterpret_cast<WeVector*>(actor.localMatrix.m[Row]);
}

template <int Row> WeVector& WorldRow(WeActor& actor)
{
    return *reinterpret_cast<WeVector*>(const_cast<WeMatrix&>(actor.GetWorldMatrix()).m[Row]);
}

template <auto Operation, typename Value> int ActorSetBy(lua_State* L)
{
    WeActor* actor = WeScriptSelf<WeActor>(L);
    (actor->*Operation)(*WeScriptArg<Value>(L, 3));
    return 0;
}

int ActorParent(lua_State* L)
{
    return PushActor(L, WeScriptSelf<WeActor>(L)->parent);
}

// A parent that is the actor or one of its descendants would make a loop.
int ActorSetParent(lua_State* L)
{
    WeActor* actor = WeScriptSelf<WeActor>(L);
    auto* parent = static_cast<WeActor*>(WeScriptOptObjectAt(L, 3, "WeActor"));
    for (const WeActor* up = parent; up; up = up->parent)
    {
        if (up == actor)
        {
            luaL_argerror(L, 3, "the actor or one of its children");
        }
    }
    actor->SetParent(parent);
    return 0;
}

const WeScriptMemberEntry kActorMembers[] = {
    {"Type", WeScriptGetNumber<WeActor, &WeActor::type>},
    WeScriptStringMember<WeActor, &WeActor::name>("Name"),
    {"Location", WeScriptGetPart<WeActor, LocalRow<3>>, ActorSetBy<&WeActor::SetLocation, WeVector>},
    {"Rotation", WeScriptGetPart<WeActor, &WeActor::rotation>,
     ActorSetBy<&WeActor::SetRotation, WeQuaternion>},
    {"XAxis", WeScriptGetPart<WeActor, LocalRow<0>>},
    {"YAxis", WeScriptGetPart<WeActor, LocalRow<1>>},
    {"ZAxis", WeScriptGetPart<WeActor, LocalRow<2>>},
    {"AbsLocation", WeScriptGetPart<WeActor, WorldRow<3>>},
    {"AbsXAxis", WeScriptGetPart<WeActor, WorldRow<0>>},
    {"AbsYAxis", WeScriptGetPart<WeActor, WorldRow<1>>},
    {"AbsZAxis", WeScriptGetPart<WeActor, WorldRow<2>>},
    {"Scale", WeScriptGetPart<WeActor, &WeActor::scale>, ActorSetBy<&WeActor::SetScale, WeVector>},
    {"ParentActor", ActorParent, ActorSetParent},
};

// --- Particle systems

int NewPS(lua_State* L)
{
    return PushNewActor(L, new WeParticleSystem());
}

template <typename T> int ActorDelete(lua_State* L)
{
    WeScriptDeleteObject(L, WeScriptName<T>::value, DestroyActor);
    return 0;
}

int PSLoadPreset(lua_State* L)
{
    WeParticleSystem* system = WeScriptSelf<WeParticleSystem>(L);
    luaL_checkstring(L, 2);
    bool loaded = false;
    {
        const WeString name = WeScriptCheckString(L, 2);
        loaded = system->LoadPreset(WeVirtualFileSystem::GetFileSystem(), name);
    }
    lua_pushboolean(L, loaded);
    return 1;
}

int PSSetSpawnCount(lua_State* L)
{
    WeParticleSystem* system = WeScriptSelf<WeParticleSystem>(L);
    system->SpawnCount = WeScriptCheckIndex(L, 3, WeParticleSystem::countLimit + 1);
    return 0;
}

const WeScriptMemberEntry kSystemMembers[] = {
    WeScriptStringMember<WeParticleSystem, &WeParticleSystem::MaterialName>("MaterialName"),
    WeScriptFloatMember<WeParticleSystem, &WeParticleSystem::EmittingRadius>("EmittingRadius"),
    WeScriptBoolMember<WeParticleSystem, &WeParticleSystem::AlignToMotion>("AlignToMotion"),
    WeScriptBoolMember<WeParticleSystem, &WeParticleSystem::Relative>("Relative"),
    {"SpawnCount", WeScriptGetNumber<WeParticleSystem, &WeParticleSystem::SpawnCount>, PSSetSpawnCount},
    {"RenderPass", WeScriptGetNumber<WeParticleSystem, &WeParticleSystem::RenderPass>,
     WeScriptSetInt<WeParticleSystem, &WeParticleSystem::RenderPass>},
    WeScriptBoolMember<WeParticleSystem, &WeParticleSystem::YAligned>("YAligned"),
    WeScriptFloatMember<WeParticleSystem, &WeParticleSystem::LifeTime>("LifeTime"),
    {"Delete", nullptr, nullptr, ActorDelete<WeParticleSystem>},
    {"LoadPresset", nullptr, nullptr, PSLoadPreset},
};

template <typename T> int NewOwned(lua_State* L)
{
    auto* object = new T();
    WeScriptBeginLife(L, object, WeScriptDestroyNew<T>);
    return WeScriptPushLiving(L, WeScriptName<T>::value, object, object);
}

template <typename T> int DeleteOwned(lua_State* L)
{
    WeScriptDeleteObject(L, WeScriptName<T>::value, WeScriptDestroyNew<T>);
    return 0;
}

using PSState = WeParticleSystemState;

const WeScriptMemberEntry kSystemStateMembers[] = {
    WeScriptFloatMember<PSState, &PSState::TimeLength>("TimeLength"),
    WeScriptFloatMember<PSState, &PSState::EmitRate>("EmitRate"),
    WeScriptFloatMember<PSState, &PSState::EmitRateDelta>("EmitRateDelta"),
    WeScriptFloatMember<PSState, &PSState::FadeInTime>("FadeInTime"),
    WeScriptFloatMember<PSState, &PSState::FadeInTimeDelta>("FadeInTimeDelta"),
    WeScriptFloatMember<PSState, &PSState::LifeTime>("LifeTime"),
    WeScriptFloatMember<PSState, &PSState::LifeTimeDelta>("LifeTimeDelta"),
    WeScriptFloatMember<PSState, &PSState::FadeOutTime>("FadeOutTime"),
    WeScriptFloatMember<PSState, &PSState::FadeOutTimeDelta>("FadeOutTimeDelta"),
    WeScriptPartMember<PSState, &PSState::EmitterSize>("EmitterSize"),
    WeScriptPartMember<PSState, &PSState::SpawnDirection>("SpawnDirection"),
    WeScriptPartMember<PSState, &PSState::SpawnSpread>("SpawnSpread"),
    WeScriptFloatMember<PSState, &PSState::SpawnVelocity>("SpawnVelocity"),
    WeScriptFloatMember<PSState, &PSState::SpawnVelocityDelta>("SpawnVelocityDelta"),
    WeScriptPartMember<PSState, &PSState::Wind>("Wind"),
    WeScriptFloatMember<PSState, &PSState::Angle>("Angle"),
    WeScriptFloatMember<PSState, &PSState::AngleDelta>("AngleDelta"),
    WeScriptFloatMember<PSState, &PSState::Spin>("Spin"),
    WeScriptFloatMember<PSState, &PSState::SpinDelta>("SpinDelta"),
    WeScriptFloatMember<PSState, &PSState::SizeFromX>("SizeFromX"),
    WeScriptFloatMember<PSState, &PSState::SizeFromXDelta>("SizeFromXDelta"),
    WeScriptFloatMember<PSState, &PSState::SizeToX>("SizeToX"),
    WeScriptFloatMember<PSState, &PSState::SizeToXDelta>("SizeToXDelta"),
    WeScriptFloatMember<PSState, &PSState::SizeFromY>("SizeFromY"),
    WeScriptFloatMember<PSState, &PSState::SizeFromYDelta>("SizeFromYDelta"),
    WeScriptFloatMember<PSState, &PSState::SizeToY>("SizeToY"),
    WeScriptFloatMember<PSState, &PSState::SizeToYDelta>("SizeToYDelta"),
    WeScriptPartMember<PSState, &PSState::ColorFrom>("ColorFrom"),
    WeScriptPartMember<PSState, &PSState::ColorTo>("ColorTo"),
    {"Delete", nullptr, nullptr, DeleteOwned<PSState>},
};

// --- Lights

int NewLight(lua_State* L)
{
    return PushNewActor(L, new WeLight());
}

int LightAddState(lua_State* L)
{
    WeLight* light = WeScriptSelf<WeLight>(L);
    light->states.PushBack(*WeScriptArg<WeLightState>(L, 2));
    return 0;
}

int LightRemoveState(lua_State* L)
{
    WeLight* light = WeScriptSelf<WeLight>(L);
    const WeLightState* state = WeScriptArg<WeLightState>(L, 2);
    for (light->states.Reset(); !light->states.IsEnd(); light->states.Next())
    {
        if (&light->states.GetItem() == state)
        {
            light->states.RemoveCurrent();
            break;
        }
    }
    return 0;
}

int LightLoad(lua_State* L)
{
    WeLight* light = WeScriptSelf<WeLight>(L);
    luaL_checkstring(L, 2);
    bool opened = false;
    {
        const WeString name = WeScriptCheckString(L, 2);
        WeVirtualFileSystem* fileSystem = WeVirtualFileSystem::GetFileSystem();
        opened = fileSystem && fileSystem->Open(name, WeAssetType::Light);
        if (opened)
        {
            WeRecordReader reader(fileSystem->GetStream(), fileSystem->GetFileSize());
            light->LoadLight(reader);
            fileSystem->Close();
            light->PrepareTextures();
        }
    }
    lua_pushboolean(L, opened);
    return 1;
}

template <int Index> bool& ShadowPlane(WeLight& light)
{
    return light.CastShadowPlane[Index];
}

template <int Index> WeString& FlareTexture(WeLight& light)
{
    return light.FlareTextureNames[Index];
}

const WeScriptMemberEntry kLightMembers[] = {
    WeScriptBoolMember<WeLight, &WeLight::IsDynamic>("IsDynamic"),
    {"LightType", WeScriptGetNumber<WeLight, &WeLight::LightType>,
     WeScriptSetInt<WeLight, &WeLight::LightType>},
    WeScriptBoolMember<WeLight, &WeLight::LoopKeyStates>("LoopKeyStates"),
    WeScriptBoolMember<WeLight, &WeLight::InterpolateStates>("InterpolateStates"),
    WeScriptBoolMember<WeLight, &WeLight::Active>("Active"),
    WeScriptFloatMember<WeLight, &WeLight::GlobalIntensity>("GlobalIntensity"),
    WeScriptFloatMember<WeLight, &WeLight::Range>("Range"),
    WeScriptBoolMember<WeLight, &WeLight::AffectDynamicActors>("AffectDynamicActors"),
    WeScriptBoolMember<WeLight, &WeLight::AlwaysActive>("AlwaysActive"),
    WeScriptStringMember<WeLight, &WeLight::ProjectorMaterialName>("ProjectorMaterialName"),
    WeScriptBoolMember<WeLight, &WeLight::Corona>("Corona"),
    WeScriptBoolMember<WeLight, &WeLight::Flares>("Flares"),
    WeScriptStringMember<WeLight, &WeLight::CoronaTextureName>("CoronaTextureName"),
    WeScriptStringMember<WeLight, FlareTexture<0>>("FlareTextureNames1"),
    WeScriptStringMember<WeLight, FlareTexture<1>>("FlareTextureNames2"),
    WeScriptStringMember<WeLight, FlareTexture<2>>("FlareTextureNames3"),
    WeScriptStringMember<WeLight, FlareTexture<3>>("FlareTextureNames4"),
    WeScriptStringMember<WeLight, FlareTexture<4>>("FlareTextureNames5"),
    WeScriptFloatMember<WeLight, &WeLight::CoronaSizeX>("CoronaSizeX"),
    WeScriptFloatMember<WeLight, &WeLight::CoronaSizeY>("CoronaSizeY"),
    WeScriptFloatMember<WeLight, &WeLight::FlareSizeX>("FlareSizeX"),
    WeScriptFloatMember<WeLight, &WeLight::FlareSizeY>("FlareSizeY"),
    WeScriptFloatMember<WeLight, &WeLight::FlaresFadeInTime>("FlaresFadeInTime"),
    WeScriptFloatMember<WeLight, &WeLight::FlaresFadeOutTime>("FlaresFadeOutTime"),
    WeScriptBoolMember<WeLight, &WeLight::CoronaFixedSize>("CoronaFixedSize"),
    WeScriptBoolMember<WeLight, &WeLight::CoronaRotation>("CoronaRotation"),
    WeScriptBoolMember<WeLight, &WeLight::AlwaysShowFlares>("AlwaysShowFlares"),
    WeScriptFloatMember<WeLight, &WeLight::IntensityFadeInTime>("IntensityFadeInTime"),
    WeScriptFloatMember<WeLight, &WeLight::IntensityFadeOutTime>("IntensityFadeOutTime"),
    WeScriptBoolMember<WeLight, &WeLight::CastShadows>("CastShadows"),
    WeScriptBoolMember<WeLight, ShadowPlane<0>>("CastShadowPlanePX"),
    WeScriptBoolMember<WeLight, ShadowPlane<1>>("CastShadowPlaneNX"),
    WeScriptBoolMember<WeLight, ShadowPlane<2>>("CastShadowPlanePY"),
    WeScriptBoolMember<WeLight, ShadowPlane<3>>("CastShadowPlaneNY"),
    WeScriptBoolMember<WeLight, ShadowPlane<4>>("CastShadowPlanePZ"),
    WeScriptBoolMember<WeLight, ShadowPlane<5>>("CastShadowPlaneNZ"),
    {"Delete", nullptr, nullptr, ActorDelete<WeLight>},
    {"AddLightState", nullptr, nullptr, LightAddState},
    {"RemoveLightState", nullptr, nullptr, LightRemoveState},
    {"Load", nullptr, nullptr, LightLoad},
};

template <int Index> float& FlareAlpha(WeLightState& state)
{
    return state.FlareAlpha[Index];
}

const WeScriptMemberEntry kLightStateMembers[] = {
    WeScriptPartMember<WeLightState, &WeLightState::Diffuse>("Diffuse"),
    WeScriptPartMember<WeLightState, &WeLightState::Specular>("Specular"),
    WeScriptFloatMember<WeLightState, &WeLightState::Duration>("Duration"),
    WeScriptFloatMember<WeLightState, &WeLightState::Intensity>("Intensity"),
    WeScriptFloatMember<WeLightState, &WeLightState::SpecularIntensity>("SpecularIntensity"),
    WeScriptFloatMember<WeLightState, &WeLightState::CoronaAlpha>("CoronaAlpha"),
    WeScriptFloatMember<WeLightState, FlareAlpha<0>>("FlareAlpha1"),
    WeScriptFloatMember<WeLightState, FlareAlpha<1>>("FlareAlpha2"),
    WeScriptFloatMember<WeLightState, FlareAlpha<2>>("FlareAlpha3"),
    WeScriptFloatMember<WeLightState, FlareAlpha<3>>("FlareAlpha4"),
    WeScriptFloatMember<WeLightState, FlareAlpha<4>>("FlareAlpha5"),
    {"Delete", nullptr, nullptr, DeleteOwned<WeLightState>},
};

bool NoteResourceUser(WeScriptLife* life, void* context)
{
    *static_cast<bool*>(context) |= life->kind == &kActorKind || life->kind == &kSceneKind;
    return true;
}

// Models, materials and textures of scenes and actors would be freed under them.
void RefuseWhileScenesLive(lua_State* L)
{
    bool used = false;
    WeScriptForEachLife(L, NoteResourceUser, &used);
    if (used)
    {
        luaL_error(L, "scenes or actors made or reached by scripts still use the resources");
    }
}
} // namespace

void WeRegisterSceneScript(WeScriptRegistry& registry)
{
    registry.RegisterFunction("NewScene", NewScene);
    registry.RegisterFunction("NewActor", NewActor);
    registry.RegisterFunction("NewPSState", NewOwned<PSState>);
    registry.RegisterFunction("NewPS", NewPS);
    registry.RegisterFunction("NewLightState", NewOwned<WeLightState>);
    registry.RegisterFunction("NewLight", NewLight);
    WeScriptRegisterMembers(registry, "WeScene", kSceneMembers);
    WeScriptRegisterMembers(registry, "WeSceneConfig", kConfigMembers);
    WeScriptRegisterMembers(registry, "WeActor", kActorMembers);
    WeScriptRegisterMembers(registry, "WeParticleSystem", kSystemMembers);
    WeScriptRegisterMembers(registry, "WeParticleSystemState", kSystemStateMembers);
    WeScriptRegisterMembers(registry, "WeLight", kLightMembers);
    WeScriptRegisterMembers(registry, "WeLightState", kLightStateMembers);
    registry.RegisterParent("WeParticleSystem", "WeActor");
    registry.RegisterParent("WeLight", "WeActor");
    WeAddScriptFreeAllGuard(RefuseWhileScenesLive);
}
