// The scene widget on the OpenGL back end: a window holding a scene widget with a caption on it and
// a label under it, drawn by the UI manager. The widget shows the test map (Maps/World1.map) from
// its camera inside its rectangle, the UI around it as without the map (also through the
// post-processing chain); a widget without a map draws and ticks nothing; the map ticks while its
// window is hidden; a widget partly off the screen shows the part of the picture the whole one
// shows there.
//
// The reference is tests/ui/reference/scene_widget.bmp; made again by running with
// WE_UPDATE_REFERENCE=1 (look at it before committing).
#include "UIScreenFixture.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WePostProcess.h"
#include "WeRenderDevice.h"
#include "WeUIScene.h"

#include <fstream>

namespace
{

// The widget's rectangle on the 320 x 240 screen: the window is centred, the widget centred in it.
constexpr int32_t kLeft = 60, kTop = 50, kRight = 260, kBottom = 170;

class SceneScreen : public UIScreenFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartScreen("ScnWin=Window:Root:MenuWindow:::#FF203048,0,0,280,200,0\n"
                    "ScnScene=Scene:ScnWin:ScnSceneStyle,0%0.5%0.5,30,200,120,1\n"
                    "ScnCaption=Label:ScnScene:MenuTitle:%Map,0%0.5%0.5,0,200,30,1\n"
                    "ScnBelow=Label:ScnWin:MenuLabel:%Below,0%0.5%0.5,160,200,30,2\n",
                    "Scn");
    }
    void TearDown() override
    {
        WeConfig::GetString("UI.Components.ScnScene$Scene", "") = "";
        uiMain.Shutdown();
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
        UIScreenFixture::TearDown();
    }
    // The screen again, the widget's map key naming the map (empty: no map).
    void Load(const char* map)
    {
        WeConfig::GetString("UI.Components.ScnScene$Scene", "") = map;
        uiMain.Shutdown();
        uiMain.Init();
        uiMain.cursorVisible = false;
        uiMain.LoadComponents("Scn");
        widget = dynamic_cast<WeUIScene*>(uiMain.GetComponent("ScnScene"));
        ASSERT_NE(widget, nullptr);
        Settle();
    }
    std::vector<uint8_t> ShootScreen()
    {
        UIScreenApplication frame;
        return Shoot(frame);
    }
    // Bytes of the shot differing by more than a little, inside or outside the widget's rectangle.
    static int32_t CountDifferences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool inside)
    {
        int32_t count = 0;
        for (int32_t y = 0; y < screenHeight; ++y)
            for (int32_t x = 0; x < screenWidth; ++x)
            {
                const bool in = x >= kLeft && x < kRight && y >= kTop && y < kBottom;
                if (in != inside)
                    continue;
                const size_t at = Offset(x, y);
                for (size_t c = 0; c < 3; ++c)
                    count += std::abs(int(a[at + c]) - int(b[at + c])) > 24 ? 1 : 0;
            }
        return count;
    }
    static size_t Offset(int32_t x, int32_t y)
    {
        const int32_t stride = (screenWidth * 3 + 3) / 4 * 4;
        return 54 + size_t(screenHeight - 1 - y) * size_t(stride) + size_t(x) * 3;
    }

    WeUIScene* widget = nullptr;
};

TEST_F(SceneScreen, TheMapIsDrawnInsideTheWidgetAndTheUIAroundItStaysAsWithoutIt)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "scene_widget.bmp";
    Load("");
    const std::vector<uint8_t> withoutMap = ShootScreen();
    Load("World1");
    ASSERT_NE(widget->scene, nullptr);
    const std::vector<uint8_t> withMap = ShootScreen();
    ASSERT_EQ(withMap.size(), withoutMap.size());
    EXPECT_EQ(CountDifferences(withMap, withoutMap, false), 0) << "the window and the label below";
    EXPECT_GT(CountDifferences(withMap, withoutMap, true), (kRight - kLeft) * (kBottom - kTop))
        << "the map fills the rectangle";
    ExpectMatchesReference(withMap, 300);

    d3d9::Viewport viewport;
    Device().GetViewport(&viewport);
    EXPECT_EQ(viewport.width, uint32_t(screenWidth));
    EXPECT_EQ(viewport.height, uint32_t(screenHeight));
    bool scissorOn = true;
    d3d9::Rect scissor;
    renderDevice.GetScissor(&scissorOn, &scissor);
    EXPECT_FALSE(scissorOn);
}

