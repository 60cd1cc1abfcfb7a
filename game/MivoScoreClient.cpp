#include "MivoScoreClient.h"

#include "WeConfig.h"

#include <string>

MivoScoreClient scoreClient;

namespace
{
constexpr char kContentType[] = "application/x-www-form-urlencoded";
constexpr uint16_t kServicePort = 80;
constexpr uint16_t kMaxIncoming = 64;
} // namespace

MivoScoreClient::MivoScoreClient(const WeTimerClock& timerClock)
    : clock(timerClock), tcp(std::make_unique<raknet::TCPInterface>())
{
}

void MivoScoreClient::SetUploadSteps(std::function<bool()> next, std::function<void()> done)
{
    onNextRequest = std::move(next);
    onDone = std::move(done);
}

void MivoScoreClient::Connect()
{
    http.reset();
    tcp->Stop();
    const WeString& address = WeConfig::GetString("Mivo.Network.ServerAddress", "");
    connected = !address.IsEmpty() && tcp->Start(0, kMaxIncoming);
    if (connected)
        http = std::make_unique<raknet::HTTPConnection>(
            *tcp, std::string(address.GetData(), static_cast<size_t>(address.GetLength())), kServicePort);
    state = connected ? Idle : Failed;
}

void MivoScoreClient::Disconnect()
{
    if (connected)
    {
        http.reset();
        tcp->Stop();
        connected = false;
    }
    const std::function<void()> done = std::move(onDone);
    onNextRequest = nullptr;
    onDone = nullptr;
    if (done)
        done();
}

void MivoScoreClient::EndRequest()
{
    Disconnect();
    state = Idle;
}

void MivoScoreClient::Post(const char* path, const std::string& text)
{
    http->Post(path, text, kContentType);
    http->Update();
    state = Running;
}

void MivoScoreClient::Upload(const MivoScorePayload& payload, int32_t kind)
{
    // Each post has a connection of its own: the service answers once and closes.
    Connect();
    if (!connected)
        return;
    Post(kind == 0 ? "/stats/upload_highscore.php" : "/stats/upload_highscore_level.php",
         std::string(payload.text, MivoScorePayload::kLength));
}

void MivoScoreClient::RequestScores(int32_t scoreType, int32_t databaseId)
{
    Connect();
    if (!connected)
        return;
    Post("/stats/get_highscores.php",
         "ScoreType=" + std::to_string(scoreType) + "&MivoDatabaseID=" + std::to_string(databaseId));
}

bool MivoScoreClient::TakeArrived()
{
    const int64_t budget = static_cast<int64_t>(kPollBudget * static_cast<double>(clock.frequency));
    const int64_t start = clock.counter();
    bool finished = false;
    while (!finished && clock.counter() - start < budget)
    {
        raknet::Packet* packet = tcp->Receive();
        if (!packet)
            break;
        finished = http->ProcessTCPPacket(packet);
        tcp->DeallocatePacket(packet);
    }
    return finished;
}

void MivoScoreClient::Poll()
{
    if (!connected || state != Running)
        return;
    const bool finished = TakeArrived();
    http->Update();
    // A refused connection is a bad answer without any packet.
    if (finished || http->HasBadResponse())
        Finish();
}

void MivoScoreClient::Finish()
{
    if (http->HasBadResponse())
    {
        state = Failed;
        Disconnect();
        return;
    }
    const std::string& body = http->Read();
    responseText = WeString(body.data(), static_cast<int32_t>(body.size()));
    state = Idle;
    if (!onNextRequest)
        return;
    if (onNextRequest())
        state = Running;
    else
        Disconnect();
}
