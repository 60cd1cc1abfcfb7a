#include "WeUIMultiList.h"
#include "UIFixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace
{

constexpr int32_t kListUp = 22;
constexpr int32_t kListDouble = 23;
constexpr int32_t kRow = 20; // the recording painter's font size
constexpr uint32_t kSelected = 0xFF3366CCu;

// A 400 x 300 list at the top left with a text column 300 wide and a numeric one 100 wide.
class MultiListTest : public UIFixture
{
protected:
    void SetUp() override
    {
        WeConfig::GetInt("UI.Size.SrcW", 800) = 800;
        WeConfig::GetInt("UI.Size.SrcH", 600) = 600;
        LoadUI("[Components]\nTestList$Columns=Name:300,#Score:100\n"
               "[TestListStyle]\nColorSelected=#FF3366CC\n"
               "[TestListStyle_Label]\nFont=,20,#FFFFFFFF\n"
               "[TestListStyle_Header]\nFont=,20,#FFFFFFFF\n");
        UIFixture::SetUp();
        list =
            static_cast<WeUIMultiList*>(uiMain.CreateComponent("TestList", "MultiList:Root:TestListStyle"));
        ASSERT_NE(list, nullptr);
        list->SetPlacement(0, 0, 0, 0, 400 / 800.0f, 0, 300 / 600.0f, 0, 0, 0, 0, 0);
        list->onMouseUp = {kListUp, nullptr};
        list->onDoubleClick = {kListDouble, nullptr};
    }
    void AddRow(const char* name, const char* score)
    {
        WeList<WeString> texts;
        texts.PushBack(name);
        texts.PushBack(score);
        list->AddRow(&texts);
    }
    std::string Text(int32_t column, int32_t row) const
    {
        WeUIComponent* cell = list->GetCell(column, row);
        return cell ? std::string(cell->text.GetData(), static_cast<size_t>(cell->text.GetLength()))
                    : "<none>";
    }
    std::vector<std::string> Column(int32_t column) const
    {
        std::vector<std::string> texts;
        for (int32_t r = 0; r < list->rowCount; ++r)
            texts.push_back(Text(column, r));
        return texts;
    }
    // Centre of a cell of column 0 on screen.
    static int32_t RowY(int32_t row) { return kRow + row * kRow + kRow / 2; }

    WeUIMultiList* list = nullptr;
};

using Texts = std::vector<std::string>;

TEST(MultiListSortOrder, NumbersByLengthThenDigitsTextsStableAscendingReversedDescending)
{
    const std::vector<WeString> numbers = {"100", "9", "10"};
    EXPECT_EQ(WeMultiListSortOrder(numbers, true, true), (std::vector<int32_t>{1, 2, 0}));
    EXPECT_EQ(WeMultiListSortOrder(numbers, true, false), (std::vector<int32_t>{0, 2, 1}));
    // As text a prefix comes first: "10" before "100" before "9".
    EXPECT_EQ(WeMultiListSortOrder(numbers, false, true), (std::vector<int32_t>{2, 0, 1}));
    const std::vector<WeString> ties = {"b", "a", "b", "a"};
    EXPECT_EQ(WeMultiListSortOrder(ties, false, true), (std::vector<int32_t>{1, 3, 0, 2}));
    EXPECT_EQ(WeMultiListSortOrder(ties, false, false), (std::vector<int32_t>{2, 0, 3, 1}));
    // Bytes above 127 sort after ASCII, as unsigned bytes do.
    const std::vector<WeString> bytes = {"\xC3\xA9", "z"};
    EXPECT_EQ(WeMultiListSortOrder(bytes, false, true), (std::vector<int32_t>{1, 0}));
    EXPECT_TRUE(WeMultiListSortOrder({}, true, true).empty());
}

TEST(MultiListRowNames, TheRowIsTheLastFieldEvenWhenTheListsNameHoldsADollar)
{
    EXPECT_EQ(WeMultiListRowOf("Users$1$7"), 7);
    EXPECT_EQ(WeMultiListRowOf("Outer$Inner$0$12"), 12);
    EXPECT_EQ(WeMultiListRowOf("NoDollar"), -1);
}

TEST_F(MultiListTest, ColumnsComeFromTheLayoutKeyWithHeadersSizedByTheirFont)
{
    ASSERT_EQ(list->ColumnCount(), 2);
    EXPECT_FALSE(list->columns[0].numeric);
    EXPECT_TRUE(list->columns[1].numeric);
    EXPECT_EQ(list->columns[1].title, WeString("Score"));
    Frame();
    WeUIComponent* name = uiMain.GetComponent("TestList$0");
    WeUIComponent* score = uiMain.GetComponent("TestList$1");
    ASSERT_NE(name, nullptr);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->text, WeString("Score"));
    EXPECT_EQ(name->x, 0);
    EXPECT_EQ(name->w, 300);
    EXPECT_EQ(score->x, 300);
    EXPECT_EQ(score->h, kRow);
    EXPECT_FALSE(score->enabled); // not sortable by default
    EXPECT_EQ(list->rowHeight, kRow);
    EXPECT_EQ(list->scrollFrame->y, kRow);
    EXPECT_EQ(list->scrollFrame->h, 300 - kRow);
    EXPECT_EQ(list->selectionColor, kSelected);
}

