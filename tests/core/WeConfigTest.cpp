#include "WeConfig.h"
#include "WeVirtualFileSystem.h"

#include "core/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

class ConfigTest : public ::testing::Test
{
protected:
    void SetUp() override { WeConfig::Shutdown(); }
    void TearDown() override
    {
        WeGetConfigListeners().Clear();
        WeConfig::Shutdown();
    }

    static void Load(const char* name, const std::string& text)
    {
        WeConfig::LoadText(name, text.data(), text.size());
    }

    // The stored value text of a key, or "<missing>".
    static std::string Value(const char* key)
    {
        const WeConfigEntry* entry = WeConfig::Find(key, false);
        return entry ? std::string(entry->value.GetData(), static_cast<size_t>(entry->value.GetLength()))
                     : "<missing>";
    }

    static std::vector<std::string> Keys(const char* prefix, bool sorted)
    {
        WeList<WeString> list;
        WeConfig::GetKeys(prefix, list, sorted);
        std::vector<std::string> keys;
        for (const WeString& key : list)
            keys.emplace_back(key.GetData(), static_cast<size_t>(key.GetLength()));
        return keys;
    }
};

// ---------------------------------------------------------------------------------------------
// Grammar

TEST_F(ConfigTest, KeyBeforeTheFirstSectionStoresNothing)
{
    Load("F", "Key=Value\n[S]\nOther=1\n");
    EXPECT_EQ(Keys("F.", false), std::vector<std::string>{"F.S.Other"});
}

TEST_F(ConfigTest, SectionAndKeyOnOneLine)
{
    Load("F", "[S]Key=Value");
    EXPECT_EQ(Value("F.S.Key"), "Value");
}

TEST_F(ConfigTest, BlanksAroundTheEqualsSignAreKept)
{
    Load("F", "[S]\nA = B\n");
    EXPECT_EQ(Value("F.S.A "), " B");
    EXPECT_EQ(Value("F.S.A"), "<missing>");
}

TEST_F(ConfigTest, CommentEndsTheValue)
{
    Load("F", "[S]\nK=V ; note\n");
    EXPECT_EQ(Value("F.S.K"), "V ");
}

TEST_F(ConfigTest, BackslashBeforeALineBreakContinuesTheField)
{
    Load("F", "[S]\nK=one\\\ntwo\nL=three\\\r\nfour\r\nM=x\n");
    EXPECT_EQ(Value("F.S.K"), "onetwo");
    EXPECT_EQ(Value("F.S.L"), "threefour");
    EXPECT_EQ(Value("F.S.M"), "x");
}

TEST_F(ConfigTest, EveryLineEndStyleEndsALine)
{
    Load("F", "[S]\r\nA=1\r\nB=2\nC=3\rD=4\n\nE=5\r\rG=6");
    EXPECT_EQ(Keys("F.", true),
              (std::vector<std::string>{"F.S.A", "F.S.B", "F.S.C", "F.S.D", "F.S.E", "F.S.G"}));
    EXPECT_EQ(Value("F.S.C"), "3");
    EXPECT_EQ(Value("F.S.D"), "4");
    EXPECT_EQ(Value("F.S.G"), "6");
}

TEST_F(ConfigTest, EscapesStandForTheirBytes)
{
    Load("F", "[S]\nLines=a\\nb\\rc\nTab=x\\ty\nSelf=\\\\ \\; \\= \\q\nKey\\=Name=v\n");
    EXPECT_EQ(Value("F.S.Lines"), "a\nb\nc");
    EXPECT_EQ(Value("F.S.Tab"), "x\by");
    EXPECT_EQ(Value("F.S.Self"), "\\ ; = q");
    EXPECT_EQ(Value("F.S.Key=Name"), "v");
}

TEST_F(ConfigTest, EmptyValueIsStoredAndSet)
{
    Load("F", "[S]\nK=\n");
    const WeConfigEntry* entry = WeConfig::Find("F.S.K", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->fromFile);
    EXPECT_TRUE(entry->set);
    EXPECT_TRUE(entry->value.IsEmpty());
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 9), 0);
}

TEST_F(ConfigTest, SectionHeaderOnlyAtTheVeryStartOfALine)
{
    Load("F", "[A]\n [B]\nK=V\n");
    EXPECT_EQ(Value("F.A.K"), "V");
    EXPECT_EQ(Keys("F.", false), std::vector<std::string>{"F.A.K"});
}

