// The script interface on a started engine: the registered names against the published list, a
// Lua script that reaches every class and global, objects left to the state's closing, and the
// canvas drawn from Lua.
#include "ScriptFixture.h"
#include "WeCanvas.h"
#include "WeFont.h"
#include "WeInput.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeParticleSystem.h"
#include "WeSceneScriptNatives.h"
#include "WeTexture.h"

#include <map>
#include <set>

namespace
{
struct ClassNames
{
    const char* name;
    const char* parent;
    const char* readOnly;
    const char* readWrite;
    const char* methods;
};

const ClassNames kClasses[] = {
    {"WeInput", "",
     "MouseX MouseY MouseMovedX MouseMovedY MouseMovedZ JoyMovedX JoyMovedY JoyMovedZ AltPressed CtrlPressed "
     "ShiftPressed SomethingClicked",
     "",
     "KeyPressed UseKeyPressed KeyClicked UseKeyClicked MousePressed UseMousePressed MouseClicked "
     "UseMouseClicked JoyPressed UseJoyPressed JoyClicked UseJoyClicked"},
    {"WeTimer", "", "DeltaTime ElapsedTime AbsoluteTime", "", ""},
    {"WeColor", "", "", "r g b a", ""},
    {"WeEngine", "", "", "", "FreeAll BeginFixedLoading EndFixedLoading"},
    {"WeVector", "", "", "x y z", ""},
    {"WeVector4", "", "", "x y z w", ""},
    {"WeCamera", "", "XAxis YAxis ZAxis",
     "Location Direction Up Orthogonal Fov Aspect OrthoW OrthoH NearClip FarClip",
     "Delete SetOrthoSize Update"},
    {"WeSceneConfig", "", "FHDRI0 FHDRI1 FHDRI2",
     "AmbientColor FogEnabled FogStart FogEnd FogMin FogMax FogColor Brightness Contrast",
     "SetupRenderDevice"},
    {"WeScene", "", "Config", "", "Delete Load AddActor Tick Render FindActor"},
    {"WeActor", "", "Type XAxis YAxis ZAxis AbsLocation AbsXAxis AbsYAxis AbsZAxis",
     "Name Location Rotation Scale ParentActor", ""},
    {"WeCanvas", "", "", "",
     "Draw2DText Draw2DTextOutlined Draw2DTextShadowed DrawRectangle DrawRectanglePart DrawRectangleRotated "
     "DrawRectanglePartRotated"},
    {"WeParticleSystemState", "", "",
     "TimeLength EmitRate EmitRateDelta FadeInTime FadeInTimeDelta LifeTime LifeTimeDelta FadeOutTime "
     "FadeOutTimeDelta EmitterSize SpawnDirection SpawnSpread SpawnVelocity SpawnVelocityDelta Wind Angle "
     "AngleDelta Spin SpinDelta SizeFromX SizeFromXDelta SizeToX SizeToXDelta SizeFromY SizeFromYDelta "
     "SizeToY "
     "SizeToYDelta ColorFrom ColorTo",
     "Delete"},
    {"WeParticleSystem", "WeActor", "",
     "MaterialName EmittingRadius AlignToMotion Relative SpawnCount RenderPass YAligned LifeTime",
     "Delete LoadPresset"},
    {"WeFontManager", "", "", "", "Load"},
    {"WeFont", "", "Name Size", "", ""},
    {"WeTextureManager", "", "Black White", "", "Load"},
    {"WeLightState", "", "",
     "Diffuse Specular Duration Intensity SpecularIntensity CoronaAlpha FlareAlpha1 FlareAlpha2 FlareAlpha3 "
     "FlareAlpha4 FlareAlpha5",
     "Delete"},
    {"WeLight", "WeActor", "",
     "IsDynamic LightType LoopKeyStates InterpolateStates Active GlobalIntensity Range AffectDynamicActors "
     "AlwaysActive ProjectorMaterialName Corona Flares CoronaTextureName FlareTextureNames1 "
     "FlareTextureNames2 "
     "FlareTextureNames3 FlareTextureNames4 FlareTextureNames5 CoronaSizeX CoronaSizeY FlareSizeX FlareSizeY "
     "FlaresFadeInTime FlaresFadeOutTime CoronaFixedSize CoronaRotation AlwaysShowFlares IntensityFadeInTime "
     "IntensityFadeOutTime CastShadows CastShadowPlanePX CastShadowPlaneNX CastShadowPlanePY "
     "CastShadowPlaneNY "
     "CastShadowPlanePZ CastShadowPlaneNZ",
     "Delete AddLightState RemoveLightState Load"},
    {"WeTexture", "", "Name Width Height", "", ""},
    {"WeMatrix", "", "", "_11 _12 _13 _14 _21 _22 _23 _24 _31 _32 _33 _34 _41 _42 _43 _44", ""},
    {"WeQuaternion", "", "", "x y z w", ""},
};

const char* const kGlobals[][2] = {
    {"input", "WeInput"},
    {"timer", "WeTimer"},
    {"NullColor", "WeColor"},
    {"engine", "WeEngine"},
    {"NullVector", "WeVector"},
    {"VectorX0", "WeVector"},
    {"VectorY0", "WeVector"},
    {"VectorZ0", "WeVector"},
    {"canvas", "WeCanvas"},
    {"fonts", "WeFontManager"},
    {"textures", "WeTextureManager"},
    {"IdentityMatrix", "WeMatrix"},
    {"NullQuat", "WeQuaternion"},
};

const char* const kFunctions[] = {"NewColor", "NewVector",  "NewVector4", "NewCamera", "NewScene",
                                  "NewActor", "NewPSState", "NewPS",      "log",       "NewLightState",
                                  "NewLight", "NewMatrix",  "NewQuat"};

const std::map<std::string, int> kConstants = {
    {"ACTOR_MESH", -1},
    {"ACTOR_LIGHT", -2},
    {"ACTOR_PS", -13},
    {"BLENDMODE_NORMAL", 1},
    {"BLENDMODE_ADDITIVE", 2},
    {"LIGHT_POINT", 1},
    {"LIGHT_POINT_VERTEXONLY", 2},
    {"LIGHT_PROJECTOR", 4},
    {"TEXT_TOP", 0},
    {"TEXT_VCENTER", 4},
    {"TEXT_BOTTOM", 8},
    {"TEXT_LEFT", 0},
    {"TEXT_CENTER", 1},
    {"TEXT_RIGHT", 2},
    {"TEXT_WORDBREAK", 16},
    {"LIGHT_FLARE", 8},
};

std::set<std::string> Words(const char* text)
{
    std::set<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.insert(word);
    return words;
}

// The members of a registered class, by kind, as the class table holds them.
struct Registered
{
    std::set<std::string> readOnly, readWrite, methods;
    std::string parent;
};

Registered MembersOf(lua_State* L, const char* className)
{
    Registered found;
    lua_getglobal(L, (std::string("____class__") + className + "____").c_str());
    std::set<std::string> getters, setters;
    for (lua_pushnil(L); lua_istable(L, -2) && lua_next(L, -2); lua_pop(L, 1))
    {
        const std::string key = lua_tostring(L, -2);
        if (key == "____class____parent____")
            found.parent = lua_tostring(L, -1);
        else if (key.rfind("__get__", 0) == 0)
            getters.insert(key.substr(7, key.size() - 9));
        else if (key.rfind("__set__", 0) == 0)
            setters.insert(key.substr(7, key.size() - 9));
        else
            found.methods.insert(key.substr(2, key.size() - 4));
    }
    lua_pop(L, 1);
    for (const std::string& name : getters)
        (setters.count(name) ? found.readWrite : found.readOnly).insert(name);
    for (const std::string& name : setters)
        EXPECT_TRUE(getters.count(name)) << className << " has a setter without a getter: " << name;
    return found;
}

float Float32(lua_State* L)
{
    return float(luaL_checknumber(L, 1));
}

const std::pair<const char*, lua_CFunction> kHostFunctions[] = {
    {"float32", [](lua_State* L) { return lua_pushnumber(L, Float32(L)), 1; }},
    {"nullVectorX", [](lua_State* L) { return lua_pushnumber(L, NullVector.x), 1; }},
    {"inputMouseX", [](lua_State* L) { return lua_pushnumber(L, input.cursorX), 1; }},
    {"cameraX", [](lua_State* L) { return lua_pushnumber(L, WeScriptSelf<WeCamera>(L)->position.x), 1; }},
    {"projection11",
     [](lua_State* L) { return lua_pushnumber(L, WeScriptSelf<WeCamera>(L)->projection.m[0][0]), 1; }},
    {"lightStates",
     [](lua_State* L) { return lua_pushnumber(L, WeScriptSelf<WeLight>(L)->states.GetCount()), 1; }},
};

class ScriptInterfaceTest : public ScriptEngineTest
{
protected:
    void SetUp() override
    {
        ScriptEngineTest::SetUp();
        const WeTexture* white = textures.Load("Config.Assets.DefaultWhite");
        ASSERT_NE(white, nullptr);
        lua_newtable(L);
        for (const auto& [name, function] : kHostFunctions)
        {
            lua_pushcfunction(L, function);
            lua_setfield(L, -2, name);
        }
        const std::pair<const char*, const char*> strings[] = {{"texture", "Config.Assets.DefaultWhite"},
                                                               {"font", "Arial:16"},
                                                               {"map", "World1"},
                                                               {"model", "Ingame.Models.Block"},
                                                               {"preset", "Ingame.Particles.hit"}};
        for (const auto& [name, value] : strings)
        {
            lua_pushstring(L, value);
            lua_setfield(L, -2, name);
        }
        const std::pair<const char*, double> numbers[] = {{"textureWidth", white->width},
                                                          {"textureHeight", white->height},
                                                          {"fontSize", fonts.GetFont("Arial:16")->rasterSize},
                                                          {"mouseX", input.cursorX}};
        for (const auto& [name, value] : numbers)
        {
            lua_pushnumber(L, value);
            lua_setfield(L, -2, name);
        }
        lua_setglobal(L, "host");
    }
};
} // namespace

