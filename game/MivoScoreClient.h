// The game's only network client: posts queued scores to the score service and asks it for the
// world lists, one HTTP/1.0 form post at a time, polled once per frame by the net-wait screen.
#pragma once

#include "MivoUploadQueue.h"
#include "WeString.h"
#include "WeTimer.h"
#include "raknet/RakNetHttpConnection.h"

#include <cstdint>
#include <functional>
#include <memory>

class MivoScoreClient : public MivoUploadChannel
{
public:
    enum State : int32_t
    {
        Running = 0, // a request is out
        Idle = 2,    // idle, or the request is done
        Failed = 3,
    };
    // The longest a frame's Poll keeps taking the answer, in seconds.
    static constexpr double kPollBudget = 0.0015;

    // The clock bounds each frame's Poll.
    explicit MivoScoreClient(const WeTimerClock& clock = WeGetSystemClock());

    // Posts a score body: kind 0 a game score, any other a level score. Connects first when
    // not connected; a connect that fails leaves the state failed and posts nothing.
    void Upload(const MivoScorePayload& payload, int32_t kind) override;
    void SetUploadSteps(std::function<bool()> next, std::function<void()> done) override;
    // Asks for a world list: type 1 quest, 2 skill (database 0), 3 the levels of a region.
    void RequestScores(int32_t scoreType, int32_t databaseId);
    // A fresh connection to "Mivo.Network.ServerAddress". A TCP interface still started from
    // an earlier request is stopped first, so one failed request never shuts the client out.
    void Connect();
    // Closes the connection when there is one; then the done step runs once (however the
    // exchange ended) and both steps are cleared.
    void Disconnect();
    // Ends the request the caller waited for, whatever its outcome: disconnected and idle, so
    // the next wait reports only its own request.
    void EndRequest();
    // Once per frame while a request runs: takes everything of the answer that has arrived (as
    // much as kPollBudget allows; the rest waits for the next frame) and sends what is queued.
    void Poll();

    bool connected = false;
    int32_t state = Idle;
    WeString responseText; // body of the last good answer

private:
    void Post(const char* path, const std::string& text);
    // The answer is finished: either good (next request or idle) or bad (closed).
    void Finish();
    // Feeds the answer the packets that have arrived until it is finished or the frame's time
    // for it is spent; true when finished.
    bool TakeArrived();

    WeTimerClock clock;
    std::unique_ptr<raknet::TCPInterface> tcp;
    std::unique_ptr<raknet::HTTPConnection> http;
    std::function<bool()> onNextRequest;
    std::function<void()> onDone;
};

extern MivoScoreClient scoreClient;
