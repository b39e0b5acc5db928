// Tap tempo on a clock and a series timer driven by hand.
#include "Core/Engine/TapTempo.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t Second = 1'000'000'000;

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

class TapTempoTest : public ::testing::Test {
protected:
    std::int64_t now = 100 * Second;
    ManualSeriesTimer timer;
    Core::TapTempo tapper{timer, [this] { return now; }, Second};

    // Taps every `apart` nanoseconds; returns each tap's result.
    std::vector<int> TapSeries(int taps, std::int64_t apart, bool ctrl = false, bool shift = false)
    {
        std::vector<int> results;
        for (int i = 0; i < taps; ++i) {
            if (i > 0)
                now += apart;
            results.push_back(tapper.Tap(ctrl, shift));
        }
        return results;
    }
};

} // namespace

TEST_F(TapTempoTest, HalfSecondTapsGive120FromTheThirdTap)
{
    EXPECT_EQ(TapSeries(5, Second / 2), (std::vector<int>{0, 0, 120, 120, 120}));
    EXPECT_TRUE(timer.running);
    EXPECT_EQ(timer.interval, 3000u);
}

TEST_F(TapTempoTest, CtrlDoublesAndShiftHalves)
{
    TapSeries(2, Second / 2);
    now += Second / 2;
    EXPECT_EQ(tapper.Tap(true, false), 240);
    now += Second / 2;
    EXPECT_EQ(tapper.Tap(false, true), 60);
    now += Second / 2;
    EXPECT_EQ(tapper.Tap(true, true), 240); // Ctrl wins
}

TEST_F(TapTempoTest, ResultsAreKeptWithin10To400)
{
    EXPECT_EQ(TapSeries(3, Second / 10).back(), 400); // 600 before the limit
    now += Second / 10;
    EXPECT_EQ(tapper.Tap(false, true), 300);
    // Taps at the very same instant are as fast as it gets, never a division by zero.
    EXPECT_EQ(TapSeries(3, 0).back(), 400);
}

TEST_F(TapTempoTest, UnevenTapsUseTheLastTwoIntervals)
{
    // 1 s, then 0.5 s and 0.5 s: the first interval no longer counts at the fourth tap.
    now += 0;
    tapper.Tap(false, false);
    now += Second;
    tapper.Tap(false, false);
    now += Second / 2;
    EXPECT_EQ(tapper.Tap(false, false), 80); // 1.5 s for two beats
    now += Second / 2;
    EXPECT_EQ(tapper.Tap(false, false), 120);
}

TEST_F(TapTempoTest, AfterNineTapsTheSeriesCountsAfresh)
{
    EXPECT_EQ(TapSeries(12, Second / 2), (std::vector<int>{0, 0, 120, 120, 120, 120, 120, 120, 120, 0, 0, 120}));
    EXPECT_EQ(timer.starts, 1); // the wrap does not end the series
}

TEST_F(TapTempoTest, SeriesEndsWhenItsTimerFindsTheLastTapThreeSecondsOld)
{
    TapSeries(3, Second / 2);
    now += 2 * Second;
    timer.Fire();
    EXPECT_TRUE(tapper.SeriesActive());
    now += Second;
    timer.Fire();
    EXPECT_FALSE(tapper.SeriesActive());
    EXPECT_FALSE(timer.running);
    // The next taps start a new series.
    EXPECT_EQ(TapSeries(3, Second / 2), (std::vector<int>{0, 0, 120}));
}

TEST_F(TapTempoTest, TapsFiveSecondsApartNeverGiveATempo)
{
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tapper.Tap(false, false), 0);
        now += 3 * Second;
        timer.Fire();
        now += 2 * Second;
    }
}

TEST_F(TapTempoTest, WithoutATimerTheSeriesEndsAtTheNextLateTap)
{
    timer.failStart = true;
    EXPECT_EQ(TapSeries(3, Second / 2).back(), 120);
    now += 3 * Second;
    EXPECT_EQ(TapSeries(3, Second / 2), (std::vector<int>{0, 0, 120}));
}

TEST(TapTempoWithoutClock, LogsOnceAndNeverDividesByZero)
{
    TestSupport::ScopedLog log;
    ManualSeriesTimer timer;
    std::int64_t now = 0;
    Core::TapTempo tapper(timer, [&now] { return now; }, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tapper.Tap(false, false), 0);
        now += 1000;
    }
    timer.Fire();
    EXPECT_EQ(timer.starts, 0);
    EXPECT_NE(log.Content().find("QueryPerformanceFrequency not supported on this system"), std::string::npos);
}
