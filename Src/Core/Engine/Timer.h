#pragma once
#include "Core/Engine/ITimerEventHandler.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/FrameClock.h"
#include "Platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace Core {

/// Produces the metronome's ticks on a dedicated thread: real-time priority, pinned to the
/// first processor, sleeping until each tick is due (see below for when it spins).
///
/// Ticks are frames of a frame clock (the output stream's, see Platform::IFrameClock). The
/// first tick of a run takes the clock's anchor frame (the stream's render position plus
/// the lead) and is given at once; each next tick's frame is the previous one plus the
/// interval at the clock's nominal rate, carried as whole frames plus a fraction so that
/// nothing drifts however long the run. A tick the handler shifts (swing,
/// ITimerEventHandler::NextTickShift) sounds that many intervals after its place on this grid,
/// and the grid goes on from the place. The clock says when each tick is due to be handed
/// over; errors of that estimate move the thread's wake-up within the lead, never a tick's
/// frame, and when the stream's clock drifts from the steady clock the thread follows the
/// stream. Inside OnTimer, Platform::CurrentTickTime()/CurrentSoundStamp() describe the tick.
///
/// On a clock that starts sounds on their frames (the mixer) the thread sleeps until the due
/// time and ticks: a late wake-up moves no sound while it stays within the lead. On any other
/// clock the sleep ends SpinMargin before the due time. A thread that keeps waking too late to
/// spin at all (three late wake-ups) sleeps MarginStep less from then on, up to
/// MaxSpinMargin, until the next start or re-time. The thread's wake-up is an atomic word
/// with a futex wait, so Stop and ReTime take no lock on any thread. The thread itself never
/// allocates, locks or logs: what it has to report (a refused priority) is logged by Start.
class Timer {
public:
    explicit Timer(Platform::IThreadScheduling& scheduling = Platform::SystemThreadScheduling());
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    /// Starts ticking handler every intervalMs milliseconds on clock (null: the steady clock,
    /// Platform::SteadyFrames()); the first tick comes at once, on the clock's anchor frame.
    /// A timer that is still running is stopped, and its thread ended, first. Returns false
    /// (with an Error line in the log) when the thread cannot be created. Returns once the
    /// thread has tried to raise itself to real-time priority; the first refusal in the
    /// timer's life is logged here, by the caller's thread. clock must stay valid until the
    /// thread has ended. A control thread, never the timer thread.
    bool Start(ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock = nullptr);

    /// Takes a new interval from the next tick on: the next tick comes one new interval
    /// after the last tick's frame. Should that frame be out of reach already (a much faster
    /// tempo set late in a slow beat), the next tick is the first frame on the new grid from
    /// the last tick that can still be reached. Any thread, the timer thread included.
    void ReTime(double intervalMs);

    /// Stops ticking. Called from another thread it returns only after the timer thread has
    /// ended, so no OnTimer runs afterwards; called from the timer thread it returns at once
    /// (no join, no lock) and the thread ends when its current tick returns.
    void Stop();

    bool IsRunning() const;
    /// True when called on the timer thread.
    bool IsTimerThread() const;

    /// A run that follows another program's timeline looks at its grid again this often (ns)
    /// until a tick is handed over, and takes ticks that far late still (in frames' time).
    static constexpr std::int64_t FollowPoll = 5'000'000;
    static constexpr double FollowSlackSeconds = 0.010;
    /// How long before a tick's due time the thread stops sleeping and starts to spin (ns).
    static constexpr std::int64_t SpinMargin = 300'000;
    /// How much the margin grows after repeated late wake-ups (ns), and how far at most.
    static constexpr std::int64_t MarginStep = 1'000'000;
    static constexpr std::int64_t MaxSpinMargin = 2'300'000;

    /// A tick's frame as whole frames plus a fraction in [0, 1): how every timer counts its
    /// ticks on (the export's and the timing scorer's too), so that nothing drifts however long the run.
    struct TickFrame {
        std::int64_t whole = 0;
        double fraction = 0;
        double Value() const noexcept { return static_cast<double>(whole) + fraction; }
        TickFrame Plus(double frames) const noexcept;
    };

private:
    void Run(std::uint64_t generation);
    void Play(std::uint64_t generation, const Platform::IFrameClock& clock, bool spins, std::int64_t startMargin,
              double framesPerMs);
    void Follow(std::uint64_t generation, const Platform::IFrameClock& clock);
    bool KeepsRunning(std::uint64_t generation) const;
    void Tick(const TickFrame& frame, std::int64_t dueTime);
    void EndThread();

    Platform::IThreadScheduling& scheduling_;
    Platform::AutoResetEvent wake_;
    ITimerEventHandler* handler_ = nullptr;
    const Platform::IFrameClock* clock_ = nullptr;
    std::atomic<double> intervalMs_{0};
    std::atomic<bool> reTime_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<std::thread::id> timerThreadId_{};
    Platform::AutoResetEvent setUp_;  // set by a new thread once it has tried to raise itself
    std::atomic<int> priorityError_{0}; // what that gave: 0 or an errno value
    std::atomic<bool> priorityRefusalReported_{false}; // the program has one timer: once in its life
    std::thread thread_;
};

} // namespace Core
