// The menu background: the menu music and the backdrop that stay at the bottom of the stack
// under every menu screen until a level starts.
#pragma once

#include "WePhaseStack.h"

class WeUIComponent;

class MivoMenuPhase : public WeAbstractPhase
{
public:
    // Starts the menu music unless it plays already; the backdrop; the current user's name.
    void Enter() override;
    void Leave() override {}

    // The current user's name, or nothing when there is none, in the menu overlay.
    static void ShowCurrentUser();
    // The backdrop's layout hook: it grows to cover the rectangle laid out for it at its
    // picture's aspect, centred, so the picture keeps its shape on any screen and the screen's
    // edges crop what overflows. Without a picture of some size it keeps its rectangle.
    static void CoverWithPicture(WeUIComponent* backdrop);
};

extern MivoMenuPhase menuPhase;
