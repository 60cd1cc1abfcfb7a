#include "MivoPlayerFile.h"

#include "win32/Win32Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

MivoSaveProblems saveProblems;

namespace
{
// Damaged copies of one file kept beside it at most.
constexpr int32_t kMaxDamagedCopies = 1000;

std::string TemporaryPath(const std::string& path)
{
    return path + ".tmp";
}

// The errno value of a step that failed, never 0.
int LastError()
{
    return errno ? errno : EIO;
}

// Flushes the stream to the disk itself and closes it; the errno value of the first step that
// fails, else 0.
int FlushAndClose(FILE* file)
{
    int error = win32::FlushFileBuffers(file) ? 0 : LastError();
    if (std::fclose(file) != 0 && !error)
    {
        error = LastError();
    }
    return error;
}

// The halves of a save, each giving the errno value of its failure, else 0.
int WriteTemporary(const std::string& path, const std::vector<uint8_t>& bytes)
{
    errno = 0;
    FILE* file = win32::OpenFile(TemporaryPath(path).c_str(), "wb");
    if (!file)
    {
        return LastError();
    }
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = written ? 0 : LastError();
    const int closeError = FlushAndClose(file);
    return writeError ? writeError : closeError;
}

int CommitTemporary(const std::string& path)
{
    const uint32_t flags = win32::MOVEFILE_REPLACE_EXISTING | win32::MOVEFILE_WRITE_THROUGH;
    return win32::MoveFileEx(TemporaryPath(path).c_str(), path.c_str(), flags) ? 0 : LastError();
}
} // namespace

MivoSaveProblem MivoSaveProblems::ProblemOf(int error)
{
    switch (error)
    {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return MivoSaveProblem::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return MivoSaveProblem::ReadOnly;
    default:
        return MivoSaveProblem::Failed;
    }
}

const char* MivoSaveProblems::MessageKey(MivoSaveProblem problem)
{
    switch (problem)
    {
    case MivoSaveProblem::NoFolder:
        return "UI: No player folder";
    case MivoSaveProblem::DiskFull:
        return "UI: Disk full";
    case MivoSaveProblem::ReadOnly:
        return "UI: Folder read-only";
    default:
        return "UI: Cannot save";
    }
}

void MivoSaveProblems::Failed(const std::string& path, MivoSaveProblem problem, int error)
{
    if (problem == MivoSaveProblem::NoFolder)
    {
        std::fprintf(stderr, "Mivo: cannot make the player folder %s: %s; nothing is saved in this run\n",
                     path.c_str(), std::strerror(error));
    }
    else
    {
        std::fprintf(stderr, "Mivo: cannot save %s: %s\n", path.c_str(), std::strerror(error));
    }
    failing.insert(path);
    const auto index = static_cast<std::size_t>(problem);
    waiting[index] = waiting[index] || !told[index];
}

void MivoSaveProblems::Saved(const std::string& path)
{
    // Once every file that failed is saved, nothing is left to tell, and a new failure is news.
    if (failing.erase(path) > 0 && failing.empty())
    {
        Clear();
    }
}

WeString MivoSaveProblems::TakeMessage()
{
    for (int32_t i = 0; i < kProblemCount; ++i)
    {
        if (waiting[i])
        {
            waiting[i] = false;
            told[i] = true;
            return MessageKey(static_cast<MivoSaveProblem>(i));
        }
    }
    return WeString();
}

void MivoSaveProblems::Clear()
{
    failing.clear();
    std::fill(std::begin(waiting), std::end(waiting), false);
    std::fill(std::begin(told), std::end(told), false);
}

std::string MivoPlayerFolder()
{
    const std::string documents = win32::GetDocumentsFolder();
    const std::string myGames = win32::GetMyGamesFolder();
    const std::string folder = myGames + "/Mivo";
    // A relative path would put the files in whatever folder the game runs in.
    if (win32::NormalizePath(folder.c_str()).front() != '/')
    {
        saveProblems.Failed(folder, MivoSaveProblem::NoFolder, EINVAL);
        return std::string();
    }
    for (const std::string& step : {documents, myGames, folder})
    {
        errno = 0;
        if (!win32::CreateDirectory(step.c_str()))
        {
            saveProblems.Failed(step, MivoSaveProblem::NoFolder, LastError());
            return std::string();
        }
    }
    return folder;
}

