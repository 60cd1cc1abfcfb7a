#include "WeFileStream.h"

#include "win32/Win32Files.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

// Two 32-byte lanes a step, built for AVX2 where the processor has it, so that the XOR keeps
// pace with memory.
__attribute__((target_clones("avx2", "default"))) void WeScrambleBytes(void* bytes, int64_t count)
{
    using Lane = uint8_t __attribute__((vector_size(32)));
    const Lane key = Lane{} + WeScrambleKey;
    auto* data = static_cast<uint8_t*>(bytes);
    int64_t i = 0;
    for (; i + 2 * static_cast<int64_t>(sizeof(Lane)) <= count; i += 2 * sizeof(Lane))
    {
        Lane low, high;
        std::memcpy(&low, data + i, sizeof low);
        std::memcpy(&high, data + i + sizeof low, sizeof high);
        low ^= key;
        high ^= key;
        std::memcpy(data + i, &low, sizeof low);
        std::memcpy(data + i + sizeof low, &high, sizeof high);
    }
    for (; i < count; ++i)
        data[i] ^= WeScrambleKey;
}

WeFileStream::WeFileStream() : buffer(new uint8_t[BufferCapacity]) {}

WeFileStream::~WeFileStream()
{
    Close();
}

bool WeFileStream::Exists(const WeString& path)
{
    FILE* probe = win32::OpenFile(path.GetData(), "rb");
    if (!probe)
        return false;
    std::fclose(probe);
    return true;
}

bool WeFileStream::OpenMode(const WeString& path, const char* mode, bool keepSize)
{
    Close();
    file = win32::OpenFile(path.GetData(), mode);
    if (!file)
        return false;
    // The stream buffers its own reads; a stdio buffer under it would split a large read into
    // extra syscalls and copies whenever the entry does not start on a block boundary.
    if (!std::strpbrk(mode, "wa+"))
        std::setvbuf(file, nullptr, _IONBF, 0);
    open = true;
    name = path;
    win32::SeekFile(file, 0, SEEK_SET);
    size = keepSize ? GetFileSize() : 0;
    return true;
}

bool WeFileStream::Open(const WeString& path, bool readWrite)
{
    return OpenMode(path, readWrite ? "rb+" : "rb", true);
}

bool WeFileStream::Create(const WeString& path)
{
    return OpenMode(path, "wb+", false);
}

bool WeFileStream::OpenAppend(const WeString& path)
{
    return OpenMode(path, "ab+", false);
}

bool WeFileStream::Close()
{
    DropBuffer();
    const bool flushed = !file || std::fclose(file) == 0;
    file = nullptr;
    open = false;
    lastAccess = LastAccess::None;
    return flushed;
}

void WeFileStream::DropBuffer()
{
    bufferStart = -1;
    position = 0;
    fill = 0;
}

int64_t WeFileStream::HandlePosition() const
{
    return file ? win32::TellFile(file) : 0;
}

int64_t WeFileStream::GetFileSize() const
{
    if (!file)
        return 0;
    const int64_t here = win32::TellFile(file);
    win32::SeekFile(file, 0, SEEK_END);
    const int64_t end = win32::TellFile(file);
    win32::SeekFile(file, here, SEEK_SET);
    return end < 0 ? 0 : end;
}

int64_t WeFileStream::Tell() const
{
    return bufferStart >= 0 ? bufferStart + position : HandlePosition();
}

bool WeFileStream::Seek(int64_t offset, int origin)
{
    if (!file)
        return false;
    if (origin == SEEK_CUR && bufferStart >= 0)
        offset += Tell() - HandlePosition();
    DropBuffer();
    lastAccess = LastAccess::None;
    if (win32::SeekFile(file, offset, origin) != 0)
        return false;
    // An empty buffer marks where the handle stands, so that the next read need not ask it.
    if (origin == SEEK_SET)
        bufferStart = offset;
    return true;
}

bool WeFileStream::Eof() const
{
    return Tell() >= size;
}

