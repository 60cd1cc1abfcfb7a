#include "MivoLevelPlan.h"

#include <algorithm>
#include <array>

namespace
{
// The kinds of the map letters a plan writes (numbered blocks and walls are always there).
uint32_t KindsOf(const std::string& letters)
{
    uint32_t kinds = 0;
    for (int32_t k = 1; k <= static_cast<int32_t>(MivoBlockKind::Disappearing); ++k)
    {
        const auto kind = static_cast<MivoBlockKind>(k);
        if (letters.find(MivoBlockLetter(kind)[0]) != std::string::npos)
            kinds |= MivoKindBit(kind);
    }
    return kinds;
}

// How the size of the room and the number of blocks follow the band: short solutions play on open
// boards, long ones in tight rooms where few blocks go a long way.
MivoTableRecipe Recipe(int32_t shortestMin, int32_t shortestMax, uint64_t countTarget)
{
    MivoTableRecipe r;
    r.shortestMin = shortestMin;
    r.shortestMax = shortestMax;
    r.countTarget = countTarget;
    r.maxCount = std::max<uint64_t>(countTarget * 4, 40);
    if (shortestMin <= 5)
    {
        r.roomMin = 7, r.roomMax = 14, r.wallsMin = 2, r.wallsMax = 7;
        r.groupsMin = 1, r.groupsMax = 2, r.helpersMin = 0, r.helpersMax = 1;
    }
    else if (shortestMin <= 8)
    {
        r.roomMin = 7, r.roomMax = 12, r.wallsMin = 3, r.wallsMax = 8;
        r.groupsMin = 1, r.groupsMax = 2, r.helpersMin = 1, r.helpersMax = 2;
    }
    else
    {
        r.roomMin = 5, r.roomMax = 8, r.wallsMin = 2, r.wallsMax = 7;
        r.groupsMin = 1, r.groupsMax = 1, r.helpersMin = 1, r.helpersMax = 2;
    }
    r.exploreStates = shortestMin <= 5 ? 30000 : 50000;
    r.proofStates = 60000;
    return r;
}

struct RegionSpec
{
    int32_t database;
    const char* theme;
    int32_t shortestMin, shortestMax;
    uint64_t countTarget;   // how many shortest solutions the region's tables aim at
    const char* introduces; // the kinds this region brings in, in order: an easy table of each
                            // alone, two more of it alone, then the mix
    const char* pool;       // the kinds the mixed tables draw from
    std::array<const char*, 20> names;
};

// clang-format off
const RegionSpec kRegions[] = {
    {3, "Riverside: numbered blocks and walls", 4, 5, 64, "", "",
     {"River Bend", "Mill Pond", "Reed Bank", "Willow Shade", "Ferry Landing", "Otter Slide", "Shallow Ford",
      "Heron Watch", "Fishing Pier", "Lock Gate", "Stone Weir", "Duck Island", "Rapids", "Boat House",
      "Low Bridge", "Eel Trap", "Kingfisher", "Backwater", "Riverside Path", "Estuary"}},
    {4, "Orchard: plus and minus blocks", 5, 6, 48, "+-", "+-",
     {"Apple Blossom", "Growing Season", "Extra Apple", "Windfall", "Pruning", "Picked Clean", "Cider Press",
      "Pear Tree", "Ladder Work", "Bushel Count", "Grafting", "Bee Hives", "Orchard Gate", "Plum Row",
      "Harvest Cart", "Crab Apples", "Jam Kitchen", "Scarecrow", "Fruit Market", "Last Harvest"}},
    {5, "Quarry: plain tiles and blocks that set into walls", 6, 7, 40, "PU", "+-PU",
     {"Loose Slab", "Paving Stones", "Flagstones", "Wet Cement", "Setting Mortar", "Hard Set", "Gravel Pit",
      "Chisel Marks", "Rock Face", "Blast Zone", "Mason Yard", "Stone Saw", "Slate Steps", "Crane Hook",
      "Marble Vein", "Cut Blocks", "Dust Cloud", "Quarry Lake", "Granite Wall", "Foundation"}},
    {6, "Marsh: jokers and vanishing blocks", 6, 7, 32, "JD", "+-PUJD",
     {"Wisp Light", "Fen Fire", "Joker in the Reeds", "Morning Mist", "Fading Path", "Mist Clears", "Peat Bog",
      "Frog Chorus", "Sunken Log", "Boardwalk", "Cattails", "Mud Flats", "Dragonfly", "Quagmire", "Marsh Gas",
      "Bittern Call", "Lily Pads", "Drowned Oak", "Fog Bank", "Marsh Edge"}},
    {7, "Old Town: everything so far, mixed", 6, 8, 24, "", "+-PUJD",
     {"Market Square", "Cobbled Lane", "Town Hall", "Bell Tower", "Bakery Row", "Clock Face", "Well Yard",
      "Cooper Street", "Guild House", "Arcade", "Fountain", "Alleyway", "Rooftops", "City Gate", "Chapel Close",
      "Tannery", "Lamplighter", "Night Watch", "Old Walls", "Town Crier"}},
    {8, "Iron Hills: magnets", 7, 8, 20, "M", "+-PUJDM",
     {"Lodestone", "North Pole", "Iron Filings", "Compass Rose", "Attraction", "Repulsion", "Ore Cart", "Forge",
      "Anvil", "Smelter", "Rusty Gate", "Iron Ridge", "Mine Shaft", "Bellows", "Blacksmith", "Steel Nerves",
      "Field Lines", "Magnetite", "Hill Fort", "Iron Crown"}},
    {9, "Mill Valley: tracks", 7, 9, 16, "R", "+-PUJDMR",
     {"Water Wheel", "Grain Belt", "Conveyor Run", "Sack Hoist", "Millrace", "Flour Line", "Grindstone",
      "Weaving Shed", "Spinning Wheel", "Loom", "Gear Train", "Sluice", "Valley Floor", "Windmill",
      "Threshing Floor", "Bale Stack", "Factory Yard", "Chain Drive", "Mill Stream", "Night Shift"}},
    {10, "Star Gate: teleports", 8, 9, 12, "T", "+-PUJDMRT",
     {"Open Gate", "Far Side", "Blink", "Wormhole", "Jump Point", "Relay", "Portal Pair", "Event Horizon",
      "Star Map", "Nebula", "Gate Keeper", "Comet Trail", "Orbit", "Eclipse", "Warp Field", "Beacon",
      "Dark Matter", "Gravity Well", "Pulsar", "Star Gate"}},
    {11, "Harbour: every kind, mixed", 8, 10, 10, "", "+-PUJDMRT",
     {"Lighthouse", "Dockside", "Anchor Chain", "Tide Pool", "Fish Market", "Cargo Hold", "Sea Wall",
      "Breakwater", "Harbour Master", "Lookout", "Rope Walk", "Dry Dock", "Buoy Line", "Net Mender",
      "Salt Store", "Gull Rock", "Ship Yard", "Mooring", "High Tide", "Harbour Lights"}},
    {12, "Glacier: every kind, mixed", 9, 10, 8, "", "+-PUJDMRT",
     {"Snow Line", "Ice Floe", "Crevasse", "Frost Bite", "Blizzard", "Ice Cave", "Snow Bridge", "Avalanche",
      "Moraine", "Icicle", "Cold Snap", "Permafrost", "Polar Night", "Seracs", "Snow Drift", "Glacier Tongue",
      "Hailstones", "Frozen Lake", "Ice Shelf", "Whiteout"}},
    {13, "Desert: every kind, mixed", 10, 11, 6, "", "+-PUJDMRT",
     {"Sand Dune", "Oasis", "Mirage", "Caravan", "Dry Well", "Sandstorm", "Scorpion", "Salt Flat", "Camel Track",
      "Sun Dial", "Canyon", "Mesa", "Dust Devil", "Cactus Grove", "Buried Temple", "Sand Glass", "Nomad Camp",
      "Heat Haze", "Bone Yard", "Desert Star"}},
    {14, "Volcano: every kind, mixed", 11, 12, 4, "", "+-PUJDMRT",
     {"Ash Field", "Lava Flow", "Magma Chamber", "Steam Vent", "Obsidian", "Basalt Columns", "Crater Rim",
      "Hot Spring", "Pumice", "Eruption", "Fire Fountain", "Sulphur Pool", "Caldera", "Cinder Cone", "Lava Tube",
      "Fumarole", "Molten Core", "Ember Path", "Smoke Signal", "Dragon Glass"}},
    {15, "Summit: every kind, mixed", 12, 14, 2, "", "+-PUJDMRT",
     {"Base Camp", "Switchbacks", "Rope Team", "Ice Axe", "Thin Air", "Cornice", "Ridge Walk", "High Camp",
      "Mountain Pass", "Knife Edge", "Storm Front", "Chimney", "Overhang", "False Summit", "Last Pitch",
      "Eagle Nest", "Cloud Sea", "Sky Ladder", "Final Ascent", "Top of the World"}},
};

// The bonus maps: each a showpiece of one kind, given more of it than a ladder table has.
const std::pair<const char*, const char*> kBonus[] = {
    {"Number Parade", ""}, {"Wall Maze", "W"}, {"Plus Galore", "+"}, {"Minus Cascade", "-"},
    {"Tile Shuffle", "P"}, {"Freezing Point", "U"}, {"Joker Court", "J"}, {"Vanishing Point", "D"},
    {"Magnet Storm", "M"}, {"Conveyor Maze", "R"}, {"Teleport Web", "T"}, {"Polar Field", "M"},
    {"Assembly Line", "R"}, {"Hall of Gates", "T"}, {"Frost Garden", "U"}};
// clang-format on

// A region's tables; a kind it brings in starts with a table as short as the shortest the
// region before asks for, so that neither the ladder's shortest nor its median table falls.
MivoRegionPlan PlanRegion(const RegionSpec& spec, int32_t previousMin)
{
    MivoRegionPlan region;
    region.database = spec.database;
    region.name = "Region " + std::to_string(spec.database);
    region.theme = spec.theme;
    const std::string introduces = spec.introduces, pool = spec.pool;
    size_t slot = 0;
    auto add = [&](uint32_t featured, uint32_t kinds, bool intro)
    {
        MivoTablePlan table;
        table.name = spec.names[slot++];
        table.intro = intro;
        if (intro)
        {
            // An easy table of the new kind alone, whose every shortest way shows the kind at work.
            table.recipe = Recipe(previousMin, previousMin, spec.countTarget * 2);
            table.recipe.groupsMax = 1;
            table.recipe.helpersMax = std::min(table.recipe.helpersMax, 1);
            table.recipe.lesson = true;
        }
        else
        {
            table.recipe = Recipe(spec.shortestMin, spec.shortestMax, spec.countTarget);
        }
        table.recipe.featured = featured;
        table.recipe.kinds = kinds | featured;
        region.tables.push_back(table);
    };
    for (char kind : introduces)
    {
        const uint32_t bit = KindsOf(std::string(1, kind));
        add(bit, bit, true);
        add(bit, bit, false);
        add(bit, bit, false);
    }
    // The mix: each table shows one kind of the pool at work, in turn, beside one more of them.
    for (size_t i = 0; slot < spec.names.size(); ++i)
    {
        if (pool.empty())
        {
            add(0, 0, false);
            continue;
        }
        const uint32_t featured = KindsOf(std::string(1, pool[i % pool.size()]));
        const uint32_t partner = KindsOf(std::string(1, pool[(i * 7 + 3) % pool.size()]));
        add(featured, featured | partner, false);
    }
    return region;
}

MivoRegionPlan PlanBonus()
{
    MivoRegionPlan region;
    region.database = 20;
    region.name = "Bonus Maps";
    region.theme = "Bonus maps: each a showpiece of one kind";
    for (const auto& [name, letter] : kBonus)
    {
        MivoTablePlan table;
        table.name = name;
        const uint32_t kind = KindsOf(letter);
        // A showpiece holds more of its kind than a ladder table: in an open room its states are
        // too many for an exploration to see a start eight moves from a win, so every bonus map
        // plays in a tight room like the summit's. Plus, minus and joker blocks each bring a set
        // of blocks to clear: two such sets already give a long way through.
        const bool bringsSet = std::string("+-J").find(letter) != std::string::npos && *letter;
        table.recipe = Recipe(9, 10, 8);
        table.recipe.shortestMin = 8;
        table.recipe.featured = kind;
        table.recipe.kinds = kind;
        table.recipe.featuredCount = bringsSet ? 2 : 3;
        if (std::string(letter) == "W")
            table.recipe.wallsMin = 10, table.recipe.wallsMax = 16;
        if (std::string(letter).empty())
            table.recipe.groupsMin = 2, table.recipe.groupsMax = 3;
        region.tables.push_back(table);
    }
    return region;
}
} // namespace

