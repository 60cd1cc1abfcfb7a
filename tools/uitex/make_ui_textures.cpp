// Writes the user interface's style textures and the mouse cursor as uncompressed 32-bit DDS
// files into a package source tree: Config/UI/<name>.dds, the asset "Config.UI.<name>".
#include "WeDdsWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

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

// ---- the dialogs, the intro's images and the menu backdrop ----

// The menu window's frame, opaque: a question stays readable over the screen beneath it.
uint32_t DialogWindow(int x, int y)
{
    return Window(x, y) | 0xFF000000u;
}

uint32_t Argb(int a, int r, int g, int b)
{
    auto clamp = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return clamp(a) << 24 | clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

// One of the board's block colours, by index.
uint32_t BlockColour(int i, int shade)
{
    static const int colours[5][3] = {
        {220, 80, 60}, {80, 170, 230}, {240, 200, 70}, {110, 200, 110}, {180, 110, 220}};
    const int* c = colours[i % 5];
    return Argb(255, c[0] + shade, c[1] + shade, c[2] + shade);
}

// A bevelled block inside a cell of `size` pixels: lighter top-left edge, darker bottom-right.
uint32_t Block(int x, int y, int size, int colour)
{
    const int u = x % size, v = y % size;
    if (u < 2 || v < 2 || u >= size - 2 || v >= size - 2)
        return 0;
    const int shade = (u < 6 || v < 6) ? 40 : (u >= size - 6 || v >= size - 6) ? -50 : 0;
    return BlockColour(colour, shade);
}

// The maker's sign: three nested squares glowing on a dark field.
uint32_t IntroSign(int x, int y)
{
    const int dx = std::abs(x - 128), dy = std::abs(y - 64);
    const int ring = std::max(dx, dy);
    const int glow = std::max(0, 90 - (dx * dx + dy * dy) / 60);
    for (int edge : {20, 36, 52})
        if (ring >= edge && ring < edge + 4)
            return Argb(255, 120 + edge * 2, 180 + edge, 255);
    return Argb(255, 8 + glow / 3, 12 + glow / 2, 30 + glow);
}

// A board seen from above: a frame of walls around rows of coloured blocks.
uint32_t IntroBoard(int x, int y)
{
    const int cell = 32, cx = x / cell, cy = y / cell;
    if (cx == 0 || cy == 0 || cx == 7 || cy == 3)
        return Block(x, y, cell, 4) ? Argb(255, 90, 96, 110) : Argb(255, 30, 34, 44);
    if ((cx + cy) % 3 == 0)
        return Argb(255, 24, 40, 60);
    const uint32_t block = Block(x, y, cell, cx * 3 + cy);
    return block ? block : Argb(255, 24, 40, 60);
}

// The title's backdrop: a falling row of blocks over a dusk gradient, with room for the name.
uint32_t IntroTitle(int x, int y)
{
    const int cell = 16;
    if (y >= 96 && (x / cell) % 2 == 0)
        if (const uint32_t block = Block(x, y - 96, cell, x / cell / 2))
            return block;
    return Argb(255, 40 + y / 3, 20 + y / 4, 70 + y / 2);
}

// A colour at `alpha` / 255 over black, rounded as a blend would write it.
uint32_t OverBlack(uint32_t argb, int alpha)
{
    auto channel = [argb, alpha](int shift) { return (int(argb >> shift & 0xFFu) * alpha + 127) / 255; };
    return Argb(255, channel(16), channel(8), channel(0));
}

// Behind every menu: a deep gradient crossed by a faint grid, with a few pale blocks. Opaque, the
// blocks at a third of their colour as over the black the menus clear to: the menus draw it
// without blending.
uint32_t MenuBack(int x, int y)
{
    const bool grid = x % 32 == 0 || y % 32 == 0;
    const int cx = x / 32, cy = y / 32;
    if ((cx * 7 + cy * 5 + 4) % 11 == 0)
        if (const uint32_t block = Block(x, y, 32, cx + cy))
            return OverBlack(block, 0x50);
    const int base = 20 + y / 6;
    return grid ? Argb(255, base + 14, base + 20, base + 44) : Argb(255, base / 2, base / 2 + 6, base + 24);
}

// ---- lists, scroll bars and edit boxes ----

// The four button states of a 16-pixel square, stacked: normal, hover, pressed, selected.
uint32_t SmallButtonFill(int state)
{
    static const uint32_t fills[4] = {0xE0304060u, 0xF0506890u, 0xF0203048u, 0xF0406040u};
    return fills[state & 3];
}

bool SmallRim(int x, int y)
{
    const int row = y % 16;
    return x == 0 || x == 15 || row == 0 || row == 15;
}

// A triangle pointing along (dx, dy) inside a 16-pixel cell.
bool Arrow(int x, int y, int dx, int dy)
{
    const int u = x - 8, v = y % 16 - 8;
    const int along = u * dx + v * dy;     // towards the tip
    const int across = u * dy - v * dx;    // sideways
    const int halfWidth = (4 - along) / 2; // 0 at the tip, 3 at the base
    return along >= -3 && along <= 3 && std::abs(across) <= halfWidth;
}

uint32_t ArrowButton(int x, int y, int dx, int dy)
{
    if (SmallRim(x, y))
        return 0xFFC0C8D8u;
    return Arrow(x, y, dx, dy) ? 0xFFF0F4FFu : SmallButtonFill(y / 16);
}

uint32_t ScrollUp(int x, int y)
{
    return ArrowButton(x, y, 0, -1);
}
uint32_t ScrollDown(int x, int y)
{
    return ArrowButton(x, y, 0, 1);
}
uint32_t ScrollLeft(int x, int y)
{
    return ArrowButton(x, y, -1, 0);
}
uint32_t ScrollRight(int x, int y)
{
    return ArrowButton(x, y, 1, 0);
}

// The thumb: a filled square with a lighter rim, per state.
uint32_t ScrollThumb(int x, int y)
{
    return SmallRim(x, y) ? 0xFFD8E0F0u : SmallButtonFill(y / 16);
}

// The track the thumb runs along: dark inside a thin lighter line.
uint32_t ScrollTrack(int x, int y)
{
    const int edge = std::min(std::min(x, 15 - x), std::min(y, 15 - y));
    return edge == 0 ? 0xFF404858u : 0xC0101620u;
}

// The list's panel: a one-pixel light line around a deep fill.
uint32_t ListWindow(int x, int y)
{
    const int edge = std::min(std::min(x, 31 - x), std::min(y, 31 - y));
    if (edge < 1)
        return 0xFF8890A0u;
    return edge < 4 ? 0xF0202838u : 0xE0080C14u;
}

// The column headers' panel, stretched over each header: a bright lower edge under a dark fill.
uint32_t ListHeader(int x, int y)
{
    if (y == 15)
        return 0xFFB0C0D8u;
    return x == 0 || x == 63 || y == 0 ? 0xFF506078u : 0xF0283850u;
}

// The edit box: a sunken field, darker at the top and left edges.
uint32_t EditBox(int x, int y)
{
    const int edge = std::min(std::min(x, 31 - x), std::min(y, 31 - y));
    if (edge < 1)
        return x < 16 && y < 16 ? 0xFF303848u : 0xFFA0A8B8u;
    return edge < 3 ? 0xF0182028u : 0xF0060A10u;
}

// Whether the texel of a 16-pixel cell lies on the tick: a short stroke down to (6, 11), then a
// long one up to (12, 4).
bool Tick(int x, int y)
{
    const auto onStroke = [x, y](float ax, float ay, float bx, float by)
    {
        const float dx = bx - ax, dy = by - ay;
        const float t =
            std::clamp((float(x - ax) * dx + float(y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
        return std::hypot(float(x) - (ax + t * dx), float(y) - (ay + t * dy)) <= 1.2f;
    };
    return onStroke(3, 8, 6, 11) || onStroke(6, 11, 12, 4);
}

// The check box: unchecked above checked, a dark well in a light rim, the checked one ticked.
uint32_t CheckBox(int x, int y)
{
    if (SmallRim(x, y))
        return 0xFFC0C8D8u;
    return y >= 16 && Tick(x, y % 16) ? 0xFF90F0A0u : 0xF0101820u;
}

// ---- the level screens: loading, the in-game display and the tutorials ----

// Behind the pause menu: the level darkened.
uint32_t BlackIngame(int, int)
{
    return 0xA0000000u;
}

// The time bar: a dark trough, the bar from green to amber, and a frame over both.
uint32_t ProgressBack(int, int y)
{
    return Argb(200, 16, 20, 28 + y);
}

uint32_t ProgressBar(int x, int y)
{
    const int shine = y < 5 ? 40 : 0;
    return Argb(255, 60 + x / 2 + shine, 200 - x / 4 + shine, 60 + shine);
}

uint32_t ProgressFrame(int x, int y)
{
    const bool edge = x < 2 || x > 253 || y < 2 || y > 13;
    return edge ? 0xFFC0C8D8u : 0;
}

// A 3 x 3 grid of pips, n of them lit in reading order, within a square of `size` pixels.
bool Pip(int x, int y, int size, int n)
{
    const int cell = size / 3;
    const int column = std::min(x / cell, 2), row = std::min(y / cell, 2);
    const int dx = x - column * cell - cell / 2, dy = y - row * cell - cell / 2;
    return row * 3 + column < n && dx * dx + dy * dy <= cell * cell / 9;
}

// Bonus cube n: a bevelled cube with n pips, in the four stacked button states.
uint32_t BonusCube(int n, int x, int y)
{
    static const int shades[4] = {0, 40, -30, 20};
    const int v = y % 48;
    const uint32_t block = Block(x, v, 48, n);
    if (!block)
        return 0;
    if (x >= 10 && x < 38 && v >= 10 && v < 38 && Pip(x - 10, v - 10, 28, n))
        return 0xFFFFFFFFu;
    const int shade = shades[y / 48];
    return Argb(255, int(block >> 16 & 0xFF) + shade, int(block >> 8 & 0xFF) + shade,
                int(block & 0xFF) + shade);
}

// A tutorial's picture: the block kind it explains, large, on a dark field, with its sign.
uint32_t Tutorial(int k, int x, int y)
{
    const int u = x - 64, v = y - 64, au = std::abs(u), av = std::abs(v);
    const int r2 = u * u + v * v;
    const uint32_t field = Argb(255, 20, 28, 44);
    switch (k)
    {
    case 7: // magnet: a red horseshoe with silver tips
        if (r2 <= 40 * 40 && r2 >= 20 * 20 && v <= 0)
            return Argb(255, 210, 40, 40);
        if (au >= 20 && au <= 40 && v > 0 && v <= 40)
            return v > 24 ? Argb(255, 210, 215, 225) : Argb(255, 210, 40, 40);
        return field;
    case 8: // track: two rails over sleepers, an arrow along them
        if (av >= 22 && av <= 26)
            return Argb(255, 200, 200, 210);
        if (av < 34 && (x % 16) < 5)
            return Argb(255, 120, 80, 50);
        return au + 2 * av < 18 && u > -8 ? Argb(255, 250, 220, 80) : field;
    case 9: // teleport: glowing rings
        return (r2 / 64) % 3 == 0 && r2 < 44 * 44 ? Argb(255, 120, 220, 255) : field;
    case 10: // the mouse: left button lit, arrows to either side
        if (au <= 18 && v >= -30 && v <= 30)
            return v < -4 && u < 0     ? Argb(255, 250, 200, 80)
                   : v == -4 || u == 0 ? field
                                       : Argb(255, 200, 205, 215);
        return au >= 30 && au <= 50 && av <= 50 - au ? Argb(255, 120, 220, 120) : field;
    default:
        break;
    }
    if (au >= 40 || av >= 40)
        return field;
    static const int colours[7] = {1, 3, 0, 2, 4, 1, 4}; // N + - J P D U
    const uint32_t body = Block(x - 24, y - 24, 80, colours[k]);
    if (k == 5 && au < 34 && av < 34) // D: only a dashed rim
        return field;
    const uint32_t sign = 0xFFFFFFFFu;
    switch (k)
    {
    case 0:
        return x >= 34 && x < 94 && y >= 34 && y < 94 && Pip(x - 34, y - 34, 60, 3) ? sign : body;
    case 1:
        return (au < 6 && av < 24) || (av < 6 && au < 24) ? sign : body;
    case 2:
        return av < 6 && au < 24 ? sign : body;
    case 3:
        return au + av < 22 ? sign : body;
    case 5:
        return ((x + y) / 8) % 2 ? body : field;
    case 6:
        return (au >= 14 && au < 22 && v > -20 && v < 20) || (v >= 12 && v < 20 && au < 22) ? sign : body;
    default:
        return body;
    }
}

// ---- the level results: the avatars beside the facts and the awarded cube ----

// Mivo, the game's block with a face, in one of three moods: looking left and smiling, straight
// on and surprised, looking right and grinning.
uint32_t Avatar(int x, int y, int mood)
{
    const uint32_t block = Block(x, y, 64, mood + 1);
    if (!block)
        return 0;
    for (const int eyeX : {22, 42})
    {
        const int dx = x - eyeX, dy = y - 26;
        const int px = dx - (mood - 1) * 3; // the pupil, to the side the avatar looks
        if (px * px + dy * dy <= 9)
            return 0xFF101418u;
        if (dx * dx + dy * dy <= 49)
            return 0xFFFFFFFFu;
    }
    // A ring when surprised; else a smile, the grin wider and flatter.
    const int mx = x - 32, my = y - 46;
    const bool mouth = mood == 1 ? mx * mx + my * my >= 9 && mx * mx + my * my <= 25
                                 : std::abs(mx) <= 10 + 4 * (mood / 2) &&
                                       std::abs(my + mx * mx / (14 + 6 * (mood / 2))) <= 1;
    return mouth ? 0xFF301010u : block;
}

bool WriteAvatars(const std::filesystem::path& ui)
{
    for (int mood = 0; mood < 3; ++mood)
        if (!WriteDds(ui / ("MivoAvatar" + std::to_string(mood + 1) + ".dds"), 64, 64,
                      [mood](int x, int y) { return Avatar(x, y, mood); }))
            return false;
    return true;
}

// ---- the quest map ----

// The middles of the fifteen regions as fractions of the map; the quest layout places each
// region's cities and label around the same points.
constexpr float kRegionMiddles[15][2] = {
    {0.12f, 0.20f}, {0.32f, 0.16f}, {0.52f, 0.22f}, {0.72f, 0.15f}, {0.90f, 0.24f},
    {0.10f, 0.50f}, {0.30f, 0.48f}, {0.50f, 0.52f}, {0.70f, 0.46f}, {0.88f, 0.55f},
    {0.14f, 0.80f}, {0.34f, 0.82f}, {0.54f, 0.80f}, {0.74f, 0.84f}, {0.90f, 0.82f},
};

// Land of fifteen regions, each the part nearest its middle and tinted its own, with darker
// borders between them, in a sea along the edges.
uint32_t QuestMap(int x, int y)
{
    const float u = float(x) / 512.0f, v = float(y) / 256.0f;
    float best = 9.0f, second = 9.0f;
    int region = 0;
    for (int r = 0; r < 15; ++r)
    {
        const float du = u - kRegionMiddles[r][0], dv = (v - kRegionMiddles[r][1]) * 0.5f;
        const float d = std::sqrt(du * du + dv * dv);
        if (d < best)
        {
            second = best;
            best = d;
            region = r;
        }
        else if (d < second)
            second = d;
    }
    const float coast = std::min(std::min(u, 1.0f - u), std::min(v, 1.0f - v) * 0.5f);
    if (coast < 0.02f + 0.01f * float((x * 7 + y * 13) % 5) / 5.0f)
        return Argb(255, 30, 70, 120);
    if (second - best < 0.004f)
        return Argb(255, 60, 50, 40);
    const int shade = (x / 3 + y / 3) % 2 * 8;
    return Argb(255, 80 + region * 9 % 60 + shade, 120 + region * 23 % 70 + shade, 60 + region * 17 % 50);
}

// A city or teleport: four stacked 32-row states (normal, hover, pressed glow, finished) of a
// round marker.
uint32_t CityButton(int x, int y)
{
    static const uint32_t fills[4] = {0xFFE8E8E8u, 0xFFFFF0A0u, 0xFFFFFFFFu, 0xFFA0E0A0u};
    const int state = y / 32, dx = x - 16, dy = y % 32 - 16;
    const int r2 = dx * dx + dy * dy;
    if (state == 2 && r2 <= 225)
        return Argb(255 - r2, 255, 255, 200); // the glow fades outwards
    if (r2 > 100)
        return 0;
    return r2 > 64 ? 0xFF202020u : fills[state];
}

// The zoom cursor: a magnifying glass.
uint32_t CursorZoom(int x, int y)
{
    const int dx = x - 6, dy = y - 6;
    const int r2 = dx * dx + dy * dy;
    if (r2 >= 16 && r2 <= 30)
        return 0xFF000000u;
    if (r2 < 16)
        return 0x80FFFFFFu;
    return x >= 9 && y >= 9 && std::abs(x - y) <= 1 ? 0xFF000000u : 0;
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
    bool ok = WriteDds(ui / "Cursor.dds", 16, 16, Cursor) &&
              WriteDds(ui / "MenuButton.dds", 128, 128, Button) &&
              WriteDds(ui / "MenuWindow.dds", 32, 32, Window) &&
              WriteDds(ui / "MivoDialogWindow.dds", 32, 32, DialogWindow) &&
              WriteDds(ui / "MivoIntro1.dds", 256, 128, IntroSign) &&
              WriteDds(ui / "MivoIntro2.dds", 256, 128, IntroBoard) &&
              WriteDds(ui / "MivoIntro3.dds", 256, 128, IntroTitle) &&
              WriteDds(ui / "MivoMenuBack.dds", 256, 256, MenuBack) &&
              WriteDds(ui / "MivoListWindow.dds", 32, 32, ListWindow) &&
              WriteDds(ui / "MivoListHeader.dds", 64, 16, ListHeader) &&
              WriteDds(ui / "MivoScrollTrack.dds", 16, 16, ScrollTrack) &&
              WriteDds(ui / "MivoScrollThumb.dds", 16, 64, ScrollThumb) &&
              WriteDds(ui / "MivoScrollUp.dds", 16, 64, ScrollUp) &&
              WriteDds(ui / "MivoScrollDown.dds", 16, 64, ScrollDown) &&
              WriteDds(ui / "MivoScrollLeft.dds", 16, 64, ScrollLeft) &&
              WriteDds(ui / "MivoScrollRight.dds", 16, 64, ScrollRight) &&
              WriteDds(ui / "MivoEditBox.dds", 32, 32, EditBox) &&
              WriteDds(ui / "MivoCheckBox.dds", 16, 32, CheckBox) &&
              WriteDds(ui / "MivoBlackIngame.dds", 8, 8, BlackIngame) &&
              WriteDds(ui / "MivoProgressBack.dds", 256, 16, ProgressBack) &&
              WriteDds(ui / "MivoProgressBar.dds", 256, 16, ProgressBar) &&
              WriteDds(ui / "MivoProgressFrame.dds", 256, 16, ProgressFrame) &&
              WriteDds(ui / "MivoQuestMap.dds", 512, 256, QuestMap) &&
              WriteDds(ui / "MivoCityButton.dds", 32, 128, CityButton) &&
              WriteDds(ui / "cursor_zoom.dds", 16, 16, CursorZoom);
    for (int n = 1; ok && n <= 9; ++n)
        ok = WriteDds(ui / ("MivoBonusCube" + std::to_string(n) + ".dds"), 48, 192,
                      [n](int x, int y) { return BonusCube(n, x, y); });
    // The awarded cube on the level result: the cube's picture without its button states.
    for (int n = 1; ok && n <= 9; ++n)
        ok = WriteDds(ui / ("MivoCubePicture" + std::to_string(n) + ".dds"), 48, 48,
                      [n](int x, int y) { return BonusCube(n, x, y); });
    ok = ok && WriteAvatars(ui);
    for (int k = 0; ok && k <= 10; ++k)
        ok = WriteDds(ui / ("MivoTutorial" + std::to_string(k) + ".dds"), 128, 128,
                      [k](int x, int y) { return Tutorial(k, x, y); });
    return ok ? 0 : 1;
}
