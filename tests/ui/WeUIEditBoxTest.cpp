#include "WeUIEditBox.h"
#include "UIFixture.h"
#include "WeInput.h"
#include "WeRenderDevice.h"
#include "win32/Win32Clipboard.h"

#include <cstring>
#include <string>

namespace
{

constexpr int32_t kKeyDownId = 7, kKeyUpId = 8, kEnterId = 41, kEscapeId = 42;
constexpr int32_t kBackspace = 14, kEnter = 28, kX = 45, kC = 46, kV = 47, kHome = 199, kLeft = 203,
                  kRight = 205, kEnd = 207, kDelete = 211;

void SetClipboard(const std::string& value)
{
    ASSERT_TRUE(win32::OpenClipboard(nullptr));
    win32::EmptyClipboard();
    win32::HGLOBAL block = win32::GlobalAlloc(win32::GMEM_MOVEABLE, value.size() + 1);
    ASSERT_NE(block, nullptr);
    std::memcpy(win32::GlobalLock(block), value.c_str(), value.size() + 1);
    win32::GlobalUnlock(block);
    EXPECT_NE(win32::SetClipboardData(win32::CF_TEXT, block), nullptr);
    win32::CloseClipboard();
}

std::string Clipboard()
{
    std::string out;
    if (!win32::OpenClipboard(nullptr))
        return "<closed>";
    if (win32::HANDLE data = win32::GetClipboardData(win32::CF_TEXT))
    {
        out = static_cast<const char*>(win32::GlobalLock(data));
        win32::GlobalUnlock(data);
    }
    win32::CloseClipboard();
    return out;
}

class EditBoxTest : public UIFixture
{
protected:
    void SetUp() override
    {
        UIFixture::SetUp();
        box = static_cast<WeUIEditBox*>(uiMain.CreateComponent("Edit", "EditBox:Root:TestEdit"));
        ASSERT_NE(box, nullptr);
        box->SetPlacement(0, 0, 0, 0, 200.0f / 800.0f, 0, 30.0f / 600.0f, 0, 0, 0, 0, 0);
        box->onKeyDown = {kKeyDownId, nullptr};
        box->onKeyUp = {kKeyUpId, nullptr};
        box->enterReport = {kEnterId, nullptr};
        box->escapeReport = {kEscapeId, nullptr};
        Frame();
        uiMain.events.Clear();
    }
    void TearDown() override
    {
        input.ctrl = input.shift = input.alt = false;
        UIFixture::TearDown();
    }
    void Type(const std::string& chars)
    {
        for (unsigned char c : chars)
            box->OnKeyDown(-static_cast<int32_t>(c));
    }
    void Key(int32_t key, bool shift = false, bool ctrl = false)
    {
        input.shift = shift;
        input.ctrl = ctrl;
        box->OnKeyDown(key);
        input.shift = input.ctrl = false;
    }
    // What the box's style draws of that kind.
    std::vector<RecordedDraw> Drawn(const char* kind)
    {
        painter.draws.clear();
        box->style->Draw(box);
        return painter.Kinds(kind);
    }
    void SetText(const char* value)
    {
        box->text = value;
        box->cursor = box->text.GetLength();
        box->Refresh(true);
    }
    std::string Text() const { return {box->text.GetData(), static_cast<size_t>(box->text.GetLength())}; }
    static int32_t CountEvents(int32_t id)
    {
        int32_t count = 0;
        for (const WeUIEvent& event : uiMain.events)
            count += event.id == id ? 1 : 0;
        return count;
    }
    WeUIEditBox* box = nullptr;
};

TEST_F(EditBoxTest, IsMadeByTheFactoryWithItsStyle)
{
    EXPECT_STREQ(box->GetTypeName(), "EditBox");
    EXPECT_NE(dynamic_cast<WeUIDefaultEditBoxStyle*>(box->style), nullptr);
    EXPECT_EQ(box->maxLength, 30);
}

TEST_F(EditBoxTest, TypingStopsAtTheLimitButEveryCharacterIsReported)
{
    box->maxLength = 3;
    Type("abcd");
    EXPECT_EQ(Text(), "abc");
    EXPECT_EQ(box->cursor, 3);
    EXPECT_EQ(CountEvents(kKeyDownId), 4);
    Type("\t");
    box->OnKeyDown(30); // a key code, not a character
    EXPECT_EQ(Text(), "abc");
    EXPECT_EQ(CountEvents(kKeyDownId), 4);
}

TEST_F(EditBoxTest, TheLimitCountsCharactersNotBytes)
{
    box->maxLength = 2;
    box->OnKeyDown(-0xE9);
    box->OnKeyDown(-0x20AC);
    box->OnKeyDown(-'z');
    EXPECT_EQ(Text(), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(box->cursor, 5);
}

TEST_F(EditBoxTest, ASelectionIsReplacedEvenAtTheLimit)
{
    box->maxLength = 4;
    SetText("abcd");
    box->ResetCursor();
    Type("x");
    EXPECT_EQ(Text(), "x");
    SetText("abcd");
    Key(kLeft, true);
    Key(kLeft, true);
    EXPECT_EQ(box->SelectionLow(), 2);
    EXPECT_EQ(box->SelectionHigh(), 4);
    Type("Z");
    EXPECT_EQ(Text(), "abZ");
    EXPECT_EQ(box->cursor, 3);
    EXPECT_FALSE(box->HasSelection());
}

TEST_F(EditBoxTest, MovingWithoutShiftCollapsesTheSelectionToItsEnds)
{
    SetText("abcdef");
    Key(kLeft, true);
    Key(kLeft, true);
    Key(kLeft);
    EXPECT_EQ(box->cursor, 4);
    EXPECT_FALSE(box->HasSelection());
    Key(kHome, true);
    Key(kRight);
    EXPECT_EQ(box->cursor, 4);
    Key(kHome);
    Key(kEnd, true);
    EXPECT_EQ(box->SelectionLow(), 0);
    EXPECT_EQ(box->SelectionHigh(), 6);
}

TEST_F(EditBoxTest, EditingKeysActOnWholeCharactersAndStopAtTheEnds)
{
    SetText("a\xC3\xA9z");
    Key(kLeft);
    Key(kLeft);
    EXPECT_EQ(box->cursor, 1);
    Key(kDelete);
    EXPECT_EQ(Text(), "az");
    Key(kBackspace);
    Key(kBackspace);
    EXPECT_EQ(Text(), "z");
    EXPECT_EQ(box->cursor, 0);
    Key(kEnd);
    Key(kDelete);
    EXPECT_EQ(Text(), "z");
    // Consumed keys raise the key-up report and no key-down report.
    EXPECT_EQ(CountEvents(kKeyDownId), 0);
    EXPECT_EQ(CountEvents(kKeyUpId), 7);
}

TEST_F(EditBoxTest, EnterAndEscapeReportWithoutTyping)
{
    SetText("ab");
    Key(kEnter);
    Key(1);
    EXPECT_EQ(Text(), "ab");
    EXPECT_EQ(CountEvents(kEnterId), 1);
    EXPECT_EQ(CountEvents(kEscapeId), 1);
    EXPECT_EQ(CountEvents(kKeyUpId), 2);
}

TEST_F(EditBoxTest, CutThenPasteRoundTripsThroughTheClipboard)
{
    SetText("h\xC3\xA9llo");
    Key(kHome);
    Key(kRight);
    Key(kRight, true);
    Key(kRight, true);
    Key(kX, false, true);
    EXPECT_EQ(Text(), "hlo");
    EXPECT_EQ(Clipboard(), "\xC3\xA9l");
    Key(kEnd);
    Key(kV, false, true);
    EXPECT_EQ(Text(), "hlo\xC3\xA9l");
    EXPECT_EQ(box->cursor, box->text.GetLength());
    Key(kV, false, true);
    EXPECT_EQ(Text(), "hlo\xC3\xA9l\xC3\xA9l");
}

TEST_F(EditBoxTest, CopyNeedsASelectionAndCtrlAlone)
{
    SetClipboard("kept");
    SetText("abc");
    Key(kC, false, true);
    EXPECT_EQ(Clipboard(), "kept");
    box->ResetCursor();
    Key(kC, true, true);
    EXPECT_EQ(Clipboard(), "kept");
    Key(kC, false, true);
    EXPECT_EQ(Clipboard(), "abc");
    EXPECT_EQ(Text(), "abc");
}

TEST_F(EditBoxTest, PasteReplacesTheSelection)
{
    SetClipboard("XY");
    SetText("abcd");
    Key(kLeft, true);
    Key(kLeft, true);
    Key(kV, false, true);
    EXPECT_EQ(Text(), "abXY");
}

TEST_F(EditBoxTest, PasteNeverGoesBeyondTheLimit)
{
    box->maxLength = 5;
    SetClipboard("abcdefghij");
    SetText("xy");
    Key(kHome);
    Key(kV, false, true);
    EXPECT_EQ(Text(), "abcxy");
    EXPECT_EQ(box->cursor, 3);
    Key(kV, false, true);
    EXPECT_EQ(Text(), "abcxy");
}

TEST_F(EditBoxTest, PasteKeepsWholeCharactersAndDropsControlBytes)
{
    box->maxLength = 4;
    SetClipboard("\t\xC3\xA9\n\xC3\xA9\xC3\xA9");
    SetText("a");
    Key(kV, false, true);
    EXPECT_EQ(Text(), "a\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_EQ(box->cursor, 7);
}

TEST_F(EditBoxTest, AHugePasteStaysWithinTheStringLength)
{
    box->maxLength = 1 << 30;
    SetClipboard(std::string(70000, 'q'));
    Key(kV, false, true);
    EXPECT_EQ(box->text.GetLength(), 65535);
    Type("r");
    EXPECT_EQ(box->text.GetLength(), 65535);
    // A three-byte character over a one-byte selection would grow it past the bound.
    Key(kLeft, true);
    box->OnKeyDown(-0x20AC);
    EXPECT_EQ(box->text.GetLength(), 65535);
    EXPECT_EQ(CountEvents(kKeyDownId), 2);
}

TEST_F(EditBoxTest, AClickPlacesTheCaretAndADragSelects)
{
    SetText("abcdef"); // 10 pixels per character from x = 0
    uiMain.lastMouseX = 22;
    box->OnMouseDown(0);
    EXPECT_EQ(box->cursor, 2);
    box->OnMouseMove(47, 5, 0);
    box->OnMouseUp(0);
    EXPECT_EQ(box->SelectionLow(), 2);
    EXPECT_EQ(box->SelectionHigh(), 5);
    box->OnMouseMove(500, 5, 0);
    EXPECT_EQ(box->cursor, 5);
    EXPECT_EQ(box->pointerPos, 6);
}

TEST_F(EditBoxTest, AClickNeverLandsInsideACharacter)
{
    SetText("a\xC3\xA9z"); // bytes are 10 pixels each: centres 5, 20, 20, 35
    uiMain.lastMouseX = 19;
    box->OnMouseDown(1);
    EXPECT_EQ(box->cursor, 1);
    box->OnMouseUp(1);
    uiMain.lastMouseX = 21;
    box->OnMouseDown(1);
    EXPECT_EQ(box->cursor, 3);
}

TEST_F(EditBoxTest, OnlyTheFocusedBoxShowsCaretAndSelection)
{
    SetText("abcd");
    Key(kLeft, true);
    EXPECT_TRUE(Drawn("rect").empty());
    ASSERT_EQ(painter.Kinds("text").size(), 1u);

    uiMain.SetFocus("Edit");
    timer.absoluteTime = 0.6;
    const std::vector<RecordedDraw> rects = Drawn("rect");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].x, box->x + 30);
    EXPECT_EQ(rects[0].w, 10);
    EXPECT_EQ(rects[0].argb, 0x80FFFFFFu);
    EXPECT_EQ(rects[1].x, box->x + 30);
    EXPECT_EQ(rects[1].w, 1);
    EXPECT_EQ(rects[1].argb, 0xFFFFFFFFu);

    timer.absoluteTime = 0.49;
    Key(kRight);
    const std::vector<RecordedDraw> off = Drawn("rect");
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].x, box->x + 40);
    EXPECT_EQ(off[0].argb >> 24, 0u);
    timer.absoluteTime = 0.0;
}

