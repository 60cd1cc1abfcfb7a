#include "WeUIScrollBar.h"

#include "WeConfig.h"
#include "WeUIMain.h"

namespace
{

enum : int32_t
{
    ID_FIRST_UP = -1,
    ID_SECOND_UP = -2,
    ID_THUMB_DOWN = -3,
    ID_THUMB_UP = -4,
    ID_THUMB_MOVE = -5,
};

// Names, descriptor styles, style suffixes and size keys of the two axes.
struct AxisNames
{
    const char* first;
    const char* second;
    const char* firstStyle;
    const char* secondStyle;
    const char* thumbStyle;
    const char* firstSuffix;
    const char* secondSuffix;
    const char* firstSizeKey;
    const char* thumbSizeKey;
    const char* secondSizeKey;
};

constexpr AxisNames horizontalNames{
    "$ButtonLeft", "$ButtonRight", "HScrollBarLeftButton", "HScrollBarRightButton", "HScrollBarThumb",
    "_LeftButton", "_RightButton", ".LeftButtonWidth",     ".ScrollButtonWidth",    ".RightButtonWidth"};
constexpr AxisNames verticalNames{
    "$ButtonUp", "$ButtonDown", "VScrollBarUpButton", "VScrollBarDownButton", "VScrollBarThumb",
    "_UpButton", "_DownButton", ".UpButtonHeight",    ".ScrollButtonHeight",  ".DownButtonHeight"};

float Clamp01(float v)
{
    // Written so that a NaN lands on 0 rather than passing through.
    if (!(v > 0.0f))
        return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

} // namespace

WeUIScrollBar::WeUIScrollBar(WeUIComponent* parent_, const WeString& name_, bool vertical_)
    : WeUIComponent(parent_, name_), vertical(vertical_)
{
    const AxisNames& names = vertical ? verticalNames : horizontalNames;
    firstButton = NewButton(names.first, names.firstStyle);
    secondButton = NewButton(names.second, names.secondStyle);
    thumb = NewButton("$ButtonThumb", names.thumbStyle);
    firstButton->onMouseUp = {ID_FIRST_UP, OnButtonEvent};
    secondButton->onMouseUp = {ID_SECOND_UP, OnButtonEvent};
    if (vertical)
    {
        secondButton->SetPosition(0, 0, 0, 1);
        secondButton->SetPivot(0, 1);
    }
    else
    {
        secondButton->SetPosition(0, 1, 0, 0);
        secondButton->SetPivot(1, 0);
    }
    thumb->onMouseDown = {ID_THUMB_DOWN, OnButtonEvent};
    thumb->onMouseUp = {ID_THUMB_UP, OnButtonEvent};
    thumb->onMouseMove = {ID_THUMB_MOVE, OnButtonEvent};
    thumb->bubbleMove = true;
}

WeUIButton* WeUIScrollBar::NewButton(const char* suffix, const char* styleType)
{
    // Made under this bar directly, so that a bar which lost its name to an older component still
    // owns its buttons.
    auto* button = AdoptPart(new WeUIButton(this, name + suffix));
    uiMain.ApplyDescriptor(button, "Button:" + name + ":" + styleType);
    return button;
}

void WeUIScrollBar::SetValue(float v)
{
    value = Clamp01(v);
}

void WeUIScrollBar::OnValueChanged()
{
    QueueEvent(onValueChanged);
}

void WeUIScrollBar::PlaceButton(WeUIButton* button, float offsetP, float offsetR, float anchor, float sizeP,
                                float sizeR) const
{
    if (vertical)
        button->SetPlacement(0, 0, offsetP, offsetR, 0, 1, sizeP, sizeR, 0, anchor, 0, 0);
    else
        button->SetPlacement(offsetP, offsetR, 0, 0, sizeP, sizeR, 0, 1, anchor, 0, 0, 0);
}

void WeUIScrollBar::SetStyle(const WeString& styleName, const WeString& fallbackType)
{
    WeUIComponent::SetStyle(styleName, fallbackType);
    const AxisNames& names = vertical ? verticalNames : horizontalNames;
    firstButton->SetStyle(styleName + names.firstSuffix, "Button");
    secondButton->SetStyle(styleName + names.secondSuffix, "Button");
    thumb->SetStyle(styleName + "_ScrollButton", "Button");

    float sizeP[3], sizeR[3], ignored;
    const char* keys[3] = {names.firstSizeKey, names.thumbSizeKey, names.secondSizeKey};
    for (int32_t i = 0; i < 3; ++i)
        uiMain.ParseXPlacement(WeConfig::GetString("UI." + styleName + keys[i], ""), &sizeP[i], &sizeR[i],
                               0.0f, &ignored, 0.0f);
    PlaceButton(firstButton, 0, 0, 0, sizeP[0], sizeR[0]);
    PlaceButton(thumb, sizeP[0], sizeR[0], 0, sizeP[1], sizeR[1]);
    PlaceButton(secondButton, 0, 1, 1, sizeP[2], sizeR[2]);
}

void WeUIScrollBar::UpdateLayout(bool, bool)
{
    WeUIComponent::UpdateLayout(true, true);
    const int32_t start = Along(firstButton) + Extent(firstButton);
    const int32_t track = Along(secondButton) - Extent(thumb) - start;
    const auto position = static_cast<int32_t>(static_cast<float>(track) * value + static_cast<float>(start));
    (vertical ? thumb->y : thumb->x) = position;
}

void WeUIScrollBar::DragTo(int32_t position)
{
    const int32_t half = Extent(thumb) / 2;
    const int32_t start = Along(firstButton) + Extent(firstButton) + half;
    const int32_t room = Along(secondButton) - half - start;
    // A bar no longer than its buttons has no track to drag along.
    if (room <= 0)
        return;
    value = Clamp01(static_cast<float>(position - start) / static_cast<float>(room));
    OnValueChanged();
}

bool WeUIScrollBar::OnButtonEvent(WeUIEvent* event)
{
    auto* bar = static_cast<WeUIScrollBar*>(event->source->parent);
    switch (event->id)
    {
    case ID_FIRST_UP:
        bar->ScrollUp(bar->step);
        bar->OnValueChanged();
        return true;
    case ID_SECOND_UP:
        bar->ScrollDown(bar->step);
        bar->OnValueChanged();
        return true;
    case ID_THUMB_DOWN:
        bar->dragging = true;
        return true;
    case ID_THUMB_UP:
        bar->dragging = false;
        bar->OnValueChanged();
        return true;
    case ID_THUMB_MOVE:
        // Left unconsumed: phases see the drag move as well and ignore its id.
        if (bar->dragging)
            bar->DragTo(bar->vertical ? event->arg2 : event->arg1);
        return false;
    default:
        return false;
    }
}

void WeUIScrollBar::OnMouseUp(int32_t)
{
    if (lastMouse < Along(thumb))
        ScrollUp(step);
    else
        ScrollDown(step);
    OnValueChanged();
}

void WeUIScrollBar::OnMouseMove(int32_t px, int32_t py, int32_t pz)
{
    if (pz > 0)
        ScrollUp(step);
    else if (pz < 0)
        ScrollDown(step);
    lastMouse = vertical ? py : px;
    QueueEvent(onMouseMove, px, py, pz);
}

void WeUIDefaultScrollBarStyle::Draw(WeUIComponent* component)
{
    if (texture)
        uiMain.painter->DrawRectangle(component->x, component->y, component->w, component->h,
                                      WeUIColourToArgb(component->normalColour), texture, BLENDMODE_NORMAL);
}
