#include "WeUIComboBox.h"

#include "WeUIMain.h"

namespace
{
enum
{
    ID_TOGGLE = -1,
    ID_ITEM_UP = -2,
    ID_ITEM_ENTER = -3,
    ID_ITEM_LEAVE = -4,
};

// Keeps the colour as the byte it is drawn with, so that the highlight only changes its alpha.
float ByteRounded(float c)
{
    return static_cast<float>(WeUIColourToArgb({c, 0.0f, 0.0f, 0.0f}) >> 16 & 0xFF) / 255.0f;
}

void SetHighlight(WeUIComponent* item, float alpha)
{
    item->colour2 = {ByteRounded(item->colour2.r), ByteRounded(item->colour2.g), ByteRounded(item->colour2.b),
                     alpha};
}
} // namespace

WeUIComboBox::WeUIComboBox(WeUIComponent* parent_, const WeString& name_) : WeUIComponent(parent_, name_)
{
    // Made under this box directly, so that a box which lost its name still owns its children.
    button = AdoptPart(new WeUIButton(this, name + "$Button"));
    uiMain.ApplyDescriptor(button, "Button:" + name + ":ComboboxButton");
    button->onMouseUp = {ID_TOGGLE, OnInternalEvent};
    list = AdoptPart(new WeUIWindow(this, name + "$List"));
    uiMain.ApplyDescriptor(list, "Window:" + name + ",0,0,0,0,1000");
    list->SetOverlay(true);
    list->visible = false;
}

void WeUIComboBox::SetStyle(const WeString& styleName, const WeString& fallbackType)
{
    WeUIComponent::SetStyle(styleName, fallbackType);
    button->SetStyle(styleName + "_Button", "Button");
    list->SetStyle(styleName + "_Window", "Window");
    itemStyleName = styleName + "_Label";
}

void WeUIComboBox::OnMouseReleased(WeUIComponent* target)
{
    if (list->visible && !(target && target->IsDescendantOf(this)))
        uiMain.HideComponent(list->name);
}

void WeUIComboBox::SetItems(const WeList<WeString>& strings)
{
    Select(nullptr);
    list->DeleteChildren(true);
    const int32_t count = strings.GetCount();
    // An empty list gets no step at all: its height is 0 and no entry is placed.
    const float step = count > 0 ? 1.0f / static_cast<float>(count) : 0.0f;
    int32_t i = 0;
    for (const WeString& s : strings)
    {
        WeString itemName = name + "$List$Item ";
        itemName.AppendInt(i);
        auto* item = AdoptPart(new WeUILabel(list, itemName));
        item->SetPlacement(0, 0, 0, static_cast<float>(i) * step, 0, 1, 0, step, 0, 0, 0, 0);
        item->text = s;
        item->SetStyle(itemStyleName, "Label");
        item->onMouseUp = {ID_ITEM_UP, OnInternalEvent};
        item->onMouseEnter = {ID_ITEM_ENTER, OnInternalEvent};
        item->onMouseLeave = {ID_ITEM_LEAVE, OnInternalEvent};
        item->colour2 = {0.0f, 0.0f, 1.0f, 0.0f};
        ++i;
    }
    list->SetPlacement(0, 0, 0, 1, 0, 1, 0, static_cast<float>(count), 0, 0, 0, 0);
}

WeUILabel* WeUIComboBox::FindItem(int32_t index) const
{
    if (index < 0)
        return nullptr;
    for (WeUIComponent* child : list->children)
        if (child->name.GetTokenFromEnd(' ', 0).ToInt() == index)
            return dynamic_cast<WeUILabel*>(child);
    return nullptr;
}

void WeUIComboBox::SelectItem(int32_t index, int32_t fallback)
{
    WeUILabel* item = FindItem(index);
    Select(item ? item : FindItem(fallback));
}

int32_t WeUIComboBox::GetSelectedIndex() const
{
    return selectedItem ? selectedItem->name.GetTokenFromEnd(' ', 0).ToInt() : -1;
}

void WeUIComboBox::Select(WeUILabel* item)
{
    selectedItem = item;
    text = item ? item->text : WeString();
}

void WeUIComboBox::ToggleList()
{
    if (list->visible)
        uiMain.HideComponent(list->name);
    else
    {
        list->visible = true;
        uiMain.ShowComponent(list->name);
    }
}

bool WeUIComboBox::OnInternalEvent(WeUIEvent* event)
{
    WeUIComponent* source = event->source;
    switch (event->id)
    {
    case ID_TOGGLE:
        if (auto* box = dynamic_cast<WeUIComboBox*>(source->parent))
            box->ToggleList();
        return true;
    case ID_ITEM_UP:
        if (auto* box = source->parent ? dynamic_cast<WeUIComboBox*>(source->parent->parent) : nullptr)
        {
            box->Select(dynamic_cast<WeUILabel*>(source));
            box->ToggleList();
            box->QueueEvent(box->onChanged);
        }
        return true;
    case ID_ITEM_ENTER:
        SetHighlight(source, 1.0f);
        return true;
    case ID_ITEM_LEAVE:
        SetHighlight(source, 0.0f);
        return true;
    default:
        return false;
    }
}

void WeUIDefaultComboBoxStyle::Draw(WeUIComponent* component)
{
    auto* box = dynamic_cast<WeUIComboBox*>(component);
    const int32_t w = component->w - (box ? box->button->w : 0);
    if (texture)
        DrawFrame(component->x, component->y, w, component->h, WeUIColourToArgb(component->normalColour),
                  texture);
    DrawText(component->text, component->x, component->y, w, component->h, component->normalColour,
             component->selected, component->hoverColour);
}
