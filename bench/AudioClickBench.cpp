// Click placement through the real-time path: the timer thread ticks on a tempo grid, each
// tick plays a Note On through the MIDI sound engine into a mixer on the null backend
// (which consumes blocks in real time, as a sound card would), while a second process keeps
// the other processor busy. The captured output is searched for the clicks' onsets.
//
// Prints, per tempo: onset error against the grid of tick due times (max and p99, in
// samples), drift of the onsets against the grid in ppm, late sounds, Note Ons that missed
// their frame in the synthesizer, how late the slowest tick reached the engine, the mixer's
// CPU time per 256-frame block (p50, p99), and the fixed latency.
//
//   bench_audio_clicks [clicks] [bpm ...]      (defaults: 1000 clicks at 120 and 133 bpm)
#include "Configuration/ConfigurationData.h"
#include "Core/Sound/InstrumentList.h"
#include "Core/Sound/MidiSoundEngine.h"
#include "Core/Engine/Timer.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/NullBackend.h"
#include "Platform/Clock.h"

#include <sched.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t claves = 75;

class Clicker final : public Core::ITimerEventHandler {
public:
    Clicker(Core::Timer& timer, Core::ISoundEngine& engine, std::size_t clicks)
        : timer_(timer), engine_(engine), dueTimes_(clicks)
    {
    }

    void OnTimer() override
    {
        const std::size_t n = count_.load(std::memory_order_relaxed);
        if (n >= dueTimes_.size()) {
            timer_.Stop();
            return;
        }
        dueTimes_[n] = Platform::CurrentTickTime();
        const std::int64_t lateness = Platform::Clock::Now() - dueTimes_[n];
        if (lateness > maxTickLateness_.load(std::memory_order_relaxed))
            maxTickLateness_.store(lateness, std::memory_order_relaxed);
        if (!engine_.PlaySound(100, claves))
            failures_.fetch_add(1, std::memory_order_relaxed);
        count_.store(n + 1, std::memory_order_release);
    }

    bool Done() const { return count_.load(std::memory_order_acquire) >= dueTimes_.size(); }
    const std::vector<std::int64_t>& DueTimes() const { return dueTimes_; }
    int Failures() const { return failures_.load(); }
    /// How long after its due time the slowest tick reached the engine, in nanoseconds.
    std::int64_t MaxTickLateness() const { return maxTickLateness_.load(); }

private:
    Core::Timer& timer_;
    Core::ISoundEngine& engine_;
    std::vector<std::int64_t> dueTimes_;
    std::atomic<std::size_t> count_{0};
    std::atomic<int> failures_{0};
    std::atomic<std::int64_t> maxTickLateness_{0};
};

/// A child process spinning on the last processor, ended by its pid.
class Loader {
public:
    Loader()
    {
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive the benchmark
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(std::max(0L, sysconf(_SC_NPROCESSORS_ONLN) - 1), &set);
            sched_setaffinity(0, sizeof set, &set);
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
    }
    ~Loader()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_;
};

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

std::vector<std::size_t> Onsets(const std::vector<float>& capture, std::size_t frames, std::size_t spacing)
{
    std::vector<std::size_t> onsets;
    std::size_t frame = 0;
    while (frame < frames) {
        if (capture[2 * frame] != 0.0f || capture[2 * frame + 1] != 0.0f) {
            onsets.push_back(frame);
            frame += spacing;
        } else {
            ++frame;
        }
    }
    return onsets;
}

