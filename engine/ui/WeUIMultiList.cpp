#include "WeUIMultiList.h"

#include "WeConfig.h"
#include "WeRenderDevice.h"
#include "WeUIButton.h"
#include "WeUIMain.h"

#include <cstring>

namespace
{

enum : int32_t
{
    ID_HEADER_UP = -1,
    ID_CELL_UP = -2,
    ID_CELL_DOUBLE_CLICK = -3,
};

constexpr int32_t kDefaultHeaderPixels = 15;

// strcmp order over unsigned bytes.
bool BytesBefore(const WeString& a, const WeString& b)
{
    const int32_t shorter = a.GetLength() < b.GetLength() ? a.GetLength() : b.GetLength();
    const int result = std::memcmp(a.GetData(), b.GetData(), static_cast<size_t>(shorter));
    return result < 0 || (result == 0 && a.GetLength() < b.GetLength());
}

// Whether key goes before an entry holding t in the walk of the insertion sort.
bool InsertsBefore(const WeString& key, const WeString& t, bool numeric, bool ascending)
{
    if (numeric && key.GetLength() != t.GetLength())
        return ascending ? key.GetLength() < t.GetLength() : key.GetLength() > t.GetLength();
    return ascending ? BytesBefore(key, t) : !BytesBefore(key, t);
}

int32_t BackBufferHeight()
{
    return renderDevice.BackBufferHeight() > 0 ? renderDevice.BackBufferHeight() : 1;
}

WeUIMultiList* OwningList(WeUIComponent* c)
{
    for (; c; c = c->parent)
        if (auto* list = dynamic_cast<WeUIMultiList*>(c))
            return list;
    return nullptr;
}

} // namespace

int32_t WeMultiListRowOf(const WeString& cellName)
{
    if (cellName.Find("$") < 0)
        return -1;
    return cellName.GetTokenFromEnd('$', 0).ToInt();
}

std::vector<int32_t> WeMultiListSortOrder(const std::vector<WeString>& keys, bool numeric, bool ascending)
{
    std::vector<int32_t> order;
    for (int32_t row = 0; row < static_cast<int32_t>(keys.size()); ++row)
    {
        auto at = order.begin();
        while (at != order.end() && !InsertsBefore(keys[row], keys[*at], numeric, ascending))
            ++at;
        order.insert(at, row);
    }
    return order;
}

WeUIMultiList::WeUIMultiList(WeUIComponent* parent_, const WeString& name_)
    : WeUIComponent(parent_, name_), window(AdoptPart(new WeUIWindow(this, name + "$Window"))),
      scrollFrame(AdoptPart(new WeUIScrollFrame(this, name + "$ScrollFrame")))
{
    scrollFrame->SetPlacement(0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0);
}

WeString WeUIMultiList::HeaderName(int32_t column) const
{
    WeString header = name + "$";
    header.AppendInt(column);
    return header;
}

WeString WeUIMultiList::CellName(int32_t column, int32_t row) const
{
    WeString cell = HeaderName(column) + "$";
    cell.AppendInt(row);
    return cell;
}

float WeUIMultiList::RowPitch() const
{
    return static_cast<float>(rowHeight) / static_cast<float>(BackBufferHeight());
}

void WeUIMultiList::SetStyle(const WeString& styleName, const WeString& fallbackType)
{
    WeUIComponent::SetStyle(styleName, fallbackType);
    window->SetStyle(styleName + "_Window", "Window");
    labelStyle = styleName + "_Label";
    headerStyle = styleName + "_Header";
    if (WeUIStyle* cells = uiMain.GetStyle(labelStyle))
        if (const int32_t size = uiMain.painter->GetFontPixelSize(cells->font.font); size > 0)
            rowHeight = size;
    const WeString prefix = "UI." + styleName;
    if (const WeConfigEntry* frameStyle = WeConfig::Find(prefix + ".ScrollFrame", false))
        scrollFrame->SetStyle(frameStyle->value, "ScrollFrame");
    int32_t headerPixels = kDefaultHeaderPixels;
    // A style without a font keeps the default rather than a header row of no height.
    if (WeUIStyle* headers = uiMain.GetStyle(headerStyle))
        if (const int32_t size = uiMain.painter->GetFontPixelSize(headers->font.font); size > 0)
            headerPixels = size;
    SetHeaderHeight(static_cast<float>(headerPixels) / static_cast<float>(BackBufferHeight()), 0);
    if (const WeConfigEntry* colour = WeConfig::Find(prefix + ".ColorSelected", false))
        selectionColor = static_cast<uint32_t>(colour->value.ToInt());
}

