#include "MivoUserData.h"

#include "ScoreEntries.h"
#include "WeRandom.h"
#include "core/TempFolder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

// Valid player files damaged at random (a fixed seed, a bounded number of rounds): every read
// ends in loaded data or a clean rejection, and whatever loads saves and loads again.

namespace
{
struct SilentChannel : MivoUploadChannel
{
    void Upload(const MivoScorePayload&, int32_t) override { ++posts; }
    void SetUploadSteps(std::function<bool()>, std::function<void()>) override {}
    int posts = 0;
};

// A copy of the bytes with one damage: a byte changed, a word made huge, or the end cut.
std::vector<uint8_t> Damage(std::vector<uint8_t> bytes)
{
    const std::size_t at = static_cast<std::size_t>(WeRand()) * bytes.size() / (WE_RAND_MAX + 1);
    switch (WeRand() % 3)
    {
    case 0:
        bytes[at] = static_cast<uint8_t>(WeRand());
        break;
    case 1:
        for (std::size_t i = at; i < at + 4 && i < bytes.size(); ++i)
            bytes[i] = i == at + 3 ? 0x7F : 0xFF;
        break;
    default:
        bytes.resize(at);
        break;
    }
    return bytes;
}

class MutationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WeSRand(99);
        store.SetFolder(folder.path);
        store.uploads.SetChannel(&channel);
        store.CreateUser("Ana");
        store.CreateUser("Bo");
        store.SaveUsers();
        store.AddGameScore(Score("Ana", 300, 2));
        store.AddGameScore(Score("Bo", 40, 0, 2, 12));
        store.AddLevelScore(LevelScore("Ana", 7, 3017, 4, 12.5f));
    }

    // Damages the file `name` again and again and hands each version to `load`.
    void Mutate(const std::string& name, int rounds, const std::function<void(int)>& load)
    {
        const std::vector<uint8_t> original = TempFolder::ReadBytes(folder / name);
        ASSERT_FALSE(original.empty());
        for (int round = 0; round < rounds; ++round)
        {
            TempFolder::WriteBytes(folder / name, Damage(original));
            load(round);
        }
    }

    TempFolder folder;
    SilentChannel channel;
    MivoUserData store;
};

TEST_F(MutationTest, DamagedUsersFilesLoadOrAreRejected)
{
    Mutate("users.dat", 150,
           [this](int round)
           {
               if (!store.LoadUsers())
               {
                   // What a rejected file keeps is whole profiles of the saved ones.
                   EXPECT_LE(store.UserCount() + store.LostProfiles().size(), 2u) << round;
                   for (int32_t i = 0; i < store.UserCount(); ++i)
                   {
                       const WeString& name = store.GetUser(i)->name;
                       EXPECT_TRUE(name == "Ana" || name == "Bo") << round << ": " << name.GetData();
                   }
               }
               const int32_t count = store.UserCount();
               EXPECT_TRUE(store.SaveUsers()) << round;
               EXPECT_TRUE(store.LoadUsers()) << round;
               EXPECT_EQ(store.UserCount(), count) << round;
           });
}

TEST_F(MutationTest, DamagedScoreFilesLoadOrAreRejected)
{
    Mutate("hiscores.dat", 300,
           [this](int round)
           {
               if (store.LoadScores())
               {
                   EXPECT_TRUE(store.SaveScores()) << round;
                   EXPECT_TRUE(store.LoadScores()) << round;
               }
               else
               {
                   EXPECT_EQ(store.TopScore(1, 2), 0) << round;
               }
           });
}

TEST_F(MutationTest, DamagedUploadFilesNeverBlockOrCrashTheQueue)
{
    Mutate("upload.dat", 300,
           [this](int round)
           {
               const bool started = store.LoadPendingUploads();
               while (started && store.SendNextUpload())
               {
               }
               const std::vector<uint8_t> left = TempFolder::ReadBytes(folder / "upload.dat");
               EXPECT_TRUE(left.size() == 4 || !started) << round;
           });
    EXPECT_GT(channel.posts, 0);
}
} // namespace
