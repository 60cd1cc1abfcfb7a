// Makes the maps from their text sources:
//   make_maps <source folder> <maps folder> <package source folder>
// Each <name>.txt of the source folder becomes <maps folder>/<name>.map, and its sky the
// texture "Maps.Sky.<name>" (<package source folder>/Maps/Sky/<name>.dds): the flat sky, a cube
// map for a cube sky, the dome's image for a sky on a dome (which its model's material names). The light maps
// are made as textures of a recording device, which draws nothing.
#include "WeMapSource.h"
#include "WeRenderDevice.h"
#include "WeTexture.h"
#include "d3d9/D3d9Device.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{

constexpr uint32_t skyWidth = 256, skyHeight = 128, skyEdge = 256;

bool MakeMap(const std::filesystem::path& source, const std::filesystem::path& maps,
             const std::filesystem::path& packages)
{
    std::ifstream in(source);
    std::stringstream text;
    text << in.rdbuf();
    const std::string name = source.stem().string();
    WeMapSource map;
    WeDdsWriter sky;
    if (!in || !map.Parse(text.str()))
    {
        std::fprintf(stderr, "make_maps: %s: %s\n", source.c_str(), map.GetLastError().c_str());
        return false;
    }
    const std::string skyPath = (packages / "Maps" / "Sky" / (name + ".dds")).string();
    const bool written =
        !map.skyDome.empty()
            ? sky.Write(skyPath, map.SkyDomeImage(skyWidth, skyHeight), d3d9::D3DFMT_DXT1, true)
        : map.cubeSky ? sky.WriteCube(skyPath, map.CubeSky(skyEdge), d3d9::D3DFMT_DXT1, true)
                      : sky.Write(skyPath, map.Sky(skyWidth, skyHeight), d3d9::D3DFMT_DXT1, false);
    if (!written)
    {
        std::fprintf(stderr, "make_maps: %s: %s\n", name.c_str(), sky.GetLastError().c_str());
        return false;
    }
    if (!map.Write((maps / (name + ".map")).string(), "Maps.Sky." + name))
    {
        std::fprintf(stderr, "make_maps: %s: %s\n", name.c_str(), map.GetLastError().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: make_maps <source folder> <maps folder> <package source folder>\n");
        return 2;
    }
    std::filesystem::create_directories(argv[2]);
    d3d9::Direct3D* direct3D = d3d9::CreateRecordingDirect3D();
    d3d9::PresentParameters parameters;
    parameters.backBufferWidth = 64;
    parameters.backBufferHeight = 64;
    if (d3d9::Failed(
            direct3D->CreateDevice(0, d3d9::D3DDEVTYPE_HAL, nullptr, 0, &parameters, &renderDevice.device)))
    {
        std::fprintf(stderr, "make_maps: no recording device\n");
        return 1;
    }
    bool made = true;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.path().extension() == ".txt")
            made = MakeMap(entry.path(), argv[2], argv[3]) && made;
    textures.FreeAll(true);
    renderDevice.device->Release();
    renderDevice.device = nullptr;
    direct3D->Release();
    return made ? 0 : 1;
}
