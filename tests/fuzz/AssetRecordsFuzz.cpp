// libFuzzer target for the asset records the engine reads from the package: the first byte
// chooses the reader, the rest is the asset's bytes, served by a loose-file package in a
// temporary folder. Whatever the bytes, a load ends in a loaded asset or a clean refusal.
#include "WeFileSystem.h"
#include "WeMaterial.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace
{

WeFileSystem& Package()
{
    static std::unique_ptr<WeFileSystem> files = []
    {
        char pattern[] = "/tmp/we_fuzz_assets_XXXXXX";
        return std::make_unique<WeFileSystem>(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return *files;
}

bool WriteAsset(const char* assetName, WeAssetType type, const uint8_t* data, size_t size)
{
    WeFileSystem& files = Package();
    return files.OpenWrite(assetName, type, true) && files.GetStream().Write(data, int64_t(size)) &&
           files.CloseWrite();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t choice = data[0] % 1;
    ++data;
    --size;
    switch (choice)
    {
    case 0:
    {
        if (!WriteAsset("Fuzz.Input.material", WeAssetType::Material, data, size))
            return 0;
        WeMaterial material;
        if (material.Load(&Package(), "Fuzz.Input.material") && material.name.IsEmpty())
            __builtin_trap();
        break;
    }
    }
    return 0;
}
