// The controller's run: start results, what a failed start leaves behind, volumes, stopping
// on a failed sound, tempo changes and pausing, all driven tick by tick on fakes.
#include "EngineFakes.h"

#include "Core/Engine/TimerFlags.h"
#include "Core/Sound/InstrumentList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace EngineFakes;
using Configuration::BeatKind;
using Configuration::ConfigurationData;
using Calls = std::vector<std::string>;
using Voices = std::vector<std::uint32_t>;

namespace {

class Controller : public ::testing::Test {
protected:
    Rig rig;
    ConfigurationData settings = Rig::VoiceSettings();

    long Count(const std::string& call) const { return std::count(rig.log.begin(), rig.log.end(), call); }
};

} // namespace

// Whatever fails, the start says which and leaves nothing open, and a later Stop has no run
// to report; an unknown beat type touches nothing at all.
TEST(ControllerStart, FailuresCloseWhatWasOpenedAndReportNoRun)
{
    const Calls closed = {"Initialise", "StartDrawing", "Close", "StopDrawing"};
    const struct {
        const char* name;
        void (*fail)(Rig&, ConfigurationData&);
        std::uint32_t result;
        Calls calls;
    } cases[] = {
        {"beat type", [](Rig&, auto& s) { s.BeatType = static_cast<Configuration::BeatKind>(4); },
         Core::StartResult::UnknownBeatType, {}},
        {"engine", [](Rig& r, auto&) { r.engine.failInitialise = true; },
         Core::StartResult::SoundEngineFailed, {"Initialise", "Close"}},
        {"pattern", [](Rig&, auto& s) { s.BeatType = BeatKind::CustomPattern, s.CustomPattern = u"3++2"; },
         Core::StartResult::PatternMalformed, closed},
        {"rhythm", [](Rig&, auto& s) { s.BeatType = BeatKind::CustomRhythm, s.CustomRhythm = u"1c"; },
         Core::StartResult::RhythmMalformed, closed},
        // Empty texts play rests, but not in compound time.
        {"compound pattern", [](Rig&, auto& s) { s.BeatType = BeatKind::CustomPattern, s.CompoundTime = 1; },
         Core::StartResult::PatternMalformed, closed},
        {"compound rhythm", [](Rig&, auto& s) { s.BeatType = BeatKind::CustomRhythm, s.CrCompoundTime = 1; },
         Core::StartResult::RhythmMalformed, closed},
        {"timer", [](Rig& r, auto&) { r.timer.failStart = true; }, Core::StartResult::TimerNotStarted, closed},
    };
    for (const auto& c : cases) {
        Rig rig;
        ConfigurationData settings = Rig::VoiceSettings();
        c.fail(rig, settings);
        EXPECT_EQ(rig.Start(settings), c.result) << c.name;
        EXPECT_FALSE(rig.engine.open) << c.name;
        EXPECT_FALSE(rig.timer.running) << c.name;
        rig.metronome.TogglePause();
        rig.metronome.ChangeTempo(100);
        rig.metronome.Stop();
        EXPECT_EQ(rig.log, c.calls) << c.name;
    }
}

TEST_F(Controller, VolumesAreScaledByTheGlobalVolumeAndKeptInRange)
{
    settings.GlobalVolume = 50;
    settings.Subdivision1 = 2;
    settings.Subdivision2 = 3;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(6);
    ASSERT_EQ(rig.engine.sounds.size(), 4u);
    for (const Sound& sound : rig.engine.sounds)
        EXPECT_EQ(sound.volume, 63u);

    std::int32_t volumes[Configuration::VoiceCount];
    std::fill(std::begin(volumes), std::end(volumes), 100);
    // 101 x 0.33 is truncated; out-of-range settings never give a velocity above 127 or below 0.
    const std::tuple<int, int, std::uint32_t> steps[] = {{101, 33, 33}, {127, 150, 127}, {-5, 100, 0}};
    for (const auto& [first, global, expected] : steps) {
        volumes[0] = first;
        rig.metronome.ChangeVolume(volumes, global);
        const std::size_t beat = rig.engine.sounds.size(); // the next beat's sound, on voice 1
        rig.timer.Tick(6);
        EXPECT_EQ(rig.engine.sounds.at(beat).volume, expected) << first << " at " << global;
    }
}

TEST_F(Controller, MidiEnginePlaysTheInstrumentsNotes)
{
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    settings.Instrument[0] = 7; // Cowbell
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(1);
    rig.metronome.TogglePause();
    rig.metronome.TogglePause();
    rig.metronome.Stop();
    ASSERT_EQ(rig.engine.sounds.size(), 1u);
    EXPECT_EQ(rig.engine.sounds[0].sound, Core::InstrumentNote(7));
}

TEST_F(Controller, FailedSoundStopsTheRunThenReportsTheEnginesError)
{
    settings.Subdivision1 = 2;
    settings.Bpm = 90;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.engine.failAtSound = 1; // the beat sounds, the subdivision on voice 4 fails
    rig.engine.failCode = 6;
    rig.log.clear();
    rig.timer.Tick(2);
    // The timer thread only reports; the engine and the lamp are closed by the next Stop.
    EXPECT_EQ(rig.log, (Calls{"ShowBeat 0", "OnStopped 90", "OnError 29"}));
    EXPECT_FALSE(rig.timer.running);
    rig.metronome.Stop();
    EXPECT_EQ(rig.log, (Calls{"ShowBeat 0", "OnStopped 90", "OnError 29", "Close", "StopDrawing"}));
}

