#include "MivoScores.h"

#include "MivoFieldReader.h"
#include "MivoPlayerFile.h"

#include <algorithm>
#include <array>

namespace
{
constexpr char kRecordEnd = 0x01;
constexpr char kFieldSeparator = 0x02;
constexpr char kBlockEnd = 0x03;
constexpr int32_t kMaxRecordsPerLevelBlock = 20;
// The smallest entry in the file: an empty name (2 bytes) and four 4-byte fields.
constexpr std::size_t kSmallestEntry = 2 + 4 * 4;

// The layouts of the entries in hiscores.dat, for reading and for writing alike.
template <typename File, typename Score> void TransferScore(File& file, Score& score)
{
    file.Field(score.name);
    file.Field(score.score);
    file.Field(score.level);
    file.Field(score.difficulty);
    file.Field(score.mode);
}

template <typename File, typename Score> void TransferLevelScore(File& file, Score& score)
{
    file.Field(score.name);
    file.Field(score.bonus);
    file.Field(score.moves);
    file.Field(score.mapId);
    file.Field(score.time);
}

template <typename Entry, typename ReadEntry>
bool ReadTable(MivoFileReader& reader, std::vector<Entry>& table, ReadEntry readEntry)
{
    const int32_t count = reader.ReadCount(kSmallestEntry);
    table.resize(static_cast<std::size_t>(count));
    for (Entry& entry : table)
    {
        readEntry(reader, entry);
    }
    return reader.Ok();
}

template <typename Entry, typename WriteEntry>
void WriteTable(MivoFileWriter& writer, const std::vector<Entry>& table, WriteEntry writeEntry)
{
    writer.WriteInt(static_cast<int32_t>(table.size()));
    for (const Entry& entry : table)
    {
        writeEntry(writer, entry);
    }
}

void RaiseBest(MivoScore& best, const MivoScore& candidate)
{
    if (candidate.score > best.score)
    {
        best = candidate;
    }
}

// Inserts before the first entry ranked lower (a tie goes last) and keeps ten entries.
template <typename Entry, typename Rank>
void InsertRanked(std::vector<Entry>& table, const Entry& entry, Rank rank)
{
    const auto place = std::find_if(table.begin(), table.end(),
                                    [&](const Entry& other) { return rank(other) < rank(entry); });
    table.insert(place, entry);
    if (table.size() > static_cast<std::size_t>(MivoScoreTables::kLocalTableSize))
    {
        table.pop_back();
    }
}

// Calls `record` with each record of `text` at `separator`, from field 1 on, until the first
// empty one or until `record` says it takes no more, in one pass over the text.
template <typename Record> void ForEachRecord(const WeString& text, char separator, Record record)
{
    MivoFieldReader records(text, separator);
    records.Next(); // the text before the first separator
    for (WeString field = records.Next(); !field.IsEmpty() && record(field); field = records.Next())
    {
    }
}

// The first fields of a record at the field separator; missing ones are empty.
template <std::size_t count> std::array<WeString, count> RecordFields(const WeString& record)
{
    MivoFieldReader reader(record, kFieldSeparator);
    std::array<WeString, count> fields;
    for (WeString& field : fields)
    {
        field = reader.Next();
    }
    return fields;
}

bool HasRoom(const std::vector<MivoScore>& table)
{
    return table.size() < static_cast<std::size_t>(MivoScoreTables::kLocalTableSize);
}
} // namespace

void MivoScoreTables::Clear()
{
    for (auto& table : questTables)
    {
        table.clear();
    }
    skillTable.clear();
    for (auto& table : levelTables)
    {
        table.clear();
    }
}

bool MivoScoreTables::Load(const std::string& path)
{
    Clear();
    lastError = "";
    keepFile = false;
    std::vector<uint8_t> bytes;
    const MivoFileStatus status = MivoReadPlayerFile(path, bytes);
    if (status == MivoFileStatus::Missing)
    {
        return true;
    }
    if (status == MivoFileStatus::Failed)
    {
        keepFile = true;
        lastError = WeString("Cannot read the score file ") + path.c_str() + "; it is left as it is";
        return false;
    }
    MivoFileReader reader(bytes);
    const int32_t version = reader.ReadInt();
    if (reader.Ok() && version < kFileVersion)
    {
        return true;
    }
    // Everything is read into a copy first, so that a damaged file changes nothing.
    MivoScoreTables read;
    read.bestQuest = bestQuest;
    read.bestSkill = bestSkill;
    bool ok = reader.Ok();
    for (int32_t i = 0; ok && i <= kQuestTableCount; ++i)
    {
        std::vector<MivoScore>& table = i < kQuestTableCount ? read.questTables[i] : read.skillTable;
        ok = ReadTable(reader, table, TransferScore<MivoFileReader, MivoScore>);
        for (const MivoScore& entry : table)
        {
            RaiseBest(i < kQuestTableCount ? read.bestQuest : read.bestSkill, entry);
        }
    }
    for (int32_t i = 0; ok && i < kLevelTableCount; ++i)
    {
        ok = ReadTable(reader, read.levelTables[i], TransferLevelScore<MivoFileReader, MivoLevelScore>);
    }
    MivoScore storedQuest;
    MivoScore storedSkill;
    TransferScore(reader, storedQuest);
    TransferScore(reader, storedSkill);
    if (!ok || !reader.Ok())
    {
        const std::string copy = MivoKeepDamagedFile(path, bytes);
        // Without a copy the file itself is the only one left: it stays as it is.
        keepFile = copy.empty();
        lastError =
            WeString("The score file ") + path.c_str() + " is damaged; " +
            (keepFile ? WeString("no copy could be kept, so it is left as it is")
                      : "a copy was kept as " + WeString(copy.c_str()) + " and the scores start empty");
        return false;
    }
    RaiseBest(read.bestQuest, storedQuest);
    RaiseBest(read.bestSkill, storedSkill);
    read.lastError = "";
    *this = read;
    return true;
}