TEST_F(ConfigTest, UnclosedHeaderStillNamesTheSection)
{
    Load("F", "[S\nK=V\n");
    EXPECT_EQ(Value("F.S.K"), "V");
}

TEST_F(ConfigTest, OnlyTheFirstEqualsSignSeparates)
{
    Load("F", "[S]\nK=a=b\n=V\n");
    EXPECT_EQ(Value("F.S.K"), "a=b");
    EXPECT_EQ(Keys("F.", false), std::vector<std::string>{"F.S.K"});
}

TEST_F(ConfigTest, LaterLineWins)
{
    Load("F", "[S]\nK=1\nK=2\n");
    EXPECT_EQ(Value("F.S.K"), "2");
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 0), 2);
}

TEST_F(ConfigTest, SectionDoesNotCarryOverToTheNextFile)
{
    Load("F", "[S]\n");
    Load("G", "K=V\n");
    EXPECT_TRUE(Keys("G.", false).empty());
}

TEST_F(ConfigTest, CommentedOutSectionLineLeavesTheSectionAlone)
{
    Load("F", "[A]\nX=1\n;[Old]\nY=2\n; [Old] = junk\nZ=3\n");
    EXPECT_EQ(Keys("F.", true), (std::vector<std::string>{"F.A.X", "F.A.Y", "F.A.Z"}));
}

TEST_F(ConfigTest, CommentAfterAHeaderStoresNothing)
{
    Load("F", "[A] ; a = b\nK ;= v\n");
    EXPECT_TRUE(Keys("F.", false).empty());
}

TEST_F(ConfigTest, BackslashesInACommentChangeNothing)
{
    Load("F", "[S]\nK=V ; C:\\new\nX=1 ; ends in a backslash \\\nY=2\n");
    EXPECT_EQ(Value("F.S.K"), "V ");
    EXPECT_EQ(Value("F.S.X"), "1 ");
    EXPECT_EQ(Value("F.S.Y"), "2");
}

TEST_F(ConfigTest, BackslashAtTheEndOfTheFileStillEndsTheLastLine)
{
    Load("F", "[S]\nK=V\\");
    EXPECT_EQ(Value("F.S.K"), "V");
}

TEST_F(ConfigTest, Utf8AndHighBytesArePreserved)
{
    Load("F", "[Sé]\nNamé=Ωmega\xff\n");
    EXPECT_EQ(Value("F.Sé.Namé"), "Ωmega\xff");
}

TEST_F(ConfigTest, PiecesOfAnySizeParseLikeTheWholeText)
{
    const std::string text = "[S]\r\nA=one\\\r\ntwo\r\n;c\\\r\nB = x ; y\rC=\\t\n[T]D=4";
    Load("Whole", text);
    WeConfigParser parser("Bytes");
    for (char c : text)
        parser.Feed(&c, 1);
    parser.Finish();
    const std::vector<std::string> whole = Keys("Whole.", true);
    const std::vector<std::string> bytes = Keys("Bytes.", true);
    ASSERT_EQ(whole.size(), bytes.size());
    ASSERT_EQ(whole.size(), 4u);
    for (size_t i = 0; i < whole.size(); ++i)
    {
        EXPECT_EQ(whole[i].substr(6), bytes[i].substr(6));
        EXPECT_EQ(Value(whole[i].c_str()), Value(bytes[i].c_str()));
    }
}

TEST_F(ConfigTest, MalformedBytesNeverCrashAndLeaveTheStoreUsable)
{
    std::string junk;
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i)
    {
        state = state * 1103515245u + 12345u;
        const char alphabet[] = {'[', ']', '=', ';', '\\', '\r', '\n', 'a', '\0', '\xff', ' '};
        junk += alphabet[(state >> 16) % sizeof alphabet];
    }
    Load("Junk", junk);
    Load("F", "[S]\nK=V\n");
    EXPECT_EQ(Value("F.S.K"), "V");
}

TEST_F(ConfigTest, LongLinesAreKeptWhole)
{
    const std::string longValue(200000, 'v');
    Load("F", "[S]\nK=" + longValue + "\n" + std::string(300000, 'k') + "\nL=1\n");
    EXPECT_EQ(Value("F.S.K"), longValue);
    EXPECT_EQ(Value("F.S.L"), "1");
}

