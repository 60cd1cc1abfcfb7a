// The plan of the level ladder the generator makes: the regions 3 to 15 and the bonus maps, each
// table's name, the block kinds it introduces or mixes, and the band its shortest solution must
// fit. Regions 1 and 2 are written by hand and only read.
#pragma once

#include "MivoLevelGenerator.h"

#include <string>
#include <vector>

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
