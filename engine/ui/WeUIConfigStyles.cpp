#include "WeUIConfigStyles.h"

#include "WeTimer.h"
#include "WeUICheckBox.h"
#include "WeUIEditBox.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{

constexpr uint32_t kOpaqueRed = 0xFFFF0000u;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;
constexpr uint32_t kSelection = 0xFF0000FFu;
constexpr uint32_t kCaretGreen = 0x0000FF00u;
constexpr int32_t kBar = 3; // width of the triangles' and the cross's bars

void Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb)
{
    uiMain.painter->DrawRectangle(x, y, w, h, argb, nullptr, BLENDMODE_NORMAL);
}

void Bar(float x, float y, float w, float h, float angle)
{
    uiMain.painter->DrawRectangleRotated(x, y, w, h, angle, kWeUIConfigLine, nullptr, BLENDMODE_NORMAL);
}

void Frame(const WeUIComponent* c)
{
    Fill(c->x, c->y, 1, c->h, kWeUIConfigLine);
    Fill(c->x, c->y, c->w, 1, kWeUIConfigLine);
    Fill(c->x + c->w, c->y, 1, c->h, kWeUIConfigLine);
    Fill(c->x, c->y + c->h, c->w, 1, kWeUIConfigLine);
}

void Panel(const WeUIComponent* c)
{
    Fill(c->x, c->y, c->w, c->h, kWeUIConfigPanel);
    Frame(c);
}

void Text(const WeUIFontSpec& font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
          const WeColor& colour)
{
    font.DrawText(text, x, y, w, h, colour.r, colour.g, colour.b, colour.a);
}

// The font entry of the built-in text settings: Arial at 20, replacing what the base read.
void SetArial20(WeUIFontSpec& font, uint32_t colour, int32_t flags)
{
    font.font = uiMain.GetScaledFont(20.0f, "Arial");
    font.colour = colour;
    font.colour2 = 0;
    font.flags = flags;
    font.offsetX = font.offsetY = 0;
    font.effect = 0;
}

// The two slanted sides and the base of a triangle in the component's rectangle inset by a tenth.
// The slant comes from asin(W / 2H), clamped for flat rectangles; no triangle without height.
void Triangle(const WeUIComponent* c, bool up)
{
    const int32_t width = 9 * c->w / 10, height = 9 * c->h / 10;
    if (height <= 0)
        return;
    const float x0 = static_cast<float>(c->x + c->w / 10), y0 = static_cast<float>(c->y + c->h / 10);
    const float x1 = x0 + static_cast<float>(width) / 4.0f;
    const float slant = std::asin(std::clamp(static_cast<float>(width) / (2.0f * height), -1.0f, 1.0f));
    const float first = up ? slant : -slant;
    Bar(x1, y0, kBar, static_cast<float>(height), first);
    Bar(x1 + static_cast<float>(width) / 2.0f, y0, kBar, static_cast<float>(height), -first);
    const float baseY = up ? y0 + static_cast<float>(height - kBar) : y0;
    uiMain.painter->DrawRectangle(static_cast<int32_t>(x0), static_cast<int32_t>(baseY), width, kBar,
                                  kWeUIConfigLine, nullptr, BLENDMODE_NORMAL);
}

int32_t TextWidth(const WeUIFontSpec& font, const WeString& text)
{
    int32_t w = 0, h = 0;
    uiMain.painter->MeasureText(font.font, text, &w, &h);
    return w;
}

} // namespace

WeUIConfigButtonStyle::WeUIConfigButtonStyle(const WeString& styleName, uint32_t textColour)
    : WeUIStyle(styleName)
{
    SetArial20(font, textColour, TEXT_CENTER | TEXT_VCENTER);
}

void WeUIConfigButtonStyle::Draw(WeUIComponent* c)
{
    Fill(c->x, c->y, c->w, c->h, kWeUIConfigPanel);
    Text(font, c->text, c->x, c->y, c->w, c->h, c->normalColour);
}

