#include "WeFileSystem.h"

#include "AssetReading.h"
#include "TempFolder.h"
#include "win32/Win32Files.h"

#include <gtest/gtest.h>
#include <set>

namespace
{

using Bytes = std::vector<unsigned char>;

TEST(WeAssetTypeTest, ExtensionsMapBothWaysAndCaseCounts)
{
    for (int32_t value = 1; value < WeAssetTypeCount; ++value)
        EXPECT_EQ(static_cast<int32_t>(WeAssetTypeFromExtension(assetExtensions[value])), value);
    EXPECT_EQ(WeAssetTypeFromExtension("dds"), WeAssetType::Texture);
    EXPECT_EQ(WeAssetTypeFromExtension("ogg"), WeAssetType::Ogg);
    EXPECT_EQ(WeAssetTypeFromExtension("DDS"), WeAssetType::None);
    EXPECT_EQ(WeAssetTypeFromExtension(""), WeAssetType::None);
    EXPECT_EQ(WeAssetTypeFromExtension("md"), WeAssetType::None);
    EXPECT_EQ(WeAssetTypeFromExtension(nullptr), WeAssetType::None);
    EXPECT_STREQ(WeAssetExtension(WeAssetType::Config), "ini");
    EXPECT_STREQ(WeAssetExtension(static_cast<WeAssetType>(18)), "");
    EXPECT_STREQ(WeAssetExtension(static_cast<WeAssetType>(-1)), "");
}

TEST(WeAssetTypeTest, AssetNamesKeepThreeLowerCasedFields)
{
    const WeAssetName full("INGAME.Models.Block_Wall.extra");
    EXPECT_EQ(full.group, "ingame");
    EXPECT_EQ(full.subgroup, "models");
    EXPECT_EQ(full.name, "block_wall");
    const WeAssetName shortName("Sound.Effects");
    EXPECT_EQ(shortName.subgroup, "effects");
    EXPECT_EQ(shortName.name, "");
}

TEST(WeAssetTypeTest, AssetNamesBecomePathsByTheirDots)
{
    EXPECT_EQ(WeAssetNameToPath("Ingame.Models.block_wall"), "Ingame\\Models\\block_wall");
    EXPECT_EQ(WeAssetNameToPath(".a..b."), "\\a\\\\b\\");
    EXPECT_EQ(WeAssetNameToPath("plain"), "plain");
    EXPECT_EQ(WeAssetNameToPath(""), "");
}

class WeFileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = folder / "Packages";
        Add("Ingame/Models/Block_Wall.dds", "texture");
        Add("Ingame/Models/Block_Wall.mesh", "mesh!");
        Add("Ingame/Sounds/hit.ogg", "ogg");
        Add("Config/Main/engine.ini", "[S]\nK=V\n");
        Add("Config/Main/readme.md", "notes");
        Add("Config/.hidden/x.ini", "no");
        Add("Config/Main.old/y.ini", "no");
        Add("Dotted.Group/Main/z.ini", "no");
    }

    void Add(const std::string& relative, const std::string& text)
    {
        const std::string path = root + "/" + relative;
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            win32::CreateDirectory(path.substr(0, slash).c_str());
        TempFolder::WriteBytes(path, Bytes(text.begin(), text.end()));
    }

    std::string Text(const std::string& relative)
    {
        const Bytes bytes = TempFolder::ReadBytes(root + "/" + relative);
        return std::string(bytes.begin(), bytes.end());
    }

    TempFolder folder;
    std::string root;
};

