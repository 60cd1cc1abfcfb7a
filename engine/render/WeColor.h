// A colour of four floats in the order red, green, blue, alpha.
#pragma once

#include <cstdint>

struct WeColor
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    // As a 32-bit ARGB value: each channel 255 at 1.0 or more, 0 at 0 or less, else rounded.
    uint32_t ToArgb() const;
};
