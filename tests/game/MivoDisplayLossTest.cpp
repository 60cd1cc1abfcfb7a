// The game on an X server of its own, killed while the game runs: Xlib ends the program with its
// message, and the exit is a plain one, neither a crash nor a hang (nor a sanitizer's report in
// the sanitized build).
#include "core/TempFolder.h"

#include <gtest/gtest.h>
// After the test framework: Xlib's macros would rename its identifiers.
#include <X11/Xlib.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

using namespace std::chrono_literals;

// A started program; killed and reaped with the object when it still runs.
class Child
{
public:
    // Starts the program found on the path with the arguments, its output into the file (none:
    // inherited); false when it cannot be started.
    bool Start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
               const std::string& output = "")
    {
        std::vector<char*> argv, envp;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        for (const std::string& variable : environment)
            envp.push_back(const_cast<char*>(variable.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!output.empty())
        {
            posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        }
        const bool started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (!started)
            pid = -1;
        return started;
    }
    ~Child()
    {
        if (pid > 0)
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // Waits up to the time for the program to end; its wait status, or -1 when it still runs.
    int Wait(std::chrono::seconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (pid > 0 && std::chrono::steady_clock::now() < end)
        {
            if (::waitpid(pid, &status, WNOHANG) == pid)
            {
                pid = -1;
                return status;
            }
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }
    void Signal(int signal) const { ::kill(pid, signal); }

private:
    pid_t pid = -1;
};

// This process's environment less the variables named.
std::vector<std::string> EnvironmentWithout(const std::vector<std::string_view>& names)
{
    std::vector<std::string> kept;
    for (char** variable = environ; *variable; ++variable)
    {
        const std::string_view entry(*variable);
        bool dropped = false;
        for (const std::string_view name : names)
            dropped = dropped ||
                      (entry.starts_with(name) && entry.size() > name.size() && entry[name.size()] == '=');
        if (!dropped)
            kept.emplace_back(entry);
    }
    return kept;
}

// A viewable window on the display's root, as the game's is once it shows.
bool AWindowShows(Display* display)
{
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
    // The X server tells its display number on a pipe, inherited, once it accepts connections.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    Child server;
    const bool serverStarted = server.Start(
        {"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", "800x600x24", "-nolisten", "tcp"},
        EnvironmentWithout({}));
    ::close(ready[1]);
    if (!serverStarted)
    {
        ::close(ready[0]);
        GTEST_SKIP() << "no Xvfb to run the game on";
    }
    char number[16] = {};
    const ssize_t got = ::read(ready[0], number, sizeof number - 1);
    ::close(ready[0]);
    ASSERT_GT(got, 0) << "the X server did not start";
    const std::string displayName = ":" + std::to_string(std::stoi(number));

    TempFolder home;
    Child game;
    std::vector<std::string> environment =
        EnvironmentWithout({"DISPLAY", "SDL_VIDEODRIVER", "HOME", "XDG_DOCUMENTS_DIR", "ALSOFT_DRIVERS"});
    environment.insert(environment.end(), {"DISPLAY=" + displayName, "HOME=" + home.path,
                                           "XDG_DOCUMENTS_DIR=" + home.path, "ALSOFT_DRIVERS=null"});
    const std::string output = home / "output.txt";
    ASSERT_TRUE(game.Start({"./Mivo", "1"}, environment, output));

    Display* display = XOpenDisplay(displayName.c_str());
    ASSERT_NE(display, nullptr);
    bool shown = false;
    for (int i = 0; i < 1200 && !shown && game.Wait(0s) == -1; ++i)
    {
        std::this_thread::sleep_for(100ms);
        shown = AWindowShows(display);
    }
    XCloseDisplay(display);
    ASSERT_TRUE(shown) << "the game's window never showed";
    std::this_thread::sleep_for(1s); // frames are drawn
    server.Signal(SIGTERM);

    const int status = game.Wait(120s);
    const std::string said = [&]
    {
        const std::vector<unsigned char> bytes = TempFolder::ReadBytes(output);
        return std::string(bytes.begin(), bytes.end());
    }();
    ASSERT_NE(status, -1) << "the game hung after the display went\n" << said;
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << said;
    EXPECT_EQ(WEXITSTATUS(status), 1) << said;
    EXPECT_NE(said.find("X connection to " + displayName + " broken"), std::string::npos) << said;
    EXPECT_EQ(said.find("Sanitizer"), std::string::npos) << said;
    EXPECT_EQ(said.find("runtime error"), std::string::npos) << said;
}

} // namespace
