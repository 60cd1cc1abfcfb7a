#include "ScoreService.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <cstdarg>
#include <cstring>
#include <future>
#include <microhttpd.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>

namespace
{
const char kRejected[] = "REJECTED";
constexpr size_t kMaxLogged = 200; // characters of a path or method in the log

unsigned PoolThreads()
{
    return std::clamp(std::thread::hardware_concurrency(), 2u, 8u);
}

// Text from the client as the log may show it: printable characters only, and not too many.
std::string Printable(const char* text)
{
    std::string shown(text ? text : "", text ? strnlen(text, kMaxLogged) : 0);
    for (char& c : shown)
    {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
            c = '?';
    }
    return shown;
}

std::string AddressText(const sockaddr* address)
{
    char text[INET_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (address && address->sa_family == AF_INET)
    {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    }
    return std::string(text) + ":" + std::to_string(port);
}

// The socket address of a numeric IPv4 address and a port; false when the text is none.
bool SocketAddress(const std::string& text, uint16_t port, sockaddr_in& address)
{
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return inet_pton(AF_INET, text.c_str(), &address.sin_addr) == 1;
}

MHD_Result CountContentLength(void* count, MHD_ValueKind, const char* key, const char*)
{
    if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0)
        ++*static_cast<int*>(count);
    return MHD_YES;
}
} // namespace

struct ScoreService::Link
{
    int fd = -1;
    std::string client;
    Clock::time_point deadline;
    bool isArmed = false;
    bool cut = false;
    std::list<Link*>::iterator at;
};

struct ScoreService::Exchange
{
    Clock::time_point start = Clock::now();
    std::string method;
    std::string path;
    Route route = Route::None;
    std::string body;
    bool tooLarge = false;
    bool committed = false; // the upload's commit has answered
    Answer answer;
};

// libmicrohttpd's callbacks, each with the service as its closure.
struct ScoreService::Callbacks
{
    static Link* LinkOf(MHD_Connection* connection)
    {
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        return info ? static_cast<Link*>(info->socket_context) : nullptr;
    }

