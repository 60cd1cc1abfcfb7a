// The HTTP answer reader over answers good and bad, whole and in pieces, and the request an HTTP
// connection puts on the wire.
#include "raknet/RakNetHttpConnection.h"
#include "support/LoopbackListener.h"

#include <gtest/gtest.h>

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
    const bool big = answer.bytes.size() > HttpAnswerReader::kMaxAnswer;
    for (size_t piece = big ? 4096 : 1; piece <= (big ? 1u << 16 : answer.bytes.size() + 1); piece *= 2)
    {
        HttpAnswerReader reader;
        EXPECT_EQ(FeedInPieces(reader, answer.bytes, piece), !answer.byTheClose) << "pieces of " << piece;
        EXPECT_TRUE(reader.Close());
        EXPECT_EQ(reader.IsBad(), answer.bad) << "pieces of " << piece;
        if (!answer.bad)
        {
            EXPECT_EQ(reader.Body(), answer.body);
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
