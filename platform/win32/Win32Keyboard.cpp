#include "win32/Win32Keyboard.h"

#include <SDL2/SDL_scancode.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace win32
{

namespace
{

struct KeyboardState
{
    uint8_t keys[256] = {};
    char16_t typed[256][4] = {}; // per message key: what its last key-down typed, zero ended
    HKL layout = 0x04090409;     // US English
};

KeyboardState& Keyboard()
{
    static KeyboardState state;
    return state;
}

KeyCodes Key(uint8_t scanCode, uint8_t key)
{
    return {scanCode, key, key};
}
KeyCodes Modifier(uint8_t scanCode, uint8_t sidedKey, uint32_t messageKey)
{
    return {scanCode, sidedKey, static_cast<uint8_t>(messageKey)};
}

bool IsToggleKey(uint32_t key)
{
    return key == VK_CAPITAL || key == VK_NUMLOCK || key == VK_SCROLL;
}

} // namespace

KeyCodes KeyCodesOfScancode(int32_t sdlScancode)
{
    // Letters and digits: PC scan codes by position, the virtual key is the character itself.
    static const uint8_t letterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                                0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                                0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    if (sdlScancode >= SDL_SCANCODE_A && sdlScancode <= SDL_SCANCODE_Z)
    {
        const int32_t index = sdlScancode - SDL_SCANCODE_A;
        return Key(letterScanCodes[index], static_cast<uint8_t>('A' + index));
    }
    if (sdlScancode >= SDL_SCANCODE_1 && sdlScancode <= SDL_SCANCODE_0)
    {
        const int32_t index = sdlScancode - SDL_SCANCODE_1; // 1..9, then 0
        return Key(static_cast<uint8_t>(0x02 + index), static_cast<uint8_t>(index == 9 ? '0' : '1' + index));
    }
    if (sdlScancode >= SDL_SCANCODE_F1 && sdlScancode <= SDL_SCANCODE_F10)
    {
        const int32_t index = sdlScancode - SDL_SCANCODE_F1;
        return Key(static_cast<uint8_t>(0x3B + index), static_cast<uint8_t>(VK_F1 + index));
    }
    // One key a line.
    // clang-format off
    switch (sdlScancode)
    {
    case SDL_SCANCODE_RETURN: return Key(0x1C, VK_RETURN);
    case SDL_SCANCODE_ESCAPE: return Key(0x01, VK_ESCAPE);
    case SDL_SCANCODE_BACKSPACE: return Key(0x0E, VK_BACK);
    case SDL_SCANCODE_TAB: return Key(0x0F, VK_TAB);
    case SDL_SCANCODE_SPACE: return Key(0x39, VK_SPACE);
    case SDL_SCANCODE_MINUS: return Key(0x0C, 0xBD);
    case SDL_SCANCODE_EQUALS: return Key(0x0D, 0xBB);
    case SDL_SCANCODE_LEFTBRACKET: return Key(0x1A, 0xDB);
    case SDL_SCANCODE_RIGHTBRACKET: return Key(0x1B, 0xDD);
    case SDL_SCANCODE_BACKSLASH: return Key(0x2B, 0xDC);
    case SDL_SCANCODE_NONUSHASH: return Key(0x2B, 0xDC);
    case SDL_SCANCODE_SEMICOLON: return Key(0x27, 0xBA);
    case SDL_SCANCODE_APOSTROPHE: return Key(0x28, 0xDE);
    case SDL_SCANCODE_GRAVE: return Key(0x29, 0xC0);
    case SDL_SCANCODE_COMMA: return Key(0x33, 0xBC);
    case SDL_SCANCODE_PERIOD: return Key(0x34, 0xBE);
    case SDL_SCANCODE_SLASH: return Key(0x35, 0xBF);
    case SDL_SCANCODE_CAPSLOCK: return Key(0x3A, VK_CAPITAL);
    case SDL_SCANCODE_F11: return Key(0x57, 0x7A);
    case SDL_SCANCODE_F12: return Key(0x58, 0x7B);
    case SDL_SCANCODE_F13: return Key(0x64, 0x7C);
    case SDL_SCANCODE_F14: return Key(0x65, 0x7D);
    case SDL_SCANCODE_F15: return Key(0x66, 0x7E);
    case SDL_SCANCODE_PRINTSCREEN: return Key(0xB7, VK_SNAPSHOT);
    case SDL_SCANCODE_SCROLLLOCK: return Key(0x46, VK_SCROLL);
    case SDL_SCANCODE_PAUSE: return Key(0xC5, VK_PAUSE);
    case SDL_SCANCODE_INSERT: return Key(0xD2, VK_INSERT);
    case SDL_SCANCODE_HOME: return Key(0xC7, VK_HOME);
    case SDL_SCANCODE_PAGEUP: return Key(0xC9, VK_PRIOR);
    case SDL_SCANCODE_DELETE: return Key(0xD3, VK_DELETE);
    case SDL_SCANCODE_END: return Key(0xCF, VK_END);
    case SDL_SCANCODE_PAGEDOWN: return Key(0xD1, VK_NEXT);
    case SDL_SCANCODE_RIGHT: return Key(0xCD, VK_RIGHT);
    case SDL_SCANCODE_LEFT: return Key(0xCB, VK_LEFT);
    case SDL_SCANCODE_DOWN: return Key(0xD0, VK_DOWN);
    case SDL_SCANCODE_UP: return Key(0xC8, VK_UP);
    case SDL_SCANCODE_NUMLOCKCLEAR: return Key(0x45, VK_NUMLOCK);
    case SDL_SCANCODE_KP_DIVIDE: return Key(0xB5, 0x6F);
    case SDL_SCANCODE_KP_MULTIPLY: return Key(0x37, 0x6A);
    case SDL_SCANCODE_KP_MINUS: return Key(0x4A, 0x6D);
    case SDL_SCANCODE_KP_PLUS: return Key(0x4E, 0x6B);
    case SDL_SCANCODE_KP_ENTER: return Key(0x9C, VK_RETURN);
    case SDL_SCANCODE_KP_1: return Key(0x4F, VK_NUMPAD0 + 1);
    case SDL_SCANCODE_KP_2: return Key(0x50, VK_NUMPAD0 + 2);
    case SDL_SCANCODE_KP_3: return Key(0x51, VK_NUMPAD0 + 3);
    case SDL_SCANCODE_KP_4: return Key(0x4B, VK_NUMPAD0 + 4);
    case SDL_SCANCODE_KP_5: return Key(0x4C, VK_NUMPAD0 + 5);
    case SDL_SCANCODE_KP_6: return Key(0x4D, VK_NUMPAD0 + 6);
    case SDL_SCANCODE_KP_7: return Key(0x47, VK_NUMPAD0 + 7);
    case SDL_SCANCODE_KP_8: return Key(0x48, VK_NUMPAD0 + 8);
    case SDL_SCANCODE_KP_9: return Key(0x49, VK_NUMPAD0 + 9);
    case SDL_SCANCODE_KP_0: return Key(0x52, VK_NUMPAD0);
    case SDL_SCANCODE_KP_PERIOD: return Key(0x53, 0x6E);
    case SDL_SCANCODE_KP_EQUALS: return Key(0x8D, 0x92);
    case SDL_SCANCODE_KP_COMMA: return Key(0xB3, 0x6C);
    case SDL_SCANCODE_NONUSBACKSLASH: return Key(0x56, 0xE2);
    case SDL_SCANCODE_APPLICATION: return Key(0xDD, VK_APPS);
    case SDL_SCANCODE_POWER: return Key(0xDE, 0);
    case SDL_SCANCODE_SLEEP: return Key(0xDF, 0x5F);
    case SDL_SCANCODE_INTERNATIONAL1: return Key(0x73, 0xC1);
    case SDL_SCANCODE_INTERNATIONAL2: return Key(0x70, 0x15);
    case SDL_SCANCODE_INTERNATIONAL3: return Key(0x7D, 0);
    case SDL_SCANCODE_INTERNATIONAL4: return Key(0x79, 0x1C);
    case SDL_SCANCODE_INTERNATIONAL5: return Key(0x7B, 0x1D);
    case SDL_SCANCODE_MUTE: return Key(0xA0, 0xAD);
    case SDL_SCANCODE_AUDIOMUTE: return Key(0xA0, 0xAD);
    case SDL_SCANCODE_VOLUMEUP: return Key(0xB0, 0xAF);
    case SDL_SCANCODE_VOLUMEDOWN: return Key(0xAE, 0xAE);
    case SDL_SCANCODE_AUDIONEXT: return Key(0x99, 0xB0);
    case SDL_SCANCODE_AUDIOPREV: return Key(0x90, 0xB1);
    case SDL_SCANCODE_AUDIOSTOP: return Key(0xA4, 0xB2);
    case SDL_SCANCODE_AUDIOPLAY: return Key(0xA2, 0xB3);
    case SDL_SCANCODE_MEDIASELECT: return Key(0xED, 0xB5);
    case SDL_SCANCODE_MAIL: return Key(0xEC, 0xB4);
    case SDL_SCANCODE_CALCULATOR: return Key(0xA1, 0xB7);
    case SDL_SCANCODE_COMPUTER: return Key(0xEB, 0xB6);
    case SDL_SCANCODE_AC_SEARCH: return Key(0xE5, 0xAA);
    case SDL_SCANCODE_AC_HOME: return Key(0xB2, 0xAC);
    case SDL_SCANCODE_AC_BACK: return Key(0xEA, 0xA6);
    case SDL_SCANCODE_AC_FORWARD: return Key(0xE9, 0xA7);
    case SDL_SCANCODE_AC_STOP: return Key(0xE8, 0xA9);
    case SDL_SCANCODE_AC_REFRESH: return Key(0xE7, 0xA8);
    case SDL_SCANCODE_AC_BOOKMARKS: return Key(0xE6, 0xAB);
    case SDL_SCANCODE_LCTRL: return Modifier(0x1D, VK_LCONTROL, VK_CONTROL);
    case SDL_SCANCODE_LSHIFT: return Modifier(0x2A, VK_LSHIFT, VK_SHIFT);
    case SDL_SCANCODE_LALT: return Modifier(0x38, VK_LMENU, VK_MENU);
    case SDL_SCANCODE_LGUI: return Key(0xDB, VK_LWIN);
    case SDL_SCANCODE_RCTRL: return Modifier(0x9D, VK_RCONTROL, VK_CONTROL);
    case SDL_SCANCODE_RSHIFT: return Modifier(0x36, VK_RSHIFT, VK_SHIFT);
    case SDL_SCANCODE_RALT: return Modifier(0xB8, VK_RMENU, VK_MENU);
    case SDL_SCANCODE_RGUI: return Key(0xDC, VK_RWIN);
    default: return {0, 0, 0};
    }
    // clang-format on
}

void RecordKeyStroke(uint32_t sidedKey, uint32_t messageKey, bool down)
{
    uint8_t* keys = Keyboard().keys;
    for (const uint32_t key : {sidedKey & 0xFF, messageKey & 0xFF})
    {
        if (down && IsToggleKey(key) && !(keys[key] & 0x80))
            keys[key] ^= 0x01;
        keys[key] = static_cast<uint8_t>(down ? keys[key] | 0x80 : keys[key] & ~0x80);
    }
    // A side-less modifier stays down while the other side still is.
    const uint32_t sides[][3] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
                                 {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
                                 {VK_MENU, VK_LMENU, VK_RMENU}};
    for (const auto& side : sides)
        if (messageKey == side[0] && ((keys[side[1]] | keys[side[2]]) & 0x80))
            keys[side[0]] |= 0x80;
}

void RecordTypedText(uint32_t messageKey, const char16_t* typed)
{
    char16_t* slot = Keyboard().typed[messageKey & 0xFF];
    int32_t i = 0;
    for (; i < 3 && typed[i]; ++i)
        slot[i] = typed[i];
    slot[i] = 0;
}

bool GetKeyboardState(uint8_t* state)
{
    std::memcpy(state, Keyboard().keys, sizeof(Keyboard().keys));
    return true;
}

int16_t GetAsyncKeyState(int32_t virtualKey)
{
    if (virtualKey < 0 || virtualKey > 255)
        return 0;
    return (Keyboard().keys[virtualKey] & 0x80) ? static_cast<int16_t>(0x8000) : 0;
}

int32_t ToUnicodeEx(uint32_t virtualKey, uint32_t, const uint8_t*, char16_t* buffer, int32_t bufferLength,
                    uint32_t, HKL)
{
    const char16_t* typed = Keyboard().typed[virtualKey & 0xFF];
    int32_t count = 0;
    for (; count < bufferLength && typed[count]; ++count)
        buffer[count] = typed[count];
    return count;
}

uint32_t MapVirtualKeyA(uint32_t code, uint32_t mapType)
{
    for (int32_t scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
    {
        const KeyCodes codes = KeyCodesOfScancode(scancode);
        if (codes.scanCode == 0)
            continue;
        if (mapType == MAPVK_VK_TO_VSC && codes.messageKey == code)
            return codes.scanCode & 0x7F;
        if (mapType == MAPVK_VSC_TO_VK && (codes.scanCode & 0x7F) == code && !(codes.scanCode & 0x80))
            return codes.messageKey;
    }
    return 0;
}

HKL GetKeyboardLayout(uint32_t)
{
    return Keyboard().layout;
}

HKL LoadKeyboardLayoutA(const char* layoutName, uint32_t)
{
    if (!layoutName)
        return 0;
    char* end = nullptr;
    const unsigned long language = std::strtoul(layoutName, &end, 16);
    if (end == layoutName || *end != '\0')
        return 0;
    const HKL low = static_cast<HKL>(language & 0xFFFF);
    Keyboard().layout = low | low << 16;
    return Keyboard().layout;
}

} // namespace win32