// ---------------------------------------------------------------------------------------------
// Getters and defaults

TEST_F(ConfigTest, DefaultIsStoredOnlyForANewKey)
{
    EXPECT_EQ(WeConfig::GetInt("T.S.I", 5), 5);
    EXPECT_EQ(WeConfig::GetInt("T.S.I", 7), 5);
    const WeConfigEntry* entry = WeConfig::Find("T.S.I", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->defaultValue, "5");
    EXPECT_TRUE(entry->value.IsEmpty());
    EXPECT_FALSE(entry->fromFile);
}

TEST_F(ConfigTest, FileValueWinsOverTheDefault)
{
    Load("F", "[S]\nI=42\nB=0\nR=2.5\nT=text\n");
    EXPECT_EQ(WeConfig::GetInt("F.S.I", 1), 42);
    EXPECT_FALSE(WeConfig::GetBool("F.S.B", true));
    EXPECT_FLOAT_EQ(WeConfig::GetFloat("F.S.R", 1.0f), 2.5f);
    EXPECT_EQ(WeConfig::GetString("F.S.T", "default"), "text");
}

TEST_F(ConfigTest, NegativeIntDefaultPrintsUnsignedAndReadsBack)
{
    EXPECT_EQ(WeConfig::GetInt("T.S.Neg", -1), -1);
    EXPECT_EQ(WeConfig::Find("T.S.Neg", false)->defaultValue, "4294967295");
    WeConfig::ResetValues("T.S.Neg");
    EXPECT_EQ(WeConfig::GetInt("T.S.Neg", 0), -1);
}

TEST_F(ConfigTest, BoolDefaultsSurviveAReset)
{
    bool* off = &WeConfig::GetBool("T.S.Off", false);
    bool* on = &WeConfig::GetBool("T.S.On", true);
    EXPECT_EQ(WeConfig::Find("T.S.Off", false)->defaultValue, "0");
    EXPECT_EQ(WeConfig::Find("T.S.On", false)->defaultValue, "1");
    WeConfig::ResetValues("T.");
    EXPECT_FALSE(*off);
    EXPECT_TRUE(*on);
}

TEST_F(ConfigTest, FloatDefaultIsWrittenWithSixDecimals)
{
    float* value = &WeConfig::GetFloat("T.S.F", 0.25f);
    EXPECT_EQ(WeConfig::Find("T.S.F", false)->defaultValue, "0.25");
    WeConfig::GetFloat("T.S.Two", 2.0f);
    EXPECT_EQ(WeConfig::Find("T.S.Two", false)->defaultValue, "2.0");
    WeConfig::ResetValues("T.S.F");
    EXPECT_FLOAT_EQ(*value, 0.25f);
}

TEST_F(ConfigTest, StringDefaultBecomesTheValue)
{
    WeString* text = &WeConfig::GetString("T.S.Name", "Arial:20");
    EXPECT_EQ(*text, "Arial:20");
    EXPECT_EQ(WeConfig::Find("T.S.Name", false)->defaultValue, "Arial:20");
    EXPECT_EQ(WeConfig::GetString("T.S.Name", "other"), "Arial:20");
}

TEST_F(ConfigTest, KeyReadAsTextAndThenAsNumberAgrees)
{
    WeConfig::GetString("T.S.Width", "640");
    EXPECT_EQ(WeConfig::GetInt("T.S.Width", 0), 640);
    EXPECT_TRUE(WeConfig::GetBool("T.S.Width", false));
}

TEST_F(ConfigTest, TextThatIsNotANumber)
{
    Load("F", "[S]\nLetters=abc\nWord=false\nFloat=x1\n");
    EXPECT_EQ(WeConfig::GetInt("F.S.Letters", 0), 1122); // letters count as digits
    EXPECT_TRUE(WeConfig::GetBool("F.S.Word", false));
    EXPECT_EQ(WeConfig::GetFloat("F.S.Float", 3.0f), 0.0f);
}

TEST_F(ConfigTest, GetterPointersStayValidAndFollowLaterLoads)
{
    int32_t* value = &WeConfig::GetInt("F.S.I", 1);
    std::string many = "[Many]\n";
    for (int i = 0; i < 5000; ++i)
        many += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    Load("F", many);
    Load("F", "[S]\nI=9\n");
    EXPECT_EQ(value, &WeConfig::GetInt("F.S.I", 1));
    EXPECT_EQ(*value, 9);
}

