#include "WeAssetType.h"

#include <cstring>

const char* WeAssetExtension(WeAssetType type)
{
    const auto value = static_cast<int32_t>(type);
    return WeIsAssetType(value) ? assetExtensions[value] : "";
}

WeAssetType WeAssetTypeFromExtension(const char* extension)
{
    if (!extension)
        return WeAssetType::None;
    for (int32_t value = 1; value < WeAssetTypeCount; ++value)
        if (std::strcmp(assetExtensions[value], extension) == 0)
            return static_cast<WeAssetType>(value);
    return WeAssetType::None;
}

WeAssetName::WeAssetName(const WeString& assetName)
    : group(assetName.GetToken('.', 0).ToLower()), subgroup(assetName.GetToken('.', 1).ToLower()),
      name(assetName.GetToken('.', 2).ToLower())
{
}

WeString WeAssetNameToPath(const WeString& assetName)
{
    WeString path(assetName);
    char* bytes = path.GetBuffer();
    for (int32_t i = 0; i < path.GetLength(); ++i)
        if (bytes[i] == '.')
            bytes[i] = '\\';
    return path;
}