TEST_F(WeFileSystemTest, NamesMatchWithoutRegardToCaseAndOpenTheFileOnDisk)
{
    WeFileSystem files(root.c_str());
    for (const char* name :
         {"Ingame.Models.block_wall", "INGAME.models.Block_Wall", "ingame.MODELS.BLOCK_WALL"})
    {
        ASSERT_TRUE(files.Exists(name, WeAssetType::Texture)) << name;
        ASSERT_TRUE(files.Open(name, WeAssetType::Texture)) << name;
        EXPECT_EQ(ReadOpenAsset(files), (Bytes{'t', 'e', 'x', 't', 'u', 'r', 'e'}));
        EXPECT_TRUE(files.GetStream().Eof());
        EXPECT_TRUE(files.Close());
    }
    EXPECT_FALSE(files.Exists("Ingame.Models.block_wall", WeAssetType::Material));
    EXPECT_FALSE(files.Exists("Ingame.Models", WeAssetType::Texture));
    EXPECT_FALSE(files.Exists("Ingame.Models.block_wall", static_cast<WeAssetType>(40)));
}

TEST_F(WeFileSystemTest, OnlyThreeFieldsCountForLookupsAndPaths)
{
    WeFileSystem files(root.c_str());
    ASSERT_TRUE(files.Open("Ingame.Models.block_wall.lod1", WeAssetType::Mesh));
    EXPECT_EQ(files.GetFileSize(), 5);
    EXPECT_TRUE(files.Delete("ingame.models.BLOCK_WALL.anything", WeAssetType::Mesh));
    EXPECT_FALSE(win32::FileExists((root + "/Ingame/Models/Block_Wall.mesh").c_str()));
}

TEST_F(WeFileSystemTest, UnknownExtensionsCountAsTypeNone)
{
    WeFileSystem files(root.c_str());
    ASSERT_TRUE(files.Open("Config.Main.readme", WeAssetType::None));
    EXPECT_EQ(ReadOpenAsset(files), (Bytes{'n', 'o', 't', 'e', 's'}));
    EXPECT_FALSE(files.Exists("Config.Main.readme", WeAssetType::Text));
}

