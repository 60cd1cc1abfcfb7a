#include "WeAppWindow.h"

#include "WeEngine.h"
#include "WeList.h"
#include "WeUIMain.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Keyboard.h"

#include <vector>

using namespace win32;

bool quitRequested = false;

namespace
{

// Every live WeAppWindow, in construction order; made by the first window, deleted with the last.
WeList<WeAppWindow*>* windowList = nullptr;

uint8_t keyDownState[256];
uint8_t keyUpState[256];

constexpr uint32_t kKeyUpScanCodeFlag = 0x80000000u;

// The windows of the list with the handle, in list order.
std::vector<WeAppWindow*> WindowsOf(HWND handle)
{
    std::vector<WeAppWindow*> matching;
    if (windowList && handle)
        for (WeAppWindow* window : *windowList)
            if (window->handle == handle)
                matching.push_back(window);
    return matching;
}

bool IsArrowKey(WPARAM key)
{
    return key >= VK_LEFT && key <= VK_DOWN;
}

WeAppWindow* FindWindow(HWND handle)
{
    const std::vector<WeAppWindow*> matching = WindowsOf(handle);
    return matching.empty() ? nullptr : matching.front();
}

int32_t LowWord(uintptr_t value)
{
    return LOWORD(value);
}
int32_t HighWord(uintptr_t value)
{
    return HIWORD(value);
}

WeString ErrorText(const char* text, uint32_t code)
{
    WeString message(text);
    message.AppendInt(static_cast<int32_t>(code), 8, 16, false);
    return message;
}

} // namespace

WeWindowFrame WeGetWindowFrame(int32_t windowStyle, int32_t width, int32_t height)
{
    const int32_t frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    const int32_t caption = GetSystemMetrics(SM_CYCAPTION);
    switch (windowStyle)
    {
    case 1:
        return {WS_CAPTION | WS_SYSMENU, width + 2 * frame, height + caption + 2 * frame};
    case 2:
        return {WS_OVERLAPPEDWINDOW, width + 2 * (frame + GetSystemMetrics(SM_CXBORDER)),
                height + caption + 2 * (frame + GetSystemMetrics(SM_CYBORDER))};
    case 3:
        return {WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, width + 2 * frame, height + caption + 2 * frame};
    default:
        return {WS_POPUP, width, height};
    }
}

WeAppWindow::WeAppWindow()
{
    if (!windowList)
        windowList = new WeList<WeAppWindow*>();
    windowList->PushBack(this);
}

WeAppWindow::~WeAppWindow()
{
    WeAppWindow::Destroy();
    windowList->Remove(this);
    if (windowList->IsEmpty())
    {
        delete windowList;
        windowList = nullptr;
    }
}

bool WeAppWindow::Create(const WeString& newClassName, const WeString& title, const char* menuName,
                         int32_t largeIconId, int32_t smallIconId, int32_t width, int32_t height, bool show,
                         int32_t displayMode, int32_t windowStyle, bool maximise, bool topmost,
                         bool arrowCursor, HINSTANCE newInstance)
{
    instance = newInstance;
    className = newClassName;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_OWNDC | CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(largeIconId));
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(smallIconId));
    windowClass.hCursor = arrowCursor ? LoadCursorA(nullptr, IDC_ARROW) : nullptr;
    windowClass.lpszClassName = className.GetData();
    if (!RegisterClassExA(windowClass))
    {
        // The name belongs to a class someone else registered: not ours to unregister.
        className = "";
        engine.lastError = ErrorText("Error registering application window class - error #", GetLastError());
        return false;
    }
    const uint32_t exStyle = topmost ? WS_EX_TOPMOST : 0;
    HWND created = nullptr;
    if (displayMode == 0)
        created = CreateWindowExA(exStyle, className.GetData(), title.GetData(), WS_POPUP, 0, 0, width,
                                  height, nullptr, nullptr, instance, nullptr);
    else
    {
        HMENU menu = LoadMenuA(instance, menuName);
        const WeWindowFrame frame = WeGetWindowFrame(windowStyle, width, height);
        const int32_t x = (GetSystemMetrics(SM_CXSCREEN) - frame.outerWidth) / 2;
        const int32_t y = (GetSystemMetrics(SM_CYSCREEN) - frame.outerHeight) / 2;
        created = CreateWindowExA(exStyle, className.GetData(), title.GetData(), frame.style, x, y,
                                  frame.outerWidth, frame.outerHeight, nullptr, menu, instance, nullptr);
    }
    if (!created)
    {
        engine.lastError = ErrorText("Error creating application window - error #", GetLastError());
        Destroy();
        return false;
    }
    handle = created;
    alive = true;
    maximised = maximise;
    if (show)
    {
        ShowWindow(handle, maximise ? SW_MAXIMIZE : SW_SHOW);
        SetForegroundWindow(handle);
        SetFocus(handle);
    }
    if (!arrowCursor)
    {
        ShowCursor(false);
        hidCursor = true;
    }
    return true;
}

