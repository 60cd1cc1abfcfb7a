// Reads a stored record (a material, a mesh, an animated model) from a stream without ever
// reading past the bytes the record may use. A read that does not fit fails, leaves its target
// zero and marks the reader failed, and every later read fails too, so a reader tests Ok() once
// after a group of reads. Counts read from the record are checked against what is left, so a
// damaged count never allocates.
#pragma once

#include "WeString.h"

#include <cstdint>

class WeFileStream;

class WeRecordReader
{
public:
    // The record starts at the stream's position and may use `available` bytes from there.
    WeRecordReader(WeFileStream& stream, int64_t available);

    int32_t ReadInt();
    int16_t ReadShort();
    uint32_t ReadUInt() { return static_cast<uint32_t>(ReadInt()); }
    float ReadFloat();
    bool ReadBool();
    // A u16 byte length; when not zero, the bytes and a zero byte.
    void ReadString(WeString& text);
    void ReadFloats(float* values, int32_t count);
    void ReadBytes(void* destination, int64_t count);
    void Skip(int64_t count);
    // Moves back over bytes already read (a record that turned out to have no version word).
    void StepBack(int64_t count);
    // A count from the record: fails when it is negative or when that many items of at least
    // `itemSize` bytes each cannot follow in the rest of the record.
    int32_t ReadCount(int64_t itemSize);
    // The stream, for the reader of an embedded record that keeps within Remaining() by itself;
    // Took then counts the bytes that reader used, failing when they were more than were left.
    WeFileStream& GetStream() { return stream; }
    void Took(int64_t count) { Fits(count); }
    // Marks the record damaged; false, so that a check can end with `return reader.Fail();`.
    bool Fail();

    bool Ok() const { return !failed; }
    int64_t Remaining() const { return failed ? 0 : available - used; }
    int64_t Position() const { return used; }

private:
    bool Fits(int64_t count);

    WeFileStream& stream;
    int64_t available;
    int64_t used = 0;
    bool failed = false;
};

// A stored float as an int32, truncated toward zero; values beyond the int32 range saturate and
// NaN gives 0, so no stored value can make the conversion undefined.
int32_t WeSaturatingInt(float value);
