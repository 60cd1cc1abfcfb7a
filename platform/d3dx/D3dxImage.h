// Image files written from device surfaces, and copies between device surfaces.
#pragma once

#include "d3d9/D3d9Resources.h"

namespace d3dx
{

enum ImageFileFormat : uint32_t
{
    D3DXIFF_BMP = 0,
};

// Writes the surface (or the rectangle of it) to a file. BMP files are 24-bit, bottom-up rows, as
// Windows writes them; surfaces of 32-bit formats only. The palette is not used.
d3d9::HRESULT D3DXSaveSurfaceToFileA(const char* fileName, ImageFileFormat format, d3d9::Surface* surface,
                                     const void* palette, const d3d9::Rect* rect);

constexpr uint32_t D3DX_FILTER_NONE = 1;
constexpr uint32_t D3DX_FILTER_POINT = 2;
constexpr uint32_t D3DX_FILTER_LINEAR = 3;

// Copies the source rectangle into the destination rectangle (whole surfaces without them)
// through the device's StretchRect, so a multisampled source arrives resolved. The low byte of
// the filter picks nearest (none, point) or linear scaling; the default filter is linear.
// Palettes are not used; a colour key is not supported (it must be 0).
d3d9::HRESULT D3DXLoadSurfaceFromSurface(d3d9::Surface* dest, const void* destPalette,
                                         const d3d9::Rect* destRect, d3d9::Surface* source,
                                         const void* sourcePalette, const d3d9::Rect* sourceRect,
                                         uint32_t filter, d3d9::D3DCOLOR colorKey);

} // namespace d3dx
