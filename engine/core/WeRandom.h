// Random numbers. One generator serves the whole program: the 15-bit linear congruential
// generator of the C run-time (state * 214013 + 2531011, result bits 16 to 30), so that a seed
// gives the same stream as on the system the game was tuned on. Nothing calls the C library's
// rand; everything draws from WeRand or from the random table.
#pragma once

#include <cstdint>

constexpr int32_t WE_RAND_MAX = 32767;

// Restarts the program-wide generator; seed 1 gives 41, 18467, 6334, ...
void WeSRand(uint32_t seed);
// The next value of the program-wide generator, 0..WE_RAND_MAX.
int32_t WeRand();

// Stored random numbers that particle emission draws from.
struct WeRandomTable
{
    static constexpr int32_t kSize = 32768;

    int32_t values[kSize];
    int32_t index;
};

extern WeRandomTable randomTable;

// Seeds the generator and fills the table from it; index 0. The timer's WeFillRandomTable()
// seeds it with the timer's milliseconds.
void WeFillRandomTable(uint32_t seed);
// The next stored value, 0..WE_RAND_MAX; the index runs modulo 2^30.
int32_t WeRandom();
