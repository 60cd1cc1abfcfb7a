#include "WeFileStream.h"

#include "TempFolder.h"

#include <clocale>
#include <cstring>
#include <gtest/gtest.h>

namespace
{

using Bytes = std::vector<unsigned char>;

Bytes Pattern(size_t count)
{
    Bytes bytes(count);
    uint32_t state = 12345;
    for (unsigned char& b : bytes)
    {
        state = state * 214013u + 2531011u;
        b = static_cast<unsigned char>(state >> 16);
    }
    return bytes;
}

Bytes Scrambled(Bytes bytes)
{
    for (unsigned char& b : bytes)
        b ^= 0x96;
    return bytes;
}

class WeFileStreamTest : public ::testing::Test
{
protected:
    std::string Write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = folder / name;
        TempFolder::WriteBytes(path, bytes);
        return path;
    }

    TempFolder folder;
};

TEST(WeScrambleBytesTest, TwiceRestoresAndEmptyCountsChangeNothing)
{
    for (size_t length : {1u, 7u, 8u, 9u, 31u, 1000u})
    {
        const Bytes original = Pattern(length);
        Bytes bytes = original;
        WeScrambleBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(bytes, Scrambled(original)) << length;
        WeScrambleBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(bytes, original);
    }
    Bytes bytes = {1, 2, 3};
    WeScrambleBytes(bytes.data(), 0);
    WeScrambleBytes(bytes.data(), -5);
    EXPECT_EQ(bytes, (Bytes{1, 2, 3}));
}

TEST_F(WeFileStreamTest, StringsAndNumbersHaveTheirByteLayout)
{
    const std::string path = folder / "layout.bin";
    {
        WeFileStream stream;
        ASSERT_TRUE(stream.Create(path.c_str()));
        EXPECT_TRUE(stream.WriteString(""));
        EXPECT_TRUE(stream.WriteString("abc"));
        stream.WriteShort(0x1234);
        stream.WriteInt(-2);
        stream.WriteBool(true);
        stream.WriteFloat(1.0f, 17);
        stream.Close();
    }
    EXPECT_EQ(TempFolder::ReadBytes(path), (Bytes{0x00, 0x00, 0x03, 0x00, 'a', 'b', 'c', 0x00, 0x34, 0x12,
                                                  0xFE, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x80, 0x3F}));
}

TEST_F(WeFileStreamTest, LittleEndianReadsOfEveryWidth)
{
    const std::string path = Write("le.bin", {0x01, 0x80, 0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89,
                                              0x67, 0x45, 0x23, 0x81, 0x02, 0x00, 0x00, 0xC0, 0xBF});
    WeFileStream stream;
    ASSERT_TRUE(stream.Open(path.c_str()));
    EXPECT_EQ(stream.ReadShort(), static_cast<int16_t>(0x8001));
    EXPECT_EQ(stream.ReadInt(), 0x12345678);
    EXPECT_EQ(stream.ReadInt64(), static_cast<int64_t>(0x8123456789ABCDEFull));
    EXPECT_TRUE(stream.ReadBool());
    EXPECT_EQ(stream.ReadFloat(), -1.5f);
    EXPECT_TRUE(stream.Eof());
}

