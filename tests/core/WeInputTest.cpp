#include "RecordingEngineParts.h"
#include "ScriptedDirectInput.h"

#include "WeAppWindow.h"
#include "WeInput.h"
#include "WeUIMain.h"
#include "win32/Win32Cursor.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace dinput;

namespace
{

class Input : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uiMain.Init();
        // The global input keeps its arrays between tests: two empty frames clear them.
        input.BeginFrame();
        input.BeginFrame();
    }

    void TearDown() override
    {
        input.Shutdown();
        uiMain.Shutdown();
    }

    void Frame()
    {
        input.BeginFrame();
        input.Poll();
    }

    void Key(uint8_t code, bool down) { script.keyboard.state[code] = down ? 0x80 : 0; }
    void Button(int32_t button, bool down)
    {
        reinterpret_cast<DIMOUSESTATE2*>(script.mouse.state)->rgbButtons[button] = down ? 0x80 : 0;
    }

    std::vector<WeUIInputEvent> Drain()
    {
        std::vector<WeUIInputEvent> events;
        for (const WeUIInputEvent& event : uiMain.GetInputQueue())
            events.push_back(event);
        uiMain.ProcessEvents();
        return events;
    }

    RecordingEngineScope scope;
    ScriptedInputScope scripted;
    InputScript& script = scripted.script;
};

TEST_F(Input, EachFailingStartStepLeavesItsOwnText)
{
    script.failCreation = true;
    EXPECT_FALSE(input.Init(nullptr, true));
    EXPECT_EQ(engine.lastError, "Error: Cannot initialize DirectInput");
    script.failCreation = false;
    script.keyboard.failCreation = true;
    EXPECT_FALSE(input.Init(nullptr, true));
    EXPECT_EQ(engine.lastError, "Error: Cannot create keyboard device");
    EXPECT_EQ(input.directInput, nullptr);
    script.keyboard.failCreation = false;
    script.mouse.failCreation = true;
    EXPECT_FALSE(input.Init(nullptr, true));
    EXPECT_EQ(engine.lastError, "Error: Cannot create mouse device");
    EXPECT_EQ(input.keyboard, nullptr);
    EXPECT_FALSE(input.initialised);
}

TEST_F(Input, TheDevicesGetTheirFormatsLevelsAndAcquisition)
{
    ASSERT_TRUE(input.Init(nullptr, true));
    EXPECT_EQ(input.controller, nullptr); // none attached, no error
    const std::vector<std::string> expected{"SetDataFormat", "SetCooperativeLevel", "SetBufferSize",
                                            "Acquire"};
    EXPECT_EQ(script.keyboard.calls, expected);
    EXPECT_EQ(script.keyboard.cooperativeFlags, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_NOWINKEY);
    EXPECT_EQ(script.mouse.cooperativeFlags, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    EXPECT_TRUE(input.Init(nullptr, true)); // already: nothing more
    EXPECT_EQ(script.keyboard.calls.size(), expected.size());
    input.Shutdown();
    EXPECT_EQ(script.keyboard.calls.back(), "Unacquire");
    engine.settings.keyboardFlag = true;
    ASSERT_TRUE(input.Init(nullptr, false));
    EXPECT_EQ(script.keyboard.cooperativeFlags, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
}

TEST_F(Input, AHeldKeyIsClickedInItsFirstFrameOnlyAndPostedOnItsChanges)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Key(DIK_A, true);
    Frame();
    EXPECT_TRUE(input.KeyPressed(DIK_A));
    EXPECT_TRUE(input.KeyClicked(DIK_A));
    EXPECT_TRUE(input.SomethingClicked());
    std::vector<WeUIInputEvent> posted = Drain();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].kind, WeUIInputKind::KeyDown);
    EXPECT_EQ(posted[0].a, DIK_A);
    EXPECT_EQ(posted[1].kind, WeUIInputKind::MouseMove); // every frame, after the keys
    Frame();
    EXPECT_TRUE(input.KeyPressed(DIK_A));
    EXPECT_FALSE(input.KeyClicked(DIK_A));
    EXPECT_FALSE(input.SomethingClicked());
    EXPECT_EQ(Drain().size(), 1u); // the move alone
    Key(DIK_A, false);
    Frame();
    posted = Drain();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].kind, WeUIInputKind::KeyUp);
    EXPECT_FALSE(input.KeyClicked(DIK_A));
}

TEST_F(Input, KeysArePostedInCodeOrderAndModifiersTakeEitherSide)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Key(DIK_RMENU, true);
    Key(DIK_RSHIFT, true);
    Key(DIK_Q, true);
    Frame();
    EXPECT_TRUE(input.alt);
    EXPECT_TRUE(input.shift);
    EXPECT_FALSE(input.ctrl);
    const std::vector<WeUIInputEvent> posted = Drain();
    ASSERT_EQ(posted.size(), 4u);
    EXPECT_EQ(posted[0].a, DIK_Q);
    EXPECT_EQ(posted[1].a, DIK_RSHIFT);
    EXPECT_EQ(posted[2].a, DIK_RMENU);
    EXPECT_EQ(input.clickedCount, 3);
}

