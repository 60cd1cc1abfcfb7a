#include "ScoreService.h"

#include "MivoScorePayload.h"

#include <arpa/inet.h>
#include <charconv>
#include <netinet/in.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
constexpr size_t kMaxRequest = 16 * 1024;
constexpr int kPollMs = 50;
constexpr int kReadTimeoutMs = 5000;
const char kRejected[] = "REJECTED";
const char kRecordEnd = '\x01';
const char kFieldEnd = '\x02';
const char kBlockEnd = '\x03';

// A prepared statement that finalises itself.
class Statement
{
public:
    Statement(sqlite3* database, const char* sql)
    {
        sqlite3_prepare_v2(database, sql, -1, &statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return statement != nullptr; }
    void Bind(int index, int32_t value) { sqlite3_bind_int(statement, index, value); }
    void Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(statement); }
    int32_t Int(int column) const { return sqlite3_column_int(statement, column); }
    std::string Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* statement = nullptr;
};

// The payload's items in order, read with the game's own rule, or false.
bool DecodeItems(const std::string& body, std::string& name, int32_t (&values)[4])
{
    if (body.size() != static_cast<size_t>(MivoScorePayload::kLength))
        return false;
    MivoScorePayload payload;
    body.copy(payload.text, body.size());
    MivoPayloadDecoder decoder(payload);
    WeString text;
    if (!decoder.ChecksumsHold() || !decoder.GetString(text))
        return false;
    for (int32_t& value : values)
    {
        if (!decoder.GetInt(value))
            return false;
    }
    name.assign(text.GetData(), static_cast<size_t>(text.GetLength()));
    // The list grammar has no escape for its separators, nor for a zero byte.
    return name.find_first_of(std::string("\0\x01\x02\x03", 4)) == std::string::npos;
}

// "ScoreType=<t>&MivoDatabaseID=<d>" with decimal numbers, or false.
bool ParseListRequest(const std::string& body, int32_t& type, int32_t& database)
{
    const std::string typeKey = "ScoreType=";
    const std::string databaseKey = "&MivoDatabaseID=";
    const size_t split = body.find(databaseKey);
    if (body.compare(0, typeKey.size(), typeKey) != 0 || split == std::string::npos)
        return false;
    const char* typeEnd = body.data() + split;
    const char* end = body.data() + body.size();
    const auto first = std::from_chars(body.data() + typeKey.size(), typeEnd, type);
    const auto second = std::from_chars(typeEnd + databaseKey.size(), end, database);
    return first.ec == std::errc() && first.ptr == typeEnd && second.ec == std::errc() && second.ptr == end;
}

bool ReadRequest(int connection, std::string& request, size_t& headerEnd, size_t& contentLength)
{
    char chunk[4096];
    for (;;)
    {
        headerEnd = request.find("\r\n\r\n");
        if (headerEnd != std::string::npos)
        {
            const size_t lengthAt = request.find("Content-Length:");
            contentLength = 0;
            if (lengthAt != std::string::npos && lengthAt < headerEnd)
            {
                const char* digits = request.data() + lengthAt + 15;
                while (*digits == ' ')
                    ++digits;
                if (std::from_chars(digits, request.data() + headerEnd, contentLength).ec != std::errc())
                    return false;
            }
            if (contentLength > kMaxRequest || request.size() >= headerEnd + 4 + contentLength)
                return contentLength <= kMaxRequest;
        }
        pollfd waiting{connection, POLLIN, 0};
        if (request.size() > kMaxRequest || ::poll(&waiting, 1, kReadTimeoutMs) <= 0)
            return false;
        const ssize_t count = ::recv(connection, chunk, sizeof chunk, 0);
        if (count <= 0)
            return false;
        request.append(chunk, static_cast<size_t>(count));
    }
}

const char* Reason(int status)
{
    switch (status)
    {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    default:
        return "Internal Server Error";
    }
}
} // namespace

ScoreService::ScoreService(std::string path) : databasePath(std::move(path)) {}

ScoreService::~ScoreService()
{
    Stop();
    sqlite3_close(database);
}

bool ScoreService::Execute(const char* sql)
{
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool ScoreService::Start(uint16_t wantedPort)
{
    if (server.joinable())
        return false;
    if (!database && sqlite3_open(databasePath.c_str(), &database) != SQLITE_OK)
    {
        error = "cannot open " + databasePath;
        return false;
    }
    if (!Execute("CREATE TABLE IF NOT EXISTS game_scores(name TEXT, mode INT, score INT, difficulty INT, "
                 "level INT);"
                 "CREATE TABLE IF NOT EXISTS level_scores(name TEXT, map_id INT, bonus INT, moves INT, time "
                 "INT);"))
    {
        error = sqlite3_errmsg(database);
        return false;
    }
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(wantedPort);
    const int reuse = 1;
    socklen_t size = sizeof address;
    if (listener < 0 || ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    {
        error = "cannot listen on 127.0.0.1:" + std::to_string(wantedPort);
        if (listener >= 0)
            ::close(listener);
        listener = -1;
        return false;
    }
    port = ntohs(address.sin_port);
    stopping = false;
    server = std::thread(&ScoreService::Serve, this);
    return true;
}

void ScoreService::Stop()
{
    if (!server.joinable())
        return;
    stopping = true;
    server.join();
    ::close(listener);
    listener = -1;
}

void ScoreService::Serve()
{
    while (!stopping)
    {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, kPollMs) <= 0)
            continue;
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        ServeConnection(connection);
        ::close(connection);
    }
}

