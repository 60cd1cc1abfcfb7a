#include "MivoCityButtonStyle.h"
#include "../ui/UIFixture.h"
#include "WeConfig.h"
#include "WeTimer.h"
#include "WeUIButton.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct TuningKey
{
    const char* key;
    float defaultValue;
};
constexpr TuningKey kTuningKeys[] = {{"Mivo.QuestMap.MinBlink", 1.0f},
                                     {"Mivo.QuestMap.MaxBlink", 2.0f},
                                     {"Mivo.QuestMap.FinishedScale", 1.0f},
                                     {"Mivo.QuestMap.Scale", 1.0f},
                                     {"Mivo.QuestMap.ZoomedScale", 1.0f}};

// A city button of 100 x 40 at (10, 20) drawn by the registered city style, which has a texture
// and an over font, so that a hover shows both as a layer and as a second text.
class CityButtonStyle : public UIFixture
{
protected:
    void SetUp() override
    {
        UIFixture::SetUp();
        // The game's shipped values are the defaults; every test starts from them.
        for (const TuningKey& k : kTuningKeys)
            WeConfig::GetFloat(k.key, k.defaultValue) = k.defaultValue;
        savedTime = timer.absoluteTime;
        LoadUI("[MivoCityButton]\nFont=,10\nFontOver=,10\n");
        painter.textureNames = {"Config.UI.MivoCityButton"};
        MivoCityButtonStyle::Register();
        button = new WeUIButton(uiMain.root, "QuestCityR1C1");
        button->SetPlacement(10.0f / 800.0f, 0, 20.0f / 600.0f, 0, 100.0f / 800.0f, 0, 40.0f / 600.0f, 0, 0,
                             0, 0, 0);
        button->SetStyle("MivoCityButton", "Button");
        button->text = "Zagreb";
    }
    void TearDown() override
    {
        for (const TuningKey& k : kTuningKeys)
            WeConfig::GetFloat(k.key, k.defaultValue) = k.defaultValue;
        timer.absoluteTime = savedTime;
        MivoCityButtonStyle::questMapZoom = 0.0f;
        UIFixture::TearDown();
    }
    static void Set(const char* key, float value) { WeConfig::GetFloat(key, value) = value; }

    // The layers and texts of one frame at that time.
    void DrawAt(double time)
    {
        timer.absoluteTime = time;
        uiMain.Update();
        painter.draws.clear();
        uiMain.Render();
        parts = painter.Kinds("part");
        texts = painter.Kinds("text");
    }
    // The alpha byte of the glow (the pressed quarter) in the last frame; -1 when not drawn.
    int32_t GlowAlpha() const
    {
        for (const RecordedDraw& d : parts)
            if (d.top == 0.5f)
                return static_cast<int32_t>(d.argb >> 24);
        return -1;
    }
    bool HasHoverLayer() const
    {
        for (const RecordedDraw& d : parts)
            if (d.top == 0.25f)
                return true;
        return false;
    }

    WeUIButton* button = nullptr;
    std::vector<RecordedDraw> parts, texts;
    double savedTime = 0.0;
};

} // namespace

TEST_F(CityButtonStyle, IsRegisteredUnderItsNameAndASecondRegistrationKeepsTheFirst)
{
    WeUIStyle* style = uiMain.GetStyle("MivoCityButton");
    ASSERT_NE(dynamic_cast<MivoCityButtonStyle*>(style), nullptr);
    MivoCityButtonStyle::Register();
    EXPECT_EQ(uiMain.GetStyle("MivoCityButton"), style);
    EXPECT_EQ(button->style, style) << "a layout naming the style gets this one, not a default button style";
    EXPECT_EQ(style->texture, painter.fakeTexture);
}

TEST_F(CityButtonStyle, PlacesThatCannotBePlayedNeverBlinkNorShowAHoverLayer)
{
    button->hoverValue = 1.0f;
    for (MivoPlaceState state : {PLACE_ABSENT, PLACE_FINISHED, PLACE_LOCKED})
    {
        MivoCityButtonStyle::SetPlace(*button, state, 25005000);
        button->selected = state == PLACE_FINISHED;
        for (double time : {0.0, 0.375, 0.5, 1.25})
        {
            DrawAt(time);
            ASSERT_EQ(parts.size(), 1u) << "state " << state << " at " << time;
            EXPECT_FLOAT_EQ(parts[0].top, state == PLACE_FINISHED ? 0.75f : 0.0f);
            EXPECT_EQ(texts.size(), 1u) << "no over-font text either";
        }
    }
    // Hovered, the same button as an open place shows both.
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 25005000);
    button->selected = false;
    DrawAt(0.0);
    EXPECT_TRUE(HasHoverLayer());
    EXPECT_EQ(texts.size(), 2u);
}

TEST_F(CityButtonStyle, AComponentThatIsNoButtonIsDrawnAsAnAbsentPlace)
{
    auto* plain = new WeUIComponent(uiMain.root, "NotAButton");
    plain->style = uiMain.GetStyle("MivoCityButton");
    plain->hoverValue = 1.0f;
    button->visible = false;
    DrawAt(0.5);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_FLOAT_EQ(parts[0].top, 0.0f);
}

