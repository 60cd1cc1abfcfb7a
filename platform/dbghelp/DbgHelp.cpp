#include "dbghelp/DbgHelp.h"

#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace dbghelp
{

namespace
{

constexpr int kMaxFrames = 64;

// Writes all bytes or reports that it could not.
bool WriteAll(HANDLE file, const char* text, size_t length)
{
    while (length > 0)
    {
        const ssize_t written = write(file, text, length);
        if (written <= 0)
            return false;
        text += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool WriteText(HANDLE file, const char* text)
{
    return WriteAll(file, text, std::strlen(text));
}

// Formats without the C library's locale or allocation: decimal, or 0x and 16 hex digits.
bool WriteNumber(HANDLE file, uint64_t value, bool hexadecimal)
{
    char digits[24];
    int position = sizeof(digits);
    const uint64_t base = hexadecimal ? 16 : 10;
    do
    {
        digits[--position] = "0123456789ABCDEF"[value % base];
        value /= base;
    } while (value != 0 || (hexadecimal && position > static_cast<int>(sizeof(digits)) - 16));
    if (hexadecimal)
    {
        digits[--position] = 'x';
        digits[--position] = '0';
    }
    return WriteAll(file, digits + position, sizeof(digits) - static_cast<size_t>(position));
}

const char* SignalName(int32_t signal)
{
    switch (signal)
    {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

bool WriteException(HANDLE file, const win32::EXCEPTION_RECORD& record)
{
    return WriteText(file, "Signal: ") && WriteNumber(file, static_cast<uint64_t>(record.signal), false) &&
           WriteText(file, " (") && WriteText(file, SignalName(record.signal)) && WriteText(file, ")\n") &&
           WriteText(file, "Exception code: ") && WriteNumber(file, record.ExceptionCode, true) &&
           WriteText(file, "\nAddress: ") &&
           WriteNumber(file, reinterpret_cast<uintptr_t>(record.ExceptionAddress), true) &&
           WriteText(file, "\n");
}

} // namespace

void WarmUp()
{
    void* frames[1];
    backtrace(frames, 1);
}

HANDLE CreateDumpFile(const char* fileName)
{
    if (!fileName)
        return INVALID_HANDLE_VALUE;
    const int file = open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return file < 0 ? INVALID_HANDLE_VALUE : file;
}

void CloseDumpFile(HANDLE file)
{
    if (file != INVALID_HANDLE_VALUE)
        close(file);
}

bool MiniDumpWriteDump(int32_t processId, HANDLE file, uint32_t,
                       const MINIDUMP_EXCEPTION_INFORMATION* exception)
{
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = WriteText(file, "Crash report\nProcess: ") &&
                   WriteNumber(file, static_cast<uint64_t>(processId), false) && WriteText(file, "\n");
    if (exception && exception->ExceptionPointers && exception->ExceptionPointers->ExceptionRecord)
        written = written && WriteText(file, "Thread: ") && WriteNumber(file, exception->ThreadId, false) &&
                  WriteText(file, "\n") &&
                  WriteException(file, *exception->ExceptionPointers->ExceptionRecord);
    written = written && WriteText(file, "Backtrace:\n");
    if (!written)
        return false;
    void* frames[kMaxFrames];
    const int count = backtrace(frames, kMaxFrames);
    backtrace_symbols_fd(frames, count, file);
    return true;
}

} // namespace dbghelp
