// The movie widget on the OpenGL back end: a window holding a movie widget with a caption on it,
// drawn by the UI manager and compared with stored reference images: the clip's frame 25 inside
// the window (also after a device loss and reset, with no frame decoded since), and the window
// alone while the widget has no frame. Styles come from the shipped UI.ini, the clip from the
// build's Movies folder.
//
// References: tests/ui/reference/movie_widget.bmp and movie_widget_empty.bmp; made again by
// running with WE_UPDATE_REFERENCE=1 (look at them before committing).
#include "UIScreenFixture.h"
#include "WeUIMovie.h"

#include <chrono>
#include <thread>

namespace
{

class MovieScreen : public UIScreenFixture
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        StartScreen("ShotWin=Window:Root:MenuWindow:::#FF203048,0,0,280,200,0\n"
                    "ShotMovie=Movie:ShotWin:ShotMovieStyle:::#FFFFFFFF,0%0.5%0.5,20,200,150,1\n"
                    "ShotCaption=Label:ShotMovie:MenuTitle:%Frame,0%0.5%0.5,0,200,30,1\n",
                    "Shot");
        if (HasFatalFailure())
            return;
        movie = dynamic_cast<WeUIMovie*>(uiMain.GetComponent("ShotMovie"));
        ASSERT_NE(movie, nullptr);
    }

    WeUIMovie* movie = nullptr;
};

TEST_F(MovieScreen, AMovieWidgetShowsItsFrameInTheWindowAndKeepsItThroughALossAndReset)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "movie_widget.bmp";
    WeMovieTextureRenderer& renderer = *movie->renderer;
    ASSERT_TRUE(renderer.Open("ColourBars.mkv")) << engine.lastError.GetData();
    // Frame 25 now, the next one not for 40 seconds.
    renderer.mediaPosition->put_Rate(0.001);
    renderer.mediaPosition->put_CurrentPosition(1.0);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!renderer.GetTexture() && std::chrono::steady_clock::now() < limit)
    {
        uiMain.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_NE(renderer.GetTexture(), nullptr);
    Settle();
    UIScreenApplication frame;
    ExpectMatchesReference(Shoot(frame), 60);

    Device().SimulateDeviceLoss();
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Lost);
    ASSERT_EQ(renderDevice.CheckDevice(), WeDeviceState::Usable);
    ExpectMatchesReference(Shoot(frame), 60);
}

TEST_F(MovieScreen, WithoutAFrameTheMovieWidgetHidesItselfAndItsCaption)
{
    reference = std::filesystem::path(__FILE__).parent_path() / "reference" / "movie_widget_empty.bmp";
    Settle();
    UIScreenApplication frame;
    ExpectMatchesReference(Shoot(frame), 60);
}

} // namespace
