#include "MenuFixture.h"

#include "MivoCreditsPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "WeConfig.h"
#include "WeUIStyle.h"

#include <algorithm>
#include <string>

namespace
{

class Credits : public MenuFixture
{
protected:
    void TearDown() override
    {
        MenuFixture::TearDown();
        // The shipped texts back for the tests that follow.
        WeConfig::Load("LocalizationEN");
        localization.LoadAll();
    }
    // The credits text as the English table would hold it.
    static void SetCreditsText(const std::string& escaped)
    {
        const std::string file = "[Localization]\nMivo: Credits=" + escaped + "\n";
        WeConfig::LoadText("LocalizationEN", file.data(), file.size());
        localization.LoadAll();
    }
    void OpenCredits()
    {
        phaseStack.Request(&base, WePhaseCommand::Push);
        phaseStack.Request(&creditsPhase, WePhaseCommand::Push);
        Step();
        ASSERT_EQ(Top(), &creditsPhase);
    }
    // Frames until the credits window has faded in and takes clicks.
    static void UntilSettled()
    {
        for (int32_t i = 0; i < 100 && !MivoFindWidget("CreditsWindow")->IsSettled(); ++i)
            Step();
    }
    static std::string Style(int32_t line)
    {
        const WeUIComponent* label = Line(line);
        return label && label->style ? std::string(label->style->name.GetData()) : "";
    }
    static const WeUIComponent* Line(int32_t line)
    {
        const std::string name = "Label" + std::to_string(line);
        return MivoFindWidget(name.c_str());
    }
    static std::string Text(int32_t line) { return std::string(Line(line)->text.GetData()); }

    RecordingPhase base;
};

} // namespace

TEST_F(Credits, EnteringPlacesTheTextBelowItsWindowAndGivesBackItsId)
{
    OpenCredits();
    ASSERT_NE(MivoFindWidget("CreditsTextWindow"), nullptr);
    EXPECT_FLOAT_EQ(MivoFindWidget("CreditsTextWindow")->yR, 1.0f - 0.05f * timer.deltaTime)
        << "placed at 1.0, then one frame of scrolling";
    EXPECT_EQ(MivoFindWidget("CreditsBackButton")->onMouseUp.id, MivoCreditsPhase::kBackId);
    EXPECT_EQ(MivoFindWidget("CreditsWindow")->visibilityDir, 1) << "shown";
    EXPECT_EQ(Line(1)->parent, MivoFindWidget("CreditsTextWindow"));
}

TEST_F(Credits, ATextWithoutLineFeedsIsOneHeadingAndNoTextIsOneEmptyLine)
{
    SetCreditsText("Mivo");
    OpenCredits();
    EXPECT_EQ(Text(1), "Mivo");
    EXPECT_EQ(Style(1), "MivoLabelCredits1");
    EXPECT_EQ(Line(2), nullptr);

    EXPECT_EQ(MivoCreditsPhase::CreateLines(""), 1);
    EXPECT_EQ(Text(1), "");
    EXPECT_EQ(Line(2), nullptr);
}

TEST_F(Credits, AnEmptyLineIsAPlainLineAndMakesTheNextOneAHeading)
{
    SetCreditsText("Title\\nName\\n\\nSection\\nName\\n\\n\\nLast");
    OpenCredits();
    const char* expected[] = {"MivoLabelCredits1", "MivoLabelCredits2", "MivoLabelCredits2",
                              "MivoLabelCredits1", "MivoLabelCredits2", "MivoLabelCredits2",
                              "MivoLabelCredits1", "MivoLabelCredits1"};
    for (int32_t i = 1; i <= 8; ++i)
        EXPECT_EQ(Style(i), expected[i - 1]) << "line " << i;
    EXPECT_EQ(Text(3), "");
    EXPECT_EQ(Text(7), "") << "an empty line after an empty line is a heading, and still empty";
    EXPECT_EQ(Text(8), "Last");
    EXPECT_EQ(Line(9), nullptr);
}

TEST_F(Credits, LinesFollowEachOtherByThirtyDesignPixelsCentredAndFiveHundredWide)
{
    MivoCreditsPhase::CreateLines("a\nb\nc");
    EXPECT_EQ(Line(1), nullptr) << "no text window, no lines";
    uiMain.LoadComponents("Credits");
    ASSERT_EQ(MivoCreditsPhase::CreateLines("a\nb\nc"), 3);
    for (int32_t i = 1; i <= 3; ++i)
    {
        const WeUIComponent* label = Line(i);
        EXPECT_FLOAT_EQ(label->yP, 30.0f * static_cast<float>(i) / 600.0f) << i;
        EXPECT_FLOAT_EQ(label->yR, 0.0f);
        EXPECT_FLOAT_EQ(label->xR, 0.5f);
        EXPECT_FLOAT_EQ(label->xA, 0.5f);
        EXPECT_FLOAT_EQ(label->wP, 500.0f / 800.0f);
        EXPECT_FLOAT_EQ(label->hP, 50.0f / 600.0f);
    }
}

