#include "MivoUserData.h"

#include "PlayerFileBytes.h"
#include "ScoreEntries.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeRandom.h"
#include "core/TempFolder.h"
#include "win32/Win32Files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
class UserDataTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WeSRand(7);
        store.SetFolder(folder.path);
    }

    // A store with one current profile in the given mode.
    MivoUser& Player(int32_t mode, const char* name = "Ana")
    {
        store.CreateUser(name);
        store.gameMode = mode;
        return *store.CurrentUser();
    }

    TempFolder folder;
    MivoUserData store;
};

TEST_F(UserDataTest, ProfilesAreCreatedFoundAndDeleted)
{
    EXPECT_TRUE(store.CreateUser("Ana"));
    EXPECT_TRUE(store.CreateUser("Bo"));
    EXPECT_FALSE(store.CreateUser("Ana"));
    EXPECT_EQ(store.UserCount(), 2);
    EXPECT_TRUE(store.CurrentUser()->name == "Bo");
    EXPECT_EQ(store.CurrentUserIndex(), 1);
    EXPECT_EQ(store.FindUser("An"), nullptr);
    store.DeleteUser("Bo");
    EXPECT_TRUE(store.CurrentUser()->name == "Ana");
    store.DeleteUser("nobody");
    EXPECT_EQ(store.UserCount(), 1);
    store.DeleteUser("Ana");
    EXPECT_EQ(store.UserCount(), 0);
    EXPECT_EQ(store.CurrentUser(), nullptr);
    EXPECT_EQ(store.CurrentUserIndex(), 0);
}

TEST_F(UserDataTest, DeletingAnotherProfileKeepsTheCurrentOne)
{
    store.CreateUser("Ana");
    store.CreateUser("Bo");
    store.DeleteUser("Ana");
    EXPECT_TRUE(store.CurrentUser()->name == "Bo");
    EXPECT_EQ(store.CurrentUserIndex(), 0);
}

TEST_F(UserDataTest, SelectingAndIndexingProfiles)
{
    store.CreateUser("Ana");
    store.CreateUser("Bo");
    EXPECT_TRUE(store.SelectUser("Ana"));
    EXPECT_EQ(store.CurrentUserIndex(), 0);
    EXPECT_FALSE(store.SelectUser("nobody"));
    EXPECT_TRUE(store.CurrentUser()->name == "Ana");
    ASSERT_NE(store.GetUser(1), nullptr);
    EXPECT_TRUE(store.GetUser(1)->name == "Bo");
    EXPECT_EQ(store.GetUser(2), nullptr);
    EXPECT_EQ(store.GetUser(-1), nullptr);
}

TEST_F(UserDataTest, OnlyTypableNamesBecomeProfilesAndTheyComeBackByteForByte)
{
    EXPECT_FALSE(store.CreateUser("An\na"));
    EXPECT_FALSE(store.CreateUser(WeString("A\0b", 3)));
    EXPECT_FALSE(store.CreateUser("tab\there"));
    EXPECT_FALSE(store.CreateUser("del\x7F"));
    const std::string tooLong(MivoUserData::kMaxUserNameBytes + 1, 'x');
    EXPECT_FALSE(store.CreateUser(tooLong.c_str()));
    EXPECT_EQ(store.UserCount(), 0);

    // Fifteen four-byte characters: the longest name the edit box lets through.
    std::string longest;
    for (int32_t i = 0; i < 15; ++i)
        longest += "\xF0\x9F\x98\x80";
    ASSERT_EQ(static_cast<int32_t>(longest.size()), MivoUserData::kMaxUserNameBytes);
    ASSERT_TRUE(store.CreateUser(longest.c_str()));
    ASSERT_TRUE(store.CreateUser("Zo\xC3\xAB"));
    ASSERT_TRUE(store.SaveUsers());
    MivoUserData loaded;
    loaded.SetFolder(folder.path);
    ASSERT_TRUE(loaded.LoadUsers());
    ASSERT_EQ(loaded.UserCount(), 2);
    EXPECT_TRUE(loaded.GetUser(0)->name == longest.c_str());
    EXPECT_TRUE(loaded.CurrentUser()->name == "Zo\xC3\xAB");
}

TEST_F(UserDataTest, ANewProfileIsFresh)
{
    const MivoUser& user = Player(MivoModeQuest);
    EXPECT_EQ(user.skill.lives, 3);
    EXPECT_EQ(user.skill.level, 0);
    EXPECT_EQ(user.quest.difficulty, 0);
    EXPECT_TRUE(
        std::all_of(std::begin(user.mapsPlayed), std::end(user.mapsPlayed), [](uint8_t f) { return !f; }));
    for (int32_t t = 0; t < kMivoTeleportCount; ++t)
    {
        EXPECT_EQ(user.quest.teleports[t].mapId, 20001 + t);
        EXPECT_EQ(user.quest.teleports[t].targetRegion, -1);
        EXPECT_EQ(user.skill.bonusLevels[t].mapId, 20001 + t);
    }
}

TEST_F(UserDataTest, EveryQuestSlotDealsEachMapOfItsRegionAtMostOnce)
{
    const MivoUser& user = Player(MivoModeQuest);
    for (int32_t slot = 1; slot < kMivoRegionCount; ++slot)
    {
        std::set<int32_t> maps;
        for (const MivoQuestCity& city : user.quest.regions[slot])
        {
            EXPECT_EQ(city.key, -1);
            for (const MivoLevelResult& map : city.maps)
            {
                EXPECT_EQ(map.mapId / 1000, slot + 1);
                EXPECT_GE(map.mapId % 1000, 1);
                EXPECT_LE(map.mapId % 1000, 20);
                maps.insert(map.mapId);
            }
        }
        EXPECT_EQ(maps.size(), 20u) << slot;
    }
    EXPECT_EQ(user.quest.regions[2][3].orderNumber, 3);
}

