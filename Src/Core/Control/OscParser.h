#pragma once
#include "Core/Control/RemoteCommand.h"

#include <cstddef>

namespace Core {

/// The longest OSC message taken, in bytes; the longest one of ours (a preset name of
/// NameCapacity code units, three bytes each) fits with room to spare.
constexpr std::size_t LongestOscMessage = 1024;

enum class OscOutcome {
    Command,   ///< command holds what the message asks
    Release,   ///< a button's release (a numeric argument of 0): nothing to do
    Malformed, ///< not a valid OSC message, a bundle, or arguments of the wrong number or type
    Unknown,   ///< a valid message to an address we do not serve
    Oversized, ///< longer than LongestOscMessage
};

struct OscParse {
    OscOutcome outcome = OscOutcome::Malformed;
    RemoteCommand command;
};

/// Reads one OSC message (a UDP datagram's bytes) into a command. The addresses served:
///   /tolvane/start, /tolvane/stop, /tolvane/startstop, /tolvane/tap, /tolvane/show
///       no argument, or one number (controllers send 1 for a press, 0 for a release)
///   /tolvane/tempo N          the tempo in bpm (i, f, d or h)
///   /tolvane/tempo/step N     add N bpm (negative: slower)
///   /tolvane/preset NAME|N    load the preset named NAME (s), or the Nth of the list (i)
///   /tolvane/practice NAME V  a practice option, as on the command line (s s)
/// Any thread; allocates only inside liblo's decoding.
OscParse ParseOscMessage(const void* data, std::size_t size);

} // namespace Core
