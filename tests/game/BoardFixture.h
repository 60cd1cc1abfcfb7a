// Small boards written as map text, a callback object that records what the board reports, and
// helpers that play moves the way the play phase does.
#pragma once

#include "MivoBoard.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Every board call the presentation hears, as one line each ("event 11 A=N3@2,1 B=N4@3,1 a=0 b=0").
class RecordingCallbacks : public MivoCallbacks
{
public:
    explicit RecordingCallbacks(MivoBoard& board) : board_(board) {}

    void OnBlockCreated(MivoBlock* block) override { log.push_back("created " + Describe(block)); }
    void OnBlockDestroyed(MivoBlock* block) override { log.push_back("destroyed " + Describe(block)); }
    bool OnBoardEvent(MivoBoardEvent& event) override
    {
        const bool accept = !refuse || !refuse(event);
        log.push_back((accept ? "event " : "refused ") + Describe(event));
        kinds.push_back(static_cast<int>(event.kind));
        return accept;
    }
    void OnEventDone(MivoBoardEvent& event) override
    {
        log.push_back("done " + std::to_string(static_cast<int>(event.kind)));
        ++done;
    }

    std::string Describe(const MivoBlock* block) const;
    std::string Describe(const MivoBoardEvent& event) const;
    // How many presented events were of the kind.
    int Count(MivoEventKind kind) const;
    // The index of the first log line that starts with the text, or -1.
    int Find(const std::string& start) const;

    std::vector<std::string> log;
    std::vector<int> kinds;
    int done = 0;
    std::function<bool(MivoBoardEvent&)> refuse; // true: the event is refused this time

private:
    MivoBoard& board_;
};

class BoardFixture : public ::testing::Test
{
protected:
    // Builds the table from lines "B,x,y=text" and binds it to a fresh board with a recorder.
    void Build(const std::string& mapText);
    MivoBlock* Top(int x, int y) { return table->Cell(x, y)->top.get(); }
    MivoBlock* Floor(int x, int y) { return table->Cell(x, y)->floor.get(); }
    // Picks the block at (x, y) and moves it as the player does; false when the board refuses.
    bool Move(int x, int y, int direction);
    // Ticks at 60 frames a second until the board rests; the number of ticks, or -1.
    int RunToRest(int maxTicks = 5000);
    // The "letter+number" text of every top block, for comparing whole boards.
    std::string Tops() const;
    // No cell holds a reservation or vacating mark.
    bool FlagsClear() const;

    std::unique_ptr<MivoMapTable> table;
    std::unique_ptr<MivoBoard> board;
    std::unique_ptr<RecordingCallbacks> recorder;
};

// Places the lines "B,x,y=text" of a map text on the table.
void PlaceMapText(MivoMapTable& table, const std::string& mapText);
// Plays a solution "x,y,d x,y,d ..." (d 0 clicks the block) to rest after each move; the first
// refused move's index, or -1 when every move was played.
int PlaySolution(MivoBoard& board, const std::string& solution, int maxTicks = 20000);
// No numbered, plus or minus block is left on the table.
bool IsWon(const MivoMapTable& table);