// The first 20 maps of the quest and the ladder come from the configuration.
class RemapTest : public UserDataTest
{
protected:
    void SetUp() override
    {
        UserDataTest::SetUp();
        for (int32_t n = 1; n <= 20; ++n)
        {
            WeString key = "Mivo.Remap.Map1";
            key.AppendInt(n, 3);
            int32_t& value = WeConfig::GetInt(key, 0);
            saved[n - 1] = value;
            value = 5000 + n;
        }
    }
    void TearDown() override
    {
        for (int32_t n = 1; n <= 20; ++n)
        {
            WeString key = "Mivo.Remap.Map1";
            key.AppendInt(n, 3);
            WeConfig::GetInt(key, 0) = saved[n - 1];
        }
    }

    int32_t saved[20] = {};
};

TEST_F(RemapTest, TheFirstQuestSlotAndLadderLevelsHoldTheRemappedMaps)
{
    const MivoUser& user = Player(MivoModeQuest);
    for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
    {
        for (int32_t m = 0; m < kMivoMapsPerCity; ++m)
        {
            EXPECT_EQ(user.quest.regions[0][c].maps[m].mapId, 5001 + 4 * c + m);
        }
    }
    for (int32_t i = 0; i < 20; ++i)
    {
        EXPECT_EQ(user.skill.ladder[i].mapId, 5001 + i);
    }
    EXPECT_EQ(user.skill.ladder[20].mapId / 1000, 2);
}

TEST_F(UserDataTest, NothingIsSavedOnceTheEngineHasShutDown)
{
    store.CreateUser("Ana");
    const bool wasShutDown = engine.shutDown;
    engine.shutDown = true;
    store.SaveUsers();
    engine.shutDown = wasShutDown;
    EXPECT_TRUE(TempFolder::ReadBytes(folder / "users.dat").empty());
    ASSERT_TRUE(store.SaveUsers());
    EXPECT_FALSE(TempFolder::ReadBytes(folder / "users.dat").empty());
}

TEST_F(UserDataTest, TheSkillLadderHoldsEveryMapOfEveryLaterRegionOnce)
{
    const MivoUser& user = Player(MivoModeSkill);
    std::set<int32_t> maps;
    for (int32_t i = 20; i < kMivoLadderLength; ++i)
    {
        EXPECT_EQ(user.skill.ladder[i].mapId / 1000, i / 20 + 1) << i;
        maps.insert(user.skill.ladder[i].mapId);
    }
    EXPECT_EQ(maps.size(), 280u);
}

// The users file of one profile named "Ana" whose every field is 0 but the skill score, the
// lives and the skill level, followed by the current name.
PlayerFileBytes UsersFile(const std::string& current)
{
    PlayerFileBytes file;
    file.Int(24)
        .Int(1)
        .Str("Ana")
        .Zeros(11 + 300 + 5877)
        .Int(1234)
        .Int(2)
        .Int(17)
        .Zeros(5092 - 12)
        .Str(current);
    return file;
}

TEST_F(UserDataTest, UsersFileHasTheRecordLayout)
{
    TempFolder::WriteBytes(folder / "users.dat", UsersFile("Ana").bytes);
    ASSERT_TRUE(store.LoadUsers()) << store.lastError.GetData();
    ASSERT_EQ(store.UserCount(), 1);
    const MivoUser& user = *store.CurrentUser();
    EXPECT_EQ(user.skill.score, 1234);
    EXPECT_EQ(user.skill.lives, 2);
    EXPECT_EQ(user.skill.level, 17);
    ASSERT_TRUE(store.SaveUsers());
    EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat"), UsersFile("Ana").bytes);
}

TEST_F(UserDataTest, ProfilesSurviveARoundTrip)
{
    MivoUser& ana = Player(MivoModeQuest);
    ana.tutorialsSeen[10] = 1;
    ana.mapsPlayed[56] = 1;
    ana.quest.regions[3][2].key = 7002;
    ana.quest.regions[3][2].maps[1].time = 12.5f;
    ana.quest.teleports[4].targetRegion = 9;
    ana.quest.teleports[4].done = 1;
    ana.skill.cubes[8] = 5;
    ana.skill.bonusLevels[14].moves = 99;
    store.CreateUser("");
    store.CreateUser("Bo");
    store.DeleteUser("Bo");
    store.SaveUsers();

    MivoUserData loaded;
    loaded.SetFolder(folder.path);
    ASSERT_TRUE(loaded.LoadUsers());
    ASSERT_EQ(loaded.UserCount(), 2);
    EXPECT_TRUE(loaded.CurrentUser()->name == "Ana"); // the current one went, the first is current
    const MivoUser& back = *loaded.FindUser("Ana");
    EXPECT_EQ(back.tutorialsSeen[10], 1);
    EXPECT_EQ(back.mapsPlayed[56], 1);
    EXPECT_EQ(back.quest.regions[3][2].key, 7002);
    EXPECT_EQ(back.quest.regions[3][2].maps[1].time, 12.5f);
    EXPECT_EQ(back.quest.regions[3][2].maps[1].mapId, ana.quest.regions[3][2].maps[1].mapId);
    EXPECT_EQ(back.quest.teleports[4].targetRegion, 9);
    EXPECT_EQ(back.quest.teleports[4].done, 1);
    EXPECT_EQ(back.skill.cubes[8], 5);
    EXPECT_EQ(back.skill.bonusLevels[14].moves, 99);
    EXPECT_EQ(back.skill.ladder[123].mapId, ana.skill.ladder[123].mapId);
    ASSERT_NE(loaded.FindUser(""), nullptr);
    loaded.SaveUsers();
    EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat").size(), 4u + 4 + (11280 + 6) + (11280 + 2) + 6);
}

