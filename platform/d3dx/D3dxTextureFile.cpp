#include "d3dx/D3dxTextureFile.h"

#include <algorithm>
#include <cstring>

namespace d3dx
{

namespace
{

constexpr uint32_t magic = d3d9::MakeFourCC('D', 'D', 'S', ' ');
constexpr uint32_t headerSize = 124;
constexpr uint32_t fileHeaderSize = 4 + headerSize;
constexpr uint32_t flagCaps = 0x1, flagHeight = 0x2, flagWidth = 0x4, flagPixelFormat = 0x1000;
constexpr uint32_t flagMipCount = 0x20000, flagLinearSize = 0x80000, flagPitch = 0x8, flagDepth = 0x800000;
constexpr uint32_t pixelFourCC = 0x4, pixelRgb = 0x40, pixelAlpha = 0x1;
constexpr uint32_t capsTexture = 0x1000, capsMipMap = 0x400000, capsComplex = 0x8;
constexpr uint32_t caps2Cube = 0x200, caps2AllFaces = 0xFC00, caps2Volume = 0x200000;
constexpr uint32_t largestSize = 16384;

uint32_t Word(const uint8_t* bytes, uint32_t index)
{
    uint32_t value = 0;
    std::memcpy(&value, bytes + 4 + index * 4, 4);
    return value;
}

using d3d9::IsBlockFormat;

// Header words (after the magic): 0 size, 1 flags, 2 height, 3 width, 4 pitch, 5 depth, 6 mips,
// 18 pixel format size, 19 flags, 20 FourCC, 21 bit count, 22-25 masks, 26 caps, 27 caps2.
d3d9::Format FormatOf(const uint8_t* bytes)
{
    const uint32_t flags = Word(bytes, 19);
    if (flags & pixelFourCC)
    {
        const auto code = d3d9::Format(Word(bytes, 20));
        return IsBlockFormat(code) ? code : d3d9::D3DFMT_UNKNOWN;
    }
    if ((flags & pixelRgb) && Word(bytes, 21) == 32 && Word(bytes, 22) == 0xFF0000u &&
        Word(bytes, 23) == 0xFF00u && Word(bytes, 24) == 0xFFu)
        return (flags & pixelAlpha) && Word(bytes, 25) == 0xFF000000u ? d3d9::D3DFMT_A8R8G8B8
                                                                      : d3d9::D3DFMT_X8R8G8B8;
    return d3d9::D3DFMT_UNKNOWN;
}

// Levels from the full size down to 1 x 1 (x 1).
uint32_t ChainLength(uint32_t largest)
{
    uint32_t levels = 1;
    while ((largest >> levels) != 0)
        ++levels;
    return levels;
}

uint32_t FaceCount(const ImageInfo& info)
{
    return info.resourceType == D3DRTYPE_CUBETEXTURE ? 6 : 1;
}

// A level's extent: width, height and (volumes) depth.
d3d9::Box LevelBox(const ImageInfo& info, uint32_t level)
{
    const auto size = [level](uint32_t extent) { return std::max(1u, extent >> level); };
    return d3d9::Box{0, 0, size(info.width), size(info.height), 0, size(info.depth)};
}

// Bytes of one face's level, every slice of a volume's level included.
uint64_t ImageBytes(const ImageInfo& info, uint32_t level)
{
    const d3d9::Box box = LevelBox(info, level);
    return uint64_t(LevelSize(info.format, box.right, box.bottom)) * box.back;
}

// Copies one width x height image from the file's packed rows to memory rows `pitch` apart;
// returns where the file's next image starts.
const uint8_t* CopyImage(const uint8_t* source, void* bits, int32_t pitch, d3d9::Format format,
                         uint32_t width, uint32_t height)
{
    const uint32_t bytes = LevelSize(format, width, height);
    const uint32_t rows = IsBlockFormat(format) ? std::max(1u, (height + 3) / 4) : height;
    for (uint32_t row = 0; row < rows; ++row)
        std::memcpy(static_cast<uint8_t*>(bits) + size_t(row) * size_t(pitch),
                    source + size_t(row) * (bytes / rows), bytes / rows);
    return source + bytes;
}

// Fills the levels of one face (none for a 2D texture) from the file; returns where the next
// face starts, or null when a level cannot be locked.
template <typename T, typename... Face>
const uint8_t* FillFace(T* texture, const ImageInfo& info, const uint8_t* source, Face... face)
{
    for (uint32_t level = 0; level < info.mipLevels; ++level)
    {
        const d3d9::Box box = LevelBox(info, level);
        d3d9::LockedRect locked;
        if (d3d9::Failed(texture->LockRect(face..., level, &locked, nullptr, 0)))
            return nullptr;
        source = CopyImage(source, locked.bits, locked.pitch, info.format, box.right, box.bottom);
        texture->UnlockRect(face..., level);
    }
    return source;
}

// The file's description when it holds an image of the kind and there is somewhere to make it.
d3d9::HRESULT Describe(const void* data, uint32_t size, ResourceKind kind, bool ready, ImageInfo& info)
{
    const d3d9::HRESULT result = D3DXGetImageInfoFromFileInMemory(data, size, &info);
    if (d3d9::Failed(result))
        return result;
    return info.resourceType == kind && ready ? d3d9::D3D_OK : d3d9::D3DERR_INVALIDCALL;
}

const uint8_t* FirstImage(const void* data)
{
    return static_cast<const uint8_t*>(data) + fileHeaderSize;
}

// Fills every level of a volume from the file; false when a level cannot be locked.
bool FillVolume(d3d9::VolumeTexture* texture, const ImageInfo& info, const uint8_t* source)
{
    for (uint32_t level = 0; level < info.mipLevels; ++level)
    {
        const d3d9::Box box = LevelBox(info, level);
        d3d9::LockedBox locked;
        if (d3d9::Failed(texture->LockBox(level, &locked, nullptr, 0)))
            return false;
        for (uint32_t slice = 0; slice < box.back; ++slice)
            source = CopyImage(source,
                               static_cast<uint8_t*>(locked.bits) + size_t(slice) * size_t(locked.slicePitch),
                               locked.rowPitch, info.format, box.right, box.bottom);
        texture->UnlockBox(level);
    }
    return true;
}

// Hands a filled texture to the caller, or releases one whose images could not be copied in.
template <typename T> d3d9::HRESULT HandOver(T* made, bool filled, T** texture)
{
    if (!filled)
    {
        made->Release();
        return d3d9::D3DERR_INVALIDCALL;
    }
    *texture = made;
    return d3d9::D3D_OK;
}

void PutWord(std::vector<uint8_t>& out, uint32_t index, uint32_t value)
{
    std::memcpy(out.data() + 4 + index * 4, &value, 4);
}

} // namespace

uint32_t LevelSize(d3d9::Format format, uint32_t width, uint32_t height)
{
    return d3d9::LevelBytes(format, width, height);
}

d3d9::HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, uint32_t size, ImageInfo* info)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size < fileHeaderSize || std::memcmp(bytes, &magic, 4) != 0 ||
        Word(bytes, 0) != headerSize || Word(bytes, 18) != 32)
        return d3d9::D3DERR_INVALIDCALL;
    ImageInfo read;
    read.height = Word(bytes, 2);
    read.width = Word(bytes, 3);
    read.mipLevels = (Word(bytes, 1) & flagMipCount) ? std::max(1u, Word(bytes, 6)) : 1u;
    read.format = FormatOf(bytes);
    const uint32_t caps2 = Word(bytes, 27);
    read.resourceType = (caps2 & caps2Cube)     ? D3DRTYPE_CUBETEXTURE
                        : (caps2 & caps2Volume) ? D3DRTYPE_VOLUMETEXTURE
                                                : D3DRTYPE_TEXTURE;
    if (read.resourceType == D3DRTYPE_VOLUMETEXTURE)
        read.depth = (Word(bytes, 1) & flagDepth) ? Word(bytes, 5) : 0;
    const bool someFacesOnly =
        read.resourceType == D3DRTYPE_CUBETEXTURE && (caps2 & caps2AllFaces) != caps2AllFaces;
    if (read.format == d3d9::D3DFMT_UNKNOWN || read.width == 0 || read.height == 0 || read.depth == 0 ||
        read.width > largestSize || read.height > largestSize || read.depth > largestSize || someFacesOnly ||
        read.mipLevels > ChainLength(std::max({read.width, read.height, read.depth})))
        return d3d9::D3DERR_INVALIDCALL;
    // Every level of every face must be there in full.
    uint64_t needed = fileHeaderSize;
    for (uint32_t level = 0; level < read.mipLevels; ++level)
        needed += FaceCount(read) * ImageBytes(read, level);
    if (needed > size)
        return d3d9::D3DERR_INVALIDCALL;
    if (info)
        *info = read;
    return d3d9::D3D_OK;
}

