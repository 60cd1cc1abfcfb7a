// libFuzzer target for the package directory reader: any bytes, taken as a descrambled
// package, must load or fail cleanly, and whatever loads must open and read within the file.
#include "WeDataFile.h"

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/we_fuzz_package_" + std::to_string(getpid()) + ".dat";
    std::vector<uint8_t> bytes(data, data + size);
    WeScrambleBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);

    WeDataFile package(path.c_str());
    WeList<WeString> groups, subgroups, files;
    package.GetGroups(groups);
    std::vector<uint8_t> entry;
    for (const WeString& group : groups)
        for (int32_t type = 0; type < WeAssetTypeCount; ++type)
        {
            package.GetSubgroups(subgroups, group, static_cast<WeAssetType>(type));
            for (const WeString& subgroup : subgroups)
            {
                package.GetFiles(files, group, subgroup, static_cast<WeAssetType>(type));
                for (const WeString& name : files)
                {
                    if (!package.Open(group + "." + subgroup + "." + name, static_cast<WeAssetType>(type)))
                        continue;
                    entry.resize(static_cast<size_t>(package.GetFileSize()));
                    if (package.GetStream().Read(entry.data(), package.GetFileSize()) !=
                        package.GetFileSize())
                        __builtin_trap();
                }
            }
        }
    return 0;
}
