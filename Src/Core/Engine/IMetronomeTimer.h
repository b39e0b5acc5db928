#pragma once
#include "Core/Engine/ITimerEventHandler.h"
#include "Core/Engine/Timer.h"

namespace Core {

/// The timer as the metronome uses it, so that tests can drive the ticks by hand.
/// Same contract as Core::Timer: Stop called off the timer thread returns once the timer
/// thread is gone; called from inside a tick it returns at once.
class IMetronomeTimer {
public:
    virtual ~IMetronomeTimer() = default;
    /// clock: where the ticks are placed (see Timer::Start); null ticks on the steady clock.
    virtual bool Start(ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock) = 0;
    virtual void ReTime(double intervalMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
};

/// The metronome's view of a real Core::Timer.
class ThreadTimer final : public IMetronomeTimer {
public:
    explicit ThreadTimer(Timer& timer)
        : timer_(timer)
    {
    }
    bool Start(ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock) override
    {
        return timer_.Start(handler, intervalMs, clock);
    }
    void ReTime(double intervalMs) override { timer_.ReTime(intervalMs); }
    void Stop() override { timer_.Stop(); }
    bool IsRunning() const override { return timer_.IsRunning(); }

private:
    Timer& timer_;
};

} // namespace Core
