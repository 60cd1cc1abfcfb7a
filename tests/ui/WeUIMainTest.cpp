#include "UIFixture.h"

#include "WePhaseStack.h"
#include "WeRenderDevice.h"
#include "WeUIButton.h"
#include "WeUIComboBox.h"
#include "WeUILabel.h"
#include "WeUIMultiList.h"
#include "WeUIScrollBar.h"
#include "WeUIStyle.h"

#include <cmath>
#include <cstdlib>

namespace
{

WeUIButton* MakeButton(const char* name, int32_t x, int32_t y, int32_t w, int32_t h,
                       WeUIComponent* parent = nullptr)
{
    WeUIButton* b = new WeUIButton(parent ? parent : uiMain.root, name);
    b->SetPlacement(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    b->SetPosition(static_cast<float>(x) / 800.0f, 0, static_cast<float>(y) / 600.0f, 0);
    b->SetSize(static_cast<float>(w) / 800.0f, 0, static_cast<float>(h) / 600.0f, 0);
    return b;
}

int clicks = 0;
bool CountClick(WeUIEvent*)
{
    ++clicks;
    return true;
}
bool PassOn(WeUIEvent*)
{
    return false;
}
bool DeleteSource(WeUIEvent* event)
{
    uiMain.DeleteComponent(event->source->name);
    // Still alive until this returns.
    EXPECT_EQ(uiMain.GetComponent(event->source->name), event->source);
    return true;
}

class RecordingPhase : public WeAbstractPhase
{
public:
    explicit RecordingPhase(bool handles) : handles(handles) {}
    void Enter() override {}
    void Leave() override {}
    bool OnUIEvent(WeUIEvent* event) override
    {
        seen.push_back(event->id);
        return handles;
    }
    bool handles;
    std::vector<int32_t> seen;
};

void PostClick(int32_t x, int32_t y)
{
    uiMain.PostMouseMove(x, y, 0);
    uiMain.PostMouseDown(0);
    uiMain.PostMouseUp(0);
}

} // namespace

using UIPlacement = UIFixture;

TEST_F(UIPlacement, DesignPixelsFollowTheAreaAtSeveralScreenSizes)
{
    WeUIWindow* window = new WeUIWindow(uiMain.root, "PlaceWin");
    window->SetPlacement(400.0f / 800, 0.5f, 0, 0.5f, 200.0f / 800, 0, 100.0f / 600, 0, 0.5f, 0.5f, 0, 0);
    WeUILabel* child = new WeUILabel(window, "PlaceWinChild");
    child->SetPlacement(10.0f / 800, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0);
    struct Case
    {
        int32_t screenW, screenH, areaW, areaH;
    } cases[] = {{800, 600, 800, 600}, {1280, 720, 960, 720}, {1024, 1024, 1024, 768}};
    for (const Case& c : cases)
    {
        renderDevice.SetBackBufferSize(c.screenW, c.screenH);
        uiMain.Update();
        EXPECT_EQ(uiMain.areaW, c.areaW);
        EXPECT_EQ(uiMain.areaH, c.areaH);
        const int32_t w = static_cast<int32_t>(c.areaW * 0.25f);
        EXPECT_EQ(window->w, w);
        // 400 design pixels right of the centre line, centred on its own width.
        EXPECT_EQ(window->x,
                  static_cast<int32_t>(static_cast<float>(c.areaW / 2) + c.screenW * 0.5f - w * 0.5f));
        EXPECT_EQ(child->x, window->x + static_cast<int32_t>(c.areaW * (10.0f / 800)));
        EXPECT_EQ(child->w, window->w);
        EXPECT_EQ(uiMain.root->w, c.screenW);
    }
}

TEST_F(UIPlacement, AspectLockOnAZeroSizeLeavesTheSizeAlone)
{
    WeUILabel* label = new WeUILabel(uiMain.root, "AspectZero");
    label->SetPlacement(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    label->aspect = 'H';
    uiMain.Update();
    EXPECT_EQ(label->w, 0);
    EXPECT_EQ(label->h, 0);
    label->SetSize(100.0f / 800, 0, 50.0f / 600, 0);
    uiMain.Update();
    EXPECT_EQ(label->w, 800);
    EXPECT_EQ(label->h, 400);
}

TEST_F(UIPlacement, HugeLayoutNumbersAreHeldWithinTheScreensReach)
{
    LoadUI("[Components]\n"
           "HugeWide=Window:Root::,0,0,0%1e30,0%-1e30,0\n"
           "HugeNan=Window:Root::,0%nan%nan,0,100,100,0\n"
           "HugeA=Window:Root::,0%1e6%0,0%1e6%0,0%1,0%1\n"
           "HugeAB=Window:HugeA::,0%1e6,0%1e6,0%1,0%1\n"
           "HugeABC=Window:HugeAB::,0%1e6,0%1e6,0%1,0%1\n"
           "HugeABCD=Window:HugeABC::,0%1e6,0%1e6,0%1,0%1\n"
           "HugeFramed=Window:Root:HugeMargins:,0,0,100,100,0\n"
           "HugeText=Label:Root:HugeOffsets:Text,0,0,100,100,0\n"
           "[HugeMargins]\nMargins=2147483647,2147483647,-2147483647,5\n"
           "[HugeOffsets]\nFont=,20,#FFFFFFFF,,0,2147483647,-2147483647\n");
    painter.textureNames = {"Config.UI.HugeMargins"};
    uiMain.LoadComponents("Huge");
    Frame();
    const WeUIComponent* wide = uiMain.GetComponent("HugeWide");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->w, static_cast<int32_t>(800 * kUIPlacementLimit)) << "held to the limit, not wrapped";
    EXPECT_EQ(wide->h, static_cast<int32_t>(-600 * kUIPlacementLimit));
    EXPECT_EQ(uiMain.GetComponent("HugeNan")->x, 350) << "not a number keeps the default";
    // Each window of the chain lies further right; the sums never wrap.
    int32_t previous = 0;
    for (const char* name : {"HugeA", "HugeAB", "HugeABC", "HugeABCD"})
    {
        const WeUIComponent* c = uiMain.GetComponent(name);
        EXPECT_GE(c->x, previous) << name;
        EXPECT_LE(c->x, kUIPixelLimit) << name;
        previous = c->x;
    }
    painter.draws.clear();
    uiMain.Render();
    for (const RecordedDraw& d : painter.draws)
        for (int32_t v : {d.x, d.y, d.w, d.h})
            EXPECT_LE(std::abs(static_cast<int64_t>(v)), 4 * static_cast<int64_t>(kUIPixelLimit)) << d.kind;
    EXPECT_EQ(painter.Kinds("part").size(), 9u);
    EXPECT_EQ(painter.Kinds("text").size(), 1u);
}

TEST_F(UIPlacement, OpaquePicturesInOpaqueColoursAreDrawnWithoutBlending)
{
    const struct
    {
        bool textureOpaque;
        float alpha;
        int32_t blend;
    } cases[] = {
        {true, 1.0f, BLENDMODE_OPAQUE},
        {true, 0.99f, BLENDMODE_NORMAL},
        {false, 1.0f, BLENDMODE_NORMAL},
    };
    for (const auto& c : cases)
    {
        // A style of its own each time: styles ask the painter once, when made.
        const std::string style = "Seen" + std::to_string(&c - cases);
        LoadUI("[Components]\n" + style + "Picture=Label:Root:" + style + ":,0,0,100,100,0\n" + style +
               "Frame=Window:Root:" + style + ":,0,0,100,100,0\n[" + style + "]\nMargins=4,4,4,4\n");
        painter.textureNames = {"Config.UI." + style};
        painter.texturesOpaque = c.textureOpaque;
        uiMain.LoadComponents(style.c_str());
        Frame();
        for (const char* part : {"Picture", "Frame"})
            uiMain.GetComponent((style + part).c_str())->normalColour.a = c.alpha;
        painter.draws.clear();
        uiMain.Render();
        ASSERT_GE(painter.Kinds("rect").size(), 1u);
        ASSERT_GE(painter.Kinds("part").size(), 9u);
        for (const RecordedDraw& d : painter.draws)
        {
            EXPECT_TRUE(!d.texture || d.blend == c.blend)
                << d.kind << " opaque " << c.textureOpaque << " alpha " << c.alpha;
        }
        uiMain.DeleteComponentsByPrefix("Seen");
        for (int32_t i = 0; i < 20; ++i)
            Frame(); // until they have faded out and gone
    }
}

TEST_F(UIPlacement, EqualZPutsTheNewestFirstAndOnTop)
{
    WeUIButton* older = MakeButton("ZOlder", 0, 0, 100, 100);
    WeUIButton* newer = MakeButton("ZNewer", 0, 0, 100, 100);
    EXPECT_EQ(uiMain.root->children.First(), newer);
    uiMain.Update();
    EXPECT_EQ(uiMain.root->HitTest(50, 50, false, true), newer);
    older->SetZOrder(5);
    EXPECT_EQ(uiMain.root->children.First(), older);
    // Borders are inside.
    EXPECT_EQ(uiMain.root->HitTest(100, 100, false, true), older);
    EXPECT_EQ(uiMain.root->HitTest(101, 100, false, true), uiMain.root);
}

using UITransitions = UIFixture;

TEST_F(UITransitions, AFadeAndSlideInEndAtTheRestPlaceButTheirLettersKeepTheMouseOff)
{
    WeUIButton* b = MakeButton("SlideIn", 0, 0, 100, 100);
    WeUIButton* inside = MakeButton("SlideInChild", 10, 10, 20, 20, b);
    b->SetShowFlags(UI_SLIDE_LEFT | UI_FADE);
    b->transitionDuration = 0.5f;
    b->onMouseUp = {7, CountClick};
    uiMain.ShowComponent("SlideIn");
    EXPECT_FLOAT_EQ(b->xR, -0.0f);
    EXPECT_TRUE(b->slidingIn);
    EXPECT_FLOAT_EQ(b->visibilityValue, 0.0f);
    uiMain.Update();
    EXPECT_NEAR(b->visibilityValue, 0.2f, 1e-5f);
    EXPECT_EQ(uiMain.root->HitTest(50, 50, false, true), uiMain.root); // in transition
    for (int i = 0; i < 6; ++i)
        uiMain.Update();
    EXPECT_FALSE(b->slidingIn);
    EXPECT_FLOAT_EQ(b->xR, 0.0f);
    EXPECT_EQ(b->visibilityDir, 0);
    // The letters stay set: neither the component nor what it holds is ever hit.
    EXPECT_FALSE(b->IsSettled());
    EXPECT_EQ(uiMain.root->HitTest(50, 50, false, true), uiMain.root);
    EXPECT_EQ(uiMain.root->HitTest(20, 20, false, true), uiMain.root);
    EXPECT_EQ(uiMain.root->HitTest(20, 20, true, true), inside) << "a forced test still finds it";
    clicks = 0;
    PostClick(50, 50);
    Frame();
    Frame();
    EXPECT_EQ(clicks, 0);
    // Shown without letters it still fades in, and takes the mouse once the fade is over.
    b->SetShowFlags(0);
    uiMain.ShowComponent("SlideIn");
    EXPECT_EQ(b->visibilityDir, 1);
    EXPECT_FALSE(b->IsSettled());
    for (int i = 0; i < 6; ++i)
        uiMain.Update();
    EXPECT_TRUE(b->IsSettled());
    PostClick(50, 50);
    Frame();
    Frame();
    EXPECT_EQ(clicks, 1);
}

TEST_F(UITransitions, CloseDeletesWhenTheHideEndsAndHidingTicksTwice)
{
    WeUIButton* b = MakeButton("Closing", 0, 0, 100, 100);
    b->SetHideFlags(UI_FADE);
    uiMain.CloseComponent("Closing");
    uiMain.Update(); // 2 x 0.1 x 2.0 off the fade
    EXPECT_NEAR(b->visibilityValue, 0.6f, 1e-5f);
    uiMain.Update();
    EXPECT_EQ(uiMain.GetComponent("Closing"), b);
    uiMain.Update();
    uiMain.Update();
    EXPECT_EQ(uiMain.GetComponent("Closing"), nullptr);
    EXPECT_TRUE(uiMain.hiding.IsEmpty());
}

TEST_F(UITransitions, AZeroDurationSlidesAtOnce)
{
    WeUIButton* b = MakeButton("Instant", 0, 0, 100, 100);
    b->transitionDuration = 0.0f;
    b->SetHideFlags(UI_SLIDE_RIGHT);
    uiMain.HideComponent("Instant");
    EXPECT_FALSE(b->visible);
    EXPECT_FLOAT_EQ(b->xR, 2.0f - 1.0f); // wR 0 + 1
    uiMain.Update();
    EXPECT_TRUE(std::isfinite(static_cast<float>(b->x)));
}

TEST_F(UITransitions, ShowWhileFadingOutLeavesTheHidingList)
{
    WeUIButton* b = MakeButton("Refade", 0, 0, 100, 100);
    b->SetHideFlags(UI_FADE);
    uiMain.HideComponent("Refade");
    uiMain.HideComponent("Refade");
    EXPECT_EQ(uiMain.hiding.GetCount(), 1);
    uiMain.ShowComponent("Refade");
    EXPECT_TRUE(uiMain.hiding.IsEmpty());
    EXPECT_EQ(b->visibilityDir, 1);
    EXPECT_FLOAT_EQ(b->visibilityValue, 0.0f);
}

TEST_F(UITransitions, AParentAndItsChildBothClosingAreSafe)
{
    WeUIWindow* w = new WeUIWindow(uiMain.root, "CloseParent");
    WeUILabel* l = new WeUILabel(w, "CloseChild");
    w->SetHideFlags(UI_FADE);
    l->SetHideFlags(UI_FADE);
    uiMain.CloseComponent("CloseParent");
    uiMain.CloseComponent("CloseChild");
    for (int i = 0; i < 5; ++i)
        uiMain.Update();
    EXPECT_EQ(uiMain.GetComponent("CloseParent"), nullptr);
    EXPECT_EQ(uiMain.GetComponent("CloseChild"), nullptr);
}

TEST_F(UITransitions, DerivedColoursChainThroughInheritedAlpha)
{
    WeUIWindow* w = new WeUIWindow(uiMain.root, "AlphaWin");
    w->colour = {1, 1, 1, 0.5f};
    WeUILabel* l = new WeUILabel(w, "AlphaLabel");
    l->colour = {1, 0, 0, 0.5f};
    l->colour2 = {0, 0, 1, 0.5f};
    l->hoverValue = 0.5f;
    uiMain.Update();
    EXPECT_FLOAT_EQ(l->normalColour.a, 0.25f);
    EXPECT_FLOAT_EQ(l->hoverColour.a, 0.125f);
    EXPECT_FLOAT_EQ(l->secondColour.a, 0.125f);
    l->inheritAlpha = false;
    uiMain.Update();
    EXPECT_FLOAT_EQ(l->normalColour.a, 0.5f);
}

using UIEvents = UIFixture;

TEST_F(UIEvents, MovesFoldBeforeTheNextButtonEvent)
{
    WeUIButton* a = MakeButton("FoldA", 0, 0, 100, 100);
    WeUIButton* b = MakeButton("FoldB", 200, 0, 100, 100);
    uiMain.Update();
    uiMain.PostMouseMove(50, 50, 1);
    uiMain.PostMouseDown(0);
    uiMain.PostMouseMove(250, 50, 3);
    uiMain.PostMouseUp(0);
    uiMain.ProcessEvents();
    EXPECT_EQ(a->pressDir, 0);
    EXPECT_EQ(b->pressDir, -1); // pressed, then released
    EXPECT_EQ(uiMain.hovered, b);
    EXPECT_EQ(uiMain.focused, b);
}

TEST_F(UIEvents, AHeldButtonKeepsTheMouseUntilReleased)
{
    WeUIButton* a = MakeButton("HeldA", 0, 0, 100, 100);
    WeUIButton* b = MakeButton("HeldB", 200, 0, 100, 100);
    a->onMouseMove = {3, nullptr};
    uiMain.Update();
    uiMain.PostMouseMove(50, 50, 0);
    uiMain.PostMouseDown(0);
    uiMain.ProcessEvents();
    uiMain.PostMouseMove(250, 50, 0);
    uiMain.ProcessEvents();
    EXPECT_EQ(uiMain.hovered, a);
    ASSERT_FALSE(uiMain.events.IsEmpty());
    EXPECT_EQ(uiMain.events.Last().arg1, 250);
    uiMain.PostMouseUp(0);
    uiMain.ProcessEvents();
    EXPECT_EQ(uiMain.hovered, b); // the posted re-test after the release
    EXPECT_TRUE(b->hovered);
    EXPECT_FALSE(a->hovered);
}

TEST_F(UIEvents, OnlyTheLeftButtonIsQueued)
{
    uiMain.PostMouseDown(1);
    uiMain.PostMouseDown(2);
    uiMain.PostMouseUp(1);
    EXPECT_TRUE(uiMain.GetInputQueue().IsEmpty());
}

TEST_F(UIEvents, CallbackFirstThenPhasesFromTheTopUntilHandled)
{
    RecordingPhase bottom(true), top(false);
    phaseStack.Request(&bottom, WePhaseCommand::Push);
    phaseStack.Request(&top, WePhaseCommand::Push);
    phaseStack.Update();
    WeUIButton* handled = MakeButton("WalkHandled", 0, 0, 100, 100);
    WeUIButton* passed = MakeButton("WalkPassed", 200, 0, 100, 100);
    handled->onMouseUp = {11, CountClick};
    passed->onMouseUp = {12, PassOn};
    uiMain.Update();
    clicks = 0;
    PostClick(50, 50);
    Frame();
    PostClick(250, 50);
    Frame();
    Frame();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(top.seen, std::vector<int32_t>{12});
    EXPECT_EQ(bottom.seen, std::vector<int32_t>{12});
    phaseStack.LeaveAll();
}

TEST_F(UIEvents, DeletingFromInsideACallbackWaitsUntilItReturns)
{
    WeUIButton* b = MakeButton("SelfDelete", 0, 0, 100, 100);
    b->onMouseUp = {5, DeleteSource};
    b->onMouseLeave = {6, nullptr}; // its queued report must not outlive it
    uiMain.Update();
    PostClick(50, 50);
    Frame();
    EXPECT_EQ(uiMain.GetComponent("SelfDelete"), nullptr);
    EXPECT_EQ(uiMain.hovered, uiMain.root);
    EXPECT_EQ(uiMain.focused, uiMain.root);
    Frame();
}

TEST_F(UIEvents, AddingAComponentUnderAStillMouseRetestsTheHover)
{
    uiMain.PostMouseMove(50, 50, 0);
    Frame();
    EXPECT_EQ(uiMain.hovered, uiMain.root);
    WeUIButton* b = MakeButton("Appears", 0, 0, 100, 100);
    uiMain.Update();
    Frame();
    EXPECT_EQ(uiMain.hovered, b);
}

TEST_F(UIEvents, AModalWindowKeepsTheMouseInside)
{
    WeUIButton* outside = MakeButton("ModalOutside", 0, 0, 100, 100);
    WeUIWindow* dialog = new WeUIWindow(uiMain.root, "ModalDialog");
    dialog->SetPlacement(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    dialog->SetPosition(200.0f / 800, 0, 0, 0);
    dialog->SetSize(200.0f / 800, 0, 200.0f / 600, 0);
    WeUIButton* inside = MakeButton("ModalInside", 0, 0, 50, 50, dialog);
    uiMain.SetModalComponent("ModalDialog");
    uiMain.Update();
    uiMain.PostMouseMove(50, 50, 0);
    Frame();
    EXPECT_NE(uiMain.hovered, outside);
    uiMain.PostMouseMove(210, 10, 0);
    Frame();
    EXPECT_EQ(uiMain.hovered, inside);
}

TEST_F(UIEvents, FocusOnAnUnknownNameThenAPressDoesNotCrash)
{
    WeUIButton* b = MakeButton("FocusAfter", 0, 0, 100, 100);
    uiMain.Update();
    uiMain.SetFocus("NoSuchComponent");
    EXPECT_EQ(uiMain.focused, nullptr);
    uiMain.PostKeyDown(28);
    PostClick(50, 50);
    Frame();
    EXPECT_EQ(uiMain.focused, b);
}

TEST_F(UIEvents, TheRootCannotBeDeleted)
{
    uiMain.DeleteComponent("Root");
    uiMain.DeleteComponentsByPrefix("");
    ASSERT_NE(uiMain.root, nullptr);
    EXPECT_EQ(uiMain.GetComponent("Root"), uiMain.root);
    uiMain.Update();
    uiMain.Render();
}

TEST_F(UIEvents, ASameNamedComponentReplacesTheOldOneButNeverItsOwnAncestor)
{
    WeUIWindow* w = new WeUIWindow(uiMain.root, "Twice");
    new WeUILabel(w, "TwiceChild");
    WeUIWindow* again = new WeUIWindow(uiMain.root, "Twice");
    EXPECT_EQ(uiMain.GetComponent("Twice"), again);
    EXPECT_EQ(uiMain.GetComponent("TwiceChild"), nullptr);
    EXPECT_EQ(uiMain.CreateComponent("Twice", "Label:Twice"), nullptr);
    EXPECT_EQ(uiMain.GetComponent("Twice"), again);
}

TEST_F(UIEvents, ReleasingButtonsTheWindowNeverSawEndsTheCapture)
{
    WeUIButton* a = MakeButton("LostA", 0, 0, 100, 100);
    WeUIButton* b = MakeButton("LostB", 200, 0, 100, 100);
    uiMain.Update();
    uiMain.PostMouseMove(50, 50, 0);
    uiMain.PostMouseDown(0);
    Frame();
    uiMain.ReleaseButtons();
    uiMain.PostMouseMove(250, 50, 0);
    Frame();
    EXPECT_EQ(uiMain.hovered, b);
    EXPECT_EQ(a->pressedButtons, 0);
}

using UILayouts = UIFixture;

TEST_F(UILayouts, DescriptorsBecomeComponentsParentsFirst)
{
    LoadUI("[Components]\n"
           "LayA=Button:LayAWin:LayButton:Play,10%0%0,20%0%0,0,0,1,LF:RF\n"
           "LayAWin=Window:Root:LayWindow::#FF0000FF,0,0,400,300,0,H\n"
           "LayAZ=Label:LayAWin::%100%:-1,0%0.5,0,0%1,30,2\n"
           "LayAbad=Slider:LayAWin\n"
           "LayAorphan=Label:Nowhere\n"
           "[LayButton]\nWidth=120\nHeight=40\n");
    uiMain.LoadComponents("LayA");
    WeUIComponent* win = uiMain.GetComponent("LayAWin");
    WeUIComponent* button = uiMain.GetComponent("LayA");
    WeUIComponent* label = uiMain.GetComponent("LayAZ");
    ASSERT_NE(win, nullptr);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(uiMain.GetComponent("LayAbad"), nullptr);
    EXPECT_EQ(uiMain.GetComponent("LayAorphan"), nullptr);
    EXPECT_STREQ(button->GetTypeName(), "Button");
    EXPECT_EQ(button->parent, win);
    EXPECT_STREQ(button->text.GetData(), "Play");
    EXPECT_EQ(button->showFlags, UI_SLIDE_LEFT | UI_FADE);
    EXPECT_EQ(button->hideFlags, UI_SLIDE_RIGHT | UI_FADE);
    EXPECT_FLOAT_EQ(button->wP, 120.0f / 800);
    EXPECT_FLOAT_EQ(button->hP, 40.0f / 600);
    EXPECT_FLOAT_EQ(win->xR, 0.5f); // under Root
    EXPECT_EQ(win->aspect, 'H');
    EXPECT_FLOAT_EQ(win->colour.b, 1.0f);
    EXPECT_FLOAT_EQ(win->colour.r, 0.0f);
    EXPECT_STREQ(label->text.GetData(), "100%");
    EXPECT_FLOAT_EQ(label->colour.a, 1.0f);
    EXPECT_EQ(label->z, 2);
    EXPECT_EQ(win->children.First(), label);
    EXPECT_NE(uiMain.GetStyle("LayButton"), nullptr);
    uiMain.Update();
    EXPECT_EQ(button->x, win->x + 10);
}

TEST_F(UILayouts, ReappliedDescriptorWithoutLettersKeepsTheFlags)
{
    LoadUI("[Components]\nLayBLab=Label:Root:::,0,0,0,0,0,T:B\n");
    uiMain.LoadComponents("LayB");
    WeUIComponent* label = uiMain.GetComponent("LayBLab");
    ASSERT_NE(label, nullptr);
    LoadUI("[Components]\nLayBLab=Label:Root:::,0,0,0,0,0,\n");
    EXPECT_EQ(label->showFlags, UI_SLIDE_TOP);
    EXPECT_EQ(label->hideFlags, UI_SLIDE_BOTTOM);
}

TEST_F(UILayouts, FontsAreScaledAndParsedFromTheStyle)
{
    LoadUI("[Big]\nFont=Verdana,24,#FFFFFFFF,CVSO,#FF000000,2,2\nFontOver=,10,#80FFFFFF\n"
           "Margins=8,4,6,2\n[Fonts]\nUIFontScale=1.5\n");
    uiMain.CreateDefaultStyle("Label", "Big");
    WeUIStyle* big = uiMain.GetStyle("Big");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->font.flags, TEXT_CENTER | TEXT_VCENTER);
    EXPECT_EQ(big->font.effect, 2);
    EXPECT_TRUE(big->hasFontOver);
    EXPECT_FALSE(big->hasFontSpecial);
    EXPECT_EQ(big->marginTop, 4);
    EXPECT_EQ(big->marginRight, 6);
    bool sawVerdana = false, sawDefault = false;
    for (const std::string& key : painter.fontKeys)
    {
        sawVerdana = sawVerdana || key == "Verdana:36";
        sawDefault = sawDefault || key == "*:15";
    }
    EXPECT_TRUE(sawVerdana);
    EXPECT_TRUE(sawDefault);
    LoadUI("[Fonts]\nUIFontScale=1\n");
}

template <typename T> bool IsStyle(const char* name)
{
    return dynamic_cast<T*>(uiMain.GetStyle(name)) != nullptr;
}

TEST_F(UILayouts, ACompositesDefaultStyleComesWithItsSubStyles)
{
    struct Case
    {
        const char* type;
        const char* styleName; // "Sub" + type + the suffix
        bool (*made)(const char*);
    } cases[] = {
        {"MultiList", "SubMultiList_Window", IsStyle<WeUIDefaultWindowStyle>},
        {"MultiList", "SubMultiList_Label", IsStyle<WeUIDefaultLabelStyle>},
        {"MultiList", "SubMultiList_Header", IsStyle<WeUIDefaultLabelStyle>},
        {"ComboBox", "SubComboBox_Button", IsStyle<WeUIDefaultButtonStyle>},
        {"ComboBox", "SubComboBox_Window", IsStyle<WeUIDefaultWindowStyle>},
        {"ComboBox", "SubComboBox_Label", IsStyle<WeUIDefaultLabelStyle>},
        {"HScrollBar", "SubHScrollBar_LeftButton", IsStyle<WeUIDefaultButtonStyle>},
        {"HScrollBar", "SubHScrollBar_RightButton", IsStyle<WeUIDefaultButtonStyle>},
        {"HScrollBar", "SubHScrollBar_ScrollButton", IsStyle<WeUIDefaultButtonStyle>},
        {"VScrollBar", "SubVScrollBar_UpButton", IsStyle<WeUIDefaultButtonStyle>},
        {"VScrollBar", "SubVScrollBar_DownButton", IsStyle<WeUIDefaultButtonStyle>},
        {"VScrollBar", "SubVScrollBar_ScrollButton", IsStyle<WeUIDefaultButtonStyle>},
        {"ScrollFrame", "SubScrollFrame_VScrollBar", IsStyle<WeUIDefaultScrollBarStyle>},
        {"ScrollFrame", "SubScrollFrame_HScrollBar", IsStyle<WeUIDefaultScrollBarStyle>},
    };
    for (const Case& c : cases)
    {
        uiMain.CreateDefaultStyle(c.type, (std::string("Sub") + c.type).c_str());
        EXPECT_TRUE(c.made(c.styleName)) << c.styleName;
    }
    // The bars of a scroll frame's style get no buttons of their own.
    EXPECT_EQ(uiMain.GetStyle("SubScrollFrame_VScrollBar_UpButton"), nullptr);
    // A name already taken keeps its style, and the others are still made.
    uiMain.CreateDefaultStyle("Button", "SubTaken_Header");
    uiMain.CreateDefaultStyle("MultiList", "SubTaken");
    EXPECT_TRUE(IsStyle<WeUIDefaultButtonStyle>("SubTaken_Header"));
    EXPECT_TRUE(IsStyle<WeUIDefaultLabelStyle>("SubTaken_Label"));
    // A type without a default style makes nothing, sub-styles included.
    uiMain.CreateDefaultStyle("Slider", "SubSlider");
    EXPECT_EQ(uiMain.GetStyle("SubSlider"), nullptr);
}

using UIDrawing = UIFixture;

TEST_F(UIDrawing, AButtonAtRestDrawsOneLayerAndSelectedUsesTheBottomQuarter)
{
    painter.textureNames = {"Config.UI.DrawButtonStyle"};
    uiMain.CreateDefaultStyle("Button", "DrawButtonStyle");
    WeUIButton* b = MakeButton("DrawButton", 10, 20, 100, 40);
    b->SetStyle("DrawButtonStyle", "");
    b->text = "OK";
    uiMain.Update();
    painter.draws.clear();
    uiMain.Render();
    std::vector<RecordedDraw> parts = painter.Kinds("part");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_FLOAT_EQ(parts[0].top, 0.0f);
    EXPECT_FLOAT_EQ(parts[0].bottom, 0.25f);
    EXPECT_EQ(parts[0].x, 10);
    EXPECT_EQ(parts[0].w, 100);
    ASSERT_EQ(painter.Kinds("text").size(), 1u);
    EXPECT_EQ(painter.Kinds("text")[0].text, "OK");
    b->selected = true;
    b->hoverValue = 0.5f;
    uiMain.Update();
    painter.draws.clear();
    uiMain.Render();
    parts = painter.Kinds("part");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_FLOAT_EQ(parts[0].top, 0.75f);
    EXPECT_FLOAT_EQ(parts[1].top, 0.25f);
}

TEST_F(UIDrawing, ALabelDrawsItsBackgroundOnlyWithASecondColour)
{
    WeUILabel* l = new WeUILabel(uiMain.root, "DrawLabel");
    uiMain.CreateDefaultStyle("Label", "DrawLabelStyle");
    l->SetStyle("DrawLabelStyle", "");
    uiMain.Update();
    painter.draws.clear();
    uiMain.Render();
    EXPECT_TRUE(painter.Kinds("rect").size() == 1u); // the cursor only
    l->colour2 = {0, 0, 0, 0.5f};
    uiMain.Update();
    painter.draws.clear();
    uiMain.Render();
    ASSERT_EQ(painter.Kinds("rect").size(), 2u);
    EXPECT_EQ(painter.Kinds("rect")[0].argb >> 24, 128u);
}

TEST_F(UIDrawing, AWindowWithoutTextureFlushesAndAClipRectBracketsTheScissor)
{
    WeUIWindow* w = new WeUIWindow(uiMain.root, "DrawWindow");
    uiMain.CreateDefaultStyle("Window", "DrawWindowStyle");
    w->SetStyle("DrawWindowStyle", "");
    w->clipRectEnabled = true;
    w->clipX = 5, w->clipY = 6, w->clipW = 10, w->clipH = 20;
    uiMain.Update();
    painter.draws.clear();
    uiMain.Render();
    EXPECT_TRUE(painter.Kinds("part").empty());
    EXPECT_GE(painter.Kinds("flush").size(), 3u);
    EXPECT_FALSE(painter.scissorOn); // restored
}
