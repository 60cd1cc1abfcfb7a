#include "win32/Win32Window.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Keyboard.h"
#include "core/TempFolder.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace win32;

namespace
{

struct Received
{
    HWND window;
    uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Received> received;

LRESULT RecordingProcedure(HWND window, uint32_t message, WPARAM wParam, LPARAM lParam)
{
    received.push_back({window, message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Window : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureVideo());
        Drain();
        received.clear();
        WNDCLASSEXA windowClass{};
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = RecordingProcedure;
        windowClass.lpszClassName = "TestClass";
        ASSERT_TRUE(RegisterClassExA(windowClass));
    }

    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        UnregisterClassA("TestClass", nullptr);
        Drain();
    }

    static void Drain()
    {
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        {
        }
    }

    HWND MakeWindow(uint32_t style = WS_CAPTION | WS_SYSMENU, int32_t width = 326, int32_t height = 249)
    {
        window = CreateWindowExA(0, "TestClass", "test", style, 10, 20, width, height, nullptr, nullptr,
                                 nullptr, nullptr);
        return window;
    }

    uint32_t SdlId() const { return SDL_GetWindowID(GetSdlWindow(window)); }

    void PushKey(uint32_t type, SDL_Scancode scancode, uint16_t mod = 0, uint8_t repeat = 0) const
    {
        SDL_Event event{};
        event.key.type = type;
        event.key.windowID = SdlId();
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = mod;
        SDL_PushEvent(&event);
    }

    void PushText(const char* text) const
    {
        SDL_Event event{};
        event.text.type = SDL_TEXTINPUT;
        event.text.windowID = SdlId();
        std::strncpy(event.text.text, text, sizeof(event.text.text) - 1);
        SDL_PushEvent(&event);
    }

    void PushWindowEvent(uint8_t kind) const
    {
        SDL_Event event{};
        event.window.type = SDL_WINDOWEVENT;
        event.window.windowID = SdlId();
        event.window.event = kind;
        SDL_PushEvent(&event);
    }

    MSG Next()
    {
        MSG message{};
        EXPECT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
        return message;
    }

    HWND window = nullptr;
};

TEST_F(Win32Window, AClassNameIsRegisteredOnceAndStaysWhileItHasWindows)
{
    WNDCLASSEXA again{};
    again.lpfnWndProc = RecordingProcedure;
    again.lpszClassName = "TestClass";
    EXPECT_FALSE(RegisterClassExA(again));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    ASSERT_TRUE(MakeWindow());
    EXPECT_FALSE(UnregisterClassA("TestClass", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(Win32Window, CreationSendsCreateAndTheFrameLeavesTheClientSize)
{
    ASSERT_TRUE(MakeWindow(WS_CAPTION | WS_SYSMENU, 300 + 2 * GetSystemMetrics(SM_CXFIXEDFRAME),
                           200 + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CXFIXEDFRAME)));
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.front().message, WM_CREATE);
    RECT client{}, outer{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.right - outer.left, 300 + 2 * GetSystemMetrics(SM_CXFIXEDFRAME));
    EXPECT_EQ(outer.left, 10);
    EXPECT_EQ(outer.top, 20);
    POINT point{5, 7};
    ClientToScreen(window, &point);
    ScreenToClient(window, &point);
    EXPECT_EQ(point.x, 5);
    EXPECT_EQ(point.y, 7);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
}

TEST_F(Win32Window, AKeyDownCarriesItsTypedTextWhichTranslateTurnsIntoCharacters)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_A);
    PushText("a");
    const MSG keyDown = Next();
    EXPECT_EQ(keyDown.message, WM_KEYDOWN);
    EXPECT_EQ(keyDown.hwnd, window);
    EXPECT_EQ(keyDown.wParam, WPARAM('A'));
    EXPECT_EQ((keyDown.lParam >> 16) & 0xFF, 0x1E); // the scan code
    EXPECT_FALSE(keyDown.lParam & KF_REPEAT_BIT);
    EXPECT_TRUE(TranslateMessage(&keyDown));
    const MSG character = Next();
    EXPECT_EQ(character.message, WM_CHAR);
    EXPECT_EQ(character.wParam, WPARAM('a'));
    MSG none{};
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));

    DispatchMessageA(&keyDown);
    char16_t typed[16];
    EXPECT_EQ(ToUnicodeEx('A', 0, nullptr, typed, 16, 0, 0), 1);
    EXPECT_EQ(typed[0], u'a');
    EXPECT_EQ(ToUnicodeEx(VK_LEFT, 0x80000000u, nullptr, typed, 16, 0, 0), 0);
}

