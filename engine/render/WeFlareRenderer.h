// Coronas and lens flares: each frame decides which lights with a corona or flares are on
// screen and not blocked, fades them in and out, and draws them as 2D sprites through the
// canvas. One global object, `flareRenderer`.
#pragma once

#include "WeBaseRenderer.h"

#include <cstdint>
#include <vector>

class WeCamera;
class WeLight;
class WeScene;

// What the renderer keeps of one light between frames.
struct WeFlareRecord
{
    WeLight* light = nullptr;
    bool onScreen = false;
    bool hidden = false;
    float fadeOut = 0.0f;                 // seconds since it was hidden
    float fadeIn = 0.0f;                  // seconds since it showed, up to the fade-in time
    float screenX = 0.0f, screenY = 0.0f; // -1..1
    float depth = 0.0f;
};

class WeFlareRenderer : public WeBaseRenderer
{
public:
    static constexpr int32_t flareCount = 5;
    static constexpr float positionFactors[flareCount] = {0.5f, 0.333f, 0.125f, -0.25f, -0.5f};
    static constexpr float sizeFactors[flareCount] = {0.5f, 0.25f, 1.0f, 0.25f, 0.5f};

    WeFlareRenderer();
    // Lights destroyed later at exit find no renderer to tell.
    ~WeFlareRenderer() override;

    bool Init() override;
    void Shutdown() override;

    // Where each corona or flare light stands on screen, whether it is seen, and its fades.
    void Prepare(WeScene* scene, WeCamera* camera);
    // The coronas and flares of the records through the canvas.
    void Render(WeScene* scene, WeCamera* camera);
    // The light's record goes (the light is being destroyed); nothing once the renderer is gone.
    void RemoveLight(const WeLight* light);
    // The record's light position on screen: its screen position and depth, and whether it is on
    // screen.
    static void Project(WeFlareRecord& record, const WeLight& light, const WeCamera& camera);
    // One frame of fading: a change from seen to hidden (or back) starts the other fade from
    // where this one stood. A fade time of 0 or less changes at once.
    static void Fade(WeFlareRecord& record, const WeLight& light, bool hidden, float frameTime);
    // The corona's opacity for the record's fades, 0 to 1.
    static float CoronaAlpha(const WeFlareRecord& record, const WeLight& light);
    // White with the opacity (clamped to 0..1) in the top byte.
    static uint32_t Colour(float alpha);

    bool initialised = false;
    std::vector<WeFlareRecord> records;

private:
    WeFlareRecord* Find(const WeLight* light);
    // Whether something between the camera and the light blocks it.
    static bool Blocked(const WeLight& light, const WeCamera& camera);
    void PrepareLight(WeLight& light, const WeCamera& camera, float frameTime);
    static void DrawCorona(const WeFlareRecord& record, WeLight& light, const WeCamera& camera, float width,
                           float height);
    static void DrawFlares(const WeFlareRecord& record, WeLight& light, float width, float height);
};

extern WeFlareRenderer flareRenderer;
