#include "WeColor.h"

namespace
{

uint32_t Channel(float value)
{
    if (value >= 1.0f)
    {
        return 255;
    }
    if (value <= 0.0f)
    {
        return 0;
    }
    return uint32_t(value * 255.0f + 0.5f);
}

} // namespace

uint32_t WeColor::ToArgb() const
{
    return Channel(a) << 24 | Channel(r) << 16 | Channel(g) << 8 | Channel(b);
}