TEST_F(EditBoxTest, MarginsAreTakenAsConfiguredOnAScaledScreen)
{
    // On a UI area twice the design, scaled margins would be twice the frame's corners.
    WeConfig::GetString("UI.WideEdit.Margins", "") = "8,6,8,6";
    uiMain.CreateDefaultStyle("EditBox", "WideEdit");
    box->SetStyle("WideEdit", "");
    renderDevice.SetBackBufferSize(1600, 1200);
    Frame();
    Frame();
    ASSERT_EQ(box->style->leftPx, 16);
    SetText("ab");
    WeList<int32_t> expected;
    box->style->WeUIStyle::MeasureCharacterCenters(expected, box->text, box->x + 8);
    ASSERT_EQ(box->charCentres.GetCount(), 2);
    EXPECT_EQ(box->charCentres.First(), expected.First());
    EXPECT_EQ(box->charCentres.Last(), expected.Last());

    uiMain.SetFocus("Edit");
    timer.absoluteTime = 0.6;
    const std::vector<RecordedDraw> caret = Drawn("rect");
    ASSERT_EQ(caret.size(), 1u);
    EXPECT_EQ(caret[0].x, box->x + 8 + 20);
    const std::vector<RecordedDraw> texts = painter.Kinds("text");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].x, box->x + 8);
    EXPECT_EQ(texts[0].w, box->w - 16);
    timer.absoluteTime = 0.0;
}

} // namespace
