// The spoken count: which word each tick of a run speaks, through the controller, for the
// beats, subdivisions, groupings, compound time, the count-in and muted bars.
#include "EngineFakes.h"

#include "Core/Engine/CountWords.h"

#include <gtest/gtest.h>

#include <functional>

using namespace EngineFakes;
using Configuration::BeatKind;
using Configuration::ConfigurationData;

namespace {

// Writes each word it is asked to say (its file name), a space apart.
class FakeCountVoice final : public Core::ICountVoice {
public:
    bool Open(const ConfigurationData&) override { return true; }
    bool Say(std::int32_t word, std::uint32_t) noexcept override
    {
        said += (said.empty() ? "" : " ") + std::string(Core::CountWordFile(word));
        return true;
    }
    void Close() override {}
    std::string said;
};

struct CountCase {
    const char* name;
    std::function<void(ConfigurationData&)> set;
    int ticks;
    const char* said;
};

TEST(SpokenCount, SaysEachTicksWord)
{
    const CountCase cases[] = {
        {"beats after a spoken count-in, no clicks in it", [](auto& s) { s.CountIn = 1; }, 8, "1 2 3 4 1 2 3 4"},
        {"count-in only", [](auto& s) { s.CountIn = 1, s.CountVoice = Configuration::CountVoiceCountIn; }, 8, "1 2 3 4"},
        {"two-beat count-in", [](auto& s) { s.CountIn = Configuration::CountInTwoBeats; }, 3, "1 2 1"},
        {"eighths", [](auto& s) { s.BeatsPerBar = 2, s.Subdivision1 = 2; }, 4, "1 and 2 and"},
        {"sixteenths", [](auto& s) { s.BeatsPerBar = 2, s.Subdivision1 = 4; }, 5, "1 e and a 2"},
        {"triplets", [](auto& s) { s.BeatsPerBar = 2, s.Subdivision1 = 3; }, 4, "1 trip let 2"},
        {"quintuplets: numbers only", [](auto& s) { s.BeatsPerBar = 2, s.Subdivision1 = 5; }, 10, "1 2"},
        {"polyrhythm: numbers only", [](auto& s) { s.BeatsPerBar = 2, s.Subdivision1 = 3, s.Subdivision2 = 2; }, 12, "1 2"},
        {"too fast for the eighths' words", [](auto& s) { s.Bpm = 250, s.BeatsPerBar = 2, s.Subdivision1 = 2; }, 4, "1 2"},
        {"6/8 in eighths", [](auto& s) { s.BeatsPerBar = 6, s.CompoundTime = 1; }, 7, "1 trip let 2 trip let 1"},
        {"3+3+2 from one in each group", [](auto& s) { s.BeatType = BeatKind::CustomPattern, s.CustomPattern = u"3+3+2"; },
         9, "1 2 3 1 2 3 1 2 1"},
        {"3+3+2 straight through",
         [](auto& s) { s.BeatType = BeatKind::CustomPattern, s.CustomPattern = u"3+3+2", s.CountThrough = 1; }, 9,
         "1 2 3 4 5 6 7 8 1"},
        {"thirteen beats: one again after twelve", [](auto& s) { s.BeatsPerBar = 13; }, 14, "1 2 3 4 5 6 7 8 9 10 11 12 1 1"},
        {"a muted bar is silent", [](auto& s) { s.BeatsPerBar = 2, s.GapMode = 1, s.GapPlay = 1; }, 6, "1 2 1 2"},
    };
    for (const CountCase& c : cases) {
        FakeCountVoice voice; // outlives the rig's last Stop
        Rig rig;
        rig.metronome.SetCountVoice(&voice);
        ConfigurationData settings = Rig::VoiceSettings();
        settings.BeatType = BeatKind::BeatsPerBar;
        settings.VisualIndicator = 0;
        settings.Beep = 0;
        settings.CountVoice = Configuration::CountVoiceAll;
        c.set(settings);
        ASSERT_EQ(rig.Start(settings), 0u) << c.name;
        rig.timer.Tick(c.ticks);
        EXPECT_EQ(voice.said, c.said) << c.name;
        if (settings.CountIn != 0) {
            // The count-in's clicks are spoken instead: the first sound is the first bar's.
            ASSERT_FALSE(rig.engine.sounds.empty()) << c.name;
            EXPECT_EQ(rig.engine.sounds.size(), static_cast<std::size_t>(c.ticks - (settings.CountIn == 1 ? 4 : 2)))
                << c.name;
        }
    }
}

} // namespace
