// score_service [--address ADDRESS] [port [database]]: serves the game's scores until SIGTERM or
// SIGINT, at 127.0.0.1 unless an address is given ("0.0.0.0" takes every IPv4 interface). Port 0
// (the default) takes any free port; the port in use is the first line printed. The database
// defaults to "scores.sqlite". One line per request goes to stderr. Point the game's
// "Mivo.Network.ServerAddress" at "<address>:<port>".
#include "ScoreService.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
int Usage()
{
    std::fprintf(stderr, "usage: score_service [--address ADDRESS] [port [database]]\n");
    return 2;
}

// A decimal port number that makes up all of the text.
bool ReadPort(const char* text, uint16_t& port)
{
    const char* end = text + std::strlen(text);
    const auto read = std::from_chars(text, end, port);
    return end != text && read.ec == std::errc() && read.ptr == end;
}
} // namespace

int main(int argc, char** argv)
{
    std::string address = "127.0.0.1";
    std::vector<const char*> positional;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--address") != 0)
            positional.push_back(argv[i]);
        else if (++i < argc)
            address = argv[i];
        else
            return Usage();
    }
    uint16_t port = 0;
    if (positional.size() > 2 || (!positional.empty() && !ReadPort(positional[0], port)))
        return Usage();
    // The stop signals are waited for, never delivered, on every thread the service starts.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ScoreService service(positional.size() > 1 ? positional[1] : "scores.sqlite");
    service.SetLog(stderr);
    if (!service.Start(port, address))
    {
        std::fprintf(stderr, "score_service: %s\n", service.Error().c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(service.Port()));
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    service.Stop();
    std::fprintf(stderr, "score_service: stopped by signal %d\n", signal);
    return 0;
}
