#include "WeRenderScriptNatives.h"

#include "WeCanvas.h"
#include "WeFont.h"
#include "WeRenderDevice.h"
#include "WeScriptNatives.h"
#include "WeTexture.h"

#include <utility>

namespace
{
// A row of a matrix as a vector (the first three of its floats).
template <auto Matrix, int Row, typename T> WeVector& RowOf(T& object)
{
    return *reinterpret_cast<WeVector*>(WeScriptFieldOf<Matrix>(object).m[Row]);
}

// The cameras scripts make: nothing derives from them, so they are deleted as what they are.
class ScriptCamera final : public WeCamera
{
};

void DestroyCamera(lua_State*, void* object)
{
    delete static_cast<ScriptCamera*>(static_cast<WeCamera*>(object));
}

int NewCamera(lua_State* L)
{
    WeCamera* camera = new ScriptCamera();
    WeScriptBeginLife(L, camera, DestroyCamera);
    return WeScriptPushLiving(L, "WeCamera", camera, camera);
}

int CameraDelete(lua_State* L)
{
    WeScriptDeleteObject(L, "WeCamera", DestroyCamera);
    return 0;
}

template <bool Width> int CameraSetOrthoSide(lua_State* L)
{
    WeCamera* camera = WeScriptSelf<WeCamera>(L);
    const float value = WeScriptCheckFloat(L, 3);
    camera->SetOrthoSize(Width ? value : camera->orthoWidth, Width ? camera->orthoHeight : value);
    return 0;
}

int CameraSetOrthoSize(lua_State* L)
{
    WeCamera* camera = WeScriptSelf<WeCamera>(L);
    camera->SetOrthoSize(WeScriptCheckFloat(L, 2), WeScriptCheckFloat(L, 3));
    return 0;
}

const WeScriptMemberEntry kCameraMembers[] = {
    {"Location", WeScriptGetPart<WeCamera, &WeCamera::position>,
     WeScriptSetPart<WeCamera, &WeCamera::position>},
    {"Direction", WeScriptGetPart<WeCamera, &WeCamera::direction>,
     WeScriptSetPart<WeCamera, &WeCamera::direction>},
    {"Up", WeScriptGetPart<WeCamera, &WeCamera::up>, WeScriptSetPart<WeCamera, &WeCamera::up>},
    {"Orthogonal", WeScriptGetBool<WeCamera, &WeCamera::orthogonal>,
     WeScriptSetBool<WeCamera, &WeCamera::orthogonal>},
    {"Fov", WeScriptGetNumber<WeCamera, &WeCamera::fov>, WeScriptSetFloatBy<WeCamera, &WeCamera::SetFov>},
    {"Aspect", WeScriptGetNumber<WeCamera, &WeCamera::aspect>,
     WeScriptSetFloatBy<WeCamera, &WeCamera::SetAspect>},
    {"OrthoW", WeScriptGetNumber<WeCamera, &WeCamera::orthoWidth>, CameraSetOrthoSide<true>},
    {"OrthoH", WeScriptGetNumber<WeCamera, &WeCamera::orthoHeight>, CameraSetOrthoSide<false>},
    {"NearClip", WeScriptGetNumber<WeCamera, &WeCamera::nearClip>,
     WeScriptSetFloatBy<WeCamera, &WeCamera::SetNearClip>},
    {"FarClip", WeScriptGetNumber<WeCamera, &WeCamera::farClip>,
     WeScriptSetFloatBy<WeCamera, &WeCamera::SetFarClip>},
    {"XAxis", WeScriptGetPart<WeCamera, RowOf<&WeCamera::axes, 0, WeCamera>>},
    {"YAxis", WeScriptGetPart<WeCamera, RowOf<&WeCamera::axes, 1, WeCamera>>},
    {"ZAxis", WeScriptGetPart<WeCamera, RowOf<&WeCamera::axes, 2, WeCamera>>},
    {"SetOrthoSize", nullptr, nullptr, CameraSetOrthoSize},
    {"Update", nullptr, nullptr, WeScriptCall<WeCamera, &WeCamera::Update>},
    {"Delete", nullptr, nullptr, CameraDelete},
};

// A texture or font reached by scripts lives until the engine frees its resources.
int PushResource(lua_State* L, const char* className, void* resource)
{
    if (!resource)
    {
        lua_pushnil(L);
        return 1;
    }
    WeScriptPushLiving(L, className, resource, resource);
    WeScriptFindLife(L, resource)->holder = &weScriptResources;
    return 1;
}

int TexturesLoad(lua_State* L)
{
    WeScriptSelf<WeTextureManager>(L);
    const WeString name = WeScriptCheckString(L, 2);
    return PushResource(L, "WeTexture", textures.Load(name));
}

template <WeTexture* WeTextureManager::*Field> int TexturesDefault(lua_State* L)
{
    return PushResource(L, "WeTexture", WeScriptSelf<WeTextureManager>(L)->*Field);
}

int FontsLoad(lua_State* L)
{
    WeFontManager* manager = WeScriptSelf<WeFontManager>(L);
    const WeString key = WeScriptCheckString(L, 2);
    return PushResource(L, "WeFont", manager->GetFont(key));
}

// A colour argument as ARGB.
uint32_t Argb(lua_State* L, int arg)
{
    return WeScriptArg<WeColor>(L, arg)->ToArgb();
}

// The arguments every rectangle ends with: colour, texture (nil for none) and blend mode (1
// when missing).
struct QuadLook
{
    uint32_t color;
    WeTexture* texture;
    int32_t blendMode;
};

QuadLook CheckQuadLook(lua_State* L, int first)
{
    return {Argb(L, first), static_cast<WeTexture*>(WeScriptOptObjectAt(L, first + 1, "WeTexture")),
            lua_isnoneornil(L, first + 2) ? BLENDMODE_NORMAL : WeScriptCheckInt(L, first + 2)};
}

int CanvasDrawRectangle(lua_State* L)
{
    WeCanvas* target = WeScriptSelf<WeCanvas>(L);
    const int32_t x = WeScriptCheckInt(L, 2), y = WeScriptCheckInt(L, 3), w = WeScriptCheckInt(L, 4),
                  h = WeScriptCheckInt(L, 5);
    const QuadLook look = CheckQuadLook(L, 6);
    target->DrawRectangle(x, y, w, h, look.color, look.texture, look.blendMode);
    return 0;
}

// A rectangle of `Count` float arguments (position, size and whatever the operation takes after
// them), then the look.
template <auto Operation, int... I> int CanvasDrawFloats(lua_State* L, std::integer_sequence<int, I...>)
{
    WeCanvas* target = WeScriptSelf<WeCanvas>(L);
    const float v[] = {WeScriptCheckFloat(L, 2 + I)...};
    const QuadLook look = CheckQuadLook(L, 2 + int(sizeof...(I)));
    (target->*Operation)(v[I]..., look.color, look.texture, look.blendMode);
    return 0;
}

template <auto Operation, int Count> int CanvasDrawFloats(lua_State* L)
{
    return CanvasDrawFloats<Operation>(L, std::make_integer_sequence<int, Count>());
}

// The arguments of a text: font (nil for none), text and box; then the colour.
struct TextPlace
{
    WeFont* font;
    WeString text;
    int32_t x, y, w, h;
    uint32_t color;
};

TextPlace CheckTextPlace(lua_State* L)
{
    return {static_cast<WeFont*>(WeScriptOptObjectAt(L, 2, "WeFont")),
            WeScriptCheckString(L, 3),
            WeScriptCheckInt(L, 4),
            WeScriptCheckInt(L, 5),
            WeScriptCheckInt(L, 6),
            WeScriptCheckInt(L, 7),
            Argb(L, 8)};
}

// Checks everything before a string is made, so that an error leaves nothing to destroy.
void CheckTextArguments(lua_State* L, int colors)
{
    WeScriptSelf<WeCanvas>(L);
    WeScriptOptObjectAt(L, 2, "WeFont");
    luaL_checkstring(L, 3);
    for (int arg = 4; arg <= 7; ++arg)
        WeScriptCheckInt(L, arg);
    for (int arg = 8; arg < 8 + colors; ++arg)
        Argb(L, arg);
    WeScriptCheckInt(L, 8 + colors);
    WeScriptCheckFloat(L, 9 + colors);
}

int CanvasDraw2DText(lua_State* L)
{
    CheckTextArguments(L, 1);
    const TextPlace at = CheckTextPlace(L);
    canvas.Draw2DText(at.font, at.text, at.x, at.y, at.w, at.h, at.color, WeScriptCheckInt(L, 9),
                      WeScriptCheckFloat(L, 10));
    return 0;
}

template <auto Operation> int CanvasDraw2DTextTwoColors(lua_State* L)
{
    CheckTextArguments(L, 2);
    const TextPlace at = CheckTextPlace(L);
    (canvas.*Operation)(at.font, at.text, at.x, at.y, at.w, at.h, at.color, Argb(L, 9),
                        WeScriptCheckInt(L, 10), WeScriptCheckFloat(L, 11));
    return 0;
}

const WeScriptMemberEntry kCanvasMembers[] = {
    {"Draw2DText", nullptr, nullptr, CanvasDraw2DText},
    {"Draw2DTextOutlined", nullptr, nullptr, CanvasDraw2DTextTwoColors<&WeCanvas::Draw2DTextOutlined>},
    {"Draw2DTextShadowed", nullptr, nullptr, CanvasDraw2DTextTwoColors<&WeCanvas::Draw2DTextShadowed>},
    {"DrawRectangle", nullptr, nullptr, CanvasDrawRectangle},
    {"DrawRectanglePart", nullptr, nullptr, CanvasDrawFloats<&WeCanvas::DrawRectanglePartF, 8>},
    {"DrawRectangleRotated", nullptr, nullptr, CanvasDrawFloats<&WeCanvas::DrawRectangleRotated, 5>},
    {"DrawRectanglePartRotated", nullptr, nullptr, CanvasDrawFloats<&WeCanvas::DrawRectanglePartRotated, 9>},
};

const WeScriptMemberEntry kResourceMembers[] = {
    {"Black", TexturesDefault<&WeTextureManager::black>},
    {"White", TexturesDefault<&WeTextureManager::white>},
    {"Load", nullptr, nullptr, TexturesLoad},
};

const WeScriptMemberEntry kTextureMembers[] = {
    {"Name", WeScriptGetString<WeTexture, &WeTexture::name>},
    {"Width", WeScriptGetNumber<WeTexture, &WeTexture::width>},
    {"Height", WeScriptGetNumber<WeTexture, &WeTexture::height>},
};

const WeScriptMemberEntry kFontMembers[] = {
    {"Name", WeScriptGetString<WeFont, &WeFont::face>},
    {"Size", WeScriptGetNumber<WeFont, &WeFont::rasterSize>},
};
// What scripts drew and the canvas has not drawn yet may use textures about to be freed.
void FlushCanvas(lua_State*)
{
    canvas.Flush();
}
} // namespace

