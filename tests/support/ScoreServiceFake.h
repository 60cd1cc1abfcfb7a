// A stand-in for a misbehaving score service on loopback: it accepts connections, reads the
// request and then answers in one scripted way. Stops (and leaves nothing listening) with the
// object.
#pragma once

#include "LoopbackListener.h"

#include <atomic>
#include <chrono>
#include <cstddef>
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
        Endless,        // a good header, then body bytes as fast as they are taken, never ending
        EndlessHeader,  // header lines as fast as they are taken, never reaching the body
        Drip,           // a good header, then a body byte every 20 ms, never ending
        CutShort,       // promises more body than it sends, then closes
        FullList,       // a good answer of exactly the largest size a client takes (1 MiB)
    };
    static constexpr size_t kFullAnswer = 1 << 20;

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
    // Bytes the client has taken from the answers so far (what the sockets accepted).
    size_t Sent() const { return sent; }
    static constexpr char kBody[] = "OK\x01"
                                    "Ann\x02"
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
    // Sends all the bytes, waiting while the client does not take them; false once the client
    // is gone or the fake stops.
    bool SendAll(int connection, const std::string& bytes)
    {
        for (size_t at = 0; at < bytes.size() && !stopping;)
        {
            pollfd writable{connection, POLLOUT, 0};
            if (::poll(&writable, 1, 20) <= 0)
                continue;
            const ssize_t count =
                ::send(connection, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (count < 0)
                return false;
            at += static_cast<size_t>(count);
            sent += static_cast<size_t>(count);
        }
        return !stopping;
    }
    void Send(int connection, const std::string& bytes)
    {
        SendAll(connection, bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    void SendForever(int connection, const std::string& first, const std::string& again)
    {
        for (bool alive = SendAll(connection, first); alive;)
            alive = SendAll(connection, again);
    }
    void Drip(int connection)
    {
        for (bool alive = SendAll(connection, "HTTP/1.0 200 OK\r\n\r\n"); alive;
             alive = SendAll(connection, "x"))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    static std::string Header(size_t length)
    {
        return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    }
    // A good answer of kFullAnswer bytes: the header, then records until the size is reached.
    static std::string FullAnswer()
    {
        size_t bodySize = kFullAnswer - Header(kFullAnswer).size();
        std::string answer = Header(bodySize) + "OK";
        while (answer.size() < kFullAnswer)
            answer += "\x01" + std::string("Ann\x02") + std::to_string(answer.size() % 100000) +
                      "\x02"
                      "7";
        answer.resize(kFullAnswer);
        return answer;
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
        case Behaviour::Endless:
            SendForever(connection, "HTTP/1.0 200 OK\r\n\r\n", std::string(1 << 16, 'x'));
            break;
        case Behaviour::EndlessHeader:
            SendForever(connection, "HTTP/1.0 200 OK\r\n", std::string(1 << 16, 'x') + "\r\n");
            break;
        case Behaviour::Drip:
            Drip(connection);
            break;
        case Behaviour::CutShort:
            Send(connection, Header(body.size() + 100) + body);
            break;
        case Behaviour::FullList:
            Send(connection, FullAnswer());
            break;
        }
    }

    Behaviour behaviour;
    LoopbackListener listener;
    std::atomic<bool> stopping{false};
    std::atomic<int> accepted{0};
    std::atomic<size_t> sent{0};
    std::thread server;
};
