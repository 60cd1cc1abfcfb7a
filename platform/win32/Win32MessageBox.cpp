#include "win32/Win32MessageBox.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>

namespace win32
{

namespace
{

bool IsHeadless()
{
    const char* driver =
        SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : SDL_getenv("SDL_VIDEODRIVER");
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

} // namespace

int32_t MessageBoxA(HWND owner, const char* text, const char* caption, uint32_t type)
{
    text = text ? text : "";
    caption = caption ? caption : "Error";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    if (IsHeadless())
        return IDOK;
    const uint32_t flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, caption, text, GetSdlWindow(owner));
    return IDOK;
}

} // namespace win32
