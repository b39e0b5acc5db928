// The trainer that waits: the gate's verdicts, hits counted for the level they fall in, and a
// trainer run that repeats a level played badly and then stops.
#include "Core/Engine/SpeedTrainerTimerStrategy.h"
#include "Core/Engine/TimerFlags.h"
#include "Core/Engine/TrainerCurves.h"
#include "Core/Engine/TrainerGate.h"
#include "Core/Engine/RunState.h"

#include "Configuration/ConfigurationData.h"

#include <gtest/gtest.h>

using Core::GateVerdict;

TEST(TrainerGate, JudgesALevelByItsMeanSpreadAndRepeats)
{
    const Core::GateLimits limits{10, 15, 3};
    const struct {
        Core::LevelFigures figures;
        int repeated;
        GateVerdict verdict;
    } rows[] = {
        {{12, 4.0, 8.0}, 0, GateVerdict::Advance},   {{12, -10.0, 15.0}, 3, GateVerdict::Advance},
        {{12, 10.5, 5.0}, 0, GateVerdict::Repeat},   {{12, -10.5, 5.0}, 2, GateVerdict::Repeat},
        {{12, 2.0, 15.5}, 1, GateVerdict::Repeat},   {{3, 0.0, 0.0}, 0, GateVerdict::Repeat},
        {{0, 0.0, 0.0}, 0, GateVerdict::Repeat},     {{12, 30.0, 5.0}, 3, GateVerdict::Stop},
        {{12, 0.0, 40.0}, 3, GateVerdict::Stop},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Core::JudgeLevel(row.figures, row.repeated, limits), row.verdict)
            << row.figures.hits << " hits, mean " << row.figures.meanMs << ", spread " << row.figures.spreadMs
            << ", repeated " << row.repeated;
    EXPECT_EQ(Core::JudgeLevel({12, 30.0, 5.0}, 0, {10, 15, 0}), GateVerdict::Stop);
}

TEST(TrainerGate, CountsEachHitForTheLevelItFallsIn)
{
    Core::TrainerGate gate;
    gate.Arm({10, 15, 3});
    gate.BeginRun();
    gate.Hit(50, 40.0); // the warm-up's
    gate.StartLevel(100);
    for (const double error : {2.0, -4.0, 6.0, 0.0})
        gate.Hit(200, error);
    EXPECT_EQ(gate.EndLevel(1000), GateVerdict::Advance);
    EXPECT_EQ(gate.LastFigures().hits, 4);
    EXPECT_DOUBLE_EQ(gate.LastFigures().meanMs, 1.0);
    gate.Hit(900, 0.0); // heard after the level was judged: not the next level's
    for (const double error : {30.0, 32.0, 28.0, 30.0})
        gate.Hit(1100, error);
    EXPECT_EQ(gate.EndLevel(2000), GateVerdict::Repeat);
    EXPECT_EQ(gate.LastFigures().hits, 4);
    EXPECT_DOUBLE_EQ(gate.LastFigures().meanMs, 30.0);
    EXPECT_EQ(gate.Repeated(), 1);
}

TEST(TrainerGate, ARunRepeatsALevelPlayedBadlyThenStops)
{
    Configuration::ConfigurationData settings;
    settings.SpeedTrainer = Configuration::TrainerMode::On;
    settings.Warmup = settings.Warmdown = 0;
    Core::LinearTrainerStrategy curve;
    Core::TrainerGate gate;
    gate.Arm({10, 15, 2});
    Core::SpeedTrainerTimerStrategy strategy;
    strategy.Initialise(settings, {0, 0, &curve, &gate});
    const std::uint32_t first = strategy.GetBpm();
    int changes = 0;
    std::uint32_t flags = 0;
    for (int tick = 0; tick < 1'000'000 && (flags & Core::TimerFlags::RunComplete) == 0; ++tick) {
        flags = strategy.OnTick(0x11);
        changes += (flags & Core::TimerFlags::TempoChanged) != 0;
        EXPECT_EQ(strategy.GetBpm(), first); // nobody played: the first level never moves on
    }
    EXPECT_NE(flags & Core::TimerFlags::RunComplete, 0u);
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(gate.Stopped());
}
