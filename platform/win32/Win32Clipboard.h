// The text clipboard of the Win32 layer, over SDL2's clipboard (UTF-8 inside). Where SDL has no
// clipboard to offer (its video subsystem is not running), the text stays in a clipboard of this
// process, so copy and paste within the program still work.
#pragma once

#include "win32/Win32Window.h"

#include <cstddef>
#include <cstdint>

namespace win32
{

using HGLOBAL = void*;
using HANDLE = void*;

constexpr uint32_t CF_TEXT = 1;
constexpr uint32_t GMEM_MOVEABLE = 0x0002;

// A block of bytes the clipboard can take over; null when size is 0 or memory runs out.
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
void* GlobalLock(HGLOBAL block);
bool GlobalUnlock(HGLOBAL block);
// Null on success, the block when it could not be freed (null or owned by the clipboard).
HGLOBAL GlobalFree(HGLOBAL block);
size_t GlobalSize(HGLOBAL block);

// Only one opener at a time; false while the clipboard is open.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
// Drops the current text; false unless the clipboard is open.
bool EmptyClipboard();
// Takes over the block (its bytes up to the first 0, or its size) as the text; on success the
// caller must not free it. Only CF_TEXT is kept.
HANDLE SetClipboardData(uint32_t format, HANDLE data);
// A block owned by the clipboard holding the text and a 0, valid until the clipboard closes; null
// when it is not open, holds no text, or the format is not CF_TEXT.
HANDLE GetClipboardData(uint32_t format);
bool IsClipboardFormatAvailable(uint32_t format);

} // namespace win32
