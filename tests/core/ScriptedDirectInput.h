// DirectInput devices whose state a test writes: a keyboard, a mouse and a controller that
// report what the script holds, fail on request and write down the calls they get.
#pragma once

#include "dinput/DInput.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

// What a scripted device reports: its state now, the result of its next reads, and a record
// of the calls it got.
struct DeviceScript
{
    uint8_t state[sizeof(dinput::DIJOYSTATE2) > 256 ? sizeof(dinput::DIJOYSTATE2) : 256] = {};
    std::vector<dinput::HRESULT> nextResults; // consumed first to last; DI_OK once empty
    std::vector<std::string> calls;
    uint32_t cooperativeFlags = 0;
    bool failCreation = false;
};

class ScriptedDevice : public dinput::IDirectInputDevice8A
{
public:
    explicit ScriptedDevice(DeviceScript& script) : script(script) {}
    dinput::HRESULT SetDataFormat(dinput::DataFormat) override { return Call("SetDataFormat"); }
    dinput::HRESULT SetCooperativeLevel(win32::HWND, uint32_t flags) override
    {
        script.cooperativeFlags = flags;
        return Call("SetCooperativeLevel");
    }
    dinput::HRESULT SetBufferSize(uint32_t) override { return Call("SetBufferSize"); }
    dinput::HRESULT Acquire() override { return Call("Acquire"); }
    dinput::HRESULT Unacquire() override { return Call("Unacquire"); }
    dinput::HRESULT GetDeviceState(uint32_t size, void* data) override
    {
        script.calls.push_back("GetDeviceState");
        dinput::HRESULT result = dinput::DI_OK;
        if (!script.nextResults.empty())
        {
            result = script.nextResults.front();
            script.nextResults.erase(script.nextResults.begin());
        }
        if (!dinput::Failed(result))
            std::memcpy(data, script.state, size);
        return result;
    }

private:
    dinput::HRESULT Call(const char* name)
    {
        script.calls.push_back(name);
        return dinput::DI_OK;
    }
    DeviceScript& script;
};

struct InputScript
{
    bool failCreation = false;
    bool controllerAttached = false;
    DeviceScript keyboard, mouse, controller;
};

class ScriptedDirectInput : public dinput::IDirectInput8A
{
public:
    explicit ScriptedDirectInput(InputScript& script) : script(script) {}
    dinput::HRESULT CreateDevice(const dinput::GUID& guid,
                                 std::unique_ptr<dinput::IDirectInputDevice8A>* created) override
    {
        DeviceScript& device = guid == dinput::GUID_SysKeyboard ? script.keyboard
                               : guid == dinput::GUID_SysMouse  ? script.mouse
                                                                : script.controller;
        if (device.failCreation)
            return dinput::DIERR_DEVICENOTREG;
        *created = std::make_unique<ScriptedDevice>(device);
        return dinput::DI_OK;
    }
    dinput::HRESULT EnumDevices(uint32_t, dinput::LPDIENUMDEVICESCALLBACKA callback, void* reference,
                                uint32_t) override
    {
        if (script.controllerAttached)
        {
            const dinput::DIDEVICEINSTANCEA instance{{dinput::kGameControllerDevice, 0}, "Pad"};
            callback(&instance, reference);
        }
        return dinput::DI_OK;
    }

private:
    InputScript& script;
};

// Makes every DirectInput object the program creates a scripted one, while it lives.
class ScriptedInputScope
{
public:
    ScriptedInputScope()
    {
        dinput::InstallBackEnd(
            [this](std::unique_ptr<dinput::IDirectInput8A>* created)
            {
                if (script.failCreation)
                    return dinput::DIERR_DEVICENOTREG;
                *created = std::make_unique<ScriptedDirectInput>(script);
                return dinput::DI_OK;
            });
    }
    ~ScriptedInputScope() { dinput::InstallBackEnd(nullptr); }
    ScriptedInputScope(const ScriptedInputScope&) = delete;
    ScriptedInputScope& operator=(const ScriptedInputScope&) = delete;

    void Key(uint8_t code, bool down) { script.keyboard.state[code] = down ? 0x80 : 0; }

    InputScript script;
};
