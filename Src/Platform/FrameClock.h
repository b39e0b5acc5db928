#pragma once
#include <cstdint>

namespace Platform {

/// The clock a run's ticks are placed on: frames of the output stream. A tick is a frame;
/// the timer asks the frame clock when to wake for it and when it will be heard, and every
/// sound started on the tick starts on exactly that frame. The output's mixer is the frame
/// clock while a stream is open; without one, SteadyFrames() counts the steady clock.
///
/// Every operation may be called from any thread (the timer thread, a control thread) and
/// never locks, allocates or blocks.
class IFrameClock {
public:
    virtual ~IFrameClock() = default;

    /// Nominal frames per second. Tick intervals are converted to frames at this rate.
    virtual double FrameRate() const noexcept = 0;

    /// The frame a run's first tick takes when the run starts (or resumes) now: the stream's
    /// render position plus the fixed lead, so that the tick's sounds reach the stream
    /// before it renders that frame.
    virtual double AnchorFrame() const noexcept = 0;

    /// The frame a run's first tick takes when the run starts (or resumes) now. Usually
    /// AnchorFrame(); a clock whose stream can render again the silence it already holds ahead
    /// of the speaker may give an earlier frame, heard about one lead after now, and render the
    /// run's first sounds over that silence shortly before the server plays it.
    virtual double RunStartFrame() const noexcept { return AnchorFrame(); }

    /// The clock time (Platform::Clock nanoseconds) at which a tick at frame is due to be
    /// handed to the sound engines: when the stream is expected to reach frame minus the
    /// lead. Errors of this estimate move only the hand-over, never the sound.
    virtual std::int64_t HandOverTime(double frame) const noexcept = 0;

    /// The clock time at which frame leaves the speaker: the time the stream renders it plus
    /// the output latency the backend reports. What a beat lamp or a playback cursor waits
    /// for, so that it shows a beat when the beat is heard.
    virtual std::int64_t HeardTime(double frame) const noexcept = 0;
    /// What HeardTime adds beyond the output's reported latency (nanoseconds): a delay after
    /// the output that the user set (the output offset), so that HeardTime less it is when the
    /// frame leaves the output.
    virtual std::int64_t HeardOffset() const noexcept { return 0; }

    /// True when every sound handed over for a tick starts on the tick's own frame, however
    /// late within the lead it was handed over (the mixer). A wake-up a little after the
    /// hand-over time then moves nothing, so the timer need not spin for it.
    virtual bool StartsSoundsOnFrames() const noexcept { return false; }
};

/// The steady clock as a frame clock: frame = clock nanoseconds x rate / 1e9, no lead and no
/// latency, so a tick is handed over and "heard" at its due time. The clock of a run that
/// plays into no stream (and of the timer's own tests).
class SteadyFrameClock final : public IFrameClock {
public:
    explicit SteadyFrameClock(double rate = 1e9) noexcept : rate_(rate) {}
    double FrameRate() const noexcept override { return rate_; }
    double AnchorFrame() const noexcept override;
    std::int64_t HandOverTime(double frame) const noexcept override;
    std::int64_t HeardTime(double frame) const noexcept override { return HandOverTime(frame); }

private:
    double rate_;
};

/// The program's steady frame clock, at one frame per nanosecond.
const SteadyFrameClock& SteadyFrames() noexcept;

} // namespace Platform
