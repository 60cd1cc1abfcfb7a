#include "WeScriptNatives.h"

#include "WeEngine.h"
#include "WeInput.h"
#include "WeTimer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace
{
WeTimer* CheckTimer(lua_State* L)
{
    return static_cast<WeTimer*>(WeScriptCheckObject(L, "WeTimer"));
}

int TimerDeltaTime(lua_State* L)
{
    lua_pushnumber(L, CheckTimer(L)->finalDelta);
    return 1;
}

int TimerElapsedTime(lua_State* L)
{
    lua_pushnumber(L, CheckTimer(L)->absoluteTime);
    return 1;
}

int TimerAbsoluteTime(lua_State* L)
{
    lua_pushnumber(L, CheckTimer(L)->GetSeconds());
    return 1;
}

int Log(lua_State*)
{
    return 0;
}

WeEngine* CheckEngine(lua_State* L)
{
    return static_cast<WeEngine*>(WeScriptCheckObject(L, "WeEngine"));
}

std::vector<WeScriptFreeAllGuard>& FreeAllGuards()
{
    static std::vector<WeScriptFreeAllGuard> guards;
    return guards;
}

bool KeepUnlessResource(WeScriptLife* life, void*)
{
    return life->holder != &weScriptResources;
}

int EngineFreeAll(lua_State* L)
{
    WeEngine* target = CheckEngine(L);
    for (const WeScriptFreeAllGuard guard : FreeAllGuards())
    {
        guard(L);
    }
    target->FreeAll();
    WeScriptForEachLife(L, KeepUnlessResource, nullptr);
    return 0;
}

int EngineBeginFixedLoading(lua_State* L)
{
    CheckEngine(L);
    WeBeginFixedLoading();
    return 0;
}

int EngineEndFixedLoading(lua_State* L)
{
    CheckEngine(L);
    WeEndFixedLoading();
    return 0;
}

WeInput* CheckInput(lua_State* L)
{
    return static_cast<WeInput*>(WeScriptCheckObject(L, "WeInput"));
}

template <int32_t WeInput::*Field> int InputNumber(lua_State* L)
{
    lua_pushnumber(L, CheckInput(L)->*Field);
    return 1;
}

template <bool WeInput::*Field> int InputModifier(lua_State* L)
{
    lua_pushboolean(L, CheckInput(L)->*Field);
    return 1;
}

int InputSomethingClicked(lua_State* L)
{
    lua_pushboolean(L, CheckInput(L)->SomethingClicked());
    return 1;
}

// A query or consumption of one key or button by its number. A number that is not a whole index
// into the table of `Count` entries names none: the answer is false and nothing changes.
template <auto Operation, int32_t Count> int InputButton(lua_State* L)
{
    WeInput* in = CheckInput(L);
    const lua_Number number = luaL_checknumber(L, 2);
    const bool named = number >= 0 && number < Count && std::floor(number) == number;
    lua_pushboolean(L, named && (in->*Operation)(static_cast<int32_t>(number)));
    return 1;
}

template <auto Operation> constexpr lua_CFunction KeyButton = InputButton<Operation, WeInput::kKeyCount>;
template <auto Operation>
constexpr lua_CFunction MouseButton = InputButton<Operation, WeInput::kMouseButtonCount>;
template <auto Operation>
constexpr lua_CFunction JoyButton = InputButton<Operation, WeInput::kJoyButtonCount>;

struct InputMember
{
    const char* name;
    WeScriptMember kind;
    lua_CFunction function;
};

const InputMember kInputMembers[] = {
    {"MouseX", WeScriptMember::Getter, InputNumber<&WeInput::cursorX>},
    {"MouseY", WeScriptMember::Getter, InputNumber<&WeInput::cursorY>},
    {"MouseMovedX", WeScriptMember::Getter, InputNumber<&WeInput::mouseMovedX>},
    {"MouseMovedY", WeScriptMember::Getter, InputNumber<&WeInput::mouseMovedY>},
    {"MouseMovedZ", WeScriptMember::Getter, InputNumber<&WeInput::mouseMovedZ>},
    {"JoyMovedX", WeScriptMember::Getter, InputNumber<&WeInput::joyX>},
    {"JoyMovedY", WeScriptMember::Getter, InputNumber<&WeInput::joyY>},
    {"JoyMovedZ", WeScriptMember::Getter, InputNumber<&WeInput::joyZ>},
    {"AltPressed", WeScriptMember::Getter, InputModifier<&WeInput::alt>},
    {"CtrlPressed", WeScriptMember::Getter, InputModifier<&WeInput::ctrl>},
    {"ShiftPressed", WeScriptMember::Getter, InputModifier<&WeInput::shift>},
    {"SomethingClicked", WeScriptMember::Getter, InputSomethingClicked},
    {"KeyPressed", WeScriptMember::Method, KeyButton<&WeInput::KeyPressed>},
    {"KeyClicked", WeScriptMember::Method, KeyButton<&WeInput::KeyClicked>},
    {"UseKeyClicked", WeScriptMember::Method, KeyButton<&WeInput::UseKeyClicked>},
    {"UseKeyPressed", WeScriptMember::Method, KeyButton<&WeInput::UseKeyPressed>},
    {"MousePressed", WeScriptMember::Method, MouseButton<&WeInput::MousePressed>},
    {"MouseClicked", WeScriptMember::Method, MouseButton<&WeInput::MouseClicked>},
    {"UseMouseClicked", WeScriptMember::Method, MouseButton<&WeInput::UseMouseClicked>},
    {"UseMousePressed", WeScriptMember::Method, MouseButton<&WeInput::UseMousePressed>},
    {"JoyPressed", WeScriptMember::Method, JoyButton<&WeInput::JoyPressed>},
    {"JoyClicked", WeScriptMember::Method, JoyButton<&WeInput::JoyClicked>},
    {"UseJoyClicked", WeScriptMember::Method, JoyButton<&WeInput::UseJoyClicked>},
    {"UseJoyPressed", WeScriptMember::Method, JoyButton<&WeInput::UseJoyPressed>},
};
} // namespace