TEST_F(Input, AButtonIsClickedWhenItIsReleased)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Button(0, true);
    Button(1, true);
    Frame();
    EXPECT_TRUE(input.MousePressed(0));
    EXPECT_FALSE(input.MouseClicked(0));
    std::vector<WeUIInputEvent> posted = Drain();
    ASSERT_EQ(posted.size(), 2u); // the move, then the left button; the right one is masked
    EXPECT_EQ(posted[1].kind, WeUIInputKind::MouseDown);
    EXPECT_EQ(posted[1].a, 0);
    Button(0, false);
    Button(1, false);
    Frame();
    EXPECT_TRUE(input.MouseClicked(0));
    EXPECT_TRUE(input.MouseClicked(1));
    posted = Drain();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].kind, WeUIInputKind::MouseUp);
}

TEST_F(Input, MovementAndTheWheelAreThisFramesOnly)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    auto* mouse = reinterpret_cast<DIMOUSESTATE2*>(script.mouse.state);
    mouse->lX = 4;
    mouse->lY = -2;
    mouse->lZ = 240;
    Frame();
    EXPECT_EQ(input.mouseMovedX, 4);
    EXPECT_EQ(input.mouseMovedY, -2);
    EXPECT_EQ(input.mouseMovedZ, 240);
    EXPECT_EQ(Drain()[0].c, 240);
    input.BeginFrame();
    EXPECT_EQ(input.mouseMovedX, 0);
    EXPECT_EQ(input.mouseMovedZ, 0);
}

TEST_F(Input, AClickIsConsumedOnceAndIndicesOutsideTheArraysChangeNothing)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Key(DIK_SPACE, true);
    Frame();
    EXPECT_EQ(input.clickedCount, 1);
    EXPECT_TRUE(input.UseKeyClicked(DIK_SPACE));
    EXPECT_FALSE(input.UseKeyClicked(DIK_SPACE));
    EXPECT_EQ(input.clickedCount, 0);
    EXPECT_FALSE(input.SomethingClicked());
    for (const int32_t index : {-1, 256, 1000})
    {
        EXPECT_FALSE(input.UseKeyClicked(index));
        EXPECT_FALSE(input.KeyPressed(index));
        EXPECT_FALSE(input.UseKeyPressed(index));
    }
    EXPECT_FALSE(input.UseMouseClicked(8));
    EXPECT_FALSE(input.MouseClicked(-1));
    EXPECT_FALSE(input.UseJoyClicked(128));
    EXPECT_FALSE(input.JoyPressed(128));
    EXPECT_EQ(input.clickedCount, 0);
    EXPECT_TRUE(input.UseKeyPressed(DIK_SPACE));
    EXPECT_FALSE(input.KeyPressed(DIK_SPACE));
}

TEST_F(Input, ThePrintScreenClickIsTheEnginesToTakeAndThenNotLeftClicked)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Key(DIK_SYSRQ, true);
    Frame();
    EXPECT_TRUE(input.KeyClicked(DIK_SYSRQ));
    EXPECT_TRUE(WeGetSubsystemParts().UseScreenshotClick());
    EXPECT_FALSE(input.KeyClicked(DIK_SYSRQ));
    EXPECT_FALSE(input.SomethingClicked());
    EXPECT_FALSE(WeGetSubsystemParts().UseScreenshotClick()); // one click, one screenshot
}

TEST_F(Input, ALostKeyboardIsReacquiredAndReadAfreshSoHeldKeysOfThePastAreNotClicked)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Key(DIK_LMENU, true);
    Key(DIK_TAB, true);
    Frame(); // Alt+Tab, then the focus goes
    input.BeginFrame();
    Key(DIK_LMENU, false);
    Key(DIK_TAB, false);
    script.keyboard.calls.clear();
    script.keyboard.nextResults = {DIERR_INPUTLOST};
    Frame();
    EXPECT_EQ(script.keyboard.calls, (std::vector<std::string>{"GetDeviceState", "Unacquire"}));
    EXPECT_FALSE(input.KeyPressed(DIK_LMENU));
    EXPECT_TRUE(input.keyboardLost);
    script.keyboard.calls.clear();
    script.keyboard.nextResults = {DIERR_NOTACQUIRED};
    Frame();
    EXPECT_EQ(script.keyboard.calls,
              (std::vector<std::string>{"GetDeviceState", "Acquire", "GetDeviceState"}));
    EXPECT_FALSE(input.keyboardLost);
    EXPECT_FALSE(input.KeyClicked(DIK_LMENU));
    EXPECT_FALSE(input.KeyClicked(DIK_TAB));
    EXPECT_FALSE(input.SomethingClicked());
}