WeUIConfigRedButtonStyle::WeUIConfigRedButtonStyle(const WeString& styleName)
    : WeUIConfigButtonStyle(styleName, kOpaqueRed)
{
}

void WeUIConfigUpButtonStyle::Draw(WeUIComponent* c)
{
    Triangle(c, true);
}

void WeUIConfigDownButtonStyle::Draw(WeUIComponent* c)
{
    Triangle(c, false);
}

void WeUIConfigScrollButtonStyle::Draw(WeUIComponent* c)
{
    Fill(c->x + c->w / 10, c->y + c->h / 10, 9 * c->w / 10, 9 * c->h / 10, kWeUIConfigLine);
}

void WeUIConfigWindowBackgroundStyle::Draw(WeUIComponent* c)
{
    uiMain.painter->Flush();
    Panel(c);
}

void WeUIConfigCheckBoxStyle::Draw(WeUIComponent* c)
{
    const auto* box = dynamic_cast<const WeUICheckBox*>(c);
    if (!box)
        return;
    Panel(c);
    if (!box->isChecked)
        return;
    const float x = static_cast<float>(c->x + c->w / 2 - 2), y = static_cast<float>(c->y);
    Bar(x, y, kBar, static_cast<float>(c->h), std::numbers::pi_v<float> / 4.0f);
    Bar(x, y, kBar, static_cast<float>(c->h), 3.0f * std::numbers::pi_v<float> / 4.0f);
}

WeUIConfigEditBoxStyle::WeUIConfigEditBoxStyle(const WeString& styleName) : WeUIStyle(styleName)
{
    SetArial20(font, kOpaqueWhite, TEXT_VCENTER);
}

void WeUIConfigEditBoxStyle::Draw(WeUIComponent* c)
{
    const auto* box = dynamic_cast<const WeUIEditBox*>(c);
    if (!box)
        return;
    Panel(c);
    if (uiMain.HasFocus(c))
    {
        const int32_t lo = box->SelectionLow(), hi = box->SelectionHigh();
        const int32_t before = TextWidth(font, c->text.Substring(0, lo));
        const int32_t selected = TextWidth(font, c->text.Substring(lo, hi));
        if (lo != hi)
            Fill(c->x + 1 + before, c->y + 1, selected, c->h - 2, kSelection);
        const int32_t caret = box->cursor == lo ? before : before + selected;
        // Half a second on, half a second off.
        const int64_t on = static_cast<int64_t>(std::trunc(timer.absoluteTime * 2.0)) % 2;
        Fill(c->x + 1 + caret, c->y + 1, 1, c->h - 2, kCaretGreen | static_cast<uint32_t>(on * 255) << 24);
    }
    Text(font, c->text, c->x + 1, c->y, c->w - 2, c->h, c->normalColour);
}

void WeUIConfigMultiListStyle::Draw(WeUIComponent* c)
{
    const auto* list = dynamic_cast<const WeUIMultiList*>(c);
    if (!list)
        return;
    Frame(c);
    int32_t x = c->x;
    for (size_t i = 0; i < list->columns.size(); ++i)
    {
        if (i > 0)
            Fill(x, c->y, 1, c->h, kWeUIConfigLine);
        const int32_t width = uiMain.ToScreenX(list->columns[i].width);
        Text(font, list->columns[i].title, x + 2, c->y, width, c->h, c->normalColour);
        x += width;
    }
}

WeUIConfigMultiListStyle_Label::WeUIConfigMultiListStyle_Label(const WeString& styleName)
    : WeUIStyle(styleName)
{
    SetArial20(font, kOpaqueWhite, 0);
}

void WeUIConfigMultiListStyle_Label::Draw(WeUIComponent* c)
{
    if (c->secondColour.a > 0.0f)
        Fill(c->x, c->y, c->w, c->h, WeUIColourToArgb(c->secondColour));
    Text(font, c->text, c->x, c->y, c->w, c->h, c->normalColour);
}
