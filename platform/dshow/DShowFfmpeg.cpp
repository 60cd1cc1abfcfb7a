#include "dshow/DShowFfmpeg.h"

#include <dlfcn.h>

namespace dshow
{

namespace
{

constexpr size_t libraryCount = std::size(ffmpegLibraries);

void* FindCall(void* (&libraries)[libraryCount], const char* name)
{
    for (void* library : libraries)
        if (void* call = dlsym(library, name))
            return call;
    return nullptr;
}

// The libraries stay open for the process: decoders may live until its end.
bool Load(FfmpegCalls& calls)
{
    void* libraries[libraryCount] = {};
    for (size_t i = 0; i < libraryCount; ++i)
        if (!(libraries[i] = dlopen(ffmpegLibraries[i], RTLD_NOW | RTLD_LOCAL)))
            return false;
    bool found = true;
#define DSHOW_FFMPEG_FIND(name)                                                                              \
    calls.name = reinterpret_cast<decltype(&::name)>(FindCall(libraries, #name));                            \
    found = found && calls.name;
    DSHOW_FFMPEG_CALLS(DSHOW_FFMPEG_FIND)
#undef DSHOW_FFMPEG_FIND
    return found;
}

} // namespace

const FfmpegCalls* Ffmpeg()
{
    static FfmpegCalls calls;
    static const bool loaded = Load(calls);
    return loaded ? &calls : nullptr;
}

} // namespace dshow
