#pragma once
#include "Configuration/ConfigurationData.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Core::Timing {

/// One place of the grid a run plays: a tick on which something sounds (a beat, a
/// subdivision, a step-sequencer hit, a swung step) or would sound but for a muted bar.
struct GridPosition {
    double frame = 0;             ///< frames after the run's first tick, swing included
    std::int32_t bar = 1;         ///< 1.. in the run; 0 or less in the count-in
    std::int32_t beat = 1;        ///< the beat of the bar, 1..
    std::int32_t indexInBar = 0;  ///< the position's number in its bar, 0..
    std::int32_t indexInBeat = 0; ///< the position's number in its beat, 0..
    bool muted = false;           ///< in a muted bar
    bool countIn = false;         ///< in the count-in: shown, never scored
    bool sounds = true;           ///< a click is heard here (false in a muted bar, bar a kept downbeat)
};

/// The grid of a run from its first tick on, in the order the ticks come.
struct TakeGrid {
    double rate = 48000;                  ///< frames per second of `frame`
    std::vector<GridPosition> positions;
    std::int32_t positionsPerBar = 0;     ///< the most positions any bar of the run has
    std::uint32_t startResult = 0;        ///< the run's start result (0 = it played)

    /// "3" for a beat's first position, "3.2" for its second, and so on.
    std::string Label(std::int32_t indexInBar) const;
};

/// Works out the grid that settings play over `frames` frames at `rate` frames per second,
/// counted from the run's first tick. The run is the engine's own (its beat and timer
/// strategies, the trainer's levels, the count-in, swing), played tick by tick without a
/// thread or a sound, each tick's frame counted as the timer counts it; muting is taken from
/// the same rule as the run's. A trainer run ends where its last level ends.
TakeGrid PlanGrid(const Configuration::ConfigurationData& settings, double rate, double frames);

} // namespace Core::Timing
