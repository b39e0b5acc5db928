// The speed trainer: curve choice, the curves' tempo levels over the whole grid of settings,
// the timer strategy's phases tick by tick, and bar-mode counting through the controller.
#include "EngineFakes.h"

#include "Core/Engine/TimerFlags.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace EngineFakes;
using Configuration::BeatKind;
using Configuration::ConfigurationData;
using namespace Core::TimerFlags;

namespace {

// The default run: 120 bpm, from half to full speed in tenths over five minutes, a minute's
// warm-up and warm-down.
ConfigurationData TrainerSettings()
{
    ConfigurationData settings = Rig::VoiceSettings();
    settings.SpeedTrainer = Configuration::TrainerMode::On;
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
// signal, then each level's tempo and timer ticks (the tick that changes the tempo is the
// next level's first; the one that completes the run follows the last level).
struct TrainerLevels {
    int warmUpTicks = -1;
    std::vector<Level> levels;
    std::vector<double> intervals; // the first level's, then the one after each level's end
    int playedEntries = 0;
    bool completed = false;
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
            run.levels.push_back({tempo, ticks - 1});
            tempo = strategy.GetBpm();
            run.intervals.push_back(strategy.GetInterval());
            ticks = 1;
        }
        if ((flags & RunComplete) != 0) {
            run.completed = true;
            break;
        }
    }
    return run;
}

} // namespace

TEST(TrainerCurveChoice, SmallRangesLargeStepsAndTheLogarithmicMinimum)
{
    using Kind = Core::TrainerCurveKind;
    const struct {
        float from, step;
        int logarithmic;
        Kind kind;
    } cases[] = {
        {0.5f, 0.1f, 0, Kind::Linear},         {0.98f, 0.1f, 0, Kind::NoTempoChange},
        {0.5f, 0.3f, 1, Kind::Linear},         // 3.83 levels: too few for the logarithmic curve
        {0.5f, 0.25f, 1, Kind::Logarithmic},   // 4.5 levels
        {0.5f, 0.01f, 1, Kind::NoTempoChange}, // a step below 1 bpm
        {0.5f, 1.0f, 0, Kind::Linear},         // a single step
    };
    for (const auto& c : cases) {
        ConfigurationData settings = TrainerSettings();
        settings.From = c.from;
        settings.Step = c.step;
        settings.Logarithmic = c.logarithmic;
        EXPECT_EQ(Core::ChooseTrainerCurveKind(settings), c.kind) << c.from << " " << c.step << " " << c.logarithmic;
    }
}