TEST_F(CityButtonStyle, AnOpenPlaceWithoutASeedBlinksOverTheLongestPeriodFromPhaseOne)
{
    // Phase 1 and rate 1: a period of MaxBlink = 2 s, (sin(pi t) + 1) / 2.
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 0);
    DrawAt(0.5);
    EXPECT_EQ(GlowAlpha(), 255);
    DrawAt(1.0 / 6.0); // (0.5 + 1) / 2 = 0.75: byte 191
    EXPECT_EQ(GlowAlpha(), 191);
    DrawAt(1.5);
    EXPECT_EQ(GlowAlpha(), -1) << "a glow of alpha 0 draws no layer";
    EXPECT_FALSE(HasHoverLayer());
    ASSERT_FALSE(parts.empty());
    EXPECT_FLOAT_EQ(parts[0].top, 0.0f);
}

TEST_F(CityButtonStyle, ASeedSetsThePhaseFromItsUpperAndThePeriodFromItsLowerPart)
{
    // a = 2500, b = 5000: phase 0.25, rate 0.5, period 1 + (2 - 1) x 0.5 = 1.5 s.
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 2500 * 10000 + 5000);
    DrawAt(0.0); // sin(0.25 x 2 pi) = 1
    EXPECT_EQ(GlowAlpha(), 255);
    DrawAt(0.375); // sin(0.5 x 2 pi) = 0: half, 127.5 + 0.5
    EXPECT_EQ(GlowAlpha(), 128);
    DrawAt(0.75); // sin(0.75 x 2 pi) = -1
    EXPECT_EQ(GlowAlpha(), -1);

    // The glow fades with the button's own alpha.
    button->colour.a = 0.5f;
    DrawAt(1.5);
    EXPECT_EQ(GlowAlpha(), 128);
}

TEST_F(CityButtonStyle, ALowerPartOfTenThousandCountsAsAZeroRateAndOneMoreInThePhase)
{
    // a = 1, b = 10000: the seed 20000 gives phase 0.0002 and rate 0, the shortest period 1 s.
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 1 * 10000 + 10000);
    DrawAt(0.2498);
    EXPECT_EQ(GlowAlpha(), 255);
    DrawAt(0.7498);
    EXPECT_EQ(GlowAlpha(), -1);
}

TEST_F(CityButtonStyle, HoveringDimsTheBlinkInStepWithTheHoverRamp)
{
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 0);
    button->hoverValue = 0.25f;
    DrawAt(0.5); // full glow x (1 - 0.25)
    EXPECT_EQ(GlowAlpha(), 191);
    EXPECT_TRUE(HasHoverLayer());
    button->hoverValue = 1.0f;
    DrawAt(0.5);
    EXPECT_EQ(GlowAlpha(), -1) << "a fully hovered place does not blink";
    EXPECT_TRUE(HasHoverLayer());
}

TEST_F(CityButtonStyle, EqualBlinkPeriodsOfZeroGiveNoGlowInsteadOfAnUndefinedColour)
{
    Set("Mivo.QuestMap.MinBlink", 0.0f);
    Set("Mivo.QuestMap.MaxBlink", 0.0f);
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 0);
    DrawAt(0.5);
    EXPECT_EQ(GlowAlpha(), -1);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].argb, 0xFFFFFFFFu);
}

TEST_F(CityButtonStyle, WithEveryKeyAtItsDefaultPlacesKeepTheirLaidOutSizeAtEveryZoom)
{
    MivoCityButtonStyle::SetPlace(*button, PLACE_FINISHED, 0);
    for (bool selected : {false, true})
        for (float zoom : {0.0f, 0.3f, 0.5f, 1.0f})
        {
            button->selected = selected;
            MivoCityButtonStyle::questMapZoom = zoom;
            DrawAt(0.0);
            ASSERT_EQ(parts.size(), 1u);
            EXPECT_EQ(parts[0].x, 10);
            EXPECT_EQ(parts[0].y, 20);
            EXPECT_EQ(parts[0].w, 100) << zoom;
            EXPECT_EQ(parts[0].h, 40) << zoom;
        }
}

TEST_F(CityButtonStyle, SizeFollowsTheZoomBetweenTheTwoScalesAndFinishedPlacesGrowFurther)
{
    Set("Mivo.QuestMap.Scale", 1.5f);
    Set("Mivo.QuestMap.ZoomedScale", 2.5f);
    Set("Mivo.QuestMap.FinishedScale", 2.0f);
    MivoCityButtonStyle::SetPlace(*button, PLACE_OPEN, 0);
    struct Case
    {
        float zoom;
        bool selected;
        int32_t w, h;
    };
    // s = (1 - zoom) x 1.5 + zoom x 2.5, x 2 when selected; the corner stays.
    for (const Case& c : {Case{0.0f, false, 150, 60}, Case{1.0f, false, 250, 100}, Case{0.5f, false, 200, 80},
                          Case{0.0f, true, 300, 120}, Case{1.0f, true, 500, 200}})
    {
        button->selected = c.selected;
        MivoCityButtonStyle::questMapZoom = c.zoom;
        DrawAt(0.0);
        ASSERT_FALSE(parts.empty());
        EXPECT_EQ(parts[0].x, 10);
        EXPECT_EQ(parts[0].y, 20);
        EXPECT_EQ(parts[0].w, c.w) << c.zoom << " " << c.selected;
        EXPECT_EQ(parts[0].h, c.h) << c.zoom << " " << c.selected;
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0].w, c.w) << "the text lies over the same rectangle";
    }
}
