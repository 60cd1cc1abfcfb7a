// The level model: map databases, their tables, cells, blocks, teleport groups and tracks,
// and the loader that builds them from the level configuration files.
#pragma once

#include "WeString.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Block kinds by map letter: N + - M T R U J W P D.
enum class MivoBlockKind : int32_t
{
    None = 0,
    Number = 1,       // N: numbered block
    Plus = 2,         // +: raises a numbered block's number by one
    Minus = 3,        // -: lowers a numbered block's number by one
    Magnet = 4,       // M: pushes and pulls numbered blocks
    Teleport = 5,     // T: floor piece that sends blocks to another member of its group
    Track = 6,        // R: floor piece of a conveyor line
    Hardening = 7,    // U: turns into a wall when it comes to rest
    Joker = 8,        // J: clears a numbered block together with itself
    Wall = 9,         // W: never moves
    Plain = 10,       // P: movable tile that combines with nothing
    Disappearing = 11 // D: vanishes when clicked
};

// Board directions: 1 = y-1, 3 = x+1, 5 = y+1, 7 = x-1; the even values lie between them and
// only serve as a magnet's facing.
namespace MivoDirection
{
constexpr int32_t Up = 1, Right = 3, Down = 5, Left = 7;
// One of the four axis directions a block can move in.
constexpr bool IsAxis(int32_t d)
{
    return d == Up || d == Right || d == Down || d == Left;
}
// One of the eight facings a magnet can have.
constexpr bool IsFacing(int32_t d)
{
    return d >= 1 && d <= 8;
}
constexpr int32_t Opposite(int32_t d)
{
    return d + 4 > 8 ? d - 4 : d + 4;
}
// Whether facing m is d or one of d's two neighbouring facings.
constexpr bool IsNear(int32_t m, int32_t d)
{
    return m == d || m == (d == 1 ? 8 : d - 1) || m == (d == 8 ? 1 : d + 1);
}
} // namespace MivoDirection

struct MivoTeleportData
{
    int32_t group = 0;
    int32_t order = 0; // place in the group's exit rotation, from 1; 0 = outside it
    uint8_t entrance = 0;
    uint8_t exit = 0;
    uint8_t acceptsOthers = 0;
    std::array<uint8_t, 9> acceptsNumber{}; // numbers 1 to 9
    int32_t exitDirection = 0;              // 0 = keep the direction, else 1, 3, 5 or 7
};

struct MivoMapCell;

struct MivoBlock
{
    // Resets the block to a fresh one of the kind and number.
    void Init(MivoBlockKind kind, int32_t number);
    // Whether the block can move: kinds N + - U J P.
    bool IsMovable() const;
    // Whether the player may pick the block: the movable kinds and D.
    bool IsSelectable() const;
    // Whether the block, standing in a cell, accepts the mover stepping into it (none accepts all).
    static bool CanCombine(const MivoBlock* standing, const MivoBlock& mover);
    // Whether this teleport lets the block through (numbers beyond 0 to 9 are never admitted).
    bool Admits(const MivoBlock& block) const;
    bool Is(MivoBlockKind k) const { return kind == k; }

    MivoBlockKind kind = MivoBlockKind::None;
    const MivoBlock* lastTeleport = nullptr; // the exit teleport the block last came out of
    int32_t number = 0;
    MivoTeleportData teleport;
    int32_t trackId = 0;
    int32_t magnetDirection = 0;
    uint8_t converted = 0; // a U block that became a wall
    float x = 0.0f, y = 0.0f;
    std::array<std::uintptr_t, 4> presentation{}; // owned by the presentation, never read here
    // The cell the board last put the block in or found it in: looked at first, trusted only
    // while that cell of the board's table holds the block.
    mutable MivoMapCell* boardCell = nullptr;
};

struct MivoMapCell
{
    int32_t x = 0, y = 0;
    float fx = 0.0f, fy = 0.0f;
    uint8_t reserved = 0;             // a block has begun a step into this cell
    uint8_t vacating = 0;             // the block standing here has begun a step out of it
    std::unique_ptr<MivoBlock> floor; // teleports and track pieces
    std::unique_ptr<MivoBlock> top;   // every other kind
};

struct MivoTrack
{
    // Cell i of the line (0 = the first cell) in table coordinates.
    int32_t CellX(int32_t i) const { return vertical ? x : x + i; }
    int32_t CellY(int32_t i) const { return vertical ? y + i : y; }
    // Whether direction d runs along the line.
    bool IsAlong(int32_t d) const;

    int32_t id = 0;
    uint8_t vertical = 0;
    int32_t x = 0, y = 0;
    int32_t length = 1;
    int32_t direction = 0; // 0 = at rest, else the direction it carries blocks in
};

