// The movie playback layer over FFmpeg, on the clips the build writes: graphs that render a file
// into a renderer of the test's own, frames in order with their pixels, the end of the stream,
// stopping, rewinding, pins taken apart and put together again, and damaged files.
#include "dshow/DShowGraph.h"
#include "core/TempFolder.h"
#include "support/MovieClips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace dshow;

namespace
{

// A renderer that keeps every frame it is handed.
class FrameLog : public BaseRenderer
{
public:
    struct Frame
    {
        ReferenceTime time;
        std::vector<uint8_t> bits;
    };
    std::vector<Frame> Frames()
    {
        std::lock_guard lock(mutex);
        return frames;
    }
    MediaType connected;
    int32_t disconnects = 0;

private:
    HRESULT SetMediaType(const MediaType& type) override
    {
        connected = type;
        return S_OK;
    }
    void BreakConnect() override { ++disconnects; }
    HRESULT DoRenderSample(const MediaSample& sample) override
    {
        std::lock_guard lock(mutex);
        frames.push_back(
            {sample.startTime, {sample.bits, sample.bits + size_t(sample.pitch) * connected.height}});
        return S_OK;
    }
    std::mutex mutex;
    std::vector<Frame> frames;
};

// A surface allocator that logs what the allocator renderer tells it.
class AllocatorLog : public SurfaceAllocator
{
public:
    HRESULT InitializeDevice(const MediaType& type, uint32_t bufferCount) override
    {
        calls.push_back("InitializeDevice " + std::to_string(type.width) + "x" + std::to_string(type.height) +
                        " " + std::to_string(bufferCount));
        return S_OK;
    }
    HRESULT TerminateDevice() override
    {
        calls.push_back("TerminateDevice");
        return S_OK;
    }
    HRESULT PresentImage(const MediaSample&) override
    {
        ++presented;
        return S_OK;
    }
    std::vector<std::string> calls;
    std::atomic<int32_t> presented{0};
};

class MovieGraph : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(CreateFilterGraph(&graph), S_OK);
        ASSERT_EQ(graph->QueryInterface(&control), S_OK);
        ASSERT_EQ(graph->QueryInterface(&position), S_OK);
        ASSERT_EQ(graph->QueryInterface(&events), S_OK);
        log = new FrameLog;
        ASSERT_EQ(graph->AddFilter(log, "log"), S_OK);
    }
    void TearDown() override
    {
        control->Release();
        position->Release();
        events->Release();
        graph->Release();
        log->Release();
    }
    // Renders the file at ten times real time.
    void Render(const std::string& file)
    {
        ASSERT_EQ(graph->RenderFile(file.c_str()), S_OK);
        ASSERT_EQ(position->put_Rate(10.0), S_OK);
    }
    // The next event within 30 seconds (the clip takes 0.2 s at ten times real time), or 0.
    int32_t NextEvent()
    {
        int32_t code = 0;
        intptr_t first = 0, second = 0;
        if (Failed(events->GetEvent(&code, &first, &second, 30000)))
            return 0;
        events->FreeEventParams(code, first, second);
        return code;
    }
    // Plays from the current position to the end of the stream.
    void PlayToEnd()
    {
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_EQ(NextEvent(), EC_COMPLETE);
        control->Stop();
    }

    GraphBuilder* graph = nullptr;
    MediaControl* control = nullptr;
    MediaPosition* position = nullptr;
    MediaEventEx* events = nullptr;
    FrameLog* log = nullptr;
};

TEST_F(MovieGraph, TheLosslessClipArrivesFrameByFrameWithItsPixelsAndThenCompletes)
{
    Render(losslessClip);
    EXPECT_EQ(log->connected.width, clip::width);
    EXPECT_EQ(log->connected.height, clip::height);
    EXPECT_EQ(log->connected.averageTimePerFrame, unitsPerSecond / clip::framesPerSecond);
    double duration = 0.0;
    ASSERT_EQ(position->get_Duration(&duration), S_OK);
    EXPECT_NEAR(duration, 2.0, 0.05);
    PlayToEnd();
    const std::vector<FrameLog::Frame> frames = log->Frames();
    ASSERT_EQ(frames.size(), size_t(clip::frameCount));
    for (int32_t i = 0; i < clip::frameCount; ++i)
    {
        EXPECT_EQ(frames[i].time, i * unitsPerSecond / clip::framesPerSecond);
        EXPECT_EQ(ClipFrameDifference(frames[i].bits.data(), clip::width * 4, i), 0.0) << "frame " << i;
    }
    int32_t code = 0;
    intptr_t first = 0, second = 0;
    EXPECT_EQ(events->GetEvent(&code, &first, &second, 0), E_ABORT) << "one EC_COMPLETE only";
}

