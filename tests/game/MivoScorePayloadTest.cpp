#include "MivoScorePayload.h"

#include "WeRandom.h"

#include "ScoreEntries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Payloads are checked by decoding them the way the score service does.

namespace
{
int32_t Digit(const MivoScorePayload& payload, int32_t position)
{
    const char* found = std::strchr(kMivoPayloadAlphabet, payload.text[position]);
    EXPECT_NE(found, nullptr) << position;
    return found ? static_cast<int32_t>(found - kMivoPayloadAlphabet) - position % 48 : -1;
}

uint32_t Digits(const MivoScorePayload& payload, int32_t position, int32_t count, int32_t step)
{
    uint32_t value = 0;
    for (int32_t i = 0; i < count; ++i)
    {
        value |= static_cast<uint32_t>(Digit(payload, position + i * step)) << (4 * i);
    }
    return value;
}

// An integer item at `position`: byte i has its digits at position + 5i and + 5i + 1.
int32_t IntAt(const MivoScorePayload& payload, int32_t position)
{
    uint32_t value = 0;
    for (int32_t i = 0; i < 4; ++i)
    {
        value |= Digits(payload, position + 5 * i, 2, 1) << (8 * i);
    }
    return static_cast<int32_t>(value);
}

std::string StringAt(const MivoScorePayload& payload, int32_t position)
{
    const uint32_t length = Digits(payload, position, 2, 1);
    std::string text;
    for (uint32_t i = 0; i < length && length <= 127; ++i)
    {
        text += static_cast<char>(Digits(payload, position + 7 + 7 * static_cast<int32_t>(i), 2, 1));
    }
    return text;
}

bool ChecksumsHold(const MivoScorePayload& payload)
{
    uint32_t sum = 0;
    for (int32_t p = 13; p < 1021; ++p)
    {
        sum += static_cast<uint8_t>(payload.text[p]);
    }
    return Digits(payload, 5, 8, 1) - sum == Digits(payload, 1021, 8, 1);
}

TEST(MivoScorePayload, BodyIsDataAnd1024AlphabetCharacters)
{
    const MivoScorePayload payload = MivoMakeScorePayload(Score("Ana", 1, 3, 1, 2));
    EXPECT_EQ(std::strlen(payload.text), 1029u);
    EXPECT_EQ(std::string(payload.text, 5), "data=");
    for (int32_t p = 5; p < 1029; ++p)
    {
        EXPECT_NE(std::strchr(kMivoPayloadAlphabet, payload.text[p]), nullptr) << p;
    }
    EXPECT_EQ(std::strlen(kMivoPayloadAlphabet), 64u);
}

TEST(MivoScorePayload, GameScoreItemsDecodeInTheirOrder)
{
    const MivoScorePayload payload = MivoMakeScorePayload(Score("Ana", 123456, 2, 1, 77));
    EXPECT_EQ(StringAt(payload, 13), "Ana");
    const int32_t first = 13 + 14 + 7 * 3;
    EXPECT_EQ(IntAt(payload, first), 1);           // mode
    EXPECT_EQ(IntAt(payload, first + 27), 123456); // score
    EXPECT_EQ(IntAt(payload, first + 54), 2);      // difficulty
    EXPECT_EQ(IntAt(payload, first + 81), 77);     // level
    EXPECT_TRUE(ChecksumsHold(payload));
}

TEST(MivoScorePayload, LevelScoreItemsDecodeWithTheTimeTruncated)
{
    const MivoScorePayload payload = MivoMakeLevelScorePayload(LevelScore("", -5, 3017, 12, 3.99f));
    EXPECT_EQ(StringAt(payload, 13), "");
    EXPECT_EQ(IntAt(payload, 27), 3017);
    EXPECT_EQ(IntAt(payload, 54), -5);
    EXPECT_EQ(IntAt(payload, 81), 12);
    EXPECT_EQ(IntAt(payload, 108), 3);
    EXPECT_EQ(IntAt(MivoMakeLevelScorePayload(LevelScore("", 0, 0, 0, -0.5f)), 108), 0);
    EXPECT_EQ(IntAt(MivoMakeLevelScorePayload(LevelScore("", 0, 0, 0, 1e30f)), 108), INT32_MAX);
}

TEST(MivoScorePayload, LongNamesCarryOnlyTheirLengthsLowByte)
{
    for (const std::size_t length : {128u, 255u, 300u})
    {
        const std::string name(length, 'n');
        const MivoScorePayload payload = MivoMakeScorePayload(Score(name.c_str(), 9, 0, 2, 0));
        EXPECT_EQ(Digits(payload, 13, 2, 1), length & 0xFF);
        EXPECT_EQ(IntAt(payload, 27), 2) << length; // the mode follows the length at once
        EXPECT_EQ(IntAt(payload, 54), 9) << length;
        EXPECT_TRUE(ChecksumsHold(payload));
    }
    const std::string longest(127, 'z');
    const MivoScorePayload payload = MivoMakeScorePayload(Score(longest.c_str(), 4, 6, 1, 5));
    EXPECT_EQ(StringAt(payload, 13), longest);
    EXPECT_EQ(IntAt(payload, 13 + 14 + 7 * 127 + 81), 5);
    EXPECT_TRUE(ChecksumsHold(payload));
}

TEST(MivoScorePayload, OneValueLooksDifferentAtDifferentPositions)
{
    const MivoScorePayload payload = MivoMakeScorePayload(Score("", 7, 7, 7, 7));
    for (int32_t item = 0; item < 3; ++item)
    {
        EXPECT_NE(payload.text[27 + 27 * item], payload.text[27 + 27 * (item + 1)]);
        EXPECT_EQ(IntAt(payload, 27 + 27 * item), 7);
    }
}

TEST(MivoScorePayload, PositionsWithoutItemsKeepTheirFiller)
{
    WeSRand(1234);
    const MivoScorePayload payload = MivoMakeScorePayload(Score("Bo", 1, 1, 1, 1));
    WeSRand(1234);
    std::string filler(1029, '?');
    for (int32_t p = 5; p < 1029; ++p)
    {
        filler[p] = kMivoPayloadAlphabet[WeRand() * 64 / 32768];
    }
    // The name takes 14 + 7 x 2 positions and each of the four integers 27.
    const int32_t itemsEnd = 13 + 28 + 4 * 27;
    int32_t changed = 0;
    for (int32_t p = 13; p < 1021; ++p)
    {
        const int32_t offset = p - 13;
        const bool nameDigit = offset < 28 && offset % 7 < 2;
        const bool intDigit = p >= 41 && p < itemsEnd && (p - 41) % 27 < 20 && (p - 41) % 27 % 5 < 2;
        if (!nameDigit && !intDigit)
        {
            EXPECT_EQ(payload.text[p], filler[p]) << p;
        }
        changed += payload.text[p] != filler[p];
    }
    EXPECT_GT(changed, 0);
}

TEST(MivoScorePayload, TwoPayloadsOfOneScoreDifferAndBothCheck)
{
    const MivoScore score = Score("Ana", 1000, 1, 1, 3);
    const MivoScorePayload a = MivoMakeScorePayload(score);
    const MivoScorePayload b = MivoMakeScorePayload(score);
    EXPECT_NE(std::string(a.text), std::string(b.text));
    EXPECT_TRUE(ChecksumsHold(a));
    EXPECT_TRUE(ChecksumsHold(b));
    EXPECT_EQ(IntAt(a, 75), IntAt(b, 75));
}

TEST(MivoScorePayload, ADamagedBodyFailsTheChecksum)
{
    MivoScorePayload payload = MivoMakeScorePayload(Score("Ana", 1000, 1, 1, 3));
    payload.text[500] = payload.text[500] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(ChecksumsHold(payload));
}
} // namespace
