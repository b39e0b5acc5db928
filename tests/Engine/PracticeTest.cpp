// The practice options: rendered to the sample on the offline stream (the count-in in the
// first bar's metre, muted bars, swing), and on the controller tick by tick (the bar counter's
// reports, the lamp's looks, a resumed run).
#include "EngineFakes.h"
#include "TestSupport.h"
#include "WaveFiles/WaveFixtures.h"

#include "Audio/AudioTestSupport.h"
#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Core/Engine/TimerFlags.h"
#include "Core/Export/OfflineTimer.h"
#include "Core/Sound/InstrumentList.h"
#include "Core/WaveFiles/AudioSoundEngine.h"

#include <gtest/gtest.h>

#include <cmath>

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

// Plays settings at 240 bpm on the live engine (every voice a wave file that starts at full
// level) into the offline stream at 48 kHz, each tick rendered at its own frame as an export
// does, and returns the clicks on a grid of step frames from the first, one letter a step: A, G, b for 100, 85 and
// 70 % of the loudest click, x for a softer one, s for a click at the step's swung place
// (swing percent of the pair's length after the pair's start), '.' for silence.
std::string Clicks(ConfigurationData settings, int step, std::size_t steps)
{
    TestSupport::TempFolder folder;
    TestSupport::WriteFile(folder / "click.wav", WaveFixtures::Wave({1, 1, 48000, 16}, WaveFixtures::Pcm16(std::vector<std::int16_t>(300, 16000))));
    settings.SoundEngineType = Configuration::SoundSource::AudioFiles;
    settings.Bpm = 240; // a beat is 12000 frames
    settings.Beep = 0;
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        settings.Instrument[voice] = voice;
        settings.File[voice] = WaveFixtures::Wide(folder / "click.wav");
        settings.Volume[voice] = voice == 0 ? 127 : 64;
    }
    Platform::Audio::OfflineBackend backend;
    Platform::Audio::Mixer mixer(backend, Platform::Audio::MixerOptions{48000, Platform::Audio::MaxBlockFrames, 20.0});
    Core::AudioSoundEngine engine(mixer);
    Core::StrategySet strategies;
    Core::Export::OfflineTimer timer;
    Core::Metronome metronome(strategies.Services(timer, [&engine](auto) -> Core::ISoundEngine* { return &engine; }));
    if (metronome.Start(nullptr, settings) != 0)
        return "refused";
    const std::uint64_t length = steps * static_cast<std::uint64_t>(step);
    std::uint64_t anchor = 0;
    for (bool first = true; timer.IsRunning(); first = false) {
        const Core::Export::OfflineTimer::Tick tick = timer.Next();
        anchor = first ? static_cast<std::uint64_t>(tick.straight.whole) : anchor;
        if (tick.frame >= static_cast<double>(anchor + length))
            break;
        if (const auto frame = static_cast<std::uint64_t>(std::floor(tick.frame)); frame > backend.Frames())
            backend.Pull(frame - backend.Frames(), Platform::Audio::MaxBlockFrames);
        timer.Play(tick);
    }
    backend.Pull(anchor + length - std::min(backend.Frames(), anchor + length), Platform::Audio::MaxBlockFrames);
    metronome.Stop();

    const std::vector<float> capture(backend.Captured().begin() + 2 * static_cast<std::ptrdiff_t>(anchor), backend.Captured().end());
    const auto swung = static_cast<std::size_t>(std::lround((settings.Swing / 50.0 - 1.0) * step));
    const float loudest = AudioTest::Peak(capture, 0, capture.size() / 2);
    std::string clicks(steps, '.');
    for (const std::size_t onset : AudioTest::Onsets(capture, static_cast<std::size_t>(step) / 2)) {
        const float level = AudioTest::Peak(capture, onset, onset + 300) / loudest;
        const std::size_t offset = onset % static_cast<std::size_t>(step);
        clicks[onset / static_cast<std::size_t>(step)] = offset == 0 ? (level > 0.95f ? 'A' : level > 0.77f ? 'G' : level > 0.6f ? 'b' : 'x')
                                                        : offset + 1 >= swung && offset <= swung + 1 ? 's' : '?';
    }
    return clicks;
}

} // namespace

