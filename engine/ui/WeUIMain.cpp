#include "WeUIMain.h"

void WeUIMain::Init()
{
    enabledButtons = 1;
    enabled = true;
}

void WeUIMain::ProcessEvents()
{
    drained.Clear();
    for (const WeUIInputEvent& event : inputQueue)
    {
        const bool foldsIntoLast = event.kind == WeUIInputKind::MouseMove && !drained.IsEmpty() &&
                                   drained.Last().kind == WeUIInputKind::MouseMove;
        (foldsIntoLast ? drained.Last() : drained.PushBack()) = event;
    }
    inputQueue.Clear();
}

void WeUIMain::Update() {}

void WeUIMain::Render() {}

void WeUIMain::Shutdown()
{
    inputQueue.Clear();
    drained.Clear();
    enabled = false;
}

void WeUIMain::PostKeyDown(int32_t code) { Post(WeUIInputKind::KeyDown, code); }
void WeUIMain::PostKeyUp(int32_t code) { Post(WeUIInputKind::KeyUp, code); }
void WeUIMain::PostMouseMove(int32_t x, int32_t y, int32_t z) { Post(WeUIInputKind::MouseMove, x, y, z); }

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

void WeUIMain::PostDoubleClick() { Post(WeUIInputKind::DoubleClick); }
void WeUIMain::PostMouseWheel(int32_t delta) { Post(WeUIInputKind::MouseWheel, delta); }

void WeUIMain::Post(WeUIInputKind kind, int32_t a, int32_t b, int32_t c) { inputQueue.PushBack() = {kind, a, b, c}; }

bool WeUIMain::ButtonEnabled(int32_t button) const
{
    return button >= 0 && button < 16 && (enabledButtons >> button & 1) != 0;
}
