#include "WeUIScrollFrame.h"

#include "WeConfig.h"
#include "WeUIMain.h"
#include "WeUIStyle.h"

float WeScrollStep(int32_t frameExtent, int32_t contentsExtent)
{
    // Contents of no size overflow nothing even inside a frame squeezed below zero.
    if (contentsExtent <= frameExtent || contentsExtent <= 0)
        return 0.0f;
    return 0.95f * static_cast<float>(frameExtent) / static_cast<float>(contentsExtent);
}

int32_t WeScrollOffset(int32_t contentsExtent, int32_t viewExtent, float value)
{
    const int32_t overflow = contentsExtent - viewExtent;
    if (overflow <= 0)
        return 0;
    return static_cast<int32_t>(static_cast<float>(overflow) * value);
}

WeUIScrollFrame::WeUIScrollFrame(WeUIComponent* parent_, const WeString& name_)
    : WeUIComponent(parent_, name_), contents(AdoptPart(new WeUIComponent(this, name + "$Contents"))),
      vScroll(AdoptPart(new WeUIVScrollBar(this, name + "$VScroll"))),
      hScroll(AdoptPart(new WeUIHScrollBar(this, name + "$HScroll")))
{
    vScroll->visible = false;
    vScroll->SetPlacement(0, 1, 0, 0, 0, 0.1f, 0, 1, 1, 0, 0, 0);
    hScroll->visible = false;
    hScroll->SetPlacement(0, 0, 0, 1, 0, 1, 0, 0.1f, 0, 1, 0, 0);
    bubbleUp = true;
    bubbleKeyDown = true;
    bubbleWheel = false;
}

void WeUIScrollFrame::SetStyle(const WeString& styleName, const WeString& fallbackType)
{
    WeUIComponent::SetStyle(styleName, fallbackType);
    const WeString prefix = "UI." + styleName;
    float ignored = 0.0f;
    const WeString& vWidth = WeConfig::GetString(prefix + ".VScrollBarWidth", "");
    if (!vWidth.IsEmpty())
        uiMain.ParseXPlacement(vWidth, &vScroll->wP, &vScroll->wR, 0.1f, &ignored, 0.0f);
    const WeString& vStyle = WeConfig::GetString(prefix + ".VScrollBar", "");
    if (!vStyle.IsEmpty())
        vScroll->SetStyle(vStyle, "VScrollBar");
    const WeString& hHeight = WeConfig::GetString(prefix + ".HScrollBarHeight", "");
    if (!hHeight.IsEmpty())
        uiMain.ParseYPlacement(hHeight, &hScroll->hP, &hScroll->hR, 0.1f, &ignored, 0.0f);
    const WeString& hStyle = WeConfig::GetString(prefix + ".HScrollbar", "");
    if (!hStyle.IsEmpty())
        hScroll->SetStyle(hStyle, "HScrollBar");
}

void WeUIScrollFrame::PlaceBars(float left, float right, float top, float bottom)
{
    WeUIVScrollBar& v = *vScroll;
    WeUIHScrollBar& hb = *hScroll;
    if (v.visible && hb.visible)
    {
        // The bars meet at the corner without overlapping.
        hb.SetPlacement(left, 0, -bottom, 1, -v.wP - left - right, 1 - v.wR, hb.hP, hb.hR, 0, 1, 0, 0);
        v.SetPlacement(-right, 1, top, 0, v.wP, v.wR, -hb.hP - top - bottom, 1 - hb.hR, 1, 0, 0, 0);
    }
    else if (hb.visible)
        hb.SetPlacement(left, 0, -bottom, 1, -left - right, 1, hb.hP, hb.hR, 0, 1, 0, 0);
    else if (v.visible)
        v.SetPlacement(-right, 1, top, 0, v.wP, v.wR, -top - bottom, 1, 1, 0, 0, 0);
}

void WeUIScrollFrame::UpdateLayout(bool, bool)
{
    if (!visible)
        return;
    WeUIComponent::UpdateLayout(true, false);
    contents->UpdateLayout(true, false);
    hScroll->visible = contents->w > w;
    vScroll->visible = contents->h > h;
    const float left = style ? style->designLeft : 0.0f, right = style ? style->designRight : 0.0f;
    const float top = style ? style->designTop : 0.0f, bottom = style ? style->designBottom : 0.0f;
    PlaceBars(left, right, top, bottom);
    vScroll->UpdateLayout(true, true);
    hScroll->UpdateLayout(true, true);

    const int32_t leftPx = style ? style->leftPx : 0, rightPx = style ? style->rightPx : 0;
    const int32_t topPx = style ? style->topPx : 0, bottomPx = style ? style->bottomPx : 0;
    viewW = w - rightPx - leftPx - (vScroll->visible ? vScroll->w : 0);
    viewH = h - bottomPx - topPx - (hScroll->visible ? hScroll->h : 0);
    vScroll->step = WeScrollStep(h, contents->h);
    hScroll->step = WeScrollStep(w, contents->w);

    contents->x = x + leftPx;
    contents->y = y + topPx;
    if (hScroll->visible)
        contents->x -= WeScrollOffset(contents->w, viewW, hScroll->value);
    if (vScroll->visible)
        contents->y -= WeScrollOffset(contents->h, viewH, vScroll->value);
    contents->UpdateLayout(false, true);

    // Margins larger than the frame leave an empty viewport rather than a negative one.
    contents->clipRectEnabled = true;
    contents->clipX = x + leftPx;
    contents->clipY = y + topPx;
    contents->clipW = viewW > 0 ? viewW : 0;
    contents->clipH = viewH > 0 ? viewH : 0;
}

void WeUIScrollFrame::OnMouseWheel(int32_t delta)
{
    static float& factor = WeConfig::GetFloat("engine.Input.MouseWheelFactor", 0.001f);
    if (delta >= 1)
        vScroll->ScrollUp(static_cast<float>(delta) * factor);
    else if (delta < 0)
        vScroll->ScrollDown(static_cast<float>(-delta) * factor);
    WeUIComponent::OnMouseWheel(delta);
}

void WeUIScrollFrame::OnMouseMove(int32_t px, int32_t py, int32_t pz)
{
    if (pz >= 1)
        vScroll->ScrollUp(vScroll->step);
    else if (pz < 0)
        vScroll->ScrollDown(vScroll->step);
    WeUIComponent::OnMouseMove(px, py, pz);
}
