#include "MivoLevelMap.h"

#include "WeConfig.h"

#include <algorithm>
#include <array>
#include <map>
#include <sstream>

namespace
{
constexpr int32_t kLast = MivoMapTable::kSize - 1;

// One of the eight ways to turn or mirror the square table onto itself.
struct Symmetry
{
    bool swap, flipX, flipY;

    void Apply(int32_t& x, int32_t& y) const
    {
        if (swap)
            std::swap(x, y);
        if (flipX)
            x = kLast - x;
        if (flipY)
            y = kLast - y;
    }
    // The image of a direction 1 to 8 (0 stays 0), turned the way the cells are.
    int32_t Direction(int32_t d) const
    {
        static constexpr std::array<std::array<int32_t, 2>, 9> kSteps = {
            {{0, 0}, {0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}}};
        if (d < 1 || d > 8)
            return d;
        int32_t dx = kSteps[static_cast<size_t>(d)][0], dy = kSteps[static_cast<size_t>(d)][1];
        if (swap)
            std::swap(dx, dy);
        if (flipX)
            dx = -dx;
        if (flipY)
            dy = -dy;
        for (int32_t k = 1; k <= 8; ++k)
        {
            if (kSteps[static_cast<size_t>(k)][0] == dx && kSteps[static_cast<size_t>(k)][1] == dy)
                return k;
        }
        return 0;
    }
};

constexpr std::array<Symmetry, 8> kSymmetries = {{{false, false, false},
                                                  {false, true, false},
                                                  {false, false, true},
                                                  {false, true, true},
                                                  {true, false, false},
                                                  {true, true, false},
                                                  {true, false, true},
                                                  {true, true, true}}};

// What a block looks like after the symmetry; teleport groups are written by the caller.
std::string DescribeTop(const MivoBlock& block, const Symmetry& s)
{
    std::string text = MivoBlockLetter(block.kind);
    if (block.Is(MivoBlockKind::Number))
        text += std::to_string(block.number);
    if (block.Is(MivoBlockKind::Magnet))
        text += std::to_string(s.Direction(block.magnetDirection));
    return text;
}

std::string DescribeFloor(MivoMapTable& table, const MivoBlock& floor, const Symmetry& s,
                          std::map<int32_t, int32_t>& groups)
{
    if (floor.Is(MivoBlockKind::Track))
    {
        // A swap exchanges the axes; mirrors keep them.
        const MivoTrack* track = table.FindTrack(floor.trackId);
        const bool vertical = track && track->vertical;
        return vertical != s.swap ? "Rv" : "Rh";
    }
    const MivoTeleportData& t = floor.teleport;
    const auto group = groups.try_emplace(t.group, static_cast<int32_t>(groups.size()) + 1).first->second;
    std::string text = "T" + std::to_string(group) + "," + std::to_string(t.entrance) +
                       std::to_string(t.exit) + "," + std::to_string(s.Direction(t.exitDirection)) + "," +
                       std::to_string(t.order) + "," + std::to_string(t.acceptsOthers);
    for (uint8_t n : t.acceptsNumber)
        text += std::to_string(n);
    return text;
}

std::string ShapeUnder(MivoMapTable& table, const Symmetry& s)
{
    // The turned table's cells, each with what it holds, read in the turned table's grid order.
    std::array<std::array<const MivoMapCell*, MivoMapTable::kSize>, MivoMapTable::kSize> image{};
    table.ForEachCell(
        [&](const MivoMapCell& cell)
        {
            int32_t x = cell.x, y = cell.y;
            s.Apply(x, y);
            image[static_cast<size_t>(x)][static_cast<size_t>(y)] = &cell;
        });
    std::map<int32_t, int32_t> groups;
    std::string key;
    for (int32_t x = 0; x < MivoMapTable::kSize; ++x)
    {
        for (int32_t y = 0; y < MivoMapTable::kSize; ++y)
        {
            const MivoMapCell* cell = image[static_cast<size_t>(x)][static_cast<size_t>(y)];
            if (!cell || (!cell->top && !cell->floor))
                continue;
            key += std::to_string(x) + "," + std::to_string(y) + ":";
            if (cell->floor)
                key += DescribeFloor(table, *cell->floor, s, groups);
            key += "/";
            if (cell->top)
                key += DescribeTop(*cell->top, s);
            key += ";";
        }
    }
    return key;
}

// The kind of a cell text's letter: its first field up to a blank.
MivoBlockKind KindOfText(const std::string& text)
{
    const std::string letter = text.substr(0, text.find_first_of(", "));
    for (MivoBlockKind kind : MivoKindsIn(~0u))
    {
        if (letter == MivoBlockLetter(kind))
            return kind;
    }
    return MivoBlockKind::None;
}

bool IsFloor(MivoBlockKind kind)
{
    return kind == MivoBlockKind::Teleport || kind == MivoBlockKind::Track;
}

int32_t ReadInt(const std::string& text, size_t& pos, bool& ok)
{
    size_t used = 0;
    try
    {
        const int32_t value = std::stoi(text.substr(pos), &used);
        pos += used;
        return value;
    }
    catch (const std::exception&)
    {
        ok = false;
        return 0;
    }
}
} // namespace

