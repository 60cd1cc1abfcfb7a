#pragma once

#include "WeScript.h"

class WeTimer;

// The script classes of the engine's core objects, with the natives behind their members.
// Each function registers one class and the global object scripts reach it by.

// Class "WeTimer" (getters "DeltaTime", "ElapsedTime", "AbsoluteTime"), the global "timer"
// and the function "log", which accepts anything and does nothing.
void WeRegisterTimerScript(WeScriptRegistry& registry, WeTimer* instance);
