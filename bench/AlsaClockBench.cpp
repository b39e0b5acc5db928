// How close to its time the MIDI clock goes out without JACK: the ALSA clock sender
// (Platform::Audio::AlsaClockOut, its thread at the timer's real-time priority) on a frame
// clock that is the steady clock at 48 kHz, sending into a port of the bench's own that notes when each message
// reaches it (this machine has no ALSA sequencer: the sequencer's own delivery is not in the
// figure). Beats come a lead of 100 ms before their frames, as the timer hands them over.
//
//   bench_alsa_clock [SECONDS] [BPM]     (defaults: 60 s, 120 bpm)
//
// Prints each clock more than 5 ms late, the clocks sent and how late each went out after its
// frame's heard time (median, 99th percentile, largest), and how many went out early.
#include "Platform/Audio/AlsaClockOut.h"
#include "Platform/Clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class TimingPort final : public Platform::Audio::IMidiPort {
public:
    bool Open(std::string&) override { return true; }
    void Close() override {}
    void Send(const std::uint8_t* bytes, std::size_t) override
    {
        if (bytes[0] != 0xF8)
            return;
        const std::int64_t now = Platform::Clock::Now();
        const std::lock_guard lock(lock_);
        clocks_.push_back(now);
    }
    std::vector<std::int64_t> Clocks()
    {
        const std::lock_guard lock(lock_);
        return clocks_;
    }

private:
    std::mutex lock_;
    std::vector<std::int64_t> clocks_;
};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const double bpm = argc > 2 ? std::atof(argv[2]) : 120.0;
    if (!(seconds > 0) || !(bpm >= 10 && bpm <= 1000)) {
        std::fputs("usage: bench_alsa_clock [SECONDS] [BPM 10..1000]\n", stderr);
        return 2;
    }
    constexpr double Rate = 48000;
    const Platform::SteadyFrameClock clock(Rate);
    Platform::Audio::MidiClockOut out;
    auto owned = std::make_unique<TimingPort>();
    TimingPort& port = *owned;
    Platform::Audio::AlsaClockOut sender(out, std::move(owned));
    sender.Start(clock, nullptr);

    const double beat = Rate * 60.0 / bpm;
    const double first = std::ceil(clock.AnchorFrame() + 0.5 * Rate);
    const auto beats = static_cast<std::int64_t>(seconds * bpm / 60.0);
    for (std::int64_t n = 0; n < beats; ++n) {
        const double frame = first + static_cast<double>(n) * beat;
        // Handed over 100 ms before its frame, as the timer does.
        while (Platform::Clock::Now() < clock.HeardTime(frame - 0.1 * Rate))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        out.Beat(frame, beat, n == 0 ? Platform::Audio::MidiClockOut::Cue::Start : Platform::Audio::MidiClockOut::Cue::None);
    }
    const double end = first + static_cast<double>(beats) * beat;
    while (Platform::Clock::Now() < clock.HeardTime(end))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    out.Stop();
    sender.Stop();

    // Clock k of beat n is due at the rounding of the beat's frame plus k 24ths of the beat.
    const std::vector<std::int64_t> sent = port.Clocks();
    std::vector<double> lateMs;
    int early = 0;
    for (std::size_t i = 0; i < sent.size() && i < static_cast<std::size_t>(beats) * 24; ++i) {
        const double frame = first + static_cast<double>(i / 24) * beat;
        const double due = static_cast<double>(clock.HeardTime(static_cast<double>(std::llround(frame + static_cast<double>(i % 24) * beat / 24))));
        const double late = (static_cast<double>(sent[i]) - due) / 1e6;
        early += late < 0;
        if (late > 5)
            std::printf("clock %zu late %.3f ms\n", i, late);
        lateMs.push_back(late);
    }
    if (lateMs.empty()) {
        std::puts("no clock was sent");
        return 1;
    }
    std::sort(lateMs.begin(), lateMs.end());
    const auto at = [&lateMs](double share) { return lateMs[static_cast<std::size_t>(share * static_cast<double>(lateMs.size() - 1))]; };
    std::printf("clocks sent        %zu of %lld\n", sent.size(), static_cast<long long>(beats) * 24);
    std::printf("late after due     median %.3f ms, p99 %.3f ms, largest %.3f ms\n", at(0.5), at(0.99), lateMs.back());
    std::printf("early              %d\n", early);
    return 0;
}
