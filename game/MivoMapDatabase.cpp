#include "MivoMapDatabase.h"

#include "WeConfig.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <utility>

namespace
{
struct LetterKind
{
    const char* letter;
    MivoBlockKind kind;
};

constexpr LetterKind kLetters[] = {
    {"N", MivoBlockKind::Number},    {"+", MivoBlockKind::Plus},         {"-", MivoBlockKind::Minus},
    {"M", MivoBlockKind::Magnet},    {"T", MivoBlockKind::Teleport},     {"R", MivoBlockKind::Track},
    {"U", MivoBlockKind::Hardening}, {"J", MivoBlockKind::Joker},        {"W", MivoBlockKind::Wall},
    {"P", MivoBlockKind::Plain},     {"D", MivoBlockKind::Disappearing},
};

constexpr int32_t kTeleportGroups = 8;

MivoBlockKind KindOfLetter(const WeString& field)
{
    WeString letter = field;
    if (letter.GetLength() > 1)
    {
        const int32_t blank = letter.Find(" ");
        if (blank >= 0)
            letter = letter.Substring(0, blank);
    }
    for (const LetterKind& entry : kLetters)
    {
        if (letter == entry.letter)
            return entry.kind;
    }
    return MivoBlockKind::None;
}

int32_t Field(const WeString& text, int32_t n)
{
    return text.GetToken(',', n).ToInt(10);
}

bool YesField(const WeString& text, int32_t n)
{
    return Field(text, n) == 1;
}

WeString CellKey(int32_t x, int32_t y)
{
    WeString key("B,");
    key.AppendInt(x);
    key += ',';
    key.AppendInt(y);
    return key;
}
} // namespace

// ---- blocks ----

void MivoBlock::Init(MivoBlockKind newKind, int32_t newNumber)
{
    *this = MivoBlock();
    kind = newKind;
    number = newNumber;
}

bool MivoBlock::IsMovable() const
{
    switch (kind)
    {
    case MivoBlockKind::Number:
    case MivoBlockKind::Plus:
    case MivoBlockKind::Minus:
    case MivoBlockKind::Hardening:
    case MivoBlockKind::Joker:
    case MivoBlockKind::Plain:
        return true;
    default:
        return false;
    }
}

bool MivoBlock::IsSelectable() const
{
    return IsMovable() || Is(MivoBlockKind::Disappearing);
}

bool MivoBlock::CanCombine(const MivoBlock* standing, const MivoBlock& mover)
{
    if (!standing)
        return true;
    if (standing->Is(MivoBlockKind::Number))
    {
        return mover.Is(MivoBlockKind::Number) || mover.Is(MivoBlockKind::Joker) ||
               (mover.Is(MivoBlockKind::Plus) && standing->number < 9) ||
               (mover.Is(MivoBlockKind::Minus) && standing->number > 1);
    }
    return standing->Is(MivoBlockKind::Joker) && mover.Is(MivoBlockKind::Number);
}

bool MivoBlock::Admits(const MivoBlock& block) const
{
    if (!block.Is(MivoBlockKind::Number))
        return teleport.acceptsOthers != 0;
    if (block.number == 0)
        return teleport.acceptsOthers != 0;
    if (block.number < 1 || block.number > 9)
        return false;
    return teleport.acceptsNumber[static_cast<size_t>(block.number - 1)] != 0;
}

bool MivoTrack::IsAlong(int32_t d) const
{
    return vertical ? (d == MivoDirection::Up || d == MivoDirection::Down)
                    : (d == MivoDirection::Right || d == MivoDirection::Left);
}

// ---- teleport groups ----

MivoBlock* MivoTeleportGroup::FindByOrder(int32_t n) const
{
    if (n <= 0)
        return nullptr;
    auto it = std::find_if(members.begin(), members.end(),
                           [n](const MivoBlock* member) { return member->teleport.order == n; });
    return it == members.end() ? nullptr : *it;
}

