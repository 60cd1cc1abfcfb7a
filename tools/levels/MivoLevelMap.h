// A level table as the level files hold it: its name, its solution and the text of every
// non-empty cell. The level tools read, make and write tables in this form and build the board's
// own table from it whenever the rules have to run.
#pragma once

#include "MivoMapDatabase.h"

#include <memory>
#include <string>
#include <vector>

struct MivoLevelCell
{
    int32_t x = 0, y = 0;
    std::string text; // the cell text of the level file, "N,5" or "T,1,1,0,0,0,1,123456789"
};

// One move of a solution: the block at (x, y) pushed in direction 1, 3, 5 or 7, or clicked (0).
struct MivoLevelMove
{
    int32_t x = 0, y = 0, direction = 0;
    bool operator==(const MivoLevelMove&) const = default;
};

// The block kinds of a set, one bit per kind (1 << MivoBlockKind).
constexpr uint32_t MivoKindBit(MivoBlockKind kind)
{
    return 1u << static_cast<uint32_t>(kind);
}
// The kinds of a set, in the order of their numbers.
std::vector<MivoBlockKind> MivoKindsIn(uint32_t kinds);

struct MivoLevelMap
{
    // The table the board plays, laid out on the board plane as the play lays it out.
    std::unique_ptr<MivoMapTable> Build() const;
    // The cell text at (x, y), or empty.
    const std::string* Find(int32_t x, int32_t y) const;
    // Puts (or replaces) the text of a cell, keeping the cells in grid order; empty text clears.
    void Set(int32_t x, int32_t y, const std::string& text);
    // A key that is equal for two maps exactly when one is the other mirrored or rotated (with the
    // directions of magnets, tracks and teleport exits turned along, teleport groups renumbered).
    std::string ShapeKey() const;
    // The kinds of the blocks on the table, one bit each.
    uint32_t Kinds() const;
    // The table with the blocks of the kinds put out of play: a top block of them stands as a
    // wall, which nothing moves or merges with, and their floors are taken away.
    MivoLevelMap Without(uint32_t kinds) const;

    std::string name;
    std::vector<MivoLevelMove> solution;
    std::vector<MivoLevelCell> cells; // in grid order: x outer, y inner
};

// The map letter of a block kind ("N", "+", ... "D"), "?" for none.
const char* MivoBlockLetter(MivoBlockKind kind);

// A solution as the "Solution" key writes it: "x,y,d" moves separated by blanks.
std::string MivoFormatSolution(const std::vector<MivoLevelMove>& moves);
// Reads a "Solution" text; false when a move is not three comma-separated integers.
bool MivoParseSolution(const std::string& text, std::vector<MivoLevelMove>& moves);

struct MivoLevelDatabase
{
    // Reads the database configuration text of the given name ("db003") through the configuration
    // store, as a level load does; false when it declares no table.
    bool Read(const std::string& key, const std::string& text);
    // The file text: a comment, [Database] with Name and Tables, one [TableN] per table.
    std::string Write(const std::string& comment) const;

    std::string name;
    std::vector<MivoLevelMap> tables;
};