TEST_F(ConfigTest, FindWithoutCreateLeavesTheStoreAlone)
{
    EXPECT_EQ(WeConfig::Find("T.S.Missing", false), nullptr);
    EXPECT_TRUE(Keys("T.", false).empty());
    WeConfigEntry* entry = WeConfig::Find("T.S.Missing", true);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->set);
    EXPECT_FALSE(entry->fromFile);
    EXPECT_EQ(entry, WeConfig::Find("T.S.Missing", false));
}

TEST_F(ConfigTest, KeysAreCaseSensitive)
{
    Load("F", "[S]\nK=upper\nk=lower\n");
    EXPECT_EQ(Value("F.S.K"), "upper");
    EXPECT_EQ(Value("F.S.k"), "lower");
    EXPECT_EQ(Value("f.S.K"), "<missing>");
}

TEST_F(ConfigTest, ThousandsOfKeysOfEveryLengthFindTheirOwnEntries)
{
    // Lengths across several eight-byte words, keys that share all but their last bytes, and
    // enough of them that the index grows many times.
    std::string text = "[S]\n";
    std::vector<std::string> names;
    for (int i = 0; i < 4000; ++i)
    {
        names.push_back(std::string(static_cast<size_t>(i % 37), 'k') + std::to_string(i));
        text += names.back() + "=" + std::to_string(i) + "\n";
    }
    Load("F", text);
    int wrong = 0;
    for (int i = 0; i < 4000; ++i)
        wrong += WeConfig::GetInt(("F.S." + names[static_cast<size_t>(i)]).c_str(), -1) != i;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(WeConfig::Find("F.S.kkkkkkkkkkkkkkkkkkkk", false), nullptr) << "a prefix of stored keys";
    EXPECT_EQ(WeConfig::Find("F.S.", false), nullptr);
}

TEST_F(ConfigTest, OverrideKeyFromAFileWinsForEveryGetter)
{
    Load("F", "[S]\nK|tarno=7\n");
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 1), 7);
    EXPECT_EQ(WeConfig::GetString("F.S.K", "1"), "7");
    EXPECT_TRUE(WeConfig::GetBool("F.S.K", false));
    EXPECT_EQ(WeConfig::Find("F.S.K", false), nullptr);
}

TEST_F(ConfigTest, OverrideKeyWinsOverThePlainKey)
{
    Load("F", "[S]\nK=3\nK|tarno=7\n");
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 0), 7);
    EXPECT_EQ(WeConfig::Find("F.S.K", false)->value, "3");
    EXPECT_EQ(WeGetConfigOverrideSuffix(), "|tarno");
}

TEST_F(ConfigTest, OverrideKeysAddedAfterALookupWinFromThenOn)
{
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 3), 3);
    Load("F", "[S]\nK|tarno=7\n");
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 3), 7);
    EXPECT_EQ(WeConfig::GetInt("F.S.Later|tarno", 5), 5); // made by a getter, not a file
    EXPECT_EQ(WeConfig::GetInt("F.S.Later", 1), 5);
    EXPECT_EQ(WeConfig::Find("F.S.Later", false), nullptr);
    Load("F", "[S]\nLater=2\nK|tarno|tarno=9\n");
    EXPECT_EQ(WeConfig::GetInt("F.S.Later", 1), 5);
    EXPECT_EQ(WeConfig::GetInt("F.S.K|tarno", 0), 9);
    EXPECT_EQ(WeConfig::GetInt("F.S.K", 0), 7) << "one suffix per lookup";
}

// ---------------------------------------------------------------------------------------------
// Reset and key listing

TEST_F(ConfigTest, ResetBringsBackDefaultsAndEmptiesFileOnlyKeys)
{
    int32_t* withDefault = &WeConfig::GetInt("F.S.A", 5);
    Load("F", "[S]\nA=50\nB=60\n");
    EXPECT_EQ(*withDefault, 50);
    WeConfig::ResetValues("F.S.");
    EXPECT_EQ(*withDefault, 5);
    EXPECT_EQ(Value("F.S.A"), "5");
    EXPECT_EQ(Value("F.S.B"), "");
    EXPECT_EQ(WeConfig::GetInt("F.S.B", 1), 0);
}

