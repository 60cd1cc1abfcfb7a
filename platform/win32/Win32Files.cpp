#include "win32/Win32Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win32
{

struct FindState
{
    std::vector<FindData> entries;
    size_t next = 0;
};

void FindStateRelease::operator()(FindState* state) const
{
    delete state;
}

std::string NormalizePath(const char* path)
{
    std::string result = path ? path : "";
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

static bool StatPath(const std::string& path, FindData* data)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return false;
    data->directory = S_ISDIR(status.st_mode);
    data->size = static_cast<int64_t>(status.st_size);
    data->modified = static_cast<int64_t>(status.st_mtime);
    return true;
}

// Reads the whole folder at once, so no operating-system handle outlives this call.
static std::vector<FindData> ListFolder(const std::string& folder, const std::string& wildcard)
{
    std::vector<FindData> entries;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* entry = readdir(dir))
    {
        if (fnmatch(wildcard.c_str(), entry->d_name, 0) != 0)
            continue;
        FindData data;
        data.name = entry->d_name;
        if (!StatPath(folder + "/" + data.name, &data))
            data.directory = entry->d_type == DT_DIR;
        entries.push_back(std::move(data));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const FindData& a, const FindData& b) { return a.name < b.name; });
    return entries;
}

FindHandle FindFirstFile(const char* pattern, FindData* data)
{
    const std::string path = NormalizePath(pattern);
    const size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string wildcard = slash == std::string::npos ? path : path.substr(slash + 1);
    if (folder.empty())
        folder = "/";
    FindHandle state(new FindState);
    state->entries = ListFolder(folder, wildcard);
    if (state->entries.empty())
        return nullptr;
    *data = state->entries[0];
    state->next = 1;
    return state;
}

bool FindNextFile(const FindHandle& handle, FindData* data)
{
    if (!handle || handle->next >= handle->entries.size())
        return false;
    *data = handle->entries[handle->next++];
    return true;
}

void FindClose(FindHandle& handle)
{
    handle.reset();
}

bool CreateDirectory(const char* path)
{
    const std::string normal = NormalizePath(path);
    if (mkdir(normal.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && DirectoryExists(path);
}

bool RemoveDirectory(const char* path)
{
    return rmdir(NormalizePath(path).c_str()) == 0;
}

bool DeleteFile(const char* path)
{
    FindData data;
    if (!GetFileStatus(path, &data) || data.directory)
        return false;
    return unlink(NormalizePath(path).c_str()) == 0;
}

bool GetFileStatus(const char* path, FindData* data)
{
    const std::string normal = NormalizePath(path);
    if (!StatPath(normal, data))
        return false;
    const size_t slash = normal.rfind('/');
    data->name = slash == std::string::npos ? normal : normal.substr(slash + 1);
    return true;
}

bool FileExists(const char* path)
{
    FindData data;
    return GetFileStatus(path, &data) && !data.directory;
}

bool DirectoryExists(const char* path)
{
    FindData data;
    return GetFileStatus(path, &data) && data.directory;
}

FILE* OpenFile(const char* path, const char* mode)
{
    std::string cleanMode = mode ? mode : "r";
    cleanMode.erase(std::remove(cleanMode.begin(), cleanMode.end(), 't'), cleanMode.end());
    return std::fopen(NormalizePath(path).c_str(), cleanMode.c_str());
}

static_assert(sizeof(off_t) == 8, "64-bit file offsets are required");

int SeekFile(FILE* file, int64_t offset, int origin)
{
    return fseeko(file, static_cast<off_t>(offset), origin);
}

int64_t TellFile(FILE* file)
{
    return static_cast<int64_t>(ftello(file));
}

bool FlushFileBuffers(FILE* file)
{
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

// Makes the entries of the folder holding the path durable, where the file system allows it.
static void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0)
    {
        fsync(descriptor);
        close(descriptor);
    }
}

bool MoveFileEx(const char* existing, const char* replacement, uint32_t flags)
{
    const std::string from = NormalizePath(existing), to = NormalizePath(replacement);
    const unsigned int noReplace = flags & MOVEFILE_REPLACE_EXISTING ? 0 : RENAME_NOREPLACE;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), noReplace) != 0)
        return false;
    if (flags & MOVEFILE_WRITE_THROUGH)
        SyncFolderOf(to);
    return true;
}

const std::string& GetModuleFileName()
{
    static const std::string path = []
    {
        std::vector<char> buffer(4096);
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        return length > 0 ? std::string(buffer.data(), static_cast<size_t>(length)) : std::string();
    }();
    return path;
}

static std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir)
        return user->pw_dir;
    return ".";
}

// The documents entry of the XDG user-dirs file: XDG_DOCUMENTS_DIR="$HOME/Documents".
static std::string XdgDocumentsFolder(const std::string& home)
{
    if (const char* direct = std::getenv("XDG_DOCUMENTS_DIR"); direct && *direct)
        return direct;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const std::string config = configHome && *configHome ? configHome : home + "/.config";
    std::ifstream file(config + "/user-dirs.dirs");
    const std::string key = "XDG_DOCUMENTS_DIR=";
    for (std::string line; std::getline(file, line);)
    {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/' && value != home && value != home + "/")
            return value;
    }
    return std::string();
}

std::string GetDocumentsFolder()
{
    const std::string home = HomeFolder();
    const std::string xdg = XdgDocumentsFolder(home);
    return xdg.empty() ? home + "/Documents" : xdg;
}

std::string GetMyGamesFolder()
{
    return GetDocumentsFolder() + "/My Games";
}

} // namespace win32
