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
// With --jack (bench/LiveAudio.sh --jack starts a private dummy jackd) a JACK client of the
// bench's own, "mic", stands for the null sink, the loopback, pacat and parec at once: its input
// takes Tolvane:out_1 (the clicks), its output, the clicks with the take added, goes to
// Tolvane:in_1 (instead of the server's capture port), and it keeps both as they left it.
//   bench_live_audio [seconds] [bpm] [--jack]  (LIVE_AUDIO_HITS=1 also prints each hit and each
//   truth; LIVE_AUDIO_AS_OFFSET=1 sets the round trip found as the output offset instead)
#include "../tests/Timing/TakeSignals.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "Core/Engine/Program.h"
#include "Core/Timing/Calibration.h"
#include "Core/Timing/OnsetDetector.h"
#include "GUI/AudioCalibration.h"
#include "GUI/LiveTiming.h"
#include "Platform/Clock.h"
#include "Spread.h"

#include <jack/jack.h>

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

// The JACK "microphone": the clicks coming in, with the take added from takeStart (a server
// frame) on, go out to Tolvane:in_1; from recording on, both are kept, as they went out.
struct JackMic {
    jack_client_t* client = nullptr;
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;
    std::vector<float> take;
    std::vector<float> clicks, hits; // kept, preallocated
    std::atomic<std::int64_t> takeStart{-1};
    std::atomic<bool> recording{false};
    std::atomic<std::size_t> kept{0};
};

int MicProcess(jack_nframes_t frames, void* data)
{
    auto& mic = *static_cast<JackMic*>(data);
    const auto* in = static_cast<const float*>(jack_port_get_buffer(mic.in, frames));
    auto* out = static_cast<float*>(jack_port_get_buffer(mic.out, frames));
    const std::int64_t first = jack_last_frame_time(mic.client), start = mic.takeStart.load(std::memory_order_acquire);
    const bool recording = mic.recording.load(std::memory_order_acquire);
    std::size_t kept = mic.kept.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const std::int64_t at = first + i - start;
        const float hit = start >= 0 && at >= 0 && at < static_cast<std::int64_t>(mic.take.size()) ? mic.take[static_cast<std::size_t>(at)] : 0.0f;
        out[i] = in[i] + hit;
        if (recording && kept < mic.clicks.size()) {
            mic.clicks[kept] = in[i];
            mic.hits[kept++] = hit;
        }
    }
    mic.kept.store(kept, std::memory_order_release);
    return 0;
}