TEST_F(UserDataTest, TheStoredCurrentNameChoosesTheCurrentProfile)
{
    PlayerFileBytes file = UsersFile("Nobody");
    TempFolder::WriteBytes(folder / "users.dat", file.bytes);
    ASSERT_TRUE(store.LoadUsers());
    EXPECT_TRUE(store.CurrentUser()->name == "Ana"); // no such profile: the first
    store.CreateUser("Bo");
    store.SaveUsers();
    MivoUserData loaded;
    loaded.SetFolder(folder.path);
    loaded.LoadUsers();
    EXPECT_TRUE(loaded.CurrentUser()->name == "Bo");
}

TEST_F(UserDataTest, MissingOrOlderUsersFilesGiveNoProfiles)
{
    EXPECT_TRUE(store.LoadUsers());
    EXPECT_EQ(store.UserCount(), 0);
    PlayerFileBytes old = UsersFile("Ana");
    old.bytes[0] = 23;
    TempFolder::WriteBytes(folder / "users.dat", old.bytes);
    EXPECT_TRUE(store.LoadUsers());
    EXPECT_EQ(store.UserCount(), 0);
    EXPECT_EQ(store.CurrentUser(), nullptr);
}

TEST_F(UserDataTest, UsersFilesCutAnywhereAreRejectedAndKept)
{
    const std::vector<uint8_t> whole = UsersFile("Ana").bytes;
    const std::size_t profileEnd = whole.size() - 6; // the current name "Ana" follows
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length < profileEnd; length += 1 + length / 256)
        lengths.push_back(length);
    for (std::size_t length = profileEnd - 2; length < whole.size(); ++length)
        lengths.push_back(length);
    for (const std::size_t length : lengths)
    {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        TempFolder::WriteBytes(folder / "users.dat", cut);
        std::remove((folder / "users.dat.bad").c_str()); // the last length's copy, which stays otherwise
        store.CreateUser("stale");
        ASSERT_FALSE(store.LoadUsers()) << length;
        // The profile is kept once it is whole; only the current name was cut.
        const bool whole = length >= profileEnd;
        ASSERT_EQ(store.UserCount(), whole ? 1 : 0) << length;
        EXPECT_EQ(store.CurrentUser() != nullptr, whole) << length;
        EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat.bad"), cut) << length;
    }
    EXPECT_NE(std::string(store.lastError.GetData()).find("damaged"), std::string::npos);
}

TEST_F(UserDataTest, AnUnreadableUsersFileIsLeftAsItIsAndNothingIsSavedOverIt)
{
    ASSERT_TRUE(MakeUnreadable(folder / "users.dat"));
    EXPECT_FALSE(store.LoadUsers());
    EXPECT_EQ(store.UsersFileState(), MivoUsersFile::Unreadable);
    EXPECT_NE(std::string(store.lastError.GetData()).find("Cannot read"), std::string::npos);
    // A profile made in this run is played, never saved, and a second load keeps it.
    ASSERT_TRUE(store.CreateUser("Ana"));
    EXPECT_FALSE(store.SaveUsers());
    EXPECT_FALSE(store.LoadUsers());
    EXPECT_EQ(store.UserCount(), 1);
    store.FinishLevel(3017, 100, 10);
    EXPECT_TRUE(IsStillUnreadable(folder / "users.dat"));
    EXPECT_FALSE(win32::FileExists((folder / "users.dat.bad").c_str()));
}

TEST_F(UserDataTest, CountersOutsideWhatTheGameGivesThemMakeAUsersFileDamaged)
{
    store.CreateUser("Ana");
    ASSERT_TRUE(store.SaveUsers());
    const std::vector<uint8_t> good = TempFolder::ReadBytes(folder / "users.dat");
    // Offsets in the file of one profile named "Ana": the quest part follows the version, the
    // count, the name and the 311 flag bytes; a city takes 74 bytes, a teleport 21.
    constexpr std::size_t quest = 4 + 4 + 6 + 11 + 300, teleports = quest + 12 + 75 * 74;
    constexpr std::size_t skill = teleports + 15 * 21, ladder = skill + 16 + 36;
    struct Counter
    {
        const char* what;
        std::size_t offset;
        int32_t highest, beyond; // beyond: just outside the range (below it when lowest)
    };
    const Counter counters[] = {
        {"quest score", quest, INT32_MAX, -1},
        {"quest difficulty", quest + 4, 3, 4},
        {"teleports done", quest + 8, 15, 16},
        {"city key", quest + 12, 14004, 14005},
        {"city order", quest + 18, 4, 5},
        {"teleport target", teleports, 14, 15},
        {"teleport moves", teleports + 13, 0, -1},
        {"skill score", skill, INT32_MAX, -2},
        {"lives", skill + 4, 118, 119},
        {"skill level", skill + 8, 299, 300},
        {"bonus levels done", skill + 12, 15, 16},
        {"cube stock 9", skill + 48, 300, 301},
        {"ladder moves", ladder + 8, 0, -1},
    };
    for (const Counter& counter : counters)
    {
        for (const bool inRange : {true, false})
        {
            std::vector<uint8_t> bytes = good;
            const uint32_t value = static_cast<uint32_t>(inRange ? counter.highest : counter.beyond);
            for (int i = 0; i < 4; ++i)
                bytes[counter.offset + i] = static_cast<uint8_t>(value >> (8 * i));
            TempFolder::WriteBytes(folder / "users.dat", bytes);
            EXPECT_EQ(store.LoadUsers(), inRange) << counter.what << " " << inRange;
            EXPECT_EQ(store.UserCount(), inRange ? 1 : 0) << counter.what;
            const bool named =
                std::string(store.lastError.GetData()).find("out of range") != std::string::npos;
            EXPECT_EQ(named, !inRange) << counter.what;
        }
    }
}

