// ASE import of a 20,000-face grid: the importer's parse of the text in memory against a bare
// pass over the same text that splits it into lines and tokens and converts every number token
// with std::from_chars (the least any importer must do).
#include "WeAseParser.h"
#include "WeAseWriter.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <string>
#include <string_view>

namespace
{

const std::string& GridText()
{
    static const std::string text = WeAseText(WeAseGrid(100));
    return text;
}

// Every token that reads as a number, converted.
double BarePass(std::string_view text)
{
    double sum = 0.0;
    for (size_t at = 0; at < text.size();)
    {
        size_t end = text.find('\n', at);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        for (size_t i = 0; i < line.size();)
        {
            while (i < line.size() && static_cast<signed char>(line[i]) <= 32)
                ++i;
            const size_t start = i;
            while (i < line.size() && static_cast<signed char>(line[i]) > 32)
                ++i;
            float value = 0.0f;
            if (i > start && std::from_chars(line.data() + start, line.data() + i, value).ec == std::errc())
                sum += value;
        }
    }
    return sum;
}

} // namespace

static void BM_AseImportGrid(benchmark::State& state)
{
    WeAseParser parser;
    for (auto _ : state)
    {
        parser.ParseText(GridText());
        benchmark::DoNotOptimize(parser.faces.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(GridText().size()));
}
BENCHMARK(BM_AseImportGrid)->Unit(benchmark::kMillisecond);

static void BM_AseBareFromCharsPass(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(BarePass(GridText()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(GridText().size()));
}
BENCHMARK(BM_AseBareFromCharsPass)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
