#include "WeDxtCompressor.h"

#include "WeVirtualFileSystem.h"
#include "win32/Win32Library.h"

namespace
{

// The module's entry, from the module opened once for the process: beside the program, else in
// the build's output folder; null when neither opens, with why as the problem.
WeDxtCompressCall OpenedModule(WeString& problem)
{
    static WeString why;
    static const WeDxtCompressCall call = []
    {
        WeDxtCompressCall found = nullptr;
        WeString besideWhy, builtWhy;
        if (WeLoadDxtModule((WeGetExecutableFolder() + "/libwe_dxt.so").GetData(), found, besideWhy) ||
            WeLoadDxtModule(WE_MODULE_FOLDER "/libwe_dxt.so", found, builtWhy))
            return found;
        why = besideWhy + "; " + builtWhy;
        return found;
    }();
    if (!call)
        problem = why;
    return call;
}

} // namespace

bool WeLoadDxtModule(const char* path, WeDxtCompressCall& call, WeString& problem)
{
    win32::HMODULE module = win32::LoadLibraryA(path);
    if (!module)
    {
        problem = win32::GetLibraryErrorText();
        return false;
    }
    call = reinterpret_cast<WeDxtCompressCall>(win32::GetProcAddress(module, "WeDxtCompress"));
    if (call)
        return true;
    win32::FreeLibrary(module);
    problem = WeString(path) + " has no WeDxtCompress";
    return false;
}

bool WeCompressPixels(const uint32_t* pixels, int32_t width, int32_t height, d3d9::Format format,
                      bool mipmaps, WeCompressedOutput& output, WeString& error)
{
    WeString problem;
    const WeDxtCompressCall compress = OpenedModule(problem);
    if (!compress)
    {
        error = WeString("no compressor: ") + problem;
        return false;
    }
    const WeDxtRequest request{pixels, width, height, format, mipmaps};
    const char* detail = nullptr;
    switch (compress(&request, &output, &detail))
    {
    case WeDxtResult::Done:
        return true;
    case WeDxtResult::BadFormat:
        error = "only A8R8G8B8, DXT1, DXT3 and DXT5 are written";
        return false;
    case WeDxtResult::BadSize:
        error = "the image size must be 1 to 16384 pixels each way";
        return false;
    case WeDxtResult::Refused:
        error = "the compressor refused the image";
        return false;
    case WeDxtResult::Failed:
        break;
    }
    error = "compression failed: ";
    error += detail ? WeString(detail) : WeString("unknown error");
    return false;
}
