#include "win32/Win32Window.h"

#include "d3d9/GlBackend.h"
#include "win32/Win32Keyboard.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace win32
{

namespace
{

constexpr int32_t kCaptionHeight = 23;
constexpr int32_t kFixedFrame = 3;
constexpr int32_t kBorder = 1;

struct WindowClass
{
    WNDCLASSEXA description;
    int32_t windowCount = 0;
};

struct Window
{
    SDL_Window* sdl = nullptr;
    std::string className;
    uint32_t style = 0;
    uint32_t threadId = 0;
    bool maximised = false; // as the layer last made it; drivers without maximising keep their size
};

struct WindowSystem
{
    std::map<std::string, WindowClass> classes;
    std::map<uintptr_t, Window> windows;
    uintptr_t nextId = 1;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int32_t quitCode = 0;
    HWND foreground = nullptr;
    uint32_t foregroundLosses = 0;
    // SDL windows of destroyed windows, hidden: a graphics context made on one stays current and
    // usable until its owner releases it (a device outlives its window when the window is closed).
    // They are destroyed when the next window is created.
    std::vector<SDL_Window*> retired;
    int32_t nextSamples = 0; // asked for by the next window created, then 0 again
};

WindowSystem& System()
{
    static WindowSystem system;
    return system;
}

thread_local uint32_t lastError = 0;

uintptr_t IdOf(HWND window)
{
    return reinterpret_cast<uintptr_t>(window);
}
HWND HandleOf(uintptr_t id)
{
    return reinterpret_cast<HWND>(id);
}

Window* Find(HWND window)
{
    auto found = System().windows.find(IdOf(window));
    return found == System().windows.end() ? nullptr : &found->second;
}

Window* FindOrFail(HWND window)
{
    Window* record = Find(window);
    if (!record)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return record;
}

HWND FindBySdlId(uint32_t sdlWindowId)
{
    for (auto& [id, window] : System().windows)
        if (SDL_GetWindowID(window.sdl) == sdlWindowId)
            return HandleOf(id);
    return nullptr;
}

// Keyboard events of pushed or focus-less origin carry no window: they go to the foreground one.
HWND KeyboardTarget(uint32_t sdlWindowId)
{
    HWND window = FindBySdlId(sdlWindowId);
    return window ? window : GetForegroundWindow();
}

// The non-client frame a style puts around the client area.
RECT FrameOf(uint32_t style)
{
    const bool caption = (style & WS_CAPTION) == WS_CAPTION;
    const int32_t side = (caption ? kFixedFrame : 0) + ((style & WS_THICKFRAME) ? kBorder : 0);
    return {side, side + (caption ? kCaptionHeight : 0), side, side};
}

WNDPROC ProcedureOf(const Window& window)
{
    auto found = System().classes.find(window.className);
    return found == System().classes.end() ? nullptr : found->second.description.lpfnWndProc;
}

void Post(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    System().queue.push_back(MSG{window, message, wParam, lParam, {}});
}

void PostToEveryWindow(uint32_t message)
{
    for (auto& [id, window] : System().windows)
        Post(HandleOf(id), message, 0, 0);
}

void LoseForeground(HWND window)
{
    if (System().foreground == window && window)
    {
        System().foreground = nullptr;
        ++System().foregroundLosses;
    }
}

LPARAM KeyLParam(const SDL_KeyboardEvent& key, uint8_t scanCode)
{
    LPARAM lParam = 1 | LPARAM(scanCode & 0x7F) << 16;
    if (scanCode & 0x80)
        lParam |= LPARAM(1) << 24;
    if (key.keysym.mod & KMOD_ALT)
        lParam |= LPARAM(1) << 29;
    if (key.repeat || key.type == SDL_KEYUP)
        lParam |= KF_REPEAT_BIT;
    if (key.type == SDL_KEYUP)
        lParam |= LPARAM(1) << 31;
    return lParam;
}

// Adds the UTF-16 units of a UTF-8 text to a zero-ended buffer of 4, as many as fit.
void AppendUtf16(const char* text, char16_t* typed)
{
    int32_t length = 0;
    while (length < 3 && typed[length])
        ++length;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    while (*bytes && length < 3)
    {
        uint32_t code = *bytes++;
        int32_t follow = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        code &= follow == 3 ? 0x07 : follow == 2 ? 0x0F : follow == 1 ? 0x1F : 0x7F;
        for (; follow > 0 && (*bytes & 0xC0) == 0x80; --follow)
            code = code << 6 | (*bytes++ & 0x3F);
        if (code >= 0x10000 && length < 2)
        {
            code -= 0x10000;
            typed[length++] = static_cast<char16_t>(0xD800 + (code >> 10));
            typed[length++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        }
        else if (code < 0x10000)
            typed[length++] = static_cast<char16_t>(code);
    }
    typed[length] = 0;
}

// Translates the SDL events of the moment into queued messages. A key-down takes the text that
// SDL typed for it right after it; text with no key before it comes as characters alone.
class EventTranslator
{
public:
    void Translate(const SDL_Event& event);

private:
    void Key(const SDL_KeyboardEvent& key);
    void Text(const SDL_TextInputEvent& text);
    void MouseButton(const SDL_MouseButtonEvent& button);
    void WindowEvent(const SDL_WindowEvent& event);

    size_t pendingKeyDown = SIZE_MAX; // queue index of a key-down that may still get its text
};

void EventTranslator::Translate(const SDL_Event& event)
{
    const size_t pending = pendingKeyDown;
    pendingKeyDown = SIZE_MAX;
    switch (event.type)
    {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        Key(event.key);
        break;
    case SDL_TEXTINPUT:
        pendingKeyDown = pending;
        Text(event.text);
        break;
    case SDL_MOUSEMOTION:
        if (HWND window = FindBySdlId(event.motion.windowID))
            Post(window, WM_MOUSEMOVE, 0, MAKELPARAM(uint32_t(event.motion.x), uint32_t(event.motion.y)));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        MouseButton(event.button);
        break;
    case SDL_MOUSEWHEEL:
        if (HWND window = FindBySdlId(event.wheel.windowID))
        {
            const float notches = event.wheel.preciseY != 0.0f ? event.wheel.preciseY : float(event.wheel.y);
            int32_t delta = static_cast<int32_t>(notches * WHEEL_DELTA + (notches < 0 ? -0.5f : 0.5f));
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED)
                delta = -delta;
            Post(window, WM_MOUSEWHEEL, WPARAM(uint16_t(int16_t(delta))) << 16, 0);
        }
        break;
    case SDL_WINDOWEVENT:
        WindowEvent(event.window);
        break;
    case SDL_DISPLAYEVENT:
        PostToEveryWindow(WM_DISPLAYCHANGE);
        break;
    case SDL_QUIT:
        PostToEveryWindow(WM_CLOSE);
        break;
    default:
        break;
    }
}

void EventTranslator::Key(const SDL_KeyboardEvent& key)
{
    const KeyCodes codes = KeyCodesOfScancode(key.keysym.scancode);
    HWND window = KeyboardTarget(key.windowID);
    if (codes.messageKey == 0 || !window)
        return;
    const bool down = key.type == SDL_KEYDOWN;
    const bool system =
        (key.keysym.mod & KMOD_ALT) || codes.messageKey == VK_F10 || codes.messageKey == VK_MENU;
    const uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    RecordKeyStroke(codes.sidedKey, codes.messageKey, down);
    Post(window, message, codes.messageKey, KeyLParam(key, codes.scanCode));
    if (down)
        pendingKeyDown = System().queue.size() - 1;
}

void EventTranslator::Text(const SDL_TextInputEvent& text)
{
    auto& queue = System().queue;
    if (pendingKeyDown < queue.size())
    {
        AppendUtf16(text.text, queue[pendingKeyDown].typed);
        return;
    }
    HWND window = KeyboardTarget(text.windowID);
    if (!window)
        return;
    char16_t typed[4] = {};
    AppendUtf16(text.text, typed);
    for (int32_t i = 0; typed[i]; ++i)
        Post(window, WM_CHAR, typed[i], 1);
}

void EventTranslator::MouseButton(const SDL_MouseButtonEvent& button)
{
    HWND window = FindBySdlId(button.windowID);
    if (!window)
        return;
    const bool down = button.type == SDL_MOUSEBUTTONDOWN;
    const auto& classes = System().classes;
    auto found = classes.find(Find(window)->className);
    const bool doubleClicks = found != classes.end() && (found->second.description.style & CS_DBLCLKS);
    const bool isDouble = down && doubleClicks && button.clicks >= 2 && button.clicks % 2 == 0;
    uint32_t message = 0;
    switch (button.button)
    {
    case SDL_BUTTON_LEFT:
        message = isDouble ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        message = isDouble ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        message = isDouble ? WM_MBUTTONDBLCLK : down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    default:
        return;
    }
    Post(window, message, 0, MAKELPARAM(uint32_t(button.x), uint32_t(button.y)));
}

void EventTranslator::WindowEvent(const SDL_WindowEvent& event)
{
    HWND window = FindBySdlId(event.windowID);
    if (!window)
        return;
    switch (event.event)
    {
    case SDL_WINDOWEVENT_CLOSE:
        Post(window, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        Post(window, WM_SIZE, Find(window)->maximised ? SIZE_MAXIMIZED : SIZE_RESTORED,
             MAKELPARAM(uint32_t(event.data1), uint32_t(event.data2)));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        Post(window, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        Find(window)->maximised = true;
        break;
    case SDL_WINDOWEVENT_RESTORED:
        Find(window)->maximised = false;
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        Post(window, WM_PAINT, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        System().foreground = window;
        Post(window, WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        LoseForeground(window);
        Post(window, WM_ACTIVATE, WA_INACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_DISPLAY_CHANGED:
        Post(window, WM_DISPLAYCHANGE, 0, 0);
        break;
    default:
        break;
    }
}

void DestroyRetiredWindows()
{
    for (SDL_Window* retired : System().retired)
        SDL_DestroyWindow(retired);
    System().retired.clear();
}

// A GL window asked for the samples; a driver that has none of them gives one without instead
// of none (the device then draws into a buffer of its own and copies it to the window).
SDL_Window* CreateSdlWindow(const char* title, const POINT& at, int32_t width, int32_t height, uint32_t flags,
                            int32_t samples)
{
    d3d9::RequestWindowDepthStencil(samples);
    SDL_Window* sdl = SDL_CreateWindow(title, at.x, at.y, width, height, flags);
    if (!sdl && samples > 0)
    {
        std::fprintf(stderr, "No window with %d samples (%s): one without\n", samples, SDL_GetError());
        d3d9::RequestWindowDepthStencil(0);
        sdl = SDL_CreateWindow(title, at.x, at.y, width, height, flags);
    }
    return sdl;
}

void TranslatePendingEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_PumpEvents();
    EventTranslator translator;
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0)
        translator.Translate(event);
}

// SDL's video subsystem and the GL library, begun on a thread by BeginVideo while the program
// does other start work, and the joystick subsystem beside the GL library's loading on a thread
// of its own once the video is up; EnsureVideo waits for both.
struct VideoStart
{
    bool ensured = false; // EnsureVideo ran: the video is this thread's from then on
    bool started = false;
    std::string problem;         // why the video did not start, told by EnsureVideo
    bool holdsLibrary = false;   // the start's own reference on the GL library
    bool holdsJoysticks = false; // the start's reference on the joystick subsystem, until taken
    std::jthread joysticks;      // joined before the fields it writes go
    std::jthread thread;         // last: joined first, as it may begin the joysticks' thread
};

VideoStart& EarlyVideo()
{
    static VideoStart start;
    return start;
}

// False with SDL's complaint as the problem when there is no video.
bool StartVideo(std::string& problem)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        problem = SDL_GetError();
        return false;
    }
    SDL_StartTextInput();
    return true;
}

// The joystick subsystem starts beside the GL library's loading: reading the system's devices
// otherwise takes the start milliseconds after the window is made. Nothing when no thread can be
// had: the input layer starts the subsystem itself.
void BeginJoysticks(VideoStart& start)
{
    try
    {
        start.joysticks =
            std::jthread([&start] { start.holdsJoysticks = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0; });
    }
    catch (const std::system_error&)
    {
    }
}

// Windows hold the GL library from here on: the start's reference goes with the first one made.
void DropStartLibrary()
{
    VideoStart& start = EarlyVideo();
    if (std::exchange(start.holdsLibrary, false))
        SDL_GL_UnloadLibrary();
}

} // namespace

bool SessionBusAutolaunches(const char* address, const char* runtimeFolder)
{
    if (address && *address)
        return false;
    std::error_code ignored;
    return !runtimeFolder || !*runtimeFolder ||
           !std::filesystem::is_socket(std::filesystem::path(runtimeFolder) / "bus", ignored);
}

void BeginVideo()
{
    VideoStart& start = EarlyVideo();
    if (start.thread.joinable() || start.ensured)
        return;
    // SDL's video start asks for the session bus. With none to be found, libdbus forks on the
    // video's thread to launch one while this thread goes on allocating, and a child forked in
    // the middle of an allocation can hang on the allocator's lock (the sanitizers' does), the
    // start waiting on it for ever. A bus launched for the game alone would serve it nothing: the
    // desktop's services are not on it. Still one thread here, so the environment may change.
    if (SessionBusAutolaunches(std::getenv("DBUS_SESSION_BUS_ADDRESS"), std::getenv("XDG_RUNTIME_DIR")))
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
    try
    {
        start.thread = std::jthread(
            [&start]
            {
                start.started = StartVideo(start.problem);
                if (start.started)
                    BeginJoysticks(start);
                start.holdsLibrary = start.started && SDL_GL_LoadLibrary(nullptr) == 0;
            });
    }
    catch (const std::system_error&)
    {
        // No thread: EnsureVideo starts the video itself.
    }
}

bool EnsureVideo()
{
    static const bool started = []
    {
        VideoStart& start = EarlyVideo();
        start.ensured = true;
        if (start.thread.joinable())
        {
            start.thread.join();
            if (start.joysticks.joinable())
                start.joysticks.join();
        }
        else
            start.started = StartVideo(start.problem);
        if (!start.started)
            std::fprintf(stderr, "No video subsystem: %s\n", start.problem.c_str());
        return start.started;
    }();
    return started;
}

bool TakeStartedJoysticks()
{
    return EnsureVideo() && std::exchange(EarlyVideo().holdsJoysticks, false);
}

bool RegisterClassExA(const WNDCLASSEXA& windowClass)
{
    if (!windowClass.lpszClassName || !windowClass.lpfnWndProc)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    auto [entry, added] = System().classes.try_emplace(windowClass.lpszClassName);
    if (!added)
    {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return false;
    }
    entry->second.description = windowClass;
    return true;
}

bool UnregisterClassA(const char* className, HINSTANCE)
{
    auto found = System().classes.find(className ? className : "");
    if (found == System().classes.end())
    {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return false;
    }
    if (found->second.windowCount > 0)
    {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    System().classes.erase(found);
    return true;
}

HWND CreateWindowExA(uint32_t exStyle, const char* className, const char* title, uint32_t style, int32_t x,
                     int32_t y, int32_t width, int32_t height, HWND, HMENU, HINSTANCE, void*)
{
    const int32_t samples = std::exchange(System().nextSamples, 0);
    auto found = System().classes.find(className ? className : "");
    if (found == System().classes.end())
    {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (!EnsureVideo())
    {
        SetLastError(ERROR_VIDEO_UNAVAILABLE);
        return nullptr;
    }
    DestroyRetiredWindows();
    const RECT frame = FrameOf(style);
    const int32_t clientWidth = std::max(1, width - frame.left - frame.right);
    const int32_t clientHeight = std::max(1, height - frame.top - frame.bottom);
    uint32_t flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if ((style & WS_CAPTION) != WS_CAPTION)
        flags |= SDL_WINDOW_BORDERLESS;
    if (style & WS_THICKFRAME)
        flags |= SDL_WINDOW_RESIZABLE;
    if (exStyle & WS_EX_TOPMOST)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    SDL_Window* sdl = CreateSdlWindow(title ? title : "", POINT{x + frame.left, y + frame.top}, clientWidth,
                                      clientHeight, flags, samples);
    DropStartLibrary();
    if (!sdl)
    {
        std::fprintf(stderr, "Cannot create a window: %s\n", SDL_GetError());
        SetLastError(ERROR_VIDEO_UNAVAILABLE);
        return nullptr;
    }
    SDL_DisableScreenSaver();
    WindowSystem& system = System();
    const uintptr_t id = system.nextId++;
    system.windows[id] = Window{sdl, found->first, style, GetCurrentThreadId(), false};
    ++found->second.windowCount;
    HWND window = HandleOf(id);
    if (SendMessageA(window, WM_CREATE, 0, 0) == -1)
    {
        DestroyWindow(window);
        return nullptr;
    }
    if (style & WS_VISIBLE)
        ShowWindow(window, SW_SHOW);
    return window;
}

bool DestroyWindow(HWND window)
{
    if (!FindOrFail(window))
        return false;
    SendMessageA(window, WM_DESTROY, 0, 0);
    Window* record = Find(window);
    if (!record)
        return true; // destroyed while handling its own WM_DESTROY
    WindowSystem& system = System();
    SDL_HideWindow(record->sdl);
    system.retired.push_back(record->sdl);
    auto found = system.classes.find(record->className);
    if (found != system.classes.end())
        --found->second.windowCount;
    system.windows.erase(IdOf(window));
    LoseForeground(window);
    std::erase_if(system.queue, [window](const MSG& message) { return message.hwnd == window; });
    return true;
}

bool IsWindow(HWND window)
{
    return Find(window) != nullptr;
}

bool ShowWindow(HWND window, int32_t command)
{
    Window* record = FindOrFail(window);
    if (!record)
        return false;
    const bool wasVisible = IsWindowVisible(window);
    switch (command)
    {
    case SW_HIDE:
        SDL_HideWindow(record->sdl);
        break;
    case SW_MAXIMIZE:
        SDL_ShowWindow(record->sdl);
        SDL_MaximizeWindow(record->sdl);
        record->maximised = true;
        break;
    case SW_MINIMIZE:
        SDL_MinimizeWindow(record->sdl);
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        SDL_ShowWindow(record->sdl);
        SDL_RestoreWindow(record->sdl);
        record->maximised = false;
        break;
    default:
        SDL_ShowWindow(record->sdl);
        break;
    }
    return wasVisible;
}

bool IsWindowVisible(HWND window)
{
    const Window* record = Find(window);
    return record && (SDL_GetWindowFlags(record->sdl) & SDL_WINDOW_SHOWN);
}

bool IsZoomed(HWND window)
{
    const Window* record = Find(window);
    return record && record->maximised;
}

bool SetForegroundWindow(HWND window)
{
    Window* record = FindOrFail(window);
    if (!record)
        return false;
    if (System().foreground != window)
        LoseForeground(System().foreground);
    System().foreground = window;
    SDL_RaiseWindow(record->sdl);
    return true;
}

HWND SetFocus(HWND window)
{
    HWND previous = GetForegroundWindow();
    if (window && !SetForegroundWindow(window))
        return nullptr;
    return previous;
}

HWND GetForegroundWindow()
{
    return Find(System().foreground) ? System().foreground : nullptr;
}

uint32_t GetWindowThreadProcessId(HWND window, uint32_t* processId)
{
    const Window* record = Find(window);
    if (processId)
        *processId = record ? static_cast<uint32_t>(getpid()) : 0;
    return record ? record->threadId : 0;
}

uint32_t GetCurrentThreadId()
{
    return static_cast<uint32_t>(gettid());
}
uint32_t GetCurrentProcessId()
{
    return static_cast<uint32_t>(getpid());
}

bool GetClientRect(HWND window, RECT* rect)
{
    const Window* record = FindOrFail(window);
    if (!record)
        return false;
    int32_t width = 0, height = 0;
    SDL_GetWindowSize(record->sdl, &width, &height);
    *rect = {0, 0, width, height};
    return true;
}

bool GetWindowRect(HWND window, RECT* rect)
{
    const Window* record = FindOrFail(window);
    if (!record)
        return false;
    POINT origin{0, 0};
    RECT client{};
    ClientToScreen(window, &origin);
    GetClientRect(window, &client);
    const RECT frame = FrameOf(record->style);
    *rect = {origin.x - frame.left, origin.y - frame.top, origin.x + client.right + frame.right,
             origin.y + client.bottom + frame.bottom};
    return true;
}

bool ClientToScreen(HWND window, POINT* point)
{
    const Window* record = FindOrFail(window);
    if (!record)
        return false;
    int32_t x = 0, y = 0;
    SDL_GetWindowPosition(record->sdl, &x, &y);
    point->x += x;
    point->y += y;
    return true;
}

bool ScreenToClient(HWND window, POINT* point)
{
    POINT origin{0, 0};
    if (!ClientToScreen(window, &origin))
        return false;
    point->x -= origin.x;
    point->y -= origin.y;
    return true;
}

HWND WindowFromPoint(POINT point)
{
    for (auto& [id, window] : System().windows)
    {
        RECT rect{};
        if (GetWindowRect(HandleOf(id), &rect) && point.x >= rect.left && point.x < rect.right &&
            point.y >= rect.top && point.y < rect.bottom)
            return HandleOf(id);
    }
    return nullptr;
}

bool MoveWindow(HWND window, int32_t x, int32_t y, int32_t width, int32_t height, bool)
{
    const Window* record = FindOrFail(window);
    if (!record)
        return false;
    const RECT frame = FrameOf(record->style);
    SDL_SetWindowPosition(record->sdl, x + frame.left, y + frame.top);
    SDL_SetWindowSize(record->sdl, std::max(1, width - frame.left - frame.right),
                      std::max(1, height - frame.top - frame.bottom));
    return true;
}

int32_t GetSystemMetrics(int32_t index)
{
    switch (index)
    {
    case SM_CXSCREEN:
    case SM_CYSCREEN:
    {
        SDL_DisplayMode mode{};
        if (!EnsureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
            return 0;
        return index == SM_CXSCREEN ? mode.w : mode.h;
    }
    case SM_CYCAPTION:
        return kCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return kBorder;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME:
        return kFixedFrame;
    default:
        return 0;
    }
}

HMENU LoadMenuA(HINSTANCE, const char*)
{
    return nullptr;
}
HICON LoadIconA(HINSTANCE, const char*)
{
    return nullptr;
}

HCURSOR LoadCursorA(HINSTANCE, const char* name)
{
    return name == IDC_ARROW ? const_cast<char*>(IDC_ARROW) : nullptr;
}

HINSTANCE GetModuleHandleA(const char* name)
{
    static char module;
    return name ? nullptr : &module;
}

bool PeekMessageA(MSG* message, HWND, uint32_t, uint32_t, uint32_t removeFlag)
{
    WindowSystem& system = System();
    if (system.queue.empty())
        TranslatePendingEvents();
    if (!system.queue.empty())
    {
        *message = system.queue.front();
        if (removeFlag & PM_REMOVE)
            system.queue.pop_front();
        return true;
    }
    if (!system.quitPosted)
        return false;
    *message = MSG{nullptr, WM_QUIT, WPARAM(system.quitCode), 0, {}};
    if (removeFlag & PM_REMOVE)
        system.quitPosted = false;
    return true;
}

bool TranslateMessage(const MSG* message)
{
    if (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)
        return false;
    const uint32_t character = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    int32_t count = 0;
    while (count < 3 && message->typed[count])
        ++count;
    for (int32_t i = count - 1; i >= 0; --i)
        System().queue.push_front(MSG{message->hwnd, character, message->typed[i], message->lParam, {}});
    return count > 0;
}

LRESULT DispatchMessageA(const MSG* message)
{
    if (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN)
        RecordTypedText(static_cast<uint32_t>(message->wParam), message->typed);
    return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT SendMessageA(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    const Window* record = Find(window);
    WNDPROC procedure = record ? ProcedureOf(*record) : nullptr;
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

bool PostMessageA(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    if (window && !FindOrFail(window))
        return false;
    Post(window, message, wParam, lParam);
    return true;
}

void PostQuitMessage(int32_t exitCode)
{
    System().quitPosted = true;
    System().quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, uint32_t message, WPARAM wParam, LPARAM)
{
    if (message == WM_CLOSE)
        DestroyWindow(window);
    else if (message == WM_SYSKEYDOWN && wParam == VK_F4)
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        SendMessageA(window, WM_CLOSE, 0, 0);
    else if (message == WM_SYSCOMMAND &&
             ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER))
        SDL_EnableScreenSaver(); // the request is granted: the screen saver may start
    return 0;
}

uint32_t GetLastError()
{
    return lastError;
}
void SetLastError(uint32_t error)
{
    lastError = error;
}

SDL_Window* GetSdlWindow(HWND window)
{
    const Window* record = Find(window);
    return record ? record->sdl : nullptr;
}

uint32_t GetForegroundLossCount()
{
    return System().foregroundLosses;
}

void SetNextWindowSamples(int32_t samples)
{
    System().nextSamples = std::max(samples, 0);
}

} // namespace win32

bool WeIsAppInForeground()
{
    const win32::HWND foreground = win32::GetForegroundWindow();
    return foreground && win32::GetWindowThreadProcessId(foreground, nullptr) == win32::GetCurrentThreadId();
}
