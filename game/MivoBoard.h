// The running state of one level: the bound table, the selection, the blocks in motion, the
// queue of board events, and the rules that move blocks tick by tick.
#pragma once

#include "MivoBoardEvent.h"
#include "MivoMapDatabase.h"

#include <array>
#include <memory>
#include <vector>

// A set of the cells of a table, one bit per cell at x * kSize + y: in grid order.
struct MivoCellBits
{
    static constexpr int32_t kCells = MivoMapTable::kSize * MivoMapTable::kSize;
    static uint32_t IndexOf(const MivoMapCell& cell)
    {
        return static_cast<uint32_t>(cell.x * MivoMapTable::kSize + cell.y);
    }
    void Add(const MivoMapCell& cell) { words[IndexOf(cell) / 64] |= Bit(cell); }
    void Remove(const MivoMapCell& cell) { words[IndexOf(cell) / 64] &= ~Bit(cell); }
    void Set(const MivoMapCell& cell, bool on) { on ? Add(cell) : Remove(cell); }
    bool Has(const MivoMapCell& cell) const { return (words[IndexOf(cell) / 64] & Bit(cell)) != 0; }
    bool Empty() const { return words == decltype(words){}; }
    void Clear() { words = {}; }

    std::array<uint64_t, kCells / 64> words{};

private:
    static uint64_t Bit(const MivoMapCell& cell) { return uint64_t{1} << (IndexOf(cell) % 64); }
};

struct MivoMoveRecord
{
    MivoBlock* block = nullptr;
    int32_t direction = 0;
    uint8_t stopAtNextCell = 0;
    // The step under way, when the block has reserved its next cell: the cell it leaves, the cell
    // it enters and the direction between them. A change of direction takes effect at the next step.
    MivoMapCell* stepFrom = nullptr;
    MivoMapCell* stepTo = nullptr;
    int32_t stepDirection = 0;
};

class MivoBoard
{
public:
    // Runs of the passes that one run may queue behind itself: one per cell of a table, far more
    // than the steps that begin at one time on a board at play.
    static constexpr int32_t kMaxQueuedPassRuns = MivoMapTable::kSize * MivoMapTable::kSize + 1;

    // A board bound to an empty table of its own.
    static std::unique_ptr<MivoBoard> Create();
    MivoBoard();
    MivoBoard(const MivoBoard&) = delete;
    MivoBoard& operator=(const MivoBoard&) = delete;
    ~MivoBoard();

    // Binds the table (owned elsewhere), drops the selection and every motion; events stay. The
    // passes visit the cells that hold track pieces, teleports and magnets at this time (the rules
    // never add, move or turn any of them); a table whose floors or magnets are changed by hand
    // afterwards is bound again.
    void SetTable(MivoMapTable* table);
    // Drops every motion and queued event; the presentation frees what it attached to them.
    void Clear();
    // At rest: nothing moves and no blocking event waits.
    bool IsAtRest() const { return moving.empty() && pendingBlocking <= 0; }

    // The cell whose floor or top is the block (a block stands in one cell at most). The board
    // notes the cell each block is put in; a block that something else moved is searched for.
    MivoMapCell* FindCellOfBlock(const MivoBlock* block) const;
    // Puts the block on the cell's top, noting where it stands.
    static void PutTop(MivoMapCell& cell, std::unique_ptr<MivoBlock> block);
    // The cell next to the block's in an axis direction (its own cell for other values); none
    // outside the table or for a block on no cell.
    MivoMapCell* NeighbourCell(const MivoBlock* block, int32_t direction) const;
    // A player's pick: D blocks vanish (blocking event), movable blocks become the selection.
    void Select(MivoBlock* block);
    // The direction adjacent magnets push or pull a numbered block in, or 0.
    int32_t MagnetDirection(const MivoBlock* block) const;
    bool CanMove(const MivoBlock* block, int32_t direction, bool combine) const;
    void StartMoving(MivoBlock* block, int32_t direction, bool stopAtNextCell);
    // Ends the block's motion, releases the step it had begun and puts it back on its cell.
    void StopMoving(MivoBlock* block);
    MivoMoveRecord* FindMoveRecord(const MivoBlock* block);
    bool IsMoving(const MivoBlock* block) const;

