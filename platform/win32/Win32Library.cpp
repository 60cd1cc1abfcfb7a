#include "win32/Win32Library.h"

#include <dlfcn.h>

namespace win32
{

HMODULE LoadLibraryA(const char* fileName)
{
    return fileName ? dlopen(fileName, RTLD_NOW | RTLD_LOCAL) : nullptr;
}

FARPROC GetProcAddress(HMODULE library, const char* name)
{
    if (!library || !name)
        return nullptr;
    return reinterpret_cast<FARPROC>(dlsym(library, name));
}

} // namespace win32
