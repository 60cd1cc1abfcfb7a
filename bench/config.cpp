// The configuration store: parsing one megabyte of ".ini" text, and one million typed lookups of
// keys that are already in the store (the getter road a caller takes when it does not keep the
// returned reference), beside the same lookups in a standard hash map of every key of that text.
#include "WeConfig.h"

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace
{

constexpr int64_t Lookups = 1000000;
constexpr int KeysPerSection = 40;

// About one megabyte of sections, keys of the three kinds, comments and CR LF line ends.
const std::string& MegabyteText()
{
    static const std::string text = []
    {
        std::string ini = "; generated for the benchmark\r\n";
        for (int section = 0; ini.size() < 1000000; ++section)
        {
            ini += "[Section" + std::to_string(section) + "]\r\n";
            for (int key = 0; key < KeysPerSection; ++key)
            {
                const std::string number = std::to_string(section * KeysPerSection + key);
                ini += "Int" + number + "=" + number + "\r\n";
                ini += "Float" + number + "=" + number + ".25 ; a comment\r\n";
                ini += "Text" + number + "=Textures.UI.Components.Button" + number + "\r\n";
            }
        }
        return ini;
    }();
    return text;
}

void ParseMegabyte(benchmark::State& state)
{
    const std::string& text = MegabyteText();
    WeConfig::LoadText("Bench", text.data(), text.size()); // the keys exist: each pass replaces values
    for (auto _ : state)
        WeConfig::LoadText("Bench", text.data(), text.size());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void ParseMegabyteIntoAnEmptyStore(benchmark::State& state)
{
    const std::string& text = MegabyteText();
    for (auto _ : state)
    {
        state.PauseTiming();
        WeConfig::Shutdown();
        WeConfig::FreeRetired();
        WeConfig::Find("", false); // a new store, with the package's main files
        state.ResumeTiming();
        WeConfig::LoadText("Bench", text.data(), text.size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

std::vector<WeString> Keys(const char* kind, int count)
{
    std::vector<WeString> keys;
    for (int i = 0; i < count; ++i)
    {
        WeString key = "Bench.Section";
        key.AppendInt(i / KeysPerSection);
        key += ".";
        key += kind;
        key.AppendInt(i);
        keys.push_back(key);
    }
    return keys;
}

template <typename Get> void TypedLookups(benchmark::State& state, const char* kind, Get get)
{
    const std::string& text = MegabyteText();
    WeConfig::LoadText("Bench", text.data(), text.size());
    const std::vector<WeString> keys = Keys(kind, 1000);
    for (auto _ : state)
        for (int64_t i = 0; i < Lookups; ++i)
            benchmark::DoNotOptimize(get(keys[static_cast<size_t>(i % 1000)]));
    state.SetItemsProcessed(state.iterations() * Lookups);
}

void GetIntOfStoredKeys(benchmark::State& state)
{
    TypedLookups(state, "Int", [](const WeString& key) { return WeConfig::GetInt(key, 0); });
}

void GetFloatOfStoredKeys(benchmark::State& state)
{
    TypedLookups(state, "Float", [](const WeString& key) { return WeConfig::GetFloat(key, 0.0f); });
}

void GetStringOfStoredKeys(benchmark::State& state)
{
    TypedLookups(state, "Text", [](const WeString& key) { return WeConfig::GetString(key, "").GetLength(); });
}

// The yardstick: a standard map from every key of the text to its value, searched by the key's
// bytes without building a string.
struct KeyHash
{
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
};

void StdMapOfStoredKeys(benchmark::State& state)
{
    std::unordered_map<std::string, int, KeyHash, std::equal_to<>> map;
    const std::string& text = MegabyteText();
    const int keyCount = static_cast<int>(text.size() / 64); // more than the text holds of each kind
    for (const char* kind : {"Int", "Float", "Text"})
        for (const WeString& key : Keys(kind, keyCount))
            map.emplace(key.GetData(), key.GetLength());
    const std::vector<WeString> keys = Keys("Int", 1000);
    for (auto _ : state)
        for (int64_t i = 0; i < Lookups; ++i)
        {
            const WeString& key = keys[static_cast<size_t>(i % 1000)];
            benchmark::DoNotOptimize(
                map.find(std::string_view(key.GetData(), static_cast<size_t>(key.GetLength())))->second);
        }
    state.SetItemsProcessed(state.iterations() * Lookups);
}

} // namespace

BENCHMARK(ParseMegabyte)->Unit(benchmark::kMillisecond);
BENCHMARK(ParseMegabyteIntoAnEmptyStore)->Unit(benchmark::kMillisecond);
BENCHMARK(GetIntOfStoredKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(GetFloatOfStoredKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(GetStringOfStoredKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(StdMapOfStoredKeys)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
