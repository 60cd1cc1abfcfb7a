// Programs a test starts, and an X server of the test's own to run windows on, apart from the
// display (if any) the tests were started on.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace test_x
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
        // Looks at least once, so that a zero limit answers whether the program has ended.
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (pid > 0)
        {
            if (::waitpid(pid, &status, WNOHANG) == pid)
            {
                pid = -1;
                return status;
            }
            if (std::chrono::steady_clock::now() >= end)
                break;
            std::this_thread::sleep_for(50ms);
        }
        return -1;
    }
    void Signal(int signal) const { ::kill(pid, signal); }

private:
    pid_t pid = -1;
};

// This process's environment less the variables named.
inline std::vector<std::string> EnvironmentWithout(const std::vector<std::string_view>& names)
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

// Starts Xvfb on a display number of its own (told on a pipe once it accepts connections) and
// answers the display's name, "" when no X server can be started here.
inline std::string StartXServer(Child& server, const char* screen = "800x600x24")
{
    int ready[2];
    if (::pipe(ready) != 0)
        return "";
    const bool started = server.Start(
        {"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten", "tcp"},
        EnvironmentWithout({}));
    ::close(ready[1]);
    char number[16] = {};
    const ssize_t got = started ? ::read(ready[0], number, sizeof number - 1) : 0;
    ::close(ready[0]);
    return got > 0 ? ":" + std::to_string(std::atoi(number)) : "";
}

} // namespace test_x
