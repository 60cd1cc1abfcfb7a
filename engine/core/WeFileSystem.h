// The loose-file back end: assets as files <root>/<Group>/<Subgroup>/<name>.<ext>, the root
// being the "Packages" folder beside the executable. The folder tree is read once, on first
// use; names are matched without regard to A-Z case, and every file is opened, timed and
// deleted by the name the scan found on disk.
#pragma once

#include "WeFileStream.h"
#include "WeHashTable.h"
#include "WeVirtualFileSystem.h"

class WeFileSystem : public WeVirtualFileSystem
{
public:
    // An empty root means the "Packages" folder beside the executable.
    explicit WeFileSystem(const WeString& root = "");
    ~WeFileSystem() override;

    void GetGroups(WeList<WeString>& groups) override;
    void GetSubgroups(WeList<WeString>& subgroups, const WeString& group, WeAssetType type) override;
    void GetFiles(WeList<WeString>& files, const WeString& group, const WeString& subgroup,
                  WeAssetType type) override;
    bool Exists(const WeString& assetName, WeAssetType type) override;
    // The file's modification time in seconds; 0 when its status cannot be read.
    int64_t GetFileTime(const WeString& assetName, WeAssetType type) override;
    bool Open(const WeString& assetName, WeAssetType type) override;
    bool Close() override;
    int32_t GetFileSize() override;
    // Creates missing folders and nodes; an existing asset is only replaced with overwrite.
    // Name fields that are empty or could leave the folder ("..", slashes) are refused.
    bool OpenWrite(const WeString& assetName, WeAssetType type, bool overwrite) override;
    bool CloseWrite() override;
    // Deletes the asset's file of that type; folders and other types stay.
    bool Delete(const WeString& assetName, WeAssetType type) override;
    WeFileStream& GetStream() override { return stream; }

private:
    struct Asset
    {
        WeString name;
        WeString fileNames[WeAssetTypeCount]; // as found on disk; empty when absent
    };
    struct Subgroup
    {
        WeString name;
        WeHashTable<Asset*> assets;
        WeList<Asset> storage;
    };
    struct Group
    {
        WeString name;
        WeHashTable<Subgroup*> subgroups;
        WeList<Subgroup> storage;
    };
    struct Found
    {
        Group* group = nullptr;
        Subgroup* subgroup = nullptr;
        Asset* asset = nullptr;
    };

    void EnsureScanned();
    void ScanGroup(Group& group);
    void ScanSubgroup(const Group& group, Subgroup& subgroup);
    Group* AddGroup(const WeString& name);
    static Subgroup* AddSubgroup(Group& group, const WeString& name);
    static Asset* AddAsset(Subgroup& subgroup, const WeString& name);
    Group* FindGroup(const WeString& name);
    static Subgroup* FindSubgroup(Group* group, const WeString& name);
    // The asset when its file of that type exists.
    Found Lookup(const WeString& assetName, WeAssetType type);
    WeString FolderPath(const Group& group) const;
    WeString FolderPath(const Group& group, const Subgroup& subgroup) const;
    WeString FilePath(const Found& found, WeAssetType type) const;

    WeString root;
    bool scanned = false;
    bool writeOpen = false;
    WeHashTable<Group*> groups;
    WeList<Group> storage;
    WeFileStream stream;
};
