#include "Core/Control/MidiMap.h"

#include <charconv>

namespace Core {

namespace {

constexpr std::string_view Names[MidiCommandCount] = {
    "startstop", "start",   "stop",    "tap",     "tempo+1", "tempo-1",  "tempo+10",     "tempo-10",
    "preset1",   "preset2", "preset3", "preset4", "part+1",  "part-1",   "song+1",       "song-1"};

RemoteCommand CommandFor(MidiCommand command)
{
    RemoteCommand remote;
    switch (command) {
    case MidiCommand::StartStop: remote.action = RemoteAction::StartStop; break;
    case MidiCommand::Start: remote.action = RemoteAction::Start; break;
    case MidiCommand::Stop: remote.action = RemoteAction::Stop; break;
    case MidiCommand::Tap: remote.action = RemoteAction::Tap; break;
    case MidiCommand::TempoUp1: remote = {RemoteAction::TempoStep, 1.0}; break;
    case MidiCommand::TempoDown1: remote = {RemoteAction::TempoStep, -1.0}; break;
    case MidiCommand::TempoUp10: remote = {RemoteAction::TempoStep, 10.0}; break;
    case MidiCommand::TempoDown10: remote = {RemoteAction::TempoStep, -10.0}; break;
    case MidiCommand::NextPart: remote = {RemoteAction::Part, 1.0}; break;
    case MidiCommand::PreviousPart: remote = {RemoteAction::Part, -1.0}; break;
    case MidiCommand::NextSong: remote = {RemoteAction::Song, 1.0}; break;
    case MidiCommand::PreviousSong: remote = {RemoteAction::Song, -1.0}; break;
    case MidiCommand::Preset1:
    case MidiCommand::Preset2:
    case MidiCommand::Preset3:
    case MidiCommand::Preset4:
        remote.action = RemoteAction::PresetNumber;
        remote.value = 1 + static_cast<int>(command) - static_cast<int>(MidiCommand::Preset1);
        break;
    case MidiCommand::Count: break;
    }
    return remote;
}

bool Matches(const MidiTrigger& wanted, const MidiTrigger& got)
{
    return wanted.kind == got.kind && wanted.number == got.number
           && (wanted.channel == MidiTrigger::AnyChannel || wanted.channel == got.channel);
}

} // namespace

std::string_view MidiCommandName(MidiCommand command)
{
    return Names[static_cast<int>(command)];
}

std::optional<MidiTrigger> MidiTrigger::Of(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 3)
        return std::nullopt;
    const std::uint8_t type = bytes[0] & 0xF0;
    const auto channel = static_cast<std::uint8_t>(bytes[0] & 0x0F);
    if (type == 0x90 && bytes[2] > 0)
        return MidiTrigger{Kind::Note, channel, static_cast<std::uint8_t>(bytes[1] & 0x7F)};
    if (type == 0xB0 && bytes[2] >= 64)
        return MidiTrigger{Kind::Controller, channel, static_cast<std::uint8_t>(bytes[1] & 0x7F)};
    return std::nullopt;
}

void MidiMap::Set(MidiCommand command, const MidiTrigger& trigger)
{
    if (trigger.kind != MidiTrigger::Kind::None) {
        for (MidiTrigger& other : triggers_) {
            if (other == trigger)
                other = MidiTrigger{};
        }
    }
    triggers_[static_cast<int>(command)] = trigger;
}

std::optional<RemoteCommand> MidiMap::Match(const std::uint8_t* bytes, std::size_t size)
{
    if (size < 3)
        return std::nullopt;
    if ((bytes[0] & 0xF0) == 0xB0) {
        // Only the step from released (below 64) to pressed is a press.
        std::uint8_t& last = controllerValues_[(bytes[0] & 0x0F) * 128 + (bytes[1] & 0x7F)];
        const bool pressed = last < 64 && bytes[2] >= 64;
        last = bytes[2];
        if (!pressed)
            return std::nullopt;
    }
    const std::optional<MidiTrigger> got = MidiTrigger::Of(bytes, size);
    if (!got)
        return std::nullopt;
    for (int i = 0; i < MidiCommandCount; ++i) {
        if (Matches(triggers_[i], *got))
            return CommandFor(static_cast<MidiCommand>(i));
    }
    return std::nullopt;
}

std::string MidiMap::ToText() const
{
    std::string text;
    for (int i = 0; i < MidiCommandCount; ++i) {
        const MidiTrigger& trigger = triggers_[i];
        if (trigger.kind == MidiTrigger::Kind::None)
            continue;
        if (!text.empty())
            text += ' ';
        text += Names[i];
        text += trigger.kind == MidiTrigger::Kind::Note ? "=n" : "=c";
        text += trigger.channel == MidiTrigger::AnyChannel ? std::string("*") : std::to_string(trigger.channel + 1);
        text += ':' + std::to_string(trigger.number);
    }
    return text;
}

MidiMap MidiMap::FromText(std::string_view text)
{
    MidiMap map;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view entry = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        const std::size_t equals = entry.find('=');
        const std::size_t colon = entry.find(':');
        if (equals == std::string_view::npos || colon == std::string_view::npos || colon < equals + 3)
            continue;
        const std::string_view name = entry.substr(0, equals);
        const char kind = entry[equals + 1];
        const std::string_view channelText = entry.substr(equals + 2, colon - equals - 2);
        const std::string_view numberText = entry.substr(colon + 1);
        int channel = MidiTrigger::AnyChannel + 1;
        int number = -1;
        if (channelText != "*"
            && (std::from_chars(channelText.data(), channelText.data() + channelText.size(), channel).ptr
                    != channelText.data() + channelText.size()
                || channel < 1 || channel > 16))
            continue;
        const auto parsed = std::from_chars(numberText.data(), numberText.data() + numberText.size(), number);
        if (parsed.ptr != numberText.data() + numberText.size() || number < 0 || number > 127
            || (kind != 'n' && kind != 'c'))
            continue;
        for (int i = 0; i < MidiCommandCount; ++i) {
            if (Names[i] == name)
                map.Set(static_cast<MidiCommand>(i),
                        MidiTrigger{kind == 'n' ? MidiTrigger::Kind::Note : MidiTrigger::Kind::Controller,
                                    static_cast<std::uint8_t>(channel - 1), static_cast<std::uint8_t>(number)});
        }
    }
    return map;
}

} // namespace Core
