// What the play's tests load besides the level: the block models, meshes, materials and
// textures, freed as the engine's shut-down frees them; and the play phase on the recording
// painter with the shipped layouts and levels, the background map left out.
#pragma once

#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoGame.h"
#include "MivoGameCamera.h"
#include "MivoPlayGamePhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeConfig.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeTexture.h"
#include "WeTimer.h"

#include <functional>
#include <utility>
#include <vector>

// The play's run-time block materials first: the meshes hold them.
inline void MivoFreeLevelResources()
{
    playGamePhase.blockMaterials.clear();
    modelManager.FreeAll();
    meshManager.FreeAll(true);
    materialManager.FreeAll(true);
    textures.FreeAll(true);
}

class PlayPhase : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        userData.SetFolder(folder / "");
        ASSERT_TRUE(userData.CreateUser("Ana"));
        userData.gameMode = MivoModePractice;
        gameApp.mapToPlay = 1001;
        gameApp.questPlace = -1;
        playGamePhase.returnPhase = &chooser;
        savedMinimumDelta = timer.minimumDelta;
        // No background map: the level stands in an empty scene.
        for (int32_t world = 1; world <= 15; ++world)
        {
            WeString& name = WeConfig::GetString(WeString("Mivo.Maps.World").AppendInt(world), "");
            savedWorlds.emplace_back(&name, name);
            name = "NoSuchMap";
        }
    }
    void TearDown() override
    {
        MenuFixture::TearDown();
        for (auto& [name, value] : savedWorlds)
            *name = value;
        timer.minimumDelta = savedMinimumDelta;
        MivoFreeLevelResources();
        userData.FreeAll();
        userData.gameMode = MivoModeNone;
    }
    // A frame of 0.1 s (the timer measures one after the phase zeroed it), with the camera's
    // fly-in moving as the phase's Render moves it.
    void PlayStep()
    {
        timer.deltaTime = 0.1f;
        Step();
        if (playGamePhase.state >= MivoPlayGamePhase::FirstFrame && playGamePhase.camera)
            playGamePhase.camera->Update(0.1f);
    }
    // Frames until the condition holds; false when it never did.
    bool StepUntil(const std::function<bool()>& condition, int32_t frames = 300)
    {
        for (int32_t i = 0; i < frames && !condition(); ++i)
            PlayStep();
        return condition();
    }
    bool StepToState(int32_t state)
    {
        const bool reached = StepUntil([state] { return playGamePhase.state == state; });
        if (!reached)
            ADD_FAILURE() << "stopped in state " << playGamePhase.state;
        return reached;
    }
    void StartLevel()
    {
        phaseStack.Request(&playGamePhase, WePhaseCommand::Push);
        PlayStep();
    }
    static bool Visible(const char* name)
    {
        const WeUIComponent* widget = MivoFindWidget(name);
        return widget && widget->visible;
    }
    static void SendEvent(int32_t id)
    {
        WeUIEvent event = MivoMadeEvent(id);
        playGamePhase.OnUIEvent(&event);
    }

    TempFolder folder;
    RecordingPhase chooser;
    double savedMinimumDelta = 0.0;
    std::vector<std::pair<WeString*, WeString>> savedWorlds;
};