TEST_F(ScriptInterfaceTest, RegisteredNamesAreThePublishedOnes)
{
    L = scriptRegistry().State(); // the program's own, filled in static initialisation
    std::set<std::string> classes;
    for (const ClassNames& expected : kClasses)
    {
        classes.insert(expected.name);
        const Registered found = MembersOf(L, expected.name);
        EXPECT_EQ(found.parent, expected.parent) << expected.name;
        EXPECT_EQ(found.readOnly, Words(expected.readOnly)) << expected.name;
        EXPECT_EQ(found.readWrite, Words(expected.readWrite)) << expected.name;
        EXPECT_EQ(found.methods, Words(expected.methods)) << expected.name;
    }
    EXPECT_EQ(classes.size(), 21u);
    // Every class table in the state is one of the published classes.
    for (lua_pushnil(L); lua_next(L, LUA_GLOBALSINDEX); lua_pop(L, 1))
    {
        const std::string key = lua_type(L, -2) == LUA_TSTRING ? lua_tostring(L, -2) : "";
        if (key.rfind("____class__", 0) == 0 && key != "____class____metatable____")
        {
            EXPECT_TRUE(classes.count(key.substr(11, key.size() - 15))) << key;
        }
    }
    for (const auto& [global, className] : kGlobals)
        EXPECT_EQ(
            Eval(std::string("rawget(") + global + ", '____class____') == ____class__" + className + "____"),
            "true")
            << global;
    for (const char* function : kFunctions)
        EXPECT_EQ(Eval(std::string("type(") + function + ")"), "function") << function;
    for (const auto& [constant, value] : kConstants)
        EXPECT_EQ(Eval(constant), std::to_string(value)) << constant;
}

