#pragma once
#include "Core/Control/RemoteCommand.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Core {

/// The commands a MIDI note or controller can be given to.
enum class MidiCommand : std::uint8_t {
    StartStop,
    Start,
    Stop,
    Tap,
    TempoUp1,
    TempoDown1,
    TempoUp10,
    TempoDown10,
    Preset1,
    Preset2,
    Preset3,
    Preset4,
    NextPart,
    PreviousPart,
    NextSong,
    PreviousSong,
    Count
};
constexpr int MidiCommandCount = static_cast<int>(MidiCommand::Count);

/// What sets a command off: a note (its Note On) or a controller (pressed: its value rising
/// to 64 or more, as a sustain pedal or a foot switch sends), on one channel or any.
struct MidiTrigger {
    enum class Kind : std::uint8_t { None, Note, Controller };
    static constexpr std::uint8_t AnyChannel = 16;
    Kind kind = Kind::None;
    std::uint8_t channel = AnyChannel; ///< 0..15, or AnyChannel
    std::uint8_t number = 0;           ///< note or controller number, 0..127

    bool operator==(const MidiTrigger&) const = default;
    /// The trigger a message would set off when learnt: a Note On (velocity above 0) or a
    /// controller's press, on its channel. nullopt for any other message.
    static std::optional<MidiTrigger> Of(const std::uint8_t* bytes, std::size_t size);
};

/// Notes and controllers to commands, as the user set them (one trigger per command; a
/// trigger taken by another command moves). GUI thread only.
class MidiMap {
public:
    const MidiTrigger& Trigger(MidiCommand command) const { return triggers_[static_cast<int>(command)]; }
    /// Gives trigger to command; any other command that had the same trigger loses it.
    void Set(MidiCommand command, const MidiTrigger& trigger);

    /// The command a message sets off, if any. Controllers are read as switches: only the
    /// press sets one off, so a pedal that sends values while held acts once.
    std::optional<RemoteCommand> Match(const std::uint8_t* bytes, std::size_t size);

    /// The map as one line of text ("tap=n10:36 start=c*:64": n note, c controller, channel
    /// 1..16 or *), and back. Entries that cannot be read are skipped.
    std::string ToText() const;
    static MidiMap FromText(std::string_view text);

    bool operator==(const MidiMap& other) const { return triggers_ == other.triggers_; }

private:
    std::array<MidiTrigger, MidiCommandCount> triggers_{};
    std::array<std::uint8_t, 16 * 128> controllerValues_{}; // last value per channel and controller
};

/// The command's name in the map's text ("startstop", "tempo+10", ...).
std::string_view MidiCommandName(MidiCommand command);

} // namespace Core
