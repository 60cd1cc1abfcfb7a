// Libraries loaded while the program runs, over the dynamic loader.
#pragma once

namespace win32
{

using HMODULE = void*;
using FARPROC = void (*)();

// Loads a shared library by file name; null when it cannot be loaded. A library stays loaded.
HMODULE LoadLibraryA(const char* fileName);
// The address of a function the library exports, or null.
FARPROC GetProcAddress(HMODULE library, const char* name);

} // namespace win32