const char* MivoBlockLetter(MivoBlockKind kind)
{
    static const char* const letters[] = {"?", "N", "+", "-", "M", "T", "R", "U", "J", "W", "P", "D"};
    const auto k = static_cast<size_t>(kind);
    return k < std::size(letters) ? letters[k] : "?";
}

std::vector<MivoBlockKind> MivoKindsIn(uint32_t kinds)
{
    std::vector<MivoBlockKind> list;
    for (int32_t k = 1; k <= static_cast<int32_t>(MivoBlockKind::Disappearing); ++k)
    {
        if ((kinds & MivoKindBit(static_cast<MivoBlockKind>(k))) != 0)
            list.push_back(static_cast<MivoBlockKind>(k));
    }
    return list;
}

std::unique_ptr<MivoMapTable> MivoLevelMap::Build() const
{
    auto table = std::make_unique<MivoMapTable>();
    table->name = name.c_str();
    for (const MivoLevelCell& cell : cells)
        table->PlaceFromText(cell.x, cell.y, cell.text.c_str());
    table->LayOut(1.01f, 7.575f, 7.575f);
    return table;
}

const std::string* MivoLevelMap::Find(int32_t x, int32_t y) const
{
    auto it = std::find_if(cells.begin(), cells.end(),
                           [x, y](const MivoLevelCell& cell) { return cell.x == x && cell.y == y; });
    return it == cells.end() ? nullptr : &it->text;
}

void MivoLevelMap::Set(int32_t x, int32_t y, const std::string& text)
{
    auto it = std::lower_bound(cells.begin(), cells.end(), std::make_pair(x, y),
                               [](const MivoLevelCell& cell, const std::pair<int32_t, int32_t>& at)
                               { return std::make_pair(cell.x, cell.y) < at; });
    const bool found = it != cells.end() && it->x == x && it->y == y;
    if (text.empty())
    {
        if (found)
            cells.erase(it);
    }
    else if (found)
    {
        it->text = text;
    }
    else
    {
        cells.insert(it, MivoLevelCell{x, y, text});
    }
}

std::string MivoLevelMap::ShapeKey() const
{
    const std::unique_ptr<MivoMapTable> table = Build();
    std::string best;
    for (const Symmetry& s : kSymmetries)
    {
        std::string key = ShapeUnder(*table, s);
        if (best.empty() || key < best)
            best = std::move(key);
    }
    return best;
}

