// What the render device's check at the start of a frame says of the device.
#pragma once

#include <cstdint>

enum class WeDeviceState : int32_t
{
    Usable, // draw normally
    Lost,   // skip the frame; a later check resets the device
    Failed, // lost beyond reset
};
