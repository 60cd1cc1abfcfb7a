#include "WeUIPainter.h"

#include "WeCanvas.h"
#include "WeFont.h"
#include "WeRenderDevice.h"
#include "WeTexture.h"
#include "WeVirtualFileSystem.h"

WeFont* WeUIDevicePainter::GetFont(const WeString& key)
{
    return fonts.GetFont(key);
}

void WeUIDevicePainter::MeasureText(WeFont* font, const WeString& text, int32_t* width, int32_t* height)
{
    *width = 0;
    *height = 0;
    if (font)
        font->MeasureText(text, *width, *height, 0);
}

int32_t WeUIDevicePainter::GetFontPixelSize(WeFont* font)
{
    return font ? font->rasterSize : 0;
}

WeTexture* WeUIDevicePainter::LoadTexture(const WeString& name)
{
    WeVirtualFileSystem* fileSystem = WeVirtualFileSystem::GetFileSystem();
    if (!fileSystem || !fileSystem->Exists(name, WeAssetType::Texture))
        return nullptr;
    return textures.Load(name);
}

void WeUIDevicePainter::GetTextureSize(WeTexture* texture, int32_t* width, int32_t* height)
{
    *width = texture ? texture->width : 0;
    *height = texture ? texture->height : 0;
}

namespace
{

// Whether every texel of a 32-bit level has alpha 255.
bool OpaqueLevel(d3d9::Surface& level)
{
    d3d9::LockedRect locked;
    if (d3d9::Failed(level.LockRect(&locked, nullptr, d3d9::D3DLOCK_READONLY)))
        return false;
    const d3d9::SurfaceDesc desc = level.GetDesc();
    bool opaque = true;
    for (uint32_t y = 0; opaque && y < desc.height; ++y)
    {
        const auto* row = static_cast<const uint8_t*>(locked.bits) + size_t(y) * size_t(locked.pitch);
        for (uint32_t x = 0; opaque && x < desc.width; ++x)
            opaque = row[4 * x + 3] == 0xFF;
    }
    level.UnlockRect();
    return opaque;
}

} // namespace

bool WeUIDevicePainter::IsOpaque(WeTexture* texture)
{
    const d3d9::Texture* plain = texture ? texture->GetTexture2D() : nullptr;
    if (!plain || plain->GetFormat() == d3d9::D3DFMT_X8R8G8B8)
        return plain != nullptr;
    if (plain->GetFormat() != d3d9::D3DFMT_A8R8G8B8)
        return false;
    for (uint32_t level = 0; level < plain->GetLevelCount(); ++level)
        if (!OpaqueLevel(*plain->Level(0, level)))
            return false;
    return true;
}

void WeUIDevicePainter::DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb,
                                      WeTexture* texture, int32_t blend)
{
    canvas.DrawRectangle(x, y, w, h, argb, texture, blend);
}

void WeUIDevicePainter::DrawRectangleRotated(float x, float y, float w, float h, float angle, uint32_t argb,
                                             WeTexture* texture, int32_t blend)
{
    canvas.DrawRectangleRotated(x, y, w, h, angle, argb, texture, blend);
}

void WeUIDevicePainter::DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float left, float top,
                                          float right, float bottom, uint32_t argb, WeTexture* texture,
                                          int32_t blend)
{
    canvas.DrawRectanglePart(x, y, w, h, left, top, right, bottom, argb, texture, blend);
}

void WeUIDevicePainter::DrawRectanglePartD3D(int32_t x, int32_t y, int32_t w, int32_t h, float left,
                                             float top, float right, float bottom, uint32_t argb,
                                             d3d9::BaseTexture* texture, int32_t blend)
{
    canvas.DrawRectanglePartD3D(x, y, w, h, left, top, right, bottom, argb, texture, blend);
}

void WeUIDevicePainter::DrawText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w,
                                 int32_t h, uint32_t argb, uint32_t argb2, int32_t flags, int32_t effect)
{
    if (effect == 1)
        canvas.Draw2DTextShadowed(font, text, x, y, w, h, argb, argb2, flags, 1.0f);
    else if (effect == 2)
        canvas.Draw2DTextOutlined(font, text, x, y, w, h, argb, argb2, flags, 1.0f);
    else
        canvas.Draw2DText(font, text, x, y, w, h, argb, flags, 1.0f);
}

void WeUIDevicePainter::Flush()
{
    canvas.Flush();
}

void WeUIDevicePainter::GetScissor(bool* enabled, WeUIRect* rect)
{
    *enabled = false;
    if (!renderDevice.device)
        return;
    d3d9::Rect saved;
    renderDevice.GetScissor(enabled, &saved);
    *rect = {saved.left, saved.top, saved.right, saved.bottom};
}

void WeUIDevicePainter::SetScissor(bool enabled, const WeUIRect& rect)
{
    if (!renderDevice.device)
        return;
    d3d9::Rect wanted;
    wanted.left = rect.left;
    wanted.top = rect.top;
    wanted.right = rect.right;
    wanted.bottom = rect.bottom;
    renderDevice.SetScissor(enabled, wanted);
}
