// Movie textures: a movie file played through a filter graph, its current frame as a texture for
// the canvas. Frames arrive by one of two roads: the frame sink (a renderer filter that fills
// three rotating X8R8G8B8 textures) or a renderer that hands them to the allocator (which owns
// three raw textures). Either way the streaming thread only copies frames into memory; the
// newest is put into its texture on the main thread when the texture is asked for. Every movie
// texture is in the render device's live list, under its movieLock, so that device loss, reset
// and shut-down reach it.
#pragma once

#include "WeString.h"
#include "d3d9/D3d9Device.h"
#include "dshow/DShowGraph.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class WeTexture;

// Three frames in memory, written in turn on the streaming thread. Each remembers whether its
// texture has it yet.
class WeMovieFrames
{
public:
    static constexpr int32_t count = 3;

    // Main thread, while nothing streams: frames of this size; none is newest.
    void SetSize(int32_t width, int32_t height);
    // Streaming thread: the sample into the frame after the newest, which becomes the newest.
    void Store(const dshow::MediaSample& sample);
    // Main thread: the newest frame's index, -1 before the first frame. When its texture lacks
    // it, upload(index, bits, pitch) puts it there and says whether that worked.
    template <typename Upload> int32_t TakeNewest(Upload upload);
    // The texture of the frame was made again and holds nothing yet.
    void Invalidate(int32_t index);
    int32_t Width() const { return width; }
    int32_t Height() const { return height; }

private:
    std::mutex mutex;
    std::vector<uint8_t> bits[count];
    bool taken[count] = {};
    int32_t newest = -1;
    int32_t width = 0, height = 0;
};

// The copying renderer of the frame-sink road.
class WeMovieFrameSink : public dshow::BaseRenderer
{
public:
    WeMovieFrameSink() = default;
    // Loss: default-pool (dynamic) textures go; managed ones stay.
    void OnLostDevice();
    // The frame textures that are missing, X8R8G8B8 at the video's size, cleared to zero: dynamic
    // while dynamicTextures holds (all three or none; a refusal clears it), else managed.
    void CreateTextures();
    // The newest frame's texture (its frame copied in first), or null without a frame or texture.
    d3d9::Texture* GetTexture();

    bool dynamicTextures = true;
    std::unique_ptr<WeTexture> textures[WeMovieFrames::count];
    int32_t handedOut = -1;

private:
    ~WeMovieFrameSink() override;
    bool CreateTexture(int32_t index, bool dynamic);
    dshow::HRESULT SetMediaType(const dshow::MediaType& type) override;
    dshow::HRESULT DoRenderSample(const dshow::MediaSample& sample) override;

    WeMovieFrames frames;
};

// The allocator road's owner of raw textures, given the frames by the allocator renderer.
class WeMovieAllocator : public dshow::SurfaceAllocator
{
public:
    // The three textures and the surface vector; nothing when they exist already.
    dshow::HRESULT InitializeDevice(const dshow::MediaType& type, uint32_t bufferCount) override;
    dshow::HRESULT TerminateDevice() override;
    dshow::HRESULT PresentImage(const dshow::MediaSample& sample) override;
    // Releases the textures and every surface of the vector, and empties it.
    void ReleaseSurfaces();
    d3d9::Texture* GetTexture();

    d3d9::Texture* textures[WeMovieFrames::count] = {};
    std::vector<d3d9::Surface*> surfaces;
    int32_t handedOut = -1;

private:
    ~WeMovieAllocator() override;
    WeMovieFrames frames;
};

class WeMovieTextureRenderer
{
public:
    enum class Road
    {
        frameSink,
        allocator,
    };
    // The most GetState calls one wait makes.
    static constexpr int32_t stateAttempts = 1000;

    WeMovieTextureRenderer();
    virtual ~WeMovieTextureRenderer();
    WeMovieTextureRenderer(const WeMovieTextureRenderer&) = delete;
    WeMovieTextureRenderer& operator=(const WeMovieTextureRenderer&) = delete;

    // Builds the graph for the file "Movies\" + name by the road; a movie open before is closed.
    // False, with the reason in the engine's last error, when the file cannot be opened or
    // decoded: then nothing plays and GetTexture stays null.
    bool Open(const WeString& name, Road road = Road::frameSink);
    // Once per UI update: stops the movie while the device is lost, runs it otherwise, and
    // handles one event (the end: rewind when looping, else stop for good).
    void Update();
    // The current frame's texture, or null.
    d3d9::Texture* GetTexture();
    void Stop();
    // Asks for the state until it comes, at most stateAttempts times; false when a call fails
    // or the state does not come.
    bool WaitForState(dshow::FilterState state);
    // Stops (the streaming thread has ended then) and releases everything.
    void Close();
    void OnLostDevice();
    void OnResetDevice();

    WeString fileName;
    bool running = false;
    bool loop = false;
    bool ended = false; // stopped at the end of the stream; Update does not run it again
    dshow::GraphBuilder* graph = nullptr;
    dshow::MediaControl* mediaControl = nullptr;
    dshow::MediaPosition* mediaPosition = nullptr;
    dshow::MediaEventEx* mediaEvent = nullptr;
    WeMovieFrameSink* frameSink = nullptr;
    dshow::BaseFilter* sinkFilter = nullptr;
    WeMovieAllocator* allocator = nullptr;
    // sinkFilter's pins and the pins they were connected to, from a loss until the reset.
    std::vector<std::pair<dshow::Pin*, dshow::Pin*>> pinPairs;

private:
    bool Fail(const WeString& name, dshow::HRESULT result);
};