void WeUIMultiList::SetHeaderHeight(float p, float r)
{
    headerHeightP = p;
    headerHeightR = r;
    for (int32_t c = 0; c < ColumnCount(); ++c)
        if (WeUIComponent* header = uiMain.GetComponent(HeaderName(c)))
            header->SetSize(header->wP, header->wR, p, r);
    scrollFrame->SetPlacement(0, 0, p, r, 0, 1, -p, 1 - r, 0, 0, 0, 0);
}

void WeUIMultiList::SetColumns(const WeString& spec)
{
    const int32_t oldCount = ColumnCount();
    // The old headers go first: a part keeps its name against a newcomer.
    for (int32_t c = 0; c < oldCount; ++c)
        DestroyPart(uiMain.GetComponent(HeaderName(c)));
    columns.clear();
    scrollFrame->DeleteChildren(false);
    const float designW = static_cast<float>(uiMain.DesignWidth());
    float x = 0.0f;
    const int32_t count = spec.CountTokens(',');
    for (int32_t c = 0; c < count; ++c)
    {
        const WeString field = spec.GetToken(',', c);
        Column column;
        column.title = field.GetToken(':', 0);
        // A column narrower than nothing would pull the next ones over it.
        const int32_t width = field.GetToken(':', 1).ToInt();
        column.width = width > 0 ? WeUIPlacement(static_cast<float>(width) / designW, 0.0f) : 0.0f;
        if (column.title[0] == '#')
        {
            column.numeric = true;
            column.title = column.title.Substring(1, column.title.GetLength());
        }
        // Made under this list directly, so that a list which lost its name to an older
        // component still owns its headers.
        auto* header = AdoptPart(new WeUIButton(this, HeaderName(c)));
        uiMain.ApplyDescriptor(header, "Button:" + name + ":MultiListHeaderButton:" + column.title);
        header->SetStyle(headerStyle, "");
        header->SetPlacement(x, 0, 0, 0, column.width, 0, headerHeightP, headerHeightR, 0, 0, 0, 0);
        header->onMouseUp = {ID_HEADER_UP, OnInternalEvent};
        header->enabled = sortable;
        x += column.width;
        columns.push_back(column);
    }
    FitRowsToColumns(oldCount);
}

void WeUIMultiList::FitRowsToColumns(int32_t oldCount)
{
    for (int32_t c = ColumnCount(); c < oldCount; ++c)
        for (int32_t r = 0; r < rowCount; ++r)
            if (WeUIComponent* cell = GetCell(c, r))
            {
                Unselect(cell);
                DestroyPart(cell);
            }
    for (int32_t r = 0; r < rowCount; ++r)
        for (int32_t c = 0; c < ColumnCount(); ++c)
        {
            if (WeUIComponent* cell = GetCell(c, r))
                PlaceCell(cell, c, r);
            else
                NewCell(c, r, WeString());
        }
    FitContents();
}

void WeUIMultiList::Unselect(const WeUIComponent* cell)
{
    selectedCells.Reset();
    selectedTexts.Reset();
    while (!selectedCells.IsEnd())
    {
        const bool doomed = selectedCells.GetItem() == cell;
        if (doomed)
            selectedCells.RemoveCurrent();
        else
            selectedCells.Next();
        if (selectedTexts.IsEnd())
            continue;
        if (doomed)
            selectedTexts.RemoveCurrent();
        else
            selectedTexts.Next();
    }
}

void WeUIMultiList::FitContents()
{
    scrollFrame->SetContentsSize(scrollFrame->wP, scrollFrame->wR, RowPitch() * static_cast<float>(rowCount),
                                 0);
}

void WeUIMultiList::PlaceCell(WeUIComponent* cell, int32_t column, int32_t row) const
{
    const float pitch = RowPitch();
    if (WeUIComponent* header = uiMain.GetComponent(HeaderName(column)))
        cell->SetPlacement(header->xP, header->xR, static_cast<float>(row) * pitch, 0, header->wP, header->wR,
                           pitch, 0, 0, 0, 0, 0);
}

void WeUIMultiList::NewCell(int32_t column, int32_t row, const WeString& cellText)
{
    auto* cell = AdoptPart(new WeUILabel(scrollFrame->contents, CellName(column, row)));
    PlaceCell(cell, column, row);
    cell->text = cellText;
    cell->SetStyle(labelStyle, "Label");
    cell->onMouseUp = {ID_CELL_UP, OnInternalEvent};
    cell->onDoubleClick = {ID_CELL_DOUBLE_CLICK, OnInternalEvent};
    cell->bubbleMove = true;
    cell->bubbleUp = true;
    cell->bubbleKeyDown = true;
}

void WeUIMultiList::AddRow(const WeList<WeString>* texts)
{
    WeList<WeString> none;
    const WeList<WeString>& given = texts ? *texts : none;
    auto next = given.begin();
    for (int32_t c = 0; c < ColumnCount(); ++c)
    {
        const bool hasText = next != given.end();
        NewCell(c, rowCount, hasText ? *next : WeString());
        if (hasText)
            ++next;
    }
    ++rowCount;
    FitContents();
}

