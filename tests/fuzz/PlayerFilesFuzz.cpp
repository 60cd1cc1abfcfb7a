// libFuzzer target for the player files and the world-list replies: the first byte chooses
// users.dat, hiscores.dat, upload.dat or one of the three reply parsers, the rest is the
// input. Whatever the bytes, reading ends in loaded data or a clean rejection, and what
// loads saves and loads again to the same data.
#include "MivoUserData.h"
#include "WeTimer.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
struct NoChannel : MivoUploadChannel
{
    void Upload(const MivoScorePayload&, int32_t) override {}
    void SetUploadSteps(std::function<bool()>, std::function<void()>) override {}
};

// Damaged inputs leave their copies beside the files; each run starts without them, as a
// player's folder would.
void RemoveDamagedCopies(const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    {
        if (entry.path().extension() == ".bad")
            std::filesystem::remove(entry.path(), error);
    }
}

void WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
}
} // namespace

// The engine's globals are not part of this target: the random generator's timer stands alone
// and the engine never shuts down here.
WeTimer timer;

bool MivoEngineHasShutDown()
{
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const std::string folder = []
    {
        char pattern[] = "/tmp/we_fuzz_player_XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    static NoChannel channel;
    MivoUserData store;
    store.SetFolder(folder);
    store.uploads.SetChannel(&channel);
    const uint8_t choice = data[0] % 6;
    ++data;
    --size;
    const WeString reply(reinterpret_cast<const char*>(data), static_cast<int32_t>(size));
    switch (choice)
    {
    case 0:
        WriteInput(folder + "/users.dat", data, size);
        if (store.LoadUsers() && (!store.SaveUsers() || !store.LoadUsers()))
            __builtin_trap();
        break;
    case 1:
        WriteInput(folder + "/hiscores.dat", data, size);
        if (store.LoadScores() && (!store.SaveScores() || !store.LoadScores()))
            __builtin_trap();
        break;
    case 2:
        WriteInput(folder + "/upload.dat", data, size);
        while (store.LoadPendingUploads() && store.SendNextUpload())
        {
        }
        break;
    case 3:
        store.FillQuestScores(reply);
        break;
    case 4:
        store.FillSkillScores(reply);
        break;
    default:
        store.FillLevelScores(reply, size % 16);
        break;
    }
    RemoveDamagedCopies(folder);
    return 0;
}