// A slowing run's warm-down holds its end tempo (a quickening one walks back: the linear run
// below shows it level by level).
TEST(TrainerCurves, WarmDownHoldsASlowingRunsEnd)
{
    Core::LinearTrainerStrategy linear;
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

// Every run the settings allow moves monotonically from its start tempo to its end tempo, the
// logarithmic curve in shrinking steps, and every interval the timer is given is a real one.
TEST(TrainerGrid, EveryAcceptedRunMovesMonotonicallyToItsEndTempo)
{
    int runs = 0;
    int failures = 0;
    Core::StrategySet strategies;
    for (const int bpm : {4, 5, 10, 25, 60, 100, 133, 240, 400, 1000})
        for (int from = 0; from <= 20; ++from)
            for (int to = 0; to <= 20; ++to)
                for (const float step :
                     {0.0001f, 0.001f, 0.01f, 0.02f, 0.03f, 0.05f, 0.07f, 0.1f, 0.15f, 0.25f, 0.5f, 1.0f})
                    for (const int logarithmic : {0, 1}) {
                        ConfigurationData s;
                        s.SpeedTrainer = Configuration::TrainerMode::On;
                        s.Bpm = bpm;
                        s.From = static_cast<float>(from) / 20.0f;
                        s.To = static_cast<float>(to) / 20.0f;
                        s.Step = step;
                        s.Logarithmic = logarithmic;
                        s.Duration = 0.01f; // a hundredth of a minute shared by all levels
                        s.Warmup = 0.0f;
                        s.Warmdown = 0.0f;
                        if (Core::ChooseTrainerCurveKind(s) == Core::TrainerCurveKind::NoTempoChange)
                            continue;
                        ++runs;
                        strategies.trainer.Initialise(s, {1, 0, strategies.TrainerCurveFor(s)});
                        const TrainerLevels run = RunToTheEnd(strategies.trainer);
                        const auto first = static_cast<std::int64_t>(static_cast<float>(bpm) * s.From);
                        const auto last = static_cast<std::int64_t>(static_cast<float>(bpm) * s.To);
                        const std::int64_t direction = last >= first ? 1 : -1;
                        bool ok = run.completed && run.levels.size() >= 2 && run.levels.front().tempo == first
                            && run.levels.back().tempo == last;
                        // Four timer ticks a beat: between 1 and 1000 bpm an interval lies within these.
                        for (std::size_t i = 0; ok && i < run.levels.size(); ++i)
                            ok = std::isfinite(run.intervals[i]) && run.intervals[i] >= 15.0
                                && run.intervals[i] <= 15000.0;
                        for (std::size_t i = 1; ok && i < run.levels.size(); ++i) {
                            const std::int64_t change
                                = direction * (std::int64_t{run.levels[i].tempo} - run.levels[i - 1].tempo);
                            ok = change >= 0;
                            // Large steps first (the truncated display may wobble by one).
                            if (ok && logarithmic != 0 && i >= 2)
                                ok = change
                                    <= direction * (std::int64_t{run.levels[i - 1].tempo} - run.levels[i - 2].tempo)
                                        + 1;
                        }
                        if (!ok && ++failures <= 10)
                            ADD_FAILURE() << bpm << " bpm from " << s.From << " to " << s.To << " by " << step
                                          << (logarithmic != 0 ? ", logarithmic" : ", linear");
                    }
    EXPECT_EQ(failures, 0) << "of " << runs << " runs";
    EXPECT_GT(runs, 10000);
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
    // Eleven levels of 27272 ms each (five minutes shared), then four warm-down levels of 15 s,
    // each in the whole beats (eight ticks) nearest to its time.
    const std::vector<Level> expected{{60, 216},  {66, 240},  {72, 264},  {78, 280}, {84, 304},
                                      {90, 328},  {96, 352},  {102, 368}, {108, 392}, {114, 416},
                                      {120, 440}, {105, 208}, {90, 184},  {75, 152},  {60, 120}};
    EXPECT_EQ(run.levels, expected);
    EXPECT_DOUBLE_EQ(run.intervals[11], 71.0); // 60000 / 840 in whole milliseconds
    // Every fourth timer tick plays a pattern entry.
    int total = run.warmUpTicks + 1; // and the tick that completes the run
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
    strategies.trainer.Initialise(settings, {0, 0, strategies.TrainerCurveFor(settings)});
    const TrainerLevels run = RunToTheEnd(strategies.trainer);
    EXPECT_EQ(run.warmUpTicks, -1); // no warm-up, no signal
    // Five minutes at 118.8 bpm in eighth-beat ticks, then the warm-down at the same tempo.
    ASSERT_EQ(run.levels.size(), 5u);
    EXPECT_EQ(run.levels[0].ticks, 4752);
    for (const Level& level : run.levels)
        EXPECT_EQ(level.tempo, 118u);
}

namespace {

class TrainerRun : public ::testing::Test {
public:
    Rig rig;
    ConfigurationData settings = TrainerSettings();

    // Ticks until the run has changed its tempo `levels` times (or has ended) and returns how
    // many beats (sounds of beatVoices) each level played. The tick of a change or of the
    // end-of-warm-up signal is the first of what follows.
    std::vector<int> BeatsPerLevel(std::size_t levels, std::vector<std::uint32_t> beatVoices)
    {
        std::vector<int> counts;
        int beats = 0;
        std::size_t soundsSeen = rig.engine.sounds.size();
        std::size_t reportsSeen = rig.handler.beats.size();
        while (counts.size() < levels && rig.timer.running) {
            rig.timer.Tick(1);
            int tickBeats = 0;
            for (; soundsSeen < rig.engine.sounds.size(); ++soundsSeen) {
                const std::uint32_t voice = rig.engine.sounds[soundsSeen].sound + 1;
                tickBeats += std::find(beatVoices.begin(), beatVoices.end(), voice) != beatVoices.end();
            }
            for (; reportsSeen < rig.handler.beats.size(); ++reportsSeen) {
                const std::uint8_t flags = rig.handler.beats[reportsSeen].flags;
                if ((flags & TempoChanged) != 0)
                    counts.push_back(beats);
                if ((flags & (WarmupEnded | TempoChanged)) != 0)
                    beats = 0;
            }
            beats += tickBeats;
        }
        return counts;
    }
};

} // namespace

// Tempo changes are ignored and a pause keeps every counter; the first step is reported, and
// without Beep not signalled.
TEST_F(TrainerRun, TempoStepIsReportedAfterPausesAndSignalledOnlyWithBeep)
{
    settings.Beep = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.log.back(), "OnTrainerStarted 60 warm-up");
    rig.timer.Tick(300);
    rig.metronome.ChangeTempo(200);
    EXPECT_EQ(rig.timer.reTimes, 0);
    EXPECT_EQ(rig.strategies.trainer.GetBpm(), 60u);
    rig.metronome.TogglePause();
    rig.timer.Tick(50); // nothing ticks while paused
    rig.metronome.TogglePause();
    EXPECT_DOUBLE_EQ(rig.timer.interval, 125.0);
    // The step comes with the tick after the warm-up's 480 and the first level's 216.
    rig.timer.Tick(480 + 216 - 300);
    EXPECT_EQ(rig.strategies.trainer.GetBpm(), 60u);
    rig.timer.Tick();
    EXPECT_NE(rig.handler.beats.back().flags & TempoChanged, 0);
    EXPECT_EQ(rig.handler.beats.back().tempo, 66u);
    EXPECT_NEAR(rig.timer.interval, 60000.0 / (66 * 8), 1e-9);
    const std::vector<std::uint32_t> voices = rig.Voices();
    EXPECT_EQ(std::count(voices.begin(), voices.end(), 6u), 0); // with Beep: the phases' test below
}

