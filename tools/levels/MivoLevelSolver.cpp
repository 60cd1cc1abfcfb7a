#include "MivoLevelSolver.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>

#include <time.h>

namespace
{
// A top block packed into one word: cell index (x * 16 + y), kind, value (a number's number, a
// magnet's facing) and the exit teleport it last came out of (its index + 1, 0 for none). A wall
// that was a U block is a wall like any other: the rules never ask.
constexpr uint32_t kCellBits = 8, kKindShift = 8, kValueShift = 12, kTeleportShift = 16;
constexpr uint32_t kNoMember = 0xff;
constexpr int32_t kSize = MivoMapTable::kSize;

uint32_t CellOf(uint32_t word)
{
    return word & ((1u << kCellBits) - 1);
}

MivoBlockKind KindOf(uint32_t word)
{
    return static_cast<MivoBlockKind>((word >> kKindShift) & 0xf);
}

// Whether the player may pick a block of the kind, by kind (as the 4 bits of a word hold it).
const std::array<bool, 16> kSelectableKinds = []
{
    std::array<bool, 16> selectable{};
    MivoBlock probe;
    for (size_t kind = 0; kind < selectable.size(); ++kind)
    {
        probe.kind = static_cast<MivoBlockKind>(kind);
        selectable[kind] = probe.IsSelectable();
    }
    return selectable;
}();

// A move in 16 bits: cell index (x * 16 + y) and direction.
uint16_t PackMove(const MivoLevelMove& move)
{
    return static_cast<uint16_t>((move.x * kSize + move.y) << 3 | move.direction);
}

MivoLevelMove UnpackMove(uint16_t packed)
{
    const int32_t cell = packed >> 3;
    return {cell / kSize, cell % kSize, packed & 7};
}

// A state's hash is the exclusive or of one mixed value per word: a move changes it by the
// words of the cells it changed alone. A top word names its cell, so the tops are a set; the
// words after them are mixed with their place.
constexpr uint32_t kNoWord = UINT32_MAX; // no top block on a cell

uint64_t Mix(uint64_t value)
{
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdull;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ull;
    return value ^ (value >> 33);
}

uint64_t TopHash(uint32_t word)
{
    return word == kNoWord ? 0 : Mix(word);
}

uint64_t TopsHash(const uint32_t* words)
{
    uint64_t hash = 0;
    for (uint32_t i = 1; i <= words[0]; ++i)
        hash ^= Mix(words[i]);
    return hash;
}

uint64_t RestHash(const uint32_t* rest, size_t count)
{
    uint64_t hash = 0;
    for (size_t i = 0; i < count; ++i)
        hash ^= Mix(uint64_t{i + 1} << 32 | rest[i]);
    return hash;
}

uint64_t StateHash(const std::vector<uint32_t>& state)
{
    const size_t tops = state[0] + size_t{1};
    return TopsHash(state.data()) ^ RestHash(state.data() + tops, state.size() - tops);
}

// The processor time the calling thread has had.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What reading the clock twice in a row measures, the least of a few tries: taken off each timed
// play, which holds one such pair.
double ClockPairSeconds()
{
    static const double pair = []
    {
        using Clock = std::chrono::steady_clock;
        double least = 1.0;
        for (int32_t i = 0; i < 200; ++i)
        {
            const Clock::time_point first = Clock::now();
            least = std::min(least, std::chrono::duration<double>(Clock::now() - first).count());
        }
        return least;
    }();
    return pair;
}

constexpr uint64_t kCountCap = uint64_t{1} << 63;

uint64_t AddCapped(uint64_t a, uint64_t b)
{
    return a >= kCountCap - b ? kCountCap : a + b;
}
} // namespace

MivoLevelSolver::MivoLevelSolver(const MivoLevelMap& map) : map_(map), table_(map.Build())
{
    board_.SetTable(table_.get());
    board_.noteChanges = true;
    table_->ForEachCell(
        [this](MivoMapCell& cell)
        {
            cells_[MivoCellBits::IndexOf(cell)] = &cell;
            // A wall never moves, merges or goes: it stays out of every state.
            if (cell.top && cell.top->Is(MivoBlockKind::Wall))
                fixedKinds_ = 1u << static_cast<uint32_t>(MivoBlockKind::Wall);
            else
                open_.push_back(&cell);
            if (cell.floor && cell.floor->Is(MivoBlockKind::Teleport))
                teleports_.push_back(cell.floor.get());
        });
    originAt_.fill(kNoWord);
    stateRoom_ = static_cast<uint32_t>(1 + open_.size() + table_->tracks.size() + table_->groups.size());
    hasRest_ = !table_->tracks.empty() || !table_->groups.empty();
    Capture(start_);
}

MivoLevelSolver::~MivoLevelSolver() = default;

[[gnu::always_inline]] inline uint32_t MivoLevelSolver::WordOf(const MivoMapCell& cell) const
{
    const MivoBlock* top = cell.top.get();
    const int32_t value = top->Is(MivoBlockKind::Magnet) ? top->magnetDirection : top->number;
    uint32_t teleport = 0;
    // The teleport a block remembers only counts while it stands on one: its next step from
    // any other floor forgets it before anything looks.
    const bool onTeleport = cell.floor && cell.floor->Is(MivoBlockKind::Teleport);
    if (top->lastTeleport && onTeleport)
    {
        const auto it = std::find(teleports_.begin(), teleports_.end(), top->lastTeleport);
        teleport = it == teleports_.end() ? 0 : static_cast<uint32_t>(it - teleports_.begin()) + 1;
    }
    return static_cast<uint32_t>(cell.x * kSize + cell.y) | static_cast<uint32_t>(top->kind) << kKindShift |
           static_cast<uint32_t>(value & 0xf) << kValueShift | teleport << kTeleportShift;
}

