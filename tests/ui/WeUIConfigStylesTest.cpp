// The built-in plain styles through a recording painter: registered under their names, the
// triangles of the step buttons (a flat or empty rectangle draws no broken slant), the edit box's
// caret and selection, the list's column lines, and a style on a widget of another type.
#include "UIFixture.h"
#include "WeUICheckBox.h"
#include "WeUIEditBox.h"
#include "WeUIMultiList.h"

#include <cmath>

namespace
{

class ConfigStyles : public UIFixture
{
protected:
    // A widget of the layout entry, laid out, its style's draws recorded alone.
    WeUIComponent* Make(const char* entry)
    {
        LoadUI(std::string("[Components]\n") + entry + "\n");
        uiMain.LoadComponents("Cfg");
        uiMain.Update();
        return uiMain.GetComponent(std::string(entry).substr(0, std::string(entry).find('=')).c_str());
    }
    std::vector<RecordedDraw> Draw(WeUIComponent* c)
    {
        painter.draws.clear();
        c->style->Draw(c);
        return painter.draws;
    }
};

} // namespace

TEST_F(ConfigStyles, EveryNameHasItsStyle)
{
    for (const char* name :
         {"*ConfigWindowButtonNormal", "*ConfigWindowButtonRed", "*ConfigWindowButtonUp",
          "*ConfigWindowButtonScroll", "*ConfigWindowButtonDown", "*ConfigWindowBackground",
          "*ConfigWindowCheckBox", "*ConfigWindowEditBox", "*ConfigWindowMultiList",
          "*ConfigWindowMultiList_Header", "*ConfigWindowMultiList_Label"})
        EXPECT_NE(uiMain.GetStyle(name), nullptr) << name;
    EXPECT_EQ(uiMain.GetStyle("*ConfigWindowButtonRed")->font.colour, 0xFFFF0000u);
}

TEST_F(ConfigStyles, TrianglesSlantByTheirShapeAndNeedAHeight)
{
    struct Case
    {
        const char* entry;
        size_t turned;
        float angle; // of the first bar
    };
    const Case cases[] = {
        {"CfgUp=Button:Root:*ConfigWindowButtonUp:,0,0,40,40", 2, std::asin(0.5f)},
        {"CfgDown=Button:Root:*ConfigWindowButtonDown:,0,0,40,40", 2, -std::asin(0.5f)},
        {"CfgWide=Button:Root:*ConfigWindowButtonUp:,0,0,400,20", 2, std::asin(1.0f)},
        {"CfgFlat=Button:Root:*ConfigWindowButtonUp:,0,0,40,0", 0, 0.0f},
    };
    for (const Case& c : cases)
    {
        const std::vector<RecordedDraw> draws = Draw(Make(c.entry));
        std::vector<RecordedDraw> turned;
        for (const RecordedDraw& d : draws)
        {
            EXPECT_TRUE(std::isfinite(d.angle)) << c.entry;
            if (d.kind == "turned")
                turned.push_back(d);
        }
        ASSERT_EQ(turned.size(), c.turned) << c.entry;
        if (c.turned)
        {
            EXPECT_FLOAT_EQ(turned[0].angle, c.angle) << c.entry;
            EXPECT_FLOAT_EQ(turned[1].angle, -c.angle) << c.entry;
        }
    }
}

TEST_F(ConfigStyles, TheEditBoxShowsSelectionAndCaretOnlyWithTheFocus)
{
    auto* edit = dynamic_cast<WeUIEditBox*>(Make("CfgEdit=EditBox:Root:*ConfigWindowEditBox:,10,20,200,30"));
    ASSERT_NE(edit, nullptr);
    edit->text = "abcdef";
    edit->anchor = 4;
    edit->cursor = 1;
    timer.absoluteTime = 0.1; // the caret's visible half second
    EXPECT_EQ(Draw(edit).size(), 6u) << "fill, frame and text only";
    uiMain.focused = edit;
    const std::vector<RecordedDraw> draws = Draw(edit);
    uiMain.focused = uiMain.root;
    ASSERT_EQ(draws.size(), 8u);
    EXPECT_EQ(draws[5].x, edit->x + 1 + 10) << "the selection starts after one character";
    EXPECT_EQ(draws[5].w, 30);
    EXPECT_EQ(draws[5].argb, 0xFF0000FFu);
    EXPECT_EQ(draws[6].x, edit->x + 1 + 10) << "the caret at the cursor, the smaller end";
    EXPECT_EQ(draws[6].argb, 0x0000FF00u);
}

TEST_F(ConfigStyles, ColumnsAreSeparatedBetweenNeighboursOnly)
{
    for (const auto& [columns, lines] : {std::pair{"A:100", 0}, {"A:100,B:50,C:50", 2}})
    {
        auto* list =
            dynamic_cast<WeUIMultiList*>(Make("CfgList=MultiList:Root:*ConfigWindowMultiList:,0,0,200,100"));
        ASSERT_NE(list, nullptr);
        list->SetColumns(columns);
        int32_t separators = 0;
        for (const RecordedDraw& d : Draw(list))
            separators +=
                d.kind == "rect" && d.w == 1 && d.h == list->h && d.x > list->x && d.x < list->x + list->w;
        EXPECT_EQ(separators, lines) << columns;
    }
}

TEST_F(ConfigStyles, OnAWidgetOfAnotherTypeTheyDrawNothing)
{
    for (const char* entry : {"CfgA=Label:Root:*ConfigWindowCheckBox:,0,0,40,40",
                              "CfgB=Label:Root:*ConfigWindowEditBox:,0,0,40,40",
                              "CfgC=Button:Root:*ConfigWindowMultiList:,0,0,40,40"})
        EXPECT_TRUE(Draw(Make(entry)).empty()) << entry;
}
