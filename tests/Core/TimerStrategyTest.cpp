// The timer strategies' intervals: 60000 / (bpm x ticks per beat), a plain beat with the lamp
// ticking twice, a step-sequencer run once per step (reported); a new tempo takes effect.
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/StandardTimerStrategy.h"
#include "Core/Engine/StepSequencerTimerStrategy.h"
#include "Core/Engine/TimerFlags.h"

#include <gtest/gtest.h>

using namespace Core::TimerFlags;

TEST(TimerStrategies, IntervalsFollowTempoTicksAndLamp)
{
    const struct {
        bool sequencer;
        int bpm, ticksPerBeat, lamp;
        double intervalMs;
        std::uint32_t flags; // of a tick playing an entry
    } cases[] = {
        {false, 120, 0, 0, 500.0, PlayEntry},      {false, 120, 0, 1, 250.0, PlayEntry},
        {false, 120, 6, 1, 250.0 / 3, PlayEntry},  {false, 400, 64, 0, 2.34375, PlayEntry},
        {false, 133, 4, 0, 15000.0 / 133, PlayEntry},
        {true, 100, 4, 1, 150.0, PlayEntry | StepPlayed}, {true, 199, 0, 1, 60000.0 / 199, PlayEntry | StepPlayed},
    };
    for (const auto& c : cases) {
        Configuration::ConfigurationData data;
        data.Bpm = c.bpm;
        data.VisualIndicator = c.lamp;
        Core::StandardTimerStrategy standard;
        Core::StepSequencerTimerStrategy sequencer;
        Core::ITimerStrategy& strategy = c.sequencer ? static_cast<Core::ITimerStrategy&>(sequencer) : standard;
        strategy.Initialise(data, {.TicksPerBeat = c.ticksPerBeat});
        EXPECT_NEAR(strategy.GetInterval(), c.intervalMs, 1e-9) << c.bpm << " bpm, " << c.ticksPerBeat << " ticks";
        EXPECT_EQ(strategy.OnTick(c.sequencer ? 0 : 1), c.flags);
        strategy.SetBpm(2 * c.bpm);
        EXPECT_NEAR(strategy.GetInterval(), c.intervalMs / 2, 1e-9);
        EXPECT_EQ(strategy.GetBpm(), static_cast<unsigned>(2 * c.bpm));
    }
}
