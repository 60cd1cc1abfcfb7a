#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The engine's string: bytes (UTF-8 text in practice) with an explicit length and a zero byte
// after the last one. Every empty string shares one static buffer; texts shorter than
// InlineCapacity live inside the string itself, so moving such a string moves its bytes; longer
// buffers come from a pool of size classes so that the many short-lived names and keys reuse
// memory.
//
// Lengths are checked: an operation whose result would exceed MaxLength leaves the string as it
// was, and positions outside the string clamp or give empty results. Nothing here reports a
// failure or depends on the C locale.
class WeString
{
public:
    static constexpr int32_t MaxLength = 0x3FFFFFFF;
    static constexpr int32_t InlineCapacity = 20; // bytes inside the string, the zero included

    WeString() {} // NOLINT: user-provided, so that a const string needs no initialiser
    // NOLINTNEXTLINE: implicit on purpose, texts are strings everywhere
    WeString(const char* text) { Init(text, TextLength(text)); }
    WeString(const char* bytes, int32_t length) { Init(bytes, length); }
    WeString(const WeString& other) { Init(other.data, other.length); }
    WeString(WeString&& other) noexcept { Take(other); }
    ~WeString()
    {
        if (length >= InlineCapacity)
            Release(data, length);
    }

    WeString& operator=(const WeString& other);
    WeString& operator=(WeString&& other) noexcept;
    WeString& operator=(const char* text);

    WeString& operator+=(const WeString& other) { return Append(other.data, other.length); }
    WeString& operator+=(const char* text) { return Append(text, TextLength(text)); }
    WeString& operator+=(char c) { return Append(&c, 1); }
    // Within the inline bytes or the buffer's size class the bytes go in place; a source inside
    // this string stays valid, as it ends where the new bytes begin.
    WeString& Append(const char* bytes, int32_t count)
    {
        const int32_t oldLength = length;
        if (!bytes || count <= 0 || count > MaxLength - oldLength)
            return *this;
        const int32_t newLength = oldLength + count;
        char* const buffer = newLength < InlineCapacity ? local : data;
        if (newLength >= InlineCapacity &&
            (oldLength < InlineCapacity || newLength >= Capacity(SizeClass(oldLength))))
            return AppendElsewhere(bytes, count);
        std::memcpy(buffer + oldLength, bytes, static_cast<size_t>(count));
        buffer[newLength] = '\0';
        SetFields(buffer, newLength);
        return *this;
    }
    WeString& AppendChar(uint32_t code); // a Unicode code point as 1 to 4 UTF-8 bytes
    // Digits 0-9 then A-Z ('?' for digit values of 36 and more), zero-padded to minDigits; with
    // isSigned a negative value gets '-' and its magnitude, else the value is taken unsigned.
    WeString& AppendInt(int32_t value, int32_t minDigits = 0, int32_t base = 10, bool isSigned = true);
    // Rounded to `decimals` (at least 1) places, trailing fraction zeros dropped but one kept:
    // 1.5 -> "1.5", 2 -> "2.0". Non-finite values append "inf", "-inf" or "nan".
    WeString& AppendFloat(double value, int32_t decimals = 6);

    // Concatenation; the result ends at its first zero byte.
    WeString operator+(const WeString& other) const;
    WeString operator+(const char* text) const;

    void Insert(const WeString& text, int32_t index);     // index clamped to 0..length
    void Erase(int32_t index);                            // removes one byte; outside the string nothing
    void Resize(int32_t length);                          // content kept up to it, new bytes zero
    WeString Substring(int32_t start, int32_t end) const; // bytes [start, end) clamped to the string
    WeString ToLower() const;                             // A-Z lowered, other bytes unchanged

    int32_t Find(const WeString& text) const; // first byte index, -1 when absent, 0 for ""
    int32_t CountChar(char c) const;
    int32_t CountTokens(char separator) const;                 // separators + 1; 0 for ""
    WeString GetToken(char separator, int32_t n) const;        // field n from 0, "" past the end
    WeString GetTokenFromEnd(char separator, int32_t n) const; // 0 = last field
    WeString GetRemainder(char separator, int32_t n) const;    // text after the n-th separator

    // Optional '+'/'-' run (any '-' negates), optional '#' (base 16), blanks and tabs, then
    // 0-9, A-Z, a-z as digit values 0-35 in 32-bit wrap-around arithmetic (not checked against
    // the base) until any other byte. "" gives 0.
    int32_t ToInt(int32_t base = 10) const;
    // A "%f"-style decimal parse in the C locale (blanks, sign, digits, point, exponent); the
    // default when no digit is found. Out-of-range values saturate to the largest float or zero.
    float ToFloat(float defaultValue = 0.0f) const;

    // UTF-8 stepping. DecodeChar reads the code point at position and moves position after it
    // (outside the string: 0, position unchanged; invalid lead or cut sequence: '?').
    uint32_t DecodeChar(int32_t& position) const;
    // Where DecodeChar at position would stop (a stray byte is one character), within 0..length.
    int32_t NextCharPos(int32_t position) const;
    // Start of the character before position: back over continuation bytes (10xxxxxx).
    int32_t PrevCharPos(int32_t position) const;

