#include "Core/Engine/Timer.h"
#include "Platform/Clock.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cerrno>

using namespace std::chrono_literals;
using Platform::Clock::Now;

namespace {

constexpr std::int64_t Ms = 1'000'000;

// A tick interval in nanoseconds, the steady clock's frames.
std::int64_t PeriodNs(double intervalMs)
{
    return std::llround(intervalMs * Ms);
}

// Records every tick's call time, due time and thread, without allocating on the timer thread.
class RecordingHandler final : public Core::ITimerEventHandler {
public:
    static constexpr std::size_t Capacity = 4096;

    void OnTimer() override
    {
        const int inside = ++inside_;
        maxInside_.store(std::max(maxInside_.load(), inside));
        const std::size_t n = count_.load();
        if (n < Capacity) {
            called_[n] = Now();
            due_[n] = Platform::CurrentTickTime();
            thread_[n] = std::this_thread::get_id();
        }
        if (onTick_)
            onTick_(n);
        count_.store(n + 1);
        --inside_;
    }

    double NextTickShift() override { return count_.load() % 2 == 1 ? oddShift_ : 0.0; }

    std::size_t Count() const { return count_.load(); }
    std::int64_t Called(std::size_t n) const { return called_[n]; }
    std::int64_t Due(std::size_t n) const { return due_[n]; }
    std::thread::id Thread(std::size_t n) const { return thread_[n]; }
    int MaxInside() const { return maxInside_.load(); }

    /// Waits (polling) until at least n ticks have been recorded; false after the time-out.
    bool WaitFor(std::size_t n) const { return TestSupport::WaitUntil([&] { return Count() >= n; }); }

    std::function<void(std::size_t)> onTick_;
    double oddShift_ = 0.0; ///< ticks every odd tick sounds after its place (swing)

private:
    std::atomic<std::size_t> count_{0};
    std::atomic<int> inside_{0};
    std::atomic<int> maxInside_{0};
    std::array<std::int64_t, Capacity> called_{};
    std::array<std::int64_t, Capacity> due_{};
    std::array<std::thread::id, Capacity> thread_{};
};

class FailingScheduling final : public Platform::IThreadScheduling {
public:
    int RaiseToRealTimePriority() override { return EPERM; }
    int PinToProcessor(int, cpu_set_t&) override { return EINVAL; }
    int RestoreAffinity(const cpu_set_t&) override { return EINVAL; }
};

} // namespace

// With an hour between ticks, the first tick comes at once, and Stop wakes the sleeping thread
// rather than waiting out its hour (either would hold the test until its time-out).
TEST(TimerThread, FirstTickComesAtOnceAndStopEndsTheSleepingThread)
{
    RecordingHandler handler;
    Core::Timer timer;
    const std::int64_t before = Now();
    ASSERT_TRUE(timer.Start(&handler, 3'600'000.0));
    ASSERT_TRUE(handler.WaitFor(1));
    timer.Stop();
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(handler.Count(), 1u);
    EXPECT_GE(handler.Due(0), before);
    EXPECT_LE(handler.Due(0), handler.Called(0));
    EXPECT_EQ(Platform::CurrentTickTime(), 0); // the tick time is visible only inside a tick
    EXPECT_GE(Platform::StampTime(), before);  // outside a tick a sound is stamped "now"
}

// Every 20 ms tick costs more than half a period, and 0.2 ms is shorter than the margin the
// thread spins through: either way the schedule must not slip.
TEST(TimerThread, TicksAreScheduledFromDueTimesNotFromWhenTheyRan)
{
    for (const double interval : {20.0, 0.2}) {
        RecordingHandler handler;
        if (interval > 1.0)
            handler.onTick_ = [](std::size_t) { std::this_thread::sleep_for(12ms); };
        Core::Timer timer;
        ASSERT_TRUE(timer.Start(&handler, interval));
        ASSERT_TRUE(handler.WaitFor(50));
        timer.Stop();
        for (std::size_t n = 1; n < 50; ++n) {
            EXPECT_EQ(handler.Due(n) - handler.Due(n - 1), PeriodNs(interval)) << interval << " ms, tick " << n;
            EXPECT_GE(handler.Called(n), handler.Due(n)) << interval << " ms, tick " << n << " came early";
        }
    }
}

// Shifted (swung) ticks come that part of an interval late, and the ticks after them stay on
// the straight grid.
TEST(TimerThread, AShiftedTickComesLateAndTheGridGoesOnUnshifted)
{
    RecordingHandler handler;
    handler.oddShift_ = 0.32;
    Core::Timer timer;
    ASSERT_TRUE(timer.Start(&handler, 10.0));
    ASSERT_TRUE(handler.WaitFor(9));
    timer.Stop();
    for (std::size_t n = 1; n < 9; ++n)
        EXPECT_NEAR(handler.Due(n) - handler.Due(0), (n + (n % 2 == 1 ? 0.32 : 0.0)) * 10 * Ms, 2) << "tick " << n;
}

