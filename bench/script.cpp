// Script member access through the shared metatable: a vector's x against a plain C function
// returning one number, and a member found up the parent chain (a light's Name) against the same
// member of a plain actor. Each iteration runs a Lua loop of 1000 reads.
#include "WeEngine.h"
#include "WeScript.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{

int PlainNumber(lua_State* L)
{
    lua_pushnumber(L, 1.0);
    return 1;
}

// Compiles the loop once, with `setup` run before it, and runs it per iteration.
void RunLoop(benchmark::State& state, const std::string& setup, const std::string& read)
{
    // The engine's globals register the interface: using one links them in.
    benchmark::DoNotOptimize(&engine);
    lua_State* L = scriptRegistry().State();
    lua_register(L, "PlainNumber", PlainNumber);
    if (luaL_dostring(L, setup.c_str()) != 0 ||
        luaL_loadstring(L, ("local x for i = 1, 1000 do x = " + read + " end").c_str()) != 0)
    {
        state.SkipWithError(lua_tostring(L, -1));
        return;
    }
    for (auto _ : state)
    {
        lua_pushvalue(L, -1);
        lua_call(L, 0, 0);
    }
    lua_pop(L, 1);
    state.SetItemsProcessed(state.iterations() * 1000);
}

void PlainFunction(benchmark::State& state)
{
    RunLoop(state, "", "PlainNumber()");
}

void VectorX(benchmark::State& state)
{
    RunLoop(state, "v = NewVector(1, 2, 3)", "v.x");
}

void ActorName(benchmark::State& state)
{
    RunLoop(state, "a = NewActor('', 0) a.Name = 'actor'", "a.Name");
}

void LightName(benchmark::State& state)
{
    RunLoop(state, "l = NewLight() l.Name = 'light'", "l.Name");
}

} // namespace

BENCHMARK(PlainFunction);
BENCHMARK(VectorX);
BENCHMARK(ActorName);
BENCHMARK(LightName);
BENCHMARK_MAIN();
