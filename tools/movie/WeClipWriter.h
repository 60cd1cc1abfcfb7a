// The test clip: 2 seconds of 320 x 240 video at 25 frames per second, each frame showing eight
// colour bars over a dark strip with the frame's number, and a writer that encodes it through
// libavcodec and libavformat, losslessly (FFV1 in Matroska, RGB) or lossily (MPEG-4 Part 2 in
// AVI). The frames are drawn by one function, so a reader can check what it decodes.
#pragma once

#include <cstdint>
#include <string>

namespace clip
{

constexpr int32_t width = 320;
constexpr int32_t height = 240;
constexpr int32_t framesPerSecond = 25;
constexpr int32_t frameCount = 50;

// Frame `index` (0 to 99 shown as two digits) as X8R8G8B8 pixels: bytes blue, green, red, 255;
// rows top first, `pitch` bytes apart.
void DrawFrame(int32_t index, uint8_t* pixels, int32_t pitch);

enum class Encoding
{
    lossless, // FFV1, BGR0 pixels, Matroska; the container follows the file name
    lossy,    // MPEG-4 Part 2, YUV 4:2:0; the container follows the file name
};

// Writes the clip; false with the reason in problem when it cannot.
bool WriteClip(const std::string& fileName, Encoding encoding, std::string& problem);

} // namespace clip
