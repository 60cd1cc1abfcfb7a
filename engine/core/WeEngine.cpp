#include "WeEngine.h"

#include "WeAppWindow.h"
#include "WeApplication.h"
#include "WeConfig.h"
#include "WeEngineParts.h"
#include "WeTimer.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Time.h"
#include "win32/Win32Window.h"

namespace
{

// The steps of Init that later steps stand on, in their order; a failed start undoes those begun.
enum StartStep : int32_t
{
    kRenderDeviceStep = 1,
    kAudioStep,
    kInputStep,
    kPhysicsStep,
};

} // namespace

WeEngineSettings::WeEngineSettings()
    : uiSourceWidth(WeConfig::GetInt("UI.Size.SrcW", 800)),
      uiSourceHeight(WeConfig::GetInt("UI.Size.SrcH", 600))
{
}

void WeFrameStats::Reset()
{
    frame = PerFrame{};
    effectNames.Clear();
}

WeEngine::WeEngine()
    : fixedTick(WeConfig::GetInt("debug.Debugging.FixedTick", 0) == 1), parts(&WeGetSubsystemParts())
{
}

void WeEngine::SetParts(WeEngineParts* newParts)
{
    parts = newParts ? newParts : &WeGetSubsystemParts();
}

void WeEngine::SetErrorIfNone(const char* text)
{
    if (lastError.IsEmpty())
        lastError = text;
}

bool WeEngine::Init(void* instance, WeAppWindow* givenWindow, const WeString& name,
                    const WeString& deviceText)
{
    if (initialised)
        return true;
    shutDown = false;
    window = givenWindow;
    lastError = "";
    pollInput = true;
    parts->StartTimer();
    parts->BeginAudio(); // the audio device opens while the window and the renderer are made
    if (settings.width == 0)
        settings.width = win32::GetSystemMetrics(win32::SM_CXSCREEN);
    if (settings.height == 0)
        settings.height = win32::GetSystemMetrics(win32::SM_CYSCREEN);
    if (!window)
    {
        window = new WeAppWindow();
        ownsWindow = true;
        // The window carries the device's samples, so that its back buffer is drawn straight into it.
        win32::SetNextWindowSamples(settings.multisampleType);
        if (!window->Create(name, name, settings.menuName, settings.largeIconId, settings.smallIconId,
                            settings.width, settings.height, true, settings.displayMode, settings.windowStyle,
                            settings.displayMode == 1, false, false, static_cast<win32::HINSTANCE>(instance)))
        {
            AbandonInit(0);
            SetErrorIfNone("Error creating application window!");
            return false;
        }
    }
    // Each step counts as begun before it runs: a part that fails half-way is shut down too.
    const struct
    {
        StartStep step;
        bool (*start)(WeEngine&, const WeString&);
        const char* failure;
    } steps[] = {
        {kRenderDeviceStep,
         [](WeEngine& e, const WeString& text)
         { return e.parts->InitRenderDevice(*e.window, text, e.settings); },
         "Error creating rendering device!"},
        {kAudioStep, [](WeEngine& e, const WeString&) { return e.parts->InitAudio(); },
         "Error creating audio device!"},
        {kInputStep, [](WeEngine& e, const WeString&) { return e.parts->InitInput(); },
         "Error creating input device!"},
        {kPhysicsStep, [](WeEngine& e, const WeString&) { return e.parts->InitPhysics(e.settings); },
         "Error creating physicsdevice!"},
    };
    for (const auto& step : steps)
    {
        if (!step.start(*this, deviceText))
        {
            AbandonInit(step.step);
            SetErrorIfNone(step.failure);
            return false;
        }
    }
    parts->InitUI();
    parts->LoadScreenshotFont();
    win32::ShowCursor(false);
    cursorShown = win32::ShowCursor(true) >= 0;
    initialised = true;
    return true;
}

void WeEngine::AbandonInit(int32_t startedSteps)
{
    if (startedSteps >= kPhysicsStep)
        parts->ShutdownPhysics();
    if (startedSteps >= kInputStep)
        parts->ShutdownInput();
    parts->ShutdownAudio(); // begun before the window
    if (startedSteps >= kRenderDeviceStep)
        parts->ShutdownRenderDevice();
    parts->StopTimer();
    pollInput = false;
    window->Destroy();
    if (ownsWindow)
        delete window;
    window = nullptr;
    ownsWindow = false;
}

