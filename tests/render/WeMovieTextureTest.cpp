// Movie textures on the recording back end, playing the clips the build writes: the live list,
// frames in order in the textures, the end of the stream with and without looping, device loss
// and reset on both roads, refused dynamic textures, bounded state waits, and files that cannot
// be played.
#include "RenderDeviceFixture.h"
#include "WeMovieTextureRenderer.h"
#include "WeTexture.h"
#include "core/TempFolder.h"
#include "support/MovieClips.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

using namespace d3d9;

namespace
{

const WeString lossless = "ColourBars.mkv";
const WeString lossy = "ColourBars.avi";

class MovieTexture : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start());
    }
    // Opens the clip and plays it at ten times real time.
    void Open(WeMovieTextureRenderer& movie, const WeString& name,
              WeMovieTextureRenderer::Road road = WeMovieTextureRenderer::Road::frameSink)
    {
        ASSERT_TRUE(movie.Open(name, road)) << engine.lastError.GetData();
        ASSERT_EQ(movie.mediaPosition->put_Rate(10.0), dshow::S_OK);
    }
    // UI frames until the condition holds, for at most 30 seconds.
    static bool UpdateUntil(WeMovieTextureRenderer& movie, const std::function<bool()>& done)
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done())
        {
            if (std::chrono::steady_clock::now() > limit)
                return false;
            movie.Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    static dshow::FilterState State(WeMovieTextureRenderer& movie)
    {
        dshow::FilterState state = dshow::State_Paused;
        movie.mediaControl->GetState(0, &state);
        return state;
    }
    // The clip frame the texture holds exactly, searched from `from` on; -1 when none.
    static int32_t FrameIn(Texture* texture, int32_t from)
    {
        if (!texture)
            return -1;
        Surface* level = texture->Level(0, 0);
        for (int32_t i = std::max(from, 0); i < clip::frameCount; ++i)
            if (ClipFrameDifference(level->Memory().data(), int32_t(level->Pitch()), i) == 0.0)
                return i;
        return -1;
    }
    static bool AllZero(Texture* texture)
    {
        const std::vector<uint8_t>& bytes = texture->Level(0, 0)->Memory();
        return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
    }
    void LoseAndReset()
    {
        Device().SimulateDeviceLoss();
        ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
        ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    }
};

TEST_F(MovieTexture, WithoutAGraphEveryCallDoesNothingAndTheLiveListHoldsTheObject)
{
    {
        WeMovieTextureRenderer movie;
        ASSERT_NE(renderDevice.movieTextures, nullptr) << "made by the first registration";
        EXPECT_EQ(renderDevice.movieTextures->GetCount(), 1);
        EXPECT_EQ(renderDevice.movieTextures->First(), &movie);
        movie.Update();
        movie.OnLostDevice();
        movie.OnResetDevice();
        movie.Stop();
        EXPECT_FALSE(movie.WaitForState(dshow::State_Stopped));
        movie.Close();
        EXPECT_EQ(movie.GetTexture(), nullptr);
        EXPECT_FALSE(movie.running);
        EXPECT_TRUE(movie.fileName.IsEmpty());
        LoseAndReset();
    }
    EXPECT_EQ(renderDevice.movieTextures->GetCount(), 0);
}

