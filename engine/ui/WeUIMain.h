// The UI manager (global uiMain): the component tree under "Root", the named components, the
// styles, the overlay table, the hiding list, the cursor and the UI area fitted to the screen.
// The window and the input poll post raw input into its queue; ProcessEvents hands it to the
// components and their event records to callbacks or the phases; Update and Render drive the
// tree once per frame. Layouts come from "UI.Components." descriptors (WeUILayout.cpp).
#pragma once

#include "WeHashTable.h"
#include "WeList.h"
#include "WeString.h"
#include "WeUIComponent.h"
#include "WeUIPainter.h"

#include <cstdint>
#include <memory>

class WeUIStyle;
class WeFont;
class WeTexture;

// Kinds of queued input events.
enum class WeUIInputKind : int32_t
{
    KeyDown = 0,     // a: the key code (positive DirectInput code, or a negated UTF-16 unit)
    KeyUp = 1,       // a: as KeyDown
    MouseMove = 2,   // a, b: cursor in back-buffer pixels; c: the frame's wheel movement
    MouseDown = 3,   // a: the button (0 left, 1 right, 2 middle, ...)
    MouseUp = 4,     // a: as MouseDown
    DoubleClick = 5, // no arguments
    MouseWheel = 6,  // a: the signed wheel delta
};

// Layout numbers are held to what a screen can use, so that the pixel arithmetic built on them
// never overflows: placement fractions to within this many design or parent sizes, screen values
// to within this many pixels.
constexpr float kUIPlacementLimit = 1000.0f;
constexpr int32_t kUIPixelLimit = 1 << 24;

// trunc(v) held to the pixel limit; NaN gives 0.
int32_t WeUIPixels(double v);
// a + trunc(b), each held to the pixel limit: the layout's sums never overflow.
int32_t WeUIPixelSum(int32_t a, float b);
// v held to the placement limit; NaN gives fallback.
float WeUIPlacement(float v, float fallback);

struct WeUIInputEvent
{
    WeUIInputKind kind;
    int32_t a, b, c;
};

class WeUIMain
{
public:
    WeUIMain();
    // Frees the styles still there.
    ~WeUIMain();
    WeUIMain(const WeUIMain&) = delete;
    WeUIMain& operator=(const WeUIMain&) = delete;

    // Cursor texture, UI area, the root, fonts, default styles and the layout listener; enables
    // the manager. Cannot fail.
    void Init();
    // Drops last frame's component events, drains the input queue, then hands each component
    // event to its callback, else to the phases from the top down.
    void ProcessEvents();
    // Hiding components, the tree, style metrics, UI area and layout.
    void Update();
    // The tree, the overlays and the cursor; always ends with a flush.
    void Render();
    // Deletes the tree and the styles, removes the user fonts, disables the manager.
    void Shutdown();

    // Posting never fails; a button event is queued only when its bit is set in the mask.
    void PostKeyDown(int32_t code);
    void PostKeyUp(int32_t code);
    void PostMouseMove(int32_t x, int32_t y, int32_t z);
    void PostMouseDown(int32_t button);
    void PostMouseUp(int32_t button);
    void PostDoubleClick();
    void PostMouseWheel(int32_t delta);
    // Lets go of every held button (a release the poll never saw, as when the window lost the
    // foreground) and re-tests the hover.
    void ReleaseButtons();

    // The events posted and not yet drained, oldest first.
    const WeList<WeUIInputEvent>& GetInputQueue() const { return inputQueue; }

    void UpdateArea();
    int32_t ToScreenX(float f) const { return WeUIPixels(static_cast<float>(areaW) * f); }
    int32_t ToScreenY(float f) const { return WeUIPixels(static_cast<float>(areaH) * f); }
    // The design size, at least 1 x 1.
    int32_t DesignWidth() const;
    int32_t DesignHeight() const;
    // "P%R%T": P design pixels over the design width (height), R and T floats keeping defaults;
    // each held to the placement limit.
    void ParseXPlacement(const WeString& text, float* p, float* r, float defaultR, float* third,
                         float defaultThird) const;
    void ParseYPlacement(const WeString& text, float* p, float* r, float defaultR, float* third,
                         float defaultThird) const;

