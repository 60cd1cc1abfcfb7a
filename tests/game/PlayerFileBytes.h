// Player files built byte by byte in the tests, independently of the code that writes them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

class PlayerFileBytes
{
public:
    PlayerFileBytes& Int(int32_t value)
    {
        const uint32_t bits = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(bits >> shift));
        return *this;
    }
    PlayerFileBytes& Float(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        return Int(static_cast<int32_t>(bits));
    }
    PlayerFileBytes& Byte(uint8_t value)
    {
        bytes.push_back(value);
        return *this;
    }
    PlayerFileBytes& Str(const std::string& text)
    {
        Byte(static_cast<uint8_t>(text.size())).Byte(static_cast<uint8_t>(text.size() >> 8));
        if (!text.empty())
        {
            bytes.insert(bytes.end(), text.begin(), text.end());
            bytes.push_back(0);
        }
        return *this;
    }
    PlayerFileBytes& Zeros(std::size_t count)
    {
        bytes.insert(bytes.end(), count, 0);
        return *this;
    }

    std::vector<uint8_t> bytes;
};

inline int32_t IntAt(const std::vector<uint8_t>& bytes, std::size_t offset)
{
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(bytes.at(offset + i)) << (8 * i);
    return static_cast<int32_t>(bits);
}

// Makes the player file at path one that is there but cannot be read, whoever runs the test: a
// link to itself, which every open refuses.
inline bool MakeUnreadable(const std::string& path)
{
    return symlink(path.substr(path.rfind('/') + 1).c_str(), path.c_str()) == 0;
}

// Whether the file at path is still the link MakeUnreadable made, untouched.
inline bool IsStillUnreadable(const std::string& path)
{
    char target[256] = {};
    const ssize_t length = readlink(path.c_str(), target, sizeof(target) - 1);
    return length > 0 && path.substr(path.rfind('/') + 1) == target;
}
