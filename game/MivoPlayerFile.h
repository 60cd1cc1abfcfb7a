// The player's files: the folder they live in, whole-file reads and atomic saves, and the
// little-endian record layout they share (int32 words, floats, bytes, and strings as a uint16
// byte length followed, when not 0, by the bytes and one zero byte).
#pragma once

#include "WeString.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// The player folder: the "My Games" folder + "/Mivo", both created when missing. Empty, and the
// problem noted in saveProblems, when a folder cannot be made or the path is not absolute
// (the files would land in the working folder).
std::string MivoPlayerFolder();

// What keeps the player's files from being saved, as the player is told of it.
enum class MivoSaveProblem : uint8_t
{
    NoFolder, // the player folder cannot be made: nothing is saved in this run
    DiskFull, // no room left, or the file may not grow
    ReadOnly, // the folder or the file may not be written
    Failed,   // any other cause
};

// The save problems of the run. Every failed save is written to stderr with its cause; the
// player is told of each cause once while saves keep failing, and again only after every file
// that failed has been saved since.
class MivoSaveProblems
{
public:
    static constexpr int32_t kProblemCount = 4;

    // The problem an errno value stands for.
    static MivoSaveProblem ProblemOf(int error);
    // The localization key of the message that tells the player of the problem.
    static const char* MessageKey(MivoSaveProblem problem);

    // The file (or folder) at path could not be saved (made) for the errno value `error`.
    void Failed(const std::string& path, MivoSaveProblem problem, int error);
    void Saved(const std::string& path);
    // The key of a problem the player has not been told of yet, which then counts as told;
    // empty when none waits.
    WeString TakeMessage();
    // Whether the last save of any file failed.
    bool Failing() const { return !failing.empty(); }
    // As at the start of a run.
    void Clear();

private:
    std::set<std::string> failing; // whose last save failed
    bool waiting[kProblemCount] = {};
    bool told[kProblemCount] = {};
};

extern MivoSaveProblems saveProblems;

// What reading a player file found.
enum class MivoFileStatus
{
    Read,    // the whole file is in the buffer
    Missing, // there is no such file
    Failed   // it exists but cannot be read
};

MivoFileStatus MivoReadPlayerFile(const std::string& path, std::vector<uint8_t>& bytes);
// Writes the bytes beside the file, flushes them to disk and renames them over it, so that a
// failed or interrupted save leaves the old file as it was. False when anything fails (an empty
// path too); the outcome goes to saveProblems.
bool MivoWritePlayerFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The two halves of MivoWritePlayerFile: the bytes into path + ".tmp", on disk; then that file
// renamed over the path. Until the second half runs the old file stays whole.
bool MivoWriteTemporaryFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool MivoCommitTemporaryFile(const std::string& path);
// Keeps the bytes of a file that could not be understood beside it, so that the next save does
// not destroy what a player may still want back: as path + ".bad", or path + ".1.bad", ".2.bad"
// and so on when earlier copies hold other bytes; an earlier copy is never written over. Returns
// the copy's path (an earlier copy of the same bytes counts), empty when none could be kept.
std::string MivoKeepDamagedFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Reads records from a file's bytes. Every read is checked against the end: a read that does
// not fit fails, leaves its target zero and marks the reader failed, and every later read
// fails too, so a caller tests Ok() once after a group of reads.
class MivoFileReader
{
public:
    explicit MivoFileReader(const std::vector<uint8_t>& bytes) : bytes(bytes) {}

    int32_t ReadInt();
    float ReadFloat();
    uint8_t ReadByte();
    void ReadBytes(void* out, std::size_t count);
    WeString ReadString();
    // A count of records of at least `recordSize` bytes each, failing when it is negative or
    // more records than the rest of the file can hold (a damaged count never allocates).
    int32_t ReadCount(std::size_t recordSize);

    // One record field, under the same name as the writer's, so that a single template
    // describes a record's layout for both directions.
    void Field(int32_t& value) { value = ReadInt(); }
    void Field(float& value) { value = ReadFloat(); }
    void Field(uint8_t& value) { value = ReadByte(); }
    void Field(WeString& value) { value = ReadString(); }
    void Fields(uint8_t* values, std::size_t count) { ReadBytes(values, count); }

    bool Ok() const { return !failed; }
    bool AtEnd() const { return position == bytes.size(); }
    std::size_t Remaining() const { return bytes.size() - position; }
    std::size_t Position() const { return position; }

private:
    bool Take(void* out, std::size_t count);

    const std::vector<uint8_t>& bytes;
    std::size_t position = 0;
    bool failed = false;
};

// Builds a file's bytes in the same layout.
class MivoFileWriter
{
public:
    void WriteInt(int32_t value);
    void WriteFloat(float value);
    void WriteByte(uint8_t value);
    void WriteBytes(const void* data, std::size_t count);
    // Strings longer than a uint16 length can say are cut at 65535 bytes.
    void WriteString(const WeString& text);

    void Field(int32_t value) { WriteInt(value); }
    void Field(float value) { WriteFloat(value); }
    void Field(uint8_t value) { WriteByte(value); }
    void Field(const WeString& value) { WriteString(value); }
    void Fields(const uint8_t* values, std::size_t count) { WriteBytes(values, count); }

    const std::vector<uint8_t>& Bytes() const { return bytes; }

private:
    std::vector<uint8_t> bytes;
};
