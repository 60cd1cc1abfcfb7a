#include "MivoBoard.h"

#include <algorithm>

namespace
{
constexpr std::array<int32_t, 4> kAxes = {MivoDirection::Up, MivoDirection::Right, MivoDirection::Down,
                                          MivoDirection::Left};

int32_t StepX(int32_t direction)
{
    return direction == MivoDirection::Right ? 1 : direction == MivoDirection::Left ? -1 : 0;
}

int32_t StepY(int32_t direction)
{
    return direction == MivoDirection::Down ? 1 : direction == MivoDirection::Up ? -1 : 0;
}

// A cell a block may step into: empty or being left, and not promised to another block.
bool IsFreeFor(const MivoMapCell& cell, const MivoMoveRecord* record)
{
    const bool ownReservation = record && record->stepTo == &cell;
    return (!cell.top || cell.vacating) && (!cell.reserved || ownReservation);
}
} // namespace

std::unique_ptr<MivoBoard> MivoBoard::Create()
{
    auto board = std::make_unique<MivoBoard>();
    board->ownTable_ = std::make_unique<MivoMapTable>();
    board->SetTable(board->ownTable_.get());
    return board;
}

MivoBoard::MivoBoard() = default;
MivoBoard::~MivoBoard() = default;

void MivoBoard::SetTable(MivoMapTable* newTable)
{
    table = newTable;
    selected = nullptr;
    moving.clear();
    trackCells_ = CellsWith(MivoBlockKind::Track);
    teleportCells_ = CellsWith(MivoBlockKind::Teleport);
    magnetCells_ = CellsWith(MivoBlockKind::Magnet);
}

std::vector<MivoMapCell*> MivoBoard::CellsWith(MivoBlockKind kind) const
{
    std::vector<MivoMapCell*> cells;
    if (!table)
        return cells;
    table->ForEachCell(
        [&](MivoMapCell& cell)
        {
            const MivoBlock* block = kind == MivoBlockKind::Magnet ? cell.top.get() : cell.floor.get();
            if (block && block->Is(kind))
                cells.push_back(&cell);
        });
    return cells;
}

void MivoBoard::Clear()
{
    moving.clear();
    std::vector<MivoBoardEvent> dropped;
    dropped.swap(events);
    pendingBlocking = 0;
    if (callbacks)
    {
        for (MivoBoardEvent& event : dropped)
            callbacks->OnEventDone(event);
    }
}

MivoMapCell* MivoBoard::FindCellOfBlock(const MivoBlock* block) const
{
    if (!table || !block)
        return nullptr;
    const auto holds = [block](const MivoMapCell& cell)
    { return cell.top.get() == block || cell.floor.get() == block; };
    if (MivoMapCell* known = block->boardCell; known && table->IsCellInPlay(known) && holds(*known))
        return known;
    for (int32_t x = 0; x < table->width; ++x)
    {
        for (int32_t y = 0; y < table->height; ++y)
        {
            if (MivoMapCell* cell = table->Cell(x, y); cell && holds(*cell))
            {
                block->boardCell = cell;
                return cell;
            }
        }
    }
    return nullptr;
}

void MivoBoard::PutTop(MivoMapCell& cell, std::unique_ptr<MivoBlock> block)
{
    if (block)
        block->boardCell = &cell;
    cell.top = std::move(block);
}

MivoMapCell* MivoBoard::NeighbourCell(const MivoBlock* block, int32_t direction) const
{
    const MivoMapCell* cell = FindCellOfBlock(block);
    if (!cell)
        return nullptr;
    return table->Cell(cell->x + StepX(direction), cell->y + StepY(direction));
}

void MivoBoard::Select(MivoBlock* block)
{
    if (!block)
        return;
    if (block->Is(MivoBlockKind::Disappearing))
        QueueEvent(MivoEventKind::Disappear, true, block, nullptr, 0, 0);
    else if (block->IsMovable())
        selected = block;
}

