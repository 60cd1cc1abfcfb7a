// A scene with a black background and a camera at the origin looking along +z, drawn on the
// OpenGL back end; the scene and the assets it loaded go at the end.
#pragma once

#include "SceneFrame.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "render/GlFrameFixture.h"

#include <memory>

class SceneGlFrame : public GlFrameFixture
{
protected:
    // Starts the device on a back buffer of the size and makes the scene and the camera.
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
