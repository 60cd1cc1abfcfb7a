#include "WeScriptNatives.h"

#include "WeTimer.h"

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
} // namespace

void WeRegisterTimerScript(WeScriptRegistry& registry, WeTimer* instance)
{
    registry.RegisterMember("WeTimer", "DeltaTime", WeScriptMember::Getter, TimerDeltaTime);
    registry.RegisterMember("WeTimer", "ElapsedTime", WeScriptMember::Getter, TimerElapsedTime);
    registry.RegisterMember("WeTimer", "AbsoluteTime", WeScriptMember::Getter, TimerAbsoluteTime);
    registry.RegisterFunction("log", Log);
    registry.RegisterInstance("timer", "WeTimer", instance);
}
