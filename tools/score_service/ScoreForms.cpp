#include "ScoreForms.h"

#include "MivoScorePayload.h"
#include "MivoScores.h"
#include "MivoUserData.h"

#include <charconv>
#include <climits>
#include <nettle/sha2.h>

namespace
{
// The values the game can give one field.
struct FieldRange
{
    const char* refusal;
    int32_t low;
    int32_t high;
};

// A quest's result has no level; a skill game's level is the ladder step it reached.
constexpr FieldRange kQuestGame[4] = {
    {"mode out of range", 1, 1},
    {"score out of range", 0, INT32_MAX},
    {"difficulty out of range", 1, 3},
    {"level out of range", 0, 0},
};
constexpr FieldRange kSkillGame[4] = {
    {"mode out of range", 2, 2},
    {"score out of range", 0, INT32_MAX},
    {"difficulty out of range", 0, 0},
    {"level out of range", 0, kMivoLadderLength},
};
// The map's number within its region is checked beside its range.
constexpr FieldRange kLevel[4] = {
    {"map id out of range", 1001, kMivoRegionCount * 1000 + 20},
    {"bonus out of range", 0, INT32_MAX},
    {"moves out of range", 0, INT32_MAX},
    {"time out of range", 0, INT32_MAX},
};

const char* OutOfRange(const FieldRange (&ranges)[4], const int32_t (&values)[4])
{
    for (int i = 0; i < 4; ++i)
    {
        if (values[i] < ranges[i].low || values[i] > ranges[i].high)
            return ranges[i].refusal;
    }
    return nullptr;
}

const char* RangeRefusal(const ScoreUpload& upload)
{
    if (upload.table == ScoreTable::Game)
        return OutOfRange(upload.values[0] == 2 ? kSkillGame : kQuestGame, upload.values);
    if (const char* refusal = OutOfRange(kLevel, upload.values))
        return refusal;
    return MivoScoreTables::LevelTableIndex(upload.values[0]) < 0 ? kLevel[0].refusal : nullptr;
}

std::array<unsigned char, 32> Sha256(std::string_view bytes)
{
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
    std::array<unsigned char, 32> digest;
    sha256_digest(&context, digest.size(), digest.data());
    return digest;
}

// The decimal number that makes up all of `text`.
bool WholeNumber(std::string_view text, int32_t& value)
{
    const char* end = text.data() + text.size();
    const auto read = std::from_chars(text.data(), end, value);
    return !text.empty() && read.ec == std::errc() && read.ptr == end;
}
} // namespace

const char* ReadScoreUpload(ScoreTable table, std::string_view body, ScoreUpload& upload)
{
    if (body.size() != static_cast<size_t>(MivoScorePayload::kLength))
        return "not a score body";
    MivoScorePayload payload;
    body.copy(payload.text, body.size());
    MivoPayloadDecoder decoder(payload);
    if (!decoder.ChecksumsHold())
        return "checksums do not hold";
    WeString name;
    bool read = decoder.GetString(name);
    for (int32_t& value : upload.values)
        read = read && decoder.GetInt(value);
    if (!read)
        return "items unreadable";
    upload.table = table;
    upload.name.assign(name.GetData(), static_cast<size_t>(name.GetLength()));
    // The list grammar has no escape for its separators, nor for a zero byte.
    if (upload.name.find_first_of(std::string_view("\0\x01\x02\x03", 4)) != std::string::npos)
        return "name holds a separator";
    if (const char* refusal = RangeRefusal(upload))
        return refusal;
    upload.hash = Sha256(body);
    return nullptr;
}

bool ReadScoreListRequest(std::string_view body, ScoreListRequest& request)
{
    constexpr std::string_view typeKey = "ScoreType=";
    constexpr std::string_view regionKey = "&MivoDatabaseID=";
    const size_t split = body.find(regionKey);
    if (body.substr(0, typeKey.size()) != typeKey || split == std::string_view::npos ||
        !WholeNumber(body.substr(typeKey.size(), split - typeKey.size()), request.type) ||
        !WholeNumber(body.substr(split + regionKey.size()), request.region))
        return false;
    if (request.type == 3)
        return request.region >= 1 && request.region <= kMivoRegionCount;
    return (request.type == 1 || request.type == 2) && request.region == 0;
}
