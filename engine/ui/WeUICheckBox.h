// The two-state toggle. Its texture holds both pictures, unchecked above checked; a label beside
// it carries the caption.
#pragma once

#include "WeUIComponent.h"
#include "WeUIStyle.h"

class WeUICheckBox : public WeUIComponent
{
public:
    using WeUIComponent::WeUIComponent;
    // Every release that reaches the box toggles it before its mouse-up event is queued.
    void OnMouseUp(int32_t button) override;
    const char* GetTypeName() const override { return "CheckBox"; }

    bool isChecked = false;
};

class WeUIDefaultCheckBoxStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // The upper or lower half of the texture over the box; nothing without a texture.
    void Draw(WeUIComponent* component) override;
};
