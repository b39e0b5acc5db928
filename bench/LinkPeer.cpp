// The other peer of the Link benchmark (bench/LinkBench.sh): an Ableton Link peer and a JACK
// client on the same server as Tolvane. It waits for Tolvane in the session, starts the session
// playing (beat 0 on a bar line, quantum 4) at BPM, sets BPM2 halfway (a quarter beat after a beat), and
// stops it after SECONDS. Meanwhile it records Tolvane's output (Tolvane:out_1) and finds its
// clicks (the first sound after 100 ms of silence). Each click's frame becomes the time it is
// heard (its place between the starts of its cycle and the next, on Link's clock, plus the
// playback latency of Tolvane's port), which is compared with the session's beat
// there: how far from the beat, which beat, and whether a beat went without a click.
//   link_peer SECONDS BPM BPM2        (LINK_PEER_CLICKS=1: every click's beat and distance on stderr)
#include <ableton/Link.hpp>
#include <jack/jack.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Micros = std::chrono::microseconds;

constexpr double Quantum = 4;

double RawNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

struct Recorder {
    jack_client_t* client = nullptr;
    jack_port_t* in = nullptr;
    double rate = 48000;
    // Allocated before the client runs; the process thread fills them up to their counts.
    std::vector<double> cycleFrames = std::vector<double>(1 << 17), cycleTimes = std::vector<double>(1 << 17);
    std::vector<double> clicks = std::vector<double>(1 << 14);
    std::atomic<std::size_t> cycles{0}, clickCount{0};
    std::uint64_t wraps = 0;
    jack_nframes_t last = 0;
    double quiet = 0; // frames since the last sound
};

