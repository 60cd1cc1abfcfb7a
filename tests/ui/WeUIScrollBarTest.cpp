#include "WeUIScrollBar.h"
#include "WidgetFixture.h"

namespace
{

constexpr int32_t kReport = 77;
constexpr int32_t kMove = 78;

// A 220-pixel bar at the top left with 20-pixel step buttons and thumb.
class ScrollBarTest : public WidgetFixture
{
protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        for (const char* key :
             {"UI.TestBar.LeftButtonWidth", "UI.TestBar.ScrollButtonWidth", "UI.TestBar.RightButtonWidth",
              "UI.TestBar.UpButtonHeight", "UI.TestBar.ScrollButtonHeight", "UI.TestBar.DownButtonHeight"})
            WeConfig::GetString(key, "") = "20";
        bar = static_cast<WeUIHScrollBar*>(uiMain.CreateComponent("Bar", "HScrollBar:Root:TestBar"));
        ASSERT_NE(bar, nullptr);
        bar->SetPlacement(0, 0, 0, 0, 220.0f / 800.0f, 0, 20.0f / 600.0f, 0, 0, 0, 0, 0);
        bar->onValueChanged = {kReport, nullptr};
        Frame();
    }

    int32_t ThumbCentre() const { return bar->thumb->x + bar->thumb->w / 2; }

    WeUIHScrollBar* bar = nullptr;
};

TEST_F(ScrollBarTest, ButtonsSitAtTheEndsAndTheThumbFollowsTheValue)
{
    EXPECT_EQ(bar->firstButton->name, WeString("Bar$ButtonLeft"));
    EXPECT_EQ(bar->secondButton->name, WeString("Bar$ButtonRight"));
    EXPECT_EQ(bar->firstButton->x, 0);
    EXPECT_EQ(bar->firstButton->w, 20);
    EXPECT_EQ(bar->secondButton->x + bar->secondButton->w, 220);
    EXPECT_EQ(bar->thumb->x, 20);
    bar->SetValue(1.0f);
    Frame();
    EXPECT_EQ(bar->thumb->x + bar->thumb->w, bar->secondButton->x);
    bar->SetValue(0.5f);
    Frame();
    EXPECT_EQ(bar->thumb->x, 20 + 80);
}

TEST_F(ScrollBarTest, StepClicksReportOnceEachAndStopAtTheEnd)
{
    for (int32_t i = 0; i < 5; ++i)
    {
        Click(210, 10);
        EXPECT_EQ(CountEvents(kReport), 1);
    }
    EXPECT_NEAR(bar->value, 0.5f, 1e-5f);
    for (int32_t i = 0; i < 6; ++i)
        Click(210, 10);
    EXPECT_FLOAT_EQ(bar->value, 1.0f);
    Click(5, 10);
    EXPECT_NEAR(bar->value, 0.9f, 1e-5f);
    EXPECT_EQ(CountEvents(kReport), 1);
}

TEST_F(ScrollBarTest, SettersClampWithoutReport)
{
    bar->SetValue(-2.0f);
    EXPECT_EQ(bar->value, 0.0f);
    bar->SetValue(7.0f);
    EXPECT_EQ(bar->value, 1.0f);
    bar->ScrollUp(0.25f);
    EXPECT_FLOAT_EQ(bar->value, 0.75f);
    bar->SetValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(bar->value, 0.0f);
    Frame();
    EXPECT_EQ(CountEvents(kReport), 0);
}

TEST_F(ScrollBarTest, DraggingPastTheEndsGivesExactlyTheEnds)
{
    Press(ThumbCentre(), 10);
    EXPECT_TRUE(bar->dragging);
    MoveTo(400, 10); // beyond the bar: the held thumb keeps the drag
    EXPECT_EQ(bar->value, 1.0f);
    EXPECT_GE(CountEvents(kReport), 1);
    MoveTo(-50, 10);
    EXPECT_EQ(bar->value, 0.0f);
    MoveTo(20 + 10 + 80, 10); // the thumb centre halfway along its run
    EXPECT_NEAR(bar->value, 0.5f, 1e-5f);
    Release();
    EXPECT_FALSE(bar->dragging);
    EXPECT_EQ(CountEvents(kReport), 1);
    MoveTo(200, 10);
    EXPECT_NEAR(bar->value, 0.5f, 1e-5f);
}

TEST_F(ScrollBarTest, DraggingABarWithoutTrackLeavesTheValue)
{
    bar->SetPlacement(0, 0, 0, 0, 50.0f / 800.0f, 0, 20.0f / 600.0f, 0, 0, 0, 0, 0);
    bar->SetValue(0.3f);
    Frame();
    Press(ThumbCentre(), 10);
    MoveTo(45, 10);
    EXPECT_FLOAT_EQ(bar->value, 0.3f);
    MoveTo(400, 10);
    EXPECT_FLOAT_EQ(bar->value, 0.3f);
    Release();
}

TEST_F(ScrollBarTest, TrackReleaseStepsTowardsTheMouse)
{
    bar->SetValue(0.5f);
    Frame();
    Click(150, 10);
    EXPECT_NEAR(bar->value, 0.6f, 1e-5f);
    EXPECT_EQ(CountEvents(kReport), 1);
    Frame();
    Click(30, 10);
    EXPECT_NEAR(bar->value, 0.5f, 1e-5f);
    EXPECT_EQ(CountEvents(kReport), 1);
}

TEST_F(ScrollBarTest, WheelOverTheBarStepsWithoutReport)
{
    bar->SetValue(0.5f);
    bar->onMouseMove = {kMove, nullptr};
    Frame();
    MoveTo(150, 10, -1);
    EXPECT_NEAR(bar->value, 0.6f, 1e-5f);
    EXPECT_EQ(CountEvents(kReport), 0);
    EXPECT_EQ(CountEvents(kMove), 1);
    MoveTo(150, 12, 1);
    EXPECT_NEAR(bar->value, 0.5f, 1e-5f);
}

TEST_F(ScrollBarTest, VerticalBarRunsDownwards)
{
    auto* vbar = static_cast<WeUIVScrollBar*>(uiMain.CreateComponent("VBar", "VScrollBar:Root:TestBar"));
    ASSERT_NE(vbar, nullptr);
    EXPECT_STREQ(vbar->GetTypeName(), "VScrollBar");
    EXPECT_EQ(vbar->secondButton->name, WeString("VBar$ButtonDown"));
    // Its button heights are design pixels over the design width.
    WeConfig::GetString("UI.TestBar.UpButtonHeight", "") = "80";
    vbar->SetStyle("TestBar", "VScrollBar");
    vbar->SetPlacement(300.0f / 800.0f, 0, 0, 0, 20.0f / 800.0f, 0, 300.0f / 600.0f, 0, 0, 0, 0, 0);
    vbar->onValueChanged = {kReport, nullptr};
    Frame();
    EXPECT_EQ(vbar->firstButton->h, static_cast<int32_t>(600.0f * 80.0f / 800.0f));
    EXPECT_EQ(vbar->secondButton->y + vbar->secondButton->h, 300);
    Click(310, 295);
    EXPECT_NEAR(vbar->value, 0.1f, 1e-5f);
    EXPECT_EQ(CountEvents(kReport), 1);
    Press(310, vbar->thumb->y + vbar->thumb->h / 2);
    MoveTo(310, 900);
    EXPECT_EQ(vbar->value, 1.0f);
    Release();
}

} // namespace
