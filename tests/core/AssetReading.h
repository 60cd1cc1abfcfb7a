// Helpers for tests that read assets through a file-system back end.
#pragma once

#include "WeFileStream.h"
#include "WeVirtualFileSystem.h"

#include <set>
#include <string>
#include <vector>

inline std::set<std::string> Names(const WeList<WeString>& list)
{
    std::set<std::string> names;
    for (const WeString& name : list)
        names.insert(name.GetData());
    return names;
}

// The whole open asset, read in one go.
inline std::vector<unsigned char> ReadOpenAsset(WeVirtualFileSystem& files)
{
    std::vector<unsigned char> bytes(static_cast<size_t>(files.GetFileSize()));
    const int64_t got = files.GetStream().Read(bytes.data(), static_cast<int64_t>(bytes.size()));
    bytes.resize(static_cast<size_t>(got));
    return bytes;
}
