#include "WeLightMap.h"

#include "WeFileStream.h"
#include "WeRecordReader.h"
#include "WeTexture.h"

#include <cstdio>
#include <cstring>
#include <vector>

bool MyOutputHandler::Write(const void* data, int32_t size)
{
    if (size < 0 || size > capacity - written)
        return false;
    std::memcpy(destination + written, data, size_t(size));
    written += size;
    return true;
}

WeLightMap::~WeLightMap()
{
    Release();
}

void WeLightMap::Release()
{
    if (texture)
        textures.Release(texture, false);
    texture = nullptr;
}

bool WeLightMap::Load(WeRecordReader& reader)
{
    Release();
    const int32_t tag = reader.ReadInt();
    if (tag == -1 || tag == -2)
    {
        const int32_t byteCount = reader.ReadInt();
        if (byteCount > 0)
        {
            ReadPixels(reader, byteCount);
            if (tag == -2)
                reader.ReadInt();
        }
    }
    else if (tag == -3 ? reader.ReadInt() != 0 : tag <= savedTag && reader.ReadBool())
        ReadTexture(reader);
    if (!reader.Ok())
    {
        Release();
        return false;
    }
    Compress();
    return true;
}

void WeLightMap::ReadPixels(WeRecordReader& reader, int32_t byteCount)
{
    const int32_t width = reader.ReadInt(), height = reader.ReadInt();
    const auto format = d3d9::Format(reader.ReadInt());
    if (!reader.Ok() || byteCount > reader.Remaining())
    {
        reader.Fail();
        return;
    }
    const bool sized = width >= 1 && height >= 1 && width <= maxSize && height <= maxSize;
    const int32_t levelBytes =
        sized ? int32_t(d3d9::LevelBytes(format, uint32_t(width), uint32_t(height))) : 0;
    // Pixels short of the size are a damaged map: nothing is made of it, where a map that claims
    // 4096 x 4096 with a byte of pixels would cost a whole texture and its compression.
    if (levelBytes > byteCount)
        std::fprintf(stderr, "Light map of %d x %d needs %d bytes of pixels, its record holds %d: left out\n",
                     width, height, levelBytes, byteCount);
    texture = sized && levelBytes <= byteCount
                  ? textures.CreateTexture(width, height, format, 0, d3d9::D3DPOOL_MANAGED, 1, true)
                  : nullptr;
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    if (texture && !texture->Lock(&bits, &size, &pitch))
        Release();
    if (!texture)
    {
        reader.Skip(byteCount);
        return;
    }
    // The level takes what it holds; the rest of the stored bytes are stepped over.
    reader.ReadBytes(bits, levelBytes);
    texture->Unlock();
    reader.Skip(byteCount - levelBytes);
}

void WeLightMap::ReadTexture(WeRecordReader& reader)
{
    texture = textures.CreateEmptyTexture(true);
    WeFileStream& stream = reader.GetStream();
    const int64_t start = stream.Tell();
    const bool read = texture->ReadFromStream(stream, reader.Remaining());
    reader.Took(stream.Tell() - start);
    if (!read)
        Release();
}

bool WeLightMap::Compress()
{
    if (!texture || texture->format == d3d9::D3DFMT_DXT1)
        return true;
    if (texture->format != d3d9::D3DFMT_A8R8G8B8 && texture->format != d3d9::D3DFMT_X8R8G8B8)
        return false;
    const int32_t width = texture->width, height = texture->height;
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    if (!texture->Lock(&bits, &size, &pitch))
        return false;
    // The compressor takes packed rows; a padded level is packed first.
    std::vector<uint32_t> packed;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    if (pitch != width * 4)
    {
        packed.resize(size_t(width) * size_t(height));
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(&packed[size_t(y) * size_t(width)],
                        static_cast<const uint8_t*>(bits) + size_t(y) * size_t(pitch), size_t(width) * 4);
        pixels = packed.data();
    }
    WeTexture* compressed =
        textures.CreateTexture(width, height, d3d9::D3DFMT_DXT1, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    void* destination = nullptr;
    bool done = compressed && compressed->Lock(&destination, &size, &pitch);
    if (done)
    {
        const auto capacity = int32_t(d3d9::LevelBytes(d3d9::D3DFMT_DXT1, uint32_t(width), uint32_t(height)));
        MyOutputHandler output(static_cast<uint8_t*>(destination), capacity);
        WeString error;
        done = WeCompressPixels(pixels, width, height, d3d9::D3DFMT_DXT1, false, output, error) &&
               output.written == capacity;
        compressed->Unlock();
    }
    texture->Unlock();
    if (!done)
    {
        if (compressed)
            textures.Release(compressed, false);
        return false;
    }
    textures.Release(texture, false);
    texture = compressed;
    return true;
}

bool WeLightMap::Save(WeFileStream& stream)
{
    std::vector<uint8_t> image;
    const bool present =
        texture && Compress() && texture->format == d3d9::D3DFMT_DXT1 && texture->Encode(image);
    bool written = stream.WriteInt(savedTag) && stream.WriteByte(present ? 1 : 0);
    if (present)
        written = written && stream.WriteInt(WeTexture::recordMagic) &&
                  stream.WriteInt(int32_t(image.size())) && stream.Write(image.data(), int64_t(image.size()));
    return written && (present || !texture);
}
