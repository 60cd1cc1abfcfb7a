// One million short-string creations and destructions, engine strings against std::string, in
// the same run. The short text fits std::string's inline buffer; the longer one (an asset key)
// does not, so both kinds must allocate.
#include "WeString.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{

constexpr int64_t Strings = 1000000;
const char* const ShortText = "Config.Main";
const char* const KeyText = "Textures.UI.Components.MainMenu";

template <typename S> void CreateAndDestroy(benchmark::State& state, const char* text)
{
    for (auto _ : state)
        for (int64_t i = 0; i < Strings; ++i)
        {
            S s(text);
            benchmark::DoNotOptimize(s);
        }
    state.SetItemsProcessed(state.iterations() * Strings);
}

void WeStringShort(benchmark::State& state)
{
    CreateAndDestroy<WeString>(state, ShortText);
}

void StdStringShort(benchmark::State& state)
{
    CreateAndDestroy<std::string>(state, ShortText);
}

void WeStringKey(benchmark::State& state)
{
    CreateAndDestroy<WeString>(state, KeyText);
}

void StdStringKey(benchmark::State& state)
{
    CreateAndDestroy<std::string>(state, KeyText);
}

// The same engine strings with the pool switched off: every buffer is a plain allocation.
void WeStringKeyUnpooled(benchmark::State& state)
{
    WeStringPoolShutdown();
    CreateAndDestroy<WeString>(state, KeyText);
    WeStringPoolStartup();
}

// Building a key by appending pieces, as the configuration and asset names do.
template <typename S> void BuildKeys(benchmark::State& state)
{
    for (auto _ : state)
        for (int64_t i = 0; i < Strings; ++i)
        {
            S s("Config.");
            s += "Main.";
            s += "UI";
            benchmark::DoNotOptimize(s);
        }
    state.SetItemsProcessed(state.iterations() * Strings);
}

} // namespace

BENCHMARK(WeStringShort)->Unit(benchmark::kMillisecond);
BENCHMARK(StdStringShort)->Unit(benchmark::kMillisecond);
BENCHMARK(WeStringKey)->Unit(benchmark::kMillisecond);
BENCHMARK(StdStringKey)->Unit(benchmark::kMillisecond);
BENCHMARK(WeStringKeyUnpooled)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BuildKeys, WeString)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BuildKeys, std::string)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
