#pragma once

#include "WeCamera.h"
#include "WeColor.h"
#include "WeScriptAccess.h"

class WeCanvas;
class WeFont;
class WeFontManager;
class WeTexture;
class WeTextureManager;

// The script classes of rendering: the value types, the camera, the canvas, and the texture and
// font managers with their objects.

WE_SCRIPT_NAME(WeColor)
WE_SCRIPT_NAME(WeVector)
WE_SCRIPT_NAME(WeVector4)
WE_SCRIPT_NAME(WeQuaternion)
WE_SCRIPT_NAME(WeMatrix)
WE_SCRIPT_NAME(WeCamera)
WE_SCRIPT_NAME(WeCanvas)
WE_SCRIPT_NAME(WeTexture)
WE_SCRIPT_NAME(WeTextureManager)
WE_SCRIPT_NAME(WeFont)
WE_SCRIPT_NAME(WeFontManager)

// "NewColor", "NewVector", "NewVector4", "NewMatrix", "NewCamera"; the classes "WeCamera",
// "WeCanvas", "WeTextureManager", "WeTexture", "WeFontManager", "WeFont"; the globals "canvas",
// "textures" and "fonts". A lookup that finds nothing gives nil.
void WeRegisterRenderScript(WeScriptRegistry& registry);