void WeAppWindow::Destroy()
{
    if (handle)
    {
        DestroyWindow(handle);
        handle = nullptr;
    }
    if (!className.IsEmpty())
    {
        UnregisterClassA(className.GetData(), instance);
        className = "";
    }
    if (hidCursor)
    {
        ShowCursor(true);
        hidCursor = false;
    }
    alive = false;
}

void WeAppWindow::Hide()
{
    if (alive)
        ShowWindow(handle, SW_HIDE);
}

bool WeAppWindow::IsRunning() const
{
    return alive && !quitRequested;
}

bool WeAppWindow::PumpMessages()
{
    if (!alive)
        return false;
    OnBeforePump();
    bool dispatched = false;
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (message.message == WM_QUIT)
        {
            // A thread quit message carries no window, which matches a handle a close cleared.
            if (message.hwnd == handle)
            {
                Destroy();
                return true;
            }
            continue;
        }
        if (message.message == WM_KEYDOWN && !IsArrowKey(message.wParam))
            TranslateMessage(&message);
        DispatchMessageA(&message);
        dispatched = true;
    }
    return dispatched;
}

void WeAppWindow::OnMouseWheel(int32_t delta)
{
    uiMain.PostMouseWheel(delta);
}

void WeAppWindow::OnLButtonDblClk(int32_t, int32_t)
{
    uiMain.PostDoubleClick();
}

int32_t WeAppWindow::TranslateKey(uint32_t virtualKey, uint8_t* keyState, uint32_t scanCodeFlags)
{
    GetKeyboardState(keyState);
    char16_t typed[16];
    const uint32_t scanCode = MapVirtualKeyA(virtualKey, MAPVK_VSC_TO_VK) | scanCodeFlags;
    const int32_t count = ToUnicodeEx(virtualKey, scanCode, keyState, typed, 16, 0, GetKeyboardLayout(0));
    return count > 0 ? static_cast<int32_t>(typed[0]) : 0;
}

void WeAppWindow::OnKeyDown(uint32_t virtualKey)
{
    if (const int32_t unit = TranslateKey(virtualKey, keyDownState, 0))
        uiMain.PostKeyDown(-unit);
}

void WeAppWindow::OnKeyUp(uint32_t virtualKey)
{
    if (const int32_t unit = TranslateKey(virtualKey, keyUpState, kKeyUpScanCodeFlag))
        uiMain.PostKeyUp(-unit);
}

LRESULT WeAppWindow::OnKeyMessage(WeAppWindow* window, HWND handle, uint32_t message, WPARAM wParam,
                                  LPARAM lParam)
{
    if (message == WM_SYSKEYDOWN && wParam == VK_F4)
    {
        quitRequested = true;
        for (WeAppWindow* each : WindowsOf(handle))
            each->OnAltF4();
        return DefWindowProcA(handle, message, wParam, lParam);
    }
    const bool windowsKeyHeld = (GetAsyncKeyState(VK_LWIN) & 0x8000) || (GetAsyncKeyState(VK_RWIN) & 0x8000);
    if (wParam == VK_LWIN || wParam == VK_RWIN || windowsKeyHeld)
        return DefWindowProcA(handle, message, wParam, lParam);
    if (message == WM_SYSKEYDOWN && wParam == VK_SPACE)
        return 0;
    if (window && !(lParam & KF_REPEAT_BIT))
        window->OnKeyDown(static_cast<uint32_t>(wParam));
    return 0;
}

