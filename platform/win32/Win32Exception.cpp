#include "win32/Win32Exception.h"

#include <csignal>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace win32
{

namespace
{

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kAlternateStackSize = 1 << 20; // the filter's callback shuts the engine down on it

LPTOP_LEVEL_EXCEPTION_FILTER installedFilter = nullptr;
volatile sig_atomic_t filterRunning = 0;

uint32_t ExceptionCodeOf(int signal)
{
    switch (signal)
    {
    case SIGSEGV:
        return EXCEPTION_ACCESS_VIOLATION;
    case SIGBUS:
        return EXCEPTION_IN_PAGE_ERROR;
    case SIGILL:
        return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        return EXCEPTION_INT_DIVIDE_BY_ZERO;
    default:
        return STATUS_FATAL_APP_EXIT;
    }
}

void OnFatalSignal(int signal, siginfo_t* info, void* context)
{
    if (filterRunning)
        _exit(128 + signal);
    filterRunning = 1;
    EXCEPTION_RECORD record{ExceptionCodeOf(signal), info ? info->si_addr : nullptr, signal};
    EXCEPTION_POINTERS pointers{&record, context};
    const LPTOP_LEVEL_EXCEPTION_FILTER filter = installedFilter;
    if (filter && filter(&pointers) == EXCEPTION_EXECUTE_HANDLER)
        _exit(128 + signal);
    ::signal(signal, SIG_DFL);
    raise(signal);
    _exit(128 + signal);
}

void InstallAlternateStack()
{
    static void* stack = nullptr;
    if (stack)
        return;
    stack = mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack == MAP_FAILED)
    {
        stack = nullptr;
        return;
    }
    stack_t alternate{};
    alternate.ss_sp = stack;
    alternate.ss_size = kAlternateStackSize;
    sigaltstack(&alternate, nullptr);
}

} // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = installedFilter;
    installedFilter = filter;
    InstallAlternateStack();
    struct sigaction action
    {
    };
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER; // a fault inside the filter reaches the guard
    sigemptyset(&action.sa_mask);
    for (const int signal : kFatalSignals)
    {
        if (filter)
            sigaction(signal, &action, nullptr);
        else
            ::signal(signal, SIG_DFL);
    }
    return previous;
}

} // namespace win32
