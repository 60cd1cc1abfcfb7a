// score_service [port [database]]: serves the game's scores on 127.0.0.1 until interrupted.
// Port 0 (the default) takes any free port; the port in use is printed. Point the game's
// "Mivo.Network.ServerAddress" at "127.0.0.1:<port>".
#include "ScoreService.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    uint16_t port = 0;
    if (argc > 1 && std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), port).ec != std::errc())
    {
        std::fprintf(stderr, "usage: score_service [port [database]]\n");
        return 2;
    }
    ScoreService service(argc > 2 ? argv[2] : "scores.sqlite");
    if (!service.Start(port))
    {
        std::fprintf(stderr, "score_service: %s\n", service.Error().c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(service.Port()));
    std::fflush(stdout);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    int signal = 0;
    sigwait(&stop, &signal);
    service.Stop();
    return 0;
}
