#pragma once
#include "Platform/Audio/MidiClock.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/FrameClock.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace Platform::Audio {

/// Where the clock's messages go without JACK: an ALSA sequencer port in the program
/// (RtMidiPort), a list in a test.
class IMidiPort {
public:
    virtual ~IMidiPort() = default;
    /// Makes the port; false, with why in failure, when it cannot be made.
    virtual bool Open(std::string& failure) = 0;
    virtual void Close() = 0;
    /// Sends one message at once.
    virtual void Send(const std::uint8_t* bytes, std::size_t size) = 0;
};

/// The port "Tolvane:midi_out" of the ALSA sequencer, through RtMidi. A machine without a
/// sequencer is not asked at all (RtMidi would print its complaint), and RtMidi's own reports
/// never reach the terminal.
std::unique_ptr<IMidiPort> MakeSequencerPort();

/// The MIDI clock's messages in time: renders the clock (MidiClockOut) over the frames of the
/// output stream up to the frame heard at a moment, and gives each message the time its frame
/// is heard (IFrameClock::HeardTime), which is when the clicks of a JACK port's frame reach the
/// speaker too. One thread.
class ClockTimes {
public:
    ClockTimes(MidiClockOut& out, const IFrameClock& clock) : out_(out), clock_(clock) {}

    /// Hands every message whose frame is heard before until (Platform::Clock nanoseconds) to
    /// emit(time, bytes, size), in order; the first call after Restart begins with the frame
    /// heard at until. False, and nothing rendered, while the stream has no rate.
    template <typename Emit>
    bool Until(std::int64_t until, Emit&& emit)
    {
        const double rate = clock_.FrameRate();
        if (!(rate > 0))
            return false;
        const double reference = clock_.AnchorFrame();
        const auto end = static_cast<std::int64_t>(
            std::floor(reference + static_cast<double>(until - clock_.HeardTime(reference)) * rate / 1e9));
        if (next_ < 0)
            next_ = std::max<std::int64_t>(end, 0);
        while (next_ < end) {
            const auto frames = static_cast<std::uint32_t>(std::min<std::int64_t>(end - next_, 1 << 16));
            const std::int64_t first = next_;
            out_.Render(static_cast<std::uint64_t>(first), frames,
                        [&](std::uint32_t offset, const std::uint8_t* bytes, std::uint32_t size) {
                            emit(clock_.HeardTime(static_cast<double>(first + offset)), bytes, size);
                        });
            next_ += frames;
        }
        return true;
    }
    /// The next Until starts afresh (the stream was taken by another sender, or stopped).
    void Restart() noexcept { next_ = -1; }

private:
    MidiClockOut& out_;
    const IFrameClock& clock_;
    std::int64_t next_ = -1; // the first frame not rendered yet
};

/// Sends the MIDI clock through a port of the ALSA sequencer while the output is not JACK
/// (whose client sends it on its midi_out port, frame-exact; MidiClockOut::StreamSends) and
/// the clock is to be sent (MidiClockOut::Sending): a thread of its own, at the timer's
/// real-time priority, renders the clock a little ahead and waits for each message's time, so that it
/// goes out within the thread's wake-up of when its frame is heard. The port is made when it
/// is first needed and closed while JACK sends; one that cannot be made is told once
/// (onFailure, on the sender's thread) and not tried again.
class AlsaClockOut {
public:
    using FailureHandler = std::function<void(const std::string&)>;

    AlsaClockOut(MidiClockOut& out, std::unique_ptr<IMidiPort> port);
    ~AlsaClockOut();
    AlsaClockOut(const AlsaClockOut&) = delete;
    AlsaClockOut& operator=(const AlsaClockOut&) = delete;

    /// Starts the sender on clock (the mixer), which outlives Stop. Control thread.
    void Start(const IFrameClock& clock, FailureHandler onFailure);
    /// Ends the sender and closes the port. Control thread.
    void Stop();

    /// How far ahead of its time a message is rendered.
    static constexpr std::int64_t AheadNs = 2'000'000;
    /// How long the sender sleeps while no clock runs.
    static constexpr std::int64_t IdleNs = 20'000'000;

private:
    void Run(const IFrameClock& clock, const FailureHandler& onFailure);

    MidiClockOut& out_;
    std::unique_ptr<IMidiPort> port_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    AutoResetEvent wake_;
};

/// True when this machine has an ALSA sequencer (/dev/snd/seq can be opened).
bool SequencerPresent() noexcept;

} // namespace Platform::Audio
