// The level databases shipped in data/, read the way a level load reads them.
#pragma once

#include "MivoMapDatabase.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

inline std::filesystem::path ShippedConfigFolder()
{
    const char* data = std::getenv("WE_TEST_DATA");
    return std::filesystem::path(data ? data : "data") / "Packages" / "Config" / "Main";
}

// The shipped databases by configuration name ("db001"): every "db*.ini" of data/, loaded the
// way a level load does, from the package built out of data/.
inline std::map<std::string, std::unique_ptr<MivoMapDatabase>> ReadShippedDatabases()
{
    std::map<std::string, std::unique_ptr<MivoMapDatabase>> databases;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ShippedConfigFolder(), error))
    {
        const std::string name = entry.path().stem().string();
        if (name.rfind("db", 0) == 0 && entry.path().extension() == ".ini")
            databases[name] = MivoMapDatabase::Load(name.c_str());
    }
    return databases;
}