int32_t MivoBoard::MagnetResult(const MivoBlock& magnet, int32_t d, const MivoBlock& block) const
{
    // d runs from the magnet to the block, o back towards the magnet.
    const int32_t o = MivoDirection::Opposite(d);
    const int32_t m = magnet.magnetDirection;
    const bool even = block.number % 2 == 0;
    if (MivoDirection::IsNear(m, o))
        return even ? o : d;
    if (MivoDirection::IsNear(m, d))
        return even ? d : o;
    return 0;
}

int32_t MivoBoard::MagnetDirection(const MivoBlock* block) const
{
    if (!block || !block->Is(MivoBlockKind::Number))
        return 0;
    int32_t result = 0;
    for (int32_t d : kAxes)
    {
        const MivoMapCell* cell = NeighbourCell(block, d);
        if (!cell || !cell->top || !cell->top->Is(MivoBlockKind::Magnet))
            continue;
        const int32_t r = MagnetResult(*cell->top, MivoDirection::Opposite(d), *block);
        if (r != 0)
            result = r;
    }
    return result;
}

bool MivoBoard::CanMove(const MivoBlock* block, int32_t direction, bool combine) const
{
    if (!block || !block->IsMovable())
        return false;
    const int32_t m = MagnetDirection(block);
    if (m != 0 && m != direction)
        return false;
    const MivoMapCell* own = FindCellOfBlock(block);
    if (!own || own->reserved)
        return false;
    const MivoMapCell* target = NeighbourCell(block, direction);
    if (!target)
        return false;
    if (!target->top)
        return true;
    return combine && MivoBlock::CanCombine(target->top.get(), *block);
}

void MivoBoard::SendDirect(MivoEventKind kind, MivoBlock* block)
{
    if (!callbacks)
        return;
    MivoBoardEvent event(this, kind, false, block, nullptr, 0, 0);
    callbacks->OnBoardEvent(event);
}

void MivoBoard::StartMoving(MivoBlock* block, int32_t direction, bool stopAtNextCell)
{
    SendDirect(MivoEventKind::Started, block);
    MivoMoveRecord record;
    record.block = block;
    record.direction = direction;
    record.stopAtNextCell = stopAtNextCell ? 1 : 0;
    moving.push_back(record);
}

void MivoBoard::StopMoving(MivoBlock* block)
{
    auto it = std::find_if(moving.begin(), moving.end(),
                           [block](const MivoMoveRecord& r) { return r.block == block; });
    if (it == moving.end())
        return;
    SendDirect(MivoEventKind::Stopped, block);
    // The presentation may have started motions of its own; look the record up again.
    it = std::find_if(moving.begin(), moving.end(),
                      [block](const MivoMoveRecord& r) { return r.block == block; });
    if (it == moving.end())
        return;
    EndStep(*it);
    moving.erase(it);
    if (const MivoMapCell* cell = FindCellOfBlock(block))
    {
        block->x = cell->fx;
        block->y = cell->fy;
    }
}

MivoMoveRecord* MivoBoard::FindMoveRecord(const MivoBlock* block)
{
    auto it = std::find_if(moving.begin(), moving.end(),
                           [block](const MivoMoveRecord& r) { return r.block == block; });
    return it == moving.end() ? nullptr : &*it;
}

bool MivoBoard::IsMoving(const MivoBlock* block) const
{
    return std::any_of(moving.begin(), moving.end(),
                       [block](const MivoMoveRecord& r) { return r.block == block; });
}

void MivoBoard::BeginStep(MivoMoveRecord& record, MivoMapCell& from, MivoMapCell& to, int32_t direction)
{
    from.vacating = 1;
    to.reserved = 1;
    record.stepFrom = &from;
    record.stepTo = &to;
    record.stepDirection = direction;
}

void MivoBoard::EndStep(MivoMoveRecord& record)
{
    if (record.stepFrom)
        record.stepFrom->vacating = 0;
    if (record.stepTo)
        record.stepTo->reserved = 0;
    record.stepFrom = nullptr;
    record.stepTo = nullptr;
    record.stepDirection = 0;
}

