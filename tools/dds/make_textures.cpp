// Writes the texture manager's default textures as DDS files into a package source tree:
//   make_textures <folder>  ->  <folder>/Config/Assets/<name>.dds, the asset "Config.Assets.<name>".
// Single-colour textures are DXT1 (exact for pure black and white); textures whose values are
// looked up as data (the flat normal, the outline ramp) stay uncompressed.
#include "WeDdsWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace
{

// A repeatable hash of a texel to 0..255.
uint32_t Noise(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (h ^ (h >> 16)) & 0xFF;
}

// A smooth wave of 0..255 over a tiling period of `size` texels.
uint32_t Wave(uint32_t t, uint32_t size, uint32_t turns)
{
    const double angle = 6.283185307179586 * turns * t / size;
    return uint32_t(127.5 + 127.0 * std::sin(angle));
}

// White with the alpha of the profile at the texel's distance from the middle (0 there, 1 at the
// edge); nothing beyond the edge.
uint32_t Glow(uint32_t x, uint32_t y, uint32_t size, double (*profile)(double))
{
    const double half = size / 2.0;
    const double r = std::hypot(x + 0.5 - half, y + 0.5 - half) / half;
    const double alpha = r < 1.0 ? std::clamp(profile(r), 0.0, 1.0) : 0.0;
    return uint32_t(std::lround(alpha * 255.0)) << 24 | 0x00FFFFFFu;
}

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
        // Post-processing: ripples that bend the image under refracting surfaces (red and green
        // are the offsets, tiling), and the film grain's grey noise.
        {"Refraction", 64, 64, d3d9::D3DFMT_A8R8G8B8,
         [](uint32_t x, uint32_t y) {
             return 0xFF000080u | Wave(x + 2 * Wave(y, 64, 1) / 32, 64, 2) << 16 |
                    Wave(y + x / 4, 64, 3) << 8;
         }},
        {"FilmGrainNoise", 128, 128, d3d9::D3DFMT_A8R8G8B8,
         [](uint32_t x, uint32_t y)
         {
             const uint32_t grey = Noise(x, y, 7);
             return 0xFF000000u | grey << 16 | grey << 8 | grey;
         }},
        // Light sprites, drawn additively by their alpha: the corona's glow falling off from the
        // middle, and a lens flare's thin ring.
        {"Corona", 64, 64, d3d9::D3DFMT_A8R8G8B8,
         [](uint32_t x, uint32_t y)
         { return Glow(x, y, 64, [](double r) { return std::pow(1.0 - r, 3.0); }); }},
        {"Flare", 64, 64, d3d9::D3DFMT_A8R8G8B8,
         [](uint32_t x, uint32_t y) {
             return Glow(x, y, 64, [](double r) { return std::exp(-std::pow((r - 0.8) * 12.0, 2.0)) * 0.6; });
         }},
        // A projector's light through a window of four panes: the panes bright, the frame and
        // the edge dark.
        {"ProjectorWindow", 64, 64, d3d9::D3DFMT_A8R8G8B8,
         [](uint32_t x, uint32_t y)
         {
             const auto inPane = [](uint32_t t) { return t % 32 >= 4 && t % 32 < 29; };
             return inPane(x) && inPane(y) ? Glow(x, y, 64, [](double r) { return 1.0 - r * r * r; })
                                           : 0x00FFFFFFu;
         }},
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
