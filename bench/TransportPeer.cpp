// The other side of the JACK transport benchmark (bench/JackTransportBench.sh): a JACK client
// that either leads the transport or watches it, and prints every beat of the transport with
// the server frame it falls on ("beat FRAME BAR BEAT BPM"), one line each, when it ends.
//   transport_peer master SECONDS BPM [BPM2 BAR]   timebase master in 4/4 at BPM (BPM2 from bar
//                        BAR on), ticks exact to the frame (tick_double); the transport rolls
//                        from frame 0 one second after the start and stops at the end
//   transport_peer watch SECONDS                   the beats of whoever leads, as its bar, beat
//                        and tick put them (bbt_offset and tick_double honoured)
#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

struct Beat {
    double frame; // on the server's counter, made 64-bit
    int bar, beat;
    double bpm;
};

struct Peer {
    jack_client_t* client = nullptr;
    bool master = false;
    double rate = 48000;
    double bpm = 120, bpm2 = 0;
    int changeBar = 0;
    // The master's tempo map: the transport frame where bar changeBar begins.
    double ChangeFrame() const { return changeBar > 0 ? (changeBar - 1) * 4 * rate * 60.0 / bpm : 1e300; }
    // Beats since frame 0 of the transport at transport frame f, and the tempo there.
    double BeatsAt(double f, double& tempo) const
    {
        if (f < ChangeFrame()) {
            tempo = bpm;
            return f * bpm / (60.0 * rate);
        }
        tempo = bpm2;
        return (changeBar - 1) * 4 + (f - ChangeFrame()) * bpm2 / (60.0 * rate);
    }
    std::vector<Beat> beats; // allocated before the client runs
    std::atomic<std::size_t> count{0};
    std::uint64_t wraps = 0;
    jack_nframes_t last = 0;
    int lastBar = -1000, lastBeat = -1;
};

void Record(Peer& peer, double frame, int bar, int beat, double bpm)
{
    if (bar == peer.lastBar && beat == peer.lastBeat)
        return;
    peer.lastBar = bar;
    peer.lastBeat = beat;
    const std::size_t at = peer.count.load(std::memory_order_relaxed);
    if (at < peer.beats.size()) {
        peer.beats[at] = {frame, bar, beat, bpm};
        peer.count.store(at + 1, std::memory_order_release);
    }
}

int Process(jack_nframes_t, void* self)
{
    auto& peer = *static_cast<Peer*>(self);
    const jack_nframes_t cycle = jack_last_frame_time(peer.client);
    if (cycle < peer.last)
        peer.wraps += std::uint64_t{1} << 32;
    peer.last = cycle;
    const double server = static_cast<double>(peer.wraps + cycle);
    jack_position_t position{};
    if (jack_transport_query(peer.client, &position) != JackTransportRolling)
        return 0;
    if (peer.master) {
        // Every beat of this cycle on the master's own map (the transport frame counts on with
        // the server's while it rolls).
        double tempo = 0;
        const double first = peer.BeatsAt(position.frame, tempo);
        const double nframes = jack_get_buffer_size(peer.client);
        double tempoAfter = 0;
        const double after = peer.BeatsAt(position.frame + nframes, tempoAfter);
        for (double k = std::ceil(first); k < after; k += 1) {
            // The beat's transport frame, from the map.
            double f = k < (peer.changeBar - 1) * 4 || peer.changeBar <= 0
                           ? k * 60.0 * peer.rate / peer.bpm
                           : peer.ChangeFrame() + (k - (peer.changeBar - 1) * 4) * 60.0 * peer.rate / peer.bpm2;
            const auto whole = static_cast<long long>(k);
            Record(peer, server + (f - position.frame), static_cast<int>(whole / 4) + 1, static_cast<int>(whole % 4) + 1,
                   f < peer.ChangeFrame() ? peer.bpm : peer.bpm2);
        }
        return 0;
    }
    if ((position.valid & JackPositionBBT) == 0 || position.beats_per_minute <= 0)
        return 0;
    const double tick = (position.valid & JackTickDouble) != 0 ? position.tick_double : position.tick;
    const double offset = (position.valid & JackBBTFrameOffset) != 0 ? position.bbt_offset : 0;
    const double framesPerBeat = peer.rate * 60.0 / position.beats_per_minute;
    Record(peer, server - offset - tick / position.ticks_per_beat * framesPerBeat, position.bar, position.beat,
           position.beats_per_minute);
    return 0;
}

void Timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int, void* self)
{
    const auto& peer = *static_cast<const Peer*>(self);
    double tempo = 0;
    const double beats = peer.BeatsAt(position->frame, tempo);
    const double whole = std::floor(beats);
    position->valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackTickDouble);
    position->bar = static_cast<int>(whole / 4) + 1;
    position->beat = static_cast<int>(std::fmod(whole, 4.0)) + 1;
    position->ticks_per_beat = 1920;
    position->tick_double = (beats - whole) * 1920;
    position->tick = static_cast<int>(position->tick_double);
    position->bar_start_tick = (position->bar - 1) * 4 * 1920.0;
    position->beats_per_bar = 4;
    position->beat_type = 4;
    position->beats_per_minute = tempo;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "master") == 0 && argc < 4)) {
        std::fprintf(stderr, "usage: transport_peer master SECONDS BPM [BPM2 BAR] | watch SECONDS\n");
        return 2;
    }
    Peer peer;
    peer.master = std::strcmp(argv[1], "master") == 0;
    const double seconds = std::atof(argv[2]);
    if (peer.master) {
        peer.bpm = std::atof(argv[3]);
        if (argc >= 6) {
            peer.bpm2 = std::atof(argv[4]);
            peer.changeBar = std::atoi(argv[5]);
        }
    }
    peer.beats.resize(static_cast<std::size_t>(seconds * 16) + 1000);
    peer.client = jack_client_open(peer.master ? "transport_master" : "transport_watch", JackNoStartServer, nullptr);
    if (!peer.client) {
        std::fprintf(stderr, "no JACK server\n");
        return 1;
    }
    peer.rate = jack_get_sample_rate(peer.client);
    jack_set_process_callback(peer.client, &Process, &peer);
    if (peer.master) {
        jack_transport_stop(peer.client);
        jack_transport_locate(peer.client, 0);
        if (jack_set_timebase_callback(peer.client, 0, &Timebase, &peer) != 0) {
            std::fprintf(stderr, "could not become timebase master\n");
            return 1;
        }
    }
    jack_activate(peer.client);
    const auto start = std::chrono::steady_clock::now();
    if (peer.master) {
        std::this_thread::sleep_until(start + std::chrono::seconds(1));
        jack_transport_start(peer.client);
    }
    std::this_thread::sleep_until(start + std::chrono::duration<double>(seconds));
    if (peer.master) {
        jack_transport_stop(peer.client);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    jack_deactivate(peer.client);
    jack_client_close(peer.client);
    for (std::size_t i = 0; i < peer.count.load(); ++i) {
        const Beat& beat = peer.beats[i];
        std::printf("beat %.3f %d %d %.3f\n", beat.frame, beat.bar, beat.beat, beat.bpm);
    }
    return peer.count.load() > 0 ? 0 : 1;
}