// Every typed value written scrambled reads back, and the file holds exactly the plain layout
// XORed with the key: nothing is descrambled twice or missed.
TEST_F(WeFileStreamTest, ScrambledRoundTripOfEveryTypedValue)
{
    const float vector[3] = {1.5f, -2.0f, 1e-7f};
    const float vector4[4] = {0.25f, 4.0f, -8.5f, 3.0f};
    float matrix[16];
    for (int i = 0; i < 16; ++i)
        matrix[i] = static_cast<float>(i) * 0.5f - 3.0f;
    const Bytes block = Pattern(300);
    const Bytes int64Bytes = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0xF1};
    auto writeAll = [&](const std::string& path, bool scrambled)
    {
        WeFileStream stream;
        stream.SetScrambled(scrambled);
        ASSERT_TRUE(stream.Create(path.c_str()));
        stream.WriteShort(-12345);
        stream.WriteInt(-123456789);
        stream.Write(int64Bytes.data(), 8);
        stream.WriteBool(true);
        stream.WriteBool(false);
        stream.WriteByte(0xA5);
        stream.WriteFloat(3.25f, 2);
        stream.WriteString("");
        stream.WriteString("Ingame.Models.block_wall");
        stream.WriteVector(vector);
        stream.WriteVector4(vector4);
        stream.WriteMatrix(matrix);
        stream.Write(block.data(), static_cast<int64_t>(block.size()));
    };
    const std::string plainPath = folder / "plain.bin";
    const std::string scrambledPath = folder / "scrambled.bin";
    writeAll(plainPath, false);
    writeAll(scrambledPath, true);
    EXPECT_EQ(TempFolder::ReadBytes(scrambledPath), Scrambled(TempFolder::ReadBytes(plainPath)));

    WeFileStream stream;
    stream.SetScrambled(true);
    ASSERT_TRUE(stream.Open(scrambledPath.c_str()));
    EXPECT_TRUE(stream.IsScrambled());
    EXPECT_EQ(stream.ReadShort(), -12345);
    EXPECT_EQ(stream.ReadInt(), -123456789);
    EXPECT_EQ(stream.ReadInt64(), static_cast<int64_t>(0xF122334455667788ull));
    EXPECT_TRUE(stream.ReadBool());
    EXPECT_FALSE(stream.ReadBool());
    EXPECT_EQ(stream.ReadByte(), 0xA5);
    EXPECT_EQ(stream.ReadFloat(), 3.25f);
    WeString text = "old";
    stream.ReadString(text);
    EXPECT_EQ(text, "");
    stream.ReadString(text);
    EXPECT_EQ(text, "Ingame.Models.block_wall");
    float readVector[3], readVector4[4], readMatrix[16];
    stream.ReadVector(readVector);
    stream.ReadVector4(readVector4);
    stream.ReadMatrix(readMatrix);
    EXPECT_EQ(0, std::memcmp(readVector, vector, sizeof vector));
    EXPECT_EQ(0, std::memcmp(readVector4, vector4, sizeof vector4));
    EXPECT_EQ(0, std::memcmp(readMatrix, matrix, sizeof matrix));
    Bytes readBlock(block.size());
    EXPECT_EQ(stream.Read(readBlock.data(), static_cast<int64_t>(readBlock.size())), 300);
    EXPECT_EQ(readBlock, block);
    EXPECT_TRUE(stream.Eof());
}

TEST_F(WeFileStreamTest, ScrambledWritesLeaveTheCallersBytesAlone)
{
    const Bytes original = Pattern(10000);
    Bytes bytes = original;
    WeFileStream stream;
    stream.SetScrambled(true);
    ASSERT_TRUE(stream.Create((folder / "w.bin").c_str()));
    stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    float vector[3] = {1, 2, 3};
    stream.WriteVector(vector);
    stream.Close();
    EXPECT_EQ(bytes, original);
    EXPECT_EQ(vector[2], 3.0f);
    const Bytes written = TempFolder::ReadBytes(folder / "w.bin");
    ASSERT_EQ(written.size(), 10012u);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 10000), Scrambled(original));
}

// Reads of every size and kind, mixed, descramble each byte exactly once across refills and
// direct reads.
TEST_F(WeFileStreamTest, MixedReadsAcrossBufferBoundariesSeeEveryByteOnce)
{
    const Bytes plain = Pattern(300000);
    const std::string path = Write("mix.bin", Scrambled(plain));
    WeFileStream stream;
    stream.SetScrambled(true);
    ASSERT_TRUE(stream.Open(path.c_str()));
    size_t at = 0;
    const int64_t sizes[] = {1, 3, 65530, 7, 65536, 2, 100000, 4, 17, 65535};
    for (int64_t size : sizes)
    {
        Bytes got(static_cast<size_t>(size));
        ASSERT_EQ(stream.Read(got.data(), size), size);
        ASSERT_EQ(got, Bytes(plain.begin() + static_cast<long>(at),
                             plain.begin() + static_cast<long>(at + got.size())))
            << "read of " << size << " at " << at;
        at += static_cast<size_t>(size);
        EXPECT_EQ(stream.Tell(), static_cast<int64_t>(at));
        const int32_t value = stream.ReadInt();
        int32_t expected;
        std::memcpy(&expected, plain.data() + at, 4);
        EXPECT_EQ(value, expected);
        at += 4;
    }
}

