// What the board benchmarks share: ticks of a busy table, and the shipped level database files
// of the source tree.
#pragma once

#include "MivoBoard.h"
#include "MivoMapDatabase.h"
#include "WeConfig.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace board_bench
{
// Eight plain tiles and eight numbers on alternate rows, a running track, a magnet and a pair of
// teleports: every pass has work on every tick.
inline std::unique_ptr<MivoMapTable> BusyTable()
{
    auto table = std::make_unique<MivoMapTable>();
    for (int row = 0; row < 16; row += 2)
    {
        table->PlaceFromText(0, row, "P");
        table->PlaceFromText(15, row + 1, ("N," + std::to_string(row / 2 + 1)).c_str());
    }
    table->PlaceFromText(3, 0, "R,3,10");
    table->PlaceFromText(7, 3, "T,1,1,1,0,0,1,0123456789");
    table->PlaceFromText(9, 12, "T,1,1,1,0,0,1,0123456789");
    table->PlaceFromText(12, 15, "M,1");
    table->LayOut(1.01f, 7.575f, 7.575f);
    return table;
}

// Pushes every movable block the given way.
inline void PushAll(MivoBoard& board, int32_t direction)
{
    for (int32_t x = 0; x < board.table->width; ++x)
    {
        for (int32_t y = 0; y < board.table->height; ++y)
        {
            MivoBlock* block = board.table->Cell(x, y)->top.get();
            if (block && board.CanMove(block, direction, false))
                board.TryMove(block, direction, false);
        }
    }
}

// The busy table on a board, its blocks pushed the other way each time it rests.
class BusyBoard
{
public:
    BusyBoard() : table_(BusyTable())
    {
        board_.SetTable(table_.get());
        board_.speed = 5.0f;
    }
    // One tick at the play's frame time; returns the blocks moving in it.
    size_t Tick()
    {
        if (board_.IsAtRest())
        {
            direction_ = direction_ == MivoDirection::Right ? MivoDirection::Left : MivoDirection::Right;
            PushAll(board_, direction_);
        }
        const size_t moving = board_.moving.size();
        board_.Tick(1.0f / 60.0f);
        return moving;
    }

private:
    std::unique_ptr<MivoMapTable> table_;
    MivoBoard board_;
    int32_t direction_ = MivoDirection::Right;
};

// Board ticks per second with several blocks sliding at once, on a full 16 x 16 table.
inline void BM_BoardTicks(benchmark::State& state)
{
    BusyBoard busy;
    int64_t moving = 0;
    for (auto _ : state)
        moving += static_cast<int64_t>(busy.Tick());
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["moving"] = static_cast<double>(moving) / static_cast<double>(state.iterations());
}

struct ShippedFile
{
    std::string name, text;
};

// The shipped "db*.ini" files of the source tree, by name.
inline std::vector<ShippedFile> ShippedDatabases()
{
    std::vector<ShippedFile> files;
    const auto folder = std::filesystem::path(WE_SOURCE_DATA) / "Packages" / "Config" / "Main";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    {
        const std::string name = entry.path().stem().string();
        if (name.rfind("db", 0) != 0 || entry.path().extension() != ".ini")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.push_back(
            {name, std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>())});
    }
    std::sort(files.begin(), files.end(),
              [](const ShippedFile& a, const ShippedFile& b) { return a.name < b.name; });
    return files;
}

inline int32_t BlockCount(MivoMapTable& table)
{
    int32_t count = 0;
    table.ForEachCell([&count](const MivoMapCell& cell)
                      { count += (cell.floor ? 1 : 0) + (cell.top ? 1 : 0); });
    return count;
}

// Loads every shipped database into the store; the map id of the table that has the most blocks
// (of those with a track, with `withTrack`).
inline int32_t LargestShippedLevel(bool withTrack)
{
    int32_t best = 0, bestCount = -1;
    for (const ShippedFile& file : ShippedDatabases())
    {
        WeConfig::LoadText(file.name.c_str(), file.text.data(), file.text.size());
        const auto database = MivoMapDatabase::Load(file.name.c_str());
        const int32_t number = std::stoi(file.name.substr(2));
        for (size_t i = 0; i < database->tables.size(); ++i)
            if (const int32_t count = BlockCount(*database->tables[i]);
                count > bestCount && (!withTrack || !database->tables[i]->tracks.empty()))
            {
                bestCount = count;
                best = number * 1000 + int32_t(i) + 1;
            }
    }
    return best;
}
} // namespace board_bench
