#pragma once
#include <cstdint>

namespace Core {

class ISpeedTrainerStrategy;
class TrainerGate;

/// The working values of one metronome run, worked out at its start from the settings and
/// kept by the run, never in the user's settings record.
struct RunState {
    /// Timer ticks per beat: the primary subdivision times the secondary one (0 when the beat
    /// is not divided).
    std::int32_t TicksPerBeat = 0;
    /// Bar mode of the speed trainer: the counted ticks in one bar.
    std::int32_t TrainerBeatsPerBar = 0;
    /// The speed trainer's curve for this run; null outside trainer runs.
    ISpeedTrainerStrategy* TrainerCurve = nullptr;
    /// The gate a trainer run's levels wait at (TrainerGate set); null: they always advance.
    TrainerGate* Gate = nullptr;
};

} // namespace Core
