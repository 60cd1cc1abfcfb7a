// A stand-in for a misbehaving score service on loopback: it accepts connections, reads the
// request and then answers in one scripted way. Stops (and leaves nothing listening) with the
// object.
#pragma once

#include "support/LoopbackListener.h"

#include <atomic>
#include <chrono>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class ScoreServiceFake
{
public:
    enum class Behaviour
    {
        CloseEarly,     // reads the request and closes without a word
        Silent,         // reads the request and never answers
        Garbage,        // answers with bytes that are not HTTP
        Split,          // a good answer with Content-Length, in three pieces with pauses
        CloseDelimited, // a good answer without Content-Length, ended by the close
    };

    explicit ScoreServiceFake(Behaviour how) : behaviour(how)
    {
        server = std::thread([this] { Serve(); });
    }
    ~ScoreServiceFake()
    {
        stopping = true;
        server.join();
    }

    uint16_t Port() const { return listener.Port(); }
    int Accepted() const { return accepted; }
    static constexpr char kBody[] = "OK\x01Ann\x02"
                                    "50\x02"
                                    "7";

private:
    void Serve()
    {
        while (!stopping)
        {
            pollfd waiting{listener.Fd(), POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0)
                continue;
            const int connection = ::accept(listener.Fd(), nullptr, nullptr);
            ++accepted;
            char request[4096];
            [[maybe_unused]] const ssize_t read = ::recv(connection, request, sizeof request, 0);
            Answer(connection);
            ::close(connection);
        }
    }
    void Send(int connection, const std::string& bytes)
    {
        ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    void Answer(int connection)
    {
        const std::string body = kBody;
        switch (behaviour)
        {
        case Behaviour::CloseEarly:
            break;
        case Behaviour::Silent:
            while (!stopping)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            break;
        case Behaviour::Garbage:
            Send(connection, "\x7f\x45LF garbage\r\n\r\nmore");
            break;
        case Behaviour::Split:
            Send(connection, "HTTP/1.0 200 OK\r\nContent-Le");
            Send(connection, "ngth: " + std::to_string(body.size()) + "\r\n\r\nOK");
            Send(connection, body.substr(2));
            break;
        case Behaviour::CloseDelimited:
            Send(connection, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body);
            break;
        }
    }

    Behaviour behaviour;
    LoopbackListener listener;
    std::atomic<bool> stopping{false};
    std::atomic<int> accepted{0};
    std::thread server;
};
