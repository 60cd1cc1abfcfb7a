// A form post over one TCP connection and the HTTP/1.x answer it gets: the answer is complete at
// its Content-Length, or when the server closes when it gives none; a status outside 2xx, a
// damaged header, a header over 16 KB, an answer over 1 MiB, a refused connection or a close
// before the answer is whole make it a bad answer at once.
#pragma once

#include "RakNetTcpInterface.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace raknet
{
// Reads an HTTP answer from bytes arriving in any pieces.
class HttpAnswerReader
{
public:
    static constexpr size_t kMaxAnswer = 1 << 20;
    static constexpr size_t kMaxHeader = 1 << 14; // the status line and header lines

    // Takes the next bytes; true once the answer is complete or bad. Bytes after a complete
    // answer are ignored.
    bool Feed(const char* data, size_t length);
    // The server closed: an answer without Content-Length ends here; any other unfinished
    // answer is bad. True (the answer is finished) in every case.
    bool Close();

    bool IsFinished() const { return finished; }
    bool IsBad() const { return bad; }
    int StatusCode() const { return status; }
    // The body of a complete good answer.
    const std::string& Body() const { return body; }

private:
    // Parses the status line and headers; false when they are damaged or the status is not 2xx.
    bool ReadHeader(std::string_view header);
    // Collects the header; once its blank line has come, reads it and moves the bytes after it
    // to the body. False while the header is incomplete, and when it is bad (then finished).
    bool FeedHead(const char* data, size_t length);
    bool Fail();

    std::string head;
    std::string body;
    size_t taken = 0; // bytes fed, the blank line and the header included
    bool headerDone = false;
    bool finished = false;
    bool bad = false;
    int status = 0;
    bool hasLength = false;
    size_t contentLength = 0;
};

class HTTPConnection
{
public:
    // The host is the configured text: "name" connects to the given port, "name:port" to that
    // port; the Host header carries the text as it is.
    HTTPConnection(TCPInterface& tcp, const std::string& host, uint16_t port = 80);
    ~HTTPConnection();
    HTTPConnection(const HTTPConnection&) = delete;
    HTTPConnection& operator=(const HTTPConnection&) = delete;

    // Queues one request; the next updates connect and send it.
    void Post(const std::string& path, const std::string& body, const std::string& contentType);
    // Connects, notices a failed connect, and sends the queued request once connected.
    void Update();
    // The server's address once connected; unassigned before.
    SystemAddress GetServerAddress() const { return server; }
    // Takes a packet of the server's; true once the answer is finished (complete or bad). A
    // finished answer closes the connection: what else the server sends is neither read nor kept.
    bool ProcessTCPPacket(const Packet* packet);
    bool HasBadResponse(int* code = nullptr) const;
    // The body of the complete answer.
    const std::string& Read() const { return answer.Body(); }

private:
    TCPInterface& tcp;
    std::string host;    // as configured, for the Host header
    std::string dialled; // the name part
    uint16_t port;
    std::string request;
    bool connecting = false;
    bool sent = false;
    SystemAddress server;
    HttpAnswerReader answer;
};
} // namespace raknet
