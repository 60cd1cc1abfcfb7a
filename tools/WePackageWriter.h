// Builds a "Packages.dat": the header (version 1, directory offset), every entry's bytes, then
// the directory of groups, subgroups and entries, all of it scrambled. Folders are packed as
// the loose-file back end reads them: <Group>/<Subgroup>/<name>.<ext>.
#pragma once

#include "WeAssetType.h"

#include <cstdint>
class WeFileStream;
#include <string>
#include <vector>

class WePackageWriter
{
public:
    // Adds an entry from bytes in memory. Names are kept as given; a second entry with the same
    // group, subgroup, name and type (letter case aside) is refused.
    bool Add(const std::string& group, const std::string& subgroup, const std::string& name, WeAssetType type,
             std::vector<uint8_t> bytes);
    // Adds an entry whose bytes are read from a file when the package is written.
    bool AddFile(const std::string& group, const std::string& subgroup, const std::string& name,
                 WeAssetType type, const std::string& path);
    // Adds every file of root/<Group>/<Subgroup>/; folders and files whose names begin with a
    // dot are skipped. A name is cut at its first dot and the extension at the next one.
    bool AddFolder(const std::string& root);
    // Writes the package; false with lastError set when a file cannot be read or written or a
    // name, count or size does not fit the format.
    bool Write(const std::string& path);

    const std::string& GetLastError() const { return lastError; }
    size_t GetEntryCount() const;
    // Where the last Write put the directory (for tests that damage it).
    int64_t GetDirectoryOffset() const { return directoryOffset; }

private:
    struct Entry
    {
        std::string name;
        WeAssetType type = WeAssetType::None;
        std::vector<uint8_t> bytes;
        std::string sourcePath;
        int64_t offset = 0;
        int64_t size = 0;
    };
    struct Subgroup
    {
        std::string name;
        std::vector<Entry> entries;
    };
    struct Group
    {
        std::string name;
        std::vector<Subgroup> subgroups;
    };

    Entry* NewEntry(const std::string& group, const std::string& subgroup, const std::string& name,
                    WeAssetType type);
    bool WriteContents(WeFileStream& stream);
    bool Fail(const std::string& message);

    std::vector<Group> groups;
    std::string lastError;
    int64_t directoryOffset = 0;
};
