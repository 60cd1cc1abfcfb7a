// libFuzzer target for map files: the bytes become "Maps/fuzz.map" in a temporary working
// folder and a scene loads them step by step. Whatever the bytes, the load finishes or fails
// cleanly, and every actor it kept is indexed.
#include "WeScene.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool folderReady = []
    {
        char pattern[] = "/tmp/we_fuzz_maps_XXXXXX";
        if (!mkdtemp(pattern))
            return false;
        std::filesystem::current_path(pattern);
        std::filesystem::create_directory("Maps");
        return true;
    }();
    if (!folderReady)
        return 0;
    if (FILE* file = std::fopen("Maps/fuzz.map", "wb"))
    {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    WeScene scene;
    if (scene.BeginLoad("fuzz"))
        for (int32_t steps = 0; !scene.finished && scene.LoadStep(); ++steps)
            if (steps > int32_t(size))
                __builtin_trap(); // every step reads at least a type id
    if (scene.actors.GetCount() != scene.nextId)
        __builtin_trap();
    scene.Tick();
    return 0;
}
