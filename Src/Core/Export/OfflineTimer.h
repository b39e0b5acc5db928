#pragma once
#include "Core/Engine/IMetronomeTimer.h"
#include "Core/Engine/Timer.h"
#include "Platform/FrameClock.h"

#include <cstdint>

namespace Core::Export {

/// The frame clock of a run rendered or planned offline: frame 0 at its first tick, a fixed
/// rate, and one constant time for every hand-over and every sound heard (nothing is heard
/// while it runs). An export gives 1 and sounds starting on their frames; the timing grid,
/// which plays nothing, 0 and the default.
class OfflineClock final : public Platform::IFrameClock {
public:
    OfflineClock(double rate, std::int64_t time, bool startsSoundsOnFrames) noexcept
        : rate_(rate), time_(time), startsSoundsOnFrames_(startsSoundsOnFrames)
    {
    }
    double FrameRate() const noexcept override { return rate_; }
    double AnchorFrame() const noexcept override { return 0; }
    std::int64_t HandOverTime(double) const noexcept override { return time_; }
    std::int64_t HeardTime(double) const noexcept override { return time_; }
    bool StartsSoundsOnFrames() const noexcept override { return startsSoundsOnFrames_; }

private:
    double rate_;
    std::int64_t time_;
    bool startsSoundsOnFrames_;
};

/// A timer whose ticks are played by its caller, one after another, as fast as the caller
/// renders: an export's. Each tick's frame is worked out exactly as Core::Timer does it (the
/// run's anchor, then the previous straight place plus the interval in whole frames and a
/// fraction, a swung tick shifted from its straight place, a new interval from the next tick
/// on), so a file holds every click on the frame a live run plays it on. Nothing is ever
/// late here, so a re-time always takes the new interval from the last tick. A handler that
/// places its ticks itself (ITimerEventHandler::NextTickOffset, a song) is followed as the
/// live timer follows it.
/// One thread: the caller's.
class OfflineTimer final : public IMetronomeTimer {
public:
    bool Start(ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock) override;
    void ReTime(double intervalMs) override
    {
        intervalMs_ = intervalMs;
        reTimed_ = true;
    }
    void Stop() override { running_ = false; }
    bool IsRunning() const override { return running_; }

    /// The next tick, worked out but not played yet.
    struct Tick {
        Timer::TickFrame straight; ///< its place on the straight grid
        double frame = 0;          ///< where it sounds (straight, or swung later)
        double interval = 0;       ///< frames from the straight place to the next one
    };
    /// The next tick of a running timer; asks the handler for its swing shift. Call Play
    /// with it before asking again.
    Tick Next();
    /// Plays tick (the handler's OnTimer, with the tick's frame as the current tick).
    void Play(const Tick& tick);

private:
    ITimerEventHandler* handler_ = nullptr;
    const Platform::IFrameClock* clock_ = nullptr;
    double intervalMs_ = 0;
    bool reTimed_ = false;
    bool running_ = false;
    bool first_ = true;
    double interval_ = 0; // frames
    Timer::TickFrame last_;
    Timer::TickFrame anchor_; // the run's first tick
};

} // namespace Core::Export
