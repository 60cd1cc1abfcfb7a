// Writes the user interface's style textures and the mouse cursor as uncompressed 32-bit DDS
// files into a package source tree: Config/UI/<name>.dds, the asset "Config.UI.<name>".
#include "WeDdsWriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace
{

using Pixel = std::function<uint32_t(int x, int y)>; // ARGB

// Uncompressed and without mip levels: the widgets draw texel-exact pieces of these.
bool WriteDds(const std::filesystem::path& path, int width, int height, const Pixel& pixel)
{
    WeDdsWriter writer;
    const WeDdsImage image =
        WeDdsImage::Drawn(uint32_t(width), uint32_t(height),
                          [&pixel](uint32_t x, uint32_t y) { return pixel(int(x), int(y)); });
    if (!writer.Write(path.string(), image, d3d9::D3DFMT_A8R8G8B8, false))
    {
        std::fprintf(stderr, "make_ui_textures: %s\n", writer.GetLastError().c_str());
        return false;
    }
    return true;
}

// An arrow: white inside, black edge, clear elsewhere.
uint32_t Cursor(int x, int y)
{
    if (x > y || y > 12 || x + y > 18)
        return 0;
    const bool edge = x == 0 || x == y || y == 12 || x + y == 18;
    return edge ? 0xFF000000u : 0xFFFFFFFFu;
}

// Four stacked 32-row states: normal, hover, pressed, selected; a lighter one-pixel rim.
uint32_t Button(int x, int y)
{
    static const uint32_t fills[4] = {0xE0304060u, 0xF0506890u, 0xF0203048u, 0xF0406040u};
    const int state = y / 32;
    const int row = y % 32;
    const bool rim = x == 0 || x == 127 || row == 0 || row == 31;
    return rim ? 0xFFC0C8D8u : fills[state];
}

// A dark panel with an 8-pixel frame of two tones.
uint32_t Window(int x, int y)
{
    const int edge = std::min(std::min(x, 31 - x), std::min(y, 31 - y));
    if (edge < 2)
        return 0xFFB0B8C8u;
    if (edge < 8)
        return 0xF0283040u;
    return 0xD0101820u;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_ui_textures <package source folder>\n");
        return 2;
    }
    const std::filesystem::path ui = std::filesystem::path(argv[1]) / "Config" / "UI";
    const bool ok = WriteDds(ui / "Cursor.dds", 16, 16, Cursor) &&
                    WriteDds(ui / "MenuButton.dds", 128, 128, Button) &&
                    WriteDds(ui / "MenuWindow.dds", 32, 32, Window);
    return ok ? 0 : 1;
}
