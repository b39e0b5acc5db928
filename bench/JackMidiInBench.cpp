// The JACK MIDI input's stamps: a JACK client of our own sends note-ons to Tolvane's
// midi_in port at known server frames (an odd spacing, so they fall anywhere in a cycle), and
// the mixer's stamped messages are compared with them. Each stamp should be the note's frame
// on the stream's clock: the same constant distance from its server frame for every note.
// A stamp at its cycle's start (as RtMidi's JACK path gives) would be off by up to a period.
//   bench_jack_midi_in [seconds] [spacing-frames]
// Needs a running JACK server (bench/JackMidiIn.sh starts a private dummy one).
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/SystemOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct Sender {
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::uint32_t spacing = 1237;
    std::uint64_t next = 0; // server frame of the next note; 0 until the first cycle
    std::vector<std::uint64_t> sent = std::vector<std::uint64_t>(100000);
    std::vector<std::uint32_t> inCycle = std::vector<std::uint32_t>(100000); // frames after the cycle's start
    std::atomic<std::size_t> count{0};
    std::atomic<bool> sending{false};
};

int Process(jack_nframes_t frames, void* data)
{
    auto& sender = *static_cast<Sender*>(data);
    void* buffer = jack_port_get_buffer(sender.port, frames);
    jack_midi_clear_buffer(buffer);
    const std::uint64_t start = jack_last_frame_time(sender.client);
    if (!sender.sending.load(std::memory_order_acquire)) {
        sender.next = start + frames + 7;
        return 0;
    }
    while (sender.next < start + frames) {
        if (sender.next >= start) {
            const std::size_t n = sender.count.load(std::memory_order_relaxed);
            jack_midi_data_t* event = jack_midi_event_reserve(buffer, static_cast<jack_nframes_t>(sender.next - start), 3);
            if (event != nullptr && n < sender.sent.size()) {
                event[0] = 0x99;
                event[1] = 37;
                event[2] = 100;
                sender.sent[n] = sender.next;
                sender.inCycle[n] = static_cast<std::uint32_t>(sender.next - start);
                sender.count.store(n + 1, std::memory_order_release);
            }
        }
        sender.next += sender.spacing;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    Sender sender;
    if (argc > 2)
        sender.spacing = static_cast<std::uint32_t>(std::atoi(argv[2]));

    Platform::Audio::SystemOutput output;
    Platform::Audio::Mixer mixer(output);
    if (mixer.Acquire() != Platform::Audio::NoError || mixer.BackendName() != "jack") {
        std::fprintf(stderr, "no JACK output (%s)\n", mixer.LastFailure().c_str());
        return 2;
    }
    jack_status_t status{};
    sender.client = jack_client_open("midi-sender", JackNoStartServer, &status);
    if (sender.client == nullptr)
        return 2;
    sender.port = jack_port_register(sender.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(sender.client, Process, &sender);
    if (sender.port == nullptr || jack_activate(sender.client) != 0
        || jack_connect(sender.client, jack_port_name(sender.port), "Tolvane:midi_in") != 0) {
        std::fprintf(stderr, "cannot connect to Tolvane:midi_in\n");
        return 2;
    }
    const std::uint32_t rate = jack_get_sample_rate(sender.client);
    const std::uint32_t period = jack_get_buffer_size(sender.client);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sender.sending.store(true, std::memory_order_release);

    std::vector<std::uint64_t> stamps;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Platform::Audio::StampedMidi message;
    while (std::chrono::steady_clock::now() < end) {
        while (mixer.TakeMidiIn(message))
            if (message.IsNoteOn())
                stamps.push_back(message.frame);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    sender.sending.store(false, std::memory_order_release);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    while (mixer.TakeMidiIn(message))
        if (message.IsNoteOn())
            stamps.push_back(message.frame);
    jack_deactivate(sender.client);
    jack_client_close(sender.client);

    const std::size_t sent = sender.count.load(std::memory_order_acquire);
    const std::size_t pairs = std::min(sent, stamps.size());
    if (pairs == 0) {
        std::fprintf(stderr, "no notes arrived\n");
        return 1;
    }
    // The stream's clock and the server's differ by a constant: the first note's distance.
    const auto origin = static_cast<std::int64_t>(stamps[0] - sender.sent[0]);
    std::int64_t worst = 0, worstAtCycleStart = 0;
    std::size_t off = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
        const auto error = static_cast<std::int64_t>(stamps[i] - sender.sent[i]) - origin;
        worst = std::max<std::int64_t>(worst, std::llabs(error));
        off += error != 0;
        // What a stamp at its cycle's start would have been off by.
        worstAtCycleStart = std::max<std::int64_t>(worstAtCycleStart, sender.inCycle[i]);
    }
    std::printf("JACK at %u Hz, %u-frame periods: %zu notes sent, %zu stamped, missed frames %llu; %zu stamps off, worst "
                "%lld frames (%.4f ms); stamping at the cycle's start would be off by up to %lld frames (%.2f ms)\n",
                rate, period, sent, stamps.size(), static_cast<unsigned long long>(mixer.MissedFrames()), off,
                static_cast<long long>(worst), 1000.0 * static_cast<double>(worst) / rate,
                static_cast<long long>(worstAtCycleStart), 1000.0 * static_cast<double>(worstAtCycleStart) / rate);
    mixer.Release();
    return sent == stamps.size() && worst == 0 ? 0 : 1;
}
