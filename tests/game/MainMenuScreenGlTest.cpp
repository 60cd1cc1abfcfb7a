// The main menu as the player sees it: the shipped layouts, styles and textures over the menu
// background, drawn by the UI on the OpenGL back end at 400 x 300 (half the design size) and
// compared with a stored reference image. The textures come from the built package
// (bin/Packages.dat), so the whole build must have run.
//
// The reference is tests/game/reference/main_menu.bmp. To make it again (after a deliberate
// change to the menu's look), run the test once with WE_UPDATE_REFERENCE=1 in the environment,
// look at the new image, and commit it.
#include "../core/TempFolder.h"
#include "../render/GlFrameFixture.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoUserData.h"
#include "WeCanvas.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"
#include "WeTimer.h"
#include "WeUIMain.h"

namespace
{

class MenuScreenApplication : public WeApplication
{
public:
    const char* GetName() override { return "MenuScreenApplication"; }
    bool Init() override { return true; }
    bool Exit() override { return true; }
    void Render() override
    {
        canvas.BeginFrame();
        phaseStack.Render();
        uiMain.Render();
    }
};

class MainMenuScreen : public GlFrameFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        timer.deltaTime = 0.1f;
        reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "main_menu.bmp";
        StartGl(400, 300);
        if (HasFatalFailure())
            return;
        engine.settings.uiSourceWidth = 800; // the shipped design size
        engine.settings.uiSourceHeight = 600;
        if (localization.GetLanguageName().IsEmpty())
            localization.LoadAll();
        userData.SetFolder(players / "");
        ASSERT_TRUE(userData.CreateUser("Ana"));
        uiMain.SetPainter(nullptr);
        uiMain.Init();
        uiMain.cursorVisible = false;
        uiMain.LoadComponents("MenuOverlay");
        phaseStack.Request(&menuPhase, WePhaseCommand::Push);
        phaseStack.Request(&mainMenuPhase, WePhaseCommand::Push);
        phaseStack.Update();
    }
    void TearDown() override
    {
        phaseStack.LeaveAll();
        uiMain.Shutdown();
        userData.FreeAll();
        GlFrameFixture::TearDown();
    }

    TempFolder players;
};

} // namespace

TEST_F(MainMenuScreen, TheMainMenuOverTheBackdropWithThePlayersNameMatchesTheReferenceImage)
{
    // The window's fade and the layout settle.
    for (int32_t i = 0; i < 30; ++i)
    {
        uiMain.ProcessEvents();
        phaseStack.Update();
        uiMain.Update();
    }
    MenuScreenApplication screen;
    ExpectMatchesReference(Shoot(screen), 200);
}