    static MHD_Result Reply(MHD_Connection* connection, Exchange& exchange, Answer answer)
    {
        exchange.answer = std::move(answer);
        const std::string& body = exchange.answer.body;
        MHD_Response* response = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()),
                                                                 MHD_RESPMEM_MUST_COPY);
        if (!response)
            return MHD_NO;
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
        const MHD_Result queued =
            MHD_queue_response(connection, static_cast<unsigned>(exchange.answer.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    // What the request's line and headers alone refuse it for; false when nothing does.
    static bool Refused(MHD_Connection* connection, const Exchange& exchange, Answer& answer)
    {
        int lengths = 0;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &CountContentLength, &lengths);
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
        size_t declared = 0;
        if (length)
            std::from_chars(length, length + std::strlen(length), declared);
        if (exchange.route == Route::None)
            answer = {404, "NOT FOUND", "no such path"};
        else if (exchange.method != "POST")
            answer = {405, "METHOD NOT ALLOWED", "not a post"};
        else if (lengths > 1)
            answer = {400, "BAD REQUEST", "two Content-Length headers"};
        else if (declared > kMaxBody)
            answer = {413, "TOO LARGE", "body over its cap"};
        else
            return false;
        return true;
    }

    static MHD_Result Request(void* closure, MHD_Connection* connection, const char* url, const char* method,
                              const char*, const char* data, size_t* size, void** context)
    {
        auto& service = *static_cast<ScoreService*>(closure);
        auto* exchange = static_cast<Exchange*>(*context);
        if (!exchange)
        {
            exchange = new Exchange;
            exchange->method = Printable(method);
            exchange->path = Printable(url);
            exchange->route = RouteOf(url);
            *context = exchange;
            Answer refusal;
            return Refused(connection, *exchange, refusal) ? Reply(connection, *exchange, refusal) : MHD_YES;
        }
        if (*size > 0)
        {
            exchange->tooLarge = exchange->tooLarge || exchange->body.size() + *size > kMaxBody;
            if (!exchange->tooLarge)
                exchange->body.append(data, *size);
            *size = 0;
            return MHD_YES;
        }
        if (exchange->committed)
            return Reply(connection, *exchange, exchange->answer);
        // The request is whole: its deadline is met.
        if (Link* link = LinkOf(connection))
            service.Disarm(*link);
        if (exchange->tooLarge)
            return Reply(connection, *exchange, {413, "TOO LARGE", "body over its cap"});
        Answer answer;
        ScoreUpload upload;
        if (service.AnswerAtOnce(exchange->route, exchange->body, answer, upload))
            return Reply(connection, *exchange, std::move(answer));
        // Suspended before it is queued, so that the commit can never resume it first.
        MHD_suspend_connection(connection);
        const auto answered = [connection, exchange](ScoreCommit commit)
        {
            exchange->answer = CommitAnswer(commit);
            exchange->committed = true;
            MHD_resume_connection(connection);
        };
        if (!service.store.Submit(std::move(upload), answered))
        {
            exchange->answer = {503, "ERROR", "service stopping"};
            exchange->committed = true;
            MHD_resume_connection(connection);
        }
        return MHD_YES;
    }

    static void Completed(void* closure, MHD_Connection* connection, void** context,
                          MHD_RequestTerminationCode ending)
    {
        auto& service = *static_cast<ScoreService*>(closure);
        auto* exchange = static_cast<Exchange*>(*context);
        if (!exchange)
            return;
        *context = nullptr;
        Link* link = LinkOf(connection);
        const double milliseconds =
            std::chrono::duration<double, std::milli>(Clock::now() - exchange->start).count();
        if (ending == MHD_REQUEST_TERMINATED_COMPLETED_OK)
            service.WriteLog("%s %s %s %d %s %.1f ms\n", link ? link->client.c_str() : "?",
                             exchange->method.c_str(), exchange->path.c_str(), exchange->answer.status,
                             exchange->answer.note.c_str(), milliseconds);
        else
            service.WriteLog("%s %s %s not answered: the connection ended (%d) after %.1f ms\n",
                             link ? link->client.c_str() : "?", exchange->method.c_str(),
                             exchange->path.c_str(), static_cast<int>(ending), milliseconds);
        delete exchange;
        // A kept-alive connection's next request has its own time to arrive.
        if (link)
            service.Arm(*link);
    }

    static void Connection(void* closure, MHD_Connection* connection, void** context,
                           MHD_ConnectionNotificationCode code)
    {
        auto& service = *static_cast<ScoreService*>(closure);
        if (code == MHD_CONNECTION_NOTIFY_STARTED)
        {
            auto* link = new Link;
            const MHD_ConnectionInfo* fd =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            const MHD_ConnectionInfo* client =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            link->fd = fd ? fd->connect_fd : -1;
            link->client = AddressText(client ? client->client_addr : nullptr);
            *context = link;
            service.Arm(*link);
            return;
        }
        auto* link = static_cast<Link*>(*context);
        if (!link)
            return;
        service.Disarm(*link);
        if (link->cut)
            service.WriteLog("%s cut: no whole request within %lld s\n", link->client.c_str(),
                             static_cast<long long>(kRequestDeadline.count()));
        delete link;
        *context = nullptr;
    }

    static void Log(void* closure, const char* format, va_list arguments)
    {
        auto& service = *static_cast<ScoreService*>(closure);
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        text[strcspn(text, "\n")] = '\0';
        service.WriteLog("libmicrohttpd: %s\n", text);
    }
};

ScoreService::ScoreService(std::string databasePath) : store(std::move(databasePath)) {}

ScoreService::~ScoreService()
{
    Stop();
}

bool ScoreService::Start(uint16_t wantedPort, const std::string& address)
{
    if (daemon)
        return false;
    sockaddr_in socketAddress;
    if (!SocketAddress(address, wantedPort, socketAddress))
    {
        error = "not a numeric IPv4 address: " + address;
        return false;
    }
    if (!store.Open())
    {
        error = store.Error();
        return false;
    }
    {
        std::lock_guard lock(linksMutex);
        watching = true;
    }
    watchdog = std::thread(&ScoreService::Watch, this);
    const unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    daemon = MHD_start_daemon(
        flags, wantedPort, nullptr, nullptr, &Callbacks::Request, this, MHD_OPTION_EXTERNAL_LOGGER,
        &Callbacks::Log, this, MHD_OPTION_SOCK_ADDR, &socketAddress, MHD_OPTION_THREAD_POOL_SIZE,
        PoolThreads(), MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(kRequestDeadline.count()),
        MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
        MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::Completed, this, MHD_OPTION_NOTIFY_CONNECTION,
        &Callbacks::Connection, this, MHD_OPTION_END);
    const MHD_DaemonInfo* bound = daemon ? MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    if (!bound)
    {
        error = "cannot listen on " + address + " port " + std::to_string(wantedPort);
        Stop();
        return false;
    }
    port = bound->port;
    return true;
}

