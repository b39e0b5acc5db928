#pragma once
#include "Core/Engine/RunState.h"

#include <cstdint>

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// Decides how long a timer tick is and what each tick means. The controller initialises
/// the chosen strategy at every start, after the beat strategy has filled the run's
/// TicksPerBeat.
class ITimerStrategy {
public:
    virtual ~ITimerStrategy() = default;
    virtual void Initialise(const Configuration::ConfigurationData& settings, const RunState& run) = 0;
    /// Tick interval in milliseconds.
    virtual double GetInterval() = 0;
    virtual std::uint32_t GetBpm() = 0;
    virtual void SetBpm(std::uint32_t bpm) = 0;
    /// True while the strategy owns the tempo and tempo changes from outside must be ignored.
    virtual bool IsTempoLocked() = 0;
    /// Given the tick flags of the pattern entry that is due, returns the timer flags
    /// (Core::TimerFlags) for this tick. Timer thread.
    virtual std::uint32_t OnTick(std::uint16_t patternFlags) = 0;
    /// Timer ticks in one beat (whole, fixed for the run).
    virtual std::int32_t TicksPerBeat() = 0;
    /// Bars left in the speed trainer's current level, counting the current one, for a bar of
    /// timerTicksPerBar ticks; -1 outside trainer levels. Timer thread.
    virtual std::int32_t BarsLeftInLevel(std::int64_t timerTicksPerBar)
    {
        (void)timerTicksPerBar;
        return -1;
    }
};

} // namespace Core