const std::vector<MivoRegionPlan>& MivoLevelPlan()
{
    static const std::vector<MivoRegionPlan> plan = []
    {
        std::vector<MivoRegionPlan> regions;
        int32_t previousMin = kRegions[0].shortestMin;
        for (const RegionSpec& spec : kRegions)
        {
            regions.push_back(PlanRegion(spec, previousMin));
            previousMin = spec.shortestMin;
        }
        regions.push_back(PlanBonus());
        return regions;
    }();
    return plan;
}

const MivoRegionPlan* MivoFindRegionPlan(int32_t database)
{
    const auto& plan = MivoLevelPlan();
    auto it = std::find_if(plan.begin(), plan.end(),
                           [database](const MivoRegionPlan& region) { return region.database == database; });
    return it == plan.end() ? nullptr : &*it;
}

bool MivoIsLessonTable(int32_t database, size_t table)
{
    const MivoRegionPlan* region = MivoFindRegionPlan(database);
    if (!region)
        return database == 1 || database == 2;
    return table < region->tables.size() && region->tables[table].intro;
}

uint32_t MivoTaughtKinds(const MivoLevelMap& map)
{
    MivoReplayLog log;
    if (!MivoLevelSolver(map).Replay(map.solution, 1.0f / 60.0f, &log))
        return 0;
    return log.KindsAtWork() & ~(MivoKindBit(MivoBlockKind::Number) | MivoKindBit(MivoBlockKind::Wall));
}