TEST_F(MultiListTest, StylesWithoutFontsKeepTheDefaultRowAndHeaderHeights)
{
    painter.fontPixelSize = 0; // a style without a font entry gets a font of no size
    auto* bare = static_cast<WeUIMultiList*>(uiMain.CreateComponent("BareList", "MultiList:Root:BareList"));
    ASSERT_NE(bare, nullptr);
    bare->SetPlacement(0, 0, 0, 0, 400 / 800.0f, 0, 300 / 600.0f, 0, 0, 0, 0, 0);
    Frame();
    EXPECT_EQ(bare->rowHeight, 15);
    EXPECT_EQ(bare->scrollFrame->y, 15);
    EXPECT_EQ(bare->selectionColor, 0xFFFF0000u);
}

TEST_F(MultiListTest, HeadersDrawTheirTitlesInTheStyleMadeWithTheList)
{
    EXPECT_NE(dynamic_cast<WeUIDefaultLabelStyle*>(uiMain.GetStyle("TestListStyle_Header")), nullptr);
    Frame();
    painter.draws.clear();
    uiMain.Render();
    std::vector<std::string> texts;
    for (const RecordedDraw& d : painter.Kinds("text"))
        texts.push_back(d.text);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"Name", "Score"}));
}

TEST_F(MultiListTest, RowsStackUnderTheHeadersAndShortTextListsGiveEmptyCells)
{
    AddRow("ann", "5");
    WeList<WeString> one;
    one.PushBack("bob");
    list->AddRow(&one);
    list->AddRow(nullptr);
    Frame();
    EXPECT_EQ(Column(0), (Texts{"ann", "bob", ""}));
    EXPECT_EQ(Column(1), (Texts{"5", "", ""}));
    WeUIComponent* cell = list->GetCell(1, 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->x, 300);
    EXPECT_EQ(cell->y, kRow + 2 * kRow);
    EXPECT_EQ(cell->h, kRow);
    EXPECT_EQ(list->GetCell(2, 0), nullptr);
    list->SetCellText("carl", 0, 2);
    list->SetCellText("nobody", 0, 9); // no such cell: nothing
    EXPECT_EQ(Text(0, 2), "carl");
}

