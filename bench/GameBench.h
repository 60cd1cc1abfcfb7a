// What the benchmarks that run the whole game share: its start as the program makes it, its
// stop, and the median of a run's figures.
#pragma once

#include "MivoGame.h"
#include "WeApplication.h"
#include "WeEngine.h"
#include "WeEngineParts.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace game_bench
{
// The game's start with the player folder, as the program makes it, up to its activation; false
// when it does not start. Maps are read from the program's folder, as the game reads them.
inline bool StartGame(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::current_path(WeGetExecutableFolder().GetData(), ignored);
    gameApp.playerFolder = folder;
    gameApp.commandLineNumber = 1;
    WeKeepHeapMapped();
    application = &gameApp;
    WeEngineParts& parts = engine.GetParts();
    parts.FillRandomTable();
    parts.InitializeCom();
    if (!parts.CreateDirect3D() || (parts.LoadLanguages(), !gameApp.Init()))
        return false;
    gameApp.OnActivate();
    return true;
}

// The game's end as the program makes it; the player folder goes too.
inline void StopGame(const std::string& folder)
{
    gameApp.Exit();
    gameApp.OnDeactivate();
    engine.Shutdown();
    WeEngineParts& parts = engine.GetParts();
    parts.ReleaseDirect3D();
    parts.UninitializeCom();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}
} // namespace game_bench
