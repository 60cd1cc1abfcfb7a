// Block meshes loaded from the package (records read, meshes made, optimised, bounded) against a
// plain read of the same entries' bytes, in MB/s; and 100 copies of a skinned model of 45 bones
// advanced by a frame and posed (world and skin matrices), per frame.
#include "WeFileStream.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

const char* const blocks[] = {"Block",
                              "arrow",
                              "block_disappearing",
                              "block_magnet_d",
                              "block_magnet_h",
                              "block_number",
                              "block_teleport",
                              "block_teleport_o",
                              "block_teleport_o_i",
                              "block_track",
                              "block_track_end",
                              "block_wall",
                              "magnet"};

WeString BlockName(const char* block)
{
    return WeString("Ingame.Models.") + block;
}

int64_t EntryBytes(WeVirtualFileSystem& files)
{
    int64_t total = 0;
    for (const char* block : blocks)
        if (files.Open(BlockName(block), WeAssetType::Mesh))
        {
            total += files.GetFileSize();
            files.Close();
        }
    return total;
}

void LoadBlockMeshes(benchmark::State& state)
{
    WeVirtualFileSystem& files = *WeVirtualFileSystem::GetFileSystem();
    for (auto _ : state)
        for (const char* block : blocks)
        {
            WeMesh mesh;
            benchmark::DoNotOptimize(mesh.Load(&files, BlockName(block), true));
        }
    state.SetBytesProcessed(state.iterations() * EntryBytes(files));
}
BENCHMARK(LoadBlockMeshes)->Unit(benchmark::kMillisecond);

void ReadBlockMeshBytes(benchmark::State& state)
{
    WeVirtualFileSystem& files = *WeVirtualFileSystem::GetFileSystem();
    std::vector<uint8_t> bytes;
    for (auto _ : state)
        for (const char* block : blocks)
        {
            if (!files.Open(BlockName(block), WeAssetType::Mesh))
                continue;
            bytes.resize(size_t(files.GetFileSize()));
            benchmark::DoNotOptimize(files.GetStream().Read(bytes.data(), int64_t(bytes.size())));
            files.Close();
        }
    state.SetBytesProcessed(state.iterations() * EntryBytes(files));
}
BENCHMARK(ReadBlockMeshBytes)->Unit(benchmark::kMillisecond);

// A strip of 45 triangles, each on a bone of a 45-bone chain, and a set that turns every bone.
std::string ChainModel()
{
    constexpr int bones = 45;
    std::string text = "xof 0303txt 0032\nAnimTicksPerSecond { 30; }\nFrame Skin {\nMesh Strip {\n";
    text += std::to_string(bones * 3) + ";\n";
    for (int b = 0; b < bones; ++b)
        text += std::to_string(0.1 * b) + ";0.0;0.0;, " + std::to_string(0.1 * b + 0.1) + ";0.0;0.0;, " +
                std::to_string(0.1 * b) + ";0.1;0.0;" + (b + 1 < bones ? ",\n" : ";\n");
    text += std::to_string(bones) + ";\n";
    for (int b = 0; b < bones; ++b)
        text += "3;" + std::to_string(b * 3) + "," + std::to_string(b * 3 + 1) + "," +
                std::to_string(b * 3 + 2) + (b + 1 < bones ? ";,\n" : ";;\n");
    text += "XSkinMeshHeader { 1; 1; " + std::to_string(bones) + "; }\n";
    for (int b = 0; b < bones; ++b)
        text += "SkinWeights { \"Bone" + std::to_string(b) + "\"; 3; " + std::to_string(b * 3) + "," +
                std::to_string(b * 3 + 1) + "," + std::to_string(b * 3 + 2) +
                "; 1.0,1.0,1.0; 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, " +
                std::to_string(-0.1 * b) + ",0.0,0.0,1.0;; }\n";
    text += "}\n}\n";
    std::string chain;
    for (int b = bones - 1; b >= 0; --b)
        chain = "Frame Bone" + std::to_string(b) +
                " {\nFrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, " +
                (b ? "0.1" : "0.0") + ",0.0,0.0,1.0;; }\n" + chain + "}\n";
    text += chain + "AnimationSet Turn {\n";
    for (int b = 0; b < bones; ++b)
        text += "Animation { {Bone" + std::to_string(b) +
                "} AnimationKey { 0; 2; 0;4;1.0,0.0,0.0,0.0;;, 30;4;0.9,0.0,0.43589,0.0;;; } AnimationKey { "
                "2; 2; "
                "0;3;" +
                (b ? "0.1" : "0.0") + ",0.0,0.0;;, 30;3;" + (b ? "0.1" : "0.0") + ",0.0,0.0;;; } }\n";
    return text + "}\n";
}

void AdvanceAndPoseSkinnedModels(benchmark::State& state)
{
    const std::string path = "/tmp/we_bench_chain_" + std::to_string(getpid()) + ".x";
    FILE* file = std::fopen(path.c_str(), "wb");
    const std::string text = ChainModel();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    WeModel prototype(true);
    const bool loaded = prototype.LoadHierarchy(nullptr, path.c_str(), false);
    std::filesystem::remove(path);
    if (!loaded)
    {
        state.SkipWithError("the chain model does not load");
        return;
    }
    std::vector<std::unique_ptr<WeModel>> models;
    for (int i = 0; i < 100; ++i)
    {
        models.emplace_back(WeModelManager::CreateInstance(&prototype));
        models.back()->PlayAnimation(0, "Turn", 1.0f, true, 0.2f, 0.2f, true, true);
    }
    timer.deltaTime = 1.0f / 60.0f;
    const WeMatrix place;
    for (auto _ : state)
        for (const std::unique_ptr<WeModel>& model : models)
        {
            model->AdvanceAnimation(1.0f);
            model->UpdateFrameMatrices(place, false);
        }
}
BENCHMARK(AdvanceAndPoseSkinnedModels)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