void ScoreService::ServeConnection(int connection)
{
    std::string request;
    size_t headerEnd = 0;
    size_t contentLength = 0;
    Answer answer{400, "BAD REQUEST"};
    if (ReadRequest(connection, request, headerEnd, contentLength))
    {
        // "POST <path> HTTP/1.x"
        const size_t pathEnd = request.find(' ', 5);
        if (request.compare(0, 5, "POST ") == 0 && pathEnd != std::string::npos && pathEnd < headerEnd)
            answer = Handle(request.substr(5, pathEnd - 5), request.substr(headerEnd + 4, contentLength));
    }
    const std::string reply =
        "HTTP/1.0 " + std::to_string(answer.status) + " " + Reason(answer.status) +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(answer.body.size()) + "\r\n\r\n" +
        answer.body;
    size_t sent = 0;
    while (sent < reply.size())
    {
        const ssize_t count = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (count <= 0)
            return;
        sent += static_cast<size_t>(count);
    }
}

ScoreService::Answer ScoreService::Handle(const std::string& path, const std::string& body)
{
    // Game scores carry mode, score, difficulty and level; level scores map id, bonus, moves and time.
    if (path == "/stats/upload_highscore.php")
        return StoreScore("INSERT INTO game_scores VALUES(?, ?, ?, ?, ?)", body);
    if (path == "/stats/upload_highscore_level.php")
        return StoreScore("INSERT INTO level_scores VALUES(?, ?, ?, ?, ?)", body);
    if (path == "/stats/get_highscores.php")
        return ListScores(body);
    return {404, "NOT FOUND"};
}

// A body that fails its checks would fail every retry and hold back the scores queued behind it:
// it is answered as handled, and not kept.
ScoreService::Answer ScoreService::StoreScore(const char* insertSql, const std::string& body)
{
    std::string name;
    int32_t items[4] = {};
    if (body.compare(0, 5, "data=") != 0 || !DecodeItems(body, name, items))
        return {200, kRejected};
    Statement insert(database, insertSql);
    if (!insert.Ok())
        return {500, "ERROR"};
    insert.Bind(1, name);
    for (int i = 0; i < 4; ++i)
        insert.Bind(i + 2, items[i]);
    return insert.Step() == SQLITE_DONE ? Answer{200, "OK"} : Answer{500, "ERROR"};
}

ScoreService::Answer ScoreService::ListScores(const std::string& body)
{
    int32_t type = 0;
    int32_t region = 0;
    if (!ParseListRequest(body, type, region) || type < 1 || type > 3 ||
        (type == 3 && (region < 1 || region > 15)))
        return {200, kRejected};
    Answer answer{200, "OK"};
    // Quest: the best ten of each difficulty; skill: the best ten; levels: each table's best ten.
    const char* sql =
        type == 1 ? "SELECT name, score, difficulty, level FROM (SELECT *, ROW_NUMBER() OVER (PARTITION BY "
                    "difficulty ORDER BY score DESC, rowid) AS place FROM game_scores WHERE mode = 1 AND "
                    "difficulty "
                    "BETWEEN 1 AND 3) WHERE place <= 10 ORDER BY difficulty, place"
        : type == 2
            ? "SELECT name, score, level FROM game_scores WHERE mode = 2 ORDER BY score DESC, rowid LIMIT 10"
            : "SELECT map_id, name, bonus, moves, time FROM (SELECT *, ROW_NUMBER() OVER (PARTITION BY "
              "map_id "
              "ORDER BY bonus DESC, rowid) AS place FROM level_scores WHERE map_id BETWEEN ?1 * 1000 + 1 AND "
              "?1 * 1000 + 20) WHERE place <= 10 ORDER BY map_id, place";
    Statement select(database, sql);
    if (!select.Ok())
        return {500, "ERROR"};
    if (type == 3)
        select.Bind(1, region);
    int32_t block = -1;
    int step = SQLITE_ROW;
    while ((step = select.Step()) == SQLITE_ROW)
    {
        const int first = type == 3 ? 1 : 0;
        if (type == 3 && select.Int(0) % 1000 - 1 != block)
        {
            block = select.Int(0) % 1000 - 1;
            answer.body += kBlockEnd + std::to_string(block);
        }
        answer.body += kRecordEnd + select.Text(first);
        for (int column = first + 1; column < first + (type == 2 ? 3 : 4); ++column)
            answer.body += kFieldEnd + std::to_string(select.Int(column));
    }
    return step == SQLITE_DONE ? answer : Answer{500, "ERROR"};
}
