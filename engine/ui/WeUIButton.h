// The push button: a component with its type and two words for the game; clicks, ramps and ids
// are the base's. Its default style paints from one texture of four stacked quarters: normal,
// hover, pressed, selected, top to bottom.
#pragma once

#include "WeUIComponent.h"
#include "WeUIStyle.h"

class WeUIButton : public WeUIComponent
{
public:
    using WeUIComponent::WeUIComponent;
    const char* GetTypeName() const override { return "Button"; }

    // Kept for the game's own button styles, which read what the game wrote here; the engine
    // never reads them.
    int32_t userWords[2] = {0, 0};
};

class WeUIDefaultButtonStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    void Draw(WeUIComponent* component) override;
    // The base layer (the bottom quarter when selected), the hover and press layers while their
    // alpha is above 0, then the text. Shared with styles derived from this one.
    void DrawButton(int32_t x, int32_t y, int32_t width, int32_t height, bool selected, const WeString& text,
                    const WeColor& base, const WeColor& hover, const WeColor& press) const;
};