MivoFileStatus MivoReadPlayerFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    FILE* file = win32::OpenFile(path.c_str(), "rb");
    if (!file)
    {
        return errno == ENOENT ? MivoFileStatus::Missing : MivoFileStatus::Failed;
    }
    uint8_t block[4096];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof(block), file)) > 0)
    {
        bytes.insert(bytes.end(), block, block + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
    {
        bytes.clear();
        return MivoFileStatus::Failed;
    }
    return MivoFileStatus::Read;
}

bool MivoWriteTemporaryFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return WriteTemporary(path, bytes) == 0;
}

bool MivoCommitTemporaryFile(const std::string& path)
{
    return CommitTemporary(path) == 0;
}

bool MivoWritePlayerFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    int error = path.empty() ? ENOENT : WriteTemporary(path, bytes);
    if (!error)
    {
        error = CommitTemporary(path);
    }
    if (!error)
    {
        saveProblems.Saved(path);
        return true;
    }
    if (!path.empty())
    {
        win32::DeleteFile(TemporaryPath(path).c_str());
    }
    saveProblems.Failed(path, MivoSaveProblems::ProblemOf(error), error);
    return false;
}

std::string MivoKeepDamagedFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    for (int32_t n = 0; n < kMaxDamagedCopies; ++n)
    {
        const std::string copy = n == 0 ? path + ".bad" : path + "." + std::to_string(n) + ".bad";
        std::vector<uint8_t> kept;
        const MivoFileStatus status = MivoReadPlayerFile(copy, kept);
        if (status == MivoFileStatus::Read && kept == bytes)
        {
            return copy;
        }
        if (status == MivoFileStatus::Missing)
        {
            return MivoWritePlayerFile(copy, bytes) ? copy : std::string();
        }
    }
    return std::string();
}

bool MivoFileReader::Take(void* out, std::size_t count)
{
    if (failed || count > Remaining())
    {
        failed = true;
        std::memset(out, 0, count);
        return false;
    }
    std::memcpy(out, bytes.data() + position, count);
    position += count;
    return true;
}

int32_t MivoFileReader::ReadInt()
{
    uint8_t raw[4];
    Take(raw, sizeof(raw));
    return static_cast<int32_t>(static_cast<uint32_t>(raw[0]) | static_cast<uint32_t>(raw[1]) << 8 |
                                static_cast<uint32_t>(raw[2]) << 16 | static_cast<uint32_t>(raw[3]) << 24);
}

float MivoFileReader::ReadFloat()
{
    const uint32_t bits = static_cast<uint32_t>(ReadInt());
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

uint8_t MivoFileReader::ReadByte()
{
    uint8_t value;
    Take(&value, 1);
    return value;
}

void MivoFileReader::ReadBytes(void* out, std::size_t count)
{
    Take(out, count);
}

WeString MivoFileReader::ReadString()
{
    const uint32_t length = static_cast<uint32_t>(ReadByte()) | static_cast<uint32_t>(ReadByte()) << 8;
    if (failed || length == 0)
    {
        return WeString();
    }
    if (length + 1 > Remaining())
    {
        failed = true;
        return WeString();
    }
    WeString text(reinterpret_cast<const char*>(bytes.data() + position), static_cast<int32_t>(length));
    position += length;
    // A terminator that is not zero means the length does not belong to this string.
    if (ReadByte() != 0)
    {
        failed = true;
        return WeString();
    }
    return text;
}

int32_t MivoFileReader::ReadCount(std::size_t recordSize)
{
    const int32_t count = ReadInt();
    if (count < 0 || static_cast<std::size_t>(count) > Remaining() / (recordSize ? recordSize : 1))
    {
        failed = true;
        return 0;
    }
    return failed ? 0 : count;
}

void MivoFileWriter::WriteInt(int32_t value)
{
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint8_t raw[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                            static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    WriteBytes(raw, sizeof(raw));
}

void MivoFileWriter::WriteFloat(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    WriteInt(static_cast<int32_t>(bits));
}

void MivoFileWriter::WriteByte(uint8_t value)
{
    bytes.push_back(value);
}

void MivoFileWriter::WriteBytes(const void* data, std::size_t count)
{
    const auto* raw = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), raw, raw + count);
}

void MivoFileWriter::WriteString(const WeString& text)
{
    const uint32_t length = text.GetLength() > 0xFFFF ? 0xFFFFu : static_cast<uint32_t>(text.GetLength());
    WriteByte(static_cast<uint8_t>(length));
    WriteByte(static_cast<uint8_t>(length >> 8));
    if (length > 0)
    {
        WriteBytes(text.GetData(), length);
        WriteByte(0);
    }
}