TEST_F(MultiListTest, NumericSortAscendsThenReversesOnTheSameHeader)
{
    AddRow("a", "100");
    AddRow("b", "9");
    AddRow("c", "10");
    list->SortByColumn(1, true);
    EXPECT_EQ(Column(1), (Texts{"9", "10", "100"}));
    EXPECT_EQ(Column(0), (Texts{"b", "c", "a"}));
    Frame();
    EXPECT_EQ(list->GetCell(1, 0)->y, kRow);
    EXPECT_EQ(list->GetCell(1, 2)->y, kRow + 2 * kRow);
    list->SortByColumn(1, true);
    EXPECT_EQ(Column(1), (Texts{"100", "10", "9"}));
    EXPECT_FALSE(list->sortAscending);
    // No cell is left under a temporary name, and every name is held by exactly its cell.
    int32_t parked = 0;
    uiMain.components.ForEach([&](const WeString& key, WeUIComponent*)
                              { parked += key.Find("TMPName") >= 0; });
    EXPECT_EQ(parked, 0);
    for (int32_t c = 0; c < 2; ++c)
        for (int32_t r = 0; r < 3; ++r)
        {
            WeString expected("TestList$");
            expected.AppendInt(c);
            expected += "$";
            expected.AppendInt(r);
            ASSERT_NE(list->GetCell(c, r), nullptr);
            EXPECT_EQ(list->GetCell(c, r)->name, expected);
        }
    EXPECT_EQ(list->scrollFrame->contents->children.GetCount(), 6);
}

TEST_F(MultiListTest, TextSortKeepsTiesAscendingAndReversesThemDescending)
{
    AddRow("b", "1");
    AddRow("a", "2");
    AddRow("b", "3");
    AddRow("a", "4");
    list->SortByColumn(0, false);
    EXPECT_EQ(Column(1), (Texts{"2", "4", "1", "3"}));
    list->SortByColumn(0, false);
    EXPECT_EQ(Column(1), (Texts{"3", "1", "4", "2"}));
    // Another column starts ascending again.
    list->SortByColumn(1, true);
    EXPECT_EQ(Column(1), (Texts{"1", "2", "3", "4"}));
}

TEST_F(MultiListTest, TheSelectionFollowsItsCellsThroughASort)
{
    AddRow("a", "100");
    AddRow("b", "9");
    AddRow("c", "10");
    list->SelectCell(0, 0);
    ASSERT_EQ(list->GetSelectedRow(), 0);
    WeUIComponent* selected = list->selectedCells.First();
    list->SortByColumn(1, true);
    EXPECT_EQ(list->GetSelectedRow(), 2);
    EXPECT_EQ(list->selectedCells.First(), selected);
    EXPECT_EQ(list->selectedCells.GetCount(), 2);
    EXPECT_EQ(list->selectedTexts.First(), WeString("a"));
}

TEST_F(MultiListTest, AClickSelectsTheWholeRowReportsTheListsMouseUpAndClearsTheOldRow)
{
    for (const char* name : {"a", "b", "c", "d", "e"})
        AddRow(name, "1");
    Frame();
    Click(50, RowY(1));
    EXPECT_EQ(list->GetSelectedRow(), 1);
    EXPECT_EQ(CountEvents(kListUp), 1);
    Click(350, RowY(3));
    EXPECT_EQ(list->GetSelectedRow(), 3);
    EXPECT_EQ(list->selectedCells.GetCount(), 2);
    EXPECT_EQ(WeUIColourToArgb(list->GetCell(0, 3)->colour2), kSelected);
    EXPECT_EQ(WeUIColourToArgb(list->GetCell(1, 3)->colour2), kSelected);
    // The old row keeps its rgb with alpha 0.
    EXPECT_EQ(WeUIColourToArgb(list->GetCell(0, 1)->colour2), kSelected & 0x00FFFFFFu);
    EXPECT_EQ(CountEvents(kListDouble), 0);
}

TEST_F(MultiListTest, ADoubleClickOnACellReportsTheListsDoubleClickOnce)
{
    AddRow("a", "1");
    AddRow("b", "2");
    Frame();
    DoubleClick(50, RowY(1));
    EXPECT_EQ(CountEvents(kListDouble), 1);
    EXPECT_EQ(list->GetSelectedRow(), 1);
    // Below the last row there is no cell to report.
    DoubleClick(50, RowY(5));
    EXPECT_EQ(CountEvents(kListDouble), 0);
}