void Run(std::size_t clicks, double bpm)
{
    const double periodMs = 60000.0 / bpm;
    const std::size_t frames = static_cast<std::size_t>((clicks * periodMs / 1000.0 + 3.0) * 44100);
    Platform::Audio::NullBackend backend(frames, frames / 256 + 16);
    Platform::Audio::Mixer mixer(backend);
    Core::MidiSoundEngine engine(Platform::Audio::MidiOutOptions{mixer, {}});
    // The first voice plays the claves at the clicks' volume, so that starting renders them.
    Configuration::ConfigurationData settings;
    for (int index = 0; index < Core::InstrumentCount; ++index) {
        if (Core::InstrumentNote(index) == claves)
            settings.Instrument[0] = index;
    }
    settings.Volume[0] = 100;
    if (!engine.Initialise(settings)) {
        std::printf("%.0f bpm: the engine did not start (code %u)\n", bpm, engine.GetLastErrorCode());
        return;
    }
    Core::Timer timer;
    Clicker clicker(timer, engine, clicks);
    {
        const Loader loader;
        timer.Start(&clicker, periodMs);
        while (!clicker.Done())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        timer.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    const std::uint64_t late = mixer.LateCount();
    const std::uint64_t displaced = engine.Output().SubstitutedNotes();
    engine.Close();

    const auto onsets = Onsets(backend.Captured(), backend.CapturedFrames(),
                               static_cast<std::size_t>(periodMs * 44.1 * 0.8));
    const auto& due = clicker.DueTimes();
    if (onsets.size() != due.size()) {
        std::printf("%.0f bpm: found %zu onsets for %zu clicks\n", bpm, onsets.size(), due.size());
        return;
    }
    // Grid: the tick due times at the nominal rate, its phase set by the median click (the
    // fixed latency and the synthesizer's attack make the absolute position arbitrary).
    std::vector<double> deviations;
    double sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const double expected = static_cast<double>(due[k] - due[0]) * 44100.0 / 1e9;
        const double measured = static_cast<double>(onsets[k] - onsets[0]);
        deviations.push_back(measured - expected);
        sumX += expected;
        sumY += measured;
        sumXX += expected * expected;
        sumXY += expected * measured;
    }
    const double phase = Percentile(deviations, 0.5);
    std::vector<double> errors;
    for (std::size_t k = 0; k < deviations.size(); ++k) {
        errors.push_back(std::fabs(deviations[k] - phase));
        if (std::getenv("AUDIO_BENCH_VERBOSE"))
            std::printf("  click %zu: %+.2f\n", k, deviations[k] - phase);
    }
    const double n = static_cast<double>(onsets.size());
    const double slope = (n * sumXY - sumX * sumY) / (n * sumXX - sumX * sumX);

    std::vector<double> blockMicroseconds;
    for (std::size_t i = 0; i < backend.RenderTimeCount(); ++i)
        blockMicroseconds.push_back(static_cast<double>(backend.RenderTimes()[i]) / 1000.0);

    std::printf("%.0f bpm, %zu clicks (%.2f frames apart):\n", bpm, onsets.size(), periodMs * 44.1);
    std::printf("  onset error against the grid: max %.2f samples, p99 %.2f samples\n",
                *std::max_element(errors.begin(), errors.end()), Percentile(errors, 0.99));
    std::printf("  drift: %.4f ppm\n", (slope - 1.0) * 1e6);
    std::printf("  late: %llu, displaced in the synthesizer: %llu, failed sends: %d\n",
                static_cast<unsigned long long>(late), static_cast<unsigned long long>(displaced), clicker.Failures());
    std::printf("  slowest tick reached the engine %.3f ms after its due time\n",
                static_cast<double>(clicker.MaxTickLateness()) / 1e6);
    std::printf("  mixer CPU per 256-frame block: p50 %.1f us, p99 %.1f us, max %.1f us\n",
                Percentile(blockMicroseconds, 0.5), Percentile(blockMicroseconds, 0.99),
                *std::max_element(blockMicroseconds.begin(), blockMicroseconds.end()));
    std::printf("  fixed latency: %.2f ms (%lld frames)\n", static_cast<double>(mixer.LatencyFrames()) / 44.1,
                static_cast<long long>(mixer.LatencyFrames()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const std::size_t clicks = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000;
    std::vector<double> tempi;
    for (int i = 2; i < argc; ++i)
        tempi.push_back(std::atof(argv[i]));
    if (tempi.empty())
        tempi = {120.0, 133.0};
    for (const double bpm : tempi)
        Run(clicks, bpm);
    return 0;
}
