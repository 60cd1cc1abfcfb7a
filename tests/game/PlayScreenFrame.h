// The play phase drawn on the OpenGL back end: the board through the phase's own render, and a
// skill level played through the phase and the UI in the background map of a name.
#pragma once

#include "../core/TempFolder.h"
#include "../render/GlFrameFixture.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "PlayFixture.h"
#include "ShippedScreens.h"
#include "WeCanvas.h"
#include "WeConfig.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"
#include "WeRandom.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <functional>
#include <utility>
#include <vector>

class PlayFrame : public WeApplication
{
public:
    const char* GetName() override { return "PlayFrame"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override { playGamePhase.Render(); }
};

class PlayBoardFrame : public GlFrameFixture
{
protected:
    void TearDown() override
    {
        playGamePhase.Leave();
        MivoFreeLevelResources();
        GlFrameFixture::TearDown();
    }
};

class PlayScreen : public WeApplication
{
public:
    const char* GetName() override { return "PlayScreen"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        phaseStack.Render();
        uiMain.Render();
    }
};

// A skill level played through the play phase and the UI (laid out for 800x600) on a screen of a
// size, in every world the background map of the name ("NoSuchMap": the board alone).
class PlayScreenFrame : public PlayBoardFrame
{
protected:
    void TearDown() override
    {
        phaseStack.LeaveAll();
        uiMain.Shutdown();
        userData.FreeAll();
        userData.gameMode = MivoModeNone;
        for (auto& [name, value] : worlds)
            *name = value;
        PlayBoardFrame::TearDown();
    }
    // The level of the map to its first playing frame with every fade over; false when it
    // does not get there.
    bool PlayLevel(int32_t map, ScreenSize size = {400, 300}, const char* world = "NoSuchMap")
    {
        if (!StartScreen(size))
            return false;
        SwitchToLevel(map, world);
        return FramesUntil(
            [] { return playGamePhase.state == MivoPlayGamePhase::Playing && uiMain.hiding.IsEmpty(); });
    }
    // The device, the UI and a player for skill levels; false without the player.
    bool StartScreen(ScreenSize size = {400, 300})
    {
        StartGl(size.width, size.height);
        engine.settings.uiSourceWidth = 800;
        engine.settings.uiSourceHeight = 600;
        if (localization.GetLanguageName().IsEmpty())
            localization.LoadAll();
        userData.SetFolder(players / "");
        if (!userData.CreateUser("Ana"))
            return false;
        MivoUser& user = *userData.CurrentUser();
        std::fill(std::begin(user.tutorialsSeen), std::end(user.tutorialsSeen), uint8_t(1));
        user.skill.cubes[0] = 4;
        userData.gameMode = MivoModeSkill;
        for (int32_t number = 1; number <= 15; ++number)
        {
            WeString& name = WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(number), "");
            worlds.emplace_back(&name, name);
        }
        uiMain.SetPainter(nullptr);
        uiMain.Init();
        uiMain.cursorVisible = false;
        return true;
    }
    // The map's level in the background map of the name in every world, switched in and begun.
    void SwitchToLevel(int32_t map, const char* world = "NoSuchMap")
    {
        for (auto& [name, value] : worlds)
            *name = world;
        WeSRand(1);
        gameApp.mapToPlay = map;
        gameApp.questPlace = -1;
        timer.deltaTime = 0.1f;
        phaseStack.Request(&playGamePhase, Top() ? WePhaseCommand::Switch : WePhaseCommand::Push);
        phaseStack.Update(); // the level begins
    }
    static WeAbstractPhase* Top() { return phaseStack.GetTop(); }
    // Frames until the condition holds, at most 400, each drawn on the screen when one is
    // given, else only the camera's fly-in moving as the phase's Render moves it; whether it
    // came to hold.
    bool FramesUntil(const std::function<bool()>& done, WeApplication* screen = nullptr)
    {
        for (int32_t i = 0; i < 400 && !done(); ++i)
        {
            Frames(1);
            if (screen)
            {
                application = screen;
                renderDevice.RenderFrame();
                application = &app;
            }
            else if (playGamePhase.camera)
                playGamePhase.camera->Update(0.1f);
        }
        return done();
    }
    // Frames of 0.1 s with the level's clock held at 100 s.
    static void Frames(int32_t count)
    {
        for (int32_t i = 0; i < count; ++i)
        {
            timer.deltaTime = 0.1f;
            playGamePhase.elapsed = 100.0f;
            uiMain.ProcessEvents();
            phaseStack.Update();
            uiMain.Update();
        }
    }

    TempFolder players;
    std::vector<std::pair<WeString*, WeString>> worlds;
};