struct MivoTeleportGroup
{
    // The first member with order n; none for n <= 0 or when no member has it.
    MivoBlock* FindByOrder(int32_t n) const;
    // The order after currentOrder that some member holds, wrapping past exitCount.
    int32_t NextOrder() const;
    // Moves the rotation on to the next order and its member.
    void Advance();

    int32_t id = 0;
    int32_t exitCount = 0;
    int32_t currentOrder = 1;
    MivoBlock* currentExit = nullptr;
    std::vector<MivoBlock*> members; // the group's teleports, in load order; owned by their cells
};

class MivoMapTable
{
public:
    static constexpr int32_t kSize = 16;

    // The empty table: 16 x 16 cells, no blocks, groups or tracks.
    MivoMapTable();
    // Builds the table from the configuration keys under key (for example "db001.Table3"), given
    // the keys under key + ".B," that hold a text: their cells are read in grid order, and each
    // key that names no cell of the table (outside it, or not written as "B,x,y" with plain
    // decimals) is reported. Cells without a key are left empty without a read.
    static std::unique_ptr<MivoMapTable> Load(const WeString& key, const std::vector<WeString>& cellKeys);

    // The cell at (x, y), or none outside width x height.
    MivoMapCell* Cell(int32_t x, int32_t y)
    {
        return InPlay(x, y) ? &cells_[static_cast<size_t>(x)][static_cast<size_t>(y)] : nullptr;
    }
    const MivoMapCell* Cell(int32_t x, int32_t y) const
    {
        return InPlay(x, y) ? &cells_[static_cast<size_t>(x)][static_cast<size_t>(y)] : nullptr;
    }
    // Whether the cell is one of this table's cells in play (any pointer may be asked).
    bool IsCellInPlay(const MivoMapCell* cell) const
    {
        const std::less<const MivoMapCell*> before;
        const MivoMapCell* first = &cells_[0][0];
        return !before(cell, first) && before(cell, first + kSize * kSize) && InPlay(cell->x, cell->y);
    }
    // Makes the block from a cell's map text and puts it on the cell's floor or top; a text
    // that names no block, or whose data cannot be played, leaves the cell as it was.
    void PlaceFromText(int32_t x, int32_t y, const WeString& text);
    // Calls visit(cell) for every cell in play, in grid order: x outer, y inner, from 0.
    template <class Visit> void ForEachCell(Visit&& visit)
    {
        for (int32_t x = 0; x < width && x < kSize; ++x)
        {
            for (int32_t y = 0; y < height && y < kSize; ++y)
                visit(cells_[x][y]);
        }
    }
    // Writes every cell's plane position (x * pitch - cx, y * pitch - cy) into it and its blocks.
    void LayOut(float pitch, float cx, float cy);

    void AddToGroup(MivoBlock& teleport);
    MivoTeleportGroup* FindGroup(int32_t id);
    // Appends a resting track at (x, y) under the smallest free positive id and returns the id.
    int32_t NewTrack(int32_t x, int32_t y);
    MivoTrack* FindTrack(int32_t id);

    WeString name;
    int32_t width = kSize, height = kSize;
    std::vector<MivoTeleportGroup> groups;
    std::vector<MivoTrack> tracks;
    std::vector<WeString> problems; // what was wrong with the map text, one line each

private:
    bool InPlay(int32_t x, int32_t y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height && x < kSize && y < kSize;
    }

    using CellFlags = std::array<std::array<bool, kSize>, kSize>;

    // Flags the cell that a key of the table names, or reports the key when it names none.
    void TakeCellKey(const WeString& key, const WeString& found, CellFlags& held);
    void Problem(int32_t x, int32_t y, const WeString& text, const char* why);
    void PlaceTeleport(int32_t x, int32_t y, const WeString& text, std::unique_ptr<MivoBlock> block);
    void PlaceTrack(int32_t x, int32_t y, const WeString& text, std::unique_ptr<MivoBlock> block);

    // Only the cells in play are kept, so that a database of many tables stays small.
    std::array<std::array<MivoMapCell, kSize>, kSize> cells_;
};

class MivoMapDatabase
{
public:
    static constexpr size_t kMaxTables = 999;

    // Loads the database of configuration file name ("db001"); a missing file gives one empty
    // table under that name.
    static std::unique_ptr<MivoMapDatabase> Load(const WeString& name);
    // Builds the tables from the configuration keys under key, which the store already holds.
    void Read();
    // The configuration name of database number n: "db" and the number in at least three digits.
    static WeString FileName(int32_t number);
    // The table of a 1-based number, or none.
    MivoMapTable* Table(int32_t number) const;

    WeString name;
    WeString key;
    std::vector<std::unique_ptr<MivoMapTable>> tables;
    std::vector<WeString> problems; // what was wrong with the database itself

private:
    // The keys under key + ".Table" + i + ".B," of the tables 1 to count that hold a text, by
    // table, each table's in ascending order.
    std::vector<std::vector<WeString>> CellKeysByTable(int32_t count) const;
};