TEST_F(Win32Window, RepeatsAltKeysAndKeyUpsAreMarkedAsWindowsMarksThem)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_A, 0, 1);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F4, KMOD_LALT);
    PushKey(SDL_KEYUP, SDL_SCANCODE_A);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER);
    const MSG repeat = Next();
    EXPECT_TRUE(repeat.lParam & KF_REPEAT_BIT);
    const MSG altF4 = Next();
    EXPECT_EQ(altF4.message, WM_SYSKEYDOWN);
    EXPECT_EQ(altF4.wParam, WPARAM(VK_F4));
    EXPECT_TRUE(altF4.lParam & (LPARAM(1) << 29));
    const MSG up = Next();
    EXPECT_EQ(up.message, WM_KEYUP);
    EXPECT_TRUE(up.lParam & (LPARAM(1) << 31));
    const MSG enter = Next();
    EXPECT_EQ(enter.wParam, WPARAM(VK_RETURN));
    EXPECT_TRUE(enter.lParam & (LPARAM(1) << 24)); // extended key
}

TEST_F(Win32Window, TextWithoutAKeyComesAsCharactersAndLeavesTheBasicPlaneAsSurrogates)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    PushText("\xC3\xA9\xF0\x9F\x98\x80"); // U+00E9, U+1F600
    EXPECT_EQ(Next().wParam, WPARAM(0xE9));
    EXPECT_EQ(Next().wParam, WPARAM(0xD83D));
    EXPECT_EQ(Next().wParam, WPARAM(0xDE00));
}

TEST_F(Win32Window, TheWheelTurnsInUnitsOf120AndAnEvenClickCountIsADoubleClick)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    SDL_Event wheel{};
    wheel.wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.windowID = SdlId();
    wheel.wheel.y = -1;
    wheel.wheel.preciseY = -1.0f;
    SDL_PushEvent(&wheel);
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    SDL_PushEvent(&wheel);
    SDL_Event click{};
    click.button.type = SDL_MOUSEBUTTONDOWN;
    click.button.windowID = SdlId();
    click.button.button = SDL_BUTTON_LEFT;
    click.button.clicks = 2;
    click.button.x = 40;
    click.button.y = 30;
    SDL_PushEvent(&click);
    click.button.button = SDL_BUTTON_RIGHT;
    click.button.clicks = 1;
    SDL_PushEvent(&click);
    const MSG down = Next();
    EXPECT_EQ(down.message, WM_MOUSEWHEEL);
    EXPECT_EQ(int16_t(HIWORD(down.wParam)), -120);
    EXPECT_EQ(int16_t(HIWORD(Next().wParam)), 120);
    const MSG doubleClick = Next();
    EXPECT_EQ(doubleClick.message, WM_LBUTTONDBLCLK);
    EXPECT_EQ(LOWORD(uintptr_t(doubleClick.lParam)), 40);
    EXPECT_EQ(HIWORD(uintptr_t(doubleClick.lParam)), 30);
    EXPECT_EQ(Next().message, WM_RBUTTONDOWN);
}