void MivoLevelSolver::Capture(State& state) const
{
    state.assign(1, 0);
    for (const MivoMapCell* cell : open_)
    {
        if (cell->top)
            state.push_back(WordOf(*cell));
    }
    state[0] = static_cast<uint32_t>(state.size() - 1);
    const size_t tops = state.size();
    state.resize(tops + table_->tracks.size() + table_->groups.size());
    WriteRest(state.data() + tops);
}

[[gnu::always_inline]] inline uint64_t MivoLevelSolver::CaptureAndUndo(uint32_t* const child, uint32_t& count)
{
    const uint32_t* const origin = origin_.data();
    // Held apart from the words being written, which could otherwise be taken to change it.
    const uint32_t originTops = origin[0];
    uint32_t* out = child + 1;
    uint64_t tops = originTops_;
    // Both run in grid order: the words of the cells no rule touched are the origin's.
    uint32_t i = 1;
    Slide slide;
    const auto& changed = board_.changedCells.words;
    for (size_t part = 0; part < changed.size(); ++part)
    {
        for (uint64_t bits = changed[part]; bits != 0; bits &= bits - 1)
        {
            const auto cell = static_cast<uint32_t>(part * 64 + std::countr_zero(bits));
            for (; i <= originTops && CellOf(origin[i]) < cell; ++i)
                *out++ = origin[i];
            const uint32_t before = originAt_[cell];
            i += before != kNoWord ? 1 : 0;
            const uint32_t now = cells_[cell]->top ? WordOf(*cells_[cell]) : kNoWord;
            // Written either way, kept when there is a block: the room after the words has space.
            *out = now;
            out += now != kNoWord ? 1 : 0;
            tops ^= now != before ? originMix_[cell] ^ TopHash(now) : 0;
            PutBack(*cells_[cell], now, before, slide);
        }
    }
    for (; i <= originTops; ++i)
        *out++ = origin[i];
    child[0] = static_cast<uint32_t>(out - child - 1);
    SlideBack(slide);
    // The move came to rest: nothing moves and no event waits. Its clock is left over.
    board_.moveClock = 0.0f;
    board_.pendingBlocking = 0;
    // Most tables have no track or teleport group: no words after the tops.
    if (hasRest_)
    {
        const uint32_t* rest = out;
        out = WriteRest(out);
        RestoreRest(origin_.data());
        tops ^= RestHash(rest, static_cast<size_t>(out - rest));
    }
    count = static_cast<uint32_t>(out - child);
    return tops;
}

uint32_t* MivoLevelSolver::WriteRest(uint32_t* out) const
{
    for (const MivoTrack& track : table_->tracks)
        *out++ = static_cast<uint32_t>(track.direction);
    for (const MivoTeleportGroup& group : table_->groups)
    {
        const auto member = std::find(group.members.begin(), group.members.end(), group.currentExit);
        const uint32_t index =
            member == group.members.end() ? kNoMember : static_cast<uint32_t>(member - group.members.begin());
        *out++ = static_cast<uint32_t>(group.currentOrder) << 8 | index;
    }
    return out;
}

[[gnu::always_inline]] inline void MivoLevelSolver::PutBack(MivoMapCell& cell, uint32_t now, uint32_t before,
                                                            Slide& slide)
{
    if (now == before)
    {
        SettleTop(*cell.top, cell, before);
    }
    else if (before == kNoWord)
    {
        if (slide.arrived)
            spare_.push_back(std::move(slide.arrived->top));
        slide.arrived = &cell;
        slide.arrivedWord = now;
    }
    else if (now != kNoWord)
    {
        PlaceTop(cell, before);
    }
    else
    {
        if (slide.left)
            PlaceTop(*slide.left, slide.leftWord);
        slide.left = &cell;
        slide.leftWord = before;
    }
}

[[gnu::always_inline]] inline void MivoLevelSolver::SlideBack(const Slide& slide)
{
    if (slide.left && slide.arrived)
    {
        MivoMapCell& cell = *slide.left;
        cell.top.swap(slide.arrived->top);
        // The same kind, value and teleport: the block only slid.
        if (((slide.arrivedWord ^ slide.leftWord) >> kCellBits) != 0)
            PlaceTop(cell, slide.leftWord);
        else
            SettleTop(*cell.top, cell, slide.leftWord);
        cell.top->boardCell = &cell;
    }
    else if (slide.left)
    {
        PlaceTop(*slide.left, slide.leftWord);
    }
    else if (slide.arrived)
    {
        spare_.push_back(std::move(slide.arrived->top));
    }
}

void MivoLevelSolver::ResetMotion()
{
    board_.moving.clear();
    board_.events.clear();
    board_.pendingBlocking = 0;
    board_.selected = nullptr;
    board_.moveClock = 0.0f;
}

