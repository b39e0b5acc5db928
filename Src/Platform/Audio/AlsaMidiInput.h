#pragma once
#include "Platform/Audio/MidiInput.h"
#include "Platform/FrameClock.h"
#include "Platform/SpscQueue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class RtMidiIn;

namespace Platform::Audio {

/// MIDI input without JACK: an ALSA sequencer port "Tolvane:midi_in" through RtMidi. RtMidi
/// hands each message over on its own thread when it arrives; it is stamped then with the
/// frame the frame clock puts at that moment (the frame heard at the arrival time), so its
/// stamp is as good as the arrival and the clock map. (Through JACK, RtMidi would stamp every
/// message of a cycle at the cycle's start; JACK's own port on the output's client is used there.)
/// RtMidi's complaints never reach the terminal: a system without a sequencer simply has no
/// such input (Open says why).
///
/// Open and Close from one control thread; Take from one consumer thread.
class AlsaMidiInput {
public:
    AlsaMidiInput();
    ~AlsaMidiInput();
    AlsaMidiInput(const AlsaMidiInput&) = delete;
    AlsaMidiInput& operator=(const AlsaMidiInput&) = delete;

    /// Opens the port; stamps go by clock, which must stay valid until Close. False, with why
    /// in failure, when there is no ALSA sequencer or the port cannot be made.
    bool Open(const IFrameClock& clock, std::string& failure);
    void Close();
    /// The oldest message not taken yet; false when none waits.
    bool Take(StampedMidi& message) noexcept { return queue_.Pop(message); }

    /// Stamps and queues a message that arrived at time (Platform::Clock nanoseconds): RtMidi's
    /// thread, or a test. Messages beyond 1024 waiting are dropped.
    void Arrived(std::int64_t time, const unsigned char* bytes, std::size_t size) noexcept;

private:
    std::unique_ptr<RtMidiIn> input_;
    const IFrameClock* clock_ = nullptr;
    SpscQueue<StampedMidi> queue_{1024};
};

} // namespace Platform::Audio
