// Timer lateness: runs the timer at 31.25 ms (120 bpm with 16 ticks per beat) and measures
// how late each OnTimer call comes against its due time, plus the process's CPU use.
//
//   bench_timer [seconds] [interval-ms]
#include "Core/Engine/Timer.h"
#include "Platform/Clock.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

class LatenessRecorder final : public Core::ITimerEventHandler {
public:
    explicit LatenessRecorder(std::size_t capacity) : lateness_(capacity) {}

    void OnTimer() override
    {
        const std::int64_t late = Platform::Clock::Now() - Platform::CurrentTickTime();
        const std::size_t n = count_.load(std::memory_order_relaxed);
        if (n < lateness_.size())
            lateness_[n] = late;
        count_.store(n + 1, std::memory_order_release);
    }

    std::vector<std::int64_t> Take()
    {
        lateness_.resize(std::min(count_.load(std::memory_order_acquire), lateness_.size()));
        return lateness_;
    }

private:
    std::vector<std::int64_t> lateness_;
    std::atomic<std::size_t> count_{0};
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<std::int64_t> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return static_cast<double>(values[index]) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const double interval = argc > 2 ? std::atof(argv[2]) : 31.25;
    LatenessRecorder recorder(static_cast<std::size_t>(seconds * 1000.0 / interval) + 16);
    Core::Timer timer;

    const double cpuBefore = CpuSeconds();
    const std::int64_t wallBefore = Platform::Clock::Now();
    if (!timer.Start(&recorder, interval)) {
        std::fprintf(stderr, "the timer thread could not be started\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    timer.Stop();
    const double wall = static_cast<double>(Platform::Clock::Now() - wallBefore) / 1e9;
    const double cpu = CpuSeconds() - cpuBefore;

    const std::vector<std::int64_t> lateness = recorder.Take();
    if (lateness.empty())
        return 1;
    std::printf("timer: interval %.3f ms, %zu ticks in %.1f s\n", interval, lateness.size(), wall);
    std::printf("lateness of OnTimer against due time: p50 %.4f ms, p99 %.4f ms, max %.4f ms\n",
                Percentile(lateness, 0.5), Percentile(lateness, 0.99), Percentile(lateness, 1.0));
    std::printf("process CPU: %.4f s per second\n", cpu / wall);
    return 0;
}
