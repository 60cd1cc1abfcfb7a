#include "MivoPlayerFile.h"

#include "PlayerFileBytes.h"
#include "core/TempFolder.h"
#include "win32/Win32Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
std::vector<uint8_t> Read(const std::string& path)
{
    std::vector<uint8_t> bytes;
    EXPECT_EQ(MivoReadPlayerFile(path, bytes), MivoFileStatus::Read) << path;
    return bytes;
}

TEST(MivoFileReader, ReadsTheLittleEndianLayout)
{
    const std::vector<uint8_t> bytes =
        PlayerFileBytes().Int(-2).Float(1.5f).Byte(7).Str("Ana").Str("").Int(0x01020304).bytes;
    MivoFileReader reader(bytes);
    EXPECT_EQ(reader.ReadInt(), -2);
    EXPECT_EQ(reader.ReadFloat(), 1.5f);
    EXPECT_EQ(reader.ReadByte(), 7);
    EXPECT_TRUE(reader.ReadString() == "Ana");
    EXPECT_TRUE(reader.ReadString().IsEmpty());
    EXPECT_EQ(reader.ReadInt(), 0x01020304);
    EXPECT_TRUE(reader.Ok());
    EXPECT_TRUE(reader.AtEnd());
}

TEST(MivoFileReader, ShortReadsFailAndStayFailed)
{
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6};
    MivoFileReader reader(bytes);
    EXPECT_EQ(reader.ReadInt(), 0x04030201);
    EXPECT_EQ(reader.ReadInt(), 0); // two bytes left: nothing is taken
    EXPECT_FALSE(reader.Ok());
    EXPECT_EQ(reader.ReadByte(), 0); // the reader stays failed
    EXPECT_EQ(reader.Position(), 4u);
}

TEST(MivoFileReader, StringsLongerThanTheFileOrWithoutTheirZeroFail)
{
    const std::vector<uint8_t> longer = PlayerFileBytes().Byte(200).Byte(0).Str("abc").bytes;
    MivoFileReader first(longer);
    EXPECT_TRUE(first.ReadString().IsEmpty());
    EXPECT_FALSE(first.Ok());

    std::vector<uint8_t> unterminated = PlayerFileBytes().Str("abc").Int(0).bytes;
    unterminated[5] = 'x';
    MivoFileReader second(unterminated);
    second.ReadString();
    EXPECT_FALSE(second.Ok());
}

TEST(MivoFileReader, CountsBeyondTheFileFailWithoutAllocating)
{
    for (const int32_t count : {-1, 3, 0x7FFFFFFF, INT32_MIN})
    {
        const std::vector<uint8_t> bytes = PlayerFileBytes().Int(count).Zeros(20).bytes;
        MivoFileReader reader(bytes);
        EXPECT_EQ(reader.ReadCount(10), 0) << count;
        EXPECT_FALSE(reader.Ok()) << count;
    }
    const std::vector<uint8_t> fits = PlayerFileBytes().Int(2).Zeros(20).bytes;
    MivoFileReader reader(fits);
    EXPECT_EQ(reader.ReadCount(10), 2);
    EXPECT_TRUE(reader.Ok());
}

TEST(MivoFileWriter, WritesWhatTheReaderReads)
{
    MivoFileWriter writer;
    writer.WriteInt(INT32_MIN);
    writer.WriteFloat(-0.25f);
    writer.WriteString("Mivo");
    writer.WriteString("");
    EXPECT_EQ(writer.Bytes(), PlayerFileBytes().Int(INT32_MIN).Float(-0.25f).Str("Mivo").Str("").bytes);
}

TEST(MivoFileWriter, OverlongStringsKeepLengthAndBytesInAgreement)
{
    MivoFileWriter writer;
    writer.WriteString(WeString(std::string(70000, 'x').c_str()));
    MivoFileReader reader(writer.Bytes());
    EXPECT_EQ(reader.ReadString().GetLength(), 0xFFFF);
    EXPECT_TRUE(reader.Ok());
    EXPECT_TRUE(reader.AtEnd());
}

TEST(MivoPlayerFiles, MissingFilesAreToldApartFromUnreadableOnes)
{
    TempFolder folder;
    std::vector<uint8_t> bytes;
    EXPECT_EQ(MivoReadPlayerFile(folder / "none.dat", bytes), MivoFileStatus::Missing);
    ::mkdir((folder / "folder.dat").c_str(), 0700);
    EXPECT_EQ(MivoReadPlayerFile(folder / "folder.dat", bytes), MivoFileStatus::Failed);
}

TEST(MivoPlayerFiles, SavesReplaceTheWholeFile)
{
    TempFolder folder;
    const std::string path = folder / "users.dat";
    ASSERT_TRUE(MivoWritePlayerFile(path, std::vector<uint8_t>(100, 1)));
    ASSERT_TRUE(MivoWritePlayerFile(path, {9, 8}));
    EXPECT_EQ(Read(path), std::vector<uint8_t>({9, 8}));
    EXPECT_FALSE(win32::FileExists((path + ".tmp").c_str()));
}

