#include "MivoScorePayload.h"

#include "WeRandom.h"

#include <cmath>
#include <cstring>

// Letters, digits, '-' and '_': none of them is changed by form encoding.
const char kMivoPayloadAlphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

namespace
{
const char kPrefix[] = "data=";
constexpr int32_t kPrefixLength = 5;
constexpr int32_t kChecksumDigits = 8;
constexpr int32_t kLongestStringSent = 127;
} // namespace

void MivoPayloadEncoder::PutDigit(int32_t position, uint32_t digit)
{
    // The same digit looks different at different positions.
    body.text[position] = kMivoPayloadAlphabet[(digit & 0xF) + static_cast<uint32_t>(position % 48)];
}

void MivoPayloadEncoder::PutDigits(int32_t position, uint32_t value, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
    {
        PutDigit(position + i, value >> (4 * i));
    }
}

void MivoPayloadEncoder::PutByteAt(uint8_t value, int32_t gap)
{
    PutDigits(writePos, value, 2);
    writePos += 2 + gap;
}

int32_t MivoPayloadEncoder::ItemAreaSum() const
{
    uint32_t sum = 0;
    for (int32_t p = kFirstItemPosition; p < kDifferencePosition; ++p)
    {
        sum += static_cast<uint8_t>(body.text[p]);
    }
    return static_cast<int32_t>(sum);
}

void MivoPayloadEncoder::Begin()
{
    for (int32_t p = kPrefixLength; p < MivoScorePayload::kLength; ++p)
    {
        body.text[p] = kMivoPayloadAlphabet[WeRand() * 64 / (WE_RAND_MAX + 1)];
    }
    std::memcpy(body.text, kPrefix, kPrefixLength);
    body.text[MivoScorePayload::kLength] = '\0';
    fillerChecksum = ItemAreaSum();
    PutDigits(kPrefixLength, static_cast<uint32_t>(fillerChecksum), kChecksumDigits);
    writePos = kFirstItemPosition;
}

void MivoPayloadEncoder::PutInt(int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int32_t i = 0; i < 4; ++i)
    {
        PutByteAt(static_cast<uint8_t>(bits >> (8 * i)), byteGap);
    }
    writePos += itemGap;
}

void MivoPayloadEncoder::PutString(const WeString& text)
{
    const int32_t length = text.GetLength();
    PutByteAt(static_cast<uint8_t>(length), stringGap);
    if (length <= kLongestStringSent)
    {
        for (int32_t i = 0; i < length; ++i)
        {
            PutByteAt(static_cast<uint8_t>(text[i]), stringGap);
        }
    }
    writePos += itemGap;
}

void MivoPayloadEncoder::End()
{
    const uint32_t difference = static_cast<uint32_t>(fillerChecksum) - static_cast<uint32_t>(ItemAreaSum());
    PutDigits(kDifferencePosition, difference, kChecksumDigits);
    writePos = MivoScorePayload::kLength;
}

bool MivoPayloadDecoder::GetDigits(int32_t position, int32_t count, uint32_t& value) const
{
    value = 0;
    for (int32_t i = 0; i < count; ++i)
    {
        const char* found = std::strchr(kMivoPayloadAlphabet, body.text[position + i]);
        const int32_t digit =
            found && *found ? static_cast<int32_t>(found - kMivoPayloadAlphabet) - (position + i) % 48 : -1;
        if (digit < 0 || digit > 15)
            return false;
        value |= static_cast<uint32_t>(digit) << (4 * i);
    }
    return true;
}

bool MivoPayloadDecoder::ChecksumsHold() const
{
    if (std::strncmp(body.text, kPrefix, kPrefixLength) != 0)
        return false;
    uint32_t sum = 0;
    for (int32_t p = MivoPayloadEncoder::kFirstItemPosition; p < MivoPayloadEncoder::kDifferencePosition; ++p)
    {
        if (!body.text[p] || !std::strchr(kMivoPayloadAlphabet, body.text[p]))
            return false;
        sum += static_cast<uint8_t>(body.text[p]);
    }
    uint32_t filler = 0;
    uint32_t difference = 0;
    return GetDigits(kPrefixLength, kChecksumDigits, filler) &&
           GetDigits(MivoPayloadEncoder::kDifferencePosition, kChecksumDigits, difference) &&
           filler - sum == difference;
}

bool MivoPayloadDecoder::GetByteAt(int32_t gap, uint8_t& value)
{
    uint32_t digits = 0;
    if (readPos + 2 > MivoPayloadEncoder::kDifferencePosition || !GetDigits(readPos, 2, digits))
        return false;
    value = static_cast<uint8_t>(digits);
    readPos += 2 + gap;
    return true;
}

bool MivoPayloadDecoder::GetInt(int32_t& value)
{
    uint32_t bits = 0;
    for (int32_t i = 0; i < 4; ++i)
    {
        uint8_t byte = 0;
        if (!GetByteAt(MivoPayloadEncoder::kByteGap, byte))
            return false;
        bits |= static_cast<uint32_t>(byte) << (8 * i);
    }
    readPos += MivoPayloadEncoder::kItemGap;
    value = static_cast<int32_t>(bits);
    return true;
}

bool MivoPayloadDecoder::GetString(WeString& text)
{
    uint8_t length = 0;
    if (!GetByteAt(MivoPayloadEncoder::kStringGap, length))
        return false;
    text = WeString();
    for (int32_t i = 0; length <= kLongestStringSent && i < length; ++i)
    {
        uint8_t byte = 0;
        if (!GetByteAt(MivoPayloadEncoder::kStringGap, byte))
            return false;
        text += static_cast<char>(byte);
    }
    readPos += MivoPayloadEncoder::kItemGap;
    return true;
}

MivoScorePayload MivoMakeScorePayload(const MivoScore& score)
{
    MivoPayloadEncoder encoder;
    encoder.Begin();
    encoder.PutString(score.name);
    encoder.PutInt(score.mode);
    encoder.PutInt(score.score);
    encoder.PutInt(score.difficulty);
    encoder.PutInt(score.level);
    encoder.End();
    return encoder.Payload();
}

MivoScorePayload MivoMakeLevelScorePayload(const MivoLevelScore& levelScore)
{
    MivoPayloadEncoder encoder;
    encoder.Begin();
    encoder.PutString(levelScore.name);
    encoder.PutInt(levelScore.mapId);
    encoder.PutInt(levelScore.bonus);
    encoder.PutInt(levelScore.moves);
    // Times far outside an int are clamped rather than converted into undefined behaviour.
    const float time = std::isnan(levelScore.time) ? 0.0f : std::trunc(levelScore.time);
    encoder.PutInt(time >= 2147483520.0f    ? INT32_MAX
                   : time <= -2147483648.0f ? INT32_MIN
                                            : static_cast<int32_t>(time));
    encoder.End();
    return encoder.Payload();
}
