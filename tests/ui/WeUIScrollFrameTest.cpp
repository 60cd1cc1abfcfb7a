#include "WeUIScrollFrame.h"
#include "UIFixture.h"

#include <cmath>

namespace
{

constexpr int32_t kFrameX = 100, kFrameY = 100, kFrameW = 200, kFrameH = 100;
constexpr int32_t kBar = 20;

// A 200 x 100 frame at (100, 100) whose bars are 20 pixels thick with 20-pixel buttons.
class ScrollFrameTest : public UIFixture
{
protected:
    void SetUp() override
    {
        WeConfig::GetInt("UI.Size.SrcW", 800) = 800;
        WeConfig::GetInt("UI.Size.SrcH", 600) = 600;
        LoadUI("[TestFrame]\nVScrollBarWidth=20%0\nVScrollBar=TestBar\nHScrollBarHeight=20%0\nHScrollbar="
               "TestBar\n"
               "[TestBar]\nLeftButtonWidth=20\nScrollButtonWidth=20\nRightButtonWidth=20\n"
               "UpButtonHeight=20\nScrollButtonHeight=20\nDownButtonHeight=20\n"
               "[MarginFrame]\nMargins=10,10,10,10\nVScrollBarWidth=20%0\nVScrollBar=TestBar\n");
        UIFixture::SetUp();
        frame = static_cast<WeUIScrollFrame*>(uiMain.CreateComponent("Frame", "ScrollFrame:Root:TestFrame"));
        ASSERT_NE(frame, nullptr);
        frame->SetPlacement(kFrameX / 800.0f, 0, kFrameY / 600.0f, 0, kFrameW / 800.0f, 0, kFrameH / 600.0f,
                            0, 0, 0, 0, 0);
    }
    // Contents as multiples of the frame's size.
    void Contents(float widths, float heights)
    {
        frame->SetContentsSize(0, widths, 0, heights);
        Frame();
    }

