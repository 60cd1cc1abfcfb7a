// libFuzzer target for the HTTP answer reader: the first byte chooses the size of the pieces the
// rest arrives in, then the server closes. Whatever the bytes, the answer ends finished, good
// or bad, and a good body never exceeds the cap or the stated length.
#include "raknet/RakNetHttpConnection.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 64 + 1;
    raknet::HttpAnswerReader reader;
    for (size_t at = 1; at < size && !reader.IsFinished(); at += piece)
        reader.Feed(reinterpret_cast<const char*>(data + at), std::min(piece, size - at));
    reader.Close();
    if (!reader.IsFinished() ||
        (!reader.IsBad() && reader.Body().size() > raknet::HttpAnswerReader::kMaxAnswer))
        std::abort();
    return 0;
}