// Three profiles, Cy current, their file's bytes and where each profile begins.
struct ThreeProfiles
{
    std::vector<uint8_t> bytes;
    std::size_t starts[3];
};

ThreeProfiles SaveThreeProfiles(MivoUserData& store, const std::string& folder)
{
    for (const char* name : {"Ana", "Bo", "Cy"})
        store.CreateUser(name);
    EXPECT_TRUE(store.SaveUsers());
    // A profile is 11280 bytes and its name: 6 for "Ana", 5 for the others.
    ThreeProfiles file{TempFolder::ReadBytes(folder + "/users.dat"), {8, 8 + 11286, 8 + 11286 + 11285}};
    return file;
}

std::vector<std::string> Names(const MivoUserData& store)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < store.UserCount(); ++i)
        names.push_back(store.GetUser(i)->name.GetData());
    return names;
}

TEST_F(UserDataTest, ADamagedProfileCostsOnlyItselfAndIsNamed)
{
    const ThreeProfiles file = SaveThreeProfiles(store, folder.path);
    // Bo's lives, beyond what a game can give.
    std::vector<uint8_t> bytes = file.bytes;
    const std::size_t lives = file.starts[1] + 5 + 311 + 12 + 75 * 74 + 15 * 21 + 4;
    ASSERT_EQ(IntAt(bytes, lives), 3);
    bytes[lives] = 200;
    TempFolder::WriteBytes(folder / "users.dat", bytes);

    MivoUserData loaded;
    loaded.SetFolder(folder.path);
    EXPECT_FALSE(loaded.LoadUsers());
    EXPECT_EQ(loaded.UsersFileState(), MivoUsersFile::Damaged);
    EXPECT_EQ(Names(loaded), std::vector<std::string>({"Ana", "Cy"}));
    EXPECT_TRUE(loaded.CurrentUser()->name == "Cy");
    ASSERT_EQ(loaded.LostProfiles().size(), 1u);
    EXPECT_TRUE(loaded.LostProfiles()[0] == "Bo");
    EXPECT_FALSE(loaded.UnnamedProfilesLost());
    EXPECT_NE(std::string(loaded.lastError.GetData()).find("lost: Bo"), std::string::npos);
    EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat.bad"), bytes);
    // The next save keeps those that were read; the copy stays.
    ASSERT_TRUE(loaded.SaveUsers());
    MivoUserData next;
    next.SetFolder(folder.path);
    EXPECT_TRUE(next.LoadUsers());
    EXPECT_EQ(Names(next), std::vector<std::string>({"Ana", "Cy"}));
    EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat.bad"), bytes);
}

TEST_F(UserDataTest, AProfileCutOrShiftedEndsWhatIsReadAndWhatReadCleanlyStays)
{
    const ThreeProfiles file = SaveThreeProfiles(store, folder.path);
    const std::size_t bo = file.starts[1], currentName = file.starts[2] + 11285;
    const struct
    {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        std::vector<std::string> kept, lost;
        bool unnamedLost;
        const char* current;
    } cases[] = {
        {"cut inside Bo",
         [&](std::vector<uint8_t>& b) { b.resize(bo + 4000); },
         {"Ana"},
         {"Bo"},
         true,
         "Ana"},
        {"Bo's length too long", [&](std::vector<uint8_t>& b) { b[bo] = 200; }, {"Ana"}, {}, true, "Ana"},
        {"Bo's length too short", [&](std::vector<uint8_t>& b) { b[bo] = 1; }, {"Ana"}, {}, true, "Ana"},
        {"cut in the current name",
         [&](std::vector<uint8_t>& b) { b.resize(currentName + 3); },
         {"Ana", "Bo", "Cy"},
         {},
         false,
         "Ana"},
        {"bytes after the end",
         [&](std::vector<uint8_t>& b) { b.insert(b.end(), 40, 7); },
         {"Ana", "Bo", "Cy"},
         {},
         true,
         "Ana"},
    };
    for (const auto& c : cases)
    {
        std::vector<uint8_t> bytes = file.bytes;
        c.damage(bytes);
        TempFolder::WriteBytes(folder / "users.dat", bytes);
        std::remove((folder / "users.dat.bad").c_str());
        MivoUserData loaded;
        loaded.SetFolder(folder.path);
        EXPECT_FALSE(loaded.LoadUsers()) << c.what;
        EXPECT_EQ(Names(loaded), c.kept) << c.what;
        std::vector<std::string> lost;
        for (const WeString& name : loaded.LostProfiles())
            lost.push_back(name.GetData());
        EXPECT_EQ(lost, c.lost) << c.what;
        EXPECT_EQ(loaded.UnnamedProfilesLost(), c.unnamedLost) << c.what;
        ASSERT_NE(loaded.CurrentUser(), nullptr) << c.what;
        EXPECT_TRUE(loaded.CurrentUser()->name == c.current) << c.what;
        EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat.bad"), bytes) << c.what;
    }
}

