#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoHighScorePhase.h"
#include "MivoIntroPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoNewGamePhase.h"
#include "MivoOptionsPhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "MivoUsersPhase.h"
#include "WeConfig.h"
#include "WeRenderDevice.h"

#include <cstdlib>

namespace
{

// The intro with a list of images and times of the test's choosing, put back afterwards.
class Intro : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        shippedImages = images;
        shippedTime = imageTime;
        shippedFade = fade;
        gameApp.menuCursor = false;
    }
    void TearDown() override
    {
        images = shippedImages;
        imageTime = shippedTime;
        fade = shippedFade;
        MenuFixture::TearDown();
        uiMain.cursorVisible = false;
        gameApp.menuCursor = false;
    }
    // Frames from the push of the intro until it has gone, at most `limit`.
    static int32_t FramesUntilMenus(int32_t limit)
    {
        int32_t frames = 0;
        do
        {
            Step();
            ++frames;
        } while (Top() == &introPhase && frames < limit);
        return frames;
    }

    WeString& images = WeConfig::GetString("Mivo.Intro.Images", "");
    float& imageTime = WeConfig::GetFloat("Mivo.Intro.ImageTime", 1.0f);
    float& fade = WeConfig::GetFloat("Mivo.Intro.FadeDelta", 0.5f);
    WeString shippedImages;
    float shippedTime = 0, shippedFade = 0;
};

using MainMenu = MenuFixture;

} // namespace

TEST_F(Intro, TheShippedIntroShowsEachImageInTurnThenTheMenusAfterTheWindowHasFaded)
{
    ASSERT_EQ(images, "IntroImage1,IntroImage2,IntroImage3");
    phaseStack.Request(&introPhase, WePhaseCommand::Push);
    Step();
    ASSERT_NE(MivoFindWidget("IntroWindow"), nullptr);
    EXPECT_FLOAT_EQ(MivoFindWidget("IntroWindow")->fadeSpeed, fade);
    EXPECT_FLOAT_EQ(MivoFindWidget("IntroImage1")->colour.a, 1.0f);
    EXPECT_FLOAT_EQ(MivoFindWidget("IntroImage2")->colour.a, 0.0f);
    EXPECT_FLOAT_EQ(MivoFindWidget("IntroImage3")->colour.a, 0.0f);

    std::vector<int32_t> order; // the image fully in view, each time it changes
    int32_t frames = 0;
    for (; Top() == &introPhase && frames < 1000; ++frames)
    {
        for (int32_t i = 1; i <= 3; ++i)
        {
            WeString name("IntroImage");
            name.AppendInt(i);
            const WeUIComponent* image = MivoFindWidget(name);
            if (image && image->visible && image->colour.a == 1.0f && image->visibilityValue == 1.0f &&
                (order.empty() || order.back() != i))
                order.push_back(i);
        }
        // No key ends the intro early.
        if (MivoFindWidget("IntroWindow"))
        {
            PressKey(1);
            PressKey(28);
            PressKey(57);
        }
        Step();
    }
    EXPECT_EQ(order, (std::vector<int32_t>{1, 2, 3}));
    // Three image times, the window's fade in and out, and two cross-fades: 1 / fade each.
    const float seconds = 3 * imageTime + 4 / fade;
    EXPECT_GE(frames, static_cast<int32_t>(seconds / 0.1f) - 2);
    EXPECT_LE(frames, static_cast<int32_t>(seconds / 0.1f) + 15) << "a frame's wait after each fade";
    Step();
    // Nobody to play as: the users screen, which asks for a name at once.
    EXPECT_EQ(Depth(), 3);
    EXPECT_EQ(phaseStack.GetPhases().First(), &menuPhase) << "the intro was replaced by the menu background";
    EXPECT_EQ(gameApp.MenuScreen(), &usersPhase);
    EXPECT_EQ(Top(), &createUserPhase);
    EXPECT_TRUE(gameApp.menuCursor);
    EXPECT_NE(MivoFindWidget("MenuOverlayCurrentUserLabel"), nullptr)
        << "the intro's Leave loaded the overlay";
    EXPECT_NE(MivoFindWidget("MenuBackImage"), nullptr);
    EXPECT_NE(MivoFindWidget("UsersWindow"), nullptr);
}

