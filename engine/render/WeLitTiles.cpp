#include "WeLitTiles.h"

#include <algorithm>
#include <cstring>

namespace
{

// The first and last tile, along one axis, whose pixels read a texel.
struct TileSpan
{
    int32_t first, last;
};

int64_t CeilDiv(int64_t a, int64_t b) // b > 0
{
    return a >= 0 ? (a + b - 1) / b : -(-a / b);
}

// Per texel of an axis of texels spread over extent pixels: the tiles reading it. Pixel p reads
// at (p + 0.5) * texels / extent - 0.5 in texels, which takes the texels either side of it: texel
// t is read from pixel ((2t - 1) * extent - texels) / (2 * texels) on, up to but not including
// ((2t + 3) * extent - texels) / (2 * texels); a pixel more on either side allows for rounding.
std::vector<TileSpan> SpansOfTexels(int32_t texels, int32_t extent)
{
    std::vector<TileSpan> spans(static_cast<size_t>(texels));
    const int64_t n = texels, pixels = extent;
    auto tile = [pixels](int64_t pixel)
    { return int32_t(std::clamp<int64_t>(pixel, 0, pixels - 1) / weLitTileEdge); };
    for (int64_t t = 0; t < n; ++t)
        spans[size_t(t)] = {tile(CeilDiv((2 * t - 1) * pixels - n, 2 * n) - 1),
                            tile(CeilDiv((2 * t + 3) * pixels - n, 2 * n))};
    return spans;
}

// Marks in lit the columns of tiles that read a texel with colour in the image's row; whether any.
bool MarkRow(const WeTileImage& image, int32_t row, const std::vector<TileSpan>& across,
             std::vector<uint8_t>& lit)
{
    std::fill(lit.begin(), lit.end(), uint8_t(0));
    const uint8_t* pixel = image.bits + size_t(row) * size_t(image.pitch);
    bool any = false;
    for (int32_t x = 0; x < image.width; ++x, pixel += 4)
    {
        uint32_t value = 0;
        std::memcpy(&value, pixel, 4);
        if ((value & 0x00FFFFFFu) == 0)
            continue;
        std::fill(lit.begin() + across[size_t(x)].first, lit.begin() + across[size_t(x)].last + 1,
                  uint8_t(1));
        any = true;
    }
    return any;
}

// Each run of lit tiles along a row of tiles as one rectangle, clipped to the target.
std::vector<d3d9::Rect> Runs(const std::vector<uint8_t>& lit, int32_t columns, const WeTileImage& image)
{
    std::vector<d3d9::Rect> runs;
    const int32_t rows = int32_t(lit.size()) / columns;
    for (int32_t row = 0; row < rows; ++row)
        for (int32_t column = 0; column < columns;)
        {
            const uint8_t* tiles = lit.data() + size_t(row) * size_t(columns);
            if (!tiles[column])
            {
                ++column;
                continue;
            }
            const int32_t first = column;
            while (column < columns && tiles[column])
                ++column;
            runs.push_back({first * weLitTileEdge, row * weLitTileEdge,
                            std::min(column * weLitTileEdge, image.targetWidth),
                            std::min((row + 1) * weLitTileEdge, image.targetHeight)});
        }
    return runs;
}

} // namespace

std::vector<d3d9::Rect> WeFindLitTiles(const WeTileImage& image)
{
    if (!image.bits || image.width <= 0 || image.height <= 0 || image.pitch < image.width * 4 ||
        image.targetWidth <= 0 || image.targetHeight <= 0)
        return {};
    const int32_t columns = (image.targetWidth + weLitTileEdge - 1) / weLitTileEdge;
    const int32_t rows = (image.targetHeight + weLitTileEdge - 1) / weLitTileEdge;
    const std::vector<TileSpan> across = SpansOfTexels(image.width, image.targetWidth);
    const std::vector<TileSpan> down = SpansOfTexels(image.height, image.targetHeight);
    std::vector<uint8_t> lit(static_cast<size_t>(columns) * size_t(rows));
    std::vector<uint8_t> rowLit(static_cast<size_t>(columns));
    for (int32_t y = 0; y < image.height; ++y)
    {
        if (!MarkRow(image, y, across, rowLit))
            continue;
        for (int32_t row = down[size_t(y)].first; row <= down[size_t(y)].last; ++row)
            for (int32_t column = 0; column < columns; ++column)
                lit[size_t(row) * size_t(columns) + size_t(column)] |= rowLit[size_t(column)];
    }
    return Runs(lit, columns, image);
}
