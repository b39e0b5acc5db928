// Following an external MIDI clock through JACK: a JACK client of our own sends MIDI clock
// (Start, then 24 clocks a beat at BPM, each moved by a random amount of up to JITTER ms either
// way) to Tolvane:midi_in; the window's parts (GUI::MidiInPump, GUI::ClockFollow) follow it
// and the engine plays. Every click's frame (the frame its sound starts on) is compared with
// the clock's true beats (without the jitter): the clicks' intervals and their spread, their
// tempo, their distance from the beats, and the followed tempo while the clock runs.
//   bench_clock_follow [seconds] [bpm] [jitter-ms]
// Needs a running JACK server (bench/ClockFollow.sh starts a private dummy one).
#include "Core/Engine/BeatGrid.h"
#include "Core/Engine/IMetronomeEventHandler.h"
#include "Core/Engine/Program.h"
#include "GUI/ClockFollow.h"
#include "GUI/MidiInPump.h"
#include "MidiProbe.h"
#include "Platform/Clock.h"
#include "Platform/SpscQueue.h"
#include "Spread.h"

#include <QApplication>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {

struct Sender {
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::vector<std::int64_t> clocks;     // server frames, jittered; written before activation
    std::atomic<std::int64_t> first{-1}; // server frame of the Start (the first clock's)
    double rate = 48000;
    std::atomic<std::size_t> next{0};    // clocks sent
    std::atomic<bool> stop{false};
    bool stopped = false;
    Bench::MidiProbe probe;
};

int Process(jack_nframes_t frames, void* data)
{
    auto& sender = *static_cast<Sender*>(data);
    void* buffer = jack_port_get_buffer(sender.port, frames);
    jack_midi_clear_buffer(buffer);
    const std::int64_t start = jack_last_frame_time(sender.client);
    const auto write = [&](std::int64_t at, std::uint8_t status) {
        const auto offset = static_cast<jack_nframes_t>(std::max<std::int64_t>(at - start, 0));
        if (jack_midi_data_t* event = jack_midi_event_reserve(buffer, offset, status == 0x99 ? 3 : 1)) {
            event[0] = status;
            if (status == 0x99) {
                event[1] = 38;
                event[2] = 100;
            }
        }
    };
    sender.probe.Process(start, frames, [&](std::int64_t at) { write(at, 0x99); });
    std::int64_t first = sender.first.load();
    if (first == -2) { // begin a second from now
        first = start + std::llround(sender.rate);
        sender.first.store(first);
        for (std::int64_t& clock : sender.clocks)
            clock += first;
    }
    if (first < 0 || sender.stopped)
        return 0;
    if (sender.stop.load()) {
        write(start, 0xFC);
        sender.stopped = true;
        return 0;
    }
    std::size_t next = sender.next.load(std::memory_order_relaxed);
    for (; next < sender.clocks.size() && sender.clocks[next] < start + frames; ++next) {
        if (next == 0)
            write(sender.clocks[0], 0xFA);
        write(sender.clocks[next], 0xF8);
    }
    sender.next.store(next, std::memory_order_relaxed);
    return 0;
}