TEST_F(MultiListTest, SelectCellAddsRowsAndClearSelectionEmptiesIt)
{
    AddRow("a", "1");
    AddRow("b", "2");
    AddRow("c", "3");
    list->SelectCell(0, 2);
    list->SelectCell(1, 0);
    EXPECT_EQ(list->GetSelectedRow(), 2);
    EXPECT_EQ(list->selectedCells.GetCount(), 4);
    list->SelectCell(0, 7); // no such row: nothing
    EXPECT_EQ(list->selectedCells.GetCount(), 4);
    list->ClearSelection();
    EXPECT_EQ(list->GetSelectedRow(), -1);
    EXPECT_TRUE(list->selectedTexts.IsEmpty());
    EXPECT_EQ(list->GetCell(0, 2)->colour2.a, 0.0f);
}

TEST_F(MultiListTest, HeadersSortOnlyWhenTheListIsSortable)
{
    AddRow("a", "100");
    AddRow("b", "9");
    Frame();
    Click(350, kRow / 2);
    EXPECT_EQ(Column(1), (Texts{"100", "9"}));
    list->sortable = true;
    list->SetColumns("Name:300,#Score:100");
    list->Clear();
    AddRow("a", "100");
    AddRow("b", "9");
    Frame();
    Click(350, kRow / 2);
    EXPECT_EQ(Column(1), (Texts{"9", "100"}));
}

TEST_F(MultiListTest, ClearStartsAgainAtRowZeroAtTheTop)
{
    for (int32_t i = 0; i < 30; ++i)
        AddRow("x", "1");
    list->SelectCell(0, 29);
    Frame();
    EXPECT_TRUE(list->scrollFrame->vScroll->visible);
    EXPECT_EQ(list->scrollFrame->contents->h, 30 * kRow);
    list->scrollFrame->vScroll->SetValue(1.0f);
    list->Clear();
    EXPECT_EQ(list->rowCount, 0);
    EXPECT_EQ(list->GetSelectedRow(), -1);
    EXPECT_EQ(list->GetCell(0, 29), nullptr);
    AddRow("first", "1");
    Frame();
    EXPECT_FALSE(list->scrollFrame->vScroll->visible);
    ASSERT_NE(list->GetCell(0, 0), nullptr);
    EXPECT_EQ(list->GetCell(0, 0)->y, kRow);
    EXPECT_EQ(list->scrollFrame->contents->children.GetCount(), 2);
}

TEST_F(MultiListTest, FewerColumnsLeaveNoCellHeaderOrSelectionBehind)
{
    AddRow("a", "1");
    AddRow("b", "2");
    AddRow("c", "3");
    list->SelectCell(0, 1);
    ASSERT_EQ(list->selectedCells.GetCount(), 2);
    list->SetColumns("Name:200");
    ASSERT_EQ(list->ColumnCount(), 1);
    EXPECT_EQ(uiMain.GetComponent("TestList$1"), nullptr);
    for (int32_t r = 0; r < 3; ++r)
        EXPECT_EQ(list->GetCell(1, r), nullptr);
    EXPECT_EQ(Column(0), (Texts{"a", "b", "c"}));
    EXPECT_EQ(list->scrollFrame->contents->children.GetCount(), 3);
    // The dropped cell has left the selection, its text with it; the rest of the row stays.
    EXPECT_EQ(list->selectedCells.GetCount(), 1);
    ASSERT_EQ(list->selectedTexts.GetCount(), 1);
    EXPECT_EQ(list->selectedTexts.First(), WeString("b"));
    EXPECT_EQ(list->GetSelectedRow(), 1);
    Frame();
    EXPECT_EQ(list->GetCell(0, 2)->w, 200);
    list->Clear();
    EXPECT_EQ(list->scrollFrame->contents->children.GetCount(), 0);
}