TEST_F(ScriptInterfaceTest, ScriptReachesEveryClassAndGlobal)
{
    EXPECT_EQ(Run(Source("ScriptInterface.lua")), "");
}

namespace
{
// Every texture freed as the engine's shut-down frees them: the fonts' pages first.
void FreeEveryTexture()
{
    fonts.FreeAll();
    textures.FreeAll(true);
}
} // namespace

// Whatever road frees a texture or a font a script holds, the engine's own included, the
// script's object of it fails from then on instead of reaching freed memory; a texture the road
// left alone stays usable.
TEST_F(ScriptInterfaceTest, ResourcesAScriptHoldsFailOnceTheEngineFreesThem)
{
    const struct
    {
        const char* name;
        const char* hold; // the resource the script keeps as "held"
        const char* use;
        void (*free)();
        bool whiteStays; // the white texture the script also keeps
    } rows[] = {
        {"texture released", "textures:Load('Config.Assets.DefaultBlack')", "local width = held.Width",
         [] { textures.Release(textures.Load("Config.Assets.DefaultBlack"), true); }, true},
        {"every texture freed", "textures:Load('Config.Assets.DefaultBlack')", "local height = held.Height",
         FreeEveryTexture, false},
        {"texture drawn after its free", "textures:Load('Config.Assets.DefaultBlack')",
         "canvas:DrawRectangle(0, 0, 4, 4, NewColor(1, 1, 1, 1), held)", FreeEveryTexture, false},
        {"every font freed", "fonts:Load('Arial:16')", "local size = held.Size", [] { fonts.FreeAll(); },
         true},
    };
    for (const auto& row : rows)
    {
        ASSERT_EQ(
            Run(std::string("held = ") + row.hold + " white = textures:Load('Config.Assets.DefaultWhite')"),
            "")
            << row.name;
        row.free();
        const std::string error = Run(row.use);
        EXPECT_NE(error.find("deleted"), std::string::npos) << row.name << ": " << error;
        EXPECT_EQ(Run("local width = white.Width").empty(), row.whiteStays) << row.name;
    }
}

