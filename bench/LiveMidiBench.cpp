// Live timing feedback from JACK MIDI: Tolvane's engine plays a run into a private JACK server
// (dummy driver) while a JACK client of our own sends a note-on for every position of the run,
// each at a known offset from the moment the position's click is heard (its frame plus the
// output's latency), to Tolvane:midi_in. The window's own parts score them (GUI::MidiInPump,
// GUI::LiveTiming); every error is compared with the offset it was sent at.
//   bench_live_midi [seconds] [bpm]
// Needs a running JACK server (bench/LiveMidi.sh starts a private dummy one).
#include "Core/Engine/IMetronomeEventHandler.h"
#include "Core/Engine/Program.h"
#include "GUI/LiveTiming.h"
#include "GUI/MidiInPump.h"
#include "MidiProbe.h"
#include "Platform/Clock.h"
#include "Platform/SpscQueue.h"

#include <QApplication>
#include <QTimer>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

// The offsets the notes are played at, ms (late positive), in turn.
constexpr double OffsetsMs[] = {12.0, -8.0, 3.5, -20.25, 0.0, 30.0, -1.0};

struct Sender {
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    double rate = 48000;
    std::int64_t streamToServer = 0; // server frame = stream frame + this
    double latencyFrames = 0;        // the output's latency
    Platform::SpscQueue<double> ticks{8192}; // stream frames of the positions, from the timer thread
    std::vector<std::int64_t> due;   // server frames of the notes still to send (process thread)
    std::atomic<std::size_t> sent{0};
    Bench::MidiProbe probe;
};

int Process(jack_nframes_t frames, void* data)
{
    auto& sender = *static_cast<Sender*>(data);
    void* buffer = jack_port_get_buffer(sender.port, frames);
    jack_midi_clear_buffer(buffer);
    const std::int64_t start = jack_last_frame_time(sender.client);
    const auto note = [&](std::int64_t at) {
        if (jack_midi_data_t* event = jack_midi_event_reserve(buffer, static_cast<jack_nframes_t>(at - start), 3)) {
            event[0] = 0x99;
            event[1] = 38;
            event[2] = 100;
        }
    };
    sender.probe.Process(start, frames, [&](std::int64_t at) { note(at); });
    double tick = 0;
    while (sender.ticks.Pop(tick)) {
        const std::size_t n = sender.due.size() + sender.sent.load(std::memory_order_relaxed);
        const double offset = OffsetsMs[n % std::size(OffsetsMs)] * sender.rate / 1000.0;
        sender.due.push_back(std::llround(tick + sender.latencyFrames + offset) + sender.streamToServer);
    }
    std::size_t done = 0;
    for (; done < sender.due.size() && sender.due[done] < start + frames; ++done)
        if (sender.due[done] >= start)
            note(sender.due[done]);
    sender.due.erase(sender.due.begin(), sender.due.begin() + static_cast<std::ptrdiff_t>(done));
    sender.sent.fetch_add(done, std::memory_order_relaxed);
    return 0;
}

// The run's reports: the live scorer's, and each position's frame to the sender.
class Reports final : public Core::IMetronomeEventHandler {
public:
    Reports(GUI::LiveTiming& live, Sender& sender) : live_(live), sender_(sender) {}
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t) override {}
    void OnStopped(std::uint32_t) override {}
    void OnError(std::uint32_t) override {}
    void OnPosition(const Core::BarPosition& position) override { live_.OnPosition(position); }
    void OnSounded(bool heard) override
    {
        live_.OnSounded(heard);
        sender_.ticks.Push(Platform::CurrentSoundStamp().frame);
    }

private:
    GUI::LiveTiming& live_;
    Sender& sender_;
};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    const int bpm = argc > 2 ? std::atoi(argv[2]) : 120;
    QApplication application(argc, argv);

    Core::Program program;
    Platform::Audio::Mixer& mixer = program.Output();
    if (mixer.Acquire() != Platform::Audio::NoError || mixer.BackendName() != "jack") {
        std::fprintf(stderr, "no JACK output (%s)\n", mixer.LastFailure().c_str());
        return 2;
    }
    Sender sender;
    jack_status_t status{};
    sender.client = jack_client_open("live-midi-sender", JackNoStartServer, &status);
    if (sender.client == nullptr)
        return 2;
    sender.rate = jack_get_sample_rate(sender.client);
    sender.due.reserve(100000);
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
    sender.streamToServer = *probed;
    sender.latencyFrames = mixer.DeviceLatencySeconds() * mixer.SampleRate();

    GUI::MidiInPump pump(&mixer, nullptr);
    GUI::TimingStrip strip;
    GUI::LiveTiming live(&mixer, strip);
    Reports reports(live, sender);
    Configuration::ConfigurationData settings;
    settings.Bpm = bpm;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 4;
    settings.Subdivision1 = 2;
    settings.CountIn = 1;
    settings.VisualIndicator = 0;
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    live.Begin(true);
    if (const std::uint32_t result = program.Controller().Start(&reports, settings); result != 0) {
        std::fprintf(stderr, "the metronome did not start: result %u\n", result);
        return 1;
    }
    const QString listening = live.Listen(&pump);
    QTimer::singleShot(static_cast<int>(seconds * 1000), &application, &QApplication::quit);
    QApplication::exec();
    program.Controller().Stop();
    // The notes of the last positions handed over are still due: wait for them to arrive.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    live.End();
    jack_deactivate(sender.client);
    jack_client_close(sender.client);
    mixer.Release();

    if (!live.Score()) {
        std::fprintf(stderr, "nothing scored (%s)\n", qPrintable(listening));
        return 1;
    }
    const Core::Timing::TakeScore& score = *live.Score();
    const Core::Timing::TakeGrid& grid = live.Live()->Grid();
    double worst = 0;
    std::size_t compared = 0, wrong = 0;
    for (const Core::Timing::MatchedHit& hit : score.hits) {
        if (hit.position < 0) {
            ++wrong;
            continue;
        }
        const double truth = OffsetsMs[static_cast<std::size_t>(hit.position) % std::size(OffsetsMs)];
        worst = std::max(worst, std::abs(hit.errorMs - truth));
        ++compared;
    }
    const auto& f = score.figures;
    std::printf("live MIDI at %d bpm, %.0f s, %.0f Hz: %zu notes sent, %zu hits matched to %zu positions (%d scored, %d "
                "in the count-in, %d stray, %d missed); largest |error - offset sent| %.4f ms; mean %.3f ms, sd %.3f ms\n",
                bpm, seconds, sender.rate, sender.sent.load(), compared, grid.positions.size(), f.hits, f.countInHits,
                f.strays, f.missed, worst, f.all.meanMs, f.all.sdMs);
    return worst <= 0.1 && wrong == 0 && compared + 2 >= grid.positions.size() ? 0 : 1;
}