// The C library wants a positioning call between reading and writing; a buffered block also
// means the handle runs ahead of the logical position, so a write must start from the latter.
void WeFileStream::SwitchTo(LastAccess access)
{
    if (access == LastAccess::Write && bufferStart >= 0)
    {
        const int64_t logical = Tell();
        DropBuffer();
        win32::SeekFile(file, logical, SEEK_SET);
    }
    else if (lastAccess != LastAccess::None && lastAccess != access)
        win32::SeekFile(file, 0, SEEK_CUR);
    lastAccess = access;
}

int64_t WeFileStream::ReadDirect(uint8_t* destination, int64_t count)
{
    const size_t got = std::fread(destination, 1, static_cast<size_t>(count), file);
    if (scrambled)
        WeScrambleBytes(destination, static_cast<int64_t>(got));
    return static_cast<int64_t>(got);
}

int64_t WeFileStream::Read(void* destination, int64_t count)
{
    if (count <= 0 || !file)
        return 0;
    auto* out = static_cast<uint8_t*>(destination);
    const int64_t buffered = std::min<int64_t>(fill - position, count);
    if (buffered > 0)
    {
        std::memcpy(out, buffer.get() + position, static_cast<size_t>(buffered));
        if (scrambled)
            WeScrambleBytes(out, buffered);
        position += static_cast<int32_t>(buffered);
    }
    int64_t rest = count - std::max<int64_t>(buffered, 0);
    if (rest == 0)
        return count;
    // A buffer, even an empty one, ends where the handle stands: no need to ask the handle.
    const int64_t start = bufferStart >= 0 ? bufferStart + fill : HandlePosition();
    DropBuffer();
    SwitchTo(LastAccess::Read);
    const int64_t done = count - rest;
    rest = std::min(rest, std::max<int64_t>(size - start, 0));
    if (rest == 0)
        return done;
    if (start + rest >= size || rest >= capacity)
    {
        const int64_t got = ReadDirect(out + done, rest);
        bufferStart = start + got; // an empty buffer that marks the handle's place
        return done + got;
    }
    const int64_t length = std::min<int64_t>(size - start, capacity);
    const size_t got = std::fread(buffer.get(), 1, static_cast<size_t>(length), file);
    bufferStart = start;
    fill = static_cast<int32_t>(got);
    const int64_t served = std::min<int64_t>(rest, fill);
    std::memcpy(out + done, buffer.get(), static_cast<size_t>(served));
    if (scrambled)
        WeScrambleBytes(out + done, served);
    position = static_cast<int32_t>(served);
    return done + served;
}

bool WeFileStream::ReadExactly(void* destination, int64_t count)
{
    if (Read(destination, count) == count)
        return true;
    std::memset(destination, 0, static_cast<size_t>(count));
    return false;
}

template <typename T> T WeFileStream::ReadLittle()
{
    uint8_t bytes[sizeof(T)];
    if (fill - position >= static_cast<int32_t>(sizeof(T)))
    {
        // Most record fields come from the buffer: skip the general road.
        const uint8_t key = scrambled ? WeScrambleKey : 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            bytes[i] = buffer[static_cast<size_t>(position) + i] ^ key;
        position += static_cast<int32_t>(sizeof(T));
    }
    else
        ReadExactly(bytes, sizeof(T));
    std::make_unsigned_t<T> value = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<std::make_unsigned_t<T>>(bytes[i]) << (8 * i);
    return static_cast<T>(value);
}

int16_t WeFileStream::ReadShort()
{
    return ReadLittle<int16_t>();
}

int32_t WeFileStream::ReadInt()
{
    return ReadLittle<int32_t>();
}

int64_t WeFileStream::ReadInt64()
{
    return ReadLittle<int64_t>();
}

uint8_t WeFileStream::ReadByte()
{
    return ReadLittle<uint8_t>();
}

bool WeFileStream::ReadBool()
{
    return ReadByte() != 0;
}

float WeFileStream::ReadFloat()
{
    return std::bit_cast<float>(ReadLittle<uint32_t>());
}

void WeFileStream::ReadString(WeString& text)
{
    const auto length = static_cast<uint16_t>(ReadShort());
    text.Resize(length);
    if (length == 0)
        return;
    const bool whole = ReadExactly(text.GetBuffer(), length);
    uint8_t terminator = 0;
    if (!whole || !ReadExactly(&terminator, 1))
        text = "";
}

