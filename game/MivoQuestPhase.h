// The quest: the choice of its difficulty, asked once, and the world map of fifteen regions of
// five cities each with fifteen teleports between them. The player picks a starting region, then
// plays the open city (a run of four maps) or, once no city is left open, a teleport. The map
// zooms in around a clicked point and, fully zoomed, scrolls when the mouse nears a screen edge.
#pragma once

#include "MivoPlaceState.h"
#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>

class WeTexture;
class WeUIComponent;

class MivoQuestDiffPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kEasyId = 110;
    static constexpr int32_t kHardId = 112;

    void Enter() override;
    void Leave() override;
    // A difficulty starts the quest on the map, in place of the choice of mode beneath.
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape plays the selection sound and closes the choice.
    void HandleInput() override;
};

class MivoQuestPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kBackId = 10;
    static constexpr int32_t kZoomId = 11; // the map, a region, or a place that cannot be played
    static constexpr int32_t kQuitId = 12;
    static constexpr int32_t kTeleportPlay = 99;   // + teleport 1..15
    static constexpr int32_t kRegionChoice = 199;  // + region 1..15
    static constexpr int32_t kTeleportEnter = 299; // + teleport
    static constexpr int32_t kTeleportLeave = 399; // + teleport
    static constexpr int32_t kCityPlay = 100000;   // + city key
    static constexpr int32_t kCityEnter = 200000;  // + city key
    static constexpr int32_t kCityLeave = 300000;  // + city key

    void Enter() override;
    // Saves the players' file and closes the map.
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape is Back; fully zoomed in, the map scrolls at the screen's edges.
    void HandleInput() override;
    // Runs the zoom and pulses the destination label.
    void Update() override;

    // Colours, clicks and cursors of every place by its state in the player's progress; the
    // region labels take clicks only before the first region is chosen.
    void BuildMap();
    // The map's layout hook: enlarged by the zoom around the zoom centre, which it keeps inside.
    static void OnMapLayout(WeUIComponent* map);
    // The name label's layout hook: over the hovered place, while that place exists.
    static void OnNameLabelLayout(WeUIComponent* label);
    // The region labels' layout hook: scaled between the unzoomed and the zoomed label scale.
    static void OnRegionLabelLayout(WeUIComponent* label);
    // Chooses the store's current quest map at its current place for the play screen, which
    // returns here.
    static void ChooseCurrentMap();

    float centreX = 0.0f, centreY = 0.0f; // fractions of the map's size
    float zoomSpeed = 0.0f;               // per second, signed
    float zoom = 0.0f;                    // 0 the whole map, 1 zoomed in
    WeTexture* zoomCursor = nullptr;
    WeUIComponent* map = nullptr;
    WeUIComponent* nameLabel = nullptr;
    WeString hoveredPlace; // the place the name label follows

private:
    void StartZoom();
    void ShowPlaceName(WeUIComponent* place, const WeString& key, MivoPlaceState state);
    bool PlayCity(int32_t key);
    bool PlayTeleport(int32_t teleport);
    // The current map takes the menu background's place.
    void Play();
    static void OnQuitAnswer(bool yes);
};

extern MivoQuestDiffPhase questDiffPhase;
extern MivoQuestPhase questPhase;
