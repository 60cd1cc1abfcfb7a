// A quest place's state in the player's progress: a city's, or a teleport's by the region it
// leads to. The quest map writes it into the place's button.
#pragma once

#include <cstdint>

enum MivoPlaceState : int32_t
{
    PLACE_ABSENT = 0,   // not in the player's progress
    PLACE_OPEN = 1,     // playable
    PLACE_FINISHED = 2, // a finished city or a used teleport
    PLACE_LOCKED = 3,   // a city neither open nor finished
};
