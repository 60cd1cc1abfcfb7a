#include "WeDataFile.h"

#include <cstdio>

namespace
{

// Smallest stored sizes: a group or subgroup is an empty name and a count, an entry an empty
// name, a type, an offset and a size. Counts above what the rest of the file can hold are
// damage, caught before anything is allocated.
constexpr int64_t MinGroupBytes = 2 + 4;
constexpr int64_t MinEntryBytes = 2 + 4 + 8 + 4;
constexpr int64_t HeaderBytes = 4 + 8;

} // namespace

// Reads directory fields, refusing any field that would end past the end of the file.
class WeDataFile::DirectoryReader
{
public:
    DirectoryReader(WeFileStream& stream, int64_t fileSize) : fileSize(fileSize), stream(stream) {}

    int64_t Remaining() const { return fileSize - stream.Tell(); }
    bool Int(int32_t& value)
    {
        if (Remaining() < 4)
            return false;
        value = stream.ReadInt();
        return true;
    }
    bool Int64(int64_t& value)
    {
        if (Remaining() < 8)
            return false;
        value = stream.ReadInt64();
        return true;
    }
    bool String(WeString& text)
    {
        if (Remaining() < 2)
            return false;
        const int64_t start = stream.Tell();
        stream.ReadString(text);
        // A string cut by the end of the file reads as empty but takes more than its length.
        return !text.IsEmpty() || stream.Tell() - start == 2;
    }
    // A count that the rest of the file can hold, each item taking at least itemBytes.
    bool Count(int32_t& count, int64_t itemBytes)
    {
        return Int(count) && count >= 0 && count <= Remaining() / itemBytes;
    }

    const int64_t fileSize;

private:
    WeFileStream& stream;
};

WeDataFile::WeDataFile(const WeString& path) : path(path) {}

WeDataFile::~WeDataFile() = default;

bool WeDataFile::EnsureLoaded()
{
    if (loaded)
        return true;
    if (path.IsEmpty())
        path = WeGetExecutableFolder() + "\\Packages.dat";
    return LoadDirectory();
}

bool WeDataFile::Fail(const WeString& message)
{
    const WeString text = "Packages file " + path + ": " + message;
    if (!(text == lastError))
        std::fprintf(stderr, "%s\n", text.GetData());
    lastError = text;
    FreeDirectory();
    stream.Close();
    return false;
}

void WeDataFile::FreeDirectory()
{
    groups.Clear();
    storage.Clear();
    entrySize = 0;
}

bool WeDataFile::LoadDirectory()
{
    loaded = false;
    if (path.IsEmpty())
        return false;
    stream.Close();
    if (!stream.Open(path))
        return false;
    stream.SetScrambled(true);
    FreeDirectory();
    DirectoryReader reader(stream, stream.GetFileSize());
    version = 0;
    directoryOffset = 0;
    if (!reader.Int(version))
        return Fail("too short for a header");
    if (version >= 1)
    {
        if (!reader.Int64(directoryOffset) || directoryOffset < HeaderBytes ||
            directoryOffset > reader.fileSize)
            return Fail("directory offset outside the file");
        stream.Seek(directoryOffset, SEEK_SET);
        if (!ReadGroups(reader))
            return false;
    }
    lastError = "";
    loaded = true;
    return true;
}

bool WeDataFile::ReadGroups(DirectoryReader& reader)
{
    int32_t groupCount = 0;
    if (!reader.Count(groupCount, MinGroupBytes))
        return Fail("impossible group count");
    for (int32_t g = 0; g < groupCount; ++g)
    {
        Group& group = storage.PushBack();
        int32_t subgroupCount = 0;
        if (!reader.String(group.name) || !reader.Count(subgroupCount, MinGroupBytes))
            return Fail("group directory truncated or damaged");
        group.subgroups.Clear();
        group.storage.Clear();
        groups.Insert(group.name.ToLower(), &group);
        for (int32_t s = 0; s < subgroupCount; ++s)
        {
            Subgroup& subgroup = group.storage.PushBack();
            if (!reader.String(subgroup.name))
                return Fail("subgroup directory truncated");
            subgroup.entries.Clear();
            subgroup.storage.Clear();
            group.subgroups.Insert(subgroup.name.ToLower(), &subgroup);
            if (!ReadEntries(reader, subgroup))
                return false;
        }
    }
    return true;
}

