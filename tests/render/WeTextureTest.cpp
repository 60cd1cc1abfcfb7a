// Texture records, run-time textures and freeing with fixed textures.
#include "TwoDFixture.h"

#include "WeFileStream.h"
#include "WeTimer.h"
#include "core/TempFolder.h"
#include "d3dx/D3dxTextureFile.h"

#include <cstring>

namespace
{

std::vector<uint8_t> SolidDds(uint32_t size, uint32_t argb)
{
    std::vector<uint8_t> level(size_t(size) * size * 4);
    for (size_t i = 0; i < level.size(); i += 4)
        std::memcpy(&level[i], &argb, 4);
    return d3dx::WriteDds(d3d9::D3DFMT_A8R8G8B8, size, size, {level});
}

} // namespace

using TextureTest = TwoDTest;

TEST_F(TextureTest, FixedTexturesSurviveFreeAllUnlessForced)
{
    WeBeginFixedLoading();
    WeTexture* kept = textures.CreateTexture(4, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    WeEndFixedLoading();
    WeTexture* dropped =
        textures.CreateTexture(4, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    ASSERT_TRUE(kept && dropped);
    EXPECT_TRUE(kept->fixed);
    EXPECT_FALSE(dropped->fixed);
    EXPECT_EQ(textures.GetCount(), 2);
    textures.Release(kept, false);
    EXPECT_EQ(textures.GetCount(), 2) << "a fixed texture is not released without force";
    textures.FreeAll(false);
    EXPECT_EQ(textures.GetCount(), 1);
    kept->SetFixed(false);
    EXPECT_TRUE(kept->fixed) << "the flag only turns on";
    textures.FreeAll(true);
    EXPECT_EQ(textures.GetCount(), 0);
}

TEST_F(TextureTest, UnregisteredTexturesStayTheCallers)
{
    WeTexture* own = textures.CreateTexture(8, 2, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, false);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(textures.GetCount(), 0);
    EXPECT_FLOAT_EQ(own->invWidth, 0.125f);
    EXPECT_FLOAT_EQ(own->invHeight, 0.5f);
    textures.Release(own, true); // not in the table: left alone
    EXPECT_EQ(own->width, 8);
    delete own;
    EXPECT_EQ(textures.CreateTexture(0, 4, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true),
              nullptr);
    EXPECT_EQ(textures.GetCount(), 0);
}

TEST_F(TextureTest, LockGivesThePitchAndSize)
{
    WeTexture* texture =
        textures.CreateTexture(16, 8, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    ASSERT_TRUE(texture->Lock(&bits, &size, &pitch));
    EXPECT_GE(pitch, 64);
    EXPECT_EQ(size, 8 * pitch);
    texture->Unlock();
    WeTexture empty;
    EXPECT_FALSE(empty.Lock(&bits, &size, &pitch));
}

TEST_F(TextureTest, BlockFormatsLockWithAQuarterOfTheBlockRowPitch)
{
    struct Case
    {
        d3d9::Format format;
        int32_t pitch, size;
    };
    // 256 wide: 64 blocks a row, 8 bytes each for DXT1 and 16 for DXT3 and DXT5.
    for (const Case& c : {Case{d3d9::D3DFMT_DXT1, 128, 32768}, Case{d3d9::D3DFMT_DXT3, 256, 65536},
                          Case{d3d9::D3DFMT_DXT5, 256, 65536}})
    {
        WeTexture* texture = textures.CreateTexture(256, 256, c.format, 0, d3d9::D3DPOOL_MANAGED, 1, false);
        ASSERT_NE(texture, nullptr);
        void* bits = nullptr;
        int32_t size = 0, pitch = 0;
        ASSERT_TRUE(texture->Lock(&bits, &size, &pitch));
        EXPECT_NE(bits, nullptr);
        EXPECT_EQ(pitch, c.pitch) << "format " << uint32_t(c.format);
        EXPECT_EQ(size, c.size) << "format " << uint32_t(c.format);
        texture->Unlock();
        delete texture;
    }
}

TEST_F(TextureTest, RecordFormsReadTheSameImage)
{
    TempFolder folder;
    const std::vector<uint8_t> dds = SolidDds(4, 0xFF102030u);
    const WeString plain = WeString((folder / "plain.dds").c_str());
    const WeString tagged = WeString((folder / "tagged.dds").c_str());
    {
        WeFileStream out;
        ASSERT_TRUE(out.Create(plain));
        out.Write(dds.data(), int64_t(dds.size()));
    }
    {
        WeFileStream out;
        ASSERT_TRUE(out.Create(tagged));
        out.WriteInt(WeTexture::recordMagic);
        out.WriteInt(int32_t(dds.size()));
        out.Write(dds.data(), int64_t(dds.size()));
    }
    for (const WeString& path : {plain, tagged})
    {
        WeTexture texture;
        ASSERT_TRUE(texture.LoadFromFileSystem(nullptr, path, false)) << path.GetData();
        EXPECT_EQ(texture.kind, 3);
        EXPECT_EQ(texture.width, 4);
        EXPECT_EQ(texture.format, d3d9::D3DFMT_A8R8G8B8);
        void* bits = nullptr;
        int32_t size = 0, pitch = 0;
        ASSERT_TRUE(texture.Lock(&bits, &size, &pitch));
        uint32_t first = 0;
        std::memcpy(&first, bits, 4);
        EXPECT_EQ(first, 0xFF102030u);
        texture.Unlock();
    }
}

TEST_F(TextureTest, TruncatedOrOversizedRecordsFail)
{
    TempFolder folder;
    std::vector<uint8_t> dds = SolidDds(4, 0xFFFFFFFFu);
    const WeString path = WeString((folder / "bad.dds").c_str());
    {
        WeFileStream out;
        ASSERT_TRUE(out.Create(path));
        out.WriteInt(WeTexture::recordMagic);
        out.WriteInt(1 << 30); // more bytes than the record holds
        out.Write(dds.data(), int64_t(dds.size()));
    }
    WeTexture texture;
    EXPECT_FALSE(texture.LoadFromFileSystem(nullptr, path, false));
    EXPECT_EQ(texture.texture, nullptr);
    dds.resize(dds.size() - 1); // the last pixel cut off
    d3dx::ImageInfo info;
    EXPECT_TRUE(
        d3d9::Failed(d3dx::D3DXGetImageInfoFromFileInMemory(dds.data(), uint32_t(dds.size()), &info)));
}

TEST_F(TextureTest, SavedTextureReadsBack)
{
    WeTexture* texture =
        textures.CreateTexture(2, 2, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    ASSERT_TRUE(texture->Lock(&bits, &size, &pitch));
    static_cast<uint32_t*>(bits)[1] = 0x80FF0000u;
    texture->Unlock();
    TempFolder folder;
    const WeString path = WeString((folder / "saved.dds").c_str());
    {
        WeFileStream out;
        ASSERT_TRUE(out.Create(path));
        ASSERT_TRUE(texture->Save(out, true));
    }
    WeTexture back;
    ASSERT_TRUE(back.LoadFromFileSystem(nullptr, path, false));
    ASSERT_TRUE(back.Lock(&bits, &size, &pitch));
    EXPECT_EQ(static_cast<uint32_t*>(bits)[1], 0x80FF0000u);
    back.Unlock();
}

TEST_F(TextureTest, OlderHeaderRecordsOfEveryVersionReadTheirImage)
{
    struct Case
    {
        int32_t version;
        int32_t fields; // int32 header fields the version writes
    };
    TempFolder folder;
    const std::vector<uint8_t> dds = SolidDds(4, 0xFF405060u);
    for (const Case& c :
         {Case{0, 7}, Case{1, 8}, Case{2, 10}, Case{3, 10}, Case{4, 8}, Case{5, 7}, Case{6, 5}, Case{9, 5}})
    {
        const WeString path = WeString((folder / ("v" + std::to_string(c.version) + ".dds")).c_str());
        {
            WeFileStream out;
            ASSERT_TRUE(out.Create(path));
            out.WriteInt(c.version == 0 ? int32_t(dds.size()) : -int32_t(dds.size()));
            if (c.version != 0)
                out.WriteInt(c.version);
            if (c.version < 3)
            {
                out.Write(dds.data(), int64_t(dds.size()));
                out.WriteString("name");
            }
            for (int32_t field = 0; field < c.fields; ++field)
                out.WriteInt(0x01010101 * (field + 1));
            if (c.version >= 3 && c.version <= 5)
                out.WriteBool(false);
            if (c.version >= 3)
                out.Write(dds.data(), int64_t(dds.size()));
        }
        WeTexture texture;
        ASSERT_TRUE(texture.LoadFromFileSystem(nullptr, path, false)) << "version " << c.version;
        void* bits = nullptr;
        int32_t size = 0, pitch = 0;
        ASSERT_TRUE(texture.Lock(&bits, &size, &pitch));
        EXPECT_EQ(static_cast<uint32_t*>(bits)[5], 0xFF405060u) << "version " << c.version;
        texture.Unlock();
    }
}

namespace
{

// One level of every face (cube) or every slice (volume) in its own colour, 0xFF000000 + index.
std::vector<uint8_t> ColouredDds(d3dx::ResourceKind kind, uint32_t width, uint32_t height, uint32_t depth)
{
    d3dx::ImageInfo shape;
    shape.resourceType = kind;
    shape.width = width;
    shape.height = height;
    shape.depth = depth;
    shape.format = d3d9::D3DFMT_A8R8G8B8;
    const uint32_t images = kind == d3dx::D3DRTYPE_CUBETEXTURE ? 6 : depth;
    std::vector<uint8_t> texels;
    for (uint32_t image = 0; image < images; ++image)
        for (uint32_t texel = 0; texel < width * height; ++texel)
        {
            const uint32_t colour = 0xFF000000u + image;
            texels.insert(texels.end(), reinterpret_cast<const uint8_t*>(&colour),
                          reinterpret_cast<const uint8_t*>(&colour) + 4);
        }
    if (kind == d3dx::D3DRTYPE_VOLUMETEXTURE)
        return d3dx::WriteDds(shape, {texels});
    std::vector<std::vector<uint8_t>> faces;
    for (uint32_t face = 0; face < 6; ++face)
        faces.emplace_back(texels.begin() + face * width * height * 4,
                           texels.begin() + (face + 1) * width * height * 4);
    return d3dx::WriteDds(shape, faces);
}

bool LoadBytes(WeTexture& texture, const std::vector<uint8_t>& bytes)
{
    TempFolder folder;
    const WeString path = WeString((folder / "image.dds").c_str());
    {
        WeFileStream out;
        if (!out.Create(path))
            return false;
        out.Write(bytes.data(), int64_t(bytes.size()));
    }
    return texture.LoadFromFileSystem(nullptr, path, false);
}

} // namespace

TEST_F(TextureTest, CubeMapsLoadWithEveryFace)
{
    WeTexture cube;
    ASSERT_TRUE(LoadBytes(cube, ColouredDds(d3dx::D3DRTYPE_CUBETEXTURE, 4, 4, 1)));
    EXPECT_EQ(cube.kind, 1);
    EXPECT_EQ(cube.width, 4);
    EXPECT_EQ(cube.GetTexture2D(), nullptr);
    ASSERT_NE(cube.texture, nullptr);
    ASSERT_TRUE(cube.texture->IsCube());
    auto* faces = static_cast<d3d9::CubeTexture*>(cube.texture);
    for (uint32_t face = 0; face < 6; ++face)
    {
        d3d9::LockedRect locked;
        ASSERT_EQ(faces->LockRect(d3d9::CubeFace(face), 0, &locked, nullptr, d3d9::D3DLOCK_READONLY),
                  d3d9::D3D_OK);
        EXPECT_EQ(static_cast<uint32_t*>(locked.bits)[15], 0xFF000000u + face);
        faces->UnlockRect(d3d9::CubeFace(face), 0);
    }
    WeTexture oblong;
    EXPECT_FALSE(LoadBytes(oblong, ColouredDds(d3dx::D3DRTYPE_CUBETEXTURE, 4, 2, 1)));
    EXPECT_EQ(oblong.texture, nullptr);
}

TEST_F(TextureTest, VolumesLoadWithEverySlice)
{
    WeTexture volume;
    ASSERT_TRUE(LoadBytes(volume, ColouredDds(d3dx::D3DRTYPE_VOLUMETEXTURE, 4, 2, 3)));
    EXPECT_EQ(volume.kind, 2);
    EXPECT_EQ(volume.width, 4);
    EXPECT_EQ(volume.height, 2);
    EXPECT_EQ(volume.depth, 3);
    EXPECT_FLOAT_EQ(volume.invDepth, 1.0f / 3.0f);
    ASSERT_NE(volume.texture, nullptr);
    ASSERT_TRUE(volume.texture->IsVolume());
    auto* slices = static_cast<d3d9::VolumeTexture*>(volume.texture);
    d3d9::LockedBox locked;
    ASSERT_EQ(slices->LockBox(0, &locked, nullptr, d3d9::D3DLOCK_READONLY), d3d9::D3D_OK);
    for (uint32_t slice = 0; slice < 3; ++slice)
        EXPECT_EQ(*reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) +
                                               slice * locked.slicePitch + locked.rowPitch + 12),
                  0xFF000000u + slice);
    slices->UnlockBox(0);
}
