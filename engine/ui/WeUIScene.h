// The scene widget: a map of its own, ticked while the widget lives and drawn through its own
// camera inside the widget's rectangle, over whatever the UI drew behind it. The map is named by
// the key "UI.Components." + widget name + "$Scene"; without one, or when the map cannot be
// loaded, the widget draws and ticks nothing but is laid out and holds children as any other.
#pragma once

#include "WeCamera.h"
#include "WeScene.h"
#include "WeUIComponent.h"
#include "WeUIStyle.h"

#include <memory>

class WeUIScene : public WeUIComponent
{
public:
    WeUIScene(WeUIComponent* parent, const WeString& name);
    // The ramps and the children, then the map's tick.
    void Update() override;
    const char* GetTypeName() const override { return "Scene"; }

    std::unique_ptr<WeCamera> camera; // null when there is no scene
    std::unique_ptr<WeScene> scene;   // null without a map or when it failed to load
};

// The camera the map's settings describe: position, direction, up, and for an orthogonal view
// its height (the width follows the back buffer's aspect) with near and far clips of 1 and 50,000.
std::unique_ptr<WeCamera> WeUISceneCamera(const WeSceneConfig& config);

// Draws the widget's map inside its rectangle. Viewport and scissor hold it there, whether or not
// post-processing runs; everything the map changes on the device for its drawing (viewport,
// scissor, depth and fog states, the scene colours) is as before for the UI drawn after it.
class WeUIDefaultSceneStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    void Draw(WeUIComponent* component) override;
};
