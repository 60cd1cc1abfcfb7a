#include "WeAppWindow.h"
#include "WeEngine.h"
#include "WeUIMain.h"
#include "win32/Win32Cursor.h"
#include "win32/Win32Keyboard.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace win32;

namespace
{

// A window whose handlers write what reached them, the base bodies still running.
class RecordingWindow : public WeAppWindow
{
public:
    void OnClose(bool* allow) override
    {
        calls.push_back("OnClose");
        *allow = allowClose;
    }
    void OnDestroy() override { calls.push_back("OnDestroy"); }
    void OnAltF4() override { calls.push_back("OnAltF4"); }
    void OnSize(int32_t width, int32_t height, uint32_t type) override
    {
        calls.push_back("OnSize " + std::to_string(width) + "x" + std::to_string(height) + " " +
                        std::to_string(type));
    }
    void OnKeyDown(uint32_t key) override
    {
        calls.push_back("OnKeyDown " + std::to_string(key));
        WeAppWindow::OnKeyDown(key);
    }
    void OnKeyUp(uint32_t key) override
    {
        calls.push_back("OnKeyUp " + std::to_string(key));
        WeAppWindow::OnKeyUp(key);
    }
    void OnChar(uint32_t character) override { calls.push_back("OnChar " + std::to_string(character)); }
    void OnMouseMove(int32_t x, int32_t y) override
    {
        calls.push_back("OnMouseMove " + std::to_string(x) + "," + std::to_string(y));
    }
    void OnCommand(int32_t id) override { calls.push_back("OnCommand " + std::to_string(id)); }
    void OnButtonDblClk(int32_t id) override { calls.push_back("OnButtonDblClk " + std::to_string(id)); }
    void OnEditChange(int32_t id) override { calls.push_back("OnEditChange " + std::to_string(id)); }
    void OnBeforePump() override { calls.push_back("OnBeforePump"); }

    int Count(const std::string& call) const { return int(std::count(calls.begin(), calls.end(), call)); }

    std::vector<std::string> calls;
    bool allowClose = true;
};

class AppWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        quitRequested = false;
        engine.lastError = "";
        engine.settings = WeEngineSettings();
        uiMain.Init();
        uiMain.Shutdown();
        uiMain.Init();
    }

    void TearDown() override
    {
        quitRequested = false;
        engine.settings = WeEngineSettings();
        uiMain.Shutdown();
    }

    bool Create(int32_t displayMode = 3, int32_t windowStyle = 1, bool arrowCursor = true)
    {
        const bool created = window.Create("WindowTest", "Window test", nullptr, 0, 0, 320, 240, true,
                                           displayMode, windowStyle, false, false, arrowCursor, nullptr);
        window.calls.clear();
        return created;
    }

    void Push(SDL_Event event) const { SDL_PushEvent(&event); }

    SDL_Event Key(uint32_t type, SDL_Scancode scancode, uint16_t mod = 0, uint8_t repeat = 0) const
    {
        SDL_Event event{};
        event.key.type = type;
        event.key.windowID = SDL_GetWindowID(GetSdlWindow(window.handle));
        event.key.repeat = repeat;
        event.key.keysym.scancode = scancode;
        event.key.keysym.mod = mod;
        return event;
    }

    SDL_Event Text(const char* text) const
    {
        SDL_Event event{};
        event.text.type = SDL_TEXTINPUT;
        event.text.windowID = SDL_GetWindowID(GetSdlWindow(window.handle));
        std::strncpy(event.text.text, text, sizeof(event.text.text) - 1);
        return event;
    }

    std::vector<WeUIInputEvent> Queued() const
    {
        std::vector<WeUIInputEvent> events;
        for (const WeUIInputEvent& event : uiMain.GetInputQueue())
            events.push_back(event);
        return events;
    }

    RecordingWindow window;
};