// ---- the rules ----

void MivoBoard::TryMove(MivoBlock* block, int32_t direction, bool stopAtNextCell)
{
    if (!block || !MivoDirection::IsAxis(direction))
        return;
    MivoMapCell* next = NeighbourCell(block, direction);
    if (next)
    {
        const int32_t m = MagnetDirection(block);
        if (m != 0 && m != direction)
            return;
        if (!IsMoving(block))
            StartMoving(block, direction, stopAtNextCell);
        // A block half-way through a step finishes it before it begins another.
        const MivoMoveRecord* record = FindMoveRecord(block);
        if (!stopAtNextCell && record && !record->stepTo)
            StepInto(*next, *block);
    }
    else
    {
        StopMoving(block);
    }
    if (!IsMoving(block))
        OnBlockAtRest(block);
}

void MivoBoard::StepInto(MivoMapCell& target, MivoBlock& block)
{
    MivoMapCell* src = FindCellOfBlock(&block);
    MivoMoveRecord* record = FindMoveRecord(&block);
    if (!src || !record)
        return;
    MivoBlock* t = target.top.get();
    if (IsFreeFor(target, record))
    {
        const int32_t direction =
            target.x != src->x ? (target.x > src->x ? 3 : 7) : (target.y > src->y ? 5 : 1);
        BeginStep(*record, *src, target, direction);
        if (!src->floor || !src->floor->Is(MivoBlockKind::Teleport))
            block.lastTeleport = nullptr;
        RunPasses();
        return;
    }
    if (StepIntoCombination(block, t))
        return;
    if (src->floor && src->floor->Is(MivoBlockKind::Track) && StepIntoTrack(*src, block, t))
        return;
    if (t)
        QueueEvent(MivoEventKind::Hit, false, &block, t, 0, 0);
    StopMoving(&block);
}

bool MivoBoard::StepIntoCombination(MivoBlock& block, MivoBlock* t)
{
    // Only the player's own move combines, against the block right next to it; a pair that
    // cannot combine is a plain hit, so the block never enters an occupied cell.
    if (&block != selected || !t || !MivoBlock::CanCombine(t, block))
        return false;
    if (t->Is(MivoBlockKind::Number) && block.Is(MivoBlockKind::Number))
    {
        if (t->number == block.number)
        {
            QueueEvent(MivoEventKind::Vanish, true, &block, t, 0, 0);
            return true;
        }
        const int32_t sum = t->number + block.number;
        const int32_t value = sum < 10 ? sum : std::abs(t->number - block.number);
        QueueEvent(MivoEventKind::Combine, true, &block, t, 0, value);
        return true;
    }
    if (block.Is(MivoBlockKind::Plus))
        QueueEvent(MivoEventKind::Combine, true, &block, t, 0, t->number + 1);
    else if (block.Is(MivoBlockKind::Minus))
        QueueEvent(MivoEventKind::Combine, true, &block, t, 0, t->number - 1);
    else
        QueueEvent(MivoEventKind::Vanish, true, &block, t, 0, 0);
    return true;
}

bool MivoBoard::StepIntoTrack(MivoMapCell& src, MivoBlock& block, MivoBlock* t)
{
    MivoTrack* track = table->FindTrack(src.floor->trackId);
    const MivoMoveRecord* record = FindMoveRecord(&block);
    if (!track || !record)
        return false;
    const int32_t direction = record->direction;
    if (t && track->direction == direction && CanMove(t, direction, false))
    {
        // The carried block pushes the one ahead on and follows it by exactly one cell.
        QueueEvent(MivoEventKind::Hit, false, &block, t, 0, 0);
        TryMove(t, direction, false);
        StopMoving(&block);
        TryMove(&block, direction, true);
        return true;
    }
    if (t)
        QueueEvent(MivoEventKind::Hit, false, &block, t, 0, 0);
    StopMoving(&block);
    if (track->direction != 0)
    {
        const int32_t old = track->direction;
        track->direction = 0;
        QueueEvent(MivoEventKind::TrackStopped, false, nullptr, nullptr, 0, old, track);
    }
    return true;
}

