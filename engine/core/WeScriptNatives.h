#pragma once

#include "WeScript.h"

class WeEngine;
class WeInput;
class WeTimer;

// The script classes of the engine's core objects, with the natives behind their members.
// Each function registers one class and the global object scripts reach it by.

// The holder of the lives of textures and fonts reached by scripts: they end when the engine's
// "FreeAll" frees its resources.
extern const int weScriptResources;

// Run by the engine's "FreeAll" before it frees the resources, in the order added (each once): a
// guard refuses with a script error while objects of scripts still use them, or settles what
// would keep pointers to them.
using WeScriptFreeAllGuard = void (*)(lua_State* L);
void WeAddScriptFreeAllGuard(WeScriptFreeAllGuard guard);

// Class "WeTimer" (getters "DeltaTime", "ElapsedTime", "AbsoluteTime"), the global "timer"
// and the function "log", which accepts anything and does nothing.
void WeRegisterTimerScript(WeScriptRegistry& registry, WeTimer* instance);

// Class "WeEngine" (methods "FreeAll", "BeginFixedLoading", "EndFixedLoading") and the
// global "engine".
void WeRegisterEngineScript(WeScriptRegistry& registry, WeEngine* instance);

// Class "WeInput" and the global "input": getters of the cursor, the movements, the modifiers
// and "SomethingClicked"; methods taking a key (0-255), mouse button (0-7) or controller
// button (0-127), each returning a bool. A number outside its range is a script error.
void WeRegisterInputScript(WeScriptRegistry& registry, WeInput* instance);
