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
        if (message.IsEmpty())
            message = nvtt::errorString(e);
    }
    WeString message;
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

bool WeCompressPixels(const uint32_t* pixels, int32_t width, int32_t height, d3d9::Format format,
                      bool mipmaps, WeCompressedOutput& output, WeString& error)
{
    nvtt::CompressionOptions compression;
    if (!ChooseFormat(compression, format))
    {
        error = "only A8R8G8B8, DXT1, DXT3 and DXT5 are written";
        return false;
    }
    if (width < 1 || height < 1 || width > 16384 || height > 16384)
    {
        error = "the image size must be 1 to 16384 pixels each way";
        return false;
    }
    nvtt::InputOptions input;
    input.setTextureLayout(nvtt::TextureType_2D, width, height);
    input.setFormat(nvtt::InputFormat_BGRA_8UB);
    if (!input.setMipmapData(pixels, width, height))
    {
        error = "the compressor refused the image";
        return false;
    }
    input.setMipmapGeneration(mipmaps);
    input.setMipmapFilter(nvtt::MipmapFilter_Box);
    // The higher qualities of the packaged library garble colour indices of DXT3 and DXT5 blocks
    // (a block of two exact colours comes back with a wrong last row) and are no better on smooth
    // images.
    compression.setQuality(nvtt::Quality_Fastest);
    OutputAdapter adapter(output);
    ErrorCollector errors;
    nvtt::OutputOptions options;
    options.setOutputHeader(false);
    options.setOutputHandler(&adapter);
    options.setErrorHandler(&errors);
    if (!nvtt::Compressor().process(input, compression, options))
    {
        error = "compression failed: ";
        error += errors.message.IsEmpty() ? WeString("unknown error") : errors.message;
        return false;
    }
    return true;
}
