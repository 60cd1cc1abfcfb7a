// Draws the block models' textures and writes them as DDS files (DXT1 with their mip levels)
// into a package source tree: <folder>/Ingame/Textures/<name>.dds, the asset
// "Ingame.Textures.<name>".
//   make_block_textures <package folder>
// The faces of numbered, plus, minus and J blocks carry their sign, drawn from strokes; the
// wall's is brickwork. The flag of the animated flag model is here too, and the cell of the maps'
// board table ("Maps.Textures.table_cell").
#include "WeDdsWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace
{

constexpr uint32_t kSize = 128;

struct Point
{
    float x, y;
};
using Stroke = std::vector<Point>; // a polyline in a unit box, y down
using Glyph = std::vector<Stroke>;

uint32_t Argb(float r, float g, float b)
{
    auto byte = [](float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return 0xFF000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

float Mix(float a, float b, float t)
{
    return a + (b - a) * t;
}

// Distance from p to the segment a-b.
float SegmentDistance(Point p, Point a, Point b)
{
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float length = dx * dx + dy * dy;
    const float t =
        length > 0.0f ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length, 0.0f, 1.0f) : 0.0f;
    return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// How much of the pixel the strokes cover: strokes of the width, their edges smoothed over
// about a pixel.
float Coverage(const Glyph& glyph, Point p, float width, float pixel)
{
    float nearest = 1e9f;
    for (const Stroke& stroke : glyph)
        for (size_t i = 0; i + 1 < stroke.size(); ++i)
            nearest = std::min(nearest, SegmentDistance(p, stroke[i], stroke[i + 1]));
    return std::clamp((width * 0.5f - nearest) / pixel + 0.5f, 0.0f, 1.0f);
}

// The glyphs of the signs, in a box one wide and one high.
const Glyph& Sign(const std::string& name)
{
    static const std::vector<std::pair<std::string, Glyph>> glyphs = {
        {"1", {{{0.25f, 0.22f}, {0.55f, 0.0f}, {0.55f, 1.0f}}, {{0.25f, 1.0f}, {0.85f, 1.0f}}}},
        {"2",
         {{{0.1f, 0.22f},
           {0.3f, 0.02f},
           {0.7f, 0.02f},
           {0.9f, 0.22f},
           {0.9f, 0.4f},
           {0.1f, 1.0f},
           {0.9f, 1.0f}}}},
        {"3",
         {{{0.1f, 0.05f},
           {0.9f, 0.05f},
           {0.45f, 0.42f},
           {0.8f, 0.52f},
           {0.92f, 0.75f},
           {0.72f, 0.97f},
           {0.3f, 0.97f},
           {0.08f, 0.82f}}}},
        {"4", {{{0.72f, 1.0f}, {0.72f, 0.0f}, {0.05f, 0.7f}, {0.95f, 0.7f}}}},
        {"5",
         {{{0.88f, 0.02f},
           {0.18f, 0.02f},
           {0.12f, 0.46f},
           {0.5f, 0.38f},
           {0.85f, 0.5f},
           {0.92f, 0.75f},
           {0.7f, 0.97f},
           {0.3f, 0.97f},
           {0.08f, 0.84f}}}},
        {"6",
         {{{0.85f, 0.05f},
           {0.45f, 0.05f},
           {0.15f, 0.35f},
           {0.1f, 0.7f},
           {0.25f, 0.97f},
           {0.7f, 0.97f},
           {0.9f, 0.76f},
           {0.85f, 0.52f},
           {0.5f, 0.42f},
           {0.12f, 0.6f}}}},
        {"7", {{{0.05f, 0.02f}, {0.95f, 0.02f}, {0.4f, 1.0f}}}},
        {"8",
         {{{0.5f, 0.0f},
           {0.85f, 0.12f},
           {0.85f, 0.34f},
           {0.5f, 0.47f},
           {0.15f, 0.34f},
           {0.15f, 0.12f},
           {0.5f, 0.0f}},
          {{0.5f, 0.47f},
           {0.9f, 0.6f},
           {0.9f, 0.86f},
           {0.5f, 1.0f},
           {0.1f, 0.86f},
           {0.1f, 0.6f},
           {0.5f, 0.47f}}}},
        {"9",
         {{{0.15f, 0.95f},
           {0.55f, 0.95f},
           {0.85f, 0.65f},
           {0.9f, 0.3f},
           {0.75f, 0.03f},
           {0.3f, 0.03f},
           {0.1f, 0.24f},
           {0.15f, 0.48f},
           {0.5f, 0.58f},
           {0.88f, 0.4f}}}},
        {"plus", {{{0.5f, 0.1f}, {0.5f, 0.9f}}, {{0.1f, 0.5f}, {0.9f, 0.5f}}}},
        {"minus", {{{0.1f, 0.5f}, {0.9f, 0.5f}}}},
        {"j",
         {{{0.3f, 0.02f}, {0.92f, 0.02f}},
          {{0.7f, 0.02f}, {0.7f, 0.75f}, {0.55f, 0.97f}, {0.3f, 0.97f}, {0.1f, 0.8f}}}},
    };
    for (const auto& [key, glyph] : glyphs)
        if (key == name)
            return glyph;
    static const Glyph none;
    return none;
}

// A block's face: light, darkening towards a soft rim. x and y in 0..1.
float FaceShade(float x, float y)
{
    const float edge = std::min(std::min(x, 1.0f - x), std::min(y, 1.0f - y));
    return Mix(0.72f, 1.0f, std::clamp(edge / 0.12f, 0.0f, 1.0f));
}

uint32_t Face(float x, float y)
{
    const float shade = FaceShade(x, y);
    return Argb(shade, shade, shade);
}

// The face with a dark sign in its middle.
uint32_t SignedFace(const Glyph& glyph, float x, float y)
{
    const float shade = FaceShade(x, y);
    const Point p{(x - 0.3f) / 0.4f, (y - 0.22f) / 0.56f};
    const float ink = Coverage(glyph, p, 0.2f, 1.0f / (0.4f * kSize));
    return Argb(Mix(shade * 0.98f, 0.05f, ink), Mix(shade * 0.96f, 0.08f, ink),
                Mix(shade * 0.9f, 0.25f, ink));
}

// Bricks of 64 x 32 texels, every other row shifted by half a brick, in mortar.
uint32_t Brick(float x, float y)
{
    const float row = y * 4.0f;
    const float shifted = x * 2.0f + (int(row) % 2 ? 0.5f : 0.0f);
    const float across = shifted - std::floor(shifted), down = row - std::floor(row);
    if (across < 0.03f || down < 0.06f)
        return Argb(0.72f, 0.7f, 0.66f);
    const int brick = int(row) * 3 + int(shifted);
    const float tone = 0.85f + 0.15f * float((brick * 7) % 5) / 4.0f;
    return Argb(0.62f * tone, 0.3f * tone, 0.22f * tone);
}

// The face of a block that goes: a dashed rim.
uint32_t DashedFace(float x, float y)
{
    const float edge = std::min(std::min(x, 1.0f - x), std::min(y, 1.0f - y));
    const float along = edge == std::min(x, 1.0f - x) ? y : x;
    const bool dash = edge > 0.05f && edge < 0.12f && int(along * 8.0f) % 2 == 0;
    const float shade = dash ? 0.45f : FaceShade(x, y);
    return Argb(shade, shade, shade);
}

// Chevrons pointing down the texture (along v), light on dark.
uint32_t Chevrons(float x, float y)
{
    const float phase = y * 3.0f + std::fabs(x - 0.5f) * 1.5f;
    const bool light = phase - std::floor(phase) < 0.35f;
    return light ? Argb(0.85f, 0.85f, 0.8f) : Argb(0.3f, 0.3f, 0.33f);
}

// The flag's cloth: a blue field with a white diagonal band and a gold border.
uint32_t Flag(float x, float y)
{
    if (std::min(std::min(x, 1.0f - x), std::min(y, 1.0f - y)) < 0.05f)
        return Argb(0.9f, 0.72f, 0.2f);
    return std::fabs(x - y) < 0.14f ? Argb(0.95f, 0.95f, 0.92f) : Argb(0.12f, 0.3f, 0.7f);
}

// A cell of the board's table, repeated over it: a plain field in a faint lighter border, half of
// each line on either side of the cells' seam.
uint32_t TableCell(float x, float y)
{
    const float edge = std::min(std::min(x, 1.0f - x), std::min(y, 1.0f - y));
    const float shade = Mix(1.0f, 0.82f, std::clamp((edge - 0.012f) / 0.01f, 0.0f, 1.0f));
    return Argb(shade, shade, shade);
}

bool Write(const std::filesystem::path& folder, const std::string& name,
           const std::function<uint32_t(float, float)>& pixel)
{
    WeDdsWriter writer;
    const WeDdsImage image = WeDdsImage::Drawn(
        kSize, kSize,
        [&](uint32_t x, uint32_t y) { return pixel((float(x) + 0.5f) / kSize, (float(y) + 0.5f) / kSize); });
    if (!writer.Write((folder / (name + ".dds")).string(), image, d3d9::D3DFMT_DXT1, true))
    {
        std::fprintf(stderr, "make_block_textures: %s: %s\n", name.c_str(), writer.GetLastError().c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: make_block_textures <package folder>\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::path(argv[1]) / "Ingame" / "Textures";
    bool written = Write(folder, "block_face", Face) && Write(folder, "block_wall_a", Brick) &&
                   Write(folder, "block_disappearing", DashedFace) &&
                   Write(folder, "track_chevrons", Chevrons) && Write(folder, "flag", Flag) &&
                   Write(std::filesystem::path(argv[1]) / "Maps" / "Textures", "table_cell", TableCell);
    for (const char* sign : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "plus", "minus", "j"})
    {
        const Glyph& glyph = Sign(sign);
        written = written && Write(folder, std::string("block_") + sign + "_a",
                                   [&glyph](float x, float y) { return SignedFace(glyph, x, y); });
    }
    return written ? 0 : 1;
}
