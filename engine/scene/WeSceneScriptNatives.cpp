#include "WeSceneScriptNatives.h"

#include "WeLight.h"
#include "WeModel.h"
#include "WeParticleSystem.h"
#include "WeRecordReader.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeVirtualFileSystem.h"

#include <unordered_set>

namespace
{
// The kind of the lives of actors; their holder is the scene that holds the actor, if any.
const int kActorKind = 0;

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
    return life->kind != &kActorKind || life->holder != sweep->scene || sweep->present.count(life->object) != 0;
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

// Actors outside the scene keep no parent in it: a scene deletes its actors without detaching
// their children.
bool DetachFromScene(WeScriptLife* life, void* context)
{
    if (life->kind == &kActorKind && life->holder != context)
    {
        auto* actor = static_cast<WeActor*>(life->object);
        if (actor->parent && actor->parent->scene == context)
        {
            actor->Detach();
        }
    }
    return true;
}

void DestroyScene(lua_State* L, void* object)
{
    auto* scene = static_cast<WeScene*>(object);
    WeScriptForEachLife(L, DetachFromScene, scene);
    SweepScene(L, scene, false);
    delete scene;
}

int NewScene(lua_State* L)
{
    auto* scene = new WeScene();
    WeScriptBeginLife(L, scene, DestroyScene);
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

template <typename T, auto Field> constexpr WeScriptMemberEntry FloatMember(const char* name)
{
    return {name, WeScriptGetNumber<T, Field>, WeScriptSetFloat<T, Field>};
}

template <typename T, auto Field> constexpr WeScriptMemberEntry BoolMember(const char* name)
{
    return {name, WeScriptGetBool<T, Field>, WeScriptSetBool<T, Field>};
}

template <typename T, auto Field> constexpr WeScriptMemberEntry StringMember(const char* name)
{
    return {name, WeScriptGetString<T, Field>, WeScriptSetString<T, Field>};
}

template <typename T, auto Field> constexpr WeScriptMemberEntry PartMember(const char* name)
{
    return {name, WeScriptGetPart<T, Field>, WeScriptSetPart<T, Field>};
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
    PartMember<WeSceneConfig, &WeSceneConfig::AmbientColor>("AmbientColor"),
    BoolMember<WeSceneConfig, &WeSceneConfig::FogEnabled>("FogEnabled"),
    FloatMember<WeSceneConfig, &WeSceneConfig::FogStart>("FogStart"),
    FloatMember<WeSceneConfig, &WeSceneConfig::FogEnd>("FogEnd"),
    FloatMember<WeSceneConfig, &WeSceneConfig::FogMin>("FogMin"),
    FloatMember<WeSceneConfig, &WeSceneConfig::FogMax>("FogMax"),
    PartMember<WeSceneConfig, &WeSceneConfig::FogColor>("FogColor"),
    FloatMember<WeSceneConfig, &WeSceneConfig::Brightness>("Brightness"),
    FloatMember<WeSceneConfig, &WeSceneConfig::Contrast>("Contrast"),
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
    StringMember<WeActor, &WeActor::name>("Name"),
    {"Location", WeScriptGetPart<WeActor, LocalRow<3>>, ActorSetBy<&WeActor::SetLocation, WeVector>},
    {"Rotation", WeScriptGetPart<WeActor, &WeActor::rotation>, ActorSetBy<&WeActor::SetRotation, WeQuaternion>},
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
    StringMember<WeParticleSystem, &WeParticleSystem::MaterialName>("MaterialName"),
    FloatMember<WeParticleSystem, &WeParticleSystem::EmittingRadius>("EmittingRadius"),
    BoolMember<WeParticleSystem, &WeParticleSystem::AlignToMotion>("AlignToMotion"),
    BoolMember<WeParticleSystem, &WeParticleSystem::Relative>("Relative"),
    {"SpawnCount", WeScriptGetNumber<WeParticleSystem, &WeParticleSystem::SpawnCount>, PSSetSpawnCount},
    {"RenderPass", WeScriptGetNumber<WeParticleSystem, &WeParticleSystem::RenderPass>,
     WeScriptSetInt<WeParticleSystem, &WeParticleSystem::RenderPass>},
    BoolMember<WeParticleSystem, &WeParticleSystem::YAligned>("YAligned"),
    FloatMember<WeParticleSystem, &WeParticleSystem::LifeTime>("LifeTime"),
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
    FloatMember<PSState, &PSState::TimeLength>("TimeLength"),
    FloatMember<PSState, &PSState::EmitRate>("EmitRate"),
    FloatMember<PSState, &PSState::EmitRateDelta>("EmitRateDelta"),
    FloatMember<PSState, &PSState::FadeInTime>("FadeInTime"),
    FloatMember<PSState, &PSState::FadeInTimeDelta>("FadeInTimeDelta"),
    FloatMember<PSState, &PSState::LifeTime>("LifeTime"),
    FloatMember<PSState, &PSState::LifeTimeDelta>("LifeTimeDelta"),
    FloatMember<PSState, &PSState::FadeOutTime>("FadeOutTime"),
    FloatMember<PSState, &PSState::FadeOutTimeDelta>("FadeOutTimeDelta"),
    PartMember<PSState, &PSState::EmitterSize>("EmitterSize"),
    PartMember<PSState, &PSState::SpawnDirection>("SpawnDirection"),
    PartMember<PSState, &PSState::SpawnSpread>("SpawnSpread"),
    FloatMember<PSState, &PSState::SpawnVelocity>("SpawnVelocity"),
    FloatMember<PSState, &PSState::SpawnVelocityDelta>("SpawnVelocityDelta"),
    PartMember<PSState, &PSState::Wind>("Wind"),
    FloatMember<PSState, &PSState::Angle>("Angle"),
    FloatMember<PSState, &PSState::AngleDelta>("AngleDelta"),
    FloatMember<PSState, &PSState::Spin>("Spin"),
    FloatMember<PSState, &PSState::SpinDelta>("SpinDelta"),
    FloatMember<PSState, &PSState::SizeFromX>("SizeFromX"),
    FloatMember<PSState, &PSState::SizeFromXDelta>("SizeFromXDelta"),
    FloatMember<PSState, &PSState::SizeToX>("SizeToX"),
    FloatMember<PSState, &PSState::SizeToXDelta>("SizeToXDelta"),
    FloatMember<PSState, &PSState::SizeFromY>("SizeFromY"),
    FloatMember<PSState, &PSState::SizeFromYDelta>("SizeFromYDelta"),
    FloatMember<PSState, &PSState::SizeToY>("SizeToY"),
    FloatMember<PSState, &PSState::SizeToYDelta>("SizeToYDelta"),
    PartMember<PSState, &PSState::ColorFrom>("ColorFrom"),
    PartMember<PSState, &PSState::ColorTo>("ColorTo"),
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
    BoolMember<WeLight, &WeLight::IsDynamic>("IsDynamic"),
    {"LightType", WeScriptGetNumber<WeLight, &WeLight::LightType>, WeScriptSetInt<WeLight, &WeLight::LightType>},
    BoolMember<WeLight, &WeLight::LoopKeyStates>("LoopKeyStates"),
    BoolMember<WeLight, &WeLight::InterpolateStates>("InterpolateStates"),
    BoolMember<WeLight, &WeLight::Active>("Active"),
    FloatMember<WeLight, &WeLight::GlobalIntensity>("GlobalIntensity"),
    FloatMember<WeLight, &WeLight::Range>("Range"),
    BoolMember<WeLight, &WeLight::AffectDynamicActors>("AffectDynamicActors"),
    BoolMember<WeLight, &WeLight::AlwaysActive>("AlwaysActive"),
    StringMember<WeLight, &WeLight::ProjectorMaterialName>("ProjectorMaterialName"),
    BoolMember<WeLight, &WeLight::Corona>("Corona"),
    BoolMember<WeLight, &WeLight::Flares>("Flares"),
    StringMember<WeLight, &WeLight::CoronaTextureName>("CoronaTextureName"),
    StringMember<WeLight, FlareTexture<0>>("FlareTextureNames1"),
    StringMember<WeLight, FlareTexture<1>>("FlareTextureNames2"),
    StringMember<WeLight, FlareTexture<2>>("FlareTextureNames3"),
    StringMember<WeLight, FlareTexture<3>>("FlareTextureNames4"),
    StringMember<WeLight, FlareTexture<4>>("FlareTextureNames5"),
    FloatMember<WeLight, &WeLight::CoronaSizeX>("CoronaSizeX"),
    FloatMember<WeLight, &WeLight::CoronaSizeY>("CoronaSizeY"),
    FloatMember<WeLight, &WeLight::FlareSizeX>("FlareSizeX"),
    FloatMember<WeLight, &WeLight::FlareSizeY>("FlareSizeY"),
    FloatMember<WeLight, &WeLight::FlaresFadeInTime>("FlaresFadeInTime"),
    FloatMember<WeLight, &WeLight::FlaresFadeOutTime>("FlaresFadeOutTime"),
    BoolMember<WeLight, &WeLight::CoronaFixedSize>("CoronaFixedSize"),
    BoolMember<WeLight, &WeLight::CoronaRotation>("CoronaRotation"),
    BoolMember<WeLight, &WeLight::AlwaysShowFlares>("AlwaysShowFlares"),
    FloatMember<WeLight, &WeLight::IntensityFadeInTime>("IntensityFadeInTime"),
    FloatMember<WeLight, &WeLight::IntensityFadeOutTime>("IntensityFadeOutTime"),
    BoolMember<WeLight, &WeLight::CastShadows>("CastShadows"),
    BoolMember<WeLight, ShadowPlane<0>>("CastShadowPlanePX"),
    BoolMember<WeLight, ShadowPlane<1>>("CastShadowPlaneNX"),
    BoolMember<WeLight, ShadowPlane<2>>("CastShadowPlanePY"),
    BoolMember<WeLight, ShadowPlane<3>>("CastShadowPlaneNY"),
    BoolMember<WeLight, ShadowPlane<4>>("CastShadowPlanePZ"),
    BoolMember<WeLight, ShadowPlane<5>>("CastShadowPlaneNZ"),
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
    PartMember<WeLightState, &WeLightState::Diffuse>("Diffuse"),
    PartMember<WeLightState, &WeLightState::Specular>("Specular"),
    FloatMember<WeLightState, &WeLightState::Duration>("Duration"),
    FloatMember<WeLightState, &WeLightState::Intensity>("Intensity"),
    FloatMember<WeLightState, &WeLightState::SpecularIntensity>("SpecularIntensity"),
    FloatMember<WeLightState, &WeLightState::CoronaAlpha>("CoronaAlpha"),
    FloatMember<WeLightState, FlareAlpha<0>>("FlareAlpha1"),
    FloatMember<WeLightState, FlareAlpha<1>>("FlareAlpha2"),
    FloatMember<WeLightState, FlareAlpha<2>>("FlareAlpha3"),
    FloatMember<WeLightState, FlareAlpha<3>>("FlareAlpha4"),
    FloatMember<WeLightState, FlareAlpha<4>>("FlareAlpha5"),
    {"Delete", nullptr, nullptr, DeleteOwned<WeLightState>},
};
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
}
