// The plan of the level ladder the generator makes: the regions 3 to 15 and the bonus maps, each
// table's name, the block kinds it introduces or mixes, and the band its shortest solution must
// fit. Regions 1 and 2 are written by hand and only read.
//
// The ladder's difficulty does not fall from one region to the next: a region's shortest and its
// median shortest solution are at least those of the region before.
#pragma once

#include "MivoLevelGenerator.h"

#include <string>
#include <vector>

// The ladder's regions are the databases 1 to 15; the bonus maps (db020) stand beside it.
constexpr int32_t kMivoLadderRegions = 15;

struct MivoTablePlan
{
    std::string name;
    MivoTableRecipe recipe;
    bool intro = false; // the first, easy table of a kind the ladder brings in
};

struct MivoRegionPlan
{
    int32_t database = 0; // 3 to 15, 20 for the bonus maps
    std::string name;     // the database's name
    std::string theme;    // a line for the file's comment
    std::vector<MivoTablePlan> tables;
};

// Every generated database, in the order of their numbers.
const std::vector<MivoRegionPlan>& MivoLevelPlan();
// The plan of database number n, or none.
const MivoRegionPlan* MivoFindRegionPlan(int32_t database);
// Whether table i (from 0) of database n is a lesson: a table of the regions written by hand, or
// the first table of a kind a generated region brings in.
bool MivoIsLessonTable(int32_t database, size_t table);
// The kinds a lesson teaches: those its Solution puts to work, but the numbered blocks and walls
// every table plays with. Every shortest way of a lesson is to use them.
uint32_t MivoTaughtKinds(const MivoLevelMap& map);