TEST_F(MovieTexture, FramesOfTheLosslessClipComeInOrderWithTheirPixelsAndTheEndStopsIt)
{
    WeMovieTextureRenderer movie;
    Open(movie, lossless);
    EXPECT_EQ(movie.GetTexture(), nullptr) << "no frame before the first Update";
    int32_t last = -1, seen = 0;
    ASSERT_TRUE(UpdateUntil(movie,
                            [&]
                            {
                                if (Texture* texture = movie.GetTexture())
                                {
                                    const int32_t frame = FrameIn(texture, last);
                                    EXPECT_GE(frame, std::max(last, 0))
                                        << "every frame exact, none older than the last";
                                    seen += frame > last ? 1 : 0;
                                    last = std::max(last, frame);
                                }
                                return movie.ended;
                            }));
    EXPECT_EQ(FrameIn(movie.GetTexture(), 0), clip::frameCount - 1) << "the last frame stays";
    EXPECT_GE(seen, 2) << "frames went by, not just one";
    EXPECT_FALSE(movie.running);
    EXPECT_EQ(State(movie), dshow::State_Stopped);
    for (int32_t i = 0; i < 5; ++i)
        movie.Update();
    EXPECT_EQ(State(movie), dshow::State_Stopped) << "an ended movie is not run again";
    EXPECT_EQ(movie.GetTexture()->GetFormat(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(movie.GetTexture()->Width(), uint32_t(clip::width));
}

TEST_F(MovieTexture, ALoopingMovieRewindsToItsFirstFrameAtTheEnd)
{
    WeMovieTextureRenderer movie;
    movie.loop = true;
    Open(movie, lossy);
    bool late = false;
    ASSERT_TRUE(UpdateUntil(movie,
                            [&]
                            {
                                Texture* texture = movie.GetTexture();
                                if (!texture)
                                    return false;
                                const double toFirst = ClipFrameDifference(
                                    texture->Level(0, 0)->Memory().data(), clip::width * 4, 0);
                                late = late || ClipFrameDifference(texture->Level(0, 0)->Memory().data(),
                                                                   clip::width * 4, 45) < 3.0;
                                return late && toFirst < 3.0;
                            }))
        << "frame 0 again after the end";
    EXPECT_FALSE(movie.ended);
    EXPECT_EQ(State(movie), dshow::State_Running);
}

TEST_F(MovieTexture, WhileTheDeviceIsLostEveryUpdateStopsItAndTheFirstAfterTheResetRunsIt)
{
    WeMovieTextureRenderer movie;
    Open(movie, lossless);
    movie.mediaPosition->put_Rate(1.0);
    ASSERT_TRUE(UpdateUntil(movie, [&] { return movie.GetTexture() != nullptr; }));
    Device().SimulateDeviceLoss();
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    for (int32_t i = 0; i < 3; ++i)
    {
        movie.mediaControl->Run(); // as a stray Run would
        movie.Update();
        EXPECT_EQ(State(movie), dshow::State_Stopped);
        EXPECT_FALSE(movie.running);
    }
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    for (const auto& texture : movie.frameSink->textures)
    {
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->format, D3DFMT_X8R8G8B8);
        EXPECT_EQ(texture->pool, D3DPOOL_DEFAULT);
        EXPECT_TRUE(AllZero(texture->GetTexture2D())) << "cleared after the reset";
    }
    EXPECT_EQ(State(movie), dshow::State_Stopped);
    movie.Update();
    EXPECT_TRUE(movie.running);
    EXPECT_EQ(State(movie), dshow::State_Running);
    const int32_t before = FrameIn(movie.GetTexture(), 0);
    EXPECT_GE(before, 0) << "the newest frame is put into its new texture";
    movie.mediaPosition->put_Rate(10.0);
    ASSERT_TRUE(UpdateUntil(movie, [&] { return FrameIn(movie.GetTexture(), before + 1) > before; }))
        << "frames go on after the reset";
}

TEST_F(MovieTexture, RefusedDynamicTexturesLeaveTheSinkOnManagedOnesThatOutliveLosses)
{
    struct Case
    {
        bool refusedAtOpen;
    };
    for (const Case& c : {Case{true}, Case{false}})
    {
        SCOPED_TRACE(c.refusedAtOpen ? "refused at open" : "refused at the reset");
        WeMovieTextureRenderer movie;
        if (c.refusedAtOpen)
            direct3D->InjectFailure("CreateDynamicTexture", D3DERR_NOTAVAILABLE, 1);
        Open(movie, lossless);
        if (!c.refusedAtOpen)
        {
            EXPECT_TRUE(movie.frameSink->dynamicTextures);
            Device().SimulateDeviceLoss();
            renderDevice.CheckDevice();
            direct3D->InjectFailure("CreateDynamicTexture", D3DERR_NOTAVAILABLE, 1);
            ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
        }
        EXPECT_FALSE(movie.frameSink->dynamicTextures);
        WeTexture* kept[3];
        for (int32_t i = 0; i < 3; ++i)
        {
            kept[i] = movie.frameSink->textures[i].get();
            ASSERT_NE(kept[i], nullptr);
            EXPECT_EQ(kept[i]->pool, D3DPOOL_MANAGED);
            EXPECT_EQ(kept[i]->usage, 0u);
        }
        LoseAndReset();
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(movie.frameSink->textures[i].get(), kept[i]) << "managed textures are not made again";
        ASSERT_TRUE(UpdateUntil(movie, [&] { return movie.ended; }));
        EXPECT_EQ(FrameIn(movie.GetTexture(), 0), clip::frameCount - 1);
    }
}

TEST_F(MovieTexture, TheAllocatorRoadDisconnectsItsPinsOnLossAndConnectsThemAgainOnReset)
{
    WeMovieTextureRenderer movie;
    Open(movie, lossless, WeMovieTextureRenderer::Road::allocator);
    ASSERT_NE(movie.allocator, nullptr);
    EXPECT_EQ(movie.frameSink, nullptr);
    ASSERT_EQ(movie.allocator->surfaces.size(), 3u);
    ASSERT_TRUE(UpdateUntil(movie, [&] { return FrameIn(movie.GetTexture(), 3) >= 3; }));
    dshow::Pin& input = movie.sinkFilter->GetPin(0);
    dshow::Pin* upstream = input.Peer();
    ASSERT_NE(upstream, nullptr);

    // A reset that finds the device lost again: two losses, one reset.
    Device().SimulateDeviceLoss();
    renderDevice.CheckDevice();
    direct3D->InjectFailure("Reset", D3DERR_DEVICELOST, 1);
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    ASSERT_EQ(movie.pinPairs.size(), 1u);
    EXPECT_EQ(movie.pinPairs[0].first, &input);
    EXPECT_EQ(movie.pinPairs[0].second, upstream);
    EXPECT_EQ(input.Peer(), nullptr);
    EXPECT_EQ(upstream->Peer(), nullptr);
    EXPECT_TRUE(movie.allocator->surfaces.empty());
    EXPECT_EQ(movie.allocator->textures[0], nullptr);
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);

    EXPECT_TRUE(movie.pinPairs.empty());
    EXPECT_EQ(input.Peer(), upstream) << "the pins remembered by the first loss are connected again";
    EXPECT_EQ(movie.allocator->surfaces.size(), 3u);
    ASSERT_TRUE(UpdateUntil(movie, [&] { return movie.ended; }));
    EXPECT_EQ(FrameIn(movie.GetTexture(), 0), clip::frameCount - 1);
}

