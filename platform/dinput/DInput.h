// The DirectInput 8 interface the engine polls: the DirectInput object, keyboard, mouse and game
// controller devices with the standard data formats, acquisition and its loss, and the key codes
// (DIK values, the PC scan codes with 0x80 added for E0-prefixed keys) that configuration files
// store. The real back end reads SDL2; tests install a back end of their own.
#pragma once

#include "win32/Win32Window.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace dinput
{

using HRESULT = int32_t;
constexpr HRESULT DI_OK = 0;
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
inline bool Failed(HRESULT result)
{
    return result < 0;
}

constexpr uint32_t DIRECTINPUT_VERSION = 0x0800;

// Cooperative levels.
constexpr uint32_t DISCL_EXCLUSIVE = 0x01;
constexpr uint32_t DISCL_NONEXCLUSIVE = 0x02;
constexpr uint32_t DISCL_FOREGROUND = 0x04;
constexpr uint32_t DISCL_BACKGROUND = 0x08;
constexpr uint32_t DISCL_NOWINKEY = 0x10;

// Device enumeration.
constexpr uint32_t DI8DEVCLASS_GAMECTRL = 4;
constexpr uint32_t DIEDFL_ATTACHEDONLY = 0x01;
constexpr bool DIENUM_STOP = false;
constexpr bool DIENUM_CONTINUE = true;

// Which device: the system keyboard, the system mouse, or the n-th attached game controller.
struct GUID
{
    uint32_t kind;
    int32_t index;
    bool operator==(const GUID&) const = default;
};
constexpr uint32_t kKeyboardDevice = 1;
constexpr uint32_t kMouseDevice = 2;
constexpr uint32_t kGameControllerDevice = 3;
constexpr GUID GUID_SysKeyboard{kKeyboardDevice, 0};
constexpr GUID GUID_SysMouse{kMouseDevice, 0};

struct DIDEVICEINSTANCEA
{
    GUID guidInstance;
    char tszProductName[260];
};
using LPDIENUMDEVICESCALLBACKA = bool (*)(const DIDEVICEINSTANCEA* instance, void* reference);

// The data formats: what GetDeviceState delivers.
enum class DataFormat
{
    Keyboard,  // 256 bytes by key code, bit 7 = down
    Mouse2,    // DIMOUSESTATE2
    Joystick2, // DIJOYSTATE2
};
constexpr DataFormat c_dfDIKeyboard = DataFormat::Keyboard;
constexpr DataFormat c_dfDIMouse2 = DataFormat::Mouse2;
constexpr DataFormat c_dfDIJoystick2 = DataFormat::Joystick2;

// Every press of a key or mouse button between two reads is seen down by one read at least,
// and its release by a later one, even when the press was over before the first of them. Presses
// that come faster than every other read wait, at most this many of a key or button.
constexpr int32_t kMaxWaitingPresses = 4;

// Relative movement since the last read in counts; the wheel in units of 120 a notch.
struct DIMOUSESTATE2
{
    int32_t lX, lY, lZ;
    uint8_t rgbButtons[8]; // 0 left, 1 right, 2 middle, 3 and up the extra buttons; bit 7 = down
};

// Axes 0..65535 (32767 at rest), the point-of-view hats in hundredths of a degree clockwise from
// north (0xFFFFFFFF centred), 128 buttons.
struct DIJOYSTATE2
{
    int32_t lX, lY, lZ;
    int32_t lRx, lRy, lRz;
    int32_t rglSlider[2];
    uint32_t rgdwPOV[4];
    uint8_t rgbButtons[128];
};

class IDirectInputDevice8A
{
public:
    virtual ~IDirectInputDevice8A() = default;
    virtual HRESULT SetDataFormat(DataFormat format) = 0;
    virtual HRESULT SetCooperativeLevel(win32::HWND window, uint32_t flags) = 0;
    virtual HRESULT SetBufferSize(uint32_t entries) = 0; // DIPROP_BUFFERSIZE
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // Copies the device's state in its data format; size must be that format's size.
    virtual HRESULT GetDeviceState(uint32_t size, void* data) = 0;
};

class IDirectInput8A
{
public:
    virtual ~IDirectInput8A() = default;
    virtual HRESULT CreateDevice(const GUID& device, std::unique_ptr<IDirectInputDevice8A>* created) = 0;
    virtual HRESULT EnumDevices(uint32_t deviceClass, LPDIENUMDEVICESCALLBACKA callback, void* reference,
                                uint32_t flags) = 0;
};

// Makes the DirectInput object of the installed back end (SDL2 unless a test installed one).
HRESULT DirectInput8Create(win32::HINSTANCE instance, uint32_t version,
                           std::unique_ptr<IDirectInput8A>* created);

// Replaces what DirectInput8Create makes; an empty function restores the SDL2 back end.
using BackEndFactory = std::function<HRESULT(std::unique_ptr<IDirectInput8A>*)>;
void InstallBackEnd(BackEndFactory factory);

// The key code of an SDL scan code, 0 for a key without one.
uint8_t KeyCodeOfScancode(int32_t sdlScancode);
// The DirectInput mouse button of an SDL button (1 left, 2 middle, 3 right, 4 and 5 extra), or -1.
int32_t MouseButtonOfSdlButton(int32_t sdlButton);

// Key codes, in rows.
// clang-format off
enum : uint8_t
{
    DIK_ESCAPE = 0x01, DIK_1 = 0x02, DIK_2 = 0x03, DIK_3 = 0x04, DIK_4 = 0x05, DIK_5 = 0x06, DIK_6 = 0x07,
    DIK_7 = 0x08, DIK_8 = 0x09, DIK_9 = 0x0A, DIK_0 = 0x0B, DIK_MINUS = 0x0C, DIK_EQUALS = 0x0D,
    DIK_BACK = 0x0E, DIK_TAB = 0x0F, DIK_Q = 0x10, DIK_W = 0x11, DIK_E = 0x12, DIK_R = 0x13, DIK_T = 0x14,
    DIK_Y = 0x15, DIK_U = 0x16, DIK_I = 0x17, DIK_O = 0x18, DIK_P = 0x19, DIK_LBRACKET = 0x1A,
    DIK_RBRACKET = 0x1B, DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D, DIK_A = 0x1E, DIK_S = 0x1F, DIK_D = 0x20,
    DIK_F = 0x21, DIK_G = 0x22, DIK_H = 0x23, DIK_J = 0x24, DIK_K = 0x25, DIK_L = 0x26, DIK_SEMICOLON = 0x27,
    DIK_APOSTROPHE = 0x28, DIK_GRAVE = 0x29, DIK_LSHIFT = 0x2A, DIK_BACKSLASH = 0x2B, DIK_Z = 0x2C,
    DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30, DIK_N = 0x31, DIK_M = 0x32, DIK_COMMA = 0x33,
    DIK_PERIOD = 0x34, DIK_SLASH = 0x35, DIK_RSHIFT = 0x36, DIK_MULTIPLY = 0x37, DIK_LMENU = 0x38,
    DIK_SPACE = 0x39, DIK_CAPITAL = 0x3A, DIK_F1 = 0x3B, DIK_F2 = 0x3C, DIK_F3 = 0x3D, DIK_F4 = 0x3E,
    DIK_F5 = 0x3F, DIK_F6 = 0x40, DIK_F7 = 0x41, DIK_F8 = 0x42, DIK_F9 = 0x43, DIK_F10 = 0x44,
    DIK_NUMLOCK = 0x45, DIK_SCROLL = 0x46, DIK_NUMPAD7 = 0x47, DIK_NUMPAD8 = 0x48, DIK_NUMPAD9 = 0x49,
    DIK_SUBTRACT = 0x4A, DIK_NUMPAD4 = 0x4B, DIK_NUMPAD5 = 0x4C, DIK_NUMPAD6 = 0x4D, DIK_ADD = 0x4E,
    DIK_NUMPAD1 = 0x4F, DIK_NUMPAD2 = 0x50, DIK_NUMPAD3 = 0x51, DIK_NUMPAD0 = 0x52, DIK_DECIMAL = 0x53,
    DIK_OEM_102 = 0x56, DIK_F11 = 0x57, DIK_F12 = 0x58, DIK_F13 = 0x64, DIK_F14 = 0x65, DIK_F15 = 0x66,
    DIK_KANA = 0x70, DIK_ABNT_C1 = 0x73, DIK_CONVERT = 0x79, DIK_NOCONVERT = 0x7B, DIK_YEN = 0x7D,
    DIK_NUMPADEQUALS = 0x8D, DIK_PREVTRACK = 0x90, DIK_NEXTTRACK = 0x99, DIK_NUMPADENTER = 0x9C,
    DIK_RCONTROL = 0x9D, DIK_MUTE = 0xA0, DIK_CALCULATOR = 0xA1, DIK_PLAYPAUSE = 0xA2, DIK_MEDIASTOP = 0xA4,
    DIK_VOLUMEDOWN = 0xAE, DIK_VOLUMEUP = 0xB0, DIK_WEBHOME = 0xB2, DIK_NUMPADCOMMA = 0xB3, DIK_DIVIDE = 0xB5,
    DIK_SYSRQ = 0xB7, DIK_RMENU = 0xB8, DIK_PAUSE = 0xC5, DIK_HOME = 0xC7, DIK_UP = 0xC8, DIK_PRIOR = 0xC9,
    DIK_LEFT = 0xCB, DIK_RIGHT = 0xCD, DIK_END = 0xCF, DIK_DOWN = 0xD0, DIK_NEXT = 0xD1, DIK_INSERT = 0xD2,
    DIK_DELETE = 0xD3, DIK_LWIN = 0xDB, DIK_RWIN = 0xDC, DIK_APPS = 0xDD, DIK_POWER = 0xDE, DIK_SLEEP = 0xDF,
    DIK_WEBSEARCH = 0xE5, DIK_WEBFAVORITES = 0xE6, DIK_WEBREFRESH = 0xE7, DIK_WEBSTOP = 0xE8,
    DIK_WEBFORWARD = 0xE9, DIK_WEBBACK = 0xEA, DIK_MYCOMPUTER = 0xEB, DIK_MAIL = 0xEC, DIK_MEDIASELECT = 0xED,
};
// clang-format on

} // namespace dinput
