// The score service the game posts to: HTTP/1.0 on 127.0.0.1, one request per connection. It
// checks an uploaded body's sums before it keeps the score in SQLite, and answers the world-list
// requests in the separator grammar the game's score tables read.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct sqlite3;

class ScoreService
{
public:
    // Scores live in the SQLite database at that path (":memory:" keeps them for the run).
    explicit ScoreService(std::string databasePath);
    ~ScoreService();
    ScoreService(const ScoreService&) = delete;
    ScoreService& operator=(const ScoreService&) = delete;

    // Opens the database and listens on 127.0.0.1 at the port (0: any free one); false with
    // Error() set when either fails.
    bool Start(uint16_t port);
    // Stops listening and joins the serving thread; nothing stays bound.
    void Stop();
    uint16_t Port() const { return port; }
    const std::string& Error() const { return error; }

    // The answer to one request: the status and the body. Public so that the protocol can be
    // checked without a socket.
    struct Answer
    {
        int status = 200;
        std::string body;
    };
    Answer Handle(const std::string& path, const std::string& body);

private:
    void Serve();
    void ServeConnection(int connection);
    Answer StoreScore(const char* insertSql, const std::string& body);
    Answer ListScores(const std::string& body);
    bool Execute(const char* sql);

    std::string databasePath;
    sqlite3* database = nullptr;
    int listener = -1;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    std::thread server;
    std::string error;
};