    WeUIScrollFrame* frame = nullptr;
};

TEST(ScrollArithmetic, StepsAndOffsetsStaySafeAtTheEdges)
{
    EXPECT_EQ(WeScrollStep(100, 100), 0.0f);
    EXPECT_EQ(WeScrollStep(100, 0), 0.0f);
    EXPECT_EQ(WeScrollStep(0, 0), 0.0f);
    EXPECT_EQ(WeScrollStep(-30, 0), 0.0f); // a frame squeezed below nothing: no division by 0
    EXPECT_FLOAT_EQ(WeScrollStep(100, 200), 0.475f);
    EXPECT_TRUE(std::isfinite(WeScrollStep(-30, 5)));
    EXPECT_EQ(WeScrollOffset(0, 100, 1.0f), 0);
    EXPECT_EQ(WeScrollOffset(80, 100, 1.0f), 0); // smaller than the view: never moved backwards
    EXPECT_EQ(WeScrollOffset(200, 80, 1.0f), 120);
    EXPECT_EQ(WeScrollOffset(200, 80, 0.5f), 60);
}

TEST_F(ScrollFrameTest, ContentsTheFrameSizeShowNoBarAndDoNotMove)
{
    Contents(1, 1);
    EXPECT_FALSE(frame->vScroll->visible);
    EXPECT_FALSE(frame->hScroll->visible);
    EXPECT_EQ(frame->vScroll->step, 0.0f);
    frame->vScroll->SetValue(1.0f);
    Frame();
    EXPECT_EQ(frame->contents->x, kFrameX);
    EXPECT_EQ(frame->contents->y, kFrameY);
    EXPECT_EQ(frame->viewW, kFrameW);
    EXPECT_EQ(frame->viewH, kFrameH);
}

TEST_F(ScrollFrameTest, EmptyContentsLeaveAWholeViewAndNoStep)
{
    Contents(0, 0);
    EXPECT_FALSE(frame->vScroll->visible);
    EXPECT_EQ(frame->vScroll->step, 0.0f);
    EXPECT_EQ(frame->hScroll->step, 0.0f);
    EXPECT_TRUE(frame->contents->clipRectEnabled);
    EXPECT_EQ(frame->contents->clipW, kFrameW);
    EXPECT_EQ(frame->contents->clipH, kFrameH);
}

TEST_F(ScrollFrameTest, DoubleHeightScrollsItsBottomToTheViewportsBottom)
{
    Contents(1, 2);
    ASSERT_TRUE(frame->vScroll->visible);
    EXPECT_FALSE(frame->hScroll->visible);
    EXPECT_FLOAT_EQ(frame->vScroll->step, 0.475f);
    EXPECT_EQ(frame->vScroll->x + frame->vScroll->w, kFrameX + kFrameW);
    EXPECT_EQ(frame->vScroll->h, kFrameH);
    EXPECT_EQ(frame->viewW, kFrameW - kBar);
    EXPECT_EQ(frame->contents->y, kFrameY);
    frame->vScroll->SetValue(1.0f);
    Frame();
    EXPECT_EQ(frame->contents->y + frame->contents->h, kFrameY + frame->viewH);
}

TEST_F(ScrollFrameTest, BothBarsShortenEachOther)
{
    Contents(3, 3);
    ASSERT_TRUE(frame->vScroll->visible);
    ASSERT_TRUE(frame->hScroll->visible);
    EXPECT_EQ(frame->hScroll->w, kFrameW - kBar);
    EXPECT_EQ(frame->vScroll->h, kFrameH - kBar);
    EXPECT_EQ(frame->hScroll->y + frame->hScroll->h, kFrameY + kFrameH);
    EXPECT_EQ(frame->viewW, kFrameW - kBar);
    EXPECT_EQ(frame->viewH, kFrameH - kBar);
    frame->hScroll->SetValue(1.0f);
    frame->vScroll->SetValue(1.0f);
    Frame();
    EXPECT_EQ(frame->contents->x + frame->contents->w, kFrameX + frame->viewW);
    EXPECT_EQ(frame->contents->y + frame->contents->h, kFrameY + frame->viewH);
}

TEST_F(ScrollFrameTest, AChildOutsideTheViewportIsNeitherHitNorDrawnOutsideIt)
{
    Contents(1, 3);
    auto* below = new WeUIComponent(frame->contents, "Below");
    below->SetPlacement(0, 0, 150 / 600.0f, 0, 50 / 800.0f, 0, 20 / 600.0f, 0, 0, 0, 0, 0);
    Frame();
    ASSERT_EQ(below->y, kFrameY + 150);
    EXPECT_NE(uiMain.root->HitTest(kFrameX + 10, kFrameY + 160, false, true), below);
    // Scrolled into view it is hit.
    frame->vScroll->SetValue(0.5f);
    Frame();
    ASSERT_GE(below->y, kFrameY);
    ASSERT_LT(below->y + 5, kFrameY + kFrameH);
    EXPECT_EQ(uiMain.root->HitTest(kFrameX + 10, below->y + 5, false, true), below);
    // Drawing of the contents runs under the viewport's scissor.
    struct ScissorProbe : WeUIStyle
    {
        using WeUIStyle::WeUIStyle;
        void Draw(WeUIComponent*) override { uiMain.painter->GetScissor(&on, &rect); }
        bool on = false;
        WeUIRect rect;
    };
    ScissorProbe probe("Probe");
    below->style = &probe;
    uiMain.Render();
    below->style = nullptr;
    ASSERT_TRUE(probe.on);
    EXPECT_EQ(probe.rect.left, kFrameX);
    EXPECT_EQ(probe.rect.top, kFrameY);
    EXPECT_EQ(probe.rect.right, kFrameX + frame->viewW);
    EXPECT_EQ(probe.rect.bottom, kFrameY + frame->viewH);
}

TEST_F(ScrollFrameTest, MarginsInsetTheViewportTheBarAndTheContents)
{
    frame->SetStyle("MarginFrame", "ScrollFrame");
    Contents(1, 2);
    EXPECT_EQ(frame->contents->x, kFrameX + 10);
    EXPECT_EQ(frame->contents->y, kFrameY + 10);
    EXPECT_EQ(frame->vScroll->x + frame->vScroll->w, kFrameX + kFrameW - 10);
    EXPECT_EQ(frame->vScroll->y, kFrameY + 10);
    EXPECT_EQ(frame->vScroll->h, kFrameH - 20);
    EXPECT_EQ(frame->viewW, kFrameW - 20 - kBar);
    EXPECT_EQ(frame->contents->clipX, kFrameX + 10);
    EXPECT_EQ(frame->contents->clipH, kFrameH - 20);
}

TEST_F(ScrollFrameTest, MarginsWiderThanTheFrameGiveAnEmptyViewport)
{
    frame->SetStyle("MarginFrame", "ScrollFrame");
    frame->SetPlacement(kFrameX / 800.0f, 0, kFrameY / 600.0f, 0, 15 / 800.0f, 0, 12 / 600.0f, 0, 0, 0, 0, 0);
    Contents(1, 1);
    EXPECT_EQ(frame->contents->clipW, 0);
    EXPECT_EQ(frame->contents->clipH, 0);
    EXPECT_EQ(uiMain.root->HitTest(kFrameX + 1, kFrameY + 1, false, true), frame);
}

TEST_F(ScrollFrameTest, TheWheelScrollsVerticallyOnlyAndTheMovesZAddsAStep)
{
    Contents(2, 4);
    MoveTo(kFrameX + 50, kFrameY + 50);
    uiMain.PostMouseWheel(-120);
    Frame();
    EXPECT_NEAR(frame->vScroll->value, 0.12f, 1e-5f);
    EXPECT_EQ(frame->hScroll->value, 0.0f);
    // Wheel motion that comes with a move reaches the frame only when the move does: the contents
    // do not pass moves on.
    MoveTo(kFrameX + 51, kFrameY + 50, -1);
    EXPECT_NEAR(frame->vScroll->value, 0.12f, 1e-5f);
    frame->OnMouseMove(kFrameX + 51, kFrameY + 50, -1);
    EXPECT_NEAR(frame->vScroll->value, 0.12f + frame->vScroll->step, 1e-5f);
    uiMain.PostMouseWheel(120 * 100);
    Frame();
    EXPECT_EQ(frame->vScroll->value, 0.0f);
    EXPECT_EQ(frame->hScroll->value, 0.0f);
}

TEST_F(ScrollFrameTest, DraggingTheThumbPastTheEndsStopsAtTheEnds)
{
    Contents(1, 4);
    WeUIButton* thumb = frame->vScroll->thumb;
    const int32_t thumbX = thumb->x + thumb->w / 2;
    Press(thumbX, thumb->y + thumb->h / 2);
    MoveTo(thumbX, kFrameY + 5000);
    EXPECT_EQ(frame->vScroll->value, 1.0f);
    EXPECT_EQ(frame->contents->y + frame->contents->h, kFrameY + frame->viewH);
    MoveTo(thumbX, -5000);
    EXPECT_EQ(frame->vScroll->value, 0.0f);
    EXPECT_EQ(frame->contents->y, kFrameY);
    Release();
}

TEST_F(ScrollFrameTest, ContentsShrinkingBelowTheFrameReturnToTheTop)
{
    Contents(1, 3);
    frame->vScroll->SetValue(1.0f);
    Frame();
    ASSERT_LT(frame->contents->y, kFrameY);
    Contents(1, 0.5f);
    EXPECT_FALSE(frame->vScroll->visible);
    EXPECT_EQ(frame->contents->y, kFrameY);
}

} // namespace
