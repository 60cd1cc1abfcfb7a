#include "d3dx/D3dxImage.h"

#include "d3d9/D3d9Device.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace d3dx
{

namespace
{

void Put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// File header and information header of a 24-bit bottom-up bitmap.
std::vector<uint8_t> BitmapHeader(uint32_t width, uint32_t height, uint32_t imageBytes)
{
    constexpr uint32_t headerBytes = 14 + 40;
    std::vector<uint8_t> out{'B', 'M'};
    Put32(out, headerBytes + imageBytes);
    Put32(out, 0);
    Put32(out, headerBytes);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, imageBytes);
    Put32(out, 2835); // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    return out;
}

} // namespace

d3d9::HRESULT D3DXSaveSurfaceToFileA(const char* fileName, ImageFileFormat format, d3d9::Surface* surface,
                                     const void*, const d3d9::Rect* rect)
{
    if (!fileName || !surface || format != D3DXIFF_BMP ||
        d3d9::BytesPerPixel(surface->GetDesc().format) != 4 || d3d9::IsDepthFormat(surface->GetDesc().format))
    {
        return d3d9::D3DERR_INVALIDCALL;
    }
    const d3d9::SurfaceDesc desc = surface->GetDesc();
    const d3d9::Rect whole{0, 0, int32_t(desc.width), int32_t(desc.height)};
    const d3d9::Rect area = rect ? *rect : whole;
    d3d9::LockedRect locked;
    if (d3d9::Failed(surface->LockRect(&locked, &area, d3d9::D3DLOCK_READONLY)))
    {
        return d3d9::D3DERR_INVALIDCALL;
    }
    const uint32_t width = uint32_t(area.right - area.left);
    const uint32_t height = uint32_t(area.bottom - area.top);
    const uint32_t rowBytes = (width * 3 + 3) & ~3u;
    std::vector<uint8_t> image(size_t(rowBytes) * height);
    for (uint32_t y = 0; y < height; ++y)
    {
        const uint8_t* source = static_cast<const uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch);
        uint8_t* row = image.data() + size_t(height - 1 - y) * rowBytes;
        for (uint32_t x = 0; x < width; ++x)
        {
            row[x * 3 + 0] = source[x * 4 + 0];
            row[x * 3 + 1] = source[x * 4 + 1];
            row[x * 3 + 2] = source[x * 4 + 2];
        }
    }
    surface->UnlockRect();
    const std::vector<uint8_t> header = BitmapHeader(width, height, uint32_t(image.size()));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName, "wb"), &std::fclose);
    if (!file || std::fwrite(header.data(), 1, header.size(), file.get()) != header.size() ||
        std::fwrite(image.data(), 1, image.size(), file.get()) != image.size())
    {
        return d3d9::E_FAIL;
    }
    return std::fflush(file.get()) == 0 ? d3d9::D3D_OK : d3d9::E_FAIL;
}

d3d9::HRESULT D3DXLoadSurfaceFromSurface(d3d9::Surface* dest, const void*, const d3d9::Rect* destRect,
                                         d3d9::Surface* source, const void*, const d3d9::Rect* sourceRect,
                                         uint32_t filter, d3d9::D3DCOLOR colorKey)
{
    if (!dest || !source || colorKey != 0)
    {
        return d3d9::D3DERR_INVALIDCALL;
    }
    const uint32_t kind = filter & 0xFF;
    const bool nearest = kind == D3DX_FILTER_NONE || kind == D3DX_FILTER_POINT;
    return dest->GetDevice().StretchRect(source, sourceRect, dest, destRect,
                                         nearest ? d3d9::D3DTEXF_POINT : d3d9::D3DTEXF_LINEAR);
}

} // namespace d3dx
