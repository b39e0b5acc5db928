#pragma once
#include <cstdint>

namespace Platform::Audio {

/// A short MIDI message (note-on, clock, start, control change, ...) that reached the output
/// stream's MIDI input, stamped with its frame on the stream's clock: the frame the ticks of a
/// run are placed on, exact to the frame within the cycle it arrived in.
struct StampedMidi {
    std::uint64_t frame = 0;
    std::uint8_t size = 0;
    std::uint8_t bytes[3] = {0, 0, 0};
    /// The frame is the one heard when the message arrived (the ALSA port), not the frame of
    /// the cycle it came in with (the stream's own input, ahead of the speaker by the output's latency).
    bool heard = false;

    /// A note-on with a velocity above 0 (any channel).
    bool IsNoteOn() const noexcept { return size == 3 && (bytes[0] & 0xF0u) == 0x90u && bytes[2] > 0; }
};

} // namespace Platform::Audio
