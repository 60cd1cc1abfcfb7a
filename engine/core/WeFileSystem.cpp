#include "WeFileSystem.h"

#include "win32/Win32Files.h"

#include <limits>
#include <string>

namespace
{

bool IsTypeValue(WeAssetType type)
{
    return WeIsAssetType(static_cast<int32_t>(type));
}

// A field that names a new folder or file must stay inside its parent folder.
bool IsSafeField(const WeString& field)
{
    if (field.IsEmpty() || field == "." || field == "..")
        return false;
    for (int32_t i = 0; i < field.GetLength(); ++i)
        if (field[i] == '/' || field[i] == '\\')
            return false;
    return true;
}

// A folder whose name holds a dot cannot be named by an asset name's field.
bool IsFieldFolder(const win32::FindData& entry)
{
    return entry.directory && entry.name.find('.') == std::string::npos;
}

// Calls visit(entry) for every entry of the folder whose name does not begin with a dot.
template <typename F> void ForEachEntry(const WeString& folder, F&& visit)
{
    win32::FindData data;
    win32::FindHandle handle = win32::FindFirstFile((folder + "\\*").GetData(), &data);
    if (!handle)
        return;
    do
        if (!data.name.empty() && data.name[0] != '.')
            visit(data);
    while (win32::FindNextFile(handle, &data));
    win32::FindClose(handle);
}

} // namespace

WeFileSystem::WeFileSystem(const WeString& root) : root(root) {}

WeFileSystem::~WeFileSystem() = default;

void WeFileSystem::EnsureScanned()
{
    if (scanned)
        return;
    scanned = true;
    if (root.IsEmpty())
        root = WeGetExecutableFolder() + "\\Packages";
    if (!win32::DirectoryExists(root.GetData()))
        return;
    ForEachEntry(root,
                 [this](const win32::FindData& entry)
                 {
                     if (IsFieldFolder(entry) && !FindGroup(entry.name.c_str()))
                         AddGroup(entry.name.c_str());
                 });
    for (Group& group : storage)
        ScanGroup(group);
}

void WeFileSystem::ScanGroup(Group& group)
{
    ForEachEntry(FolderPath(group),
                 [&group](const win32::FindData& entry)
                 {
                     if (IsFieldFolder(entry) && !FindSubgroup(&group, entry.name.c_str()))
                         AddSubgroup(group, entry.name.c_str());
                 });
    for (Subgroup& subgroup : group.storage)
        ScanSubgroup(group, subgroup);
}

void WeFileSystem::ScanSubgroup(const Group& group, Subgroup& subgroup)
{
    ForEachEntry(
        FolderPath(group, subgroup),
        [&subgroup](const win32::FindData& entry)
        {
            if (entry.directory)
                return;
            const WeString fileName = entry.name.c_str();
            const WeString name = fileName.GetToken('.', 0);
            const WeString extension = fileName.GetToken('.', 1);
            Asset* asset = nullptr;
            if (!subgroup.assets.Find(name.ToLower(), asset))
                asset = AddAsset(subgroup, name);
            WeString& stored =
                asset->fileNames[static_cast<int32_t>(WeAssetTypeFromExtension(extension.GetData()))];
            if (stored.IsEmpty())
                stored = fileName;
        });
}

WeFileSystem::Group* WeFileSystem::AddGroup(const WeString& name)
{
    Group& group = storage.PushBack();
    group.name = name;
    groups.Insert(name.ToLower(), &group);
    return &group;
}

WeFileSystem::Subgroup* WeFileSystem::AddSubgroup(Group& group, const WeString& name)
{
    Subgroup& subgroup = group.storage.PushBack();
    subgroup.name = name;
    group.subgroups.Insert(name.ToLower(), &subgroup);
    return &subgroup;
}

WeFileSystem::Asset* WeFileSystem::AddAsset(Subgroup& subgroup, const WeString& name)
{
    Asset& asset = subgroup.storage.PushBack();
    asset.name = name;
    subgroup.assets.Insert(name.ToLower(), &asset);
    return &asset;
}

WeFileSystem::Group* WeFileSystem::FindGroup(const WeString& name)
{
    Group* group = nullptr;
    groups.Find(name.ToLower(), group);
    return group;
}

WeFileSystem::Subgroup* WeFileSystem::FindSubgroup(Group* group, const WeString& name)
{
    Subgroup* subgroup = nullptr;
    if (group)
        group->subgroups.Find(name.ToLower(), subgroup);
    return subgroup;
}

WeFileSystem::Found WeFileSystem::Lookup(const WeString& assetName, WeAssetType type)
{
    EnsureScanned();
    if (!IsTypeValue(type))
        return {};
    const WeAssetName fields(assetName);
    Found found;
    found.group = FindGroup(fields.group);
    found.subgroup = FindSubgroup(found.group, fields.subgroup);
    if (found.subgroup && found.subgroup->assets.Find(fields.name, found.asset) &&
        !found.asset->fileNames[static_cast<int32_t>(type)].IsEmpty())
        return found;
    found.asset = nullptr;
    return found;
}

WeString WeFileSystem::FolderPath(const Group& group) const
{
    return root + "\\" + group.name;
}

