#include "WeUIComponent.h"

#include "WeConfig.h"
#include "WeTimer.h"
#include "WeUIMain.h"
#include "WeUIStyle.h"

#include <cmath>
#include <cstring>

namespace
{

float& TransitionDuration()
{
    static float& duration = WeConfig::GetFloat("UI.Transition.Duration", 1.0f);
    return duration;
}

// The first of L, R, T, B set in flags, or 0.
int32_t FirstSlide(int32_t flags)
{
    for (int32_t bit : {UI_SLIDE_LEFT, UI_SLIDE_RIGHT, UI_SLIDE_TOP, UI_SLIDE_BOTTOM})
        if (flags & bit)
            return bit;
    return 0;
}

bool Horizontal(int32_t slide)
{
    return slide == UI_SLIDE_LEFT || slide == UI_SLIDE_RIGHT;
}
// Left and top slides come in from the negative side.
bool FromNegative(int32_t slide)
{
    return slide == UI_SLIDE_LEFT || slide == UI_SLIDE_TOP;
}

WeColor WithAlpha(const WeColor& c, float a)
{
    return {c.r, c.g, c.b, a};
}

} // namespace

bool WeStepRamp(float& value, int32_t& dir, float step)
{
    if (dir > 0)
    {
        value += step;
        if (value >= 1.0f)
        {
            value = 1.0f;
            dir = 0;
            return true;
        }
    }
    else if (dir < 0)
    {
        value -= step;
        if (value <= 0.0f)
        {
            value = 0.0f;
            dir = 0;
            return true;
        }
    }
    return false;
}

WeString WeUIComponentName(const WeString& name)
{
    if (std::strlen(name.GetData()) == static_cast<size_t>(name.GetLength()))
        return name;
    return WeString(name.GetData());
}

WeUIComponent::WeUIComponent(WeUIComponent* parent_, const WeString& name_)
    : name(WeUIComponentName(name_)), parent(parent_), transitionDuration(TransitionDuration()),
      internal(name.Find("$") >= 0)
{
    if (WeUIComponent* older = uiMain.GetComponent(name); older && uiMain.MayReplace(older, parent))
        uiMain.DestroyComponent(older);
    if (parent)
        parent->AddChild(this);
    Register();
}

WeUIComponent::~WeUIComponent()
{
    if (onDestroy)
        onDestroy(this);
    Unregister();
    uiMain.ForgetComponent(this);
    DeleteChildren(true);
}

void WeUIComponent::Register()
{
    if (!uiMain.GetComponent(name))
        uiMain.components.Insert(name, this);
    if (overlay)
        uiMain.overlays.Insert(name, this);
}

void WeUIComponent::Unregister()
{
    if (uiMain.GetComponent(name) == this)
        uiMain.components.Remove(name);
    if (overlay)
        uiMain.overlays.RemoveValue(this);
}

void WeUIComponent::AddChild(WeUIComponent* child)
{
    child->parent = this;
    children.Reset();
    while (!children.IsEnd() && children.GetItem()->z > child->z)
        children.Next();
    children.InsertBeforeCursor() = child;
    uiMain.pendingRetest = true;
}

void WeUIComponent::RemoveChild(WeUIComponent* child)
{
    if (children.Remove(child))
        uiMain.pendingRetest = true;
}

void WeUIComponent::SetZOrder(int32_t order)
{
    z = order;
    if (!parent)
        return;
    parent->RemoveChild(this);
    parent->AddChild(this);
}

void WeUIComponent::DeleteChildren(bool all)
{
    WeList<WeUIComponent*> doomed;
    for (WeUIComponent* child : children)
        if (all || !child->permanent)
            doomed.PushBack(child);
    for (WeUIComponent* child : doomed)
    {
        RemoveChild(child);
        delete child;
    }
}

bool WeUIComponent::Contains(const WeUIComponent* c) const
{
    return c && c->IsDescendantOf(this);
}

