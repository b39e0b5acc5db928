// The speed trainer: curve choice, the curves' tempo levels, the timer strategy's phases tick
// by tick, and bar-mode counting through the controller.
#include "EngineFakes.h"

#include "Core/Engine/TimerFlags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace EngineFakes;
using Configuration::ConfigurationData;
using namespace Core::TimerFlags;

namespace {

ConfigurationData TrainerSettings()
{
    ConfigurationData settings = Rig::VoiceSettings();
    settings.SpeedTrainer = Configuration::TrainerMode::On;
    settings.Bpm = 120;
    settings.From = 0.5f;
    settings.To = 1.0f;
    settings.Step = 0.1f;
    settings.Duration = 5.0f;
    settings.Warmup = 1.0f;
    settings.Warmdown = 1.0f;
    return settings;
}

struct Level {
    std::uint32_t tempo;
    int ticks;
    bool operator==(const Level&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Level& level)
{
    return out << "{" << level.tempo << " bpm, " << level.ticks << " ticks}";
}

// Runs a trainer timer strategy to its end: the warm-up ticks before the end-of-warm-up
// signal, then each level's tempo and timer ticks (a level ends on the tick that changes the
// tempo or completes the run).
struct TrainerLevels {
    int warmUpTicks = -1;
    std::vector<Level> levels;
    std::vector<double> intervals;
    int playedEntries = 0;
};

TrainerLevels RunToTheEnd(Core::SpeedTrainerTimerStrategy& strategy, std::uint16_t patternFlags = 0x11)
{
    TrainerLevels run;
    int ticks = 0;
    std::uint32_t tempo = strategy.GetBpm();
    run.intervals.push_back(strategy.GetInterval());
    for (int tick = 1; tick < 10'000'000; ++tick) {
        const std::uint32_t flags = strategy.OnTick(patternFlags);
        run.playedEntries += (flags & PlayEntry) != 0;
        ++ticks;
        if ((flags & WarmupEnded) != 0) {
            run.warmUpTicks = tick - 1;
            ticks = 1; // the signal's tick is the first of the first level
        }
        if ((flags & (TempoChanged | RunComplete)) != 0) {
            run.levels.push_back({tempo, ticks});
            tempo = strategy.GetBpm();
            run.intervals.push_back(strategy.GetInterval());
            ticks = 0;
        }
        if ((flags & RunComplete) != 0)
            break;
    }
    return run;
}

} // namespace

TEST(TrainerCurveChoice, SmallRangesLargeStepsAndTheLogarithmicMinimum)
{
    ConfigurationData settings = TrainerSettings();
    EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), Core::TrainerCurveKind::Linear);
    settings.From = 0.98f;
    EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), Core::TrainerCurveKind::NoTempoChange);
    settings.From = 0.5f;
    settings.Logarithmic = 1;
    settings.Step = 0.3f; // 3.83 levels: too few for the logarithmic curve
    EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), Core::TrainerCurveKind::Linear);
    settings.Step = 0.25f; // 4.5 levels
    EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), Core::TrainerCurveKind::Logarithmic);
    settings.Step = 0.01f; // a step below 1 bpm
    EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), Core::TrainerCurveKind::NoTempoChange);
    settings.Step = 1.0f; // a single step
    settings.Logarithmic = 0;
    EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), Core::TrainerCurveKind::Linear);
}

TEST(TrainerCurves, LinearStepsLandOnTheEndTempo)
{
    Core::LinearTrainerStrategy curve;
    ASSERT_EQ(curve.Initialise({60.0f, 120.0f, 60, 18.0f}), 4);
    EXPECT_FLOAT_EQ(curve.NextStep(), 80.0f);
    EXPECT_FLOAT_EQ(curve.NextStep(), 100.0f);
    EXPECT_FLOAT_EQ(curve.NextStep(), 120.0f);

    // 100 bpm in 7 steps: 14.2857 a step does not add up exactly in single precision.
    ASSERT_EQ(curve.Initialise({50.0f, 150.0f, 100, 14.0f}), 8);
    float tempo = 0.0f;
    for (int i = 0; i < 7; ++i)
        tempo = curve.NextStep();
    EXPECT_EQ(static_cast<int>(tempo), 150);
}

