// DDS image files in memory: their description, textures made from them, and textures written
// back as DDS. 2D images, cube maps (all six faces) and volumes of the formats A8R8G8B8,
// X8R8G8B8 and DXT1/3/5 (volumes uncompressed only), with their mip levels.
#pragma once

#include "d3d9/D3d9Device.h"

#include <cstdint>
#include <vector>

namespace d3dx
{

enum ResourceKind : uint32_t
{
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
};

struct ImageInfo
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 1;
    uint32_t mipLevels = 1;
    d3d9::Format format = d3d9::D3DFMT_UNKNOWN;
    ResourceKind resourceType = D3DRTYPE_TEXTURE;
};

// Checks every size against the bytes given; D3DERR_INVALIDCALL for anything else.
d3d9::HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, uint32_t size, ImageInfo* info);
// Managed textures with the file's levels and format, each from a file of its kind: a 2D image,
// a cube map whose faces are square, a volume.
d3d9::HRESULT D3DXCreateTextureFromFileInMemory(d3d9::Device* device, const void* data, uint32_t size,
                                                d3d9::Texture** texture);
d3d9::HRESULT D3DXCreateCubeTextureFromFileInMemory(d3d9::Device* device, const void* data, uint32_t size,
                                                    d3d9::CubeTexture** texture);
d3d9::HRESULT D3DXCreateVolumeTextureFromFileInMemory(d3d9::Device* device, const void* data, uint32_t size,
                                                      d3d9::VolumeTexture** texture);
// Level bytes of a format: rows of 4x4 blocks for the DXT formats.
uint32_t LevelSize(d3d9::Format format, uint32_t width, uint32_t height);
// The whole texture as a DDS file.
d3d9::HRESULT D3DXSaveTextureToFileInMemory(std::vector<uint8_t>& out, d3d9::Texture* texture);
// A DDS file of one image given level by level (level 0 first, each LevelSize bytes).
std::vector<uint8_t> WriteDds(d3d9::Format format, uint32_t width, uint32_t height,
                              const std::vector<std::vector<uint8_t>>& levels);
// A DDS file of the shape the description gives (kind, sizes, level count, format), its images
// in file order: for each face of a cube map (+X, -X, +Y, -Y, +Z, -Z) or the one image its
// levels from level 0, each LevelSize bytes, a volume's level holding its slices front first.
std::vector<uint8_t> WriteDds(const ImageInfo& shape, const std::vector<std::vector<uint8_t>>& images);

} // namespace d3dx
