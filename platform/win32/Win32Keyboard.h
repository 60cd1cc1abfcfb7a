// Keyboard calls of the Win32 layer: virtual-key codes, the keyboard state as the thread's key
// messages left it, the character a key typed, and keyboard layouts; plus the one table that
// names every SDL key by its PC scan code (the DirectInput key code) and its virtual key.
#pragma once

#include <cstdint>

namespace win32
{

// Virtual keys the engine names.
constexpr uint32_t VK_BACK = 0x08;
constexpr uint32_t VK_TAB = 0x09;
constexpr uint32_t VK_RETURN = 0x0D;
constexpr uint32_t VK_SHIFT = 0x10;
constexpr uint32_t VK_CONTROL = 0x11;
constexpr uint32_t VK_MENU = 0x12;
constexpr uint32_t VK_PAUSE = 0x13;
constexpr uint32_t VK_CAPITAL = 0x14;
constexpr uint32_t VK_ESCAPE = 0x1B;
constexpr uint32_t VK_SPACE = 0x20;
constexpr uint32_t VK_PRIOR = 0x21;
constexpr uint32_t VK_NEXT = 0x22;
constexpr uint32_t VK_END = 0x23;
constexpr uint32_t VK_HOME = 0x24;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;
constexpr uint32_t VK_SNAPSHOT = 0x2C;
constexpr uint32_t VK_INSERT = 0x2D;
constexpr uint32_t VK_DELETE = 0x2E;
constexpr uint32_t VK_LWIN = 0x5B;
constexpr uint32_t VK_RWIN = 0x5C;
constexpr uint32_t VK_APPS = 0x5D;
constexpr uint32_t VK_NUMPAD0 = 0x60;
constexpr uint32_t VK_F1 = 0x70;
constexpr uint32_t VK_F4 = 0x73;
constexpr uint32_t VK_F10 = 0x79;
constexpr uint32_t VK_NUMLOCK = 0x90;
constexpr uint32_t VK_SCROLL = 0x91;
constexpr uint32_t VK_LSHIFT = 0xA0;
constexpr uint32_t VK_RSHIFT = 0xA1;
constexpr uint32_t VK_LCONTROL = 0xA2;
constexpr uint32_t VK_RCONTROL = 0xA3;
constexpr uint32_t VK_LMENU = 0xA4;
constexpr uint32_t VK_RMENU = 0xA5;

using HKL = uintptr_t;

// MapVirtualKeyA map types.
constexpr uint32_t MAPVK_VK_TO_VSC = 0;
constexpr uint32_t MAPVK_VSC_TO_VK = 1;

// The names of one physical key: its PC scan code with 0x80 added for the E0-prefixed keys (the
// DirectInput key code), the key's own side-specific virtual key and the virtual key its key
// messages carry (the side-less one for Shift, Ctrl and Alt). All 0 for a key with no code.
struct KeyCodes
{
    uint8_t scanCode;
    uint8_t sidedKey;
    uint8_t messageKey;
};

// The codes of an SDL scan code (an SDL_Scancode value); all 0 for one out of range.
KeyCodes KeyCodesOfScancode(int32_t sdlScancode);

// Fills 256 bytes by virtual key: bit 7 = down, bit 0 = toggled on (Caps, Num and Scroll Lock),
// as the key messages retrieved so far left them.
bool GetKeyboardState(uint8_t* state);
// Bit 15 set while the key is down.
int16_t GetAsyncKeyState(int32_t virtualKey);
// The UTF-16 units the key typed on its last key-down (a key-up with bit 31 of the scan code
// hands out the same); returns their number, 0 when it typed none.
int32_t ToUnicodeEx(uint32_t virtualKey, uint32_t scanCode, const uint8_t* keyState, char16_t* buffer,
                    int32_t bufferLength, uint32_t flags, HKL layout);
uint32_t MapVirtualKeyA(uint32_t code, uint32_t mapType);
// Layouts are recorded, not switched: characters come in the desktop's own layout.
HKL GetKeyboardLayout(uint32_t threadId);
HKL LoadKeyboardLayoutA(const char* layoutName, uint32_t flags);

// Beyond Win32, for the window layer: records a key stroke in the state, and what it typed.
void RecordKeyStroke(uint32_t sidedKey, uint32_t messageKey, bool down);
void RecordTypedText(uint32_t messageKey, const char16_t* typed);

} // namespace win32
