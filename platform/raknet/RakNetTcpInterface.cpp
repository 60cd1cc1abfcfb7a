#include "RakNetTcpInterface.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace raknet
{
struct TCPInterface::Connection
{
    int fd = -1;
    SystemAddress peer;
    bool connecting = true;
    bool closeAsked = false;
    bool cut = false; // read up to its limit
    uint32_t receiveLimit = 0;
    uint32_t receivedBytes = 0;
    std::string outgoing;

    ~Connection()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace
{
// Resolves an IPv4 address of the host; false when it has none.
bool Resolve(const std::string& host, uint16_t port, sockaddr_in& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    address.sin_port = htons(port);
    ::freeaddrinfo(found);
    return true;
}
} // namespace

TCPInterface::TCPInterface() : readBuffer(kMaxPacket) {}

TCPInterface::~TCPInterface()
{
    Stop();
}

bool TCPInterface::Start(uint16_t localPort, uint16_t /*maxIncomingConnections*/)
{
    if (IsStarted() || localPort != 0)
        return false;
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
        return false;
    stopping = false;
    worker = std::thread(&TCPInterface::Run, this);
    return true;
}

void TCPInterface::Stop()
{
    if (!IsStarted())
        return;
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    Wake();
    worker.join();
    ::close(wakeFd);
    wakeFd = -1;
    attempts.clear();
    connections.clear();
    received.clear();
    handedOut.clear();
    completed.clear();
    failedCount = 0;
    lost.clear();
}

void TCPInterface::Wake()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
}

void TCPInterface::Connect(const std::string& host, uint16_t port, uint32_t receiveLimit)
{
    if (!IsStarted())
    {
        ++failedCount;
        return;
    }
    {
        const std::lock_guard lock(mutex);
        attempts.push_back({host, port, receiveLimit});
    }
    Wake();
}

bool TCPInterface::Send(const char* data, uint32_t length, SystemAddress peer)
{
    if (!IsStarted())
        return false;
    {
        const std::lock_guard lock(mutex);
        const auto found = std::find_if(connections.begin(), connections.end(),
                                        [&](const auto& c) { return c->peer == peer && !c->closeAsked; });
        if (found == connections.end())
            return false;
        (*found)->outgoing.append(data, length);
    }
    Wake();
    return true;
}

void TCPInterface::CloseConnection(SystemAddress peer)
{
    if (!IsStarted())
        return;
    {
        const std::lock_guard lock(mutex);
        for (auto& connection : connections)
        {
            if (connection->peer == peer)
                connection->closeAsked = true;
        }
        std::erase_if(received, [peer](const auto& packet) { return packet->systemAddress == peer; });
    }
    Wake();
}

Packet* TCPInterface::Receive()
{
    const std::lock_guard lock(mutex);
    if (received.empty())
        return nullptr;
    handedOut.push_back(std::move(received.front()));
    received.pop_front();
    return handedOut.back().get();
}

void TCPInterface::DeallocatePacket(Packet* packet)
{
    const std::lock_guard lock(mutex);
    std::erase_if(handedOut, [packet](const auto& p) { return p.get() == packet; });
}

SystemAddress TCPInterface::TakeFirst(std::deque<SystemAddress>& addresses)
{
    const std::lock_guard lock(mutex);
    if (addresses.empty())
        return {};
    const SystemAddress peer = addresses.front();
    addresses.pop_front();
    return peer;
}

SystemAddress TCPInterface::HasCompletedConnectionAttempt()
{
    return TakeFirst(completed);
}

bool TCPInterface::HasFailedConnectionAttempt()
{
    const std::lock_guard lock(mutex);
    if (failedCount == 0)
        return false;
    --failedCount;
    return true;
}

SystemAddress TCPInterface::HasLostConnection()
{
    return TakeFirst(lost);
}

void TCPInterface::Run()
{
    for (;;)
    {
        std::deque<Attempt> asked;
        {
            const std::lock_guard lock(mutex);
            if (stopping)
                return;
            asked.swap(attempts);
        }
        // Name look-ups may take a while: they run here, never on the caller's thread.
        for (const Attempt& attempt : asked)
            Dial(attempt);
        ServeSockets();
    }
}

void TCPInterface::Dial(const Attempt& attempt)
{
    sockaddr_in address{};
    auto connection = std::make_unique<Connection>();
    if (Resolve(attempt.host, attempt.port, address))
        connection->fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (connection->fd < 0 ||
        (::connect(connection->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
         errno != EINPROGRESS))
    {
        const std::lock_guard lock(mutex);
        ++failedCount;
        return;
    }
    connection->peer = {ntohl(address.sin_addr.s_addr), attempt.port};
    connection->receiveLimit = attempt.receiveLimit;
    const std::lock_guard lock(mutex);
    connections.push_back(std::move(connection));
}

void TCPInterface::ServeSockets()
{
    std::vector<pollfd> watched{{wakeFd, POLLIN, 0}};
    std::vector<Connection*> watchedConnections;
    {
        const std::lock_guard lock(mutex);
        for (const auto& connection : connections)
        {
            const bool writing = connection->connecting || !connection->outgoing.empty();
            watched.push_back({connection->fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0});
            watchedConnections.push_back(connection.get());
        }
    }
    if (::poll(watched.data(), watched.size(), -1) < 0)
        return;
    if (watched[0].revents & POLLIN)
    {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(wakeFd, &count, sizeof count);
    }
    // Only this thread removes connections, so the pointers stay valid without the lock.
    std::vector<Connection*> ended;
    for (size_t i = 0; i < watchedConnections.size(); ++i)
    {
        Connection& connection = *watchedConnections[i];
        const short events = watched[i + 1].revents;
        bool alive = true;
        if (connection.connecting && events)
        {
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(connection.fd, SOL_SOCKET, SO_ERROR, &error, &size);
            const std::lock_guard lock(mutex);
            if (error != 0)
            {
                ++failedCount;
                ended.push_back(&connection);
                continue;
            }
            connection.connecting = false;
            completed.push_back(connection.peer);
        }
        else if (events & (POLLIN | POLLHUP | POLLERR))
            alive = ReadFrom(connection);
        if (alive && !connection.connecting && (events & POLLOUT))
            alive = WriteTo(connection);
        bool closeAsked = false;
        {
            const std::lock_guard lock(mutex);
            closeAsked = connection.closeAsked;
            if (!alive && !closeAsked)
            {
                lost.push_back(connection.peer);
                if (!connection.cut)
                {
                    auto closed = std::make_unique<Packet>();
                    closed->systemAddress = connection.peer;
                    received.push_back(std::move(closed));
                }
            }
        }
        if (!alive || closeAsked)
            ended.push_back(&connection);
    }
    const std::lock_guard lock(mutex);
    std::erase_if(connections, [&](const auto& c)
                  { return c->closeAsked || std::find(ended.begin(), ended.end(), c.get()) != ended.end(); });
}

bool TCPInterface::ReadFrom(Connection& connection)
{
    const uint32_t room = std::min(static_cast<uint32_t>(readBuffer.size()),
                                   connection.receiveLimit - connection.receivedBytes);
    if (room > 0)
    {
        const ssize_t count = ::recv(connection.fd, readBuffer.data(), room, 0);
        if (count < 0)
            return errno == EAGAIN || errno == EINTR;
        if (count == 0)
            return false;
        connection.receivedBytes += static_cast<uint32_t>(count);
        Deliver(connection, readBuffer.data(), static_cast<uint32_t>(count));
    }
    connection.cut = connection.receivedBytes == connection.receiveLimit;
    return !connection.cut;
}

void TCPInterface::Deliver(const Connection& connection, const uint8_t* data, uint32_t length)
{
    const std::lock_guard lock(mutex);
    if (connection.closeAsked)
        return;
    Packet* last = received.empty() ? nullptr : received.back().get();
    if (!last || !(last->systemAddress == connection.peer) || last->length == 0 ||
        last->length + length > kMaxPacket)
    {
        received.push_back(std::make_unique<Packet>());
        last = received.back().get();
        last->systemAddress = connection.peer;
    }
    last->bytes.insert(last->bytes.end(), data, data + length);
    last->length = static_cast<uint32_t>(last->bytes.size());
    last->data = last->bytes.data();
}

bool TCPInterface::WriteTo(Connection& connection)
{
    std::string pending;
    {
        const std::lock_guard lock(mutex);
        pending = connection.outgoing;
    }
    const ssize_t count = ::send(connection.fd, pending.data(), pending.size(), MSG_NOSIGNAL);
    if (count < 0)
        return errno == EAGAIN || errno == EINTR;
    const std::lock_guard lock(mutex);
    connection.outgoing.erase(0, static_cast<size_t>(count));
    return true;
}
} // namespace raknet
