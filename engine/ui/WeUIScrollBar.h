// Scroll bars: a value from 0 to 1 shown as a thumb between two step buttons, on either axis.
// The buttons are ordinary child buttons heard through negative event ids; a step click, the end
// of a drag, every drag move and a track click report the new value, a wheel notch and the
// setters do not.
#pragma once

#include "WeUIButton.h"
#include "WeUIComponent.h"
#include "WeUIStyle.h"

class WeUIScrollBar : public WeUIComponent
{
public:
    // Places the thumb along the track after the buttons' own layout.
    void UpdateLayout(bool self, bool recurse) override;
    // Styles the buttons (style + the axis suffixes) and sizes them from the style's size keys.
    void SetStyle(const WeString& styleName, const WeString& fallbackType) override;
    // A release on the track steps towards the last mouse position.
    void OnMouseUp(int32_t button) override;
    // A wheel notch steps without a report; remembers the mouse along the axis.
    void OnMouseMove(int32_t px, int32_t py, int32_t pz) override;
    // Queues the value-changed report when its id is set.
    virtual void OnValueChanged();

    void SetValue(float v); // clamped to 0..1, no report
    void ScrollUp(float d) { SetValue(value - d); }
    void ScrollDown(float d) { SetValue(value + d); }
    // The callback of the three buttons; true when the event is consumed.
    static bool OnButtonEvent(WeUIEvent* event);

    WeUIButton* firstButton;  // left or up
    WeUIButton* secondButton; // right or down
    WeUIButton* thumb;
    float value = 0.0f;
    int32_t lastMouse = 0;
    bool dragging = false;
    WeUIEventPair onValueChanged;
    float step = 0.1f;

protected:
    WeUIScrollBar(WeUIComponent* parent, const WeString& name, bool vertical);

private:
    WeUIButton* NewButton(const char* suffix, const char* styleType);
    int32_t Along(const WeUIComponent* c) const { return vertical ? c->y : c->x; }
    int32_t Extent(const WeUIComponent* c) const { return vertical ? c->h : c->w; }
    // Size placement of a button along the axis (full across it) at the given offset and anchor.
    void PlaceButton(WeUIButton* button, float offsetP, float offsetR, float anchor, float sizeP,
                     float sizeR) const;
    void DragTo(int32_t position);

    bool vertical;
};

class WeUIHScrollBar : public WeUIScrollBar
{
public:
    WeUIHScrollBar(WeUIComponent* parent, const WeString& name) : WeUIScrollBar(parent, name, false) {}
    const char* GetTypeName() const override { return "HScrollBar"; }
};

class WeUIVScrollBar : public WeUIScrollBar
{
public:
    WeUIVScrollBar(WeUIComponent* parent, const WeString& name) : WeUIScrollBar(parent, name, true) {}
    const char* GetTypeName() const override { return "VScrollBar"; }
};

// Both axes: the whole texture stretched over the bar; nothing without a texture.
class WeUIDefaultScrollBarStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    void Draw(WeUIComponent* component) override;
};
