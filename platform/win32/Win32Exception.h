// The unhandled-exception filter of the Win32 layer, over POSIX signals: a fault (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE) or an abort reaches the filter on an alternate stack, so that a stack
// overflow is caught too.
#pragma once

#include <cstdint>

namespace win32
{

constexpr uint32_t EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr uint32_t EXCEPTION_IN_PAGE_ERROR = 0xC0000006;
constexpr uint32_t EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr uint32_t EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr uint32_t STATUS_FATAL_APP_EXIT = 0x40000015;

constexpr int32_t EXCEPTION_CONTINUE_SEARCH = 0;
constexpr int32_t EXCEPTION_EXECUTE_HANDLER = 1;

struct EXCEPTION_RECORD
{
    uint32_t ExceptionCode;
    void* ExceptionAddress; // the faulting address (the address touched, for an access violation)
    int32_t signal;         // the POSIX signal behind it
};

struct EXCEPTION_POINTERS
{
    EXCEPTION_RECORD* ExceptionRecord;
    void* ContextRecord; // the signal's ucontext_t
};

using LPTOP_LEVEL_EXCEPTION_FILTER = int32_t (*)(EXCEPTION_POINTERS*);

// Installs the filter (null removes it) and returns the previous one. The filter runs once:
// EXCEPTION_EXECUTE_HANDLER ends the process (exit code 128 + signal), EXCEPTION_CONTINUE_SEARCH
// leaves the signal to the system's own handling. A second fault while the filter runs ends the
// process at once.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

} // namespace win32
