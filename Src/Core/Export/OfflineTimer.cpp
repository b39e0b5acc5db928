#include "Core/Export/OfflineTimer.h"

#include "Platform/Clock.h"

#include <algorithm>

namespace Core::Export {

bool OfflineTimer::Start(ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock)
{
    handler_ = handler;
    clock_ = clock != nullptr ? clock : &Platform::SteadyFrames();
    intervalMs_ = intervalMs;
    reTimed_ = true;
    running_ = true;
    first_ = true;
    last_ = Timer::TickFrame{}.Plus(clock_->RunStartFrame());
    anchor_ = last_;
    return true;
}

OfflineTimer::Tick OfflineTimer::Next()
{
    if (reTimed_) {
        interval_ = intervalMs_ * clock_->FrameRate() / 1000.0;
        reTimed_ = false;
    }
    Tick tick;
    tick.interval = interval_;
    // A handler with a map of its own (a song) places each tick from the run's anchor.
    if (double offsetMs = 0; !first_ && handler_->NextTickOffset(offsetMs)) {
        tick.straight = anchor_.Plus(offsetMs * clock_->FrameRate() / 1000.0);
        tick.frame = tick.straight.Value();
        return tick;
    }
    tick.straight = first_ ? last_ : last_.Plus(interval_);
    const double shift = first_ ? 0.0 : handler_->NextTickShift() * interval_;
    tick.frame = shift > 0.0 ? tick.straight.Plus(shift).Value() : tick.straight.Value();
    tick.interval = interval_;
    return tick;
}

void OfflineTimer::Play(const Tick& tick)
{
    first_ = false;
    last_ = tick.straight;
    const Platform::TickContext context{std::max<std::int64_t>(clock_->HandOverTime(tick.frame), 1), tick.frame,
                                        clock_->HeardTime(tick.frame), clock_};
    Platform::SetCurrentTick(&context);
    handler_->OnTimer();
    Platform::SetCurrentTick(nullptr);
}

} // namespace Core::Export