TEST_F(Credits, ColonsCommasPercentsAndTextKeysInALineAreShownAsWritten)
{
    uiMain.LoadComponents("Credits");
    const WeString lines = "Music: Ana, Bob, Cleo\n"
                           "x,1,2,3,4,5,LF:RF\n"
                           "%100%\n"
                           "Credits\n"
                           "a:b:c:#FF0000FF";
    ASSERT_EQ(MivoCreditsPhase::CreateLines(lines), 5);
    EXPECT_EQ(Text(1), "Music: Ana, Bob, Cleo");
    EXPECT_EQ(Text(2), "x,1,2,3,4,5,LF:RF");
    EXPECT_EQ(Text(3), "%100%") << "not taken as a literal layout text";
    EXPECT_EQ(Text(4), "Credits") << "not translated as the key \"UI: Credits\"";
    EXPECT_EQ(Text(5), "a:b:c:#FF0000FF");
    for (int32_t i = 1; i <= 5; ++i)
    {
        const WeUIComponent* label = Line(i);
        EXPECT_FLOAT_EQ(label->colour.a, 1.0f) << "line " << i << " stays visible";
        EXPECT_FLOAT_EQ(label->colour.r, 1.0f) << i;
        EXPECT_FLOAT_EQ(label->yP, 30.0f * static_cast<float>(i) / 600.0f)
            << "line " << i << " keeps its place";
        EXPECT_FLOAT_EQ(label->xR, 0.5f) << i;
        EXPECT_EQ(label->showFlags, 0) << i;
        EXPECT_EQ(label->hideFlags, 0) << i;
        EXPECT_EQ(label->aspect, ' ') << i;
    }
    EXPECT_EQ(Style(2), "MivoLabelCredits2");
}

TEST_F(Credits, TheShippedCreditsFitTheScrollAndNameTheLibraries)
{
    const WeString& text = localization.Translate("Mivo: Credits");
    const int32_t lines = text.CountTokens('\n');
    // The last line must have left the top of its panel when the scroll ends at -1.8 panel
    // heights (design pixels are screen pixels here).
    uiMain.LoadComponents("Credits");
    uiMain.Update();
    const WeUIComponent* panel = MivoFindWidget("CreditsTextWindow")->parent;
    EXPECT_LT(30 * lines + 50, static_cast<int32_t>(1.8f * static_cast<float>(panel->h)));
    EXPECT_GE(lines, 10);
    for (const char* library : {"Lua", "OpenAL Soft", "libvorbis", "SDL2", "FreeType"})
        EXPECT_GE(text.Find(library), 0) << library;
}

TEST_F(Credits, TheLinesShowOnlyInsideTheFramedPanel)
{
    painter.textureNames = {"Config.UI.MenuWindow"};
    uiMain.CreateDefaultStyles(); // again, now with the panel's texture
    OpenCredits();
    Steps(100); // 10 s of scrolling: the lines run from mid-panel past its lower edge
    const WeUIComponent* panel = MivoFindWidget("CreditsPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(MivoFindWidget("CreditsTextWindow")->parent, panel);
    const WeUIStyle* frame = panel->style;
    ASSERT_TRUE(frame && frame->texture) << "a framed panel";
    EXPECT_LT(panel->w, 800);
    EXPECT_GE(panel->y, 0);
    EXPECT_LE(panel->y + panel->h, MivoFindWidget("CreditsBackButton")->y) << "clear of the Back button";
    painter.draws.clear();
    uiMain.Render();
    int32_t lines = 0;
    for (const RecordedDraw& d : painter.Kinds("text"))
    {
        if (d.text == "Back")
        {
            EXPECT_FALSE(d.scissorOn) << "drawn after the panel, with the scissor given back";
            continue;
        }
        ++lines;
        EXPECT_TRUE(d.scissorOn) << d.text;
        EXPECT_EQ(d.scissor.left, panel->x + frame->leftPx) << d.text;
        EXPECT_EQ(d.scissor.top, panel->y + frame->topPx) << d.text;
        EXPECT_EQ(d.scissor.right, panel->x + panel->w - frame->rightPx) << d.text;
        EXPECT_EQ(d.scissor.bottom, panel->y + panel->h - frame->bottomPx) << d.text;
    }
    EXPECT_GT(lines, 5);
}

TEST_F(Credits, TheScrollReturnsToTheMainMenuByItselfAfterFiftySixSeconds)
{
    OpenCredits();
    // 0.1 s a frame: 55 s after the start the text is still scrolling.
    Steps(549);
    EXPECT_EQ(Top(), &creditsPhase);
    EXPECT_GT(MivoFindWidget("CreditsTextWindow")->yR, -1.8f);
    Steps(20);
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_EQ(Depth(), 2) << "the credits were replaced, not covered";
    EXPECT_TRUE(MivoFindWidget("CreditsWindow") == nullptr ||
                MivoFindWidget("CreditsWindow")->deleteWhenHidden)
        << "the credits window closes";
}

TEST_F(Credits, BackReturnsToTheMainMenu)
{
    OpenCredits();
    UntilSettled();
    Click("CreditsBackButton");
    Step();
    Step();
    EXPECT_EQ(Top(), &mainMenuPhase);
    const WeUIComponent* window = MivoFindWidget("CreditsWindow");
    ASSERT_NE(window, nullptr) << "still fading out";
    EXPECT_TRUE(window->deleteWhenHidden);
    EXPECT_TRUE(window->enabled);
    EXPECT_FLOAT_EQ(window->colour.a, 1.0f);
}

TEST_F(Credits, EscapeReturnsToTheMainMenuAndIsTakenFromTheScreensBelow)
{
    OpenCredits();
    PressKey(1);
    Step();
    EXPECT_EQ(std::count(base.log.begin(), base.log.end(), "Escape"), 0) << "consumed";
    Step();
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_EQ(phaseStack.GetPhases().First(), &base);
}

TEST_F(Credits, TheMainMenuOpensTheCreditsAndBackLeadsToItAgain)
{
    phaseStack.Request(&menuPhase, WePhaseCommand::Push);
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Push);
    Steps(12);
    Click("MainMenuCreditsButton");
    Steps(2);
    ASSERT_EQ(Top(), &creditsPhase);
    EXPECT_EQ(Depth(), 2) << "the credits replace the main menu over the menu background";
    UntilSettled();
    Click("CreditsBackButton");
    Steps(2);
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_EQ(Depth(), 2);
}