void ScoreService::Stop()
{
    // Every suspended upload is answered and resumed before the daemon may stop.
    store.Close();
    if (daemon)
        MHD_stop_daemon(daemon);
    daemon = nullptr;
    {
        std::lock_guard lock(linksMutex);
        watching = false;
    }
    linksChanged.notify_all();
    if (watchdog.joinable())
        watchdog.join();
}

ScoreService::Route ScoreService::RouteOf(const std::string& path)
{
    if (path == "/stats/upload_highscore.php")
        return Route::GameUpload;
    if (path == "/stats/upload_highscore_level.php")
        return Route::LevelUpload;
    return path == "/stats/get_highscores.php" ? Route::List : Route::None;
}

// A body that fails its checks would fail every retry and hold back the scores queued behind it:
// it is answered as handled, and not kept.
bool ScoreService::AnswerAtOnce(Route route, const std::string& body, Answer& answer, ScoreUpload& upload)
{
    if (route == Route::None)
    {
        answer = {404, "NOT FOUND", "no such path"};
        return true;
    }
    if (route == Route::List)
    {
        ScoreListRequest request;
        if (!ReadScoreListRequest(body, request))
            answer = {200, kRejected, "not a list request"};
        else if (!store.List(request, answer.body))
            answer = {500, "ERROR", "list failed"};
        else
            answer.note = "list " + std::to_string(request.type) + " " + std::to_string(request.region);
        return true;
    }
    const ScoreTable table = route == Route::GameUpload ? ScoreTable::Game : ScoreTable::Level;
    if (const char* refusal = ReadScoreUpload(table, body, upload))
    {
        answer = {200, kRejected, refusal};
        return true;
    }
    return false;
}

ScoreService::Answer ScoreService::CommitAnswer(ScoreCommit commit)
{
    switch (commit)
    {
    case ScoreCommit::Stored:
        return {200, "OK", "stored"};
    case ScoreCommit::AlreadyStored:
        return {200, "OK", "already stored"};
    default:
        return {500, "ERROR", "commit failed"};
    }
}

ScoreService::Answer ScoreService::Handle(const std::string& path, const std::string& body)
{
    Answer answer;
    ScoreUpload upload;
    if (AnswerAtOnce(RouteOf(path), body, answer, upload))
        return answer;
    std::promise<ScoreCommit> commit;
    if (!store.Submit(std::move(upload), [&commit](ScoreCommit outcome) { commit.set_value(outcome); }))
        return {503, "ERROR", "service not running"};
    return CommitAnswer(commit.get_future().get());
}

void ScoreService::Arm(Link& link)
{
    std::lock_guard lock(linksMutex);
    if (link.isArmed)
        armed.erase(link.at);
    link.deadline = Clock::now() + kRequestDeadline;
    link.at = armed.insert(armed.end(), &link);
    link.isArmed = true;
    if (armed.size() == 1)
        linksChanged.notify_all();
}

void ScoreService::Disarm(Link& link)
{
    std::lock_guard lock(linksMutex);
    if (link.isArmed)
        armed.erase(link.at);
    link.isArmed = false;
}

// Shutting a connection's socket down makes libmicrohttpd read its end and close it. The lock
// keeps the socket open meanwhile: a connection is disarmed under it before it closes.
void ScoreService::Watch()
{
    std::unique_lock lock(linksMutex);
    while (watching)
    {
        if (armed.empty())
        {
            linksChanged.wait(lock);
            continue;
        }
        Link* first = armed.front();
        // A copy: the link may be gone by the time the wait ends.
        const Clock::time_point deadline = first->deadline;
        if (Clock::now() < deadline)
        {
            linksChanged.wait_until(lock, deadline);
            continue;
        }
        armed.pop_front();
        first->isArmed = false;
        first->cut = true;
        ::shutdown(first->fd, SHUT_RDWR);
    }
}

void ScoreService::WriteLog(const char* format, ...)
{
    if (!log)
        return;
    char line[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    // One call per line, so that lines of different threads never mix.
    std::fputs(line, log);
}