TEST(TrainerCurves, LogarithmicStepsShrinkAndEndOnTheTarget)
{
    struct Case {
        float start, end;
        int range;
        float step;
    };
    for (const Case c : {Case{60.0f, 120.0f, 60, 6.0f}, Case{60.0f, 240.0f, 180, 18.0f}, Case{120.0f, 60.0f, -60, -6.0f},
                         Case{60.0f, 120.0f, 60, 12.0f}}) {
        Core::LogarithmicTrainerStrategy curve;
        const int levels = curve.Initialise({c.start, c.end, c.range, c.step});
        float previous = c.start;
        float previousStep = 1e9f;
        for (int level = 1; level < levels; ++level) {
            const float tempo = curve.NextStep();
            const float step = std::fabs(tempo - previous);
            EXPECT_LT(step, previousStep) << c.start << " to " << c.end << ", level " << level;
            previousStep = step;
            previous = tempo;
        }
        EXPECT_EQ(static_cast<int>(previous), static_cast<int>(c.end)) << c.start << " to " << c.end;
    }
}

TEST(TrainerCurves, WarmDownWalksBackOrHoldsASlowingRunsEnd)
{
    Core::LinearTrainerStrategy linear;
    linear.Initialise({60.0f, 120.0f, 60, 6.0f});
    for (int i = 0; i < 10; ++i)
        linear.NextStep();
    EXPECT_FLOAT_EQ(linear.StartWarmDown(4), 105.0f);
    EXPECT_FLOAT_EQ(linear.NextStep(), 90.0f);

    Core::LogarithmicTrainerStrategy logarithmic;
    for (Core::ISpeedTrainerStrategy* curve : {static_cast<Core::ISpeedTrainerStrategy*>(&linear),
                                               static_cast<Core::ISpeedTrainerStrategy*>(&logarithmic)}) {
        curve->Initialise({120.0f, 60.0f, -60, -6.0f});
        float end = 0.0f;
        for (int i = 0; i < 10; ++i)
            end = curve->NextStep();
        EXPECT_FLOAT_EQ(curve->StartWarmDown(4), end);
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(curve->NextStep(), end);
    }
}

TEST(SpeedTrainerTimer, LinearRunInMinutesLevelByLevel)
{
    ConfigurationData settings = TrainerSettings();
    Core::LinearTrainerStrategy curve;
    Core::SpeedTrainerTimerStrategy strategy;
    strategy.Initialise(settings, {0, 0, &curve});
    EXPECT_EQ(strategy.GetBpm(), 60u);
    EXPECT_DOUBLE_EQ(strategy.GetInterval(), 125.0);
    EXPECT_TRUE(strategy.IsTempoLocked());

    const TrainerLevels run = RunToTheEnd(strategy);
    EXPECT_EQ(run.warmUpTicks, 480); // one minute of 125 ms ticks
    // Eleven levels of 27272 ms each (five minutes shared), then four warm-down levels of 15 s.
    const std::vector<Level> expected{{60, 218},  {66, 239},  {72, 261},  {78, 283}, {84, 305},
                                      {90, 327},  {96, 349},  {102, 370}, {108, 392}, {114, 414},
                                      {120, 436}, {105, 211}, {90, 180},  {75, 150},  {60, 120}};
    EXPECT_EQ(run.levels, expected);
    EXPECT_DOUBLE_EQ(run.intervals[11], 71.0); // 60000 / 840 in whole milliseconds
    // Every fourth timer tick plays a pattern entry.
    int total = run.warmUpTicks;
    for (const Level& level : run.levels)
        total += level.ticks;
    EXPECT_EQ(run.playedEntries, (total + 3) / 4);
}

TEST(SpeedTrainerTimer, NoTempoChangeIsOneLevelThenTheWarmDown)
{
    ConfigurationData settings = TrainerSettings();
    settings.From = 0.99f;
    settings.Warmup = 0.0f;
    Core::StrategySet strategies;
    Core::SpeedTrainerTimerStrategy& strategy = strategies.trainer;
    strategy.Initialise(settings, {0, 0, strategies.TrainerCurveFor(settings)});
    const TrainerLevels run = RunToTheEnd(strategy);
    EXPECT_EQ(run.warmUpTicks, -1); // no warm-up, no signal
    ASSERT_EQ(run.levels.size(), 5u);
    for (const Level& level : run.levels)
        EXPECT_EQ(level.tempo, 118u);
    // Five minutes at 118.8 bpm in eighth-beat ticks.
    EXPECT_EQ(run.levels[0].ticks, 4752);
}

