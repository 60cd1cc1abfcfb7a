#include "WeDdsWriter.h"

#include "WeDxtCompressor.h"
#include "d3dx/D3dxTextureFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>

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

WeDdsCube WeDrawnCube(uint32_t edge, const std::function<uint32_t(float x, float y, float z)>& pixel)
{
    // Each face's direction from its texel's place, s to the right and t down, both -1 to 1.
    using Direction = std::array<float, 3> (*)(float s, float t);
    static constexpr Direction directions[6] = {
        [](float s, float t) {
            return std::array<float, 3>{1.0f, -t, -s};
        },
        [](float s, float t) {
            return std::array<float, 3>{-1.0f, -t, s};
        },
        [](float s, float t) {
            return std::array<float, 3>{s, 1.0f, t};
        },
        [](float s, float t) {
            return std::array<float, 3>{s, -1.0f, -t};
        },
        [](float s, float t) {
            return std::array<float, 3>{s, -t, 1.0f};
        },
        [](float s, float t) {
            return std::array<float, 3>{-s, -t, -1.0f};
        },
    };
    WeDdsCube cube;
    for (size_t face = 0; face < cube.size(); ++face)
        cube[face] = WeDdsImage::Drawn(edge, edge,
                                       [&](uint32_t x, uint32_t y)
                                       {
                                           const float s = (float(x) + 0.5f) / float(edge) * 2.0f - 1.0f;
                                           const float t = (float(y) + 0.5f) / float(edge) * 2.0f - 1.0f;
                                           const std::array<float, 3> d = directions[face](s, t);
                                           return pixel(d[0], d[1], d[2]);
                                       });
    return cube;
}

bool WeDdsWriter::Fail(std::string message)
{
    lastError = std::move(message);
    return false;
}

bool WeDdsWriter::EncodeLevels(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                               std::vector<std::vector<uint8_t>>& levels)
{
    if (image.pixels.size() != size_t(image.width) * image.height)
        return Fail("the pixel count does not match the image size");
    LevelCollector collector(levels);
    WeString error;
    if (!WeCompressPixels(image.pixels.data(), int32_t(image.width), int32_t(image.height), format, mipmaps,
                          collector, error))
        return Fail(error.GetData());
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
    return true;
}

bool WeDdsWriter::Encode(const WeDdsImage& image, d3d9::Format format, bool mipmaps,
                         std::vector<uint8_t>& file)
{
    std::vector<std::vector<uint8_t>> levels;
    if (!EncodeLevels(image, format, mipmaps, levels))
        return false;
    file = d3dx::WriteDds(format, image.width, image.height, levels);
    return true;
}

bool WeDdsWriter::EncodeCube(const WeDdsCube& faces, d3d9::Format format, bool mipmaps,
                             std::vector<uint8_t>& file)
{
    const uint32_t edge = faces[0].width;
    std::vector<std::vector<uint8_t>> images;
    for (const WeDdsImage& face : faces)
    {
        if (face.width != edge || face.height != edge)
            return Fail("the cube's faces are not squares of one size");
        std::vector<std::vector<uint8_t>> levels;
        if (!EncodeLevels(face, format, mipmaps, levels))
            return false;
        std::move(levels.begin(), levels.end(), std::back_inserter(images));
    }
    d3dx::ImageInfo shape;
    shape.width = shape.height = edge;
    shape.mipLevels = LevelCount(faces[0], mipmaps);
    shape.format = format;
    shape.resourceType = d3dx::D3DRTYPE_CUBETEXTURE;
    file = d3dx::WriteDds(shape, images);
    return true;
}

bool WeDdsWriter::Write(const std::string& path, const WeDdsImage& image, d3d9::Format format, bool mipmaps)
{
    std::vector<uint8_t> file;
    return Encode(image, format, mipmaps, file) ? WriteFile(path, file) : Fail(path + ": " + lastError);
}

bool WeDdsWriter::WriteCube(const std::string& path, const WeDdsCube& faces, d3d9::Format format,
                            bool mipmaps)
{
    std::vector<uint8_t> file;
    return EncodeCube(faces, format, mipmaps, file) ? WriteFile(path, file) : Fail(path + ": " + lastError);
}

bool WeDdsWriter::WriteFile(const std::string& path, const std::vector<uint8_t>& file)
{
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
