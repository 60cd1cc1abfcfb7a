// Window calls of the Win32 layer: window classes, top-level windows, the thread's message
// queue and the system metrics the engine reads, with the semantics the engine relies on, over
// SDL2. SDL events become the window messages a Win32 program sees (close, size, paint, activate,
// keys with their typed characters, mouse moves, buttons, double clicks, wheel turns) and reach
// the class's window procedure through DispatchMessageA.
#pragma once

#include <cstdint>

struct SDL_Window;

namespace win32
{

struct HWND__;
using HWND = HWND__*; // an identifier, never reused within a run; null is no window
using HINSTANCE = void*;
using HMENU = void*;
using HICON = void*;
using HCURSOR = void*;
using HBRUSH = void*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WNDPROC = LRESULT (*)(HWND, uint32_t message, WPARAM, LPARAM);

struct RECT
{
    int32_t left, top, right, bottom;
};

struct POINT
{
    int32_t x, y;
};

// A queued message. typed holds the characters SDL typed for a key-down (UTF-16, zero ended);
// TranslateMessage turns them into WM_CHAR messages and ToUnicodeEx hands them to the handler.
struct MSG
{
    HWND hwnd;
    uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
    char16_t typed[4];
};

struct WNDCLASSEXA
{
    uint32_t cbSize;
    uint32_t style;
    WNDPROC lpfnWndProc;
    int32_t cbClsExtra;
    int32_t cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
    HICON hIconSm;
};

// Messages.
constexpr uint32_t WM_CREATE = 0x0001;
constexpr uint32_t WM_DESTROY = 0x0002;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_DISPLAYCHANGE = 0x007E;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCHAR = 0x0106;
constexpr uint32_t WM_COMMAND = 0x0111;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_HSCROLL = 0x0114;
constexpr uint32_t WM_VSCROLL = 0x0115;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

// Parameters of messages.
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;
constexpr uint32_t SIZE_RESTORED = 0;
constexpr uint32_t SIZE_MINIMIZED = 1;
constexpr uint32_t SIZE_MAXIMIZED = 2;
constexpr uint32_t SC_CLOSE = 0xF060;
constexpr uint32_t SC_SCREENSAVE = 0xF140;
constexpr uint32_t SC_MONITORPOWER = 0xF170;
constexpr int32_t WHEEL_DELTA = 120;
constexpr LPARAM KF_REPEAT_BIT = LPARAM(1) << 30; // lParam of key messages: the key was already down

// Class styles.
constexpr uint32_t CS_DBLCLKS = 0x0008;
constexpr uint32_t CS_OWNDC = 0x0020;

// Window styles.
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_CAPTION = 0x00C00000u;
constexpr uint32_t WS_SYSMENU = 0x00080000u;
constexpr uint32_t WS_THICKFRAME = 0x00040000u;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000u;
constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000u;
constexpr uint32_t WS_OVERLAPPEDWINDOW =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008u;

// ShowWindow commands.
constexpr int32_t SW_HIDE = 0;
constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_MAXIMIZE = 3;
constexpr int32_t SW_SHOW = 5;
constexpr int32_t SW_MINIMIZE = 6;
constexpr int32_t SW_RESTORE = 9;

// PeekMessageA.
constexpr uint32_t PM_NOREMOVE = 0;
constexpr uint32_t PM_REMOVE = 1;

// System metrics. The frame sizes are the layer's nominal ones: windows are created and
// measured with them, so outer sizes computed from them give exactly the client size asked for.
constexpr int32_t SM_CXSCREEN = 0;
constexpr int32_t SM_CYSCREEN = 1;
constexpr int32_t SM_CYCAPTION = 4;
constexpr int32_t SM_CXBORDER = 5;
constexpr int32_t SM_CYBORDER = 6;
constexpr int32_t SM_CXFIXEDFRAME = 7;
constexpr int32_t SM_CYFIXEDFRAME = 8;

// Error codes of GetLastError.
constexpr uint32_t ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr uint32_t ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr uint32_t ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr uint32_t ERROR_CLASS_HAS_WINDOWS = 1412;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_VIDEO_UNAVAILABLE = 0x20000001; // SDL could not give a video subsystem or window

// Window classes. Registration fails with ERROR_CLASS_ALREADY_EXISTS for a name already taken;
// unregistration fails while a window of the class exists.
bool RegisterClassExA(const WNDCLASSEXA& windowClass);
bool UnregisterClassA(const char* className, HINSTANCE instance);

// Creates a top-level window of a registered class: x, y, width and height are the outer
// rectangle, the client area is what the style's frame leaves of it. WM_CREATE is sent to the
// class's procedure before this returns (its -1 fails the creation). Null on failure.
HWND CreateWindowExA(uint32_t exStyle, const char* className, const char* title, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
// Sends WM_DESTROY, then destroys the window and drops its queued messages. The SDL window behind
// it is only hidden until the next window is created, so that a graphics context made on it stays
// usable until its device is released.
bool DestroyWindow(HWND window);
bool IsWindow(HWND window);
// Returns whether the window was visible before.
bool ShowWindow(HWND window, int32_t command);
bool IsWindowVisible(HWND window);
bool IsZoomed(HWND window);
bool SetForegroundWindow(HWND window);
HWND SetFocus(HWND window);
// The window that has the keyboard focus of the desktop, or null when it is no window of ours.
HWND GetForegroundWindow();
uint32_t GetWindowThreadProcessId(HWND window, uint32_t* processId);
uint32_t GetCurrentThreadId();
uint32_t GetCurrentProcessId();
bool GetWindowRect(HWND window, RECT* rect);
bool GetClientRect(HWND window, RECT* rect);
bool ClientToScreen(HWND window, POINT* point);
bool ScreenToClient(HWND window, POINT* point);
// The program's window whose outer rectangle holds the screen point, or null.
HWND WindowFromPoint(POINT point);
bool MoveWindow(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint);
int32_t GetSystemMetrics(int32_t index);
HMENU LoadMenuA(HINSTANCE instance, const char* name);
HICON LoadIconA(HINSTANCE instance, const char* name);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HINSTANCE GetModuleHandleA(const char* name);
inline const char* MAKEINTRESOURCEA(int32_t id)
{
    return reinterpret_cast<const char*>(static_cast<intptr_t>(id));
}
inline const char* const IDC_ARROW = MAKEINTRESOURCEA(32512);

// The thread's message queue. PeekMessageA takes posted messages first, then the window system's
// events; WM_QUIT comes only when nothing else is queued.
bool PeekMessageA(MSG* message, HWND window, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlag);
// For a key-down with typed characters, queues WM_CHAR (WM_SYSCHAR) messages to come next.
bool TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
// Calls the window's procedure at once.
LRESULT SendMessageA(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
bool PostMessageA(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int32_t exitCode);
// The default handling: Alt+F4 asks to close, a close destroys the window, a screen-saver or
// monitor-power request lets the screen saver run again (windows keep it off), the rest does nothing.
LRESULT DefWindowProcA(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam);

uint32_t GetLastError();
void SetLastError(uint32_t error);

// Beyond Win32: the SDL window behind a handle, for the graphics layer (null for no window),
// and the number of times the foreground left this program's windows, for the input layer.
SDL_Window* GetSdlWindow(HWND window);
uint32_t GetForegroundLossCount();
// The samples (0 for none) the next window created asks the graphics driver for, so that a
// device's back buffer of the window's size and samples is drawn straight into the window; a
// driver that has no window of them makes one without. Windows after the next ask for none.
void SetNextWindowSamples(int32_t samples);
// True when libdbus, asked for the session bus, would launch one of its own through the X display:
// no address is set and the runtime folder (none: unset) holds no bus socket.
bool SessionBusAutolaunches(const char* address, const char* runtimeFolder);
// Starts SDL's video subsystem and loads the GL library on a thread, so that the program's own start
// work runs meanwhile, and once the video is up SDL's joystick subsystem beside the loading; until
// EnsureVideo returns, nothing else may call SDL's functions.
void BeginVideo();
// Starts SDL's video subsystem once for the process (or waits for BeginVideo's); false when there
// is none.
bool EnsureVideo();
// The joystick subsystem BeginVideo started, once (after waiting for the video): true hands its
// reference to the caller, who quits the subsystem when done; false when the start did not begin
// it or it was taken already.
bool TakeStartedJoysticks();

// Words of message parameters.
inline uint16_t LOWORD(uintptr_t value)
{
    return static_cast<uint16_t>(value & 0xFFFF);
}
inline uint16_t HIWORD(uintptr_t value)
{
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}
inline LPARAM MAKELPARAM(uint32_t low, uint32_t high)
{
    return static_cast<LPARAM>((low & 0xFFFF) | (high & 0xFFFF) << 16);
}

} // namespace win32

// The foreground window belongs to the calling thread.
bool WeIsAppInForeground();
