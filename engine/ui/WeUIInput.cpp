// The UI manager's input road: the queue the window and the poll post into, and the dispatch of
// each queued event to the hovered or focused component, then of the components' event records
// to their callbacks or the phases.
#include "WeUIMain.h"

#include "WePhaseStack.h"

void WeUIMain::PostKeyDown(int32_t code)
{
    Post(WeUIInputKind::KeyDown, code);
}
void WeUIMain::PostKeyUp(int32_t code)
{
    Post(WeUIInputKind::KeyUp, code);
}
void WeUIMain::PostMouseMove(int32_t x, int32_t y, int32_t z)
{
    Post(WeUIInputKind::MouseMove, x, y, z);
}

void WeUIMain::PostMouseDown(int32_t button)
{
    if (ButtonEnabled(button))
        Post(WeUIInputKind::MouseDown, button);
}

void WeUIMain::PostMouseUp(int32_t button)
{
    if (ButtonEnabled(button))
        Post(WeUIInputKind::MouseUp, button);
}

void WeUIMain::PostDoubleClick()
{
    Post(WeUIInputKind::DoubleClick);
}
void WeUIMain::PostMouseWheel(int32_t delta)
{
    Post(WeUIInputKind::MouseWheel, delta);
}

void WeUIMain::Post(WeUIInputKind kind, int32_t a, int32_t b, int32_t c)
{
    inputQueue.PushBack() = {kind, a, b, c};
}

bool WeUIMain::ButtonEnabled(int32_t button) const
{
    return button >= 0 && button < 16 && (enabledButtons >> button & 1) != 0;
}

void WeUIMain::ReleaseButtons()
{
    if (pressedMask == 0)
        return;
    pressedMask = 0;
    if (hovered)
    {
        hovered->pressedButtons = 0;
        hovered->pressDir = -1;
    }
    pendingRetest = true;
}

void WeUIMain::ProcessEvents()
{
    events.Clear();
    // A tree changed under a still mouse gets its hover re-test even without new input.
    if (inputQueue.IsEmpty() && pendingRetest)
        ProcessInputEvent();
    while (!inputQueue.IsEmpty())
        ProcessInputEvent();
    DeliverEvents();
}

template <typename F> void WeUIMain::Dispatch(F&& call)
{
    dispatching = true;
    call();
    dispatching = false;
    FlushDeferredDeletes();
}

void WeUIMain::DeliverEvents()
{
    // Events queued by a callback or a phase on the way are delivered in this same walk.
    events.Reset();
    while (!events.IsEnd())
    {
        WeUIEvent* event = &events.GetItem();
        bool handled = event->id == 0; // a report whose source was destroyed
        if (!handled && event->callback)
            Dispatch([&] { handled = event->callback(event); });
        if (!handled && event->id != 0)
            Dispatch([&] { handled = phaseStack.OnUIEvent(event); });
        if (handled || event->id == 0)
            events.RemoveCurrent();
        else
            events.Next();
    }
}

void WeUIMain::ProcessInputEvent()
{
    bool moved = false;
    int32_t moveX = lastMouseX, moveY = lastMouseY, moveZ = 0;
    if (pendingRetest)
    {
        pendingRetest = false;
        moved = true;
    }
    inputQueue.Reset();
    while (!inputQueue.IsEnd())
    {
        const WeUIInputEvent& event = inputQueue.GetItem();
        if (event.kind != WeUIInputKind::MouseMove)
        {
            inputQueue.Next();
            continue;
        }
        moved = true;
        moveX = event.a;
        moveY = event.b;
        moveZ = event.c;
        inputQueue.RemoveCurrent();
    }
    if (moved)
        DispatchMouseMove(moveX, moveY, moveZ);
    WeUIInputEvent next;
    if (inputQueue.IsEmpty())
        return;
    next = inputQueue.First();
    inputQueue.Reset();
    inputQueue.RemoveCurrent();
    if (!enabled)
        return;
    switch (next.kind)
    {
    case WeUIInputKind::KeyDown:
        Dispatch(
            [&]
            {
                if (focused)
                    focused->OnKeyDown(next.a);
            });
        break;
    case WeUIInputKind::KeyUp:
        Dispatch(
            [&]
            {
                if (focused)
                    focused->OnKeyUp(next.a);
            });
        break;
    case WeUIInputKind::MouseDown:
        DispatchMouseDown(next.a);
        break;
    case WeUIInputKind::MouseUp:
        DispatchMouseUp(next.a);
        break;
    case WeUIInputKind::DoubleClick:
        Dispatch(
            [&]
            {
                if (hovered)
                    hovered->OnDoubleClick();
            });
        break;
    case WeUIInputKind::MouseWheel:
        Dispatch(
            [&]
            {
                if (hovered)
                    hovered->OnMouseWheel(next.a);
            });
        break;
    case WeUIInputKind::MouseMove:
        break;
    }
}

void WeUIMain::DispatchMouseDown(int32_t button)
{
    Dispatch(
        [&]
        {
            if (focused)
                focused->OnBlur();
        });
    pressedMask = static_cast<uint16_t>(pressedMask | 1u << button);
    Dispatch(
        [&]
        {
            if (hovered)
                hovered->OnMouseDown(button);
        });
    focused = hovered;
    Dispatch(
        [&]
        {
            if (focused)
                focused->OnFocus();
        });
}

void WeUIMain::DispatchMouseUp(int32_t button)
{
    pressedMask = static_cast<uint16_t>(pressedMask & ~(1u << button));
    Dispatch(
        [&]
        {
            if (hovered)
                hovered->OnMouseUp(button);
        });
    PostMouseMove(lastMouseX, lastMouseY, 0);
    Dispatch(
        [&]
        {
            if (root)
                root->NotifyMouseReleased(hovered);
        });
}

WeUIComponent* WeUIMain::HitUnderMouse(int32_t x, int32_t y)
{
    WeUIComponent* scope = modal ? modal : root;
    if (!scope)
        return nullptr;
    WeUIComponent* hit = nullptr;
    overlays.ForEach(
        [&](const WeString&, WeUIComponent* c)
        {
            if (!hit && c->IsDescendantOf(scope) && c->IsShownInTree())
                hit = c->HitTest(x, y, false, true);
        });
    if (!hit)
        hit = scope->HitTest(x, y, false, true);
    return hit == root ? nullptr : hit;
}

void WeUIMain::DispatchMouseMove(int32_t x, int32_t y, int32_t z)
{
    lastMouseX = x;
    lastMouseY = y;
    if (!enabled)
        return;
    if (pressedMask == 0)
    {
        WeUIComponent* hit = HitUnderMouse(x, y);
        if (hit != hovered)
        {
            Dispatch(
                [&]
                {
                    if (hovered)
                        hovered->OnMouseLeave();
                });
            // The leave handler may have deleted the hit: test again. Set before the enter
            // handler runs, so a component deleting itself there hands the hover to the root.
            hovered = HitUnderMouse(x, y);
            Dispatch(
                [&]
                {
                    if (hovered)
                        hovered->OnMouseEnter();
                });
        }
        if (!hovered)
            hovered = root;
    }
    Dispatch(
        [&]
        {
            if (hovered)
                hovered->OnMouseMove(x, y, z);
        });
}