void MivoLevelSolver::Restore(const uint32_t* words, size_t count)
{
    ResetMotion();
    if (!settled_)
    {
        for (MivoMapCell* cell : open_)
        {
            cell->reserved = 0;
            cell->vacating = 0;
        }
        settled_ = true;
    }
    if (!shownKnown_)
    {
        // Nothing of the origin is known to stand: every top goes, and the origin is empty.
        for (MivoMapCell* cell : open_)
        {
            if (cell->top)
                spare_.push_back(std::move(cell->top));
        }
        for (uint32_t i = 1; i <= origin_[0]; ++i)
            SetOriginAt(CellOf(origin_[i]), kNoWord);
        origin_.assign(1, 0);
    }
    RestoreTops(words);
    RestoreRest(words);
    origin_.assign(words, words + count);
    shownKnown_ = true;
}

inline void MivoLevelSolver::RestoreRest(const uint32_t* words)
{
    size_t at = words[0] + 1;
    for (MivoTrack& track : table_->tracks)
        track.direction = static_cast<int32_t>(words[at++]);
    for (MivoTeleportGroup& group : table_->groups)
    {
        const uint32_t word = words[at++];
        group.currentOrder = static_cast<int32_t>(word >> 8);
        const uint32_t index = word & 0xff;
        group.currentExit = index == kNoMember ? nullptr : group.members[index];
    }
}

// The top blocks of the table, which are those of the origin, made those of the words: both lists
// run in grid order, so one walk over the two finds the cells that differ, and each is put back as
// after a move from the words' state. A block whose word is the same stays.
[[gnu::always_inline]] inline void MivoLevelSolver::RestoreTops(const uint32_t* words)
{
    const uint32_t* shown = origin_.data();
    uint32_t i = 1, j = 1;
    Slide slide;
    while (i <= shown[0] || j <= words[0])
    {
        const uint32_t from = i <= shown[0] ? CellOf(shown[i]) : UINT32_MAX;
        const uint32_t to = j <= words[0] ? CellOf(words[j]) : UINT32_MAX;
        const uint32_t cell = std::min(from, to);
        const uint32_t now = from == cell ? shown[i++] : kNoWord;
        const uint32_t wanted = to == cell ? words[j++] : kNoWord;
        PutBack(*cells_[cell], now, wanted, slide);
        if (now != wanted)
            SetOriginAt(cell, wanted);
    }
    SlideBack(slide);
}

[[gnu::always_inline]] inline void MivoLevelSolver::SetOriginAt(uint32_t cell, uint32_t word)
{
    const uint64_t mix = TopHash(word);
    originTops_ ^= originMix_[cell] ^ mix;
    originAt_[cell] = word;
    originMix_[cell] = mix;
}

[[gnu::always_inline]] inline void MivoLevelSolver::PlaceTop(MivoMapCell& cell, uint32_t word)
{
    if (!cell.top && spare_.empty())
    {
        cell.top = std::make_unique<MivoBlock>();
    }
    else if (!cell.top)
    {
        cell.top = std::move(spare_.back());
        spare_.pop_back();
    }
    const MivoBlock* fresh = fresh_[(word >> kKindShift) & 0xff].get();
    MivoBlock& block = *cell.top;
    block = fresh ? *fresh : FreshBlock(word);
    // Where the board looks for the block first, as MivoBoard::PutTop notes it.
    block.boardCell = &cell;
    SettleTop(block, cell, word);
}

const MivoBlock& MivoLevelSolver::FreshBlock(uint32_t word)
{
    auto block = std::make_unique<MivoBlock>();
    const int32_t value = static_cast<int32_t>((word >> kValueShift) & 0xf);
    const MivoBlockKind kind = KindOf(word);
    block->Init(kind, kind == MivoBlockKind::Magnet ? 0 : value);
    if (kind == MivoBlockKind::Magnet)
        block->magnetDirection = value;
    fresh_[(word >> kKindShift) & 0xff] = std::move(block);
    return *fresh_[(word >> kKindShift) & 0xff];
}

void MivoLevelSolver::SettleTop(MivoBlock& block, const MivoMapCell& cell, uint32_t word) const
{
    const uint32_t teleport = (word >> kTeleportShift) & 0x3f;
    block.lastTeleport = teleport ? teleports_[teleport - 1] : nullptr;
    block.x = cell.fx;
    block.y = cell.fy;
}

namespace
{
bool WonWords(const uint32_t* words)
{
    for (uint32_t i = 1; i <= words[0]; ++i)
    {
        const MivoBlockKind kind = KindOf(words[i]);
        if (kind == MivoBlockKind::Number || kind == MivoBlockKind::Plus || kind == MivoBlockKind::Minus)
            return false;
    }
    return true;
}
} // namespace

int32_t MivoSolverLimits::MaxTicksPerMove() const
{
    const float step = speed * frameTime;
    return step > 0.0f ? static_cast<int32_t>(std::ceil(maxTravelPerMove / step)) + 1 : 1;
}

double MivoSolverResult::Branching() const
{
    return expanded ? static_cast<double>(moves) / static_cast<double>(expanded) : 0.0;
}

// ---- the graph ----

size_t MivoLevelGraph::WordCount(uint32_t node) const
{
    // The next state's words begin after its node's.
    return (node + 1 < offsets_.size() ? offsets_[node + 1] - kHeader : wordsEnd_) - offsets_[node];
}

uint32_t MivoLevelGraph::EdgeEnd(uint32_t node) const
{
    return node + 1 < edgeStart_.size() ? edgeStart_[node + 1] : edgeCount_;
}

