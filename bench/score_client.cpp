// The score client in the frame loop: what one Poll costs while the service has not answered yet,
// how many frames at 60 per second an upload to the loopback service takes, how fast the largest
// list comes in, and how much memory a service that never stops answering costs.
#include "../tests/support/LoopbackListener.h"
#include "../tests/support/ScoreServiceFake.h"
#include "MivoScoreClient.h"
#include "ScoreService.h"
#include "WeConfig.h"
#include "WeTimer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
constexpr auto kFrame = std::chrono::microseconds(1000000 / 60);

void PointAt(uint16_t port)
{
    WeConfig::GetString("Mivo.Network.ServerAddress", "") = ("127.0.0.1:" + std::to_string(port)).c_str();
}

// The resident set of this process in bytes.
double ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    double total = 0.0, resident = 0.0;
    statm >> total >> resident;
    return resident * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// Seconds of processor time this thread has used: unlike the wall clock, it leaves out the time
// a loaded machine gives to others.
double ThreadSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// What one request looked like from the frame loop.
struct Exchange
{
    int64_t frames = 0;
    double seconds = 0.0;
    double longestPoll = 0.0;    // seconds
    double longestPollCpu = 0.0; // seconds of this thread's processor time
    double peakGrowth = 0.0;     // bytes of resident set over the level before the request
    int32_t endState = MivoScoreClient::Running;
};

// Asks the fake for a list and polls once a frame at `framesPerSecond`, as the net-wait screen
// does, until the request ends or its 30 s limit passes.
Exchange RunRequest(ScoreServiceFake::Behaviour behaviour, int64_t framesPerSecond)
{
    using Clock = std::chrono::steady_clock;
    ScoreServiceFake fake(behaviour);
    PointAt(fake.Port());
    const auto frame = std::chrono::microseconds(1000000 / framesPerSecond);
    timer.deltaTime = 1.0f / static_cast<float>(framesPerSecond);
    const double idle = ResidentBytes();
    Exchange exchange;
    const auto start = Clock::now();
    scoreClient.RequestScores(1, 0);
    while (scoreClient.state == MivoScoreClient::Running &&
           exchange.frames * frame < std::chrono::seconds(30))
    {
        const auto frameStart = Clock::now();
        const double cpuStart = ThreadSeconds();
        scoreClient.Poll();
        exchange.longestPollCpu = std::max(exchange.longestPollCpu, ThreadSeconds() - cpuStart);
        exchange.longestPoll =
            std::max(exchange.longestPoll, std::chrono::duration<double>(Clock::now() - frameStart).count());
        exchange.peakGrowth = std::max(exchange.peakGrowth, ResidentBytes() - idle);
        ++exchange.frames;
        std::this_thread::sleep_until(frameStart + frame);
    }
    exchange.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    exchange.endState = scoreClient.state;
    scoreClient.EndRequest();
    return exchange;
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

// The largest list a client takes (1 MiB) at a frame rate of the argument; counters: frames, the
// longest Poll in ms (wall clock and this thread's processor time), and the reading speed in KB/s.
static void BM_FullListAtFrameRate(benchmark::State& state)
{
    Exchange total;
    for (auto _ : state)
    {
        const Exchange one = RunRequest(ScoreServiceFake::Behaviour::FullList, state.range(0));
        if (scoreClient.responseText.GetLength() + 64 < static_cast<int32_t>(ScoreServiceFake::kFullAnswer))
            state.SkipWithError("the list did not arrive whole");
        total.frames += one.frames;
        total.seconds += one.seconds;
        total.longestPoll = std::max(total.longestPoll, one.longestPoll);
        total.longestPollCpu = std::max(total.longestPollCpu, one.longestPollCpu);
    }
    const auto perIteration = benchmark::Counter::kAvgIterations;
    state.counters["frames"] = benchmark::Counter(static_cast<double>(total.frames), perIteration);
    state.counters["longest_poll_ms"] = total.longestPoll * 1000.0;
    state.counters["longest_poll_cpu_ms"] = total.longestPollCpu * 1000.0;
    state.counters["KB/s"] =
        static_cast<double>(state.iterations()) * ScoreServiceFake::kFullAnswer / 1024.0 / total.seconds;
}
BENCHMARK(BM_FullListAtFrameRate)->Arg(60)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

// A service that answers without end, in the body (argument 0) or in the header (1), at 60 frames
// a second; counters: the peak growth of the resident set in MB, the frames until the client gave
// up, and the longest Poll in ms (wall clock and processor time).
static void BM_EndlessAnswerMemory(benchmark::State& state)
{
    const auto behaviour = state.range(0) == 0 ? ScoreServiceFake::Behaviour::Endless
                                               : ScoreServiceFake::Behaviour::EndlessHeader;
    Exchange worst;
    for (auto _ : state)
    {
        const Exchange one = RunRequest(behaviour, 60);
        if (one.endState != MivoScoreClient::Failed)
            state.SkipWithError("the answer was not refused");
        worst.frames = std::max(worst.frames, one.frames);
        worst.longestPoll = std::max(worst.longestPoll, one.longestPoll);
        worst.longestPollCpu = std::max(worst.longestPollCpu, one.longestPollCpu);
        worst.peakGrowth = std::max(worst.peakGrowth, one.peakGrowth);
    }
    state.counters["peak_growth_MB"] = worst.peakGrowth / (1024.0 * 1024.0);
    state.counters["frames"] = static_cast<double>(worst.frames);
    state.counters["longest_poll_ms"] = worst.longestPoll * 1000.0;
    state.counters["longest_poll_cpu_ms"] = worst.longestPollCpu * 1000.0;
}
BENCHMARK(BM_EndlessAnswerMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
