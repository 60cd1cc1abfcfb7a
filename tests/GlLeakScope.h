// The software GL driver keeps allocations that the leak checker cannot attribute (its JIT code
// has no module), so GL tests run with leak checking paused; the recording back end's tests walk
// the same engine paths with it on.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
inline void PauseLeakChecks()
{
    __lsan_disable();
}
inline void ResumeLeakChecks()
{
    __lsan_enable();
}
#else
inline void PauseLeakChecks() {}
inline void ResumeLeakChecks() {}
#endif
