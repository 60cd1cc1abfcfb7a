// Opening and reading every entry of a 200 MB package (10,000 entries of 20 KB, or 3,200 of
// 64 KB) through the package back end, against reading the same bytes from the loose files it
// was packed from and against a plain fread of the same bytes at the same offsets, in one run;
// then the same for the shipped package beside the benchmark and its fread yardstick.
#include "WeDataFile.h"
#include "WeFileSystem.h"
#include "WePackageWriter.h"
#include "win32/Win32Files.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int Groups = 10, Subgroups = 10;
constexpr int64_t PackageBytes = 200 << 20;

// About 200 MB of entries of one size, as loose files and packed.
struct Content
{
    explicit Content(int64_t entryBytes)
        : folder("/tmp/we_bench_package_" + std::to_string(getpid()) + "_" + std::to_string(entryBytes)),
          entryBytes(entryBytes)
    {
        const int names = int(PackageBytes / (entryBytes * Groups * Subgroups));
        totalBytes = entryBytes * Groups * Subgroups * names;
        std::vector<uint8_t> bytes(static_cast<size_t>(entryBytes));
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 13);
        for (int g = 0; g < Groups; ++g)
            for (int s = 0; s < Subgroups; ++s)
            {
                const std::string group = "Group" + std::to_string(g), subgroup = "Sub" + std::to_string(s);
                const std::string dir = folder + "/Packages/" + group + "/" + subgroup;
                std::filesystem::create_directories(dir);
                for (int n = 0; n < names; ++n)
                {
                    const std::string name = "entry" + std::to_string(n);
                    FILE* file = win32::OpenFile((dir + "/" + name + ".dds").c_str(), "wb");
                    std::fwrite(bytes.data(), 1, bytes.size(), file);
                    std::fclose(file);
                    assetNames.push_back((group + "." + subgroup + "." + name).c_str());
                }
            }
        WePackageWriter writer;
        writer.AddFolder(folder + "/Packages");
        writer.Write(folder + "/Packages.dat");
    }
    ~Content() { std::filesystem::remove_all(folder); }

    std::string folder;
    int64_t entryBytes;
    int64_t totalBytes = 0;
    std::vector<WeString> assetNames;
};

// The content of the benchmark's entry size (its first argument), made once.
const Content& GetContent(const benchmark::State& state)
{
    static std::map<int64_t, std::unique_ptr<Content>> contents;
    std::unique_ptr<Content>& content = contents[state.range(0)];
    if (!content)
        content = std::make_unique<Content>(state.range(0));
    return *content;
}

void ReadEveryEntry(benchmark::State& state, WeVirtualFileSystem& files)
{
    const Content& content = GetContent(state);
    std::vector<uint8_t> bytes(static_cast<size_t>(content.entryBytes));
    for (auto _ : state)
    {
        int64_t total = 0;
        for (const WeString& name : content.assetNames)
        {
            if (!files.Open(name, WeAssetType::Texture))
                state.SkipWithError("an entry did not open");
            total += files.GetStream().Read(bytes.data(), files.GetFileSize());
            files.Close();
        }
        if (total != content.totalBytes)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(state.iterations() * content.totalBytes);
}

// Where each entry lies in the package file, found through the package back end.
struct Span
{
    int64_t offset;
    int64_t size;
};

std::vector<Span> Spans(WeDataFile& package, const std::vector<WeString>& names,
                        const std::vector<WeAssetType>& types)
{
    std::vector<Span> spans;
    for (size_t i = 0; i < names.size(); ++i)
        if (package.Open(names[i], types[i]))
            spans.push_back({package.GetStream().Tell(), package.GetFileSize()});
    return spans;
}

void FreadSpans(benchmark::State& state, const std::string& path, const std::vector<Span>& spans)
{
    int64_t total = 0, largest = 0;
    for (const Span& span : spans)
    {
        total += span.size;
        largest = std::max(largest, span.size);
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(largest));
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file || spans.empty())
    {
        state.SkipWithError("no package");
        if (file)
            std::fclose(file);
        return;
    }
    for (auto _ : state)
        for (const Span& span : spans)
        {
            std::fseek(file, span.offset, SEEK_SET);
            if (std::fread(bytes.data(), 1, static_cast<size_t>(span.size), file) !=
                static_cast<size_t>(span.size))
                state.SkipWithError("short read");
        }
    std::fclose(file);
    state.SetBytesProcessed(state.iterations() * total);
}

void PackageBackEnd(benchmark::State& state)
{
    WeDataFile package((GetContent(state).folder + "/Packages.dat").c_str());
    ReadEveryEntry(state, package);
}

void LooseFiles(benchmark::State& state)
{
    WeFileSystem loose((GetContent(state).folder + "/Packages").c_str());
    ReadEveryEntry(state, loose);
}

void PlainFread(benchmark::State& state)
{
    const Content& content = GetContent(state);
    const std::string path = content.folder + "/Packages.dat";
    WeDataFile package(path.c_str());
    const std::vector<WeAssetType> types(content.assetNames.size(), WeAssetType::Texture);
    FreadSpans(state, path, Spans(package, content.assetNames, types));
}

// Every entry of the shipped package, all types.
struct Shipped
{
    Shipped()
    {
        WeDataFile package(Path);
        WeList<WeString> groups, subgroups, files;
        package.GetGroups(groups);
        for (const WeString& group : groups)
            for (int32_t type = 1; type < WeAssetTypeCount; ++type)
            {
                package.GetSubgroups(subgroups, group, WeAssetType(type));
                for (const WeString& subgroup : subgroups)
                {
                    package.GetFiles(files, group, subgroup, WeAssetType(type));
                    for (const WeString& name : files)
                    {
                        names.push_back(group + "." + subgroup + "." + name);
                        types.push_back(WeAssetType(type));
                    }
                }
            }
    }
    static constexpr const char* Path = "Packages.dat";
    std::vector<WeString> names;
    std::vector<WeAssetType> types;
};

const Shipped& GetShipped()
{
    static const Shipped shipped;
    return shipped;
}

void ShippedPackage(benchmark::State& state)
{
    const Shipped& shipped = GetShipped();
    if (shipped.names.empty())
        return state.SkipWithError("no package");
    WeDataFile package(Shipped::Path);
    // One buffer for the largest entry, as the yardstick has: no zero-filling between reads.
    int64_t largest = 0;
    for (size_t i = 0; i < shipped.names.size(); ++i)
        if (package.Open(shipped.names[i], shipped.types[i]))
            largest = std::max<int64_t>(largest, package.GetFileSize());
    std::vector<uint8_t> bytes(static_cast<size_t>(largest));
    int64_t total = 0;
    for (auto _ : state)
        for (size_t i = 0; i < shipped.names.size(); ++i)
        {
            if (!package.Open(shipped.names[i], shipped.types[i]))
                state.SkipWithError("an entry did not open");
            total += package.GetStream().Read(bytes.data(), package.GetFileSize());
        }
    state.SetBytesProcessed(total);
}

void ShippedFread(benchmark::State& state)
{
    const Shipped& shipped = GetShipped();
    WeDataFile package(Shipped::Path);
    FreadSpans(state, Shipped::Path, Spans(package, shipped.names, shipped.types));
}

} // namespace

// Entries of 20 KB (10,000 of them) and of 64 KB (3,200).
BENCHMARK(PackageBackEnd)->ArgName("entryBytes")->Arg(20971)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(LooseFiles)->ArgName("entryBytes")->Arg(20971)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainFread)->ArgName("entryBytes")->Arg(20971)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(ShippedPackage)->Unit(benchmark::kMillisecond);
BENCHMARK(ShippedFread)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
