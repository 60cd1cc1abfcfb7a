// Input (global input): polls the keyboard, the mouse and one game controller through
// DirectInput once per frame while the window has the focus. Keeps per-frame arrays of what is
// down, what was down last frame and what was clicked, counts the clicks so that screens can
// consume them, and posts key and mouse changes to the UI manager's input queue. Keys are
// identified by their DirectInput codes (0-255).
//
// Clicked means: a key went down this frame; a mouse or controller button went up this frame.
#pragma once

#include "dinput/DInput.h"

#include <cstdint>
#include <memory>

class WeInput
{
public:
    static constexpr int32_t kKeyCount = 256;
    static constexpr int32_t kMouseButtonCount = 8;
    static constexpr int32_t kJoyButtonCount = 128;
    static constexpr int32_t kScreenshotKey = dinput::DIK_SYSRQ; // its click is the engine's

    // Takes the key-repeat settings from the configuration.
    WeInput();
    virtual ~WeInput() = default;

    // Creates the DirectInput object, the keyboard, the mouse and, with withController, the
    // first attached game controller that can be created (none is no error). False with its
    // text in the engine's lastError; true at once when already initialised.
    bool Init(void* instance, bool withController);
    // Releases the devices; nothing when not initialised.
    void Shutdown();
    // First in every engine update: previous = down, down and clicked cleared, the controller
    // axes centred, no movement, the cursor read.
    void BeginFrame();
    // Reads the devices, derives down and clicked and posts the changes to the UI; nothing when
    // not initialised.
    void Poll();
    // The cursor in back-buffer pixels: client position scaled from the client size to the
    // render device's back-buffer size; 0, 0 without a window or with an empty client area.
    void GetCursorPosition(int32_t* x, int32_t* y) const;
    // Re-acquires the devices whose reads failed for lost or missing acquisition; a device
    // re-acquired is read again, so its state is that of now. Returns whether every read now
    // counts as successful.
    bool ReacquireDevices(dinput::HRESULT* keyboardResult, dinput::HRESULT* mouseResult,
                          dinput::HRESULT* controllerResult);

    // Down and clicked flags; false for an index outside the array.
    bool KeyPressed(int32_t key) const { return Flag(keysDown, kKeyCount, key); }
    bool KeyClicked(int32_t key) const { return Flag(keysClicked, kKeyCount, key); }
    bool MousePressed(int32_t button) const { return Flag(mouseDown, kMouseButtonCount, button); }
    bool MouseClicked(int32_t button) const { return Flag(mouseClicked, kMouseButtonCount, button); }
    bool JoyPressed(int32_t button) const { return Flag(joyDown, kJoyButtonCount, button); }
    bool JoyClicked(int32_t button) const { return Flag(joyClicked, kJoyButtonCount, button); }
    // Consumes a click: clears the flag and counts it off; false when not clicked or out of range.
    bool UseKeyClicked(int32_t key) { return UseClick(keysClicked, kKeyCount, key); }
    bool UseMouseClicked(int32_t button) { return UseClick(mouseClicked, kMouseButtonCount, button); }
    bool UseJoyClicked(int32_t button) { return UseClick(joyClicked, kJoyButtonCount, button); }
    // When down: consumes its click and clears its down flag, true; else false.
    bool UseKeyPressed(int32_t key) { return UsePress(keysDown, keysClicked, kKeyCount, key); }
    bool UseMousePressed(int32_t button)
    {
        return UsePress(mouseDown, mouseClicked, kMouseButtonCount, button);
    }
    bool UseJoyPressed(int32_t button) { return UsePress(joyDown, joyClicked, kJoyButtonCount, button); }
    bool SomethingClicked() const { return clickedCount >= 1; }

    std::unique_ptr<dinput::IDirectInput8A> directInput;
    std::unique_ptr<dinput::IDirectInputDevice8A> keyboard;
    std::unique_ptr<dinput::IDirectInputDevice8A> mouse;
    std::unique_ptr<dinput::IDirectInputDevice8A> controller; // may be absent
    bool initialised = false;
    const float* keyRepeatDelay; // "engine.Input.KeyRepeatDelay"
    const float* keyRepeatSpeed; // "engine.Input.KeyRepeatSpeed"
    dinput::DIMOUSESTATE2 mouseState{};
    dinput::DIJOYSTATE2 controllerState{};
    bool keyboardLost = false;
    bool mouseLost = false;
    bool controllerLost = false;
    int32_t clickedCount = 0; // clicks recorded this frame and not yet consumed
    uint8_t rawKeys[kKeyCount] = {};
    uint8_t keysDown[kKeyCount] = {};
    uint8_t mouseDown[kMouseButtonCount] = {};
    uint8_t joyDown[kJoyButtonCount] = {};
    uint8_t keysPrevious[kKeyCount] = {};
    uint8_t mousePrevious[kMouseButtonCount] = {};
    uint8_t joyPrevious[kJoyButtonCount] = {};
    uint8_t keysClicked[kKeyCount] = {};
    uint8_t mouseClicked[kMouseButtonCount] = {};
    uint8_t joyClicked[kJoyButtonCount] = {};
    int32_t cursorX = 0, cursorY = 0;
    int32_t mouseMovedX = 0, mouseMovedY = 0, mouseMovedZ = 0;
    int32_t joyX = 0, joyY = 0, joyZ = 0;
    bool alt = false, ctrl = false, shift = false;

private:
    static bool Flag(const uint8_t* flags, int32_t count, int32_t index)
    {
        return index >= 0 && index < count && flags[index] != 0;
    }
    bool UseClick(uint8_t* clicked, int32_t count, int32_t index);
    bool UsePress(uint8_t* down, uint8_t* clicked, int32_t count, int32_t index);
    // down from the state bytes; clicked on a press (keys) or a release (buttons).
    void DeriveStates(const uint8_t* state, uint8_t downMask, uint8_t* down, const uint8_t* previous,
                      uint8_t* clicked, int32_t count, bool clickOnPress);
    void OpenController();
};

extern WeInput input;