LRESULT WeAppWindow::OnCommandMessage(HWND handle, WPARAM wParam)
{
    const int32_t id = LowWord(wParam);
    for (WeAppWindow* window : WindowsOf(handle))
    {
        switch (HighWord(wParam))
        {
        case 0:
        case 1:
            window->OnCommand(id);
            return 0;
        case 5:
            window->OnButtonDblClk(id);
            return 0;
        case 0x300:
            window->OnEditChange(id);
            return 0;
        default:
            break;
        }
    }
    return 0;
}

LRESULT WeAppWindow::WindowProcedure(HWND handle, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    WeAppWindow* window = FindWindow(handle);
    switch (message)
    {
    case WM_CREATE:
        if (!window)
            return 1;
        window->OnCreate();
        return 0;
    case WM_DESTROY:
        if (window)
            window->OnDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return OnKeyMessage(window, handle, message, wParam, lParam);
    case WM_COMMAND:
        return OnCommandMessage(handle, wParam);
    default:
        break;
    }
    if (!window)
        return 0;
    const int32_t x = LowWord(static_cast<uintptr_t>(lParam));
    const int32_t y = HighWord(static_cast<uintptr_t>(lParam));
    switch (message)
    {
    case WM_SIZE:
        window->OnSize(x, y, static_cast<uint32_t>(wParam));
        return 0;
    case WM_PAINT:
        window->OnPaint();
        break;
    case WM_CLOSE:
    {
        bool allow = true;
        window->OnClose(&allow);
        if (allow)
        {
            DestroyWindow(handle);
            window->handle = nullptr;
            window->alive = false;
        }
        return 0;
    }
    case WM_DISPLAYCHANGE:
        if (engine.settings.displayMode == 1)
            ShowWindow(handle, SW_MAXIMIZE);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        window->OnKeyUp(static_cast<uint32_t>(wParam));
        return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
        if (!(lParam & KF_REPEAT_BIT))
            window->OnChar(static_cast<uint32_t>(wParam));
        break;
    case WM_SYSCOMMAND:
    {
        const WPARAM command = wParam & 0xFFF0;
        if (command == SC_SCREENSAVE || command == SC_MONITORPOWER)
            return 0;
        break;
    }
    case WM_HSCROLL:
        window->OnHScroll(LowWord(wParam), HighWord(wParam));
        return 0;
    case WM_VSCROLL:
        window->OnVScroll(LowWord(wParam), HighWord(wParam));
        return 0;
    case WM_MOUSEMOVE:
        window->mouseX = static_cast<uint32_t>(x);
        window->mouseY = static_cast<uint32_t>(y);
        window->OnMouseMove(x, y);
        return 0;
    case WM_LBUTTONDOWN:
        window->OnLButtonDown(x, y);
        return 0;
    case WM_LBUTTONUP:
        window->OnLButtonUp(x, y);
        return 0;
    case WM_RBUTTONDOWN:
        window->OnRButtonDown(x, y);
        return 0;
    case WM_RBUTTONUP:
        window->OnRButtonUp(x, y);
        return 0;
    case WM_MBUTTONDOWN:
        window->OnMButtonDown(x, y);
        return 0;
    case WM_MBUTTONUP:
        window->OnMButtonUp(x, y);
        return 0;
    case WM_LBUTTONDBLCLK:
        window->OnLButtonDblClk(x, y);
        return 0;
    case WM_MOUSEWHEEL:
        window->OnMouseWheel(static_cast<int16_t>(HIWORD(wParam)));
        return 0;
    default:
        break;
    }
    return DefWindowProcA(handle, message, wParam, lParam);
}
