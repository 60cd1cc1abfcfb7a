// A script state with the whole interface, as the program registers it, on a started engine: a
// render device on the OpenGL back end, the shipped package, map and fonts. Each test has a state
// of its own, closed (with whatever its scripts left) before the device goes.
#pragma once

#include "WeInput.h"
#include "WeScript.h"
#include "WeScriptInterface.h"
#include "WeScriptNatives.h"
#include "WeTimer.h"
#include "core/ScriptChunk.h"
#include "render/GlFrameFixture.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

class ScriptEngineTest : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartGl(64, 32);
        registry = std::make_unique<WeScriptRegistry>();
        WeRegisterInputScript(*registry, &input);
        WeRegisterTimerScript(*registry, &timer);
        WeRegisterEngineScript(*registry, &engine);
        WeRegisterScriptInterface(*registry);
        L = registry->State();
        ASSERT_NE(L, nullptr);
    }
    void TearDown() override
    {
        registry.reset();
        GlFrameFixture::TearDown();
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

    std::unique_ptr<WeScriptRegistry> registry;
    lua_State* L = nullptr;
};
