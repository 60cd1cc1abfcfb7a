#include "WeUIPainter.h"

#include "WeRenderDevice.h"

WeFont* WeUIDevicePainter::GetFont(const WeString&)
{
    return nullptr;
}

void WeUIDevicePainter::MeasureText(WeFont*, const WeString&, int32_t* width, int32_t* height)
{
    *width = 0;
    *height = 0;
}

WeTexture* WeUIDevicePainter::LoadTexture(const WeString&)
{
    return nullptr;
}

void WeUIDevicePainter::GetTextureSize(WeTexture*, int32_t* width, int32_t* height)
{
    *width = 0;
    *height = 0;
}

void WeUIDevicePainter::DrawRectangle(int32_t, int32_t, int32_t, int32_t, uint32_t, WeTexture*, int32_t) {}

void WeUIDevicePainter::DrawRectanglePart(int32_t, int32_t, int32_t, int32_t, float, float, float, float,
                                          uint32_t, WeTexture*, int32_t)
{
}

void WeUIDevicePainter::DrawText(WeFont*, const WeString&, int32_t, int32_t, int32_t, int32_t, uint32_t,
                                 uint32_t, int32_t, int32_t)
{
}

void WeUIDevicePainter::Flush() {}

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
