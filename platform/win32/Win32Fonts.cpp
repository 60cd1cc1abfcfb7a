#include "win32/Win32Fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

std::vector<std::string>& AddedFiles()
{
    static std::vector<std::string> files;
    return files;
}

bool AddToFontconfig(const std::string& path)
{
    return FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str())) == FcTrue;
}

} // namespace

int AddFontResourceA(const char* path)
{
    if (!path || !AddToFontconfig(path))
        return 0;
    AddedFiles().emplace_back(path);
    return 1;
}

int RemoveFontResourceA(const char* path)
{
    std::vector<std::string>& files = AddedFiles();
    const auto found = path ? std::find(files.begin(), files.end(), path) : files.end();
    if (found == files.end())
        return 0;
    files.erase(found);
    // Fontconfig drops application fonts only all at once; the others are added again.
    FcConfigAppFontClear(nullptr);
    for (const std::string& other : files)
        AddToFontconfig(other);
    return 1;
}
