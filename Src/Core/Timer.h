#pragma once
#include "Core/ITimerEventHandler.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace Core {

/// Produces the metronome's ticks on a dedicated thread: real-time priority, pinned to the
/// first processor, sleeping until shortly before each tick (the wait time-out after the
/// previous due time) and then spinning on the clock until the tick is due. Each tick is due
/// one period after the previous due time, whatever the previous tick cost, so handler time
/// never accumulates into drift. A thread that keeps waking too late to spin sleeps 1 ms
/// less after every third such tick.
///
/// While OnTimer runs, Platform::CurrentTickTime() on the timer thread gives the tick's due
/// time, so that sounds started there are placed at that exact time.
///
/// Start, ReTime and Stop may be called from the control thread; ReTime and Stop also from
/// the timer thread itself (inside OnTimer). At most one timer thread exists at a time.
class Timer {
public:
    explicit Timer(Platform::IThreadScheduling& scheduling = Platform::SystemThreadScheduling());
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    /// Starts ticking handler every intervalMs milliseconds; the first tick comes at once.
    /// A timer that is still running is stopped, and its thread ended, first. Returns false
    /// (with an Error line in the log) when the thread cannot be created.
    bool Start(ITimerEventHandler* handler, double intervalMs);

    /// Takes a new interval; the next tick comes one new interval after the change.
    void ReTime(double intervalMs);

    /// Stops ticking. Called from another thread it returns only after the timer thread has
    /// ended, so no OnTimer runs afterwards; called from the timer thread it returns at once
    /// and the thread ends when its current tick returns.
    void Stop();

    bool IsRunning() const;
    /// True when called on the timer thread.
    bool IsTimerThread() const;

    /// How long the thread sleeps before spinning: interval - 1.5 ms, truncated, never below 0.
    static std::uint32_t WaitTimeoutFor(double intervalMs);
    /// The tick period in clock counts (nanoseconds), truncated.
    static std::int64_t PeriodFor(double intervalMs);

private:
    void Run(std::uint64_t generation);
    bool KeepsRunning(std::uint64_t generation) const;
    void Tick(std::int64_t dueTime);
    void EndThread();

    Platform::IThreadScheduling& scheduling_;
    Platform::AutoResetEvent wake_;
    ITimerEventHandler* handler_ = nullptr;
    std::atomic<std::uint32_t> waitTimeout_{0};
    std::atomic<std::int64_t> period_{0};
    std::atomic<bool> reTime_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<std::thread::id> timerThreadId_{};
    std::thread thread_;
};

} // namespace Core
