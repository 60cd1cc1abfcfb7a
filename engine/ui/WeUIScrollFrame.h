// A viewport over a contents component that may be larger than it: the contents are clipped to
// the frame (inside its style's margins) and offset by a vertical and a horizontal scroll bar,
// each shown only while the contents overflow on its axis. The wheel and wheel motion that comes
// with a mouse move scroll vertically.
#pragma once

#include "WeUIComponent.h"
#include "WeUIScrollBar.h"

class WeUIScrollFrame : public WeUIComponent
{
public:
    WeUIScrollFrame(WeUIComponent* parent, const WeString& name);

    // Shows, places and steps the bars, then offsets and clips the contents; every frame.
    void UpdateLayout(bool self, bool recurse) override;
    // Bar widths and styles from "UI." + style + ".VScrollBarWidth", ".VScrollBar",
    // ".HScrollBarHeight" and ".HScrollbar", each only when set.
    void SetStyle(const WeString& styleName, const WeString& fallbackType) override;
    // Scrolls by delta x "engine.Input.MouseWheelFactor"; no value report.
    void OnMouseWheel(int32_t delta) override;
    // Wheel motion of the move scrolls by one step.
    void OnMouseMove(int32_t px, int32_t py, int32_t pz) override;
    const char* GetTypeName() const override { return "ScrollFrame"; }

    void SetContentsSize(float wP_, float wR_, float hP_, float hR_)
    {
        contents->SetSize(wP_, wR_, hP_, hR_);
    }

    WeUIComponent* contents;
    WeUIVScrollBar* vScroll;
    WeUIHScrollBar* hScroll;
    int32_t viewW = 0, viewH = 0;

private:
    void PlaceBars(float left, float right, float top, float bottom);
};

// The step of a bar over contents of that extent in a frame of that extent: 95 % of the frame per
// click or notch, 0 when nothing overflows.
float WeScrollStep(int32_t frameExtent, int32_t contentsExtent);
// How far the contents move for a bar value: the overflow beyond the view times the value, never
// negative.
int32_t WeScrollOffset(int32_t contentsExtent, int32_t viewExtent, float value);