int32_t MivoTeleportGroup::NextOrder() const
{
    int32_t c = currentOrder;
    for (size_t tries = 0; tries < members.size(); ++tries)
    {
        c = c + 1 > exitCount ? 1 : c + 1;
        if (FindByOrder(c))
            return c;
    }
    return c;
}

void MivoTeleportGroup::Advance()
{
    currentOrder = NextOrder();
    currentExit = FindByOrder(currentOrder);
}

// ---- tables ----

MivoMapTable::MivoMapTable() : name("New Table")
{
    for (int32_t x = 0; x < kSize; ++x)
    {
        for (int32_t y = 0; y < kSize; ++y)
        {
            cells_[x][y].x = x;
            cells_[x][y].y = y;
        }
    }
}

void MivoMapTable::Problem(int32_t x, int32_t y, const WeString& text, const char* why)
{
    problems.push_back(CellKey(x, y) + "=" + text + ": " + why);
}

void MivoMapTable::PlaceFromText(int32_t x, int32_t y, const WeString& text)
{
    MivoMapCell* cell = Cell(x, y);
    const MivoBlockKind kind = KindOfLetter(text.GetToken(',', 0));
    if (!cell || kind == MivoBlockKind::None)
    {
        Problem(x, y, text,
                cell ? "no such block letter; the cell stays empty" : "outside the table; ignored");
        return;
    }
    auto block = std::make_unique<MivoBlock>();
    block->Init(kind, kind == MivoBlockKind::Number ? Field(text, 1) : 0);
    switch (kind)
    {
    case MivoBlockKind::Number:
        if (block->number < 0 || block->number > 9)
        {
            Problem(x, y, text, "number outside 0 to 9; the block is left out");
            return;
        }
        break;
    case MivoBlockKind::Magnet:
        block->magnetDirection = Field(text, 1);
        if (!MivoDirection::IsFacing(block->magnetDirection))
        {
            Problem(x, y, text, "magnet facing outside 1 to 8; the block is left out");
            return;
        }
        break;
    case MivoBlockKind::Teleport:
        PlaceTeleport(x, y, text, std::move(block));
        return;
    case MivoBlockKind::Track:
        PlaceTrack(x, y, text, std::move(block));
        return;
    default:
        break;
    }
    cell->top = std::move(block);
}

void MivoMapTable::PlaceTeleport(int32_t x, int32_t y, const WeString& text, std::unique_ptr<MivoBlock> block)
{
    MivoTeleportData& t = block->teleport;
    t.group = Field(text, 1);
    if (t.group < 1 || t.group > kTeleportGroups)
    {
        Problem(x, y, text, "teleport group outside 1 to 8; the block is left out");
        return;
    }
    t.entrance = 1;
    t.exit = 1;
    t.acceptsOthers = 1;
    t.acceptsNumber.fill(1);
    t.order = 0;
    t.exitDirection = 1;
    // Joining runs with the presets: every member counts as an exit and takes an automatic order,
    // which the map's own order then replaces.
    AddToGroup(*block);
    t.entrance = YesField(text, 2);
    t.exit = YesField(text, 3);
    t.exitDirection = Field(text, 4);
    t.order = Field(text, 5);
    t.acceptsOthers = YesField(text, 6);
    if (t.exitDirection != 0 && !MivoDirection::IsAxis(t.exitDirection))
    {
        Problem(x, y, text, "exit direction not 0, 1, 3, 5 or 7; blocks keep their direction");
        t.exitDirection = 0;
    }
    t.acceptsNumber.fill(0);
    const WeString digits = text.GetToken(',', 7);
    for (int32_t i = 0; i < digits.GetLength(); ++i)
    {
        const char c = digits[i];
        if (c < '0' || c > '9')
        {
            Problem(x, y, text, "a character of the number list is no digit; it is skipped");
            continue;
        }
        if (c == '0')
            t.acceptsOthers = 1;
        else
            t.acceptsNumber[static_cast<size_t>(c - '1')] = 1;
    }
    Cell(x, y)->floor = std::move(block);
}

