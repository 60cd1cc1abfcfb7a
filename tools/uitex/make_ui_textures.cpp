// Writes the user interface's style textures and the mouse cursor as uncompressed 32-bit DDS
// files into a package source tree: Config/UI/<name>.dds, the asset "Config.UI.<name>".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace
{

using Pixel = std::function<uint32_t(int x, int y)>; // ARGB

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool WriteDds(const std::filesystem::path& path, int width, int height, const Pixel& pixel)
{
    std::vector<uint8_t> bytes;
    Put32(bytes, 0x20534444); // "DDS "
    Put32(bytes, 124);
    Put32(bytes, 0x100F); // caps, height, width, pitch, pixel format
    Put32(bytes, static_cast<uint32_t>(height));
    Put32(bytes, static_cast<uint32_t>(width));
    Put32(bytes, static_cast<uint32_t>(width * 4));
    for (int i = 0; i < 13; ++i) // depth, mip count, reserved
        Put32(bytes, 0);
    Put32(bytes, 32);
    Put32(bytes, 0x41); // RGB with alpha
    Put32(bytes, 0);
    Put32(bytes, 32);
    Put32(bytes, 0x00FF0000);
    Put32(bytes, 0x0000FF00);
    Put32(bytes, 0x000000FF);
    Put32(bytes, 0xFF000000);
    Put32(bytes, 0x1000); // texture
    for (int i = 0; i < 4; ++i)
        Put32(bytes, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            Put32(bytes, pixel(x, y));
    std::filesystem::create_directories(path.parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        std::fprintf(stderr, "make_ui_textures: cannot write %s\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
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