void MivoBoard::OnBlockAtRest(MivoBlock* block)
{
    if (!block || !block->Is(MivoBlockKind::Hardening))
        return;
    NoteChange(FindCellOfBlock(block));
    block->kind = MivoBlockKind::Wall;
    block->converted = 1;
    QueueEvent(MivoEventKind::Hardened, false, block, nullptr, 0, 0);
}

void MivoBoard::RunPasses()
{
    ++queuedPassRuns_;
    RunQueuedPasses();
}

void MivoBoard::RunQueuedPasses()
{
    if (passRunning_)
        return;
    passRunning_ = true;
    for (int32_t runs = 0; queuedPassRuns_ > 0 && runs < kMaxQueuedPassRuns; ++runs)
    {
        --queuedPassRuns_;
        TrackPass();
        TeleportPass();
        MagnetPass(true);
    }
    queuedPassRuns_ = 0;
    passRunning_ = false;
}

template <class Pass> void MivoBoard::RunPass(Pass&& pass)
{
    if (passRunning_)
        return pass();
    passRunning_ = true;
    pass();
    passRunning_ = false;
    RunQueuedPasses();
}

void MivoBoard::ResolveTracks()
{
    RunPass([this] { TrackPass(); });
}

void MivoBoard::ResolveTeleports()
{
    RunPass([this] { TeleportPass(); });
}

void MivoBoard::ResolveMagnets(bool act)
{
    RunPass([this, act] { MagnetPass(act); });
}

void MivoBoard::TrackPass()
{
    for (MivoMapCell* cell : trackCells_)
    {
        if (!cell->floor || !cell->floor->Is(MivoBlockKind::Track) || !cell->top)
            continue;
        MivoTrack* track = table->FindTrack(cell->floor->trackId);
        // Walls, magnets and D blocks stand still on a track as anywhere else.
        if (!track || !cell->top->IsMovable())
            continue;
        MivoBlock* b = cell->top.get();
        MivoMoveRecord* r = FindMoveRecord(b);
        if (track->direction != 0)
        {
            if (r)
                r->direction = track->direction;
            else
                TryMove(b, track->direction, false);
        }
        else if (r && track->IsAlong(r->direction) && TrackCanRun(*track, r->direction))
        {
            // Later cells of this same pass already see the running track.
            track->direction = r->direction;
            QueueEvent(MivoEventKind::TrackStarted, false, nullptr, nullptr, 0, track->direction, track);
        }
    }
}

bool MivoBoard::TrackCanRun(const MivoTrack& track, int32_t direction) const
{
    const bool fromStart = direction == (track.vertical ? MivoDirection::Up : MivoDirection::Left);
    const int32_t last = fromStart ? 0 : track.length - 1;
    const MivoMapCell* end = table->Cell(track.CellX(last), track.CellY(last));
    if (!end || !end->top || CanMove(end->top.get(), direction, false))
        return true;
    const MivoMapCell* beyond = table->Cell(end->x + StepX(direction), end->y + StepY(direction));
    if (!beyond || !beyond->top)
        return false;
    return CanMove(beyond->top.get(), direction, false);
}

void MivoBoard::TeleportPass()
{
    for (MivoMapCell* cell : teleportCells_)
    {
        MivoBlock* f = cell->floor.get();
        MivoBlock* b = cell->top.get();
        if (f && f->Is(MivoBlockKind::Teleport) && f->teleport.entrance && b && b->lastTeleport != f &&
            f->Admits(*b))
            TeleportBlock(*cell, *f, *b);
    }
}

