// The devices and managers that the run loop and the engine object start, drive and stop. Both
// reach them only through this table, in their fixed orders, so that a test can stand in for all
// of them with a recording. WeGetSubsystemParts gives the table the program uses, which calls the
// real subsystems.
#pragma once

#include "WeDeviceState.h"

#include <cstdint>

class WeAppWindow;
class WeString;
struct WeEngineSettings;

class WeEngineParts
{
public:
    virtual ~WeEngineParts() = default;

    // Each pass of the run loop, around the engine's life.
    virtual void FillRandomTable() = 0;
    virtual void InitializeCom() = 0;
    // The Direct3D object into the render device's slot; false when it cannot be made.
    virtual bool CreateDirect3D() = 0;
    virtual void LoadLanguages() = 0;
    virtual void ReleaseDirect3D() = 0;
    virtual void UninitializeCom() = 0;

    // Start-up, in the engine's order. A failing part leaves its own text in lastError when it
    // has one.
    virtual void StartTimer() = 0;
    // Starts opening the audio device in the background, which InitAudio finishes; the audio
    // counts as begun from here, so a start that fails before InitAudio shuts it down too.
    virtual void BeginAudio() = 0;
    virtual bool InitRenderDevice(const WeAppWindow& window, const WeString& deviceText,
                                  const WeEngineSettings& settings) = 0;
    virtual bool InitAudio() = 0;
    virtual bool InitInput() = 0;
    virtual bool InitPhysics(const WeEngineSettings& settings) = 0;
    virtual void InitUI() = 0;
    // The font of the screenshot key's caption.
    virtual void LoadScreenshotFont() = 0;

    // The frame, in the engine's order.
    virtual WeDeviceState CheckDevice() = 0;
    virtual void BeginInputFrame() = 0;
    virtual void PollInput() = 0;
    // Consumes the click of the screenshot key (Print Screen) the poll saw; whether there was one.
    virtual bool UseScreenshotClick() = 0;
    virtual void UpdateAudio() = 0;
    virtual void ClearDebugLines() = 0;
    virtual void FetchPhysics() = 0;
    virtual void AddPhysicsLines() = 0;
    virtual void ProcessUIEvents() = 0;
    virtual void UpdateUI() = 0;
    virtual void UpdateTimer() = 0;
    virtual void StartPhysicsStep() = 0;
    virtual void LimitFrameRate() = 0;
    virtual void RenderFrame() = 0;

    // Shut-down, in the engine's order.
    virtual void LeavePhases() = 0;
    virtual void DeleteRenderTargetsAndShaders() = 0;
    // The mesh, material and texture managers' resources; forced frees the fixed ones too.
    virtual void FreeResources(bool forced) = 0;
    virtual void ShutdownPhysics() = 0;
    virtual void ShutdownAudio() = 0;
    virtual void ShutdownRenderDevice() = 0;
    virtual void ShutdownInput() = 0;
    virtual void StopTimer() = 0;
    virtual void ShutdownUI() = 0;

    // Operations beyond the fixed orders.
    virtual bool ChangeDisplayMode() = 0;
    virtual bool SaveScreenshot(const WeString& fileName) = 0;
};

// The table of the real subsystems.
WeEngineParts& WeGetSubsystemParts();
