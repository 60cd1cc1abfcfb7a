// Stored records built in memory, field by field, as the engine's writers lay them out, and a
// loose-file package in a temporary folder to load them from. A record under test ends on a
// sentinel word that its reader must reach and leave unread.
#pragma once

#include "WeFileStream.h"
#include "WeFileSystem.h"
#include "WeRecordReader.h"
#include "core/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class RecordBytes
{
public:
    static constexpr int32_t sentinel = 0x5E471E1;

    RecordBytes& Int(int32_t value) { return Raw(&value, 4); }
    RecordBytes& Float(float value) { return Raw(&value, 4); }
    RecordBytes& Bool(bool value) { return Raw(&value, 1); }
    RecordBytes& Floats(std::initializer_list<float> values)
    {
        for (float value : values)
            Float(value);
        return *this;
    }
    RecordBytes& String(const std::string& text)
    {
        const auto length = static_cast<uint16_t>(text.size());
        Raw(&length, 2);
        return text.empty() ? *this : Raw(text.c_str(), text.size() + 1);
    }
    RecordBytes& Raw(const void* data, size_t count)
    {
        const auto* first = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), first, first + count);
        return *this;
    }
    size_t Size() const { return bytes.size(); }

    std::vector<uint8_t> bytes;
};

// A loose-file package in a fresh folder.
class RecordPackage
{
public:
    RecordPackage() : files(std::make_unique<WeFileSystem>(folder.path.c_str())) {}

    void Write(const char* assetName, WeAssetType type, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(files->OpenWrite(assetName, type, true));
        ASSERT_TRUE(files->GetStream().Write(bytes.data(), int64_t(bytes.size())));
        ASSERT_TRUE(files->CloseWrite());
    }
    // Opens the bytes followed by the sentinel as a stream for a reader of the record alone.
    WeFileStream& Open(const std::vector<uint8_t>& record)
    {
        std::vector<uint8_t> bytes = record;
        const int32_t word = RecordBytes::sentinel;
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&word),
                     reinterpret_cast<const uint8_t*>(&word) + 4);
        TempFolder::WriteBytes(folder / "record.bin", bytes);
        EXPECT_TRUE(stream.Open((folder / "record.bin").c_str()));
        return stream;
    }
    // The reader stopped where the record ends: the next word is the sentinel.
    void ExpectAtSentinel(const WeRecordReader& reader, size_t recordSize)
    {
        EXPECT_EQ(reader.Position(), int64_t(recordSize));
        EXPECT_EQ(stream.ReadInt(), RecordBytes::sentinel);
    }
    // The record read by the object's ReadRecord straight from a stream; a read that works must
    // end on the sentinel.
    template <typename Object> bool ReadRecord(Object& object, const RecordBytes& record)
    {
        WeFileStream& opened = Open(record.bytes);
        WeRecordReader reader(opened, opened.GetSize() - 4);
        const bool read = object.ReadRecord(reader);
        if (read)
            ExpectAtSentinel(reader, record.Size());
        return read;
    }

    TempFolder folder;
    std::unique_ptr<WeFileSystem> files;
    WeFileStream stream;
};
