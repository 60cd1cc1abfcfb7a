// The score service the game posts to: HTTP on libmicrohttpd's thread pool, so that requests are
// answered side by side. Only the game's three paths answer. A request has to arrive whole within
// five seconds of its connection (or of the answer before it), or the connection is cut; headers
// and bodies are capped. Uploads are checked with the game's own decoder and held to the values
// the game can give, then committed in groups (ScoreStore): an upload's answer leaves only once
// it is on disk, and the same body sent again stores nothing new.
#pragma once

#include "ScoreStore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <list>
#include <mutex>
#include <string>
#include <thread>

struct MHD_Daemon;

class ScoreService
{
public:
    static constexpr std::chrono::seconds kRequestDeadline{5};
    static constexpr size_t kMaxBody = 4096;           // an upload is 1029 bytes
    static constexpr size_t kConnectionMemory = 16384; // the request line and headers, and more
    static constexpr unsigned kMaxConnections = 1000;

    // Scores live in the SQLite database at that path (":memory:" keeps them for the run).
    explicit ScoreService(std::string databasePath);
    ~ScoreService();
    ScoreService(const ScoreService&) = delete;
    ScoreService& operator=(const ScoreService&) = delete;

    // Opens the database and listens at the numeric IPv4 address and port (0: any free one);
    // false with Error() set when either fails.
    bool Start(uint16_t port, const std::string& address = "127.0.0.1");
    // Answers what is being committed, then stops listening; nothing stays bound.
    void Stop();
    uint16_t Port() const { return port; }
    const std::string& Error() const { return error; }
    // One line per request (and per connection cut) goes there; none when null, the default.
    void SetLog(std::FILE* file) { log = file; }

    // The answer to one request: the status, the body, and a word on it for the log.
    struct Answer
    {
        int status = 200;
        std::string body;
        std::string note;
    };
    // Answers one posted body as the HTTP side does; an upload's answer comes once it is on disk.
    Answer Handle(const std::string& path, const std::string& body);

private:
    enum class Route
    {
        None,
        GameUpload,
        LevelUpload,
        List,
    };
    using Clock = std::chrono::steady_clock;
    struct Link;     // one connection
    struct Exchange; // one request on it
    struct Callbacks;
    friend struct Callbacks;

    static Route RouteOf(const std::string& path);
    // The answer when no commit is needed (true); else false with the upload to commit.
    bool AnswerAtOnce(Route route, const std::string& body, Answer& answer, ScoreUpload& upload);
    static Answer CommitAnswer(ScoreCommit commit);

    // The connection's deadline starts now; Disarm drops it.
    void Arm(Link& link);
    void Disarm(Link& link);
    // Cuts the connections whose deadline has passed.
    void Watch();
    void WriteLog(const char* format, ...) __attribute__((format(printf, 2, 3)));

    ScoreStore store;
    MHD_Daemon* daemon = nullptr;
    uint16_t port = 0;
    std::string error;
    std::FILE* log = nullptr;

    std::mutex linksMutex;
    std::condition_variable linksChanged;
    std::list<Link*> armed; // by deadline, the earliest first
    bool watching = false;
    std::thread watchdog;
};
