// The menu background: the menu music and the backdrop that stay at the bottom of the stack
// under every menu screen until a level starts.
#pragma once

#include "WePhaseStack.h"

class MivoMenuPhase : public WeAbstractPhase
{
public:
    // Starts the menu music unless it plays already; the backdrop; the current user's name.
    void Enter() override;
    void Leave() override {}

    // The current user's name, or nothing when there is none, in the menu overlay.
    static void ShowCurrentUser();
};

extern MivoMenuPhase menuPhase;