int32_t MivoLevelGraph::ExpandedDepth() const
{
    if (complete_)
        return INT32_MAX / 2;
    return edgeStart_.size() < Size() ? Depth(static_cast<uint32_t>(edgeStart_.size())) - 1
                                      : Depth(static_cast<uint32_t>(Size() - 1));
}

uint64_t MivoLevelGraph::PathsAt(uint32_t at) const
{
    uint64_t paths = 0;
    std::memcpy(&paths, words_.data() + at - kHeader + 2, sizeof(paths));
    return paths;
}

void MivoLevelGraph::SetPathsAt(uint32_t at, uint64_t paths)
{
    std::memcpy(words_.data() + at - kHeader + 2, &paths, sizeof(paths));
}

uint32_t MivoLevelGraph::TopKinds(uint32_t node) const
{
    const uint32_t* words = Words(node);
    uint32_t kinds = fixedKinds_;
    for (uint32_t i = 1; i <= words[0]; ++i)
        kinds |= 1u << static_cast<uint32_t>(KindOf(words[i]));
    return kinds;
}

int32_t MivoLevelGraph::MovesToWinAtLeast(uint32_t node) const
{
    const uint32_t* words = Words(node);
    int32_t toClear = 0;
    for (uint32_t i = 1; i <= words[0]; ++i)
    {
        const MivoBlockKind kind = KindOf(words[i]);
        toClear +=
            kind == MivoBlockKind::Number || kind == MivoBlockKind::Plus || kind == MivoBlockKind::Minus;
    }
    return (toClear + 1) / 2;
}

inline uint32_t MivoLevelGraph::Intern(const uint32_t* words, size_t count, uint64_t hash, uint32_t depth,
                                       uint64_t paths, bool& added)
{
    const auto print = static_cast<uint32_t>(hash >> 32);
    size_t slot = SlotOf(print);
    for (; slots_[slot] != 0; slot = (slot + 1) & slotMask_)
    {
        const auto at = static_cast<uint32_t>(slots_[slot]);
        if (slots_[slot] >> 32 == print && Equal(words_.data() + at, words, count))
        {
            added = false;
            return at;
        }
    }
    added = true;
    return Add(words, count, slot, print, depth, paths);
}

uint32_t MivoLevelGraph::Add(const uint32_t* words, size_t count, size_t slot, uint32_t print, uint32_t depth,
                             uint64_t paths)
{
    const auto at = static_cast<uint32_t>(wordsEnd_ + kHeader);
    wordsEnd_ = at + count;
    if (wordsEnd_ > words_.size())
        words_.resize(std::max(words_.size() * 2, wordsEnd_));
    uint32_t* out = words_.data() + at - kHeader;
    out[0] = static_cast<uint32_t>(offsets_.size());
    out[1] = depth | (WonWords(words) ? kWonBit : 0);
    std::memcpy(out + 2, &paths, sizeof(paths));
    if (words != out + kHeader)
        std::copy(words, words + count, out + kHeader);
    offsets_.push_back(at);
    slots_[slot] = uint64_t{print} << 32 | at;
    return at;
}

inline uint32_t* MivoLevelGraph::Room()
{
    return words_.data() + wordsEnd_ + kHeader;
}

size_t MivoLevelGraph::SlotOf(uint32_t print) const
{
    return print >> slotShift_;
}

bool MivoLevelGraph::Equal(const uint32_t* stored, const uint32_t* words, size_t count)
{
    // The states of one table have as many words after their tops: the same count of tops is the
    // same length. Two words at a time, then the odd one.
    size_t i = 0;
    for (; i + 2 <= count; i += 2)
    {
        uint64_t a = 0, b = 0;
        std::memcpy(&a, stored + i, sizeof(a));
        std::memcpy(&b, words + i, sizeof(b));
        if (a != b)
            return false;
    }
    return i == count || stored[i] == words[i];
}

inline void MivoLevelGraph::Reserve(size_t more, size_t words)
{
    size_t slots = slots_.size();
    while ((Size() + more) * 2 > slots)
        slots = std::max<size_t>(slots * 2, 1024);
    if (slots != slots_.size())
        Grow(slots);
    const size_t end = wordsEnd_ + more * (kHeader + words);
    if (end > words_.size())
        words_.resize(std::max(words_.size() * 2, end));
}

void MivoLevelGraph::Grow(size_t slots)
{
    // Both lists keep their room for the next search on this graph.
    oldSlots_.swap(slots_);
    slots_.assign(std::max<size_t>(slots, 1024), 0);
    slotShift_ = 32 - static_cast<uint32_t>(std::countr_zero(slots_.size()));
    slotMask_ = slots_.size() - 1;
    for (const uint64_t entry : oldSlots_)
    {
        if (entry == 0)
            continue;
        size_t slot = SlotOf(static_cast<uint32_t>(entry >> 32));
        while (slots_[slot] != 0)
            slot = (slot + 1) & slotMask_;
        slots_[slot] = entry;
    }
}

