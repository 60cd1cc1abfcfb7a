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