TEST_F(ConfigTest, ResetTouchesOnlyKeysThatBeginWithThePrefix)
{
    Load("F", "[S]\nA=1\n[T]\nA=2\n");
    Load("G", "[S]\nA=3\n");
    WeConfig::ResetValues("F.S");
    EXPECT_EQ(Value("F.S.A"), "");
    EXPECT_EQ(Value("F.T.A"), "2");
    EXPECT_EQ(Value("G.S.A"), "3");
}

TEST_F(ConfigTest, KeysSortedByBytes)
{
    Load("F", "[S]\nb=1\na=1\nB=1\na1=1\n\xc3\xa9=1\n");
    EXPECT_EQ(Keys("F.S.", true),
              (std::vector<std::string>{"F.S.B", "F.S.a", "F.S.a1", "F.S.b", "F.S.\xc3\xa9"}));
}

TEST_F(ConfigTest, KeysUnsortedComeInTableOrder)
{
    std::vector<std::string> inserted;
    std::string text = "[S]\n";
    for (int i = 0; i < 300; ++i)
    {
        const std::string key = "K" + std::to_string(i * 7919 % 1000);
        text += key + "=1\n";
        inserted.push_back("F.S." + key);
    }
    Load("F", text);
    std::vector<std::string> expected = inserted;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const std::string& a, const std::string& b)
                     { return WeHashTable<int>::Bucket(a.c_str()) < WeHashTable<int>::Bucket(b.c_str()); });
    EXPECT_EQ(Keys("F.", false), expected);
}

TEST_F(ConfigTest, KeyListingMatchesPrefixBytesAndEmptiesTheList)
{
    Load("F", "[S]\nK=1\n[Sx]\nK=1\n[T]\nK=1\n");
    WeList<WeString> list;
    list.PushBack() = "stale";
    WeConfig::GetKeys("F.S", list, true);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.First(), "F.S.K");
    EXPECT_EQ(list.Last(), "F.Sx.K");
    WeConfig::GetKeys("nothing", list, false);
    EXPECT_TRUE(list.IsEmpty());
}

// Prefixes shorter than, as long as and longer than the eight bytes a listing compares first,
// over keys shorter than the prefix, equal to it and differing only after the eighth byte.
TEST_F(ConfigTest, KeyListingComparesEveryPrefixByte)
{
    Load("Pk", "[A]\nB=1\n[Abcdefgh]\nX=1\n[Abcdefgz]\nX=1\n[Abcdefghij]\nX=1\n");
    const struct
    {
        const char* prefix;
        std::vector<std::string> keys;
    } cases[] = {
        {"", {"Pk.A.B", "Pk.Abcdefgh.X", "Pk.Abcdefghij.X", "Pk.Abcdefgz.X"}},
        {"Pk.A.", {"Pk.A.B"}},
        {"Pk.A.B", {"Pk.A.B"}},
        {"Pk.A.B.", {}},
        {"Pk.Abcd", {"Pk.Abcdefgh.X", "Pk.Abcdefghij.X", "Pk.Abcdefgz.X"}},
        {"Pk.Abcdefg", {"Pk.Abcdefgh.X", "Pk.Abcdefghij.X", "Pk.Abcdefgz.X"}},
        {"Pk.Abcdefgh", {"Pk.Abcdefgh.X", "Pk.Abcdefghij.X"}},
        {"Pk.Abcdefgh.", {"Pk.Abcdefgh.X"}},
        {"Pk.Abcdefghij.X", {"Pk.Abcdefghij.X"}},
        {"Pk.Abcdefghij.Y", {}},
        {"Pk.Abcdefgy", {}},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> found;
        for (const std::string& key : Keys(c.prefix, true))
            if (key.starts_with("Pk."))
                found.push_back(key);
        EXPECT_EQ(found, c.keys) << c.prefix;
    }
}

// ---------------------------------------------------------------------------------------------
// Listeners

struct Heard
{
    std::vector<std::string> keys;
    std::vector<std::string> valuesSeen;
};

void Remember(const WeString& key, void* argument)
{
    Heard* heard = static_cast<Heard*>(argument);
    heard->keys.emplace_back(key.GetData());
    heard->valuesSeen.emplace_back(WeConfig::GetString(key, "").GetData());
}