TEST_F(UserDataTest, ProfilesThatCouldNotBeSavedStayAndAreSavedAtTheNextSavePoint)
{
    store.CreateUser("Ana");
    ASSERT_TRUE(store.SaveUsers());
    const std::string blocker = folder / "users.dat.tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0); // the file beside it cannot be made
    store.CreateUser("Bo");
    EXPECT_FALSE(store.SaveUsers());
    // The users screen reloads the file on entering: what could not be saved stays.
    EXPECT_TRUE(store.LoadUsers());
    EXPECT_EQ(Names(store), std::vector<std::string>({"Ana", "Bo"}));
    const auto atRestart = [&]
    {
        MivoUserData next;
        next.SetFolder(folder.path);
        EXPECT_TRUE(next.LoadUsers());
        return Names(next);
    };
    EXPECT_EQ(atRestart(), std::vector<std::string>({"Ana"})) << "what was saved before";

    ASSERT_EQ(rmdir(blocker.c_str()), 0);
    EXPECT_TRUE(store.LoadUsers()) << "the next save point";
    EXPECT_EQ(atRestart(), std::vector<std::string>({"Ana", "Bo"}));
    EXPECT_TRUE(store.SaveWhatIsOwed());
}

TEST_F(UserDataTest, FreedProfilesOrAnotherFolderAreOwedNothing)
{
    store.CreateUser("Ana");
    ASSERT_TRUE(store.SaveUsers());
    const std::string blocker = folder / "users.dat.tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    store.CreateUser("Bo");
    EXPECT_FALSE(store.SaveUsers());
    store.FreeAll();
    ASSERT_EQ(rmdir(blocker.c_str()), 0);
    EXPECT_TRUE(store.LoadUsers());
    EXPECT_EQ(Names(store), std::vector<std::string>({"Ana"})) << "read again, not saved over empty";

    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    EXPECT_FALSE(store.SaveUsers());
    TempFolder other;
    store.SetFolder(other.path);
    EXPECT_TRUE(store.LoadUsers());
    EXPECT_EQ(store.UserCount(), 0);
    EXPECT_FALSE(win32::FileExists((other / "users.dat").c_str()));
}

TEST_F(UserDataTest, ScoresThatCouldNotBeSavedOutliveTheWorldListsAndAreSavedLater)
{
    ASSERT_TRUE(store.AddGameScore(Score("Ana", 300, 2)));
    const std::string blocker = folder / "hiscores.dat.tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    EXPECT_FALSE(store.AddGameScore(Score("Bo", 500, 2)));
    // The world lists fill the same tables; the local view loads the local ones back.
    store.FillQuestScores(WeString("x\x01Zed\x02") + "900\x02" + "2\x02" + "4");
    ASSERT_EQ(store.TopScore(1, 2), 900);
    EXPECT_TRUE(store.LoadScores());
    EXPECT_EQ(store.TopScore(1, 2), 500);
    EXPECT_EQ(store.scores.questTables[1].size(), 2u);
    const auto topAtRestart = [&]
    {
        MivoUserData next;
        next.SetFolder(folder.path);
        EXPECT_TRUE(next.LoadScores());
        return next.TopScore(1, 2);
    };
    EXPECT_EQ(topAtRestart(), 300);

    ASSERT_EQ(rmdir(blocker.c_str()), 0);
    EXPECT_TRUE(store.SaveWhatIsOwed());
    EXPECT_EQ(topAtRestart(), 500);
}

TEST_F(UserDataTest, WithoutAFolderProfilesAndScoresLiveInMemoryAndNothingIsWritten)
{
    MivoUserData nowhere;
    nowhere.SetFolder("");
    EXPECT_TRUE(nowhere.LoadUsers());
    ASSERT_TRUE(nowhere.CreateUser("Ana"));
    EXPECT_FALSE(nowhere.SaveUsers());
    EXPECT_TRUE(nowhere.LoadUsers());
    EXPECT_EQ(nowhere.UserCount(), 1);
    EXPECT_FALSE(nowhere.AddGameScore(Score("Ana", 300, 2)));
    EXPECT_TRUE(nowhere.LoadScores());
    EXPECT_EQ(nowhere.TopScore(1, 2), 300);
    EXPECT_FALSE(nowhere.SaveWhatIsOwed());
    for (const char* name : {"/users.dat", "/hiscores.dat", "/upload.dat", "users.dat", ".tmp"})
        EXPECT_FALSE(win32::FileExists(name)) << name;
}

TEST_F(UserDataTest, ScoreSumsStopAtTheLargestScoreInsteadOfWrapping)
{
    MivoUser& user = Player(MivoModeSkill);
    user.skill.score = INT32_MAX - 5;
    store.levelScore = 1000;
    store.FinishLevel(user.skill.ladder[0].mapId, 100, 10);
    EXPECT_EQ(user.skill.score, INT32_MAX);
    // The end of the ladder with every stock and life a file may hold.
    user.skill.level = kMivoLadderLength - 1;
    user.skill.lives = 118;
    std::fill(std::begin(user.skill.cubes), std::end(user.skill.cubes), kMivoLadderLength);
    store.FinishLevel(user.skill.ladder[kMivoLadderLength - 1].mapId, 100, 10);
    EXPECT_TRUE(store.gameComplete);
    EXPECT_EQ(store.cubeBonus, 9 * 300 * 100000 + 100000); // the awarded cube counts too
    EXPECT_EQ(store.finalScore, INT32_MAX);
    // A quest city run on top of a quest score at the top.
    MivoUser& quester = Player(MivoModeQuest, "Bo");
    quester.quest.score = INT32_MAX - 1;
    store.ChooseRegion(0);
    store.SelectCity(0);
    store.levelScore = INT32_MAX;
    for (int32_t map = 0; map < kMivoMapsPerCity - 1; ++map)
        store.FinishLevel(1001 + map, 100, 10);
    EXPECT_EQ(store.cityRunPoints, INT32_MAX);
    store.FinishLevel(1004, 100, 10);
    EXPECT_EQ(quester.quest.score, INT32_MAX);
}