bool WeUIComponent::IsDescendantOf(const WeUIComponent* a) const
{
    for (const WeUIComponent* c = this; c; c = c->parent)
        if (c == a)
            return true;
    return false;
}

bool WeUIComponent::IsShownInTree() const
{
    for (const WeUIComponent* c = this; c; c = c->parent)
        if (!c->visible)
            return false;
    return true;
}

void WeUIComponent::SetName(const WeString& newName)
{
    Unregister();
    name = WeUIComponentName(newName);
    Register();
}

void WeUIComponent::SetOverlay(bool on)
{
    if (on == overlay)
        return;
    overlay = on;
    if (on)
        uiMain.overlays.Insert(name, this);
    else
        uiMain.overlays.RemoveValue(this);
}

void WeUIComponent::DestroyPart(WeUIComponent* part)
{
    if (!part || part->owner != this)
        return;
    part->owner = nullptr;
    uiMain.DestroyComponent(part);
}

void WeUIComponent::SetPlacement(float xP_, float xR_, float yP_, float yR_, float wP_, float wR_, float hP_,
                                 float hR_, float xA_, float yA_, float wT_, float hT_)
{
    SetPosition(xP_, xR_, yP_, yR_);
    SetSize(wP_, wR_, hP_, hR_);
    SetPivot(xA_, yA_);
    wT = wT_;
    hT = hT_;
}

void WeUIComponent::SetPosition(float xP_, float xR_, float yP_, float yR_)
{
    xP = xP_;
    xR = xR_;
    yP = yP_;
    yR = yR_;
}

void WeUIComponent::SetSize(float wP_, float wR_, float hP_, float hR_)
{
    wP = wP_;
    wR = wR_;
    hP = hP_;
    hR = hR_;
}

void WeUIComponent::SetPivot(float xA_, float yA_)
{
    xA = xA_;
    yA = yA_;
}

void WeUIComponent::SetStyle(const WeString& styleName, const WeString& fallbackType)
{
    style = uiMain.GetStyle(styleName);
    if (!style && !fallbackType.IsEmpty())
    {
        uiMain.CreateDefaultStyle(fallbackType, styleName);
        style = uiMain.GetStyle(styleName);
    }
}

void WeUIComponent::UpdateLayout(bool self, bool recurse)
{
    if (!visible)
        return;
    const int32_t parentW = parent ? parent->w : 0;
    const int32_t parentH = parent ? parent->h : 0;
    if (self)
    {
        w = WeUIPixelSum(uiMain.ToScreenX(wP), static_cast<float>(parentW) * wR);
        h = WeUIPixelSum(uiMain.ToScreenY(hP), static_cast<float>(parentH) * hR);
        if (style && style->font.font && (wT != 0.0f || hT != 0.0f))
        {
            int32_t textW = 0, textH = 0;
            uiMain.painter->MeasureText(style->font.font, text, &textW, &textH);
            w = WeUIPixelSum(w, static_cast<float>(textW) * wT);
            h = WeUIPixelSum(h, static_cast<float>(textH) * hT);
        }
        // A zero own size cannot be scaled to the parent's; the lock then waits for a size.
        if (parent && (aspect == 'H' || aspect == 'h') && w != 0)
        {
            h = WeUIPixels(static_cast<float>(parentW) / static_cast<float>(w) * static_cast<float>(h));
            w = parentW;
        }
        else if (parent && (aspect == 'V' || aspect == 'v') && h != 0)
        {
            w = WeUIPixels(static_cast<float>(parentH) / static_cast<float>(h) * static_cast<float>(w));
            h = parentH;
        }
        const int32_t parentX = parent ? parent->x : 0;
        const int32_t parentY = parent ? parent->y : 0;
        x = WeUIPixelSum(parentX, static_cast<float>(uiMain.ToScreenX(xP)) +
                                      static_cast<float>(parentW) * xR - static_cast<float>(w) * xA);
        y = WeUIPixelSum(parentY, static_cast<float>(uiMain.ToScreenY(yP)) +
                                      static_cast<float>(parentH) * yR - static_cast<float>(h) * yA);
        if (onLayout)
            onLayout(this);
    }
    if (recurse)
        for (WeUIComponent* child : children)
            child->UpdateLayout(true, true);
}

