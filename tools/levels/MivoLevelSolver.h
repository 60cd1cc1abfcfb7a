// Proves a level: plays every move a player can make from the table's start through the board
// rules the game plays (MivoBoard and its passes), breadth-first over the board states at rest,
// and reports whether the level can be won, a shortest way to win, how many shortest ways
// there are and how the moves branch. Bounded by states, depth and time.
#pragma once

#include "MivoBoard.h"
#include "MivoLevelMap.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct MivoSolverLimits
{
    size_t maxStates = 2'000'000;   // distinct states kept before the search gives up
    int32_t maxDepth = 40;          // moves
    double maxSeconds = 300.0;      // a last guard; the state bound normally ends a search first
    float frameTime = 1.0f / 60.0f; // the board is ticked as the play ticks it, at this frame time
    float speed = 5.0f;
    // A move whose blocks have gone this far (in cells) without the board coming to rest never
    // rests: a block going round through teleports or tracks for good.
    float maxTravelPerMove = 120.0f;
    // States whose numbered, plus and minus blocks cannot all be gone within the depth bound (a
    // move clears at most two) are left unplayed: the search finds the same wins within the bound,
    // the same ways to them and the same distances along those ways, from far fewer states, but
    // proves nothing unsolvable. An exploration for every state keeps this off.
    bool skipHopeless = false;

    int32_t MaxTicksPerMove() const;
};

// What the board reported while a solution was played.
struct MivoReplayLog
{
    // The kinds the moves put to work, one bit each: a magnet that pushed or pulled, a teleport
    // that sent a block, a track that started, a U block that set, a D block clicked away, a wall
    // a block hit, a joker that moved or cleared a numbered block, and every other kind that moved.
    uint32_t KindsAtWork() const;

    std::array<int32_t, 14> events{}; // events presented, by kind
    // The kinds of the blocks that started moving, that vanished in pairs and that a moving block
    // hit, one bit each.
    uint32_t movedKinds = 0, vanishedKinds = 0, hitKinds = 0;
};

enum class MivoSolverOutcome
{
    Solved,     // a shortest solution was found and every shorter sequence was tried
    Unsolvable, // every reachable state was tried and none is won
    OutOfBounds // the bounds ended the search first: nothing is proven
};

struct MivoSolverResult
{
    double Branching() const;

    MivoSolverOutcome outcome = MivoSolverOutcome::OutOfBounds;
    std::vector<MivoLevelMove> solution; // a shortest solution when solved
    uint64_t shortestCount = 0;          // distinct shortest move sequences (saturates at 2^63)
    bool countCut = false;               // the bounds ended the search before the count was whole
    size_t states = 0;                   // distinct states at rest reached, the start included
    size_t expanded = 0;                 // states whose moves were all played
    uint64_t moves = 0;                  // moves played
    uint64_t ticks = 0;                  // board ticks those moves took
    uint64_t endlessMoves = 0;           // moves after which the board never came to rest
    std::vector<int32_t> pathBranching;  // the moves open in each state along the solution
    bool unsteadyStart = false;          // the start's first passes moved something
    double seconds = 0.0;                // the processor time of the search's thread
    // Of which the board's moves and ticks took about this much, from a sample of the plays.
    double playSeconds = 0.0;
};

