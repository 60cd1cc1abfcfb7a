// The game on an X server of its own, killed while the game runs: Xlib ends the program with its
// message, and the exit is a plain one, neither a crash nor a hang (nor a sanitizer's report in
// the sanitized build).
#include "core/PrivateXServer.h"
#include "core/TempFolder.h"

#include <gtest/gtest.h>
// After the test framework: Xlib's macros would rename its identifiers.
#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace
{

using namespace std::chrono_literals;
using namespace test_x;

// A window gone between the query of the root's children and the look at it is no error here:
// Xlib's own handler would end the test.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// A viewable window on the display's root, as the game's is once it shows.
bool AWindowShows(Display* display)
{
    XSetErrorHandler(IgnoreXError);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    bool shown = false;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
    {
        for (unsigned int i = 0; i < count && !shown; ++i)
        {
            XWindowAttributes attributes{};
            shown =
                XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable;
        }
        XFree(children);
    }
    return shown;
}

TEST(DisplayLoss, TheGameEndsWithXlibsMessageAndAPlainExit)
{
    Child server;
    const std::string displayName = StartXServer(server);
    if (displayName.empty())
        GTEST_SKIP() << "no Xvfb to run the game on";

    TempFolder home;
    Child game;
    std::vector<std::string> environment =
        EnvironmentWithout({"DISPLAY", "SDL_VIDEODRIVER", "HOME", "XDG_DOCUMENTS_DIR", "ALSOFT_DRIVERS"});
    environment.insert(environment.end(), {"DISPLAY=" + displayName, "HOME=" + home.path,
                                           "XDG_DOCUMENTS_DIR=" + home.path, "ALSOFT_DRIVERS=null"});
    const std::string output = home / "output.txt";
    ASSERT_TRUE(game.Start({"./Mivo", "1"}, environment, output));

    const auto said = [&]
    {
        const std::vector<unsigned char> bytes = TempFolder::ReadBytes(output);
        return std::string(bytes.begin(), bytes.end());
    };
    Display* display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr);
    bool shown = false;
    int status = -1;
    for (int i = 0; i < 1200 && !shown && (status = game.Wait(0s)) == -1; ++i)
    {
        std::this_thread::sleep_for(100ms);
        shown = AWindowShows(display);
    }
    XCloseDisplay(display);
    ASSERT_EQ(status, -1) << "the game ended before its window showed, status " << status << "\n" << said();
    ASSERT_TRUE(shown) << "the game's window never showed\n" << said();
    std::this_thread::sleep_for(1s); // frames are drawn
    server.Signal(SIGTERM);

    status = game.Wait(120s);
    const std::string message = said();
    ASSERT_NE(status, -1) << "the game hung after the display went\n" << message;
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << message;
    EXPECT_EQ(WEXITSTATUS(status), 1) << message;
    // Xlib words its message by the error the connection met: a broken pipe, or another.
    EXPECT_TRUE(message.find("X connection to " + displayName + " broken") != std::string::npos ||
                message.find("on X server \"" + displayName + "\"") != std::string::npos)
        << message;
    EXPECT_EQ(message.find("Sanitizer"), std::string::npos) << message;
    EXPECT_EQ(message.find("runtime error"), std::string::npos) << message;
}

} // namespace