TEST_F(Input, ReacquireReportsWhetherEveryReadNowCounts)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    HRESULT keyboardResult = DIERR_NOTACQUIRED, mouseResult = DI_OK, controllerResult = -1;
    EXPECT_FALSE(input.ReacquireDevices(&keyboardResult, &mouseResult, &controllerResult)); // no controller
    EXPECT_EQ(keyboardResult, DI_OK);
}

TEST_F(Input, UnfocusedFramesClearTheKeysSoAHeldKeyIsClickedAgainOnReturn)
{
    ASSERT_TRUE(input.Init(nullptr, false));
    Key(DIK_W, true);
    Frame();
    input.BeginFrame(); // a frame without the focus
    EXPECT_FALSE(input.KeyPressed(DIK_W));
    EXPECT_FALSE(input.SomethingClicked()); // the cleared click is not counted any more
    Frame();
    EXPECT_TRUE(input.KeyClicked(DIK_W));
}

TEST_F(Input, TheControllerGivesAxesAndButtonsAndItsAxesRestCentred)
{
    script.controllerAttached = true;
    ASSERT_TRUE(input.Init(nullptr, true));
    ASSERT_NE(input.controller, nullptr);
    auto* pad = reinterpret_cast<DIJOYSTATE2*>(script.controller.state);
    pad->lX = 100;
    pad->lY = 65535;
    pad->lZ = 7;
    pad->rgbButtons[127] = 0x80;
    Frame();
    EXPECT_EQ(input.joyX, 100);
    EXPECT_EQ(input.joyY, 65535);
    EXPECT_TRUE(input.JoyPressed(127));
    pad->rgbButtons[127] = 0;
    Frame();
    EXPECT_TRUE(input.JoyClicked(127));
    input.BeginFrame();
    EXPECT_EQ(input.joyX, 32767);
    EXPECT_EQ(input.joyZ, 32767);
}

TEST_F(Input, TheCursorIsScaledFromTheClientAreaToTheBackBuffer)
{
    int32_t x = -1, y = -1;
    input.GetCursorPosition(&x, &y); // no window
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    WeAppWindow window;
    ASSERT_TRUE(
        window.Create("InputTest", "", nullptr, 0, 0, 400, 300, true, 3, 0, false, false, true, nullptr));
    engine.window = &window;
    engine.settings.width = 800;
    engine.settings.height = 600;
    win32::POINT origin{0, 0};
    win32::ClientToScreen(window.handle, &origin);
    win32::SetCursorPos(origin.x + 100, origin.y + 50);
    input.GetCursorPosition(&x, &y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 100);
    engine.window = nullptr;
}

// The input object over the SDL back end, its window in the foreground; the test presses the
// space key and the left button through SDL's events between frames.
class InputOverSdl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Create("InputSdlTest", "", nullptr, 0, 0, 64, 64, true, 3, 0, false, false, true,
                                  nullptr));
        engine.window = &window;
        ASSERT_TRUE(win32::SetForegroundWindow(window.handle));
        uiMain.Init();
        input.BeginFrame();
        input.BeginFrame();
        ASSERT_TRUE(input.Init(nullptr, false));
    }

    void TearDown() override
    {
        input.Shutdown();
        uiMain.Shutdown();
        engine.window = nullptr;
    }

    static void Push(bool down)
    {
        SDL_Event event{};
        event.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.scancode = SDL_SCANCODE_SPACE;
        SDL_PushEvent(&event);
        event = SDL_Event{};
        event.button.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.button = SDL_BUTTON_LEFT;
        SDL_PushEvent(&event);
    }

    RecordingEngineScope scope;
    WeAppWindow window;
};

TEST_F(InputOverSdl, EveryTapBetweenFramesIsClickedKeysOnTheirPressButtonsOnTheirRelease)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> events; // before each frame: 'd' down, 'u' up
        std::string keyClicked, buttonClicked;
    };
    const Case cases[] = {
        {"a tap", {"du", "", ""}, "100", "010"},
        {"a held press", {"d", "", "u", ""}, "1000", "0010"},
        {"two taps", {"dudu", "", "", "", ""}, "10100", "01010"},
        {"a held press let go and pressed again", {"d", "ud", "", "u"}, "1010", "0101"},
    };
    for (const Case& tap : cases)
    {
        std::string keyClicked, buttonClicked;
        for (const std::string& events : tap.events)
        {
            for (const char event : events)
                Push(event == 'd');
            input.BeginFrame();
            input.Poll();
            keyClicked += input.UseKeyClicked(DIK_SPACE) ? '1' : '0';
            buttonClicked += input.UseMouseClicked(0) ? '1' : '0';
            EXPECT_FALSE(input.SomethingClicked()) << tap.name;
        }
        EXPECT_EQ(keyClicked, tap.keyClicked) << tap.name;
        EXPECT_EQ(buttonClicked, tap.buttonClicked) << tap.name;
        uiMain.ProcessEvents();
    }
    win32::MSG message{};
    while (win32::PeekMessageA(&message, nullptr, 0, 0, win32::PM_REMOVE))
    {
    }
}

} // namespace
