#include "win32/Win32Files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>

namespace
{

class Win32FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/we_files_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

    void WriteFile(const std::string& path, const std::string& text)
    {
        std::ofstream(win32::NormalizePath(path.c_str()), std::ios::binary) << text;
    }

    std::set<std::string> List(const std::string& pattern)
    {
        std::set<std::string> names;
        win32::FindData data;
        win32::FindHandle handle = win32::FindFirstFile(pattern.c_str(), &data);
        if (!handle)
            return names;
        do
            names.insert(data.name + (data.directory ? "/" : ""));
        while (win32::FindNextFile(handle, &data));
        win32::FindClose(handle);
        return names;
    }

    std::string root;
};

TEST_F(Win32FilesTest, BackslashesBecomeSlashes)
{
    EXPECT_EQ(win32::NormalizePath("Maps\\Level 1\\a.map"), "Maps/Level 1/a.map");
    EXPECT_EQ(win32::NormalizePath(nullptr), "");
}

TEST_F(Win32FilesTest, EnumerationListsFilesAndFoldersWithWildcards)
{
    ASSERT_TRUE(win32::CreateDirectory((root + "\\Group").c_str()));
    WriteFile(root + "/a.ini", "x");
    WriteFile(root + "/B.dds", "yy");
    const std::set<std::string> all = List(root + "\\*");
    EXPECT_TRUE(all.count("Group/"));
    EXPECT_TRUE(all.count("a.ini"));
    EXPECT_TRUE(all.count("B.dds"));
    EXPECT_EQ(List(root + "\\*.ini"), std::set<std::string>{"a.ini"});
}

TEST_F(Win32FilesTest, EnumerationOfAMissingFolderFails)
{
    win32::FindData data;
    EXPECT_EQ(win32::FindFirstFile((root + "\\missing\\*").c_str(), &data), nullptr);
    EXPECT_TRUE(List(root + "/*.nothing").empty());
}

TEST_F(Win32FilesTest, EnumerationReportsSizes)
{
    WriteFile(root + "/five.bin", "12345");
    win32::FindData data;
    win32::FindHandle handle = win32::FindFirstFile((root + "/five.*").c_str(), &data);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(data.name, "five.bin");
    EXPECT_EQ(data.size, 5);
    EXPECT_FALSE(data.directory);
    EXPECT_FALSE(win32::FindNextFile(handle, &data));
    EXPECT_EQ(data.name, "five.bin");
}

TEST_F(Win32FilesTest, CreateDirectoryAcceptsAnExistingFolderButNotAFile)
{
    const std::string folder = root + "\\Packages";
    EXPECT_TRUE(win32::CreateDirectory(folder.c_str()));
    EXPECT_TRUE(win32::CreateDirectory(folder.c_str()));
    EXPECT_TRUE(win32::DirectoryExists(folder.c_str()));
    WriteFile(root + "/plain", "x");
    EXPECT_FALSE(win32::CreateDirectory((root + "\\plain").c_str()));
    EXPECT_FALSE(win32::CreateDirectory((root + "\\no\\such\\parent").c_str()));
}

TEST_F(Win32FilesTest, DeleteFileRemovesFilesButNeverFolders)
{
    WriteFile(root + "/gone.txt", "x");
    ASSERT_TRUE(win32::FileExists((root + "\\gone.txt").c_str()));
    EXPECT_TRUE(win32::DeleteFile((root + "\\gone.txt").c_str()));
    EXPECT_FALSE(win32::FileExists((root + "\\gone.txt").c_str()));
    EXPECT_FALSE(win32::DeleteFile((root + "\\gone.txt").c_str()));

    ASSERT_TRUE(win32::CreateDirectory((root + "/dir").c_str()));
    EXPECT_FALSE(win32::DeleteFile((root + "/dir").c_str()));
    EXPECT_TRUE(win32::DirectoryExists((root + "/dir").c_str()));
    EXPECT_TRUE(win32::RemoveDirectory((root + "/dir").c_str()));
    EXPECT_FALSE(win32::DirectoryExists((root + "/dir").c_str()));
}

TEST_F(Win32FilesTest, StatusGivesSizeTimeAndKind)
{
    WriteFile(root + "/s.dat", "abc");
    win32::FindData data;
    ASSERT_TRUE(win32::GetFileStatus((root + "\\s.dat").c_str(), &data));
    EXPECT_EQ(data.name, "s.dat");
    EXPECT_EQ(data.size, 3);
    EXPECT_GT(data.modified, 0);
    EXPECT_FALSE(data.directory);
    EXPECT_FALSE(win32::GetFileStatus((root + "\\none").c_str(), &data));
    EXPECT_FALSE(win32::FileExists(root.c_str()));
}

