#pragma once
#include <cstdint>

namespace Platform::Audio {

/// Maps clock time (Platform::Clock nanoseconds) to the output stream's frame counter.
/// Fed with the time of every audio callback and the frame the callback starts at, it runs
/// a second-order delay-locked loop over them: the callback times jitter by the scheduler's
/// whims, the frame counter does not, so the loop recovers the stream's true start time and
/// rate and the jitter stays out of the mapping. Positions are doubles, never rounded to
/// whole frames. A jump of more than a fraction of a second (a stalled or restarted stream)
/// re-anchors the map at once. Used only on the audio thread; not thread-safe.
class ClockMap {
public:
    /// Where the times given to Update come from.
    enum class Times {
        /// When each callback ran: scheduler jitter of up to milliseconds, so the loop
        /// settles to a narrow bandwidth (0.1 Hz).
        Callbacks,
        /// The server's own smoothed estimate of each cycle's start (JACK's): already free of
        /// the scheduler's jitter and shared by every client of the server, so the loop follows
        /// it closely (1 Hz): when the server's clock moves (a driver that fell behind and
        /// caught up), the map moves with it within a second instead of ringing for many.
        ServerEstimate,
    };
    /// Forgets everything; the next Update anchors the map at the nominal rate.
    void Reset(double sampleRate, Times times = Times::Callbacks) noexcept;

    /// A callback that starts at frame was called at time.
    void Update(std::int64_t time, std::uint64_t frame) noexcept;

    /// The (fractional) frame that is rendered at time. Only meaningful after one Update.
    double FrameAt(std::int64_t time) const noexcept;

    /// The time at which frame is rendered.
    double TimeOf(double frame) const noexcept;

    /// The measured rate in frames per second of clock time.
    double MeasuredRate() const noexcept { return 1e9 / period_; }

    /// The map's line: frame anchorFrame is rendered at anchorTime, and each further frame
    /// periodNs later. FrameAt and TimeOf follow from it; the mixer hands it to other threads.
    struct Line {
        double anchorTime = 0;
        double anchorFrame = 0;
        double periodNs = 0;
    };
    Line CurrentLine() const noexcept { return Line{anchorTime_, static_cast<double>(anchorFrame_), period_}; }

    /// Updates so far since the last Reset, and re-anchors caused by jumps.
    std::uint64_t Updates() const noexcept { return updates_; }
    std::uint64_t Reanchors() const noexcept { return reanchors_; }

private:
    double nominalPeriod_ = 0;   // nanoseconds per frame at the nominal rate
    double period_ = 0;          // loop's estimate of nanoseconds per frame
    double anchorTime_ = 0;      // loop's estimate of the time of anchorFrame_
    std::uint64_t anchorFrame_ = 0;
    std::uint64_t updates_ = 0;
    double bandwidth_ = 0;       // the loop's bandwidth at this update, Hz (narrowing at first)
    double finalBandwidth_ = 0;  // where the narrowing ends, Hz
    double narrowingStep_ = 1;   // the bandwidth's factor from one update to the next meanwhile
    std::uint64_t reanchors_ = 0;
    double usualError_ = 0;      // running mean of the absolute error, nanoseconds
};

} // namespace Platform::Audio
