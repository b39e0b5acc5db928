#pragma once
#include "Core/Engine/BeatPatterns.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// One bar as the count-in plays it and the bar counter counts it: units (beats, or eighths
/// and steps in compound time, three to a beat) and, for each, what the count-in sounds there.
struct BarShape {
    enum Level : std::uint8_t { Silent = 0, Beat = 1, GroupStart = 2, BarStart = 3 };
    std::int32_t units = 4;
    std::int32_t unitsPerBeat = 1; ///< 3 in compound time
    std::array<std::uint8_t, MaxPatternLength> level{};

    /// A bar of `units` beats (or eighths when compound), the first accented; in compound time
    /// only every third eighth is a beat.
    static BarShape Plain(std::int32_t units, bool compound);
};

/// Which bars of a run are muted: every bar numbered from 0, the first after any count-in.
/// Bar 0 is never muted. A pure function of the bar's number, so a run, its repetition and
/// anything that scores it agree bar for bar.
struct GapRule {
    std::int32_t mode = 0;   ///< Configuration::GapModes
    std::int32_t play = 2;
    std::int32_t mute = 1;
    std::int32_t percent = 30;
    std::int32_t rampBars = 0;
    std::uint32_t seed = 1;
    bool keepDownbeat = false;

    static GapRule From(const Configuration::ConfigurationData& settings);
    bool Muted(std::int64_t bar) const noexcept;
};

/// How far a swung step sounds after its straight place, in steps: 0 when the grid cannot
/// swing (anything but 2 or 4 steps to a beat, a polyrhythm, compound time). A pair's second
/// step sounds at ratio x the pair's length from the pair's start; straight is half of it.
double SwingShiftInSteps(const Configuration::ConfigurationData& settings, std::int32_t stepsPerBeat,
                         std::int32_t secondary, bool compound);

/// The steps to a beat that swing moves with these settings, decided as a run decides it: 2 or 4
/// on a grid that can swing (the beat's subdivision, none above 300 bpm; a custom rhythm's
/// steps per beat), 0 on any other (3 or 5..8 steps, no subdivision, a secondary subdivision,
/// compound time). Whatever the Swing value.
std::int32_t SwingGridSteps(const Configuration::ConfigurationData& settings);

/// The volume of a count-in beat at this level, from the volume of the bar's accent.
constexpr std::uint32_t CountInVolume(std::uint32_t accentVolume, std::uint8_t level) noexcept
{
    return level == BarShape::BarStart ? accentVolume : accentVolume * (level == BarShape::GroupStart ? 85u : 70u) / 100u;
}

/// Count-in bars asked for (0, 1..4), and whether the count-in is two beats instead.
std::int32_t CountInBars(const Configuration::ConfigurationData& settings);
bool CountInIsTwoBeats(const Configuration::ConfigurationData& settings);

/// Applies one practice option of a command line to settings: name without its dashes
/// ("count-in" 0, 1, 2, 4 or "2b"; "gap" PLAY:MUTE; "gap-random" PERCENT[:BARS]; "seed" N;
/// "swing" PERCENT; "count-voice" on, off or count-in: the spoken count). False, with settings unchanged, for another name or a value out of range.
bool ApplyPracticeOption(std::string_view name, std::string_view value, Configuration::ConfigurationData& settings);

/// Where a run is, as the bar counter shows it. bar >= 1 in the run; during a count-in
/// -n..-1 for its bars, 0 for a count-in of two beats. barsLeft and tempo: with the speed
/// trainer the bars left in its level (counting the current one) and the level's tempo (bpm),
/// else -1 and 0.
struct BarPosition {
    std::int32_t bar = 1;
    std::int32_t beat = 1;
    std::int32_t barsLeft = -1;
    std::int32_t tempo = 0;
    bool muted = false;
    bool countIn = false;
    /// In a song: the part (index among its parts; bar then counts within it) and the part's
    /// bars (0 for a part without end). -1 outside songs.
    std::int32_t part = -1;
    std::int32_t partBars = 0;
    /// Beats in this bar (the run's metre; a song's part's).
    std::int32_t beatsPerBar = 4;
};

} // namespace Core