TEST_F(Win32FilesTest, OpenFileTakesWindowsPathsAndTextModes)
{
    ASSERT_TRUE(win32::CreateDirectory((root + "\\sub").c_str()));
    FILE* file = win32::OpenFile((root + "\\sub\\t.txt").c_str(), "wt+");
    ASSERT_NE(file, nullptr);
    std::fputs("line\n", file);
    std::fclose(file);
    win32::FindData data;
    ASSERT_TRUE(win32::GetFileStatus((root + "/sub/t.txt").c_str(), &data));
    EXPECT_EQ(data.size, 5);
    EXPECT_EQ(win32::OpenFile((root + "\\sub\\missing").c_str(), "rb"), nullptr);
}

TEST_F(Win32FilesTest, SeekAndTellGoBeyondFourGigabytesOfOffset)
{
    FILE* file = win32::OpenFile((root + "\\sparse").c_str(), "wb+");
    ASSERT_NE(file, nullptr);
    const int64_t far = (int64_t(1) << 32) + 3; // past what a 32-bit offset holds
    ASSERT_EQ(win32::SeekFile(file, far, SEEK_SET), 0);
    EXPECT_EQ(win32::TellFile(file), far);
    std::fputc('x', file);
    ASSERT_EQ(win32::SeekFile(file, -1, SEEK_END), 0);
    EXPECT_EQ(win32::TellFile(file), far);
    EXPECT_EQ(std::fgetc(file), 'x');
    EXPECT_NE(win32::SeekFile(file, -1, SEEK_SET), 0);
    std::fclose(file);
}

TEST_F(Win32FilesTest, AMoveReplacesOnlyWhenAskedAndSaysWhyItFailed)
{
    WriteFile(root + "/new", "new");
    WriteFile(root + "/old", "old");
    const struct
    {
        const char* from;
        uint32_t flags;
        bool moved;
        int error;
    } cases[] = {
        {"\\new", win32::MOVEFILE_WRITE_THROUGH, false, EEXIST},
        {"\\missing", win32::MOVEFILE_REPLACE_EXISTING, false, ENOENT},
        {"\\new", win32::MOVEFILE_REPLACE_EXISTING | win32::MOVEFILE_WRITE_THROUGH, true, 0},
    };
    for (const auto& c : cases)
    {
        errno = 0;
        EXPECT_EQ(win32::MoveFileEx((root + c.from).c_str(), (root + "\\old").c_str(), c.flags), c.moved)
            << c.from;
        EXPECT_EQ(c.moved ? 0 : errno, c.error) << c.from;
    }
    std::ifstream moved(root + "/old");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(moved), {}), "new");
    EXPECT_FALSE(win32::FileExists((root + "/new").c_str()));
}

TEST_F(Win32FilesTest, FlushingThroughLeavesTheBytesInTheFile)
{
    FILE* file = win32::OpenFile((root + "/f").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("abc", file); // still in the stream's buffer
    ASSERT_TRUE(win32::FlushFileBuffers(file));
    win32::FindData data;
    ASSERT_TRUE(win32::GetFileStatus((root + "/f").c_str(), &data));
    EXPECT_EQ(data.size, 3);
    std::fclose(file);
}

TEST_F(Win32FilesTest, ExecutablePathNamesThisProgram)
{
    const std::string& path = win32::GetModuleFileName();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path[0], '/');
    EXPECT_NE(path.find("test_platform"), std::string::npos);
    EXPECT_TRUE(win32::FileExists(path.c_str()));
}

TEST_F(Win32FilesTest, MyGamesFollowsTheXdgDocumentsFolder)
{
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";
    setenv("HOME", root.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    setenv("XDG_CONFIG_HOME", (root + "/cfg").c_str(), 1);
    EXPECT_EQ(win32::GetMyGamesFolder(), root + "/Documents/My Games");

    ASSERT_TRUE(win32::CreateDirectory((root + "/cfg").c_str()));
    WriteFile(root + "/cfg/user-dirs.dirs", "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(win32::GetMyGamesFolder(), root + "/Dokumente/My Games");

    setenv("XDG_DOCUMENTS_DIR", "/elsewhere/docs", 1);
    EXPECT_EQ(win32::GetDocumentsFolder(), "/elsewhere/docs");

    unsetenv("XDG_DOCUMENTS_DIR");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
