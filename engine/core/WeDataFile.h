// The package back end: every asset inside one file, "Packages.dat" beside the executable.
// The whole file is scrambled. It starts with an int32 version and (from version 1) the int64
// offset of the directory: a count of groups, each a name and a count of subgroups, each a name
// and a count of entries, each a name, an int32 type, an int64 data offset and an int32 size.
// The directory is read on first use and checked against the file: a damaged package serves
// nothing and is read again by the next operation. One stream stays open on the file; Open
// positions it on an entry and makes the entry's end the stream's end. Read-only.
#pragma once

#include "WeFileStream.h"
#include "WeHashTable.h"
#include "WeVirtualFileSystem.h"

class WeDataFile : public WeVirtualFileSystem
{
public:
    // An empty path means "Packages.dat" beside the executable.
    explicit WeDataFile(const WeString& path = "");
    ~WeDataFile() override;

    void GetGroups(WeList<WeString>& groups) override;
    void GetSubgroups(WeList<WeString>& subgroups, const WeString& group, WeAssetType type) override;
    void GetFiles(WeList<WeString>& files, const WeString& group, const WeString& subgroup,
                  WeAssetType type) override;
    bool Exists(const WeString& assetName, WeAssetType type) override;
    // 0 when the entry exists (entries carry no times), else -1.
    int64_t GetFileTime(const WeString& assetName, WeAssetType type) override;
    bool Open(const WeString& assetName, WeAssetType type) override;
    bool Close() override { return true; } // the package stays open
    int32_t GetFileSize() override { return entrySize; }
    bool OpenWrite(const WeString&, WeAssetType, bool) override { return false; }
    bool CloseWrite() override { return false; }
    bool Delete(const WeString&, WeAssetType) override { return false; }
    WeFileStream& GetStream() override { return stream; }

    bool IsLoaded() const { return loaded; }
    int32_t GetVersion() const { return version; }
    // Why the last directory load failed; empty after a successful one.
    const WeString& GetLastError() const { return lastError; }

private:
    struct Entry
    {
        WeString name;
        WeAssetType type = WeAssetType::None;
        int64_t offset = 0;
        int32_t size = 0;
    };
    struct Subgroup
    {
        WeString name;
        WeHashTable<Entry*> entries;
        WeList<Entry> storage;
    };
    struct Group
    {
        WeString name;
        WeHashTable<Subgroup*> subgroups;
        WeList<Subgroup> storage;
    };
    class DirectoryReader;

    bool EnsureLoaded();
    bool LoadDirectory();
    bool ReadGroups(DirectoryReader& reader);
    bool ReadEntries(DirectoryReader& reader, Subgroup& subgroup);
    void FreeDirectory();
    bool Fail(const WeString& message);
    Group* FindGroup(const WeString& name);
    Subgroup* FindSubgroup(const WeString& group, const WeString& subgroup);
    Entry* Lookup(const WeString& assetName, WeAssetType type);
    static WeString EntryKey(const WeString& name, WeAssetType type);

    int32_t entrySize = 0;
    bool loaded = false;
    WeFileStream stream;
    int32_t version = 0;
    int64_t directoryOffset = 0;
    WeHashTable<Group*> groups;
    WeList<Group> storage;
    WeString path;
    WeString lastError;
};
