// Engine parts that write every call into a log, fail on request, and report a device state of
// the test's choosing; and an application that writes its operations into the same log.
#pragma once

#include "WeAppWindow.h"
#include "WeApplication.h"
#include "WeEngine.h"
#include "WeEngineParts.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

class RecordingEngineParts : public WeEngineParts
{
public:
    void FillRandomTable() override { Add("FillRandomTable"); }
    void InitializeCom() override { Add("InitializeCom"); }
    bool CreateDirect3D() override { return Step("CreateDirect3D"); }
    void LoadLanguages() override { Add("LoadLanguages"); }
    void ReleaseDirect3D() override { Add("ReleaseDirect3D"); }
    void UninitializeCom() override { Add("UninitializeCom"); }
    void StartTimer() override { Add("StartTimer"); }
    void BeginAudio() override { Add("BeginAudio"); }
    bool InitRenderDevice(const WeAppWindow&, const WeString& deviceText,
                          const WeEngineSettings& settings) override
    {
        renderDeviceText = deviceText.GetData();
        renderDeviceWidth = settings.width;
        renderDeviceHeight = settings.height;
        return Step("InitRenderDevice");
    }
    bool InitAudio() override
    {
        if (!audioOwnText.empty() && failing.count("InitAudio"))
            engine.lastError = audioOwnText.c_str();
        return Step("InitAudio");
    }
    bool InitInput() override { return Step("InitInput"); }
    bool InitPhysics(const WeEngineSettings&) override { return Step("InitPhysics"); }
    void InitUI() override { Add("InitUI"); }
    void LoadScreenshotFont() override { Add("LoadScreenshotFont"); }
    WeDeviceState CheckDevice() override
    {
        Add("CheckDevice");
        return deviceState;
    }
    void BeginInputFrame() override { Add("BeginInputFrame"); }
    void PollInput() override { Add("PollInput"); }
    bool UseScreenshotClick() override { return std::exchange(screenshotClicked, false); }
    void UpdateAudio() override { Add("UpdateAudio"); }
    void ClearDebugLines() override { Add("ClearDebugLines"); }
    void FetchPhysics() override { Add("FetchPhysics"); }
    void AddPhysicsLines() override { Add("AddPhysicsLines"); }
    void ProcessUIEvents() override { Add("ProcessUIEvents"); }
    void UpdateUI() override { Add("UpdateUI"); }
    void UpdateTimer() override { Add("UpdateTimer"); }
    void StartPhysicsStep() override { Add("StartPhysicsStep"); }
    void LimitFrameRate() override { Add("LimitFrameRate"); }
    void RenderFrame() override { Add("RenderFrame"); }
    void LeavePhases() override { Add("LeavePhases"); }
    void DeleteRenderTargetsAndShaders() override { Add("DeleteRenderTargetsAndShaders"); }
    void FreeResources(bool forced) override { Add(forced ? "FreeResources forced" : "FreeResources"); }
    void ShutdownPhysics() override { Add("ShutdownPhysics"); }
    void ShutdownAudio() override { Add("ShutdownAudio"); }
    void ShutdownRenderDevice() override { Add("ShutdownRenderDevice"); }
    void ShutdownInput() override { Add("ShutdownInput"); }
    void StopTimer() override { Add("StopTimer"); }
    void ShutdownUI() override { Add("ShutdownUI"); }
    bool ChangeDisplayMode() override { return Step("ChangeDisplayMode"); }
    bool SaveScreenshot(const WeString& fileName) override
    {
        Add(std::string("SaveScreenshot ") + fileName.GetData());
        return true;
    }

    void Add(const std::string& event) { log.push_back(event); }
    int IndexOf(const std::string& event) const
    {
        auto found = std::find(log.begin(), log.end(), event);
        return found == log.end() ? -1 : int(found - log.begin());
    }
    int Count(const std::string& event) const { return int(std::count(log.begin(), log.end(), event)); }
    // The log without the events of the engine's frames.
    std::vector<std::string> Without(const std::set<std::string>& dropped) const
    {
        std::vector<std::string> kept;
        for (const std::string& event : log)
            if (!dropped.count(event))
                kept.push_back(event);
        return kept;
    }

    std::vector<std::string> log;
    std::set<std::string> failing; // calls that return false
    std::string audioOwnText;      // what a failing audio start writes into lastError
    WeDeviceState deviceState = WeDeviceState::Usable;
    bool screenshotClicked = false; // the next poll sees a click of Print Screen
    std::string renderDeviceText;
    int32_t renderDeviceWidth = 0;
    int32_t renderDeviceHeight = 0;

private:
    bool Step(const std::string& event)
    {
        Add(event);
        return !failing.count(event);
    }
};

// Installs recording parts for one test and leaves the engine as it found it.
class RecordingEngineScope
{
public:
    RecordingEngineScope()
    {
        engine.Shutdown();
        engine.settings = WeEngineSettings();
        engine.physicsOn = false;
        engine.lastError = "";
        quitRequested = false;
        engine.SetParts(&parts);
    }
    ~RecordingEngineScope()
    {
        engine.Shutdown();
        engine.SetParts(nullptr);
        engine.settings = WeEngineSettings();
        engine.physicsOn = false;
        quitRequested = false;
    }
    RecordingEngineParts parts;
};
