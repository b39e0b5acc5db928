#pragma once
#include "Core/ITimerEventHandler.h"
#include "Platform/AutoResetEvent.h"
#include "Platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace Core {

/// Produces the metronome's ticks on a dedicated thread: real-time priority, pinned to the
/// first processor, sleeping until shortly before each tick and then spinning on the clock
/// until the tick is due. Each tick is due one period after the previous due time, whatever
/// the previous tick cost, so handler time never accumulates into drift.
///
/// The sleep ends SpinMargin before the due time. A thread that keeps waking too late to
/// spin at all (three late wake-ups) sleeps MarginStep less from then on, until the next
/// start or re-time. The margin is short because sounds are placed at the tick's due time by
/// the audio layer, not when this thread happens to run; the spin only keeps OnTimer itself
/// punctual, and a short one keeps the thread's CPU use low.
///
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

    /// How long before a tick's due time the thread stops sleeping and starts to spin (ns).
    static constexpr std::int64_t SpinMargin = 300'000;
    /// How much the margin grows after repeated late wake-ups (ns).
    static constexpr std::int64_t MarginStep = 1'000'000;

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
    std::atomic<std::int64_t> period_{0};
    std::atomic<bool> reTime_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<std::thread::id> timerThreadId_{};
    std::thread thread_;
};

} // namespace Core
