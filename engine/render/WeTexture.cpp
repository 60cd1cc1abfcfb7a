#include "WeTexture.h"

#include "WeFileStream.h"
#include "WeRenderDevice.h"
#include "WeScript.h"
#include "WeTimer.h"
#include "WeVirtualFileSystem.h"
#include "d3dx/D3dxTextureFile.h"

#include <cstdio>
#include <vector>

namespace
{

// The image bytes of the record being read; one buffer for every load.
std::vector<uint8_t>& Scratch()
{
    static std::vector<uint8_t> scratch;
    return scratch;
}

bool ReadInto(WeFileStream& stream, int64_t count, int64_t available)
{
    if (count < 0 || count > available)
        return false;
    Scratch().resize(size_t(count));
    return stream.Read(Scratch().data(), count) == count;
}

float Reciprocal(int32_t value)
{
    return value != 0 ? 1.0f / float(value) : 0.0f;
}

} // namespace

WeTexture::~WeTexture()
{
    // Scripts may hold it; whoever frees it, their objects of it fail from now on.
    WeScriptRegistry::EndLifeEverywhere(this);
    ReleaseTexture();
}

void WeTexture::ReleaseTexture()
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

void WeTexture::SetSizes(int32_t w, int32_t h, int32_t d)
{
    width = w;
    height = h;
    depth = d;
    invWidth = Reciprocal(w);
    invHeight = Reciprocal(h);
    invDepth = Reciprocal(d);
}

bool WeTexture::LoadFromFileSystem(WeVirtualFileSystem* fileSystem, const WeString& assetName,
                                   bool fromPackage)
{
    name = assetName;
    if (fromPackage)
    {
        if (!fileSystem || !fileSystem->Open(assetName, WeAssetType::Texture))
            return false;
        const bool read = ReadFromStream(fileSystem->GetStream(), fileSystem->GetFileSize());
        fileSystem->Close();
        return read;
    }
    WeFileStream file;
    if (!file.Open(assetName))
        return false;
    return ReadFromStream(file, file.GetFileSize());
}

bool WeTexture::CollectImage(WeFileStream& stream, int64_t available)
{
    if (available < 4)
        return false;
    const int32_t first = stream.ReadInt();
    if (first == recordMagic)
        return available >= 8 && ReadInto(stream, stream.ReadInt(), available - 8);
    if (first == ddsMagic)
        return stream.Seek(-4, SEEK_CUR) && ReadInto(stream, available, available);
    // The older header record: only its image bytes are kept.
    int64_t imageSize = first, version = 0;
    if (first < 0)
    {
        imageSize = -int64_t(first);
        version = stream.ReadInt();
    }
    if (version < 3)
    {
        if (!ReadInto(stream, imageSize, available))
            return false;
        WeString dropped;
        stream.ReadString(dropped);
    }
    // Kind, one field, two more before version 4, one, the row size, one; then the later ones.
    const int fields = 5 + (version < 4 ? 2 : 0) + (version >= 1 && version <= 4 ? 1 : 0) +
                       (version >= 2 && version <= 5 ? 2 : 0);
    for (int i = 0; i < fields; ++i)
        stream.ReadInt();
    if (version >= 3 && version <= 5)
        stream.ReadBool();
    return version < 3 || ReadInto(stream, imageSize, available);
}

bool WeTexture::ReadFromStream(WeFileStream& stream, int64_t available)
{
    ReleaseTexture();
    if (!CollectImage(stream, available))
        return false;
    const std::vector<uint8_t>& bytes = Scratch();
    d3dx::ImageInfo info;
    if (d3d9::Failed(d3dx::D3DXGetImageInfoFromFileInMemory(bytes.data(), uint32_t(bytes.size()), &info)))
        return false;
    format = info.format;
    usage = 0;
    pool = d3d9::D3DPOOL_MANAGED;
    kind = info.resourceType == d3dx::D3DRTYPE_TEXTURE       ? 3
           : info.resourceType == d3dx::D3DRTYPE_CUBETEXTURE ? 1
                                                             : 2;
    if (!renderDevice.device || !CreateFromImage(bytes, info))
        return false;
    SetSizes(int32_t(info.width), int32_t(info.height), int32_t(info.depth));
    return true;
}

bool WeTexture::CreateFromImage(const std::vector<uint8_t>& bytes, const d3dx::ImageInfo& info)
{
    d3d9::Device* device = renderDevice.device;
    const auto size = uint32_t(bytes.size());
    d3d9::HRESULT result = d3d9::D3DERR_INVALIDCALL;
    if (kind == 3)
    {
        d3d9::Texture* made = nullptr;
        result = d3dx::D3DXCreateTextureFromFileInMemory(device, bytes.data(), size, &made);
        texture = made;
    }
    else if (kind == 1 && info.width == info.height)
    {
        d3d9::CubeTexture* made = nullptr;
        result = d3dx::D3DXCreateCubeTextureFromFileInMemory(device, bytes.data(), size, &made);
        texture = made;
    }
    else if (kind == 2)
    {
        d3d9::VolumeTexture* made = nullptr;
        result = d3dx::D3DXCreateVolumeTextureFromFileInMemory(device, bytes.data(), size, &made);
        texture = made;
    }
    return !d3d9::Failed(result);
}

