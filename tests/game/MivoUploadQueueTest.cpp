#include "MivoUploadQueue.h"

#include "PlayerFileBytes.h"
#include "core/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// Stands in for the score web client: records the posts and holds the two steps.
class FakeChannel : public MivoUploadChannel
{
public:
    void Upload(const MivoScorePayload& payload, int32_t kind) override
    {
        posted.push_back(std::string(payload.text));
        kinds.push_back(kind);
    }
    void SetUploadSteps(std::function<bool()> nextStep, std::function<void()> doneStep) override
    {
        next = std::move(nextStep);
        done = std::move(doneStep);
    }
    // A good reply: the client asks for the next post and, when none was made, ends.
    void Accept()
    {
        if (!next())
        {
            End();
        }
    }
    void End()
    {
        done();
        next = nullptr;
        done = nullptr;
    }

    std::vector<std::string> posted;
    std::vector<int32_t> kinds;
    std::function<bool()> next;
    std::function<void()> done;
};

MivoScorePayload Payload(char fill)
{
    MivoScorePayload payload;
    std::memset(payload.text, fill, MivoScorePayload::kLength);
    return payload;
}

std::string Body(char fill)
{
    return std::string(MivoScorePayload::kLength, fill);
}

PlayerFileBytes Record(PlayerFileBytes file, int32_t kind, char fill)
{
    file.Int(kind);
    file.bytes.insert(file.bytes.end(), MivoScorePayload::kLength, static_cast<uint8_t>(fill));
    return file;
}

class UploadQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        queue.SetPath(path);
        queue.SetChannel(&channel);
    }

    std::vector<uint8_t> File() const { return TempFolder::ReadBytes(path); }

    TempFolder folder;
    std::string path = folder / "upload.dat";
    FakeChannel channel;
    MivoUploadQueue queue;
};

TEST_F(UploadQueueTest, AppendCreatesTheFileWithWholeRecords)
{
    ASSERT_TRUE(queue.Append(0, Payload('a')));
    ASSERT_TRUE(queue.Append(1, Payload('b')));
    EXPECT_EQ(File(), Record(Record(PlayerFileBytes().Int(1), 0, 'a'), 1, 'b').bytes);
    EXPECT_EQ(File().size(), 4u + 2 * 1033u);
}

TEST_F(UploadQueueTest, TheLaterRecordIsPostedFirstAndAcceptedOnesLeaveTheFile)
{
    queue.Append(0, Payload('a'));
    queue.Append(1, Payload('b'));
    ASSERT_TRUE(queue.LoadPending());
    ASSERT_EQ(channel.posted.size(), 1u);
    EXPECT_EQ(channel.posted[0], Body('b'));
    EXPECT_EQ(channel.kinds[0], 1);
    // Nothing leaves the file before the service accepted it.
    EXPECT_EQ(File().size(), 4u + 2 * 1033u);
    channel.Accept();
    ASSERT_EQ(channel.posted.size(), 2u);
    EXPECT_EQ(channel.posted[1], Body('a'));
    EXPECT_EQ(File(), Record(PlayerFileBytes().Int(1), 0, 'a').bytes);
    channel.Accept();
    EXPECT_EQ(File(), PlayerFileBytes().Int(1).bytes);
    EXPECT_EQ(queue.PendingCount(), 0);
    EXPECT_EQ(queue.InFlight(), nullptr);
}

TEST_F(UploadQueueTest, ARefusedPostKeepsEveryRecord)
{
    queue.Append(0, Payload('a'));
    queue.Append(1, Payload('b'));
    const std::vector<uint8_t> before = File();
    ASSERT_TRUE(queue.LoadPending());
    channel.End(); // an error reply, a cancel or a time-out
    EXPECT_EQ(File(), before);
    EXPECT_EQ(queue.PendingCount(), 0);
    EXPECT_EQ(queue.InFlight(), nullptr);
    ASSERT_TRUE(queue.LoadPending()); // the next try posts the same record again
    EXPECT_EQ(channel.posted.back(), Body('b'));
}

TEST_F(UploadQueueTest, QuittingDuringAnExchangeLosesNoRecord)
{
    queue.Append(0, Payload('a'));
    queue.Append(0, Payload('b'));
    {
        MivoUploadQueue running;
        running.SetPath(path);
        running.SetChannel(&channel);
        ASSERT_TRUE(running.LoadPending());
    }
    EXPECT_EQ(File().size(), 4u + 2 * 1033u);
}

