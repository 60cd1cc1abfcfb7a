#include "WeInput.h"

#include "WeAppWindow.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeUIMain.h"
#include "win32/Win32Cursor.h"

#include <cstring>

using namespace dinput;

namespace
{

constexpr int32_t kAxisCentre = 32767;
constexpr uint8_t kKeyDownBit = 0x80; // a key is down by bit 7 of its byte
constexpr uint8_t kAnyBit = 0xFF;     // a button by any bit of its byte

win32::HWND EngineWindowHandle()
{
    return engine.window ? engine.window->handle : nullptr;
}

bool TakeFirstController(const DIDEVICEINSTANCEA* instance, void* reference)
{
    WeInput& owner = *static_cast<WeInput*>(reference);
    return Failed(owner.directInput->CreateDevice(instance->guidInstance, &owner.controller))
               ? DIENUM_CONTINUE
               : DIENUM_STOP;
}

// One device's read and its acquisition state, for the re-acquire walk.
struct DeviceRead
{
    IDirectInputDevice8A* device;
    bool* lost;
    HRESULT* result;
    uint32_t size;
    void* state;
};

} // namespace

WeInput::WeInput()
    : keyRepeatDelay(&WeConfig::GetFloat("engine.Input.KeyRepeatDelay", 1.0f)),
      keyRepeatSpeed(&WeConfig::GetFloat("engine.Input.KeyRepeatSpeed", 0.25f))
{
}

bool WeInput::Init(void* instance, bool withController)
{
    if (initialised)
        return true;
    if (Failed(
            DirectInput8Create(static_cast<win32::HINSTANCE>(instance), DIRECTINPUT_VERSION, &directInput)))
    {
        engine.lastError = "Error: Cannot initialize DirectInput";
        return false;
    }
    if (Failed(directInput->CreateDevice(GUID_SysKeyboard, &keyboard)))
    {
        directInput.reset();
        engine.lastError = "Error: Cannot create keyboard device";
        return false;
    }
    if (Failed(directInput->CreateDevice(GUID_SysMouse, &mouse)))
    {
        keyboard.reset();
        directInput.reset();
        engine.lastError = "Error: Cannot create mouse device";
        return false;
    }
    if (withController)
        OpenController();
    const win32::HWND window = EngineWindowHandle();
    keyboard->SetDataFormat(c_dfDIKeyboard);
    mouse->SetDataFormat(c_dfDIMouse2);
    keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND |
                                              (engine.settings.keyboardFlag ? 0 : DISCL_NOWINKEY));
    mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    keyboard->SetBufferSize(16);
    keyboard->Acquire();
    mouse->Acquire();
    initialised = true;
    return true;
}

void WeInput::OpenController()
{
    directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, TakeFirstController, this, DIEDFL_ATTACHEDONLY);
    if (!controller)
        return;
    if (Failed(controller->SetDataFormat(c_dfDIJoystick2)) ||
        Failed(controller->SetCooperativeLevel(EngineWindowHandle(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND)))
    {
        controller.reset();
        return;
    }
    controller->Acquire();
}

void WeInput::Shutdown()
{
    if (!initialised)
        return;
    for (auto* device : {&keyboard, &mouse, &controller})
    {
        if (*device)
            (*device)->Unacquire();
        device->reset();
    }
    directInput.reset();
    initialised = false;
}

void WeInput::BeginFrame()
{
    std::memcpy(keysPrevious, keysDown, sizeof(keysDown));
    std::memcpy(mousePrevious, mouseDown, sizeof(mouseDown));
    std::memcpy(joyPrevious, joyDown, sizeof(joyDown));
    for (uint8_t* flags : {keysDown, keysClicked})
        std::memset(flags, 0, kKeyCount);
    for (uint8_t* flags : {mouseDown, mouseClicked})
        std::memset(flags, 0, kMouseButtonCount);
    for (uint8_t* flags : {joyDown, joyClicked})
        std::memset(flags, 0, kJoyButtonCount);
    // The clicks just cleared are no longer there to be consumed.
    clickedCount = 0;
    joyX = joyY = joyZ = kAxisCentre;
    mouseMovedX = mouseMovedY = mouseMovedZ = 0;
    GetCursorPosition(&cursorX, &cursorY);
}

void WeInput::GetCursorPosition(int32_t* x, int32_t* y) const
{
    *x = *y = 0;
    const win32::HWND window = EngineWindowHandle();
    win32::POINT cursor{0, 0};
    win32::RECT client{};
    if (!window || !win32::GetCursorPos(&cursor) || !win32::ScreenToClient(window, &cursor) ||
        !win32::GetClientRect(window, &client))
        return;
    const int64_t clientWidth = client.right - client.left;
    const int64_t clientHeight = client.bottom - client.top;
    if (clientWidth <= 0 || clientHeight <= 0)
        return;
    *x = static_cast<int32_t>(renderDevice.BackBufferWidth() * int64_t(cursor.x) / clientWidth);
    *y = static_cast<int32_t>(renderDevice.BackBufferHeight() * int64_t(cursor.y) / clientHeight);
}

