// DDS files made from 32-bit ARGB images: uncompressed A8R8G8B8, or block-compressed DXT1, DXT3
// and DXT5 through NVIDIA Texture Tools, with the whole mip chain when asked. The container is
// the one the engine's image loader reads, written by the same code that saves textures.
#pragma once

#include "d3d9/D3d9Types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct WeDdsImage
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // ARGB, rows top first, width x height of them

    // The image whose pixel at (x, y) the function gives.
    static WeDdsImage Drawn(uint32_t width, uint32_t height,
                            const std::function<uint32_t(uint32_t x, uint32_t y)>& pixel);
};

// The six faces of a cube map in file order (+X, -X, +Y, -Y, +Z, -Z).
using WeDdsCube = std::array<WeDdsImage, 6>;

// The cube map of the edge whose texel looks, from the cube's centre, in the direction given
// to the function (not normalised; each face's rows run down, its columns to the right).
WeDdsCube WeDrawnCube(uint32_t edge, const std::function<uint32_t(float x, float y, float z)>& pixel);

class WeDdsWriter
{
public:
    // The DDS file of the image in the format. False with lastError set for an empty image, a
    // pixel count that does not match the size, a format other than the four, or a compressor
    // failure.
    bool Encode(const WeDdsImage& image, d3d9::Format format, bool mipmaps, std::vector<uint8_t>& file);
    // The DDS file of a cube map: the same checks for each face, which must be square and of one
    // size.
    bool EncodeCube(const WeDdsCube& faces, d3d9::Format format, bool mipmaps, std::vector<uint8_t>& file);
    // Encodes and writes the file at the path, making its folders.
    bool Write(const std::string& path, const WeDdsImage& image, d3d9::Format format, bool mipmaps);
    bool WriteCube(const std::string& path, const WeDdsCube& faces, d3d9::Format format, bool mipmaps);

    const std::string& GetLastError() const { return lastError; }

private:
    // The image's levels, each checked against the size its format implies.
    bool EncodeLevels(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                      std::vector<std::vector<uint8_t>>& levels);
    bool WriteFile(const std::string& path, const std::vector<uint8_t>& file);
    bool Fail(std::string message);

    std::string lastError;
};
