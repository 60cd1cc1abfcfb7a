// What happens on the board, as records handed to the presentation, and the interface through
// which the presentation hears of them and says when a change may take effect.
#pragma once

#include <array>
#include <cstdint>

class MivoBoard;
struct MivoBlock;
struct MivoTrack;

enum class MivoEventKind : int32_t
{
    Combine = 1,      // blocking: A steps into the numbered block B, which takes number b
    Vanish = 2,       // blocking: A and B vanish together
    Disappear = 3,    // blocking: the clicked D block A vanishes
    Hardened = 4,     // the U block A became a wall
    TrackStarted = 5, // the track starts carrying blocks in direction b
    TrackStopped = 6, // the track stops; b is its old direction
    Teleported = 7,   // A sent a block (b = 1, the entrance) or received it (b = 2, the exit)
    MagnetPush = 8,   // the magnet A pushes the block B away
    MagnetPull = 9,   // the magnet A pulls the block B
    MagnetIdle = 10,  // the magnet A affects nothing
    Hit = 11,         // the moving block A hits B
    Started = 12,     // direct: A starts moving
    Stopped = 13      // direct: A stops moving
};

struct MivoBoardEvent
{
    MivoBoardEvent() = default;
    // Fills the record and copies the first two presentation words of A and B.
    MivoBoardEvent(MivoBoard* board, MivoEventKind kind, bool blocking, MivoBlock* a, MivoBlock* b,
                   int32_t valueA, int32_t valueB, MivoTrack* track = nullptr);

    MivoBoard* board = nullptr;
    MivoEventKind kind = MivoEventKind::Hit;
    uint8_t blocking = 0;
    MivoBlock* blockA = nullptr;
    std::array<std::uintptr_t, 2> wordsA{};
    MivoBlock* blockB = nullptr;
    std::array<std::uintptr_t, 2> wordsB{};
    int32_t a = 0, b = 0;
    MivoTrack* track = nullptr; // the track of kinds 5 and 6
    void* data = nullptr;       // owned by the presentation: attached when presented, freed when done
    uint8_t announced = 0;
};

class MivoCallbacks
{
public:
    virtual ~MivoCallbacks() = default;
    // The block is new or its look changed; none for a track cell that lost its floor.
    virtual void OnBlockCreated(MivoBlock* block) = 0;
    // The block is about to be freed.
    virtual void OnBlockDestroyed(MivoBlock* block) = 0;
    // Presents the event; true when the board may apply it now, false to be asked again later.
    virtual bool OnBoardEvent(MivoBoardEvent& event) = 0;
    // The event has been applied or dropped; free what was attached to it.
    virtual void OnEventDone(MivoBoardEvent& event) = 0;
};
