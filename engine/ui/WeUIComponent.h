// The base of every widget: a named node of the component tree that owns its children, places
// itself from resolution-independent numbers every frame, ramps its visibility, hover and press
// highlights, slides in and out, draws through a shared style and turns input into event records.
#pragma once

#include "WeColor.h"
#include "WeList.h"
#include "WeString.h"

#include <cstdint>

class WeUIComponent;
class WeUIStyle;
class WeTexture;

// A component's report to the game: to its callback, else to the phases from the top down.
class WeUIEvent
{
public:
    WeUIComponent* source = nullptr;
    int32_t id = 0;
    bool (*callback)(WeUIEvent* event) = nullptr;
    int32_t arg1 = 0, arg2 = 0, arg3 = 0;
};

using WeUIEventCallback = bool (*)(WeUIEvent* event);
using WeUIComponentHook = void (*)(WeUIComponent* component);

struct WeUIEventPair
{
    int32_t id = 0; // 0: the event is not queued
    WeUIEventCallback callback = nullptr;
};

// Transition letters of show and hide flags.
enum : int32_t
{
    UI_SLIDE_LEFT = 1,
    UI_SLIDE_RIGHT = 2,
    UI_SLIDE_TOP = 4,
    UI_SLIDE_BOTTOM = 8,
    UI_FADE = 16,
};

class WeUIComponent
{
public:
    // Replaces an existing component of the same name (it is destroyed with its subtree) unless
    // that one is the root, an ancestor of parent or a part of a composite widget: then the older
    // keeps the name and this one stays unnamed in the UI manager. The name ends at a zero byte.
    WeUIComponent(WeUIComponent* parent, const WeString& name);
    virtual ~WeUIComponent();
    WeUIComponent(const WeUIComponent&) = delete;
    WeUIComponent& operator=(const WeUIComponent&) = delete;

    virtual void UpdateLayout(bool self, bool recurse);
    // Style of that name; when absent and fallbackType is given, the type's default style is made.
    virtual void SetStyle(const WeString& styleName, const WeString& fallbackType);
    virtual void OnMouseDown(int32_t button);
    virtual void OnMouseUp(int32_t button);
    virtual void OnDoubleClick();
    virtual void OnMouseWheel(int32_t delta);
    virtual void OnMouseMove(int32_t x, int32_t y, int32_t z);
    virtual void OnKeyDown(int32_t key); // positive: input key code; negative: a typed UTF-16 unit
    virtual void OnKeyUp(int32_t key);
    virtual void OnMouseEnter();
    virtual void OnMouseLeave();
    virtual void OnFocus() {}
    virtual void OnBlur() {}
    virtual void Update(); // ramps, slides and derived colours, then the children
    virtual void Render();
    // Told, after a button release anywhere, over which component it happened.
    virtual void OnMouseReleased(WeUIComponent* /*target*/) {}
    virtual const char* GetTypeName() const { return "Component"; }

    // Inserted before the first child of lower or equal z (the newest of equal z comes first).
    void AddChild(WeUIComponent* child);
    void RemoveChild(WeUIComponent* child);
    void SetZOrder(int32_t order);
    // Deletes the children; with all false the permanent ones stay.
    void DeleteChildren(bool all);
    bool Contains(const WeUIComponent* c) const;       // c is this or lies below it
    bool IsDescendantOf(const WeUIComponent* a) const; // a is this or lies above it
    // Visible, and so is every component above it: an overlay is drawn and hit only then.
    bool IsShownInTree() const;
    // A name held by another component stays with it; this one is then unnamed in the UI manager.
    void SetName(const WeString& newName);
    void SetOverlay(bool on);
    void SetPlacement(float xP_, float xR_, float yP_, float yR_, float wP_, float wR_, float hP_, float hR_,
                      float xA_, float yA_, float wT_, float hT_);
    void SetPosition(float xP_, float xR_, float yP_, float yR_);
    void SetSize(float wP_, float wR_, float hP_, float hR_);
    void SetPivot(float xA_, float yA_);
    void SetShowFlags(int32_t flags) { showFlags = flags; }
    void SetHideFlags(int32_t flags) { hideFlags = flags; }
    WeString GetText() const { return text; }

