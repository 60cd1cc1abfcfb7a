#include "WeUICheckBox.h"

#include "WeUIMain.h"

void WeUICheckBox::OnMouseUp(int32_t button)
{
    isChecked = !isChecked;
    WeUIComponent::OnMouseUp(button);
}

void WeUIDefaultCheckBoxStyle::Draw(WeUIComponent* component)
{
    if (!texture)
        return;
    // Styles are shared by name, so the component may be of another type: it shows unchecked.
    const auto* box = dynamic_cast<const WeUICheckBox*>(component);
    const bool checked = box && box->isChecked;
    const float top = checked ? 0.5f : 0.0f;
    uiMain.painter->DrawRectanglePart(component->x, component->y, component->w, component->h, 0.0f, top, 1.0f,
                                      top + 0.5f, WeUIColourToArgb(component->normalColour), texture,
                                      BLENDMODE_NORMAL);
}
