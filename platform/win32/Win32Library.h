// Libraries loaded while the program runs, over the dynamic loader. The physics libraries
// "PhysXLoader.dll" and "NxCooking.dll" are built in: loading one by that name (in any case)
// gives the physics layer's table of entry points.
#pragma once

namespace win32
{

using HMODULE = void*;
using FARPROC = void (*)();

// Loads a shared library by file name (a path, or a name the loader searches for); null when it
// cannot be loaded, with the loader's reason in GetLibraryErrorText. A library stays loaded
// until FreeLibrary.
HMODULE LoadLibraryA(const char* fileName);
// Unloads a library LoadLibraryA gave; a built-in one stays.
void FreeLibrary(HMODULE library);
// The loader's reason the last LoadLibraryA on this thread failed (FormatMessage's place).
const char* GetLibraryErrorText();
// The address of a function the library exports, or null.
FARPROC GetProcAddress(HMODULE library, const char* name);
// Test hook: while withheld, a built-in library cannot be loaded, as if it were not installed.
void WithholdLibrary(const char* fileName, bool withheld);

} // namespace win32

// A function of a library loaded while the program runs (the library stays loaded), or null.
void* WeGetLibraryProc(const char* file, const char* name);