    const char* GetData() const { return data; }
    char* GetBuffer() { return data; } // the string's own bytes; write at most GetLength() of them
    int32_t GetLength() const { return length; }
    bool IsEmpty() const { return length == 0; }
    char operator[](int32_t index) const { return index >= 0 && index < length ? data[index] : '\0'; }

    void FreeBuffer(); // back to the shared empty buffer; the old one to the pool

private:
    // The pool behind the buffers: size classes 0..6 of 16, 64, ..., 65,536 bytes hold every
    // length below them; longer buffers are plain allocations rounded up to a power of two
    // (classes 7 and above).
    static constexpr int32_t PooledClasses = 7;
    static int32_t SizeClass(int32_t length)
    {
        const int bits = std::bit_width(static_cast<uint32_t>(length));
        if (bits <= 16)
            return bits <= 3 ? 0 : (bits - 3) / 2;
        return bits - 10;
    }
    static int32_t Capacity(int32_t sizeClass)
    {
        return sizeClass < PooledClasses ? 1 << (4 + 2 * sizeClass) : 1 << (sizeClass + 10);
    }
    static char* Allocate(int32_t length); // a buffer for length bytes and the zero; "" shared
    static void Release(char* buffer, int32_t length)
    {
        const int32_t sizeClass = SizeClass(length);
        if (sizeClass >= PooledClasses || pool.off)
            return ReleaseElsewhere(buffer);
        auto* block = reinterpret_cast<FreeBlock*>(buffer);
        block->next = pool.free[sizeClass];
        pool.free[sizeClass] = block;
    }

    struct FreeBlock
    {
        FreeBlock* next;
    };
    // One per thread, constant-initialised so that strings built before main and destroyed
    // after it find it in a defined state, and no thread ever sees another's free chains.
    struct Pool
    {
        FreeBlock* free[PooledClasses];
        bool off;
    };

    static int32_t TextLength(const char* text)
    {
        const size_t count = text ? std::strlen(text) : 0;
        return count > static_cast<size_t>(MaxLength) ? MaxLength : static_cast<int32_t>(count);
    }
    void Init(const char* bytes, int32_t count)
    {
        if (!bytes || count <= 0)
            return;
        char* const buffer = StorageFor(count);
        std::memcpy(buffer, bytes, static_cast<size_t>(count));
        buffer[count] = '\0';
        SetFields(buffer, count);
    }
    // The fields are written after the bytes: byte stores may alias anything, so fields written
    // last need not be read back from memory by the operation that follows.
    void SetFields(char* buffer, int32_t count)
    {
        data = buffer;
        length = count;
    }
    // Where a text of count bytes (one or more) lives: the inline bytes or a new buffer.
    char* StorageFor(int32_t count) { return count < InlineCapacity ? local : Allocate(count); }
    // Moves other's text here (its buffer, or its inline bytes) and leaves it empty.
    void Take(WeString& other);
    static char* AllocateElsewhere(int32_t sizeClass);
    static void ReleaseElsewhere(char* buffer);
    WeString& AppendElsewhere(const char* bytes, int32_t count);
    void ReplaceRange(int32_t index, int32_t removed, const char* bytes, int32_t count);
    void Assign(const char* bytes, int32_t count);

    char* data = emptyBuffer;
    int32_t length = 0;
    char local[InlineCapacity];

    static char emptyBuffer[1];
    static constinit thread_local Pool pool;
    friend void WeStringPoolShutdown();
    friend void WeStringPoolStartup();
    friend int32_t WeStringPoolFreeBlocks(int32_t sizeClass);
    friend char* WeStringPoolAllocate(int32_t length);
    friend int32_t WeStringSizeClass(int32_t length);
};

inline char* WeString::Allocate(int32_t length)
{
    if (length <= 0)
        return emptyBuffer;
    const int32_t sizeClass = SizeClass(length);
    // A switched-off pool holds no free blocks.
    if (sizeClass < PooledClasses)
        if (FreeBlock* block = pool.free[sizeClass])
        {
            pool.free[sizeClass] = block->next;
            return reinterpret_cast<char*>(block);
        }
    return AllocateElsewhere(sizeClass);
}

WeString operator+(const char* text, const WeString& string);
bool operator==(const WeString& a, const WeString& b); // same length and bytes
bool operator==(const WeString& a, const char* b);
bool operator<(const WeString& a, const WeString& b); // byte-wise, unsigned, shorter first on a tie

// The buffer pool behind WeString, one per thread (see WeString::SizeClass).
inline char* WeStringPoolAllocate(int32_t length) // "" gives the shared empty buffer
{
    return WeString::Allocate(length);
}
void WeStringPoolShutdown();                       // frees every pooled block; later releases free directly
void WeStringPoolStartup();                        // switches pooling (back) on
int32_t WeStringPoolFreeBlocks(int32_t sizeClass); // spare blocks of a class (0..6), for inspection
inline int32_t WeStringSizeClass(int32_t length)   // 0..6 pooled, 7 and above plain
{
    return WeString::SizeClass(length);
}
