#pragma once
#include "Platform/Text.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// What a tick pattern entry does when it is played (one 16-bit word per timer tick).
namespace PatternFlags {
constexpr std::uint16_t PlayBeat = 0x01;      ///< the beat strategy plays this beat's voice(s)
constexpr std::uint16_t Subdivision1 = 0x02;  ///< voice 4 sounds
constexpr std::uint16_t Subdivision2 = 0x04;  ///< voice 5 sounds
constexpr std::uint16_t ShowBeat = 0x10;      ///< the lamp shows the beat's voice
constexpr std::uint16_t ClearBeat = 0x20;     ///< the lamp goes dark (only without ShowBeat)
} // namespace PatternFlags

/// Result codes of the metronome's Start; the custom pattern and rhythm readers return the
/// parse codes among them.
namespace StartResult {
constexpr std::uint32_t Playing = 0;
constexpr std::uint32_t TimerNotStarted = 2;
constexpr std::uint32_t UnknownBeatType = 3;
constexpr std::uint32_t SoundEngineFailed = 5;
constexpr std::uint32_t PatternMalformed = 6;
constexpr std::uint32_t PatternTooLong = 8;
constexpr std::uint32_t PatternGroupTooLarge = 9;
constexpr std::uint32_t RhythmMalformed = 10;
constexpr std::uint32_t RhythmTooLong = 11;
} // namespace StartResult

/// Entries a tick pattern, a custom pattern or a custom rhythm can hold.
constexpr int MaxPatternLength = 512;
/// Beats of an accented bar the strategy can hold; larger values are limited to this.
constexpr int MaxBarBeats = 64;

using TickPattern = std::array<std::uint16_t, MaxPatternLength>;

/// How a beat is divided into ticks.
struct Subdivisions {
    std::int32_t ticks = 0;      ///< primary subdivision t, 0 = none
    std::int32_t secondary = 0;  ///< secondary subdivision s2 for a polyrhythm, 0 = none
    bool compound = false;       ///< the bar is counted in eighths, three to a beat
};

/// Chooses the subdivisions of the simple, accented-bar and custom-pattern beats:
/// above 300 bpm nothing is subdivided and compound time is off; compound time (when
/// compoundWanted) gives three ticks per beat; equal primary and secondary subdivisions are
/// plain subdivisions. The secondary subdivision needs a primary one.
Subdivisions ChooseSubdivisions(const Configuration::ConfigurationData& settings, bool compoundWanted);

/// Patterns mark every beat (ShowBeat: the lamp and the MIDI clock out take their beats from
/// it); lamp (the lamp on) adds the marks that turn it dark between beats.
/// Writes the pattern of one beat with t ticks (0 = one tick, or two with the lamp so that it
/// goes dark half-way) and secondary subdivision s2 (0 = none, else t x s2 ticks on two
/// grids: voice 4 on the t-grid, voice 5 on the s2-grid). Returns the entries written.
std::int32_t BuildStandardPattern(TickPattern& pattern, std::int32_t t, std::int32_t s2, bool lamp);

/// Reads a custom pattern such as "3+3+2": groups of 1..100 beats separated by single plus
/// signs. The first beat of the first group gets voice index 0, the first beats of later
/// groups index 1, the other beats index 2. In compound time the pattern entries of each
/// beat are written too. The empty text gives no beats (result 0). Returns 0 or one of
/// PatternMalformed, PatternTooLong (beat total 512 or more), PatternGroupTooLarge; beats
/// read before an error stay written. Never writes past the tables.
std::uint32_t ParseCustomPattern(std::u16string_view text, bool compound, bool lamp,
                                 std::array<std::int32_t, MaxPatternLength>& voices, TickPattern& pattern,
                                 std::int32_t& beatTotal);

/// Reads a custom rhythm: one step per character (space = rest, "1".."9", ":", "a", "b" =
/// voices 1..12) or per bracket group of voices sounding together, packed four bits a voice
/// with the first voice in the highest nibble used (64 bits: a group of all twelve voices fits). In compound time the pattern entry of
/// every step is written too. Returns 0, RhythmMalformed or RhythmTooLong (more than 512
/// steps). Never writes past the tables.
std::uint32_t ParseCustomRhythm(std::u16string_view text, bool compound, bool lamp,
                                std::array<std::uint64_t, MaxPatternLength>& steps, TickPattern& pattern,
                                std::int32_t& stepCount);

/// The text of a fixed-size field up to its terminator.
template <std::size_t N>
std::u16string_view FieldText(const char16_t (&field)[N])
{
    return std::u16string_view(field, Platform::Text::Length(field, N));
}

/// The same for a settings text held as a string.
inline std::u16string_view FieldText(const std::u16string& field)
{
    return field;
}

} // namespace Core
