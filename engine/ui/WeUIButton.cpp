#include "WeUIButton.h"

#include "WeUIMain.h"

void WeUIDefaultButtonStyle::Draw(WeUIComponent* component)
{
    DrawButton(component->x, component->y, component->w, component->h, component->selected, component->text,
               component->normalColour, component->hoverColour, component->pressedColour);
}

void WeUIDefaultButtonStyle::DrawButton(int32_t x, int32_t y, int32_t width, int32_t height, bool selected,
                                        const WeString& text, const WeColor& base, const WeColor& hover,
                                        const WeColor& press) const
{
    if (texture)
    {
        WeUIPainter& painter = *uiMain.painter;
        const float baseTop = selected ? 0.75f : 0.0f;
        painter.DrawRectanglePart(x, y, width, height, 0.0f, baseTop, 1.0f, baseTop + 0.25f,
                                  WeUIColourToArgb(base), texture, BLENDMODE_NORMAL);
        if (hover.a > 0.0f)
            painter.DrawRectanglePart(x, y, width, height, 0.0f, 0.25f, 1.0f, 0.5f, WeUIColourToArgb(hover),
                                      texture, BLENDMODE_NORMAL);
        if (press.a > 0.0f)
            painter.DrawRectanglePart(x, y, width, height, 0.0f, 0.5f, 1.0f, 0.75f, WeUIColourToArgb(press),
                                      texture, BLENDMODE_NORMAL);
    }
    DrawText(text, x, y, width, height, base, selected, hover);
}
