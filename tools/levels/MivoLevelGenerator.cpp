#include "MivoLevelGenerator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace
{
constexpr int32_t kSize = MivoMapTable::kSize;

bool Has(uint32_t kinds, MivoBlockKind kind)
{
    return (kinds & MivoKindBit(kind)) != 0;
}

std::string NumberText(int32_t n)
{
    return "N," + std::to_string(n);
}

// The cells of the room still free for a block, drawn at random.
class FreeCells
{
public:
    void Add(int32_t x, int32_t y) { cells_.emplace_back(x, y); }
    bool Empty() const { return cells_.empty(); }
    std::pair<int32_t, int32_t> Take(MivoLevelRandom& random)
    {
        const auto i = static_cast<size_t>(random.Below(static_cast<int32_t>(cells_.size())));
        const auto cell = cells_[i];
        cells_.erase(cells_.begin() + static_cast<std::ptrdiff_t>(i));
        return cell;
    }
    void Remove(int32_t x, int32_t y) { std::erase(cells_, std::make_pair(x, y)); }

private:
    std::vector<std::pair<int32_t, int32_t>> cells_;
};

// A set of blocks that can clear each other: texts of the blocks to place.
std::vector<std::string> DrawGroup(uint32_t kinds, MivoBlockKind forced, MivoLevelRandom& random)
{
    std::vector<MivoBlockKind> choices = {MivoBlockKind::Number};
    for (MivoBlockKind k : {MivoBlockKind::Plus, MivoBlockKind::Minus, MivoBlockKind::Joker})
    {
        if (Has(kinds, k))
            choices.push_back(k);
    }
    const MivoBlockKind kind =
        forced != MivoBlockKind::None
            ? forced
            : choices[static_cast<size_t>(random.Below(static_cast<int32_t>(choices.size())))];
    switch (kind)
    {
    case MivoBlockKind::Plus:
    {
        const int32_t n = random.Between(1, 8);
        return {"+", NumberText(n), NumberText(n + 1)};
    }
    case MivoBlockKind::Minus:
    {
        const int32_t n = random.Between(2, 9);
        return {"-", NumberText(n), NumberText(n - 1)};
    }
    case MivoBlockKind::Joker:
        return {"J", NumberText(random.Between(1, 9))};
    default:
        break;
    }
    // Numbered blocks alone: a pair, or two that merge into the third's number.
    const int32_t a = random.Between(1, 9);
    const int32_t b = random.Between(1, 9);
    const int32_t merged = a + b < 10 ? a + b : std::abs(a - b);
    if (random.Below(2) == 0 || merged == 0 || a == b)
        return {NumberText(a), NumberText(a)};
    return {NumberText(a), NumberText(b), NumberText(merged)};
}

std::string TeleportText(int32_t group, int32_t entrance, int32_t exit, int32_t direction, int32_t order,
                         const std::string& digits)
{
    return "T," + std::to_string(group) + "," + std::to_string(entrance) + "," + std::to_string(exit) + "," +
           std::to_string(direction) + "," + std::to_string(order) + ",1," + digits;
}

int32_t AxisOrNone(MivoLevelRandom& random)
{
    static constexpr std::array<int32_t, 5> kChoices = {0, 1, 3, 5, 7};
    return kChoices[static_cast<size_t>(random.Below(5))];
}

} // namespace

