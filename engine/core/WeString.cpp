#include "WeString.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

char WeString::emptyBuffer[1] = {0};

namespace
{

// Shuts the calling thread's pool down when the thread ends (for the main thread: before the
// static objects are destroyed, whose strings are then freed directly).
struct StringPoolGuard
{
    ~StringPoolGuard() { WeStringPoolShutdown(); }
};

void EnsurePoolGuard()
{
    thread_local StringPoolGuard guard;
    (void)guard;
}

// -1 for the inline bytes, else the pool's size class.
int32_t StorageClass(int32_t length)
{
    return length < WeString::InlineCapacity ? -1 : WeStringSizeClass(length);
}

bool PointsInto(const char* bytes, const char* begin, int32_t length)
{
    const auto address = reinterpret_cast<uintptr_t>(bytes);
    const auto start = reinterpret_cast<uintptr_t>(begin);
    return address >= start && address <= start + static_cast<uintptr_t>(length);
}

bool IsStrayByte(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xC2;
}

bool IsContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Byte count of the sequence a lead byte of 0xC2 or above starts.
int32_t SequenceLength(unsigned char lead)
{
    return lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Drops trailing zeros of a fixed-point digit text, keeping one digit after the point.
std::string_view TrimFraction(std::string_view digits)
{
    const size_t point = digits.find('.');
    size_t end = digits.size();
    while (end > point + 2 && digits[end - 1] == '0')
        --end;
    return digits.substr(0, end);
}

// Decimal exponent of a validated number text's leading digit, to tell overflow from underflow.
int64_t DecimalMagnitude(std::string_view number)
{
    size_t i = 0;
    int64_t magnitude = 0;
    bool seenDigit = false;
    for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i)
    {
        seenDigit = seenDigit || number[i] != '0';
        magnitude += seenDigit ? 1 : 0;
    }
    if (i < number.size() && number[i] == '.')
        for (++i; !seenDigit && i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i)
        {
            seenDigit = number[i] != '0';
            magnitude -= seenDigit ? 0 : 1;
        }
    const size_t exponent = number.find_first_of("eE");
    if (exponent != std::string_view::npos)
    {
        std::string_view digits = number.substr(exponent + 1);
        const bool negativeExponent = digits[0] == '-';
        if (digits[0] == '+' || digits[0] == '-')
            digits.remove_prefix(1);
        // Far past any float either way; capped so that the sum with the digit count cannot wrap.
        constexpr int64_t farOut = std::numeric_limits<int32_t>::max();
        int64_t value = 0;
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (result.ec == std::errc::result_out_of_range || value > farOut)
            value = farOut;
        magnitude += negativeExponent ? -value : value;
    }
    return magnitude;
}

// Length of the "%f"-style number at the start of text, 0 when there is none: digits with an
// optional point, then an exponent only when it has digits.
size_t ScanNumber(std::string_view text)
{
    size_t i = 0;
    size_t digits = 0;
    auto skipDigits = [&]
    {
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        {
            ++i;
            ++digits;
        }
    };
    skipDigits();
    if (i < text.size() && text[i] == '.')
    {
        ++i;
        skipDigits();
    }
    if (digits == 0)
        return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E'))
    {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < text.size() && text[j] >= '0' && text[j] <= '9')
        {
            i = j;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
        }
    }
    return i;
}

} // namespace

constinit thread_local WeString::Pool WeString::pool{};

char* WeString::AllocateElsewhere(int32_t sizeClass)
{
    const bool pooled = sizeClass < PooledClasses;
    if (pooled && !pool.off)
        EnsurePoolGuard();
    void* block = std::malloc(static_cast<size_t>(Capacity(sizeClass)));
    if (!block)
        std::abort();
    return static_cast<char*>(block);
}

void WeString::ReleaseElsewhere(char* buffer)
{
    std::free(buffer);
}

void WeStringPoolShutdown()
{
    WeString::Pool& pool = WeString::pool;
    pool.off = true;
    for (int32_t i = 0; i < WeString::PooledClasses; ++i)
    {
        while (WeString::FreeBlock* block = pool.free[i])
        {
            pool.free[i] = block->next;
            std::free(block);
        }
    }
}

void WeStringPoolStartup()
{
    WeString::pool.off = false;
}

int32_t WeStringPoolFreeBlocks(int32_t sizeClass)
{
    int32_t count = 0;
    if (sizeClass >= 0 && sizeClass < WeString::PooledClasses)
        for (const WeString::FreeBlock* block = WeString::pool.free[sizeClass]; block; block = block->next)
            ++count;
    return count;
}

