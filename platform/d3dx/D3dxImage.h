// Image files written from device surfaces.
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

} // namespace d3dx
