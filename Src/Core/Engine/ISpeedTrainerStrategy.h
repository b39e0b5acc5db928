#pragma once
#include <cstdint>

namespace Core {

/// What a speed-trainer curve is given at the start of a run.
struct TrainerRun {
    float start = 0.0f;      ///< starting tempo, beats per minute
    float end = 0.0f;        ///< end tempo, beats per minute
    std::int32_t range = 0;  ///< trunc(end) - trunc(start); negative for a slowing run
    float step = 0.0f;       ///< tempo change of one level, beats per minute, signed like range
};

/// A tempo curve of the speed trainer: the tempo of each level of a run. One instance of
/// each curve exists; the trainer's timer strategy initialises the chosen one at every start
/// and then asks it from the timer thread.
class ISpeedTrainerStrategy {
public:
    virtual ~ISpeedTrainerStrategy() = default;
    /// Prepares a run; returns the number of tempo levels, the starting level included (>= 1).
    virtual std::int32_t Initialise(const TrainerRun& run) = 0;
    /// Begins a warm-down of the given number of levels; returns its first tempo.
    virtual float StartWarmDown(std::int32_t levels) = 0;
    /// Returns the tempo of the next level.
    virtual float NextStep() = 0;
};

} // namespace Core
