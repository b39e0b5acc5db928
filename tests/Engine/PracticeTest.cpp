// The practice options on the controller, tick by tick: the count-in in the first bar's metre,
// muted bars, swing's shifts, and the bar counter's reports.
#include "EngineFakes.h"

#include "Core/Engine/TimerFlags.h"
#include "Core/Sound/InstrumentList.h"

#include <gtest/gtest.h>

using namespace EngineFakes;
using Configuration::BeatKind;
using Configuration::ConfigurationData;

namespace {

constexpr std::uint32_t SideStick = 37;

// MIDI settings, voice n on instrument n - 1 (none of them the Side Stick), no lamp.
ConfigurationData Practice()
{
    ConfigurationData settings;
    settings.VisualIndicator = 0;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
        settings.Instrument[voice] = voice;
    return settings;
}

// The count-in's clicks as letters by loudness (A accent, G group start, b beat, ? other) up
// to the first other sound, and the tick that sound came on.
std::pair<std::string, int> CountIn(Rig& rig)
{
    std::string clicks;
    for (int tick = 0; tick < 400; ++tick) {
        const std::size_t before = rig.engine.sounds.size();
        rig.timer.Tick();
        for (std::size_t k = before; k < rig.engine.sounds.size(); ++k) {
            const Sound sound = rig.engine.sounds[k];
            if (sound.sound != SideStick)
                return {clicks, tick};
            clicks += sound.volume == 127 ? 'A' : sound.volume == 107 ? 'G' : sound.volume == 88 ? 'b' : '?';
        }
    }
    return {clicks, -1};
}

} // namespace

// The count-in plays the first bar's beats (its groups, compound time's beats of three
// eighths, a rhythm's beats, the trainer's From tempo) and its first main beat comes one beat
// after its last; the trainer counts none of it.
TEST(PracticeCountIn, PlaysTheFirstBarsMetreAndCountsTowardNothing)
{
    const struct {
        const char* name;
        void (*set)(ConfigurationData&);
        std::string clicks;
        int firstTick;
    } cases[] = {
        {"4/4 in eighths, 2 bars", [](auto& s) { s.BeatType = BeatKind::BeatsPerBar, s.Subdivision1 = 2, s.CountIn = 2; },
         "AbbbAbbb", 16},
        {"5/4, two beats", [](auto& s) { s.BeatType = BeatKind::BeatsPerBar, s.BeatsPerBar = 5, s.CountIn = 5; }, "Ab", 2},
        {"3+3+2", [](auto& s) { s.BeatType = BeatKind::CustomPattern, s.CustomPattern = u"3+3+2", s.CountIn = 1; },
         "AbbGbbGb", 8},
        {"6/8", [](auto& s) { s.BeatType = BeatKind::BeatsPerBar, s.BeatsPerBar = 6, s.CompoundTime = 1, s.CountIn = 1; },
         "Ab", 6},
        {"rhythm 3/4 in sixteenths", [](auto& s) {
             s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1   2   2   ", s.CrBeatsPerBar = 3,
             s.CrSubdivision = 4, s.CountIn = 1; },
         "Abb", 12},
        {"trainer", [](auto& s) { s.SpeedTrainer = Configuration::TrainerMode::On, s.Warmup = 0, s.CountIn = 1; },
         "Abbb", 32},
    };
    for (const auto& c : cases) {
        Rig rig;
        ConfigurationData settings = Practice();
        c.set(settings);
        ASSERT_EQ(rig.Start(settings), 0u) << c.name;
        const double countInInterval = rig.timer.interval;
        EXPECT_EQ(CountIn(rig), std::make_pair(c.clicks, c.firstTick)) << c.name;
        EXPECT_TRUE(rig.handler.beats.empty()) << c.name; // the trainer has not started counting
        EXPECT_EQ(rig.timer.interval, countInInterval) << c.name;
    }
}

