// DDS files made from 32-bit ARGB images: uncompressed A8R8G8B8, or block-compressed DXT1, DXT3
// and DXT5 through NVIDIA Texture Tools, with the whole mip chain when asked. The container is
// the one the engine's image loader reads, written by the same code that saves textures.
#pragma once

#include "d3d9/D3d9Types.h"

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

class WeDdsWriter
{
public:
    // The DDS file of the image in the format. False with lastError set for an empty image, a
    // pixel count that does not match the size, a format other than the four, or a compressor
    // failure.
    bool Encode(const WeDdsImage& image, d3d9::Format format, bool mipmaps, std::vector<uint8_t>& file);
    // Encodes and writes the file at the path, making its folders.
    bool Write(const std::string& path, const WeDdsImage& image, d3d9::Format format, bool mipmaps);

    const std::string& GetLastError() const { return lastError; }

private:
    bool Compress(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                  std::vector<std::vector<uint8_t>>& levels);
    bool Fail(std::string message);

    std::string lastError;
};