TEST_F(Win32Window, QuitComesOnlyWhenNothingElseIsQueued)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    PostQuitMessage(3);
    PostMessageA(window, WM_COMMAND, 1, 0);
    EXPECT_EQ(Next().message, WM_COMMAND);
    const MSG quit = Next();
    EXPECT_EQ(quit.message, WM_QUIT);
    EXPECT_EQ(quit.hwnd, nullptr);
    EXPECT_EQ(quit.wParam, WPARAM(3));
    MSG none{};
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Win32Window, TheDefaultHandlingOfAltF4ClosesAndDestroysTheWindow)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    PostMessageA(window, WM_COMMAND, 0, 0);
    received.clear();
    SendMessageA(window, WM_SYSKEYDOWN, VK_F4, LPARAM(1) << 29);
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[1].message, WM_SYSCOMMAND);
    EXPECT_EQ(received[2].message, WM_CLOSE);
    EXPECT_EQ(received[3].message, WM_DESTROY);
    EXPECT_FALSE(IsWindow(window));
    MSG none{};
    EXPECT_FALSE(PeekMessageA(&none, nullptr, 0, 0, PM_REMOVE)); // its queued message went with it
    EXPECT_FALSE(PostMessageA(window, WM_COMMAND, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(Win32Window, CloseBoxAndFocusEventsBecomeMessagesAndMoveTheForeground)
{
    ASSERT_TRUE(MakeWindow());
    ASSERT_TRUE(SetForegroundWindow(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
    Drain();
    const uint32_t losses = GetForegroundLossCount();
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    PushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    const MSG lost = Next();
    EXPECT_EQ(lost.message, WM_ACTIVATE);
    EXPECT_EQ(lost.wParam, WPARAM(WA_INACTIVE));
    EXPECT_EQ(GetForegroundLossCount(), losses + 1);
    EXPECT_EQ(Next().wParam, WPARAM(WA_ACTIVE));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(Next().message, WM_CLOSE);
}

TEST_F(Win32Window, TheKeyboardStateFollowsTheKeyMessages)
{
    ASSERT_TRUE(MakeWindow());
    Drain();
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LGUI);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RSHIFT);
    Drain();
    EXPECT_TRUE(GetAsyncKeyState(VK_LWIN) & 0x8000);
    uint8_t state[256];
    GetKeyboardState(state);
    EXPECT_TRUE(state[VK_SHIFT] & 0x80);
    EXPECT_TRUE(state[VK_RSHIFT] & 0x80);
    EXPECT_FALSE(state[VK_LSHIFT] & 0x80);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LGUI);
    PushKey(SDL_KEYUP, SDL_SCANCODE_RSHIFT);
    Drain();
    EXPECT_FALSE(GetAsyncKeyState(VK_LWIN) & 0x8000);
    GetKeyboardState(state);
    EXPECT_FALSE(state[VK_SHIFT] & 0x80);
}

TEST_F(Win32Window, TheCursorDisplayCounterCountsBothWays)
{
    const int32_t start = ShowCursor(true) - 1;
    EXPECT_EQ(ShowCursor(false), start);
    EXPECT_EQ(ShowCursor(false), start - 1);
    EXPECT_EQ(ShowCursor(true), start);
}

TEST_F(Win32Window, TheCursorIsPlacedAndConfinedOverAWindow)
{
    ASSERT_TRUE(MakeWindow(WS_CAPTION | WS_SYSMENU | WS_VISIBLE));
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    ASSERT_TRUE(SetCursorPos(origin.x + 50, origin.y + 60));
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, origin.x + 50);
    EXPECT_EQ(cursor.y, origin.y + 60);
    RECT outer{};
    GetWindowRect(window, &outer);
    EXPECT_TRUE(ClipCursor(&outer));
    RECT clip{};
    EXPECT_TRUE(GetClipCursor(&clip));
    EXPECT_EQ(clip.right, outer.right);
    EXPECT_TRUE(ClipCursor(nullptr));
    EXPECT_FALSE(GetClipCursor(&clip));
}

TEST_F(Win32Window, MaximisingIsRememberedAndRestoringForgetsIt)
{
    ASSERT_TRUE(MakeWindow());
    EXPECT_FALSE(IsWindowVisible(window));
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsZoomed(window));
    ShowWindow(window, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(window));
}

// The video begun on a thread (its own process under ctest): windows made after it draw through
// the GL library the thread loaded, one after another and side by side, also after the first is
// gone, which took the start's hold on the library with it.
TEST(EarlyVideo, WindowsMadeAfterItGetGlContexts)
{
    BeginVideo();
    BeginVideo(); // starts nothing more
    ASSERT_TRUE(EnsureVideo());
    BeginVideo(); // nor once the video is up
    WNDCLASSEXA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "EarlyVideoClass";
    ASSERT_TRUE(RegisterClassExA(windowClass));
    auto makeWindow = []
    {
        return CreateWindowExA(0, "EarlyVideoClass", "", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr,
                               nullptr);
    };
    auto drawsInto = [](HWND window)
    {
        SDL_GLContext context = SDL_GL_CreateContext(GetSdlWindow(window));
        if (!context)
            return false;
        using GetString = const unsigned char* (*)(unsigned int);
        auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
        const bool named = getString && getString(0x1F01 /* GL_RENDERER */);
        SDL_GL_DeleteContext(context);
        return named;
    };
    HWND first = makeWindow();
    ASSERT_TRUE(first);
    EXPECT_TRUE(drawsInto(first));
    HWND second = makeWindow();
    ASSERT_TRUE(second);
    DestroyWindow(first);
    EXPECT_TRUE(drawsInto(second));
    HWND third = makeWindow();
    ASSERT_TRUE(third);
    DestroyWindow(second);
    EXPECT_TRUE(drawsInto(third));
    DestroyWindow(third);
    EXPECT_TRUE(UnregisterClassA("EarlyVideoClass", nullptr));
}

