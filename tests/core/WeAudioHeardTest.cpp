// A played sound must reach the mixed output. OpenAL Soft's wave back end writes what it mixes
// to a file; a back end is chosen once per process, so the sound is played by this program run
// again with that back end, and the file is read here.

#include "AudioDeviceFixture.h"
#include "TempFolder.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{

std::string ThisProgram()
{
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
}

uint32_t Little32(const std::vector<unsigned char>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// The 16-bit samples of a RIFF wave file's data chunk; empty when it has none of 16 bits.
std::vector<int16_t> WaveSamples(const std::vector<unsigned char>& file)
{
    std::vector<int16_t> samples;
    uint32_t bits = 0;
    for (size_t at = 12; at + 8 <= file.size();)
    {
        const uint32_t size = Little32(file, at + 4);
        const size_t body = at + 8;
        const size_t end = std::min(file.size(), body + size);
        if (std::memcmp(&file[at], "fmt ", 4) == 0 && body + 16 <= file.size())
            bits = uint32_t(file[body + 14]) | uint32_t(file[body + 15]) << 8;
        if (std::memcmp(&file[at], "data", 4) == 0 && bits == 16)
            for (size_t i = body; i + 1 < end; i += 2)
                samples.push_back(int16_t(uint16_t(file[i]) | uint16_t(file[i + 1]) << 8));
        at = body + size + (size & 1);
    }
    return samples;
}

} // namespace

TEST(AudioHeard, APlayedSoundReachesTheMixedOutput)
{
    TempFolder folder;
    const std::string wave = folder / "mixed.wav";
    const std::string conf = folder / "alsoft.conf";
    std::ofstream(conf) << "[general]\nsample-type = int16\n[wave]\nfile = " << wave << "\n";
    const std::string command =
        "ALSOFT_DRIVERS=wave ALSOFT_CONF='" + conf + "' '" + ThisProgram() +
        "' --gtest_also_run_disabled_tests --gtest_filter=AudioHeard.DISABLED_PlayOneSound"
        " > '" +
        (folder / "log.txt") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const std::vector<int16_t> samples = WaveSamples(TempFolder::ReadBytes(wave));
    ASSERT_FALSE(samples.empty()) << "no 16-bit wave file was written";
    size_t loud = 0;
    for (int16_t s : samples)
        loud += (s > 2000 || s < -2000) ? 1 : 0;
    EXPECT_GT(loud, 10000u) << "of " << samples.size() << " samples";
}

// Run by the test above, in a process of its own.
TEST(AudioHeard, DISABLED_PlayOneSound)
{
    ASSERT_TRUE(audioDevice.Init());
    WePlaySound("Sound.Effects.mi_Win");
    ASSERT_EQ(soundSourcePool.GetUsedCount(), 1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (soundSourcePool.GetUsedCount() > 0 && std::chrono::steady_clock::now() < end)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        audioDevice.Update();
    }
    EXPECT_EQ(soundSourcePool.GetUsedCount(), 0) << "the sound played to its end";
    audioDevice.Shutdown();
}