d3d9::HRESULT D3DXCreateTextureFromFileInMemory(d3d9::Device* device, const void* data, uint32_t size,
                                                d3d9::Texture** texture)
{
    ImageInfo info;
    d3d9::HRESULT result = Describe(data, size, D3DRTYPE_TEXTURE, device && texture, info);
    d3d9::Texture* made = nullptr;
    if (d3d9::Failed(result) ||
        d3d9::Failed(result = device->CreateTexture(info.width, info.height, info.mipLevels, 0, info.format,
                                                    d3d9::D3DPOOL_MANAGED, &made, nullptr)))
        return result;
    return HandOver(made, FillFace(made, info, FirstImage(data)) != nullptr, texture);
}

d3d9::HRESULT D3DXCreateCubeTextureFromFileInMemory(d3d9::Device* device, const void* data, uint32_t size,
                                                    d3d9::CubeTexture** texture)
{
    ImageInfo info;
    d3d9::HRESULT result = Describe(data, size, D3DRTYPE_CUBETEXTURE, device && texture, info);
    if (!d3d9::Failed(result) && info.width != info.height)
        result = d3d9::D3DERR_INVALIDCALL;
    d3d9::CubeTexture* made = nullptr;
    if (d3d9::Failed(result) ||
        d3d9::Failed(result = device->CreateCubeTexture(info.width, info.mipLevels, 0, info.format,
                                                        d3d9::D3DPOOL_MANAGED, &made, nullptr)))
        return result;
    const uint8_t* source = FirstImage(data);
    for (uint32_t face = 0; face < 6 && source; ++face)
        source = FillFace(made, info, source, d3d9::CubeFace(face));
    return HandOver(made, source != nullptr, texture);
}

