// A table of text cells under a row of column header buttons, scrolled by a frame over a
// background window. Cells are labels named list + "$" + column + "$" + row, headers buttons named
// list + "$" + column, so both are found through the UI manager by name. A click on a cell selects
// its row and reports the list's own mouse-up, a double click reports the list's double click, and
// a click on an enabled header sorts by that column, as numbers or as text.
#pragma once

#include "WeList.h"
#include "WeUIComponent.h"
#include "WeUILabel.h"
#include "WeUIScrollFrame.h"
#include "WeUIStyle.h"

#include <vector>

class WeUIMultiList : public WeUIComponent
{
public:
    WeUIMultiList(WeUIComponent* parent, const WeString& name);

    // The window's style (style + "_Window"), the cell and header style names, the row and header
    // heights from their fonts, the frame's style and the selection colour.
    void SetStyle(const WeString& styleName, const WeString& fallbackType) override;
    const char* GetTypeName() const override { return "MultiList"; }

    // Header row height as a design fraction and a fraction of the list's height; the frame fills
    // the rest.
    void SetHeaderHeight(float p, float r);
    // "Title:width,#Title:width": widths in design pixels, a leading '#' makes a numeric column.
    // Rows already there keep their texts in the columns that remain.
    void SetColumns(const WeString& spec);
    // One text per column; missing texts (or no list) give empty cells.
    void AddRow(const WeList<WeString>* texts);
    void Clear();
    WeUIComponent* GetCell(int32_t column, int32_t row) const;
    void SetCellText(const WeString& text, int32_t column, int32_t row);
    // Adds to the current selection.
    void SelectCell(int32_t column, int32_t row);
    // Row of the first selected cell, -1 without a selection.
    int32_t GetSelectedRow() const;
    // Selection colours cleared to alpha 0, their rgb kept.
    void ClearSelection();
    // The cell (with wholeRowSelection its whole row) in the selection colour; nothing for null.
    void SelectCellComponent(WeUIComponent* cell);
    // The same column again reverses the direction; selected cells stay selected.
    void SortByColumn(int32_t column, bool numeric);
    int32_t ColumnCount() const { return static_cast<int32_t>(columns.size()); }
    // Row pitch as a design fraction of the height.
    float RowPitch() const;

    // The callback of the headers (-1) and cells (-2 mouse up, -3 double click).
    static bool OnInternalEvent(WeUIEvent* event);

    struct Column
    {
        WeString title;
        bool numeric = false;
        float width = 0.0f; // design fraction of the width
    };

    WeUIWindow* window;
    WeUIScrollFrame* scrollFrame;
    float headerHeightP = 0.0f, headerHeightR = 0.0f;
    WeList<WeUIComponent*> selectedCells;
    WeList<WeString> selectedTexts;
    bool wholeRowSelection = true;
    std::vector<Column> columns;
    int32_t rowCount = 0;
    bool sortable = false;
    bool sortAscending = true;
    int32_t sortColumn = -1;
    uint32_t selectionColor = 0xFFFF0000u;
    WeString labelStyle;
    WeString headerStyle;
    int32_t rowHeight = 15; // back-buffer pixels

private:
    WeString HeaderName(int32_t column) const;
    WeString CellName(int32_t column, int32_t row) const;
    void FitContents();
    // Under the column's header, at the row's height.
    void PlaceCell(WeUIComponent* cell, int32_t column, int32_t row) const;
    void NewCell(int32_t column, int32_t row, const WeString& cellText);
    // Rows made under earlier columns: cells of columns that are gone go with their headers (and
    // out of the selection), new columns get empty cells, and every cell moves under its header.
    void FitRowsToColumns(int32_t oldCount);
    void Unselect(const WeUIComponent* cell);
};

// The row a cell's name ends in: the field after its last '$', so that a list whose own name holds
// a '$' still reads the right one. -1 for a name without one.
int32_t WeMultiListRowOf(const WeString& cellName);
// The order of rows that a sort of these keys gives, by insertion: ascending keeps equal keys in
// their order, descending puts a later one first. Numeric keys compare by length, then by bytes.
std::vector<int32_t> WeMultiListSortOrder(const std::vector<WeString>& keys, bool numeric, bool ascending);

// The list itself paints nothing; its window and cells do.
class WeUIDefaultMultiListStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
};