TEST(MivoPlayerFiles, ACrashBeforeTheRenameLeavesTheOldFileWhole)
{
    TempFolder folder;
    const std::string path = folder / "hiscores.dat";
    const std::vector<uint8_t> old = PlayerFileBytes().Int(2).Str("kept").bytes;
    ASSERT_TRUE(MivoWritePlayerFile(path, old));
    ASSERT_TRUE(MivoWriteTemporaryFile(path, {1, 2, 3})); // the program dies here
    EXPECT_EQ(Read(path), old);
    ASSERT_TRUE(MivoWritePlayerFile(path, {4, 5})); // the next save is not hindered by the leftover
    EXPECT_EQ(Read(path), std::vector<uint8_t>({4, 5}));
}

TEST(MivoPlayerFiles, AFailedSaveLeavesTheOldFile)
{
    TempFolder folder;
    const std::string path = folder / "upload.dat";
    ASSERT_TRUE(MivoWritePlayerFile(path, {1}));
    ::mkdir((path + ".tmp").c_str(), 0700); // the temporary file cannot be made
    EXPECT_FALSE(MivoWritePlayerFile(path, {2}));
    EXPECT_EQ(Read(path), std::vector<uint8_t>({1}));
}

TEST(MivoPlayerFiles, DamagedFilesAreKeptBesideThemselvesAndNoCopyIsEverReplaced)
{
    TempFolder folder;
    const std::string path = folder / "users.dat";
    EXPECT_EQ(MivoKeepDamagedFile(path, {7, 7, 7}), path + ".bad");
    EXPECT_EQ(MivoKeepDamagedFile(path, {8}), path + ".1.bad");
    EXPECT_EQ(MivoKeepDamagedFile(path, {9}), path + ".2.bad");
    // The same damage found again is kept already.
    EXPECT_EQ(MivoKeepDamagedFile(path, {8}), path + ".1.bad");
    EXPECT_EQ(Read(path + ".bad"), std::vector<uint8_t>({7, 7, 7}));
    EXPECT_EQ(Read(path + ".1.bad"), std::vector<uint8_t>({8}));
    EXPECT_EQ(Read(path + ".2.bad"), std::vector<uint8_t>({9}));
    EXPECT_FALSE(win32::FileExists((path + ".3.bad").c_str()));
    // A name that cannot be written is no copy.
    EXPECT_EQ(MivoKeepDamagedFile(folder / "none/users.dat", {1}), "");
}

TEST(MivoPlayerFiles, PlayerFolderIsMadeUnderMyGames)
{
    TempFolder home;
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    setenv("HOME", home.path.c_str(), 1);
    const std::string folder = MivoPlayerFolder();
    setenv("HOME", saved.c_str(), 1);
    EXPECT_EQ(folder, win32::NormalizePath((home.path + "/Documents/My Games/Mivo").c_str()));
    EXPECT_TRUE(win32::DirectoryExists(folder.c_str()));
}
} // namespace

// ---- save problems ----

TEST(MivoSaveProblems, EveryCauseOfAFailedWriteIsOneOfTheProblemsThePlayerIsToldOf)
{
    const struct
    {
        int error;
        MivoSaveProblem problem;
    } causes[] = {
        {ENOSPC, MivoSaveProblem::DiskFull}, {EDQUOT, MivoSaveProblem::DiskFull},
        {EFBIG, MivoSaveProblem::DiskFull},  {EACCES, MivoSaveProblem::ReadOnly},
        {EPERM, MivoSaveProblem::ReadOnly},  {EROFS, MivoSaveProblem::ReadOnly},
        {EISDIR, MivoSaveProblem::Failed},   {EIO, MivoSaveProblem::Failed},
        {ENOENT, MivoSaveProblem::Failed},
    };
    for (const auto& cause : causes)
        EXPECT_EQ(MivoSaveProblems::ProblemOf(cause.error), cause.problem) << std::strerror(cause.error);
    std::set<std::string> keys;
    for (int32_t i = 0; i < MivoSaveProblems::kProblemCount; ++i)
        keys.insert(MivoSaveProblems::MessageKey(static_cast<MivoSaveProblem>(i)));
    EXPECT_EQ(keys.size(), static_cast<size_t>(MivoSaveProblems::kProblemCount)) << "one text each";
}

