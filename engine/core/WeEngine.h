// The engine object, as far as the render device reads it: the display settings and the
// engine-wide last-error text.
#pragma once

#include "WeString.h"

#include <cstdint>

// The display settings the application writes before the engine's initialisation.
struct WeEngineSettings
{
    int32_t displayMode = 0; // 0 full screen, 1 windowed and maximised, 3 windowed
    int32_t windowStyle = 0; // 0 pop-up, 1 caption, 2 overlapped, 3 caption with minimise box
    int32_t width = 800;     // back-buffer and client size
    int32_t height = 600;
    int32_t multisampleType = 0;
    int32_t multisampleQuality = 0;
    bool verticalSync = false;
};

class WeEngine
{
public:
    WeEngineSettings settings;
    // The text of the most precise start-up failure; empty while none was reported.
    WeString lastError;
};

extern WeEngine engine;