TEST_F(Controller, FailedBeatIsNotMaskedByALaterSoundOfTheSameTick)
{
    // Two against four: tick 4 of each beat sounds voices 4 and 5 together.
    settings.Subdivision1 = 2;
    settings.Subdivision2 = 4;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(4);
    ASSERT_EQ(rig.engine.sounds.size(), 2u);
    rig.engine.failAtSound = 2; // only voice 4 fails; voice 5 would sound
    rig.engine.failOnce = true;
    rig.engine.failCode = 1000;
    rig.log.clear();
    rig.timer.Tick(1); // voice 4 fails; voice 5 of the same tick is not tried
    EXPECT_EQ(rig.engine.sounds.size(), 3u);
    EXPECT_EQ(rig.log, (Calls{"OnStopped 120", "OnError 49"}));
}

TEST_F(Controller, StopClosesOnceAndReportsTheStartTempo)
{
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(3);
    rig.metronome.ChangeTempo(150);
    EXPECT_DOUBLE_EQ(rig.timer.interval, 200.0); // 150 bpm, two ticks a beat with the lamp
    rig.log.clear();
    rig.metronome.Stop();
    rig.metronome.Stop();
    EXPECT_EQ(rig.log, (Calls{"Close", "StopDrawing", "OnStopped 120"}));
    EXPECT_FALSE(rig.timer.running);
}

// Outside a run a voice plays once as a run would play it, on an engine kept open until the
// next Start; during a run changed sounds and volumes of the run's source play from the next beat.
TEST_F(Controller, APreviewPlaysOnceOutsideARunAndChangedSoundsFromTheNextBeat)
{
    using Heard = Core::IMetronome::Heard;
    settings.GlobalVolume = 50;
    EXPECT_EQ(rig.metronome.ChangeSounds(settings), Heard::Refused);
    EXPECT_EQ(rig.metronome.Preview(settings, 2), Heard::Done);
    EXPECT_EQ(rig.metronome.Preview(settings, 3), Heard::Done);
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(Calls(rig.log.begin(), rig.log.begin() + 3), (Calls{"Initialise", "Close", "Initialise"}));
    EXPECT_EQ(rig.metronome.Preview(settings, 0), Heard::Refused);
    settings.Instrument[0] = 9;
    settings.Volume[0] = 100;
    EXPECT_EQ(rig.metronome.ChangeSounds(settings), Heard::Done);
    rig.timer.Tick(2);
    settings.SoundEngineType = Configuration::SoundSource::Midi;
    EXPECT_EQ(rig.metronome.ChangeSounds(settings), Heard::Refused);
    ASSERT_EQ(rig.engine.sounds.size(), 3u);
    const std::uint32_t heard[][2] = {{63, 2}, {63, 3}, {50, 9}};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(rig.engine.sounds[i].volume == heard[i][0] && rig.engine.sounds[i].sound == heard[i][1]) << i;
}

TEST_F(Controller, StartingAgainEndsTheRunningRunFirst)
{
    ASSERT_EQ(rig.Start(settings), 0u);
    settings.Bpm = 80;
    settings.BeatType = BeatKind::BeatsPerBar;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(Count("OnStopped 120"), 1);
    EXPECT_TRUE(rig.timer.running);
    EXPECT_EQ(rig.timer.handler, &rig.strategies.beatsPerBar);
}

TEST_F(Controller, PauseKeepsThePositionAndTheEngine)
{
    settings.BeatType = BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 3;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(4); // beats 1 and 2 of the bar
    rig.log.clear();
    rig.metronome.TogglePause();
    EXPECT_FALSE(rig.timer.running);
    EXPECT_EQ(rig.log, (Calls{"ClearBeat"}));
    rig.metronome.ChangeTempo(60); // taken when resuming
    rig.metronome.TogglePause();
    EXPECT_DOUBLE_EQ(rig.timer.interval, 500.0);
    rig.timer.Tick(4);
    EXPECT_EQ(rig.Voices(), (Voices{1, 2, 2, 1}));
    EXPECT_EQ(Count("Close"), 0);
    EXPECT_EQ(Count("OnStopped 120"), 0);
}

TEST_F(Controller, StepSequencerRecordUsesTheStepTimer)
{
    settings.BeatType = BeatKind::CustomRhythm;
    settings.CustomRhythm = u"12";
    settings.CrSubdivision = 0;
    settings.VisualIndicator = 0;
    settings.SpeedTrainer = Configuration::TrainerMode::StepSequencer;
    settings.Bpm = 100;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(3); // one tick per step, each reported
    EXPECT_EQ(rig.Voices(), (Voices{1, 2, 1}));
    ASSERT_EQ(rig.handler.beats.size(), 3u);
    EXPECT_EQ(rig.handler.beats[0].flags, Core::TimerFlags::StepPlayed);
}