TEST_F(Intro, WithoutImagesTheFirstTimeOutClosesTheWindowAndANameWithoutWidgetShowsNothing)
{
    images = "";
    imageTime = 0.5f;
    fade = 10.0f;
    phaseStack.Request(&introPhase, WePhaseCommand::Push);
    EXPECT_LE(FramesUntilMenus(100), 12) << "a fade in, the time-out, a fade out";
    EXPECT_NE(Top(), &introPhase);
    phaseStack.LeaveAll();
    Steps(5);

    images = "IntroImage1,NoSuchImage,,IntroImage3";
    phaseStack.Request(&introPhase, WePhaseCommand::Push);
    Step();
    EXPECT_FLOAT_EQ(MivoFindWidget("IntroImage3")->colour.a, 1.0f)
        << "the list ends at its first empty field: the third is never touched";
    const int32_t frames = FramesUntilMenus(100);
    EXPECT_GE(frames, 10) << "two image times";
    EXPECT_LE(frames, 16);
}

TEST_F(Intro, NoImageTimeOrFadeSpeedKeepsTheIntroForGood)
{
    imageTime = 0.0f;
    phaseStack.Request(&introPhase, WePhaseCommand::Push);
    Step();
    EXPECT_FLOAT_EQ(MivoFindWidget("IntroWindow")->fadeSpeed, fade);
    // The window's fade in and out and two cross-fades, a frame's wait after each.
    EXPECT_LE(FramesUntilMenus(200), static_cast<int32_t>(4 / fade / 0.1f) + 10);
    EXPECT_NE(Top(), &introPhase);
    phaseStack.LeaveAll();
    Steps(30);

    imageTime = 0.2f;
    fade = 0.0f;
    phaseStack.Request(&introPhase, WePhaseCommand::Push);
    Step();
    EXPECT_GT(MivoFindWidget("IntroWindow")->fadeSpeed, 0.0f) << "the style's own speed";
    EXPECT_LT(FramesUntilMenus(1000), 1000);
    EXPECT_NE(Top(), &introPhase);
}

TEST_F(MainMenu, TheMenuBackgroundStartsTheMenuMusicOnlyWhenAnotherTrackWasPlaying)
{
    gameApp.musicTrack = 5;
    phaseStack.Request(&menuPhase, WePhaseCommand::Push);
    Step();
    EXPECT_EQ(gameApp.musicTrack, 14);
    EXPECT_NE(MivoFindWidget("MenuBackImage"), nullptr);
    phaseStack.Request(&menuPhase, WePhaseCommand::Switch);
    Step();
    EXPECT_EQ(gameApp.musicTrack, 14);
}

TEST_F(MainMenu, TheBackdropKeepsItsPicturesShapeAndCoversTheScreenCentred)
{
    painter.textureNames = {"Config.UI.MivoMenuBack"}; // 64 x 128 in the recording painter
    phaseStack.Request(&menuPhase, WePhaseCommand::Push);
    Step();
    const WeUIComponent* back = MivoFindWidget("MenuBackImage");
    ASSERT_NE(back, nullptr);
    struct Screen
    {
        int32_t w, h;
    } screens[] = {{800, 600}, {1280, 720}, {1280, 1024}, {600, 1000}, {200, 1000}};
    for (const Screen& screen : screens)
    {
        renderDevice.SetBackBufferSize(screen.w, screen.h);
        uiMain.Update();
        EXPECT_EQ(back->w * 128, back->h * 64) << screen.w << " x " << screen.h;
        EXPECT_TRUE(back->w == screen.w || back->h == screen.h) << "no larger than it must be";
        EXPECT_LE(back->x, 0);
        EXPECT_LE(back->y, 0);
        EXPECT_GE(back->x + back->w, screen.w);
        EXPECT_GE(back->y + back->h, screen.h);
        EXPECT_LE(std::abs(2 * back->x + back->w - screen.w), 1) << "centred";
        EXPECT_LE(std::abs(2 * back->y + back->h - screen.h), 1);
    }
    renderDevice.SetBackBufferSize(800, 600);
}