// A frame whose 2D drawing is a Lua chunk.
class ScriptCanvasApplication : public WeApplication
{
public:
    ScriptCanvasApplication(lua_State* L, const char* chunk) : L(L), chunk(chunk) {}
    const char* GetName() override { return "ScriptCanvasApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        EXPECT_EQ(RunChunk(L, chunk), "");
        canvas.Flush();
    }

private:
    lua_State* L;
    const char* chunk;
};

TEST_F(ScriptInterfaceTest, CanvasDrawsFromLua)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "script_canvas.bmp";
    ScriptCanvasApplication frame(
        L, "canvas:DrawRectangle(2, 2, 20, 20, NewColor(1, 0, 0, 1), nil, BLENDMODE_NORMAL) "
           "canvas:DrawRectangleRotated(8, 24, 12, 4, 0.5, NewColor(0, 1, 0, 1)) "
           "canvas:Draw2DText(fonts:Load('Arial:16'), 'Lua', 26, 0, 38, 32, "
           "NewColor(1, 1, 0, 1), TEXT_VCENTER, 1)");
    ExpectMatchesReference(Shoot(frame), 40);
}

TEST(ScriptStateClosing, FreesObjectsNoScriptDeleted)
{
    const bool pooling = WeLight::IsPooling() && WeParticleSystem::IsPooling();
    WeLight::SetPooling(true);
    WeParticleSystem::SetPooling(true);
    const int32_t lights = WeLight::GetLiveCount(), systems = WeParticleSystem::GetLiveCount();
    {
        WeScriptRegistry registry;
        WeRegisterScriptInterface(registry);
        ASSERT_EQ(RunChunk(registry.State(),
                           "a = NewLight() b = NewPS() s = NewScene() s:AddActor(NewLight()) "
                           "c = NewCamera() k = NewLightState() p = NewPSState()"),
                  "");
        EXPECT_EQ(WeLight::GetLiveCount(), lights + 2);
        EXPECT_EQ(WeParticleSystem::GetLiveCount(), systems + 1);
    }
    EXPECT_EQ(WeLight::GetLiveCount(), lights);
    EXPECT_EQ(WeParticleSystem::GetLiveCount(), systems);
    WeLight::SetPooling(pooling);
    WeParticleSystem::SetPooling(pooling);
    // The first scene's debug models stay with the managers that hold them.
    modelManager.FreeAll();
    meshManager.FreeAll(true);
    materialManager.FreeAll(true);
}