    // The component of that name (compared up to its first zero byte), or null.
    WeUIComponent* GetComponent(const WeString& componentName) const;
    // Whether a new component under parent may take the name of older, destroying it: not when
    // older is the root, an ancestor of parent, or a part of a composite widget.
    bool MayReplace(const WeUIComponent* older, const WeUIComponent* parent) const;
    WeUIStyle* GetStyle(const WeString& styleName) const;
    // Adds the style under its own name; 1 (and nothing added) when the name is taken.
    int32_t RegisterStyle(WeUIStyle* style);
    void CreateDefaultStyles();
    // The plain "*ConfigWindow..." styles; a name a configured default style took keeps that style.
    void CreateConfigStyles();
    // The type's default style under styleName, with its sub-styles under styleName + their
    // suffixes (a multi-column list's "_Window", "_Label" and "_Header", ...); each name already
    // taken keeps its style.
    void CreateDefaultStyle(const WeString& type, const WeString& styleName);

    void ShowComponent(const WeString& componentName);
    void HideComponent(const WeString& componentName);
    // Hides the component and deletes it once hidden (a widget's part is only hidden).
    void CloseComponent(const WeString& componentName);
    // Unlinks and deletes; the root and the parts of widgets (which go with their widget) are
    // never destroyed this way.
    void DestroyComponent(WeUIComponent* c);
    // Deferred while a handler runs.
    void DeleteComponent(const WeString& componentName);
    void DeleteComponentsByPrefix(const WeString& prefix);
    void FlushDeferredDeletes();
    void SetFocus(const WeString& componentName);
    bool HasFocus(const WeUIComponent* c) const { return c == focused; }
    void SetModalComponent(const WeString& componentName);
    void ClearModalComponent() { modal = nullptr; }
    bool IsRenderable(const WeUIComponent* c) const { return c->visible && (overlayPass || !c->overlay); }
    // Font "face:size" with the size times "UI.Fonts.UIFontScale", halves away from zero.
    WeFont* GetScaledFont(float size, const WeString& face);
    void LoadUserFonts(bool add);

    // Creates every component of a screen ("UI.Components." + screen...), parents first.
    void LoadComponents(const WeString& screen);
    // A component from a layout descriptor; null for an unknown type or parent, and, with a
    // message in lastError, for a name that a new component may not take.
    WeUIComponent* CreateComponent(const WeString& componentName, const WeString& descriptor);
    void ApplyDescriptor(WeUIComponent* component, const WeString& descriptor);
    static void OnComponentConfigChanged(const WeString& key, void* argument);

    // Clears every reference the manager holds to a component being destroyed.
    void ForgetComponent(WeUIComponent* c);
    // Replaces the painter (tests record through their own); null restores the device painter.
    void SetPainter(WeUIPainter* replacement);

    bool initialised = false;
    bool enabled = false;
    WeHashTable<WeUIComponent*> components;
    WeHashTable<WeUIStyle*> styles;
    int32_t areaW = 0, areaH = 0;
    WeUIComponent* root = nullptr;
    WeHashTable<WeUIComponent*> overlays;
    WeList<WeUIComponent*> hiding;
    WeList<WeString> pendingDeletes;
    WeUIComponent* modal = nullptr;
    WeUIComponent* hovered = nullptr;
    WeUIComponent* focused = nullptr;
    WeFont* defaultFont = nullptr;
    bool dispatching = false;
    uint16_t pressedMask = 0;
    int32_t lastMouseX = 0, lastMouseY = 0;
    WeTexture* cursorTexture = nullptr;
    bool cursorVisible = false;
    bool pendingRetest = false;
    int32_t showingCount = 0;
    WeList<WeUIEvent> events;
    bool overlayPass = false;
    uint16_t enabledButtons = 1; // bit n lets button n through
    WeUIPainter* painter;
    WeString lastError; // the latest refused layout entry; empty: none

private:
    void Post(WeUIInputKind kind, int32_t a = 0, int32_t b = 0, int32_t c = 0);
    bool ButtonEnabled(int32_t button) const;
    void ProcessInputEvent();
    void DeliverEvents();
    // Runs a handler call with deletions deferred until it returns.
    template <typename F> void Dispatch(F&& call);
    void DispatchMouseDown(int32_t button);
    void DispatchMouseUp(int32_t button);
    void DispatchMouseMove(int32_t x, int32_t y, int32_t z);
    WeUIComponent* HitUnderMouse(int32_t x, int32_t y);
    void UpdateHiding();
    void RenderCursor();
    void ReleaseStyles();
    bool IsHiding(const WeUIComponent* c) const;
    // Keeps the text in lastError and prints it once.
    void Report(const WeString& text);

    WeList<WeUIInputEvent> inputQueue; // spare records stay on the list's free chain
    std::unique_ptr<WeUIPainter> devicePainter;
    bool listenerAdded = false;
};

extern WeUIMain uiMain;