bool WeTexture::Create(int32_t w, int32_t h, d3d9::Format textureFormat, uint32_t textureUsage,
                       d3d9::Pool texturePool, uint32_t levels)
{
    ReleaseTexture();
    format = textureFormat;
    usage = textureUsage;
    pool = texturePool;
    kind = 3;
    SetSizes(w, h, 0);
    d3d9::Texture* made = nullptr;
    if (!renderDevice.device || w <= 0 || h <= 0 ||
        d3d9::Failed(renderDevice.device->CreateTexture(uint32_t(w), uint32_t(h), levels, usage, format, pool,
                                                        &made, nullptr)))
        return false;
    texture = made;
    return true;
}

bool WeTexture::Lock(void** bits, int32_t* size, int32_t* pitch)
{
    d3d9::Texture* plain = GetTexture2D();
    d3d9::LockedRect locked;
    if (!plain || d3d9::Failed(plain->LockRect(0, &locked, nullptr, usage != 0 ? d3d9::D3DLOCK_DISCARD : 0)))
        return false;
    const bool blocks = format >= d3d9::D3DFMT_DXT1 && format <= d3d9::D3DFMT_DXT5;
    *bits = locked.bits;
    *pitch = blocks ? locked.pitch / 4 : locked.pitch;
    *size = height * *pitch;
    return true;
}

void WeTexture::Unlock()
{
    if (d3d9::Texture* plain = GetTexture2D())
        plain->UnlockRect(0);
}

bool WeTexture::Encode(std::vector<uint8_t>& bytes) const
{
    return !d3d9::Failed(d3dx::D3DXSaveTextureToFileInMemory(bytes, GetTexture2D()));
}

bool WeTexture::Save(WeFileStream& stream, bool withMagic)
{
    std::vector<uint8_t> bytes;
    if (!Encode(bytes))
        return false;
    if (withMagic && !(stream.WriteInt(recordMagic) && stream.WriteInt(int32_t(bytes.size()))))
        return false;
    return stream.Write(bytes.data(), int64_t(bytes.size()));
}

WeTextureManager::~WeTextureManager()
{
    FreeAll(true);
}

WeTexture* WeTextureManager::Load(const WeString& assetName)
{
    if (assetName.GetLength() == 0)
        return nullptr;
    const WeString key = assetName.ToLower();
    WeTexture* found = nullptr;
    if (table.Find(key, found))
    {
        found->SetFixed(WeIsFixedLoading());
        return found;
    }
    auto* texture = new WeTexture;
    WeVirtualFileSystem* fileSystem = WeVirtualFileSystem::GetFileSystem();
    if (!texture->LoadFromFileSystem(fileSystem, assetName, true))
    {
        delete texture;
        return nullptr;
    }
    texture->SetFixed(WeIsFixedLoading());
    texture->stamp = fileSystem->GetFileTime(assetName, WeAssetType::Texture);
    table.Insert(key, texture);
    return texture;
}

void WeTextureManager::Register(WeTexture* texture)
{
    char key[32];
    std::snprintf(key, sizeof key, "auto-%08X", unsigned(reinterpret_cast<uintptr_t>(texture) & 0xFFFFFFFFu));
    // The low 32 bits of two addresses can meet on 64-bit systems; the full address decides then.
    WeTexture* other = nullptr;
    if (table.Find(key, other))
        std::snprintf(key, sizeof key, "auto-%016llX",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(texture)));
    table.Insert(key, texture);
}

WeTexture* WeTextureManager::CreateTexture(int32_t width, int32_t height, d3d9::Format format, uint32_t usage,
                                           d3d9::Pool pool, uint32_t levels, bool registerIt)
{
    auto* texture = new WeTexture;
    if (!texture->Create(width, height, format, usage, pool, levels))
    {
        delete texture;
        return nullptr;
    }
    if (registerIt)
        Register(texture);
    texture->SetFixed(WeIsFixedLoading());
    return texture;
}

WeTexture* WeTextureManager::CreateEmptyTexture(bool registerIt)
{
    auto* texture = new WeTexture;
    if (registerIt)
        Register(texture);
    return texture;
}

void WeTextureManager::ForgetDefault(const WeTexture* texture)
{
    for (WeTexture** slot : {&black, &white, &normal, &outlineRamp})
        if (*slot == texture)
            *slot = nullptr;
}

void WeTextureManager::Release(WeTexture* texture, bool force)
{
    if (!texture || table.GetCount() == 0 || (texture->fixed && !force))
        return;
    if (table.RemoveValue(texture))
    {
        ForgetDefault(texture);
        delete texture;
    }
}

void WeTextureManager::FreeAll(bool force)
{
    for (table.Reset(); !table.IsEnd();)
    {
        WeTexture* texture = table.GetValue();
        if (!force && texture->fixed)
        {
            table.Next();
            continue;
        }
        table.RemoveValue(texture);
        ForgetDefault(texture);
        delete texture;
    }
}

bool WeTextureManager::LoadDefaults()
{
    WeBeginFixedLoading();
    black = Load("Config.Assets.DefaultBlack");
    white = Load("Config.Assets.DefaultWhite");
    normal = Load("Config.Assets.DefaultNormal");
    outlineRamp = Load("Config.Assets.DefaultOutlineRamp");
    WeEndFixedLoading();
    return black && white && outlineRamp;
}
