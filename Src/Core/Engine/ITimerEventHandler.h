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
    /// True for a handler whose run follows another program's beats (the JACK transport, a
    /// Link session): the timer then asks NextTimelineTick for every tick, the run's first
    /// included, and uses neither its interval nor the other two places above.
    virtual bool FollowsTimeline() { return false; }
    /// The next tick's frame on the output stream: the first of the followed grid after
    /// lastFrame (the last tick's; -infinity before the run's first) that can still sound at
    /// reachable or later. False while that timeline does not roll (the timer asks again
    /// shortly). Asked on the timer thread again and again until the tick is handed over, so
    /// that a tempo change or a relocation seen meanwhile moves it; the tick that then plays
    /// is the one the last call described.
    virtual bool NextTimelineTick(double lastFrame, double reachable, double& frame)
    {
        (void)lastFrame, (void)reachable, (void)frame;
        return false;
    }
};

} // namespace Core
