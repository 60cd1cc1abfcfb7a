// A pre-computed light map: one texture carried inside an actor's record, kept as DXT1. Records
// come in four tagged forms (raw pixels, raw pixels with a trailing word, a texture record behind
// an int32 or a byte presence flag); the writer always uses the newest. A map that is not DXT1 is
// compressed on the CPU as soon as it is read, straight into the new texture's locked memory.
#pragma once

#include "WeDxtCompressor.h"

#include <cstdint>

class WeFileStream;
class WeRecordReader;
class WeTexture;

// Collects compressed bytes at a fixed destination, refusing any past its capacity.
class MyOutputHandler : public WeCompressedOutput
{
public:
    MyOutputHandler(uint8_t* destination, int32_t capacity) : destination(destination), capacity(capacity) {}
    void BeginLevel(int32_t) override {}
    bool Write(const void* data, int32_t size) override;

    uint8_t* destination;
    int32_t capacity;
    int32_t written = 0;
};

class WeLightMap
{
public:
    static constexpr int32_t savedTag = -4;
    // Raw light maps larger than this each way are refused rather than allocated.
    static constexpr int32_t maxSize = 4096;

    WeLightMap() = default;
    // Gives the texture back to the texture manager (not forced).
    virtual ~WeLightMap();
    WeLightMap(const WeLightMap&) = delete;
    WeLightMap& operator=(const WeLightMap&) = delete;

    // Reads the record, then compresses the map. Pixel bytes beyond the texture's level are
    // skipped; a map whose texture cannot be made, or whose pixels fall short of its size, is
    // passed over before any texture is made. False only when the record is cut short or its
    // texture record cannot be walked.
    bool Load(WeRecordReader& reader);
    // Tag -4, the presence byte and, when present, the DXT1 texture as a "KOLM" record. A map that
    // cannot be compressed or encoded is written as not present, and the result is false.
    bool Save(WeFileStream& stream);
    // Turns a 32-bit map into DXT1 of the same size. True when the map is (now) DXT1 or absent;
    // false for other formats or when compression fails, leaving the map as it was.
    bool Compress();
    // The texture, then no map.
    void Release();

    WeTexture* texture = nullptr;

private:
    void ReadPixels(WeRecordReader& reader, int32_t byteCount);
    void ReadTexture(WeRecordReader& reader);
};
