#pragma once
#include <array>
#include <cstdint>
#include <functional>

namespace Core {

/// A repeating timer on the window thread, given to the tap-tempo estimator for the end of a
/// tap series. The GUI supplies one built on its own timers; tests drive a fake by hand.
class ITapSeriesTimer {
public:
    virtual ~ITapSeriesTimer() = default;
    /// Calls onTimer every intervalMs milliseconds on the window thread until Stop. Starting a
    /// running timer restarts it. Returns false when no timer could be made.
    virtual bool Start(std::uint32_t intervalMs, std::function<void()> onTimer) = 0;
    /// Stops calling; harmless when not running.
    virtual void Stop() = 0;
};

/// Turns taps into a tempo. From the third tap of a series on, every tap gives the tempo of
/// its last two intervals; a series ends once a check of its timer (every 3 s) finds the
/// latest tap 3 s old or older, so it ends 3 to 6 s after the last tap. After nine taps the
/// series starts counting afresh (the next two taps give 0). Ctrl doubles the result, Shift
/// halves it; results are limited to 10..400 bpm (taps at the very same instant count as the
/// fastest tempo).
///
/// Window thread only: Tap, the timer's calls and destruction all run there.
class TapTempo {
public:
    /// Counts of the clock per second, and the clock itself.
    using ClockFunction = std::function<std::int64_t()>;

    /// Uses the program's steady clock.
    explicit TapTempo(ITapSeriesTimer& timer);
    /// Uses the given clock. With countsPerSecond 0 there is no time base: a warning goes to
    /// the log once and every tap gives 0.
    TapTempo(ITapSeriesTimer& timer, ClockFunction clock, std::int64_t countsPerSecond);
    virtual ~TapTempo();
    TapTempo(const TapTempo&) = delete;
    TapTempo& operator=(const TapTempo&) = delete;

    /// Records a tap now; returns the tempo in bpm, or 0 when there is none yet. ctrl and
    /// shift are whether those keys are held at the moment of the tap.
    std::int32_t Tap(bool ctrl, bool shift);
    /// Records a tap made at `at` on the clock, however much later it is handled (a MIDI
    /// pedal's, by its stamp); never before the tap before it.
    std::int32_t Tap(bool ctrl, bool shift, std::int64_t at);

    /// True while a tap series is active.
    bool SeriesActive() const { return seriesActive_; }

    static constexpr std::uint32_t SeriesCheckMs = 3000;
    static constexpr int MaxTaps = 9;

private:
    void OnSeriesTimer();
    void EndSeries();
    std::int64_t SecondsSince(std::int64_t then, std::int64_t now) const;

    ITapSeriesTimer& timer_;
    ClockFunction clock_;
    std::int64_t countsPerSecond_ = 0;
    std::array<std::int64_t, MaxTaps> tapTimes_{};
    int tapCount_ = 0;
    bool seriesActive_ = false;
    bool timerRunning_ = false;
};

} // namespace Core
