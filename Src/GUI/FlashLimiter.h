#pragma once
#include <cstdint>

namespace GUI {

/// Full-field flashing must stay at or below three flashes a second (people with photosensitive
/// epilepsy): a beat flashes while beats come at most 180 a minute; faster, only a bar's first
/// beat flashes, and only while bars come at most 180 a minute; faster still, nothing flashes.
/// beatsPerBar 0 (not known yet) counts as one. The view also keeps a third of a second between
/// flashes whatever this says (a tempo change inside a bar).
constexpr bool BeatFlashes(double bpm, std::int32_t beatsPerBar, bool downbeat) noexcept
{
    constexpr double Fastest = 180.0; // flashes a minute
    if (bpm <= Fastest)
        return true;
    return downbeat && bpm / static_cast<double>(beatsPerBar > 1 ? beatsPerBar : 1) <= Fastest;
}

/// The least time between two flashes, in nanoseconds.
constexpr std::int64_t LeastFlashGap = 1'000'000'000 / 3;

} // namespace GUI