void WeRegisterRenderScript(WeScriptRegistry& registry)
{
    registry.RegisterFunction("NewColor", WeScriptNewFloats<WeColor, 4>);
    registry.RegisterFunction("NewVector", WeScriptNewFloats<WeVector, 3>);
    registry.RegisterFunction("NewVector4", WeScriptNewFloats<WeVector4, 4>);
    registry.RegisterFunction("NewMatrix", WeScriptNewFloats<WeMatrix, 0>);
    registry.RegisterFunction("NewCamera", NewCamera);
    WeScriptRegisterMembers(registry, "WeCamera", kCameraMembers);
    WeScriptRegisterMembers(registry, "WeCanvas", kCanvasMembers);
    WeScriptRegisterMembers(registry, "WeTextureManager", kResourceMembers);
    WeScriptRegisterMembers(registry, "WeTexture", kTextureMembers);
    WeScriptRegisterMembers(registry, "WeFont", kFontMembers);
    registry.RegisterMember("WeFontManager", "Load", WeScriptMember::Method, FontsLoad);
    registry.RegisterInstance("canvas", "WeCanvas", &canvas);
    registry.RegisterInstance("textures", "WeTextureManager", &textures);
    registry.RegisterInstance("fonts", "WeFontManager", &fonts);
    WeAddScriptFreeAllGuard(FlushCanvas);
}
