#include "win32/Win32Library.h"

#include "physx/PhysXSdk.h"

#include <cstring>
#include <dlfcn.h>
#include <string>
#include <strings.h>

namespace win32
{

namespace
{

// Libraries the program carries itself; a handle to one is the address of its entry here.
struct BuiltInLibrary
{
    const char* fileName;
    std::span<const physx::LibraryExport> (*exports)();
    bool withheld;
};

BuiltInLibrary builtIns[] = {
    {"PhysXLoader.dll", physx::LoaderLibraryExports, false},
    {"NxCooking.dll", physx::CookingLibraryExports, false},
};

thread_local std::string lastLoadError;

BuiltInLibrary* FindBuiltIn(const char* fileName)
{
    for (BuiltInLibrary& library : builtIns)
        if (strcasecmp(library.fileName, fileName) == 0)
            return &library;
    return nullptr;
}

BuiltInLibrary* AsBuiltIn(HMODULE library)
{
    for (BuiltInLibrary& builtIn : builtIns)
        if (library == &builtIn)
            return &builtIn;
    return nullptr;
}

} // namespace

HMODULE LoadLibraryA(const char* fileName)
{
    if (!fileName)
        return nullptr;
    if (BuiltInLibrary* library = FindBuiltIn(fileName))
    {
        lastLoadError = library->withheld ? std::string(fileName) + ": withheld" : std::string();
        return library->withheld ? nullptr : library;
    }
    HMODULE library = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        lastLoadError = dlerror();
    return library;
}

void FreeLibrary(HMODULE library)
{
    if (library && !AsBuiltIn(library))
        dlclose(library);
}

const char* GetLibraryErrorText()
{
    return lastLoadError.c_str();
}

FARPROC GetProcAddress(HMODULE library, const char* name)
{
    if (!library || !name)
        return nullptr;
    if (const BuiltInLibrary* builtIn = AsBuiltIn(library))
    {
        for (const physx::LibraryExport& entry : builtIn->exports())
            if (std::strcmp(entry.name, name) == 0)
                return reinterpret_cast<FARPROC>(entry.proc);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(dlsym(library, name));
}

void WithholdLibrary(const char* fileName, bool withheld)
{
    if (BuiltInLibrary* library = FindBuiltIn(fileName))
        library->withheld = withheld;
}

} // namespace win32

void* WeGetLibraryProc(const char* file, const char* name)
{
    win32::HMODULE library = win32::LoadLibraryA(file);
    return library ? reinterpret_cast<void*>(win32::GetProcAddress(library, name)) : nullptr;
}