WeString WeFileSystem::FolderPath(const Group& group, const Subgroup& subgroup) const
{
    return root + "\\" + WeAssetNameToPath(group.name + "." + subgroup.name);
}

WeString WeFileSystem::FilePath(const Found& found, WeAssetType type) const
{
    return FolderPath(*found.group, *found.subgroup) + "\\" +
           found.asset->fileNames[static_cast<int32_t>(type)];
}

void WeFileSystem::GetGroups(WeList<WeString>& list)
{
    EnsureScanned();
    list.Clear();
    groups.ForEach([&list](const WeString&, Group* group) { list.PushBack(group->name); });
}

void WeFileSystem::GetSubgroups(WeList<WeString>& list, const WeString& groupName, WeAssetType type)
{
    EnsureScanned();
    list.Clear();
    Group* group = FindGroup(groupName);
    if (!group || !IsTypeValue(type))
        return;
    const auto index = static_cast<int32_t>(type);
    group->subgroups.ForEach(
        [&list, index](const WeString&, Subgroup* subgroup)
        {
            bool holds = false;
            subgroup->assets.ForEach([&holds, index](const WeString&, Asset* asset)
                                     { holds = holds || !asset->fileNames[index].IsEmpty(); });
            if (holds)
                list.PushBack(subgroup->name);
        });
}

void WeFileSystem::GetFiles(WeList<WeString>& list, const WeString& groupName, const WeString& subgroupName,
                            WeAssetType type)
{
    EnsureScanned();
    list.Clear();
    Subgroup* subgroup = FindSubgroup(FindGroup(groupName), subgroupName);
    if (!subgroup || !IsTypeValue(type))
        return;
    const auto index = static_cast<int32_t>(type);
    subgroup->assets.ForEach(
        [&list, index](const WeString&, Asset* asset)
        {
            if (!asset->fileNames[index].IsEmpty())
                list.PushBack(asset->name);
        });
}

bool WeFileSystem::Exists(const WeString& assetName, WeAssetType type)
{
    return Lookup(assetName, type).asset != nullptr;
}

int64_t WeFileSystem::GetFileTime(const WeString& assetName, WeAssetType type)
{
    const Found found = Lookup(assetName, type);
    if (!found.asset)
        return -1;
    win32::FindData status;
    return win32::GetFileStatus(FilePath(found, type).GetData(), &status) ? status.modified : 0;
}

bool WeFileSystem::Open(const WeString& assetName, WeAssetType type)
{
    const Found found = Lookup(assetName, type);
    if (!found.asset)
        return false;
    Close();
    if (stream.Open(FilePath(found, type)))
        return true;
    Close();
    return false;
}

bool WeFileSystem::Close()
{
    stream.Close();
    writeOpen = false;
    return true;
}

int32_t WeFileSystem::GetFileSize()
{
    const int64_t size = stream.IsOpen() ? stream.GetFileSize() : 0;
    return static_cast<int32_t>(std::min<int64_t>(size, std::numeric_limits<int32_t>::max()));
}

bool WeFileSystem::OpenWrite(const WeString& assetName, WeAssetType type, bool overwrite)
{
    if (writeOpen || !IsTypeValue(type))
        return false;
    Close();
    Found found = Lookup(assetName, type);
    if (found.asset && !overwrite)
        return false;
    WeString fileName;
    if (!found.asset)
    {
        const WeString groupName = assetName.GetToken('.', 0);
        const WeString subgroupName = assetName.GetToken('.', 1);
        const WeString name = assetName.GetToken('.', 2);
        if (!IsSafeField(groupName) || !IsSafeField(subgroupName) || !IsSafeField(name) ||
            !win32::CreateDirectory(root.GetData()))
            return false;
        if (!found.group)
            found.group = AddGroup(groupName);
        if (!win32::CreateDirectory(FolderPath(*found.group).GetData()))
            return false;
        if (!found.subgroup)
            found.subgroup = AddSubgroup(*found.group, subgroupName);
        if (!win32::CreateDirectory(FolderPath(*found.group, *found.subgroup).GetData()))
            return false;
        if (!found.subgroup->assets.Find(WeAssetName(assetName).name, found.asset))
            found.asset = AddAsset(*found.subgroup, name);
        fileName = found.asset->name;
        if (type != WeAssetType::None)
            fileName = fileName + "." + WeAssetExtension(type);
        found.asset->fileNames[static_cast<int32_t>(type)] = fileName;
    }
    if (stream.Create(FilePath(found, type)))
    {
        writeOpen = true;
        return true;
    }
    if (!fileName.IsEmpty())
        found.asset->fileNames[static_cast<int32_t>(type)] = "";
    Close();
    return false;
}

bool WeFileSystem::CloseWrite()
{
    if (!writeOpen)
        return false;
    Close();
    return true;
}

bool WeFileSystem::Delete(const WeString& assetName, WeAssetType type)
{
    Close();
    const Found found = Lookup(assetName, type);
    if (!found.asset || !win32::DeleteFile(FilePath(found, type).GetData()))
        return false;
    found.asset->fileNames[static_cast<int32_t>(type)] = "";
    return true;
}