void WeFileStream::ReadFloats(float* destination, int count)
{
    for (int i = 0; i < count; ++i)
        destination[i] = ReadFloat();
}

void WeFileStream::ReadVector(float* xyz)
{
    ReadFloats(xyz, 3);
}

void WeFileStream::ReadVector4(float* xyzw)
{
    ReadFloats(xyzw, 4);
}

void WeFileStream::ReadMatrix(float* rows)
{
    ReadFloats(rows, 16);
}

bool WeFileStream::Write(const void* source, int64_t count)
{
    if (count <= 0)
        return count == 0;
    if (!file)
        return false;
    SwitchTo(LastAccess::Write);
    const auto* in = static_cast<const uint8_t*>(source);
    bool complete = true;
    if (!scrambled)
        complete = std::fwrite(in, 1, static_cast<size_t>(count), file) == static_cast<size_t>(count);
    else
    {
        uint8_t chunk[4096];
        for (int64_t done = 0; done < count && complete; done += sizeof chunk)
        {
            const size_t part = static_cast<size_t>(std::min<int64_t>(count - done, sizeof chunk));
            std::memcpy(chunk, in + done, part);
            WeScrambleBytes(chunk, static_cast<int64_t>(part));
            complete = std::fwrite(chunk, 1, part, file) == part;
        }
    }
    size = std::max(size, HandlePosition());
    return complete;
}

template <typename T> bool WeFileStream::WriteLittle(T value)
{
    uint8_t bytes[sizeof(T)];
    const auto bits = static_cast<std::make_unsigned_t<T>>(value);
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    return Write(bytes, sizeof(T));
}

bool WeFileStream::WriteShort(int16_t value)
{
    return WriteLittle(value);
}

bool WeFileStream::WriteInt(int32_t value)
{
    return WriteLittle(value);
}

bool WeFileStream::WriteByte(uint8_t value)
{
    return WriteLittle(value);
}

bool WeFileStream::WriteBool(bool value)
{
    return WriteByte(value ? 1 : 0);
}

bool WeFileStream::WriteFloat(float value, int)
{
    return WriteLittle(std::bit_cast<uint32_t>(value));
}

bool WeFileStream::WriteString(const WeString& text)
{
    const int64_t full = text.GetLength();
    const auto length = static_cast<uint16_t>(std::min<int64_t>(full, 0xFFFF));
    bool complete = WriteShort(static_cast<int16_t>(length));
    if (length > 0)
    {
        complete = Write(text.GetData(), length) && complete;
        complete = WriteByte(0) && complete;
    }
    return complete && length == full;
}

bool WeFileStream::WriteFloats(const float* source, int count)
{
    bool complete = true;
    for (int i = 0; i < count; ++i)
        complete = WriteFloat(source[i]) && complete;
    return complete;
}

bool WeFileStream::WriteVector(const float* xyz)
{
    return WriteFloats(xyz, 3);
}

bool WeFileStream::WriteVector4(const float* xyzw)
{
    return WriteFloats(xyzw, 4);
}

bool WeFileStream::WriteMatrix(const float* rows)
{
    return WriteFloats(rows, 16);
}

WeTextStream::~WeTextStream()
{
    Close();
}

bool WeTextStream::Open(const WeString& path)
{
    Close();
    file = win32::OpenFile(path.GetData(), "wt+");
    open = file != nullptr;
    return open;
}

void WeTextStream::Close()
{
    if (file)
        std::fclose(file);
    file = nullptr;
    open = false;
}

bool WeTextStream::WriteBytes(const char* bytes, size_t count)
{
    return file && std::fwrite(bytes, 1, count, file) == count;
}

bool WeTextStream::WriteInt(int32_t value)
{
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return WriteBytes(text, static_cast<size_t>(result.ptr - text));
}

bool WeTextStream::WriteFloat(float value, int precision)
{
    char text[128];
    const int decimals = std::clamp(precision, 0, 40);
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return false;
    return WriteBytes(text, static_cast<size_t>(result.ptr - text));
}

bool WeTextStream::WriteString(const WeString& text)
{
    return WriteBytes(text.GetData(), std::strlen(text.GetData()));
}