bool WeDataFile::ReadEntries(DirectoryReader& reader, Subgroup& subgroup)
{
    int32_t entryCount = 0;
    if (!reader.Count(entryCount, MinEntryBytes))
        return Fail("impossible entry count in " + subgroup.name);
    for (int32_t e = 0; e < entryCount; ++e)
    {
        Entry& entry = subgroup.storage.PushBack();
        int32_t type = 0;
        if (!reader.String(entry.name) || !reader.Int(type) || !reader.Int64(entry.offset) ||
            !reader.Int(entry.size))
            return Fail("entry directory truncated in " + subgroup.name);
        if (!WeIsAssetType(type))
            return Fail("entry " + entry.name + " has an unknown asset type");
        if (entry.offset < 0 || entry.size < 0 || entry.offset > reader.fileSize - entry.size)
            return Fail("entry " + entry.name + " lies outside the file");
        entry.type = static_cast<WeAssetType>(type);
        subgroup.entries.Insert(EntryKey(entry.name, entry.type), &entry);
    }
    return true;
}

WeString WeDataFile::EntryKey(const WeString& name, WeAssetType type)
{
    return (name + "." + WeAssetExtension(type)).ToLower();
}

WeDataFile::Group* WeDataFile::FindGroup(const WeString& name)
{
    Group* group = nullptr;
    if (EnsureLoaded())
        groups.Find(name.ToLower(), group);
    return group;
}

WeDataFile::Subgroup* WeDataFile::FindSubgroup(const WeString& groupName, const WeString& subgroupName)
{
    Subgroup* subgroup = nullptr;
    if (Group* group = FindGroup(groupName))
        group->subgroups.Find(subgroupName.ToLower(), subgroup);
    return subgroup;
}

WeDataFile::Entry* WeDataFile::Lookup(const WeString& assetName, WeAssetType type)
{
    if (!WeIsAssetType(static_cast<int32_t>(type)))
        return nullptr;
    const WeAssetName fields(assetName);
    Entry* entry = nullptr;
    if (Subgroup* subgroup = FindSubgroup(fields.group, fields.subgroup))
        subgroup->entries.Find(EntryKey(fields.name, type), entry);
    return entry;
}

void WeDataFile::GetGroups(WeList<WeString>& list)
{
    list.Clear();
    if (EnsureLoaded())
        groups.ForEach([&list](const WeString&, Group* group) { list.PushBack(group->name); });
}

void WeDataFile::GetSubgroups(WeList<WeString>& list, const WeString& groupName, WeAssetType type)
{
    list.Clear();
    Group* group = FindGroup(groupName);
    if (!group)
        return;
    group->subgroups.ForEach(
        [&list, type](const WeString&, Subgroup* subgroup)
        {
            bool holds = false;
            subgroup->entries.ForEach([&holds, type](const WeString&, Entry* entry)
                                      { holds = holds || entry->type == type; });
            if (holds)
                list.PushBack(subgroup->name);
        });
}

void WeDataFile::GetFiles(WeList<WeString>& list, const WeString& groupName, const WeString& subgroupName,
                          WeAssetType type)
{
    list.Clear();
    if (Subgroup* subgroup = FindSubgroup(groupName, subgroupName))
        subgroup->entries.ForEach(
            [&list, type](const WeString&, Entry* entry)
            {
                if (entry->type == type)
                    list.PushBack(entry->name);
            });
}

bool WeDataFile::Exists(const WeString& assetName, WeAssetType type)
{
    return Lookup(assetName, type) != nullptr;
}

int64_t WeDataFile::GetFileTime(const WeString& assetName, WeAssetType type)
{
    return Exists(assetName, type) ? 0 : -1;
}

bool WeDataFile::Open(const WeString& assetName, WeAssetType type)
{
    const Entry* entry = Lookup(assetName, type);
    if (!entry || !stream.Seek(entry->offset, SEEK_SET))
        return false;
    entrySize = entry->size;
    stream.SetSize(entry->offset + entry->size);
    return true;
}