void WeString::Take(WeString& other)
{
    if (other.length >= InlineCapacity)
        SetFields(other.data, other.length);
    else
        Init(other.data, other.length);
    other.data = emptyBuffer;
    other.length = 0;
}

WeString& WeString::operator=(const WeString& other)
{
    if (this != &other)
        Assign(other.data, other.length);
    return *this;
}

WeString& WeString::operator=(WeString&& other) noexcept
{
    if (this != &other)
    {
        FreeBuffer();
        Take(other);
    }
    return *this;
}

WeString& WeString::operator=(const char* text)
{
    if (text != data)
        Assign(text, TextLength(text));
    return *this;
}

void WeString::FreeBuffer()
{
    if (length >= InlineCapacity)
        Release(data, length);
    data = emptyBuffer;
    length = 0;
}

void WeString::Assign(const char* bytes, int32_t count)
{
    ReplaceRange(0, length, bytes, count);
}

// Replaces `removed` bytes at index by `count` bytes (zeros when bytes is null). The buffer is
// kept while the storage (inline bytes or size class) stays; a result over MaxLength leaves the string
// unchanged.
void WeString::ReplaceRange(int32_t index, int32_t removed, const char* bytes, int32_t count)
{
    const int64_t newLength = static_cast<int64_t>(length) - removed + count;
    if (count < 0 || newLength > MaxLength)
        return;
    if (bytes && count > 0 && data != emptyBuffer && PointsInto(bytes, data, length))
    {
        const WeString copy(bytes, count);
        ReplaceRange(index, removed, copy.data, count);
        return;
    }
    const int32_t tail = length - index - removed;
    const int32_t resultLength = static_cast<int32_t>(newLength);
    if (resultLength == 0)
    {
        FreeBuffer();
        return;
    }
    if (data == emptyBuffer)
    {
        data = StorageFor(resultLength);
    }
    else if (StorageClass(length) == StorageClass(resultLength))
    {
        std::memmove(data + index + count, data + index + removed, static_cast<size_t>(tail));
    }
    else
    {
        char* buffer = StorageFor(resultLength);
        std::memcpy(buffer, data, static_cast<size_t>(index));
        std::memcpy(buffer + index + count, data + index + removed, static_cast<size_t>(tail));
        FreeBuffer();
        data = buffer;
    }
    if (bytes)
        std::memcpy(data + index, bytes, static_cast<size_t>(count));
    else
        std::memset(data + index, 0, static_cast<size_t>(count));
    length = resultLength;
    data[length] = '\0';
}

WeString& WeString::AppendElsewhere(const char* bytes, int32_t count)
{
    if (bytes && count > 0)
        ReplaceRange(length, 0, bytes, count);
    return *this;
}

