#include "win32/Win32Clipboard.h"

#include <SDL.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace win32
{

namespace
{

struct GlobalBlock
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    bool ownedByClipboard = false;
};

struct ClipboardState
{
    bool open = false;
    std::string localText;            // used while SDL cannot hold the text
    GlobalBlock* readBlock = nullptr; // handed out by GetClipboardData until the close
};

ClipboardState& State()
{
    static ClipboardState state;
    return state;
}

bool SdlHasClipboard()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

void ReleaseReadBlock()
{
    delete State().readBlock;
    State().readBlock = nullptr;
}

void StoreText(const std::string& text)
{
    if (SdlHasClipboard() && SDL_SetClipboardText(text.c_str()) == 0)
        return;
    State().localText = text;
}

std::string LoadText()
{
    if (SdlHasClipboard())
    {
        char* sdlText = SDL_GetClipboardText();
        std::string text = sdlText ? sdlText : "";
        SDL_free(sdlText);
        if (!text.empty() || !SDL_HasClipboardText())
            return text;
    }
    return State().localText;
}

} // namespace

HGLOBAL GlobalAlloc(uint32_t, size_t bytes)
{
    if (bytes == 0)
        return nullptr;
    auto* block = new (std::nothrow) GlobalBlock;
    if (!block)
        return nullptr;
    block->bytes.reset(new (std::nothrow) char[bytes]());
    if (!block->bytes)
    {
        delete block;
        return nullptr;
    }
    block->size = bytes;
    return block;
}

void* GlobalLock(HGLOBAL block)
{
    return block ? static_cast<GlobalBlock*>(block)->bytes.get() : nullptr;
}

bool GlobalUnlock(HGLOBAL block)
{
    return block != nullptr;
}

HGLOBAL GlobalFree(HGLOBAL block)
{
    auto* b = static_cast<GlobalBlock*>(block);
    if (!b || b->ownedByClipboard)
        return block;
    delete b;
    return nullptr;
}

size_t GlobalSize(HGLOBAL block)
{
    return block ? static_cast<GlobalBlock*>(block)->size : 0;
}

bool OpenClipboard(HWND)
{
    if (State().open)
        return false;
    State().open = true;
    return true;
}

bool CloseClipboard()
{
    if (!State().open)
        return false;
    ReleaseReadBlock();
    State().open = false;
    return true;
}

bool EmptyClipboard()
{
    if (!State().open)
        return false;
    State().localText.clear();
    if (SdlHasClipboard())
        SDL_SetClipboardText("");
    return true;
}

HANDLE SetClipboardData(uint32_t format, HANDLE data)
{
    auto* block = static_cast<GlobalBlock*>(data);
    if (!State().open || format != CF_TEXT || !block)
        return nullptr;
    const size_t length = strnlen(block->bytes.get(), block->size);
    StoreText(std::string(block->bytes.get(), length));
    // The clipboard owns the block now; its bytes are already copied out, so it goes at once.
    delete block;
    return data;
}

HANDLE GetClipboardData(uint32_t format)
{
    if (!State().open || format != CF_TEXT)
        return nullptr;
    const std::string text = LoadText();
    if (text.empty())
        return nullptr;
    ReleaseReadBlock();
    auto* block = static_cast<GlobalBlock*>(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!block)
        return nullptr;
    std::memcpy(block->bytes.get(), text.data(), text.size());
    block->ownedByClipboard = true;
    State().readBlock = block;
    return block;
}

bool IsClipboardFormatAvailable(uint32_t format)
{
    return format == CF_TEXT && !LoadText().empty();
}

} // namespace win32
