#include "WeDataFile.h"
#include "WeFileSystem.h"
#include "WePackageWriter.h"

#include "core/AssetReading.h"
#include "core/TempFolder.h"
#include "win32/Win32Files.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace
{

using Bytes = std::vector<unsigned char>;

Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// Enough bytes to cross the stream's buffer more than once.
Bytes Pattern()
{
    Bytes bytes(200000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return bytes;
}

// Changes the descrambled bytes of a package file in place.
void Patch(const std::string& path, const std::function<void(Bytes&)>& change)
{
    Bytes bytes = TempFolder::ReadBytes(path);
    WeScrambleBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
    change(bytes);
    WeScrambleBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
    TempFolder::WriteBytes(path, bytes);
}

void PutInt(Bytes& bytes, int64_t at, int64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[static_cast<size_t>(at + i)] =
            static_cast<unsigned char>(static_cast<uint64_t>(value) >> (8 * i));
}

class WeDataFileTest : public ::testing::Test
{
protected:
    // One group "G", one subgroup "S", entries a (ini), b (ogg), B again as sound, empty (txt).
    std::string WriteSmallPackage()
    {
        WePackageWriter writer;
        EXPECT_TRUE(writer.Add("G", "S", "a", WeAssetType::Config, Text("[X]\nY=1\n")));
        EXPECT_TRUE(writer.Add("G", "S", "b", WeAssetType::Ogg, Text("OggS-music")));
        EXPECT_TRUE(writer.Add("g", "s", "B", WeAssetType::Sound, Text("sound")));
        EXPECT_TRUE(writer.Add("G", "S", "empty", WeAssetType::Text, {}));
        EXPECT_TRUE(writer.Add("Ingame", "Models", "block_wall", WeAssetType::Mesh, Text("mesh-bytes")));
        const std::string path = folder / "Packages.dat";
        EXPECT_TRUE(writer.Write(path)) << writer.GetLastError();
        directory = writer.GetDirectoryOffset();
        return path;
    }

    TempFolder folder;
    int64_t directory = 0;
};

TEST_F(WeDataFileTest, ServesWhatTheWriterPacked)
{
    WeDataFile package((folder / "missing.dat").c_str());
    EXPECT_FALSE(package.Exists("G.S.a", WeAssetType::Config));
    const std::string path = WriteSmallPackage();
    WeDataFile files(path.c_str());
    ASSERT_TRUE(files.Open("G.S.a", WeAssetType::Config));
    EXPECT_TRUE(files.IsLoaded());
    EXPECT_EQ(files.GetVersion(), 1);
    EXPECT_EQ(ReadOpenAsset(files), Text("[X]\nY=1\n"));
    EXPECT_TRUE(files.GetStream().Eof());
    ASSERT_TRUE(files.Open("Ingame.Models.block_wall", WeAssetType::Mesh));
    EXPECT_EQ(ReadOpenAsset(files), Text("mesh-bytes"));
    EXPECT_EQ(files.GetFileTime("G.S.a", WeAssetType::Config), 0);
    EXPECT_EQ(files.GetFileTime("G.S.a", WeAssetType::Text), -1);
}

TEST_F(WeDataFileTest, NamesIgnoreCaseAndTypesKeepEntriesApart)
{
    WeDataFile files(WriteSmallPackage().c_str());
    EXPECT_TRUE(files.Exists("INGAME.models.Block_Wall", WeAssetType::Mesh));
    EXPECT_TRUE(files.Exists("ingame.MODELS.block_WALL", WeAssetType::Mesh));
    EXPECT_FALSE(files.Exists("Ingame.Models.block_wall", WeAssetType::Material));
    ASSERT_TRUE(files.Open("g.s.b", WeAssetType::Ogg));
    EXPECT_EQ(ReadOpenAsset(files), Text("OggS-music"));
    ASSERT_TRUE(files.Open("G.S.B", WeAssetType::Sound));
    EXPECT_EQ(ReadOpenAsset(files), Text("sound"));
    EXPECT_FALSE(files.Exists("G.S", WeAssetType::Ogg));
    EXPECT_TRUE(files.Exists("G.S.b.extra", WeAssetType::Ogg));
    EXPECT_FALSE(files.Exists("G.S.b", static_cast<WeAssetType>(99)));
}

TEST_F(WeDataFileTest, ListingsShowStoredNamesByType)
{
    WeDataFile files(WriteSmallPackage().c_str());
    WeList<WeString> list;
    files.GetGroups(list);
    EXPECT_EQ(Names(list), (std::set<std::string>{"G", "Ingame"}));
    files.GetSubgroups(list, "g", WeAssetType::Sound);
    EXPECT_EQ(Names(list), (std::set<std::string>{"S"}));
    files.GetSubgroups(list, "G", WeAssetType::Mesh);
    EXPECT_TRUE(list.IsEmpty());
    files.GetFiles(list, "G", "S", WeAssetType::Ogg);
    EXPECT_EQ(Names(list), (std::set<std::string>{"b"}));
    files.GetFiles(list, "G", "S", WeAssetType::Sound);
    EXPECT_EQ(Names(list), (std::set<std::string>{"B"}));
    files.GetFiles(list, "nothing", "S", WeAssetType::Sound);
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(WeDataFileTest, AnEmptyEntryIsAtItsEndAtOnce)
{
    WeDataFile files(WriteSmallPackage().c_str());
    ASSERT_TRUE(files.Open("G.S.empty", WeAssetType::Text));
    EXPECT_EQ(files.GetFileSize(), 0);
    EXPECT_TRUE(files.GetStream().Eof());
    EXPECT_EQ(files.GetStream().ReadInt(), 0);
}

TEST_F(WeDataFileTest, OpeningAnotherEntryRepositionsTheSharedStream)
{
    WeDataFile files(WriteSmallPackage().c_str());
    ASSERT_TRUE(files.Open("G.S.b", WeAssetType::Ogg));
    WeFileStream& stream = files.GetStream();
    stream.ReadInt();
    ASSERT_TRUE(files.Open("G.S.a", WeAssetType::Config));
    EXPECT_EQ(stream.Tell() + files.GetFileSize(), stream.GetSize());
    // Reading past the entry stops at its end, not in the next entry.
    Bytes bytes(100);
    EXPECT_EQ(stream.Read(bytes.data(), 100), files.GetFileSize());
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Tell(), stream.GetSize());
    ASSERT_TRUE(files.Open("G.S.b", WeAssetType::Ogg));
    EXPECT_EQ(ReadOpenAsset(files), Text("OggS-music"));
    EXPECT_TRUE(files.Close());
    EXPECT_TRUE(stream.IsOpen());
}

TEST_F(WeDataFileTest, WritingIsRefused)
{
    const std::string path = WriteSmallPackage();
    const Bytes before = TempFolder::ReadBytes(path);
    WeDataFile files(path.c_str());
    EXPECT_FALSE(files.OpenWrite("G.S.new", WeAssetType::Text, true));
    EXPECT_FALSE(files.CloseWrite());
    EXPECT_FALSE(files.Delete("G.S.a", WeAssetType::Config));
    EXPECT_TRUE(files.Exists("G.S.a", WeAssetType::Config));
    EXPECT_EQ(TempFolder::ReadBytes(path), before);
}

TEST_F(WeDataFileTest, VersionZeroIsAnEmptyDirectory)
{
    const std::string path = folder / "v0.dat";
    {
        WeFileStream stream;
        stream.SetScrambled(true);
        ASSERT_TRUE(stream.Create(path.c_str()));
        stream.WriteInt(0);
    }
    WeDataFile files(path.c_str());
    WeList<WeString> list;
    files.GetGroups(list);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(files.IsLoaded());
    EXPECT_EQ(files.GetVersion(), 0);
    EXPECT_FALSE(files.Exists("G.S.a", WeAssetType::Config));
}

TEST_F(WeDataFileTest, AMissingPackageIsTriedAgainLater)
{
    const std::string path = folder / "Packages.dat";
    WeDataFile files(path.c_str());
    EXPECT_FALSE(files.Exists("G.S.a", WeAssetType::Config));
    EXPECT_FALSE(files.IsLoaded());
    WriteSmallPackage();
    EXPECT_TRUE(files.Exists("G.S.a", WeAssetType::Config));
    EXPECT_TRUE(files.IsLoaded());
}

TEST_F(WeDataFileTest, DuplicateKeysFindTheFirstAndListBoth)
{
    WePackageWriter writer;
    ASSERT_TRUE(writer.Add("G", "S", "aa", WeAssetType::Text, Text("first")));
    ASSERT_TRUE(writer.Add("G", "S", "ab", WeAssetType::Text, Text("second")));
    const std::string path = folder / "dup.dat";
    ASSERT_TRUE(writer.Write(path));
    Patch(path,
          [&](Bytes& bytes)
          {
              const char needle[] = {2, 0, 'a', 'b', 0};
              auto at =
                  std::search(bytes.begin() + writer.GetDirectoryOffset(), bytes.end(), needle, needle + 5);
              ASSERT_NE(at, bytes.end());
              at[3] = 'A';
              at[2] = 'A';
          });
    WeDataFile files(path.c_str());
    ASSERT_TRUE(files.Open("G.S.aa", WeAssetType::Text));
    EXPECT_EQ(ReadOpenAsset(files), Text("first"));
    WeList<WeString> list;
    files.GetFiles(list, "G", "S", WeAssetType::Text);
    EXPECT_EQ(list.GetCount(), 2);
}

// Damaged packages serve nothing, report why, and never read outside the file.
class WeDataFileDamageTest : public WeDataFileTest
{
protected:
    void ExpectRefused(const std::string& path)
    {
        WeDataFile files(path.c_str());
        EXPECT_FALSE(files.Exists("G.S.a", WeAssetType::Config)) << path;
        EXPECT_FALSE(files.Open("G.S.a", WeAssetType::Config));
        EXPECT_FALSE(files.IsLoaded());
        EXPECT_FALSE(files.GetLastError().IsEmpty());
        WeList<WeString> list;
        files.GetGroups(list);
        EXPECT_TRUE(list.IsEmpty());
    }
    // Directory fields of the small package: group count, the group "G", its subgroup count,
    // "S", the entry count, then the first entry "a": type, offset, size.
    int64_t GroupCount() const { return directory; }
    int64_t SubgroupCount() const { return directory + 8; }
    int64_t EntryCount() const { return directory + 16; }
    int64_t FirstType() const { return directory + 24; }
    int64_t FirstOffset() const { return directory + 28; }
    int64_t FirstSize() const { return directory + 36; }
};

TEST_F(WeDataFileDamageTest, TruncatedAtEveryEighth)
{
    const std::string path = WriteSmallPackage();
    const Bytes whole = TempFolder::ReadBytes(path);
    for (int eighth = 0; eighth < 8; ++eighth)
    {
        const std::string cut = folder / ("cut" + std::to_string(eighth) + ".dat");
        TempFolder::WriteBytes(
            cut, Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() * eighth / 8)));
        ExpectRefused(cut);
    }
    const std::string lastByte = folder / "last.dat";
    TempFolder::WriteBytes(lastByte, Bytes(whole.begin(), whole.end() - 1));
    ExpectRefused(lastByte);
}