// A control whose state never comes, or whose every call fails.
class StuckControl : public dshow::MediaControl
{
public:
    explicit StuckControl(dshow::HRESULT answer) : answer(answer) {}
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    dshow::HRESULT Run() override { return dshow::S_OK; }
    dshow::HRESULT Stop() override { return dshow::S_OK; }
    dshow::HRESULT GetState(int32_t, dshow::FilterState* state) override
    {
        ++asked;
        *state = dshow::State_Running;
        return answer;
    }
    dshow::HRESULT answer;
    int32_t asked = 0;
};

TEST_F(MovieTexture, WaitingForAStateEndsWhenItNeverComesOrTheCallFails)
{
    WeMovieTextureRenderer movie;
    for (const auto& [answer, asked] :
         {std::pair{dshow::S_OK, WeMovieTextureRenderer::stateAttempts}, std::pair{dshow::E_FAIL, 1}})
    {
        StuckControl control(answer);
        movie.mediaControl = &control;
        EXPECT_FALSE(movie.WaitForState(dshow::State_Stopped));
        EXPECT_EQ(control.asked, asked);
        movie.running = true;
        movie.Stop();
        EXPECT_FALSE(movie.running);
        movie.mediaControl = nullptr;
    }
}

TEST_F(MovieTexture, MoviesThatCannotBePlayedFailToOpenWithTheReasonAndCutOnesEnd)
{
    TempFolder folder;
    const std::filesystem::path bin = std::filesystem::current_path();
    std::filesystem::create_directory(folder / "Movies");
    std::vector<unsigned char> whole = TempFolder::ReadBytes(losslessClip);
    TempFolder::WriteBytes(folder / "Movies/cut.mkv",
                           {whole.begin(), whole.begin() + long(whole.size() / 3)});
    TempFolder::WriteBytes(folder / "Movies/text.mkv", std::vector<unsigned char>(300, 'x'));
    std::filesystem::current_path(folder.path);
    struct Case
    {
        const char* name;
        const char* reason;
    };
    for (const Case& c :
         {Case{"missing.mkv", "the file is missing"}, Case{"text.mkv", "it holds no video that can be read"}})
    {
        WeMovieTextureRenderer movie;
        engine.lastError = "";
        EXPECT_FALSE(movie.Open(c.name));
        EXPECT_EQ(std::string(engine.lastError.GetData()),
                  std::string("Cannot play movie ") + c.name + ": " + c.reason);
        EXPECT_EQ(movie.graph, nullptr);
        movie.Update();
        EXPECT_EQ(movie.GetTexture(), nullptr);
    }
    WeMovieTextureRenderer movie;
    Open(movie, "cut.mkv");
    EXPECT_TRUE(UpdateUntil(movie, [&] { return movie.ended; })) << "a cut-off clip ends";
    const int32_t last = FrameIn(movie.GetTexture(), 0);
    EXPECT_GT(last, 0);
    EXPECT_LT(last, clip::frameCount - 1);
    // Closing a playing movie ends its thread before its frames go.
    ASSERT_TRUE(movie.Open("cut.mkv"));
    movie.Update();
    movie.Close();
    EXPECT_EQ(movie.GetTexture(), nullptr);
    std::filesystem::current_path(bin);
}

TEST_F(MovieTexture, TheDevicesShutDownClosesLiveMoviesAndFreesTheList)
{
    WeMovieTextureRenderer movie;
    Open(movie, lossless);
    movie.Update();
    renderDevice.Shutdown();
    EXPECT_EQ(movie.graph, nullptr);
    EXPECT_EQ(movie.frameSink, nullptr);
    EXPECT_EQ(renderDevice.movieTextures, nullptr);
    movie.Update();
    EXPECT_EQ(movie.GetTexture(), nullptr);
}

} // namespace