TEST_F(AppWindow, AWindowedWindowIsCentredWithTheFrameOfItsStyle)
{
    for (int32_t style = 0; style <= 3; ++style)
    {
        RecordingWindow each;
        ASSERT_TRUE(each.Create("WindowTest", "", nullptr, 0, 0, 320, 240, false, 3, style, false, false,
                                true, nullptr));
        const WeWindowFrame frame = WeGetWindowFrame(style, 320, 240);
        RECT outer{}, client{};
        GetWindowRect(each.handle, &outer);
        GetClientRect(each.handle, &client);
        EXPECT_EQ(client.right, 320) << style;
        EXPECT_EQ(client.bottom, 240) << style;
        EXPECT_EQ(outer.right - outer.left, frame.outerWidth) << style;
        EXPECT_EQ(outer.bottom - outer.top, frame.outerHeight) << style;
        EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - frame.outerWidth) / 2) << style;
        EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - frame.outerHeight) / 2) << style;
    }
    EXPECT_EQ(WeGetWindowFrame(2, 320, 240).style, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(WeGetWindowFrame(3, 320, 240).style, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_GT(WeGetWindowFrame(2, 320, 240).outerWidth, WeGetWindowFrame(1, 320, 240).outerWidth);
}

TEST_F(AppWindow, AFullScreenWindowIsAPopUpAtTheOrigin)
{
    ASSERT_TRUE(Create(0));
    RECT outer{};
    GetWindowRect(window.handle, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    EXPECT_EQ(outer.right, 320);
    EXPECT_EQ(outer.bottom, 240);
    EXPECT_TRUE(window.IsRunning());
    EXPECT_EQ(GetForegroundWindow(), window.handle);
}

TEST_F(AppWindow, AClassThatIsTakenFailsWithItsCodeAndLeavesTheOtherClassAlone)
{
    RecordingWindow first;
    ASSERT_TRUE(
        first.Create("WindowTest", "", nullptr, 0, 0, 64, 64, false, 3, 1, false, false, true, nullptr));
    EXPECT_FALSE(Create());
    EXPECT_EQ(engine.lastError, "Error registering application window class - error #00000582");
    EXPECT_TRUE(window.className.IsEmpty());
    EXPECT_FALSE(window.alive);
    window.Destroy();
    EXPECT_TRUE(IsWindow(first.handle)); // its class is still registered and in use
    first.Destroy();
    EXPECT_TRUE(Create());
}

TEST_F(AppWindow, AHiddenCursorIsShownAgainWhenTheWindowGoes)
{
    const int32_t before = ShowCursor(true) - 1;
    ShowCursor(false);
    ASSERT_TRUE(Create(3, 1, false));
    EXPECT_EQ(ShowCursor(true), before); // Create lowered it by one
    ShowCursor(false);
    window.Destroy();
    EXPECT_EQ(ShowCursor(true), before + 1);
    ShowCursor(false);
}

TEST_F(AppWindow, AKeyStrokePostsItsCharacterNegatedAndItsHandlersOnce)
{
    ASSERT_TRUE(Create());
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_A));
    Push(Text("a"));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_A, 0, 1));
    Push(Text("a"));
    Push(Key(SDL_KEYUP, SDL_SCANCODE_A));
    EXPECT_TRUE(window.PumpMessages());
    EXPECT_EQ(window.Count("OnKeyDown 65"), 1);
    EXPECT_EQ(window.Count("OnChar 97"), 1); // the auto-repeat reaches neither
    EXPECT_EQ(window.Count("OnKeyUp 65"), 1);
    const std::vector<WeUIInputEvent> queued = Queued();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0].kind, WeUIInputKind::KeyDown);
    EXPECT_EQ(queued[0].a, -97);
    EXPECT_EQ(queued[1].kind, WeUIInputKind::KeyUp);
    EXPECT_EQ(queued[1].a, -97);
}

TEST_F(AppWindow, AnArrowKeyTypesNothing)
{
    ASSERT_TRUE(Create());
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_LEFT));
    window.PumpMessages();
    EXPECT_EQ(window.Count("OnKeyDown " + std::to_string(VK_LEFT)), 1);
    EXPECT_TRUE(Queued().empty());
}

TEST_F(AppWindow, AltF4AsksToEndTheProgramAndClosesTheWindowInTheSamePump)
{
    ASSERT_TRUE(Create());
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_F4, KMOD_LALT));
    EXPECT_TRUE(window.PumpMessages());
    EXPECT_TRUE(quitRequested);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"OnBeforePump", "OnAltF4", "OnClose", "OnDestroy"}));
    EXPECT_EQ(window.handle, nullptr);
    EXPECT_FALSE(window.alive);
    EXPECT_TRUE(window.className.IsEmpty()); // the quit message ran Destroy
    EXPECT_FALSE(window.IsRunning());
    EXPECT_FALSE(window.PumpMessages());
}

TEST_F(AppWindow, AltSpaceAndAltWithLettersNeverReachTheDefaultHandling)
{
    ASSERT_TRUE(Create());
    EXPECT_EQ(SendMessageA(window.handle, WM_SYSKEYDOWN, VK_SPACE, LPARAM(1) << 29), 0);
    EXPECT_EQ(window.Count("OnKeyDown 32"), 0);
    SendMessageA(window.handle, WM_SYSKEYDOWN, 'X', LPARAM(1) << 29);
    EXPECT_EQ(window.Count("OnKeyDown 88"), 1);
    EXPECT_TRUE(window.alive);
}