bool MivoScoreTables::Save(const std::string& path)
{
    if (keepFile)
    {
        lastError =
            WeString("The score file ") + path.c_str() + " could not be loaded; nothing is saved over it";
        return false;
    }
    MivoFileWriter writer;
    writer.WriteInt(kFileVersion);
    for (const auto& table : questTables)
    {
        WriteTable(writer, table, TransferScore<MivoFileWriter, const MivoScore>);
    }
    WriteTable(writer, skillTable, TransferScore<MivoFileWriter, const MivoScore>);
    for (const auto& table : levelTables)
    {
        WriteTable(writer, table, TransferLevelScore<MivoFileWriter, const MivoLevelScore>);
    }
    TransferScore(writer, bestQuest);
    TransferScore(writer, bestSkill);
    if (!MivoWritePlayerFile(path, writer.Bytes()))
    {
        lastError = WeString("Cannot write the score file ") + path.c_str();
        return false;
    }
    return true;
}

bool MivoScoreTables::InsertGameScore(const MivoScore& score)
{
    const bool quest = score.mode == 1;
    if (quest && (score.difficulty < 1 || score.difficulty > kQuestTableCount))
    {
        return false;
    }
    InsertRanked(quest ? questTables[score.difficulty - 1] : skillTable, score,
                 [](const MivoScore& entry) { return entry.score; });
    RaiseBest(quest ? bestQuest : bestSkill, score);
    return true;
}

bool MivoScoreTables::InsertLevelScore(const MivoLevelScore& levelScore)
{
    const int32_t index = LevelTableIndex(levelScore.mapId);
    if (index < 0)
    {
        return false;
    }
    InsertRanked(levelTables[index], levelScore, [](const MivoLevelScore& entry) { return entry.bonus; });
    return true;
}

int32_t MivoScoreTables::TopScore(int32_t mode, int32_t difficulty) const
{
    const std::vector<MivoScore>* table = nullptr;
    if (mode == 1 && difficulty >= 1 && difficulty <= kQuestTableCount)
    {
        table = &questTables[difficulty - 1];
    }
    else if (mode == 2)
    {
        table = &skillTable;
    }
    return table && !table->empty() ? table->front().score : 0;
}

void MivoScoreTables::FillQuestScores(const WeString& reply)
{
    for (auto& table : questTables)
    {
        table.clear();
    }
    ForEachRecord(reply, kRecordEnd,
                  [this](const WeString& record)
                  {
                      const auto fields = RecordFields<4>(record);
                      MivoScore entry;
                      entry.name = fields[0];
                      entry.score = fields[1].ToInt(10);
                      entry.difficulty = fields[2].ToInt(10);
                      entry.level = fields[3].ToInt(10);
                      entry.mode = 1;
                      if (entry.difficulty >= 1 && entry.difficulty <= kQuestTableCount &&
                          HasRoom(questTables[entry.difficulty - 1]))
                      {
                          questTables[entry.difficulty - 1].push_back(entry);
                          RaiseBest(bestQuest, entry);
                      }
                      return std::any_of(std::begin(questTables), std::end(questTables), HasRoom);
                  });
}

void MivoScoreTables::FillSkillScores(const WeString& reply)
{
    skillTable.clear();
    ForEachRecord(reply, kRecordEnd,
                  [this](const WeString& record)
                  {
                      const auto fields = RecordFields<3>(record);
                      MivoScore entry;
                      entry.name = fields[0];
                      entry.score = fields[1].ToInt(10);
                      entry.level = fields[2].ToInt(10);
                      entry.mode = 2;
                      skillTable.push_back(entry);
                      RaiseBest(bestSkill, entry);
                      return HasRoom(skillTable);
                  });
}

void MivoScoreTables::FillLevelScores(const WeString& reply, int32_t region)
{
    if (region < 0 || region >= kRegionCount)
    {
        return;
    }
    ForEachRecord(reply, kBlockEnd,
                  [this, region](const WeString& block)
                  {
                      const int32_t n = MivoFieldReader(block, kRecordEnd).Next().ToInt(10);
                      if (n < 0 || n >= kMapsPerRegion)
                      {
                          return true;
                      }
                      std::vector<MivoLevelScore>& table = levelTables[kMapsPerRegion * region + n];
                      table.clear();
                      ForEachRecord(block, kRecordEnd,
                                    [&](const WeString& record)
                                    {
                                        const auto fields = RecordFields<4>(record);
                                        MivoLevelScore entry;
                                        entry.name = fields[0];
                                        entry.bonus = fields[1].ToInt(10);
                                        entry.moves = fields[2].ToInt(10);
                                        entry.time = static_cast<float>(fields[3].ToInt(10));
                                        // Region and n count from 0, map ids from 1.
                                        entry.mapId = 1000 * (region + 1) + (n + 1);
                                        table.push_back(entry);
                                        return table.size() <
                                               static_cast<std::size_t>(kMaxRecordsPerLevelBlock);
                                    });
                      return true;
                  });
}
