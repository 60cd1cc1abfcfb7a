// The message box of the Win32 layer, over SDL2.
#pragma once

#include "win32/Win32Window.h"

namespace win32
{

constexpr uint32_t MB_OK = 0x00000000;
constexpr uint32_t MB_ICONERROR = 0x00000010;
constexpr int32_t IDOK = 1;

// Shows the text under the caption with an OK button and waits for it; works with and without
// windows, before and after any exist. The text is also written to the standard error stream, and
// that is all that happens under a headless video driver, where nobody could press OK.
int32_t MessageBoxA(HWND owner, const char* text, const char* caption, uint32_t type);

} // namespace win32
