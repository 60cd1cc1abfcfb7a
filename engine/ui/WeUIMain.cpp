#include "WeUIMain.h"

#include "WeConfig.h"
#include "WeInput.h"
#include "WePhaseStack.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUIConfigStyles.h"
#include "WeUILabel.h"
#include "WeUIStyle.h"
#include "WeVirtualFileSystem.h"
#include "win32/Win32Fonts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

WeUIMain::WeUIMain() : devicePainter(std::make_unique<WeUIDevicePainter>())
{
    painter = devicePainter.get();
}

WeUIMain::~WeUIMain()
{
    // Still there at exit when the program ended without the engine's shut-down. Styles hold
    // nothing of other managers; the component tree is left alone, as its widgets may hold
    // scenes and movies of managers that have gone before the UI.
    ReleaseStyles();
}

void WeUIMain::SetPainter(WeUIPainter* replacement)
{
    painter = replacement ? replacement : devicePainter.get();
}

void WeUIMain::Init()
{
    WeBeginFixedLoading();
    cursorTexture = painter->LoadTexture("Config.UI.Cursor");
    WeEndFixedLoading();
    pressedMask = 0;
    UpdateArea();
    root = new WeUIRoot("Root");
    enabledButtons = 1;
    modal = nullptr;
    pendingRetest = false;
    focused = hovered = root;
    cursorVisible = true;
    overlayPass = false;
    initialised = enabled = true;
    showingCount = 0;
    defaultFont = painter->GetFont("Arial:20");
    LoadUserFonts(true);
    CreateDefaultStyles();
    CreateConfigStyles();
    // Once per program: a second engine pass must not hear each change twice.
    if (!listenerAdded)
    {
        WeConfigListener& listener = WeGetConfigListeners().PushBack();
        listener = {"UI.Components.", &WeUIMain::OnComponentConfigChanged, nullptr};
        listenerAdded = true;
    }
}

void WeUIMain::Shutdown()
{
    if (root)
    {
        WeUIComponent* doomed = root;
        root = nullptr; // from here on its destruction may not fall back to it
        hovered = focused = modal = nullptr;
        delete doomed;
    }
    hovered = focused = modal = nullptr;
    hiding.Clear();
    pendingDeletes.Clear();
    events.Clear();
    inputQueue.Clear();
    overlays.Clear();
    ReleaseStyles();
    LoadUserFonts(false);
    pressedMask = 0;
    initialised = false;
    enabled = false;
}

void WeUIMain::ReleaseStyles()
{
    styles.ForEach([](const WeString&, WeUIStyle* style) { delete style; });
    styles.Clear();
}

int32_t WeUIMain::DesignWidth() const
{
    static int32_t& width = WeConfig::GetInt("UI.Size.SrcW", 800);
    return width < 1 ? 1 : width;
}

int32_t WeUIMain::DesignHeight() const
{
    static int32_t& height = WeConfig::GetInt("UI.Size.SrcH", 600);
    return height < 1 ? 1 : height;
}

void WeUIMain::UpdateArea()
{
    static float& scale = WeConfig::GetFloat("UI.Components.Scale", 1.0f);
    const float screenW = static_cast<float>(renderDevice.BackBufferWidth());
    const float screenH = static_cast<float>(renderDevice.BackBufferHeight());
    const float designW = static_cast<float>(DesignWidth());
    const float designH = static_cast<float>(DesignHeight());
    if (screenH * designW > screenW * designH)
    {
        areaW = static_cast<int32_t>(screenW * scale);
        areaH = static_cast<int32_t>(designH / designW * screenW * scale);
    }
    else
    {
        areaW = static_cast<int32_t>(designW / designH * screenH * scale);
        areaH = static_cast<int32_t>(screenH * scale);
    }
}

namespace
{

void ParsePlacement(const WeString& text, int32_t design, float* p, float* r, float defaultR, float* third,
                    float defaultThird)
{
    *p = WeUIPlacement(static_cast<float>(text.GetToken('%', 0).ToInt()) / static_cast<float>(design), 0.0f);
    *r = WeUIPlacement(text.GetToken('%', 1).ToFloat(defaultR), defaultR);
    *third = WeUIPlacement(text.GetToken('%', 2).ToFloat(defaultThird), defaultThird);
}

} // namespace

int32_t WeUIPixels(double v)
{
    constexpr double limit = kUIPixelLimit;
    if (!(v > -limit))
        return v < 0.0 ? -kUIPixelLimit : 0; // NaN fails both tests
    return v < limit ? static_cast<int32_t>(v) : kUIPixelLimit;
}