TEST_F(MovieGraph, TheLossyClipArrivesInOrderCloseToItsFrames)
{
    Render(lossyClip);
    PlayToEnd();
    const std::vector<FrameLog::Frame> frames = log->Frames();
    ASSERT_EQ(frames.size(), size_t(clip::frameCount));
    for (int32_t i = 0; i < clip::frameCount; ++i)
    {
        const double own = ClipFrameDifference(frames[i].bits.data(), clip::width * 4, i);
        EXPECT_LT(own, 3.0) << "frame " << i;
        // Only the number changes from frame to frame, yet the frame is nearer its own number.
        EXPECT_LT(own, ClipFrameDifference(frames[i].bits.data(), clip::width * 4, (i + 1) % 100)) << i;
    }
}

TEST_F(MovieGraph, StopKeepsThePositionAndRunGoesOnFromThere)
{
    Render(losslessClip);
    ASSERT_EQ(position->put_Rate(1.0), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    while (log->Frames().size() < 3)
        std::this_thread::yield();
    ASSERT_EQ(control->Stop(), S_OK);
    FilterState state = State_Running;
    ASSERT_EQ(control->GetState(1, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    const size_t before = log->Frames().size();
    double at = 0.0;
    position->get_CurrentPosition(&at);
    EXPECT_NEAR(at, double(before) / clip::framesPerSecond, 1e-6);
    ASSERT_EQ(position->put_Rate(10.0), S_OK);
    PlayToEnd();
    const std::vector<FrameLog::Frame> frames = log->Frames();
    ASSERT_EQ(frames.size(), size_t(clip::frameCount)) << "no frame repeated or lost";
    for (size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].time, ReferenceTime(i) * unitsPerSecond / clip::framesPerSecond);
}

TEST_F(MovieGraph, RewindingAtTheEndPlaysFromTheFirstFrameAgain)
{
    for (const char* file : {losslessClip, lossyClip})
    {
        SCOPED_TRACE(file);
        TearDown();
        SetUp();
        Render(file);
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_EQ(NextEvent(), EC_COMPLETE);
        // Still running at the end: the new position streams at once.
        ASSERT_EQ(position->put_CurrentPosition(0.0), S_OK);
        ASSERT_EQ(NextEvent(), EC_COMPLETE);
        control->Stop();
        const std::vector<FrameLog::Frame> frames = log->Frames();
        ASSERT_EQ(frames.size(), 2u * clip::frameCount);
        EXPECT_EQ(frames[clip::frameCount].time, 0);
        EXPECT_LT(ClipFrameDifference(frames[clip::frameCount].bits.data(), clip::width * 4, 0), 3.0);
    }
}

TEST_F(MovieGraph, PinsDisconnectOnlyWhenStoppedAndConnectAgainWithTheSameType)
{
    Render(losslessClip);
    EnumPins* pins = nullptr;
    ASSERT_EQ(log->EnumPins(&pins), S_OK);
    Pin* pin = nullptr;
    uint32_t fetched = 0;
    ASSERT_EQ(pins->Next(1, &pin, &fetched), S_OK);
    ASSERT_EQ(fetched, 1u);
    Pin* extra = nullptr;
    EXPECT_EQ(pins->Next(1, &extra, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    pins->Release();
    Pin* upstream = nullptr;
    ASSERT_EQ(pin->ConnectedTo(&upstream), S_OK);
    PinDirection direction = PINDIR_INPUT;
    upstream->QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_OUTPUT);

    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(pin->Disconnect(), VFW_E_NOT_STOPPED);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(pin->Disconnect(), S_OK);
    EXPECT_EQ(upstream->Disconnect(), S_OK);
    EXPECT_EQ(pin->Disconnect(), S_FALSE);
    EXPECT_EQ(log->disconnects, 1);
    Pin* none = pin;
    EXPECT_EQ(pin->ConnectedTo(&none), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(none, nullptr);

    log->connected = MediaType{};
    ASSERT_EQ(upstream->Connect(pin, nullptr), S_OK);
    EXPECT_EQ(log->connected.width, clip::width);
    EXPECT_EQ(upstream->Connect(pin, nullptr), VFW_E_ALREADY_CONNECTED);
    upstream->Release();
    pin->Release();
    PlayToEnd();
    EXPECT_EQ(log->Frames().size(), size_t(clip::frameCount));
}

TEST_F(MovieGraph, TheAllocatorRendererHandsItsAllocatorTheTypeTheFramesAndTheDisconnection)
{
    auto* allocator = new AllocatorLog;
    BaseFilter* renderer = nullptr;
    ASSERT_EQ(CreateAllocatorRenderer(allocator, &renderer), S_OK);
    ASSERT_EQ(graph->RemoveFilter(log), S_OK);
    ASSERT_EQ(graph->AddFilter(renderer, "allocator"), S_OK);
    Render(losslessClip);
    PlayToEnd();
    EXPECT_EQ(allocator->presented, clip::frameCount);
    renderer->GetPin(0).Peer()->Disconnect();
    renderer->GetPin(0).Disconnect();
    EXPECT_EQ(allocator->calls, (std::vector<std::string>{"InitializeDevice 320x240 3", "TerminateDevice"}));
    renderer->Release();
    allocator->Release();
}

TEST_F(MovieGraph, FilesThatCannotBeRenderedAreRefusedWithTheirReason)
{
    TempFolder folder;
    TempFolder::WriteBytes(folder / "text.mkv", std::vector<unsigned char>(400, 'x'));
    // The header describes the stream; from the first cluster of frames on, all is garbled.
    std::vector<unsigned char> garbled = TempFolder::ReadBytes(losslessClip);
    const unsigned char cluster[] = {0x1F, 0x43, 0xB6, 0x75};
    const auto frames = std::search(garbled.begin(), garbled.end(), std::begin(cluster), std::end(cluster));
    ASSERT_LT(frames + 16, garbled.end());
    std::fill(frames + 16, garbled.end(), 0x5A);
    TempFolder::WriteBytes(folder / "garbled.mkv", garbled);
    struct Case
    {
        std::string file;
        HRESULT expected;
    };
    for (const Case& c :
         {Case{folder / "missing.mkv", VFW_E_NOT_FOUND}, Case{folder / "text.mkv", VFW_E_UNKNOWN_FILE_TYPE},
          Case{folder / "garbled.mkv", VFW_E_INVALID_FILE_FORMAT}})
        EXPECT_EQ(graph->RenderFile(c.file.c_str()), c.expected) << c.file;
    ASSERT_EQ(graph->RemoveFilter(log), S_OK);
    EXPECT_EQ(graph->RenderFile(losslessClip), VFW_E_CANNOT_RENDER) << "no renderer in the graph";
    double duration = 0.0;
    EXPECT_EQ(position->get_Duration(&duration), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(control->Run(), S_OK) << "a graph without a file runs and streams nothing";
    int32_t code = 0;
    intptr_t first = 0, second = 0;
    EXPECT_EQ(events->GetEvent(&code, &first, &second, 10), E_ABORT);
}

// Cut off or damaged: the frames that can be read come, then EC_COMPLETE; or the file is refused.
TEST_F(MovieGraph, CutOffAndDamagedClipsEndCleanly)
{
    TempFolder folder;
    for (const char* file : {losslessClip, lossyClip})
    {
        const std::vector<unsigned char> whole = TempFolder::ReadBytes(file);
        ASSERT_GT(whole.size(), 4096u);
        std::vector<unsigned char> cut(whole.begin(), whole.begin() + long(whole.size() / 2));
        std::vector<unsigned char> damaged = whole;
        for (size_t i = 2048; i < damaged.size(); i += 97)
            damaged[i] = uint8_t(damaged[i] * 31 + 7);
        for (const auto& [name, bytes, mustRender] :
             {std::tuple{"cut", cut, true}, std::tuple{"damaged", damaged, false}})
        {
            const std::string path = folder / (std::string(name) + (file == losslessClip ? ".mkv" : ".avi"));
            SCOPED_TRACE(path);
            TempFolder::WriteBytes(path, bytes);
            TearDown();
            SetUp();
            const HRESULT rendered = graph->RenderFile(path.c_str());
            if (!mustRender && Failed(rendered))
                continue;
            ASSERT_EQ(rendered, S_OK);
            position->put_Rate(50.0);
            PlayToEnd();
            EXPECT_GT(log->Frames().size(), 0u);
            EXPECT_LE(log->Frames().size(), size_t(clip::frameCount));
        }
    }
}

} // namespace
