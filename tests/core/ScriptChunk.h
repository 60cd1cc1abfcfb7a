#pragma once

#include "WeScript.h"

#include <string>

// Runs Lua source in a state the way a script would. Both leave the stack as they found it.

// "" when the chunk ran, else Lua's error message.
inline std::string RunChunk(lua_State* L, const std::string& chunk)
{
    const int top = lua_gettop(L);
    std::string error;
    if (luaL_loadstring(L, chunk.c_str()) != 0 || lua_pcall(L, 0, 0, 0) != 0)
    {
        error = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)";
    }
    lua_settop(L, top);
    return error;
}

// The value of an expression as Lua's tostring gives it, or "error: " and the message.
inline std::string EvalChunk(lua_State* L, const std::string& expression)
{
    const std::string error = RunChunk(L, "____result = tostring(" + expression + ")");
    if (!error.empty())
    {
        return "error: " + error;
    }
    lua_getglobal(L, "____result");
    std::string text = lua_tostring(L, -1);
    lua_pop(L, 1);
    return text;
}
