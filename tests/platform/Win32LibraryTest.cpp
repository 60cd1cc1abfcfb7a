// Libraries loaded while the program runs: system libraries through the loader, the built-in
// physics libraries, the loader's reasons, and the engine's lookup over both.
#include "win32/Win32Library.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

TEST(Win32Library, ASystemLibraryGivesItsFunctionsUntilItIsFreed)
{
    const win32::HMODULE library = win32::LoadLibraryA("libm.so.6");
    ASSERT_TRUE(library) << win32::GetLibraryErrorText();
    const auto cosine = reinterpret_cast<double (*)(double)>(win32::GetProcAddress(library, "cos"));
    ASSERT_TRUE(cosine);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_FALSE(win32::GetProcAddress(library, "NoSuchFunction"));
    win32::FreeLibrary(library);
}

TEST(Win32Library, AFailedLoadKeepsTheLoadersReason)
{
    const struct
    {
        const char* file;
        std::string reason; // what the reason starts with
    } cases[] = {
        {"/no/such/folder/lib.so", "/no/such/folder/lib.so: cannot open"},
        {"libnosuchlibrary.so.9", "libnosuchlibrary.so.9: cannot open"},
    };
    for (const auto& c : cases)
    {
        EXPECT_FALSE(win32::LoadLibraryA(c.file));
        EXPECT_EQ(std::string(win32::GetLibraryErrorText()).rfind(c.reason, 0), 0u)
            << win32::GetLibraryErrorText();
    }
}

TEST(Win32Library, ABuiltInLibraryOutlivesFreeLibrary)
{
    const win32::HMODULE loader = win32::LoadLibraryA("PhysXLoader.dll");
    ASSERT_TRUE(loader);
    win32::FreeLibrary(loader);
    EXPECT_EQ(win32::LoadLibraryA("PhysXLoader.dll"), loader);
    EXPECT_TRUE(win32::GetProcAddress(loader, "NxCreatePhysicsSDK"));
    win32::FreeLibrary(nullptr); // nothing to free
}

TEST(Win32Library, TheEnginesLookupFindsAFunctionOrNothing)
{
    EXPECT_TRUE(WeGetLibraryProc("PhysXLoader.dll", "NxGetUtilLib"));
    EXPECT_TRUE(WeGetLibraryProc("libm.so.6", "sqrt"));
    EXPECT_FALSE(WeGetLibraryProc("PhysXLoader.dll", "NoSuchEntry"));
    EXPECT_FALSE(WeGetLibraryProc("NoSuchLibrary.dll", "NxGetUtilLib"));
    win32::WithholdLibrary("NxCooking.dll", true);
    EXPECT_FALSE(WeGetLibraryProc("NxCooking.dll", "NxInitCooking"));
    win32::WithholdLibrary("NxCooking.dll", false);
}

} // namespace