WeString& WeString::AppendChar(uint32_t code)
{
    char bytes[4];
    int32_t count = 0;
    if (code < 0x80)
    {
        bytes[count++] = static_cast<char>(code);
    }
    else if (code < 0x800)
    {
        bytes[count++] = static_cast<char>(0xC0 | (code >> 6));
        bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    else if (code < 0x10000)
    {
        bytes[count++] = static_cast<char>(0xE0 | (code >> 12));
        bytes[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    else
    {
        bytes[count++] = static_cast<char>(0xF0 | ((code >> 18) & 0x07));
        bytes[count++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    return Append(bytes, count);
}

WeString& WeString::AppendInt(int32_t value, int32_t minDigits, int32_t base, bool isSigned)
{
    // Bases below 2 would never end the digit loop; they fall back to decimal.
    const uint32_t radix = base < 2 ? 10u : static_cast<uint32_t>(base);
    const bool negative = isSigned && value < 0;
    uint32_t magnitude = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[33];
    int32_t count = 0;
    do
    {
        const uint32_t digit = magnitude % radix;
        digits[sizeof(digits) - 1 - count++] = static_cast<char>(digit < 10   ? '0' + digit
                                                                 : digit < 36 ? 'A' + digit - 10
                                                                              : '?');
        magnitude /= radix;
    } while (magnitude != 0);
    if (negative)
        *this += '-';
    if (minDigits > count)
    {
        const int32_t start = length;
        Resize(start + minDigits - count);
        if (length != start + minDigits - count)
            return *this;
        std::memset(data + start, '0', static_cast<size_t>(minDigits - count));
    }
    return Append(digits + sizeof(digits) - count, count);
}

WeString& WeString::AppendFloat(double value, int32_t decimals)
{
    if (std::isnan(value))
        return *this += "nan";
    if (std::isinf(value))
        return *this += value < 0 ? "-inf" : "inf";
    decimals = decimals < 1 ? 1 : decimals > 40 ? 40 : decimals;
    double scaled = std::fabs(value);
    for (int32_t i = 0; i < decimals; ++i)
        scaled *= 10.0;
    scaled += 0.5;

    char text[400];
    size_t used = 0;
    if (scaled < 9223372036854775808.0)
    {
        // Rounded the way this engine always rounded: scale, add a half, truncate.
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof(digits), static_cast<int64_t>(scaled));
        const size_t count = static_cast<size_t>(result.ptr - digits);
        const size_t width =
            count > static_cast<size_t>(decimals) ? count : static_cast<size_t>(decimals) + 1;
        const size_t integerDigits = width - static_cast<size_t>(decimals);
        for (size_t i = 0; i < width; ++i)
        {
            if (i == integerDigits)
                text[used++] = '.';
            text[used++] = i + count < width ? '0' : digits[i + count - width];
        }
    }
    else
    {
        // Too large for the 64-bit rounding: exact decimal digits instead.
        const auto result = std::to_chars(text, text + sizeof(text), std::fabs(value),
                                          std::chars_format::fixed, static_cast<int>(decimals));
        used = static_cast<size_t>(result.ptr - text);
    }
    if (value < 0)
        *this += '-';
    const std::string_view trimmed = TrimFraction(std::string_view(text, used));
    return Append(trimmed.data(), static_cast<int32_t>(trimmed.size()));
}

WeString WeString::operator+(const WeString& other) const
{
    WeString result(*this);
    result += other;
    const int32_t end = static_cast<int32_t>(std::strlen(result.data));
    if (end < result.length)
        result.Resize(end);
    return result;
}

WeString WeString::operator+(const char* text) const
{
    return *this + WeString(text);
}

WeString operator+(const char* text, const WeString& string)
{
    return WeString(text) + string;
}

void WeString::Insert(const WeString& text, int32_t index)
{
    index = index < 0 ? 0 : index > length ? length : index;
    if (text.length > 0)
        ReplaceRange(index, 0, text.data, text.length);
}

void WeString::Erase(int32_t index)
{
    if (index >= 0 && index < length)
        ReplaceRange(index, 1, nullptr, 0);
}

void WeString::Resize(int32_t newLength)
{
    if (newLength < 0 || newLength > MaxLength)
        return;
    if (newLength < length)
        ReplaceRange(newLength, length - newLength, nullptr, 0);
    else
        ReplaceRange(length, 0, nullptr, newLength - length);
}

WeString WeString::Substring(int32_t start, int32_t end) const
{
    start = start < 0 ? 0 : start > length ? length : start;
    end = end > length ? length : end;
    return end > start ? WeString(data + start, end - start) : WeString();
}

WeString WeString::ToLower() const
{
    WeString result(*this);
    for (int32_t i = 0; i < result.length; ++i)
        if (result.data[i] >= 'A' && result.data[i] <= 'Z')
            result.data[i] = static_cast<char>(result.data[i] - 'A' + 'a');
    return result;
}

int32_t WeString::Find(const WeString& text) const
{
    const size_t at = std::string_view(data, static_cast<size_t>(length))
                          .find(std::string_view(text.data, static_cast<size_t>(text.length)));
    return at == std::string_view::npos ? -1 : static_cast<int32_t>(at);
}

int32_t WeString::CountChar(char c) const
{
    int32_t count = 0;
    for (int32_t i = 0; i < length; ++i)
        count += data[i] == c ? 1 : 0;
    return count;
}

int32_t WeString::CountTokens(char separator) const
{
    return length == 0 ? 0 : CountChar(separator) + 1;
}

WeString WeString::GetToken(char separator, int32_t n) const
{
    if (n < 0)
        return WeString();
    int32_t start = 0;
    for (int32_t i = 0; i < length && n > 0; ++i)
        if (data[i] == separator)
        {
            start = i + 1;
            --n;
        }
    if (n > 0)
        return WeString();
    const void* stop = std::memchr(data + start, separator, static_cast<size_t>(length - start));
    const int32_t end = stop ? static_cast<int32_t>(static_cast<const char*>(stop) - data) : length;
    return Substring(start, end);
}

WeString WeString::GetTokenFromEnd(char separator, int32_t n) const
{
    if (n < 0)
        return WeString();
    int32_t end = length;
    for (int32_t i = length - 1; i >= 0 && n > 0; --i)
        if (data[i] == separator)
        {
            end = i;
            --n;
        }
    if (n > 0)
        return WeString();
    int32_t start = end;
    while (start > 0 && data[start - 1] != separator)
        --start;
    return Substring(start, end);
}

WeString WeString::GetRemainder(char separator, int32_t n) const
{
    int32_t start = 0;
    for (int32_t i = 0; i < length && n > 0; ++i)
        if (data[i] == separator)
        {
            start = i + 1;
            --n;
        }
    return n > 0 ? WeString() : Substring(start, length);
}

int32_t WeString::ToInt(int32_t base) const
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = at + length;
    bool negative = false;
    for (; at < end && (*at == '+' || *at == '-'); ++at)
        negative = negative || *at == '-';
    if (at < end && *at == '#')
    {
        base = 16;
        ++at;
    }
    while (at < end && (*at == ' ' || *at == '\t'))
        ++at;
    uint32_t result = 0;
    for (; at < end; ++at)
    {
        uint32_t digit;
        if (*at >= '0' && *at <= '9')
            digit = *at - '0';
        else if (*at >= 'A' && *at <= 'Z')
            digit = *at - 'A' + 10u;
        else if (*at >= 'a' && *at <= 'z')
            digit = *at - 'a' + 10u;
        else
            break;
        result = result * static_cast<uint32_t>(base) + digit;
    }
    return static_cast<int32_t>(negative ? 0u - result : result);
}

float WeString::ToFloat(float defaultValue) const
{
    std::string_view text(data, static_cast<size_t>(length));
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || (text[start] >= '\t' && text[start] <= '\r')))
        ++start;
    text.remove_prefix(start);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
    {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const size_t size = ScanNumber(text);
    if (size == 0)
        return defaultValue;
    const std::string_view number = text.substr(0, size);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = DecimalMagnitude(number) > 0 ? std::numeric_limits<double>::max() : 0.0;
    const double largest = std::numeric_limits<float>::max();
    const float magnitude = static_cast<float>(value > largest ? largest : value);
    return negative ? -magnitude : magnitude;
}

uint32_t WeString::DecodeChar(int32_t& position) const
{
    if (position < 0 || position >= length)
        return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const unsigned char lead = bytes[position];
    if (lead < 0x80 || IsStrayByte(lead))
    {
        ++position;
        return lead < 0x80 ? lead : '?';
    }
    const int32_t count = SequenceLength(lead);
    if (position + count > length)
    {
        position = length;
        return '?';
    }
    uint32_t code = lead & (count == 2 ? 0x1Fu : count == 3 ? 0x0Fu : 0x07u);
    for (int32_t i = 1; i < count; ++i)
        code = (code << 6) | (bytes[position + i] & 0x3Fu);
    position += count;
    return code;
}

int32_t WeString::NextCharPos(int32_t position) const
{
    if (position < 0)
        return 0;
    if (position >= length)
        return length;
    const auto lead = static_cast<unsigned char>(data[position]);
    const int32_t next = position + (lead < 0x80 || IsStrayByte(lead) ? 1 : SequenceLength(lead));
    return next > length ? length : next;
}

int32_t WeString::PrevCharPos(int32_t position) const
{
    if (position < 1)
        return 0;
    if (position > length)
        return length;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    int32_t previous = position - 1;
    while (previous > 0 && IsContinuationByte(bytes[previous]))
        --previous;
    return previous;
}

bool operator==(const WeString& a, const WeString& b)
{
    return a.GetLength() == b.GetLength() &&
           std::memcmp(a.GetData(), b.GetData(), static_cast<size_t>(a.GetLength())) == 0;
}

bool operator==(const WeString& a, const char* b)
{
    const int32_t length = b ? static_cast<int32_t>(std::strlen(b)) : 0;
    return a.GetLength() == length &&
           (length == 0 || std::memcmp(a.GetData(), b, static_cast<size_t>(length)) == 0);
}

bool operator<(const WeString& a, const WeString& b)
{
    const int32_t shorter = a.GetLength() < b.GetLength() ? a.GetLength() : b.GetLength();
    const int order = std::memcmp(a.GetData(), b.GetData(), static_cast<size_t>(shorter));
    return order != 0 ? order < 0 : a.GetLength() < b.GetLength();
}