TEST_F(UserDataTest, ADamagedProfileCountCostsNoProfileThatIsThere)
{
    const struct
    {
        int32_t count;
        bool moreSaid; // the file speaks of profiles that are not in it
    } counts[] = {{2, false}, {0x7FFFFFFF, false}, {-5, false}};
    for (const auto& damage : counts)
    {
        PlayerFileBytes file = UsersFile("Ana");
        for (int i = 0; i < 4; ++i)
        {
            file.bytes[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(damage.count) >> (8 * i));
        }
        TempFolder::WriteBytes(folder / "users.dat", file.bytes);
        std::remove((folder / "users.dat.bad").c_str());
        EXPECT_FALSE(store.LoadUsers()) << damage.count;
        EXPECT_EQ(store.UsersFileState(), MivoUsersFile::Damaged) << damage.count;
        ASSERT_EQ(store.UserCount(), 1) << damage.count;
        EXPECT_EQ(store.CurrentUser()->skill.score, 1234) << damage.count;
        EXPECT_TRUE(store.LostProfiles().empty()) << damage.count;
        EXPECT_EQ(store.UnnamedProfilesLost(), damage.moreSaid) << damage.count;
        EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat.bad"), file.bytes) << damage.count;
    }
}

TEST_F(UserDataTest, FinishingALadderMapMarksItPlayed)
{
    const MivoUser& user = Player(MivoModePractice);
    store.FinishLevel(3017, 100, 10);
    EXPECT_EQ(user.mapsPlayed[56], 1);
    store.FinishLevel(20003, 100, 10);
    EXPECT_EQ(std::count(std::begin(user.mapsPlayed), std::end(user.mapsPlayed), 1), 1);
}

TEST_F(UserDataTest, WithoutAProfileBookingsChangeNothing)
{
    store.gameMode = MivoModeSkill;
    store.FinishLevel(3017, 100, 10);
    store.BeginLevel(false);
    store.EndGame();
    store.CheckSkillBonusLevel();
    EXPECT_EQ(store.SkillMapId(), 0);
    EXPECT_EQ(store.QuestMapId(), 0);
    EXPECT_EQ(store.CityState(0), PLACE_ABSENT);
}

TEST_F(UserDataTest, SkillLevelBonusesAndTheAwardedCube)
{
    MivoUser& user = Player(MivoModeSkill);
    store.levelScore = 500;
    store.moves = 4;
    const int32_t mapId = user.skill.ladder[0].mapId;
    store.FinishLevel(mapId, 60.0f, 20.5f);
    EXPECT_EQ(store.timeBonus, 390);
    EXPECT_EQ(store.movesBonus, 2500);
    EXPECT_EQ(store.totalBonus, 2890);
    EXPECT_EQ(user.skill.score, 3390);
    ASSERT_GE(store.awardedCube, 1);
    ASSERT_LE(store.awardedCube, 9);
    EXPECT_EQ(user.skill.cubes[store.awardedCube - 1], 1);
    EXPECT_EQ(user.skill.level, 1);
    EXPECT_EQ(user.skill.ladder[0].bonus, 2890);
    EXPECT_EQ(user.skill.ladder[0].moves, 4);
    EXPECT_EQ(user.skill.ladder[0].time, 20.5f);
    EXPECT_EQ(user.skill.ladder[0].mapId, mapId);
    EXPECT_EQ(store.lastLevelResult.bonus, 2890);
}

TEST_F(UserDataTest, UsedCubesCutTheBonuses)
{
    // Cube kind, then the expected time and moves bonus for 390 and 2500, and the block points.
    const int32_t expected[10][3] = {{390, 2500, 500}, {312, 2500, 500}, {234, 2500, 500}, {117, 2500, 500},
                                     {195, 1250, 500}, {117, 1250, 500}, {390, 2500, 500}, {0, 0, 500},
                                     {0, 2500, 500},   {0, 0, 0}};
    for (int32_t cube = 0; cube <= 9; ++cube)
    {
        MivoUserData fresh;
        fresh.SetFolder(folder.path);
        fresh.CreateUser("x");
        fresh.gameMode = MivoModeSkill;
        fresh.levelScore = 500;
        fresh.moves = 4;
        fresh.usedCube = cube;
        fresh.FinishLevel(1001, 60.0f, 20.5f);
        EXPECT_EQ(fresh.timeBonus, expected[cube][0]) << cube;
        EXPECT_EQ(fresh.movesBonus, expected[cube][1]) << cube;
        EXPECT_EQ(fresh.CurrentUser()->skill.score,
                  expected[cube][0] + expected[cube][1] + expected[cube][2]);
        EXPECT_EQ(fresh.usedCube, 0);
    }
}

TEST_F(UserDataTest, TheLastLadderLevelEndsTheGameWithCubeAndLifeBonuses)
{
    MivoUser& user = Player(MivoModeSkill);
    user.skill.level = 299;
    user.skill.lives = 2;
    user.skill.cubes[0] = 3; // the level awards the fourth
    user.skill.score = 10;
    store.moves = 0;
    store.FinishLevel(user.skill.ladder[299].mapId, 10.0f, 10.0f);
    EXPECT_TRUE(store.gameComplete);
    EXPECT_EQ(store.cubeSum, 4);
    EXPECT_EQ(store.cubeBonus + store.livesBonus, 2400000);
    EXPECT_EQ(store.finalScore, 10 + 2400000);
    EXPECT_EQ(store.finalLevel, 300);
    EXPECT_EQ(user.skill.level, 0);
    EXPECT_EQ(user.skill.lives, 3);
    EXPECT_EQ(user.skill.score, 0);
}

