#include "WePackageWriter.h"

#include "WeFileStream.h"
#include "win32/Win32Files.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace
{

constexpr int32_t PackageVersion = 1;
constexpr size_t MaxNameLength = 0xFFFF;

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameName(const std::string& a, const std::string& b)
{
    return Lower(a) == Lower(b);
}

template <typename Node> Node& FindOrAdd(std::vector<Node>& nodes, const std::string& name)
{
    for (Node& node : nodes)
        if (SameName(node.name, name))
            return node;
    nodes.push_back(Node{name, {}});
    return nodes.back();
}

bool WriteInt64(WeFileStream& stream, int64_t value)
{
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
    return stream.Write(bytes, 8);
}

// Copies a whole file into the stream; returns the bytes copied, or -1.
int64_t CopyFile(WeFileStream& stream, const std::string& path)
{
    FILE* source = win32::OpenFile(path.c_str(), "rb");
    if (!source)
        return -1;
    std::vector<uint8_t> chunk(1 << 20);
    int64_t total = 0;
    bool ok = true;
    while (ok)
    {
        const size_t got = std::fread(chunk.data(), 1, chunk.size(), source);
        if (got == 0)
            break;
        ok = stream.Write(chunk.data(), static_cast<int64_t>(got));
        total += static_cast<int64_t>(got);
    }
    ok = ok && !std::ferror(source);
    std::fclose(source);
    return ok ? total : -1;
}

std::vector<win32::FindData> ListVisible(const std::string& folder)
{
    std::vector<win32::FindData> entries;
    win32::FindData data;
    win32::FindHandle handle = win32::FindFirstFile((folder + "/*").c_str(), &data);
    if (!handle)
        return entries;
    do
        if (!data.name.empty() && data.name[0] != '.')
            entries.push_back(data);
    while (win32::FindNextFile(handle, &data));
    win32::FindClose(handle);
    return entries;
}

} // namespace

WePackageWriter::Entry* WePackageWriter::NewEntry(const std::string& group, const std::string& subgroup,
                                                  const std::string& name, WeAssetType type)
{
    for (const std::string* field : {&group, &subgroup, &name})
        if (field->size() > MaxNameLength || field->find('.') != std::string::npos)
        {
            Fail("name field \"" + *field + "\" is too long or holds a dot");
            return nullptr;
        }
    if (!WeIsAssetType(static_cast<int32_t>(type)))
    {
        Fail("asset type out of range for " + name);
        return nullptr;
    }
    Subgroup& sub = FindOrAdd(FindOrAdd(groups, group).subgroups, subgroup);
    for (const Entry& entry : sub.entries)
        if (entry.type == type && SameName(entry.name, name))
        {
            Fail("duplicate entry " + group + "." + subgroup + "." + name + "." + WeAssetExtension(type));
            return nullptr;
        }
    sub.entries.push_back(Entry{name, type, {}, {}, 0, 0});
    return &sub.entries.back();
}

bool WePackageWriter::Add(const std::string& group, const std::string& subgroup, const std::string& name,
                          WeAssetType type, std::vector<uint8_t> bytes)
{
    Entry* entry = NewEntry(group, subgroup, name, type);
    if (entry)
        entry->bytes = std::move(bytes);
    return entry != nullptr;
}

bool WePackageWriter::AddFile(const std::string& group, const std::string& subgroup, const std::string& name,
                              WeAssetType type, const std::string& path)
{
    Entry* entry = NewEntry(group, subgroup, name, type);
    if (entry)
        entry->sourcePath = path;
    return entry != nullptr;
}

bool WePackageWriter::AddFolder(const std::string& root)
{
    if (!win32::DirectoryExists(root.c_str()))
        return Fail("no folder " + root);
    for (const win32::FindData& group : ListVisible(root))
    {
        if (!group.directory)
            continue;
        const std::string groupPath = root + "/" + group.name;
        for (const win32::FindData& subgroup : ListVisible(groupPath))
        {
            if (!subgroup.directory)
                continue;
            const std::string subgroupPath = groupPath + "/" + subgroup.name;
            for (const win32::FindData& file : ListVisible(subgroupPath))
            {
                if (file.directory)
                    continue;
                const size_t dot = file.name.find('.');
                const std::string name = file.name.substr(0, dot);
                const std::string extension =
                    dot == std::string::npos
                        ? ""
                        : file.name.substr(dot + 1, file.name.find('.', dot + 1) - dot - 1);
                const WeAssetType type = WeAssetTypeFromExtension(extension.c_str());
                if (!AddFile(group.name, subgroup.name, name, type, subgroupPath + "/" + file.name))
                    return false;
            }
        }
    }
    return true;
}

size_t WePackageWriter::GetEntryCount() const
{
    size_t count = 0;
    for (const Group& group : groups)
        for (const Subgroup& subgroup : group.subgroups)
            count += subgroup.entries.size();
    return count;
}

bool WePackageWriter::Fail(const std::string& message)
{
    lastError = message;
    return false;
}

bool WePackageWriter::Write(const std::string& path)
{
    WeFileStream stream;
    stream.SetScrambled(true);
    if (!stream.Create(WeString(path.c_str())))
        return Fail("cannot create " + path);
    if (WriteContents(stream))
        return true;
    stream.Close();
    win32::DeleteFile(path.c_str());
    return lastError.empty() ? Fail("cannot write " + path) : false;
}

bool WePackageWriter::WriteContents(WeFileStream& stream)
{
    lastError.clear();
    bool ok = stream.WriteInt(PackageVersion) && WriteInt64(stream, 0);
    for (Group& group : groups)
        for (Subgroup& subgroup : group.subgroups)
            for (Entry& entry : subgroup.entries)
            {
                entry.offset = stream.Tell();
                if (entry.sourcePath.empty())
                {
                    entry.size = static_cast<int64_t>(entry.bytes.size());
                    ok = ok && stream.Write(entry.bytes.data(), entry.size);
                }
                else if ((entry.size = CopyFile(stream, entry.sourcePath)) < 0)
                    return Fail("cannot read " + entry.sourcePath);
                if (entry.size > std::numeric_limits<int32_t>::max())
                    return Fail("entry too large: " + entry.name);
            }
    directoryOffset = stream.Tell();
    ok = ok && stream.WriteInt(static_cast<int32_t>(groups.size()));
    for (const Group& group : groups)
    {
        ok = ok && stream.WriteString(WeString(group.name.c_str())) &&
             stream.WriteInt(static_cast<int32_t>(group.subgroups.size()));
        for (const Subgroup& subgroup : group.subgroups)
        {
            ok = ok && stream.WriteString(WeString(subgroup.name.c_str())) &&
                 stream.WriteInt(static_cast<int32_t>(subgroup.entries.size()));
            for (const Entry& entry : subgroup.entries)
                ok = ok && stream.WriteString(WeString(entry.name.c_str())) &&
                     stream.WriteInt(static_cast<int32_t>(entry.type)) && WriteInt64(stream, entry.offset) &&
                     stream.WriteInt(static_cast<int32_t>(entry.size));
        }
    }
    ok = ok && stream.Seek(4, SEEK_SET) && WriteInt64(stream, directoryOffset);
    return stream.Close() && ok;
}
