// Reads Tolvane's MIDI clock from its JACK client for the MIDI clock benchmark: connects its
// MIDI input to "Tolvane:midi_out" as soon as that port appears, stamps every message with the
// server's frame it came on, and after SECONDS prints the clock's figures against the grid the
// tempo gives at the server's rate, from the Start on (the first clock of bar 1):
//   clock_reader SECONDS BPM
// Exit status 1 when a clock is off its computed frame, none came, or Start or Stop is missing.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct Message {
    std::uint64_t frame;
    std::uint8_t status;
};

struct Reader {
    jack_client_t* client = nullptr;
    jack_port_t* input = nullptr;
    std::vector<Message> messages; // allocated before the client runs
    std::atomic<std::size_t> count{0};
    std::uint64_t wraps = 0; // the server's 32-bit frame counter made 64-bit (process thread)
    jack_nframes_t last = 0;
};

int Process(jack_nframes_t frames, void* self)
{
    auto& reader = *static_cast<Reader*>(self);
    const jack_nframes_t cycle = jack_last_frame_time(reader.client);
    if (cycle < reader.last)
        reader.wraps += std::uint64_t{1} << 32;
    reader.last = cycle;
    void* buffer = jack_port_get_buffer(reader.input, frames);
    const std::uint32_t events = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < events; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0)
            continue;
        const std::size_t at = reader.count.load(std::memory_order_relaxed);
        if (at < reader.messages.size()) {
            reader.messages[at] = {reader.wraps + cycle + event.time, event.buffer[0]};
            reader.count.store(at + 1, std::memory_order_release);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: clock_reader SECONDS BPM\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const double bpm = std::atof(argv[2]);
    Reader reader;
    reader.messages.resize(static_cast<std::size_t>(seconds * bpm / 60.0 * 24 * 2) + 1000);
    reader.client = jack_client_open("clock_reader", JackNoStartServer, nullptr);
    if (!reader.client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    reader.input = jack_port_register(reader.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(reader.client, &Process, &reader);
    jack_activate(reader.client);
    const double rate = jack_get_sample_rate(reader.client);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool connected = false;
    while (std::chrono::steady_clock::now() < end) {
        if (!connected)
            connected = jack_connect(reader.client, "Tolvane:midi_out", jack_port_name(reader.input)) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(connected ? 200 : 20));
    }
    jack_deactivate(reader.client);
    jack_client_close(reader.client);

    const std::size_t count = reader.count.load();
    std::vector<std::uint64_t> clocks;
    std::uint64_t start = 0;
    int starts = 0, stops = 0, positions = 0, early = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Message& message = reader.messages[i];
        if (message.status == 0xFA) {
            ++starts;
            start = message.frame;
        } else if (message.status == 0xFC) {
            ++stops;
        } else if (message.status == 0xF2) {
            ++positions;
        } else if (message.status == 0xF8) {
            if (starts == 0)
                ++early; // the count-in's clocks, before Start
            else
                clocks.push_back(message.frame);
        }
    }
    if (clocks.empty() || starts != 1) {
        std::printf("FAIL  %zu messages, %d Start, %zu clocks after it\n", count, starts, clocks.size());
        return 1;
    }
    // Each clock against the frame it is computed at: bar 1's first beat plus k 24ths of the
    // beat, rounded. The beat lies somewhere within half a frame of Start's frame; the place
    // there that puts the most clocks on their frames is taken (all of them when exact).
    const double step = rate * 60.0 / bpm / 24.0;
    long worst = 0;
    double origin = static_cast<double>(start);
    for (int tried = 0; tried <= 1024; ++tried) {
        const double beat = static_cast<double>(start) - 0.5 + tried / 1024.0;
        long off = 0;
        for (std::size_t k = 0; k < clocks.size() && off <= worst; ++k) {
            const auto computed = static_cast<std::int64_t>(std::llround(beat + static_cast<double>(k) * step));
            off = std::max(off, std::labs(static_cast<long>(static_cast<std::int64_t>(clocks[k]) - computed)));
        }
        if (tried == 0 || off < worst) {
            worst = off;
            origin = beat;
        }
        if (worst == 0)
            break;
    }
    std::uint64_t shortest = ~std::uint64_t{0}, longest = 0;
    for (std::size_t k = 1; k < clocks.size(); ++k) {
        shortest = std::min(shortest, clocks[k] - clocks[k - 1]);
        longest = std::max(longest, clocks[k] - clocks[k - 1]);
    }
    const bool ok = worst == 0 && clocks.front() == start && positions == 1;
    std::printf("%s  MIDI clock through JACK at %.0f Hz, %.0f bpm: %zu clocks after Start (%d before it, in the "
                "count-in), %d Song Position Pointer, %d Start, %d Stop; each clock against its computed frame: "
                "at most %ld frames off (bar 1 at frame %.3f); intervals %llu..%llu frames (exact %.3f)\n",
                ok ? "ok  " : "FAIL", rate, bpm, clocks.size(), early, positions, starts, stops, worst, origin,
                static_cast<unsigned long long>(shortest), static_cast<unsigned long long>(longest), step);
    return ok ? 0 : 1;
}