TEST_F(MainMenu, TheOverlayNamesTheCurrentUserOrNobody)
{
    TempFolder folder;
    userData.SetFolder(folder / "");
    uiMain.LoadComponents("MenuOverlay");
    WeUIComponent* label = MivoFindWidget("MenuOverlayCurrentUserLabel");
    ASSERT_NE(label, nullptr);
    label->text = "stale";
    MivoMenuPhase::ShowCurrentUser();
    EXPECT_EQ(label->text, "");
    ASSERT_TRUE(userData.CreateUser("Ana"));
    MivoMenuPhase::ShowCurrentUser();
    EXPECT_EQ(label->text, "Ana");
    userData.FreeAll();
}

TEST_F(MainMenu, EveryButtonHasItsIdAndLeadsToItsScreen)
{
    phaseStack.Request(&menuPhase, WePhaseCommand::Push);
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Push);
    Steps(12);
    const std::pair<const char*, int32_t> buttons[] = {
        {"MainMenuUsersButton", 14}, {"MainMenuOptionsButton", 15},   {"MainMenuNewGameButton", 16},
        {"MainMenuExitButton", 17},  {"MainMenuHighScoreButton", 18}, {"MainMenuCreditsButton", 19}};
    for (const auto& [name, id] : buttons)
    {
        ASSERT_NE(MivoFindWidget(name), nullptr) << name;
        EXPECT_EQ(MivoFindWidget(name)->onMouseUp.id, id) << name;
        EXPECT_EQ(MivoFindWidget(name)->onMouseUp.callback, nullptr) << name;
    }
    const std::pair<const char*, WeAbstractPhase*> screens[] = {{"MainMenuOptionsButton", &optionsPhase},
                                                                {"MainMenuHighScoreButton", &highScorePhase}};
    for (const auto& [name, screen] : screens)
    {
        Click(name);
        Steps(2);
        EXPECT_EQ(Top(), screen) << name << " replaced the main menu";
        EXPECT_EQ(Depth(), 2) << name;
        PressKey(kMivoEscapeKey);
        Steps(12);
        EXPECT_EQ(Top(), &mainMenuPhase) << "Escape leads back from " << name;
    }
    EXPECT_TRUE(optionsPhase.openedFromMainMenu);
    WeUIEvent other = MivoMadeEvent(20);
    EXPECT_FALSE(mainMenuPhase.OnUIEvent(&other)) << "an id of no button goes on down the stack";
    Click("MainMenuNewGameButton");
    Steps(2);
    EXPECT_EQ(Top(), &newGamePhase) << "the choice of mode replaced the main menu";
    EXPECT_EQ(Depth(), 2);
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Switch);
    Steps(12);
    Click("MainMenuUsersButton");
    Steps(2);
    EXPECT_EQ(Depth(), 3) << "the users screen replaced the main menu";
    EXPECT_EQ(Top(), &createUserPhase) << "with nobody yet, it asks for a name";
}

TEST_F(MainMenu, ExitAndEscapeAskTheExitQuestionAndEscapeAgainAnswersNo)
{
    phaseStack.Request(&menuPhase, WePhaseCommand::Push);
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Push);
    Steps(12);
    Click("MainMenuExitButton");
    Steps(12);
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_EQ(confirmationPhase.layoutSuffix, "1");
    EXPECT_EQ(confirmationPhase.textKey, "UI: Exit Game");
    EXPECT_FALSE(confirmationPhase.okOnly);
    Click("Confirmation1NoButton");
    Steps(12);
    EXPECT_EQ(Top(), &mainMenuPhase);

    PressKey(1);
    Steps(12);
    ASSERT_EQ(Top(), &confirmationPhase) << "Escape asks the same question";
    PressKey(1);
    Steps(2);
    EXPECT_EQ(Top(), &mainMenuPhase) << "and Escape in it answers No";
    EXPECT_EQ(Depth(), 2);
    EXPECT_NE(MivoFindWidget("MainMenuWindow"), nullptr);
}
