// Light-map records in their four tagged forms, compression to DXT1 on load, and the writer.
#include "WeLightMap.h"
#include "RecordBytes.h"
#include "TwoDFixture.h"
#include "tools/DxtBlocks.h"

#include <algorithm>
#include <string>
#include <vector>

namespace
{

// A raw light map of the size and format whose pixels are all the word; `extra` bytes follow them.
RecordBytes RawMap(int32_t tag, int32_t width, int32_t height, d3d9::Format format, uint32_t word,
                   int32_t extra = 0)
{
    const int32_t bytes = int32_t(d3d9::LevelBytes(format, uint32_t(width), uint32_t(height)));
    RecordBytes record;
    record.Int(tag).Int(bytes + extra).Int(width).Int(height).Int(int32_t(format));
    std::vector<uint8_t> pixels(size_t(bytes + extra));
    for (size_t i = 0; i + 4 <= size_t(bytes); i += 4)
        std::memcpy(&pixels[i], &word, 4);
    record.Raw(pixels.data(), pixels.size());
    if (tag == -2)
        record.Int(77);
    return record;
}

} // namespace

class LightMapTest : public TwoDTest
{
protected:
    // Loads the record with a sentinel behind it; the reader must stop on the sentinel.
    bool LoadRecord(WeLightMap& map, const RecordBytes& record)
    {
        WeFileStream& stream = package.Open(record.bytes);
        WeRecordReader reader(stream, int64_t(record.Size()) + 4);
        const bool loaded = map.Load(reader);
        if (loaded)
            package.ExpectAtSentinel(reader, record.Size());
        return loaded;
    }
    std::vector<uint8_t> Saved(WeLightMap& map, bool expected)
    {
        const std::string path = package.folder / "saved.bin";
        WeFileStream out;
        EXPECT_TRUE(out.Create(path.c_str()));
        EXPECT_EQ(map.Save(out), expected);
        out.Close();
        return TempFolder::ReadBytes(path);
    }

    RecordPackage package;
};

TEST_F(LightMapTest, RecordsWithoutAMapTakeOnlyTheirHeader)
{
    const RecordBytes records[] = {
        RecordBytes().Int(-4).Bool(false), // 5 bytes
        RecordBytes().Int(7),              // any tag of 0 or more
        RecordBytes().Int(-1).Int(0),      // no pixel bytes
        RecordBytes().Int(-2).Int(-5),
        RecordBytes().Int(-3).Int(0),
    };
    for (const RecordBytes& record : records)
    {
        WeLightMap map;
        EXPECT_TRUE(LoadRecord(map, record));
        EXPECT_EQ(map.texture, nullptr);
    }
}

TEST_F(LightMapTest, RawPixelsAreCompressedOnLoadAndSavedAsTheNewestForm)
{
    WeLightMap map;
    ASSERT_TRUE(LoadRecord(map, RawMap(-1, 64, 64, d3d9::D3DFMT_A8R8G8B8, 0xFF336699u)));
    ASSERT_NE(map.texture, nullptr);
    EXPECT_EQ(map.texture->format, d3d9::D3DFMT_DXT1);
    EXPECT_EQ(map.texture->width, 64);
    EXPECT_EQ(textures.GetCount(), 1) << "the uncompressed texture is released";

    const std::vector<uint8_t> saved = Saved(map, true);
    ASSERT_GT(saved.size(), 13u);
    int32_t tag = 0, magic = 0, count = 0;
    std::memcpy(&tag, &saved[0], 4);
    std::memcpy(&magic, &saved[5], 4);
    std::memcpy(&count, &saved[9], 4);
    EXPECT_EQ(tag, -4);
    EXPECT_EQ(saved[4], 1);
    EXPECT_EQ(magic, WeTexture::recordMagic);
    EXPECT_EQ(size_t(count), saved.size() - 13);

    WeLightMap reloaded;
    RecordBytes again;
    again.Raw(saved.data(), saved.size());
    ASSERT_TRUE(LoadRecord(reloaded, again));
    ASSERT_NE(reloaded.texture, nullptr);
    EXPECT_EQ(reloaded.texture->format, d3d9::D3DFMT_DXT1);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    ASSERT_TRUE(reloaded.texture->Lock(&bits, &size, &pitch));
    uint32_t pixels[16];
    dxt::ColourBlock(static_cast<const uint8_t*>(bits), false, pixels);
    reloaded.texture->Unlock();
    for (const int shift : {0, 8, 16})
        EXPECT_NEAR(int(pixels[5] >> shift & 0xFF), int(0xFF336699u >> shift & 0xFF), 4)
            << "the map's colour";
}