void MivoMapTable::PlaceTrack(int32_t x, int32_t y, const WeString& text, std::unique_ptr<MivoBlock> block)
{
    const int32_t id = NewTrack(x, y);
    MivoTrack& track = *FindTrack(id);
    track.vertical = Field(text, 1) == 5 ? 1 : 0;
    const int32_t room = track.vertical ? height - y : width - x;
    track.length = Field(text, 2);
    if (track.length < 1 || track.length > room)
    {
        Problem(x, y, text, "track length does not fit the table; it is cut to fit");
        track.length = std::clamp(track.length, 1, room);
    }
    block->trackId = id;
    Cell(x, y)->floor = std::move(block);
    for (int32_t i = 1; i < track.length; ++i)
    {
        auto piece = std::make_unique<MivoBlock>();
        piece->Init(MivoBlockKind::Track, 0);
        piece->trackId = id;
        Cell(track.CellX(i), track.CellY(i))->floor = std::move(piece);
    }
}

void MivoMapTable::LayOut(float pitch, float cx, float cy)
{
    ForEachCell(
        [&](MivoMapCell& cell)
        {
            cell.fx = static_cast<float>(cell.x) * pitch - cx;
            cell.fy = static_cast<float>(cell.y) * pitch - cy;
            for (MivoBlock* block : {cell.floor.get(), cell.top.get()})
            {
                if (block)
                {
                    block->x = cell.fx;
                    block->y = cell.fy;
                }
            }
        });
}

void MivoMapTable::AddToGroup(MivoBlock& teleport)
{
    MivoTeleportGroup* group = FindGroup(teleport.teleport.group);
    if (!group)
    {
        groups.emplace_back();
        group = &groups.back();
        group->id = teleport.teleport.group;
    }
    if (teleport.teleport.exit)
    {
        ++group->exitCount;
        if (teleport.teleport.order == 0)
        {
            int32_t order = 1;
            while (group->FindByOrder(order))
                ++order;
            teleport.teleport.order = order;
        }
    }
    group->members.push_back(&teleport);
    group->currentOrder = 0;
    group->Advance();
}

MivoTeleportGroup* MivoMapTable::FindGroup(int32_t id)
{
    auto it =
        std::find_if(groups.begin(), groups.end(), [id](const MivoTeleportGroup& g) { return g.id == id; });
    return it == groups.end() ? nullptr : &*it;
}

int32_t MivoMapTable::NewTrack(int32_t x, int32_t y)
{
    int32_t id = 1;
    while (FindTrack(id))
        ++id;
    MivoTrack track;
    track.id = id;
    track.x = x;
    track.y = y;
    tracks.push_back(track);
    return id;
}

MivoTrack* MivoMapTable::FindTrack(int32_t id)
{
    auto it = std::find_if(tracks.begin(), tracks.end(), [id](const MivoTrack& t) { return t.id == id; });
    return it == tracks.end() ? nullptr : &*it;
}

// ---- databases ----

WeString MivoMapDatabase::FileName(int32_t number)
{
    WeString name("db");
    name.AppendInt(number, 3);
    return name;
}

MivoMapTable* MivoMapDatabase::Table(int32_t number) const
{
    if (number < 1 || static_cast<size_t>(number) > tables.size())
        return nullptr;
    return tables[static_cast<size_t>(number - 1)].get();
}

std::unique_ptr<MivoMapTable> MivoMapTable::Load(const WeString& key, const std::vector<WeString>& cellKeys)
{
    auto table = std::make_unique<MivoMapTable>();
    table->name = WeConfig::GetString(key + ".Name", key);
    CellFlags held{};
    for (const WeString& found : cellKeys)
        table->TakeCellKey(key, found, held);
    const WeString cellPrefix = key + ".";
    for (int32_t x = 0; x < table->width; ++x)
    {
        for (int32_t y = 0; y < table->height; ++y)
        {
            if (held[x][y])
                table->PlaceFromText(x, y, WeConfig::GetString(cellPrefix + CellKey(x, y), ""));
        }
    }
    return table;
}

