// Textures by asset name: DDS images from the package (in their texture stream record), run-time
// textures (font pages, light maps) under generated "auto-" names, locking for writing, saving,
// and freeing all at once while sparing the fixed ones. One global manager, `textures`.
#pragma once

#include "WeHashTable.h"
#include "WeString.h"
#include "d3d9/D3d9Device.h"

#include <cstdint>
#include <vector>

class WeFileStream;
class WeVirtualFileSystem;
namespace d3dx
{
struct ImageInfo;
}

class WeTexture
{
public:
    static constexpr int32_t recordMagic = 0x4D4C4F4B; // "KOLM"
    static constexpr int32_t ddsMagic = 0x20534444;    // "DDS "

    WeTexture() = default;
    virtual ~WeTexture();
    WeTexture(const WeTexture&) = delete;
    WeTexture& operator=(const WeTexture&) = delete;

    bool LoadFromFileSystem(WeVirtualFileSystem* fileSystem, const WeString& assetName, bool fromPackage);
    // Reads a texture stream record of at most `available` bytes.
    bool ReadFromStream(WeFileStream& stream, int64_t available);
    bool Create(int32_t width, int32_t height, d3d9::Format textureFormat, uint32_t textureUsage,
                d3d9::Pool texturePool, uint32_t levels);
    // Level 0 of a 2D texture; for DXT formats the pitch counts 4-byte units of block rows.
    bool Lock(void** bits, int32_t* size, int32_t* pitch);
    void Unlock();
    bool Save(WeFileStream& stream, bool withMagic);
    // The DDS file of the 2D texture; false for another kind or when it cannot be read back.
    bool Encode(std::vector<uint8_t>& bytes) const;
    // The flag only ever turns on.
    void SetFixed(bool value) { fixed = fixed || value; }
    // The 2D texture when this is one.
    d3d9::Texture* GetTexture2D() const { return kind == 3 ? static_cast<d3d9::Texture*>(texture) : nullptr; }

    int32_t kind = 0; // 1 cube, 2 volume, 3 plain 2D
    d3d9::BaseTexture* texture = nullptr;
    d3d9::Format format = d3d9::D3DFMT_UNKNOWN;
    uint32_t usage = 0;
    d3d9::Pool pool = d3d9::D3DPOOL_MANAGED;
    int32_t width = 0, height = 0, depth = 0;
    float invWidth = 0.0f, invHeight = 0.0f, invDepth = 0.0f;
    bool fixed = false;
    WeString name;
    int64_t stamp = 0;

private:
    void ReleaseTexture();
    void SetSizes(int32_t w, int32_t h, int32_t d);
    bool CollectImage(WeFileStream& stream, int64_t available);
    // The Direct3D texture of the kind from the image file; a cube map's faces must be square.
    bool CreateFromImage(const std::vector<uint8_t>& bytes, const d3dx::ImageInfo& info);
};

class WeTextureManager
{
public:
    WeTextureManager() = default;
    virtual ~WeTextureManager();
    WeTextureManager(const WeTextureManager&) = delete;
    WeTextureManager& operator=(const WeTextureManager&) = delete;

    // Cached by lower-cased name; a failed load is not cached.
    WeTexture* Load(const WeString& assetName);
    // With registerIt the table owns it under "auto-" and its address; else the caller does.
    WeTexture* CreateTexture(int32_t width, int32_t height, d3d9::Format format, uint32_t usage,
                             d3d9::Pool pool, uint32_t levels, bool registerIt);
    WeTexture* CreateEmptyTexture(bool registerIt);
    // Removes and deletes a table texture; a fixed one only with force.
    void Release(WeTexture* texture, bool force);
    void FreeAll(bool force);
    // True when black, white and the outline ramp were found.
    bool LoadDefaults();
    int32_t GetCount() const { return table.GetCount(); }

    WeTexture* black = nullptr;
    WeTexture* white = nullptr;
    WeTexture* normal = nullptr;
    WeTexture* outlineRamp = nullptr;

private:
    void Register(WeTexture* texture);
    void ForgetDefault(const WeTexture* texture);
    WeHashTable<WeTexture*> table;
};

extern WeTextureManager textures;