TEST_F(LightMapTest, PixelBytesBeyondTheLevelAreSteppedOver)
{
    WeLightMap map;
    ASSERT_TRUE(LoadRecord(map, RawMap(-2, 8, 4, d3d9::D3DFMT_X8R8G8B8, 0xFF808080u, 200)));
    ASSERT_NE(map.texture, nullptr);
    EXPECT_EQ(map.texture->format, d3d9::D3DFMT_DXT1);
}

TEST_F(LightMapTest, MapsThatCannotBeMadeArePassedOver)
{
    for (const auto& [width, height] : {std::pair{0, 4}, std::pair{5000, 4}, std::pair{4, -2}})
    {
        RecordBytes record;
        record.Int(-1).Int(64).Int(width).Int(height).Int(int32_t(d3d9::D3DFMT_A8R8G8B8));
        record.Raw(std::vector<uint8_t>(64).data(), 64);
        WeLightMap map;
        EXPECT_TRUE(LoadRecord(map, record)) << width << " x " << height;
        EXPECT_EQ(map.texture, nullptr);
    }
}

// Pixels short of the size the map declares: the record is walked, and no texture is made of it,
// however large the map says it is.
TEST_F(LightMapTest, MapsWhosePixelsFallShortOfTheirSizeArePassedOverUnmade)
{
    const struct
    {
        int32_t width, height;
        d3d9::Format format;
        int32_t missing; // bytes fewer than the level needs
    } rows[] = {
        {4096, 4096, d3d9::D3DFMT_A8R8G8B8, 4096 * 4096 * 4 - 1}, // a byte of pixels
        {64, 64, d3d9::D3DFMT_A8R8G8B8, 1},
        {16, 8, d3d9::D3DFMT_R5G6B5, 2},
        {8, 8, d3d9::D3DFMT_DXT1, 8},
    };
    const auto texturesMade = [this]
    {
        return std::count_if(Calls().begin(), Calls().end(),
                             [](const std::string& call) { return call.starts_with("CreateTexture "); });
    };
    for (const auto& row : rows)
    {
        const int32_t bytes =
            int32_t(d3d9::LevelBytes(row.format, uint32_t(row.width), uint32_t(row.height))) - row.missing;
        RecordBytes record;
        record.Int(-2).Int(bytes).Int(row.width).Int(row.height).Int(int32_t(row.format));
        record.Raw(std::vector<uint8_t>(size_t(bytes), 0x5A).data(), size_t(bytes));
        record.Int(77);
        const auto madeBefore = texturesMade();
        WeLightMap map;
        EXPECT_TRUE(LoadRecord(map, record)) << row.width << " x " << row.height;
        EXPECT_EQ(map.texture, nullptr) << row.width << " x " << row.height;
        EXPECT_EQ(textures.GetCount(), 0);
        EXPECT_EQ(texturesMade(), madeBefore) << "nothing was made of it";
    }
}

TEST_F(LightMapTest, ARecordCutShortFails)
{
    RecordBytes record;
    record.Int(-1).Int(4096).Int(32).Int(32).Int(int32_t(d3d9::D3DFMT_A8R8G8B8)).Int(0);
    WeLightMap map;
    WeFileStream& stream = package.Open(record.bytes);
    WeRecordReader reader(stream, int64_t(record.Size()));
    EXPECT_FALSE(map.Load(reader));
    EXPECT_EQ(map.texture, nullptr);
    EXPECT_EQ(textures.GetCount(), 0);
}

TEST_F(LightMapTest, OnlyThirtyTwoBitMapsAreCompressedAndOthersAreSavedAsNotPresent)
{
    WeLightMap map;
    ASSERT_TRUE(LoadRecord(map, RawMap(-1, 8, 8, d3d9::D3DFMT_R5G6B5, 0x12341234u)));
    ASSERT_NE(map.texture, nullptr);
    EXPECT_EQ(map.texture->format, d3d9::D3DFMT_R5G6B5);
    EXPECT_FALSE(map.Compress());
    const std::vector<uint8_t> saved = Saved(map, false);
    ASSERT_EQ(saved.size(), 5u) << "a map that cannot be written leaves a well-formed record";
    EXPECT_EQ(saved[4], 0);
}
