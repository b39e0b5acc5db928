#pragma once
#include "Core/Engine/Practice.h"

#include <cstdint>

namespace Core {

/// The words of the spoken count, in the order of their texts and of their sound files:
/// the numbers one to twelve, then the syllables between the beats.
enum class CountWord : std::int8_t {
    None = -1,
    One = 0,   ///< ... Twelve = 11: the beat numbers
    E = 12,    ///< second sixteenth ("one e and a")
    And = 13,  ///< the eighth between beats, the third sixteenth
    A = 14,    ///< fourth sixteenth
    Trip = 15, ///< second triplet eighth ("one trip-let")
    Let = 16,  ///< third triplet eighth
};
constexpr int CountWordCount = 17;
/// Beat numbers spoken before the count starts again at one.
constexpr int CountNumbers = 12;

/// The file name (without ".wav") of each word's sound: "1" .. "12", "e", "and", "a", "trip", "let".
const char* CountWordFile(int word) noexcept;

/// Above this many words a second only the beat numbers are spoken.
constexpr double MaximumWordsPerSecond = 8.0;

/// Words a beat of this bar has with steps steps to a beat (the count of a beat and the
/// syllables between): three in compound time, steps for 2, 3 and 4, else 1.
std::int32_t WordsPerBeat(const BarShape& bar, std::int32_t steps) noexcept;

/// What the spoken count says on a tick: at unit (0 .. bar.units - 1) of the bar, step steps
/// into it (0 on the unit itself; only in simple time), with steps steps to a beat.
/// A unit that sounds in the count-in (its level not Silent) gets its number, counted from
/// the bar's start or, unless through, from its group's (so 3+3+2 counts 1 2 3 1 2 3 1 2),
/// and again from one after twelve. Between: "and" for two steps, "trip" "let" for three
/// (and for the eighths of a compound beat), "e" "and" "a" for four, nothing for other
/// divisions. numbersOnly leaves only the numbers (too many words a second).
CountWord ChooseCountWord(const BarShape& bar, std::int32_t unit, std::int32_t step, std::int32_t steps, bool through,
                          bool numbersOnly) noexcept;

} // namespace Core
