// Score entries made in one line for the tests.
#pragma once

#include "MivoScores.h"

inline MivoScore Score(const char* name, int32_t score, int32_t difficulty = 1, int32_t mode = 1,
                       int32_t level = 0)
{
    MivoScore entry;
    entry.name = name;
    entry.score = score;
    entry.level = level;
    entry.difficulty = difficulty;
    entry.mode = mode;
    return entry;
}

inline MivoLevelScore LevelScore(const char* name, int32_t bonus, int32_t mapId, int32_t moves = 0,
                                 float time = 0.0f)
{
    MivoLevelScore entry;
    entry.name = name;
    entry.bonus = bonus;
    entry.moves = moves;
    entry.mapId = mapId;
    entry.time = time;
    return entry;
}
