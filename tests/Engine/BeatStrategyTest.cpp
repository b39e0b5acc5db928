// The four beat strategies as they play: each test starts the metronome on fakes and gives
// ticks by hand, then reads which voices sounded and what the lamp was told.
#include "EngineFakes.h"

#include <gtest/gtest.h>

using namespace EngineFakes;
using Configuration::ConfigurationData;
using Voices = std::vector<std::uint32_t>;
using Calls = std::vector<std::string>;

namespace {

class BeatStrategies : public ::testing::Test {
protected:
    Rig rig;
    ConfigurationData settings = Rig::VoiceSettings();
};

} // namespace

TEST_F(BeatStrategies, SimpleBeatPlaysVoiceOneWithSubdivisionsOnVoiceFour)
{
    settings.Subdivision1 = 3;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 3);
    rig.timer.Tick(6);
    EXPECT_EQ(rig.Voices(), (Voices{1, 4, 4, 1, 4, 4}));
    EXPECT_EQ(rig.indicator.calls, (Calls{"StartDrawing", "ShowBeat 0", "ClearBeat", "ShowBeat 0", "ClearBeat"}));
}

TEST_F(BeatStrategies, PolyrhythmSoundsBothGridsAndMultipliesTheTicks)
{
    settings.Subdivision1 = 3;
    settings.Subdivision2 = 2;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 6);
    rig.timer.Tick(6);
    // Ticks 0..5: beat, -, voice 4, voice 5, voice 4, -.
    EXPECT_EQ(rig.Voices(), (Voices{1, 4, 5, 4}));
}

TEST_F(BeatStrategies, FastTempoDropsSubdivisionButKeepsTheLampsHalfBeat)
{
    settings.Bpm = 301;
    settings.Subdivision1 = 2;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 0);
    EXPECT_EQ(rig.strategies.simple.PatternLength(), 2);
    rig.timer.Tick(4);
    EXPECT_EQ(rig.Voices(), (Voices{1, 1}));
    EXPECT_NEAR(rig.timer.interval, 30000.0 / 301, 1e-9);
}

TEST_F(BeatStrategies, AccentedBarPlaysVoiceOneThenVoiceTwo)
{
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 3;
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(7);
    EXPECT_EQ(rig.Voices(), (Voices{1, 2, 2, 1, 2, 2, 1}));
}

TEST_F(BeatStrategies, CompoundBarCountsEighthsInThrees)
{
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 6;
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 3);
    EXPECT_EQ(std::vector<int>(rig.strategies.beatsPerBar.Pattern().begin(), rig.strategies.beatsPerBar.Pattern().begin() + 6),
              (std::vector<int>{0x11, 0x01, 0x21, 0x11, 0x01, 0x21}));
    rig.timer.Tick(7);
    EXPECT_EQ(rig.Voices(), (Voices{1, 4, 4, 3, 4, 4, 1}));
    EXPECT_EQ(rig.indicator.calls, (Calls{"StartDrawing", "ShowBeat 0", "ClearBeat", "ShowBeat 2", "ClearBeat", "ShowBeat 0"}));
}

TEST_F(BeatStrategies, FourBeatsNeverPlayCompound)
{
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 4;
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 0);
    rig.timer.Tick(10); // two ticks per beat with the lamp
    EXPECT_EQ(rig.Voices(), (Voices{1, 2, 2, 2, 1}));
}

TEST_F(BeatStrategies, BarsLongerThanTheTableAreLimitedTo64Beats)
{
    settings.BeatType = Configuration::BeatKind::BeatsPerBar;
    settings.BeatsPerBar = 100;
    settings.CompoundTime = 1;
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.strategies.beatsPerBar.PatternLength(), 64);
    EXPECT_EQ(rig.strategies.beatsPerBar.GetBeatsPerBar(settings), 64);
    rig.timer.Tick(129);
    const Voices voices = rig.Voices();
    EXPECT_EQ(voices[0], 1u);
    EXPECT_EQ(voices[64], 1u);
    EXPECT_EQ(voices[128], 1u);
    EXPECT_EQ(voices[62], 4u);
    EXPECT_EQ(voices[63], 3u);
}

