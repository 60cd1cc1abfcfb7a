#include "WeRandom.h"

namespace
{

uint32_t randState = 1; // the C run-time's stream before any seed

} // namespace

WeRandomTable randomTable{};

void WeSRand(uint32_t seed)
{
    randState = seed;
}

int32_t WeRand()
{
    randState = randState * 214013u + 2531011u;
    return static_cast<int32_t>((randState >> 16) & 0x7FFF);
}

void WeFillRandomTable(uint32_t seed)
{
    WeSRand(seed);
    for (int32_t& value : randomTable.values)
        value = WeRand();
    randomTable.index = 0;
}

int32_t WeRandom()
{
    randomTable.index = (randomTable.index + 1) & 0x3FFFFFFF;
    return randomTable.values[((randomTable.index >> 15) + randomTable.index) & 0x7FFF];
}