TEST_F(SceneScreen, AWidgetWithoutAMapItCanLoadDrawsNothingButKeepsItsPlaceAndChildren)
{
    Load("");
    const std::vector<uint8_t> empty = ShootScreen();
    {
        std::ofstream cut("Maps/UISceneCutShort.map", std::ios::binary);
        cut.write("\x01\x00\x00\x00\x18\x00", 6); // file version 1, the config record cut short
    }
    for (const char* map : {"NoSuchMap", "UISceneCutShort"})
    {
        Load(map);
        EXPECT_EQ(widget->scene, nullptr) << map;
        EXPECT_EQ(widget->camera, nullptr) << map;
        EXPECT_EQ(widget->x, kLeft) << map;
        EXPECT_EQ(widget->w, kRight - kLeft) << map;
        EXPECT_NE(uiMain.GetComponent("ScnCaption"), nullptr) << map;
        EXPECT_EQ(ShootScreen(), empty) << map;
    }
    std::filesystem::remove("Maps/UISceneCutShort.map");
}

TEST_F(SceneScreen, TheMapTicksWhileItsWindowIsHiddenAndMovesOnScreen)
{
    Load("World1");
    ASSERT_NE(widget->scene, nullptr);
    const std::vector<uint8_t> before = ShootScreen();
    uiMain.GetComponent("ScnWin")->visible = false;
    const int64_t frame = widget->scene->frame;
    const float time = widget->scene->time;
    Settle();
    EXPECT_EQ(widget->scene->frame, frame + 20);
    EXPECT_NEAR(widget->scene->time, time + 2.0f, 0.01f);
    uiMain.GetComponent("ScnWin")->visible = true;
    uiMain.Update();
    EXPECT_GT(CountDifferences(ShootScreen(), before, true), 100) << "the lights and the flag have moved";
}

TEST_F(SceneScreen, APartOffTheScreenShowsWhatTheWholeWidgetShowsThere)
{
    Load("World1");
    ASSERT_NE(widget->scene, nullptr);
    timer.deltaTime = 0.0f; // the map stands still between the shots
    const std::vector<uint8_t> whole = ShootScreen();
    // The window moves left by 160 pixels: the widget's left 100 columns leave the screen.
    uiMain.GetComponent("ScnWin")->SetPosition(-160.0f / float(screenWidth), 0.5f, 0, 0.5f);
    uiMain.Update();
    ASSERT_EQ(widget->x, kLeft - 160);
    const std::vector<uint8_t> shifted = ShootScreen();
    int32_t farOff = 0;
    for (int32_t y = kTop + 30; y < kBottom; ++y) // under the caption
        for (int32_t x = 0; x < kRight - 160; ++x)
        {
            const size_t a = Offset(x + 160, y), b = Offset(x, y);
            for (size_t c = 0; c < 3; ++c)
                farOff += std::abs(int(whole[a + c]) - int(shifted[b + c])) > 24 ? 1 : 0;
        }
    EXPECT_LT(farOff, 100);
}

// Post-processing draws the map into a capture of the whole screen and composites it into the
// rectangle; the UI around it is the same either way.
TEST_F(SceneScreen, WithPostProcessingTheMapStaysInsideTheWidgetToo)
{
    renderDevice.bloomMode = 1;
    postProcess.Release();
    postProcess.Build();
    Load("");
    const std::vector<uint8_t> withoutMap = ShootScreen();
    Load("World1");
    ASSERT_TRUE(postProcess.IsActive());
    const std::vector<uint8_t> withMap = ShootScreen();
    postProcess.Release();
    EXPECT_EQ(CountDifferences(withMap, withoutMap, false), 0);
    EXPECT_GT(CountDifferences(withMap, withoutMap, true), (kRight - kLeft) * (kBottom - kTop));
}

TEST(SceneWidgetCamera, TheMapSettingsMakeTheCamera)
{
    struct Case
    {
        bool orthogonal;
        float height;
        float nearClip, farClip;
    } const cases[] = {{true, 30.0f, 1.0f, 50000.0f}, {false, 30.0f, 1.0f, 1000.0f}};
    for (const Case& c : cases)
    {
        WeSceneConfig config;
        config.vectorA = {1.0f, 2.0f, 3.0f};
        config.vectorB = {0.0f, 0.0f, -1.0f};
        config.vectorZ = {1.0f, 0.0f, 0.0f};
        config.flagF = c.orthogonal;
        config.valueG = c.height;
        const std::unique_ptr<WeCamera> camera = WeUISceneCamera(config);
        EXPECT_EQ(camera->orthogonal, c.orthogonal);
        EXPECT_FLOAT_EQ(camera->nearClip, c.nearClip);
        EXPECT_FLOAT_EQ(camera->farClip, c.farClip);
        EXPECT_FLOAT_EQ(camera->orthoHeight, c.height);
        EXPECT_FLOAT_EQ(camera->orthoWidth, c.height * renderDevice.Aspect());
        EXPECT_FLOAT_EQ(camera->position.z, 3.0f);
        EXPECT_FLOAT_EQ(camera->direction.z, -1.0f);
        EXPECT_FLOAT_EQ(camera->up.x, 1.0f);
    }
}

} // namespace
