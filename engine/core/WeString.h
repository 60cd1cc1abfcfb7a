#pragma once

#include <cstdint>

// The engine's string: bytes (UTF-8 text in practice) with an explicit length and a zero byte
// after the last one. Every empty string shares one static buffer; other buffers come from a
// pool of size classes so that the many short-lived names and keys reuse memory.
//
// Lengths are checked: an operation whose result would exceed MaxLength leaves the string as it
// was, and positions outside the string clamp or give empty results. Nothing here reports a
// failure or depends on the C locale.
class WeString
{
public:
    static constexpr int32_t MaxLength = 0x3FFFFFFF;

    WeString() = default;
    WeString(const char* text); // NOLINT: implicit on purpose, texts are strings everywhere
    WeString(const char* bytes, int32_t length);
    WeString(const WeString& other);
    WeString(WeString&& other) noexcept;
    ~WeString()
    {
        if (data != emptyBuffer)
            FreeBuffer();
    }

    WeString& operator=(const WeString& other);
    WeString& operator=(WeString&& other) noexcept;
    WeString& operator=(const char* text);

    WeString& operator+=(const WeString& other);
    WeString& operator+=(const char* text);
    WeString& operator+=(char c);
    WeString& Append(const char* bytes, int32_t length);
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
    void ReplaceRange(int32_t index, int32_t removed, const char* bytes, int32_t count);
    void SetLength(int32_t newLength);
    void Assign(const char* bytes, int32_t count);

    char* data = emptyBuffer;
    int32_t length = 0;

    static char emptyBuffer[1];
    friend char* WeStringPoolAllocate(int32_t length);
};

WeString operator+(const char* text, const WeString& string);
bool operator==(const WeString& a, const WeString& b); // same length and bytes
bool operator==(const WeString& a, const char* b);
bool operator<(const WeString& a, const WeString& b); // byte-wise, unsigned, shorter first on a tie

// The buffer pool behind WeString, one per thread. A length n takes the first of the classes
// 16, 64, ..., 65,536 bytes larger than n; longer buffers are plain allocations rounded up to a
// power of two.
char* WeStringPoolAllocate(int32_t length);        // "" gives the shared empty buffer
void WeStringPoolShutdown();                       // frees every pooled block; later releases free directly
void WeStringPoolStartup();                        // switches pooling (back) on
int32_t WeStringPoolFreeBlocks(int32_t sizeClass); // spare blocks of a class (0..6), for inspection
int32_t WeStringSizeClass(int32_t length);         // 0..6 pooled, 7 and above plain
