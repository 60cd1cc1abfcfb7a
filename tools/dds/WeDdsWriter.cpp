#include "WeDdsWriter.h"

#include "d3dx/D3dxTextureFile.h"

#include <nvtt/nvtt.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace
{

// The compressor hands over each level as it is made: its start, then its bytes in pieces.
class LevelCollector : public nvtt::OutputHandler
{
public:
    explicit LevelCollector(std::vector<std::vector<uint8_t>>& levels) : levels(levels) {}
    void beginImage(int size, int, int, int, int, int) override
    {
        levels.emplace_back();
        levels.back().reserve(size_t(std::max(size, 0)));
    }
    bool writeData(const void* data, int size) override
    {
        if (levels.empty() || size < 0)
            return false;
        const auto* bytes = static_cast<const uint8_t*>(data);
        levels.back().insert(levels.back().end(), bytes, bytes + size);
        return true;
    }

private:
    std::vector<std::vector<uint8_t>>& levels;
};

class ErrorCollector : public nvtt::ErrorHandler
{
public:
    void error(nvtt::Error e) override
    {
        if (message.empty())
            message = nvtt::errorString(e);
    }
    std::string message;
};

uint32_t LevelCount(const WeDdsImage& image, bool mipmaps)
{
    uint32_t count = 1;
    while (mipmaps && (std::max(image.width, image.height) >> count) != 0)
        ++count;
    return count;
}

void ChooseFormat(nvtt::CompressionOptions& options, d3d9::Format format)
{
    switch (format)
    {
    case d3d9::D3DFMT_DXT1:
        options.setFormat(nvtt::Format_DXT1);
        break;
    case d3d9::D3DFMT_DXT3:
        options.setFormat(nvtt::Format_DXT3);
        break;
    case d3d9::D3DFMT_DXT5:
        options.setFormat(nvtt::Format_DXT5);
        break;
    default:
        options.setFormat(nvtt::Format_RGBA);
        options.setPixelFormat(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
        break;
    }
}

} // namespace

WeDdsImage WeDdsImage::Drawn(uint32_t width, uint32_t height,
                             const std::function<uint32_t(uint32_t x, uint32_t y)>& pixel)
{
    WeDdsImage image;
    image.width = width;
    image.height = height;
    image.pixels.reserve(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            image.pixels.push_back(pixel(x, y));
    return image;
}

bool WeDdsWriter::Fail(std::string message)
{
    lastError = std::move(message);
    return false;
}

bool WeDdsWriter::Compress(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                           std::vector<std::vector<uint8_t>>& levels)
{
    nvtt::InputOptions input;
    input.setTextureLayout(nvtt::TextureType_2D, int(image.width), int(image.height));
    // ARGB values lie in memory as the B, G, R, A bytes the compressor takes.
    if (!input.setMipmapData(image.pixels.data(), int(image.width), int(image.height)))
        return Fail("the compressor refused the image");
    input.setMipmapGeneration(mipmaps);
    input.setMipmapFilter(nvtt::MipmapFilter_Box);
    nvtt::CompressionOptions compression;
    ChooseFormat(compression, format);
    // The higher qualities of the packaged library garble colour indices of DXT3 and DXT5 blocks
    // (a block of two exact colours comes back with a wrong last row) and are no better on smooth
    // images.
    compression.setQuality(nvtt::Quality_Fastest);
    LevelCollector collector(levels);
    ErrorCollector errors;
    nvtt::OutputOptions output;
    output.setOutputHeader(false);
    output.setOutputHandler(&collector);
    output.setErrorHandler(&errors);
    if (!nvtt::Compressor().process(input, compression, output))
        return Fail("compression failed: " + (errors.message.empty() ? "unknown error" : errors.message));
    return true;
}

bool WeDdsWriter::Encode(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                         std::vector<uint8_t>& file)
{
    if (format != d3d9::D3DFMT_A8R8G8B8 && format != d3d9::D3DFMT_DXT1 && format != d3d9::D3DFMT_DXT3 &&
        format != d3d9::D3DFMT_DXT5)
        return Fail("only A8R8G8B8, DXT1, DXT3 and DXT5 are written");
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384)
        return Fail("the image size must be 1 to 16384 pixels each way");
    if (image.pixels.size() != size_t(image.width) * image.height)
        return Fail("the pixel count does not match the image size");
    std::vector<std::vector<uint8_t>> levels;
    if (!Compress(image, format, mipmaps, levels))
        return false;
    // The loader trusts the level sizes its format implies; anything else would misread the file.
    if (levels.size() != LevelCount(image, mipmaps))
        return Fail("the compressor made " + std::to_string(levels.size()) + " levels");
    for (uint32_t level = 0; level < levels.size(); ++level)
    {
        const uint32_t w = std::max(1u, image.width >> level), h = std::max(1u, image.height >> level);
        if (levels[level].size() != d3dx::LevelSize(format, w, h))
            return Fail("level " + std::to_string(level) + " has " + std::to_string(levels[level].size()) +
                        " bytes");
    }
    file = d3dx::WriteDds(format, image.width, image.height, levels);
    return true;
}

bool WeDdsWriter::Write(const std::string& path, const WeDdsImage& image, d3d9::Format format, bool mipmaps)
{
    std::vector<uint8_t> file;
    if (!Encode(image, format, mipmaps, file))
        return Fail(path + ": " + lastError);
    std::error_code ignored;
    const std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ignored);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return Fail(path + ": cannot be created");
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written)
        return Fail(path + ": cannot be written");
    return true;
}