WeProfileBlock& WeEngine::ProfileSlot(int32_t slot) const
{
    return timer.profileSlots[slot];
}

void WeEngine::FetchPhysicsStep()
{
    if (!physicsStepRunning)
        return;
    parts->FetchPhysics();
    physicsStepRunning = false;
}

void WeEngine::Update()
{
    if (!initialised)
        return;
    WeProfileBlock& profile = ProfileSlot(kUpdateProfileSlot);
    profile.Start("Engine::Update");
    frameStats.Reset();
    const WeDeviceState deviceState = parts->CheckDevice();
    if (deviceState == WeDeviceState::Failed && settings.closeOnDeviceFailure)
    {
        fatalDeviceError = true;
        window->alive = false;
    }
    parts->BeginInputFrame();
    focused = deviceState == WeDeviceState::Usable && WeIsAppInForeground();
    if (focused && pollInput)
    {
        parts->PollInput();
        if (parts->UseScreenshotClick())
            TakeScreenshot();
    }
    parts->UpdateAudio();
    parts->ClearDebugLines();
    FetchPhysicsStep();
    parts->AddPhysicsLines();
    window->PumpMessages();
    parts->ProcessUIEvents();
    if (application)
        application->Update();
    parts->UpdateUI();
    parts->UpdateTimer();
    if (!physicsStepRunning && physicsOn)
    {
        parts->StartPhysicsStep();
        physicsStepRunning = true;
    }
    parts->LimitFrameRate();
    profile.Stop();
}

void WeEngine::Render()
{
    if (!initialised)
        return;
    WeProfileBlock& profile = ProfileSlot(kRenderProfileSlot);
    profile.Start("WeEngine::Render");
    if (focused)
        parts->RenderFrame();
    profile.Stop();
}

void WeEngine::Shutdown()
{
    if (shutDown)
        return;
    shutDown = true;
    initialised = false;
    pollInput = false;
    parts->LeavePhases();
    parts->DeleteRenderTargetsAndShaders();
    parts->FreeResources(true);
    FetchPhysicsStep();
    parts->AddPhysicsLines();
    parts->ShutdownPhysics();
    parts->ShutdownAudio();
    parts->ShutdownRenderDevice();
    parts->ShutdownInput();
    parts->StopTimer();
    parts->ShutdownUI();
    if (ownsWindow)
    {
        delete window;
        window = nullptr;
        ownsWindow = false;
    }
}

bool WeEngine::ChangeDisplayMode()
{
    const bool changed = parts->ChangeDisplayMode();
    if (changed && window && window->handle && settings.displayMode == 1)
        win32::ShowWindow(window->handle, win32::SW_MAXIMIZE);
    return changed;
}

bool WeEngine::UpdateCursorVisibility()
{
    if (!window || !window->handle)
        return cursorInside;
    win32::RECT client{};
    win32::POINT origin{0, 0};
    win32::POINT cursor{0, 0};
    win32::GetClientRect(window->handle, &client);
    win32::ClientToScreen(window->handle, &origin);
    win32::GetCursorPos(&cursor);
    const bool inside = cursor.x >= origin.x && cursor.x < origin.x + client.right && cursor.y >= origin.y &&
                        cursor.y < origin.y + client.bottom;
    if (inside != cursorInside)
    {
        win32::ShowCursor(!inside);
        cursorInside = inside;
    }
    return inside;
}

void WeEngine::ClipCursorToWindow(bool clip)
{
    win32::RECT rect{};
    if (clip && window && win32::GetWindowRect(window->handle, &rect))
        win32::ClipCursor(&rect);
    else
        win32::ClipCursor(nullptr);
}

void WeEngine::TakeScreenshot()
{
    win32::SYSTEMTIME now{};
    win32::GetLocalTime(&now);
    char stamp[256];
    WeFormat(stamp, "%.4d-%.2d-%.2d-%.2d-%.2d-%.2d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    parts->SaveScreenshot(WeString("Screenshot-") + stamp + ".bmp");
}

void WeEngine::FreeAll()
{
    FetchPhysicsStep();
    parts->AddPhysicsLines();
    parts->FreeResources(false);
}