TEST_F(UserDataTest, LosingTheLastLifeEndsTheSkillGame)
{
    MivoUser& user = Player(MivoModeSkill);
    user.skill.level = 40;
    user.skill.score = 77;
    store.BeginLevel(false);
    store.BeginLevel(true);
    EXPECT_EQ(user.skill.lives, 2);
    store.BeginLevel(false);
    EXPECT_FALSE(store.outOfLives);
    store.BeginLevel(false);
    EXPECT_TRUE(store.outOfLives);
    EXPECT_EQ(store.finalScore, 77);
    EXPECT_EQ(store.finalLevel, 40);
    EXPECT_EQ(user.skill.lives, 3);
}

TEST_F(UserDataTest, BonusLevelsAreDueEvery15LevelsFrom50WhileBonusMapsLast)
{
    MivoUser& user = Player(MivoModeSkill);
    user.skill.level = 49;
    store.CheckSkillBonusLevel();
    EXPECT_EQ(store.bonusIndex, -1);
    user.skill.level = 65;
    user.skill.bonusLevelsDone = 1;
    store.CheckSkillBonusLevel();
    EXPECT_EQ(store.bonusIndex, 1);
    EXPECT_EQ(store.SkillMapId(), 20002);
    store.FinishLevel(20002, 60, 10);
    EXPECT_EQ(store.bonusIndex, -1);
    EXPECT_EQ(user.skill.bonusLevelsDone, 2);
    EXPECT_EQ(user.skill.lives, 4);
    user.skill.level = 50 + 15 * 15;
    user.skill.bonusLevelsDone = 15;
    store.CheckSkillBonusLevel();
    EXPECT_EQ(store.bonusIndex, -1); // no sixteenth bonus map
}

// Quest: a region chosen for slot 0 and city 1 selected.
class QuestTest : public UserDataTest
{
protected:
    void SetUp() override
    {
        UserDataTest::SetUp();
        user = &Player(MivoModeQuest);
        user->quest.difficulty = 3;
        store.regionSlot = 0;
        store.ChooseRegion(6);
        store.SelectCity(6000);
    }

    // The points the city's four maps made.
    int32_t PlayCity()
    {
        int32_t points = 0;
        for (int32_t m = 0; m < kMivoMapsPerCity; ++m)
        {
            store.levelScore = 10;
            store.moves = 5;
            store.FinishLevel(store.QuestMapId(), 0, 50.0f);
            points += 10 + store.totalBonus;
        }
        return points;
    }

    MivoUser* user = nullptr;
};

TEST_F(QuestTest, ChoosingARegionKeysItsCitiesAndOpensOne)
{
    int32_t open = 0;
    for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
    {
        EXPECT_EQ(user->quest.regions[0][c].key, 6000 + c);
        open += user->quest.regions[0][c].open;
    }
    EXPECT_EQ(open, 1);
    EXPECT_EQ(store.CityKey(6003), 3);
    EXPECT_EQ(store.CityState(6000) == PLACE_OPEN || store.CityState(6000) == PLACE_LOCKED, true);
    EXPECT_EQ(store.CityState(12345), PLACE_ABSENT);
    store.ChooseRegion(2); // slot 0 is taken: slot 1
    EXPECT_EQ(user->quest.regions[1][0].key, 2000);
    store.ChooseRegion(3); // slots 0 and 1 taken: nothing
    EXPECT_EQ(user->quest.regions[2][0].key, -1);
    store.ChooseRegion(15);
    store.ChooseRegion(-1);
    EXPECT_FALSE(TempFolder::ReadBytes(folder / "users.dat").empty()); // saved in every case
}

TEST_F(QuestTest, QuestBonusesScaleWithLevelAndDifficulty)
{
    store.moves = 5;
    store.FinishLevel(store.QuestMapId(), 0, 50.9f);
    EXPECT_EQ(store.timeBonus, 2000);
    EXPECT_EQ(store.movesBonus, 2000);
    EXPECT_EQ(store.levelBonus, 300);
    EXPECT_EQ(store.mapInCity, 1);
    store.FinishLevel(store.QuestMapId(), 0, 0.5f); // under a second: no time bonus
    EXPECT_EQ(store.timeBonus, 0);
    EXPECT_EQ(store.levelBonus, 600);
    user->quest.difficulty = 2;
    store.FinishLevel(store.QuestMapId(), 0, 3.0f);
    EXPECT_EQ(store.timeBonus, 16666);
    EXPECT_EQ(store.levelBonus, 600);
    user->quest.difficulty = 1;
    store.FinishLevel(store.QuestMapId(), 0, 3.0f);
    EXPECT_EQ(store.timeBonus + store.movesBonus, 0);
    EXPECT_EQ(store.levelBonus, 400);
}

TEST_F(QuestTest, TheFourthMapCompletesTheCityAndOpensBothNeighbours)
{
    const int32_t points = PlayCity();
    EXPECT_EQ(store.mapInCity, 4);
    EXPECT_EQ(store.CityState(6000), PLACE_FINISHED);
    EXPECT_EQ(store.CityState(6004), user->quest.regions[0][4].completed ? PLACE_FINISHED : PLACE_OPEN);
    EXPECT_EQ(user->quest.regions[0][4].open, 1);
    EXPECT_EQ(user->quest.regions[0][1].open, 1);
    EXPECT_EQ(store.CompletedQuestMaps(), 4);
    EXPECT_EQ(user->quest.score, points);
    EXPECT_EQ(store.cityRunPoints, 0) << "the run's points are the quest score's now";
    EXPECT_EQ(user->quest.teleports[0].targetRegion, -1);
}

