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
    /// For a handler that places every tick from a map of its own (a song): true, with the
    /// next tick's place in milliseconds after the first tick of this timer run (the anchor),
    /// and the timer's interval and NextTickShift are not used for it. Asked on the timer
    /// thread before the timer waits for each tick but the run's first.
    virtual bool NextTickOffset(double& msAfterAnchor)
    {
        (void)msAfterAnchor;
        return false;
    }
    /// For a handler that follows another program's beat grid: true, with the frame of the
    /// run's first tick (at or after reachable, the first frame a tick can still sound on),
    /// instead of reachable itself. Asked once on the timer thread before the first tick.
    virtual bool FirstTickFrame(double reachable, double& frame)
    {
        (void)reachable;
        (void)frame;
        return false;
    }
};

} // namespace Core
