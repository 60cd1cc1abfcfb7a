// The engine object (global engine): the display settings the application fills in, the
// application window, the engine-wide last-error text; it starts every device and manager in a
// fixed order, runs the per-frame update and render in a fixed order, and shuts everything down
// in a fixed order. Also the per-frame statistics block and the screenshot key.
#pragma once

#include "WeList.h"
#include "WeProfileBlock.h"
#include "WeString.h"

#include <cstdint>

class WeAppWindow;
class WeEngineParts;

// Display settings, filled by the application before WeEngine::Init and read by the window, the
// render device and the game.
struct WeEngineSettings
{
    WeEngineSettings();

    bool editorMode = false;
    const char* menuName = nullptr; // menu resource of a windowed window
    int32_t largeIconId = 0;
    int32_t smallIconId = 0;
    int32_t displayMode = 0; // 0 full screen, 1 windowed and maximised, 2 and 3 windowed
    int32_t windowStyle = 0; // 0 pop-up, 1 caption, 2 resizable, 3 caption and minimise box
    int32_t width = 800;     // back-buffer and client size; 0 = the screen's at Init
    int32_t height = 600;
    int32_t uiSourceWidth; // the size UI layouts are authored for
    int32_t uiSourceHeight;
    int32_t multisampleType = 0;
    int32_t multisampleQuality = 0;
    bool verticalSync = false;
    int32_t reflectionQuality = 2; // the render device's, 0 to 3
    bool closeOnDeviceFailure = true;
    bool multithreaded = true; // the render device is made for calls from several threads
    float gravity[3] = {0.0f, -9.81f, 0.0f};
    bool physicsFlag = true;   // the physics SDK is wanted
    bool keyboardFlag = false; // keep the Windows keys (no DISCL_NOWINKEY)
};

// Per-frame counters the renderers and managers add to, reset first thing every engine update.
struct WeFrameStats
{
    struct PerFrame
    {
        int32_t drawCalls = 0;
        int32_t visibleActors = 0; // handed to the render queue by the scene renderer
        int32_t faces = 0;
        int32_t passes = 0;
        int32_t queuedSolid = 0, queuedBackground = 0, queuedAlpha = 0, queuedLast = 0;
        int32_t drawnSolid = 0, drawnBackground = 0, drawnAlpha = 0, drawnLast = 0;
        int32_t queuedTotal = 0, drawnTotal = 0; // summed by the scene's Render
    };

    // Every per-frame counter to 0 and the effect names emptied; the actor count kept.
    void Reset();

    PerFrame frame;
    int32_t actorCount = 0; // actors in scenes, kept by the scene
    WeList<WeString> effectNames;
};

class WeEngine
{
public:
    static constexpr int32_t kUpdateProfileSlot = 50;
    static constexpr int32_t kRenderProfileSlot = 70;

    WeEngine();
    virtual ~WeEngine() = default;

    // Starts the engine: the window (made when none is given; the name is its class and title),
    // render device, audio, input, physics and UI, stopping at the first failure. A failure
    // leaves the most precise text in lastError and undoes, in reverse order, what was started,
    // so that another Init starts from nothing. True at once when already initialised.
    bool Init(void* instance, WeAppWindow* window, const WeString& name, const WeString& deviceText);
    // One frame each; nothing once shut down.
    void Update();
    void Render();
    // Ends the engine; nothing when already shut down.
    void Shutdown();
    // Applies the settings through the render device; maximises the window in display mode 1.
    bool ChangeDisplayMode();
    // Whether the cursor is inside the client area; shows the system cursor outside it.
    bool UpdateCursorVisibility();
    // Confines the cursor to the window rectangle, or releases it.
    void ClipCursorToWindow(bool clip);
    // Saves the frame as "Screenshot-YYYY-MM-DD-hh-mm-ss.bmp" in the working folder; the update
    // does so right after the poll on a click of Print Screen, which the screens then never see.
    void TakeScreenshot();
    // Frees the non-fixed resources of the mesh, material and texture managers.
    void FreeAll();
    // Writes a start-up failure text unless a more precise one is already there.
    void SetErrorIfNone(const char* text);

    // The table of parts the engine and the run loop drive (the real subsystems unless a test
    // set another); never null.
    WeEngineParts& GetParts() const { return *parts; }
    void SetParts(WeEngineParts* newParts);

    WeAppWindow* window = nullptr;
    bool ownsWindow = false;
    bool focused = false; // this frame the device is usable and the window has the foreground
    bool physicsStepRunning = false;
    bool fixedTick = false; // "debug.Debugging.FixedTick" was 1 at construction
    bool initialised = false;
    bool shutDown = false;
    bool fatalDeviceError = false;
    WeEngineSettings settings;
    WeString lastError; // empty: no message yet
    bool pollInput = false;
    bool physicsOn = false; // the update starts physics steps only while set
    bool cursorInside = true;
    bool cursorShown = true;

private:
    // Undoes a failed start: the steps begun, newest first, then the window.
    void AbandonInit(int32_t startedSteps);
    void FetchPhysicsStep();
    WeProfileBlock& ProfileSlot(int32_t slot) const;

    WeEngineParts* parts;
};

extern WeEngine engine;
extern WeFrameStats frameStats;
