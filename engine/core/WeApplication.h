// The base of the program's application object, and the engine's outermost loop that drives it:
// Run starts the engine, runs frames until the window goes away, shuts the engine down, and
// starts everything again when the application asks for a restart. Also the crash-dump handler.
#pragma once

#include <cstdint>

class WeApplication
{
public:
    virtual ~WeApplication() = default;

    // The window class and title, and the crash message's caption.
    virtual const char* GetName() = 0;
    // Starts the application and, through WeEngine::Init, the engine; false = the start failed.
    virtual bool Init() = 0;
    // One frame: sleeps 1 ms while another program has the foreground, then the engine's update
    // and render.
    virtual void Frame();
    // After the frames of a pass: true = quit, false = start again.
    virtual bool Exit() = 0;
    // Once per engine update, between the UI's event dispatch and its update.
    virtual void Update() {}
    // Once per drawn frame, between clearing and presenting.
    virtual void Render() {}
    // At the end of every pass, and before a device reset.
    virtual void OnDeactivate() {}
    // Right after Init, and after a device reset.
    virtual void OnActivate() {}

    // The run loop; returns when the program is to end.
    void Run(const char* commandLine);

    const char* commandLine = nullptr;
};

// The application Run is driving; null before Run, never cleared.
extern WeApplication* application;

// The heap as the software renderer wants it (win32::KeepHeapMapped). Run calls it first; the
// game calls it before its globals are made (they read the configuration's thousands of entries
// into the heap), and benchmarks as the game's run does. Only the first call does anything.
void WeKeepHeapMapped();

// printf-style into a caller's buffer of 256 bytes, truncating what does not fit.
void WeFormat(char* buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The dump file name of a local time: "crash-YYYY-MM-DD-hh-mm-ss.dmp", zero-padded field by field.
void WeFormatDumpName(char* buffer, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second);

// Remembers the dump name ("Application" when null) and the callback to run after a dump was
// written, and installs WeCrashDumpFilter as the unhandled-exception filter.
void WeInstallCrashDumpHandler(const char* dumpName, void (*callback)());
// On a fatal fault: writes the dump file in the working folder and runs the callback once;
// returns 1 (execute handler: the process ends) after a dump was written, else 0.
int32_t WeCrashDumpFilter(void* exceptionPointers);
// The callback Run installs: shuts the engine down, hides its window, shows the cursor and the
// crash text in a message box.
void WeShowCrashMessage();
// The dump name and the crash text Run set up.
const char* WeGetDumpName();
const char* WeGetCrashText();