TEST_F(TrainerRun, EndOfTheRunStopsAndReportsOnce)
{
    settings.DurationsInBars = 1;
    settings.BeatType = BeatKind::BeatsPerBar;
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

// Every phase (the warm-up, each level) starts on a beat, and the signal (voice 6) sounds with
// that beat only: never on its own, and not at the start of a run without a warm-up. Levels at
// 300, 450 and 600 bpm, two beats a bar; the run ends with the beat after its last level.
TEST(TrainerPhases, EachStartsOnABeatAndTheSignalSoundsWithIt)
{
    const struct {
        const char* name;
        int inBars;
        float warmUp, duration;
        int warmUpBeats;
        std::vector<int> levelBeats;
    } cases[] = {
        {"bars, no warm-up", 1, 0.0f, 1.0f, 0, {2, 2, 2}},
        {"bars, a bar's warm-up", 1, 1.0f, 1.0f, 2, {2, 2, 2}},
        // 320 ms a level: 1.6, 2.4 and 3.2 beats, taken as whole beats; 180 ms of warm-up.
        {"minutes", 0, 0.003f, 0.016f, 1, {2, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each beat's length in milliseconds (the last one's 0) and whether the signal sounds with it.
        std::vector<std::pair<double, bool>> expected(static_cast<std::size_t>(c.warmUpBeats), {200.0, false});
        for (std::size_t level = 0; level < c.levelBeats.size(); ++level)
            for (int beat = 0; beat < c.levelBeats[level]; ++beat)
                expected.emplace_back(60000.0 / static_cast<double>(300 + 150 * level), beat == 0 && (level > 0 || c.warmUpBeats > 0));
        expected.emplace_back(0.0, false);

        Rig rig;
        ConfigurationData settings = TrainerSettings();
        settings.BeatType = BeatKind::BeatsPerBar;
        settings.BeatsPerBar = 2;
        settings.Bpm = 600;
        settings.Step = 0.5f;
        settings.DurationsInBars = c.inBars;
        settings.Duration = c.duration;
        settings.Warmup = c.warmUp;
        settings.Warmdown = 0.0f;
        ASSERT_EQ(rig.Start(settings), 0u);
        // Each tick comes the interval the timer was left at after the one before.
        std::vector<std::pair<double, bool>> beats; // time, signalled
        for (double now = 0; rig.timer.running && now < 60000; now += rig.timer.interval) {
            const std::size_t before = rig.engine.sounds.size();
            rig.timer.Tick();
            bool beat = false, signal = false;
            for (std::size_t i = before; i < rig.engine.sounds.size(); ++i) {
                beat |= rig.engine.sounds[i].sound <= 1; // voice 1 or 2
                signal |= rig.engine.sounds[i].sound == 5;
            }
            ASSERT_TRUE(beat || !signal) << "a signal on its own at " << now << " ms";
            if (beat)
                beats.emplace_back(now, signal);
        }
        ASSERT_EQ(beats.size(), expected.size());
        for (std::size_t k = 0; k < beats.size(); ++k) {
            EXPECT_EQ(beats[k].second, expected[k].second) << "beat " << k;
            if (k + 1 < beats.size()) {
                EXPECT_NEAR(beats[k + 1].first - beats[k].first, expected[k].first, 1e-6) << "beat " << k;
            }
        }
    }
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
        {"4/4", [](ConfigurationData& s) { s.BeatType = BeatKind::BeatsPerBar, s.Warmup = 0.0f; }, {1, 2}, {8, 8, 8}},
        {"6/8", [](ConfigurationData& s) { s.BeatType = BeatKind::BeatsPerBar, s.BeatsPerBar = 6, s.CompoundTime = 1; },
         {1, 3, 4}, {12, 12}},
        {"4/4 in halves",
         [](ConfigurationData& s) { s.BeatType = BeatKind::BeatsPerBar, s.BeatsPerBar = 4, s.Subdivision1 = 2; }, {1, 2},
         {8, 8}},
        // One bar of four beats is eight steps, four of which sound; one bar a level.
        {"rhythm",
         [](ConfigurationData& s) {
             s.BeatType = BeatKind::CustomRhythm, s.CrBeatsPerBar = 4, s.CrSubdivision = 2, s.Duration = 1.0f;
             s.CustomRhythm = u"1 2 1 2 ";
         },
         {1, 2}, {4, 4}},
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