TEST(SpeedTrainerTimer, SlowingRunStepsDownAndHoldsItsEndTempo)
{
    ConfigurationData settings = TrainerSettings();
    settings.From = 1.0f;
    settings.To = 0.5f;
    settings.Warmup = 0.0f;
    Core::StrategySet strategies;
    Core::SpeedTrainerTimerStrategy& strategy = strategies.trainer;
    strategy.Initialise(settings, {0, 0, strategies.TrainerCurveFor(settings)});
    const TrainerLevels run = RunToTheEnd(strategy);
    ASSERT_EQ(run.levels.size(), 15u);
    for (int level = 0; level < 11; ++level)
        EXPECT_EQ(run.levels[static_cast<std::size_t>(level)].tempo, static_cast<std::uint32_t>(120 - 6 * level));
    for (int level = 11; level < 15; ++level)
        EXPECT_EQ(run.levels[static_cast<std::size_t>(level)].tempo, 60u);
}

TEST(SpeedTrainerTimer, RunFromZeroPercentStillTicks)
{
    ConfigurationData settings = TrainerSettings();
    settings.From = 0.0f;
    Core::StrategySet strategies;
    Core::SpeedTrainerTimerStrategy& strategy = strategies.trainer;
    strategy.Initialise(settings, {0, 0, strategies.TrainerCurveFor(settings)});
    EXPECT_TRUE(std::isfinite(strategy.GetInterval()));
    EXPECT_GT(strategy.GetInterval(), 0.0);
}

namespace {

class TrainerRun : public ::testing::Test {
public:
    Rig rig;
    ConfigurationData settings = TrainerSettings();

    // Ticks until the run has changed its tempo `levels` times (or has ended) and returns how
    // many beats (sounds of beatVoices) each level played. Counting starts afresh at the
    // end-of-warm-up signal.
    std::vector<int> BeatsPerLevel(std::size_t levels, std::vector<std::uint32_t> beatVoices)
    {
        std::vector<int> counts;
        int beats = 0;
        std::size_t soundsSeen = rig.engine.sounds.size();
        std::size_t reportsSeen = rig.handler.beats.size();
        while (counts.size() < levels && rig.timer.running) {
            rig.timer.Tick(1);
            for (; soundsSeen < rig.engine.sounds.size(); ++soundsSeen) {
                const std::uint32_t voice = rig.engine.sounds[soundsSeen].sound + 1;
                beats += std::find(beatVoices.begin(), beatVoices.end(), voice) != beatVoices.end();
            }
            for (; reportsSeen < rig.handler.beats.size(); ++reportsSeen) {
                const std::uint8_t flags = rig.handler.beats[reportsSeen].flags;
                if ((flags & WarmupEnded) != 0)
                    beats = 0;
                if ((flags & TempoChanged) != 0) {
                    counts.push_back(beats);
                    beats = 0;
                }
            }
        }
        return counts;
    }

    int TicksToFirstTempoChange()
    {
        for (int tick = 1; tick < 100000; ++tick) {
            const std::size_t reports = rig.handler.beats.size();
            rig.timer.Tick(1);
            if (rig.handler.beats.size() > reports && (rig.handler.beats.back().flags & TempoChanged) != 0)
                return tick;
        }
        return -1;
    }
};

} // namespace

TEST_F(TrainerRun, StartReportsTheTrainersTempoAndIgnoresTempoChanges)
{
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.log.back(), "OnTrainerStarted 60 warm-up");
    EXPECT_DOUBLE_EQ(rig.timer.interval, 125.0);
    rig.metronome.ChangeTempo(200);
    EXPECT_EQ(rig.timer.reTimes, 0);
    EXPECT_DOUBLE_EQ(rig.timer.interval, 125.0);
    EXPECT_EQ(rig.strategies.trainer.GetBpm(), 60u);
}

