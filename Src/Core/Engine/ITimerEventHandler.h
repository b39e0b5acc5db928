#pragma once

namespace Core {

/// Receives the timer's ticks. OnTimer runs on the timer thread; it must not block,
/// allocate, open files or log, because the time it takes delays nothing but itself only
/// while it stays well below one tick period.
class ITimerEventHandler {
public:
    virtual ~ITimerEventHandler() = default;
    virtual void OnTimer() = 0;
    /// How far the next tick sounds after its place on the straight grid, in ticks (swing);
    /// asked on the timer thread before the timer waits for that tick. The grid itself moves
    /// on unshifted, so nothing accumulates.
    virtual double NextTickShift() { return 0.0; }
};

} // namespace Core
