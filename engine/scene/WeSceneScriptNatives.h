#pragma once

#include "WeRenderScriptNatives.h"

class WeActor;
class WeLight;
class WeParticleSystem;
class WeScene;
struct WeLightState;
struct WeParticleSystemState;
struct WeSceneConfig;

// The script classes of scenes: scenes and their configuration, actors, particle systems and
// lights with their states.

template <> struct WeScriptName<WeScene>
{
    static constexpr const char* value = "WeScene";
};
template <> struct WeScriptName<WeSceneConfig>
{
    static constexpr const char* value = "WeSceneConfig";
};
template <> struct WeScriptName<WeActor>
{
    static constexpr const char* value = "WeActor";
};
template <> struct WeScriptName<WeParticleSystem>
{
    static constexpr const char* value = "WeParticleSystem";
};
template <> struct WeScriptName<WeParticleSystemState>
{
    static constexpr const char* value = "WeParticleSystemState";
};
template <> struct WeScriptName<WeLight>
{
    static constexpr const char* value = "WeLight";
};
template <> struct WeScriptName<WeLightState>
{
    static constexpr const char* value = "WeLightState";
};

// "NewScene", "NewActor", "NewPS", "NewPSState", "NewLight", "NewLightState" and their classes;
// "WeParticleSystem" and "WeLight" derive from "WeActor". An actor that its scene deletes (in a
// Tick, or with the scene) fails in scripts from then on, like one deleted by a script.
void WeRegisterSceneScript(WeScriptRegistry& registry);