// The board states at rest found from a table's start, breadth-first, and the moves between them.
// A state packs one word per top block in grid order (cell, kind, number or facing, the exit
// teleport it last came out of), then the tracks' directions and the teleport groups' rotations.
// The walls of the start stand in every state and are left out.
class MivoLevelGraph
{
public:
    size_t Size() const { return offsets_.size(); }
    const uint32_t* Words(uint32_t node) const { return words_.data() + offsets_[node]; }
    size_t WordCount(uint32_t node) const;
    int32_t Depth(uint32_t node) const { return static_cast<int32_t>(DepthAt(offsets_[node])); }
    // No numbered, plus or minus block is left: the level is won.
    bool Won(uint32_t node) const { return WonAt(offsets_[node]); }
    // The kinds of the top blocks, one bit each (1 << kind).
    uint32_t TopKinds(uint32_t node) const;
    // The fewest moves that can win from the state: its numbered, plus and minus blocks must all
    // go, and a move takes at most two of them.
    int32_t MovesToWinAtLeast(uint32_t node) const;
    // Whether every state reachable from the start was reached and its moves played.
    bool Complete() const { return complete_; }
    // Every state this many moves or fewer from the start had its moves played (a large number
    // when complete). A state at depth k whose distance to a win is d has that distance and its
    // shortest count exact when k + d - 1 is at most this.
    int32_t ExpandedDepth() const;
    // Moves from each state to the nearest win, -1 where none is reachable (exact when complete).
    std::vector<int32_t> DistancesToWin() const;
    // Shortest move sequences from each state to a win, 0 where none (saturating).
    std::vector<uint64_t> ShortestCounts(const std::vector<int32_t>& distances) const;
    // The moves of a state that lead one step nearer a win, with their target states.
    void Successors(uint32_t node, std::vector<std::pair<MivoLevelMove, uint32_t>>& out) const;

private:
    friend class MivoLevelSolver;
    using State = std::vector<uint32_t>;

    // Each state's words follow a header of kHeader words: its node, its depth with a bit for a
    // won state, and the shortest sequences from the start to it (64 bits): a lookup and what
    // follows it read one run of words.
    static constexpr uint32_t kHeader = 4;
    static constexpr uint32_t kDepthMask = 0xffff, kWonBit = 1u << 31;

    // Where the words of the state of count words whose hash is given begin in words_, adding it
    // when new at the depth and with the shortest sequences given; sets added accordingly. The
    // slots must have room for it (Reserve).
    uint32_t Intern(const uint32_t* words, size_t count, uint64_t hash, uint32_t depth, uint64_t paths,
                    bool& added);
    // Where the words of a state are written to be interned: where the store keeps the next new
    // state, so that one is not copied. Reserve makes the room.
    uint32_t* Room();
    // Intern's adding of a new state into the empty slot found for it; returns where its words
    // begin. The words are outside the store or in its Room.
    uint32_t Add(const uint32_t* words, size_t count, size_t slot, uint32_t print, uint32_t depth,
                 uint64_t paths);
    // The node, depth, whether won and shortest sequences of the state whose words begin at.
    uint32_t NodeAt(uint32_t at) const { return words_[at - kHeader]; }
    uint32_t DepthAt(uint32_t at) const { return words_[at - kHeader + 1] & kDepthMask; }
    bool WonAt(uint32_t at) const { return (words_[at - kHeader + 1] & kWonBit) != 0; }
    uint64_t PathsAt(uint32_t at) const;
    void SetPathsAt(uint32_t at, uint64_t paths);
    static bool Equal(const uint32_t* stored, const uint32_t* words, size_t count);
    // The slot a state's hash print is first looked for in.
    size_t SlotOf(uint32_t print) const;
    // Makes room in the slots and the store for this many more states of at most so many words.
    void Reserve(size_t more, size_t words);
    // Rehashes into this many slots (a power of two, at least 1024).
    void Grow(size_t slots);
    // Empty, keeping the lists' room.
    void Clear();
    // One past the last edge of the expanded node.
    uint32_t EdgeEnd(uint32_t node) const;

    std::vector<uint32_t> words_;
    size_t wordsEnd_ = 0;           // the words in use: words_ keeps room after them
    std::vector<uint32_t> offsets_; // where each node's state begins in words_
    // Open addressing on the top bits of the states' hashes: each slot holds the high half of
    // its state's hash over the offset of its words, 0 for an empty slot.
    std::vector<uint64_t> slots_, oldSlots_;
    uint32_t slotShift_ = 32;         // a print shifted right this far is its first slot
    size_t slotMask_ = 0;             // the slots less one
    std::vector<uint32_t> parent_;    // the node each was first reached from
    std::vector<uint16_t> via_;       // and the move that reached it, packed
    std::vector<uint32_t> edgeStart_; // per expanded node, its first edge
    uint32_t edgeCount_ = 0;          // the edges of the expanded nodes
    // The edges themselves (target nodes and packed moves), kept only for a search past the
    // wins: a search up to them needs no more than each node's count.
    bool keepEdges_ = true;
    std::vector<uint32_t> edges_;
    std::vector<uint16_t> edgeMoves_;
    uint32_t fixedKinds_ = 0; // the kinds standing outside the states: the start's walls
    bool complete_ = false;
};