uint32_t MivoLevelMap::Kinds() const
{
    uint32_t kinds = 0;
    for (const MivoLevelCell& cell : cells)
    {
        const MivoBlockKind kind = KindOfText(cell.text);
        kinds |= kind == MivoBlockKind::None ? 0 : MivoKindBit(kind);
    }
    return kinds;
}

MivoLevelMap MivoLevelMap::Without(uint32_t kinds) const
{
    MivoLevelMap map = *this;
    map.solution.clear();
    for (const MivoLevelCell& cell : cells)
    {
        const MivoBlockKind kind = KindOfText(cell.text);
        if (kind != MivoBlockKind::None && (kinds & MivoKindBit(kind)) != 0)
            map.Set(cell.x, cell.y, IsFloor(kind) ? "" : "W");
    }
    return map;
}

std::string MivoFormatSolution(const std::vector<MivoLevelMove>& moves)
{
    std::string text;
    for (const MivoLevelMove& move : moves)
    {
        if (!text.empty())
            text += ' ';
        text += std::to_string(move.x) + "," + std::to_string(move.y) + "," + std::to_string(move.direction);
    }
    return text;
}

bool MivoParseSolution(const std::string& text, std::vector<MivoLevelMove>& moves)
{
    moves.clear();
    std::istringstream words(text);
    std::string word;
    while (words >> word)
    {
        bool ok = true;
        size_t pos = 0;
        MivoLevelMove move;
        move.x = ReadInt(word, pos, ok);
        ok = ok && pos < word.size() && word[pos++] == ',';
        move.y = ok ? ReadInt(word, pos, ok) : 0;
        ok = ok && pos < word.size() && word[pos++] == ',';
        move.direction = ok ? ReadInt(word, pos, ok) : 0;
        if (!ok || pos != word.size())
            return false;
        moves.push_back(move);
    }
    return true;
}

bool MivoLevelDatabase::Read(const std::string& key, const std::string& text)
{
    const WeString prefix = (key + ".").c_str();
    WeConfig::ResetValues(prefix);
    WeConfig::LoadText(key.c_str(), text.data(), text.size());
    name = WeConfig::GetString(prefix + "Database.Name", "").GetData();
    const int32_t count = WeConfig::GetInt(prefix + "Database.Tables", 0);
    tables.clear();
    for (int32_t i = 1; i <= count && i <= static_cast<int32_t>(MivoMapDatabase::kMaxTables); ++i)
    {
        const std::string tableKey = key + ".Table" + std::to_string(i) + ".";
        MivoLevelMap map;
        map.name = WeConfig::GetString((tableKey + "Name").c_str(), "").GetData();
        MivoParseSolution(WeConfig::GetString((tableKey + "Solution").c_str(), "").GetData(), map.solution);
        for (int32_t x = 0; x < MivoMapTable::kSize; ++x)
        {
            for (int32_t y = 0; y < MivoMapTable::kSize; ++y)
            {
                const std::string cellKey = tableKey + "B," + std::to_string(x) + "," + std::to_string(y);
                const WeString cellText = WeConfig::GetString(cellKey.c_str(), "");
                if (!cellText.IsEmpty())
                    map.cells.push_back({x, y, cellText.GetData()});
            }
        }
        tables.push_back(std::move(map));
    }
    return !tables.empty();
}

std::string MivoLevelDatabase::Write(const std::string& comment) const
{
    std::string text = comment;
    text += "\n[Database]\nName=" + name + "\nTables=" + std::to_string(tables.size()) + "\n";
    for (size_t i = 0; i < tables.size(); ++i)
    {
        const MivoLevelMap& map = tables[i];
        text += "\n[Table" + std::to_string(i + 1) + "]\nName=" + map.name +
                "\nSolution=" + MivoFormatSolution(map.solution) + "\n";
        for (const MivoLevelCell& cell : map.cells)
            text += "B," + std::to_string(cell.x) + "," + std::to_string(cell.y) + "=" + cell.text + "\n";
    }
    return text;
}
