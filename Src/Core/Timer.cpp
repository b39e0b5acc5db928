#include "Core/Timer.h"

#include "Platform/Clock.h"
#include "Platform/SystemError.h"
#include "System/ErrorReport.h"

#include <algorithm>

namespace Core {

namespace {

inline void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

Timer::Timer(Platform::IThreadScheduling& scheduling)
    : scheduling_(scheduling)
{
}

Timer::~Timer()
{
    Stop();
    EndThread();
}

std::int64_t Timer::PeriodFor(double intervalMs)
{
    return static_cast<std::int64_t>(intervalMs * Platform::Clock::CountsPerSecond / 1000.0);
}

bool Timer::Start(ITimerEventHandler* handler, double intervalMs)
{
    Stop();
    EndThread();

    wake_.Reset(); // a wake-up meant for the previous thread must not cut the first wait short
    handler_ = handler;
    period_.store(PeriodFor(intervalMs), std::memory_order_relaxed);
    reTime_.store(false, std::memory_order_relaxed);
    running_.store(true, std::memory_order_release);
    const std::uint64_t generation = generation_.fetch_add(1, std::memory_order_acq_rel) + 1;

    if (!Platform::StartThread(thread_, [this, generation] { Run(generation); })) {
        running_.store(false, std::memory_order_release);
        return System::ReportThreadCreationError();
    }
    return true;
}

void Timer::ReTime(double intervalMs)
{
    period_.store(PeriodFor(intervalMs), std::memory_order_relaxed);
    reTime_.store(true, std::memory_order_release);
    wake_.Set();
}

void Timer::Stop()
{
    running_.store(false, std::memory_order_release);
    wake_.Set();
    if (!IsTimerThread())
        EndThread();
}

void Timer::EndThread()
{
    if (!thread_.joinable())
        return;
    if (IsTimerThread())
        thread_.detach(); // it sees running cleared once its tick returns, and ends by itself
    else
        thread_.join();
}

bool Timer::IsRunning() const
{
    return running_.load(std::memory_order_acquire);
}

bool Timer::IsTimerThread() const
{
    return timerThreadId_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

bool Timer::KeepsRunning(std::uint64_t generation) const
{
    return running_.load(std::memory_order_acquire) && generation_.load(std::memory_order_acquire) == generation;
}

void Timer::Tick(std::int64_t dueTime)
{
    Platform::SetCurrentTickTime(dueTime);
    handler_->OnTimer();
    Platform::SetCurrentTickTime(0);
}

void Timer::Run(std::uint64_t generation)
{
    timerThreadId_.store(std::this_thread::get_id(), std::memory_order_release);
    std::int64_t period = period_.load(std::memory_order_relaxed);
    std::int64_t spinMargin = SpinMargin;

    cpu_set_t previousAffinity;
    const bool pinned = scheduling_.PinToProcessor(0, previousAffinity) == 0;
    if (const int error = scheduling_.RaiseToRealTimePriority()) {
        Platform::SetLastError(error);
        System::ReportSystemError(u".\\Src\\Core\\Timer", u"Core::Timer::SetThreadPriority", 36,
                                  u"Error calling SetThreadPriority");
    }

    std::int64_t lastTick = Platform::Clock::Now();
    Tick(lastTick);

    int lateCount = 0;
    while (KeepsRunning(generation)) {
        // The sleep is measured from the previous due time, so the time a tick's handler
        // took is not slept on top of it.
        wake_.WaitUntil(lastTick + std::max<std::int64_t>(0, period - spinMargin));
        wake_.Reset();
        if (!KeepsRunning(generation))
            break;

        if (reTime_.exchange(false, std::memory_order_acq_rel)) {
            period = period_.load(std::memory_order_relaxed);
            spinMargin = SpinMargin;
            lastTick = Platform::Clock::Now();
            continue; // no tick now: the next one comes a whole new period after the change
        }

        int reads = 0;
        bool stopped = false;
        while (true) {
            ++reads;
            if (Platform::Clock::Now() - lastTick >= period)
                break;
            if (!KeepsRunning(generation)) {
                stopped = true;
                break;
            }
            CpuRelax();
        }
        if (stopped)
            break;

        Tick(lastTick + period);
        lastTick += period;

        // Woken too late to spin at all: sleep a little less from now on.
        if (reads == 1 && spinMargin < period && ++lateCount > 2) {
            spinMargin += MarginStep;
            lateCount = 0;
        }
    }

    if (pinned)
        scheduling_.RestoreAffinity(previousAffinity);
    // Forget this thread's id, unless a newer thread has already put its own in place.
    std::thread::id self = std::this_thread::get_id();
    timerThreadId_.compare_exchange_strong(self, std::thread::id(), std::memory_order_acq_rel);
}

} // namespace Core
