// Live timing feedback from an audio input, through a private PulseAudio (bench/LiveAudio.sh
// sets it up): Tolvane plays into the null sink tolvane_bench, module-loopback carries that
// sink's sound into the left channel of a second null sink, "mic", whose monitor is the default
// source (the microphone), and pacat plays a generated take (a stick hit at every beat, late by
// 12 ms give or take 8) into mic's right channel, started in time with the run. First the
// window's calibration (GUI::AudioCalibration) finds the round trip through the loopback; then
// a run is scored by the window's parts (GUI::LiveTiming listening to the audio input). parec
// records mic's monitor beside it: the onsets of its left channel (the clicks as they reach the
// microphone) and its right one (the hits) give each hit's true error, which the run's mean is
// compared with.
//   bench_live_audio [seconds] [bpm]        (LIVE_AUDIO_HITS=1 also prints each hit and each truth)
#include "../tests/Timing/TakeSignals.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "Core/Engine/Program.h"
#include "Core/Timing/Calibration.h"
#include "Core/Timing/OnsetDetector.h"
#include "GUI/AudioCalibration.h"
#include "GUI/LiveTiming.h"
#include "Platform/Clock.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

namespace {

constexpr double Rate = 48000;

class Reports final : public Core::IMetronomeEventHandler {
public:
    explicit Reports(GUI::LiveTiming& live) : live_(live) {}
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
    void OnPosition(const Core::BarPosition& position) override { live_.OnPosition(position); }
    void OnSounded(bool heard) override
    {
        live_.OnSounded(heard);
        double none = -1;
        firstTick.compare_exchange_strong(none, Platform::CurrentSoundStamp().frame);
    }
    std::atomic<double> firstTick{-1};

private:
    GUI::LiveTiming& live_;
};

double ProcessSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Spread {
    double mean = 0, sd = 0;
    std::size_t count = 0;
};

Spread SpreadOf(const std::vector<double>& values)
{
    Spread s;
    s.count = values.size();
    if (values.empty())
        return s;
    for (double v : values)
        s.mean += v;
    s.mean /= static_cast<double>(values.size());
    for (double v : values)
        s.sd += (v - s.mean) * (v - s.mean);
    s.sd = std::sqrt(s.sd / static_cast<double>(values.size()));
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int bpm = argc > 2 ? std::atoi(argv[2]) : 120;
    QApplication application(argc, argv);
    QTemporaryDir folder;

    Core::Program program;
    Platform::Audio::Mixer& mixer = program.Output();
    if (mixer.Acquire() != Platform::Audio::NoError || mixer.BackendName() != "pulse" || mixer.SampleRate() != Rate) {
        std::fprintf(stderr, "no PulseAudio output at 48 kHz (%s)\n", mixer.LastFailure().c_str());
        return 2;
    }

    // The calibration, through the loopback.
    GUI::AudioCalibration calibration(&mixer);
    std::optional<double> roundTripMs;
    QEventLoop waiting;
    QObject::connect(&calibration, &GUI::AudioCalibration::Finished, &waiting, [&](std::optional<double> ms) {
        roundTripMs = ms;
        waiting.quit();
    });
    std::string failure;
    if (!calibration.Start(failure)) {
        std::fprintf(stderr, "the calibration did not start: %s\n", failure.c_str());
        return 1;
    }
    waiting.exec();
    if (!roundTripMs) {
        std::fprintf(stderr, "the calibration found nothing\n");
        return 1;
    }
    const std::string roundTrips = Core::Timing::WithRoundTrip({}, calibration.Pair(), *roundTripMs);

    // The take: a hit on every beat from the run's third on, 12 ms late give or take 8.
    const double beat = 60.0 / bpm;
    const std::vector<float> hit = TakeSignals::Hit(Rate);
    std::vector<float> take(static_cast<std::size_t>((seconds + 1) * Rate));
    std::mt19937 random(17);
    std::normal_distribution<double> spread(12.0, 8.0);
    for (double t = 0; t + 2 * beat < seconds - 1; t += beat)
        TakeSignals::Mix(take, hit, std::round((t + spread(random) / 1000) * Rate), 0.5f);
    // Stereo, the hits on the right only: the clicks come into the left channel.
    std::vector<float> stereoTake(2 * take.size(), 0.0f);
    for (std::size_t i = 0; i < take.size(); ++i)
        stereoTake[2 * i + 1] = take[i];
    const QString takeFile = folder.filePath(QStringLiteral("take.raw"));
    std::ofstream(takeFile.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(stereoTake.data()),
               static_cast<std::streamsize>(stereoTake.size() * sizeof(float)));

    // The microphone's true signal, recorded beside the run.
    QProcess recorder;
    const QString recording = folder.filePath(QStringLiteral("mic.raw"));
    recorder.setStandardOutputFile(recording);
    recorder.start(QStringLiteral("parec"), {QStringLiteral("--device=mic.monitor"), QStringLiteral("--format=float32le"),
                                             QStringLiteral("--rate=48000"), QStringLiteral("--channels=2"),
                                             QStringLiteral("--latency-msec=50"), QStringLiteral("--raw")});
    recorder.waitForStarted();

    GUI::TimingStrip strip;
    GUI::LiveTiming live(&mixer, strip);
    Reports reports(live);
    Configuration::ConfigurationData settings;
    settings.Bpm = bpm;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 4;
    settings.VisualIndicator = 0;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    live.Begin(true);
    const double cpuBefore = ProcessSeconds();
    const std::int64_t wallBefore = Platform::Clock::Now();
    if (const std::uint32_t result = program.Controller().Start(&reports, settings); result != 0) {
        std::fprintf(stderr, "the metronome did not start: result %u\n", result);
        return 1;
    }
    const QString listening = live.Listen(nullptr, true, roundTrips);
    std::fprintf(stderr, "%s\n", qPrintable(listening));
    // pacat starts so that its first hit comes near the run's third beat (within a few tens of
    // milliseconds; the recording tells each hit's truth).
    while (reports.firstTick.load() < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const std::int64_t third = mixer.HeardTime(reports.firstTick.load() + 2 * beat * Rate);
    QProcess player;
    QTimer::singleShot(static_cast<int>(std::max<std::int64_t>(0, third - Platform::Clock::Now() - 25'000'000) / 1'000'000),
                       [&] {
                           // At real-time priority: a player that runs dry shifts the rest
                           // of the take (the truth follows it, but a hit cut in two is no hit).
                           player.start(QStringLiteral("chrt"),
                                        {QStringLiteral("-f"), QStringLiteral("30"), QStringLiteral("pacat"),
                                         QStringLiteral("--playback"), QStringLiteral("--device=mic"),
                                         QStringLiteral("--format=float32le"), QStringLiteral("--rate=48000"),
                                         QStringLiteral("--channels=2"),
                                         QStringLiteral("--latency-msec=20"), QStringLiteral("--raw"), takeFile});
                       });
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    QApplication::exec();
    program.Controller().Stop();
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit); // the last hits reach the input
    settle.exec();
    live.End();
    const double cpu = ProcessSeconds() - cpuBefore;
    const double wall = static_cast<double>(Platform::Clock::Now() - wallBefore) / 1e9;
    player.kill();
    player.waitForFinished();
    recorder.terminate();
    recorder.waitForFinished();
    mixer.Release();

    // The truth: each hit against the nearest click, both as they reached the microphone.
    std::vector<float> samples;
    {
        std::ifstream again(recording.toStdString(), std::ios::binary | std::ios::ate);
        samples.resize(static_cast<std::size_t>(again.tellg()) / sizeof(float));
        again.seekg(0);
        again.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * sizeof(float)));
    }
    std::vector<float> left(samples.size() / 2), right(samples.size() / 2);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = samples[2 * i];
        right[i] = samples[2 * i + 1];
    }
    Core::Timing::OnsetOptions options;
    options.rate = Rate;
    // A click's sound may have a later attack of its own: each click is its first onset.
    std::vector<Core::Timing::Onset> clicks;
    for (const Core::Timing::Onset& onset : Core::Timing::DetectOnsets(left, options))
        if (clicks.empty() || onset.frame - clicks.back().frame > 0.05 * Rate)
            clicks.push_back(onset);
    const std::vector<Core::Timing::Onset> hits = Core::Timing::DetectOnsets(right, options);
    std::vector<double> truth;
    for (const Core::Timing::Onset& h : hits) {
        const auto nearest = std::min_element(clicks.begin(), clicks.end(), [&](const auto& a, const auto& b) {
            return std::abs(a.frame - h.frame) < std::abs(b.frame - h.frame);
        });
        if (nearest != clicks.end() && std::abs(nearest->frame - h.frame) < beat * Rate / 4)
            truth.push_back((h.frame - nearest->frame) * 1000 / Rate);
    }
    const Spread real = SpreadOf(truth);
    if (std::getenv("LIVE_AUDIO_HITS") != nullptr)
        for (double t : truth)
            std::printf("truth %+.2f ms\n", t);
    if (!live.Score()) {
        std::fprintf(stderr, "nothing scored (%s)\n", qPrintable(listening));
        return 1;
    }
    const auto& f = live.Score()->figures;
    if (std::getenv("LIVE_AUDIO_HITS") != nullptr)
        for (const auto& h : live.Score()->hits)
            std::printf("hit %.1f ms: %+.2f ms%s\n", h.frame * 1000 / Rate, h.errorMs, h.stray ? " stray" : "");
    const double detector = live.Audio().DetectorSeconds();
    std::printf("live audio at %d bpm, %.0f s, 48 kHz, %s: round trip calibrated %.2f ms (%s)\n"
                "  truth (mic's recording): %zu hits on %zu clicks, mean %.3f ms, sd %.3f ms\n"
                "  Tolvane: %d hits, %d stray, %d missed, mean %.3f ms, sd %.3f ms; mean - truth %+.3f ms\n"
                "  CPU: the detector's thread %.2f %% of one core, the whole process %.2f %% (run and scoring)\n",
                bpm, seconds, live.Audio().InputName().c_str(), *roundTripMs, calibration.Pair().c_str(), real.count,
                clicks.size(), real.mean, real.sd, f.hits, f.strays, f.missed, f.all.meanMs, f.all.sdMs,
                f.all.meanMs - real.mean, 100 * detector / wall, 100 * cpu / wall);
    return std::abs(f.all.meanMs - real.mean) <= 1.0 && f.hits + 3 >= static_cast<int>(real.count) ? 0 : 1;
}
