#include "BoardFixture.h"

#include <algorithm>
#include <sstream>
#include <tuple>

namespace
{
const char* Letter(MivoBlockKind kind)
{
    static const char* const letters[] = {"?", "N", "+", "-", "M", "T", "R", "U", "J", "W", "P", "D"};
    const int k = static_cast<int>(kind);
    return k >= 0 && k <= 11 ? letters[k] : "?";
}

int ParseInt(const std::string& text, size_t& pos)
{
    int sign = 1;
    if (pos < text.size() && text[pos] == '-')
    {
        sign = -1;
        ++pos;
    }
    int value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
        value = value * 10 + (text[pos++] - '0');
    return sign * value;
}
} // namespace

std::string RecordingCallbacks::Describe(const MivoBlock* block) const
{
    if (!block)
        return "none";
    std::string text = Letter(block->kind);
    if (block->Is(MivoBlockKind::Number))
        text += std::to_string(block->number);
    if (const MivoMapCell* cell = board_.FindCellOfBlock(block))
        text += "@" + std::to_string(cell->x) + "," + std::to_string(cell->y);
    return text;
}

std::string RecordingCallbacks::Describe(const MivoBoardEvent& event) const
{
    return std::to_string(static_cast<int>(event.kind)) + " A=" + Describe(event.blockA) +
           " B=" + Describe(event.blockB) + " a=" + std::to_string(event.a) + " b=" + std::to_string(event.b);
}

int RecordingCallbacks::Count(MivoEventKind kind) const
{
    int n = 0;
    for (int k : kinds)
        n += k == static_cast<int>(kind) ? 1 : 0;
    return n;
}

int RecordingCallbacks::Find(const std::string& start) const
{
    for (size_t i = 0; i < log.size(); ++i)
    {
        if (log[i].rfind(start, 0) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

void PlaceMapText(MivoMapTable& table, const std::string& mapText)
{
    // Placed in grid order, x outer and y inner, as the loader reads the cells.
    std::vector<std::tuple<int, int, std::string>> cells;
    std::istringstream lines(mapText);
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 2, "B,") != 0)
            continue;
        size_t pos = start + 2;
        const int x = ParseInt(line, pos);
        ++pos;
        const int y = ParseInt(line, pos);
        const size_t equals = line.find('=', pos);
        if (equals != std::string::npos)
            cells.emplace_back(x, y, line.substr(equals + 1));
    }
    std::stable_sort(
        cells.begin(), cells.end(),
        [](const auto& a, const auto& b)
        { return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b)); });
    for (const auto& [x, y, text] : cells)
        table.PlaceFromText(x, y, WeString(text.c_str()));
}

void BoardFixture::Build(const std::string& mapText)
{
    table = std::make_unique<MivoMapTable>();
    PlaceMapText(*table, mapText);
    table->LayOut(1.01f, 0.0f, 0.0f);
    board = std::make_unique<MivoBoard>();
    board->SetTable(table.get());
    board->speed = 5.0f;
    recorder = std::make_unique<RecordingCallbacks>(*board);
    board->callbacks = recorder.get();
}

bool BoardFixture::Move(int x, int y, int direction)
{
    MivoBlock* block = Top(x, y);
    board->Select(block);
    if (!board->CanMove(block, direction, true))
        return false;
    board->TryMove(block, direction, false);
    board->selected = nullptr;
    return true;
}

namespace
{
int TickToRest(MivoBoard& board, int maxTicks)
{
    for (int ticks = 1; ticks <= maxTicks; ++ticks)
    {
        board.Tick(1.0f / 60.0f);
        if (board.IsAtRest() && board.events.empty())
            return ticks;
    }
    return -1;
}
} // namespace

int BoardFixture::RunToRest(int maxTicks)
{
    return TickToRest(*board, maxTicks);
}

int PlaySolution(MivoBoard& board, const std::string& solution, int maxTicks)
{
    std::istringstream moves(solution);
    std::string move;
    for (int index = 0; moves >> move; ++index)
    {
        size_t pos = 0;
        const int x = ParseInt(move, pos);
        ++pos;
        const int y = ParseInt(move, pos);
        ++pos;
        const int d = ParseInt(move, pos);
        MivoMapCell* cell = board.table->Cell(x, y);
        MivoBlock* block = cell ? cell->top.get() : nullptr;
        if (!block || !block->IsSelectable())
            return index;
        board.Select(block);
        if (d != 0)
        {
            if (!board.CanMove(block, d, true))
                return index;
            board.TryMove(block, d, false);
            board.selected = nullptr;
        }
        if (TickToRest(board, maxTicks) < 0)
            return index;
    }
    return -1;
}

bool IsWon(const MivoMapTable& table)
{
    for (int x = 0; x < table.width; ++x)
    {
        for (int y = 0; y < table.height; ++y)
        {
            const MivoBlock* top = table.Cell(x, y)->top.get();
            if (top && (top->Is(MivoBlockKind::Number) || top->Is(MivoBlockKind::Plus) ||
                        top->Is(MivoBlockKind::Minus)))
                return false;
        }
    }
    return true;
}

std::string BoardFixture::Tops() const
{
    std::string text;
    for (int x = 0; x < table->width; ++x)
    {
        for (int y = 0; y < table->height; ++y)
        {
            const MivoBlock* top = table->Cell(x, y)->top.get();
            if (!top)
                continue;
            text += std::string(Letter(top->kind));
            if (top->Is(MivoBlockKind::Number))
                text += std::to_string(top->number);
            text += "@" + std::to_string(x) + "," + std::to_string(y) + " ";
        }
    }
    return text;
}

bool BoardFixture::FlagsClear() const
{
    for (int x = 0; x < table->width; ++x)
    {
        for (int y = 0; y < table->height; ++y)
        {
            const MivoMapCell* cell = table->Cell(x, y);
            if (cell->reserved || cell->vacating)
                return false;
        }
    }
    return true;
}