// Each sounded tick's frame, from the timer thread.
class Reports final : public Core::IMetronomeEventHandler {
public:
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
    void OnSounded(bool) override { clicks.Push(Platform::CurrentSoundStamp().frame); }
    Platform::SpscQueue<double> clicks{65536};
};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const double bpm = argc > 2 ? std::atof(argv[2]) : 133.0;
    const double jitterMs = argc > 3 ? std::atof(argv[3]) : 2.0;
    QApplication application(argc, argv);

    Core::BeatGrid grid;
    Core::Program program;
    program.Controller().FollowGrid(&grid);
    Platform::Audio::Mixer& mixer = program.Output();
    if (mixer.Acquire() != Platform::Audio::NoError || mixer.BackendName() != "jack") {
        std::fprintf(stderr, "no JACK output (%s)\n", mixer.LastFailure().c_str());
        return 2;
    }
    Sender sender;
    jack_status_t status{};
    sender.client = jack_client_open("clock-sender", JackNoStartServer, &status);
    if (sender.client == nullptr)
        return 2;
    const double rate = jack_get_sample_rate(sender.client);
    sender.rate = rate;
    const double step = rate * 60.0 / bpm / 24;
    std::mt19937 random(133);
    std::uniform_real_distribution<double> jitter(-jitterMs * rate / 1000, jitterMs * rate / 1000);
    const auto count = static_cast<std::size_t>(seconds * bpm / 60 * 24);
    for (std::size_t n = 0; n < count; ++n)
        sender.clocks.push_back(std::llround(static_cast<double>(n) * step + (n == 0 ? 0.0 : jitter(random))));
    sender.port = jack_port_register(sender.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(sender.client, Process, &sender);
    if (jack_activate(sender.client) != 0
        || jack_connect(sender.client, jack_port_name(sender.port), "Tolvane:midi_in") != 0) {
        std::fprintf(stderr, "cannot reach Tolvane:midi_in\n");
        return 2;
    }

    // The distance between the server's frames and the stream's: one note, stamped.
    const std::optional<std::int64_t> probed = Bench::StreamToServer(sender.probe, mixer);
    if (!probed)
        return 1;
    const std::int64_t streamToServer = *probed;

    Reports reports;
    Configuration::ConfigurationData settings;
    settings.Bpm = 120; // the clock's tempo comes from the clock
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 4;
    settings.CountIn = 1; // left out while following
    settings.VisualIndicator = 0;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    GUI::MidiInPump pump(&mixer, nullptr);
    GUI::ClockFollow::Actions actions;
    int startedAt = -1;
    actions.start = [&] {
        program.Controller().Stop();
        if (const std::uint32_t result = program.Controller().Start(&reports, settings); result != 0)
            std::fprintf(stderr, "the metronome did not start: result %u\n", result);
        startedAt = static_cast<int>(sender.next);
    };
    actions.stop = [&] { program.Controller().Stop(); };
    actions.tempo = [&](int tempo) {
        settings.Bpm = tempo;
        program.Controller().ChangeTempo(static_cast<std::uint32_t>(tempo));
    };
    actions.shownTempo = [&] { return settings.Bpm; };
    GUI::ClockFollow follow(pump, mixer, grid, std::move(actions), nullptr);
    follow.Follow(true);
    sender.first.store(-2);

    // The followed tempo, from the clock's third beat on.
    std::vector<double> tempi;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        if (sender.next > 3 * 24 && sender.next < sender.clocks.size() && follow.Bpm() > 0)
            tempi.push_back(follow.Bpm());
    });
    sample.start(20);
    QTimer::singleShot(static_cast<int>((seconds + 1.5) * 1000), &application, &QApplication::quit);
    QApplication::exec();
    sender.stop.store(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QApplication::processEvents();
    pump.Poll();
    program.Controller().Stop();
    jack_deactivate(sender.client);
    jack_client_close(sender.client);
    mixer.Release();

    // The clicks against the true beats (the clock without its jitter), on the server's frames.
    std::vector<double> clicks;
    for (double frame = 0; reports.clicks.Pop(frame);)
        clicks.push_back(frame + static_cast<double>(streamToServer));
    const double beat = step * 24;
    const double origin = static_cast<double>(sender.first.load());
    std::vector<double> intervals, offsets;
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        const double inBeats = (clicks[i] - origin) / beat;
        if (inBeats < 8)
            continue; // the first two bars: the line still grows
        offsets.push_back((clicks[i] - origin - std::round(inBeats) * beat) * 1000 / rate);
        if (i > 0)
            intervals.push_back(clicks[i] - clicks[i - 1]);
    }
    const Spread interval = SpreadOf(intervals);
    const Spread offset = SpreadOf(offsets);
    const Spread tempo = SpreadOf(tempi);
    const double clickBpm = interval.mean > 0 ? 60 * rate / interval.mean : 0;
    std::printf("MIDI clock in at %.2f bpm, +-%.1f ms jitter, %.0f s, %.0f Hz: %zu clocks sent, %zu clicks "
                "(run started at clock %d)\n",
                bpm, jitterMs, seconds, rate, sender.next.load(), clicks.size(), startedAt);
    std::printf("  followed tempo: %.4f bpm mean, %.4f .. %.4f (largest error %.4f bpm, %zu samples)\n", tempo.mean,
                tempo.low, tempo.high, std::max(std::fabs(tempo.low - bpm), std::fabs(tempo.high - bpm)), tempi.size());
    std::printf("  click intervals from bar 3: %.2f frames mean (%.4f bpm), sd %.2f frames (%.3f ms), %.0f .. %.0f "
                "frames (spread %.0f frames = %.3f ms)\n",
                interval.mean, clickBpm, interval.sd, interval.sd * 1000 / rate, interval.low, interval.high,
                interval.high - interval.low, (interval.high - interval.low) * 1000 / rate);
    std::printf("  clicks against the clock's true beats: mean %+.3f ms, sd %.3f ms, %+.3f .. %+.3f ms\n", offset.mean,
                offset.sd, offset.low, offset.high);
    const bool good = !tempi.empty() && std::fabs(tempo.low - bpm) <= 0.1 && std::fabs(tempo.high - bpm) <= 0.1
                      && std::fabs(clickBpm - bpm) <= 0.1 && intervals.size() > 10;
    return good ? 0 : 1;
}
