// Writes the texture manager's default textures as DDS files into a package source tree:
//   make_textures <folder>  ->  <folder>/Config/Assets/<name>.dds, the asset "Config.Assets.<name>".
// Single-colour textures are DXT1 (exact for pure black and white); textures whose values are
// looked up as data (the flat normal, the outline ramp) stay uncompressed.
#include "WeDdsWriter.h"

#include <cstdio>
#include <filesystem>
#include <functional>

namespace
{

struct DefaultTexture
{
    const char* name;
    uint32_t width, height;
    d3d9::Format format;
    std::function<uint32_t(uint32_t x, uint32_t y)> pixel; // ARGB
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_textures <package source folder>\n");
        return 2;
    }
    const std::filesystem::path assets = std::filesystem::path(argv[1]) / "Config" / "Assets";
    const DefaultTexture defaults[] = {
        {"DefaultBlack", 4, 4, d3d9::D3DFMT_DXT1, [](uint32_t, uint32_t) { return 0xFF000000u; }},
        {"DefaultWhite", 4, 4, d3d9::D3DFMT_DXT1, [](uint32_t, uint32_t) { return 0xFFFFFFFFu; }},
        // The tangent-space normal (0, 0, 1): x and y at the middle of their range.
        {"DefaultNormal", 4, 4, d3d9::D3DFMT_A8R8G8B8, [](uint32_t, uint32_t) { return 0xFF8080FFu; }},
        // Black to white across, one step per texel.
        {"DefaultOutlineRamp", 256, 4, d3d9::D3DFMT_A8R8G8B8,
         [](uint32_t x, uint32_t) { return 0xFF000000u | x << 16 | x << 8 | x; }},
    };
    WeDdsWriter writer;
    for (const DefaultTexture& texture : defaults)
    {
        const std::filesystem::path path = assets / (std::string(texture.name) + ".dds");
        if (!writer.Write(path.string(), WeDdsImage::Drawn(texture.width, texture.height, texture.pixel),
                          texture.format, true))
        {
            std::fprintf(stderr, "make_textures: %s\n", writer.GetLastError().c_str());
            return 1;
        }
    }
    return 0;
}