TEST_F(WeDataFileDamageTest, AnUnknownTypeIsRefused)
{
    const std::string path = WriteSmallPackage();
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstType(), 99, 4); });
    ExpectRefused(path);
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstType(), -1, 4); });
    ExpectRefused(path);
}

TEST_F(WeDataFileDamageTest, EntriesOutsideTheFileAreRefused)
{
    const std::string path = WriteSmallPackage();
    const auto size = static_cast<int64_t>(TempFolder::ReadBytes(path).size());
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstOffset(), size, 8); });
    ExpectRefused(path);
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstOffset(), -5, 8); });
    ExpectRefused(path);
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstOffset(), INT64_MAX, 8); });
    ExpectRefused(path);
    Patch(path,
          [&](Bytes& bytes)
          {
              PutInt(bytes, FirstOffset(), 12, 8);
              PutInt(bytes, FirstSize(), -1, 4);
          });
    ExpectRefused(path);
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstSize(), size, 4); });
    ExpectRefused(path);
}

TEST_F(WeDataFileDamageTest, ImpossibleCountsAreRefusedAtOnce)
{
    const std::string path = WriteSmallPackage();
    for (int64_t field : {GroupCount(), SubgroupCount(), EntryCount()})
        for (int64_t count : {int64_t{INT32_MAX}, int64_t{-1}, int64_t{INT32_MIN}, int64_t{1000}})
        {
            const Bytes saved = TempFolder::ReadBytes(path);
            Patch(path, [&](Bytes& bytes) { PutInt(bytes, field, count, 4); });
            ExpectRefused(path);
            TempFolder::WriteBytes(path, saved);
        }
}

