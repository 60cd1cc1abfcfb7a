// A UI screen on the OpenGL back end: a 320 x 240 back buffer whose design size is the same, the
// shipped styles of data/Packages/Config/Main/UI.ini (their textures from the built package),
// the test's own layout entries, and an application with nothing of its own to draw: the device's
// frame draws the UI tree after it, once, as in the game.
#pragma once

#include "../render/GlFrameFixture.h"
#include "WeConfig.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <string>

class UIScreenApplication : public WeApplication
{
public:
    const char* GetName() override { return "UIScreenApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override {}
};

class UIScreenFixture : public GlFrameFixture
{
protected:
    static constexpr int32_t screenWidth = 320;
    static constexpr int32_t screenHeight = 240;

    // Starts the device and the UI manager, and loads the screen from the "[Components]" lines.
    void StartScreen(const std::string& components, const char* screen)
    {
        timer.deltaTime = 0.1f;
        StartGl(screenWidth, screenHeight);
        if (testing::Test::HasFatalFailure())
            return;
        const char* data = std::getenv("WE_TEST_DATA");
        ASSERT_NE(data, nullptr);
        const std::vector<uint8_t> styles =
            ReadWholeFile(std::filesystem::path(data) / "Packages/Config/Main/UI.ini");
        ASSERT_FALSE(styles.empty());
        shippedUI.assign(styles.begin(), styles.end());
        LoadConfigText(shippedUI);
        // The design is the screen, so design pixels are screen pixels.
        LoadConfigText("[Size]\nSrcW=320\nSrcH=240\n[Components]\n" + components);
        uiMain.SetPainter(nullptr);
        uiMain.Init();
        uiMain.cursorVisible = false;
        uiMain.LoadComponents(screen);
    }
    void TearDown() override
    {
        uiMain.Shutdown();
        LoadConfigText(shippedUI); // the shipped design size again, for later tests
        GlFrameFixture::TearDown();
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
    static void LoadConfigText(const std::string& text)
    {
        WeConfig::LoadText("UI", text.data(), text.size());
    }

    std::string shippedUI;
};
