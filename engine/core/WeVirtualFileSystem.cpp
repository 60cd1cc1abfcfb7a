#include "WeVirtualFileSystem.h"

#include "WeDataFile.h"
#include "WeFileSystem.h"
#include "win32/Win32Files.h"

#include <memory>

namespace
{

// The back ends, in the order they are made; destroyed together when the program ends.
struct BackEnds
{
    std::unique_ptr<WeFileSystem> loose = std::make_unique<WeFileSystem>();
    std::unique_ptr<WeDataFile> package = std::make_unique<WeDataFile>();
    WeVirtualFileSystem* const choices[2] = {package.get(), loose.get()};
};

constexpr int CurrentBackEnd = 0;

BackEnds& GetBackEnds()
{
    static BackEnds backEnds;
    return backEnds;
}

} // namespace

WeVirtualFileSystem* WeVirtualFileSystem::GetFileSystem()
{
    return GetBackEnds().choices[CurrentBackEnd];
}

WeVirtualFileSystem* WeVirtualFileSystem::GetLooseFileSystem()
{
    return GetBackEnds().loose.get();
}

const WeString& WeGetExecutableFolder()
{
    static const WeString folder = []
    {
        const std::string& path = win32::GetModuleFileName();
        const size_t slash = path.find_last_of("/\\");
        return WeString(path.c_str(), slash == std::string::npos ? 0 : static_cast<int32_t>(slash));
    }();
    return folder;
}