class MivoLevelSolver
{
public:
    explicit MivoLevelSolver(const MivoLevelMap& map);
    ~MivoLevelSolver();
    MivoLevelSolver(const MivoLevelSolver&) = delete;
    MivoLevelSolver& operator=(const MivoLevelSolver&) = delete;

    // Searches from the table's start (after the passes the play runs once when a level is built)
    // up to the shortest wins.
    MivoSolverResult Solve(const MivoSolverLimits& limits);
    // Searches on past the wins until every reachable state is found or the bounds end it.
    MivoLevelGraph Explore(const MivoSolverLimits& limits, MivoSolverResult* result = nullptr);
    // The table whose start is the state of the node: the floors of this table with the node's top
    // blocks. False when a level file cannot say it (a block on a teleport or a track's first cell,
    // a running track, a turned teleport rotation, a block that remembers a teleport).
    bool MapOf(const MivoLevelGraph& graph, uint32_t node, MivoLevelMap& map) const;
    // Plays the moves on a fresh table the way the play does, ticking at the frame time until the
    // board rests after each; true when every move is taken and the table ends won. With a log,
    // notes what the board reported on the way.
    bool Replay(const std::vector<MivoLevelMove>& moves, float frameTime, MivoReplayLog* log = nullptr) const;
    // Whether every shortest solution puts the kinds to work (MivoReplayLog::KindsAtWork); false
    // when the limits end the search before a win. The search past the start is bounded by the
    // limits as in Explore; a depth bound of the shortest length is enough.
    bool EveryShortestWinUses(uint32_t kinds, const MivoSolverLimits& limits);

private:
    using State = MivoLevelGraph::State;

    void Search(const MivoSolverLimits& limits, bool pastWins, MivoLevelGraph& graph,
                MivoSolverResult& result);
    void Capture(State& state) const;
    // The state after a move from the origin's that came to rest, written from out on: the
    // origin's words but for the cells the board noted as changed. Returns the state's hash, found
    // from the origin's and the words that changed, and sets count to its words. The table is
    // put back in the origin's state on the way: only the cells noted change.
    uint64_t CaptureAndUndo(uint32_t* out, uint32_t& count);
    // A cell the origin has no block on where one came, and one the origin has a block on that
    // was left empty, with the words now and before: the last of each a move changed, put back
    // at its end, when a block that only slid goes back as it is.
    struct Slide
    {
        MivoMapCell* arrived = nullptr;
        uint32_t arrivedWord = 0;
        MivoMapCell* left = nullptr;
        uint32_t leftWord = 0;
    };
    // Gives the cell back the top it had in the origin, from its words before and now, or notes
    // it in the slide (putting back the one noted before).
    void PutBack(MivoMapCell& cell, uint32_t now, uint32_t before, Slide& slide);
    // Puts back the cells noted in the slide.
    void SlideBack(const Slide& slide);
    // Writes the words after the top blocks, the tracks' and the teleport groups', from out on;
    // returns the end.
    uint32_t* WriteRest(uint32_t* out) const;
    // The tracks and teleport groups as the words after the top blocks say.
    void RestoreRest(const uint32_t* words);
    // No motion, event or selection, as on a board at rest.
    void ResetMotion();
    // The word of the cell's top block.
    uint32_t WordOf(const MivoMapCell& cell) const;
    // Puts the table in the state of the count words, which becomes the origin, changing only
    // what differs from the origin before when the table is known to show that.
    void Restore(const uint32_t* words, size_t count);
    // The top blocks of the table and the origin's words by cell made those of the words.
    void RestoreTops(const uint32_t* words);
    // Notes the cell's top word in the origin (kNoWord for none), keeping the tops' hash.
    void SetOriginAt(uint32_t cell, uint32_t word);
    // A fresh block of the word's kind, value and teleport memory on the cell's top (the block
    // standing there made afresh, or a spare one).
    void PlaceTop(MivoMapCell& cell, uint32_t word);
    // Makes a fresh block (Init) of the word's kind and value and keeps it in fresh_ for copying.
    const MivoBlock& FreshBlock(uint32_t word);
    // The block set where a fresh one of its word would stand.
    void SettleTop(MivoBlock& block, const MivoMapCell& cell, uint32_t word) const;
    // Plays one move from the state on the table; false when the board refuses it or never rests.
    bool Play(const MivoLevelMove& move, const MivoSolverLimits& limits, uint64_t& ticks);
    // Play, timed now and then for the result's play time.
    bool SampledPlay(const MivoLevelMove& move, const MivoSolverLimits& limits, uint64_t& ticks);
    // Play, timed; draws the next timed play.
    bool TimedPlay(const MivoLevelMove& move, const MivoSolverLimits& limits, uint64_t& ticks);
    // Plays every move of the node's state and adds the states they reach.
    void Expand(uint32_t node, const MivoSolverLimits& limits, MivoLevelGraph& graph,
                MivoSolverResult& result);
    // Plays the moves of the node, whose state is the origin's, and adds the edges to the states
    // they reach in the order played, adding the states that are new.
    void PlayMoves(uint32_t node, const MivoSolverLimits& limits, MivoLevelGraph& graph,
                   MivoSolverResult& result);
    // The node being expanded, the depth of the states its moves reach and the shortest sequences
    // to it.
    struct Parent
    {
        uint32_t node, depth;
        uint64_t paths;
    };
    // The edge from the parent by the move to the state of the count words whose hash is given,
    // adding that state when new.
    void AddEdge(const Parent& parent, uint16_t move, const uint32_t* words, uint32_t count, uint64_t hash,
                 MivoLevelGraph& graph);
    // A shortest solution, the count of them and the branching along it.
    void TakeSolution(const MivoLevelGraph& graph, MivoSolverResult& result) const;
    static bool TickToRest(MivoBoard& board, float frameTime, int32_t maxTicks, uint64_t& ticks);