TEST_F(MultiListTest, MoreColumnsGiveTheOldRowsEmptyCellsUnderTheNewHeaders)
{
    AddRow("a", "1");
    AddRow("b", "2");
    list->SetColumns("Name:100,#Score:100,Place:50");
    ASSERT_EQ(list->ColumnCount(), 3);
    EXPECT_EQ(Column(1), (Texts{"1", "2"}));
    EXPECT_EQ(Column(2), (Texts{"", ""}));
    Frame();
    WeUIComponent* score = list->GetCell(1, 1);
    WeUIComponent* place = list->GetCell(2, 1);
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(score->x, 100);
    EXPECT_EQ(score->w, 100);
    EXPECT_EQ(place->x, 200);
    EXPECT_EQ(place->y, kRow + kRow);
    // The new cells answer clicks like the others.
    Click(place->x + 10, place->y + kRow / 2);
    EXPECT_EQ(list->GetSelectedRow(), 1);
    EXPECT_EQ(list->selectedCells.GetCount(), 3);
    list->Clear();
    EXPECT_EQ(list->scrollFrame->contents->children.GetCount(), 0);
}

TEST_F(MultiListTest, OddColumnSpecsGiveHarmlessColumns)
{
    list->SetColumns("");
    EXPECT_EQ(list->ColumnCount(), 0);
    EXPECT_EQ(uiMain.GetComponent("TestList$0"), nullptr);
    list->AddRow(nullptr);
    Frame();
    EXPECT_EQ(list->scrollFrame->contents->children.GetCount(), 0);
    list->Clear();

    // Negative widths count as none; empty fields, a lone '#' and a missing width give
    // untitled or zero-width columns.
    list->SetColumns("Name:-300,#Score:100,,#,Plain");
    ASSERT_EQ(list->ColumnCount(), 5);
    EXPECT_EQ(list->columns[0].width, 0.0f);
    EXPECT_TRUE(list->columns[3].numeric);
    EXPECT_TRUE(list->columns[3].title.IsEmpty());
    EXPECT_EQ(list->columns[4].width, 0.0f);
    AddRow("a", "10");
    AddRow("b", "9");
    Frame();
    EXPECT_EQ(uiMain.GetComponent("TestList$1")->x, 0);
    EXPECT_EQ(list->GetCell(1, 0)->x, 0);
    EXPECT_EQ(list->GetCell(0, 0)->w, 0);
    list->SortByColumn(3, true);
    list->SortByColumn(1, true);
    EXPECT_EQ(Column(1), (Texts{"9", "10"}));
}

TEST_F(MultiListTest, AChangedDescriptorReadsTheColumnsAgainAndKeepsTheRows)
{
    AddRow("a", "1");
    AddRow("b", "2");
    WeConfig::GetString("UI.Components.TestList", "") = "MultiList:Root:TestListStyle,0%0%0,0%0%0,400,300";
    WeConfig::GetString("UI.Components.TestList$Columns", "") = "Player:250";
    painter.fontPixelSize = 30; // the styles' fonts now give 30-pixel rows and headers
    WeUIMain::OnComponentConfigChanged("UI.Components.TestList", nullptr);
    ASSERT_EQ(list->ColumnCount(), 1);
    EXPECT_EQ(list->columns[0].title, WeString("Player"));
    EXPECT_EQ(Column(0), (Texts{"a", "b"}));
    EXPECT_EQ(list->GetCell(1, 0), nullptr);
    Frame();
    EXPECT_EQ(list->GetCell(0, 1)->y, 30 + 30);
    EXPECT_EQ(list->GetCell(0, 1)->w, 250);
    EXPECT_EQ(list->scrollFrame->contents->h, 2 * 30);
    // A descriptor that names another type does not make a plain component read columns.
    WeUIComponent* other = uiMain.CreateComponent("NotAList", "Label:Root:");
    ASSERT_NE(other, nullptr);
    WeConfig::GetString("UI.Components.NotAList", "") = "MultiList:Root:TestListStyle";
    WeConfig::GetString("UI.Components.NotAList$Columns", "") = "Name:100";
    WeUIMain::OnComponentConfigChanged("UI.Components.NotAList", nullptr);
    EXPECT_EQ(uiMain.GetComponent("NotAList$0"), nullptr);
}

} // namespace
