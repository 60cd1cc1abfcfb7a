// The UI manager (global uiMain): as far as the engine drives it so far, its input queue. The
// window and the input poll post key, mouse, double-click and wheel events into it, and each
// engine update drains it. Components, styles, fonts and layouts come with the user interface.
#pragma once

#include "WeList.h"

#include <cstdint>

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

struct WeUIInputEvent
{
    WeUIInputKind kind;
    int32_t a, b, c;
};

class WeUIMain
{
public:
    // Enables the manager; the enabled-buttons mask becomes 1 (left button only).
    void Init();
    // Drains the input queue, consecutive mouse moves folded into the last of them.
    void ProcessEvents();
    void Update();
    void Render();
    // Disables the manager and empties the input queue.
    void Shutdown();

    // Posting never fails; a button event is queued only when its bit is set in the mask.
    void PostKeyDown(int32_t code);
    void PostKeyUp(int32_t code);
    void PostMouseMove(int32_t x, int32_t y, int32_t z);
    void PostMouseDown(int32_t button);
    void PostMouseUp(int32_t button);
    void PostDoubleClick();
    void PostMouseWheel(int32_t delta);

    // The events posted and not yet drained, oldest first.
    const WeList<WeUIInputEvent>& GetInputQueue() const { return inputQueue; }
    // The events the last ProcessEvents drained, after folding.
    const WeList<WeUIInputEvent>& GetDrainedEvents() const { return drained; }

    bool enabled = false;
    uint16_t enabledButtons = 1; // bit n lets button n through

private:
    void Post(WeUIInputKind kind, int32_t a = 0, int32_t b = 0, int32_t c = 0);
    bool ButtonEnabled(int32_t button) const;

    WeList<WeUIInputEvent> inputQueue; // spare records stay on the list's free chain
    WeList<WeUIInputEvent> drained;
};

extern WeUIMain uiMain;
