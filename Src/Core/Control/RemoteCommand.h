#pragma once
#include "Configuration/ConfigurationData.h"

#include <cstdint>

namespace Core {

/// What a player or another program asks of the metronome from outside the window: through
/// OSC, a MIDI controller or a foot pedal. Carried out by the window, on its thread.
enum class RemoteAction : std::uint8_t {
    Start,
    Stop,
    StartStop,
    Tap,
    Tempo,        ///< value: bpm
    TempoStep,    ///< value: bpm to add (negative: slower)
    Preset,       ///< name: the preset's name
    PresetNumber, ///< value: 1 for the first preset in the list, and so on
    Practice,     ///< name: "OPTION VALUE", as the command line's practice options
    Part,         ///< value: 1 the song's next part, -1 the previous one, from the end of the bar
    Song,         ///< value: 1 the setlist's next song, -1 the previous one, from the end of the bar
    Show,         ///< bring the window to the front
};

/// One command, trivially copyable so that it can cross threads in a lock-free queue.
struct RemoteCommand {
    RemoteAction action = RemoteAction::Start;
    double value = 0.0;
    /// The output stream's frame a MIDI command was played at (its note's stamp); -1: none.
    double frame = -1;
    char16_t name[Configuration::NameCapacity + 8] = {}; ///< zero-terminated
};

} // namespace Core