// The count-in plays the first bar's beats (a pattern's groups, compound time's beats, a
// rhythm's beats, the trainer's From tempo), the first accented, and the run's first beat comes
// a beat after its last: it counts toward nothing, not even the trainer's levels. Muted bars
// are silent in every voice, subdivisions and a rhythm's hits too, the kept downbeat excepted,
// and the first bar always sounds. Swing moves the second step of each pair of eighths or
// sixteenths, a rhythm's columns too, never the beats or the count-in.
TEST(PracticeOnTheOfflineStream, EveryClickOnItsFrameOrSilent)
{
    using Configuration::TrainerMode;
    const struct {
        const char* name;
        void (*set)(ConfigurationData&);
        int step;
        const char* clicks;
    } cases[] = {
        {"count-in in 3+3+2", [](auto& s) { s.BeatType = BeatKind::CustomPattern, s.CustomPattern = u"3+3+2", s.CountIn = 1; },
         12000, "AbbGbbGb Axxxxxxx"},
        {"count-in in 6/8", [](auto& s) { s.BeatsPerBar = 6, s.CompoundTime = 1, s.CountIn = 1; }, 4000, "A..b.. Axxxxx"},
        {"count-in of a rhythm", [](auto& s) {
             s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1   2   2   ", s.CrBeatsPerBar = 3, s.CrSubdivision = 4,
             s.CountIn = 1; },
         3000, "A...b...b... A...x...x..."},
        {"count-in with the trainer, levels of a bar from 120 to 240 bpm", [](auto& s) {
             s.SpeedTrainer = TrainerMode::On, s.DurationsInBars = 1, s.Duration = 1, s.Warmup = 0, s.Step = 0.5f, s.CountIn = 1; },
         6000, "A...b...b...b... A...x...x...x... A"},
        {"play 2 mute 1 in eighths", [](auto& s) { s.GapMode = 1, s.Subdivision1 = 2; }, 6000, "Axxxxxxx Axxxxxxx ........ Axxxxxxx"},
        {"play 1 mute 2 keeping the downbeat", [](auto& s) { s.GapMode = 1, s.GapPlay = 1, s.GapMute = 2, s.GapDownbeat = 1; },
         12000, "Axxx A... A... Axxx"},
        {"random 95 % in eighths", [](auto& s) { s.GapMode = 2, s.GapPercent = 95, s.GapSeed = 7, s.Subdivision1 = 2; }, 6000,
         "Axxxxxxx ........ ........"},
        {"step sequencer, play 1 mute 1", [](auto& s) {
             s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1424", s.CrBeatsPerBar = 2, s.CrSubdivision = 2,
             s.SpeedTrainer = TrainerMode::StepSequencer, s.GapMode = 1, s.GapPlay = 1; },
         6000, "Axxx .... Axxx"},
        {"swing 66 on eighths after a count-in of two beats", [](auto& s) { s.Subdivision1 = 2, s.Swing = 66, s.CountIn = 5; }, 6000,
         "A.b. Asxsxsxs Asxs"},
        {"swing 75 on sixteenths", [](auto& s) { s.Subdivision1 = 4, s.Swing = 75; }, 3000, "Asxsxsxs xsxsxsxs"},
        {"swing 60 on the step sequencer's sixteenths", [](auto& s) {
             s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1222", s.CrBeatsPerBar = 1, s.CrSubdivision = 4, s.Swing = 60,
             s.SpeedTrainer = TrainerMode::StepSequencer; },
         3000, "Asxs Asxs"},
        {"no swing on triplets", [](auto& s) { s.Subdivision1 = 3, s.Swing = 75; }, 4000, "Axxxxx"},
    };
    for (const auto& c : cases) {
        ConfigurationData settings;
        settings.BeatType = BeatKind::BeatsPerBar;
        c.set(settings);
        std::string expected = c.clicks;
        std::erase(expected, ' ');
        EXPECT_EQ(Clicks(settings, c.step, expected.size()), expected) << c.name;
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
    EXPECT_EQ(rig.engine.sounds[0].sound, SideStick); // its own sound
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

// A muted bar is silent (see PracticeOnTheOfflineStream) but the counter counts it and the
// lamp flashes in its muted look.
TEST(PracticeMutedBars, KeepTheCounterAndTheLampGoing)
{
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
