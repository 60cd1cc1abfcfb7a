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

WE_SCRIPT_NAME(WeScene)
WE_SCRIPT_NAME(WeSceneConfig)
WE_SCRIPT_NAME(WeActor)
WE_SCRIPT_NAME(WeParticleSystem)
WE_SCRIPT_NAME(WeParticleSystemState)
WE_SCRIPT_NAME(WeLight)
WE_SCRIPT_NAME(WeLightState)

// "NewScene", "NewActor", "NewPS", "NewPSState", "NewLight", "NewLightState" and their classes;
// "WeParticleSystem" and "WeLight" derive from "WeActor". An actor that its scene deletes (in a
// Tick, or with the scene) fails in scripts from then on, like one deleted by a script.
void WeRegisterSceneScript(WeScriptRegistry& registry);