void WeUIComponent::UpdateRamps(float dt)
{
    const float step = fadeSpeed * dt;
    if (WeStepRamp(visibilityValue, visibilityDir, step) && visibilityValue <= 0.0f)
        visible = false;
    WeStepRamp(pressValue, pressDir, step);
    WeStepRamp(hoverValue, hoverDir, step);
}

void WeUIComponent::UpdateSlides(float dt)
{
    if (slidingIn)
    {
        const int32_t slide = FirstSlide(showFlags);
        float& value = Horizontal(slide) ? xR : yR;
        const float sign = FromNegative(slide) ? 1.0f : -1.0f;
        value += sign * slideSpeed * dt;
        if (slide == 0 || sign * (value - slideTarget) >= 0.0f)
        {
            value = slideTarget;
            slidingIn = false;
        }
    }
    else if (slidingOut)
    {
        const int32_t slide = FirstSlide(hideFlags);
        float& value = Horizontal(slide) ? xR : yR;
        const float sign = FromNegative(slide) ? -1.0f : 1.0f;
        value += sign * slideSpeed * dt;
        if (slide == 0 || sign * (value - slideTarget) > 0.0f)
        {
            slidingOut = false;
            visible = false;
        }
    }
}

void WeUIComponent::UpdateColours()
{
    float alpha = colour.a * visibilityValue;
    if (inheritAlpha && parent)
        alpha *= parent->normalColour.a;
    normalColour = WithAlpha(colour, alpha);
    hoverColour = WithAlpha(colour, alpha * hoverValue);
    pressedColour = WithAlpha(colour, alpha * pressValue);
    secondColour = WithAlpha(colour2, colour2.a * alpha);
}

void WeUIComponent::Update()
{
    bool waits = false;
    if (visibilityDir > 0)
    {
        ++uiMain.showingCount;
        waits = !uiMain.hiding.IsEmpty();
    }
    if (!waits)
    {
        const float dt = timer.deltaTime;
        UpdateRamps(dt);
        UpdateSlides(dt);
    }
    UpdateColours();
    for (WeUIComponent* child : children)
        child->Update();
    if (onUpdate)
        onUpdate(this);
}

void WeUIComponent::StartSlideIn()
{
    if (showFlags <= 0)
        return;
    if (showFlags & UI_FADE)
        visibilityDir = 1;
    visible = true;
    const int32_t slide = FirstSlide(showFlags);
    if (slide == 0)
        return;
    float& value = Horizontal(slide) ? xR : yR;
    const float size = Horizontal(slide) ? wR : hR;
    slideTarget = value;
    value = FromNegative(slide) ? -size : size + 1.0f;
    // A duration of 0 or less is an instant slide.
    if (transitionDuration <= 0.0f)
    {
        value = slideTarget;
        return;
    }
    slideSpeed = std::fabs(value - slideTarget) / transitionDuration;
    slidingIn = true;
}

void WeUIComponent::StartSlideOut()
{
    if (hideFlags <= 0)
        return;
    if (hideFlags & UI_FADE)
        visibilityDir = -1;
    visible = true;
    const int32_t slide = FirstSlide(hideFlags);
    if (slide == 0)
        return;
    float& value = Horizontal(slide) ? xR : yR;
    const float size = Horizontal(slide) ? wR : hR;
    slideTarget = FromNegative(slide) ? -size : size + 1.0f;
    if (transitionDuration <= 0.0f)
    {
        value = slideTarget;
        visible = false;
        return;
    }
    slideSpeed = std::fabs(value - slideTarget) / transitionDuration;
    slidingOut = true;
}

