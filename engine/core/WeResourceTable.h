// The road of the resource managers (meshes, materials) to a resource by asset name: the table
// keys resources by the lower-cased name and marks those asked for during fixed loading fixed.
#pragma once

#include "WeHashTable.h"
#include "WeString.h"
#include "WeTimer.h"

#include <memory>

// The cached resource of the name, made fixed when fixed loading is on; else a new one that
// `load` fills and that is cached when it loaded. Null for an empty name or a failed load.
template <typename T, typename Load>
T* WeLoadByName(WeHashTable<T*>& table, const WeString& assetName, Load&& load)
{
    if (assetName.IsEmpty())
        return nullptr;
    const WeString key = assetName.ToLower();
    T* cached = nullptr;
    if (table.Find(key, cached))
    {
        cached->SetFixed(WeIsFixedLoading());
        return cached;
    }
    auto made = std::make_unique<T>();
    if (!load(*made))
        return nullptr;
    made->SetFixed(WeIsFixedLoading());
    table.Insert(key, made.get());
    return made.release();
}
