// COM initialisation around the run loop. Nothing on this platform needs COM, so both calls
// succeed and do nothing.
#pragma once

#include <cstdint>

namespace com
{

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;

inline HRESULT CoInitialize(void*)
{
    return S_OK;
}
inline void CoUninitialize() {}

} // namespace com
