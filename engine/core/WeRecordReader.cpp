#include "WeRecordReader.h"

#include "WeFileStream.h"

#include <cmath>
#include <cstring>
#include <limits>

WeRecordReader::WeRecordReader(WeFileStream& stream, int64_t available)
    : stream(stream), available(available < 0 ? 0 : available)
{
}

bool WeRecordReader::Fits(int64_t count)
{
    if (failed || count < 0 || count > available - used)
        return Fail();
    used += count;
    return true;
}

bool WeRecordReader::Fail()
{
    failed = true;
    return false;
}

int32_t WeRecordReader::ReadInt()
{
    return Fits(4) ? stream.ReadInt() : 0;
}

int16_t WeRecordReader::ReadShort()
{
    return Fits(2) ? stream.ReadShort() : int16_t(0);
}

float WeRecordReader::ReadFloat()
{
    return Fits(4) ? stream.ReadFloat() : 0.0f;
}

bool WeRecordReader::ReadBool()
{
    return Fits(1) ? stream.ReadBool() : false;
}

void WeRecordReader::ReadString(WeString& text)
{
    text = "";
    if (!Fits(2))
        return;
    const auto length = static_cast<uint16_t>(stream.ReadShort());
    if (length == 0 || !Fits(int64_t(length) + 1))
        return;
    text.Resize(length);
    uint8_t terminator = 0;
    if (stream.Read(text.GetBuffer(), length) != length || stream.Read(&terminator, 1) != 1)
    {
        text = "";
        Fail();
    }
}

void WeRecordReader::ReadFloats(float* values, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        values[i] = ReadFloat();
}

void WeRecordReader::ReadBytes(void* destination, int64_t count)
{
    if (!Fits(count) || stream.Read(destination, count) != count)
    {
        if (count > 0)
            std::memset(destination, 0, size_t(count));
        Fail();
    }
}

void WeRecordReader::Skip(int64_t count)
{
    if (Fits(count) && count > 0 && !stream.Seek(count, SEEK_CUR))
        Fail();
}

void WeRecordReader::StepBack(int64_t count)
{
    if (failed || count < 0 || count > used || !stream.Seek(-count, SEEK_CUR))
    {
        Fail();
        return;
    }
    used -= count;
}

int32_t WeRecordReader::ReadCount(int64_t itemSize)
{
    const int32_t count = ReadInt();
    if (count < 0 || (itemSize > 0 && count > Remaining() / itemSize))
    {
        Fail();
        return 0;
    }
    return count;
}

int32_t WeSaturatingInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}
