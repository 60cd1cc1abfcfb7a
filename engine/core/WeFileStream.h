// The engine's binary stream over a file or one entry of the package file, the small
// formatted-text writer, and the package byte scrambler.
#pragma once

#include "WeString.h"

#include <cstdint>
#include <cstdio>
#include <memory>

// The one-byte key every byte of the package file is XORed with.
constexpr uint8_t WeScrambleKey = 0x96;

// XORs count bytes with the scramble key; applied twice it restores the bytes. A count below
// 1 does nothing.
void WeScrambleBytes(void* bytes, int64_t count);

// Little-endian binary stream with a 64 KB read buffer and 64-bit positions. Reads of small
// values are served from the buffer; reads of 64 KB or more and reads that reach the stream's
// end go straight to the file, and a read-only handle has no stdio buffer beneath, so such a
// read is one syscall into the caller's memory. Writes are unbuffered. When scrambled, every
// byte read is descrambled exactly once, whatever the read, and every byte written is scrambled
// without touching the caller's data. A read that runs out of bytes delivers fewer of them; the
// typed readers then return zero values (an empty string), never bytes past the stream's end.
class WeFileStream
{
public:
    static constexpr int32_t BufferCapacity = 0x10000;

    WeFileStream();
    // Closes the file when it is still open.
    virtual ~WeFileStream();
    WeFileStream(const WeFileStream&) = delete;
    WeFileStream& operator=(const WeFileStream&) = delete;

    // True when the file can be opened for reading.
    static bool Exists(const WeString& path);

    // Opens an existing file ("rb", or "rb+" with readWrite) at position 0; the stream's end is
    // the file's size. Any open file is closed first. The scrambled flag is kept.
    bool Open(const WeString& path, bool readWrite = false);
    // Creates or truncates the file for reading and writing; the stream's end is 0.
    bool Create(const WeString& path);
    // Opens for appending (writes go to the file's end); the stream's end is 0.
    bool OpenAppend(const WeString& path);
    // False when written bytes could not be flushed to the file.
    bool Close();

    bool IsOpen() const { return open; }
    const WeString& GetName() const { return name; }
    bool IsScrambled() const { return scrambled; }
    void SetScrambled(bool on) { scrambled = on; }
    // The stream's end: the file's size after Open, or the end of a package entry.
    int64_t GetSize() const { return size; }
    void SetSize(int64_t end) { size = end; }

    // Size of the underlying file, whatever the stream's end; 0 when closed.
    int64_t GetFileSize() const;
    // The logical position: where the next read starts.
    int64_t Tell() const;
    // origin is SEEK_SET, SEEK_CUR (from the logical position) or SEEK_END; drops the buffer.
    bool Seek(int64_t offset, int origin);
    // True at or past the stream's end.
    bool Eof() const;

    // Reads up to count bytes, never past the stream's end; returns how many were read.
    int64_t Read(void* destination, int64_t count);
    int16_t ReadShort();
    int32_t ReadInt();
    int64_t ReadInt64();
    bool ReadBool();
    uint8_t ReadByte();
    float ReadFloat();
    // A u16 byte length; when not zero, the bytes and a zero byte.
    void ReadString(WeString& text);
    // Three, four and sixteen floats (a vector; a vector4, colour or quaternion; a matrix).
    void ReadVector(float* xyz);
    void ReadVector4(float* xyzw);
    void ReadMatrix(float* rows);

    // Writes report whether every byte reached the file.
    bool Write(const void* source, int64_t count);
    bool WriteShort(int16_t value);
    bool WriteInt(int32_t value);
    bool WriteBool(bool value);
    bool WriteByte(uint8_t value);
    // Always the 4 bytes of the float; the precision is for the text stream's sake.
    bool WriteFloat(float value, int precision = 6);
    // Texts longer than 65,535 bytes are stored cut to 65,535 bytes, so that the stored
    // length and the stored bytes agree; the result is then false.
    bool WriteString(const WeString& text);
    bool WriteVector(const float* xyz);
    bool WriteVector4(const float* xyzw);
    bool WriteMatrix(const float* rows);

private:
    enum class LastAccess
    {
        None,
        Read,
        Write
    };

    bool OpenMode(const WeString& path, const char* mode, bool keepSize);
    void DropBuffer();
    int64_t HandlePosition() const;
    void SwitchTo(LastAccess access);
    int64_t ReadDirect(uint8_t* destination, int64_t count);
    bool ReadExactly(void* destination, int64_t count);
    template <typename T> T ReadLittle();
    template <typename T> bool WriteLittle(T value);
    void ReadFloats(float* destination, int count);
    bool WriteFloats(const float* source, int count);

    bool open = false;
    std::unique_ptr<uint8_t[]> buffer;
    int32_t capacity = BufferCapacity;
    int32_t position = 0;
    int32_t fill = 0;
    int64_t bufferStart = -1;
    WeString name;
    FILE* file = nullptr;
    int64_t size = 0;
    bool scrambled = false;
    LastAccess lastAccess = LastAccess::None;
};

// Formatted text output (the options file); numbers are written the same in every locale.
class WeTextStream
{
public:
    WeTextStream() = default;
    // Closes the file when it is still open.
    virtual ~WeTextStream();
    WeTextStream(const WeTextStream&) = delete;
    WeTextStream& operator=(const WeTextStream&) = delete;

    // Creates or truncates the file as text.
    bool Open(const WeString& path);
    void Close();
    bool IsOpen() const { return open; }

    bool WriteInt(int32_t value);
    // The value with precision decimals (at most 40).
    bool WriteFloat(float value, int precision);
    bool WriteString(const WeString& text);

private:
    bool WriteBytes(const char* bytes, size_t count);

    bool open = false;
    FILE* file = nullptr;
};
