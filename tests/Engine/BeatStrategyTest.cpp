// The four beat strategies as they play: the metronome starts on fakes and is given ticks by
// hand; the voices that sounded, the ticks per beat and what the lamp was told are compared.
#include "EngineFakes.h"

#include <gtest/gtest.h>

using namespace EngineFakes;
using Configuration::BeatKind;
using Configuration::ConfigurationData;
using Voices = std::vector<std::uint32_t>;
using Calls = std::vector<std::string>;

namespace {

struct Case {
    const char* name;
    std::function<void(ConfigurationData&)> set;
    int ticks;
    Voices voices;
    int ticksPerBeat = -1; // -1: not checked
    Calls lamp = {};       // empty: not checked
};

void Bar(ConfigurationData& s, int beats, int compound)
{
    s.BeatType = BeatKind::BeatsPerBar;
    s.BeatsPerBar = beats;
    s.CompoundTime = compound;
}

void Pattern(ConfigurationData& s, const char16_t* text, int compound)
{
    s.BeatType = BeatKind::CustomPattern;
    s.CustomPattern = text;
    s.CompoundTime = compound;
}

void Rhythm(ConfigurationData& s, const char16_t* text, int steps)
{
    s.BeatType = BeatKind::CustomRhythm;
    s.CustomRhythm = text;
    s.CrSubdivision = steps;
}

} // namespace

TEST(BeatStrategies, EachStrategyPlaysItsVoicesOnItsTicks)
{
    const Case cases[] = {
        {"simple beat, subdivision on voice 4", [](auto& s) { s.Subdivision1 = 3; }, 6, {1, 4, 4, 1, 4, 4}, 3,
         {"StartDrawing", "ShowBeat 0", "ClearBeat", "ShowBeat 0", "ClearBeat"}},
        // Ticks 0..5: beat, -, voice 4, voice 5, voice 4, -.
        {"polyrhythm", [](auto& s) { s.Subdivision1 = 3, s.Subdivision2 = 2; }, 6, {1, 4, 5, 4}, 6},
        // Above 300 bpm the subdivision goes; the lamp keeps its half beat.
        {"fast tempo", [](auto& s) { s.Bpm = 301, s.Subdivision1 = 2; }, 4, {1, 1}, 0},
        // The lamp off, every beat still goes on (the MIDI clock's); the lamp shows none.
        {"accented bar", [](auto& s) { Bar(s, 3, 0), s.VisualIndicator = 0; }, 4, {1, 2, 2, 1}, -1,
         {"StartDrawing", "ShowBeat 0", "ShowBeat 1", "ShowBeat 1", "ShowBeat 0"}},
        {"compound bar in threes", [](auto& s) { Bar(s, 6, 1); }, 7, {1, 4, 4, 3, 4, 4, 1}, 3,
         {"StartDrawing", "ShowBeat 0", "ClearBeat", "ShowBeat 2", "ClearBeat", "ShowBeat 0"}},
        {"four beats never compound", [](auto& s) { Bar(s, 4, 1); }, 10, {1, 2, 2, 2, 1}, 0},
        {"pattern 3+3+2", [](auto& s) { Pattern(s, u"3+3+2", 0), s.VisualIndicator = 0; }, 9, {1, 3, 3, 2, 3, 3, 2, 3, 1}},
        {"pattern in eighths", [](auto& s) { Pattern(s, u"3+3+2", 1); }, 8, {1, 3, 3, 2, 3, 3, 2, 3}, 3},
        {"empty pattern", [](auto& s) { Pattern(s, u"", 0), s.VisualIndicator = 0; }, 3, {1, 1, 1}},
        {"rhythm, a step a beat", [](auto& s) { Rhythm(s, u"1 2[13]", 0); }, 8, {1, 2, 1, 3}, -1,
         {"StartDrawing", "ShowBeat 0", "ClearBeat", "ShowBeat 0", "ClearBeat", "ShowBeat 1", "ClearBeat",
          "ShowBeat 2", "ClearBeat"}},
        {"rhythm, two steps a beat", [](auto& s) { Rhythm(s, u"1 2[13]", 2), s.VisualIndicator = 0; }, 5,
         {1, 2, 1, 3, 1}, 2},
        {"a step of all twelve voices", [](auto& s) { Rhythm(s, u"[123456789:ab]", 0); }, 1,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, -1, {"StartDrawing", "ShowBeat 1"}},
        {"empty rhythm rests", [](auto& s) { Rhythm(s, u"", 0); }, 4, {}},
    };
    for (const Case& c : cases) {
        Rig rig;
        ConfigurationData settings = Rig::VoiceSettings();
        c.set(settings);
        ASSERT_EQ(rig.Start(settings), 0u) << c.name;
        if (c.ticksPerBeat >= 0) {
            EXPECT_EQ(rig.Run().TicksPerBeat, c.ticksPerBeat) << c.name;
        }
        rig.timer.Tick(c.ticks);
        EXPECT_EQ(rig.Voices(), c.voices) << c.name;
        if (!c.lamp.empty()) {
            EXPECT_EQ(rig.indicator.calls, c.lamp) << c.name;
        }
    }
}

TEST(BeatStrategies, BarsLongerThanTheTableAreLimitedTo64Beats)
{
    Rig rig;
    ConfigurationData settings = Rig::VoiceSettings();
    Bar(settings, 100, 1);
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    EXPECT_EQ(rig.strategies.beatsPerBar.GetBeatsPerBar(settings), 64);
    rig.timer.Tick(129);
    const Voices voices = rig.Voices();
    EXPECT_EQ((Voices{voices[0], voices[62], voices[63], voices[64], voices[128]}), (Voices{1, 4, 3, 1, 1}));
}

TEST(BeatStrategies, RestartingRewritesEveryPosition)
{
    Rig rig;
    ConfigurationData settings = Rig::VoiceSettings();
    Pattern(settings, u"2+2", 0);
    settings.VisualIndicator = 0;
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(3);
    rig.metronome.Stop();
    rig.engine.sounds.clear();
    ASSERT_EQ(rig.Start(settings), 0u);
    rig.timer.Tick(2);
    EXPECT_EQ(rig.Voices(), (Voices{1, 3}));
}
