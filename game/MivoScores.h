// Score entries, the local score tables kept in "hiscores.dat", and the world lists that
// replace their content from a server reply.
#pragma once

#include "WeString.h"

#include <cstdint>
#include <string>
#include <vector>

// A finished quest or skill game.
struct MivoScore
{
    WeString name;
    int32_t score = 0;
    int32_t level = 0;
    int32_t difficulty = 0; // quest 1..3, skill 0
    int32_t mode = 0;       // 1 quest, 2 skill
};

// A finished level.
struct MivoLevelScore
{
    WeString name;
    int32_t bonus = 0;
    int32_t moves = 0;
    int32_t mapId = 0;
    float time = 0.0f; // seconds
};

class MivoScoreTables
{
public:
    static constexpr int32_t kQuestTableCount = 3;
    static constexpr int32_t kLevelTableCount = 300;
    static constexpr int32_t kLocalTableSize = 10;
    static constexpr int32_t kFileVersion = 2;
    static constexpr int32_t kRegionCount = 15, kMapsPerRegion = 20; // of the level tables

    // The level table of a ladder map id (1000 x region + number, region 1..15, number
    // 1..20), or -1 for any other id.
    static constexpr int32_t LevelTableIndex(int32_t mapId)
    {
        const int32_t region = mapId / 1000, number = mapId % 1000;
        if (mapId < 0 || region < 1 || region > kRegionCount || number < 1 || number > kMapsPerRegion)
            return -1;
        return kMapsPerRegion * (region - 1) + (number - 1);
    }

    // Empties the quest, skill and level tables (the best records stay) and reads them from
    // the file; best records are raised by what it holds. A missing file or an older version
    // leaves the tables empty and is no error. A damaged file leaves them empty too, keeps a
    // copy of it beside it, and returns false with the reason in lastError; so does a file that
    // cannot be read, or a damaged one of which no copy could be kept, and until the next load
    // that succeeds nothing is saved over it.
    bool Load(const std::string& path);
    // Writes every table as it stands, world lists included; false when it cannot be written or
    // the last load left the file as it was.
    bool Save(const std::string& path);

    // Puts a game score in its place (quest table of its difficulty, or the skill table),
    // keeps ten entries and raises the best record. False, and nothing changes, for a quest
    // score whose difficulty is not 1..3.
    bool InsertGameScore(const MivoScore& score);
    // Puts a level score in the table of its map; false for a map id outside the ladders.
    bool InsertLevelScore(const MivoLevelScore& levelScore);
    // The first score of the quest table of the difficulty (mode 1) or of the skill table
    // (mode 2); 0 for an empty table or another mode.
    int32_t TopScore(int32_t mode, int32_t difficulty) const;

    // World lists from a server reply, read in one pass: records end with 0x01, fields are
    // separated by 0x02, level blocks end with 0x03, and the text before the first separator is
    // skipped. Records with a difficulty outside 1..3 and level blocks of a map number outside
    // 0..19 (or for a region outside 0..14) are skipped. A list keeps what a table shows: ten
    // entries a quest difficulty, ten skill entries, 20 records a level block.
    void FillQuestScores(const WeString& reply);
    void FillSkillScores(const WeString& reply);
    // `region` and the block's map number n are 0-based; its entries carry the id of the map
    // whose table they fill, 1000 x (region + 1) + (n + 1).
    void FillLevelScores(const WeString& reply, int32_t region);

    void Clear(); // every table emptied, the best records kept

    std::vector<MivoScore> questTables[kQuestTableCount]; // by difficulty - 1, highest first
    std::vector<MivoScore> skillTable;
    std::vector<MivoLevelScore> levelTables[kLevelTableCount];
    MivoScore bestQuest; // only ever raised while the program runs
    MivoScore bestSkill;
    WeString lastError;
    bool keepFile = false; // the last load could not read the file nor keep a copy: never save over it
};