    // The deepest component under the point, or null. Without force, a component that is not
    // settled is not hit, nor is anything below it.
    WeUIComponent* HitTest(int32_t px, int32_t py, bool force, bool includeInternal);
    bool HitsPoint(int32_t px, int32_t py, bool force) const;
    // OnMouseReleased on every component below this one, depth first.
    void NotifyMouseReleased(WeUIComponent* target);
    // Enabled, no fade running and no show or hide transition letters: a component that slides
    // or fades by its letters is never under the mouse (shown windows still fade, by the
    // manager's Show and Hide).
    bool IsSettled() const;

    void StartSlideIn();
    void StartSlideOut();

    WeString name;
    WeString text;
    WeUIComponent* parent = nullptr;
    WeColor colour{1.0f, 1.0f, 1.0f, 1.0f};
    WeColor colour2{0.0f, 0.0f, 0.0f, 0.0f};
    bool inheritAlpha = true;
    bool visible = true;
    bool enabled = true;
    bool selected = false;
    int32_t z = 0;
    bool hovered = false;
    uint16_t pressedButtons = 0;
    WeList<WeUIComponent*> children; // owned, highest z first
    WeUIEventPair onMouseDown, onMouseUp, onDoubleClick, onMouseWheel, onMouseMove, onMouseEnter,
        onMouseLeave, onKeyDown, onKeyUp;
    WeUIComponentHook onUpdate = nullptr;
    WeUIComponentHook onLayout = nullptr;
    WeUIComponentHook onDestroy = nullptr;
    bool slidingIn = false, slidingOut = false;
    int32_t showFlags = 0, hideFlags = 0;
    float slideSpeed = 0.0f;
    float transitionDuration;
    float slideTarget = 0.0f;
    int32_t pressDir = 0, hoverDir = 0, visibilityDir = 0;
    float pressValue = 0.0f, hoverValue = 0.0f;
    float visibilityValue = 1.0f;
    float fadeSpeed = 2.0f;
    bool bubbleMove = false, bubbleWheel = true, bubbleUp = false, bubbleDown = false, bubbleKeyUp = false,
         bubbleKeyDown = false;
    bool overlay = false;
    WeUIStyle* style = nullptr;
    bool internal;
    bool permanent = false;
    WeUIComponent* owner = nullptr; // the composite widget this is a part of; parts go only with it
    bool deleteWhenHidden = false;
    float xP = 0, yP = 0, wP = 0, hP = 0, xR = 0, yR = 0, wR = 1, hR = 1, xA = 0, yA = 0, wT = 0, hT = 0;
    char aspect = ' ';
    int32_t x = 0, y = 0, w = 0, h = 0;
    bool clipChildren = true;
    bool clipRectEnabled = false;
    int32_t clipX = 0, clipY = 0, clipW = 0, clipH = 0;
    WeTexture* cursorTexture = nullptr;
    WeColor normalColour, hoverColour, pressedColour, secondColour;

protected:
    // Queues the event of pair k when its id is set.
    void QueueEvent(const WeUIEventPair& pair, int32_t a1 = 0, int32_t a2 = 0, int32_t a3 = 0);
    // Marks a built-in child as this widget's part: permanent, kept by its name against newcomers,
    // and destroyed only with this widget or through DestroyPart.
    template <typename T> T* AdoptPart(T* part)
    {
        part->owner = this;
        part->permanent = true;
        return part;
    }
    // Destroys one of this widget's own parts; anything else is left alone.
    void DestroyPart(WeUIComponent* part);

private:
    void Register();
    void Unregister();
    void UpdateRamps(float dt);
    void UpdateSlides(float dt);
    void UpdateColours();
    bool GuardedOut(bool force) const;
};

// A name as the UI manager compares it: the bytes before the first zero byte.
WeString WeUIComponentName(const WeString& name);

// Steps a ramp value by dir x speed x dt; true when it reached its end (0 or 1) this step.
bool WeStepRamp(float& value, int32_t& dir, float step);