void WeUIMultiList::Clear()
{
    selectedCells.Clear();
    selectedTexts.Clear();
    for (int32_t r = 0; r < rowCount; ++r)
        for (int32_t c = 0; c < ColumnCount(); ++c)
            DestroyPart(GetCell(c, r));
    rowCount = 0;
    FitContents();
}

WeUIComponent* WeUIMultiList::GetCell(int32_t column, int32_t row) const
{
    return uiMain.GetComponent(CellName(column, row));
}

void WeUIMultiList::SetCellText(const WeString& text, int32_t column, int32_t row)
{
    if (WeUIComponent* cell = GetCell(column, row))
        cell->text = text;
}

void WeUIMultiList::SelectCell(int32_t column, int32_t row)
{
    SelectCellComponent(GetCell(column, row));
}

int32_t WeUIMultiList::GetSelectedRow() const
{
    return selectedCells.IsEmpty() ? -1 : WeMultiListRowOf(selectedCells.First()->name);
}

void WeUIMultiList::ClearSelection()
{
    selectedTexts.Clear();
    while (!selectedCells.IsEmpty())
    {
        WeUIComponent* cell = selectedCells.First();
        selectedCells.Reset();
        selectedCells.RemoveCurrent();
        cell->colour2 = WeUIArgbToColour(WeUIColourToArgb(cell->colour2) & 0x00FFFFFFu);
    }
}

void WeUIMultiList::SelectCellComponent(WeUIComponent* cell)
{
    if (!cell)
        return;
    const WeColor colour = WeUIArgbToColour(selectionColor);
    auto select = [&](WeUIComponent* c)
    {
        c->colour2 = colour;
        selectedCells.PushBack(c);
        selectedTexts.PushBack(c->text);
    };
    if (!wholeRowSelection)
    {
        select(cell);
        return;
    }
    const int32_t row = WeMultiListRowOf(cell->name);
    for (int32_t c = 0; c < ColumnCount(); ++c)
        if (WeUIComponent* rowCell = GetCell(c, row))
            select(rowCell);
}

void WeUIMultiList::SortByColumn(int32_t column, bool numeric)
{
    if (column == sortColumn)
        sortAscending = !sortAscending;
    else
    {
        sortAscending = true;
        sortColumn = column;
    }
    std::vector<WeString> keys;
    for (int32_t r = 0; r < rowCount; ++r)
    {
        WeUIComponent* cell = GetCell(column, r);
        keys.push_back(cell ? cell->text : WeString());
    }
    const std::vector<int32_t> order = WeMultiListSortOrder(keys, numeric, sortAscending);
    // Every cell is looked up before any is renamed, so no two ever hold the same name.
    std::vector<WeUIComponent*> cells;
    for (int32_t c = 0; c < ColumnCount(); ++c)
        for (int32_t p = 0; p < rowCount; ++p)
            cells.push_back(GetCell(c, order[static_cast<size_t>(p)]));
    const float pitch = RowPitch();
    const WeString temporary = name + "TMPName$";
    size_t at = 0;
    for (int32_t c = 0; c < ColumnCount(); ++c)
        for (int32_t p = 0; p < rowCount; ++p)
            if (WeUIComponent* cell = cells[at++])
            {
                WeString parked = temporary;
                parked.AppendInt(p);
                parked += "$";
                parked.AppendInt(c);
                cell->SetName(parked);
                cell->yP = static_cast<float>(p) * pitch;
            }
    at = 0;
    for (int32_t c = 0; c < ColumnCount(); ++c)
        for (int32_t p = 0; p < rowCount; ++p)
            if (WeUIComponent* cell = cells[at++])
                cell->SetName(CellName(c, p));
}

bool WeUIMultiList::OnInternalEvent(WeUIEvent* event)
{
    WeUIMultiList* list = OwningList(event->source);
    if (!list)
        return false;
    switch (event->id)
    {
    case ID_CELL_DOUBLE_CLICK:
        list->OnDoubleClick();
        return true;
    case ID_CELL_UP:
        list->ClearSelection();
        list->SelectCellComponent(event->source);
        list->OnMouseUp(event->arg1);
        return true;
    case ID_HEADER_UP:
    {
        const WeString& header = event->source->name;
        const int32_t column = header.Substring(list->name.GetLength() + 1, header.GetLength()).ToInt();
        if (column >= 0 && column < list->ColumnCount())
            list->SortByColumn(column, list->columns[static_cast<size_t>(column)].numeric);
        return true;
    }
    default:
        return false;
    }
}
