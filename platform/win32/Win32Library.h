// Libraries loaded while the program runs, over the dynamic loader. The physics libraries
// "PhysXLoader.dll" and "NxCooking.dll" are built in: loading one by that name (in any case)
// gives the physics layer's table of entry points.
#pragma once

namespace win32
{

using HMODULE = void*;
using FARPROC = void (*)();

// Loads a shared library by file name; null when it cannot be loaded. A library stays loaded.
HMODULE LoadLibraryA(const char* fileName);
// The address of a function the library exports, or null.
FARPROC GetProcAddress(HMODULE library, const char* name);
// Test hook: while withheld, a built-in library cannot be loaded, as if it were not installed.
void WithholdLibrary(const char* fileName, bool withheld);

} // namespace win32

// A function of a library loaded while the program runs (the library stays loaded), or null.
void* WeGetLibraryProc(const char* file, const char* name);