// A stream's clock at one frame a millisecond from its creation, whose position (the frame a
// run would start on now) the test sets, and which holds every tick after the first until the
// test lets it go: what the timer decides then depends on frames alone, never on how soon the
// test thread ran.
namespace {
class HeldFrameClock final : public Platform::IFrameClock {
public:
    double FrameRate() const noexcept override { return 1000.0; }
    double AnchorFrame() const noexcept override { return position.load(); }
    std::int64_t HandOverTime(double frame) const noexcept override
    {
        return frame > 0 && held.load() ? origin_ + 3600'000 * Ms : origin_ + std::llround(frame * Ms);
    }
    std::int64_t HeardTime(double frame) const noexcept override { return HandOverTime(frame); }

    std::atomic<double> position{0.0};
    std::atomic<bool> held{true};

private:
    const std::int64_t origin_ = Now();
};
} // namespace

// A new interval set some frames into a beat: the next tick is one new interval after the
// last one, or when that frame is already out of reach whichever comes first, the first
// reachable frame of the new grid or the old interval's next tick.
TEST(TimerThread, ReTimeContinuesFromTheLastTickOnTheNewGrid)
{
    struct Case {
        double position;
        double newInterval;
        std::int64_t expected;
    };
    for (const Case& c : {Case{50, 150.0, 150 * Ms}, Case{400, 150.0, 450 * Ms}, Case{900, 700.0, 1000 * Ms}}) {
        RecordingHandler handler;
        HeldFrameClock clock;
        Core::Timer timer;
        ASSERT_TRUE(timer.Start(&handler, 1000.0, &clock));
        ASSERT_TRUE(handler.WaitFor(1));
        clock.position.store(c.position);
        clock.held.store(false);
        timer.ReTime(c.newInterval);
        ASSERT_TRUE(handler.WaitFor(3));
        timer.Stop();
        EXPECT_EQ(handler.Due(1) - handler.Due(0), c.expected) << c.position << " frames in";
        EXPECT_EQ(handler.Due(2) - handler.Due(1), PeriodNs(c.newInterval));
    }
}

// ReTime and Stop called from inside a tick take effect without a deadlock.
TEST(TimerThread, ReTimeAndStopFromInsideATickTakeEffect)
{
    RecordingHandler handler;
    Core::Timer timer;
    handler.onTick_ = [&timer](std::size_t n) {
        if (n == 2)
            timer.ReTime(40.0);
        if (n == 5)
            timer.Stop();
    };
    ASSERT_TRUE(timer.Start(&handler, 10.0));
    ASSERT_TRUE(handler.WaitFor(6));
    timer.Stop(); // from this thread: returns once the timer thread has ended
    EXPECT_EQ(handler.Count(), 6u);
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(handler.Due(1) - handler.Due(0), PeriodNs(10.0));
    EXPECT_EQ(handler.Due(5) - handler.Due(4), PeriodNs(40.0));
}

TEST(TimerThread, RapidRestartsNeverLeaveTwoThreadsTicking)
{
    RecordingHandler handler;
    Core::Timer timer;
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(timer.Start(&handler, 1.0));
        if (i % 3 == 0)
            timer.Stop(); // and sometimes a Start straight over a running timer
    }
    timer.Stop();
    const std::size_t from = handler.Count();
    ASSERT_TRUE(timer.Start(&handler, 2.0));
    ASSERT_TRUE(handler.WaitFor(from + 30));
    timer.Stop();

    EXPECT_EQ(handler.MaxInside(), 1);
    // After the last start every tick comes from one thread on one grid; a second ticking
    // thread would put extra ticks between the grid points.
    const std::size_t last = std::min(handler.Count(), RecordingHandler::Capacity) - 1;
    for (std::size_t n = from + 1; n <= last; ++n) {
        EXPECT_EQ(handler.Due(n) - handler.Due(n - 1), PeriodNs(2.0)) << "tick " << n;
        EXPECT_EQ(handler.Thread(n), handler.Thread(from));
    }
}

TEST(TimerThread, PriorityFailureIsReportedOnceAndTheThreadTicksOn)
{
    TestSupport::ScopedLog log;
    FailingScheduling scheduling;
    RecordingHandler handler;
    Core::Timer timer(scheduling);
    for (int start = 0; start < 3; ++start) {
        ASSERT_TRUE(timer.Start(&handler, 5.0));
        ASSERT_TRUE(handler.WaitFor(5 * (start + 1)));
        timer.Stop();
    }

    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 6u); // one report
    EXPECT_NE(lines[0].find("  [Error]  System error: Error calling SetThreadPriority"), std::string::npos);
    EXPECT_EQ(lines[5], "\tDescription: Operation not permitted");
}