TEST_F(WeFileSystemTest, ListingsFollowTypesAndSkipHiddenAndDottedFolders)
{
    WeFileSystem files(root.c_str());
    WeList<WeString> list;
    list.PushBack("stale");
    files.GetGroups(list);
    EXPECT_EQ(Names(list), (std::set<std::string>{"Ingame", "Config"}));
    files.GetSubgroups(list, "ingame", WeAssetType::Ogg);
    EXPECT_EQ(Names(list), (std::set<std::string>{"Sounds"}));
    files.GetSubgroups(list, "Ingame", WeAssetType::Texture);
    EXPECT_EQ(Names(list), (std::set<std::string>{"Models"}));
    files.GetSubgroups(list, "Config", WeAssetType::Config);
    EXPECT_EQ(Names(list), (std::set<std::string>{"Main"}));
    files.GetFiles(list, "INGAME", "models", WeAssetType::Mesh);
    EXPECT_EQ(Names(list), (std::set<std::string>{"Block_Wall"}));
    files.GetFiles(list, "Ingame", "Nowhere", WeAssetType::Mesh);
    EXPECT_TRUE(list.IsEmpty());
    files.GetFiles(list, "Ingame", "Models", static_cast<WeAssetType>(18));
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(WeFileSystemTest, FileTimesComeFromTheFile)
{
    WeFileSystem files(root.c_str());
    win32::FindData status;
    ASSERT_TRUE(win32::GetFileStatus((root + "/Ingame/Sounds/hit.ogg").c_str(), &status));
    EXPECT_EQ(files.GetFileTime("Ingame.Sounds.HIT", WeAssetType::Ogg), status.modified);
    EXPECT_EQ(files.GetFileTime("Ingame.Sounds.miss", WeAssetType::Ogg), -1);
}

TEST_F(WeFileSystemTest, DeleteClearsOneTypeAndKeepsTheOthers)
{
    WeFileSystem files(root.c_str());
    EXPECT_TRUE(files.Delete("Ingame.Models.block_wall", WeAssetType::Texture));
    EXPECT_FALSE(files.Exists("Ingame.Models.block_wall", WeAssetType::Texture));
    EXPECT_TRUE(files.Exists("Ingame.Models.block_wall", WeAssetType::Mesh));
    EXPECT_FALSE(files.Delete("Ingame.Models.block_wall", WeAssetType::Texture));
    EXPECT_TRUE(win32::DirectoryExists((root + "/Ingame/Models").c_str()));
}

TEST_F(WeFileSystemTest, OpenWriteRefusesToReplaceWithoutOverwrite)
{
    WeFileSystem files(root.c_str());
    EXPECT_FALSE(files.OpenWrite("ingame.models.block_wall", WeAssetType::Texture, false));
    EXPECT_EQ(Text("Ingame/Models/Block_Wall.dds"), "texture");
    EXPECT_FALSE(files.CloseWrite());

    ASSERT_TRUE(files.OpenWrite("ingame.models.block_wall", WeAssetType::Texture, true));
    EXPECT_FALSE(files.OpenWrite("Ingame.Models.other", WeAssetType::Texture, true));
    files.GetStream().Write("new", 3);
    EXPECT_TRUE(files.CloseWrite());
    EXPECT_FALSE(files.CloseWrite());
    EXPECT_EQ(Text("Ingame/Models/Block_Wall.dds"), "new");
}

TEST_F(WeFileSystemTest, OpenWriteCreatesFoldersAndTheAssetAppears)
{
    WeFileSystem files(root.c_str());
    ASSERT_TRUE(files.OpenWrite("Levels.Quest.city1", WeAssetType::Map, false));
    files.GetStream().WriteInt(42);
    EXPECT_TRUE(files.CloseWrite());
    EXPECT_TRUE(win32::FileExists((root + "/Levels/Quest/city1.map").c_str()));
    ASSERT_TRUE(files.Open("LEVELS.quest.CITY1", WeAssetType::Map));
    EXPECT_EQ(files.GetStream().ReadInt(), 42);

    // A new type of an existing asset is written beside the file the scan found.
    ASSERT_TRUE(files.OpenWrite("ingame.MODELS.block_wall", WeAssetType::Material, false));
    EXPECT_TRUE(files.CloseWrite());
    EXPECT_TRUE(win32::FileExists((root + "/Ingame/Models/Block_Wall.material").c_str()));
    WeList<WeString> list;
    files.GetGroups(list);
    EXPECT_EQ(Names(list), (std::set<std::string>{"Ingame", "Config", "Levels"}));
}

TEST_F(WeFileSystemTest, OpenWriteRefusesNamesThatLeaveTheFolder)
{
    WeFileSystem files(root.c_str());
    EXPECT_FALSE(files.OpenWrite("...x", WeAssetType::Text, true));
    EXPECT_FALSE(files.OpenWrite("Group.Sub", WeAssetType::Text, true));
    EXPECT_FALSE(files.OpenWrite("a/b.c.d", WeAssetType::Text, true));
    EXPECT_FALSE(files.OpenWrite("a.b\\..\\..\\x.d", WeAssetType::Text, true));
    EXPECT_FALSE(win32::FileExists((folder / "x.txt").c_str()));
}

TEST_F(WeFileSystemTest, TheTreeIsReadOnce)
{
    WeFileSystem files(root.c_str());
    EXPECT_TRUE(files.Exists("Config.Main.engine", WeAssetType::Config));
    Add("Config/Main/late.ini", "x");
    EXPECT_FALSE(files.Exists("Config.Main.late", WeAssetType::Config));
}

TEST(WeFileSystemMissingTest, AMissingFolderServesNothing)
{
    TempFolder folder;
    WeFileSystem files((folder / "nothing").c_str());
    WeList<WeString> list;
    files.GetGroups(list);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_FALSE(files.Exists("a.b.c", WeAssetType::Text));
    EXPECT_FALSE(files.Open("a.b.c", WeAssetType::Text));
    EXPECT_EQ(files.GetFileTime("a.b.c", WeAssetType::Text), -1);
    EXPECT_EQ(files.GetFileSize(), 0);
    EXPECT_FALSE(files.Delete("a.b.c", WeAssetType::Text));
}

} // namespace
