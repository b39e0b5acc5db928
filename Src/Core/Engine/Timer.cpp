#include "Core/Engine/Timer.h"

#include "Platform/Clock.h"
#include "Platform/RealTime.h"
#include "Platform/SystemError.h"
#include "System/ErrorReport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <pthread.h>

namespace Core {

namespace {

inline void CpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

Timer::TickFrame Timer::TickFrame::Plus(double frames) const noexcept
{
    TickFrame next = *this;
    next.fraction += frames;
    const double whole = std::floor(next.fraction);
    next.whole += static_cast<std::int64_t>(whole);
    next.fraction -= whole;
    return next;
}

Timer::Timer(Platform::IThreadScheduling& scheduling)
    : scheduling_(scheduling)
{
}

Timer::~Timer()
{
    Stop();
    EndThread();
}

bool Timer::Start(ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock* clock)
{
    Stop();
    EndThread();

    wake_.Reset(); // a wake-up meant for the previous thread must not cut the first wait short
    handler_ = handler;
    clock_ = clock != nullptr ? clock : &Platform::SteadyFrames();
    intervalMs_.store(intervalMs, std::memory_order_relaxed);
    reTime_.store(false, std::memory_order_relaxed);
    running_.store(true, std::memory_order_release);
    const std::uint64_t generation = generation_.fetch_add(1, std::memory_order_acq_rel) + 1;

    setUp_.Reset();
    if (!Platform::StartThread(thread_, [this, generation] { Run(generation); })) {
        running_.store(false, std::memory_order_release);
        return System::ReportThreadCreationError();
    }
    // The thread raises itself before its first tick and says how that went; a refusal is
    // logged here, off the timer thread. Refused without rtkit or a real-time limit, which is
    // the usual case: once in the log is enough to say why timing may suffer, not at every start.
    setUp_.Wait();
    if (const int error = priorityError_.load(std::memory_order_acquire);
        error != 0 && !priorityRefusalReported_.exchange(true, std::memory_order_relaxed)) {
        Platform::SetLastError(error);
        System::ReportSystemError(u".\\Src\\Core\\Timer", u"Core::Timer::SetThreadPriority", 36,
                                  u"Error calling SetThreadPriority");
    }
    return true;
}

void Timer::ReTime(double intervalMs)
{
    intervalMs_.store(intervalMs, std::memory_order_relaxed);
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

void Timer::Tick(const TickFrame& frame, std::int64_t dueTime)
{
    const Platform::TickContext tick{dueTime, frame.Value(), clock_->HeardTime(frame.Value()), clock_};
    Platform::SetCurrentTick(&tick);
    handler_->OnTimer();
    Platform::SetCurrentTick(nullptr);
}

void Timer::Run(std::uint64_t generation)
{
    const Platform::RealTimeSection realTime;
    timerThreadId_.store(std::this_thread::get_id(), std::memory_order_release);
    pthread_setname_np(pthread_self(), "tolvane-timer"); // for top, perf and the benchmarks
    const Platform::IFrameClock& clock = *clock_;
    const double framesPerMs = clock.FrameRate() / 1000.0;
    // A clock that starts every sound on its tick's frame takes the tick anywhere within its
    // lead: the thread then sleeps right up to the due time and never spins, which on a real
    // output would only burn a core. Only ticks whose hand-over is their sounds' moment spin.
    const bool spins = !clock.StartsSoundsOnFrames();
    const std::int64_t startMargin = spins ? SpinMargin : 0;

    cpu_set_t previousAffinity;
    const bool pinned = scheduling_.PinToProcessor(0, previousAffinity) == 0;
    priorityError_.store(scheduling_.RaiseToRealTimePriority(), std::memory_order_release);
    setUp_.Set(); // Start logs a refusal

    if (handler_->FollowsTimeline()) {
        Follow(generation, clock);
    } else {
        Play(generation, clock, spins, startMargin, framesPerMs);
    }
    if (pinned)
        scheduling_.RestoreAffinity(previousAffinity);
    // Forget this thread's id, unless a newer thread has already put its own in place.
    std::thread::id self = std::this_thread::get_id();
    timerThreadId_.compare_exchange_strong(self, std::thread::id(), std::memory_order_acq_rel);
}

void Timer::Follow(std::uint64_t generation, const Platform::IFrameClock& clock)
{
    // Every tick is the followed grid's: asked for again each FollowPoll until it is due, so
    // that what the other side changed by then (its tempo, a relocation, a stop) is taken.
    const double slack = FollowSlackSeconds * clock.FrameRate();
    double last = -std::numeric_limits<double>::infinity();
    while (KeepsRunning(generation)) {
        double frame = 0;
        const std::int64_t now = Platform::Clock::Now();
        if (!handler_->NextTimelineTick(last, clock.AnchorFrame() - slack, frame)) {
            wake_.WaitUntil(now + FollowPoll);
            continue;
        }
        const std::int64_t due = clock.HandOverTime(frame);
        if (now < due) {
            wake_.WaitUntil(std::min(due, now + FollowPoll));
            continue;
        }
        TickFrame tick;
        Tick(tick.Plus(frame), due);
        last = frame;
    }
}

void Timer::Play(std::uint64_t generation, const Platform::IFrameClock& clock, bool spins, std::int64_t startMargin,
                 double framesPerMs)
{
    double interval = intervalMs_.load(std::memory_order_relaxed) * framesPerMs;
    std::int64_t spinMargin = startMargin;
    // The run's one anchor: every later tick counts on from here in frames.
    TickFrame last;
    last = last.Plus(clock.RunStartFrame());
    // A run that follows another program's beats starts on the first of them it can still
    // reach: that tick waits for its time as every later one does.
    if (double first = 0; handler_->FirstTickFrame(last.Value(), first) && first > last.Value()) {
        last = TickFrame{}.Plus(first);
        std::int64_t due = clock.HandOverTime(first);
        while (KeepsRunning(generation) && Platform::Clock::Now() < due) {
            wake_.WaitUntil(due);
            due = clock.HandOverTime(first);
        }
    }
    const TickFrame anchor = last;
    if (KeepsRunning(generation))
        Tick(last, std::min(Platform::Clock::Now(), clock.HandOverTime(last.Value())));

    int lateCount = 0;
    while (KeepsRunning(generation)) {
        bool reTimed = false;
        const double previousInterval = interval;
        if (reTime_.exchange(false, std::memory_order_acq_rel)) {
            interval = intervalMs_.load(std::memory_order_relaxed) * framesPerMs;
            spinMargin = startMargin;
            reTimed = true;
        }
        TickFrame next = last.Plus(interval);
        if (reTimed && interval > 0) {
            // A faster tempo set late in a slow beat: the new tempo's first tick can no longer
            // sound where it belongs. Play whichever comes first: the old tempo's next tick
            // (still on its grid, so every interval is one of the two periods; this is the
            // usual case, a change just as a tick is due) or the first frame of the new grid
            // that can still sound (a big change early in a long beat should not wait for it).
            const double reachable = clock.AnchorFrame();
            if (next.Value() < reachable) {
                const TickFrame onNewGrid = last.Plus(interval * std::ceil((reachable - last.Value()) / interval));
                const TickFrame onOldGrid = last.Plus(previousInterval);
                next = onOldGrid.Value() < onNewGrid.Value() ? onOldGrid : onNewGrid;
            }
        }

        // A swung tick sounds later than its place on the grid; the grid goes on from that place.
        // A handler with a map of its own places the tick from the anchor instead.
        TickFrame sounding = next;
        if (double offsetMs = 0; handler_->NextTickOffset(offsetMs)) {
            next = anchor.Plus(offsetMs * framesPerMs);
            sounding = next;
        } else if (const double shift = handler_->NextTickShift() * interval; shift > 0.0) {
            sounding = next.Plus(shift);
        }

        // Sleep until a little before the tick is due, or until a stop or a re-time. The due
        // time is asked for again after every wake-up, because the stream's clock moves (a
        // server that falls behind moves it later); a wake-up for anything else sleeps on.
        std::int64_t due = clock.HandOverTime(sounding.Value());
        while (KeepsRunning(generation) && !reTime_.load(std::memory_order_acquire)
               && Platform::Clock::Now() < due - spinMargin) {
            wake_.WaitUntil(due - spinMargin);
            due = clock.HandOverTime(sounding.Value());
        }
        if (!KeepsRunning(generation))
            break;
        if (reTime_.load(std::memory_order_acquire))
            continue; // the next tick follows the new interval

        int reads = 0;
        bool stopped = false;
        while (true) {
            ++reads;
            if (Platform::Clock::Now() >= due)
                break;
            if (!KeepsRunning(generation)) {
                stopped = true;
                break;
            }
            CpuRelax();
        }
        if (stopped)
            break;

        Tick(sounding, due);
        last = next;

        // Woken too late to spin at all: sleep a little less from now on, within bounds (the
        // lead, not the spin, keeps sounds on their frames; a long spin only burns the core).
        if (spins && reads == 1 && spinMargin + MarginStep <= MaxSpinMargin
            && spinMargin < static_cast<std::int64_t>(interval / framesPerMs * 1e6) && ++lateCount > 2) {
            spinMargin += MarginStep;
            lateCount = 0;
        }
    }
}

} // namespace Core
