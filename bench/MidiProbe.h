#pragma once
// The probe note of a benchmark's JACK MIDI sender: one note on a known server frame, whose
// stamp on Tolvane's midi_in gives the distance between the server's frames and the output
// stream's, so that the sender can place its events on the stream's frames.
#include "Platform/Audio/Mixer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <thread>

namespace Bench {

struct MidiProbe {
    std::atomic<std::int64_t> frame{-1}; // the note's server frame, once asked for
    std::atomic<bool> sent{false};

    /// In the sender's process callback, for the cycle of frames server frames from start:
    /// writes the note through note(frame) when it is due (asked for a frame already past, it
    /// moves to just after this cycle).
    template <typename Note>
    void Process(std::int64_t start, std::uint32_t frames, Note note)
    {
        if (const std::int64_t at = frame.load(); at >= 0 && !sent.load()) {
            if (at < start) {
                frame.store(start + frames + 11);
            } else if (at < start + frames) {
                note(at);
                sent.store(true);
            }
        }
    }
};

/// Sends the probe and waits (up to 5 s) for its stamp from the mixer's MIDI input: server
/// frame minus stream frame; nothing, said on the standard error, when it did not arrive.
inline std::optional<std::int64_t> StreamToServer(MidiProbe& probe, Platform::Audio::Mixer& mixer)
{
    probe.frame.store(0);
    Platform::Audio::StampedMidi stamped;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!mixer.TakeMidiIn(stamped) && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!probe.sent.load() || stamped.size == 0) {
        std::fprintf(stderr, "the calibration note did not arrive\n");
        return std::nullopt;
    }
    return probe.frame.load() - static_cast<std::int64_t>(stamped.frame);
}

} // namespace Bench