MivoMapCell* MivoBoard::ChooseExit(MivoTeleportGroup& group, const MivoBlock& entrance)
{
    for (int32_t tries = 0; tries < group.exitCount; ++tries)
    {
        if (group.currentExit == &entrance)
            group.Advance();
        MivoBlock* e = group.currentExit;
        group.Advance();
        // A member that holds no order of the rotation, or whose cell is taken or promised to
        // another block, is a failed try.
        MivoMapCell* exitCell = FindCellOfBlock(e);
        if (exitCell && !exitCell->top && !exitCell->reserved)
            return exitCell;
    }
    return nullptr;
}

bool MivoBoard::TeleportBlock(MivoMapCell& cell, MivoBlock& entrance, MivoBlock& block)
{
    MivoTeleportGroup* group = table->FindGroup(entrance.teleport.group);
    if (!group || group->exitCount <= 0)
        return false;
    MivoMapCell* exitCell = ChooseExit(*group, entrance);
    if (!exitCell)
        return false;
    MivoBlock* exit = exitCell->floor.get();
    QueueEvent(MivoEventKind::Teleported, false, &entrance, nullptr, 0, 1);
    QueueEvent(MivoEventKind::Teleported, false, exit, nullptr, 0, 2);
    MivoMoveRecord* r = FindMoveRecord(&block);
    if (r)
    {
        // Release the step the block had begun before its direction can change.
        EndStep(*r);
        if (exit->teleport.exitDirection != 0)
            r->direction = exit->teleport.exitDirection;
    }
    cell.vacating = 0;
    NoteChange(&cell);
    NoteChange(exitCell);
    PutTop(*exitCell, std::move(cell.top));
    NoteEmptied(cell);
    block.x = exitCell->fx;
    block.y = exitCell->fy;
    block.lastTeleport = exit;
    if (!r)
        return true;
    MivoMapCell* next = table->Cell(exitCell->x + StepX(r->direction), exitCell->y + StepY(r->direction));
    if (next && IsFreeFor(*next, r))
        BeginStep(*r, *exitCell, *next, r->direction);
    else
        StopMoving(&block);
    return true;
}

void MivoBoard::MagnetPass(bool act)
{
    for (MivoMapCell* cell : magnetCells_)
    {
        MivoBlock* magnet = cell->top.get();
        if (!magnet || !magnet->Is(MivoBlockKind::Magnet))
            continue;
        bool affected = false;
        for (int32_t d : kAxes)
        {
            MivoMapCell* next = table->Cell(cell->x + StepX(d), cell->y + StepY(d));
            MivoBlock* b = next ? next->top.get() : nullptr;
            const int32_t result = b && b->Is(MivoBlockKind::Number) ? MagnetResult(*magnet, d, *b) : 0;
            if (result == 0)
                continue;
            affected = true;
            // Between two magnets the block takes the one direction they give it together: a
            // magnet that is overruled neither moves nor stops it.
            if (act && result == MagnetDirection(b))
                SteerByMagnet(*magnet, *b, d, result);
            if (result != d)
                QueueEvent(MivoEventKind::MagnetPull, false, magnet, b, 0, 0);
        }
        if (!affected)
            QueueEvent(MivoEventKind::MagnetIdle, false, magnet, nullptr, 0, 0);
    }
}

void MivoBoard::SteerByMagnet(MivoBlock& magnet, MivoBlock& b, int32_t away, int32_t result)
{
    MivoMoveRecord* r = FindMoveRecord(&b);
    const bool can = CanMove(&b, result, false);
    if (r && can)
    {
        if (r->direction != result && result == away)
            QueueEvent(MivoEventKind::MagnetPush, false, &magnet, &b, 0, 0);
        r->direction = result;
    }
    else if (r)
    {
        StopMoving(&b);
    }
    else if (can)
    {
        TryMove(&b, result, false);
        if (result == away)
            QueueEvent(MivoEventKind::MagnetPush, false, &magnet, &b, 0, 0);
    }
}

