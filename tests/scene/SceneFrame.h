// An application whose frame draws one scene through one camera, for the scene GL tests, and a
// fixture of a scene on black drawn on the OpenGL back end.
#pragma once

#include "WeApplication.h"
#include "WeCamera.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeScene.h"
#include "render/GlFrameFixture.h"

#include <memory>

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

// A scene with a black background, and a camera at the origin looking along +z, on a device of
// the size; the scene and the assets it loaded go at the end.
class SceneGlFrame : public GlFrameFixture
{
protected:
    void StartScene(int32_t width, int32_t height)
    {
        StartGl(width, height);
        scene = std::make_unique<WeScene>();
        scene->config.backgroundColor = {0.0f, 0.0f, 0.0f, 1.0f};
        camera.SetPerspective(1.0f, 1.0f, 100.0f, float(width) / float(height));
        camera.Update();
    }
    void TearDown() override
    {
        scene.reset();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }
    std::vector<uint8_t> Frame()
    {
        SceneFrame frame(*scene, camera);
        return Shoot(frame);
    }

    std::unique_ptr<WeScene> scene;
    WeCamera camera;
};
