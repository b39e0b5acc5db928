// Beat lamp timing: plays the metronome with the lamp through the real output (set up the
// sound server first, as bench/LampBench.sh does) and measures, for every picture the lamp
// paints, how far the paint is from the time its beat is heard (the tick's frame through the
// clock map plus the output latency the backend reports).
//
//   bench_lamp SECONDS BPM      (under Xvfb, or with QT_QPA_PLATFORM=offscreen)
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/Program.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/Clock.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::size_t Capacity = 1 << 16;

// The program's lamp, noting when each picture is painted (GUI thread).
class TimedLamp final : public GUI::VisualBeatIndicator {
public:
    std::vector<std::int64_t> paints = std::vector<std::int64_t>(Capacity);
    std::size_t painted = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (painted < paints.size())
            paints[painted++] = Platform::Clock::Now();
        GUI::VisualBeatIndicator::paintEvent(event);
    }
};

// Passes every lamp call on, noting the heard time of each beat (timer thread).
class HeardTimes final : public Core::IBeatIndicator {
public:
    explicit HeardTimes(Core::IBeatIndicator& lamp) : lamp_(lamp) {}
    void StartDrawing(const Configuration::ConfigurationData& settings) override { lamp_.StartDrawing(settings); }
    void ShowBeat(std::int32_t voice) override
    {
        Note();
        lamp_.ShowBeat(voice);
    }
    void ClearBeat() override
    {
        Note();
        lamp_.ClearBeat();
    }
    void StopDrawing() override { lamp_.StopDrawing(); }

    std::vector<std::int64_t> heard = std::vector<std::int64_t>(Capacity);
    std::atomic<std::size_t> count{0};

private:
    void Note()
    {
        const std::size_t n = count.load(std::memory_order_relaxed);
        if (n < heard.size() && Platform::CurrentTickHeardTime() != 0) {
            heard[n] = Platform::CurrentTickHeardTime();
            count.store(n + 1, std::memory_order_release);
        }
    }
    Core::IBeatIndicator& lamp_;
};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int bpm = argc > 2 ? std::atoi(argv[2]) : 120;
    GUI::PaintWithoutWaitingForTheDisplayServer();
    QApplication application(argc, argv);
    TimedLamp lamp;
    lamp.show();
    HeardTimes heard(lamp);

    Core::Program program;
    Core::Metronome& metronome = program.Controller();
    metronome.SetBeatIndicator(&heard);
    Configuration::ConfigurationData settings;
    settings.Bpm = bpm;
    settings.VisualIndicator = 1;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    std::fill(std::begin(settings.Instrument), std::end(settings.Instrument), 6);
    if (const std::uint32_t result = metronome.Start(nullptr, settings); result != 0) {
        std::fprintf(stderr, "the metronome did not start: result %u\n", result);
        return 1;
    }
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    QApplication::exec();
    metronome.Stop();

    // Each paint against the nearest heard time (beats are a quarter of a second apart or
    // more; the differences are milliseconds).
    const std::size_t beats = heard.count.load();
    std::vector<double> differences;
    for (std::size_t i = 0; i < lamp.painted; ++i) {
        const std::int64_t paint = lamp.paints[i];
        const auto after = std::lower_bound(heard.heard.begin(), heard.heard.begin() + static_cast<std::ptrdiff_t>(beats), paint);
        double best = 1e18;
        if (after != heard.heard.begin() + static_cast<std::ptrdiff_t>(beats))
            best = static_cast<double>(paint - *after);
        if (after != heard.heard.begin() && std::fabs(static_cast<double>(paint - *(after - 1))) < std::fabs(best))
            best = static_cast<double>(paint - *(after - 1));
        if (std::fabs(best) < 1e8)
            differences.push_back(best / 1e6);
    }
    if (differences.empty()) {
        std::fprintf(stderr, "no beat was painted\n");
        return 1;
    }
    std::vector<double> magnitudes;
    for (double d : differences)
        magnitudes.push_back(std::fabs(d));
    std::sort(differences.begin(), differences.end());
    std::sort(magnitudes.begin(), magnitudes.end());
    const auto at = [](const std::vector<double>& v, double q) { return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))]; };
    std::printf("lamp beats        %zu heard, %zu painted\n", beats, differences.size());
    std::printf("paint - heard     median %+.2f ms, min %+.2f, max %+.2f\n", at(differences, 0.5), differences.front(),
                differences.back());
    std::printf("|paint - heard|   median %.2f ms, p99 %.2f ms\n", at(magnitudes, 0.5), at(magnitudes, 0.99));
    return 0;
}