bool OpenJackMic(JackMic& mic, double seconds)
{
    jack_status_t status{};
    mic.client = jack_client_open("mic", JackNoStartServer, &status);
    if (mic.client == nullptr)
        return false;
    mic.in = jack_port_register(mic.client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    mic.out = jack_port_register(mic.client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    mic.clicks.assign(static_cast<std::size_t>((seconds + 5) * Rate), 0.0f);
    mic.hits.assign(mic.clicks.size(), 0.0f);
    jack_set_process_callback(mic.client, &MicProcess, &mic);
    if (mic.in == nullptr || mic.out == nullptr || jack_activate(mic.client) != 0)
        return false;
    // The microphone instead of the server's (silent) capture port.
    if (const char** capture = jack_get_ports(mic.client, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput)) {
        for (const char** port = capture; *port != nullptr; ++port)
            jack_disconnect(mic.client, *port, "Tolvane:in_1");
        jack_free(capture);
    }
    return jack_connect(mic.client, "Tolvane:out_1", "mic:in") == 0 && jack_connect(mic.client, "mic:out", "Tolvane:in_1") == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const int bpm = argc > 2 ? std::atoi(argv[2]) : 120;
    const bool jack = argc > 3 && std::string(argv[3]) == "--jack";
    QApplication application(argc, argv);
    QTemporaryDir folder;

    Core::Program program;
    Platform::Audio::Mixer& mixer = program.Output();
    if (mixer.Acquire() != Platform::Audio::NoError || mixer.BackendName() != (jack ? "jack" : "pulse") || mixer.SampleRate() != Rate) {
        std::fprintf(stderr, "no %s output at 48 kHz (%s)\n", jack ? "JACK" : "PulseAudio", mixer.LastFailure().c_str());
        return 2;
    }
    JackMic mic;
    if (jack && !OpenJackMic(mic, seconds)) {
        std::fprintf(stderr, "the JACK microphone did not start\n");
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
    // LIVE_AUDIO_AS_OFFSET=1: the round trip found is the output offset instead and is not kept,
    // as with headphones the microphone cannot hear (their offset tapped to the same delay).
    const bool asOffset = std::getenv("LIVE_AUDIO_AS_OFFSET") != nullptr;
    if (asOffset)
        mixer.SetHeardOffset(std::llround(*roundTripMs * 1e6));
    const std::string roundTrips = asOffset ? std::string() : Core::Timing::WithRoundTrip({}, calibration.Pair(), *roundTripMs);

    // The take: a hit on every beat from the run's third on, 12 ms late give or take 8.
    const double beat = 60.0 / bpm;
    const std::vector<float> hit = TakeSignals::Hit(Rate);
    std::vector<float> take(static_cast<std::size_t>((seconds + 1) * Rate));
    std::mt19937 random(17);
    std::normal_distribution<double> spread(12.0, 8.0);
    std::vector<double> placed; // each hit's offset, ms
    for (double t = 0; t + 2 * beat < seconds - 1; t += beat) {
        placed.push_back(spread(random));
        TakeSignals::Mix(take, hit, std::round((t + placed.back() / 1000) * Rate), 0.5f);
    }
    // Stereo, the hits on the right only: the clicks come into the left channel.
    std::vector<float> stereoTake(2 * take.size(), 0.0f);
    for (std::size_t i = 0; i < take.size(); ++i)
        stereoTake[2 * i + 1] = take[i];
    const QString takeFile = folder.filePath(QStringLiteral("take.raw"));
    std::ofstream(takeFile.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(stereoTake.data()),
               static_cast<std::streamsize>(stereoTake.size() * sizeof(float)));

    // The microphone's true signal, recorded beside the run.
    mic.take = take;
    mic.recording.store(true);
    QProcess recorder;
    const QString recording = folder.filePath(QStringLiteral("mic.raw"));
    recorder.setStandardOutputFile(recording);
    if (!jack)
        recorder.start(QStringLiteral("parec"), {QStringLiteral("--device=mic.monitor"), QStringLiteral("--format=float32le"),
                                             QStringLiteral("--rate=48000"), QStringLiteral("--channels=2"),
                                             QStringLiteral("--latency-msec=50"), QStringLiteral("--raw")});
    if (!jack)
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
    if (jack) { // the take's first sample on the third beat's frame as heard
        const auto at = static_cast<std::int64_t>(jack_get_time()) + (third - Platform::Clock::Now()) / 1000;
        mic.takeStart.store(jack_time_to_frames(mic.client, static_cast<jack_time_t>(at)));
    } else {
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
    }
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
    mic.recording.store(false);
    if (jack)
        jack_client_close(mic.client);
    mixer.Release();

    // The truth: each hit against the nearest click, both as they reached the microphone.
    std::vector<float> samples;
    if (jack) {
        samples.resize(2 * mic.kept.load());
        for (std::size_t i = 0; i < samples.size() / 2; ++i) {
            samples[2 * i] = mic.clicks[i];
            samples[2 * i + 1] = mic.hits[i];
        }
    } else {
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
    std::printf("live audio at %d bpm, %.0f s, 48 kHz, %s: round trip calibrated %.2f ms%s (%s)\n"
                "  truth (mic's recording): %zu hits on %zu clicks, mean %.3f ms, sd %.3f ms\n"
                "  Tolvane: %d hits, %d stray, %d missed, mean %.3f ms, sd %.3f ms; mean - truth %+.3f ms\n"
                "  CPU: the detector's thread %.2f %% of one core, the whole process %.2f %% (run and scoring)\n",
                bpm, seconds, live.Audio().InputName().c_str(), *roundTripMs, asOffset ? ", taken as the output offset" : "",
                calibration.Pair().c_str(), real.count,
                clicks.size(), real.mean, real.sd, f.hits, f.strays, f.missed, f.all.meanMs, f.all.sdMs,
                f.all.meanMs - real.mean, 100 * detector / wall, 100 * cpu / wall);
    // A player that ran dry, or a loopback that moved its latency, shows in the truth itself:
    // its hits no longer spread as they were placed. Such a run says nothing about Tolvane.
    if (const Spread asPlaced = SpreadOf(placed); real.count != placed.size() || std::abs(real.sd - asPlaced.sd) > 1.0) {
        std::printf("  the take did not reach the microphone as placed (%zu hits, sd %.3f ms): left out\n", asPlaced.count, asPlaced.sd);
        return 3;
    }
    return std::abs(f.all.meanMs - real.mean) <= 1.0 && f.hits == static_cast<int>(real.count) ? 0 : 1;
}
