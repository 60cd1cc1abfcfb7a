// The animated flag from the package, two copies waving at two moments of its set, drawn frame
// by frame with their skin matrices on the OpenGL back end and compared with a stored reference.
//
// The reference is tests/render/reference/animated_flag.bmp. To make it again, run the test once
// with WE_UPDATE_REFERENCE=1 in the environment, look at the new image, and commit it.
#include "GlFrameFixture.h"
#include "MeshDrawing.h"
#include "WeCamera.h"
#include "WeModel.h"
#include "WeModelFrame.h"
#include "WeTimer.h"

#include <memory>

namespace
{

constexpr int32_t kSkinnedTechnique = 1 << 7;

// Every subset of every frame that has a mesh, skinned ones through their bones.
void DrawFrames(WeModelFrame* first)
{
    for (WeModelFrame* frame = first; frame; frame = frame->Sibling())
    {
        WeMesh* mesh = frame->mesh;
        for (int32_t subset = 0; mesh && subset < mesh->subsetCount; ++subset)
        {
            const int32_t bones = mesh->skinned ? frame->Container()->boneCount : 0;
            MeshDrawing::DrawSubset(*mesh, 0, subset, frame->world, {1, 1, 1, 1}, 0.0f, false,
                                    bones ? kSkinnedTechnique : 0, bones ? frame->skinMatrices : nullptr,
                                    uint32_t(bones));
        }
        DrawFrames(frame->Child());
    }
}

class TwoFlags : public WeApplication
{
public:
    const char* GetName() override { return "TwoFlags"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        WeCamera camera;
        camera.position = {1.2f, 2.6f, -5.5f};
        camera.direction = d3dx::D3DXVec3Normalize(WeVector{0.0f, 1.7f, 0.0f} - camera.position);
        camera.SetFov(0.75f);
        camera.Update();
        renderDevice.SetCamera(&camera);
        shaders.SetCameraMatrices(camera.view, camera.projection, &camera);
        for (WeModel* model : models)
            DrawFrames(model->rootFrame.get());
    }

    std::vector<WeModel*> models;
};

} // namespace

class AnimatedModelFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        modelManager.FreeAll();
        materialManager.FreeAll(true);
        GlFrameFixture::TearDown();
    }
    // A copy of the flag at x, waving for `seconds` in steps of a tenth.
    std::unique_ptr<WeModel> Waving(float x, float seconds)
    {
        std::unique_ptr<WeModel> flag(modelManager.Load("Ingame.Models.flag", 0));
        EXPECT_NE(flag, nullptr);
        if (!flag)
            return flag;
        flag->PlayAnimation(0, "Wave", 1.0f, true, 0.0f, 0.1f, false, true);
        timer.deltaTime = 0.1f;
        for (float t = 0.0f; t < seconds - 0.05f; t += 0.1f)
            flag->AdvanceAnimation(1.0f);
        flag->UpdateFrameMatrices(d3dx::D3DXMatrixTranslation(x, 0.0f, 0.0f), true);
        return flag;
    }
};

TEST_F(AnimatedModelFrame, TheFlagWavesAtTwoMoments)
{
    StartGl(320, 240);
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "animated_flag.bmp";
    const std::unique_ptr<WeModel> early = Waving(-1.9f, 0.4f);
    const std::unique_ptr<WeModel> late = Waving(0.3f, 1.2f);
    ASSERT_TRUE(early && late);
    ASSERT_TRUE(early->GetTrack(0).playing);
    TwoFlags frame;
    frame.models = {early.get(), late.get()};
    ExpectMatchesReference(Shoot(frame), 300);
}
