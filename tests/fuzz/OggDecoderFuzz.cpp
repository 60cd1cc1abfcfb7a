// libFuzzer target for the Ogg Vorbis decoder: any bytes, with every page's checksum made
// right so that damage reaches the Vorbis headers and packets, must be refused or decoded
// cleanly, looping over the end as music does and whole as sound effects are.
#include "WeOggDecoder.h"

#include <AL/alc.h>
#include <ogg/ogg.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

void SealPages(std::vector<uint8_t>& bytes)
{
    size_t at = 0;
    while (at + 27 <= bytes.size())
    {
        if (std::memcmp(bytes.data() + at, "OggS", 4) != 0)
        {
            ++at;
            continue;
        }
        const size_t header = 27 + size_t(bytes[at + 26]);
        if (at + header > bytes.size())
            return;
        size_t body = 0;
        for (size_t i = at + 27; i < at + header; ++i)
            body += bytes[i];
        if (at + header + body > bytes.size())
            return;
        ogg_page page{bytes.data() + at, long(header), bytes.data() + at + header, long(body)};
        ogg_page_checksum_set(&page);
        at += header + body;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("ALSOFT_DRIVERS", "null", 1);
    ALCdevice* device = alcOpenDevice(nullptr);
    ALCcontext* context = device ? alcCreateContext(device, nullptr) : nullptr;
    if (!context || !alcMakeContextCurrent(context))
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    SealPages(bytes);
    for (const bool whole : {false, true})
    {
        WeOggDecoder decoder(bytes, whole);
        decoder.SetLoop(true);
        for (int fill = 0; fill < 64 && decoder.FillBuffer(decoder.GetBuffer(0)); ++fill)
        {
        }
    }
    return 0;
}
