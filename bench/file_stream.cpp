// Reading a 100 MB scrambled file: through the stream's typed reads, through its block reads
// (small blocks served from the buffer, large ones straight from the file), and with a plain
// fread of the same file in the same run as the yardstick. Every stream read descrambles.
#include "WeFileStream.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int64_t FileBytes = 100 << 20;

// The scrambled file, written once per run and removed at exit.
const std::string& ScrambledFile()
{
    static const struct File
    {
        File() : path("/tmp/we_bench_stream_" + std::to_string(getpid()) + ".dat")
        {
            std::vector<uint8_t> chunk(1 << 20);
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
            WeFileStream stream;
            stream.SetScrambled(true);
            stream.Create(path.c_str());
            for (int64_t written = 0; written < FileBytes; written += static_cast<int64_t>(chunk.size()))
                stream.Write(chunk.data(), static_cast<int64_t>(chunk.size()));
            stream.Close();
        }
        ~File() { std::remove(path.c_str()); }
        std::string path;
    } file;
    return file.path;
}

void PlainFread(benchmark::State& state)
{
    std::vector<uint8_t> block(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
    {
        FILE* file = std::fopen(ScrambledFile().c_str(), "rb");
        while (std::fread(block.data(), 1, block.size(), file) == block.size())
            benchmark::DoNotOptimize(block.data());
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * FileBytes);
}

void StreamBlockReads(benchmark::State& state)
{
    std::vector<uint8_t> block(static_cast<size_t>(state.range(0)));
    WeFileStream stream;
    stream.SetScrambled(true);
    for (auto _ : state)
    {
        stream.Open(ScrambledFile().c_str());
        while (stream.Read(block.data(), static_cast<int64_t>(block.size())) ==
               static_cast<int64_t>(block.size()))
            benchmark::DoNotOptimize(block.data());
        stream.Close();
    }
    state.SetBytesProcessed(state.iterations() * FileBytes);
}

void StreamTypedReads(benchmark::State& state)
{
    WeFileStream stream;
    stream.SetScrambled(true);
    for (auto _ : state)
    {
        stream.Open(ScrambledFile().c_str());
        int32_t sum = 0;
        for (int64_t i = 0; i < FileBytes / 16; ++i)
        {
            sum += stream.ReadInt();
            sum += stream.ReadShort();
            sum += stream.ReadByte();
            sum += stream.ReadBool();
            sum += static_cast<int32_t>(stream.ReadFloat());
            sum += static_cast<int32_t>(stream.ReadInt64() >> 40) + stream.ReadByte() + stream.ReadByte();
        }
        benchmark::DoNotOptimize(sum);
        stream.Close();
    }
    state.SetBytesProcessed(state.iterations() * FileBytes);
}

// The descrambler over a block that stays in the cache, against a memcpy of the same block.
void Descramble(benchmark::State& state)
{
    std::vector<uint8_t> block(static_cast<size_t>(state.range(0)), 0x5A);
    for (auto _ : state)
    {
        WeScrambleBytes(block.data(), static_cast<int64_t>(block.size()));
        benchmark::DoNotOptimize(block.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Memcpy(benchmark::State& state)
{
    std::vector<uint8_t> from(static_cast<size_t>(state.range(0)), 0x5A), to(from.size());
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(Descramble)->Arg(65536)->Arg(16 << 20);
BENCHMARK(Memcpy)->Arg(65536)->Arg(16 << 20);
BENCHMARK(PlainFread)->Arg(4096)->Arg(65536)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamBlockReads)->Arg(4096)->Arg(65536)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamTypedReads)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
