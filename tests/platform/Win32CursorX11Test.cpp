// The cursor on a real X server of the test's own: the pointer is moved by another client, as a
// player's hand moves it between two frames, and the cursor's position answers the move before
// the program has taken any event, so that a press arriving with the move lands where it went.
#include "core/PrivateXServer.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
// After the test framework: Xlib's macros would rename its identifiers.
#include <X11/Xlib.h>

#include <cstdlib>
#include <functional>

using namespace std::chrono_literals;

namespace
{

// Pumps the program's events until the condition holds, for at most five seconds.
bool PumpUntil(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500; ++i)
    {
        win32::MSG message{};
        while (win32::PeekMessageA(&message, nullptr, 0, 0, win32::PM_REMOVE))
            win32::DispatchMessageA(&message);
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// The pointer to a point of the window's client area, by another connection to the server, and
// the server done with it.
void MovePointer(Display* display, win32::HWND window, int32_t x, int32_t y)
{
    win32::POINT at{x, y};
    win32::ClientToScreen(window, &at);
    XWarpPointer(display, 0, DefaultRootWindow(display), 0, 0, 0, 0, at.x, at.y);
    XSync(display, False);
}

win32::POINT CursorInClient(win32::HWND window)
{
    win32::POINT cursor{-1, -1};
    win32::GetCursorPos(&cursor);
    win32::ScreenToClient(window, &cursor);
    return cursor;
}

TEST(CursorOnX11, AnswersWhereThePointerWentBeforeTheProgramTakesItsEvents)
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        GTEST_SKIP() << "the video runs on another driver in this process";
    test_x::Child server;
    const std::string displayName = test_x::StartXServer(server);
    if (displayName.empty())
        GTEST_SKIP() << "no Xvfb here";
    setenv("DISPLAY", displayName.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ASSERT_TRUE(win32::EnsureVideo());

    win32::WNDCLASSEXA windowClass{};
    windowClass.lpfnWndProc = win32::DefWindowProcA;
    windowClass.lpszClassName = "CursorClass";
    ASSERT_TRUE(win32::RegisterClassExA(windowClass));
    const win32::HWND window =
        win32::CreateWindowExA(0, "CursorClass", "", win32::WS_POPUP | win32::WS_VISIBLE, 100, 50, 400, 300,
                               nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    Display* other = XOpenDisplay(displayName.c_str());
    ASSERT_NE(other, nullptr);

    // The pointer over the window, and the program told so: it tracks the pointer from there.
    SDL_Window* sdl = win32::GetSdlWindow(window);
    ASSERT_TRUE(PumpUntil([&] { return SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN; }));
    MovePointer(other, window, 20, 30);
    ASSERT_TRUE(PumpUntil(
        [&]
        {
            const win32::POINT cursor = CursorInClient(window);
            return SDL_GetMouseFocus() == sdl && cursor.x == 20 && cursor.y == 30;
        }))
        << "the pointer never reached the window";

    // Moved again, and asked at once: no event of the program's own has been taken since.
    MovePointer(other, window, 250, 170);
    win32::POINT cursor{};
    for (int i = 0; i < 100 && (cursor.x != 250 || cursor.y != 170); ++i, std::this_thread::sleep_for(5ms))
        cursor = CursorInClient(window);
    EXPECT_EQ(cursor.x, 250);
    EXPECT_EQ(cursor.y, 170);

    XCloseDisplay(other);
    win32::DestroyWindow(window);
    win32::UnregisterClassA("CursorClass", nullptr);
}

} // namespace
