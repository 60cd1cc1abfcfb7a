// One top-level application window: registers its window class, creates the window from the
// engine settings, pumps the thread's messages once per frame and turns window messages into
// calls of its virtual handlers. The base handlers post typed characters, double clicks and
// wheel turns to the UI manager's input queue; keys by DirectInput code and mouse moves and
// buttons come from the input poll instead.
#pragma once

#include "WeString.h"
#include "win32/Win32Window.h"

#include <cstdint>

class WeAppWindow
{
public:
    WeAppWindow();
    virtual ~WeAppWindow();
    WeAppWindow(const WeAppWindow&) = delete;
    WeAppWindow& operator=(const WeAppWindow&) = delete;

    virtual void OnPaint() {}
    // allowClose is preset true; clearing it keeps the window.
    virtual void OnClose(bool* /*allowClose*/) {}
    virtual void OnDestroy() {}
    virtual void OnAltF4() {}
    virtual void OnCreate() {}
    virtual void OnSize(int32_t /*width*/, int32_t /*height*/, uint32_t /*sizeType*/) {}
    virtual void OnHScroll(int32_t /*code*/, int32_t /*position*/) {}
    virtual void OnVScroll(int32_t /*code*/, int32_t /*position*/) {}
    // Posts the signed wheel delta (120 a notch) to the UI.
    virtual void OnMouseWheel(int32_t delta);
    virtual void OnLButtonDown(int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnLButtonUp(int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnRButtonDown(int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnRButtonUp(int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnMButtonDown(int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnMButtonUp(int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnMouseMove(int32_t /*x*/, int32_t /*y*/) {}
    // Posts a double click to the UI.
    virtual void OnLButtonDblClk(int32_t x, int32_t y);
    virtual void OnCommand(int32_t /*commandId*/) {}
    virtual void OnButtonDblClk(int32_t /*controlId*/) {}
    virtual void OnEditChange(int32_t /*controlId*/) {}
    // Posts the first UTF-16 unit the key typed, negated, as a key down (key up) to the UI.
    virtual void OnKeyDown(uint32_t virtualKey);
    virtual void OnKeyUp(uint32_t virtualKey);
    virtual void OnBeforePump() {}
    // A typed character that is not an auto-repeat.
    virtual void OnChar(uint32_t /*character*/) {}
    // Destroys the window and unregisters its class; the window is no longer alive.
    virtual void Destroy();

    // Registers the class and creates the window: full screen (display mode 0) as a pop-up at
    // 0,0, else centred on the screen with the frame of the window style. False with the reason
    // in the engine's lastError, leaving no window and no class behind.
    bool Create(const WeString& newClassName, const WeString& title, const char* menuName,
                int32_t largeIconId, int32_t smallIconId, int32_t width, int32_t height, bool show,
                int32_t displayMode, int32_t windowStyle, bool maximise, bool topmost, bool arrowCursor,
                win32::HINSTANCE newInstance);
    // Hides the window while it is alive.
    void Hide();
    // Alive, and no Alt+F4 asked the program to end.
    bool IsRunning() const;
    // Dispatches the messages waiting for the thread; true when one was dispatched or the window
    // was destroyed. False at once when the window is not alive.
    bool PumpMessages();

    // The window procedure of the class.
    static win32::LRESULT WindowProcedure(win32::HWND handle, uint32_t message, win32::WPARAM wParam,
                                          win32::LPARAM lParam);

    win32::HWND handle = nullptr; // null before creation and after destruction
    win32::HINSTANCE instance = nullptr;
    WeString className;  // empty: no class registered
    uint32_t mouseX = 0; // the last mouse-move position, client coordinates as unsigned words
    uint32_t mouseY = 0;
    bool maximised = false;
    bool alive = false;
    bool hidCursor = false; // Create lowered the cursor's display counter; Destroy raises it again

private:
    static win32::LRESULT OnKeyMessage(WeAppWindow* window, win32::HWND handle, uint32_t message,
                                       win32::WPARAM wParam, win32::LPARAM lParam);
    static win32::LRESULT OnCommandMessage(win32::HWND handle, win32::WPARAM wParam);
    // The first UTF-16 unit the key typed, or 0.
    static int32_t TranslateKey(uint32_t virtualKey, uint8_t* keyState, uint32_t scanCodeFlags);
};

// The outer size and style of a windowed window of a window style (0-3) for a client size.
struct WeWindowFrame
{
    uint32_t style;
    int32_t outerWidth;
    int32_t outerHeight;
};
WeWindowFrame WeGetWindowFrame(int32_t windowStyle, int32_t width, int32_t height);

// Set by Alt+F4: ends IsRunning and blocks the run loop's restart.
extern bool quitRequested;
