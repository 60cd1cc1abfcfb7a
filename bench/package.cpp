// Opening and reading every entry of a 200 MB package of 10,000 entries through the package
// back end, against reading the same bytes from the loose files it was packed from, in one run.
#include "WeDataFile.h"
#include "WeFileSystem.h"
#include "WePackageWriter.h"
#include "win32/Win32Files.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int Groups = 10, Subgroups = 10, Names = 100;
constexpr int64_t EntryBytes = (200 << 20) / (Groups * Subgroups * Names);
constexpr int64_t TotalBytes = EntryBytes * Groups * Subgroups * Names;

struct Content
{
    Content() : folder("/tmp/we_bench_package_" + std::to_string(getpid()))
    {
        std::vector<uint8_t> bytes(static_cast<size_t>(EntryBytes));
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 13);
        for (int g = 0; g < Groups; ++g)
            for (int s = 0; s < Subgroups; ++s)
            {
                const std::string group = "Group" + std::to_string(g), subgroup = "Sub" + std::to_string(s);
                const std::string dir = folder + "/Packages/" + group + "/" + subgroup;
                std::filesystem::create_directories(dir);
                for (int n = 0; n < Names; ++n)
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
    std::vector<WeString> assetNames;
};

const Content& GetContent()
{
    static const Content content;
    return content;
}

void ReadEveryEntry(benchmark::State& state, WeVirtualFileSystem& files)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(EntryBytes));
    for (auto _ : state)
    {
        int64_t total = 0;
        for (const WeString& name : GetContent().assetNames)
        {
            if (!files.Open(name, WeAssetType::Texture))
                state.SkipWithError("an entry did not open");
            total += files.GetStream().Read(bytes.data(), files.GetFileSize());
            files.Close();
        }
        if (total != TotalBytes)
            state.SkipWithError("short read");
    }
    state.SetBytesProcessed(state.iterations() * TotalBytes);
}

void PackageBackEnd(benchmark::State& state)
{
    WeDataFile package((GetContent().folder + "/Packages.dat").c_str());
    ReadEveryEntry(state, package);
}

void LooseFiles(benchmark::State& state)
{
    WeFileSystem loose((GetContent().folder + "/Packages").c_str());
    ReadEveryEntry(state, loose);
}

} // namespace

BENCHMARK(PackageBackEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(LooseFiles)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
