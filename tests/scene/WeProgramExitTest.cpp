// A program that ends by exit while the engine runs, its own static objects and a script still
// holding engine objects: whatever order exit takes the static objects in, none reaches one that
// has gone (a crash, or a sanitizer's report in the sanitized build, is a failed exit).
#include "WeFont.h"
#include "WeLight.h"
#include "WeScene.h"
#include "WeScript.h"
#include "WeScriptInterface.h"
#include "WeTexture.h"
#include "core/ScriptChunk.h"
#include "render/RenderDeviceFixture.h"

#include <cstdlib>
#include <memory>

namespace
{

// What a program keeps in a static object of its own, as the game's play screen keeps its level.
std::unique_ptr<WeScene> keptScene;

// A scene of a model with a light map and a light, a font, and a light a script keeps; true when
// all of it was made.
bool MakeWhatTheProgramKeeps()
{
    keptScene = std::make_unique<WeScene>();
    auto* box = new WeActor;
    box->modelName = "Config.Assets.Box1m";
    keptScene->AddActor(box);
    box->lightMap.texture =
        textures.CreateTexture(8, 8, d3d9::D3DFMT_A8R8G8B8, 0, d3d9::D3DPOOL_MANAGED, 1, true);
    keptScene->AddActor(new WeLight);
    return box->model && box->lightMap.texture && fonts.GetFont("Arial:20") &&
           RunChunk(scriptRegistry().State(), "keptLight = NewLight()").empty();
}

} // namespace

class ProgramExitTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(ProgramExitTest, EndsCleanlyWhenTheEngineWasNotShutDown)
{
    EXPECT_EXIT(
        {
            if (!Start() || !MakeWhatTheProgramKeeps())
                std::exit(2);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
