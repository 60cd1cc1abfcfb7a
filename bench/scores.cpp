// Reading the world lists from a score-server reply of 256 KB: the skill list, the quest lists
// and a region's level blocks, each reply full of records.
#include "MivoScores.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr size_t kReplyBytes = 256 * 1024;

// Records "name 0x02 number 0x02 number 0x02 number", each ended by 0x01, after a head, to the
// size; every quest record is of difficulty 2, so the quest lists never fill up.
WeString Reply()
{
    std::string reply = "head\x01";
    for (int i = 0; reply.size() < kReplyBytes; ++i)
        reply +=
            "Player" + std::to_string(i) + "\x02" + std::to_string(100000 - i) + "\x02" + "2\x02" + "17\x01";
    return WeString(reply.c_str());
}

// Blocks of 30 records for the map numbers 0 to 19 in turn.
WeString LevelReply()
{
    std::string reply = "head\x03";
    for (int block = 0; reply.size() < kReplyBytes; ++block)
    {
        reply += std::to_string(block % 20) + "\x01";
        for (int i = 0; i < 30; ++i)
            reply += "Player" + std::to_string(i) + "\x02" + "5000\x02" + "12\x02" + "40\x01";
        reply += "\x03";
    }
    return WeString(reply.c_str());
}
} // namespace

// Fills the tables from the reply again and again.
template <typename Fill> void FillRepeatedly(benchmark::State& state, const WeString& reply, Fill fill)
{
    MivoScoreTables tables;
    for (auto _ : state)
        fill(tables, reply);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * reply.GetLength());
}

static void BM_FillSkillScores(benchmark::State& state)
{
    FillRepeatedly(state, Reply(), [](MivoScoreTables& t, const WeString& r) { t.FillSkillScores(r); });
}
BENCHMARK(BM_FillSkillScores)->Unit(benchmark::kMillisecond);

static void BM_FillQuestScores(benchmark::State& state)
{
    FillRepeatedly(state, Reply(), [](MivoScoreTables& t, const WeString& r) { t.FillQuestScores(r); });
}
BENCHMARK(BM_FillQuestScores)->Unit(benchmark::kMillisecond);

static void BM_FillLevelScores(benchmark::State& state)
{
    FillRepeatedly(state, LevelReply(),
                   [](MivoScoreTables& t, const WeString& r) { t.FillLevelScores(r, 3); });
}
BENCHMARK(BM_FillLevelScores)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
