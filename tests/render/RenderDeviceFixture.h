// A render device on the recording back end, with an application and renderers that write what
// happens to them into one shared event log.
#pragma once

#include "WeApplication.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeRenderTarget.h"
#include "WeShader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

class EventLog
{
public:
    void Add(const std::string& event) { events.push_back(event); }
    const std::vector<std::string>& Events() const { return events; }
    void Clear() { events.clear(); }
    // Index of the first event equal to the text, or -1.
    int IndexOf(const std::string& event) const
    {
        auto found = std::find(events.begin(), events.end(), event);
        return found == events.end() ? -1 : int(found - events.begin());
    }
    int Count(const std::string& event) const { return int(std::count(events.begin(), events.end(), event)); }

private:
    std::vector<std::string> events;
};

class LoggingApplication : public WeApplication
{
public:
    explicit LoggingApplication(EventLog& log) : log(log) {}
    const char* GetName() override { return "LoggingApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { log.Add("app Render"); }
    void OnDeactivate() override { log.Add("app OnDeactivate"); }
    void OnActivate() override { log.Add("app OnActivate"); }

private:
    EventLog& log;
};

class LoggingRenderer : public WeBaseRenderer
{
public:
    LoggingRenderer(EventLog& log, std::string name) : log(log), name(std::move(name)) {}
    bool Init() override
    {
        log.Add(name + " Init");
        return true;
    }
    void Shutdown() override { log.Add(name + " Shutdown"); }
    void OnLostDevice() override { log.Add(name + " OnLostDevice"); }
    void OnResetDevice() override { log.Add(name + " OnResetDevice"); }

private:
    EventLog& log;
    std::string name;
};

class RecordingRenderDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setup.modes = {{640, 400, 60, d3d9::D3DFMT_X8R8G8B8},  {640, 480, 60, d3d9::D3DFMT_X8R8G8B8},
                       {800, 600, 60, d3d9::D3DFMT_X8R8G8B8},  {800, 600, 75, d3d9::D3DFMT_X8R8G8B8},
                       {1024, 768, 60, d3d9::D3DFMT_X8R8G8B8}, {1024, 768, 85, d3d9::D3DFMT_X8R8G8B8}};
        engine.settings = WeEngineSettings{};
        engine.settings.width = 64;
        engine.settings.height = 32;
        engine.settings.displayMode = 3;
        engine.lastError = "";
        application = &app;
        renderDevice.maxAnisotropy = 1;
        renderDevice.shaderLevel = 1;
    }
    void TearDown() override
    {
        renderTargetManager.FreeAll();
        shaders.FreeAll();
        renderDevice.Shutdown();
        application = nullptr;
        if (direct3D)
        {
            EXPECT_EQ(direct3D->Release(), 0u) << "every device the render device made is gone";
        }
        renderDevice.direct3D = nullptr;
        renderDevice.displayModes.Clear();
        renderDevice.SetFog(false, WeColor{}, 0.0f, 0.0f, 0.0f, 0.0f); // no test's fog reaches the next
    }
    // Creates the Direct3D object with the setup and the device on it.
    bool Start()
    {
        direct3D = d3d9::CreateRecordingDirect3D(setup);
        renderDevice.direct3D = direct3D;
        return renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, engine.settings.displayMode, 2,
                                 true);
    }
    d3d9::Device& Device() const { return *renderDevice.device; }
    const std::vector<std::string>& Calls() const { return Device().CallLog(); }
    int CountCalls(const std::string& call) const
    {
        return int(std::count(Calls().begin(), Calls().end(), call));
    }
    int IndexOfCall(const std::string& call) const
    {
        auto found = std::find(Calls().begin(), Calls().end(), call);
        return found == Calls().end() ? -1 : int(found - Calls().begin());
    }

    d3d9::AdapterSetup setup;
    d3d9::Direct3D* direct3D = nullptr;
    EventLog log;
    LoggingApplication app{log};
};
