#include "WeDdsWriter.h"

#include "WeDxtCompressor.h"
#include "d3dx/D3dxTextureFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace
{

// The compressor hands over each level as it is made: its start, then its bytes in pieces.
class LevelCollector : public WeCompressedOutput
{
public:
    explicit LevelCollector(std::vector<std::vector<uint8_t>>& levels) : levels(levels) {}
    void BeginLevel(int32_t size) override
    {
        levels.emplace_back();
        levels.back().reserve(size_t(std::max(size, 0)));
    }
    bool Write(const void* data, int32_t size) override
    {
        if (levels.empty())
            return false;
        const auto* bytes = static_cast<const uint8_t*>(data);
        levels.back().insert(levels.back().end(), bytes, bytes + size);
        return true;
    }

private:
    std::vector<std::vector<uint8_t>>& levels;
};

uint32_t LevelCount(const WeDdsImage& image, bool mipmaps)
{
    uint32_t count = 1;
    while (mipmaps && (std::max(image.width, image.height) >> count) != 0)
        ++count;
    return count;
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
    LevelCollector collector(levels);
    WeString error;
    if (!WeCompressPixels(image.pixels.data(), int32_t(image.width), int32_t(image.height), format, mipmaps,
                          collector, error))
        return Fail(error.GetData());
    return true;
}

bool WeDdsWriter::Encode(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                         std::vector<uint8_t>& file)
{
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