int Process(jack_nframes_t frames, void* self)
{
    auto& r = *static_cast<Recorder*>(self);
    // The cycle began before this callback ran (after the server's and Tolvane's): its start,
    // as Tolvane takes it too.
    double now = RawNs();
    jack_nframes_t cycleFrame = 0;
    jack_time_t cycleStart = 0, nextStart = 0;
    float period = 0;
    const bool timed = jack_get_cycle_times(r.client, &cycleFrame, &cycleStart, &nextStart, &period) == 0
                       && jack_get_time() - cycleStart < 2 * (nextStart - cycleStart);
    now -= static_cast<double>(jack_get_time() - cycleStart) * 1000;
    const jack_nframes_t cycle = jack_last_frame_time(r.client);
    if (cycle < r.last)
        r.wraps += std::uint64_t{1} << 32;
    r.last = cycle;
    const double first = static_cast<double>(r.wraps + cycle);
    if (const std::size_t at = r.cycles.load(std::memory_order_relaxed); timed && at < r.cycleFrames.size()) {
        r.cycleFrames[at] = first;
        r.cycleTimes[at] = now;
        r.cycles.store(at + 1, std::memory_order_release);
    }
    const auto* samples = static_cast<const float*>(jack_port_get_buffer(r.in, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
        if (std::fabs(samples[i]) < 1e-4f) {
            r.quiet += 1;
            continue;
        }
        if (r.quiet >= 0.1 * r.rate) {
            if (const std::size_t at = r.clickCount.load(std::memory_order_relaxed); at < r.clicks.size()) {
                r.clicks[at] = first + i;
                r.clickCount.store(at + 1, std::memory_order_release);
            }
        }
        r.quiet = 0;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: link_peer SECONDS BPM BPM2\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]), bpm = std::atof(argv[2]), bpm2 = std::atof(argv[3]);
    Recorder r;
    r.client = jack_client_open("link_peer", JackNoStartServer, nullptr);
    if (r.client == nullptr) {
        std::fprintf(stderr, "no JACK server\n");
        return 2;
    }
    r.rate = jack_get_sample_rate(r.client);
    r.in = jack_port_register(r.client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(r.client, Process, &r);
    jack_activate(r.client);

    ableton::Link link(bpm);
    // Another session joining in (a test or a program with Link on elsewhere on the machine)
    // moves the tempo and the beats: the run's figures then say nothing.
    std::atomic<std::size_t> mostPeers{0};
    link.setNumPeersCallback([&mostPeers](std::size_t peers) {
        if (peers > mostPeers.load())
            mostPeers.store(peers);
    });
    link.enableStartStopSync(true);
    link.enable(true);
    const auto wait = [](double limit, auto done) {
        for (double waited = 0; waited < limit; waited += 0.01) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    if (!wait(15, [&] { return link.numPeers() > 0; })) {
        std::fprintf(stderr, "no Link peer came (is multicast on for the loopback device?)\n");
        return 3;
    }
    int connected = -1;
    if (!wait(10, [&] { return (connected = jack_connect(r.client, "Tolvane:out_1", jack_port_name(r.in))) == 0; })) {
        std::fprintf(stderr, "Tolvane:out_1 cannot be connected to %s (%d)\n", jack_port_name(r.in), connected);
        return 3;
    }

    // The session starts a second from now, and is told its tempo anew (the session's may be
    // Tolvane's when they met).
    auto state = link.captureAppSessionState();
    const Micros start = link.clock().micros() + Micros(1000000);
    state.setTempo(bpm, link.clock().micros());
    state.setIsPlayingAndRequestBeatAtTime(true, start, 0, Quantum);
    link.commitAppSessionState(state);
    const auto before = link.captureAppSessionState();
    std::this_thread::sleep_for(std::chrono::duration<double>(1 + seconds / 2));
    // The new tempo from a quarter of a beat after a beat on, as a player would set it: the
    // next beat comes three quarters of a new beat later.
    wait(2, [&] {
        const double beat = link.captureAppSessionState().beatAtTime(link.clock().micros(), Quantum);
        return beat - std::floor(beat) >= 0.25 && beat - std::floor(beat) < 0.3;
    });
    state = link.captureAppSessionState();
    const Micros change = link.clock().micros();
    const double changeBeat = std::floor(state.beatAtTime(change, Quantum));
    state.setTempo(bpm2, change);
    link.commitAppSessionState(state);
    const auto after = link.captureAppSessionState();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds / 2));
    state = link.captureAppSessionState();
    const Micros end = link.clock().micros();
    const std::size_t peers = std::max(link.numPeers(), mostPeers.load()); // Tolvane alone, unless another joined in
    state.setIsPlaying(false, end);
    link.commitAppSessionState(state);
    // The port's latency as the server has worked it out by now (just after a connection it
    // may not have yet).
    jack_latency_range_t latency{};
    jack_port_get_latency_range(jack_port_by_name(r.client, "Tolvane:out_1"), JackPlaybackLatency, &latency);
    jack_deactivate(r.client);
    jack_client_close(r.client);

    // A frame is played when its cycle is (the dummy driver's cycles keep no steady pace on a
    // busy machine, so each click is placed between the starts of its own cycle and the next).
    const std::size_t n = r.cycles.load();
    const auto playedAt = [&](double frame) {
        std::size_t i = 1;
        while (i + 1 < n && r.cycleFrames[i] <= frame)
            ++i;
        const double f0 = r.cycleFrames[i - 1], f1 = r.cycleFrames[i];
        return r.cycleTimes[i - 1] + (frame - f0) * (r.cycleTimes[i] - r.cycleTimes[i - 1]) / (f1 - f0);
    };
    const double latencyNs = latency.max * 1e9 / r.rate;

    int clicks = 0, late = 0;
    double worst = 0, sum = 0, firstAfter = NAN, firstBeat = NAN;
    long long lastBeat = 0, missing = 0;
    for (std::size_t i = 0; i < r.clickCount.load(); ++i) {
        const double heard = playedAt(r.clicks[i]) + latencyNs; // raw ns
        const Micros at(std::llround(heard / 1000));
        if (at < start - Micros(100000) || at > end)
            continue;
        const auto& session = at < change ? before : after;
        const double beat = session.beatAtTime(at, Quantum);
        const double whole = std::round(beat);
        const double errorMs = static_cast<double>((at - session.timeAtBeat(whole, Quantum)).count()) / 1000.0
                               + (heard / 1000 - std::round(heard / 1000)) / 1000.0;
        if (clicks == 0)
            firstBeat = whole;
        else
            missing += static_cast<long long>(whole) - lastBeat - 1;
        lastBeat = static_cast<long long>(whole);
        if (at >= change && std::isnan(firstAfter))
            firstAfter = errorMs;
        if (std::getenv("LINK_PEER_CLICKS") != nullptr)
            std::fprintf(stderr, "click on beat %.0f: %+.3f ms\n", whole, errorMs);
        ++clicks;
        sum += errorMs;
        worst = std::max(worst, std::fabs(errorMs));
        late += std::fabs(errorMs) > 1.0;
    }
    // Every beat of the session from beat 0 to its stop should have had its click.
    const double lastSessionBeat = std::floor(after.beatAtTime(end, Quantum));
    missing += static_cast<long long>(lastSessionBeat) - lastBeat;
    const bool ok = peers == 1 && clicks > 0 && worst <= 1.0 && missing == 0 && firstBeat == 0 && !std::isnan(firstAfter);
    std::printf("%s  %d clicks over %.0f s, %.0f then %.0f bpm (from beat %.0f): at most %.3f ms from the session's "
                "beats (mean %+.3f ms, %d beyond 1 ms); the first on beat %.0f (a bar line), the first after the "
                "change %+.3f ms; %lld beats without a click; playback latency %u frames; at most %zu other peers\n",
                ok ? "ok  " : "FAIL", clicks, seconds, bpm, bpm2, changeBeat, worst, clicks ? sum / clicks : 0.0, late,
                firstBeat, firstAfter, missing, latency.max, peers);
    return ok ? 0 : 1;
}
