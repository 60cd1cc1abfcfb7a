// Block compression of 32-bit pixels through NVIDIA Texture Tools, on the CPU at the fastest
// quality: the light maps use it at run time and the texture tools at build time. The compressed
// levels go to an output the caller provides, so they can land straight in locked texture memory.
// The compressor lives in a module beside the program ("libwe_dxt.so"), opened at the first
// compression rather than linked: the loader no longer maps it and the ten libraries it needs at
// every start.
#pragma once

#include "WeString.h"
#include "d3d9/D3d9Types.h"

#include <cstdint>

// Receives the compressed image level by level: the start of each level with its byte count,
// then its bytes in pieces.
class WeCompressedOutput
{
public:
    virtual ~WeCompressedOutput() = default;
    virtual void BeginLevel(int32_t size) = 0;
    // False stops the compression.
    virtual bool Write(const void* data, int32_t size) = 0;
};

// Compresses width x height pixels, 32-bit words with blue in the lowest byte (A8R8G8B8 as
// locked), rows packed, into DXT1, DXT3 or DXT5, or as A8R8G8B8 again; with mipmaps the whole
// chain follows level 0. False, with the reason, for another format, a size outside 1 to 16384 or
// a failure of the compressor or of the output.
bool WeCompressPixels(const uint32_t* pixels, int32_t width, int32_t height, d3d9::Format format,
                      bool mipmaps, WeCompressedOutput& output, WeString& error);

// What the module is asked and answers.
struct WeDxtRequest
{
    const uint32_t* pixels;
    int32_t width, height;
    d3d9::Format format;
    bool mipmaps;
};
enum class WeDxtResult
{
    Done,
    BadFormat,
    BadSize,
    Refused, // the compressor refused the image
    Failed,  // the compression failed, with the compressor's reason as detail (or null)
};
// The module's entry, "WeDxtCompress".
using WeDxtCompressCall = WeDxtResult (*)(const WeDxtRequest* request, WeCompressedOutput* output,
                                          const char** detail);

// Opens the module at the path and finds its entry; false, with the path and what failed as the
// problem, when it cannot. A module whose entry was found stays open.
bool WeLoadDxtModule(const char* path, WeDxtCompressCall& call, WeString& problem);
