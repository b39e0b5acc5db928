#include "Configuration/ConfigurationData.h"
#include "Core/Engine/StandardTimerStrategy.h"
#include "Core/Engine/StepSequencerTimerStrategy.h"
#include "Core/Engine/Timer.h"
#include "Core/Engine/TimerFlags.h"

#include <gtest/gtest.h>


using Configuration::ConfigurationData;

namespace {

struct StandardCase {
    int bpm;
    int ticksPerBeat;
    int visualIndicator;
    double intervalMs;
};

class StandardTimerInterval : public ::testing::TestWithParam<StandardCase> {};

} // namespace

TEST_P(StandardTimerInterval, FollowsTempoTicksAndLamp)
{
    const StandardCase c = GetParam();
    ConfigurationData data;
    data.Bpm = c.bpm;
    data.VisualIndicator = c.visualIndicator;
    Core::StandardTimerStrategy strategy;
    strategy.Initialise(data, {.TicksPerBeat = c.ticksPerBeat});
    EXPECT_NEAR(strategy.GetInterval(), c.intervalMs, 1e-9);
    EXPECT_EQ(strategy.GetBpm(), static_cast<unsigned>(c.bpm));
    EXPECT_FALSE(strategy.IsTempoLocked());
    EXPECT_EQ(strategy.OnTick(0x0001), Core::TimerFlags::PlayEntry);
    strategy.SetBpm(2 * c.bpm);
    EXPECT_NEAR(strategy.GetInterval(), c.intervalMs / 2, 1e-9);
    EXPECT_EQ(strategy.GetBpm(), static_cast<unsigned>(2 * c.bpm));
}

// Worked by hand: 60000 / (bpm x ticks per beat); a plain beat with the lamp on ticks twice.
INSTANTIATE_TEST_SUITE_P(Tempi, StandardTimerInterval,
                         ::testing::Values(StandardCase{120, 0, 0, 500.0},
                                           StandardCase{120, 0, 1, 250.0},
                                           StandardCase{120, 6, 1, 83.333333333333329},
                                           StandardCase{120, 16, 0, 31.25},
                                           StandardCase{10, 0, 0, 6000.0},
                                           StandardCase{400, 0, 1, 75.0},
                                           StandardCase{400, 64, 0, 2.34375},
                                           StandardCase{133, 4, 0, 112.78195488721805}));

namespace {

struct SequencerCase {
    int bpm;
    int ticksPerBeat;
    double intervalMs;
};

class StepSequencerTiming : public ::testing::TestWithParam<SequencerCase> {};

} // namespace

TEST_P(StepSequencerTiming, TicksOncePerStepAndReportsIt)
{
    const SequencerCase c = GetParam();
    ConfigurationData data;
    data.Bpm = c.bpm;
    Core::StepSequencerTimerStrategy strategy;
    strategy.Initialise(data, {.TicksPerBeat = c.ticksPerBeat});
    EXPECT_NEAR(strategy.GetInterval(), c.intervalMs, 1e-9);
    for (int step = 0; step < 3; ++step)
        EXPECT_EQ(strategy.OnTick(0), Core::TimerFlags::PlayEntry | Core::TimerFlags::StepPlayed) << "step " << step;
    strategy.SetBpm(2 * c.bpm);
    EXPECT_NEAR(strategy.GetInterval(), c.intervalMs / 2, 1e-9);
}

// One tick per step: ticks per beat steps to a beat (one for 0).
INSTANTIATE_TEST_SUITE_P(Tempi, StepSequencerTiming,
                         ::testing::Values(SequencerCase{100, 4, 150.0}, SequencerCase{49, 2, 30000.0 / 49},
                                           SequencerCase{199, 0, 60000.0 / 199},
                                           SequencerCase{400, 8, 60000.0 / 8 / 400}));
