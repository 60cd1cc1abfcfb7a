// One screen of the UI on the OpenGL back end: a window with a title label and two buttons,
// built from layout text with the shipped styles, laid out and drawn by the UI manager through
// the canvas and fonts, and compared pixel by pixel with a stored reference image. The style
// textures come from the built package (bin/Packages.dat), so the whole build must have run.
//
// The reference is tests/ui/reference/ui_screen.bmp. To make it again (after a deliberate change
// to what the UI draws), run the test once with WE_UPDATE_REFERENCE=1 in the environment, look at
// the new image, and commit it.
#include "UIScreenFixture.h"
#include "WePhaseStack.h"

namespace
{

constexpr int32_t playEventId = 41;
constexpr int32_t quitEventId = 42;

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

class UIScreen : public UIScreenFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "ui_screen.bmp";
        StartScreen("ShotWin=Window:Root:MenuWindow:::#FF203048,0,0,280,200,0\n"
                    "ShotTitle=Label:ShotWin:MenuTitle:%Mivo,0%0.5%0.5,12,260,40,1\n"
                    "ShotPlay=Button:ShotWin:MenuButton:%Play,0%0.5%0.5,72,0,0,1\n"
                    "ShotQuit=Button:ShotWin:MenuButton:%Quit,0%0.5%0.5,128,0,0,1\n",
                    "Shot");
    }
};

} // namespace

TEST_F(UIScreen, AWindowWithATitleAndTwoButtonsMatchesTheReferenceImage)
{
    Settle();
    UIScreenApplication screen;
    ExpectMatchesReference(Shoot(screen), 60);
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
