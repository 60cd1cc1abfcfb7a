// An application whose frame draws one scene through one camera, for the scene GL tests.
#pragma once

#include "WeApplication.h"
#include "WeCamera.h"
#include "WeScene.h"

class SceneFrame : public WeApplication
{
public:
    SceneFrame(WeScene& scene, WeCamera& camera) : scene(scene), camera(camera) {}
    const char* GetName() override { return "SceneFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { scene.Render(&camera); }

private:
    WeScene& scene;
    WeCamera& camera;
};
