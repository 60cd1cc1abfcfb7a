#include "win32/Win32Cursor.h"

#include <SDL2/SDL.h>

namespace win32
{

namespace
{

struct CursorState
{
    int32_t displayCount = 0;
    HWND clipWindow = nullptr;
    RECT clip{};
    HWND warpWindow = nullptr; // the window the cursor was last placed over
};

CursorState& Cursor()
{
    static CursorState state;
    return state;
}

} // namespace

int32_t ShowCursor(bool show)
{
    CursorState& cursor = Cursor();
    cursor.displayCount += show ? 1 : -1;
    if (EnsureVideo())
        SDL_ShowCursor(cursor.displayCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursor.displayCount;
}

bool ClipCursor(const RECT* rect)
{
    CursorState& cursor = Cursor();
    if (SDL_Window* previous = GetSdlWindow(cursor.clipWindow))
        SDL_SetWindowMouseRect(previous, nullptr);
    cursor.clipWindow = nullptr;
    if (!rect)
        return true;
    HWND window = WindowFromPoint({(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2});
    if (!window)
        return false;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const SDL_Rect area{rect->left - origin.x, rect->top - origin.y, rect->right - rect->left,
                        rect->bottom - rect->top};
    SDL_SetWindowMouseRect(GetSdlWindow(window), &area);
    cursor.clipWindow = window;
    cursor.clip = *rect;
    return true;
}

bool GetClipCursor(RECT* rect)
{
    if (!IsWindow(Cursor().clipWindow))
        return false;
    *rect = Cursor().clip;
    return true;
}

bool GetCursorPos(POINT* point)
{
    if (!EnsureVideo())
        return false;
    // The system's cursor is where the pointer is now, not where it was when the program last
    // took its events: a press that comes with a move must land where the move went.
    SDL_PumpEvents();
    // Over one of the program's windows the window-relative position holds on every video driver;
    // elsewhere the global one is all there is. A driver that tracks no mouse focus (offscreen)
    // keeps the position relative to the window the cursor was placed over.
    SDL_Window* focus = SDL_GetMouseFocus();
    if (!focus)
        focus = GetSdlWindow(Cursor().warpWindow);
    if (focus)
    {
        int32_t windowX = 0, windowY = 0, x = 0, y = 0;
        SDL_GetWindowPosition(focus, &windowX, &windowY);
        SDL_GetMouseState(&x, &y);
        *point = {windowX + x, windowY + y};
        return true;
    }
    SDL_GetGlobalMouseState(&point->x, &point->y);
    return true;
}

bool SetCursorPos(int32_t x, int32_t y)
{
    if (!EnsureVideo())
        return false;
    if (HWND window = WindowFromPoint({x, y}))
    {
        POINT client{x, y};
        ScreenToClient(window, &client);
        SDL_WarpMouseInWindow(GetSdlWindow(window), client.x, client.y);
        Cursor().warpWindow = window;
        return true;
    }
    Cursor().warpWindow = nullptr;
    return SDL_WarpMouseGlobal(x, y) == 0;
}

} // namespace win32
