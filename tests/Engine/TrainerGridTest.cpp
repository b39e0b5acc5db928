// The speed trainer over the whole grid of settings it accepts: every run's levels move
// monotonically from the start tempo to the end tempo, and every interval the timer is given
// is a real, bounded one.
#include "Configuration/ConfigurationData.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Engine/TimerFlags.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

using namespace Core::TimerFlags;

namespace {

struct TrainerLevelsRun {
    std::vector<std::uint32_t> tempos; // GetBpm of each level, the start level first
    bool intervalsBounded = true;
    bool completed = false;
};

// One timer tick per level as far as the level lengths allow (a hundredth of a minute shared
// by all levels), no warm-up or warm-down.
TrainerLevelsRun RunLevels(const Configuration::ConfigurationData& settings, Core::StrategySet& strategies)
{
    Core::SpeedTrainerTimerStrategy& strategy = strategies.trainer;
    strategy.Initialise(settings, {1, 0, strategies.TrainerCurveFor(settings)});
    TrainerLevelsRun run;
    run.tempos.push_back(strategy.GetBpm());
    // Four timer ticks per beat: between 1 and 1000 bpm an interval lies within these.
    const auto bounded = [](double interval) { return std::isfinite(interval) && interval >= 15.0 && interval <= 15000.0; };
    run.intervalsBounded = bounded(strategy.GetInterval());
    for (int tick = 0; tick < 200'000; ++tick) {
        const std::uint32_t flags = strategy.OnTick(0x11);
        if ((flags & RunComplete) != 0) {
            run.completed = true;
            break;
        }
        if ((flags & TempoChanged) != 0) {
            run.tempos.push_back(strategy.GetBpm());
            run.intervalsBounded = run.intervalsBounded && bounded(strategy.GetInterval());
        }
    }
    return run;
}

std::string Describe(const Configuration::ConfigurationData& s, const TrainerLevelsRun& run)
{
    std::ostringstream out;
    out << "Bpm " << s.Bpm << ", From " << s.From << ", To " << s.To << ", Step " << s.Step
        << (s.Logarithmic != 0 ? ", logarithmic:" : ", linear:");
    for (std::size_t i = 0; i < run.tempos.size() && i < 40; ++i)
        out << ' ' << run.tempos[i];
    return out.str();
}

} // namespace

TEST(TrainerGrid, EveryAcceptedRunMovesMonotonicallyToItsEndTempo)
{
    const int tempos[] = {4, 5, 10, 25, 60, 100, 133, 240, 400, 1000};
    const float steps[] = {0.0001f, 0.001f, 0.01f, 0.02f, 0.03f, 0.05f, 0.07f, 0.1f, 0.15f, 0.25f, 0.5f, 1.0f};
    int runs = 0;
    int failures = 0;
    Core::StrategySet strategies;
    for (const int bpm : tempos)
        for (int from = 0; from <= 20; ++from)
            for (int to = 0; to <= 20; ++to)
                for (const float step : steps)
                    for (const int logarithmic : {0, 1}) {
                        Configuration::ConfigurationData s;
                        s.SpeedTrainer = Configuration::TrainerMode::On;
                        s.Bpm = bpm;
                        s.From = static_cast<float>(from) / 20.0f;
                        s.To = static_cast<float>(to) / 20.0f;
                        s.Step = step;
                        s.Logarithmic = logarithmic;
                        s.Duration = 0.01f;
                        s.Warmup = 0.0f;
                        s.Warmdown = 0.0f;
                        if (Core::ChooseTrainerCurveKind(s) == Core::TrainerCurveKind::NoTempoChange)
                            continue;
                        ++runs;
                        const TrainerLevelsRun run = RunLevels(s, strategies);
                        const auto first = static_cast<std::int64_t>(static_cast<float>(bpm) * s.From);
                        const auto last = static_cast<std::int64_t>(static_cast<float>(bpm) * s.To);
                        const std::int64_t direction = last >= first ? 1 : -1;
                        bool ok = run.completed && run.intervalsBounded && run.tempos.size() >= 2
                                  && run.tempos.front() == first && run.tempos.back() == last;
                        for (std::size_t i = 1; ok && i < run.tempos.size(); ++i) {
                            const std::int64_t change = direction * (std::int64_t{run.tempos[i]} - run.tempos[i - 1]);
                            ok = change >= 0;
                            // Large steps first (the truncated display may wobble by one).
                            if (ok && logarithmic != 0 && i >= 2)
                                ok = change <= direction * (std::int64_t{run.tempos[i - 1]} - run.tempos[i - 2]) + 1;
                        }
                        if (!ok && ++failures <= 10)
                            ADD_FAILURE() << Describe(s, run);
                    }
    EXPECT_EQ(failures, 0) << "of " << runs << " runs";
    EXPECT_GT(runs, 10000);
}
