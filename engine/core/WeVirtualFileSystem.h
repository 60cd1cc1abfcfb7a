// The one road to every asset: a dotted asset name and an asset type, served by a back end
// (the package file, or loose files under a "Packages" folder). One asset is open at a time
// per back end; its bytes are read through the back end's stream.
#pragma once

#include "WeAssetType.h"
#include "WeList.h"
#include "WeString.h"

#include <cstdint>

class WeFileStream;

class WeVirtualFileSystem
{
public:
    virtual ~WeVirtualFileSystem() = default;

    // Listings empty the list first; names come as stored, in the back end's table order.
    virtual void GetGroups(WeList<WeString>& groups) = 0;
    // The group's subgroups that hold at least one asset of the type.
    virtual void GetSubgroups(WeList<WeString>& subgroups, const WeString& group, WeAssetType type) = 0;
    // Names (without extension) of the subgroup's assets of the type.
    virtual void GetFiles(WeList<WeString>& files, const WeString& group, const WeString& subgroup,
                          WeAssetType type) = 0;
    virtual bool Exists(const WeString& assetName, WeAssetType type) = 0;
    // -1 when the asset does not exist, else a change stamp.
    virtual int64_t GetFileTime(const WeString& assetName, WeAssetType type) = 0;
    // Makes the asset the open one; the stream then stands at its first byte and ends at its
    // last.
    virtual bool Open(const WeString& assetName, WeAssetType type) = 0;
    virtual bool Close() = 0;
    // Size in bytes of the open asset.
    virtual int32_t GetFileSize() = 0;
    // Opens the asset for writing through the stream; refused by read-only back ends.
    virtual bool OpenWrite(const WeString& assetName, WeAssetType type, bool overwrite) = 0;
    virtual bool CloseWrite() = 0;
    virtual bool Delete(const WeString& assetName, WeAssetType type) = 0;
    virtual WeFileStream& GetStream() = 0;

    // The back end in use: the package file. Both back ends are made on the first call (which
    // may come during static initialisation) and live until the program ends.
    static WeVirtualFileSystem* GetFileSystem();
    // The loose-file back end over the "Packages" folder beside the executable, for tools.
    static WeVirtualFileSystem* GetLooseFileSystem();
};

// The folder of the running executable (its path cut at the last separator); computed once.
const WeString& WeGetExecutableFolder();
