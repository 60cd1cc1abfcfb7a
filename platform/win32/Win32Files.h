// Files and folders as the engine uses them on Windows, on POSIX: find-first enumeration,
// creation and deletion of files and folders, file status, the executable's path and the
// player's "My Games" folder. Every path may be written with backslashes; they are turned
// into slashes before the path reaches the operating system.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace win32
{

// One entry of a folder listing.
struct FindData
{
    std::string name; // the entry's name as stored on disk, no folder part
    bool directory = false;
    int64_t size = 0;
    int64_t modified = 0; // seconds since 1970
};

// An open enumeration; released by FindClose (or when the handle is destroyed).
struct FindState;
struct FindStateRelease
{
    void operator()(FindState* state) const;
};
using FindHandle = std::unique_ptr<FindState, FindStateRelease>;

// The path with every backslash turned into a slash.
std::string NormalizePath(const char* path);

// Starts a listing of the folder part of the pattern; the last part may hold '*' and '?'
// wildcards ("Packages\*"). Returns null when the folder cannot be read or nothing matches;
// else the handle, with the first entry in data. Entries come sorted by name.
FindHandle FindFirstFile(const char* pattern, FindData* data);
// Moves to the next entry; false (data untouched) when the listing is exhausted.
bool FindNextFile(const FindHandle& handle, FindData* data);
void FindClose(FindHandle& handle);

// Creates one folder; an existing folder counts as success.
bool CreateDirectory(const char* path);
// Removes an empty folder.
bool RemoveDirectory(const char* path);
// Deletes a file (never a folder).
bool DeleteFile(const char* path);
// Fills data with the status of the file or folder; false when it does not exist.
bool GetFileStatus(const char* path, FindData* data);
bool FileExists(const char* path);
bool DirectoryExists(const char* path);

// Opens a C stream as fopen does, after normalising the path; the Microsoft text flag 't'
// of the mode is dropped (line ends are LF here).
FILE* OpenFile(const char* path, const char* mode);
// Positions a stream and reports its position with 64-bit offsets, as _fseeki64 and _ftelli64 of
// the C run-time do: 0 on success, and -1 for a position that cannot be told.
int SeekFile(FILE* file, int64_t offset, int origin);
int64_t TellFile(FILE* file);
// Writes the stream's buffer and the file's data through to the disk itself; false, with errno
// set, when either step fails.
bool FlushFileBuffers(FILE* file);

// Flags of MoveFileEx.
constexpr uint32_t MOVEFILE_REPLACE_EXISTING = 0x1; // a file at the new path is replaced
constexpr uint32_t MOVEFILE_WRITE_THROUGH = 0x8;    // done when it returns, the folder on disk too
// Moves (renames) a file; without MOVEFILE_REPLACE_EXISTING an existing file at the new path
// makes it fail with EEXIST. False, with errno set, when the move fails. Writing the folder
// through is best effort: not every file system lets a folder be synced.
bool MoveFileEx(const char* existing, const char* replacement, uint32_t flags);

// The running executable's full path, with slashes; empty when it cannot be read.
const std::string& GetModuleFileName();
// The user's documents folder: the XDG documents folder, else ~/Documents.
std::string GetDocumentsFolder();
// The documents folder + "/My Games" (not created here).
std::string GetMyGamesFolder();

} // namespace win32
