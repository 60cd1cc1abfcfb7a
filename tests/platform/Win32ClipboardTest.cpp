#include "win32/Win32Clipboard.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

using namespace win32;

void Copy(const std::string& text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), block);
    EXPECT_TRUE(CloseClipboard());
}

std::string PasteText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return "<not opened>";
    if (HANDLE data = GetClipboardData(CF_TEXT))
    {
        text = static_cast<const char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

TEST(Win32Clipboard, RoundTripWithoutVideo)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        GTEST_SKIP() << "an earlier test in this process left SDL video running";
    Copy("Spieler \xc3\xa4\xc3\xb6");
    EXPECT_EQ(PasteText(), "Spieler \xc3\xa4\xc3\xb6");
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST(Win32Clipboard, RoundTripThroughSdlUnderTheOffscreenDriver)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    Copy("line one\nline two");
    char* seen = SDL_GetClipboardText();
    EXPECT_STREQ(seen, "line one\nline two");
    SDL_free(seen);
    SDL_SetClipboardText("from elsewhere");
    EXPECT_EQ(PasteText(), "from elsewhere");
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(Win32Clipboard, OnlyOneOpenerAndOnlyWhileOpen)
{
    EXPECT_FALSE(EmptyClipboard());
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(13), nullptr);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
}

TEST(Win32Clipboard, EmptiedClipboardHoldsNoText)
{
    Copy("something");
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
    CloseClipboard();
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
}

TEST(Win32Clipboard, BlockWithoutTerminatorIsReadToItsSize)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 3);
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), "abc", 3);
    EXPECT_EQ(GlobalSize(block), 3u);
    EXPECT_NE(SetClipboardData(CF_TEXT, block), nullptr);
    CloseClipboard();
    EXPECT_EQ(PasteText(), "abc");
}

TEST(Win32Clipboard, BlocksNotTakenAreFreedByTheCaller)
{
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 0), nullptr);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(SetClipboardData(CF_TEXT, block), nullptr); // the clipboard is not open
    EXPECT_EQ(GlobalFree(block), nullptr);
}

} // namespace
