// The test map the build writes (Maps/World1.map), loaded step by step and drawn on the OpenGL
// back end from its camera actor: the flat sky, the light-mapped floor, blocks lit by the map's
// point lights and the waving flag, against a stored reference; and a light that moves away from
// a block stops lighting it.
//
// The reference is tests/scene/reference/world1.bmp. To make it again, run the test once with
// WE_UPDATE_REFERENCE=1 in the environment, look at the new image, and commit it.
#include "SceneGlFrame.h"
#include "WeCameraActor.h"
#include "WeLight.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeScene.h"
#include "WeTimer.h"

#include <algorithm>
#include <vector>

namespace
{

bool Lights(const WeBaseModel& model, const WeLight* light)
{
    const auto* end = model.pointLights + model.pointLightCount;
    return std::find(model.pointLights, end, light) != end;
}

} // namespace

class SceneMapFrame : public SceneGlFrame
{
protected:
    // World1 one actor a step, the progress rising to 1; its camera actor.
    WeCameraActor* LoadWorld1()
    {
        scene = std::make_unique<WeScene>();
        std::vector<float> progress;
        scene->progressCallback = [&](float value)
        {
            progress.push_back(value);
            return true;
        };
        EXPECT_TRUE(scene->BeginLoad("World1"));
        int32_t steps = 0;
        while (!scene->finished && scene->LoadStep())
            ++steps;
        EXPECT_TRUE(scene->finished) << scene->loadMessage.GetData();
        EXPECT_GT(steps, 8) << "one actor a step";
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(progress.empty() ? 0.0f : progress.back(), 1.0f);
        EXPECT_EQ(scene->cameraActors.GetCount(), 1);
        auto* cameraActor = static_cast<WeCameraActor*>(scene->FindActor("Camera"));
        EXPECT_NE(cameraActor, nullptr);
        return cameraActor;
    }
    // Ticks of a tenth of a second, so that the flag waves and the lights play their states; the
    // camera actor's camera then takes its place.
    void Run(int32_t ticks, WeCameraActor& cameraActor)
    {
        timer.deltaTime = 0.1f;
        for (int32_t tick = 0; tick < ticks; ++tick)
            scene->Tick();
        cameraActor.camera->Update();
    }
};

TEST_F(SceneMapFrame, TheTestMapFromItsCameraMatchesTheReference)
{
    StartGl(320, 240);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "world1.bmp";
    WeCameraActor* cameraActor = LoadWorld1();
    ASSERT_NE(cameraActor, nullptr);
    Run(6, *cameraActor);
    WeActor* flag = scene->FindActor("Flag");
    ASSERT_TRUE(flag && flag->HasAnimatedModel());
    EXPECT_TRUE(flag->model->GetTrack(0).playing);
    SceneFrame frame(*scene, *cameraActor->camera);
    ExpectMatchesReference(Shoot(frame), 300);
    EXPECT_GT(frameStats.frame.drawnTotal, 4) << "floor, blocks, wall and flag drawn";
}

TEST_F(SceneMapFrame, AMovingLightChangesWhichModelsItLights)
{
    StartGl(160, 120);
    WeCameraActor* cameraActor = LoadWorld1();
    ASSERT_NE(cameraActor, nullptr);
    auto* warm = static_cast<WeLight*>(scene->FindActor("Warm"));
    // The warm light, of range 24, stands at (-7, 9, -6), Block1 at (-11, -0.81, 3), Block2 at
    // (11.5, -0.81, -2), on either side of the board's table.
    WeActor* near = scene->FindActor("Block1");
    WeActor* far = scene->FindActor("Block2");
    ASSERT_TRUE(warm && near && far && near->model && far->model);
    SceneFrame frame(*scene, *cameraActor->camera);
    Run(1, *cameraActor);
    Shoot(frame);
    EXPECT_TRUE(Lights(*near->model, warm));

    warm->SetLocation({16.0f, 3.0f, 2.0f});
    Run(1, *cameraActor);
    Shoot(frame);
    EXPECT_FALSE(Lights(*near->model, warm)) << "out of its range now";
    EXPECT_TRUE(Lights(*far->model, warm));
}