TEST_F(AppWindow, WhileAWindowsKeyIsHeldKeysGoToTheDefaultHandling)
{
    ASSERT_TRUE(Create());
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_LGUI));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_B));
    window.PumpMessages();
    EXPECT_EQ(window.Count("OnKeyDown 66"), 0);
    Push(Key(SDL_KEYUP, SDL_SCANCODE_LGUI));
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_B));
    window.PumpMessages();
    EXPECT_EQ(window.Count("OnKeyDown 66"), 1);
}

TEST_F(AppWindow, ACloseCanBeRefusedAndOtherwiseClosesTheWindow)
{
    ASSERT_TRUE(Create());
    window.allowClose = false;
    PostMessageA(window.handle, WM_CLOSE, 0, 0);
    window.PumpMessages();
    EXPECT_TRUE(window.IsRunning());
    window.allowClose = true;
    PostMessageA(window.handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.PumpMessages());
    EXPECT_FALSE(window.alive);
    EXPECT_FALSE(quitRequested); // only Alt+F4 blocks a restart
}

TEST_F(AppWindow, AStrayQuitMessageIsDroppedWhileTheWindowLives)
{
    ASSERT_TRUE(Create());
    PostQuitMessage(0);
    window.PumpMessages();
    EXPECT_TRUE(window.IsRunning());
    EXPECT_FALSE(window.className.IsEmpty());
}

TEST_F(AppWindow, ScreenSaverRequestsAreRefusedWhileTheWindowExists)
{
    ASSERT_TRUE(Create());
    SDL_DisableScreenSaver();
    SendMessageA(window.handle, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    SendMessageA(window.handle, WM_SYSCOMMAND, SC_MONITORPOWER | 2, 0);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    // Without the window's refusal the default handling lets it run.
    DefWindowProcA(window.handle, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
    SDL_DisableScreenSaver();
}

TEST_F(AppWindow, ADisplayChangeMaximisesTheWindowAgainOnlyInDisplayModeOne)
{
    ASSERT_TRUE(Create());
    engine.settings.displayMode = 3;
    SendMessageA(window.handle, WM_DISPLAYCHANGE, 32, 0);
    EXPECT_FALSE(IsZoomed(window.handle));
    engine.settings.displayMode = 1;
    SendMessageA(window.handle, WM_DISPLAYCHANGE, 32, 0);
    EXPECT_TRUE(IsZoomed(window.handle));
}

TEST_F(AppWindow, WheelTurnsAndDoubleClicksArePostedToTheUI)
{
    ASSERT_TRUE(Create());
    SDL_Event wheel{};
    wheel.wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.windowID = SDL_GetWindowID(GetSdlWindow(window.handle));
    wheel.wheel.y = 1;
    wheel.wheel.preciseY = 1.0f;
    Push(wheel);
    SDL_Event click{};
    click.button.type = SDL_MOUSEBUTTONDOWN;
    click.button.windowID = wheel.wheel.windowID;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.clicks = 2;
    Push(click);
    window.PumpMessages();
    const std::vector<WeUIInputEvent> queued = Queued();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0].kind, WeUIInputKind::MouseWheel);
    EXPECT_EQ(queued[0].a, 120);
    EXPECT_EQ(queued[1].kind, WeUIInputKind::DoubleClick);
}

TEST_F(AppWindow, MessagesReachTheirHandlersWithTheirWords)
{
    ASSERT_TRUE(Create());
    PostMessageA(window.handle, WM_MOUSEMOVE, 0, MAKELPARAM(0xFFFF, 12)); // -1 as an unsigned word
    PostMessageA(window.handle, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(640, 480));
    PostMessageA(window.handle, WM_COMMAND, 1 << 16 | 7, 0);
    PostMessageA(window.handle, WM_COMMAND, 5 << 16 | 8, 0);
    PostMessageA(window.handle, WM_COMMAND, 0x300 << 16 | 9, 0);
    PostMessageA(window.handle, WM_COMMAND, 2 << 16 | 10, 0);
    window.PumpMessages();
    EXPECT_EQ(window.mouseX, 0xFFFFu);
    EXPECT_EQ(window.mouseY, 12u);
    const std::vector<std::string> expected{"OnBeforePump", "OnMouseMove 65535,12", "OnSize 640x480 2",
                                            "OnCommand 7",  "OnButtonDblClk 8",     "OnEditChange 9"};
    EXPECT_EQ(window.calls, expected);
}

TEST_F(AppWindow, DestroyUnregistersTheClassAndHideWorksOnlyWhileAlive)
{
    ASSERT_TRUE(Create());
    window.Hide();
    EXPECT_FALSE(IsWindowVisible(window.handle));
    window.Destroy();
    EXPECT_EQ(window.handle, nullptr);
    EXPECT_FALSE(UnregisterClassA("WindowTest", nullptr)); // already gone
    window.Hide();
    EXPECT_FALSE(window.PumpMessages());
}

} // namespace