int32_t WeUIPixelSum(int32_t a, float b)
{
    return WeUIPixels(static_cast<double>(WeUIPixels(a)) + WeUIPixels(b));
}

float WeUIPlacement(float v, float fallback)
{
    if (std::isnan(v))
        return fallback;
    return std::clamp(v, -kUIPlacementLimit, kUIPlacementLimit);
}

void WeUIMain::ParseXPlacement(const WeString& text, float* p, float* r, float defaultR, float* third,
                               float defaultThird) const
{
    ParsePlacement(text, DesignWidth(), p, r, defaultR, third, defaultThird);
}

void WeUIMain::ParseYPlacement(const WeString& text, float* p, float* r, float defaultR, float* third,
                               float defaultThird) const
{
    ParsePlacement(text, DesignHeight(), p, r, defaultR, third, defaultThird);
}

WeUIComponent* WeUIMain::GetComponent(const WeString& componentName) const
{
    WeUIComponent* c = nullptr;
    return components.Find(WeUIComponentName(componentName), c) ? c : nullptr;
}

bool WeUIMain::MayReplace(const WeUIComponent* older, const WeUIComponent* parent) const
{
    return older != root && !(parent && parent->IsDescendantOf(older)) && !older->owner;
}

WeUIStyle* WeUIMain::GetStyle(const WeString& styleName) const
{
    WeUIStyle* s = nullptr;
    return styles.Find(styleName, s) ? s : nullptr;
}

void WeUIMain::CreateConfigStyles()
{
    const auto add = [this](WeUIStyle* style)
    {
        if (RegisterStyle(style) != 0)
            delete style;
    };
    add(new WeUIConfigButtonStyle("*ConfigWindowButtonNormal", 0xFFFFFFFFu));
    add(new WeUIConfigRedButtonStyle("*ConfigWindowButtonRed"));
    add(new WeUIConfigUpButtonStyle("*ConfigWindowButtonUp"));
    add(new WeUIConfigScrollButtonStyle("*ConfigWindowButtonScroll"));
    add(new WeUIConfigDownButtonStyle("*ConfigWindowButtonDown"));
    add(new WeUIConfigWindowBackgroundStyle("*ConfigWindowBackground"));
    add(new WeUIConfigCheckBoxStyle("*ConfigWindowCheckBox"));
    add(new WeUIConfigEditBoxStyle("*ConfigWindowEditBox"));
    add(new WeUIConfigMultiListStyle("*ConfigWindowMultiList"));
    add(new WeUIConfigMultiListStyle_Label("*ConfigWindowMultiList_Header"));
    add(new WeUIConfigMultiListStyle_Label("*ConfigWindowMultiList_Label"));
}

int32_t WeUIMain::RegisterStyle(WeUIStyle* style)
{
    if (GetStyle(style->name))
        return 1;
    styles.Insert(style->name, style);
    return 0;
}

bool WeUIMain::IsHiding(const WeUIComponent* c) const
{
    for (const WeUIComponent* entry : hiding)
        if (entry == c)
            return true;
    return false;
}

void WeUIMain::ShowComponent(const WeString& componentName)
{
    WeUIComponent* c = GetComponent(componentName);
    if (!c || c->visibilityDir == 1)
        return;
    hiding.Remove(c);
    c->slidingOut = false;
    c->visibilityDir = 1;
    c->visibilityValue = 0.0f;
    c->visible = true;
    c->StartSlideIn();
}

void WeUIMain::HideComponent(const WeString& componentName)
{
    WeUIComponent* c = GetComponent(componentName);
    if (!c || c->visibilityDir == -1)
        return;
    if (!c->visible)
    {
        if (c->deleteWhenHidden)
            DestroyComponent(c);
        return;
    }
    if (!IsHiding(c))
        hiding.PushBack(c);
    c->slidingIn = false;
    c->visibilityDir = -1;
    c->StartSlideOut();
}

void WeUIMain::CloseComponent(const WeString& componentName)
{
    if (WeUIComponent* c = GetComponent(componentName))
    {
        c->deleteWhenHidden = true;
        HideComponent(componentName);
    }
}

void WeUIMain::DestroyComponent(WeUIComponent* c)
{
    if (!c || c == root || c->owner)
        return;
    if (c->parent)
        c->parent->RemoveChild(c);
    delete c;
}

void WeUIMain::DeleteComponent(const WeString& componentName)
{
    if (dispatching)
        pendingDeletes.PushBack(componentName);
    else
        DestroyComponent(GetComponent(componentName));
}

