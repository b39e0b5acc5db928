// Tap tempo on a clock and a series timer driven by hand.
#include "Core/Engine/TapTempo.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t Ms = 1'000'000;

class ManualSeriesTimer final : public Core::ITapSeriesTimer {
public:
    bool Start(std::uint32_t intervalMs, std::function<void()> onTimer) override
    {
        interval = intervalMs;
        callback = std::move(onTimer);
        running = true;
        ++starts;
        return !failStart;
    }
    void Stop() override { running = false; }
    void Fire()
    {
        if (running)
            callback();
    }

    std::function<void()> callback;
    std::uint32_t interval = 0;
    bool running = false;
    bool failStart = false;
    int starts = 0;
};

// One step of a series: after `afterMs`, a tap ('T', 'C' with Ctrl, 'S' with Shift, 'B' with
// both; 'P' stamped then, a pedal's, and handled 40 ms later than the one before) giving `expected`, or the series timer firing ('F') with the series `expected` (1) or
// not (0) still active afterwards.
struct Step {
    char action;
    int afterMs;
    int expected;
};

std::vector<Step> Even(int taps, int apartMs, std::vector<int> results)
{
    std::vector<Step> steps;
    for (int i = 0; i < taps; ++i)
        steps.push_back({'T', i == 0 ? 0 : apartMs, results[static_cast<std::size_t>(i)]});
    return steps;
}

} // namespace

TEST(TapTempo, SeriesGiveTheirTempo)
{
    const struct {
        const char* name;
        std::vector<Step> steps;
        int starts = 1; // series timers started
        bool failTimer = false;
    } cases[] = {
        {"half-second taps give 120 from the third", Even(5, 500, {0, 0, 120, 120, 120})},
        {"Ctrl doubles, Shift halves, Ctrl wins",
         {{'T', 0, 0}, {'T', 500, 0}, {'C', 500, 240}, {'S', 500, 60}, {'B', 500, 240}}},
        {"kept within 10 to 400",
         {{'T', 0, 0}, {'T', 100, 0}, {'T', 100, 400}, {'S', 100, 300}, {'T', 0, 400}, {'T', 0, 400}}},
        {"the last two intervals count", {{'T', 0, 0}, {'T', 1000, 0}, {'T', 500, 80}, {'T', 500, 120}}},
        {"a pedal's taps count from their stamps", {{'P', 0, 0}, {'P', 500, 0}, {'P', 500, 120}, {'T', 500, 107}}},
        {"after nine taps the series counts afresh",
         Even(12, 500, {0, 0, 120, 120, 120, 120, 120, 120, 120, 0, 0, 120})},
        {"the timer ends a series whose last tap is three seconds old",
         {{'T', 0, 0},
          {'T', 500, 0},
          {'T', 500, 120},
          {'F', 2000, 1},
          {'F', 1000, 0},
          {'T', 0, 0},
          {'T', 500, 0},
          {'T', 500, 120}},
         2},
        {"taps five seconds apart", {{'T', 0, 0}, {'F', 3000, 0}, {'T', 2000, 0}, {'F', 3000, 0}, {'T', 2000, 0}}, 3},
        {"without a timer the next late tap ends the series",
         {{'T', 0, 0}, {'T', 500, 0}, {'T', 500, 120}, {'T', 3000, 0}, {'T', 500, 0}, {'T', 500, 120}},
         2,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t now = 100'000 * Ms;
        std::int64_t late = 0; // how long after its stamp a pedal's tap is handled
        ManualSeriesTimer timer;
        timer.failStart = c.failTimer;
        Core::TapTempo tapper{timer, [&] { return now + late; }, 1'000'000'000};
        for (const Step& step : c.steps) {
            now += step.afterMs * Ms;
            if (step.action == 'F') {
                timer.Fire();
                EXPECT_EQ(tapper.SeriesActive(), step.expected == 1);
            } else if (step.action == 'P') {
                late += 40 * Ms;
                EXPECT_EQ(tapper.Tap(false, false, now), step.expected);
            } else {
                EXPECT_EQ(
                    tapper.Tap(step.action == 'C' || step.action == 'B', step.action == 'S' || step.action == 'B'),
                    step.expected);
            }
        }
        EXPECT_EQ(timer.starts, c.starts);
        EXPECT_EQ(timer.interval, 3000u);
    }
}

TEST(TapTempo, WithoutAClockLogsOnceAndNeverDividesByZero)
{
    TestSupport::ScopedLog log;
    ManualSeriesTimer timer;
    std::int64_t now = 0;
    Core::TapTempo tapper(timer, [&now] { return now; }, 0);
    for (int i = 0; i < 4; ++i, now += 1000)
        EXPECT_EQ(tapper.Tap(false, false), 0);
    EXPECT_EQ(timer.starts, 0);
    EXPECT_TRUE(log.Has("QueryPerformanceFrequency not supported on this system"));
}