TEST_F(WeDataFileDamageTest, BadHeadersAreRefused)
{
    const std::string path = WriteSmallPackage();
    const Bytes saved = TempFolder::ReadBytes(path);
    for (int64_t offset : {int64_t{-1}, int64_t{0}, int64_t{11}, int64_t{1} << 40})
    {
        Patch(path, [&](Bytes& bytes) { PutInt(bytes, 4, offset, 8); });
        ExpectRefused(path);
        TempFolder::WriteBytes(path, saved);
    }
    TempFolder::WriteBytes(path, {0x97, 0x96});
    ExpectRefused(path);
}

TEST_F(WeDataFileDamageTest, ARepairedPackageLoadsOnTheNextOperation)
{
    const std::string path = WriteSmallPackage();
    const Bytes good = TempFolder::ReadBytes(path);
    Patch(path, [&](Bytes& bytes) { PutInt(bytes, FirstType(), 99, 4); });
    WeDataFile files(path.c_str());
    EXPECT_FALSE(files.Exists("G.S.a", WeAssetType::Config));
    TempFolder::WriteBytes(path, good);
    EXPECT_TRUE(files.Exists("G.S.a", WeAssetType::Config));
    EXPECT_TRUE(files.GetLastError().IsEmpty());
}

TEST(WePackageWriterTest, PacksAFolderTreeAsTheLooseBackEndSeesIt)
{
    TempFolder folder;
    const std::string root = folder / "Packages";
    for (const char* dir :
         {"", "/Config", "/Config/Main", "/Sound", "/Sound/Effects", "/.git", "/Sound/.svn"})
        ASSERT_TRUE(win32::CreateDirectory((root + dir).c_str()));
    TempFolder::WriteBytes(root + "/Config/Main/engine.ini", Text("[Sound]\nDoppler=0.5\n"));
    TempFolder::WriteBytes(root + "/Config/Main/UI.ini", Text("[Size]\nSrcW=800\n"));
    TempFolder::WriteBytes(root + "/Sound/Effects/mi_bonus.ogg", Pattern());
    TempFolder::WriteBytes(root + "/Sound/Effects/mi_bonus.sound", Text("s"));
    TempFolder::WriteBytes(root + "/Sound/Effects/.keep", Text(""));
    TempFolder::WriteBytes(root + "/.git/x.ini", Text("no"));

    WePackageWriter writer;
    ASSERT_TRUE(writer.AddFolder(root)) << writer.GetLastError();
    EXPECT_EQ(writer.GetEntryCount(), 4u);
    ASSERT_TRUE(writer.Write(folder / "Packages.dat")) << writer.GetLastError();

    WeDataFile package((folder / "Packages.dat").c_str());
    WeFileSystem loose(root.c_str());
    WeList<WeString> packed, found;
    package.GetGroups(packed);
    loose.GetGroups(found);
    EXPECT_EQ(Names(packed), Names(found));
    for (const auto& [group, subgroup, type] :
         {std::tuple{"Config", "Main", WeAssetType::Config}, std::tuple{"Sound", "Effects", WeAssetType::Ogg},
          std::tuple{"Sound", "Effects", WeAssetType::Sound}})
    {
        package.GetFiles(packed, group, subgroup, type);
        loose.GetFiles(found, group, subgroup, type);
        ASSERT_EQ(Names(packed), Names(found));
        for (const WeString& name : packed)
        {
            const WeString assetName = WeString(group) + "." + subgroup + "." + name;
            ASSERT_TRUE(package.Open(assetName, type));
            ASSERT_TRUE(loose.Open(assetName, type));
            EXPECT_EQ(ReadOpenAsset(package), ReadOpenAsset(loose)) << assetName.GetData();
        }
    }
}

