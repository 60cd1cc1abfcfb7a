#include "WeApplication.h"

#include "WeAppWindow.h"
#include "WeEngine.h"
#include "WeEngineParts.h"
#include "dbghelp/DbgHelp.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Exception.h"
#include "win32/Win32Heap.h"
#include "win32/Win32MessageBox.h"
#include "win32/Win32Time.h"
#include "win32/Win32Window.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

WeApplication* application = nullptr;

namespace
{

constexpr size_t kFormatBufferSize = 256;
constexpr size_t kCrashTextSize = 1024;

char dumpName[kFormatBufferSize] = "Application";
char crashText[kCrashTextSize] = "";

// The crash handler's state.
const char* handlerDumpName = "Application";
void (*handlerCallback)() = nullptr;
std::atomic<bool> callbackRan{false};

} // namespace

void WeFormat(char* buffer, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, kFormatBufferSize, format, arguments);
    va_end(arguments);
}

void WeFormatDumpName(char* buffer, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                      int32_t second)
{
    char stamp[100];
    std::snprintf(stamp, sizeof(stamp), "%.4d-%.2d-%.2d-%.2d-%.2d-%.2d", year, month, day, hour, minute,
                  second);
    WeFormat(buffer, "crash-%s.dmp", stamp);
}

const char* WeGetDumpName()
{
    return dumpName;
}
const char* WeGetCrashText()
{
    return crashText;
}

void WeInstallCrashDumpHandler(const char* name, void (*callback)())
{
    handlerDumpName = name ? name : "Application";
    handlerCallback = callback;
    callbackRan = false;
    dbghelp::WarmUp();
    win32::SetUnhandledExceptionFilter([](win32::EXCEPTION_POINTERS* pointers)
                                       { return WeCrashDumpFilter(pointers); });
}

int32_t WeCrashDumpFilter(void* exceptionPointers)
{
    const dbghelp::HANDLE file = dbghelp::CreateDumpFile(handlerDumpName);
    if (file == dbghelp::INVALID_HANDLE_VALUE)
        return win32::EXCEPTION_CONTINUE_SEARCH;
    const dbghelp::MINIDUMP_EXCEPTION_INFORMATION exception{
        win32::GetCurrentThreadId(), static_cast<win32::EXCEPTION_POINTERS*>(exceptionPointers), false};
    const bool written = dbghelp::MiniDumpWriteDump(static_cast<int32_t>(win32::GetCurrentProcessId()), file,
                                                    dbghelp::MiniDumpWithDataSegs, &exception);
    dbghelp::CloseDumpFile(file);
    if (!written)
        return win32::EXCEPTION_CONTINUE_SEARCH;
    // The callback is not safe to run twice: a fault inside it must not start it again.
    if (handlerCallback && !callbackRan.exchange(true))
        handlerCallback();
    return win32::EXCEPTION_EXECUTE_HANDLER;
}

void WeShowCrashMessage()
{
    engine.Shutdown();
    if (engine.window)
        engine.window->Hide();
    win32::ShowCursor(true);
    win32::MessageBoxA(nullptr, crashText, application ? application->GetName() : "Application",
                       win32::MB_OK);
}

void WeApplication::Frame()
{
    if (!WeIsAppInForeground())
        win32::Sleep(1);
    engine.Update();
    engine.Render();
}

void WeKeepHeapMapped()
{
    win32::KeepHeapMapped();
}

void WeApplication::Run(const char* newCommandLine)
{
    WeKeepHeapMapped();
    commandLine = newCommandLine;
    win32::SYSTEMTIME now{};
    win32::GetLocalTime(&now);
    WeFormatDumpName(dumpName, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    std::snprintf(
        crashText, sizeof(crashText), "%s",
        "Abnormal program termination!\nPlease, send generated crash-DATETIME.dmp file to application "
        "developers.");
    WeInstallCrashDumpHandler(dumpName, WeShowCrashMessage);
    application = this;
    WeEngineParts& parts = engine.GetParts();
    bool quit = true;
    do
    {
        quit = true;
        parts.FillRandomTable();
        parts.InitializeCom();
        if (parts.CreateDirect3D())
        {
            parts.LoadLanguages();
            const bool started = Init();
            OnActivate();
            while (started && engine.window && engine.window->IsRunning())
                Frame();
            quit = Exit();
        }
        else
            engine.lastError = "Error: Invalid DirectX version";
        OnDeactivate();
        engine.Shutdown();
        parts.ReleaseDirect3D();
        parts.UninitializeCom();
    } while (!quit && !quitRequested);
}
