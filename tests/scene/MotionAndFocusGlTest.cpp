// Per-pixel motion blur and depth of field on the OpenGL back end, each alone and both at once,
// over two flat boxes at the focal distance on black, one of them moving sideways. The velocity
// image carries the motion and the view depth side by side: with both effects on, the still box
// stays as sharp as without either, and the moving one is smeared exactly as by motion blur
// alone; alone, depth of field blurs the black around the boxes (out of focus) into them.
#include "SceneGlFrame.h"
#include "WePostProcess.h"
#include "WeTimer.h"

#include <cstdlib>

namespace
{

constexpr int32_t kWidth = 128, kHeight = 96, kRow = kHeight / 2;

// The green level of a frame's pixel in the middle row.
int32_t Green(const std::vector<uint8_t>& bmp, int32_t x)
{
    return int32_t(PixelAt(bmp, kWidth, kHeight, x, kRow) >> 8 & 0xFF);
}

class MotionAndFocus : public SceneGlFrame
{
protected:
    void SetUp() override
    {
        SceneGlFrame::SetUp();
        StartScene(kWidth, kHeight);
        ASSERT_TRUE(renderDevice.pixelShader3 && renderDevice.floatTargetG16R16F &&
                    renderDevice.floatTargetA16B16G16R16F);
        still = Box(-2.5f);
        moving = Box(2.5f);
        renderDevice.focalDistance = 10.0f; // the boxes' faces
        renderDevice.focalRange = 4.0f;     // two units off, a pixel takes the whole circle
        renderDevice.maxCircleOfConfusion = 6.0f;
        renderDevice.pixelMotionBlur = 1.0f;
        timer.quantisedDeltaFloat = 0.015f; // the motion-blur factor is the device's value
    }
    void TearDown() override
    {
        renderDevice.motionBlurMode = 0;
        renderDevice.depthOfField = false;
        postProcess.Release();
        SceneGlFrame::TearDown();
    }
    // A flat two-metre box whose face towards the camera stands at the focal distance.
    WeActor* Box(float x)
    {
        auto* box = new WeActor;
        box->modelName = "Config.Assets.Box1m";
        box->SetLocation({x, 0.0f, 10.05f});
        box->SetScale({2.0f, 2.0f, 0.1f});
        scene->AddActor(box);
        return box;
    }
    // A frame with the effects on; the moving box came half a metre from the left.
    std::vector<uint8_t> Frame(bool motion, bool focus)
    {
        renderDevice.motionBlurMode = motion ? 2 : 0;
        renderDevice.depthOfField = focus;
        postProcess.Release();
        postProcess.Build();
        moving->model->previousWorld = moving->model->world;
        moving->model->previousWorld.m[3][0] -= 0.5f;
        return SceneGlFrame::Frame();
    }

    WeActor* still = nullptr;
    WeActor* moving = nullptr;
};

TEST_F(MotionAndFocus, NeitherEffectCorruptsTheOther)
{
    const std::vector<uint8_t> plain = Frame(false, false), motion = Frame(true, false),
                               focus = Frame(false, true), both = Frame(true, true);
    // The boxes' columns in the plain frame: the still one left of the middle, the moving one right.
    int32_t stillFirst = -1, stillLast = -1, movingFirst = -1, movingLast = -1;
    for (int32_t x = 0; x < kWidth; ++x)
    {
        if (Green(plain, x) == 0)
            continue;
        int32_t& first = x < kWidth / 2 ? stillFirst : movingFirst;
        int32_t& last = x < kWidth / 2 ? stillLast : movingLast;
        first = first < 0 ? x : first;
        last = x;
    }
    ASSERT_GT(stillLast - stillFirst, 10);
    ASSERT_GT(movingLast - movingFirst, 10);
    bool smeared = false;
    for (int32_t x = movingFirst; x <= movingLast; ++x)
    {
        smeared = smeared || std::abs(Green(motion, x) - Green(plain, x)) > 8;
        EXPECT_NEAR(Green(both, x), Green(motion, x), 3) << "the moving box, in focus, at " << x;
    }
    EXPECT_TRUE(smeared) << "motion blur smears the moving box";
    for (int32_t x = stillFirst; x <= stillLast; ++x)
    {
        EXPECT_NEAR(Green(motion, x), Green(plain, x), 3) << "the still box takes no motion at " << x;
        EXPECT_NEAR(Green(both, x), Green(plain, x), 3) << "the still box, in focus, at " << x;
    }
    EXPECT_GT(Green(focus, stillFirst - 2), 8) << "the black around the boxes is out of focus";
    EXPECT_EQ(Green(plain, stillFirst - 2), 0);
}

} // namespace
