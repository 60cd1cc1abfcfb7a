// Cursor calls of the Win32 layer: the display counter, confining the cursor to a rectangle and
// the cursor position in screen coordinates, over SDL2.
#pragma once

#include "win32/Win32Window.h"

namespace win32
{

// Raises (show) or lowers the display counter and returns the new count; the system cursor is
// visible while the count is 0 or more. The count starts at 0.
int32_t ShowCursor(bool show);
// Confines the cursor to a screen rectangle over one of the program's windows; null releases it.
bool ClipCursor(const RECT* rect);
// The rectangle last confined to; false when the cursor is free.
bool GetClipCursor(RECT* rect);
bool GetCursorPos(POINT* point);
bool SetCursorPos(int32_t x, int32_t y);

} // namespace win32