TEST(WePackageWriterTest, RefusesWhatTheFormatCannotHold)
{
    WePackageWriter writer;
    EXPECT_TRUE(writer.Add("G", "S", "a", WeAssetType::Text, {}));
    EXPECT_FALSE(writer.Add("g", "s", "A", WeAssetType::Text, {}));
    EXPECT_FALSE(writer.GetLastError().empty());
    EXPECT_TRUE(writer.Add("g", "s", "A", WeAssetType::Ogg, {}));
    EXPECT_FALSE(writer.Add("G", "S", "a.b", WeAssetType::Text, {}));
    EXPECT_FALSE(writer.Add("G", "S", "x", static_cast<WeAssetType>(18), {}));
    EXPECT_FALSE(writer.Add("G", "S", std::string(70000, 'x'), WeAssetType::Text, {}));
    EXPECT_FALSE(writer.AddFile("G", "S", "gone", WeAssetType::Text, "/nonexistent/file") &&
                 writer.Write("/tmp/we_never_written.dat"));
    EXPECT_FALSE(win32::FileExists("/tmp/we_never_written.dat"));
    EXPECT_FALSE(writer.AddFolder("/nonexistent/folder"));
}

// The build packs data/Packages into the Packages.dat beside the executables.
TEST(DefaultPackageTest, TheBuildPackedTheDefaultContent)
{
    const char* data = std::getenv("WE_TEST_DATA");
    ASSERT_NE(data, nullptr);
    WeVirtualFileSystem* files = WeVirtualFileSystem::GetFileSystem();
    ASSERT_NE(files, nullptr);
    WeList<WeString> list;
    files->GetFiles(list, "Config", "Main", WeAssetType::Config);
    EXPECT_TRUE(Names(list).count("engine"));
    EXPECT_TRUE(Names(list).count("UI"));
    WeFileSystem loose((std::string(data) + "/Packages").c_str());
    WeList<WeString> onDisk;
    loose.GetFiles(onDisk, "Config", "Main", WeAssetType::Config);
    EXPECT_EQ(Names(list), Names(onDisk));
    for (const WeString& name : list)
    {
        ASSERT_TRUE(files->Open("Config.Main." + name, WeAssetType::Config));
        ASSERT_TRUE(loose.Open("Config.Main." + name, WeAssetType::Config));
        EXPECT_EQ(ReadOpenAsset(*files), ReadOpenAsset(loose)) << name.GetData();
    }
}

} // namespace