    MivoLevelMap map_;
    std::unique_ptr<MivoMapTable> table_;
    MivoBoard board_;
    // The cells by grid index (x * kSize + y), none outside the play.
    std::array<MivoMapCell*, MivoCellBits::kCells> cells_{};
    std::vector<MivoMapCell*> open_;                // those without a wall from the start
    uint32_t fixedKinds_ = 0;                       // the kinds of those walls (one bit, or none)
    std::vector<MivoBlock*> teleports_;             // every teleport floor, in grid order
    std::vector<std::unique_ptr<MivoBlock>> spare_; // blocks kept for the next restore
    // No cell is reserved or being left: true after a restore and after each move that rests.
    bool settled_ = false;
    State start_; // the table as loaded
    // The state last restored, whose moves are being played: the origin of each move.
    State origin_{0};
    // Whether the table shows the origin: after a restore, and after each move once it is put
    // back; not after a move that never rested.
    bool shownKnown_ = false;
    State state_; // the start
    // The origin's top words by grid index, kNoWord where no block stands, and their mixed
    // values for the hash (0 where no block stands).
    std::array<uint32_t, MivoCellBits::kCells> originAt_{};
    std::array<uint64_t, MivoCellBits::kCells> originMix_{};
    uint64_t originTops_ = 0; // the hash of the origin's top words
    // FreshBlock's blocks by the kind and value bits of their words.
    std::array<std::unique_ptr<const MivoBlock>, 256> fresh_;
    uint32_t stateRoom_ = 0; // the most words a state can have
    bool hasRest_ = false;   // the table has tracks or teleport groups: words after the tops
    int32_t winDepth_ = -1;  // the depth of the first win found, -1 before
    // Plays are timed in a random sample of one in kTimedPlayEvery: reading the clock around
    // each would cost more than a short play. The time of all is the sample's, scaled by their
    // ticks (and one per play) against the sample's: the ticks tell most of a play's time, so a
    // small sample does. The plays between two timed ones are drawn at random, so the sample
    // keeps no step with the order the moves are played in.
    static constexpr uint32_t kTimedPlayEvery = 64;
    uint64_t random_ = 0;
    uint32_t untilTimed_ = 1; // plays until the next timed one, this one included
    uint64_t playUnits_ = 0, timedUnits_ = 0;
    double timedSeconds_ = 0.0;
};