TEST_F(QuestTest, ACompletedSlotOpensTeleportsTowardThePreviousAndItsOwnRegion)
{
    for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
    {
        store.SelectCity(6000 + c);
        PlayCity();
    }
    EXPECT_EQ(user->quest.teleports[0].targetRegion, 5);
    EXPECT_EQ(user->quest.teleports[1].targetRegion, 6);
    EXPECT_EQ(user->quest.teleports[2].targetRegion, -1);
    EXPECT_EQ(store.TeleportState(6), PLACE_OPEN);
    EXPECT_EQ(store.TeleportState(7), PLACE_ABSENT);

    store.SelectTeleport(5);
    EXPECT_EQ(store.bonusIndex, 0);
    EXPECT_EQ(store.QuestMapId(), 20001);
    EXPECT_EQ(store.CurrentLevelNumber(MivoModeQuest), 1);
    store.moves = 1;
    store.FinishLevel(20001, 0, 10.0f);
    EXPECT_EQ(store.levelBonus, 2 * 100 * 10 * 3);
    EXPECT_EQ(user->quest.teleportsDone, 1);
    EXPECT_EQ(store.TeleportState(5), PLACE_FINISHED);
    EXPECT_EQ(user->quest.regions[1][0].key, 5000); // the teleport chose region 5 for slot 1
    EXPECT_EQ(store.bonusIndex, -1);
}

TEST_F(QuestTest, AHeldRegionIsSkippedByTheTeleport)
{
    user->quest.teleports[0].targetRegion = 6; // region 6 is held by slot 0
    store.SelectTeleport(6);
    store.FinishLevel(20001, 0, 10.0f);
    EXPECT_EQ(user->quest.regions[1][0].key, 7000);
}

TEST_F(QuestTest, ExchangedCitiesSwapOrderAndResultsOnly)
{
    user->quest.regions[0][1].maps[2].bonus = 42;
    store.ExchangeCities(0, 1, 3);
    EXPECT_EQ(user->quest.regions[0][3].maps[2].bonus, 42);
    EXPECT_EQ(user->quest.regions[0][3].orderNumber, 1);
    EXPECT_EQ(user->quest.regions[0][3].key, 6003);
    store.ExchangeCities(0, 1, 5);
    store.ExchangeCities(-1, 1, 2);
    EXPECT_EQ(user->quest.regions[0][1].orderNumber, 3);
}

TEST_F(QuestTest, QuestPositionsOutsideTheTablesBookNothing)
{
    store.regionSlot = 15;
    store.FinishLevel(1001, 0, 10.0f);
    store.regionSlot = 0;
    store.mapInCity = 7;
    store.FinishLevel(1001, 0, 10.0f);
    EXPECT_EQ(store.QuestMapId(), 0);
    EXPECT_EQ(user->quest.score, 0);
    EXPECT_EQ(store.cityRunPoints, 0);
}

TEST_F(QuestTest, EndingTheQuestLeavesTheScoreAndDealsANewOne)
{
    user->quest.score = 999;
    store.EndGame();
    EXPECT_EQ(store.finalScore, 999);
    EXPECT_EQ(user->quest.score, 0);
    EXPECT_EQ(user->quest.difficulty, 0);
    EXPECT_EQ(user->quest.regions[0][0].key, -1);
}

TEST_F(UserDataTest, RecordedScoresAreSavedAndQueued)
{
    MivoScore score;
    score.name = "Ana";
    score.score = 5000;
    score.difficulty = 2;
    score.mode = 1;
    ASSERT_TRUE(store.AddGameScore(score));
    MivoLevelScore level;
    level.name = "Ana";
    level.bonus = 10;
    level.mapId = 3017;
    ASSERT_TRUE(store.AddLevelScore(level));
    EXPECT_EQ(TempFolder::ReadBytes(folder / "upload.dat").size(), 4u + 2 * 1033u);
    MivoUserData loaded;
    loaded.SetFolder(folder.path);
    ASSERT_TRUE(loaded.LoadScores());
    EXPECT_EQ(loaded.TopScore(1, 2), 5000);
    EXPECT_EQ(loaded.scores.levelTables[56].size(), 1u);
    score.difficulty = 4;
    EXPECT_FALSE(store.AddGameScore(score));
    level.mapId = 16001;
    EXPECT_FALSE(store.AddLevelScore(level));
    EXPECT_EQ(TempFolder::ReadBytes(folder / "upload.dat").size(), 4u + 2 * 1033u);
}

TEST_F(UserDataTest, AnUnreadableScoreFileGetsNoSaveFromANewScore)
{
    ASSERT_TRUE(MakeUnreadable(folder / "hiscores.dat"));
    MivoScore score;
    score.name = "Ana";
    score.score = 1;
    score.mode = 2;
    EXPECT_FALSE(store.AddGameScore(score));
    MivoLevelScore level;
    level.name = "Ana";
    level.mapId = 3017;
    EXPECT_FALSE(store.AddLevelScore(level));
    EXPECT_TRUE(IsStillUnreadable(folder / "hiscores.dat"));
    EXPECT_FALSE(win32::FileExists((folder / "hiscores.dat.bad").c_str()));
}

TEST_F(UserDataTest, ADamagedScoreFileIsKeptWhenANewScoreIsRecorded)
{
    const std::vector<uint8_t> damaged = PlayerFileBytes().Int(2).Int(0x7FFFFFFF).bytes;
    TempFolder::WriteBytes(folder / "hiscores.dat", damaged);
    MivoScore score;
    score.name = "Ana";
    score.score = 1;
    score.mode = 2;
    EXPECT_TRUE(store.AddGameScore(score));
    EXPECT_EQ(TempFolder::ReadBytes(folder / "hiscores.dat.bad"), damaged);
    ASSERT_TRUE(store.LoadScores());
    EXPECT_EQ(store.TopScore(2, 0), 1);
}
} // namespace
