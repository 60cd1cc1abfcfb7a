#include "WeUILabel.h"

#include "WeRenderDevice.h"
#include "WeUIMain.h"

WeUIRoot::WeUIRoot(const WeString& rootName) : WeUIComponent(nullptr, rootName)
{
    SetPlacement(0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0);
    visibilityValue = 1.0f;
}

void WeUIRoot::UpdateLayout(bool, bool)
{
    x = 0;
    y = 0;
    w = renderDevice.BackBufferWidth();
    h = renderDevice.BackBufferHeight();
    WeUIComponent::UpdateLayout(false, true);
}

void WeUIDefaultLabelStyle::Draw(WeUIComponent* label)
{
    const int32_t ix = label->x + leftPx;
    const int32_t iy = label->y + topPx;
    const int32_t iw = label->w - rightPx - leftPx;
    const int32_t ih = label->h - bottomPx - topPx;
    WeUIPainter& painter = *uiMain.painter;
    if (label->secondColour.a > 0.0f)
        painter.DrawRectangle(ix, iy, iw, ih, WeUIColourToArgb(label->secondColour), nullptr,
                              BLENDMODE_NORMAL);
    if (texture)
    {
        const uint32_t argb = WeUIColourToArgb(label->normalColour);
        painter.DrawRectangle(ix, iy, iw, ih, argb, texture, BlendModeFor(texture, argb));
    }
    DrawText(label->text, ix, iy, iw, ih, label->normalColour, label->selected, label->hoverColour);
    painter.Flush();
}

void WeUIDefaultWindowStyle::Draw(WeUIComponent* window)
{
    uiMain.painter->Flush();
    if (texture)
        DrawFrame(window->x, window->y, window->w, window->h, WeUIColourToArgb(window->normalColour),
                  texture);
}