TEST_F(WeFileStreamTest, RelativeSeekMovesFromTheLogicalPosition)
{
    const Bytes plain = Pattern(200000);
    const std::string path = Write("seek.bin", plain);
    WeFileStream stream;
    ASSERT_TRUE(stream.Open(path.c_str()));
    stream.ReadInt();
    stream.ReadInt();
    EXPECT_EQ(stream.Tell(), 8);
    ASSERT_TRUE(stream.Seek(5, SEEK_CUR));
    EXPECT_EQ(stream.Tell(), 13);
    EXPECT_EQ(stream.ReadByte(), plain[13]);
    ASSERT_TRUE(stream.Seek(-4, SEEK_CUR));
    EXPECT_EQ(stream.ReadByte(), plain[10]);
    ASSERT_TRUE(stream.Seek(-1, SEEK_END));
    EXPECT_EQ(stream.ReadByte(), plain.back());
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.GetFileSize(), 200000);
}

// A stream limited to one entry of a larger file stops at the entry's end, however it reads.
TEST_F(WeFileStreamTest, EntryEndStopsEveryRead)
{
    const Bytes plain = Pattern(150000);
    const std::string path = Write("entries.bin", plain);
    WeFileStream stream;
    ASSERT_TRUE(stream.Open(path.c_str()));
    const int64_t offset = 1000, size = 70000;
    for (int pass = 0; pass < 3; ++pass)
    {
        ASSERT_TRUE(stream.Seek(offset, SEEK_SET));
        stream.SetSize(offset + size);
        Bytes got(100000);
        int64_t total = 0;
        if (pass == 0)
            total = stream.Read(got.data(), 100000);
        else
            while (!stream.Eof())
                total += stream.Read(got.data() + total, pass == 1 ? 1 : 4096);
        EXPECT_EQ(total, size);
        EXPECT_TRUE(stream.Eof());
        EXPECT_EQ(stream.Tell(), offset + size);
        EXPECT_EQ(Bytes(got.begin(), got.begin() + size),
                  Bytes(plain.begin() + offset, plain.begin() + offset + size));
        EXPECT_EQ(stream.ReadInt(), 0);
        EXPECT_EQ(stream.Tell(), offset + size);
    }
}

TEST_F(WeFileStreamTest, TruncatedFilesGiveZeroValuesAndEof)
{
    WeFileStream stream;
    ASSERT_TRUE(stream.Open(Write("short.bin", {0x11, 0x22}).c_str()));
    EXPECT_EQ(stream.ReadInt(), 0);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.ReadShort(), 0);
    EXPECT_EQ(stream.ReadInt64(), 0);
    EXPECT_FALSE(stream.ReadBool());
    EXPECT_EQ(stream.ReadFloat(), 0.0f);
    float vector[3] = {1, 1, 1};
    stream.ReadVector(vector);
    EXPECT_EQ(vector[0], 0.0f);
    EXPECT_EQ(vector[2], 0.0f);

    ASSERT_TRUE(stream.Open(Write("string.bin", {0x0A, 0x00, 'a', 'b', 'c'}).c_str()));
    WeString text = "kept?";
    stream.ReadString(text);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(stream.Eof());

    ASSERT_TRUE(stream.Open(Write("noterm.bin", {0x03, 0x00, 'a', 'b', 'c'}).c_str()));
    stream.ReadString(text);
    EXPECT_EQ(text, "");
}