std::vector<int32_t> MivoLevelGraph::DistancesToWin() const
{
    // Backwards from the wins over the reversed moves of the expanded states.
    const size_t n = Size();
    const size_t expanded = edgeStart_.size();
    std::vector<uint32_t> inStart(n + 1, 0), inEdges(edges_.size());
    for (uint32_t target : edges_)
        ++inStart[target + 1];
    for (size_t i = 0; i < n; ++i)
        inStart[i + 1] += inStart[i];
    std::vector<uint32_t> fill(inStart.begin(), inStart.end() - 1);
    for (uint32_t from = 0; from < expanded; ++from)
    {
        for (uint32_t e = edgeStart_[from]; e < EdgeEnd(from); ++e)
            inEdges[fill[edges_[e]]++] = from;
    }
    std::vector<int32_t> distance(n, -1);
    std::vector<uint32_t> queue;
    for (uint32_t i = 0; i < n; ++i)
    {
        if (Won(i))
        {
            distance[i] = 0;
            queue.push_back(i);
        }
    }
    for (size_t q = 0; q < queue.size(); ++q)
    {
        const uint32_t to = queue[q];
        for (uint32_t e = inStart[to]; e < inStart[to + 1]; ++e)
        {
            if (distance[inEdges[e]] < 0)
            {
                distance[inEdges[e]] = distance[to] + 1;
                queue.push_back(inEdges[e]);
            }
        }
    }
    return distance;
}

std::vector<uint64_t> MivoLevelGraph::ShortestCounts(const std::vector<int32_t>& distances) const
{
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < Size(); ++i)
    {
        if (distances[i] >= 0)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return distances[a] < distances[b]; });
    std::vector<uint64_t> counts(Size(), 0);
    std::vector<std::pair<MivoLevelMove, uint32_t>> next;
    for (uint32_t node : order)
    {
        if (distances[node] == 0)
        {
            counts[node] = 1;
            continue;
        }
        next.clear();
        Successors(node, next);
        for (const auto& [move, target] : next)
        {
            if (distances[target] == distances[node] - 1)
                counts[node] = AddCapped(counts[node], counts[target]);
        }
    }
    return counts;
}

void MivoLevelGraph::Successors(uint32_t node, std::vector<std::pair<MivoLevelMove, uint32_t>>& out) const
{
    if (node >= edgeStart_.size() || !keepEdges_)
        return;
    for (uint32_t e = edgeStart_[node]; e < EdgeEnd(node); ++e)
        out.emplace_back(UnpackMove(edgeMoves_[e]), edges_[e]);
}

// ---- playing ----

bool MivoLevelSolver::TickToRest(MivoBoard& board, float frameTime, int32_t maxTicks, uint64_t& ticks)
{
    for (int32_t tick = 0; tick < maxTicks; ++tick)
    {
        board.Tick(frameTime);
        ++ticks;
        if (board.IsAtRest() && board.events.empty())
            return true;
    }
    return false;
}

bool MivoLevelSolver::Play(const MivoLevelMove& move, const MivoSolverLimits& limits, uint64_t& ticks)
{
    // As the play takes a move: the pick, then, at rest, the push the board allows; a click on
    // a D block is the whole move.
    MivoMapCell* cell = table_->Cell(move.x, move.y);
    MivoBlock* block = cell ? cell->top.get() : nullptr;
    if (!block || !block->IsSelectable())
        return false;
    if (move.direction == 0)
    {
        if (!block->Is(MivoBlockKind::Disappearing))
            return false;
        board_.Select(block);
    }
    else
    {
        if (!board_.CanMove(block, move.direction, true))
            return false;
        board_.Select(block);
        board_.TryMove(block, move.direction, false);
        board_.selected = nullptr;
    }
    return TickToRest(board_, limits.frameTime, limits.MaxTicksPerMove(), ticks);
}

inline bool MivoLevelSolver::SampledPlay(const MivoLevelMove& move, const MivoSolverLimits& limits,
                                         uint64_t& ticks)
{
    // A play's time is mostly its ticks': each counts as its ticks and one more.
    const uint64_t ticksBefore = ticks;
    const bool timed = --untilTimed_ == 0;
    if (!timed)
    {
        const bool played = Play(move, limits, ticks);
        playUnits_ += ticks - ticksBefore + 1;
        return played;
    }
    return TimedPlay(move, limits, ticks);
}

bool MivoLevelSolver::TimedPlay(const MivoLevelMove& move, const MivoSolverLimits& limits, uint64_t& ticks)
{
    using Clock = std::chrono::steady_clock;
    // The next timed play comes 1 to 2 * kTimedPlayEvery - 1 plays on, evenly drawn.
    random_ = random_ * 6364136223846793005ull + 1442695040888963407ull;
    untilTimed_ = 1 + static_cast<uint32_t>((random_ >> 33) % (2 * kTimedPlayEvery - 1));
    const uint64_t ticksBefore = ticks;
    const Clock::time_point playing = Clock::now();
    const bool played = Play(move, limits, ticks);
    const double seconds = std::chrono::duration<double>(Clock::now() - playing).count() - ClockPairSeconds();
    const uint64_t units = ticks - ticksBefore + 1;
    playUnits_ += units;
    // A play far longer than its ticks can take (a tick of the busiest table takes a fraction
    // of a microsecond) had its thread taken away: no sample.
    if (seconds < 20e-6 + 1e-6 * static_cast<double>(units))
    {
        timedUnits_ += units;
        timedSeconds_ += std::max(0.0, seconds);
    }
    return played;
}

