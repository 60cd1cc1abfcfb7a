// The look of the quest map's cities and teleports (style "MivoCityButton"): an open place blinks
// at its own pace through the pressed quarter of the button texture, a finished place is drawn
// larger with the selected quarter, and every place grows with the map's zoom. Only an open place
// shows a hover layer.
#pragma once

#include "MivoPlaceState.h"
#include "WeUIButton.h"

#include <cstdint>

class MivoCityButtonStyle : public WeUIDefaultButtonStyle
{
public:
    static constexpr const char* kStyleName = "MivoCityButton";

    MivoCityButtonStyle() : WeUIDefaultButtonStyle(kStyleName) {}
    void Draw(WeUIComponent* component) override;

    // Creates the style and hands it to the UI manager, which keeps a style already registered
    // under the name.
    static void Register();

    // The place's state and blink seed (a x 10000 + b with a, b from 1 to 10000; 0: none), kept
    // in the button's user words.
    static void SetPlace(WeUIButton& button, MivoPlaceState state, int32_t blinkSeed);
    // Of a component that is no button: an absent place without a seed.
    static MivoPlaceState PlaceState(const WeUIComponent* component);
    static int32_t BlinkSeed(const WeUIComponent* component);

    // The quest map's zoom, 0 = the whole map to 1 = zoomed in; the quest map writes it as its
    // zoom runs and puts it back to 0 when it comes up. Every place is sized by it.
    static float questMapZoom;
};
