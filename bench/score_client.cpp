// The score client in the frame loop: what one Poll costs while the service has not answered yet,
// and how many frames at 60 per second an upload to the loopback service takes.
#include "../tests/support/LoopbackListener.h"
#include "MivoScoreClient.h"
#include "ScoreService.h"
#include "WeConfig.h"
#include "WeTimer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

namespace
{
constexpr auto kFrame = std::chrono::microseconds(1000000 / 60);

void PointAt(uint16_t port)
{
    WeConfig::GetString("Mivo.Network.ServerAddress", "") = ("127.0.0.1:" + std::to_string(port)).c_str();
}

} // namespace

// Poll as the net-wait screen calls it each frame while the request is out and no answer comes.
static void BM_PollWhileWaiting(benchmark::State& state)
{
    const LoopbackListener silent;
    PointAt(silent.Port());
    timer.deltaTime = 1.0f / 60.0f;
    scoreClient.RequestScores(2, 0);
    for (auto _ : state)
    {
        scoreClient.retryTimer = 0.0f; // every Poll looks for a packet
        scoreClient.Poll();
    }
    if (scoreClient.state != MivoScoreClient::Running)
        state.SkipWithError("the request ended without an answer");
    scoreClient.EndRequest();
}
BENCHMARK(BM_PollWhileWaiting);

// One level score posted to the service and polled once per 60-Hz frame until it is stored; the
// counter is the frames it took.
static void BM_UploadFramesAt60Hz(benchmark::State& state)
{
    ScoreService service(":memory:");
    if (!service.Start(0))
    {
        state.SkipWithError(service.Error().c_str());
        return;
    }
    PointAt(service.Port());
    timer.deltaTime = 1.0f / 60.0f;
    const MivoScorePayload payload = MivoMakeLevelScorePayload({"Ann", 300, 12, 3017, 41.0f});
    int64_t frames = 0;
    for (auto _ : state)
    {
        scoreClient.Upload(payload, 1);
        while (scoreClient.state == MivoScoreClient::Running)
        {
            std::this_thread::sleep_for(kFrame);
            scoreClient.Poll();
            ++frames;
        }
        if (scoreClient.state != MivoScoreClient::Idle || scoreClient.responseText != "OK")
            state.SkipWithError("the upload was not stored");
        scoreClient.EndRequest();
    }
    state.counters["frames"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_UploadFramesAt60Hz)->Unit(benchmark::kMillisecond)->Iterations(30);

BENCHMARK_MAIN();
