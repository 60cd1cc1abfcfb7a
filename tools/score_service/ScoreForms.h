// The form bodies the game posts to the score service: an upload's payload, read with the game's
// own decoder and held to the values the game can give each field, and a list request.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

enum class ScoreTable
{
    Game,  // finished quest and skill games: mode, score, difficulty, level
    Level, // finished levels: map id, bonus, moves, time
};

struct ScoreUpload
{
    ScoreTable table = ScoreTable::Game;
    std::string name;
    int32_t values[4] = {}; // in the payload's order
    // SHA-256 of the whole body: the random filler makes every real upload's body unique, so the
    // same hash again is the same upload sent again.
    std::array<unsigned char, 32> hash = {};
};

// Reads an upload body for the table; null when it is good, else why it is refused.
const char* ReadScoreUpload(ScoreTable table, std::string_view body, ScoreUpload& upload);

// A list request, "ScoreType=<t>&MivoDatabaseID=<d>": type 1 quest, 2 skill (database 0), 3 the
// levels of region d (1 to 15).
struct ScoreListRequest
{
    int32_t type = 0;
    int32_t region = 0;
};

// Reads a list request; false when it is not one the game makes.
bool ReadScoreListRequest(std::string_view body, ScoreListRequest& request);
