#include "Core/Control/MidiMap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Core::MidiCommand;
using Core::MidiMap;
using Core::MidiTrigger;
using Kind = MidiTrigger::Kind;

TEST(MidiMap, TextRoundTripKeepsEveryTriggerAndSkipsBrokenEntries)
{
    MidiMap map;
    map.Set(MidiCommand::Tap, {Kind::Note, 9, 36});
    map.Set(MidiCommand::StartStop, {Kind::Controller, MidiTrigger::AnyChannel, 64});
    map.Set(MidiCommand::Preset4, {Kind::Controller, 15, 127});
    map.Set(MidiCommand::PreviousSong, {Kind::Note, 0, 60});
    const std::string text = map.ToText();
    EXPECT_EQ(text, "startstop=c*:64 tap=n10:36 preset4=c16:127 song-1=n1:60");
    EXPECT_EQ(MidiMap::FromText(text), map);
    EXPECT_EQ(MidiMap::FromText(text + " tap=n17:1 stop=x1:2 start=c1:128 nothing=n1:1 tempo+1=n1: =n1:5 tempo-1"), map);
}

TEST(MidiMap, NotesAndPedalPressesSetOffTheirCommandsOnce)
{
    MidiMap map;
    map.Set(MidiCommand::Tap, {Kind::Note, 9, 36});
    map.Set(MidiCommand::StartStop, {Kind::Controller, MidiTrigger::AnyChannel, 64});
    map.Set(MidiCommand::TempoDown10, {Kind::Note, 0, 36}); // the same note on another channel
    map.Set(MidiCommand::Stop, {Kind::Note, 9, 36});         // takes the trigger from Tap
    map.Set(MidiCommand::NextPart, {Kind::Controller, 2, 65});
    EXPECT_EQ(map.Trigger(MidiCommand::Tap).kind, Kind::None);
    const struct {
        std::vector<std::uint8_t> message;
        bool sets;
        Core::RemoteAction action;
        double value;
    } cases[] = {
        {{0x99, 36, 100}, true, Core::RemoteAction::Stop, 0},
        {{0x99, 36, 0}, false, {}, 0},                          // a Note On of velocity 0 is a release
        {{0x89, 36, 64}, false, {}, 0},                         // Note Off
        {{0x90, 36, 1}, true, Core::RemoteAction::TempoStep, -10},
        {{0xB3, 64, 127}, true, Core::RemoteAction::StartStop, 0}, // pressed, any channel
        {{0xB3, 64, 100}, false, {}, 0},                        // still held
        {{0xB3, 64, 0}, false, {}, 0},                          // released
        {{0xB3, 64, 90}, true, Core::RemoteAction::StartStop, 0}, // pressed again
        {{0x99, 37, 100}, false, {}, 0},
        {{0xB2, 65, 127}, true, Core::RemoteAction::Part, 1},
        {{0x99, 36}, false, {}, 0},                             // cut short
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(::testing::PrintToString(test.message));
        const auto command = map.Match(test.message.data(), test.message.size());
        ASSERT_EQ(command.has_value(), test.sets);
        if (command) {
            EXPECT_EQ(command->action, test.action);
            EXPECT_EQ(command->value, test.value);
        }
    }
}

} // namespace