void MivoLevelSolver::Expand(uint32_t node, const MivoSolverLimits& limits, MivoLevelGraph& graph,
                             MivoSolverResult& result)
{
    Restore(graph.Words(node), graph.WordCount(node));
    PlayMoves(node, limits, graph, result);
}

void MivoLevelSolver::PlayMoves(uint32_t node, const MivoSolverLimits& limits, MivoLevelGraph& graph,
                                MivoSolverResult& result)
{
    const uint32_t at = graph.offsets_[node];
    const Parent parent{node, graph.DepthAt(at) + 1, graph.PathsAt(at)};
    // A top block has four moves at most.
    graph.Reserve(4 * size_t{origin_[0]}, stateRoom_);
    // A move that never rests leaves blocks stopped on their way: no state the words can say.
    bool lost = false;
    for (uint32_t i = 1; i <= origin_[0]; ++i)
    {
        const MivoBlockKind kind = KindOf(origin_[i]);
        if (!kSelectableKinds[static_cast<size_t>(kind)])
            continue;
        const auto cell = static_cast<int32_t>(CellOf(origin_[i]));
        MivoLevelMove move{cell / kSize, cell % kSize, 0};
        // A D block is clicked; every other kind is pushed each way.
        static constexpr std::array<int32_t, 4> kPushes{1, 3, 5, 7};
        static constexpr std::array<int32_t, 1> kClick{0};
        const std::span<const int32_t> directions = kind == MivoBlockKind::Disappearing
                                                        ? std::span<const int32_t>(kClick)
                                                        : std::span<const int32_t>(kPushes);
        for (const int32_t direction : directions)
        {
            if (lost)
                Restore(graph.Words(node), graph.WordCount(node));
            move.direction = direction;
            uint64_t ticks = 0;
            board_.changedCells.Clear();
            const bool played = SampledPlay(move, limits, ticks);
            result.ticks += ticks;
            board_.selected = nullptr;
            // A refused move changes nothing.
            lost = !played && ticks > 0;
            if (lost)
            {
                ++result.endlessMoves;
                shownKnown_ = false;
                settled_ = false;
            }
            if (!played)
                continue;
            ++result.moves;
            // The state reached is written where the graph would keep it: a new one stays there.
            uint32_t* words = graph.Room();
            uint32_t count = 0;
            const uint64_t hash = CaptureAndUndo(words, count);
            AddEdge(parent, PackMove(move), words, count, hash, graph);
        }
    }
}

// Inlined into PlayMoves, its one caller, lookup and all: a call per child is a few percent of the
// solver's own time.
[[gnu::always_inline]] inline void MivoLevelSolver::AddEdge(const Parent& parent, uint16_t move,
                                                            const uint32_t* words, uint32_t count,
                                                            uint64_t hash, MivoLevelGraph& graph)
{
    bool added = false;
    const uint32_t target = graph.Intern(words, count, hash, parent.depth, parent.paths, added);
    if (added)
    {
        graph.parent_.push_back(parent.node);
        graph.via_.push_back(move);
        if (winDepth_ < 0 && graph.WonAt(target))
            winDepth_ = static_cast<int32_t>(parent.depth);
    }
    else if (graph.DepthAt(target) == parent.depth)
    {
        graph.SetPathsAt(target, AddCapped(graph.PathsAt(target), parent.paths));
    }
    ++graph.edgeCount_;
    if (!graph.keepEdges_)
        return;
    graph.edges_.push_back(graph.NodeAt(target));
    graph.edgeMoves_.push_back(move);
}

void MivoLevelSolver::Search(const MivoSolverLimits& limits, bool pastWins, MivoLevelGraph& graph,
                             MivoSolverResult& result)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    const double cpuBegin = ThreadSeconds();
    playUnits_ = timedUnits_ = 0;
    timedSeconds_ = 0.0;

    // The start, as the play builds a level: the passes once, then the board left to rest.
    board_.speed = limits.speed;
    settled_ = false;
    Restore(start_.data(), start_.size());
    board_.RunPasses();
    shownKnown_ = false;
    settled_ = false;
    if (!TickToRest(board_, limits.frameTime, limits.MaxTicksPerMove(), result.ticks))
        return;
    Capture(state_);
    result.unsteadyStart = state_ != start_;

    bool added = false;
    graph.fixedKinds_ = fixedKinds_;
    graph.keepEdges_ = pastWins;
    graph.Reserve(1, state_.size());
    graph.Intern(state_.data(), state_.size(), StateHash(state_), 0, 1, added);
    graph.parent_.push_back(0);
    graph.via_.push_back(0);

    winDepth_ = graph.Won(0) ? 0 : -1;
    bool bounded = false, skipped = false;
    uint32_t node = 0;
    for (; node < graph.Size(); ++node)
    {
        const int32_t depth = graph.Depth(node);
        if (winDepth_ >= 0 && depth >= winDepth_ && !pastWins)
            break;
        // Once a win is known the shortest length is proven; the bounds then only cut the count.
        if (depth >= limits.maxDepth || graph.Size() >= limits.maxStates ||
            ((node & 63) == 0 &&
             std::chrono::duration<double>(Clock::now() - begin).count() > limits.maxSeconds))
        {
            bounded = true;
            result.countCut = winDepth_ >= 0 && depth < winDepth_;
            break;
        }
        graph.edgeStart_.push_back(graph.edgeCount_);
        // A won level ends: nothing is played from it.
        const bool hopeless = limits.skipHopeless && depth + graph.MovesToWinAtLeast(node) > limits.maxDepth;
        skipped = skipped || hopeless;
        if (hopeless)
            continue;
        ++result.expanded;
        if (!graph.Won(node))
            Expand(node, limits, graph, result);
    }
    result.states = graph.Size();
    graph.complete_ = !bounded && !skipped && node >= graph.Size();
    if (winDepth_ >= 0)
        TakeSolution(graph, result);
    else if (graph.complete_)
        result.outcome = MivoSolverOutcome::Unsolvable;
    result.seconds = ThreadSeconds() - cpuBegin;
    if (timedUnits_ > 0)
        result.playSeconds =
            timedSeconds_ * static_cast<double>(playUnits_) / static_cast<double>(timedUnits_);
}