TEST(MivoSaveProblems, EachCauseIsToldOnceWhileSavesFailAndAgainOnlyOnceEveryFileWasSaved)
{
    MivoSaveProblems problems;
    const auto take = [&problems] { return std::string(problems.TakeMessage().GetData()); };
    EXPECT_EQ(take(), "");
    problems.Failed("/p/users.dat", MivoSaveProblem::DiskFull, ENOSPC);
    problems.Failed("/p/options.ini", MivoSaveProblem::DiskFull, ENOSPC);
    problems.Failed("/p/users.dat", MivoSaveProblem::DiskFull, ENOSPC);
    EXPECT_EQ(take(), "UI: Disk full");
    EXPECT_EQ(take(), "") << "once, however many saves failed";
    problems.Failed("/p/hiscores.dat", MivoSaveProblem::ReadOnly, EROFS);
    EXPECT_EQ(take(), "UI: Folder read-only") << "another cause is news";
    // While any file that failed is still not saved, a cause told stays told.
    problems.Saved("/p/users.dat");
    problems.Saved("/p/other.dat");
    problems.Failed("/p/users.dat", MivoSaveProblem::DiskFull, ENOSPC);
    EXPECT_EQ(take(), "");
    EXPECT_TRUE(problems.Failing());
    for (const char* path : {"/p/users.dat", "/p/options.ini", "/p/hiscores.dat"})
        problems.Saved(path);
    EXPECT_FALSE(problems.Failing());
    problems.Failed("/p/users.dat", MivoSaveProblem::DiskFull, ENOSPC);
    EXPECT_EQ(take(), "UI: Disk full") << "the disk filled up again";
    // A failure saved over before it was told is not news any more.
    problems.Failed("/p/options.ini", MivoSaveProblem::Failed, EIO);
    problems.Saved("/p/options.ini");
    problems.Saved("/p/users.dat");
    EXPECT_EQ(take(), "");
}

TEST(MivoSaveProblems, AFolderThatCannotBeMadeIsToldAndGivesNoFolder)
{
    TempFolder home;
    const std::string notAFolder = home / "file";
    TempFolder::WriteBytes(notAFolder, {1});
    const struct
    {
        const char* what;
        std::string home, documents;
    } cases[] = {
        {"a file in the way", notAFolder, notAFolder + "/Documents"},
        {"a relative documents folder", home.path, "Documents"},
    };
    for (const auto& c : cases)
    {
        saveProblems.Clear();
        const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        const char* oldDocuments = std::getenv("XDG_DOCUMENTS_DIR");
        const std::string savedDocuments = oldDocuments ? oldDocuments : "";
        setenv("HOME", c.home.c_str(), 1);
        setenv("XDG_DOCUMENTS_DIR", c.documents.c_str(), 1);
        const std::string folder = MivoPlayerFolder();
        setenv("HOME", oldHome.c_str(), 1);
        if (oldDocuments)
            setenv("XDG_DOCUMENTS_DIR", savedDocuments.c_str(), 1);
        else
            unsetenv("XDG_DOCUMENTS_DIR");
        EXPECT_EQ(folder, "") << c.what;
        EXPECT_EQ(std::string(saveProblems.TakeMessage().GetData()), "UI: No player folder") << c.what;
    }
    EXPECT_FALSE(win32::DirectoryExists("Documents")) << "nothing made in the working folder";
}

TEST(MivoPlayerFiles, AFullDiskIsToldAsSuchAndLeavesTheOldFile)
{
    saveProblems.Clear();
    TempFolder folder;
    const std::string path = folder / "users.dat";
    ASSERT_TRUE(MivoWritePlayerFile(path, {1}));
    // The file beside it is written to a device that is always full.
    ASSERT_EQ(symlink("/dev/full", (path + ".tmp").c_str()), 0);
    EXPECT_FALSE(MivoWritePlayerFile(path, std::vector<uint8_t>(20000, 2)));
    EXPECT_EQ(Read(path), std::vector<uint8_t>({1}));
    EXPECT_EQ(std::string(saveProblems.TakeMessage().GetData()), "UI: Disk full");
    EXPECT_TRUE(saveProblems.Failing());
    ASSERT_TRUE(MivoWritePlayerFile(path, {3})) << "the link went with the failed save";
    EXPECT_FALSE(saveProblems.Failing());
}

// Runs `save` in a child process and gives its exit code (77: it could not be set up).
template <typename Save> int InChild(Save save)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(save());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MivoPlayerFiles, AFileThatMayNotGrowIsToldAsAFullDisk)
{
    TempFolder folder;
    const std::string path = folder / "users.dat";
    ASSERT_TRUE(MivoWritePlayerFile(path, {1}));
    const int code = InChild(
        [&]
        {
            saveProblems.Clear();
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 4096;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 77;
            const bool failed = !MivoWritePlayerFile(path, std::vector<uint8_t>(11290, 2));
            return failed && saveProblems.TakeMessage() == "UI: Disk full" ? 0 : 1;
        });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Read(path), std::vector<uint8_t>({1}));
    EXPECT_FALSE(win32::FileExists((path + ".tmp").c_str()));
}

TEST(MivoPlayerFiles, AFolderThatMayNotBeWrittenIsToldAsSuch)
{
    TempFolder folder;
    const std::string path = folder / "users.dat";
    ASSERT_TRUE(MivoWritePlayerFile(path, {1}));
    ASSERT_EQ(chmod(folder.path.c_str(), 0555), 0);
    const int code = InChild(
        [&]
        {
            saveProblems.Clear();
            // The super-user writes anywhere: the save runs as nobody.
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                return 77;
            const bool failed = !MivoWritePlayerFile(path, {2});
            return failed && saveProblems.TakeMessage() == "UI: Folder read-only" ? 0 : 1;
        });
    chmod(folder.path.c_str(), 0700);
    if (code == 77)
        GTEST_SKIP() << "no user without rights to run the save as";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Read(path), std::vector<uint8_t>({1}));
}
