#pragma once

#include "WeCamera.h"
#include "WeColor.h"
#include "WeScript.h"

// The whole script interface: every global object, function, constant and class of the engine,
// registered with a registry (the program's own at start-up).

// The program's constant values that scripts reach as globals; a script that changes one
// changes it for the whole program.
extern WeColor NullColor;
extern WeVector NullVector;
extern WeVector VectorX0;
extern WeVector VectorY0;
extern WeVector VectorZ0;
extern WeMatrix IdentityMatrix;
extern WeQuaternion NullQuat;

// The value types' members, the constants, "NewQuat", the constant globals, and the classes
// and globals of rendering and scenes.
void WeRegisterScriptInterface(WeScriptRegistry& registry);
