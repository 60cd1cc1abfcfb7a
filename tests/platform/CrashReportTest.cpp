#include "dbghelp/DbgHelp.h"
#include "win32/Win32Exception.h"
#include "win32/Win32Window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

void* forbiddenPage = nullptr;

// Touches a page that may not be touched: a real access violation at a known address.
void Fault()
{
    *static_cast<volatile char*>(forbiddenPage) = 1;
}

int32_t WriteReportAndEnd(win32::EXCEPTION_POINTERS* pointers)
{
    const dbghelp::HANDLE file = dbghelp::CreateDumpFile("report.dmp");
    const dbghelp::MINIDUMP_EXCEPTION_INFORMATION exception{win32::GetCurrentThreadId(), pointers, false};
    const bool written = dbghelp::MiniDumpWriteDump(static_cast<int32_t>(getpid()), file,
                                                    dbghelp::MiniDumpWithDataSegs, &exception);
    dbghelp::CloseDumpFile(file);
    return written ? win32::EXCEPTION_EXECUTE_HANDLER : win32::EXCEPTION_CONTINUE_SEARCH;
}

int32_t LeaveItToTheSystem(win32::EXCEPTION_POINTERS*)
{
    return win32::EXCEPTION_CONTINUE_SEARCH;
}

int32_t FaultAgain(win32::EXCEPTION_POINTERS*)
{
    Fault();
    return win32::EXCEPTION_CONTINUE_SEARCH;
}

class CrashReport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/crash-report-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        forbiddenPage = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(forbiddenPage, MAP_FAILED);
    }

    void TearDown() override
    {
        std::remove((folder + "/report.dmp").c_str());
        rmdir(folder.c_str());
        munmap(forbiddenPage, 4096);
    }

    // Runs a child that installs the filter and faults; returns its wait status.
    int CrashChild(win32::LPTOP_LEVEL_EXCEPTION_FILTER filter) const
    {
        const pid_t child = fork();
        if (child == 0)
        {
            if (chdir(folder.c_str()) != 0)
                _exit(2);
            win32::SetUnhandledExceptionFilter(filter);
            dbghelp::WarmUp();
            Fault();
            _exit(3);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return status;
    }

    std::string Report() const
    {
        std::ifstream file(folder + "/report.dmp");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::string folder;
};

TEST_F(CrashReport, AFaultWritesTheSignalTheAddressAndTheBacktraceThenEndsTheProcess)
{
    const int status = CrashChild(WriteReportAndEnd);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);
    const std::string report = Report();
    EXPECT_NE(report.find("Signal: 11 (SIGSEGV)"), std::string::npos) << report;
    EXPECT_NE(report.find("Exception code: 0x00000000C0000005"), std::string::npos) << report;
    char address[32];
    std::snprintf(address, sizeof(address), "Address: 0x%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(forbiddenPage)));
    EXPECT_NE(report.find(address), std::string::npos) << report;
    const size_t backtrace = report.find("Backtrace:\n");
    ASSERT_NE(backtrace, std::string::npos);
    EXPECT_GT(report.size(), backtrace + 12); // at least one frame
}

TEST_F(CrashReport, AFilterThatDeclinesLeavesTheSignalToTheSystem)
{
    const int status = CrashChild(LeaveItToTheSystem);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}

TEST_F(CrashReport, AFaultInsideTheFilterEndsTheProcessAtOnce)
{
    const int status = CrashChild(FaultAgain);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);
}

TEST(CrashDumpFile, AFileThatCannotBeCreatedIsReported)
{
    EXPECT_EQ(dbghelp::CreateDumpFile("/nonexistent-folder/x.dmp"), dbghelp::INVALID_HANDLE_VALUE);
    EXPECT_EQ(dbghelp::CreateDumpFile(nullptr), dbghelp::INVALID_HANDLE_VALUE);
    EXPECT_FALSE(dbghelp::MiniDumpWriteDump(1, dbghelp::INVALID_HANDLE_VALUE, 0, nullptr));
}

} // namespace
