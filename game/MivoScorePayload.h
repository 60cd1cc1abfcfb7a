// The form body that carries a score to the score service: "data=" and 1024 characters in
// which the values are spread as four-bit digits over random filler, guarded by the sum of
// the filler and the difference the values made to it.
#pragma once

#include "MivoScores.h"

#include <cstdint>

struct MivoScorePayload
{
    static constexpr int32_t kLength = 1029;

    char text[kLength + 1] = {}; // zero-terminated
};

// The 64 characters of the body; their order is shared with the score service.
extern const char kMivoPayloadAlphabet[65];

// Builds one payload item by item; the filler is drawn from the program's random generator.
class MivoPayloadEncoder
{
public:
    static constexpr int32_t kFirstItemPosition = 13;
    static constexpr int32_t kDifferencePosition = 1021;
    // Positions skipped after each character pair, byte pair and item.
    static constexpr int32_t kStringGap = 5;
    static constexpr int32_t kByteGap = 3;
    static constexpr int32_t kItemGap = 7;

    // Random filler, "data=" and the filler's sum; items then start at position 13.
    void Begin();
    void PutInt(int32_t value);
    // A string's length (its low byte) and, for at most 127 bytes, its bytes.
    void PutString(const WeString& text);
    // Writes the checksum difference; the payload is then complete.
    void End();

    const MivoScorePayload& Payload() const { return body; }
    // Sum of the byte values of the item positions 13..1020.
    int32_t ItemAreaSum() const;

private:
    void PutDigit(int32_t position, uint32_t digit);
    void PutDigits(int32_t position, uint32_t value, int32_t count);
    void PutByteAt(uint8_t value, int32_t gap);

    MivoScorePayload body;
    int32_t fillerChecksum = 0;
    int32_t writePos = 0;
    int32_t stringGap = kStringGap;
    int32_t byteGap = kByteGap;
    int32_t itemGap = kItemGap;
};

// Reads a body back item by item, as the score service does: the same positions, gaps and digit
// rule as the encoder. Every read fails (false) on a character that is not a digit at its place.
class MivoPayloadDecoder
{
public:
    explicit MivoPayloadDecoder(const MivoScorePayload& payload) : body(payload) {}

    // The body starts "data=", holds only alphabet characters, and both sums agree: the filler
    // sum written at 5..12 minus the sum of 13..1020 is the difference written at 1021..1028.
    bool ChecksumsHold() const;
    bool GetInt(int32_t& value);
    // A length of 128 bytes or more carries no characters: the text is then empty.
    bool GetString(WeString& text);

private:
    bool GetDigits(int32_t position, int32_t count, uint32_t& value) const;
    bool GetByteAt(int32_t gap, uint8_t& value);

    const MivoScorePayload& body;
    int32_t readPos = MivoPayloadEncoder::kFirstItemPosition;
};

// Items: name, mode, score, difficulty, level.
MivoScorePayload MivoMakeScorePayload(const MivoScore& score);
// Items: name, map id, bonus, moves, time truncated toward zero.
MivoScorePayload MivoMakeLevelScorePayload(const MivoLevelScore& levelScore);