TEST_F(BeatStrategies, CustomPatternThreeThreeTwo)
{
    settings.BeatType = Configuration::BeatKind::CustomPattern;
    SetText(settings.CustomPattern, u"3+3+2");
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.strategies.customPattern.GetBeatsPerBar(settings), 8);
    rig.timer.Tick(9);
    EXPECT_EQ(rig.Voices(), (Voices{1, 3, 3, 2, 3, 3, 2, 3, 1}));
}

TEST_F(BeatStrategies, CustomPatternInCompoundTimeIsABarOfEighths)
{
    settings.BeatType = Configuration::BeatKind::CustomPattern;
    SetText(settings.CustomPattern, u"3+3+2");
    settings.CompoundTime = 1;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 3);
    EXPECT_EQ(rig.strategies.customPattern.PatternLength(), 8);
    rig.timer.Tick(8);
    EXPECT_EQ(rig.Voices(), (Voices{1, 3, 3, 2, 3, 3, 2, 3}));
}

TEST_F(BeatStrategies, EmptyCustomPatternPlaysVoiceOneOutsideCompoundTimeAndIsRefusedInIt)
{
    settings.BeatType = Configuration::BeatKind::CustomPattern;
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(3);
    EXPECT_EQ(rig.Voices(), (Voices{1, 1, 1}));
    rig.metronome.Stop();

    settings.CompoundTime = 1;
    EXPECT_EQ(rig.Start(settings), Core::StartResult::PatternMalformed);
    EXPECT_FALSE(rig.timer.running);
    EXPECT_FALSE(rig.engine.open);
}

TEST_F(BeatStrategies, CustomRhythmPlaysStepsAndShowsTheFirstVoiceAfterTheAccent)
{
    settings.BeatType = Configuration::BeatKind::CustomRhythm;
    SetText(settings.CustomRhythm, u"1 2[13]");
    settings.CrSubdivision = 0; // one step per beat: every step lights the lamp
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(8);
    EXPECT_EQ(rig.Voices(), (Voices{1, 2, 1, 3}));
    EXPECT_EQ(rig.indicator.calls, (Calls{"StartDrawing", "ShowBeat 0", "ClearBeat", "ShowBeat 0", "ClearBeat",
                                          "ShowBeat 1", "ClearBeat", "ShowBeat 2", "ClearBeat"}));
}

TEST_F(BeatStrategies, CustomRhythmTwoStepsPerBeat)
{
    settings.BeatType = Configuration::BeatKind::CustomRhythm;
    SetText(settings.CustomRhythm, u"1 2[13]");
    settings.CrSubdivision = 2;
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.Run().TicksPerBeat, 2);
    rig.timer.Tick(5);
    EXPECT_EQ(rig.Voices(), (Voices{1, 2, 1, 3, 1}));
}

TEST_F(BeatStrategies, CustomRhythmVoicesTenToTwelve)
{
    settings.BeatType = Configuration::BeatKind::CustomRhythm;
    SetText(settings.CustomRhythm, u"[:ab]");
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(1);
    EXPECT_EQ(rig.Voices(), (Voices{10, 11, 12}));
    EXPECT_EQ(rig.indicator.calls.back(), "ShowBeat 9");
}

TEST_F(BeatStrategies, EmptyCustomRhythmRestsOutsideCompoundTimeAndIsRefusedInIt)
{
    settings.BeatType = Configuration::BeatKind::CustomRhythm;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(4);
    EXPECT_TRUE(rig.Voices().empty());
    rig.metronome.Stop();

    settings.CrCompoundTime = 1;
    EXPECT_EQ(rig.Start(settings), Core::StartResult::RhythmMalformed);
    EXPECT_FALSE(rig.timer.running);
}

TEST_F(BeatStrategies, RestartingRewritesEveryPosition)
{
    settings.BeatType = Configuration::BeatKind::CustomPattern;
    SetText(settings.CustomPattern, u"2+2");
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(3);
    rig.metronome.Stop();
    rig.engine.sounds.clear();
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(2);
    EXPECT_EQ(rig.Voices(), (Voices{1, 3}));
}