bool WeInput::ReacquireDevices(HRESULT* keyboardResult, HRESULT* mouseResult, HRESULT* controllerResult)
{
    DeviceRead reads[] = {
        {keyboard.get(), &keyboardLost, keyboardResult, sizeof(rawKeys), rawKeys},
        {mouse.get(), &mouseLost, mouseResult, sizeof(mouseState), &mouseState},
        {controller.get(), &controllerLost, controllerResult, sizeof(controllerState), &controllerState},
    };
    bool justLost[3] = {};
    for (int32_t i = 0; i < 3; ++i)
    {
        if (reads[i].device && *reads[i].result == DIERR_INPUTLOST)
        {
            *reads[i].lost = true;
            justLost[i] = true;
            reads[i].device->Unacquire();
        }
    }
    bool allRead = true;
    for (int32_t i = 0; i < 3; ++i)
    {
        DeviceRead& read = reads[i];
        const bool retry = (*read.lost && !justLost[i]) || *read.result == DIERR_NOTACQUIRED;
        if (read.device && retry && !Failed(read.device->Acquire()))
        {
            *read.lost = false;
            // Read afresh: the buffer of the last good read would still show the keys held when
            // the device was lost, and they would come back as clicks.
            *read.result = read.device->GetDeviceState(read.size, read.state);
        }
        allRead = allRead && !Failed(*read.result);
    }
    return allRead;
}

void WeInput::DeriveStates(const uint8_t* state, uint8_t downMask, uint8_t* down, const uint8_t* previous,
                           uint8_t* clicked, int32_t count, bool clickOnPress)
{
    for (int32_t i = 0; i < count; ++i)
    {
        down[i] = (state[i] & downMask) ? 1 : 0;
        const bool click = clickOnPress ? (down[i] && !previous[i]) : (!down[i] && previous[i]);
        if (click)
        {
            clicked[i] = 1;
            ++clickedCount;
        }
    }
}

void WeInput::Poll()
{
    if (!initialised)
        return;
    HRESULT keyboardResult = keyboard->GetDeviceState(sizeof(rawKeys), rawKeys);
    HRESULT mouseResult = mouse->GetDeviceState(sizeof(mouseState), &mouseState);
    HRESULT controllerResult =
        controller ? controller->GetDeviceState(sizeof(controllerState), &controllerState) : -1;
    ReacquireDevices(&keyboardResult, &mouseResult, &controllerResult);
    clickedCount = 0;
    const bool keyboardRead = !Failed(keyboardResult);
    const bool mouseRead = !Failed(mouseResult);
    if (keyboardRead)
    {
        DeriveStates(rawKeys, kKeyDownBit, keysDown, keysPrevious, keysClicked, kKeyCount, true);
        alt = keysDown[DIK_LMENU] || keysDown[DIK_RMENU];
        ctrl = keysDown[DIK_LCONTROL] || keysDown[DIK_RCONTROL];
        shift = keysDown[DIK_LSHIFT] || keysDown[DIK_RSHIFT];
    }
    if (mouseRead)
    {
        DeriveStates(mouseState.rgbButtons, kAnyBit, mouseDown, mousePrevious, mouseClicked,
                     kMouseButtonCount, false);
        mouseMovedX = mouseState.lX;
        mouseMovedY = mouseState.lY;
        mouseMovedZ = mouseState.lZ;
    }
    if (controller && !Failed(controllerResult))
    {
        DeriveStates(controllerState.rgbButtons, kAnyBit, joyDown, joyPrevious, joyClicked, kJoyButtonCount,
                     false);
        joyX = controllerState.lX;
        joyY = controllerState.lY;
        joyZ = controllerState.lZ;
    }
    if (keyboardRead)
        for (int32_t key = 0; key < kKeyCount; ++key)
            if (keysDown[key] != keysPrevious[key])
                keysDown[key] ? uiMain.PostKeyDown(key) : uiMain.PostKeyUp(key);
    if (mouseRead)
    {
        uiMain.PostMouseMove(cursorX, cursorY, mouseMovedZ);
        for (int32_t button = 0; button < kMouseButtonCount; ++button)
            if (mouseDown[button] != mousePrevious[button])
                mouseDown[button] ? uiMain.PostMouseDown(button) : uiMain.PostMouseUp(button);
    }
}

bool WeInput::UseClick(uint8_t* clicked, int32_t count, int32_t index)
{
    if (index < 0 || index >= count || !clicked[index])
        return false;
    clicked[index] = 0;
    --clickedCount;
    return true;
}

bool WeInput::UsePress(uint8_t* down, uint8_t* clicked, int32_t count, int32_t index)
{
    if (index < 0 || index >= count || !down[index])
        return false;
    UseClick(clicked, count, index);
    down[index] = 0;
    return true;
}