void MivoBoard::Tick(float dt)
{
    if (DispatchEvents())
        return;
    const float s = speed * dt;
    if (!moving.empty())
    {
        moveClock += s * 0.03125f;
        if (moveClock > 1.0f)
        {
            RunPasses();
            moveClock -= 1.0f;
        }
    }
    else
    {
        moveClock = 0.0f;
    }
    // A record removed during the walk moves the later ones down; the one that takes its slot
    // waits for the next tick. Records added during the walk move in this one.
    for (size_t i = 0; i < moving.size(); ++i)
        AdvanceRecord(i, s);
}

void MivoBoard::AdvanceRecord(size_t i, float s)
{
    MivoBlock* b = moving[i].block;
    const MivoMoveRecord& r = moving[i];
    const int32_t direction = r.stepTo ? r.stepDirection : r.direction;
    b->x += s * static_cast<float>(StepX(direction));
    b->y += s * static_cast<float>(StepY(direction));
    MivoMapCell* from = FindCellOfBlock(b);
    MivoMapCell* n = r.stepTo ? r.stepTo : NeighbourCell(b, direction);
    if (!from || !n || n == from)
    {
        // Steered off the board (or nowhere): the block comes to rest where it stands.
        StopMoving(b);
        OnBlockAtRest(b);
        return;
    }
    const bool arrived = (direction == MivoDirection::Up && n->fy > b->y) ||
                         (direction == MivoDirection::Right && b->x > n->fx) ||
                         (direction == MivoDirection::Down && b->y > n->fy) ||
                         (direction == MivoDirection::Left && n->fx > b->x);
    if (!arrived || n->vacating || (n->reserved && r.stepTo != n))
        return; // still on its way, or waiting for the cell to be left
    if (n->top)
    {
        // Taken by a block that is not leaving: a hit, never a second block in one cell.
        QueueEvent(MivoEventKind::Hit, false, b, n->top.get(), 0, 0);
        StopMoving(b);
        OnBlockAtRest(b);
        return;
    }
    Arrive(*b, *from, *n);
}

void MivoBoard::Arrive(MivoBlock& block, MivoMapCell& from, MivoMapCell& to)
{
    block.x = to.fx;
    block.y = to.fy;
    if (MivoMoveRecord* r = FindMoveRecord(&block))
        EndStep(*r);
    NoteChange(&from);
    NoteChange(&to);
    PutTop(to, std::move(from.top));
    NoteEmptied(from);
    from.vacating = 0;
    to.reserved = 0;
    RunPasses();
    // The passes may have stopped the block; then it is at rest where it now stands.
    const MivoMoveRecord* r = FindMoveRecord(&block);
    if (!r)
        OnBlockAtRest(&block);
    else if (r->stopAtNextCell)
        StopMoving(&block);
    else
        TryMove(&block, r->direction, false);
}

// ---- events ----

MivoBoardEvent::MivoBoardEvent(MivoBoard* owner, MivoEventKind eventKind, bool isBlocking, MivoBlock* first,
                               MivoBlock* second, int32_t valueA, int32_t valueB, MivoTrack* eventTrack)
    : board(owner), kind(eventKind), blocking(isBlocking ? 1 : 0), blockA(first), blockB(second), a(valueA),
      b(valueB), track(eventTrack)
{
    if (first)
        wordsA = {first->presentation[0], first->presentation[1]};
    if (second)
        wordsB = {second->presentation[0], second->presentation[1]};
}

void MivoBoard::QueueEvent(MivoEventKind kind, bool blocking, MivoBlock* a, MivoBlock* b, int32_t valueA,
                           int32_t valueB, MivoTrack* track)
{
    events.emplace_back(this, kind, blocking, a, b, valueA, valueB, track);
    if (blocking)
        ++pendingBlocking;
}

