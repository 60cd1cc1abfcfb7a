// The HTTP answer reader over answers good and bad, whole and in pieces, and the request an HTTP
// connection puts on the wire.
#include "raknet/RakNetHttpConnection.h"
#include "support/LoopbackListener.h"
#include "support/ScoreServiceFake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace
{
using raknet::HttpAnswerReader;

struct Answer
{
    const char* name;
    std::string bytes;
    bool byTheClose; // finished only when the server closes after the bytes
    bool bad;
    const char* body; // of a good answer
};

void PrintTo(const Answer& answer, std::ostream* out)
{
    *out << answer.name;
}

const std::string kBig(HttpAnswerReader::kMaxAnswer, 'x');

// A header of `size` bytes before its blank line, padded by one long line.
std::string HeaderOfSize(size_t size)
{
    const std::string start = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\nX-Pad: ";
    return start + std::string(size - start.size(), 'p') + "\r\n\r\n";
}

// A good answer of exactly `size` bytes, its header included (the body's length has as many
// digits as the size).
std::string AnswerOfSize(size_t size)
{
    const std::string header = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n";
    const size_t body = size - header.size();
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body) + "\r\n\r\n" + std::string(body, 'b');
}

const Answer kAnswers[] = {
    {"Length", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, false, "hello"},
    {"LengthAnyCaseAndBlanks", "HTTP/1.1 201 Created\r\ncontent-LENGTH:\t 2 \r\n\r\nok", false, false, "ok"},
    {"BytesAfterTheLengthDropped", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nokmore", false, false, "ok"},
    {"EmptyBody", "HTTP/1.0 204 No Content\r\nContent-Length: 0\r\n\r\n", false, false, ""},
    {"NoReason", "HTTP/1.0 200\r\nContent-Length: 1\r\n\r\nx", false, false, "x"},
    {"EndedByTheClose",
     "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nOK\x01"
     "Ann",
     true, false,
     "OK\x01"
     "Ann"},
    {"NotFound", "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n", false, true, ""},
    {"ServerError", "HTTP/1.0 500 Oops\r\n\r\n", false, true, ""},
    {"Informational", "HTTP/1.0 199 Hm\r\n\r\n", false, true, ""},
    {"Redirect", "HTTP/1.0 302 Found\r\nLocation: x\r\n\r\n", false, true, ""},
    {"NotHttp",
     "\x7f"
     "ELF garbage\r\n\r\nmore",
     false, true, ""},
    {"OtherVersion", "HTTP/2.0 200 OK\r\n\r\n", false, true, ""},
    {"StatusNotDigits", "HTTP/1.0 2x0 OK\r\n\r\n", false, true, ""},
    {"StatusRunsOn", "HTTP/1.0 2000 OK\r\n\r\n", false, true, ""},
    {"HeaderWithoutColon", "HTTP/1.0 200 OK\r\nbroken line\r\n\r\n", false, true, ""},
    {"HeaderWithoutName", "HTTP/1.0 200 OK\r\n: 5\r\n\r\n", false, true, ""},
    {"LengthNegative", "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", false, true, ""},
    {"LengthNotANumber", "HTTP/1.0 200 OK\r\nContent-Length: 5x\r\n\r\n", false, true, ""},
    {"LengthTwice", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx", false, true, ""},
    {"LengthOverTheCap", "HTTP/1.0 200 OK\r\nContent-Length: 1048577\r\n\r\n", false, true, ""},
    {"LengthHuge", "HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", false, true, ""},
    {"ClosedInTheHeader", "HTTP/1.0 200 OK\r\nContent-Le", true, true, ""},
    {"ClosedBeforeTheLength", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nshort", true, true, ""},
    {"ClosedWithoutAWord", "", true, true, ""},
    {"OverTheCapWithoutLength", "HTTP/1.0 200 OK\r\n\r\n" + kBig, false, true, ""},
    {"OverTheCapWithoutTheBlankLine", "HTTP/1.0 200 OK\r\n" + kBig, false, true, ""},
    {"AtTheCap", AnswerOfSize(HttpAnswerReader::kMaxAnswer), false, false, nullptr},
    {"OverTheCapByTheBlankLine", AnswerOfSize(HttpAnswerReader::kMaxAnswer + 1), false, true, ""},
    {"HeaderAtItsCap", HeaderOfSize(HttpAnswerReader::kMaxHeader) + "ok", false, false, "ok"},
    {"HeaderOverItsCap", HeaderOfSize(HttpAnswerReader::kMaxHeader + 1) + "ok", false, true, ""},
};

// Feeds the bytes in pieces of `piece` bytes; true once the reader says it is finished.
bool FeedInPieces(HttpAnswerReader& reader, const std::string& bytes, size_t piece)
{
    bool finished = false;
    for (size_t at = 0; at < bytes.size(); at += piece)
        finished = reader.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    return finished;
}

class HttpAnswers : public ::testing::TestWithParam<Answer>
{
};

// However the bytes are cut, the reader comes to the same end.
TEST_P(HttpAnswers, EndTheSameWhateverPiecesTheyArriveIn)
{
    const Answer& answer = GetParam();
    const bool big = answer.bytes.size() > (1u << 16);
    for (size_t piece = big ? 4096 : 1; piece <= (big ? 1u << 16 : answer.bytes.size() + 1); piece *= 2)
    {
        HttpAnswerReader reader;
        EXPECT_EQ(FeedInPieces(reader, answer.bytes, piece), !answer.byTheClose) << "pieces of " << piece;
        EXPECT_TRUE(reader.Close());
        EXPECT_EQ(reader.IsBad(), answer.bad) << "pieces of " << piece;
        if (!answer.bad)
        {
            // A body not given is the answer's bytes after the blank line.
            EXPECT_EQ(reader.Body(),
                      answer.body ? answer.body : answer.bytes.substr(answer.bytes.find("\r\n\r\n") + 4));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, HttpAnswers, ::testing::ValuesIn(kAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HttpAnswerReader, BadAnswersCarryTheirStatus)
{
    HttpAnswerReader reader;
    ASSERT_TRUE(reader.Feed("HTTP/1.0 503 Busy\r\n\r\n", 21));
    EXPECT_TRUE(reader.IsBad());
    EXPECT_EQ(reader.StatusCode(), 503);
}

TEST(HttpAnswerReader, AFinishedAnswerTakesNoMoreBytes)
{
    HttpAnswerReader reader;
    const std::string whole = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
    ASSERT_TRUE(reader.Feed(whole.data(), whole.size()));
    EXPECT_TRUE(reader.Feed("HTTP/1.0 500 No\r\n\r\n", 19));
    EXPECT_TRUE(reader.Close());
    EXPECT_FALSE(reader.IsBad());
    EXPECT_EQ(reader.Body(), "ok");
}

// Takes one connection and reads what comes until `bytes` are there or the peer closes.
std::string ReadRequest(const LoopbackListener& listener, size_t bytes)
{
    const int connection = ::accept(listener.Fd(), nullptr, nullptr);
    std::string request;
    char buffer[4096];
    while (request.size() < bytes)
    {
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, static_cast<size_t>(got));
    }
    ::close(connection);
    return request;
}

TEST(HttpConnection, PostsTheFormAsAnHttp10RequestWithTheConfiguredHost)
{
    const LoopbackListener server;
    raknet::TCPInterface tcp;
    ASSERT_TRUE(tcp.Start(0, 64));
    const std::string host = "127.0.0.1:" + std::to_string(server.Port());
    raknet::HTTPConnection http(tcp, host);
    http.Post("/stats/get_highscores.php", "ScoreType=2&MivoDatabaseID=0",
              "application/x-www-form-urlencoded");
    const std::string expected =
        "POST /stats/get_highscores.php HTTP/1.0\r\nHost: " + host +
        "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 28\r\n\r\n"
        "ScoreType=2&MivoDatabaseID=0";
    std::thread updates(
        [&]
        {
            for (int i = 0; i < 500 && !http.GetServerAddress().IsAssigned(); ++i)
            {
                http.Update();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            http.Update(); // sends once connected
        });
    EXPECT_EQ(ReadRequest(server, expected.size()), expected);
    updates.join();
    EXPECT_EQ(http.GetServerAddress().port, server.Port());
    EXPECT_EQ(http.GetServerAddress().binaryAddress, INADDR_LOOPBACK);
    tcp.Stop();
}

// Connects to the fake with the given limit and sends it a request; the server's address, or
// unassigned when the connection did not come up.
raknet::SystemAddress AskFake(raknet::TCPInterface& tcp, const ScoreServiceFake& fake, uint32_t limit)
{
    tcp.Connect("127.0.0.1", fake.Port(), limit);
    raknet::SystemAddress server;
    for (int i = 0; i < 2500 && !server.IsAssigned(); ++i)
    {
        server = tcp.HasCompletedConnectionAttempt();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (server.IsAssigned())
        tcp.Send("POST", 4, server);
    return server;
}

// A server that never stops sending costs the connection's limit and no more, however long the
// caller leaves the packets lying: the interface stops reading, and the cut is no close.
TEST(TcpInterface, AConnectionReadsNoMoreThanItsLimit)
{
    const ScoreServiceFake endless(ScoreServiceFake::Behaviour::Endless);
    raknet::TCPInterface tcp;
    ASSERT_TRUE(tcp.Start(0, 64));
    constexpr uint32_t kLimit = 300000;
    const raknet::SystemAddress server = AskFake(tcp, endless, kLimit);
    ASSERT_TRUE(server.IsAssigned());
    raknet::SystemAddress lost;
    for (int i = 0; i < 5000 && !lost.IsAssigned(); ++i)
    {
        lost = tcp.HasLostConnection();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(lost, server);
    size_t bytes = 0;
    int32_t packets = 0;
    uint32_t shortest = raknet::TCPInterface::kMaxPacket;
    while (raknet::Packet* packet = tcp.Receive())
    {
        bytes += packet->length;
        ++packets;
        shortest = std::min(shortest, packet->length);
        tcp.DeallocatePacket(packet);
    }
    EXPECT_EQ(bytes, kLimit);
    EXPECT_GT(shortest, 0u) << "a cut is not the end of what the server sent";
    // Reads left lying join up: two packets in a row hold more than one packet's room.
    EXPECT_LE(packets, static_cast<int32_t>(2 * kLimit / raknet::TCPInterface::kMaxPacket + 1));
    tcp.Stop();
}

TEST(TcpInterface, AClosedConnectionLeavesNoPacketBehind)
{
    const ScoreServiceFake full(ScoreServiceFake::Behaviour::FullList);
    raknet::TCPInterface tcp;
    ASSERT_TRUE(tcp.Start(0, 64));
    const raknet::SystemAddress server = AskFake(tcp, full, 1u << 21);
    ASSERT_TRUE(server.IsAssigned());
    raknet::Packet* first = nullptr;
    for (int i = 0; i < 2500 && !first; ++i)
    {
        first = tcp.Receive();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_NE(first, nullptr);
    tcp.DeallocatePacket(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // more of the answer comes in
    tcp.CloseConnection(server);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(tcp.Receive(), nullptr);
    tcp.Stop();
}

TEST(TcpInterface, RefusesASecondStartAndAListeningPort)
{
    raknet::TCPInterface tcp;
    EXPECT_FALSE(tcp.Start(80, 64));
    ASSERT_TRUE(tcp.Start(0, 64));
    EXPECT_FALSE(tcp.Start(0, 64));
    tcp.Stop();
    EXPECT_FALSE(tcp.IsStarted());
    EXPECT_TRUE(tcp.Start(0, 64));
}
} // namespace