void MivoLevelSolver::TakeSolution(const MivoLevelGraph& graph, MivoSolverResult& result) const
{
    result.outcome = MivoSolverOutcome::Solved;
    uint32_t first = UINT32_MAX;
    for (uint32_t n = 0; n < graph.Size(); ++n)
    {
        if (graph.Depth(n) != winDepth_ || !graph.Won(n))
            continue;
        result.shortestCount = AddCapped(result.shortestCount, graph.PathsAt(graph.offsets_[n]));
        first = std::min(first, n);
    }
    for (uint32_t n = first; n != 0; n = graph.parent_[n])
    {
        const uint32_t from = graph.parent_[n];
        result.solution.insert(result.solution.begin(), UnpackMove(graph.via_[n]));
        result.pathBranching.insert(result.pathBranching.begin(),
                                    static_cast<int32_t>(graph.EdgeEnd(from) - graph.edgeStart_[from]));
    }
}

void MivoLevelGraph::Clear()
{
    // The store's words stay: only those up to wordsEnd_ are in use.
    wordsEnd_ = 0;
    for (auto* list : {&offsets_, &parent_, &edgeStart_, &edges_})
        list->clear();
    for (auto* list : {&via_, &edgeMoves_})
        list->clear();
    slots_.clear();
    oldSlots_.clear();
    slotShift_ = 32;
    slotMask_ = 0;
    edgeCount_ = 0;
    fixedKinds_ = 0;
    complete_ = false;
}

MivoSolverResult MivoLevelSolver::Solve(const MivoSolverLimits& limits)
{
    // The graph of a search up to the wins is dropped after it, its room kept for the thread's
    // next search: fresh memory costs more than a small table's whole search. A very large
    // graph's room goes.
    constexpr size_t kKeptStates = size_t{1} << 18;
    thread_local MivoLevelGraph graph;
    graph.Clear();
    MivoSolverResult result;
    Search(limits, false, graph, result);
    if (graph.Size() > kKeptStates)
        graph = MivoLevelGraph();
    return result;
}

MivoLevelGraph MivoLevelSolver::Explore(const MivoSolverLimits& limits, MivoSolverResult* result)
{
    MivoLevelGraph graph;
    MivoSolverResult own;
    Search(limits, true, graph, result ? *result : own);
    return graph;
}

bool MivoLevelSolver::MapOf(const MivoLevelGraph& graph, uint32_t node, MivoLevelMap& map) const
{
    const uint32_t* words = graph.Words(node);
    const size_t count = graph.WordCount(node);
    // The hidden parts of the state must be as a table loads them.
    for (size_t i = words[0] + 1; i < count; ++i)
    {
        if (words[i] != start_[i - words[0] + start_[0]])
            return false;
    }
    map = MivoLevelMap();
    map.name = map_.name;
    // The floors and the walls, which no state changes, in the grid order of the table's cells.
    for (const MivoLevelCell& cell : map_.cells)
    {
        if (cell.text[0] == 'T' || cell.text[0] == 'R' || cell.text[0] == 'W')
            map.cells.push_back(cell);
    }
    for (uint32_t i = 1; i <= words[0]; ++i)
    {
        const uint32_t word = words[i];
        const auto cell = static_cast<int32_t>(CellOf(word));
        if ((word >> kTeleportShift) != 0 || map.Find(cell / kSize, cell % kSize))
            return false;
        const MivoBlockKind kind = KindOf(word);
        std::string text = MivoBlockLetter(kind);
        if (kind == MivoBlockKind::Number || kind == MivoBlockKind::Magnet)
            text += "," + std::to_string((word >> kValueShift) & 0xf);
        map.Set(cell / kSize, cell % kSize, text);
    }
    return true;
}

namespace
{
// Takes every event at once, as a presentation with nothing to show would, and notes them.
class ReplayListener : public MivoCallbacks
{
public:
    explicit ReplayListener(MivoReplayLog& log) : log_(log) {}
    void OnBlockCreated(MivoBlock*) override {}
    void OnBlockDestroyed(MivoBlock*) override {}
    bool OnBoardEvent(MivoBoardEvent& event) override
    {
        const auto kind = static_cast<size_t>(event.kind);
        if (kind < log_.events.size())
            ++log_.events[kind];
        if (event.kind == MivoEventKind::Started && event.blockA)
            log_.movedKinds |= MivoKindBit(event.blockA->kind);
        if (event.kind == MivoEventKind::Vanish)
        {
            for (const MivoBlock* block : {event.blockA, event.blockB})
                log_.vanishedKinds |= block ? MivoKindBit(block->kind) : 0;
        }
        if (event.kind == MivoEventKind::Hit && event.blockB)
            log_.hitKinds |= MivoKindBit(event.blockB->kind);
        return true;
    }
    void OnEventDone(MivoBoardEvent&) override {}

private:
    MivoReplayLog& log_;
};
} // namespace