TEST_F(UploadQueueTest, ARecordBookedDuringAnExchangeStaysQueued)
{
    queue.Append(0, Payload('a'));
    ASSERT_TRUE(queue.LoadPending());
    queue.Append(1, Payload('n'));
    channel.Accept();
    EXPECT_EQ(File(), Record(PlayerFileBytes().Int(1), 1, 'n').bytes);
}

TEST_F(UploadQueueTest, AMissingFileStartsNothingAndMakesNoFile)
{
    EXPECT_FALSE(queue.LoadPending());
    EXPECT_TRUE(channel.posted.empty());
    EXPECT_TRUE(File().empty());
}

TEST_F(UploadQueueTest, AFileWithOnlyTheVersionStartsNothing)
{
    TempFolder::WriteBytes(path, PlayerFileBytes().Int(1).bytes);
    EXPECT_FALSE(queue.LoadPending());
    EXPECT_TRUE(channel.posted.empty());
    EXPECT_EQ(File(), PlayerFileBytes().Int(1).bytes);
}

TEST_F(UploadQueueTest, AnotherVersionIsKeptAsideAndTheFileReset)
{
    const std::vector<uint8_t> old = Record(PlayerFileBytes().Int(2), 0, 'a').bytes;
    TempFolder::WriteBytes(path, old);
    EXPECT_FALSE(queue.LoadPending());
    EXPECT_EQ(File(), PlayerFileBytes().Int(1).bytes);
    EXPECT_EQ(TempFolder::ReadBytes(path + ".bad"), old);
    TempFolder::WriteBytes(path, old);
    ASSERT_TRUE(queue.Append(1, Payload('z')));
    EXPECT_EQ(File(), Record(PlayerFileBytes().Int(1), 1, 'z').bytes);
}

TEST_F(UploadQueueTest, ACutRecordIsDroppedAtEveryLengthSoItCannotBlockTheQueue)
{
    const std::vector<uint8_t> whole = Record(Record(PlayerFileBytes().Int(1), 0, 'a'), 1, 'b').bytes;
    for (std::size_t length = 0; length < whole.size(); length += 1 + length / 64)
    {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        TempFolder::WriteBytes(path, cut);
        std::remove((path + ".bad").c_str()); // the copy of the last length, which this one would not replace
        FakeChannel fresh;
        queue.SetChannel(&fresh);
        const bool started = queue.LoadPending();
        EXPECT_EQ(started, length >= 4 + 1033) << length;
        if (started)
        {
            EXPECT_EQ(fresh.posted[0], Body('a')) << length;
        }
        const bool exact = length == 4 || length == 4 + 1033;
        EXPECT_EQ(File().size(), length >= 4 + 1033 ? 4u + 1033u : 4u) << length;
        if (!exact)
        {
            EXPECT_EQ(TempFolder::ReadBytes(path + ".bad"), cut) << length;
        }
        queue.SavePending();
    }
}

TEST_F(UploadQueueTest, WithoutAClientNothingIsTaken)
{
    queue.Append(0, Payload('a'));
    queue.SetChannel(nullptr);
    EXPECT_FALSE(queue.LoadPending());
    EXPECT_EQ(queue.PendingCount(), 0);
    EXPECT_EQ(File().size(), 4u + 1033u);
}

TEST_F(UploadQueueTest, RecordsThatCouldNotBeWrittenArePostedAndWrittenAtTheNextStep)
{
    ASSERT_TRUE(queue.Append(0, Payload('a')));
    const std::string blocker = path + ".tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0); // the file beside it cannot be made
    EXPECT_FALSE(queue.Append(1, Payload('b')));
    EXPECT_FALSE(queue.Append(1, Payload('c')));
    EXPECT_EQ(File(), Record(PlayerFileBytes().Int(1), 0, 'a').bytes) << "the file as it was";
    // The queue posts what the file should hold, the latest first, and the service's accepting
    // one changes what is owed.
    ASSERT_TRUE(queue.LoadPending());
    EXPECT_EQ(channel.posted.back(), Body('c'));
    channel.Accept();
    EXPECT_EQ(channel.posted.back(), Body('b'));
    channel.End();
    EXPECT_FALSE(queue.SaveOwed());

    ASSERT_EQ(rmdir(blocker.c_str()), 0);
    EXPECT_TRUE(queue.SaveOwed());
    EXPECT_EQ(File(), Record(Record(PlayerFileBytes().Int(1), 0, 'a'), 1, 'b').bytes);
    EXPECT_TRUE(queue.SaveOwed()) << "nothing owed any more";
}
} // namespace
