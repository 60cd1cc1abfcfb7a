// One screen of the UI on the OpenGL back end: a window with a title label and two buttons,
// built from layout text with the shipped styles, laid out and drawn by the UI manager through
// the canvas and fonts, and compared pixel by pixel with a stored reference image. The style
// textures come from the built package (bin/Packages.dat), so the whole build must have run.
//
// The reference is tests/ui/reference/ui_screen.bmp. To make it again (after a deliberate change
// to what the UI draws), run the test once with WE_UPDATE_REFERENCE=1 in the environment, look at
// the new image, and commit it.
#include "../render/RenderDeviceFixture.h"
#include "WeCanvas.h"
#include "WeConfig.h"
#include "WeFont.h"
#include "WePhaseStack.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace
{

constexpr int32_t screenWidth = 320;
constexpr int32_t screenHeight = 240;
constexpr int32_t playEventId = 41;
constexpr int32_t quitEventId = 42;

std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void LoadConfigText(const char* name, const std::string& text)
{
    WeConfig::LoadText(name, text.data(), text.size());
}

class UIScreenApplication : public WeApplication
{
public:
    const char* GetName() override { return "UIScreenApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        uiMain.Render();
    }
};

class ClickPhase : public WeAbstractPhase
{
public:
    void Enter() override {}
    void Leave() override {}
    bool OnUIEvent(WeUIEvent* event) override
    {
        seen.push_back(event->id);
        return true;
    }
    std::vector<int32_t> seen;
};

class UIScreen : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        engine.settings.width = screenWidth;
        engine.settings.height = screenHeight;
        engine.settings.uiSourceWidth = screenWidth;
        engine.settings.uiSourceHeight = screenHeight;
        timer.deltaTime = 0.1f;
        char pattern[] = "/tmp/we_uiscreen_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        direct3D = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr);
        renderDevice.direct3D = direct3D;
        window =
            SDL_CreateWindow("ui", 0, 0, screenWidth, screenHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        ASSERT_TRUE(renderDevice.Init(nullptr, window, "", 0, 0, 0, 0, false, 3, 2, false))
            << engine.lastError.GetData();
        const char* data = std::getenv("WE_TEST_DATA");
        ASSERT_NE(data, nullptr);
        const std::vector<uint8_t> styles =
            ReadFile(std::filesystem::path(data) / "Packages/Config/Main/UI.ini");
        ASSERT_FALSE(styles.empty());
        shippedUI.assign(styles.begin(), styles.end());
        LoadConfigText("UI", shippedUI);
        // The design is the screen, so design pixels are screen pixels.
        LoadConfigText("UI", "[Size]\nSrcW=320\nSrcH=240\n"
                             "[Components]\n"
                             "ShotWin=Window:Root:MenuWindow:::#FF203048,0,0,280,200,0\n"
                             "ShotTitle=Label:ShotWin:MenuTitle:%Mivo,0%0.5%0.5,12,260,40,1\n"
                             "ShotPlay=Button:ShotWin:MenuButton:%Play,0%0.5%0.5,72,0,0,1\n"
                             "ShotQuit=Button:ShotWin:MenuButton:%Quit,0%0.5%0.5,128,0,0,1\n");
        uiMain.SetPainter(nullptr);
        uiMain.Init();
        uiMain.cursorVisible = false;
        uiMain.LoadComponents("Shot");
    }
    void TearDown() override
    {
        uiMain.Shutdown();
        LoadConfigText("UI", shippedUI); // the shipped design size again, for later tests
        fonts.FreeAll();
        textures.FreeAll(true);
        RecordingRenderDevice::TearDown();
        if (window)
            SDL_DestroyWindow(window);
        std::filesystem::remove_all(folder);
    }
    // A few frames, so fades have ended and the layout has settled.
    static void Settle()
    {
        for (int32_t i = 0; i < 20; ++i)
        {
            uiMain.ProcessEvents();
            uiMain.Update();
        }
    }

    SDL_Window* window = nullptr;
    std::filesystem::path folder;
    std::string shippedUI;
};

} // namespace

TEST_F(UIScreen, AWindowWithATitleAndTwoButtonsMatchesTheReferenceImage)
{
    Settle();
    UIScreenApplication screen;
    application = &screen;
    renderDevice.RenderFrame();
    application = &app;
    const std::filesystem::path shot = folder / "screen.bmp";
    ASSERT_TRUE(renderDevice.SaveScreenshot(shot.c_str()));
    const std::vector<uint8_t> actual = ReadFile(shot);
    const std::filesystem::path reference =
        std::filesystem::path(__FILE__).parent_path() / "reference" / "ui_screen.bmp";
    if (std::getenv("WE_UPDATE_REFERENCE"))
        std::filesystem::copy_file(shot, reference, std::filesystem::copy_options::overwrite_existing);
    const std::vector<uint8_t> expected = ReadFile(reference);
    ASSERT_EQ(actual.size(), expected.size()) << "reference " << reference;
    ASSERT_GT(actual.size(), 54u);
    // Anti-aliased glyph edges may move a little between rasteriser versions.
    int32_t farOff = 0;
    for (size_t i = 54; i < actual.size(); ++i)
        farOff += std::abs(int(actual[i]) - int(expected[i])) > 24 ? 1 : 0;
    EXPECT_LE(farOff, 60);
}

TEST_F(UIScreen, AClickAtAButtonsCentreReportsItsEventToTheTopPhase)
{
    WeUIComponent* play = uiMain.GetComponent("ShotPlay");
    WeUIComponent* quit = uiMain.GetComponent("ShotQuit");
    ASSERT_NE(play, nullptr);
    ASSERT_NE(quit, nullptr);
    play->onMouseUp = {playEventId, nullptr};
    quit->onMouseUp = {quitEventId, nullptr};
    ClickPhase phase;
    phaseStack.Request(&phase, WePhaseCommand::Push);
    phaseStack.Update();
    Settle();
    // The laid-out buttons sit one above the other inside the window, clear of each other.
    ASSERT_GT(quit->y, play->y + play->h - 1);
    uiMain.PostMouseMove(quit->x + quit->w / 2, quit->y + quit->h / 2, 0);
    uiMain.PostMouseDown(0);
    uiMain.PostMouseUp(0);
    Settle();
    EXPECT_EQ(phase.seen, std::vector<int32_t>{quitEventId});
    phaseStack.LeaveAll();
}
