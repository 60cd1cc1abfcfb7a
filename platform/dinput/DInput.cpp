#include "dinput/DInput.h"

#include "win32/Win32Keyboard.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>

namespace dinput
{

namespace
{

// One key or button between two reads. A state read once a frame would miss a press released
// before the read, so every press is latched until a read has shown it down; a press that follows
// a release not yet shown waits while a read shows that release. Thus each press is seen down for
// one read at least and, for a button whose click is its release, up in a later one.
class PressLatch
{
public:
    void Press()
    {
        if (!down && presses < kMaxWaitingPresses)
            ++presses;
        down = true;
    }
    void Release() { down = false; }
    // What this read shows, bit 7 = down.
    uint8_t Read()
    {
        if (shown)
            shown = down && presses == 0;
        else if (presses > 0)
        {
            shown = true;
            --presses;
        }
        return shown ? 0x80 : 0;
    }
    // What happened while the device was not acquired is not shown: the next read is of now.
    void Forget()
    {
        presses = 0;
        shown = down;
    }

private:
    bool down = false;   // by the events
    bool shown = false;  // by the last read
    int32_t presses = 0; // not yet shown down; capped so that a long frame leaves no queue of old taps
};

uint32_t SizeOf(DataFormat format)
{
    switch (format)
    {
    case DataFormat::Keyboard:
        return 256;
    case DataFormat::Mouse2:
        return sizeof(DIMOUSESTATE2);
    case DataFormat::Joystick2:
        return sizeof(DIJOYSTATE2);
    }
    return 0;
}

// Acquisition as DirectInput has it: a device with the foreground level can be acquired only
// while its window has the foreground, and loses the acquisition when the foreground leaves.
class SdlDevice : public IDirectInputDevice8A
{
public:
    explicit SdlDevice(DataFormat format) : format(format) {}

    HRESULT SetDataFormat(DataFormat wanted) override
    {
        return wanted == format ? DI_OK : DIERR_INVALIDPARAM;
    }
    HRESULT SetCooperativeLevel(win32::HWND window, uint32_t flags) override
    {
        cooperativeWindow = window;
        foreground = (flags & DISCL_FOREGROUND) != 0;
        return DI_OK;
    }
    HRESULT SetBufferSize(uint32_t) override { return DI_OK; }
    HRESULT Acquire() override
    {
        if (foreground && win32::GetForegroundWindow() != cooperativeWindow)
            return DIERR_OTHERAPPHASPRIO;
        if (!acquired)
            Forget();
        acquired = true;
        lossesAtAcquire = win32::GetForegroundLossCount();
        return DI_OK;
    }
    HRESULT Unacquire() override
    {
        acquired = false;
        return DI_OK;
    }
    HRESULT GetDeviceState(uint32_t size, void* data) override
    {
        if (size != SizeOf(format) || !data)
            return DIERR_INVALIDPARAM;
        if (!acquired)
            return DIERR_NOTACQUIRED;
        if (foreground && win32::GetForegroundLossCount() != lossesAtAcquire)
        {
            acquired = false;
            return DIERR_INPUTLOST;
        }
        SDL_PumpEvents();
        ReadState(data);
        return DI_OK;
    }

protected:
    virtual void ReadState(void* data) = 0;
    virtual void Forget() {}

private:
    DataFormat format;
    win32::HWND cooperativeWindow = nullptr;
    bool foreground = false;
    bool acquired = false;
    uint32_t lossesAtAcquire = 0;
};

// A device that follows SDL's events through an event watch, so that it sees every event as it
// enters SDL's queue, whoever takes it out.
class SdlWatchingDevice : public SdlDevice
{
public:
    explicit SdlWatchingDevice(DataFormat format) : SdlDevice(format) { SDL_AddEventWatch(Watch, this); }
    ~SdlWatchingDevice() override { SDL_DelEventWatch(Watch, this); }

protected:
    virtual void Take(const SDL_Event& event) = 0;

private:
    static int Watch(void* device, SDL_Event* event)
    {
        static_cast<SdlWatchingDevice*>(device)->Take(*event);
        return 0;
    }
};

class SdlKeyboard : public SdlWatchingDevice
{
public:
    SdlKeyboard() : SdlWatchingDevice(DataFormat::Keyboard) {}

private:
    void Take(const SDL_Event& event) override
    {
        if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP)
            return;
        if (const uint8_t code = KeyCodeOfScancode(event.key.keysym.scancode))
            event.type == SDL_KEYDOWN ? keys[code].Press() : keys[code].Release();
    }
    void ReadState(void* data) override
    {
        auto* state = static_cast<uint8_t*>(data);
        for (int32_t code = 0; code < 256; ++code)
            state[code] = keys[code].Read();
    }
    void Forget() override
    {
        for (PressLatch& key : keys)
            key.Forget();
    }

    PressLatch keys[256];
};

class SdlMouse : public SdlWatchingDevice
{
public:
    SdlMouse() : SdlWatchingDevice(DataFormat::Mouse2) {}

private:
    void Take(const SDL_Event& event) override
    {
        switch (event.type)
        {
        case SDL_MOUSEMOTION:
            moveX += event.motion.xrel;
            moveY += event.motion.yrel;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        {
            const int32_t button = MouseButtonOfSdlButton(event.button.button);
            if (button >= 0)
                event.type == SDL_MOUSEBUTTONDOWN ? buttons[button].Press() : buttons[button].Release();
            break;
        }
        case SDL_MOUSEWHEEL:
        {
            const float notches = event.wheel.preciseY != 0.0f ? event.wheel.preciseY : float(event.wheel.y);
            const int32_t delta = static_cast<int32_t>(notches * 120.0f + (notches < 0 ? -0.5f : 0.5f));
            wheel += event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -delta : delta;
            break;
        }
        default:
            break;
        }
    }
    void ReadState(void* data) override
    {
        DIMOUSESTATE2 state{moveX, moveY, wheel, {}};
        for (int32_t button = 0; button < 8; ++button)
            state.rgbButtons[button] = buttons[button].Read();
        moveX = moveY = wheel = 0;
        std::memcpy(data, &state, sizeof(state));
    }
    void Forget() override
    {
        for (PressLatch& button : buttons)
            button.Forget();
        moveX = moveY = wheel = 0;
    }