uint64_t MivoLevelRandom::Next()
{
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

int32_t MivoLevelRandom::Below(int32_t n)
{
    return n < 1 ? 0 : static_cast<int32_t>(Next() % static_cast<uint64_t>(n));
}

namespace
{
// A layout: the map, and the room of the table its blocks play in.
struct Layout
{
    MivoLevelMap map;
    int32_t x = 0, y = 0, w = 0, h = 0;
};

Layout DrawLayout(const MivoTableRecipe& recipe, MivoLevelRandom& random)
{
    Layout layout;
    MivoLevelMap& map = layout.map;
    const int32_t w = random.Between(recipe.roomMin, recipe.roomMax);
    const int32_t h = std::clamp(w + random.Between(-1, 1), recipe.roomMin, recipe.roomMax);
    const int32_t ox = random.Between(0, kSize - w), oy = random.Between(0, kSize - h);
    layout.x = ox, layout.y = oy, layout.w = w, layout.h = h;
    // The room's walls, where the table's edge does not close it.
    for (int32_t x = ox - 1; x <= ox + w; ++x)
    {
        for (int32_t y = oy - 1; y <= oy + h; ++y)
        {
            const bool inside = x >= ox && x < ox + w && y >= oy && y < oy + h;
            if (!inside && x >= 0 && y >= 0 && x < kSize && y < kSize)
                map.Set(x, y, "W");
        }
    }
    FreeCells free;
    for (int32_t x = ox; x < ox + w; ++x)
    {
        for (int32_t y = oy; y < oy + h; ++y)
            free.Add(x, y);
    }
    auto place = [&](const std::string& text)
    {
        if (free.Empty())
            return;
        const auto [x, y] = free.Take(random);
        map.Set(x, y, text);
    };

    // At least the featured count of a featured kind, else a number from the range when allowed.
    auto howMany = [&](MivoBlockKind kind, int32_t lo, int32_t hi)
    {
        const int32_t drawn = Has(recipe.kinds, kind) ? random.Between(lo, hi) : 0;
        return Has(recipe.featured, kind) ? std::max(drawn, recipe.featuredCount) : drawn;
    };

    // Floors first: track lines (their first cell carries the line; walls keep off all of it),
    // then the teleports.
    std::vector<std::pair<int32_t, int32_t>> trackCells;
    for (int32_t t = howMany(MivoBlockKind::Track, 1, 2); t > 0 && !free.Empty(); --t)
    {
        const auto [x, y] = free.Take(random);
        const bool vertical = random.Below(2) == 0;
        const int32_t room = vertical ? oy + h - y : ox + w - x;
        const int32_t length = std::min(room, random.Between(2, 6));
        map.Set(x, y, std::string("R,") + (vertical ? "5" : "3") + "," + std::to_string(length));
        for (int32_t i = 1; i < length; ++i)
            trackCells.emplace_back(vertical ? x : x + i, vertical ? y + i : y);
    }
    for (const auto& [x, y] : trackCells)
        free.Remove(x, y);
    const int32_t teleportGroups = std::min(howMany(MivoBlockKind::Teleport, 1, 1), 2);
    for (int32_t group = 1; group <= teleportGroups; ++group)
    {
        const std::string digits = random.Below(3) == 0 ? std::to_string(random.Between(1, 9)) : "123456789";
        if (random.Below(2) == 0)
        {
            // One way: an entrance that is no exit, and an exit.
            place(TeleportText(group, 1, 0, 0, 0, digits));
            place(TeleportText(group, 0, 1, AxisOrNone(random), 1, "0"));
        }
        else
        {
            place(TeleportText(group, 1, 1, AxisOrNone(random), 1, digits));
            place(TeleportText(group, 1, 1, AxisOrNone(random), 2, digits));
        }
    }
    const int32_t walls = random.Between(recipe.wallsMin, recipe.wallsMax) +
                          (Has(recipe.featured, MivoBlockKind::Wall) ? recipe.featuredCount : 0);
    for (int32_t n = walls; n > 0; --n)
        place("W");
    for (int32_t m = howMany(MivoBlockKind::Magnet, 1, 2); m > 0; --m)
        place("M," + std::to_string(random.Between(1, 8)));
    // Movable blocks may stand on the track's later cells.
    for (const auto& [x, y] : trackCells)
        free.Add(x, y);

    // The sets, the featured kinds among them first.
    std::vector<MivoBlockKind> forced;
    for (MivoBlockKind k : {MivoBlockKind::Plus, MivoBlockKind::Minus, MivoBlockKind::Joker})
    {
        for (int32_t n = Has(recipe.featured, k) ? recipe.featuredCount : 0; n > 0; --n)
            forced.push_back(k);
    }
    const auto forcedCount = static_cast<int32_t>(forced.size());
    const int32_t groups = std::max(random.Between(recipe.groupsMin, recipe.groupsMax), forcedCount);
    for (int32_t g = 0; g < groups; ++g)
    {
        const MivoBlockKind kind = g < forcedCount ? forced[static_cast<size_t>(g)] : MivoBlockKind::None;
        for (const std::string& text : DrawGroup(recipe.kinds, kind, random))
            place(text);
    }
    // The helpers, the featured kinds' first.
    std::vector<const char*> helpers;
    int32_t count = random.Between(recipe.helpersMin, recipe.helpersMax);
    for (auto [kind, letter] :
         {std::pair{MivoBlockKind::Plain, "P"}, std::pair{MivoBlockKind::Hardening, "U"},
          std::pair{MivoBlockKind::Disappearing, "D"}})
    {
        for (int32_t n = Has(recipe.featured, kind) ? recipe.featuredCount : 0; n > 0; --n, --count)
            place(letter);
        if (Has(recipe.kinds, kind))
            helpers.push_back(letter);
    }
    for (; count > 0 && !helpers.empty(); --count)
        place(helpers[static_cast<size_t>(random.Below(static_cast<int32_t>(helpers.size())))]);
    return layout;
}

// A small change inside the room: a block or wall moved, a wall added or taken away, or a magnet
// turned. Floors and the room's own walls stay.
void Mutate(Layout& layout, MivoLevelRandom& random)
{
    MivoLevelMap& map = layout.map;
    std::vector<std::pair<int32_t, int32_t>> tops, walls, empty;
    for (int32_t x = layout.x; x < layout.x + layout.w; ++x)
    {
        for (int32_t y = layout.y; y < layout.y + layout.h; ++y)
        {
            const std::string* text = map.Find(x, y);
            if (!text)
                empty.emplace_back(x, y);
            else if (*text == "W")
                walls.emplace_back(x, y);
            else if ((*text)[0] != 'T' && (*text)[0] != 'R')
                tops.emplace_back(x, y);
        }
    }
    auto pick = [&](const std::vector<std::pair<int32_t, int32_t>>& cells)
    { return cells[static_cast<size_t>(random.Below(static_cast<int32_t>(cells.size())))]; };
    const int32_t kind = random.Below(4);
    if (kind == 0 && !walls.empty() && !empty.empty())
    {
        const auto [x, y] = pick(walls);
        map.Set(x, y, "");
        const auto [ex, ey] = pick(empty);
        map.Set(ex, ey, "W");
    }
    else if (kind == 1 && !empty.empty())
    {
        const auto [x, y] = pick(empty);
        map.Set(x, y, "W");
    }
    else if (kind == 2 && !walls.empty())
    {
        const auto [x, y] = pick(walls);
        map.Set(x, y, "");
    }
    else if (!tops.empty() && !empty.empty())
    {
        const auto [x, y] = pick(tops);
        std::string text = *map.Find(x, y);
        if (text[0] == 'M')
            text = "M," + std::to_string(random.Between(1, 8));
        map.Set(x, y, "");
        const auto [ex, ey] = pick(empty);
        map.Set(ex, ey, text);
    }
}
} // namespace

bool MivoLevelGenerator::Accept(const MivoTableRecipe& recipe, const MivoLevelMap& map,
                                MivoSolverResult& proof)
{
    MivoLevelSolver solver(map);
    MivoSolverLimits limits;
    limits.maxStates = recipe.proofStates;
    limits.maxDepth = recipe.shortestMax;
    proof = solver.Solve(limits);
    const auto length = static_cast<int32_t>(proof.solution.size());
    if (proof.outcome != MivoSolverOutcome::Solved || proof.countCut || proof.unsteadyStart ||
        proof.endlessMoves || length < recipe.shortestMin || length > recipe.shortestMax ||
        proof.shortestCount > recipe.maxCount)
        return false;
    // A player's frames may be shorter or longer than the play's floor of 1/60 s.
    for (const float frameTime : {1.0f / 144.0f, 1.0f / 30.0f, 0.1f})
    {
        if (!solver.Replay(proof.solution, frameTime))
            return false;
    }
    MivoReplayLog log;
    if (!solver.Replay(proof.solution, limits.frameTime, &log))
        return false;
    if ((log.KindsAtWork() & recipe.featured) != recipe.featured)
        return false;
    return !recipe.lesson || solver.EveryShortestWinUses(recipe.featured, limits);
}

namespace
{
// A layout explored: the starts it offers in the band, and how far the farthest start it offers
// below the band's top lies from a win, which the climb tries to raise.
struct Evaluation
{
    bool usable = false; // explored with no move that never rests
    int32_t deepest = -1;
    uint64_t deepestCount = 0;
    std::vector<MivoLevelMap> starts; // in the band: fewest shortest solutions first, then longest
};

Evaluation Evaluate(const MivoTableRecipe& recipe, const MivoLevelMap& layout)
{
    Evaluation evaluation;
    MivoLevelSolver solver(layout);
    MivoSolverLimits limits;
    limits.maxStates = recipe.exploreStates;
    // Coarse frames find the candidates quickly; the proof then plays at the play's own.
    limits.frameTime = 0.21f;
    MivoSolverResult explored;
    const MivoLevelGraph graph = solver.Explore(limits, &explored);
    // A layout where some move never comes to rest could leave a player's board going round.
    evaluation.usable = explored.endlessMoves == 0;
    if (!evaluation.usable)
        return evaluation;
    const std::vector<int32_t> distances = graph.DistancesToWin();
    const std::vector<uint64_t> counts = graph.ShortestCounts(distances);
    // The featured tracks and teleports lie on the floor of every state; the other kinds must
    // still be on the table.
    const uint32_t floors =
        recipe.featured & (MivoKindBit(MivoBlockKind::Track) | MivoKindBit(MivoBlockKind::Teleport));
    std::vector<uint32_t> nodes;
    for (uint32_t node = 0; node < graph.Size(); ++node)
    {
        // Beyond the states whose moves were all played, a distance is only known to be no longer.
        const bool exact = graph.Depth(node) + distances[node] - 1 <= graph.ExpandedDepth();
        if (distances[node] > 0 && distances[node] <= recipe.shortestMax && counts[node] <= recipe.maxCount &&
            exact && ((graph.TopKinds(node) | floors) & recipe.featured) == recipe.featured)
            nodes.push_back(node);
    }
    // The farthest writable start below the band's top, with the fewest shortest solutions.
    std::stable_sort(nodes.begin(), nodes.end(),
                     [&](uint32_t a, uint32_t b) {
                         return distances[a] != distances[b] ? distances[a] > distances[b]
                                                             : counts[a] < counts[b];
                     });
    MivoLevelMap map;
    for (uint32_t node : nodes)
    {
        if (solver.MapOf(graph, node, map))
        {
            evaluation.deepest = distances[node];
            evaluation.deepestCount = counts[node];
            break;
        }
    }
    // The starts in the band, those whose number of shortest solutions lies nearest the target
    // first (by ratio), then the longest.
    std::erase_if(nodes, [&](uint32_t node) { return distances[node] < recipe.shortestMin; });
    auto offTarget = [&](uint32_t node) {
        return std::abs(
            std::log2(static_cast<double>(counts[node]) / static_cast<double>(recipe.countTarget)));
    };
    std::stable_sort(nodes.begin(), nodes.end(),
                     [&](uint32_t a, uint32_t b) {
                         return offTarget(a) != offTarget(b) ? offTarget(a) < offTarget(b)
                                                             : distances[a] > distances[b];
                     });
    for (size_t i = 0; i < nodes.size() && evaluation.starts.size() < 3; ++i)
    {
        if (solver.MapOf(graph, nodes[i], map))
            evaluation.starts.push_back(map);
    }
    return evaluation;
}
} // namespace

std::optional<MivoGeneratedTable> MivoLevelGenerator::Generate(const MivoTableRecipe& recipe, uint64_t seed,
                                                               int32_t maxAttempts)
{
    MivoLevelRandom random(seed);
    for (int32_t attempt = 1; attempt <= maxAttempts;)
    {
        Layout layout = DrawLayout(recipe, random);
        Evaluation current = Evaluate(recipe, layout.map);
        ++attempt;
        // Climb: small changes to the layout are kept while its farthest start gets no nearer.
        for (int32_t step = 0; current.usable && current.deepest >= 0 && attempt <= maxAttempts;
             ++step, ++attempt)
        {
            for (size_t i = 0; i < current.starts.size() && i < 3; ++i)
            {
                MivoGeneratedTable table;
                table.map = current.starts[i];
                if (!Accept(recipe, table.map, table.proof))
                    continue;
                table.map.solution = table.proof.solution;
                table.attempts = attempt;
                return table;
            }
            if (step >= recipe.climbSteps)
                break;
            Layout changed = layout;
            Mutate(changed, random);
            Evaluation next = Evaluate(recipe, changed.map);
            if (next.usable &&
                (next.deepest > current.deepest ||
                 (next.deepest == current.deepest && next.deepestCount <= current.deepestCount)))
            {
                layout = std::move(changed);
                current = std::move(next);
            }
        }
    }
    return std::nullopt;
}
