#include "RakNetHttpConnection.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace raknet
{
namespace
{
constexpr char kHeaderEnd[] = "\r\n\r\n";

bool IsDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
} // namespace

bool HttpAnswerReader::Fail()
{
    bad = true;
    finished = true;
    std::string().swap(head);
    std::string().swap(body);
    return true;
}

bool HttpAnswerReader::ReadHeader(std::string_view header)
{
    // "HTTP/1.x NNN reason"
    const size_t lineEnd = header.find("\r\n");
    const std::string_view statusLine = header.substr(0, lineEnd);
    if (statusLine.size() < 12 || statusLine.substr(0, 7) != "HTTP/1." || statusLine[8] != ' ' ||
        !IsDigits(statusLine.substr(9, 3)) || (statusLine.size() > 12 && statusLine[12] != ' '))
        return false;
    std::from_chars(statusLine.data() + 9, statusLine.data() + 12, status);
    if (status < 200 || status > 299)
        return false;
    size_t start = lineEnd == std::string::npos ? header.size() : lineEnd + 2;
    while (start < header.size())
    {
        size_t end = header.find("\r\n", start);
        if (end == std::string::npos)
            end = header.size();
        const std::string_view line = header.substr(start, end - start);
        start = end + 2;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        if (!EqualsNoCase(Trim(line.substr(0, colon)), "Content-Length"))
            continue;
        const std::string_view value = Trim(line.substr(colon + 1));
        size_t length = 0;
        if (hasLength || !IsDigits(value) || value.size() > 8 ||
            std::from_chars(value.data(), value.data() + value.size(), length).ec != std::errc() ||
            length > kMaxAnswer)
            return false;
        hasLength = true;
        contentLength = length;
    }
    return true;
}

bool HttpAnswerReader::FeedHead(const char* data, size_t length)
{
    // Only the new bytes and the three before them can complete the blank line.
    const size_t searchFrom = head.size() < 3 ? 0 : head.size() - 3;
    head.append(data, length);
    const size_t end = head.find(kHeaderEnd, searchFrom);
    // Without the blank line yet, the last three bytes may still begin it.
    const size_t headerSize = end == std::string::npos ? head.size() - std::min<size_t>(head.size(), 3) : end;
    if (headerSize > kMaxHeader)
    {
        Fail();
        return false;
    }
    if (end == std::string::npos)
        return false;
    headerDone = true;
    if (!ReadHeader(std::string_view(head).substr(0, end)))
    {
        Fail();
        return false;
    }
    // The body's whole room at once (only what is written takes memory): it then never moves
    // while it grows, and no frame pays for copying it.
    body.reserve(hasLength ? contentLength : kMaxAnswer);
    body.assign(head, end + 4);
    head.resize(end);
    return true;
}

bool HttpAnswerReader::Feed(const char* data, size_t length)
{
    if (finished)
        return true;
    taken += length;
    if (taken > kMaxAnswer)
        return Fail();
    if (headerDone)
        body.append(data, length);
    else if (!FeedHead(data, length))
        return finished;
    if (hasLength && body.size() >= contentLength)
    {
        body.resize(contentLength);
        finished = true;
    }
    return finished;
}

bool HttpAnswerReader::Close()
{
    if (!finished && (!headerDone || hasLength))
        return Fail();
    finished = true;
    return true;
}

HTTPConnection::HTTPConnection(TCPInterface& tcpInterface, const std::string& hostText, uint16_t defaultPort)
    : tcp(tcpInterface), host(hostText), dialled(hostText), port(defaultPort)
{
    const size_t colon = hostText.rfind(':');
    uint16_t given = 0;
    if (colon != std::string::npos && IsDigits(std::string_view(hostText).substr(colon + 1)) &&
        std::from_chars(hostText.data() + colon + 1, hostText.data() + hostText.size(), given).ec ==
            std::errc())
    {
        dialled = hostText.substr(0, colon);
        port = given;
    }
}

HTTPConnection::~HTTPConnection()
{
    if (server.IsAssigned())
        tcp.CloseConnection(server);
}

void HTTPConnection::Post(const std::string& path, const std::string& body, const std::string& contentType)
{
    request = "POST " + path + " HTTP/1.0\r\nHost: " + host + "\r\nContent-Type: " + contentType +
              "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    sent = false;
}

void HTTPConnection::Update()
{
    if (request.empty() || answer.IsFinished())
        return;
    if (!connecting)
    {
        connecting = true;
        // One byte over the largest answer is enough to refuse it; the rest is never read.
        tcp.Connect(dialled, port, static_cast<uint32_t>(HttpAnswerReader::kMaxAnswer + 1));
        return;
    }
    if (!server.IsAssigned())
    {
        server = tcp.HasCompletedConnectionAttempt();
        if (!server.IsAssigned() && tcp.HasFailedConnectionAttempt())
            answer.Close();
    }
    if (server.IsAssigned() && !sent)
        sent = tcp.Send(request.data(), static_cast<uint32_t>(request.size()), server);
}

bool HTTPConnection::ProcessTCPPacket(const Packet* packet)
{
    if (!packet || !server.IsAssigned() || !(packet->systemAddress == server))
        return false;
    const bool finished = packet->length == 0
                              ? answer.Close()
                              : answer.Feed(reinterpret_cast<const char*>(packet->data), packet->length);
    // Nothing more is wanted from the server: whatever else it sends is neither read nor kept.
    if (finished)
        tcp.CloseConnection(server);
    return finished;
}

bool HTTPConnection::HasBadResponse(int* code) const
{
    if (code)
        *code = answer.StatusCode();
    return answer.IsBad();
}
} // namespace raknet
