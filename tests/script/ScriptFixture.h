// The program's script state on a started engine: a render device on the OpenGL back end, the
// shipped package, map and fonts, and a "host" table through which test scripts compare with
// what the engine holds.
#pragma once

#include "WeScript.h"
#include "core/ScriptChunk.h"
#include "render/GlFrameFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class ScriptEngineTest : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartGl(64, 32);
        L = scriptRegistry().State();
        ASSERT_NE(L, nullptr);
    }
    std::string Run(const std::string& chunk) { return RunChunk(L, chunk); }
    std::string Eval(const std::string& expression) { return EvalChunk(L, expression); }
    // A Lua file beside the tests.
    static std::string Source(const char* name)
    {
        std::ifstream file(std::filesystem::path(__FILE__).parent_path() / name);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    lua_State* L = nullptr;
};
