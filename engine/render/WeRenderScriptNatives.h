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

template <> struct WeScriptName<WeColor>
{
    static constexpr const char* value = "WeColor";
};
template <> struct WeScriptName<WeVector>
{
    static constexpr const char* value = "WeVector";
};
template <> struct WeScriptName<WeVector4>
{
    static constexpr const char* value = "WeVector4";
};
template <> struct WeScriptName<WeQuaternion>
{
    static constexpr const char* value = "WeQuaternion";
};
template <> struct WeScriptName<WeMatrix>
{
    static constexpr const char* value = "WeMatrix";
};
template <> struct WeScriptName<WeCamera>
{
    static constexpr const char* value = "WeCamera";
};
template <> struct WeScriptName<WeCanvas>
{
    static constexpr const char* value = "WeCanvas";
};
template <> struct WeScriptName<WeTexture>
{
    static constexpr const char* value = "WeTexture";
};
template <> struct WeScriptName<WeTextureManager>
{
    static constexpr const char* value = "WeTextureManager";
};
template <> struct WeScriptName<WeFont>
{
    static constexpr const char* value = "WeFont";
};
template <> struct WeScriptName<WeFontManager>
{
    static constexpr const char* value = "WeFontManager";
};

// "NewColor", "NewVector", "NewVector4", "NewMatrix", "NewCamera"; the classes "WeCamera",
// "WeCanvas", "WeTextureManager", "WeTexture", "WeFontManager", "WeFont"; the globals "canvas",
// "textures" and "fonts". A lookup that finds nothing gives nil.
void WeRegisterRenderScript(WeScriptRegistry& registry);
