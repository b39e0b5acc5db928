#pragma once
#include <cstdint>

namespace Core {

/// The General MIDI percussion sounds a voice can play, in alphabetical order of their
/// English names. The index is what the settings store in Instrument; the note is what the
/// MIDI engine plays. The names themselves live in the text tables.
constexpr int InstrumentCount = 47;

/// The MIDI note of instrument index 0..46; an index outside the list gives the note of
/// index 1 (Acoustic Snare, the default instrument) rather than reading past the list.
std::uint32_t InstrumentNote(std::int32_t index) noexcept;

} // namespace Core
