// Crash dumps. There is no minidump format here: the dump is a text report of the signal, the
// faulting address and the backtrace of the crashing thread. Everything in it is safe to call from
// a signal handler once WarmUp has run.
#pragma once

#include "win32/Win32Exception.h"

#include <cstdint>

namespace dbghelp
{

using HANDLE = int; // a file descriptor
constexpr HANDLE INVALID_HANDLE_VALUE = -1;

constexpr uint32_t MiniDumpNormal = 0;
constexpr uint32_t MiniDumpWithDataSegs = 1;

struct MINIDUMP_EXCEPTION_INFORMATION
{
    uint32_t ThreadId;
    win32::EXCEPTION_POINTERS* ExceptionPointers;
    bool ClientPointers;
};

// Loads what a backtrace needs, so that the first one taken inside a signal handler allocates
// nothing. Run once while the program is healthy.
void WarmUp();
// Creates or truncates the dump file in the working folder (write access); INVALID_HANDLE_VALUE
// when it cannot.
HANDLE CreateDumpFile(const char* fileName);
void CloseDumpFile(HANDLE file);
// Writes the report of the exception (null: of the moment) into the file; false when the file
// took less than all of it.
bool MiniDumpWriteDump(int32_t processId, HANDLE file, uint32_t dumpType,
                       const MINIDUMP_EXCEPTION_INFORMATION* exception);

} // namespace dbghelp
