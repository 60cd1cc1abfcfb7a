// The configuration store reading the package beside the executable (the build's default
// content, packed from data/Packages).
#include "WeConfig.h"
#include "WeFileStream.h"
#include "WeVirtualFileSystem.h"

#include <gtest/gtest.h>

namespace
{

class ConfigLoadTest : public ::testing::Test
{
protected:
    void SetUp() override { WeConfig::Shutdown(); }
    void TearDown() override { WeConfig::Shutdown(); }
};

TEST_F(ConfigLoadTest, TheFirstReadLoadsTheMainFilesButDebugAndEditor)
{
    ASSERT_TRUE(WeVirtualFileSystem::GetFileSystem()->Exists("Config.Main.debug", WeAssetType::Config));
    EXPECT_EQ(WeConfig::GetInt("UI.Size.SrcW", 1), 800);
    const WeConfigEntry* entry = WeConfig::Find("engine.Sound.Doppler", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->fromFile);
    EXPECT_EQ(entry->value, "0.5");
    EXPECT_EQ(WeConfig::GetFloat("engine.Sound.Doppler", 9.0f), 0.5f);
    EXPECT_EQ(WeConfig::Find("debug.Debugging.FixedTick", false), nullptr);
    WeConfig::Load("debug");
    EXPECT_NE(WeConfig::Find("debug.Debugging.FixedTick", false), nullptr);
}

TEST_F(ConfigLoadTest, EveryMainFileOfThePackageIsRead)
{
    WeList<WeString> files;
    WeVirtualFileSystem::GetFileSystem()->GetFiles(files, "Config", "Main", WeAssetType::Config);
    ASSERT_GE(files.GetCount(), 4);
    WeList<WeString> keys;
    for (const WeString& file : files)
    {
        WeConfig::GetKeys(file + ".", keys, false);
        if (file == "debug")
            EXPECT_TRUE(keys.IsEmpty());
        else
            EXPECT_FALSE(keys.IsEmpty()) << file.GetData();
    }
}

TEST_F(ConfigLoadTest, NamedPackageEntriesKeepTheirNameInTheKeys)
{
    WeConfig::Load("$Config.Main.engine");
    const WeConfigEntry* entry = WeConfig::Find("$Config.Main.engine.Physics.MaxIterations", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->intValue, 8);
    WeConfig::Load("$Config.Main.missing");
    WeConfig::Load("missing");
    WeList<WeString> keys;
    WeConfig::GetKeys("$Config.Main.missing", keys, false);
    EXPECT_TRUE(keys.IsEmpty());
    WeConfig::GetKeys("missing", keys, false);
    EXPECT_TRUE(keys.IsEmpty());
}

TEST_F(ConfigLoadTest, LoadingLeavesNoEntryOpenOnTheSharedStream)
{
    WeVirtualFileSystem* files = WeVirtualFileSystem::GetFileSystem();
    ASSERT_TRUE(files->Open("Config.Main.UI", WeAssetType::Config));
    const int64_t start = files->GetStream().Tell();
    WeConfig::Load("engine");
    ASSERT_TRUE(files->Open("Config.Main.UI", WeAssetType::Config));
    EXPECT_EQ(files->GetStream().Tell(), start);
}

} // namespace
