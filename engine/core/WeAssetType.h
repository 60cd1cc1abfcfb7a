// Asset types and dotted asset names. Every asset is addressed by "Group.Subgroup.name" and a
// type; the type selects the file extension in both file-system back ends.
#pragma once

#include "WeString.h"

#include <cstdint>

enum class WeAssetType : int32_t
{
    None = 0, // no extension
    Texture = 1,
    Material = 2,
    Effect = 3,
    Sound = 4,
    Mesh = 5,
    Model = 6,
    AnimatedModel = 7,
    OldParticles = 8,
    AnimatedTexture = 9,
    Particles = 10,
    Config = 11,
    Cfg = 12,
    Text = 13,
    Light = 14,
    Map = 15,
    Ogg = 16,
    Font = 17,
};

constexpr int32_t WeAssetTypeCount = 18;

// The file extension of each type, by value.
inline constexpr const char* assetExtensions[WeAssetTypeCount] = {
    "",           "dds",       "material", "fxo", "sound", "mesh",  "model", "animodel", "oldparticles",
    "anitexture", "particles", "ini",      "cfg", "txt",   "light", "map",   "ogg",      "font"};

// True for the values 0 to 17.
constexpr bool WeIsAssetType(int32_t value)
{
    return value >= 0 && value < WeAssetTypeCount;
}

// The type's extension; empty for a value outside the table.
const char* WeAssetExtension(WeAssetType type);

// The first type from 1 to 17 whose extension equals the text exactly (case counts), else None.
WeAssetType WeAssetTypeFromExtension(const char* extension);

// The three fields of an asset name that count, each lower-cased in A-Z; a fourth and later
// field is ignored, a missing field is empty.
struct WeAssetName
{
    explicit WeAssetName(const WeString& assetName);

    WeString group;
    WeString subgroup;
    WeString name;
};

// The asset name in path form: every '.' replaced by a backslash ("Ingame.Models.wall" gives
// "Ingame\Models\wall"); the loose-file back end puts its folder before it.
WeString WeAssetNameToPath(const WeString& assetName);