void MivoMapTable::TakeCellKey(const WeString& key, const WeString& found, CellFlags& held)
{
    // An override key stands for its plain key, which every read of the cell returns it for.
    const WeString& suffix = WeGetConfigOverrideSuffix();
    const int32_t plainLength = found.GetLength() - suffix.GetLength();
    const bool overrides = plainLength > 0 && found.Substring(plainLength, found.GetLength()) == suffix;
    const WeString plain = overrides ? found.Substring(0, plainLength) : found;
    const WeString cell = plain.Substring(key.GetLength() + 3, plain.GetLength()); // after ".B,"
    const int32_t x = cell.GetToken(',', 0).ToInt(10);
    const int32_t y = cell.GetToken(',', 1).ToInt(10);
    if (x >= 0 && y >= 0 && x < width && y < height && x < kSize && y < kSize &&
        key + "." + CellKey(x, y) == plain)
    {
        held[x][y] = true;
        return;
    }
    problems.push_back(found.Substring(key.GetLength() + 1, found.GetLength()) + "=" +
                       WeConfig::GetString(found, "") + ": not a cell of the table; ignored");
}

std::unique_ptr<MivoMapDatabase> MivoMapDatabase::Load(const WeString& name)
{
    auto database = std::make_unique<MivoMapDatabase>();
    database->key = name;
    WeVirtualFileSystem* files = WeVirtualFileSystem::GetFileSystem();
    if (!files || !files->Exists("Config.Main." + name, WeAssetType::Config))
    {
        database->name = name;
        database->tables.push_back(std::make_unique<MivoMapTable>());
        return database;
    }
    // Nothing of an earlier load of the same database may survive into this one.
    WeConfig::ResetValues(name + ".");
    WeConfig::Load(name);
    database->Read();
    return database;
}

void MivoMapDatabase::Read()
{
    name = WeConfig::GetString(key + ".Database.Name", "");
    const int32_t count = std::max(WeConfig::GetInt(key + ".Database.Tables", 0), 0);
    if (static_cast<size_t>(count) > kMaxTables)
        problems.push_back(key + ": more than 999 tables; the rest are not loaded");
    const int32_t kept = std::min(count, static_cast<int32_t>(kMaxTables));
    const std::vector<std::vector<WeString>> cellKeys = CellKeysByTable(kept);
    for (int32_t i = 1; i <= kept; ++i)
    {
        WeString tableKey = key + ".Table";
        tableKey.AppendInt(i);
        tables.push_back(MivoMapTable::Load(tableKey, cellKeys[static_cast<size_t>(i - 1)]));
    }
}

std::vector<std::vector<WeString>> MivoMapDatabase::CellKeysByTable(int32_t count) const
{
    // One walk of the store for the whole database: a walk per table, or a read of every cell of
    // every table, would make a file that declares many tables slow to load, however little it
    // holds.
    std::vector<std::vector<WeString>> byTable(static_cast<size_t>(count));
    const WeString prefix = key + ".Table";
    WeList<WeString> keys;
    WeConfig::GetKeys(prefix, keys, false);
    for (const WeString& found : keys)
    {
        // prefix + number + ".B," + cell, the number written as the loader writes it. Keys
        // without text are passed over: an earlier load of the database left one per empty cell.
        const WeString rest = found.Substring(prefix.GetLength(), found.GetLength());
        const int32_t dot = rest.Find(".");
        if (dot < 0)
            continue;
        const int32_t number = rest.Substring(0, dot).ToInt(10);
        WeString tableKey = prefix;
        tableKey.AppendInt(number);
        if (number >= 1 && number <= count && found.Find(tableKey + ".B,") == 0 &&
            !WeConfig::GetString(found, "").IsEmpty())
            byTable[static_cast<size_t>(number - 1)].push_back(found);
    }
    for (std::vector<WeString>& tableKeys : byTable)
        std::sort(tableKeys.begin(), tableKeys.end());
    return byTable;
}