void WeUIComponent::Render()
{
    if (!uiMain.IsRenderable(this))
        return;
    WeUIPainter& painter = *uiMain.painter;
    bool savedOn = false;
    WeUIRect saved;
    if (clipRectEnabled)
    {
        painter.Flush();
        painter.GetScissor(&savedOn, &saved);
        painter.SetScissor(true, {clipX, clipY, clipX + clipW, clipY + clipH});
    }
    if (style)
        style->Draw(this);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        (*it)->Render();
    if (clipRectEnabled)
    {
        painter.Flush();
        painter.SetScissor(savedOn, saved);
    }
}

bool WeUIComponent::GuardedOut(bool force) const
{
    return !force && !IsSettled();
}

bool WeUIComponent::HitsPoint(int32_t px, int32_t py, bool force) const
{
    if (!visible || GuardedOut(force))
        return false;
    const int32_t left = clipRectEnabled ? clipX : x;
    const int32_t top = clipRectEnabled ? clipY : y;
    const int32_t width = clipRectEnabled ? clipW : w;
    const int32_t height = clipRectEnabled ? clipH : h;
    return px >= left && px <= left + width && py >= top && py <= top + height;
}

WeUIComponent* WeUIComponent::HitTest(int32_t px, int32_t py, bool force, bool includeInternal)
{
    if (!visible || GuardedOut(force) || (internal && !includeInternal))
        return nullptr;
    const bool inside = HitsPoint(px, py, force);
    if (!inside && clipChildren)
        return nullptr;
    for (WeUIComponent* child : children)
        if (WeUIComponent* hit = child->HitTest(px, py, force, includeInternal))
            return hit;
    return inside ? this : nullptr;
}

void WeUIComponent::NotifyMouseReleased(WeUIComponent* target)
{
    for (WeUIComponent* child : children)
    {
        child->OnMouseReleased(target);
        child->NotifyMouseReleased(target);
    }
}

bool WeUIComponent::IsSettled() const
{
    return enabled && visibilityDir == 0 && showFlags == 0 && hideFlags == 0;
}

void WeUIComponent::QueueEvent(const WeUIEventPair& pair, int32_t a1, int32_t a2, int32_t a3)
{
    if (pair.id == 0)
        return;
    WeUIEvent& event = uiMain.events.PushBack();
    event = {this, pair.id, pair.callback, a1, a2, a3};
}

void WeUIComponent::OnMouseDown(int32_t button)
{
    pressDir = 1;
    hoverDir = -1;
    pressedButtons = static_cast<uint16_t>(pressedButtons | 1u << button);
    QueueEvent(onMouseDown, button);
    if (bubbleDown && parent)
        parent->OnMouseDown(button);
}

void WeUIComponent::OnMouseUp(int32_t button)
{
    pressDir = -1;
    hoverDir = 1;
    pressedButtons = static_cast<uint16_t>(pressedButtons & ~(1u << button));
    QueueEvent(onMouseUp, button);
    if (bubbleUp && parent)
        parent->OnMouseUp(button);
}

void WeUIComponent::OnDoubleClick()
{
    QueueEvent(onDoubleClick);
}

void WeUIComponent::OnMouseWheel(int32_t delta)
{
    QueueEvent(onMouseWheel, delta);
    if (bubbleWheel && parent)
        parent->OnMouseWheel(delta);
}

void WeUIComponent::OnMouseMove(int32_t px, int32_t py, int32_t pz)
{
    QueueEvent(onMouseMove, px, py, pz);
    if (bubbleMove && parent)
        parent->OnMouseMove(px, py, pz);
}

void WeUIComponent::OnKeyDown(int32_t key)
{
    QueueEvent(onKeyDown, key);
    if (bubbleKeyDown && parent)
        parent->OnKeyDown(key);
}

void WeUIComponent::OnKeyUp(int32_t key)
{
    QueueEvent(onKeyUp, key);
    if (bubbleKeyUp && parent)
        parent->OnKeyUp(key);
}

void WeUIComponent::OnMouseEnter()
{
    hovered = true;
    hoverDir = 1;
    QueueEvent(onMouseEnter);
}

void WeUIComponent::OnMouseLeave()
{
    hoverDir = -1;
    hovered = false;
    QueueEvent(onMouseLeave);
}