void WeUIMain::DeleteComponentsByPrefix(const WeString& prefix)
{
    const bool wasDispatching = dispatching;
    dispatching = true;
    components.ForEach(
        [&](const WeString& key, WeUIComponent*)
        {
            if (key.Substring(0, prefix.GetLength()) == prefix && key.GetLength() >= prefix.GetLength())
                DeleteComponent(key);
        });
    dispatching = wasDispatching;
    if (!dispatching)
        FlushDeferredDeletes();
}

void WeUIMain::Report(const WeString& text)
{
    if (!(text == lastError))
        std::fprintf(stderr, "%s\n", text.GetData());
    lastError = text;
}

void WeUIMain::FlushDeferredDeletes()
{
    while (!pendingDeletes.IsEmpty())
    {
        WeString next = pendingDeletes.First();
        pendingDeletes.Reset();
        pendingDeletes.RemoveCurrent();
        DestroyComponent(GetComponent(next));
    }
}

void WeUIMain::SetFocus(const WeString& componentName)
{
    if (focused)
        focused->OnBlur();
    focused = GetComponent(componentName);
    if (focused)
        focused->OnFocus();
}

void WeUIMain::SetModalComponent(const WeString& componentName)
{
    modal = GetComponent(componentName);
}

WeFont* WeUIMain::GetScaledFont(float size, const WeString& face)
{
    static float& fontScale = WeConfig::GetFloat("UI.Fonts.UIFontScale", 1.0f);
    WeString key = face.IsEmpty() ? WeString("*") : face;
    key += ':';
    key.AppendInt(static_cast<int32_t>(std::lround(size * fontScale)));
    return painter->GetFont(key);
}

void WeUIMain::LoadUserFonts(bool add)
{
    const WeString& list = WeConfig::GetString("UI.Fonts.UserFonts", "");
    const int32_t count = list.CountTokens(',');
    for (int32_t i = 0; i < count; ++i)
    {
        const WeString file = list.GetToken(',', i);
        if (file.IsEmpty())
            break;
        const WeString path = WeGetExecutableFolder() + "/Fonts/" + file;
        if (add)
            AddFontResourceA(path.GetData());
        else
            RemoveFontResourceA(path.GetData());
    }
}

void WeUIMain::ForgetComponent(WeUIComponent* c)
{
    WeUIComponent* fallback = c == root ? nullptr : root;
    if (hovered == c)
        hovered = fallback;
    if (focused == c)
        focused = fallback;
    if (modal == c)
        modal = nullptr;
    while (hiding.Remove(c))
    {
    }
    // Its queued reports die with it; the walk drops them.
    for (WeUIEvent& event : events)
        if (event.source == c)
            event = WeUIEvent();
}

void WeUIMain::UpdateHiding()
{
    const WeList<WeUIComponent*> copy = hiding;
    for (WeUIComponent* c : copy)
    {
        // An entry destroyed earlier in this walk (with an ancestor) has left the live list.
        if (!IsHiding(c))
            continue;
        c->Update();
        if (c->visible)
            continue;
        // A widget's part outlives its hide: it goes with its widget.
        if (c->deleteWhenHidden && !c->owner)
            DestroyComponent(c);
        else
            hiding.Remove(c);
    }
}

void WeUIMain::Update()
{
    if (!initialised)
        return;
    UpdateHiding();
    showingCount = 0;
    root->Update();
    styles.ForEach([](const WeString&, WeUIStyle* style) { style->UpdateMetrics(); });
    UpdateArea();
    root->UpdateLayout(true, true);
}

void WeUIMain::Render()
{
    if (initialised)
    {
        root->Render();
        overlayPass = true;
        overlays.ForEach(
            [](const WeString&, WeUIComponent* c)
            {
                if (c->IsShownInTree())
                    c->Render();
            });
        overlayPass = false;
        if (cursorVisible)
            RenderCursor();
    }
    painter->Flush();
}

void WeUIMain::RenderCursor()
{
    static const int32_t offsetX = WeConfig::GetInt("UI.Cursor.OffsetX", 0);
    static const int32_t offsetY = WeConfig::GetInt("UI.Cursor.OffsetY", 0);
    static const int32_t width = WeConfig::GetInt("UI.Cursor.Width", 16);
    static const int32_t height = WeConfig::GetInt("UI.Cursor.Height", 16);
    painter->Flush();
    WeTexture* texture = hovered && hovered->cursorTexture ? hovered->cursorTexture : cursorTexture;
    int32_t mouseX = 0, mouseY = 0;
    input.GetCursorPosition(&mouseX, &mouseY);
    painter->DrawRectangle(mouseX - offsetX, mouseY - offsetY, width, height, 0xFFFFFFFFu, texture,
                           BLENDMODE_NORMAL);
}
