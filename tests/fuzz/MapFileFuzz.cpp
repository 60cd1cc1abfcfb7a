// libFuzzer target for map files: the bytes become "Maps/fuzz.map" in a temporary working
// folder and a scene loads them step by step on a device of the recording back end, so that light
// maps are made and compressed as in the game. Whatever the bytes, the load finishes or fails
// cleanly, every actor it kept is indexed, and every light map it made had its pixels in the file:
// a record that declares 4096 x 4096 pixels and holds a byte of them makes nothing (it used to cost
// a whole texture and seconds of compression, once per actor).
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeTexture.h"
#include "d3d9/D3d9Device.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace
{

bool StartDevice()
{
    engine.settings.width = 64;
    engine.settings.height = 32;
    engine.settings.displayMode = 3;
    d3d9::AdapterSetup setup;
    setup.modes = {{640, 480, 60, d3d9::D3DFMT_X8R8G8B8}};
    renderDevice.direct3D = d3d9::CreateRecordingDirect3D(setup);
    return renderDevice.Init(nullptr, nullptr, "", 0, 0, 0, 0, false, engine.settings.displayMode, 2, true);
}

// The light map, compressed to DXT1, is no larger than the pixels its record held.
bool LightMapHeld(const WeActor& actor, size_t fileSize)
{
    const WeTexture* map = actor.lightMap.texture;
    return !map ||
           d3d9::LevelBytes(d3d9::D3DFMT_DXT1, uint32_t(map->width), uint32_t(map->height)) <= fileSize;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool folderReady = []
    {
        // The device starts where it finds the package; the maps are written elsewhere.
        if (!StartDevice())
            std::fprintf(stderr, "No recording device (%s): light maps are not made\n",
                         engine.lastError.GetData());
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
    scene.actors.ForEach(
        [size](const WeString&, WeActor* actor)
        {
            if (!LightMapHeld(*actor, size))
                __builtin_trap();
        });
    scene.Tick();
    return 0;
}