    // One step request: the block starts or goes on moving in the direction, or comes to rest.
    void TryMove(MivoBlock* block, int32_t direction, bool stopAtNextCell);
    // The block begins a step into its neighbour cell target: it moves on, combines, or stops.
    void StepInto(MivoMapCell& target, MivoBlock& block);
    // A U block that comes to rest hardens into a wall.
    void OnBlockAtRest(MivoBlock* block);
    // The three passes, in their fixed order, with act set. Asked for while a pass runs (a step
    // that a pass starts asks for them), they run once that pass is over, in the order asked, at
    // most kMaxQueuedPassRuns times; a pass never runs inside another.
    void RunPasses();
    void ResolveTracks();
    void ResolveTeleports();
    void ResolveMagnets(bool act);
    // Whether the far end of the track can take a load carried in the direction.
    bool TrackCanRun(const MivoTrack& track, int32_t direction) const;
    // Hands the events to the presentation, then moves the blocks by speed x dt.
    void Tick(float dt);

    void QueueEvent(MivoEventKind kind, bool blocking, MivoBlock* a, MivoBlock* b, int32_t valueA,
                    int32_t valueB, MivoTrack* track = nullptr);
    // Tells the presentation what the event changes; done once per event.
    void AnnounceEvent(MivoBoardEvent& event);
    // Announces the event if that has not happened, then changes the grid.
    void ApplyEvent(MivoBoardEvent& event);
    // Tells the presentation every track cell's floor may have a new look.
    void RefreshTrackCells(const MivoTrack& track);

    MivoMapTable* table = nullptr;
    MivoBlock* selected = nullptr;
    float speed = 1.0f;
    float moveClock = 0.0f;
    std::vector<MivoMoveRecord> moving;
    std::vector<MivoBoardEvent> events;
    MivoCallbacks* callbacks = nullptr;
    int32_t pendingBlocking = 0;
    // While noteChanges is set, every cell whose top block the rules put, free, turn or renumber
    // is added to changedCells (the caller empties it between moves): what a move changed, without
    // a walk over the table. A cell a block only passed through (empty when first changed and
    // empty again) is taken out: a slide lists the cells it left and ended in, not its way.
    bool noteChanges = false;
    MivoCellBits changedCells;

private:
    // The cells of the bound table whose floor or top is of the kind, in grid order.
    std::vector<MivoMapCell*> CellsWith(MivoBlockKind kind) const;

    // Returns true when a blocking event was held back.
    bool DispatchEvents();
    void SendDirect(MivoEventKind kind, MivoBlock* block);
    void BeginStep(MivoMoveRecord& record, MivoMapCell& from, MivoMapCell& to, int32_t direction);
    static void EndStep(MivoMoveRecord& record);
    bool StepIntoTrack(MivoMapCell& src, MivoBlock& block, MivoBlock* t);
    bool StepIntoCombination(MivoBlock& block, MivoBlock* t);
    // Moves record i one tick.
    void AdvanceRecord(size_t i, float s);
    void Arrive(MivoBlock& block, MivoMapCell& from, MivoMapCell& to);
    bool TeleportBlock(MivoMapCell& cell, MivoBlock& entrance, MivoBlock& block);
    MivoMapCell* ChooseExit(MivoTeleportGroup& group, const MivoBlock& entrance);
    // Runs one pass, then the passes asked for while it ran (inside another pass: only the pass).
    template <class Pass> void RunPass(Pass&& pass);
    // Runs the queued passes unless a pass is running already.
    void RunQueuedPasses();
    void TrackPass();
    void TeleportPass();
    void MagnetPass(bool act);
    // Applies a magnet's result to the block next to it; away is the direction from the magnet.
    void SteerByMagnet(MivoBlock& magnet, MivoBlock& block, int32_t away, int32_t result);
    int32_t MagnetResult(const MivoBlock& magnet, int32_t d, const MivoBlock& block) const;
    // Frees the top block of the cell, forgetting every reference the board holds to it.
    void FreeTop(MivoMapCell& cell);
    // Called before the cell's top changes: notes the cell, and whether it was empty, the first
    // time in a move.
    void NoteChange(MivoMapCell* cell);
    // Called after the cell lost its top.
    void NoteEmptied(const MivoMapCell& cell);

    bool passRunning_ = false;
    int32_t queuedPassRuns_ = 0; // runs of the three passes asked for while a pass ran
    std::unique_ptr<MivoMapTable> ownTable_;
    std::vector<MivoBoardEvent> held_; // events a dispatch keeps for the next tick
    // What each pass looks at: the cells of track pieces, of teleports and of magnets.
    std::vector<MivoMapCell*> trackCells_, teleportCells_, magnetCells_;
    // Of the cells in changedCells, those that were empty when first noted.
    MivoCellBits emptyAtStart_;
};