// The bar counter counts the count-in down and the run's bars from 1; the lamp shows the
// count-in's beats in their own look; a resumed run plays no count-in again.
TEST(PracticeCountIn, CountsDownShowsItsOwnLookAndIsNotPlayedOnResume)
{
    Rig rig;
    ConfigurationData settings = Practice();
    settings.VisualIndicator = 1;
    settings.BeatType = BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 2;
    settings.CountIn = 2;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(12);
    EXPECT_EQ(rig.handler.positions, (std::vector<std::string>{"-2.1", "-2.2", "-1.1", "-1.2", "1.1", "1.2"}));
    EXPECT_EQ(rig.indicator.calls[1], "ShowBeat 0 count-in");
    EXPECT_EQ(rig.indicator.calls[9], "ShowBeat 0");

    Rig paused;
    ASSERT_EQ(paused.Start(settings), 0u);
    paused.timer.Tick(1);
    paused.metronome.TogglePause();
    paused.metronome.TogglePause();
    paused.timer.Tick(1);
    EXPECT_EQ(paused.handler.positions.back(), "1.1");
}

// Periodic and random rules silence whole bars (beats, subdivisions, a rhythm's hits) but the
// lamp, the counter and the patterns go on; the kept downbeat sounds; bar 1 always sounds.
TEST(PracticeMutedBars, SilenceWholeBarsAndOnlyTheirSound)
{
    const struct {
        const char* name;
        void (*set)(ConfigurationData&);
        int ticksPerBar;
        std::vector<int> soundsPerBar;
    } cases[] = {
        {"2:1 in eighths", [](auto& s) { s.GapMode = 1, s.Subdivision1 = 2; }, 8, {8, 8, 0, 8, 8, 0}},
        {"1:2 keeping the downbeat", [](auto& s) { s.GapMode = 1, s.GapPlay = 1, s.GapMute = 2, s.GapDownbeat = 1; },
         8, {4, 1, 1, 4}},
        {"rhythm on the step sequencer, 1:1", [](auto& s) {
             s.GapMode = 1, s.GapPlay = 1, s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"[12]3 3",
             s.CrBeatsPerBar = 2, s.CrSubdivision = 2, s.SpeedTrainer = Configuration::TrainerMode::StepSequencer; },
         4, {4, 0, 4, 0}},
        {"random 95 %", [](auto& s) { s.GapMode = 2, s.GapPercent = 95, s.GapSeed = 7; }, 8, {4, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Rig rig;
        ConfigurationData settings = Practice();
        settings.VisualIndicator = 1;
        c.set(settings);
        ASSERT_EQ(rig.Start(settings), 0u) << c.name;
        std::vector<int> sounds;
        for (std::size_t bar = 0; bar < c.soundsPerBar.size(); ++bar) {
            const std::size_t before = rig.engine.sounds.size();
            rig.timer.Tick(c.ticksPerBar);
            sounds.push_back(static_cast<int>(rig.engine.sounds.size() - before));
        }
        EXPECT_EQ(sounds, c.soundsPerBar) << c.name;
    }
    Rig rig;
    ConfigurationData settings = Practice();
    settings.VisualIndicator = 1;
    settings.GapMode = 1;
    settings.GapPlay = 1;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(16);
    EXPECT_EQ(rig.handler.positions[4], "2.1m");
    EXPECT_EQ(std::count(rig.indicator.calls.begin(), rig.indicator.calls.end(), "ShowBeat 0 muted"), 4);
}

// The random rule: reproducible from its seed, near its share, rising over the ramp, and never
// muting the first bar.
TEST(PracticeMutedBars, RandomBarsFollowTheSeedTheShareAndTheRamp)
{
    Core::GapRule rule;
    rule.mode = Configuration::GapRandom;
    rule.percent = 30;
    const auto share = [&](std::int64_t from, std::int64_t to) {
        int muted = 0;
        for (std::int64_t bar = from; bar < to; ++bar)
            muted += rule.Muted(bar) ? 1 : 0;
        return static_cast<double>(muted) / static_cast<double>(to - from);
    };
    for (std::uint32_t seed : {1u, 2u, 99u}) {
        rule.seed = seed;
        EXPECT_FALSE(rule.Muted(0));
        EXPECT_NEAR(share(1, 20001), 0.30, 0.02) << seed;
    }
    Core::GapRule other = rule;
    other.seed = 100;
    int differing = 0;
    for (std::int64_t bar = 1; bar < 200; ++bar)
        differing += rule.Muted(bar) != other.Muted(bar) ? 1 : 0;
    EXPECT_GT(differing, 20);
    rule.rampBars = 64;
    EXPECT_LT(share(1, 16), 0.15);
    EXPECT_NEAR(share(64, 20064), 0.30, 0.02);
}

// Swing shifts the second step of each pair (eighths or sixteenths) by (2 x ratio - 1) steps,
// in the timer's ticks; never a main beat, a polyrhythm, compound time or the count-in.
TEST(PracticeSwing, ShiftsTheSecondStepOfEachPairOnTwoAndFourStepGridsOnly)
{
    const struct {
        const char* name;
        void (*set)(ConfigurationData&);
        std::vector<double> shifts; // of the ticks after the first
    } cases[] = {
        {"eighths 66", [](auto& s) { s.Subdivision1 = 2, s.Swing = 66; }, {0.32, 0, 0.32, 0}},
        {"sixteenths 75", [](auto& s) { s.Subdivision1 = 4, s.Swing = 75; }, {0.5, 0, 0.5, 0}},
        {"triplets", [](auto& s) { s.Subdivision1 = 3, s.Swing = 75; }, {0, 0, 0, 0}},
        {"polyrhythm", [](auto& s) { s.Subdivision1 = 2, s.Subdivision2 = 3, s.Swing = 75; }, {0, 0, 0, 0}},
        {"6/8", [](auto& s) { s.BeatType = BeatKind::BeatsPerBar, s.BeatsPerBar = 6, s.CompoundTime = 1, s.Swing = 75; },
         {0, 0, 0, 0}},
        {"step sequencer in sixteenths", [](auto& s) {
             s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1111", s.CrSubdivision = 4, s.Swing = 60,
             s.SpeedTrainer = Configuration::TrainerMode::StepSequencer; },
         {0.2, 0, 0.2, 0}},
        {"trainer in eighths", [](auto& s) { s.Subdivision1 = 2, s.Swing = 75, s.SpeedTrainer = Configuration::TrainerMode::On; },
         {0, 0, 0, 2, 0, 0, 0, 0}},
        {"after a count-in of two beats", [](auto& s) { s.Subdivision1 = 2, s.Swing = 75, s.CountIn = 5; },
         {0, 0, 0, 0, 0.5}},
    };
    for (const auto& c : cases) {
        Rig rig;
        ConfigurationData settings = Practice();
        c.set(settings);
        ASSERT_EQ(rig.Start(settings), 0u) << c.name;
        std::vector<double> shifts;
        for (std::size_t k = 0; k < c.shifts.size(); ++k) {
            rig.timer.Tick();
            shifts.push_back(rig.timer.handler->NextTickShift());
        }
        for (std::size_t k = 0; k < shifts.size(); ++k)
            EXPECT_NEAR(shifts[k], c.shifts[k], 1e-9) << c.name << ", tick " << k + 1;
    }
}

// With the trainer the counter gives the bars left in the level.
TEST(PracticeBarCounter, GivesTheTrainersBarsLeft)
{
    Rig rig;
    ConfigurationData settings = Practice();
    settings.SpeedTrainer = Configuration::TrainerMode::On;
    settings.DurationsInBars = 1;
    settings.Duration = 2;
    settings.Warmup = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(8 * 8);
    EXPECT_EQ(rig.handler.positions[0], "1.1/2");
    EXPECT_EQ(rig.handler.positions[4], "2.1/1");
    EXPECT_EQ(rig.handler.positions[8 - 1], "2.4/1");
}
