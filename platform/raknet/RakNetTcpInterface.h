// Outgoing TCP connections for the score client: connects by host name off the caller's thread,
// hands received bytes over as packets tagged with the peer's address, and reports connects,
// failed connects and lost connections. One worker thread per started interface owns every
// socket; the caller's thread only queues work and takes results.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace raknet
{
// An IPv4 peer: address and port in host order. Zero is "no address".
struct SystemAddress
{
    uint32_t binaryAddress = 0;
    uint16_t port = 0;

    bool IsAssigned() const { return binaryAddress != 0 || port != 0; }
    bool operator==(const SystemAddress&) const = default;
};

// A run of bytes as they came from one connection: reads that arrive before the caller takes them
// join the last packet, up to kMaxPacket bytes, so a packet costs little beyond its bytes. An
// answer may arrive in any number. When the peer closes, a packet of length 0 follows the
// connection's last bytes.
struct Packet
{
    SystemAddress systemAddress;
    uint32_t length = 0;
    uint8_t* data = nullptr; // points into bytes
    std::vector<uint8_t> bytes;
};

class TCPInterface
{
public:
    static constexpr uint32_t kMaxPacket = 1 << 14;

    TCPInterface();
    ~TCPInterface();
    TCPInterface(const TCPInterface&) = delete;
    TCPInterface& operator=(const TCPInterface&) = delete;

    // Starts the worker thread. This interface only connects out, so it listens on no port: a
    // local port other than 0 is refused, as is a second Start while started.
    bool Start(uint16_t localPort, uint16_t maxIncomingConnections);
    // Closes every connection, drops undelivered packets and joins the worker thread.
    void Stop();
    bool IsStarted() const { return worker.joinable(); }

    // Resolves the host and connects on the worker thread; the outcome comes back through
    // HasCompletedConnectionAttempt or HasFailedConnectionAttempt, in the order asked. The
    // connection reads at most `receiveLimit` bytes: then it is closed and reported lost, and no
    // packet of length 0 follows, so a peer that never stops costs no more than the limit and its
    // cut is never taken for the end of what it sent.
    void Connect(const std::string& host, uint16_t port, uint32_t receiveLimit);
    // Queues bytes for a connected peer; false when the interface is stopped.
    bool Send(const char* data, uint32_t length, SystemAddress peer);
    // Closes the peer's connection and drops its packets not yet taken.
    void CloseConnection(SystemAddress peer);

    // The oldest undelivered packet, owned by the interface until DeallocatePacket; or null.
    Packet* Receive();
    void DeallocatePacket(Packet* packet);
    // The address of a connection that came up / an attempt that failed (then the address is
    // unassigned) / a connection the peer closed or broke, each once; or unassigned.
    SystemAddress HasCompletedConnectionAttempt();
    bool HasFailedConnectionAttempt();
    SystemAddress HasLostConnection();

private:
    struct Connection;
    struct Attempt
    {
        std::string host;
        uint16_t port = 0;
        uint32_t receiveLimit = 0;
    };

    // Pops the oldest address under the lock; unassigned when there is none.
    SystemAddress TakeFirst(std::deque<SystemAddress>& addresses);
    void Run();
    void Wake();
    void Dial(const Attempt& attempt);
    // Reads, writes and notices closes on every socket until a stop is asked.
    void ServeSockets();
    bool ReadFrom(Connection& connection);
    // Hands read bytes to the caller, joined to the connection's last packet not yet taken when
    // there is room.
    void Deliver(const Connection& connection, const uint8_t* data, uint32_t length);
    bool WriteTo(Connection& connection);

    std::thread worker;
    int wakeFd = -1;
    std::vector<uint8_t> readBuffer; // the worker's
    std::mutex mutex;                // guards everything below
    bool stopping = false;
    std::deque<Attempt> attempts;
    std::vector<std::unique_ptr<Connection>> connections;
    std::deque<std::unique_ptr<Packet>> received;
    std::vector<std::unique_ptr<Packet>> handedOut;
    std::deque<SystemAddress> completed;
    int failedCount = 0;
    std::deque<SystemAddress> lost;
};
} // namespace raknet
