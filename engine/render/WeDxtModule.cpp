// The loadable module around NVIDIA Texture Tools: the program does not link the compressor (and
// the ten libraries it needs) but opens this module at the first compression.
#include "WeDxtCompressor.h"

#include <nvtt/nvtt.h>

namespace
{

class OutputAdapter : public nvtt::OutputHandler
{
public:
    explicit OutputAdapter(WeCompressedOutput& output) : output(output) {}
    void beginImage(int size, int, int, int, int, int) override { output.BeginLevel(size); }
    bool writeData(const void* data, int size) override { return size >= 0 && output.Write(data, size); }

private:
    WeCompressedOutput& output;
};

class ErrorCollector : public nvtt::ErrorHandler
{
public:
    void error(nvtt::Error e) override
    {
        if (!message)
            message = nvtt::errorString(e);
    }
    const char* message = nullptr;
};

bool ChooseFormat(nvtt::CompressionOptions& options, d3d9::Format format)
{
    switch (format)
    {
    case d3d9::D3DFMT_DXT1:
        options.setFormat(nvtt::Format_DXT1);
        return true;
    case d3d9::D3DFMT_DXT3:
        options.setFormat(nvtt::Format_DXT3);
        return true;
    case d3d9::D3DFMT_DXT5:
        options.setFormat(nvtt::Format_DXT5);
        return true;
    case d3d9::D3DFMT_A8R8G8B8:
        options.setFormat(nvtt::Format_RGBA);
        options.setPixelFormat(32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" WeDxtResult WeDxtCompress(const WeDxtRequest* request, WeCompressedOutput* output,
                                     const char** detail)
{
    nvtt::CompressionOptions compression;
    if (!ChooseFormat(compression, request->format))
        return WeDxtResult::BadFormat;
    if (request->width < 1 || request->height < 1 || request->width > 16384 || request->height > 16384)
        return WeDxtResult::BadSize;
    nvtt::InputOptions input;
    input.setTextureLayout(nvtt::TextureType_2D, request->width, request->height);
    input.setFormat(nvtt::InputFormat_BGRA_8UB);
    if (!input.setMipmapData(request->pixels, request->width, request->height))
        return WeDxtResult::Refused;
    input.setMipmapGeneration(request->mipmaps);
    input.setMipmapFilter(nvtt::MipmapFilter_Box);
    // The higher qualities of the packaged library garble colour indices of DXT3 and DXT5 blocks
    // (a block of two exact colours comes back with a wrong last row) and are no better on smooth
    // images.
    compression.setQuality(nvtt::Quality_Fastest);
    OutputAdapter adapter(*output);
    ErrorCollector errors;
    nvtt::OutputOptions options;
    options.setOutputHeader(false);
    options.setOutputHandler(&adapter);
    options.setErrorHandler(&errors);
    if (nvtt::Compressor().process(input, compression, options))
        return WeDxtResult::Done;
    *detail = errors.message;
    return WeDxtResult::Failed;
}