const int weScriptResources = 0;

void WeAddScriptFreeAllGuard(WeScriptFreeAllGuard guard)
{
    std::vector<WeScriptFreeAllGuard>& guards = FreeAllGuards();
    if (std::find(guards.begin(), guards.end(), guard) == guards.end())
    {
        guards.push_back(guard);
    }
}

void WeRegisterTimerScript(WeScriptRegistry& registry, WeTimer* instance)
{
    registry.RegisterMember("WeTimer", "DeltaTime", WeScriptMember::Getter, TimerDeltaTime);
    registry.RegisterMember("WeTimer", "ElapsedTime", WeScriptMember::Getter, TimerElapsedTime);
    registry.RegisterMember("WeTimer", "AbsoluteTime", WeScriptMember::Getter, TimerAbsoluteTime);
    registry.RegisterFunction("log", Log);
    registry.RegisterInstance("timer", "WeTimer", instance);
}

void WeRegisterEngineScript(WeScriptRegistry& registry, WeEngine* instance)
{
    registry.RegisterMember("WeEngine", "FreeAll", WeScriptMember::Method, EngineFreeAll);
    registry.RegisterMember("WeEngine", "BeginFixedLoading", WeScriptMember::Method, EngineBeginFixedLoading);
    registry.RegisterMember("WeEngine", "EndFixedLoading", WeScriptMember::Method, EngineEndFixedLoading);
    registry.RegisterInstance("engine", "WeEngine", instance);
}

void WeRegisterInputScript(WeScriptRegistry& registry, WeInput* instance)
{
    for (const InputMember& member : kInputMembers)
    {
        registry.RegisterMember("WeInput", member.name, member.kind, member.function);
    }
    registry.RegisterInstance("input", "WeInput", instance);
}
