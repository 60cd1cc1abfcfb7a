// The file source of a filter graph: reads a movie file through FFmpeg (libavformat,
// libavcodec), converts each frame to X8R8G8B8 (libswscale) and pushes it through its output pin
// on a streaming thread of its own, at the frame times scaled by the rate. At the end of the
// stream, or where the rest of a file cannot be read, it sends the end of the stream downstream.
#pragma once

#include "dshow/DShowFilter.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dshow
{

class MovieDecoder;

// A decoded frame: width x height X8R8G8B8 pixels, rows top first, and its stream time.
struct DecodedFrame
{
    std::vector<uint8_t> bits;
    ReferenceTime time = 0;
};

class FileSource : public BaseFilter
{
public:
    // Opens the file and decodes its first frame; results as GraphBuilder::RenderFile.
    static HRESULT Create(const std::string& fileName, FileSource** source);

    // Starts streaming from the current position when the output is connected.
    HRESULT Run() override;
    // Ends the streaming thread; the frame it was about to send is sent first by the next Run.
    HRESULT Stop() override;
    const MediaType& Type() const { return type; }
    Pin& OutputPin() const { return GetPin(0); }
    ReferenceTime Duration() const { return duration; }
    ReferenceTime CurrentPosition() const;
    HRESULT SetPosition(ReferenceTime position);
    HRESULT SetRate(double rate);
    double Rate() const;

    // Frames of one side no larger than this are read; larger ones are refused.
    static constexpr int32_t maxDimension = 4096;

private:
    FileSource();
    ~FileSource() override;
    HRESULT PinGetMediaType(const Pin& pin, MediaType* type) const override;
    void Stream();
    void StartStreaming();
    void EndStreaming();
    // Runs the change with the streaming thread stopped, and starts it again when it ran.
    template <typename Change> HRESULT WhileHalted(Change change);

    std::unique_ptr<MovieDecoder> decoder;
    MediaType type;
    ReferenceTime duration = 0;
    DecodedFrame frame;
    bool framePending = false; // frame is decoded and waits to be sent
    ReferenceTime position = 0;
    double rate = 1.0;
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread streaming;
};

} // namespace dshow
