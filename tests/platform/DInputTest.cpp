#include "dinput/DInput.h"
#include "win32/Win32Window.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace dinput;

namespace
{

TEST(DInputKeyCodes, KeysHaveTheirScanCodesWithTheExtendedOnesRaisedBy0x80)
{
    const std::pair<SDL_Scancode, uint8_t> expected[] = {
        {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_A, DIK_A},
        {SDL_SCANCODE_Z, DIK_Z},
        {SDL_SCANCODE_0, DIK_0},
        {SDL_SCANCODE_GRAVE, DIK_GRAVE},
        {SDL_SCANCODE_RETURN, DIK_RETURN},
        {SDL_SCANCODE_SPACE, DIK_SPACE},
        {SDL_SCANCODE_F11, DIK_F11},
        {SDL_SCANCODE_F12, DIK_F12},
        {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
        {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
        {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
        {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
        {SDL_SCANCODE_RALT, DIK_RMENU},
        {SDL_SCANCODE_PAUSE, DIK_PAUSE},
        {SDL_SCANCODE_HOME, DIK_HOME},
        {SDL_SCANCODE_UP, DIK_UP},
        {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
        {SDL_SCANCODE_LEFT, DIK_LEFT},
        {SDL_SCANCODE_RIGHT, DIK_RIGHT},
        {SDL_SCANCODE_END, DIK_END},
        {SDL_SCANCODE_DOWN, DIK_DOWN},
        {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
        {SDL_SCANCODE_INSERT, DIK_INSERT},
        {SDL_SCANCODE_DELETE, DIK_DELETE},
        {SDL_SCANCODE_LGUI, DIK_LWIN},
        {SDL_SCANCODE_RGUI, DIK_RWIN},
        {SDL_SCANCODE_APPLICATION, DIK_APPS},
        {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
        {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
        {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
        {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
        {SDL_SCANCODE_LALT, DIK_LMENU},
        {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    };
    for (const auto& [scancode, code] : expected)
        EXPECT_EQ(KeyCodeOfScancode(scancode), code) << SDL_GetScancodeName(scancode);
    EXPECT_EQ(KeyCodeOfScancode(SDL_SCANCODE_UNKNOWN), 0);
}

TEST(DInputKeyCodes, EveryKeyOfTheMainBlockHasItsOwnCode)
{
    std::set<uint8_t> seen;
    for (int32_t scancode = SDL_SCANCODE_A; scancode <= SDL_SCANCODE_KP_PERIOD; ++scancode)
    {
        if (scancode == SDL_SCANCODE_NONUSHASH) // the same key as the backslash on ISO boards
            continue;
        const uint8_t code = KeyCodeOfScancode(scancode);
        EXPECT_NE(code, 0) << scancode;
        EXPECT_TRUE(seen.insert(code).second) << scancode;
    }
}

TEST(DInputKeyCodes, MouseButtonsComeInDirectInputOrder)
{
    EXPECT_EQ(MouseButtonOfSdlButton(SDL_BUTTON_LEFT), 0);
    EXPECT_EQ(MouseButtonOfSdlButton(SDL_BUTTON_RIGHT), 1);
    EXPECT_EQ(MouseButtonOfSdlButton(SDL_BUTTON_MIDDLE), 2);
    EXPECT_EQ(MouseButtonOfSdlButton(SDL_BUTTON_X1), 3);
    EXPECT_EQ(MouseButtonOfSdlButton(SDL_BUTTON_X2), 4);
    EXPECT_EQ(MouseButtonOfSdlButton(9), -1);
}

win32::LRESULT Procedure(win32::HWND window, uint32_t message, win32::WPARAM wParam, win32::LPARAM lParam)
{
    return win32::DefWindowProcA(window, message, wParam, lParam);
}

class DInputSdl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::WNDCLASSEXA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.lpszClassName = "DInputTest";
        ASSERT_TRUE(win32::RegisterClassExA(windowClass));
        window = win32::CreateWindowExA(0, "DInputTest", "", win32::WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                        nullptr, nullptr);
        ASSERT_TRUE(window);
        ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, &directInput), DI_OK);
    }

    void TearDown() override
    {
        win32::DestroyWindow(window);
        win32::UnregisterClassA("DInputTest", nullptr);
        Pump();
    }

    static void Pump()
    {
        win32::MSG message{};
        while (win32::PeekMessageA(&message, nullptr, 0, 0, win32::PM_REMOVE))
        {
        }
    }

    std::unique_ptr<IDirectInputDevice8A> Open(const GUID& guid, DataFormat format)
    {
        std::unique_ptr<IDirectInputDevice8A> device;
        EXPECT_EQ(directInput->CreateDevice(guid, &device), DI_OK);
        EXPECT_EQ(device->SetDataFormat(format), DI_OK);
        EXPECT_EQ(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        return device;
    }

    void PushFocusLost() const
    {
        SDL_Event event{};
        event.window.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(win32::GetSdlWindow(window));
        event.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
        SDL_PushEvent(&event);
    }

    win32::HWND window = nullptr;
    std::unique_ptr<IDirectInput8A> directInput;
};

TEST_F(DInputSdl, AForegroundDeviceIsAcquiredOnlyInTheForegroundAndLosesItWithTheForeground)
{
    auto keyboard = Open(GUID_SysKeyboard, c_dfDIKeyboard);
    uint8_t keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    PushFocusLost();
    Pump();
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    ASSERT_TRUE(win32::SetForegroundWindow(window));
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(16, keys), DIERR_INVALIDPARAM);
    PushFocusLost();
    Pump();
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
}

TEST_F(DInputSdl, TheKeyboardStateShowsTheKeysDownByCode)
{
    ASSERT_TRUE(win32::SetForegroundWindow(window));
    auto keyboard = Open(GUID_SysKeyboard, c_dfDIKeyboard);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    SDL_Event key{};
    key.key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_PRINTSCREEN;
    SDL_PushEvent(&key);
    key.key.keysym.scancode = SDL_SCANCODE_Q;
    SDL_PushEvent(&key);
    key.key.type = SDL_KEYUP;
    SDL_PushEvent(&key);
    uint8_t keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_SYSRQ], 0x80);
    EXPECT_EQ(keys[DIK_Q], 0x80); // tapped since the last read
    EXPECT_EQ(keys[DIK_A], 0);
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_SYSRQ], 0x80);
    EXPECT_EQ(keys[DIK_Q], 0);
    Pump();
}

TEST_F(DInputSdl, TheMouseReportsMovementSinceTheLastReadAndTheWheelIn120ths)
{
    ASSERT_TRUE(win32::SetForegroundWindow(window));
    auto mouse = Open(GUID_SysMouse, c_dfDIMouse2);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    SDL_Event motion{};
    motion.motion.type = SDL_MOUSEMOTION;
    motion.motion.xrel = 5;
    motion.motion.yrel = -3;
    SDL_PushEvent(&motion);
    SDL_PushEvent(&motion);
    SDL_Event wheel{};
    wheel.wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = 2;
    wheel.wheel.preciseY = 2.0f;
    SDL_PushEvent(&wheel);
    SDL_Event button{};
    button.button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_RIGHT;
    SDL_PushEvent(&button);
    DIMOUSESTATE2 state{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 10);
    EXPECT_EQ(state.lY, -6);
    EXPECT_EQ(state.lZ, 240);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    EXPECT_EQ(state.rgbButtons[0], 0);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lZ, 0);
    EXPECT_EQ(state.rgbButtons[1], 0x80); // still held
    Pump();
}

// How a key or a mouse button is pressed between reads: each step is the events before one read
// ('d' down, 'u' up) and what that read shows ('1' down, '0' up).
struct PressCase
{
    const char* name;
    std::vector<std::string> events; // before each read
    std::string shown;               // by each read
};

std::vector<PressCase> PressCases()
{
    std::vector<PressCase> cases = {
        {"a tap between two reads", {"du", "", ""}, "100"},
        {"a press held over reads", {"d", "", "u", ""}, "1100"},
        {"two taps between two reads", {"dudu", "", "", "", ""}, "10100"},
        {"a tap between reads the second of which shows it", {"du", "d", "u", ""}, "1010"},
        {"a held press let go and pressed again", {"d", "ud", "", ""}, "1011"},
        {"a held press let go, pressed and let go", {"d", "udu", "", ""}, "1010"},
        {"a press on a press", {"dd", "u", ""}, "100"},
        {"a tap in a read's wait for its release", {"dudu", "du", "", "", "", ""}, "101010"},
    };
    // Taps beyond the waiting limit are dropped.
    PressCase flood{"more taps than may wait", {""}, ""};
    for (int32_t tap = 0; tap <= kMaxWaitingPresses; ++tap)
        flood.events[0] += "du";
    for (int32_t tap = 0; tap < kMaxWaitingPresses; ++tap)
        flood.shown += "10";
    flood.shown += "0";
    flood.events.resize(flood.shown.size());
    cases.push_back(flood);
    return cases;
}

// A keyboard or a mouse with one key or button that the test presses through SDL's events.
struct PressedDevice
{
    GUID guid;
    DataFormat format;
    uint32_t stateSize;
    void (*push)(bool down);
    bool (*down)(const uint8_t* state);
};

void PushKey(bool down)
{
    SDL_Event key{};
    key.key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    key.key.keysym.scancode = SDL_SCANCODE_SPACE;
    SDL_PushEvent(&key);
}

void PushButton(bool down)
{
    SDL_Event button{};
    button.button.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    button.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&button);
}

const PressedDevice kPressedDevices[] = {
    {GUID_SysKeyboard, c_dfDIKeyboard, 256, PushKey,
     [](const uint8_t* state) { return state[DIK_SPACE] == 0x80; }},
    {GUID_SysMouse, c_dfDIMouse2, sizeof(DIMOUSESTATE2), PushButton,
     [](const uint8_t* state)
     { return reinterpret_cast<const DIMOUSESTATE2*>(state)->rgbButtons[0] == 0x80; }},
};

TEST_F(DInputSdl, EveryPressBetweenReadsIsShownDownAndThenUp)
{
    ASSERT_TRUE(win32::SetForegroundWindow(window));
    for (const PressedDevice& kind : kPressedDevices)
        for (const PressCase& press : PressCases())
        {
            auto device = Open(kind.guid, kind.format);
            ASSERT_EQ(device->Acquire(), DI_OK);
            std::string shown;
            for (const std::string& events : press.events)
            {
                for (const char event : events)
                    kind.push(event == 'd');
                uint8_t state[sizeof(DIMOUSESTATE2) > 256 ? sizeof(DIMOUSESTATE2) : 256] = {};
                ASSERT_EQ(device->GetDeviceState(kind.stateSize, state), DI_OK);
                shown += kind.down(state) ? '1' : '0';
            }
            EXPECT_EQ(shown, press.shown)
                << press.name << (kind.guid == GUID_SysMouse ? " (mouse)" : " (keys)");
        }
    Pump();
}

TEST_F(DInputSdl, PressesWhileNotAcquiredAreNotShownButAHeldOneIs)
{
    ASSERT_TRUE(win32::SetForegroundWindow(window));
    for (const PressedDevice& kind : kPressedDevices)
    {
        auto device = Open(kind.guid, kind.format);
        uint8_t state[sizeof(DIMOUSESTATE2) > 256 ? sizeof(DIMOUSESTATE2) : 256] = {};
        kind.push(true);
        kind.push(false);
        ASSERT_EQ(device->GetDeviceState(kind.stateSize, state), DIERR_NOTACQUIRED);
        ASSERT_EQ(device->Acquire(), DI_OK);
        ASSERT_EQ(device->GetDeviceState(kind.stateSize, state), DI_OK);
        EXPECT_FALSE(kind.down(state));
        ASSERT_EQ(device->Unacquire(), DI_OK);
        kind.push(true);
        ASSERT_EQ(device->Acquire(), DI_OK);
        ASSERT_EQ(device->GetDeviceState(kind.stateSize, state), DI_OK);
        EXPECT_TRUE(kind.down(state));
        kind.push(false);
    }
    Pump();
}

// The input layer takes the joysticks the video's start began instead of starting them a second
// time, so that they stop with it.
TEST(DInputEarlyVideo, TheStartsJoysticksStopWithTheInputLayer)
{
    win32::BeginVideo();
    std::unique_ptr<IDirectInput8A> input;
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, &input), DI_OK);
    EXPECT_EQ(input->EnumDevices(
                  DI8DEVCLASS_GAMECTRL, [](const DIDEVICEINSTANCEA*, void*) { return DIENUM_CONTINUE; },
                  nullptr, DIEDFL_ATTACHEDONLY),
              DI_OK);
    EXPECT_FALSE(win32::TakeStartedJoysticks()) << "the input layer holds them";
    input.reset();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
}

TEST_F(DInputSdl, NoControllerIsNoErrorAndUnknownDevicesAreRefused)
{
    int32_t found = 0;
    EXPECT_EQ(directInput->EnumDevices(
                  DI8DEVCLASS_GAMECTRL,
                  [](const DIDEVICEINSTANCEA*, void* count)
                  {
                      ++*static_cast<int32_t*>(count);
                      return DIENUM_CONTINUE;
                  },
                  &found, DIEDFL_ATTACHEDONLY),
              DI_OK);
    std::unique_ptr<IDirectInputDevice8A> device;
    EXPECT_EQ(directInput->CreateDevice(GUID{kGameControllerDevice, found}, &device), DIERR_DEVICENOTREG);
    EXPECT_EQ(directInput->CreateDevice(GUID{99, 0}, &device), DIERR_DEVICENOTREG);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, &directInput), DIERR_INVALIDPARAM);
}

} // namespace
