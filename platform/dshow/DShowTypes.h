// What the movie playback layer shares across its objects: result codes, filter states, event
// codes, the one media type it streams (uncompressed X8R8G8B8 video) and the sample that carries a
// frame. Result codes keep DirectShow's numbers.
#pragma once

#include <cstdint>

namespace dshow
{

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_ABORT = int32_t(0x80004004);
constexpr HRESULT E_FAIL = int32_t(0x80004005);
constexpr HRESULT E_POINTER = int32_t(0x80004003);
constexpr HRESULT E_INVALIDARG = int32_t(0x80070057);
constexpr HRESULT E_OUTOFMEMORY = int32_t(0x8007000E);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = int32_t(0x80040204);
constexpr HRESULT VFW_E_NOT_CONNECTED = int32_t(0x80040209);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = int32_t(0x8004022A);
constexpr HRESULT VFW_E_NOT_STOPPED = int32_t(0x80040224);
constexpr HRESULT VFW_E_CANNOT_RENDER = int32_t(0x80040218);
constexpr HRESULT VFW_E_NOT_FOUND = int32_t(0x80040216);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = int32_t(0x80040240);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = int32_t(0x80040241);

inline bool Failed(HRESULT result)
{
    return result < 0;
}

enum FilterState : int32_t
{
    State_Stopped = 0,
    State_Paused = 1,
    State_Running = 2,
};

enum PinDirection : int32_t
{
    PINDIR_INPUT = 0,
    PINDIR_OUTPUT = 1,
};

// Event codes of the graph's event queue.
constexpr int32_t EC_COMPLETE = 1;

// Media times count 100-nanosecond units.
using ReferenceTime = int64_t;
constexpr ReferenceTime unitsPerSecond = 10'000'000;

enum class MediaSubtype : int32_t
{
    none = 0,
    rgb32 = 1, // X8R8G8B8: bytes blue, green, red, unused; rows top first, 4 x width bytes each
};

struct MediaType
{
    MediaSubtype subtype = MediaSubtype::none;
    int32_t width = 0;
    int32_t height = 0;
    ReferenceTime averageTimePerFrame = 0;
};

// One frame on its way to a renderer; the bits belong to the sender and are valid during the call.
struct MediaSample
{
    const uint8_t* bits = nullptr;
    int32_t pitch = 0;
    ReferenceTime startTime = 0; // stream time of the frame
    ReferenceTime endTime = 0;
};

} // namespace dshow