uint32_t MivoReplayLog::KindsAtWork() const
{
    auto seen = [&](MivoEventKind e) { return events[static_cast<size_t>(e)] > 0; };
    auto bitIf = [](bool atWork, MivoBlockKind kind) { return atWork ? MivoKindBit(kind) : 0u; };
    constexpr uint32_t kShownByEvents =
        MivoKindBit(MivoBlockKind::Magnet) | MivoKindBit(MivoBlockKind::Teleport) |
        MivoKindBit(MivoBlockKind::Track) | MivoKindBit(MivoBlockKind::Hardening) |
        MivoKindBit(MivoBlockKind::Disappearing) | MivoKindBit(MivoBlockKind::Wall);
    return (movedKinds & ~kShownByEvents) | (vanishedKinds & MivoKindBit(MivoBlockKind::Joker)) |
           (hitKinds & MivoKindBit(MivoBlockKind::Wall)) |
           bitIf(seen(MivoEventKind::MagnetPush) || seen(MivoEventKind::MagnetPull), MivoBlockKind::Magnet) |
           bitIf(seen(MivoEventKind::Teleported), MivoBlockKind::Teleport) |
           bitIf(seen(MivoEventKind::TrackStarted), MivoBlockKind::Track) |
           bitIf(seen(MivoEventKind::Hardened), MivoBlockKind::Hardening) |
           bitIf(seen(MivoEventKind::Disappear), MivoBlockKind::Disappearing);
}

bool MivoLevelSolver::EveryShortestWinUses(uint32_t kinds, const MivoSolverLimits& limits)
{
    MivoSolverLimits upToShortest = limits;
    upToShortest.skipHopeless = true;
    const MivoSolverResult shortest = Solve(upToShortest);
    if (shortest.outcome != MivoSolverOutcome::Solved)
        return false;
    upToShortest.maxDepth = static_cast<int32_t>(shortest.solution.size());
    // A way that leaves a kind idle is a way too on the table with that kind out of play: where
    // that table has no way as short, every shortest way uses the kind. Only the kinds left are
    // checked way by way.
    uint32_t left = 0;
    for (MivoBlockKind kind : MivoKindsIn(kinds))
    {
        const MivoSolverResult idle = MivoLevelSolver(map_.Without(MivoKindBit(kind))).Solve(upToShortest);
        // Searched to the depth, not stopped short by the states or the time.
        const bool noneAsShort = idle.outcome != MivoSolverOutcome::Solved &&
                                 idle.states < limits.maxStates && idle.seconds < limits.maxSeconds;
        left |= noneAsShort ? 0 : MivoKindBit(kind);
    }
    if (left == 0)
        return true;
    const MivoLevelGraph graph = Explore(upToShortest);
    const std::vector<int32_t> distances = graph.DistancesToWin();
    std::vector<MivoLevelMove> way;
    // Depth first along the moves one step nearer a win, each way played out at its end.
    auto walk = [&](auto&& self, uint32_t node) -> bool
    {
        if (distances[node] == 0)
        {
            MivoReplayLog log;
            return Replay(way, limits.frameTime, &log) && (log.KindsAtWork() & left) == left;
        }
        std::vector<std::pair<MivoLevelMove, uint32_t>> moves;
        graph.Successors(node, moves);
        for (const auto& [move, target] : moves)
        {
            if (distances[target] != distances[node] - 1)
                continue;
            way.push_back(move);
            const bool uses = self(self, target);
            way.pop_back();
            if (!uses)
                return false;
        }
        return true;
    };
    return walk(walk, 0);
}

bool MivoLevelSolver::Replay(const std::vector<MivoLevelMove>& moves, float frameTime,
                             MivoReplayLog* log) const
{
    const std::unique_ptr<MivoMapTable> table = map_.Build();
    MivoBoard board;
    board.SetTable(table.get());
    board.speed = MivoSolverLimits().speed;
    std::optional<ReplayListener> listener;
    if (log)
        board.callbacks = &listener.emplace(*log);
    board.RunPasses();
    uint64_t ticks = 0;
    constexpr int32_t kMaxTicks = 20000;
    for (const MivoLevelMove& move : moves)
    {
        MivoMapCell* cell = table->Cell(move.x, move.y);
        MivoBlock* block = cell ? cell->top.get() : nullptr;
        if (!block || !block->IsSelectable())
            return false;
        board.Select(block);
        if (move.direction != 0)
        {
            if (!board.CanMove(block, move.direction, true))
                return false;
            board.TryMove(block, move.direction, false);
            board.selected = nullptr;
        }
        if (!TickToRest(board, frameTime, kMaxTicks, ticks))
            return false;
    }
    // Won as the play judges it: no numbered, plus or minus block left.
    bool won = true;
    table->ForEachCell(
        [&](const MivoMapCell& cell)
        {
            const MivoBlock* top = cell.top.get();
            if (top && (top->Is(MivoBlockKind::Number) || top->Is(MivoBlockKind::Plus) ||
                        top->Is(MivoBlockKind::Minus)))
                won = false;
        });
    return won;
}