TEST_F(TrainerRun, TempoStepIsReportedAndSignalledOnlyWithBeep)
{
    settings.Beep = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(TicksToFirstTempoChange(), 480 + 218);
    EXPECT_EQ(rig.handler.beats.back().tempo, 66u);
    EXPECT_NEAR(rig.timer.interval, 60000.0 / (66 * 8), 1e-9);
    const std::vector<std::uint32_t> voices = rig.Voices();
    EXPECT_EQ(std::count(voices.begin(), voices.end(), 6u), 0);

    rig.metronome.Stop();
    settings.Beep = 1;
    rig.engine.sounds.clear();
    ASSERT_EQ(rig.Start(settings), 0u);
    TicksToFirstTempoChange();
    const std::vector<std::uint32_t> signalled = rig.Voices();
    EXPECT_EQ(std::count(signalled.begin(), signalled.end(), 6u), 2); // end of warm-up and the step
    EXPECT_EQ(signalled.back(), 6u);
}

TEST_F(TrainerRun, PauseAndResumeKeepEveryCounter)
{
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(300);
    rig.metronome.TogglePause();
    rig.timer.Tick(50); // nothing ticks while paused
    rig.metronome.TogglePause();
    EXPECT_DOUBLE_EQ(rig.timer.interval, 125.0);
    EXPECT_EQ(TicksToFirstTempoChange(), 480 + 218 - 300);
}

TEST_F(TrainerRun, EndOfTheRunStopsAndReportsOnce)
{
    settings.DurationsInBars = 1;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.Duration = 1.0f;
    settings.Warmup = 0.0f;
    settings.Warmdown = 0.0f;
    settings.Step = 0.5f; // three levels: 60, 90, 120
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(BeatsPerLevel(10, {1, 2}), (std::vector<int>{4, 4}));
    EXPECT_FALSE(rig.timer.running);
    EXPECT_EQ(rig.log.back(), "OnStopped 120");
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "Close"), 0); // left to the next Stop
    rig.metronome.Stop();
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "OnStopped 120"), 1);
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), "Close"), 1);
}

TEST_F(TrainerRun, BarModeCountsBeatsOfTheBarAfterTheWarmUpSignal)
{
    settings.DurationsInBars = 1;
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 4;
    settings.Duration = 2.0f;
    settings.Warmup = 0.0f;
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    // The end of the warm-up is signalled right after the first beat.
    rig.timer.Tick(2);
    EXPECT_EQ(rig.Voices(), (std::vector<std::uint32_t>{1, 6}));
    EXPECT_EQ(rig.handler.beats.back().flags, WarmupEnded);
    EXPECT_EQ(BeatsPerLevel(3, {1, 2}), (std::vector<int>{8, 8, 8}));
}

// Two bars a level, whatever divides the beat: compound eighths, subdivisions, rhythm steps.
TEST(TrainerBarMode, LevelsLastTheirBarsInEveryBeatType)
{
    const struct {
        const char* name;
        void (*set)(ConfigurationData&);
        std::vector<std::uint32_t> beatVoices;
        std::vector<int> beats;
    } cases[] = {
        {"6/8", [](ConfigurationData& s) { s.BeatType = Configuration::BeatKind::BeatsPerBar, s.BeatsPerBar = 6, s.CompoundTime = 1; },
         {1, 3, 4}, {12, 12}},
        {"4/4 in halves", [](ConfigurationData& s) { s.BeatType = Configuration::BeatKind::BeatsPerBar, s.BeatsPerBar = 4, s.Subdivision1 = 2; },
         {1, 2}, {8, 8}},
        // One bar of four beats is eight steps, four of which sound; one bar a level.
        {"rhythm", [](ConfigurationData& s) {
             s.BeatType = Configuration::BeatKind::CustomRhythm, s.CrBeatsPerBar = 4, s.CrSubdivision = 2, s.Duration = 1.0f;
             SetText(s.CustomRhythm, u"1 2 1 2 ");
         }, {1, 2}, {4, 4}},
    };
    for (const auto& c : cases) {
        struct Run : TrainerRun {
            void TestBody() override {}
        } run;
        run.settings.DurationsInBars = 1;
        run.settings.Duration = 2.0f;
        c.set(run.settings);
        ASSERT_EQ(run.rig.Start(run.settings), 0u) << c.name;
        EXPECT_EQ(run.BeatsPerLevel(c.beats.size(), c.beatVoices), c.beats) << c.name;
    }
}