    PressLatch buttons[8];
    int32_t moveX = 0, moveY = 0, wheel = 0;
};

class SdlJoystick : public SdlDevice
{
public:
    explicit SdlJoystick(SDL_Joystick* joystick) : SdlDevice(DataFormat::Joystick2), joystick(joystick) {}
    ~SdlJoystick() override { SDL_JoystickClose(joystick); }

private:
    int32_t Axis(int32_t index) const
    {
        return index < SDL_JoystickNumAxes(joystick) ? SDL_JoystickGetAxis(joystick, index) + 32768 : 32767;
    }
    uint32_t PointOfView(int32_t index) const
    {
        if (index >= SDL_JoystickNumHats(joystick))
            return 0xFFFFFFFFu;
        switch (SDL_JoystickGetHat(joystick, index))
        {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return 0xFFFFFFFFu;
        }
    }
    void ReadState(void* data) override
    {
        SDL_JoystickUpdate();
        DIJOYSTATE2 state{};
        int32_t* axes[] = {&state.lX,  &state.lY,  &state.lZ,           &state.lRx,
                           &state.lRy, &state.lRz, &state.rglSlider[0], &state.rglSlider[1]};
        for (int32_t i = 0; i < 8; ++i)
            *axes[i] = Axis(i);
        for (int32_t i = 0; i < 4; ++i)
            state.rgdwPOV[i] = PointOfView(i);
        const int32_t buttons = std::min(SDL_JoystickNumButtons(joystick), 128);
        for (int32_t i = 0; i < buttons; ++i)
            state.rgbButtons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
        std::memcpy(data, &state, sizeof(state));
    }

    SDL_Joystick* joystick;
};

class SdlDirectInput : public IDirectInput8A
{
public:
    ~SdlDirectInput() override
    {
        if (joysticksStarted)
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    HRESULT CreateDevice(const GUID& device, std::unique_ptr<IDirectInputDevice8A>* created) override
    {
        if (device == GUID_SysKeyboard)
            *created = std::make_unique<SdlKeyboard>();
        else if (device == GUID_SysMouse)
            *created = std::make_unique<SdlMouse>();
        else if (device.kind == kGameControllerDevice && StartJoysticks())
        {
            SDL_Joystick* joystick = SDL_JoystickOpen(device.index);
            if (!joystick)
                return DIERR_DEVICENOTREG;
            *created = std::make_unique<SdlJoystick>(joystick);
        }
        else
            return DIERR_DEVICENOTREG;
        return DI_OK;
    }

    HRESULT EnumDevices(uint32_t deviceClass, LPDIENUMDEVICESCALLBACKA callback, void* reference,
                        uint32_t) override
    {
        if (deviceClass != DI8DEVCLASS_GAMECTRL || !StartJoysticks())
            return DI_OK;
        const int32_t count = SDL_NumJoysticks();
        for (int32_t i = 0; i < count; ++i)
        {
            DIDEVICEINSTANCEA instance{{kGameControllerDevice, i}, {}};
            const char* name = SDL_JoystickNameForIndex(i);
            std::strncpy(instance.tszProductName, name ? name : "", sizeof(instance.tszProductName) - 1);
            if (callback(&instance, reference) == DIENUM_STOP)
                break;
        }
        return DI_OK;
    }

private:
    bool StartJoysticks()
    {
        if (!joysticksStarted)
            joysticksStarted = win32::TakeStartedJoysticks() || SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
        return joysticksStarted;
    }

    bool joysticksStarted = false;
};

BackEndFactory& InstalledFactory()
{
    static BackEndFactory factory;
    return factory;
}

} // namespace

HRESULT DirectInput8Create(win32::HINSTANCE, uint32_t version, std::unique_ptr<IDirectInput8A>* created)
{
    if (version != DIRECTINPUT_VERSION || !created)
        return DIERR_INVALIDPARAM;
    if (InstalledFactory())
        return InstalledFactory()(created);
    if (!win32::EnsureVideo())
        return DIERR_DEVICENOTREG;
    *created = std::make_unique<SdlDirectInput>();
    return DI_OK;
}

void InstallBackEnd(BackEndFactory factory)
{
    InstalledFactory() = std::move(factory);
}

uint8_t KeyCodeOfScancode(int32_t sdlScancode)
{
    return win32::KeyCodesOfScancode(sdlScancode).scanCode;
}

int32_t MouseButtonOfSdlButton(int32_t sdlButton)
{
    switch (sdlButton)
    {
    case SDL_BUTTON_LEFT:
        return 0;
    case SDL_BUTTON_RIGHT:
        return 1;
    case SDL_BUTTON_MIDDLE:
        return 2;
    case SDL_BUTTON_X1:
        return 3;
    case SDL_BUTTON_X2:
        return 4;
    default:
        return -1;
    }
}

} // namespace dinput
