// The clips the build writes into the "Movies" folder beside the tests' working folder, and
// comparisons of decoded X8R8G8B8 frames with the frames the clip was drawn from.
#pragma once

#include "WeClipWriter.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

inline const char* const losslessClip = "Movies/ColourBars.mkv";
inline const char* const lossyClip = "Movies/ColourBars.avi";

inline std::vector<uint8_t> ClipFrame(int32_t index)
{
    std::vector<uint8_t> pixels(size_t(clip::width) * clip::height * 4);
    clip::DrawFrame(index, pixels.data(), clip::width * 4);
    return pixels;
}

// Mean absolute difference of the blue, green and red bytes of a clip-sized frame (rows `pitch`
// bytes apart) from the clip's frame `index`; the fourth byte carries nothing.
inline double ClipFrameDifference(const uint8_t* pixels, int32_t pitch, int32_t index)
{
    const std::vector<uint8_t> expected = ClipFrame(index);
    uint64_t sum = 0;
    for (int32_t y = 0; y < clip::height; ++y)
        for (int32_t x = 0; x < clip::width; ++x)
            for (int32_t c = 0; c < 3; ++c)
                sum +=
                    uint64_t(std::abs(int(pixels[size_t(y) * size_t(pitch) + 4 * size_t(x) + size_t(c)]) -
                                      int(expected[(size_t(y) * clip::width + size_t(x)) * 4 + size_t(c)])));
    return double(sum) / (double(clip::width) * clip::height * 3);
}