// The joystick subsystem begun beside the GL library is handed over once, with the one reference
// the start took: quitting it once stops it.
TEST(EarlyVideo, ItsJoysticksAreTakenOnce)
{
    BeginVideo();
    EXPECT_TRUE(TakeStartedJoysticks());
    EXPECT_NE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
    EXPECT_FALSE(TakeStartedJoysticks()) << "taken already";
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
}

TEST(EarlyVideo, WithoutItThereAreNoJoysticksToTake)
{
    EXPECT_FALSE(TakeStartedJoysticks());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
}

// libdbus launches a session bus of its own only when neither the address nor the runtime
// folder's socket tells it where the desktop's is.
TEST(EarlyVideo, TheSessionBusIsLaunchedOnlyWhenNoneCanBeFound)
{
    TempFolder withSocket, withFile, empty;
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = withSocket / "bus";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    TempFolder::WriteBytes(withFile / "bus", {'x'});

    struct Case
    {
        const char* address;
        const char* runtimeFolder;
        bool launches;
    };
    const Case cases[] = {
        {"unix:path=/run/user/0/bus", nullptr, false},
        {"unix:path=/run/user/0/bus", empty.path.c_str(), false},
        {nullptr, withSocket.path.c_str(), false},
        {"", withSocket.path.c_str(), false},
        {nullptr, nullptr, true},
        {nullptr, "", true},
        {"", empty.path.c_str(), true},
        {nullptr, withFile.path.c_str(), true}, // a file is no bus
        {nullptr, "/no/such/folder", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SessionBusAutolaunches(c.address, c.runtimeFolder), c.launches)
            << (c.address ? c.address : "(unset)") << " " << (c.runtimeFolder ? c.runtimeFolder : "(unset)");
    ::close(listener);
}

TEST(Win32Keys, EveryKeyHasOneScanCodeAndItsVirtualKey)
{
    EXPECT_EQ(KeyCodesOfScancode(SDL_SCANCODE_ESCAPE).scanCode, 0x01);
    EXPECT_EQ(KeyCodesOfScancode(SDL_SCANCODE_0).messageKey, '0');
    EXPECT_EQ(KeyCodesOfScancode(SDL_SCANCODE_1).scanCode, 0x02);
    EXPECT_EQ(KeyCodesOfScancode(SDL_SCANCODE_F10).messageKey, VK_F10);
    EXPECT_EQ(KeyCodesOfScancode(SDL_SCANCODE_RCTRL).messageKey, VK_CONTROL);
    EXPECT_EQ(KeyCodesOfScancode(SDL_SCANCODE_RCTRL).sidedKey, VK_RCONTROL);
    EXPECT_EQ(KeyCodesOfScancode(-1).scanCode, 0);
    EXPECT_EQ(KeyCodesOfScancode(SDL_NUM_SCANCODES).scanCode, 0);
    EXPECT_EQ(MapVirtualKeyA(VK_SPACE, MAPVK_VK_TO_VSC), 0x39u);
    EXPECT_EQ(MapVirtualKeyA(0x1E, MAPVK_VSC_TO_VK), uint32_t('A'));
    EXPECT_EQ(LoadKeyboardLayoutA("0000081A", 0), HKL(0x081A081A));
    EXPECT_EQ(GetKeyboardLayout(0), HKL(0x081A081A));
    EXPECT_EQ(LoadKeyboardLayoutA("zz", 0), HKL(0));
    LoadKeyboardLayoutA("00000409", 0);
}

} // namespace
