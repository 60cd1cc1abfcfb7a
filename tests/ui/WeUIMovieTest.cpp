// The movie widget through a layout, on the recording painter and without a device: its type,
// its movie texture in the live list for as long as it lives, the mouse passing through it, and
// nothing drawn, children included, while it has no frame.
#include "WeUIMovie.h"
#include "UIFixture.h"
#include "WeRenderDevice.h"

namespace
{

using MovieWidget = UIFixture;

TEST_F(MovieWidget, ALayoutMovieIsNeverHitAndWithoutAFrameDrawsNeitherItselfNorItsChildren)
{
    LoadUI("[Components]\n"
           "ClipMovie=Movie:Root:ClipStyle:::#FFFFFFFF,0,0,400,300,0\n"
           "ClipTitle=Label:ClipMovie:ClipTitleStyle:%Title,0,0,200,40,1\n");
    uiMain.LoadComponents("Clip");
    auto* movie = dynamic_cast<WeUIMovie*>(uiMain.GetComponent("ClipMovie"));
    ASSERT_NE(movie, nullptr);
    EXPECT_STREQ(movie->GetTypeName(), "Movie");
    EXPECT_FALSE(movie->enabled);
    EXPECT_NE(movie->style, nullptr) << "the plain default style";
    ASSERT_NE(movie->renderer, nullptr);
    ASSERT_NE(renderDevice.movieTextures, nullptr);
    const int32_t live = renderDevice.movieTextures->GetCount();
    EXPECT_GE(live, 1);

    for (int32_t i = 0; i < 3; ++i)
    {
        uiMain.ProcessEvents();
        uiMain.Update();
    }
    ASSERT_EQ(movie->w, 400);
    const WeUIComponent* hit = uiMain.root->HitTest(movie->x + 10, movie->y + 10, false, false);
    EXPECT_FALSE(hit && hit->IsDescendantOf(movie)) << "neither the movie nor its caption is hit";
    painter.draws.clear();
    uiMain.Render();
    EXPECT_TRUE(painter.Kinds("raw").empty());
    EXPECT_TRUE(painter.Kinds("text").empty()) << "the child label is hidden with the movie";

    uiMain.DestroyComponent(movie);
    EXPECT_EQ(renderDevice.movieTextures->GetCount(), live - 1);
}

} // namespace
