// Plain HTTP over a loopback socket, byte for byte as written, for talking to the score service
// the way any client may: whole requests, requests in pieces, or damaged ones.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

class RawHttp
{
public:
    // Connects to 127.0.0.1 at the port; Open() tells whether it worked.
    explicit RawHttp(uint16_t port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        {
            ::close(fd);
            fd = -1;
        }
    }
    ~RawHttp()
    {
        if (fd >= 0)
            ::close(fd);
    }
    RawHttp(const RawHttp&) = delete;
    RawHttp& operator=(const RawHttp&) = delete;

    bool Open() const { return fd >= 0; }
    // False when the peer has gone.
    bool Send(const std::string& bytes)
    {
        size_t sent = 0;
        while (fd >= 0 && sent < bytes.size())
        {
            const ssize_t count = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (count <= 0)
                return false;
            sent += static_cast<size_t>(count);
        }
        return fd >= 0;
    }
    // Everything the peer sends until it closes, or until the time is up (then `closed` is
    // false).
    std::string ReadToClose(std::chrono::milliseconds limit, bool* closed = nullptr)
    {
        std::string answer;
        const auto end = std::chrono::steady_clock::now() + limit;
        bool ended = false;
        while (!ended && fd >= 0)
        {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd waiting{fd, POLLIN, 0};
            if (::poll(&waiting, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) <= 0)
                break;
            char chunk[16384];
            const ssize_t count = ::recv(fd, chunk, sizeof chunk, 0);
            ended = count <= 0;
            if (count > 0)
                answer.append(chunk, static_cast<size_t>(count));
        }
        if (closed)
            *closed = ended;
        return answer;
    }

    // An HTTP/1.0 form post as the game sends it, with any extra header lines.
    static std::string Post(const std::string& path, const std::string& body, const std::string& extra = "")
    {
        return "POST " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: " +
               "application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\n" + extra + "\r\n" + body;
    }
    // One request on a fresh connection and its whole answer.
    static std::string Exchange(uint16_t port, const std::string& request,
                                std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        RawHttp connection(port);
        return connection.Send(request) ? connection.ReadToClose(limit) : std::string();
    }
    // The status code of an answer, or 0 when it has no status line.
    static int Status(const std::string& answer)
    {
        if (answer.compare(0, 7, "HTTP/1.") != 0 || answer.size() < 12)
            return 0;
        return std::stoi(answer.substr(9, 3));
    }
    // What follows the header's blank line.
    static std::string Body(const std::string& answer)
    {
        const size_t end = answer.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : answer.substr(end + 4);
    }

private:
    int fd = -1;
};