d3d9::HRESULT D3DXCreateVolumeTextureFromFileInMemory(d3d9::Device* device, const void* data, uint32_t size,
                                                      d3d9::VolumeTexture** texture)
{
    ImageInfo info;
    d3d9::HRESULT result = Describe(data, size, D3DRTYPE_VOLUMETEXTURE, device && texture, info);
    d3d9::VolumeTexture* made = nullptr;
    if (d3d9::Failed(result) || d3d9::Failed(result = device->CreateVolumeTexture(
                                                 info.width, info.height, info.depth, info.mipLevels, 0,
                                                 info.format, d3d9::D3DPOOL_MANAGED, &made, nullptr)))
        return result;
    return HandOver(made, FillVolume(made, info, FirstImage(data)), texture);
}

std::vector<uint8_t> WriteDds(d3d9::Format format, uint32_t width, uint32_t height,
                              const std::vector<std::vector<uint8_t>>& levels)
{
    ImageInfo shape;
    shape.width = width;
    shape.height = height;
    shape.mipLevels = uint32_t(levels.size());
    shape.format = format;
    return WriteDds(shape, levels);
}

std::vector<uint8_t> WriteDds(const ImageInfo& shape, const std::vector<std::vector<uint8_t>>& images)
{
    std::vector<uint8_t> out(fileHeaderSize, 0);
    std::memcpy(out.data(), &magic, 4);
    const d3d9::Format format = shape.format;
    const bool block = IsBlockFormat(format);
    const bool volume = shape.resourceType == D3DRTYPE_VOLUMETEXTURE;
    const uint32_t mips = shape.mipLevels;
    PutWord(out, 0, headerSize);
    PutWord(out, 1,
            flagCaps | flagHeight | flagWidth | flagPixelFormat | (mips > 1 ? flagMipCount : 0) |
                (block ? flagLinearSize : flagPitch) | (volume ? flagDepth : 0));
    PutWord(out, 2, shape.height);
    PutWord(out, 3, shape.width);
    PutWord(out, 4, block ? LevelSize(format, shape.width, shape.height) : shape.width * 4);
    PutWord(out, 5, volume ? shape.depth : 0);
    PutWord(out, 6, mips);
    PutWord(out, 18, 32);
    if (block)
    {
        PutWord(out, 19, pixelFourCC);
        PutWord(out, 20, format);
    }
    else
    {
        PutWord(out, 19, pixelRgb | (format == d3d9::D3DFMT_A8R8G8B8 ? pixelAlpha : 0));
        PutWord(out, 21, 32);
        PutWord(out, 22, 0xFF0000u);
        PutWord(out, 23, 0xFF00u);
        PutWord(out, 24, 0xFFu);
        PutWord(out, 25, format == d3d9::D3DFMT_A8R8G8B8 ? 0xFF000000u : 0u);
    }
    const bool several = mips > 1 || shape.resourceType != D3DRTYPE_TEXTURE;
    PutWord(out, 26, capsTexture | (mips > 1 ? capsMipMap : 0) | (several ? capsComplex : 0));
    PutWord(out, 27,
            shape.resourceType == D3DRTYPE_CUBETEXTURE ? caps2Cube | caps2AllFaces
            : volume                                   ? caps2Volume
                                                       : 0);
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

d3d9::HRESULT D3DXSaveTextureToFileInMemory(std::vector<uint8_t>& out, d3d9::Texture* texture)
{
    if (!texture || (texture->GetFormat() != d3d9::D3DFMT_A8R8G8B8 &&
                     texture->GetFormat() != d3d9::D3DFMT_X8R8G8B8 && !IsBlockFormat(texture->GetFormat())))
        return d3d9::D3DERR_INVALIDCALL;
    const d3d9::Format format = texture->GetFormat();
    std::vector<std::vector<uint8_t>> levels;
    for (uint32_t level = 0; level < texture->GetLevelCount(); ++level)
    {
        const uint32_t w = std::max(1u, texture->Width() >> level),
                       h = std::max(1u, texture->Height() >> level);
        const uint32_t bytes = LevelSize(format, w, h);
        const uint32_t rows = IsBlockFormat(format) ? std::max(1u, (h + 3) / 4) : h;
        d3d9::LockedRect locked;
        if (d3d9::Failed(texture->LockRect(level, &locked, nullptr, 0)))
            return d3d9::D3DERR_INVALIDCALL;
        std::vector<uint8_t> data(bytes);
        for (uint32_t row = 0; row < rows; ++row)
            std::memcpy(data.data() + size_t(row) * (bytes / rows),
                        static_cast<const uint8_t*>(locked.bits) + size_t(row) * size_t(locked.pitch),
                        bytes / rows);
        texture->UnlockRect(level);
        levels.push_back(std::move(data));
    }
    out = WriteDds(format, texture->Width(), texture->Height(), levels);
    return d3d9::D3D_OK;
}

} // namespace d3dx