TEST_F(WeFileStreamTest, WritesAfterBufferedReadsLandAtTheLogicalPosition)
{
    const Bytes plain = Pattern(100000);
    const std::string path = Write("rw.bin", plain);
    WeFileStream stream;
    ASSERT_TRUE(stream.Open(path.c_str(), true));
    stream.ReadInt();
    stream.WriteInt(0x01020304);
    EXPECT_EQ(stream.Tell(), 8);
    EXPECT_EQ(stream.ReadByte(), plain[8]);
    stream.Close();
    Bytes expected = plain;
    expected[4] = 0x04;
    expected[5] = 0x03;
    expected[6] = 0x02;
    expected[7] = 0x01;
    EXPECT_EQ(TempFolder::ReadBytes(path), expected);
}

TEST_F(WeFileStreamTest, CreatedFilesReadBackWhatWasWritten)
{
    WeFileStream stream;
    ASSERT_TRUE(stream.Create((folder / "new.bin").c_str()));
    EXPECT_EQ(stream.GetSize(), 0);
    stream.WriteInt(7);
    stream.WriteString("seven");
    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    EXPECT_EQ(stream.ReadInt(), 7);
    WeString text;
    stream.ReadString(text);
    EXPECT_EQ(text, "seven");
    EXPECT_TRUE(stream.Eof());
}

TEST_F(WeFileStreamTest, AppendAddsAtTheEnd)
{
    const std::string path = Write("append.bin", {1, 2});
    WeFileStream stream;
    ASSERT_TRUE(stream.OpenAppend(path.c_str()));
    stream.WriteByte(3);
    stream.Close();
    EXPECT_EQ(TempFolder::ReadBytes(path), (Bytes{1, 2, 3}));
}

TEST_F(WeFileStreamTest, OverlongStringsAreStoredCutSoTheRecordStaysReadable)
{
    WeString longText;
    longText.Resize(70000);
    std::memset(longText.GetBuffer(), 'x', 70000);
    WeFileStream stream;
    ASSERT_TRUE(stream.Create((folder / "long.bin").c_str()));
    EXPECT_FALSE(stream.WriteString(longText));
    stream.WriteInt(99);
    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    WeString text;
    stream.ReadString(text);
    EXPECT_EQ(text.GetLength(), 65535);
    EXPECT_EQ(stream.ReadInt(), 99);
}

TEST_F(WeFileStreamTest, OpenFailuresLeaveTheStreamClosed)
{
    WeFileStream stream;
    stream.SetScrambled(true);
    EXPECT_FALSE(WeFileStream::Exists((folder / "missing").c_str()));
    EXPECT_FALSE(stream.Open((folder / "missing").c_str()));
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.ReadInt(), 0);
    EXPECT_FALSE(stream.WriteInt(1));
    EXPECT_TRUE(stream.IsScrambled());
    const std::string path = Write("there.bin", {1});
    EXPECT_TRUE(WeFileStream::Exists(path.c_str()));
    ASSERT_TRUE(stream.Open(path.c_str()));
    EXPECT_EQ(stream.GetName(), path.c_str());
    EXPECT_FALSE(stream.Open((folder / "missing").c_str()));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(WeFileStreamTest, TextStreamFormatsNumbersInEveryLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"})
        if (std::setlocale(LC_ALL, locale))
            break;
    const std::string path = folder / "options.ini";
    {
        WeTextStream text;
        ASSERT_TRUE(text.Open(path.c_str()));
        text.WriteString("[Options]\nVolume=");
        text.WriteFloat(1.5f, 3);
        text.WriteString("\nLevel=");
        text.WriteInt(-42);
        text.WriteString("\nGamma=");
        text.WriteFloat(0.25f, 0);
        text.Close();
        EXPECT_FALSE(text.IsOpen());
    }
    std::setlocale(LC_ALL, saved.c_str());
    const Bytes bytes = TempFolder::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "[Options]\nVolume=1.500\nLevel=-42\nGamma=0");
}

} // namespace
