// The intro: a slideshow of images inside "IntroWindow", each shown for a configured time with
// cross-fades, that then brings up the menus. It takes no input: no key skips it.
#pragma once

#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>

class MivoIntroPhase : public WeAbstractPhase
{
public:
    void Enter() override;
    // Loads the menu overlay, which stays from then on.
    void Leave() override;
    // Waits out every running fade, counts the image's time down, then fades to the next image
    // or closes the window; once it has gone, the menus come up.
    void Update() override;

    float remainingTime = 0.0f; // of the current image, seconds
    WeString images;            // component names, comma-separated
    int32_t index = 0;          // of the current image

private:
    void NextImage();
};

extern MivoIntroPhase introPhase;
