// The score service as its own process, started by its command line: its first output line is
// the port it listens on. It can be stopped with any signal, SIGKILL included.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

class ScoreServiceProcess
{
public:
    // Runs `program` with the arguments; its errors go to `errorFile` (none: /dev/null).
    ScoreServiceProcess(const std::string& program, const std::vector<std::string>& arguments,
                        const std::string& errorFile = "/dev/null")
    {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        output = ::fdopen(pipeEnds[0], "r");
        char line[64] = {};
        if (pid > 0 && output && std::fgets(line, sizeof line, output))
            firstLine = line;
    }
    ~ScoreServiceProcess()
    {
        Stop(SIGKILL);
        if (output)
            std::fclose(output);
    }
    ScoreServiceProcess(const ScoreServiceProcess&) = delete;
    ScoreServiceProcess& operator=(const ScoreServiceProcess&) = delete;

    // The first line it printed, its line end left out.
    std::string FirstLine() const { return firstLine.substr(0, firstLine.find('\n')); }
    uint16_t Port() const { return static_cast<uint16_t>(std::atoi(firstLine.c_str())); }
    // Sends the signal (0: none) and waits for the process to end; its wait status, or -1 when
    // it had already been waited for.
    int Stop(int signal)
    {
        if (pid <= 0)
            return -1;
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }

private:
    pid_t pid = -1;
    std::FILE* output = nullptr;
    std::string firstLine;
};