TEST_F(ConfigTest, ListenersHearChangedValuesUnderTheirPrefix)
{
    Heard heard;
    Value("UI.Size.SrcW"); // the store with the package's files, whose layouts are not this test's
    WeGetConfigListeners().PushBack(WeConfigListener{"UI.Components.", Remember, &heard});
    Load("UI", "[Components]\nMenu=a\n[Size]\nSrcW=800\n");
    EXPECT_EQ(heard.keys, std::vector<std::string>{"UI.Components.Menu"});
    EXPECT_EQ(heard.valuesSeen, std::vector<std::string>{"a"});
    Load("UI", "[Components]\nMenu=a\n");
    EXPECT_EQ(heard.keys.size(), 1u); // unchanged value: nothing to hear
    Load("UI", "[Components]\nMenu=b\n");
    EXPECT_EQ(heard.valuesSeen.back(), "b");
}

TEST_F(ConfigTest, ListenersHearOfALoadOnceItIsOver)
{
    Heard heard;
    WeGetConfigListeners().PushBack(WeConfigListener{"UI.Components.A", Remember, &heard});
    WeGetConfigListeners().PushBack(
        WeConfigListener{"UI.Components.A",
                         [](const WeString&, void* argument)
                         {
                             static_cast<Heard*>(argument)->valuesSeen.emplace_back(
                                 WeConfig::GetString("UI.Components.B", "").GetData());
                         },
                         &heard});
    Load("UI", "[Components]\nA=1\nB=2\n");
    EXPECT_EQ(heard.valuesSeen, (std::vector<std::string>{"1", "2"}));
}

TEST_F(ConfigTest, ListenersHearResetsAfterTheWalk)
{
    Heard heard;
    // Under a prefix of this test's own: the package's layouts hold other components.
    WeConfig::GetString("UI.Components.ListenMenu", "default");
    Load("UI", "[Components]\nListenMenu=file\nListenOnlyFile=x\n");
    WeGetConfigListeners().PushBack(WeConfigListener{"UI.", Remember, &heard});
    WeConfig::ResetValues("UI.Components.Listen");
    std::sort(heard.keys.begin(), heard.keys.end());
    EXPECT_EQ(heard.keys,
              (std::vector<std::string>{"UI.Components.ListenMenu", "UI.Components.ListenOnlyFile"}));
    WeConfig::ResetValues("UI.Components.Listen");
    EXPECT_EQ(heard.keys.size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// Sources

TEST_F(ConfigTest, DiskFileIsLoadedUnderTheNameAsGiven)
{
    TempFolder folder;
    TempFolder::WriteBytes(folder / "options.ini", {'[', 'O', ']', 'K', '=', '4', '\r', '\n'});
    const std::string name = "*" + folder.path + "/options";
    WeConfig::Load(name.c_str());
    EXPECT_EQ(Value((name + ".O.K").c_str()), "4");
}

TEST_F(ConfigTest, DiskFilePathMayUseBackslashes)
{
    TempFolder folder;
    TempFolder::WriteBytes(folder / "opt.ini", {'[', 'O', ']', 'K', '=', '5'});
    std::string name = "*" + folder.path + "\\opt";
    WeConfig::Load(name.c_str());
    EXPECT_EQ(Value((name + ".O.K").c_str()), "5");
}

TEST_F(ConfigTest, MissingSourcesAreSkippedSilently)
{
    WeConfig::Load("*/nonexistent/folder/options");
    WeConfig::Load("$Config.Main.nothing");
    WeConfig::Load("nothing");
    EXPECT_TRUE(Keys("*", false).empty());
    EXPECT_TRUE(Keys("nothing", false).empty());
}

TEST(ExecutableFolder, IsTheFolderOfTheRunningProgram)
{
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
    const WeString& folder = WeGetExecutableFolder();
    EXPECT_EQ(std::string(folder.GetData()), exe.parent_path().string());
    EXPECT_EQ(&folder, &WeGetExecutableFolder());
}

} // namespace

namespace
{

// Values are looked up once and read through the kept reference for the life of the process, so
// a store replaced by Shutdown must not take the memory of those values with it.
TEST_F(ConfigTest, AReferenceKeptAcrossShutdownStillReadsItsLastValue)
{
    Load("Kept", "[A]\nB=41\n");
    const int32_t& kept = WeConfig::GetInt("Kept.A.B", 0);
    WeConfig::Shutdown();
    Load("Kept", "[A]\nB=42\n");
    EXPECT_EQ(kept, 41);
    EXPECT_EQ(WeConfig::GetInt("Kept.A.B", 0), 42);
}

} // namespace
