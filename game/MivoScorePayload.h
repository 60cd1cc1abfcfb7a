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
    int32_t stringGap = 5;
    int32_t byteGap = 3;
    int32_t itemGap = 7;
};

// Items: name, mode, score, difficulty, level.
MivoScorePayload MivoMakeScorePayload(const MivoScore& score);
// Items: name, map id, bonus, moves, time truncated toward zero.
MivoScorePayload MivoMakeLevelScorePayload(const MivoLevelScore& levelScore);