void MivoBoard::AnnounceEvent(MivoBoardEvent& event)
{
    if (event.announced)
        return;
    event.announced = 1;
    switch (event.kind)
    {
    case MivoEventKind::Combine:
        if (event.blockB)
        {
            NoteChange(FindCellOfBlock(event.blockB));
            event.blockB->number = event.b;
        }
        if (callbacks && event.blockB)
            callbacks->OnBlockCreated(event.blockB);
        if (callbacks && event.blockA)
            callbacks->OnBlockDestroyed(event.blockA);
        break;
    case MivoEventKind::Vanish:
    case MivoEventKind::Disappear:
        if (callbacks && event.blockA)
            callbacks->OnBlockDestroyed(event.blockA);
        if (callbacks && event.blockB)
            callbacks->OnBlockDestroyed(event.blockB);
        break;
    case MivoEventKind::Hardened:
        if (callbacks && event.blockA)
            callbacks->OnBlockCreated(event.blockA);
        break;
    case MivoEventKind::TrackStarted:
    case MivoEventKind::TrackStopped:
        if (event.track)
            RefreshTrackCells(*event.track);
        break;
    default:
        break;
    }
}

void MivoBoard::FreeTop(MivoMapCell& cell)
{
    MivoBlock* block = cell.top.get();
    if (!block)
        return;
    StopMoving(block);
    if (selected == block)
        selected = nullptr;
    // Waiting events keep the presentation words they copied but no longer name the block.
    for (std::vector<MivoBoardEvent>* list : {&events, &held_})
    {
        for (MivoBoardEvent& event : *list)
        {
            if (event.blockA == block)
                event.blockA = nullptr;
            if (event.blockB == block)
                event.blockB = nullptr;
        }
    }
    NoteChange(&cell);
    cell.top.reset();
    NoteEmptied(cell);
}

void MivoBoard::NoteChange(MivoMapCell* cell)
{
    if (!noteChanges || !cell || changedCells.Has(*cell))
        return;
    changedCells.Add(*cell);
    emptyAtStart_.Set(*cell, !cell->top);
}

void MivoBoard::NoteEmptied(const MivoMapCell& cell)
{
    // Empty at the start of the move and again now: a block only passed through.
    if (noteChanges && emptyAtStart_.Has(cell))
        changedCells.Remove(cell);
}

void MivoBoard::ApplyEvent(MivoBoardEvent& event)
{
    AnnounceEvent(event);
    if (event.kind != MivoEventKind::Combine && event.kind != MivoEventKind::Vanish &&
        event.kind != MivoEventKind::Disappear)
        return;
    MivoMapCell* cellA = FindCellOfBlock(event.blockA);
    MivoMapCell* cellB = event.kind == MivoEventKind::Vanish ? FindCellOfBlock(event.blockB) : nullptr;
    if (cellA && cellA->top.get() == event.blockA)
        FreeTop(*cellA);
    if (cellB && cellB->top.get() == event.blockB)
        FreeTop(*cellB);
    // The record itself no longer names what was freed.
    event.blockA = nullptr;
    if (event.kind == MivoEventKind::Vanish)
        event.blockB = nullptr;
    RunPasses();
}

void MivoBoard::RefreshTrackCells(const MivoTrack& track)
{
    if (!callbacks || !table)
        return;
    for (int32_t i = 0; i < track.length; ++i)
    {
        MivoMapCell* cell = table->Cell(track.CellX(i), track.CellY(i));
        callbacks->OnBlockCreated(cell ? cell->floor.get() : nullptr);
    }
}

bool MivoBoard::DispatchEvents()
{
    bool held = false;
    std::vector<MivoBoardEvent>& kept = held_;
    kept.clear();
    // Events that applying queues land at the end and are walked in this same pass.
    for (size_t i = 0; i < events.size(); ++i)
    {
        MivoBoardEvent event = events[i];
        if (event.blocking && held)
        {
            kept.push_back(event);
            continue;
        }
        if (callbacks && !callbacks->OnBoardEvent(event))
        {
            held = held || event.blocking;
            kept.push_back(event);
            continue;
        }
        ApplyEvent(event);
        if (callbacks)
            callbacks->OnEventDone(event);
        if (event.blocking)
            --pendingBlocking;
    }
    events.swap(kept);
    kept.clear();
    return held;
}
