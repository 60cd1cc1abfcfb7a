// Makes level tables for a region from a seed: a room with walls and blocks drawn from the
// table's recipe, every state at rest reachable from that layout explored through the board rules,
// and the state whose shortest way to a win fits the recipe's band taken as the table's start,
// proven again from its own table at the play's frame time.
#pragma once

#include "MivoLevelSolver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A small, fully specified pseudo-random generator (splitmix64): the same seed gives the same
// numbers on every platform and library.
class MivoLevelRandom
{
public:
    explicit MivoLevelRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    // A number from 0 to n - 1 (0 for n below 1).
    int32_t Below(int32_t n);
    // A number from lo to hi, both included.
    int32_t Between(int32_t lo, int32_t hi) { return lo + Below(hi - lo + 1); }

private:
    uint64_t state_;
};

struct MivoTableRecipe
{
    uint32_t kinds = 0;    // the kinds the table may hold (numbered blocks and walls always)
    uint32_t featured = 0; // the kinds the solution must be seen to use
    int32_t shortestMin = 2, shortestMax = 4; // the band of the shortest solution's length
    uint64_t maxCount = 1000;                 // most shortest solutions allowed
    uint64_t countTarget = 1;                 // the number of shortest solutions aimed at
    int32_t roomMin = 8, roomMax = 16;        // the side of the walled room the blocks play in
    int32_t wallsMin = 2, wallsMax = 6;       // walls inside the room
    int32_t groupsMin = 1, groupsMax = 2;     // sets of blocks that clear each other
    int32_t helpersMin = 0, helpersMax = 1;   // P, U or D blocks besides the sets
    int32_t featuredCount = 1;                // at least this many of each featured kind
    bool lesson = false;                      // every shortest solution uses the featured kinds
    size_t exploreStates = 40000;             // the bound of one exploration
    size_t proofStates = 60000;               // the bound of the final proof
    int32_t climbSteps = 40;                  // changes tried on a layout before a new one is drawn
};

struct MivoGeneratedTable
{
    MivoLevelMap map;
    MivoSolverResult proof; // at the play's frame time
    int32_t attempts = 0;   // layouts explored, changed ones included
};

class MivoLevelGenerator
{
public:
    // Tries layouts from the seed until one gives a table that fits the recipe, at most
    // maxAttempts; none when every attempt failed.
    static std::optional<MivoGeneratedTable> Generate(const MivoTableRecipe& recipe, uint64_t seed,
                                                      int32_t maxAttempts);
    // Whether the map proves out for the recipe: solved within the band at the play's frame time,
    // steady at its start, the solution winning at every frame time a player's machine may run
    // at, and the featured kinds at work in it (in every shortest one for a lesson).
    static bool Accept(const MivoTableRecipe& recipe, const MivoLevelMap& map, MivoSolverResult& proof);
};
